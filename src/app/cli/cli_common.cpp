#include "app/cli/cli_common.h"

#include <filesystem>
#include <iostream>

#include "app/cli/cli_commands.h"
#include "app/cli/terminal_text.h"
#include "store/data_folder.h"
#include "store/database.h"
#include "store/plan_store.h"
#include "text/gbk_codec.h"

namespace marl::cli {

std::string DataDir(const std::string& dir) { return dir.empty() ? DataDirectory() : dir; }

std::string DatabasePath(const std::string& dir) {
    return (std::filesystem::path(DataDir(dir)) / "marltips.db").string();
}

std::string SettingsPath(const std::string& dir) {
    return (std::filesystem::path(DataDir(dir)) / "marltips.ini").string();
}

std::optional<std::string> ExistingDatabasePath(const std::string& dir) {
    std::string path = DatabasePath(dir);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        std::cerr << "marltips-cli: database missing: " << EscapeForTerminal(path, LineBreaks::kEscape)
                  << " (run init)\n";
        return std::nullopt;
    }
    return path;
}

int ArticleReadFailure(ArticleReadResult result, const std::string& command, int32_t plan_id,
                       const std::string& path) {
    switch (result) {
        case ArticleReadResult::kUnknownPlan:
            return UsageError(command + ": no plan with id " + std::to_string(plan_id));
        case ArticleReadResult::kBusy:
            std::cerr << "marltips-cli: the database is busy: "
                      << EscapeForTerminal(path, LineBreaks::kEscape) << "\n";
            return kExitDatabase;
        case ArticleReadResult::kOk:
        case ArticleReadResult::kUnavailable:
        case ArticleReadResult::kNoSearch:
            break;
    }
    std::cerr << "marltips-cli: cannot read the database " << EscapeForTerminal(path, LineBreaks::kEscape)
              << "\n";
    return kExitDatabase;
}

bool OpenStoreDatabase(const std::string& dir, Database& db) {
    const std::optional<std::string> path = ExistingDatabasePath(dir);
    if (!path) return false;
    if (!db.Open(*path)) {
        std::cerr << "marltips-cli: cannot open the database: "
                  << EscapeForTerminal(*path, LineBreaks::kEscape) << "\n";
        return false;
    }
    return true;
}

bool LoadPlanList(Database& db, SharedPlanList& plans) {
    bool failed = false;
    PlanStore(db, plans).LoadPlans(failed);
    if (failed) {
        std::cerr << "marltips-cli: cannot read the plan list (database locked by another program, damaged, "
                     "or without its plan table)\n";
    }
    return !failed;
}

std::string ToUtf8(const Text& gbk) {
    if (auto strict = GbkToUtf8Strict(gbk)) return *strict;
    return GbkToUtf8Lossy(gbk);
}

int UsageError(const std::string& message) {
    // The message may repeat what was typed, control characters and line breaks included; it stays
    // one line.
    std::cerr << "marltips-cli: " << EscapeForTerminal(message, LineBreaks::kEscape) << "\n";
    return kExitUsage;
}

void EmitJson(const nlohmann::ordered_json& record) {
    // Texts that came from the web may hold bytes that are not UTF-8; replace, never throw.
    std::cout << record.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n"
              << std::flush;
}

void EmitLine(const std::string& utf8_line) {
    std::cout << EscapeForTerminal(utf8_line) << "\n" << std::flush;
}

Text HeaderText(const std::vector<Text>& lines, bool default_headers) {
    Text text = default_headers ? DefaultHeaderBlock() : Text();
    for (const Text& line : lines) {
        if (!text.empty()) text += "\r\n";
        text += line;
    }
    return text;
}

}  // namespace marl::cli
