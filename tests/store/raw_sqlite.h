#pragma once
// Direct SQLite access for tests: a second connection that plays "another program" and plants
// rows the statement layer could not write itself (NULLs, bytes that are not UTF-8).
#include <sqlite3.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace marl::test {

class RawSqlite {
  public:
    explicit RawSqlite(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            sqlite3_close(db_);
            throw std::runtime_error("cannot open " + path);
        }
    }
    ~RawSqlite() { sqlite3_close_v2(db_); }
    RawSqlite(const RawSqlite&) = delete;
    RawSqlite& operator=(const RawSqlite&) = delete;

    void Exec(const std::string& sql) {
        char* err = nullptr;
        const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
        std::string message = err ? err : "";
        sqlite3_free(err);
        if (rc != SQLITE_OK) throw std::runtime_error(sql + ": " + message);
    }

    // Binds one blob-free text parameter per '?', taken byte for byte (no encoding check).
    void ExecBound(const std::string& sql, const std::vector<std::string>& values) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(sql);
        for (size_t i = 0; i < values.size(); ++i) {
            sqlite3_bind_text(st, static_cast<int>(i + 1), values[i].data(),
                              static_cast<int>(values[i].size()), SQLITE_TRANSIENT);
        }
        const int rc = sqlite3_step(st);
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE) throw std::runtime_error(sql);
    }

    // The first column of every row, as stored (UTF-8 bytes); NULL as "<null>".
    std::vector<std::string> Column(const std::string& sql) {
        std::vector<std::string> out;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(sql);
        while (sqlite3_step(st) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            out.push_back(text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(st, 0)))
                               : "<null>");
        }
        sqlite3_finalize(st);
        return out;
    }

  private:
    sqlite3* db_ = nullptr;
};

}  // namespace marl::test
