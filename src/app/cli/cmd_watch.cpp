#include <memory>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_monitor.h"
#include "app/cli/cli_options.h"

namespace marl::cli {

int RunWatch(const MonitorOptions& options) { return RunMonitorCommand(options, true); }

Command AddWatchCommand(CLI::App& program) {
    auto options = std::make_shared<MonitorOptions>();
    CLI::App* command = program.add_subcommand(
        "watch", "monitor the checked plans like the desktop program, until interrupted");
    AddDir(*command, options->dir);
    AddJson(*command, options->json);
    AddPositions(*command, options->positions);
    AddExec(*command, options->exec);
    AddListen(*command, "--serve", options->serve, "also serve the feeds on this address, as serve does");
    return MakeCommand(command, options, RunWatch);
}

}  // namespace marl::cli
