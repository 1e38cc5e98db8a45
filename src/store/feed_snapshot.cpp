#include "store/feed_snapshot.h"

#include <sqlite3.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "store/article_plan_table.h"
#include "store/plan_store.h"

namespace marl {
namespace {

struct ConnectionCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

bool IsBusy(int rc) {
    rc &= 0xFF;
    return rc == SQLITE_BUSY || rc == SQLITE_LOCKED;
}

std::string ColumnString(sqlite3_stmt* statement, int column) {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    if (bytes == nullptr) return {};
    return std::string(bytes, static_cast<size_t>(sqlite3_column_bytes(statement, column)));
}

// Whether a connection other than ours holds the write lock (RESERVED or above) on the file.
bool OtherWriterActive(sqlite3* db) {
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || file == nullptr ||
        file->pMethods == nullptr) {
        return false;
    }
    int reserved = 0;
    return file->pMethods->xCheckReservedLock(file, &reserved) == SQLITE_OK && reserved != 0;
}

// Steps a prepared statement to its end, handing every row to `row`. The SQLite result code.
template <typename OnRow>
int RunQuery(sqlite3* db, const char* sql, OnRow&& row, int64_t bind = 0, int64_t bind2 = 0) {
    sqlite3_stmt* raw = nullptr;
    const int prepared = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
    StatementPtr statement(raw);
    if (prepared != SQLITE_OK) return prepared;
    if (sqlite3_bind_parameter_count(raw) >= 1) sqlite3_bind_int64(raw, 1, bind);
    if (sqlite3_bind_parameter_count(raw) >= 2) sqlite3_bind_int64(raw, 2, bind2);
    for (;;) {
        const int rc = sqlite3_step(raw);
        if (rc == SQLITE_DONE) return SQLITE_OK;
        if (rc != SQLITE_ROW) return rc;
        row(raw);
    }
}

FeedReadResult Failure(int rc) { return IsBusy(rc) ? FeedReadResult::kBusy : FeedReadResult::kUnavailable; }

}  // namespace

// Numbers the connections of every reader of the process, so that their versions never mix.
std::atomic<uint64_t> connections_opened{0};

struct FeedReader::Connection {
    std::unique_ptr<sqlite3, ConnectionCloser> db;
    uint64_t number = 0;
    StatementPtr data_version;  // prepared at first use
    // The articles of the last read, valid while the file's data version and the query are the
    // same: a reader asking again for an unchanged feed costs one look at the plan list.
    int64_t version = -1;
    std::string query_key;
    std::vector<FeedArticle> articles;
};

FeedReader::FeedReader(std::string path) : path_(std::move(path)) {}
FeedReader::~FeedReader() = default;

FeedReadResult FeedReader::Read(const FeedQuery& query, FeedSnapshot& out) {
    out = FeedSnapshot();
    const FeedReadResult result = ReadOnce(query, out);
    if (result != FeedReadResult::kOk && result != FeedReadResult::kUnknownPlan) out = FeedSnapshot();
    End(result);
    return result;
}

FeedReadResult FeedReader::ReadVersion(const FeedQuery& query, FeedVersion& out) {
    out = FeedVersion();
    FeedReadResult result = Begin(query);
    if (result == FeedReadResult::kOk) {
        const int64_t data = DataVersion();
        if (data < 0) {
            result = FeedReadResult::kUnavailable;
        } else if (query.refuse_while_writing && OtherWriterActive(connection_->db.get())) {
            result = FeedReadResult::kBusy;
        } else {
            out = FeedVersion{connection_->number, data};
        }
    }
    // A version without the lock that it was read under may differ from the file by now.
    if (result != FeedReadResult::kOk) out = FeedVersion();
    End(result);
    return result;
}

void FeedReader::End(FeedReadResult result) {
    if (connection_) sqlite3_exec(connection_->db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    if (result != FeedReadResult::kOk && result != FeedReadResult::kUnknownPlan) {
        connection_.reset();  // the next read opens the file afresh (it may have been replaced)
    }
}

FeedReadResult FeedReader::Begin(const FeedQuery& query) {
    if (path_.empty()) return FeedReadResult::kUnavailable;
    if (!connection_) {
        // A path that starts with "file:" could be taken as a URI, whose options may create files.
        const std::string file = path_.rfind("file:", 0) == 0 ? "./" + path_ : path_;
        sqlite3* opened = nullptr;
        const int rc = sqlite3_open_v2(file.c_str(), &opened, SQLITE_OPEN_READONLY, nullptr);
        std::unique_ptr<sqlite3, ConnectionCloser> db(opened);
        if (rc != SQLITE_OK || opened == nullptr) return FeedReadResult::kUnavailable;
        connection_ = std::make_unique<Connection>();
        connection_->db = std::move(db);
        connection_->number = ++connections_opened;
    }
    sqlite3* raw = connection_->db.get();
    sqlite3_busy_timeout(raw, static_cast<int>(query.busy_timeout.count()));
    if (sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        return FeedReadResult::kUnavailable;
    return FeedReadResult::kOk;
}

int64_t FeedReader::DataVersion() {
    Connection& c = *connection_;
    if (!c.data_version) {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v3(c.db.get(), "PRAGMA data_version", -1, SQLITE_PREPARE_PERSISTENT, &raw,
                               nullptr) != SQLITE_OK) {
            sqlite3_finalize(raw);
            return -1;
        }
        c.data_version.reset(raw);
    }
    sqlite3_stmt* statement = c.data_version.get();
    const int64_t version = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
    sqlite3_reset(statement);
    return version;
}

FeedReadResult FeedReader::ReadOnce(const FeedQuery& query, FeedSnapshot& out) {
    // One read transaction: the plans and the articles come from the same state of the file.
    if (const FeedReadResult begun = Begin(query); begun != FeedReadResult::kOk) return begun;
    sqlite3* raw = connection_->db.get();
    const char* plan_sql = PlanListStatement().c_str();  // ASCII: the same bytes in UTF-8
    int rc = RunQuery(raw, plan_sql, [&](sqlite3_stmt* row) {
        out.plans.push_back({sqlite3_column_int(row, 0), ColumnString(row, 2)});
    });
    if (rc != SQLITE_OK || (query.refuse_while_writing && OtherWriterActive(raw))) {
        out = FeedSnapshot();
        return rc != SQLITE_OK ? Failure(rc) : FeedReadResult::kBusy;
    }

    if (query.plan_id) {
        bool known = false;
        for (const FeedPlan& plan : out.plans) known = known || plan.id == *query.plan_id;
        if (!known) return FeedReadResult::kUnknownPlan;
    }
    const int64_t limit = query.limit < 0 ? 0 : query.limit;
    const int64_t version = DataVersion();
    if (version >= 0) out.version = FeedVersion{connection_->number, version};
    const std::string key =
        (query.plan_id ? std::to_string(*query.plan_id) : std::string("all")) + "/" + std::to_string(limit);
    Connection& kept = *connection_;
    if (version >= 0 && version == kept.version && key == kept.query_key) {
        out.articles = kept.articles;
        return FeedReadResult::kOk;
    }
    kept.version = -1;
    const bool has_plans = HasArticlePlanTable(raw);
    const auto take_article = [&](sqlite3_stmt* row) {
        FeedArticle article;
        article.article = sqlite3_column_int64(row, 0);
        article.title = ColumnString(row, 1);
        article.url = ColumnString(row, 2);
        article.addtime = ColumnString(row, 3);
        if (sqlite3_column_type(row, 4) != SQLITE_NULL) article.plan_id = sqlite3_column_int(row, 4);
        out.articles.push_back(std::move(article));
    };
    if (query.plan_id && !has_plans) {
        rc = SQLITE_OK;  // nothing was recorded with a plan id yet
    } else if (query.plan_id) {
        rc = RunQuery(
            raw,
            "SELECT i.rowid, i.title, i.url, i.addtime, p.plan_id FROM article_plan p "
            "JOIN info i ON i.rowid = p.article WHERE p.plan_id = ?1 ORDER BY p.article DESC LIMIT ?2",
            take_article, *query.plan_id, limit);
    } else if (has_plans) {
        rc = RunQuery(raw,
                      "SELECT i.rowid, i.title, i.url, i.addtime, p.plan_id FROM info i "
                      "LEFT JOIN article_plan p ON p.article = i.rowid ORDER BY i.rowid DESC LIMIT ?1",
                      take_article, limit);
    } else {
        rc = RunQuery(raw, "SELECT rowid, title, url, addtime, NULL FROM info ORDER BY rowid DESC LIMIT ?1",
                      take_article, limit);
    }
    if (rc != SQLITE_OK) {
        out = FeedSnapshot();
        return Failure(rc);
    }
    kept.version = version;
    kept.query_key = key;
    kept.articles = out.articles;
    return FeedReadResult::kOk;
}

FeedReadResult ReadFeedSnapshot(const std::string& path, const FeedQuery& query, FeedSnapshot& out) {
    return FeedReader(path).Read(query, out);
}

}  // namespace marl
