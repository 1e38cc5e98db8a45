#include "ui/search_counter.h"

#include <utility>

#include "ui/posted_call.h"

namespace marl::ui {

SearchCounter::SearchCounter(QObject* owner) : receiver_(new CallReceiver(owner)) {}

SearchCounter::~SearchCounter() { Stop(); }

void SearchCounter::Stop() {
    ++generation_;
    counting_ = false;
    if (thread_.joinable()) {
        // The read ends within moments of the flag: SQLite's progress handler looks at it.
        cancel_ = true;
        thread_.join();
    }
    cancel_ = false;
}

void SearchCounter::Start(const std::string& path, ArticleQuery query,
                          std::function<void(bool counted, int64_t total)> done) {
    Stop();
    done_ = std::move(done);
    counting_ = true;
    query.limit = 0;
    query.offset = 0;
    query.count_total = true;
    query.cancel = &cancel_;
    const uint64_t generation = generation_;
    try {
        thread_ = std::thread([this, path, query, generation] {
            ArticleReader reader(path);
            ArticleSnapshot snapshot;
            const bool counted = reader.Read(query, snapshot) == ArticleReadResult::kOk;
            const int64_t total = snapshot.total;
            if (cancel_) return;
            // The receiver is alive: the owner's destructor waits for this thread (via ours) first.
            receiver_->PostCall([this, generation, counted, total] {
                if (generation != generation_) return;
                counting_ = false;
                done_(counted, total);
            });
        });
    } catch (const std::exception&) {  // no thread to be had: the count stays unknown
        counting_ = false;
        done_(false, 0);
    }
}

}  // namespace marl::ui
