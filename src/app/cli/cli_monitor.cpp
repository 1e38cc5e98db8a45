#include "app/cli/cli_monitor.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "app/cli/cli_output.h"
#include "app/cli/locked_monitor_ui.h"
#include "app/cli/terminal_text.h"
#include "feeds/command_runner.h"
#include "feeds/feed_server.h"
#include "monitor/clock.h"
#include "monitor/monitor_context.h"
#include "monitor/monitor_pass.h"
#include "monitor/pauser.h"
#include "monitor/process_plan.h"
#include "monitor/status_log.h"
#include "store/database.h"
#include "store/plan_store.h"

namespace marl::cli {
namespace {

Text WithoutLineEnd(const Text& line) {
    size_t end = line.size();
    while (end > 0 && (line[end - 1] == '\n' || line[end - 1] == '\r')) --end;
    return line.substr(0, end);
}

// Turns SIGINT and SIGTERM into a flag and an interrupted pauser, on a thread of its own (nothing
// that locks may run in a signal handler). Must exist before any other thread is started, so every
// thread inherits the blocked signals and only this one receives them.
class InterruptWatcher {
  public:
    explicit InterruptWatcher(Pauser& pauser) : pauser_(pauser) {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGINT);
        sigaddset(&signals_, SIGTERM);
        sigaddset(&signals_, SIGUSR1);  // our own wake-up at the end
        pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
        thread_ = std::thread([this] { Watch(); });
    }

    ~InterruptWatcher() {
        closing_ = true;
        pthread_kill(thread_.native_handle(), SIGUSR1);
        thread_.join();
        // The signals stay blocked: the command is ending, and an interrupt that arrives now must not
        // turn a clean finish into a kill.
    }

    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

    bool Interrupted() const { return interrupted_.load(); }

  private:
    void Watch() {
        for (;;) {
            int signal = 0;
            if (sigwait(&signals_, &signal) != 0) continue;
            if (signal == SIGUSR1) {
                if (closing_) return;
                continue;
            }
            if (interrupted_.exchange(true)) {
                // The second interrupt: the user wants out now.
                static const char kNow[] = "marltips-cli: interrupted\n";
                (void)!write(STDERR_FILENO, kNow, sizeof kNow - 1);
                _exit(128 + signal);
            }
            pauser_.Interrupt();
        }
    }

    Pauser& pauser_;
    sigset_t signals_{};
    std::atomic<bool> interrupted_{false};
    std::atomic<bool> closing_{false};
    std::thread thread_;
};

}  // namespace

PrintingMonitorUi::PrintingMonitorUi(bool json, const SettingsFile& settings)
    : json_(json), settings_(settings), caption_(Gbk("监控")) {}

void PrintingMonitorUi::AppendStatus(const Text& line) {
    const std::string text = ToUtf8(WithoutLineEnd(line));
    if (json_) {
        EmitJson({{"event", "status"}, {"text", text}});
    } else {
        EmitLine(text);
    }
}

void PrintingMonitorUi::InsertArticleRow(int32_t position, const Text& plan_name, const Text& title,
                                         const Text& address, const Text& short_time) {
    if (json_) {
        EmitJson({{"event", "article"},
                  {"position", position},
                  {"plan", ToUtf8(plan_name)},
                  {"title", ToUtf8(title)},
                  {"url", ToUtf8(address)},
                  {"time", ToUtf8(short_time)}});
    } else {
        EmitLine("新文章 " + ToUtf8(short_time) + " [" + ToUtf8(plan_name) + "] " + ToUtf8(title) + "  " +
                 ToUtf8(address));
    }
}

void PrintingMonitorUi::ShowArticle(const Text&, const Text&) {
    // The article's line has been printed with its row already.
}

Text PrintingMonitorUi::FrequencyText() {
    static const Text kKey = Gbk("频率");
    Text frequency = settings_.AccessSetting(kKey, Text());
    return frequency.empty() ? Text("200") : frequency;
}

void PrintingMonitorUi::ShowMessage(const Text& text) {
    std::cerr << "marltips-cli: " << ToUtf8(text) << "\n";
}

bool PrintingMonitorUi::OutputFailed() { return cli::OutputFailed(); }

std::vector<int32_t> CheckedPositions(const PlanList& plans, const Text& checked_ids) {
    std::vector<int32_t> positions;
    for (int position = 1; position <= plans.size(); ++position) {
        const Text needle = "," + std::to_string(plans.At(position)->id) + ",";
        if (checked_ids.find(needle) != Text::npos) positions.push_back(position);
    }
    return positions;
}

int RunMonitorCommand(const MonitorOptions& options, bool forever) {
    const int64_t passes = options.passes;
    std::vector<int32_t> positions = options.positions;

    // Before any other thread exists (the HTTP stack may start some).
    RealPauser pauser;
    InterruptWatcher interrupts(pauser);

    const std::optional<std::string> found = ExistingDatabasePath(options.dir);
    if (!found) return kExitDatabase;
    const std::string& db_path = *found;
    Database db;
    if (!db.Open(db_path)) {
        std::cerr << "marltips-cli: cannot open the database "
                  << EscapeForTerminal(db_path, LineBreaks::kEscape) << "\n";
        return kExitDatabase;
    }
    SharedPlanList plans;
    if (!LoadPlanList(db, plans)) return kExitDatabase;
    for (const int32_t position : positions) {
        // Asked for by number: a plan that is not there is a mistake, not an empty pass.
        if (plans.Get()->At(position) == nullptr) {
            return UsageError(std::string(forever ? "watch" : "pass") + ": no plan at position " +
                              std::to_string(position));
        }
    }
    const SettingsFile settings(SettingsPath(options.dir));
    if (positions.empty()) {
        static const Text kCheckedKey = Gbk("自动勾选");
        positions = CheckedPositions(*plans.Get(), settings.AccessSetting(kCheckedKey, Text()));
    }
    PrintingMonitorUi ui(options.json, settings);
    if (positions.empty()) {
        ui.ShowMessage(Gbk("请至少勾选一个被监控的网站"));
        return kExitUsage;
    }

    const SystemClock clock;
    // The command for new articles reports from threads of its own: one call to the output at a time.
    LockedMonitorUi shared_ui(ui);
    std::unique_ptr<feeds::CommandRunner> runner;
    if (!options.exec.empty()) {
        runner = std::make_unique<feeds::CommandRunner>(
            options.exec,
            [&shared_ui, &clock](const Text& message) { StatusLog(shared_ui, clock, message); });
    }
    std::unique_ptr<feeds::FeedServer> server;
    if (!options.serve.empty()) {
        server = std::make_unique<feeds::FeedServer>(db_path);
        const auto address = feeds::ParseListenAddress(options.serve);
        if (!address || !server->Bind(*address))
            return UsageError("watch: cannot listen on " + options.serve);
        server->Start();
        // Told once listening, with the port chosen when 0 was asked for.
        const std::string listening = feeds::ListenAddressText({address->host, server->port()});
        if (options.json) {
            EmitJson({{"event", "listening"}, {"address", listening}});
        } else {
            EmitLine("serving http://" + listening + "/");
        }
    }
    const MonitorContext context{db, plans, shared_ui, clock, {}, runner.get()};
    const PlanProcessor process = [&context](int32_t position) { ProcessPlan(context, position); };
    // Output that cannot be written ends the command like an interrupt: nothing shown after it
    // could reach anybody.
    const auto interrupted = [&interrupts] { return interrupts.Interrupted(); };
    const auto stop = [&interrupted] { return interrupted() || OutputFailed(); };
    for (int64_t pass = 1; forever || pass <= passes; ++pass) {
        if (!RunPass(positions, process, pauser, stop)) break;
        if (!forever && pass == passes) break;
        if (WaitBetweenPasses(shared_ui, pauser, stop)) break;
    }
    if (OutputFailed()) {
        std::cerr << "marltips-cli: standard output could not be written; the new articles not shown are "
                     "left for the next pass\n";
        return kExitOutput;
    }
    // The commands of the last articles still get their turn; an interrupt stops the wait, and
    // commands still running are left to finish on their own.
    if (runner) runner->WaitIdle(interrupted, std::chrono::milliseconds(100));
    return kExitOk;
}

}  // namespace marl::cli
