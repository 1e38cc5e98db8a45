#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace marl {

// What a feed shows, read from marltips.db in one read transaction. Texts are the file's own
// UTF-8 bytes, unconverted (the feeds are UTF-8 too).
struct FeedPlan {
    int32_t id = 0;
    std::string name;
};

struct FeedArticle {
    int64_t article = 0;  // rowid of the `info` row
    std::string title, url, addtime;
    std::optional<int32_t> plan_id;  // unknown for articles recorded before plans were kept
};

// Which committed state of the file a read saw. Two equal versions from reads that succeeded mean
// that nothing was committed in between; versions of different connections are never equal.
struct FeedVersion {
    uint64_t connection = 0;  // 0: none
    int64_t data = -1;        // the connection's PRAGMA data_version
    bool operator==(const FeedVersion&) const = default;
};

struct FeedSnapshot {
    std::vector<FeedPlan> plans;        // the plan list, in position order
    std::vector<FeedArticle> articles;  // newest first
    FeedVersion version;
};

enum class FeedReadResult {
    kOk,
    kBusy,         // another program holds the file (or its write lock, when asked to refuse then)
    kUnavailable,  // missing, not a database, no table to read
    kUnknownPlan,  // the plan id asked for is not in the plan list
};

struct FeedQuery {
    std::optional<int32_t> plan_id;  // none: every plan
    int64_t limit = 50;
    // How long to wait for a lock held by another program before giving up with kBusy.
    std::chrono::milliseconds busy_timeout{3000};
    // Answer kBusy while another connection holds the write lock, rather than read the file as
    // it was before that writer began (the feed server: a reader asks again and gets the batch).
    bool refuse_while_writing = false;
};

// Reads the plan list and the newest articles (of one plan: those recorded with its id) from
// `path`, opened read-only and never created. The connection stays open between reads (a server
// answering many requests need not open the file each time); each read is one read transaction.
class FeedReader {
  public:
    explicit FeedReader(std::string path);
    ~FeedReader();
    FeedReader(const FeedReader&) = delete;
    FeedReader& operator=(const FeedReader&) = delete;

    FeedReadResult Read(const FeedQuery& query, FeedSnapshot& out);
    // Only the version a Read would see now, under the same rules (busy timeout, refusal while
    // another connection holds the write lock): one look at the file, for a caller that keeps what
    // it made of an earlier read.
    FeedReadResult ReadVersion(const FeedQuery& query, FeedVersion& out);

  private:
    struct Connection;
    FeedReadResult ReadOnce(const FeedQuery& query, FeedSnapshot& out);
    // Opens the file unless open, sets the busy timeout and begins a read transaction.
    FeedReadResult Begin(const FeedQuery& query);
    // The connection's data version, within the read transaction; -1 when it cannot be read.
    int64_t DataVersion();
    // After a read: ends the read transaction, and forgets the connection when the read failed.
    void End(FeedReadResult result);

    std::string path_;
    std::unique_ptr<Connection> connection_;
};

// One read on a connection of its own, closed again.
FeedReadResult ReadFeedSnapshot(const std::string& path, const FeedQuery& query, FeedSnapshot& out);

}  // namespace marl
