#include "app/cli/cli_common.h"

namespace marl::cli {

int RunWatch(const CliArgs&) { return UsageError("watch is not available yet"); }

}  // namespace marl::cli
