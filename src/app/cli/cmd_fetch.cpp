#include "app/cli/cli_common.h"

namespace marl::cli {

int RunFetch(const CliArgs&) { return UsageError("fetch is not available yet"); }

}  // namespace marl::cli
