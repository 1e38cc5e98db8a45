#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <memory>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_common.h"
#include "app/cli/cli_options.h"
#include "schema_sql.h"
#include "store/data_folder.h"

namespace marl::cli {
namespace {

// Builds the empty database in `temp` (an existing, empty file). Empty text on success, else why not.
std::string WriteSchema(const std::string& temp) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(temp.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        std::string why = db ? sqlite3_errmsg(db) : "cannot open";
        sqlite3_close(db);
        return why;
    }
    char* err = nullptr;
    const int rc = sqlite3_exec(db, kSchemaSql, nullptr, nullptr, &err);
    std::string why = rc == SQLITE_OK ? "" : (err ? err : "schema failed");
    sqlite3_free(err);
    if (sqlite3_close(db) != SQLITE_OK && why.empty()) why = "cannot close";
    return why;
}

bool SyncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

// Creates marltips.db only where no file exists. The database is built under a temporary name and
// then linked into place, which fails if a file has appeared meanwhile, so neither a half-made
// database nor an overwritten one can result.
int RunInit(const InitOptions& options) {
    const std::string dir = DataDir(options.dir);
    const std::string path = DatabasePath(options.dir);
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
        EmitLine("marltips.db already exists, nothing changed: " + path);
        return kExitOk;
    }
    // The user's data folder is made on first use; a folder named by --dir must exist already.
    if (options.dir.empty() && !std::filesystem::exists(dir, ec)) {
        if (const std::string why = MakeDataDirectory(dir); !why.empty()) return UsageError(why);
    }
    if (!std::filesystem::is_directory(dir, ec)) return UsageError("not a directory: " + dir);

    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return UsageError("cannot write in " + dir + ": " + std::strerror(errno));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);

    std::string why = WriteSchema(temp);
    if (why.empty() && !SyncFile(temp)) why = "cannot flush the new file";
    if (why.empty() && ::link(temp.c_str(), path.c_str()) != 0) {
        if (errno == EEXIST) {
            ::unlink(temp.c_str());
            EmitLine("marltips.db already exists, nothing changed: " + path);
            return kExitOk;
        }
        why = std::string("cannot create ") + path + ": " + std::strerror(errno);
    }
    ::unlink(temp.c_str());
    ::unlink((temp + "-journal").c_str());
    if (!why.empty()) {
        std::cerr << "marltips-cli: " << why << "\n";
        return kExitUsage;
    }
    EmitLine("created " + path);
    return kExitOk;
}

Command AddInitCommand(CLI::App& program) {
    auto options = std::make_shared<InitOptions>();
    CLI::App* command =
        program.add_subcommand("init",
                               "create marltips.db from the shipped schema when no file exists (and the "
                               "user's data folder, when that is the one used and missing)");
    AddDir(*command, options->dir);
    return MakeCommand(command, options, RunInit);
}

}  // namespace marl::cli
