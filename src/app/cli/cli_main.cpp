// marltips-cli: the headless companion of the desktop program, on the same core.
#include <iostream>
#include <map>

#include "app/cli/cli_common.h"

namespace {

constexpr const char kUsage[] =
    "usage: marltips-cli COMMAND [OPTIONS]\n"
    "commands:\n"
    "  init   [--dir DIR]                         create marltips.db when none exists\n"
    "  plans  [--dir DIR] [--json]                list the plans\n"
    "  save   [--dir DIR] --name S --url S --encoding gbk|utf-8 [...]   save a plan\n"
    "  delete [--dir DIR] ID [--json]             delete a plan\n"
    "  fetch  --url S [--encoding gbk|utf-8] [--post S] [--header LINE]... [--json]\n"
    "  test   --url S [...]                       try a plan without saving it\n"
    "  pass   [--dir DIR] [--passes N] [--json] [POSITION...]\n"
    "  watch  [--dir DIR] [--json] [POSITION...]\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace marl::cli;
    std::string error;
    auto args = ParseArgs(argc, argv, error);
    if (!args) {
        std::cerr << kUsage;
        return UsageError(error);
    }
    static const std::map<std::string, int (*)(const CliArgs&)> kCommands = {
        {"init", RunInit}, {"plans", RunPlans}, {"save", RunSave}, {"delete", RunDelete}, {"fetch", RunFetch},
        {"test", RunTest}, {"pass", RunPass},   {"watch", RunWatch},
    };
    auto it = kCommands.find(args->command);
    if (it == kCommands.end()) {
        std::cerr << kUsage;
        return UsageError("unknown command: " + args->command);
    }
    return it->second(*args);
}
