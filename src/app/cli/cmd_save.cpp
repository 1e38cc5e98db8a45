#include "app/cli/cli_common.h"

namespace marl::cli {

int RunSave(const CliArgs&) { return UsageError("save is not available yet"); }

}  // namespace marl::cli
