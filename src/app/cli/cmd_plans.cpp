#include "app/cli/cli_common.h"

namespace marl::cli {

int RunPlans(const CliArgs&) { return UsageError("plans is not available yet"); }

}  // namespace marl::cli
