// The plan tester from the editor's test button to its last event, over a loopback site: a 1 MB list
// page with 2,000 links, and a hostile 16 MB page made of about a million bare anchors. The second is
// run both as the window runs it (bounded views) and as marltips-cli does (every event streamed).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>

#include "plans/plan_tester.h"
#include "support/page_server.h"

namespace {

std::string ListPage() {
    std::string page = "<html><head><meta charset=\"utf-8\"></head><body><ul class=\"news\">";
    for (int i = 0; i < 2000; ++i) {
        const std::string link = "/news/2024/" + std::to_string(10000 + i) + ".html";
        std::string row = "<li><a href=\"";
        row += link;
        row += "\"><img src=\"t.jpg\"></a><a href=\"";
        row += link;
        row += "\" target=\"_blank\">Article <b>";
        row += std::to_string(i);
        row += "</b></a></li>\n";
        row.resize(512, ' ');
        page += row;
    }
    return page + "</ul></body></html>";
}

std::string HostilePage() {
    std::string page;
    page.reserve(16u << 20);
    while (page.size() < (16u << 20)) page += "<a href=\"/n.html\">x</a>";
    return page;
}

marl::test::PageServer& Site() {
    static marl::test::PageServer server;
    static const bool ready = [] {
        server.SetPage("/list", ListPage());
        server.SetPage("/hostile", HostilePage());
        return true;
    }();
    (void)ready;
    return server;
}

marl::PlanTestInput Input(const std::string& path) {
    marl::PlanTestInput input;
    input.url = Site().Url(path);
    input.area = "<ul class=\"news\">[*]</ul>";
    input.may_contain = "news";
    input.must_not_contain = "index$$list";
    input.row_marker = "<img";
    input.row_marker_mode = marl::RowMarkerMode::kMustNotContain;
    return input;
}

void SetPeakMemory(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_PlanTestListPage(benchmark::State& state) {
    const marl::PlanTestInput input = Input("/list");
    for (auto _ : state) {
        const marl::PlanTestResult result = marl::RunPlanTest(marl::PlanTestMode::kFiltered, input);
        benchmark::DoNotOptimize(result.events.size());
    }
}
BENCHMARK(BM_PlanTestListPage)->Unit(benchmark::kMillisecond)->UseRealTime();

// As the window runs it: the views get at most 1 MB of text per section and 10,000 rows.
void BM_PlanTestHostilePageWindow(benchmark::State& state) {
    marl::PlanTestInput input = Input("/hostile");
    input.area = "[*]";
    for (auto _ : state) {
        const marl::PlanTestResult result = marl::RunPlanTest(marl::PlanTestMode::kArea, input);
        benchmark::DoNotOptimize(result.events.size());
    }
    SetPeakMemory(state);
}
BENCHMARK(BM_PlanTestHostilePageWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// As marltips-cli runs it: no bounds, every event handed on at once and dropped.
void BM_PlanTestHostilePageStreamed(benchmark::State& state) {
    marl::PlanTestInput input = Input("/hostile");
    input.area = "[*]";
    marl::PlanTestOptions options;
    options.max_section_bytes = 0;
    options.max_rows = 0;
    size_t events = 0;
    options.on_event = [&events](const marl::PlanTestEvent&) { ++events; };
    for (auto _ : state) {
        benchmark::DoNotOptimize(marl::RunPlanTest(marl::PlanTestMode::kArea, input, options).refused);
    }
    state.counters["events"] = static_cast<double>(events) / static_cast<double>(state.iterations());
    SetPeakMemory(state);
}
BENCHMARK(BM_PlanTestHostilePageStreamed)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
