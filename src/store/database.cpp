#include "store/database.h"

#include <sqlite3.h>

#include <climits>
#include <new>
#include <string_view>

#include "text/gbk_codec.h"
#include "text/text_ops.h"

namespace marl {
namespace {

struct StatementDeleter {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

constexpr std::chrono::milliseconds kRetryStep{10};

// A result value as GBK; NULL and values that are not UTF-8 or have no GBK form read as empty.
Text ColumnText(sqlite3_stmt* statement, int column) {
    if (sqlite3_column_type(statement, column) == SQLITE_NULL) return {};
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    if (bytes == nullptr) return {};
    const std::string_view utf8(bytes, static_cast<size_t>(sqlite3_column_bytes(statement, column)));
    return Utf8ToGbkStrict(UpToZero(utf8)).value_or(Text());
}

// What a statement run should keep of its rows.
struct RowSink {
    std::vector<std::vector<Text>>* rows = nullptr;  // every value, or
    int64_t count = 0;                               // only the number of rows
};

// Prepares the first statement of `statement`, steps it to its end and finalizes it.
bool RunStatement(sqlite3* db, const Text& statement, RowSink& sink) {
    if (db == nullptr) return false;
    const auto utf8 = GbkToUtf8Strict(UpToZero(statement));
    if (!utf8 || utf8->size() >= static_cast<size_t>(INT_MAX)) return false;
    sqlite3_stmt* raw = nullptr;
    // The length includes the terminator, which spares SQLite a copy; the tail is ignored.
    if (sqlite3_prepare_v2(db, utf8->c_str(), static_cast<int>(utf8->size() + 1), &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        return false;
    }
    StatementPtr prepared(raw);
    if (!prepared) return false;  // only white space or a comment: nothing to run
    const int columns = sqlite3_column_count(prepared.get());
    for (;;) {
        const int rc = sqlite3_step(prepared.get());
        if (rc == SQLITE_DONE) return true;
        if (rc != SQLITE_ROW) return false;
        ++sink.count;
        if (sink.rows == nullptr) continue;
        std::vector<Text> row;
        row.reserve(static_cast<size_t>(columns));
        for (int c = 0; c < columns; ++c) row.push_back(ColumnText(prepared.get(), c));
        sink.rows->push_back(std::move(row));
    }
}

int32_t ClampCount(int64_t count) { return count > INT32_MAX ? INT32_MAX : static_cast<int32_t>(count); }

}  // namespace

class Database::Connection {
public:
    explicit Connection(sqlite3* db) : db_(db) {}
    ~Connection() { sqlite3_close_v2(db_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    sqlite3* get() const { return db_; }

private:
    sqlite3* db_;
};

Database::Database() = default;

Database::~Database() = default;

std::unique_lock<std::timed_mutex> Database::Acquire() {
    std::unique_lock<std::timed_mutex> lock(mutex_, std::defer_lock);
    while (!lock.try_lock_for(kRetryStep)) {
        std::function<void()> hook;
        {
            std::lock_guard<std::mutex> guard(hook_mutex_);
            if (idle_hook_ && hook_thread_ == std::this_thread::get_id()) hook = idle_hook_;
        }
        if (!hook) continue;
        try {
            hook();
        } catch (...) {
            // A failing hook must not turn a database call into an exception.
        }
    }
    return lock;
}

bool Database::Open(const std::string& path) {
    auto lock = Acquire();
    connection_.reset();
    open_ = false;
    if (path.empty()) return false;
    // A path that starts with "file:" could be taken as a URI, whose options may create files.
    const std::string file = path.rfind("file:", 0) == 0 ? "./" + path : path;
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    auto connection = std::make_unique<Connection>(raw);
    if (rc != SQLITE_OK || raw == nullptr) return false;
    sqlite3_busy_timeout(raw, static_cast<int>(busy_timeout_.count()));
    // Opening is lazy: reading the schema is what tells a database from any other file.
    // A file locked by another program is in use as a database, so BUSY counts as success.
    sqlite3_stmt* probe = nullptr;
    int probe_rc = sqlite3_prepare_v2(raw, "SELECT count(*) FROM sqlite_master", -1, &probe, nullptr);
    StatementPtr probe_statement(probe);
    if (probe_rc == SQLITE_OK && probe_statement) probe_rc = sqlite3_step(probe_statement.get());
    probe_statement.reset();
    if (probe_rc != SQLITE_ROW && probe_rc != SQLITE_BUSY && probe_rc != SQLITE_LOCKED) return false;
    connection_ = std::move(connection);
    open_ = true;
    return true;
}

void Database::Close() {
    auto lock = Acquire();
    connection_.reset();
    open_ = false;
}

bool Database::IsOpen() const { return open_; }

bool Database::ExecuteSql(const Text& statement) {
    auto lock = Acquire();
    if (!connection_) return false;
    RowSink sink;
    try {
        return RunStatement(connection_->get(), statement, sink);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

int32_t Database::CountArticlesWhere(const Text& condition) {
    static const Text kPrefix = "SELECT * FROM info where ";
    Text statement;
    try {
        statement = kPrefix + condition;
    } catch (const std::bad_alloc&) {
        return 0;
    }
    auto lock = Acquire();
    if (!connection_) return 0;
    RowSink sink;
    try {
        return RunStatement(connection_->get(), statement, sink) ? ClampCount(sink.count) : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int32_t Database::QueryRows(const Text& statement, std::vector<std::vector<Text>>& rows) {
    rows.clear();
    auto lock = Acquire();
    if (!connection_) return 0;
    RowSink sink;
    sink.rows = &rows;
    bool ok = false;
    try {
        ok = RunStatement(connection_->get(), statement, sink);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok || sink.count > INT32_MAX) {
        rows.clear();
        rows.shrink_to_fit();
        return 0;
    }
    return static_cast<int32_t>(sink.count);
}

void Database::SetIdleHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> guard(hook_mutex_);
    idle_hook_ = std::move(hook);
    hook_thread_ = std::this_thread::get_id();
}

void Database::SetBusyTimeout(std::chrono::milliseconds timeout) {
    auto lock = Acquire();
    busy_timeout_ = timeout;
    if (connection_) sqlite3_busy_timeout(connection_->get(), static_cast<int>(timeout.count()));
}

}  // namespace marl
