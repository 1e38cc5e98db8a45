#include "app/cli/cli_common.h"

namespace marl::cli {

int RunTest(const CliArgs&) { return UsageError("test is not available yet"); }

}  // namespace marl::cli
