#include <climits>
#include <memory>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_monitor.h"
#include "app/cli/cli_options.h"

namespace marl::cli {

int RunPass(const MonitorOptions& options) { return RunMonitorCommand(options, false); }

Command AddPassCommand(CLI::App& program) {
    auto options = std::make_shared<MonitorOptions>();
    CLI::App* command =
        program.add_subcommand("pass", "run monitoring passes over the checked plans, then exit");
    AddDir(*command, options->dir);
    AddNumber<int64_t>(*command, "--passes", options->passes, "number of passes", 0, INT32_MAX);
    AddJson(*command, options->json);
    AddPositions(*command, options->positions);
    AddExec(*command, options->exec);
    return MakeCommand(command, options, RunPass);
}

}  // namespace marl::cli
