// HtmlToText per candidate title: typical anchor texts and a large, tag-heavy one.

#include <benchmark/benchmark.h>

#include <string>

#include "monitor/html_to_text.h"

namespace {

void BM_HtmlToTextTypicalTitle(benchmark::State& state) {
    const marl::Text title = marl::Gbk("<b>某某新闻标题 &amp; more</b>");
    for (auto _ : state) benchmark::DoNotOptimize(marl::HtmlToText(title));
}
BENCHMARK(BM_HtmlToTextTypicalTitle);

void BM_HtmlToTextPlainTitle(benchmark::State& state) {
    const marl::Text title = marl::Gbk("关于做好2024年度重点工作的通知");
    for (auto _ : state) benchmark::DoNotOptimize(marl::HtmlToText(title));
}
BENCHMARK(BM_HtmlToTextPlainTitle);

void BM_HtmlToTextThumbnailAnchor(benchmark::State& state) {
    const marl::Text title = marl::Gbk(
        "<div class=\"thumb\"><img src=\"/img/2024/06/11/a.jpg\" alt=\"图\"></div>"
        "<span class=\"title\">某某新闻标题</span><span class=\"date\">2024-06-11</span>");
    for (auto _ : state) benchmark::DoNotOptimize(marl::HtmlToText(title));
}
BENCHMARK(BM_HtmlToTextThumbnailAnchor);

// An anchor that swallowed a whole list (a missing closing tag upstream): 1 MB, tags stripped first.
void BM_HtmlToTextRunawayAnchor(benchmark::State& state) {
    std::string html;
    while (html.size() < (1u << 20)) html += "<li class=\"row\"><b>Headline &amp; more</b><br></li>";
    for (auto _ : state) benchmark::DoNotOptimize(marl::HtmlToText(html));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(html.size()));
}
BENCHMARK(BM_HtmlToTextRunawayAnchor)->Unit(benchmark::kMillisecond);

}  // namespace
