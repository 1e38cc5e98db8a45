#include "app/cli/cli_commands.h"
#include "app/cli/cli_monitor.h"

namespace marl::cli {

int RunWatch(const MonitorOptions& options) { return RunMonitorCommand(options, true); }

}  // namespace marl::cli
