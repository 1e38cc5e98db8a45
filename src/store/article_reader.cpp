#include "store/article_reader.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <climits>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

#include "store/article_plan_table.h"
#include "store/plan_store.h"
#include "store/search_index.h"
#include "store/sqlite_handles.h"

namespace marl {
namespace {

// A short search word (one or two characters) is looked up through the index terms that begin
// with it; one that begins more terms than this is checked on the rows instead.
constexpr size_t kMostTermsPerShortWord = 256;

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

// A statement's parameters, bound in the order of its '?' marks.
using Param = std::variant<int64_t, std::string>;

// Steps a statement to its end, handing every row to `row`. The SQLite result code.
template <typename OnRow>
int RunQuery(sqlite3* db, const std::string& sql, const std::vector<Param>& params, OnRow&& row) {
    sqlite3_stmt* raw = nullptr;
    const int prepared = sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr);
    SqliteStatement statement(raw);
    if (prepared != SQLITE_OK) return prepared;
    for (size_t i = 0; i < params.size(); ++i) {
        const int index = static_cast<int>(i + 1);
        if (const auto* number = std::get_if<int64_t>(&params[i])) {
            sqlite3_bind_int64(raw, index, *number);
        } else {
            const std::string& text = std::get<std::string>(params[i]);
            if (text.size() >= static_cast<size_t>(INT_MAX)) return SQLITE_TOOBIG;
            sqlite3_bind_text(raw, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
    }
    for (;;) {
        const int rc = sqlite3_step(raw);
        if (rc == SQLITE_DONE) return SQLITE_OK;
        if (rc != SQLITE_ROW) return rc;
        row(raw);
    }
}

int RunCount(sqlite3* db, const std::string& sql, const std::vector<Param>& params, int64_t& count) {
    count = 0;
    return RunQuery(db, sql, params, [&count](sqlite3_stmt* row) { count = sqlite3_column_int64(row, 0); });
}

bool HasTable(sqlite3* db, const char* name) {
    bool found = false;
    RunQuery(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?", {std::string(name)},
             [&found](sqlite3_stmt*) { found = true; });
    return found;
}

bool HasFts5(sqlite3* db) {
    bool found = false;
    const int rc = RunQuery(db, "SELECT 1 FROM pragma_module_list WHERE name = 'fts5'", {},
                            [&found](sqlite3_stmt*) { found = true; });
    return rc == SQLITE_OK ? found : sqlite3_compileoption_used("ENABLE_FTS5") != 0;
}

// Whether this process could write the file (and the journal beside it).
bool Writable(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path file(path);
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    return access(path.c_str(), W_OK) == 0 && access(folder.c_str(), W_OK) == 0;
}

// A read asked to stop: SQLite's progress handler, which ends the running statement when it
// answers non-zero.
constexpr int kCancelCheckSteps = 10000;
int Cancelled(void* flag) { return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0; }

ArticleReadResult Failure(int rc) {
    return IsBusy(rc) ? ArticleReadResult::kBusy : ArticleReadResult::kUnavailable;
}

// Keeps `words` with every word checked on the rows themselves, as the index compares them.
std::string WordChecks(const std::vector<std::string>& words, std::vector<Param>& params) {
    std::string sql;
    for (const std::string& word : words) {
        sql += " AND (instr(marl_fold(i.title), ?) > 0 OR instr(marl_fold(i.url), ?) > 0)";
        params.emplace_back(word);
        params.emplace_back(word);
    }
    return sql;
}

// The plan's name for an article: by its plan id when known, else by the position kept in
// `classid` in today's list.
std::string PlanName(const RecordedArticle& article, const std::string& classid,
                     const std::vector<RecordedPlan>& plans,
                     const std::unordered_map<int32_t, const RecordedPlan*>& by_id) {
    if (article.plan_id) {
        const auto found = by_id.find(*article.plan_id);
        return found != by_id.end() ? found->second->name : std::string();
    }
    int position = 0;
    const char* end = classid.data() + classid.size();
    const auto [rest, error] = std::from_chars(classid.data(), end, position);
    if (error != std::errc() || rest != end || position < 1 || static_cast<size_t>(position) > plans.size())
        return {};
    return plans[static_cast<size_t>(position) - 1].name;
}

}  // namespace

// Numbers the connections of every reader of the process, so that their versions never mix.
std::atomic<uint64_t> connections_opened{0};

struct ArticleReader::Connection {
    SqliteConnection db;
    uint64_t number = 0;
    SqliteStatement data_version;  // prepared at first use
    bool fold_registered = false;
    bool terms_table = false;  // temp.article_search_terms made on this connection
    // The articles of the last read, valid while the file's data version and the query are the
    // same: a reader asking again for an unchanged feed costs one look at the plan list.
    int64_t version = -1;
    std::string query_key;
    std::vector<RecordedArticle> articles;
    int64_t total = 0;
};

namespace {

// One read's statements: what every listing selects, from which tables it may join.
class ArticleQueryRun {
  public:
    ArticleQueryRun(sqlite3* db, const ArticleQuery& query, ArticleSnapshot& out)
        : db_(db), query_(query), out_(out) {
        has_plans_ = HasArticlePlanTable(db);
        has_favourites_ = HasTable(db, "favourite");
        columns_ = std::string("SELECT i.rowid, i.title, i.url, i.addtime, ") +
                   (has_plans_ ? "p.plan_id" : "NULL") + ", i.classid, " +
                   (has_favourites_ ? "f.article IS NOT NULL" : "0");
        if (has_plans_) joins_ += " LEFT JOIN article_plan p ON p.article = i.rowid";
        if (has_favourites_) joins_ += " LEFT JOIN favourite f ON f.article = i.rowid";
        // Bounded so that their sum cannot overflow: no file holds that many rows.
        constexpr int64_t kMost = int64_t{1} << 48;
        limit_ = std::clamp<int64_t>(query.limit, 0, kMost);
        offset_ = std::clamp<int64_t>(query.offset, 0, kMost);
    }

    bool has_plans() const { return has_plans_; }
    bool has_favourites() const { return has_favourites_; }

    // " AND p.plan_id = ?" for a query of one plan.
    std::string PlanCondition(std::vector<Param>& params) const {
        if (!query_.plan_id) return {};
        params.emplace_back(static_cast<int64_t>(*query_.plan_id));
        return " AND p.plan_id = ?";
    }

    // Rows of `from_where` (text after the select list, before ORDER BY) in `order`, `limit` of
    // them after skipping `offset`, appended to the snapshot.
    int Rows(const std::string& from_where, std::vector<Param> params, const std::string& order,
             int64_t limit, int64_t offset, int64_t* seen = nullptr) {
        if (seen != nullptr) *seen = 0;
        if (limit <= 0) return SQLITE_OK;
        params.emplace_back(limit);
        params.emplace_back(offset);
        return RunQuery(db_, columns_ + from_where + " ORDER BY " + order + " LIMIT ? OFFSET ?", params,
                        [&](sqlite3_stmt* row) {
                            RecordedArticle article;
                            article.article = sqlite3_column_int64(row, 0);
                            article.title = ColumnString(row, 1);
                            article.url = ColumnString(row, 2);
                            article.addtime = ColumnString(row, 3);
                            if (sqlite3_column_type(row, 4) != SQLITE_NULL)
                                article.plan_id = sqlite3_column_int(row, 4);
                            classids_.push_back(ColumnString(row, 5));
                            article.favourite = sqlite3_column_int(row, 6) != 0;
                            out_.articles.push_back(std::move(article));
                            if (seen != nullptr) ++*seen;
                        });
    }

    const std::string& joins() const { return joins_; }
    int64_t limit() const { return limit_; }
    int64_t offset() const { return offset_; }

    void DropFirst(int64_t count) {
        const auto n =
            static_cast<std::ptrdiff_t>(std::min<size_t>(static_cast<size_t>(count), out_.articles.size()));
        out_.articles.erase(out_.articles.begin(), out_.articles.begin() + n);
        classids_.erase(classids_.begin(), classids_.begin() + n);
    }

    void NamePlans() {
        std::unordered_map<int32_t, const RecordedPlan*> by_id;
        for (const RecordedPlan& plan : out_.plans) by_id.emplace(plan.id, &plan);
        for (size_t i = 0; i < out_.articles.size() && i < classids_.size(); ++i)
            out_.articles[i].plan = PlanName(out_.articles[i], classids_[i], out_.plans, by_id);
    }

  private:
    sqlite3* db_;
    const ArticleQuery& query_;
    ArticleSnapshot& out_;
    bool has_plans_ = false;
    bool has_favourites_ = false;
    std::string columns_, joins_;
    int64_t limit_ = 0, offset_ = 0;
    std::vector<std::string> classids_;
};

}  // namespace

ArticleReader::ArticleReader(std::string path) : path_(std::move(path)) {}
ArticleReader::~ArticleReader() = default;

const std::string& ArticleReader::LastReason() const { return last_reason_; }

ArticleReadResult ArticleReader::Read(const ArticleQuery& query, ArticleSnapshot& out) {
    out = ArticleSnapshot();
    last_reason_.clear();
    const ArticleReadResult result = ReadOnce(query, out);
    if (result != ArticleReadResult::kOk && result != ArticleReadResult::kUnknownPlan) {
        const ArticleVersion version = out.version;
        out = ArticleSnapshot();
        if (result == ArticleReadResult::kNoSearch) out.version = version;
    }
    End(result);
    if (result != ArticleReadResult::kOk && last_reason_.empty()) {
        last_reason_ = result == ArticleReadResult::kBusy ? "数据库正被其他程序占用，请稍后再试"
                       : result == ArticleReadResult::kUnknownPlan ? "没有这个方案"
                                                                   : "无法读取数据库";
    }
    return result;
}

ArticleReadResult ArticleReader::ReadVersion(const ArticleQuery& query, ArticleVersion& out) {
    out = ArticleVersion();
    ArticleReadResult result = Begin(query);
    if (result == ArticleReadResult::kOk) {
        const int64_t data = DataVersion();
        if (data < 0) {
            result = ArticleReadResult::kUnavailable;
        } else if (query.refuse_while_writing && OtherWriterActive(connection_->db.get())) {
            result = ArticleReadResult::kBusy;
        } else {
            out = ArticleVersion{connection_->number, data};
        }
    }
    // A version without the lock that it was read under may differ from the file by now.
    if (result != ArticleReadResult::kOk) out = ArticleVersion();
    End(result);
    return result;
}

void ArticleReader::End(ArticleReadResult result) {
    if (connection_) {
        sqlite3_exec(connection_->db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        // The vocabulary table was made inside the read's transaction, so the rollback took it away.
        connection_->terms_table = false;
    }
    if (result != ArticleReadResult::kOk && result != ArticleReadResult::kUnknownPlan &&
        result != ArticleReadResult::kNoSearch) {
        connection_.reset();  // the next read opens the file afresh (it may have been replaced)
    }
}

ArticleReadResult ArticleReader::Begin(const ArticleQuery& query) {
    if (path_.empty()) return ArticleReadResult::kUnavailable;
    if (!connection_) {
        int rc = SQLITE_OK;
        SqliteConnection db = OpenDatabaseFile(path_, SQLITE_OPEN_READONLY, rc);
        if (rc != SQLITE_OK || !db) return ArticleReadResult::kUnavailable;
        connection_ = std::make_unique<Connection>();
        connection_->db = std::move(db);
        connection_->number = ++connections_opened;
    }
    sqlite3* raw = connection_->db.get();
    sqlite3_busy_timeout(raw, static_cast<int>(query.busy_timeout.count()));
    if (query.cancel != nullptr) {
        sqlite3_progress_handler(raw, kCancelCheckSteps, &Cancelled,
                                 const_cast<std::atomic<bool>*>(query.cancel));
    } else {
        sqlite3_progress_handler(raw, 0, nullptr, nullptr);
    }
    if (sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        return ArticleReadResult::kUnavailable;
    return ArticleReadResult::kOk;
}

int64_t ArticleReader::DataVersion() {
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

ArticleReadResult ArticleReader::ReadOnce(const ArticleQuery& query, ArticleSnapshot& out) {
    // One read transaction: the plans and the articles come from the same state of the file.
    if (const ArticleReadResult begun = Begin(query); begun != ArticleReadResult::kOk) return begun;
    Connection& kept = *connection_;
    sqlite3* raw = kept.db.get();
    if (!kept.fold_registered) kept.fold_registered = search_index::RegisterFold(raw);
    const char* plan_sql = PlanListStatement().c_str();  // ASCII: the same bytes in UTF-8
    int rc = RunQuery(raw, plan_sql, {}, [&](sqlite3_stmt* row) {
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
    const std::vector<std::string> words = search_index::SearchWords(query.words);
    const int64_t version = DataVersion();
    if (version >= 0) out.version = ArticleVersion{kept.number, version};
    std::string key = (query.plan_id ? std::to_string(*query.plan_id) : std::string("all")) + "/" +
                      std::to_string(query.limit) + "/" + std::to_string(query.offset) + "/" +
                      (query.favourites_only ? "f" : "-") + (query.count_total ? "t" : "-") +
                      (query.scan_without_index ? "s" : "-");
    for (const std::string& word : words) key += "/" + word;
    if (version >= 0 && version == kept.version && key == kept.query_key) {
        out.articles = kept.articles;
        out.total = kept.total;
        return ArticleReadResult::kOk;
    }
    kept.version = -1;

    ArticleQueryRun run(raw, query, out);
    const int64_t limit = run.limit();
    const int64_t offset = run.offset();
    int64_t total = 0;
    std::vector<Param> params;
    std::string where;

    if (query.plan_id && !run.has_plans()) {
        rc = SQLITE_OK;  // nothing was recorded with a plan id yet
    } else if (query.favourites_only) {
        // Favourites are few: their words are checked on the rows, with or without an index.
        if (run.has_favourites()) {
            where = " FROM favourite f JOIN info i ON i.rowid = f.article" +
                    std::string(run.has_plans() ? " LEFT JOIN article_plan p ON p.article = i.rowid" : "") +
                    " WHERE 1";
            where += run.PlanCondition(params);
            where += WordChecks(words, params);
            rc = run.Rows(where, params, "f.seq DESC", limit, offset);
            if (rc == SQLITE_OK && query.count_total)
                rc = RunCount(raw, "SELECT count(*)" + where, params, total);
        }
    } else if (words.empty()) {
        if (query.plan_id) {
            where = " FROM article_plan p JOIN info i ON i.rowid = p.article" +
                    std::string(run.has_favourites() ? " LEFT JOIN favourite f ON f.article = i.rowid" : "") +
                    " WHERE p.plan_id = ?";
            params.emplace_back(static_cast<int64_t>(*query.plan_id));
            rc = run.Rows(where, params, "p.article DESC", limit, offset);
            if (rc == SQLITE_OK && query.count_total)
                rc = RunCount(raw,
                              "SELECT count(*) FROM article_plan p JOIN info i ON i.rowid = p.article "
                              "WHERE p.plan_id = ?",
                              params, total);
        } else {
            rc = run.Rows(" FROM info i" + run.joins(), {}, "i.rowid DESC", limit, offset);
            if (rc == SQLITE_OK && query.count_total)
                rc = RunCount(raw, "SELECT count(*) FROM info", {}, total);
        }
    } else {
        // The index holds every row up to its mark; rows above it are read one by one. Those are
        // the newest, so they come first.
        const search_index::State state = search_index::ReadState(raw);
        const bool usable = state.ready && HasTable(raw, search_index::kTable) && HasFts5(raw);
        if (!usable && !query.scan_without_index) {
            last_reason_ = !HasFts5(raw)      ? "此 SQLite 不支持 FTS5，无法搜索"
                           : !Writable(path_) ? "数据库文件只读，无法建立搜索索引，不能搜索"
                                              : "搜索索引尚未建立";
            return ArticleReadResult::kNoSearch;
        }
        const int64_t mark = usable ? state.done : 0;

        std::vector<Param> tail_params{mark};
        std::string tail = " FROM info i" + run.joins() + " WHERE i.rowid > ?";
        tail += run.PlanCondition(tail_params);
        tail += WordChecks(words, tail_params);
        int64_t tail_seen = 0;
        rc = run.Rows(tail, tail_params, "i.rowid DESC", limit + offset, 0, &tail_seen);
        // The tail's matches before the page were taken along: drop them.
        run.DropFirst(std::min<int64_t>(offset, tail_seen));
        const bool tail_complete = tail_seen < limit + offset;
        int64_t tail_total = tail_seen;
        if (rc == SQLITE_OK && query.count_total && !tail_complete)
            rc = RunCount(raw, "SELECT count(*)" + tail, tail_params, tail_total);
        total = tail_total;

        if (rc == SQLITE_OK && mark > 0) {
            // Words of three or more characters are phrases of the index; shorter ones stand for
            // every term they begin (the index's texts end in two spaces, so each occurrence begins
            // one); the rest are checked on the rows.
            std::string match;
            std::vector<std::string> checked;
            bool impossible = false;
            if (!kept.terms_table) {
                kept.terms_table =
                    sqlite3_exec(raw,
                                 "CREATE VIRTUAL TABLE IF NOT EXISTS temp.article_search_terms "
                                 "USING fts5vocab(main, article_search, 'row')",
                                 nullptr, nullptr, nullptr) == SQLITE_OK;
            }
            for (const std::string& word : words) {
                std::string part;
                if (search_index::CharacterCount(word) >= 3) {
                    part = search_index::QuotedString(word);
                } else if (kept.terms_table) {
                    std::vector<std::string> terms;
                    rc = RunQuery(
                        raw,
                        "SELECT term FROM temp.article_search_terms WHERE term >= ? AND term < ? LIMIT ?",
                        {word, word + "\xFF", static_cast<int64_t>(kMostTermsPerShortWord + 1)},
                        [&terms](sqlite3_stmt* row) { terms.push_back(ColumnString(row, 0)); });
                    if (rc != SQLITE_OK) break;
                    if (terms.empty()) impossible = true;
                    if (terms.size() <= kMostTermsPerShortWord) {
                        for (const std::string& term : terms)
                            part += (part.empty() ? "(" : " OR ") + search_index::QuotedString(term);
                        if (!part.empty()) part += ")";
                    }
                }
                if (part.empty()) {
                    checked.push_back(word);
                } else {
                    match += (match.empty() ? "" : " AND ") + part;
                }
            }
            if (rc == SQLITE_OK && !impossible) {
                std::vector<Param> index_params;
                std::string from;
                std::string order;
                if (match.empty()) {
                    // Only words the index cannot look up: a scan, newest first, up to the page.
                    from = " FROM info i" + run.joins() + " WHERE i.rowid <= ?";
                    index_params.emplace_back(mark);
                    order = "i.rowid DESC";
                } else {
                    from = " FROM article_search s JOIN info i ON i.rowid = s.rowid" + run.joins() +
                           " WHERE s.article_search MATCH ? AND s.rowid <= ?";
                    index_params.emplace_back(match);
                    index_params.emplace_back(mark);
                    order = "s.rowid DESC";
                }
                from += run.PlanCondition(index_params);
                from += WordChecks(checked, index_params);
                if (tail_complete) {
                    const int64_t taken = static_cast<int64_t>(out.articles.size());
                    rc = run.Rows(from, index_params, order, limit - taken,
                                  std::max<int64_t>(offset - tail_seen, 0));
                }
                if (rc == SQLITE_OK && query.count_total) {
                    int64_t index_total = 0;
                    // Counting needs `info` only for what the index cannot answer itself.
                    const std::string count_from =
                        !match.empty() && checked.empty() && !query.plan_id
                            ? " FROM article_search s WHERE s.article_search MATCH ? AND s.rowid <= ?"
                            : from;
                    rc = RunCount(raw, "SELECT count(*)" + count_from, index_params, index_total);
                    total += index_total;
                }
            }
        }
        if (rc != SQLITE_OK && !IsBusy(rc) && (rc & 0xFF) != SQLITE_INTERRUPT && usable &&
            query.scan_without_index == false) {
            out = ArticleSnapshot();
            last_reason_ = std::string("搜索索引不可用：") + sqlite3_errmsg(raw);
            return ArticleReadResult::kNoSearch;
        }
    }
    if (rc != SQLITE_OK) {
        out = ArticleSnapshot();
        return Failure(rc);
    }
    run.NamePlans();
    if (query.count_total) out.total = total;
    kept.version = version;
    kept.query_key = key;
    kept.articles = out.articles;
    kept.total = out.total;
    return ArticleReadResult::kOk;
}

ArticleReadResult ReadArticles(const std::string& path, const ArticleQuery& query, ArticleSnapshot& out) {
    return ArticleReader(path).Read(query, out);
}

}  // namespace marl
