#include "store/article_lookup.h"

#include <sqlite3.h>

#include <climits>

#include "store/sqlite_handles.h"

namespace marl {
namespace {

// How long the look waits for a lock held by another program (a commit in progress).
constexpr int kBusyMs = 3000;

}  // namespace

bool FindArticleByUrl(const std::string& path, const std::string& url, int64_t& article, std::string& why) {
    article = 0;
    int rc = SQLITE_OK;
    const SqliteConnection db = OpenDatabaseFile(path, SQLITE_OPEN_READONLY, rc);
    if (rc != SQLITE_OK || !db) {
        why = "无法打开数据库文件";
        return false;
    }
    sqlite3_busy_timeout(db.get(), kBusyMs);
    sqlite3_stmt* raw = nullptr;
    // The seen-check's index on url makes this a lookup.
    bool ok = url.size() < static_cast<size_t>(INT_MAX) &&
              sqlite3_prepare_v2(db.get(), "SELECT id FROM info WHERE url = ?1 ORDER BY id DESC LIMIT 1", -1,
                                 &raw, nullptr) == SQLITE_OK;
    const SqliteStatement statement(raw);
    ok = ok &&
         sqlite3_bind_text(raw, 1, url.data(), static_cast<int>(url.size()), SQLITE_TRANSIENT) == SQLITE_OK;
    if (ok) {
        const int step = sqlite3_step(raw);
        if (step == SQLITE_ROW) {
            article = sqlite3_column_int64(raw, 0);
        } else if (step != SQLITE_DONE) {
            ok = false;
        }
    }
    if (!ok)
        why = sqlite3_errcode(db.get()) == SQLITE_BUSY ? "数据库正忙，请稍后再试" : "无法读取数据库中的文章";
    return ok;
}

}  // namespace marl
