#include "app/cli/cli_common.h"

namespace marl::cli {

int RunPass(const CliArgs&) { return UsageError("pass is not available yet"); }

}  // namespace marl::cli
