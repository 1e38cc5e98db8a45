#include "store/search_index.h"

#include <sqlite3.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "store/sqlite_handles.h"

namespace marl {
namespace {

// Rows indexed per write transaction while building: a few hundred milliseconds of holding the
// write lock at most, so that a monitor recording into the same file waits only moments.
constexpr int64_t kBuildChunk = 2000;

// The trigram tokenizer keeps case (case_sensitive 1): the index holds texts whose ASCII letters
// are lowered by us, so only ASCII is case-blind, as in the scan. Contentless: the texts stay in
// `info` alone.
constexpr char kCreateSql[] =
    "CREATE VIRTUAL TABLE IF NOT EXISTS article_search USING fts5(title, url, content='', columnsize=0, "
    "tokenize='trigram case_sensitive 1');"
    "CREATE TABLE IF NOT EXISTS article_search_state (id INTEGER PRIMARY KEY CHECK (id = 0), "
    "done INTEGER NOT NULL, ready INTEGER NOT NULL);"
    "INSERT OR IGNORE INTO article_search_state (id, done, ready) VALUES (0, 0, 0);";

constexpr char kStateSql[] = "SELECT done, ready FROM article_search_state WHERE id = 0";
constexpr char kInsertSql[] = "INSERT INTO article_search (rowid, title, url) VALUES (?1, ?2, ?3)";

bool BindText(sqlite3_stmt* statement, int index, const std::string& value) {
    if (value.size() >= static_cast<size_t>(INT_MAX)) return false;
    return sqlite3_bind_text(statement, index, value.data(), static_cast<int>(value.size()),
                             SQLITE_TRANSIENT) == SQLITE_OK;
}

std::string ColumnString(sqlite3_stmt* statement, int column) {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    if (bytes == nullptr) return {};
    return std::string(bytes, static_cast<size_t>(sqlite3_column_bytes(statement, column)));
}

int64_t QueryInt(sqlite3* db, const char* sql, int64_t bind, int& rc) {
    sqlite3_stmt* raw = nullptr;
    rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
    SqliteStatement statement(raw);
    if (rc != SQLITE_OK) return 0;
    if (sqlite3_bind_parameter_count(raw) >= 1) sqlite3_bind_int64(raw, 1, bind);
    rc = sqlite3_step(raw);
    if (rc == SQLITE_ROW) {
        rc = SQLITE_OK;
        return sqlite3_column_int64(raw, 0);
    }
    if (rc == SQLITE_DONE) rc = SQLITE_OK;
    return 0;
}

void FoldFunction(sqlite3_context* context, int /*argc*/, sqlite3_value** argv) {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    if (bytes == nullptr) {
        sqlite3_result_null(context);
        return;
    }
    std::string text(bytes, static_cast<size_t>(sqlite3_value_bytes(argv[0])));
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// Why the index cannot be built, from the result of a statement that wrote to the file.
std::string WhyNot(sqlite3* db, int rc) {
    const int primary = rc & 0xFF;
    if (primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN || primary == SQLITE_PERM)
        return "数据库文件只读，无法建立搜索索引";
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        return "数据库正被其他程序占用，暂时无法建立搜索索引";
    const std::string message = db != nullptr ? sqlite3_errmsg(db) : "";
    if (message.find("fts5") != std::string::npos) return "此 SQLite 不支持 FTS5，无法建立搜索索引";
    if (primary == SQLITE_FULL) return "磁盘已满，无法建立搜索索引";
    return "无法建立搜索索引：" + message;
}

}  // namespace

namespace search_index {

State ReadState(sqlite3* db) {
    State state;
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, kStateSql, -1, &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        return state;
    }
    SqliteStatement statement(raw);
    if (sqlite3_step(raw) == SQLITE_ROW) {
        state.exists = true;
        state.done = sqlite3_column_int64(raw, 0);
        state.ready = sqlite3_column_int(raw, 1) != 0;
    }
    return state;
}

std::string IndexedForm(const std::string& text) {
    std::string folded;
    folded.reserve(text.size() + 2);
    for (const char c : text) {
        if (c == '\0') break;  // texts end at their first zero byte, as everywhere in the store
        folded.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    folded += "  ";
    return folded;
}

std::vector<std::string> SearchWords(const std::string& words) {
    std::vector<std::string> out;
    std::string word;
    const auto finish = [&] {
        if (!word.empty() && std::find(out.begin(), out.end(), word) == out.end()) out.push_back(word);
        word.clear();
    };
    for (size_t i = 0; i < words.size(); ++i) {
        const char c = words[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' || c == '\0') {
            finish();
        } else if (words.compare(i, 3, "\xE3\x80\x80") == 0) {  // the ideographic space
            finish();
            i += 2;
        } else {
            word.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
        }
    }
    finish();
    return out;
}

size_t CharacterCount(const std::string& word) {
    size_t count = 0;
    for (const char c : word) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

std::string QuotedString(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        quoted.push_back(c);
        if (c == '"') quoted.push_back('"');
    }
    quoted.push_back('"');
    return quoted;
}

bool RegisterFold(sqlite3* db) {
    return sqlite3_create_function_v2(db, "marl_fold", 1,
                                      SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                      &FoldFunction, nullptr, nullptr, nullptr) == SQLITE_OK;
}

int IndexNextRows(sqlite3* db, int64_t& rows) {
    rows = 0;
    int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
    // Read under the write lock: another program may have moved the mark meanwhile.
    const State state = ReadState(db);
    if (!state.exists) rc = SQLITE_ERROR;
    sqlite3_stmt* select_raw = nullptr;
    sqlite3_stmt* insert_raw = nullptr;
    if (rc == SQLITE_OK)
        rc = sqlite3_prepare_v2(db,
                                "SELECT rowid, title, url FROM info WHERE rowid > ?1 ORDER BY rowid LIMIT ?2",
                                -1, &select_raw, nullptr);
    SqliteStatement select(select_raw);
    if (rc == SQLITE_OK) rc = sqlite3_prepare_v2(db, kInsertSql, -1, &insert_raw, nullptr);
    SqliteStatement insert(insert_raw);
    int64_t last = state.done;
    if (rc == SQLITE_OK) {
        sqlite3_bind_int64(select_raw, 1, state.done);
        sqlite3_bind_int64(select_raw, 2, kBuildChunk);
        while ((rc = sqlite3_step(select_raw)) == SQLITE_ROW) {
            last = sqlite3_column_int64(select_raw, 0);
            sqlite3_bind_int64(insert_raw, 1, last);
            if (!BindText(insert_raw, 2, IndexedForm(ColumnString(select_raw, 1))) ||
                !BindText(insert_raw, 3, IndexedForm(ColumnString(select_raw, 2)))) {
                rc = SQLITE_NOMEM;
                break;
            }
            rc = sqlite3_step(insert_raw);
            sqlite3_reset(insert_raw);
            if (rc != SQLITE_DONE) break;
            ++rows;
        }
        if (rc == SQLITE_DONE) rc = SQLITE_OK;
    }
    select.reset();
    insert.reset();
    if (rc == SQLITE_OK && (rows > 0 || !state.ready)) {
        // Ready once a step finds nothing left: the mark has reached the newest row.
        const std::string advance = "UPDATE article_search_state SET done = " + std::to_string(last) +
                                    (rows == 0 ? ", ready = 1" : "") + " WHERE id = 0";
        rc = sqlite3_exec(db, advance.c_str(), nullptr, nullptr, nullptr);
        // From then on the index grows by the small steps that follow each recording. FTS5's
        // automatic merging would have each of them continue merging the large segments of the
        // build, pages by the thousand per step; without it a step writes its own small segment,
        // and segments are merged only when sixteen of one size have gathered (crisismerge).
        if (rc == SQLITE_OK && rows == 0 && !state.ready) {
            rc = sqlite3_exec(db, "INSERT INTO article_search (article_search, rank) VALUES ('automerge', 0)",
                              nullptr, nullptr, nullptr);
        }
    }
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        rows = 0;
        if (sqlite3_get_autocommit(db) == 0) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    return rc;
}

bool Lags(sqlite3* db) {
    const State state = ReadState(db);
    if (!state.ready) return false;
    int rc = SQLITE_OK;
    const int64_t newest = QueryInt(db, "SELECT coalesce(max(rowid), 0) FROM info", 0, rc);
    return rc == SQLITE_OK && newest > state.done;
}

}  // namespace search_index

bool HasSearchIndex(sqlite3* db) {
    const search_index::State state = search_index::ReadState(db);
    if (!state.exists || !state.ready) return false;
    static constexpr char kLook[] =
        "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'article_search'";
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, kLook, -1, &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        return false;
    }
    SqliteStatement statement(raw);
    return sqlite3_step(raw) == SQLITE_ROW;
}

bool BuildSearchIndex(const std::string& path,
                      const std::function<bool(int64_t done, int64_t total)>& progress, std::string& why) {
    why.clear();
    if (path.empty()) {
        why = "数据库文件不存在";
        return false;
    }
    int rc = SQLITE_OK;
    const SqliteConnection db = OpenDatabaseFile(path, SQLITE_OPEN_READWRITE, rc);
    if (rc != SQLITE_OK || !db) {
        why = (rc & 0xFF) == SQLITE_CANTOPEN && db ? WhyNot(db.get(), SQLITE_READONLY) : "无法打开数据库文件";
        return false;
    }
    sqlite3* raw = db.get();
    sqlite3_busy_timeout(raw, 3000);
    {
        // Complete already: nothing to write, so a file we may only read answers as well.
        const search_index::State state = search_index::ReadState(raw);
        int look = SQLITE_OK;
        const int64_t newest = QueryInt(raw, "SELECT coalesce(max(rowid), 0) FROM info", 0, look);
        if (look == SQLITE_OK && state.ready && state.done >= newest && HasSearchIndex(raw)) return true;
    }

    // Creating the table is what tells whether this file can hold it at all.
    rc = sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(raw, kCreateSql, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        why = WhyNot(raw, rc);
        if (sqlite3_get_autocommit(raw) == 0) sqlite3_exec(raw, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    const search_index::State state = search_index::ReadState(raw);
    int64_t total = QueryInt(raw, "SELECT count(*) FROM info", 0, rc);
    int64_t done =
        rc == SQLITE_OK ? QueryInt(raw, "SELECT count(*) FROM info WHERE rowid <= ?1", state.done, rc) : 0;
    if (rc != SQLITE_OK) {
        why = WhyNot(raw, rc);
        return false;
    }

    for (;;) {
        int64_t rows = 0;
        rc = search_index::IndexNextRows(raw, rows);
        if (rc != SQLITE_OK) {
            why = WhyNot(raw, rc);
            return false;
        }
        if (rows == 0) break;
        done += rows;
        total = std::max(total, done);
        if (progress && !progress(done, total)) {
            why = "搜索索引的建立已停止";
            return false;
        }
    }
    if (progress) progress(total, total);
    return true;
}

}  // namespace marl
