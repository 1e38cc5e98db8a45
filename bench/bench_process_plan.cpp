// ProcessPlan end to end: a 1 MB list page with 2,000 links from a loopback site, every link already
// in an `info` table of 1,000,000 rows, so the plan runs every step and records nothing.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "monitor/filter_matches.h"
#include "monitor/html_to_text.h"
#include "monitor/link_matcher.h"
#include "monitor/monitor_context.h"
#include "monitor/monitor_ui.h"
#include "monitor/process_plan.h"
#include "store/database.h"
#include "store/plan_record.h"
#include "support/page_server.h"
#include "support/temp_dir.h"
#include "text/text_ops.h"
#include "web/page_fetcher.h"

namespace {

constexpr int kLinks = 2000;
constexpr int kStoredRows = 1000000;
constexpr size_t kPageBytes = 1u << 20;
const char kPrefix[] = "http://bench.test";

class SilentUi final : public marl::MonitorUi {
  public:
    void AppendStatus(const marl::Text&) override {}
    void InsertArticleRow(int32_t, const marl::Text&, const marl::Text&, const marl::Text&,
                          const marl::Text&) override {
        ++rows;
    }
    void ShowArticle(const marl::Text&, const marl::Text&) override {}
    marl::Text FrequencyText() override { return "200"; }
    marl::Text StartCaption() override { return {}; }
    void SetStartCaption(const marl::Text&) override {}
    void SetStartEnabled(bool) override {}
    void SetClipboard(const marl::Text&) override {}
    void ShowMessage(const marl::Text&) override {}
    int rows = 0;
};

std::string Link(int i) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "/news/2024/%05d.html", i);
    return buffer;
}

std::string ListPage() {
    std::string page = "<html><head><title>list</title></head><body><div class=\"list\"><ul>";
    const size_t per_row = kPageBytes / kLinks;
    for (int i = 0; i < kLinks; ++i) {
        std::string row = "<li><span class=\"date\">2024-03-05</span><a href=\"" + Link(i) +
                          "\" target=\"_blank\" title=\"Article " + std::to_string(i) + "\">Article <b>" +
                          std::to_string(i) + "</b> &amp; more</a>";
        row += "<p class=\"summary\">";
        while (row.size() + 12 < per_row) row += "lorem ipsum ";
        row += "</p></li>\n";
        page += row;
    }
    page += "</ul></div></body></html>";
    return page;
}

// Writes the big table once: one transaction, one prepared insert.
void FillInfo(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) throw std::runtime_error("open");
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO info (classid, title, url, addtime) VALUES ('1', ?1, ?2, '')", -1,
                       &insert, nullptr);
    for (int i = 0; i < kStoredRows; ++i) {
        const std::string url =
            i < kLinks ? kPrefix + Link(i) : "http://other.test/item/" + std::to_string(i);
        const std::string title = "Stored " + std::to_string(i);
        sqlite3_bind_text(insert, 1, title.c_str(), static_cast<int>(title.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, url.c_str(), static_cast<int>(url.size()), SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

struct Fixture {
    Fixture() {
        const std::string path = dir.File("marltips.db");
        marl::test::CreateDatabaseFile(path);
        FillInfo(path);
        if (!db.Open(path)) throw std::runtime_error("open");
        server.SetPage("/list", ListPage());
        marl::PlanRecord plan;
        plan.id = 1;
        plan.name = "bench";
        plan.url = server.Url("/list");
        plan.code = "2";
        plan.dom = kPrefix;
        plan.area_start = "<div class=\"list\">";
        plan.area_end = "</div>";
        plan.inc1 = "news|2024";
        plan.inc0 = "login";
        plan.url_key = "<img";
        plan.url_key_i = -1;
        plans.Set(std::make_shared<const marl::PlanList>(std::vector<marl::PlanRecord>{plan}));
    }

    marl::test::TempDir dir;
    marl::test::PageServer server;
    marl::Database db;
    marl::SharedPlanList plans;
};

Fixture& Shared() {
    static Fixture fixture;
    return fixture;
}

void BM_ProcessPlanAllSeen(benchmark::State& state) {
    Fixture& fixture = Shared();
    SilentUi ui;
    const struct NowClock final : marl::Clock {
        std::chrono::system_clock::time_point Now() const override {
            return std::chrono::system_clock::now();
        }
    } clock;
    const marl::MonitorContext context{fixture.db, fixture.plans, ui, clock};
    for (auto _ : state) {
        marl::ProcessPlan(context, 1);
    }
    if (ui.rows != 0) state.SkipWithError("articles were taken as new");
    state.counters["links"] = kLinks;
}
BENCHMARK(BM_ProcessPlanAllSeen)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The same plan taken apart, to see where its time goes.
void BM_StepFetch(benchmark::State& state) {
    Fixture& fixture = Shared();
    const marl::PlanRecord& plan = *fixture.plans.Get()->At(1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(marl::FetchPage(plan.url, marl::HttpMethod::kGet, "", "", false));
    }
}
BENCHMARK(BM_StepFetch)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

marl::Text AreaOfThePage() {
    const marl::PlanRecord& plan = *Shared().plans.Get()->At(1);
    return marl::TextBetween(marl::FetchPage(plan.url, marl::HttpMethod::kGet, "", "", false),
                             plan.area_start, plan.area_end);
}

void BM_StepLinks(benchmark::State& state) {
    const marl::Text page = AreaOfThePage();
    for (auto _ : state) {
        benchmark::DoNotOptimize(marl::FindLinks(page));
    }
}
BENCHMARK(BM_StepLinks)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_StepFilters(benchmark::State& state) {
    const marl::PlanRecord& plan = *Shared().plans.Get()->At(1);
    const marl::Text page = AreaOfThePage();
    const auto matches = marl::FindLinks(page);
    for (auto _ : state) {
        benchmark::DoNotOptimize(marl::FilterCandidates(plan, matches, {}));
    }
}
BENCHMARK(BM_StepFilters)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_StepTitles(benchmark::State& state) {
    for (auto _ : state) {
        for (int i = 0; i < kLinks; ++i) {
            benchmark::DoNotOptimize(marl::HtmlToText("Article <b>" + std::to_string(i) + "</b> &amp; more"));
        }
    }
}
BENCHMARK(BM_StepTitles)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_StepSeenChecks(benchmark::State& state) {
    Fixture& fixture = Shared();
    for (auto _ : state) {
        for (int i = 0; i < kLinks; ++i) {
            const std::string address = kPrefix + Link(i);
            benchmark::DoNotOptimize(fixture.db.CountArticlesWhere("url='" + marl::SqlEscape(address) + "'"));
        }
    }
}
BENCHMARK(BM_StepSeenChecks)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
