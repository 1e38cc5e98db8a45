#include "store/article_plan_table.h"

#include <sqlite3.h>

namespace marl {

bool EnsureArticlePlanTable(sqlite3* db) {
    // The index serves a plan's feed: its newest articles by one backwards range scan.
    static constexpr char kCreate[] =
        "CREATE TABLE IF NOT EXISTS article_plan (article INTEGER PRIMARY KEY, plan_id INTEGER NOT NULL);"
        "CREATE INDEX IF NOT EXISTS article_plan_plan ON article_plan (plan_id, article);";
    return sqlite3_exec(db, kCreate, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool InsertArticlePlan(sqlite3* db, int64_t article, int32_t plan_id) {
    // REPLACE: a file whose `info` reuses rowids (no AUTOINCREMENT) must not keep a stale plan.
    static constexpr char kInsert[] =
        "INSERT OR REPLACE INTO article_plan (article, plan_id) VALUES (?1, ?2)";
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, kInsert, -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return false;
    }
    sqlite3_bind_int64(statement, 1, article);
    sqlite3_bind_int(statement, 2, plan_id);
    const bool done = sqlite3_step(statement) == SQLITE_DONE;
    sqlite3_finalize(statement);
    return done;
}

bool HasArticlePlanTable(sqlite3* db) {
    static constexpr char kLook[] =
        "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'article_plan'";
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, kLook, -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return false;
    }
    const bool found = sqlite3_step(statement) == SQLITE_ROW;
    sqlite3_finalize(statement);
    return found;
}

}  // namespace marl
