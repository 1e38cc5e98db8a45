#include "app/cli/cli_common.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "store/database.h"
#include "text/gbk_codec.h"

namespace marl::cli {

std::optional<std::string> CliArgs::Get(const std::string& name) const {
    std::optional<std::string> found;
    for (const auto& [key, value] : options) {
        if (key == name) found = value;
    }
    return found;
}

std::vector<std::string> CliArgs::GetAll(const std::string& name) const {
    std::vector<std::string> all;
    for (const auto& [key, value] : options) {
        if (key == name) all.push_back(value);
    }
    return all;
}

std::optional<CliArgs> ParseArgs(int argc, char** argv, std::string& error) {
    static const std::set<std::string> kFlags = {"--json", "--default-headers"};
    CliArgs args;
    if (argc < 2) {
        error = "missing command";
        return std::nullopt;
    }
    args.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::string word = argv[i];
        if (word.rfind("--", 0) == 0 && word.size() > 2) {
            const size_t eq = word.find('=');
            if (eq != std::string::npos) {  // --name=value
                args.options.emplace_back(word.substr(0, eq), word.substr(eq + 1));
            } else if (kFlags.count(word)) {
                args.flags.insert(word);
            } else if (i + 1 < argc) {
                args.options.emplace_back(word, argv[++i]);
            } else {
                error = "option " + word + " needs a value";
                return std::nullopt;
            }
        } else {
            args.positionals.push_back(word);
        }
    }
    return args;
}

std::string DataDir(const CliArgs& args) {
    if (auto dir = args.Get("--dir")) return *dir;
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return ".";
    return exe.parent_path().string();
}

std::string DatabasePath(const CliArgs& args) { return (std::filesystem::path(DataDir(args)) / "marltips.db").string(); }

std::string SettingsPath(const CliArgs& args) {
    return (std::filesystem::path(DataDir(args)) / "marltips.ini").string();
}

// Opens the database as the desktop program does (never creating it); on failure tells stderr why.
bool OpenStoreDatabase(const CliArgs& args, Database& db) {
    const std::string path = DatabasePath(args);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        std::cerr << "marltips-cli: database missing: " << path << " (run init)\n";
        return false;
    }
    if (!db.Open(path)) {
        std::cerr << "marltips-cli: cannot open the database: " << path << "\n";
        return false;
    }
    return true;
}

std::optional<Text> ToGbk(const std::string& utf8) { return Utf8ToGbkStrict(utf8); }

std::string ToUtf8(const Text& gbk) {
    if (auto strict = GbkToUtf8Strict(gbk)) return *strict;
    return GbkToUtf8Lossy(gbk);
}

int UsageError(const std::string& message) {
    std::cerr << "marltips-cli: " << message << "\n";
    return kExitUsage;
}

void EmitJson(const nlohmann::ordered_json& record) {
    // Texts that came from the web may hold bytes that are not UTF-8; replace, never throw.
    std::cout << record.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n" << std::flush;
}

void EmitLine(const std::string& utf8_line) { std::cout << utf8_line << "\n" << std::flush; }

}  // namespace marl::cli
