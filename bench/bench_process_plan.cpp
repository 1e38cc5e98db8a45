// ProcessPlan end to end: a 1 MB list page with 2,000 links from a loopback site, every link already
// in an `info` table of 1,000,000 rows, so the plan runs every step and records nothing (target: 40 ms
// of CPU). Then a first pass that finds 5,000 new articles on one page, on a database file on disk
// (target: 1 s of wall time), a page of 400,000 articles recorded, then looked at again, while another
// program wants to write (its longest wait, target 250 ms), and a page cut off at the 64 MiB body limit
// with about 1.9 million links.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "html/html_to_text.h"
#include "monitor/clock.h"
#include "monitor/filter_matches.h"
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

using marl::bench::SilentUi;

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

void BM_ProcessPlan_1MB_AllSeen(benchmark::State& state) {
    Fixture& fixture = Shared();
    SilentUi ui;
    const marl::SystemClock clock;
    const marl::MonitorContext context{fixture.db, fixture.plans, ui, clock};
    for (auto _ : state) {
        marl::ProcessPlan(context, 1);
    }
    if (ui.rows != 0) state.SkipWithError("articles were taken as new");
    state.counters["links"] = kLinks;
}
BENCHMARK(BM_ProcessPlan_1MB_AllSeen)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

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

// The check new-article recording runs: prepared once, the address bound.
void BM_StepSeenChecksBound(benchmark::State& state) {
    Fixture& fixture = Shared();
    for (auto _ : state) {
        for (int i = 0; i < kLinks; ++i) {
            const std::string address = kPrefix + Link(i);
            benchmark::DoNotOptimize(fixture.db.CheckArticle(address));
        }
        fixture.db.CommitArticles();
    }
}
BENCHMARK(BM_StepSeenChecksBound)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// A first pass over a page of 5,000 articles that are all new: each is shown, then stored. Every
// iteration puts another prefix in front, so every article is new again; the file lies on disk.
constexpr int kNewArticles = 5000;

struct NewArticlesFixture {
    NewArticlesFixture() {
        marl::test::CreateDatabaseFile(dir.File("marltips.db"));
        if (!db.Open(dir.File("marltips.db"))) throw std::runtime_error("open");
        std::string page = "<html><body><ul>";
        for (int i = 0; i < kNewArticles; ++i) {
            page += "<li><a href=\"" + Link(i) + "\">Article <b>" + std::to_string(i) + "</b></a></li>\n";
        }
        server.SetPage("/new", page + "</ul></body></html>");
    }
    marl::test::TempDir dir;
    marl::test::PageServer server;
    marl::Database db;
};

int64_t StoredCount(marl::Database& db) {
    std::vector<std::vector<marl::Text>> rows;
    return db.QueryRows("SELECT count(*) FROM info", rows) == 1 ? std::stoll(rows[0][0]) : -1;
}

void BM_RecordNewArticles_5000(benchmark::State& state) {
    static NewArticlesFixture fixture;
    static int round = 0;  // across repetitions too: every round's prefix is new
    marl::SharedPlanList plans;
    const marl::SystemClock clock;
    const int64_t stored_before = StoredCount(fixture.db);
    int64_t shown = 0;
    for (auto _ : state) {
        state.PauseTiming();
        marl::PlanRecord plan;
        plan.name = "new";
        plan.url = fixture.server.Url("/new");
        plan.code = "2";
        plan.dom = "http://round" + std::to_string(++round) + ".test";
        plans.Set(std::make_shared<const marl::PlanList>(std::vector<marl::PlanRecord>{plan}));
        SilentUi ui;
        const marl::MonitorContext context{fixture.db, plans, ui, clock};
        state.ResumeTiming();
        marl::ProcessPlan(context, 1);
        shown += ui.rows;
    }
    const int64_t expected = static_cast<int64_t>(state.iterations()) * kNewArticles;
    if (shown != expected || StoredCount(fixture.db) - stored_before != expected) {
        state.SkipWithError("not every article was shown and stored");
    }
    state.counters["articles"] = kNewArticles;
}
BENCHMARK(BM_RecordNewArticles_5000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Another program that wants to write while marltips records: its own connection, on a thread of its
// own, stores a row again and again, polling every millisecond while the file is held elsewhere, and
// keeps its longest wait. That is the longest time the recording kept other writers out: a save from
// the window or a second program must get in well within its 3 s busy time.
class OtherWriter {
  public:
    explicit OtherWriter(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
            sqlite3_exec(db_, "CREATE TABLE IF NOT EXISTS other_writer (x)", nullptr, nullptr, nullptr) !=
                SQLITE_OK) {
            throw std::runtime_error("other writer");
        }
        sqlite3_busy_handler(
            db_,
            [](void* self, int) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                return static_cast<OtherWriter*>(self)->stop_.load() ? 0 : 1;
            },
            this);
        thread_ = std::thread([this] { Run(); });
    }
    ~OtherWriter() {
        Stop();
        sqlite3_close(db_);
    }
    OtherWriter(const OtherWriter&) = delete;
    OtherWriter& operator=(const OtherWriter&) = delete;

    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    std::chrono::duration<double> Longest() const { return longest_; }
    int64_t Stores() const { return stores_; }

  private:
    void Run() {
        while (!stop_) {
            const auto start = std::chrono::steady_clock::now();
            const bool stored = sqlite3_exec(db_, "INSERT INTO other_writer VALUES (1)", nullptr, nullptr,
                                             nullptr) == SQLITE_OK;
            const std::chrono::duration<double> waited = std::chrono::steady_clock::now() - start;
            if (stored) {
                ++stores_;
                longest_ = std::max(longest_, waited);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    sqlite3* db_ = nullptr;
    std::atomic<bool> stop_{false};
    std::chrono::duration<double> longest_{0};
    int64_t stores_ = 0;
    std::thread thread_;
};

// One page of 400,000 articles recorded while another program keeps storing rows: the benchmark's
// time is that program's longest wait (target 250 ms). The first pass finds every article new, shows
// and stores it under the write lock; the second finds every one seen, under the looks' read lock.
void LongestLockHold(benchmark::State& state, bool second_pass) {
    constexpr int kArticles = 400000;
    marl::test::TempDir dir;
    const std::string path = dir.File("marltips.db");
    marl::test::CreateDatabaseFile(path);
    marl::Database db;
    if (!db.Open(path)) throw std::runtime_error("open");
    marl::test::PageServer server;
    std::string page = "<html><body><ul>";
    page.reserve(size_t{kArticles} * 40);
    for (int i = 0; i < kArticles; ++i) {
        char row[64];
        std::snprintf(row, sizeof row, "<li><a href=\"/n/%06d.html\">%d</a>\n", i, i);
        page += row;
    }
    server.SetPage("/big", page + "</ul></body></html>");
    marl::PlanRecord plan;
    plan.name = "big";
    plan.url = server.Url("/big");
    plan.code = "2";
    plan.dom = "http://big.test";
    marl::SharedPlanList plans;
    plans.Set(std::make_shared<const marl::PlanList>(std::vector<marl::PlanRecord>{plan}));
    const marl::SystemClock clock;
    if (second_pass) {
        SilentUi ui;
        marl::ProcessPlan(marl::MonitorContext{db, plans, ui, clock}, 1);
    }
    for (auto _ : state) {
        SilentUi ui;
        const marl::MonitorContext context{db, plans, ui, clock};
        OtherWriter other(path);
        const auto start = std::chrono::steady_clock::now();
        marl::ProcessPlan(context, 1);
        const std::chrono::duration<double> whole = std::chrono::steady_clock::now() - start;
        other.Stop();
        state.SetIterationTime(other.Longest().count());
        state.counters["whole_s"] = whole.count();
        state.counters["other_stores"] = static_cast<double>(other.Stores());
        if (ui.rows != (second_pass ? 0 : kArticles) || StoredCount(db) != kArticles) {
            state.SkipWithError("not every article was shown and stored once");
        }
    }
}

void BM_RecordNewArticles_400000_LongestLockHold(benchmark::State& state) { LongestLockHold(state, false); }
BENCHMARK(BM_RecordNewArticles_400000_LongestLockHold)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

void BM_LookSeenArticles_400000_LongestLockHold(benchmark::State& state) { LongestLockHold(state, true); }
BENCHMARK(BM_LookSeenArticles_400000_LongestLockHold)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

// A site whose body never ends: the fetcher keeps the first 64 MiB, about 1.9 million anchors to one
// address, which the first iteration records once; after that every one is seen.
void BM_ProcessPlan_EndlessBody_64MiB(benchmark::State& state) {
    marl::test::TempDir dir;
    marl::test::CreateDatabaseFile(dir.File("marltips.db"));
    marl::Database db;
    if (!db.Open(dir.File("marltips.db"))) throw std::runtime_error("open");
    marl::test::PageServer server;
    const std::string anchor = "<a href=\"/endless/item.html\">x</a>";  // 34 bytes
    std::string body;
    body.reserve((65u << 20) + anchor.size());
    while (body.size() < (65u << 20)) body += anchor;
    server.SetPage("/endless", std::move(body));
    marl::PlanRecord plan;
    plan.name = "endless";
    plan.url = server.Url("/endless");
    plan.code = "2";
    marl::SharedPlanList plans;
    plans.Set(std::make_shared<const marl::PlanList>(std::vector<marl::PlanRecord>{plan}));
    SilentUi ui;
    const marl::SystemClock clock;
    const marl::MonitorContext context{db, plans, ui, clock};
    for (auto _ : state) marl::ProcessPlan(context, 1);
    if (ui.rows != 1) state.SkipWithError("the one address was not recorded exactly once");
    const size_t whole_anchors = (size_t{64} << 20) / anchor.size();
    state.counters["matches"] = static_cast<double>(whole_anchors);
}
BENCHMARK(BM_ProcessPlan_EndlessBody_64MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace
