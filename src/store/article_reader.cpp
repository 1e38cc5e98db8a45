#include "store/article_reader.h"

#include <sqlite3.h>

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

ArticleReadResult Failure(int rc) {
    return IsBusy(rc) ? ArticleReadResult::kBusy : ArticleReadResult::kUnavailable;
}

}  // namespace

struct ArticleReader::Connection {
    std::unique_ptr<sqlite3, ConnectionCloser> db;
    // The articles of the last read, valid while the file's data version and the query are the
    // same: a reader asking again for an unchanged feed costs one look at the plan list.
    int64_t version = -1;
    std::string query_key;
    std::vector<RecordedArticle> articles;
};

ArticleReader::ArticleReader(std::string path) : path_(std::move(path)) {}
ArticleReader::~ArticleReader() = default;

const std::string& ArticleReader::LastReason() const { return last_reason_; }

ArticleReadResult ArticleReader::Read(const ArticleQuery& query, ArticleSnapshot& out) {
    out = ArticleSnapshot();
    last_reason_.clear();
    const ArticleReadResult result = ReadOnce(query, out);
    if (connection_) sqlite3_exec(connection_->db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    if (result != ArticleReadResult::kOk && result != ArticleReadResult::kUnknownPlan) {
        out = ArticleSnapshot();
        connection_.reset();  // the next read opens the file afresh (it may have been replaced)
    }
    return result;
}

ArticleReadResult ArticleReader::ReadOnce(const ArticleQuery& query, ArticleSnapshot& out) {
    if (path_.empty()) return ArticleReadResult::kUnavailable;
    if (!connection_) {
        // A path that starts with "file:" could be taken as a URI, whose options may create files.
        const std::string file = path_.rfind("file:", 0) == 0 ? "./" + path_ : path_;
        sqlite3* opened = nullptr;
        const int rc = sqlite3_open_v2(file.c_str(), &opened, SQLITE_OPEN_READONLY, nullptr);
        std::unique_ptr<sqlite3, ConnectionCloser> db(opened);
        if (rc != SQLITE_OK || opened == nullptr) return ArticleReadResult::kUnavailable;
        connection_ = std::make_unique<Connection>();
        connection_->db = std::move(db);
    }
    sqlite3* raw = connection_->db.get();
    sqlite3_busy_timeout(raw, static_cast<int>(query.busy_timeout.count()));

    // One read transaction: the plans and the articles come from the same state of the file.
    if (sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        return ArticleReadResult::kUnavailable;
    const char* plan_sql = PlanListStatement().c_str();  // ASCII: the same bytes in UTF-8
    int rc = RunQuery(raw, plan_sql, [&](sqlite3_stmt* row) {
        out.plans.push_back({sqlite3_column_int(row, 0), ColumnString(row, 2)});
    });
    if (rc != SQLITE_OK || (query.refuse_while_writing && OtherWriterActive(raw))) {
        out = ArticleSnapshot();
        return rc != SQLITE_OK ? Failure(rc) : ArticleReadResult::kBusy;
    }

    if (query.plan_id) {
        bool known = false;
        for (const RecordedPlan& plan : out.plans) known = known || plan.id == *query.plan_id;
        if (!known) return ArticleReadResult::kUnknownPlan;
    }
    const int64_t limit = query.limit < 0 ? 0 : query.limit;
    int64_t version = -1;
    RunQuery(raw, "PRAGMA data_version",
             [&version](sqlite3_stmt* row) { version = sqlite3_column_int64(row, 0); });
    const std::string key =
        (query.plan_id ? std::to_string(*query.plan_id) : std::string("all")) + "/" + std::to_string(limit);
    Connection& kept = *connection_;
    if (version >= 0 && version == kept.version && key == kept.query_key) {
        out.articles = kept.articles;
        return ArticleReadResult::kOk;
    }
    kept.version = -1;
    const bool has_plans = HasArticlePlanTable(raw);
    const auto take_article = [&](sqlite3_stmt* row) {
        RecordedArticle article;
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
        out = ArticleSnapshot();
        return Failure(rc);
    }
    kept.version = version;
    kept.query_key = key;
    kept.articles = out.articles;
    return ArticleReadResult::kOk;
}

ArticleReadResult ReadArticles(const std::string& path, const ArticleQuery& query, ArticleSnapshot& out) {
    return ArticleReader(path).Read(query, out);
}

}  // namespace marl
