#pragma once
// marltips-cli as the real program in a child process, for the command-line tests.
#include <sys/types.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace marl::test {

// The user id that unprivileged runs switch to when the tests run as root.
inline constexpr uid_t kNobody = 65534;

// Where the child's standard output goes: the pipe the test reads, or one that cannot be written.
enum class StdoutTo {
    kPipe,
    kFullDevice,  // /dev/full: every flush fails with "no space left"
    kClosed,      // started with standard output closed
    kGoneReader,  // a pipe whose reader has gone, with SIGPIPE ignored: writes fail with EPIPE
};

// One run of marltips-cli with its stdout and stderr on pipes.
class CliProcess {
  public:
    // `unprivileged`: when the tests run as root, the child gives up root for user nobody first (file
    // modes do not stop root). The child cannot start: exit 120 (rights), 121 (exec), 122 (stdout).
    explicit CliProcess(const std::vector<std::string>& args, bool unprivileged = false,
                        StdoutTo stdout_to = StdoutTo::kPipe);
    ~CliProcess();  // kills a child that is still running
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    // Reads output until stdout holds `needle` (true) or both pipes are closed or time is up (false).
    bool ReadUntil(const std::string& needle, std::chrono::seconds limit = std::chrono::seconds(60));
    // Reads to the end and returns the exit code (128 + signal when killed by one). A child still
    // running after `limit` is killed, so a command that should have been refused cannot hang a test.
    int Finish(std::chrono::seconds limit = std::chrono::seconds(120));

    void Signal(int signal);
    const std::string& out() const { return out_text_; }
    const std::string& err() const { return err_text_; }

  private:
    bool ReadSome(int timeout_ms);

    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
    bool out_closed_ = false, err_closed_ = false, reaped_ = false;
    std::string out_text_, err_text_;
};

struct CliResult {
    int code = -1;
    std::string out, err;

    // stdout as JSON Lines.
    std::vector<nlohmann::json> JsonLines() const;
};

// Runs marltips-cli to its end (killed after `limit`).
CliResult RunCli(const std::vector<std::string>& args, bool unprivileged = false,
                 std::chrono::seconds limit = std::chrono::seconds(120));
// The same with standard output sent to `stdout_to` (CliResult::out stays empty unless kPipe).
CliResult RunCliWithStdout(const std::vector<std::string>& args, StdoutTo stdout_to,
                           std::chrono::seconds limit = std::chrono::seconds(120));

// Why user nobody could not even start marltips-cli on `dir` (the program or the folder lies where
// nobody may not go, as in a checkout below root's home or in a private temporary folder); empty
// when it can. Tests that run the program unprivileged skip with this reason.
std::string WhyNobodyCannotReach(const std::string& dir);

// The number of lines of a text (a last line without its line end counts).
int LineCount(const std::string& text);

}  // namespace marl::test
