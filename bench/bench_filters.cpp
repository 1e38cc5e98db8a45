// The include/exclude filter per link, and the script-style whitespace clean-up per page.

#include <benchmark/benchmark.h>

#include <string>

#include "monitor/filter_matches.h"
#include "text/regex_facade.h"

namespace {

void BM_FilterMatchesPassingLink(benchmark::State& state) {
    const marl::Text link = "/news/2024/06/11/article_123456.html?from=list";
    const marl::Text include = "news|info|notice";
    const marl::Text exclude = "video|ad/|special";
    for (auto _ : state) benchmark::DoNotOptimize(marl::FilterMatches(link, include, exclude, {}));
}
BENCHMARK(BM_FilterMatchesPassingLink);

void BM_FilterMatchesExcludedLink(benchmark::State& state) {
    const marl::Text link = "/news/video/2024/06/11/article_123456.html";
    const marl::Text include = "news|info|notice";
    const marl::Text exclude = "video|ad/|special";
    for (auto _ : state) benchmark::DoNotOptimize(marl::FilterMatches(link, include, exclude, {}));
}
BENCHMARK(BM_FilterMatchesExcludedLink);

void BM_FilterMatchesChineseWords(benchmark::State& state) {
    const marl::Text link = marl::Gbk("/新闻/2024/06/11/公告_123456.html");
    const marl::Text include = marl::Gbk("公告|通知");
    const marl::Text exclude = marl::Gbk("视频|广告");
    for (auto _ : state) benchmark::DoNotOptimize(marl::FilterMatches(link, include, exclude, {}));
}
BENCHMARK(BM_FilterMatchesChineseWords);

// The same words compiled once per plan and asked for each link, as the extraction does.
void BM_LinkFilterCompiledOncePerLink(benchmark::State& state) {
    const marl::LinkFilter filter("news|info|notice", "video|ad/|special");
    const marl::Text link = "/news/2024/06/11/article_123456.html?from=list";
    for (auto _ : state) benchmark::DoNotOptimize(filter.Matches(link));
}
BENCHMARK(BM_LinkFilterCompiledOncePerLink);

// The first step of the page clean-up over about 1 MB of indented markup.
void BM_WhitespaceCleanUpPerPage(benchmark::State& state) {
    std::string page;
    while (page.size() < (1u << 20)) page += "\r\n    <li>\r\n\t\t<a href=\"/n/1.html\">Headline</a>  </li>";
    for (auto _ : state) {
        marl::RegexFacade facade;
        facade.Execute("\\s{2,}|\\t", page);
        benchmark::DoNotOptimize(facade.Replace(" "));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_WhitespaceCleanUpPerPage)->Unit(benchmark::kMillisecond);

}  // namespace
