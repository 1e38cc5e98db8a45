#include "feeds/command_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <nlohmann/json.hpp>
#include <string_view>

#include "text/gbk_codec.h"
#include "text/text_ops.h"
#include "web/browsable_address.h"

extern char** environ;

namespace marl::feeds {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kCommandNice = 19;

constexpr std::string_view kVariables[] = {
    "MARL_PLAN=", "MARL_PLAN_ID=", "MARL_TITLE=", "MARL_URL=", "MARL_TIME="};

// Environment values and JSON strings end at a zero byte, like every text of ours.
std::string Utf8(const Text& gbk) { return GbkToUtf8Lossy(UpToZero(gbk)); }

std::string ArticleUrl(const NewArticle& article) {
    // The address as the browser gets it when the article is opened.
    return Utf8(BrowsableAddress(article.address).value_or(article.address));
}

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void Reset() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

  private:
    int fd_;
};

int RemainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left > 60000 ? 60000 : left);
}

bool Abandoned(int abandon_fd) {
    if (abandon_fd < 0) return false;
    pollfd look{abandon_fd, POLLIN, 0};
    return poll(&look, 1, 0) > 0;
}

int ExitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

// Hands the JSON line to the command's standard input as far as it reads it before the deadline.
// The socket never raises SIGPIPE; a command that does not read is no reason to wait.
void FeedInput(int fd, const std::string& line, Clock::time_point deadline, int abandon_fd) {
    size_t sent = 0;
    while (sent < line.size()) {
        const ssize_t n = send(fd, line.data() + sent, line.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return;  // closed by the command
        pollfd waits[2] = {{fd, POLLOUT, 0}, {abandon_fd, POLLIN, 0}};
        const int ready = poll(waits, abandon_fd >= 0 ? 2 : 1, RemainingMs(deadline));
        if (ready <= 0 || (waits[1].revents & POLLIN) != 0) return;
    }
}

// Waits for the child to end, up to the deadline. True when it ended, with its status.
bool WaitChild(pid_t pid, Clock::time_point deadline, int abandon_fd, int& status) {
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    Fd owned(pidfd);
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return true;
        if (done < 0 && errno != EINTR) return false;
        const int left = RemainingMs(deadline);
        if (left == 0 || Abandoned(abandon_fd)) return false;
        if (pidfd >= 0) {
            pollfd waits[2] = {{pidfd, POLLIN, 0}, {abandon_fd, POLLIN, 0}};
            poll(waits, abandon_fd >= 0 ? 2 : 1, left);
        } else {
            // Kernels without process descriptors: look again in short steps.
            pollfd wait{abandon_fd, POLLIN, 0};
            poll(&wait, abandon_fd >= 0 ? 1 : 0, left < 20 ? left : 20);
        }
    }
}

}  // namespace

std::vector<std::string> ArticleEnvironment(const NewArticle& article) {
    return {std::string(kVariables[0]) + Utf8(article.plan_name),
            std::string(kVariables[1]) + std::to_string(article.plan_id),
            std::string(kVariables[2]) + Utf8(article.title),
            std::string(kVariables[3]) + ArticleUrl(article),
            std::string(kVariables[4]) + Utf8(article.time)};
}

std::string ArticleJsonLine(const NewArticle& article) {
    nlohmann::ordered_json record = {{"plan", Utf8(article.plan_name)},
                                     {"plan_id", article.plan_id},
                                     {"title", Utf8(article.title)},
                                     {"url", ArticleUrl(article)},
                                     {"time", Utf8(article.time)}};
    return record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

CommandOutcome RunArticleCommand(const std::string& command, const NewArticle& article,
                                 std::chrono::milliseconds time_limit, int abandon_fd) {
    CommandOutcome outcome;
    const Clock::time_point deadline = Clock::now() + time_limit;

    // The environment: ours without any MARL_ variable of the same name, then the article's.
    std::vector<std::string> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        bool ours = false;
        for (const std::string_view name : kVariables) ours = ours || text.rfind(name, 0) == 0;
        if (!ours) entries.emplace_back(text);
    }
    for (std::string& entry : ArticleEnvironment(article)) entries.push_back(std::move(entry));
    std::vector<char*> envp;
    envp.reserve(entries.size() + 1);
    for (std::string& entry : entries) envp.push_back(entry.data());
    envp.push_back(nullptr);

    int pair[2] = {-1, -1};
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return outcome;
    Fd ours(pair[0]), theirs(pair[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, theirs.get(), 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own, so the time-out ends whatever the command started, and the program's
    // interrupts and blocked signals are not the command's.
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (const int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGCHLD})
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::string shell = "/bin/sh", dash_c = "-c", text = command;
    char* argv[] = {shell.data(), dash_c.data(), text.data(), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, "/bin/sh", &actions, &attributes, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    theirs.Reset();
    if (spawned != 0) return outcome;

    FeedInput(ours.get(), ArticleJsonLine(article), deadline, abandon_fd);
    shutdown(ours.get(), SHUT_WR);  // end of input
    int status = 0;
    if (WaitChild(pid, deadline, abandon_fd, status)) {
        const int code = ExitCodeOf(status);
        outcome.kind = code == 0 ? CommandOutcome::Kind::kSucceeded : CommandOutcome::Kind::kFailed;
        outcome.exit_code = code;
        return outcome;
    }
    if (Abandoned(abandon_fd) && RemainingMs(deadline) > 0) {
        outcome.kind = CommandOutcome::Kind::kAbandoned;
        return outcome;
    }
    kill(-pid, SIGKILL);
    waitpid(pid, &status, 0);
    outcome.kind = CommandOutcome::Kind::kTimedOut;
    outcome.exit_code = ExitCodeOf(status);
    return outcome;
}

Text CommandFailureMessage(const NewArticle& article, const CommandOutcome& outcome,
                           std::chrono::milliseconds time_limit) {
    const Text plan = "[" + article.plan_name + "]";
    switch (outcome.kind) {
        case CommandOutcome::Kind::kSucceeded:
        case CommandOutcome::Kind::kAbandoned:
            return {};
        case CommandOutcome::Kind::kFailed:
            return Gbk("新文章命令出错：") + plan + Gbk(" 退出码 ") + std::to_string(outcome.exit_code);
        case CommandOutcome::Kind::kTimedOut:
            return Gbk("新文章命令超时，") + std::to_string(time_limit.count() / 1000) +
                   Gbk(" 秒后已结束：") + plan + Gbk(" 退出码 ") + std::to_string(outcome.exit_code);
        case CommandOutcome::Kind::kNotStarted:
            break;
    }
    return Gbk("新文章命令无法启动：") + plan + Gbk(" 退出码 -1");
}

CommandRunner::CommandRunner(std::string command, Report report)
    : CommandRunner(std::move(command), std::move(report), Options{}) {}

CommandRunner::CommandRunner(std::string command, Report report, Options options)
    : command_(std::move(command)), report_(std::move(report)), options_(options) {
    abandon_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

CommandRunner::~CommandRunner() {
    Stop();
    for (std::thread& worker : workers_) worker.join();
    if (abandon_fd_ >= 0) close(abandon_fd_);
}

void CommandRunner::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        stopping_ = true;
        queue_.clear();
    }
    if (abandon_fd_ >= 0) {
        const uint64_t one = 1;
        (void)!write(abandon_fd_, &one, sizeof one);
    }
    work_ready_.notify_all();
    idle_.notify_all();
}

void CommandRunner::OnNewArticle(const NewArticle& article) {
    std::vector<NewArticle> one;
    one.push_back(article);
    OnNewArticles(std::move(one));
}

void CommandRunner::OnNewArticles(std::vector<NewArticle>&& articles) {
    const NewArticle* dropped = nullptr;  // the first article dropped by a full queue, to say so
    bool first_of_burst = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        const auto now = std::chrono::steady_clock::now();
        for (NewArticle& article : articles) {
            if (queue_.size() >= options_.queue_limit) {
                if (!said_full_) dropped = &article;
                said_full_ = true;
                continue;
            }
            if (queue_.empty()) {
                first_of_burst = true;
                burst_since_ = now;
            }
            last_arrival_ = now;
            queue_.push_back(std::move(article));
        }
        while (workers_.size() < options_.max_running && workers_.size() < queue_.size() + running_) {
            workers_.emplace_back([this] { Work(); });
        }
    }
    if (dropped != nullptr && report_) {
        report_(Gbk("新文章命令排队已满（") + std::to_string(options_.queue_limit) +
                Gbk(" 条），之后的新文章不再运行命令，直到队列空出：[") + dropped->plan_name + "] " +
                dropped->title);
    }
    // Only the first article of a burst wakes a worker; the rest of the burst costs the recording
    // thread no wake-ups, and the worker that starts passes the work on.
    if (first_of_burst) work_ready_.notify_one();
}

void CommandRunner::Work() {
    // Commands inherit this thread's lower priority: monitoring goes first when the machine is busy.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), kCommandNice);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        work_ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        // Let the burst settle: wake when it has been quiet long enough or has waited longest.
        for (;;) {
            if (stopping_ || queue_.empty()) break;
            const auto start_at =
                std::min(last_arrival_ + options_.settle, burst_since_ + options_.longest_hold);
            if (std::chrono::steady_clock::now() >= start_at) break;
            work_ready_.wait_until(lock, start_at);
        }
        if (stopping_) return;
        if (queue_.empty()) continue;
        NewArticle article = std::move(queue_.front());
        queue_.pop_front();
        if (queue_.empty()) said_full_ = false;
        ++running_;
        const bool more = !queue_.empty();
        lock.unlock();
        if (more) work_ready_.notify_one();
        const CommandOutcome outcome = RunArticleCommand(command_, article, options_.time_limit, abandon_fd_);
        const Text message = CommandFailureMessage(article, outcome, options_.time_limit);
        if (!message.empty() && report_ && !Abandoned(abandon_fd_)) report_(message);
        lock.lock();
        --running_;
        if (queue_.empty() && running_ == 0) idle_.notify_all();
    }
}

bool CommandRunner::WaitIdle(const std::function<bool()>& give_up, std::chrono::milliseconds check_every) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (stopping_) return false;
        if (queue_.empty() && running_ == 0) return true;
        if (give_up && give_up()) return false;
        idle_.wait_for(lock, check_every);
    }
}

}  // namespace marl::feeds
