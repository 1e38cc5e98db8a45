// The plan suggestion: its time on a 1 MB page once fetched (menus, a long dated list, a sidebar and
// a footer), its time on a hostile 1 MB page of bare anchors, and its accuracy on the labelled real
// pages of tests/data/suggest, printed as a table with the totals as counters.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <iostream>
#include <string>

#include "plans/plan_suggester.h"
#include "support/page_server.h"
#include "support/suggest_eval.h"
#include "web/page_fetcher.h"

namespace {

std::string NewsPage() {
    std::string page =
        "<html><head><meta charset=\"utf-8\"><title>News</title></head><body><div class=\"nav\"><ul>";
    for (int i = 0; i < 60; ++i)
        page += "<li><a href=\"/c/" + std::to_string(i) + "/\">Sec " + std::to_string(i) + "</a></li>";
    page += "</ul></div><div class=\"main\"><ul class=\"list\">\n";
    const std::string sidebar = [] {
        std::string s = "</ul></div><div class=\"side\"><ol>";
        for (int i = 0; i < 30; ++i)
            s += "<li><a href=\"/hot/" + std::to_string(i) + ".html\">Hot story " + std::to_string(i) +
                 "</a></li>";
        return s + "</ol></div><div class=\"foot\"><a href=\"/about\">About</a></div></body></html>";
    }();
    for (int i = 0; page.size() + sidebar.size() < (1u << 20) - 400; ++i) {
        page += "<li class=\"item\"><span class=\"date\">2024-05-" + std::to_string(10 + i % 20) +
                "</span><a href=\"/news/2024/05/" + std::to_string(100000 + i) +
                ".html\" target=\"_blank\">Council approves the budget for the coming year, part " +
                std::to_string(i) +
                "</a> <a class=\"cat\" href=\"/c/city/\">City</a><p>A short summary of the article goes "
                "here.</p></li>\n";
    }
    return page + sidebar;
}

std::string HostilePage() {
    std::string page;
    while (page.size() < (1u << 20)) page += "<a href=\"/n.html\">x</a>";
    return page;
}

void SetPeakMemory(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_SuggestPlans_1MB(benchmark::State& state) {
    const marl::Text page = marl::CleanPageText(NewsPage());
    size_t kept = 0;
    for (auto _ : state) {
        const marl::SuggestResult result =
            marl::SuggestPlansForPage(page, "http://news.example/list/", marl::PlanEncoding::kUtf8);
        kept = result.candidates.empty() ? 0 : result.candidates.front().kept;
        benchmark::DoNotOptimize(kept);
    }
    state.counters["kept"] = static_cast<double>(kept);
    state.counters["page_MB"] = static_cast<double>(page.size()) / (1 << 20);
    SetPeakMemory(state);
}
BENCHMARK(BM_SuggestPlans_1MB)->Unit(benchmark::kMillisecond);

void BM_SuggestPlans_Hostile1MB(benchmark::State& state) {
    const marl::Text page = HostilePage();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            marl::SuggestPlansForPage(page, "http://a.example/", marl::PlanEncoding::kUtf8)
                .candidates.size());
    }
}
BENCHMARK(BM_SuggestPlans_Hostile1MB)->Unit(benchmark::kMillisecond);

// Accuracy, not time: one run over the labelled set, each page served over loopback.
void BM_SuggestLabelledSet(benchmark::State& state) {
    const std::vector<marl::test::LabelledPage> set = marl::test::LoadLabelledSet();
    marl::test::PageServer server;
    marl::test::SetOutcome outcome;
    for (auto _ : state) outcome = marl::test::EvaluateSet(set, server);
    std::cout << outcome.Table() << std::flush;
    const auto share = [](size_t part, size_t whole) {
        return whole ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0;
    };
    state.counters["lists"] = static_cast<double>(outcome.lists);
    state.counters["first_right_pct"] = share(outcome.first_right, outcome.lists);
    state.counters["any_right_pct"] = share(outcome.any_right, outcome.lists);
    state.counters["changed_right_pct"] = share(outcome.changed_right, outcome.changed_tried);
    state.counters["no_list_answered_pct"] = share(outcome.no_list_answered, outcome.no_list_pages);
}
BENCHMARK(BM_SuggestLabelledSet)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
