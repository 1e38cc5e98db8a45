// What several benchmarks share: a monitor UI that shows nothing, and a large marltips.db.
#pragma once
#include <sqlite3.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

#include "monitor/monitor_ui.h"
#include "store/database.h"
#include "support/plan_rows.h"
#include "support/temp_dir.h"

namespace marl::bench {

// The monitor's UI port with every call a no-op, so that only the monitor's own work is timed;
// it counts the rows it was given.
class SilentUi final : public MonitorUi {
  public:
    void AppendStatus(const Text&) override {}
    void InsertArticleRow(int32_t, const Text&, const Text&, const Text&, const Text&) override { ++rows; }
    void ShowArticle(const Text&, const Text&) override {}
    Text FrequencyText() override { return "200"; }
    Text StartCaption() override { return {}; }
    void SetStartCaption(const Text&) override {}
    void SetStartEnabled(bool) override {}
    void SetClipboard(const Text&) override {}
    void ShowMessage(const Text&) override {}
    int rows = 0;
};

// Makes the marltips.db at `path` with `plans` plans ("方案 N") and `rows` articles spread over
// them, each with its plan id and a recording time; `article(i)` gives the title and address of
// row i (UTF-8). One transaction, through SQLite directly: a million rows take seconds.
inline void FillArticleStore(const std::string& path, int plans, int rows,
                             const std::function<std::pair<std::string, std::string>(int)>& article) {
    test::CreateDatabaseFile(path);
    {
        Database db;
        if (!db.Open(path)) throw std::runtime_error("open");
        for (int id = 1; id <= plans; ++id) test::InsertPlanRow(db, id, "方案 " + std::to_string(id), "x");
    }
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) throw std::runtime_error("open");
    sqlite3_exec(db,
                 "BEGIN;"
                 "CREATE TABLE article_plan (article INTEGER PRIMARY KEY, plan_id INTEGER NOT NULL);"
                 "CREATE INDEX article_plan_plan ON article_plan (plan_id, article);",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* info = nullptr;
    sqlite3_stmt* plan = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO info (classid, title, url, addtime) VALUES ('1', ?1, ?2, ?3)", -1,
                       &info, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO article_plan (article, plan_id) VALUES (last_insert_rowid(), ?1)", -1,
                       &plan, nullptr);
    for (int i = 0; i < rows; ++i) {
        const auto [title, url] = article(i);
        const std::string time = "2024-03-05 07:" + std::to_string(10 + i % 50) + ":09";
        sqlite3_bind_text(info, 1, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(info, 2, url.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(info, 3, time.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(info);
        sqlite3_reset(info);
        sqlite3_bind_int(plan, 1, 1 + i % plans);
        sqlite3_step(plan);
        sqlite3_reset(plan);
    }
    sqlite3_finalize(info);
    sqlite3_finalize(plan);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

}  // namespace marl::bench
