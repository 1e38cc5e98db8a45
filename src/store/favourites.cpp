#include "store/favourites.h"

#include <sqlite3.h>

#include <memory>
#include <string>

#include "store/sqlite_handles.h"

namespace marl {
namespace {

std::string WhyNot(sqlite3* db, int rc) {
    const int primary = rc & 0xFF;
    if (primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN || primary == SQLITE_PERM)
        return "数据库文件只读，无法保存收藏";
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) return "数据库正被其他程序占用，请稍后再收藏";
    return std::string("无法保存收藏：") + (db != nullptr ? sqlite3_errmsg(db) : "");
}

}  // namespace

bool SetFavourite(const std::string& path, int64_t article, bool favourite, std::string& why) {
    why.clear();
    if (path.empty()) {
        why = "数据库文件不存在";
        return false;
    }
    int rc = SQLITE_OK;
    const SqliteConnection db = OpenDatabaseFile(path, SQLITE_OPEN_READWRITE, rc);
    if (rc != SQLITE_OK || !db) {
        why = db && (rc & 0xFF) != SQLITE_CANTOPEN ? WhyNot(db.get(), rc) : "无法打开数据库文件";
        return false;
    }
    sqlite3* raw = db.get();
    sqlite3_busy_timeout(raw, 3000);
    // `seq` orders the favourites by when they were kept (newest first), which `added`, in
    // seconds, cannot do for two kept within one second.
    static constexpr char kCreate[] =
        "CREATE TABLE IF NOT EXISTS favourite (article INTEGER PRIMARY KEY, added TEXT NOT NULL, "
        "seq INTEGER NOT NULL)";
    static constexpr char kAdd[] =
        "INSERT OR IGNORE INTO favourite (article, added, seq) SELECT ?1, datetime('now', 'localtime'), "
        "coalesce((SELECT max(seq) FROM favourite), 0) + 1 WHERE EXISTS (SELECT 1 FROM info WHERE rowid = "
        "?1)";
    static constexpr char kRemove[] = "DELETE FROM favourite WHERE article = ?1";
    static constexpr char kExists[] =
        "SELECT EXISTS (SELECT 1 FROM info WHERE rowid = ?1), "
        "EXISTS (SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'favourite')";

    rc = sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    bool known = false;
    bool has_table = false;
    if (rc == SQLITE_OK) {
        sqlite3_stmt* look = nullptr;
        rc = sqlite3_prepare_v2(raw, kExists, -1, &look, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_bind_int64(look, 1, article);
            rc = sqlite3_step(look);
            if (rc == SQLITE_ROW) {
                known = sqlite3_column_int(look, 0) != 0;
                has_table = sqlite3_column_int(look, 1) != 0;
                rc = SQLITE_OK;
            }
        }
        sqlite3_finalize(look);
    }
    if (rc == SQLITE_OK && favourite && !known) {
        sqlite3_exec(raw, "ROLLBACK", nullptr, nullptr, nullptr);
        why = "这篇文章已不在数据库中";
        return false;
    }
    if (rc == SQLITE_OK && (favourite || has_table)) {
        if (!has_table) rc = sqlite3_exec(raw, kCreate, nullptr, nullptr, nullptr);
        sqlite3_stmt* change = nullptr;
        if (rc == SQLITE_OK) rc = sqlite3_prepare_v2(raw, favourite ? kAdd : kRemove, -1, &change, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_bind_int64(change, 1, article);
            rc = sqlite3_step(change);
            if (rc == SQLITE_DONE) rc = SQLITE_OK;
        }
        sqlite3_finalize(change);
    }
    if (rc == SQLITE_OK) rc = sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        why = WhyNot(raw, rc);
        if (sqlite3_get_autocommit(raw) == 0) sqlite3_exec(raw, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    return true;
}

}  // namespace marl
