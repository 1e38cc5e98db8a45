#pragma once
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "monitor/new_article_hook.h"
#include "text/text.h"

namespace marl::feeds {

// How one run of the command ended.
struct CommandOutcome {
    enum class Kind { kSucceeded, kFailed, kTimedOut, kNotStarted, kAbandoned };
    Kind kind = Kind::kNotStarted;
    int exit_code = -1;  // kFailed: the exit code, 128 + the signal for a command ended by one
};

// Runs `command` once as /bin/sh -c command for `article`: the article in the environment
// (MARL_PLAN, MARL_PLAN_ID, MARL_TITLE, MARL_URL, MARL_TIME, UTF-8) and as one JSON line on
// standard input, standard output and error thrown away, in a process group of its own that is
// ended after `time_limit`. The article's texts never become part of the command line. `abandon`,
// when it becomes readable, stops the wait and leaves the command to finish on its own.
CommandOutcome RunArticleCommand(const std::string& command, const NewArticle& article,
                                 std::chrono::milliseconds time_limit, int abandon_fd = -1);

// The environment entries and the JSON line a command gets for `article` (UTF-8).
std::vector<std::string> ArticleEnvironment(const NewArticle& article);
std::string ArticleJsonLine(const NewArticle& article);

// The status message for an outcome that is a failure (GBK), or empty for a success.
Text CommandFailureMessage(const NewArticle& article, const CommandOutcome& outcome,
                           std::chrono::milliseconds time_limit);

// The command for new articles: every article handed over runs the command once, off the monitor
// worker, at most `max_running` at a time, in order of arrival, from a queue of at most
// `queue_limit` waiting articles (when full, the newest is dropped and the status says so once).
// Commands of a burst start once it has settled (see Options), at a lower priority.
// Failures are reported through `report` (a GBK status message), from the runner's threads.
//
// Ending the runner stops the waiting and drops the queue; commands still running are left to
// finish on their own, and nothing is reported after the destructor returns.
class CommandRunner final : public NewArticleHook {
  public:
    struct Options {
        size_t max_running = 4;
        size_t queue_limit = 1000;
        std::chrono::milliseconds time_limit{30000};
        // A burst of new articles (a pass recording a page) is left alone until it has been
        // quiet this long, or its first article has waited `longest_hold`: starting processes
        // while the pass records would slow the pass down.
        std::chrono::milliseconds settle{50};
        std::chrono::milliseconds longest_hold{1000};
    };
    using Report = std::function<void(const Text& message)>;

    CommandRunner(std::string command, Report report);
    CommandRunner(std::string command, Report report, Options options);
    ~CommandRunner() override;
    CommandRunner(const CommandRunner&) = delete;
    CommandRunner& operator=(const CommandRunner&) = delete;

    // Queues the article; returns at once.
    void OnNewArticle(const NewArticle& article) override;
    // Queues the articles in their order, under one lock and with at most one wake-up.
    void OnNewArticles(std::vector<NewArticle>&& articles) override;

    // Drops the queue and stops waiting for running commands, which are left to finish on their own;
    // nothing is run or reported after it returns, except a report already under way. Does not
    // wait for the runner's threads (the destructor does), so it may be called from a thread
    // that the reports go to.
    void Stop();

    // Waits until the queue is empty and no command runs, or `give_up` says to stop waiting
    // (asked every `check_every`). True when idle.
    bool WaitIdle(const std::function<bool()>& give_up, std::chrono::milliseconds check_every);

  private:
    void Work();

    const std::string command_;
    const Report report_;
    const Options options_;
    int abandon_fd_ = -1;  // readable once the runner ends: running commands are left alone

    std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable idle_;
    std::deque<NewArticle> queue_;
    std::chrono::steady_clock::time_point last_arrival_{};
    std::chrono::steady_clock::time_point burst_since_{};  // when the queue last stopped being empty
    size_t running_ = 0;
    bool stopping_ = false;
    bool said_full_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace marl::feeds
