#include "cli_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <stdexcept>

namespace marl::test {

namespace {

// In the child: standard output as asked for. False when it cannot be arranged.
bool RedirectStdout(StdoutTo stdout_to, int pipe_end) {
    switch (stdout_to) {
        case StdoutTo::kPipe:
            return dup2(pipe_end, STDOUT_FILENO) == STDOUT_FILENO;
        case StdoutTo::kFullDevice: {
            const int full = open("/dev/full", O_WRONLY);
            return full >= 0 && dup2(full, STDOUT_FILENO) == STDOUT_FILENO && close(full) == 0;
        }
        case StdoutTo::kClosed:
            return close(STDOUT_FILENO) == 0;
        case StdoutTo::kGoneReader: {
            int gone[2];
            if (pipe(gone) != 0 || close(gone[0]) != 0) return false;
            // An ignored signal stays ignored across exec.
            return signal(SIGPIPE, SIG_IGN) != SIG_ERR && dup2(gone[1], STDOUT_FILENO) == STDOUT_FILENO &&
                   close(gone[1]) == 0;
        }
    }
    return false;
}

}  // namespace

CliProcess::CliProcess(const std::vector<std::string>& args, bool unprivileged, StdoutTo stdout_to) {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
        dup2(err[1], STDERR_FILENO);
        if (!RedirectStdout(stdout_to, out[1])) _exit(122);
        close(out[0]), close(out[1]), close(err[0]), close(err[1]);
        if (unprivileged && geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(120);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(MARL_CLI_PATH));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(MARL_CLI_PATH, argv.data());
        _exit(121);
    }
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
}

CliProcess::~CliProcess() {
    if (pid_ > 0 && !reaped_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    close(out_);
    close(err_);
}

bool CliProcess::ReadUntil(const std::string& needle, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (out_text_.find(needle) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline || !ReadSome(1000)) return false;
    }
    return true;
}

int CliProcess::Finish(std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (ReadSome(1000)) {
        if (std::chrono::steady_clock::now() > deadline) kill(pid_, SIGKILL);
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void CliProcess::Signal(int signal) { kill(pid_, signal); }

bool CliProcess::ReadSome(int timeout_ms) {
    if (out_closed_ && err_closed_) return false;
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    if (poll(fds, 2, timeout_ms) < 0) return false;
    char buffer[4096];
    for (int i = 0; i < 2; ++i) {
        bool& closed = i == 0 ? out_closed_ : err_closed_;
        if (closed || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n <= 0) {
            closed = true;
        } else {
            (i == 0 ? out_text_ : err_text_).append(buffer, static_cast<size_t>(n));
        }
    }
    return true;
}

std::vector<nlohmann::json> CliResult::JsonLines() const {
    std::vector<nlohmann::json> records;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) records.push_back(nlohmann::json::parse(line));
    return records;
}

CliResult RunCli(const std::vector<std::string>& args, bool unprivileged, std::chrono::seconds limit) {
    CliProcess process(args, unprivileged);
    const int code = process.Finish(limit);
    return {code, process.out(), process.err()};
}

CliResult RunCliWithStdout(const std::vector<std::string>& args, StdoutTo stdout_to,
                           std::chrono::seconds limit) {
    CliProcess process(args, false, stdout_to);
    const int code = process.Finish(limit);
    return {code, process.out(), process.err()};
}

int LineCount(const std::string& text) {
    int lines = 0;
    for (const char c : text) lines += c == '\n';
    return lines + (!text.empty() && text.back() != '\n');
}

std::string WhyNobodyCannotReach(const std::string& dir) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(test::kNobody) != 0 || ::setuid(test::kNobody) != 0) ::_exit(1);
        if (::access(MARL_CLI_PATH, X_OK) != 0) ::_exit(2);
        ::_exit(::access(dir.c_str(), X_OK) != 0 ? 3 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    switch (WIFEXITED(status) ? WEXITSTATUS(status) : 1) {
        case 0:
            return "";
        case 2:
            return std::string("user nobody cannot run ") + MARL_CLI_PATH;
        case 3:
            return "user nobody cannot reach " + dir;
        default:
            return "cannot switch to user nobody";
    }
}

}  // namespace marl::test
