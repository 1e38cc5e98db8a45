#include "monitor/record_article.h"

#include <string>
#include <thread>

#include "monitor/status_log.h"
#include "text/text_ops.h"

namespace marl {
namespace {

const Text& SqlError() {
    static const Text text = Gbk("Sql Err：");
    return text;
}
const Text& LeftBefore() {
    static const Text text = Gbk("查重未完成（数据库被占用或出错），");
    return text;
}
const Text& LeftAfter() {
    static const Text text = Gbk(" 个链接留待下一轮");
    return text;
}
const Text& DroppedBefore() {
    static const Text text = Gbk("保存未完成（数据库被占用或出错），");
    return text;
}
const Text& DroppedAfter() {
    static const Text text = Gbk(" 篇新文章下一轮将再次提示");
    return text;
}

}  // namespace

Text ArticleAddress(const PlanRecord& plan, const Text& link) { return plan.dom + link; }

Text InsertArticleStatement(int32_t position, const Text& title, const Text& address, const Text& addtime) {
    Text statement = "INSERT INTO 'info' ('classid', 'title', 'url', 'addtime') VALUES ('";
    statement += std::to_string(position);
    statement += "', '";
    statement += SqlEscape(title);
    statement += "', '";
    statement += SqlEscape(address);
    statement += "', '";
    statement += SqlEscape(addtime);
    statement += "');";
    return statement;
}

ArticleRecorder::ArticleRecorder(const MonitorContext& context, const PlanRecord& plan, int32_t position)
    : context_(context), plan_(plan), position_(position) {}

ArticleRecorder::~ArticleRecorder() {
    try {
        Finish();
    } catch (...) {
        // A status line that cannot be written must not escape a destructor.
    }
}

ArticleRecorder::Outcome ArticleRecorder::Record(const Text& link, const Text& title) {
    return Record(link, [&title] { return title; });
}

ArticleRecorder::Outcome ArticleRecorder::Record(const Text& link, const std::function<Text()>& title) {
    if (OutputLost()) return Outcome::kLeft;
    if (left_ > 0) {
        // The file did not answer a moment ago; asking again would only wait the busy time again.
        ++left_;
        return Outcome::kLeft;
    }
    if (!in_chunk_) {
        in_chunk_ = true;
        chunk_since_ = std::chrono::steady_clock::now();
    }
    const Outcome outcome = LookAndRecord(link, title);
    // Other programs wait while we keep the file: the write lock keeps their stores out, and even the
    // looks' read lock keeps their commits out. After a write lock, a short pause lets a program
    // that waits for it take it before we do again.
    if (in_chunk_ && std::chrono::steady_clock::now() - chunk_since_ >= kCommitAfter) {
        const bool wrote = holding_;
        Commit();
        if (wrote && !output_lost_) std::this_thread::sleep_for(kLetOthersIn);
    }
    return outcome;
}

ArticleRecorder::Outcome ArticleRecorder::LookAndRecord(const Text& link,
                                                        const std::function<Text()>& title) {
    const Text address = ArticleAddress(plan_, link);
    switch (context_.db.CheckArticle(address)) {
        case Database::Seen::kSeen:
            return Outcome::kKnown;
        case Database::Seen::kUnknown:
            ++left_;
            return Outcome::kLeft;
        case Database::Seen::kNew:
            break;
    }
    holding_ = true;

    const Text text = title();
    const auto now = context_.clock.Now();
    context_.ui.InsertArticleRow(position_, plan_.name, text, address, FormatTime(now, false));
    context_.ui.ShowArticle(text, address);
    // Not seen, so not stored: it comes back next pass with the others taken back.
    if (OutputLost()) return Outcome::kLeft;

    ArticleRecord row;
    row.classid = std::to_string(position_);
    row.title = text;
    row.url = address;
    row.addtime = FormatTime(now, true);
    uint64_t added = 0;
    if (context_.db.StoreArticle(row, &added)) {
        // Same transaction: the plan's id reaches the file with the article or not at all.
        context_.db.StoreArticlePlan(plan_.id);
    } else {
        StatusLog(context_.ui, context_.clock,
                  SqlError() + InsertArticleStatement(position_, text, address, row.addtime));
    }
    // The hook hears of it once the row is committed: an article that a failed commit takes back is
    // new again next pass, and its command must run only then.
    if (context_.new_article_hook != nullptr && added != 0) {
        // The row's texts are not needed any more: they move on.
        untold_.push_back(NewArticle{plan_.id, plan_.name, std::move(row.title), std::move(row.url),
                                     std::move(row.addtime)});
        untold_numbers_.push_back(added);
    }
    return Outcome::kRecorded;
}

void ArticleRecorder::Commit() {
    if (OutputLost()) return;
    dropped_ += context_.db.CommitArticles(&committed_);
    TellCommitted();
    holding_ = false;
    in_chunk_ = false;
}

bool ArticleRecorder::OutputLost() {
    if (output_lost_) return true;
    if (!context_.ui.OutputFailed()) return false;
    output_lost_ = true;
    context_.db.RollbackArticles(&committed_);
    TellCommitted();
    holding_ = false;
    return true;
}

void ArticleRecorder::TellCommitted() {
    // Both lists ascend: one walk pairs them, keeping the committed articles in place and in order.
    // What is not committed by now was rolled back.
    size_t kept = 0;
    auto committed = committed_.begin();
    for (size_t i = 0; i < untold_.size() && i < untold_numbers_.size(); ++i) {
        while (committed != committed_.end() && *committed < untold_numbers_[i]) ++committed;
        if (committed == committed_.end()) break;
        if (*committed != untold_numbers_[i]) continue;
        if (kept != i) untold_[kept] = std::move(untold_[i]);
        ++kept;
    }
    untold_.resize(kept);
    untold_numbers_.clear();
    committed_.clear();
    if (!untold_.empty()) context_.new_article_hook->OnNewArticles(std::move(untold_));
    untold_.clear();  // whatever the hook left of it
}

void ArticleRecorder::Finish() {
    if (finished_) return;
    finished_ = true;
    Commit();
    // Status lines would go where the articles could not.
    if (output_lost_) return;
    if (dropped_ > 0) {
        StatusLog(context_.ui, context_.clock, DroppedBefore() + std::to_string(dropped_) + DroppedAfter());
    }
    if (left_ > 0) {
        StatusLog(context_.ui, context_.clock, LeftBefore() + std::to_string(left_) + LeftAfter());
    }
}

void RecordArticle(const MonitorContext& context, const PlanRecord& plan, const Text& title, const Text& link,
                   int32_t position) {
    ArticleRecorder recorder(context, plan, position);
    recorder.Record(link, title);
    recorder.Finish();
}

}  // namespace marl
