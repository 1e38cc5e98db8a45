#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace marl {

// Recorded articles read from marltips.db in one read transaction: what the feeds, the history
// command and the desktop's 查询 and 收藏 pages show. Texts are the file's own UTF-8 bytes,
// unconverted.
struct RecordedPlan {
    int32_t id = 0;
    std::string name;
};

struct RecordedArticle {
    int64_t article = 0;  // rowid of the `info` row
    std::string title, url, addtime;
    std::optional<int32_t> plan_id;  // unknown for articles recorded before plans were kept
    // The name of the plan that found it: by plan_id when known, else by the position kept in
    // `info`.`classid` in today's plan list; empty when neither names a plan.
    std::string plan;
    bool favourite = false;
};

// Which committed state of the file a read saw. Two equal versions from reads that succeeded mean
// that nothing was committed in between; versions of different connections are never equal.
struct ArticleVersion {
    uint64_t connection = 0;  // 0: none
    int64_t data = -1;        // the connection's PRAGMA data_version
    bool operator==(const ArticleVersion&) const = default;
};

struct ArticleSnapshot {
    std::vector<RecordedPlan> plans;        // the plan list, in position order
    std::vector<RecordedArticle> articles;  // newest first (favourites: newest favourite first)
    int64_t total = 0;                      // every match, when the query asked for the count
    ArticleVersion version;
};

enum class ArticleReadResult {
    kOk,
    kBusy,         // another program holds the file (or its write lock, when asked to refuse then)
    kUnavailable,  // missing, not a database, no table to read
    kUnknownPlan,  // the plan id asked for is not in the plan list
    kNoSearch,     // words were given but the file has no usable search index (LastReason says why)
};

struct ArticleQuery {
    std::optional<int32_t> plan_id;  // none: every plan
    int64_t limit = 50;
    // How long to wait for a lock held by another program before giving up with kBusy.
    std::chrono::milliseconds busy_timeout{3000};
    // Answer kBusy while another connection holds the write lock, rather than read the file as
    // it was before that writer began (the feed server: a reader asks again and gets the batch).
    bool refuse_while_writing = false;
    // UTF-8 words separated by spaces; every word must occur in the title or the address (ASCII
    // letters case-blind, other characters as they are, so Chinese words match as substrings).
    // Empty: no search.
    std::string words;
    bool favourites_only = false;  // only favourites, newest favourite first
    int64_t offset = 0;            // matches skipped before the first one returned (paging)
    bool count_total = false;      // fill ArticleSnapshot::total with the number of all matches
    // Without a usable search index: search by reading every row (slow on a large file) instead of
    // answering kNoSearch.
    bool scan_without_index = false;
    // When set, the read stops soon after it turns true (from any thread) and answers kUnavailable:
    // a long count that nobody waits for any more.
    const std::atomic<bool>* cancel = nullptr;
};

// Reads the plan list and the newest articles (of one plan: those recorded with its id) from
// `path`, opened read-only and never created. The connection stays open between reads (a server
// answering many requests need not open the file each time); each read is one read transaction.
class ArticleReader {
  public:
    explicit ArticleReader(std::string path);
    ~ArticleReader();
    ArticleReader(const ArticleReader&) = delete;
    ArticleReader& operator=(const ArticleReader&) = delete;

    ArticleReadResult Read(const ArticleQuery& query, ArticleSnapshot& out);
    // Only the version a Read would see now, under the same rules (busy timeout, refusal while
    // another connection holds the write lock): one look at the file, for a caller that keeps what
    // it made of an earlier read.
    ArticleReadResult ReadVersion(const ArticleQuery& query, ArticleVersion& out);

    // After a read that did not answer kOk: why, as one UTF-8 sentence for the status line
    // (for kNoSearch: the index is not built yet, the file is read-only or locked, this SQLite
    // has no FTS5). Empty after kOk.
    const std::string& LastReason() const;

  private:
    struct Connection;
    ArticleReadResult ReadOnce(const ArticleQuery& query, ArticleSnapshot& out);
    // Opens the file unless open, sets the busy timeout and begins a read transaction.
    ArticleReadResult Begin(const ArticleQuery& query);
    // The connection's data version, within the read transaction; -1 when it cannot be read.
    int64_t DataVersion();
    // After a read: ends the read transaction, and forgets the connection when the read failed.
    void End(ArticleReadResult result);

    std::string path_;
    std::unique_ptr<Connection> connection_;
    std::string last_reason_;
};

// One read on a connection of its own, closed again.
ArticleReadResult ReadArticles(const std::string& path, const ArticleQuery& query, ArticleSnapshot& out);

}  // namespace marl
