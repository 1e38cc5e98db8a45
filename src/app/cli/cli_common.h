#pragma once
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "text/text.h"

namespace marl {
class Database;
}

namespace marl::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitDatabase = 3;

// The command line after the command word: options with values, bare flags and positionals,
// in the order given. Arguments are UTF-8.
struct CliArgs {
    std::string command;
    std::vector<std::pair<std::string, std::string>> options;  // "--name" -> value, in order
    std::set<std::string> flags;                               // "--json", "--default-headers"
    std::vector<std::string> positionals;

    bool Has(const std::string& flag) const { return flags.count(flag) > 0; }
    std::optional<std::string> Get(const std::string& name) const;  // the last one given
    std::vector<std::string> GetAll(const std::string& name) const;
    bool Json() const { return Has("--json"); }
};

// Parses argv[1..]. On a malformed line returns nullopt and sets `error`.
std::optional<CliArgs> ParseArgs(int argc, char** argv, std::string& error);

// The directory holding marltips.db and marltips.ini: --dir, else the program directory.
std::string DataDir(const CliArgs& args);
std::string DatabasePath(const CliArgs& args);
std::string SettingsPath(const CliArgs& args);

// Opens marltips.db as the desktop program does, never creating it; on failure says why on
// stderr. The caller then exits with kExitDatabase.
bool OpenStoreDatabase(const CliArgs& args, Database& db);

// UTF-8 argument to GBK; nullopt when it holds a character GBK lacks or is not UTF-8.
std::optional<Text> ToGbk(const std::string& utf8);
// GBK to UTF-8 for output; characters that cannot be read come out as U+FFFD.
std::string ToUtf8(const Text& gbk);

// Prints a usage error on stderr and returns kExitUsage.
int UsageError(const std::string& message);
// One JSON Lines record on stdout, flushed at once so that a pipe sees it as it happens.
// Fields keep the order in which the record lists them.
void EmitJson(const nlohmann::ordered_json& record);
// One line for people on stdout, flushed.
void EmitLine(const std::string& utf8_line);

// The command handlers, one file each.
int RunInit(const CliArgs& args);
int RunPlans(const CliArgs& args);
int RunSave(const CliArgs& args);
int RunDelete(const CliArgs& args);
int RunFetch(const CliArgs& args);
int RunTest(const CliArgs& args);
int RunPass(const CliArgs& args);
int RunWatch(const CliArgs& args);

}  // namespace marl::cli
