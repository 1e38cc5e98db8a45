#include "app/cli/cli_commands.h"
#include "app/cli/cli_monitor.h"

namespace marl::cli {

int RunPass(const MonitorOptions& options) { return RunMonitorCommand(options, false); }

}  // namespace marl::cli
