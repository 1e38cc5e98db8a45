#pragma once
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "store/article_reader.h"
#include "text/text.h"

namespace marl {
class Database;
class SharedPlanList;
}  // namespace marl

namespace marl::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitDatabase = 3;

// The directory holding marltips.db and marltips.ini: `dir` (the --dir option) when given, else the
// program's folder when marltips.db lies there, else the user's data folder (store/data_folder.h).
std::string DataDir(const std::string& dir);
std::string DatabasePath(const std::string& dir);
std::string SettingsPath(const std::string& dir);

// The path of marltips.db when that is a file; otherwise says so on stderr and returns nothing.
// The caller then exits with kExitDatabase.
std::optional<std::string> ExistingDatabasePath(const std::string& dir);

// After a read of the recorded articles that did not answer kOk: says why on stderr and returns
// the exit code (a usage error for a plan id that is not in the list, else kExitDatabase).
int ArticleReadFailure(ArticleReadResult result, const std::string& command, int32_t plan_id,
                       const std::string& path);

// Opens marltips.db as the desktop program does, never creating it; on failure says why on
// stderr. The caller then exits with kExitDatabase.
bool OpenStoreDatabase(const std::string& dir, Database& db);

// Loads the plan list as the desktop program does. False, with the reason on stderr, when the list
// statement failed (locked beyond the busy time, not a database, no plan table): a script must not take
// a broken database for one without plans. The caller then exits with kExitDatabase.
bool LoadPlanList(Database& db, SharedPlanList& plans);

// GBK to UTF-8 for output; characters that cannot be read come out as U+FFFD.
std::string ToUtf8(const Text& gbk);

// Prints a usage error on stderr, its control characters escaped, and returns kExitUsage.
int UsageError(const std::string& message);
// One JSON Lines record on stdout, flushed at once so that a pipe sees it as it happens.
// Fields keep the order in which the record lists them.
void EmitJson(const nlohmann::ordered_json& record);
// One line for people on stdout, flushed. Every human line goes through here, so that a title or page
// text can never reach the terminal as raw control characters (EscapeForTerminal); line breaks stay.
void EmitLine(const std::string& utf8_line);

}  // namespace marl::cli
