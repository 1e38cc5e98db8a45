#include "app/cli/cli_common.h"

namespace marl::cli {

int RunDelete(const CliArgs&) { return UsageError("delete is not available yet"); }

}  // namespace marl::cli
