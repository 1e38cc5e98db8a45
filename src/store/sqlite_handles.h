#pragma once
#include <sqlite3.h>

#include <memory>
#include <string>

namespace marl {

// Owners of SQLite handles for the store's own short-lived connections and statements.
struct SqliteCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct SqliteFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using SqliteConnection = std::unique_ptr<sqlite3, SqliteCloser>;
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteFinalizer>;

// Opens the existing database file at `path` (never creating one) with `flags` (SQLITE_OPEN_READONLY
// or SQLITE_OPEN_READWRITE). A path that starts with "file:" is opened as the file of that name:
// taken as a URI, its options could create files. `rc` receives the result; on failure the
// connection may still be there, for its error message.
inline SqliteConnection OpenDatabaseFile(const std::string& path, int flags, int& rc) {
    const std::string file = path.rfind("file:", 0) == 0 ? "./" + path : path;
    sqlite3* opened = nullptr;
    rc = sqlite3_open_v2(file.c_str(), &opened, flags, nullptr);
    return SqliteConnection(opened);
}

}  // namespace marl
