#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "store/article_reader.h"

class QObject;

namespace marl::ui {

class CallReceiver;

// Counts every match of a search on a thread of its own: over a million articles a common word
// matches hundreds of thousands, and counting them takes far longer than reading the first page,
// which the window shows at once. One count at a time: a new one stops the one before.
class SearchCounter {
  public:
    // `owner`: the window, on the UI thread; it outlives this object.
    explicit SearchCounter(QObject* owner);
    // Stops a running count and waits for its thread.
    ~SearchCounter();
    SearchCounter(const SearchCounter&) = delete;
    SearchCounter& operator=(const SearchCounter&) = delete;

    // Counts the matches of `query` (its paging is ignored) in the file at `path`. `done` runs on
    // the UI thread with the number (or counted false when the file could not answer), unless Start
    // or Stop is called again first. UI thread only.
    void Start(const std::string& path, ArticleQuery query,
               std::function<void(bool counted, int64_t total)> done);
    // Stops a running count; its `done` never runs. UI thread only.
    void Stop();
    // Whether a count was started and its `done` has not run yet.
    bool Counting() const { return counting_; }

  private:
    CallReceiver* receiver_;
    std::thread thread_;
    std::atomic<bool> cancel_{false};
    // UI thread only: the count whose answer is still wanted, and what to do with it.
    uint64_t generation_ = 0;
    bool counting_ = false;
    std::function<void(bool, int64_t)> done_;
};

}  // namespace marl::ui
