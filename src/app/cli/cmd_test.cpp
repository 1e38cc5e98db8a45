#include "app/cli/cli_commands.h"
#include "app/cli/cli_common.h"

namespace marl::cli {

// The plan tester is not part of this program yet; its options are parsed already.
int RunTest(const TestOptions&) { return UsageError("test: not built yet"); }

}  // namespace marl::cli
