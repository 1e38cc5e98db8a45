#include "store/database.h"

#include <sqlite3.h>

#include <chrono>
#include <climits>
#include <new>
#include <string_view>
#include <thread>

#include "store/article_plan_table.h"
#include "store/search_index.h"
#include "store/sqlite_handles.h"
#include "text/gbk_codec.h"
#include "text/text_ops.h"

namespace marl {
namespace {

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
    if (sqlite3_prepare_v2(db, utf8->c_str(), static_cast<int>(utf8->size() + 1), &raw, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(raw);
        return false;
    }
    SqliteStatement prepared(raw);
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

// A value as the file stores it: UTF-8, up to its first zero byte like every text of ours. A value
// that is not valid GBK (a page's bytes taken as they came) keeps its bytes, so that the look and
// the insert of one address always agree and two such addresses stay apart.
std::string StoredForm(const Text& value) {
    const std::string_view text = UpToZero(value);
    bool ascii = true;
    for (const char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return std::string(text);
    if (auto utf8 = GbkToUtf8Strict(text)) return std::move(*utf8);
    return std::string(text);
}

bool BindText(sqlite3_stmt* statement, int index, const std::string& value) {
    if (value.size() >= static_cast<size_t>(INT_MAX)) return false;
    return sqlite3_bind_text(statement, index, value.data(), static_cast<int>(value.size()), SQLITE_STATIC) ==
           SQLITE_OK;
}

// Leaves a kept statement ready for its next use, without a lock or a dangling binding.
void Rewind(sqlite3_stmt* statement) {
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
}

// A statement that finds the file locked by another program tries again every kBusyStep until
// `timeout` has passed. SQLite's own wait sleeps up to 100 ms between tries, which would let a
// recorder that gives the lock up for a moment between its chunks take it back before we look.
constexpr std::chrono::milliseconds kBusyStep{5};

struct BusyWait {
    std::chrono::milliseconds timeout{0};
    std::chrono::steady_clock::time_point since{};

    static int Retry(void* self, int tries) {
        auto& wait = *static_cast<BusyWait*>(self);
        const auto now = std::chrono::steady_clock::now();
        if (tries == 0) wait.since = now;
        if (now - wait.since >= wait.timeout) return 0;
        std::this_thread::sleep_for(kBusyStep);
        return 1;
    }
};

constexpr const char kSeenCheckSql[] = "SELECT 1 FROM info WHERE url = ?1 LIMIT 1";
// Stores only if still absent: a row some other writer added since the look is never doubled.
constexpr const char kInsertSql[] =
    "INSERT INTO info (classid, title, url, addtime) SELECT ?1, ?2, ?3, ?4 "
    "WHERE NOT EXISTS (SELECT 1 FROM info WHERE url = ?3)";

}  // namespace

class Database::Connection {
  public:
    explicit Connection(sqlite3* db) : db_(db) {}
    ~Connection() {
        seen_check.reset();
        insert.reset();
        sqlite3_close_v2(db_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    sqlite3* get() const { return db_; }

    // Set as the connection's busy handler; lives as long as the connection.
    BusyWait busy;

    void SetBusyTimeout(std::chrono::milliseconds timeout) {
        busy.timeout = timeout;
        sqlite3_busy_handler(db_, &BusyWait::Retry, &busy);
    }

    // The recording statements, prepared at first use and kept for the life of the connection.
    SqliteStatement seen_check;
    SqliteStatement insert;
    // The transaction the recording operations keep open between calls: a read transaction
    // across a plan's looks (one file lock instead of one per look), or the write transaction
    // that holds the articles stored so far.
    enum class Kept { kNone, kReading, kWriting };
    Kept kept = Kept::kNone;
    int32_t pending = 0;                   // articles stored in the write transaction so far
    int32_t dropped = 0;                   // stored articles rolled back since CommitArticles last reported
    int64_t last_stored = 0;               // rowid of the row the last StoreArticle added; 0: none
    uint64_t added = 0;                    // the number of the last row StoreArticle added
    std::vector<uint64_t> open_rows;       // numbers of the rows added in the write transaction
    std::vector<uint64_t> committed_rows;  // numbers of the rows committed since last handed over
    bool plan_table_ready = false;         // article_plan made sure of on this connection

    sqlite3_stmt* Prepared(SqliteStatement& slot, const char* sql) {
        if (!slot) {
            sqlite3_stmt* raw = nullptr;
            if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr) != SQLITE_OK) {
                sqlite3_finalize(raw);
                return nullptr;
            }
            slot.reset(raw);
        }
        return slot.get();
    }

    // After a failed step: some errors (I/O, disk full, busy in the middle of a write) roll the
    // whole transaction back, which takes every article stored in it along.
    void NoteLostTransaction() {
        if (kept == Kept::kNone || sqlite3_get_autocommit(db_) == 0) return;
        if (kept == Kept::kWriting) dropped += pending;
        kept = Kept::kNone;
        pending = 0;
        open_rows.clear();
    }

    // The numbers of the rows committed since the last call, handed to `out` when asked for.
    void HandOverCommitted(std::vector<uint64_t>* out) {
        if (out != nullptr) out->swap(committed_rows);
        committed_rows.clear();
    }

    // Ends the transaction kept open between recording calls. A commit that fails is rolled back,
    // and the articles it held are counted as dropped.
    void EndKeptTransaction() {
        if (kept == Kept::kNone) return;
        const bool writing = kept == Kept::kWriting;
        kept = Kept::kNone;
        if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
            if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            if (writing) dropped += pending;
        } else {
            try {
                committed_rows.insert(committed_rows.end(), open_rows.begin(), open_rows.end());
            } catch (const std::bad_alloc&) {
                // Committed all the same; only nobody is told of these rows.
            }
        }
        pending = 0;
        open_rows.clear();
    }

    // Ends the kept transaction without keeping what it stored; returns how many articles that was.
    int32_t RollbackKeptTransaction() {
        if (kept == Kept::kNone) return 0;
        const int32_t taken_back = kept == Kept::kWriting ? pending : 0;
        kept = Kept::kNone;
        pending = 0;
        open_rows.clear();
        if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return taken_back;
    }

    // Takes the file's write lock for recording. The read transaction goes first: holding its
    // read lock while waiting for the write lock could keep another writer from ever committing.
    int BeginRecording() {
        if (kept == Kept::kReading) EndKeptTransaction();
        const int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) kept = Kept::kWriting;
        return rc;
    }

  private:
    sqlite3* db_;
};

Database::Database() = default;

Database::~Database() {
    // What recording stored must not go down with the connection.
    if (connection_) connection_->EndKeptTransaction();
}

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

std::unique_lock<std::timed_mutex> Database::AcquireOutsideRecording() {
    auto lock = Acquire();
    if (connection_) connection_->EndKeptTransaction();
    return lock;
}

bool Database::Open(const std::string& path) {
    auto lock = AcquireOutsideRecording();
    connection_.reset();
    open_ = false;
    if (path.empty()) return false;
    int rc = SQLITE_OK;
    sqlite3* raw = OpenDatabaseFile(path, SQLITE_OPEN_READWRITE, rc).release();
    auto connection = std::make_unique<Connection>(raw);
    if (rc != SQLITE_OK || raw == nullptr) return false;
    connection->SetBusyTimeout(busy_timeout_);
    // Opening is lazy: reading the schema is what tells a database from any other file.
    // A file locked by another program is in use as a database, so BUSY counts as success.
    sqlite3_stmt* probe = nullptr;
    int probe_rc = sqlite3_prepare_v2(raw, "SELECT count(*) FROM sqlite_master", -1, &probe, nullptr);
    SqliteStatement probe_statement(probe);
    if (probe_rc == SQLITE_OK && probe_statement) probe_rc = sqlite3_step(probe_statement.get());
    probe_statement.reset();
    if (probe_rc != SQLITE_ROW && probe_rc != SQLITE_BUSY && probe_rc != SQLITE_LOCKED) return false;
    connection_ = std::move(connection);
    open_ = true;
    return true;
}

void Database::Close() {
    auto lock = AcquireOutsideRecording();
    connection_.reset();
    open_ = false;
}

bool Database::IsOpen() const { return open_; }

bool Database::ExecuteSql(const Text& statement) {
    int64_t inserted_id = 0;
    return ExecuteSql(statement, inserted_id);
}

bool Database::ExecuteSql(const Text& statement, int64_t& inserted_id) {
    inserted_id = 0;
    auto lock = AcquireOutsideRecording();
    if (!connection_) return false;
    RowSink sink;
    try {
        // The connection's last insert id outlives statements (and belongs to whichever table had
        // the last insert): it is this statement's row only when this statement changed rows.
        sqlite3* c = connection_->get();
        const int changes_before = sqlite3_total_changes(c);
        const bool ok = RunStatement(c, statement, sink);
        if (ok && sqlite3_total_changes(c) != changes_before) inserted_id = sqlite3_last_insert_rowid(c);
        return ok;
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
    auto lock = AcquireOutsideRecording();
    if (!connection_) return 0;
    RowSink sink;
    try {
        return RunStatement(connection_->get(), statement, sink) ? ClampCount(sink.count) : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int32_t Database::QueryRows(const Text& statement, std::vector<std::vector<Text>>& rows) {
    bool failed = false;
    return QueryRows(statement, rows, failed);
}

int32_t Database::QueryRows(const Text& statement, std::vector<std::vector<Text>>& rows, bool& failed) {
    rows.clear();
    failed = true;
    auto lock = AcquireOutsideRecording();
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
    failed = false;
    return static_cast<int32_t>(sink.count);
}

Database::Seen Database::CheckArticle(const Text& address) {
    std::string stored;
    try {
        stored = StoredForm(address);
    } catch (const std::bad_alloc&) {
        return Seen::kUnknown;
    }
    auto lock = Acquire();
    if (!connection_) return Seen::kUnknown;
    Connection& c = *connection_;
    sqlite3_stmt* look = c.Prepared(c.seen_check, kSeenCheckSql);
    if (look == nullptr) return Seen::kUnknown;
    const auto look_once = [&] {
        Seen answer = Seen::kUnknown;
        if (BindText(look, 1, stored)) {
            const int rc = sqlite3_step(look);
            answer = rc == SQLITE_ROW ? Seen::kSeen : rc == SQLITE_DONE ? Seen::kNew : Seen::kUnknown;
        }
        Rewind(look);
        if (answer == Seen::kUnknown) c.NoteLostTransaction();
        return answer;
    };

    if (c.kept == Connection::Kept::kWriting) return look_once();  // the write lock is ours already
    // Most addresses have been seen before: looks under a read lock settle them without keeping
    // other programs from writing. One read transaction serves the looks until the next write.
    if (c.kept == Connection::Kept::kNone && sqlite3_get_autocommit(c.get()) != 0 &&
        sqlite3_exec(c.get(), "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK) {
        c.kept = Connection::Kept::kReading;
    }
    const Seen unlocked = look_once();
    if (unlocked == Seen::kUnknown) c.EndKeptTransaction();
    if (unlocked != Seen::kNew) return unlocked;
    const int rc = c.BeginRecording();
    if (rc != SQLITE_OK) {
        // A file we cannot write: nothing of ours can double a row, so the look stands and the
        // insert will fail visibly. Anything else (another writer past the busy time): unknown.
        return (rc & 0xFF) == SQLITE_READONLY ? Seen::kNew : Seen::kUnknown;
    }
    return look_once();
}

bool Database::StoreArticle(const ArticleRecord& article, uint64_t* added) {
    if (added != nullptr) *added = 0;
    std::string classid, title, url, addtime;
    try {
        classid = StoredForm(article.classid);
        title = StoredForm(article.title);
        url = StoredForm(article.url);
        addtime = StoredForm(article.addtime);
    } catch (const std::bad_alloc&) {
        return false;
    }
    auto lock = Acquire();
    if (!connection_) return false;
    Connection& c = *connection_;
    sqlite3_stmt* insert = c.Prepared(c.insert, kInsertSql);
    if (insert == nullptr) return false;
    // Given up since the look (another thread's statement committed it): take it again; the
    // insert itself still refuses to double a row.
    if (c.kept != Connection::Kept::kWriting && c.BeginRecording() != SQLITE_OK) return false;
    bool stored = BindText(insert, 1, classid) && BindText(insert, 2, title) && BindText(insert, 3, url) &&
                  BindText(insert, 4, addtime);
    stored = stored && sqlite3_step(insert) == SQLITE_DONE;
    Rewind(insert);
    c.last_stored = 0;
    if (stored) {
        ++c.pending;
        if (sqlite3_changes(c.get()) > 0) {
            c.last_stored = sqlite3_last_insert_rowid(c.get());
            try {
                c.open_rows.push_back(++c.added);
                if (added != nullptr) *added = c.added;
            } catch (const std::bad_alloc&) {
                // Stored all the same; only its number is not kept, so nobody is told of it.
            }
        }
    } else {
        c.NoteLostTransaction();
    }
    return stored;
}

bool Database::StoreArticlePlan(int32_t plan_id) {
    auto lock = Acquire();
    if (!connection_) return false;
    Connection& c = *connection_;
    const int64_t article = c.last_stored;
    c.last_stored = 0;
    if (article == 0 || c.kept != Connection::Kept::kWriting) return false;
    if (!c.plan_table_ready) c.plan_table_ready = EnsureArticlePlanTable(c.get());
    return c.plan_table_ready && InsertArticlePlan(c.get(), article, plan_id);
}

int32_t Database::CommitArticles(std::vector<uint64_t>* committed) {
    if (committed != nullptr) committed->clear();
    auto lock = Acquire();
    if (!connection_) return 0;
    connection_->EndKeptTransaction();
    connection_->HandOverCommitted(committed);
    const int32_t dropped = connection_->dropped;
    connection_->dropped = 0;
    return dropped;
}

int32_t Database::RollbackArticles(std::vector<uint64_t>* committed) {
    if (committed != nullptr) committed->clear();
    auto lock = Acquire();
    if (!connection_) return 0;
    const int32_t taken_back = connection_->RollbackKeptTransaction();
    connection_->HandOverCommitted(committed);
    return taken_back;
}

int64_t Database::CatchUpSearchIndex(int64_t at_most) {
    int64_t indexed = 0;
    while (indexed < at_most) {
        // Let go of the connection between steps: the UI thread's statements come in between.
        auto lock = AcquireOutsideRecording();
        if (!connection_) break;
        sqlite3* db = connection_->get();
        if (!search_index::Lags(db)) break;
        // Another program writing now records more rows, and its own step after that takes them:
        // this one gives way at once rather than wait for it.
        sqlite3_busy_handler(db, nullptr, nullptr);
        int64_t rows = 0;
        const int rc = search_index::IndexNextRows(db, rows);
        connection_->SetBusyTimeout(busy_timeout_);
        if (rc != SQLITE_OK || rows == 0) break;
        indexed += rows;
    }
    return indexed;
}

void Database::SetIdleHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> guard(hook_mutex_);
    idle_hook_ = std::move(hook);
    hook_thread_ = std::this_thread::get_id();
}

void Database::SetBusyTimeout(std::chrono::milliseconds timeout) {
    auto lock = Acquire();
    busy_timeout_ = timeout;
    if (connection_) connection_->SetBusyTimeout(timeout);
}

}  // namespace marl
