#include "app/cli/cli_common.h"
#include "app/cli/cli_monitor.h"

namespace marl::cli {

int RunPass(const CliArgs& args) { return RunMonitorCommand(args, false); }

}  // namespace marl::cli
