#include "store/data_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace marl {
namespace {

bool IsSet(const char* value) { return value != nullptr && value[0] != '\0'; }

// The home folder from the user database, for a process started without HOME.
std::string HomeOfUser() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        !IsSet(found->pw_dir))
        return {};
    return found->pw_dir;
}

}  // namespace

std::string ProgramDirectory() {
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || program.empty()) return ".";
    return program.parent_path().string();
}

std::string DataDirectory(const std::string& program_directory, const char* xdg_data_home, const char* home) {
    std::error_code ec;
    if (std::filesystem::exists(
            std::filesystem::symlink_status(std::filesystem::path(program_directory) / "marltips.db", ec)))
        return program_directory;
    // A relative XDG_DATA_HOME is ignored, as the freedesktop base directory rules ask: it would depend on
    // the folder the program happens to be started from.
    if (IsSet(xdg_data_home) && xdg_data_home[0] == '/')
        return (std::filesystem::path(xdg_data_home) / "marltips").string();
    const std::string base = IsSet(home) ? std::string(home) : HomeOfUser();
    if (base.empty()) return {};
    return (std::filesystem::path(base) / ".local" / "share" / "marltips").string();
}

std::string DataDirectory() {
    const std::string program = ProgramDirectory();
    std::string data = DataDirectory(program, std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    return data.empty() ? program : data;
}

std::string MakeDataDirectory(const std::string& directory) {
    const std::filesystem::path target(directory);
    std::filesystem::path made;
    for (const std::filesystem::path& part : target) {
        made /= part;
        if (part.empty() || part == "/") continue;
        if (::mkdir(made.c_str(), 0700) == 0 || errno == EEXIST) continue;
        return "cannot create " + made.string() + ": " + std::strerror(errno);
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(target, ec)) return "not a directory: " + directory;
    return {};
}

}  // namespace marl
