#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "monitor/monitor_context.h"
#include "monitor/new_article_hook.h"
#include "store/plan_record.h"
#include "text/text.h"

namespace marl {

// The address of an article: the plan's prefix followed directly by the link as matched.
Text ArticleAddress(const PlanRecord& plan, const Text& link);

// The statement that stores a new article (classid = plan position, addtime the local time it was
// recorded), as the "Sql Err：" line shows it when the store fails.
Text InsertArticleStatement(int32_t position, const Text& title, const Text& address,
                            const Text& addtime = Text());

// Records the candidates of one plan, one after another. For each one whose address is not yet in
// table `info`, the article is shown (list row at the top, then the popup) and stored; a failed
// store is logged as "Sql Err：" + statement and the article comes back next time.
//
// Against other programs recording into the same file: the look and the store of one address
// happen under the file's write lock, which the recorder keeps across the plan's new articles and
// commits at the end, so that a burst of new articles costs one commit per chunk, not one per
// article. A chunk ends after kCommitAfter: a big page never keeps another program's save waiting
// longer than about that (its own wait ends after Database::kBusyTimeout). Every article is shown
// before its row is written, so a crash can only cost articles that the next pass shows again,
// never one that was stored but not shown.
//
// When the look cannot be answered (the file held by another program past the busy time, an I/O
// error), this and every later candidate of the plan are left for the next pass, neither shown nor
// stored, and Finish says so in one status line.
//
// When the UI says its output failed, what it was shown since the last commit may never have been
// seen: those articles are rolled back instead of committed, and this and every later candidate are
// left for the next pass. A commit therefore only ever holds articles whose showing succeeded.
//
// The context's new-article hook is told of an article after its row has been committed, in the
// order they were recorded, never of one that a failed commit or a failed output took back (it
// comes back next pass and is told then) nor of one that could not be stored at all.
class ArticleRecorder {
  public:
    enum class Outcome { kKnown, kRecorded, kLeft };
    // How long the file may be kept locked across candidates before what they stored is committed.
    static constexpr std::chrono::milliseconds kCommitAfter{150};
    // The pause after committing a chunk that held the write lock, longer than the step in which
    // another program's statement tries again (Database), so that it gets the lock in between.
    static constexpr std::chrono::milliseconds kLetOthersIn{15};

    // `plan` is the record the caller is working with, so a plan list reloaded meanwhile cannot
    // mix two plans' fields; it must outlive the recorder.
    ArticleRecorder(const MonitorContext& context, const PlanRecord& plan, int32_t position);
    ArticleRecorder(const MonitorContext&, PlanRecord&&, int32_t) = delete;
    // Finishes if the caller has not.
    ~ArticleRecorder();
    ArticleRecorder(const ArticleRecorder&) = delete;
    ArticleRecorder& operator=(const ArticleRecorder&) = delete;

    // Records one candidate. `title` gives the plain-text title; it is asked only for a new article.
    Outcome Record(const Text& link, const std::function<Text()>& title);
    Outcome Record(const Text& link, const Text& title);

    // Commits what was stored and writes the status lines about candidates left unchecked or
    // articles that did not reach the file.
    void Finish();

  private:
    Outcome LookAndRecord(const Text& link, const std::function<Text()>& title);
    void Commit();
    // Whether the UI's output has failed; the first time it has, the uncommitted articles are
    // rolled back.
    bool OutputLost();
    // Tells the hook of the waiting articles that `committed_` names and forgets the others.
    void TellCommitted();

    const MonitorContext& context_;
    const PlanRecord& plan_;
    int32_t position_;
    bool finished_ = false;
    bool output_lost_ = false;
    int64_t left_ = 0;       // candidates left for the next pass
    int64_t dropped_ = 0;    // stored articles that a failed commit took back
    bool holding_ = false;   // the write lock was taken in this chunk
    bool in_chunk_ = false;  // looks or stores have run since the last commit
    std::chrono::steady_clock::time_point chunk_since_{};
    // When there is a hook: the articles stored since the last commit, and the numbers that
    // Database::StoreArticle gave their rows.
    std::vector<NewArticle> untold_;
    std::vector<uint64_t> untold_numbers_;
    std::vector<uint64_t> committed_;  // kept for its capacity between commits
};

// One candidate on its own (a recorder for just this article).
void RecordArticle(const MonitorContext& context, const PlanRecord& plan, const Text& title, const Text& link,
                   int32_t position);

}  // namespace marl
