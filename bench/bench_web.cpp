// Page clean-up on a 1 MB list page, and a whole fetch of such a page over loopback.
#include <benchmark/benchmark.h>

#include <string>

#include "support/raw_http_server.h"
#include "text/text.h"
#include "web/page_decoding.h"
#include "web/page_fetcher.h"

namespace {

constexpr size_t kPageBytes = 1u << 20;

// A list page as sites write them: indented lines, CR LF, tabs, entities, single quotes, Chinese text.
std::string ListPage(bool gbk) {
    const std::string row =
        "\t\t<li class='item'>\r\n\t\t\t<a href='/news/2024/0612/123456.html' title='标题'>新闻标题 "
        "&quot;第一条&quot;"
        " &lt;b&gt;50&#37;&lt;/b&gt;</a>\r\n\t\t\t<span>2024-06-12</span>\r\n\t\t</li>\r\n";
    std::string page = "<html>\r\n<head><meta charset='utf-8'></head>\r\n<body>\r\n<ul>\r\n";
    while (page.size() < kPageBytes) page += row;
    page += "</ul>\r\n</body>\r\n</html>\r\n";
    return gbk ? marl::Gbk(page) : page;
}

void BM_CleanPageText(benchmark::State& state) {
    const marl::Text page = ListPage(true);
    for (auto _ : state) benchmark::DoNotOptimize(marl::CleanPageText(page));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_CleanPageText)->Unit(benchmark::kMillisecond);

// Worst shapes for a clean-up that is not linear: nothing but white space, entities or quotes.
void BM_CleanPageTextDense(benchmark::State& state) {
    const char* units[] = {" \r\n", "&lt;", "'", "\n"};
    std::string page;
    while (page.size() < kPageBytes) page += units[state.range(0)];
    for (auto _ : state) benchmark::DoNotOptimize(marl::CleanPageText(page));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_CleanPageTextDense)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void BM_Utf8ToGbk(benchmark::State& state) {
    const std::string page = ListPage(false);
    for (auto _ : state) benchmark::DoNotOptimize(marl::Utf8ToGbk(page));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_Utf8ToGbk)->Unit(benchmark::kMillisecond);

// A whole fetch over loopback: request, decoding by the plan's encoding, clean-up.
void FetchPageOf(benchmark::State& state, bool gbk) {
    const std::string page = ListPage(gbk);
    marl::test::RawHttpServer server(marl::test::RawHttpServer::Response(200, page));
    const std::string url = server.Url("/list.html");
    for (auto _ : state) {
        const marl::Text text = marl::FetchPage(url, marl::HttpMethod::kGet, "", "", gbk);
        if (text.empty()) state.SkipWithError("empty page");
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
// Target: 10 ms.
void BM_FetchPage_Utf8_1MB(benchmark::State& state) { FetchPageOf(state, false); }
BENCHMARK(BM_FetchPage_Utf8_1MB)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_FetchPage_Gbk_1MB(benchmark::State& state) { FetchPageOf(state, true); }
BENCHMARK(BM_FetchPage_Gbk_1MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SendRequest(benchmark::State& state) {
    const std::string page = ListPage(state.range(0) == 1);
    marl::test::RawHttpServer server(marl::test::RawHttpServer::Response(200, page));
    const std::string url = server.Url("/list.html");
    for (auto _ : state) benchmark::DoNotOptimize(marl::SendRequest(url, marl::HttpMethod::kGet, "", ""));
}
BENCHMARK(BM_SendRequest)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
