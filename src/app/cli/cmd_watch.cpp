#include "app/cli/cli_common.h"
#include "app/cli/cli_monitor.h"

namespace marl::cli {

int RunWatch(const CliArgs& args) { return RunMonitorCommand(args, true); }

}  // namespace marl::cli
