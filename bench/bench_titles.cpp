// HtmlToText per candidate title: typical anchor texts and a large, tag-heavy one.

#include <benchmark/benchmark.h>

#include <string>

#include "html/html_to_text.h"

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

// An anchor that swallowed a whole list (a missing closing tag upstream): 1 MB, flattened first.
void BM_HtmlToTextRunawayAnchor(benchmark::State& state) {
    std::string html;
    while (html.size() < (1u << 20)) html += "<li class=\"row\"><b>Headline &amp; more</b><br></li>";
    for (auto _ : state) benchmark::DoNotOptimize(marl::HtmlToText(html));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(html.size()));
}
BENCHMARK(BM_HtmlToTextRunawayAnchor)->Unit(benchmark::kMillisecond);

// 1 MB fragments in the shapes that make tree builders slow or deep.
void BM_HtmlToTextHostile_1MB(benchmark::State& state) {
    auto repeat = [](std::string_view unit) {
        std::string out;
        while (out.size() < (1u << 20)) out += unit;
        return out;
    };
    std::string html;
    switch (state.range(0)) {
        case 0:
            html = repeat("<div>") + "deep";
            state.SetLabel("nested blocks");
            break;
        case 1:
            html = repeat("<b>") + "x" + repeat("</i>");
            state.SetLabel("nested inline, stray end tags");
            break;
        case 2:
            html = "<b><div>" + repeat("<div>") + "x" + repeat("</b>");
            state.SetLabel("misnested end tags past blocks");
            break;
        case 3:
            html = "<style>" + repeat(".a > b { color: red }\n") + "</style><script>" +
                   repeat("if (a < b) x();\n") + "</script>title";
            state.SetLabel("style and script");
            break;
        default:
            html = repeat("<p><b><font color=red>t</font></b>&amp;<br>");
            state.SetLabel("paragraphs, formatting, references");
            break;
    }
    for (auto _ : state) benchmark::DoNotOptimize(marl::HtmlToText(html));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(html.size()));
}
BENCHMARK(BM_HtmlToTextHostile_1MB)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

}  // namespace
