// FindLinks on ordinary and hostile list pages, with plain Boost.Regex iteration for comparison.

#include <benchmark/benchmark.h>

#include <boost/regex.hpp>
#include <string>

#include "monitor/link_matcher.h"

namespace {

constexpr size_t kMegabyte = 1 << 20;

// About 1 MB of list rows with 5,000 anchors in them.
std::string ListPage() {
    std::string page = "<html><body><ul class=\"list\">";
    for (int i = 0; i < 5000; ++i) {
        page += "<li class=\"row\"><span class=\"date\">2024-06-11</span><a href=\"/news/2024/" +
                std::to_string(i) + ".html\" target=\"_blank\" title=\"t\"><b>Headline number " +
                std::to_string(i) + "</b></a>";
        while (page.size() < (i + 1) * (kMegabyte / 5000) - 6) page += ' ';
        page += "</li>";
    }
    page += "</ul></body></html>";
    return page;
}

std::string Repeated(const std::string& head, const std::string& unit, size_t size) {
    std::string page = head;
    while (page.size() < size) page += unit;
    return page;
}

// One anchor that never closes, then markup full of further openings.
std::string UnclosedPage(size_t size) {
    return Repeated("<a href=\"x\">", "<div class=\"c\"><a href=\"/y\"><span>text</span></div>", size);
}

std::string OpeningsPage(size_t size) { return Repeated("", "<a ", size); }

void Run(benchmark::State& state, const std::string& page) {
    for (auto _ : state) {
        auto matches = marl::FindLinks(page);
        benchmark::DoNotOptimize(matches.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

void RunBoost(benchmark::State& state, const std::string& page) {
    const boost::regex expression(marl::kLinkExpression, boost::regex::perl | boost::regex::icase);
    int64_t matches = 0;
    bool gave_up = false;
    for (auto _ : state) {
        try {
            for (boost::sregex_iterator it(page.begin(), page.end(), expression), end; it != end; ++it) {
                ++matches;
            }
        } catch (const std::exception&) {
            gave_up = true;
        }
    }
    state.counters["matches"] = static_cast<double>(matches) / static_cast<double>(state.iterations());
    state.counters["gave_up"] = gave_up ? 1 : 0;
}

void BM_FindLinks_ListPage(benchmark::State& state) {
    static const std::string page = ListPage();
    Run(state, page);
}
void BM_FindLinks_Unclosed1MB(benchmark::State& state) {
    static const std::string page = UnclosedPage(kMegabyte);
    Run(state, page);
}
void BM_FindLinks_Openings1MB(benchmark::State& state) {
    static const std::string page = OpeningsPage(kMegabyte);
    Run(state, page);
}
void BM_Boost_ListPage(benchmark::State& state) {
    static const std::string page = ListPage();
    RunBoost(state, page);
}
void BM_Boost_Unclosed(benchmark::State& state) {
    RunBoost(state, UnclosedPage(static_cast<size_t>(state.range(0))));
}
void BM_Boost_Openings(benchmark::State& state) {
    RunBoost(state, OpeningsPage(static_cast<size_t>(state.range(0))));
}

BENCHMARK(BM_FindLinks_ListPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindLinks_Unclosed1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindLinks_Openings1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Boost_ListPage)->Unit(benchmark::kMillisecond);
// Plain iteration is quadratic on these, so only small pages.
BENCHMARK(BM_Boost_Unclosed)->Arg(8 << 10)->Arg(32 << 10)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Boost_Openings)->Arg(8 << 10)->Arg(32 << 10)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
