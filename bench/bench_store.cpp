// The seen-check of new-article recording on a large `info` table, and a plan list reload.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <memory>
#include <string>

#include "store/database.h"
#include "store/plan_store.h"
#include "support/temp_dir.h"

namespace {

constexpr int kArticles = 1000000;

std::string ArticleUrl(int i) { return "http://127.0.0.1/news/2024/" + std::to_string(i) + ".html"; }

// One database with a million recorded articles and 50 plans, built once for all benchmarks.
struct BigDatabase {
    marl::test::TempDir dir;
    std::string path = dir.File("marltips.db");

    BigDatabase() {
        marl::test::CreateDatabaseFile(path);
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO info (classid, title, url, addtime) VALUES ('1', 'title', ?, '')",
                           -1, &insert, nullptr);
        for (int i = 0; i < kArticles; ++i) {
            const std::string url = ArticleUrl(i);
            sqlite3_bind_text(insert, 1, url.c_str(), static_cast<int>(url.size()), SQLITE_TRANSIENT);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        for (int i = 0; i < 50; ++i) {
            sqlite3_exec(
                db,
                "INSERT INTO rule (class, name, url, code, part) VALUES ('1', 'plan', 'http://x/', '1', "
                "'<ul>[*]</ul>')",
                nullptr, nullptr, nullptr);
        }
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
};

BigDatabase& Shared() {
    static BigDatabase big;
    return big;
}

void BM_SeenCheckHit(benchmark::State& state) {
    marl::Database db;
    db.Open(Shared().path);
    int i = 0;
    for (auto _ : state) {
        const int32_t n = db.CountArticlesWhere("url='" + ArticleUrl(i) + "'");
        benchmark::DoNotOptimize(n);
        i = (i + 7919) % kArticles;
    }
}
BENCHMARK(BM_SeenCheckHit);

void BM_SeenCheckMiss(benchmark::State& state) {
    marl::Database db;
    db.Open(Shared().path);
    int i = 0;
    for (auto _ : state) {
        const int32_t n = db.CountArticlesWhere("url='" + ArticleUrl(kArticles + i++) + "'");
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_SeenCheckMiss);

// The check new-article recording runs (bound address, prepared once), next to the text form above.
// A plan's looks share one read transaction; committing every 2,000 looks stands for one plan.
void BM_SeenCheckBoundHit(benchmark::State& state) {
    marl::Database db;
    db.Open(Shared().path);
    int i = 0;
    int looks = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(db.CheckArticle(ArticleUrl(i)));
        i = (i + 7919) % kArticles;
        if (++looks % 2000 == 0) db.CommitArticles();
    }
    db.CommitArticles();
}
BENCHMARK(BM_SeenCheckBoundHit);

void BM_SeenCheckBoundMiss(benchmark::State& state) {
    marl::Database db;
    db.Open(Shared().path);
    int i = 0;
    for (auto _ : state) {
        // A miss takes the write lock; committing at once measures the whole cost of a new address.
        benchmark::DoNotOptimize(db.CheckArticle(ArticleUrl(kArticles + i++)));
        db.CommitArticles();
    }
}
BENCHMARK(BM_SeenCheckBoundMiss);

void BM_LoadFiftyPlans(benchmark::State& state) {
    marl::Database db;
    db.Open(Shared().path);
    marl::SharedPlanList plans;
    marl::PlanStore store(db, plans);
    for (auto _ : state) benchmark::DoNotOptimize(store.LoadPlans());
}
BENCHMARK(BM_LoadFiftyPlans);

}  // namespace
