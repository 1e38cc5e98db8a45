#include "store/article_lookup.h"

#include <sqlite3.h>

namespace marl {
namespace {

// How long the look waits for a lock held by another program (a commit in progress).
constexpr int kBusyMs = 3000;

}  // namespace

bool FindArticleByUrl(const std::string& path, const std::string& url, int64_t& article, std::string& why) {
    article = 0;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        why = "无法打开数据库文件";
        sqlite3_close(db);
        return false;
    }
    sqlite3_busy_timeout(db, kBusyMs);
    sqlite3_stmt* statement = nullptr;
    // The seen-check's index on url makes this a lookup.
    bool ok = sqlite3_prepare_v2(db, "SELECT id FROM info WHERE url = ?1 ORDER BY id DESC LIMIT 1", -1,
                                 &statement, nullptr) == SQLITE_OK &&
              sqlite3_bind_text(statement, 1, url.data(), static_cast<int>(url.size()), SQLITE_TRANSIENT) ==
                  SQLITE_OK;
    if (ok) {
        const int step = sqlite3_step(statement);
        if (step == SQLITE_ROW) {
            article = sqlite3_column_int64(statement, 0);
        } else if (step != SQLITE_DONE) {
            ok = false;
        }
    }
    if (!ok) why = sqlite3_errcode(db) == SQLITE_BUSY ? "数据库正忙，请稍后再试" : "无法读取数据库中的文章";
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return ok;
}

}  // namespace marl
