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

struct FeedSnapshot {
    std::vector<FeedPlan> plans;        // the plan list, in position order
    std::vector<FeedArticle> articles;  // newest first
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

  private:
    struct Connection;
    FeedReadResult ReadOnce(const FeedQuery& query, FeedSnapshot& out);

    std::string path_;
    std::unique_ptr<Connection> connection_;
};

// One read on a connection of its own, closed again.
FeedReadResult ReadFeedSnapshot(const std::string& path, const FeedQuery& query, FeedSnapshot& out);

}  // namespace marl
