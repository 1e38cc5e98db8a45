#include "app/cli/cli_common.h"

namespace marl::cli {

int RunInit(const CliArgs&) { return UsageError("init is not available yet"); }

}  // namespace marl::cli
