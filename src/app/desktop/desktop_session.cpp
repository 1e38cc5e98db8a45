#include "app/desktop/desktop_session.h"

#include <filesystem>
#include <system_error>

namespace marl {
namespace {

bool IsSet(const char* value) { return value != nullptr && value[0] != '\0'; }

}  // namespace

bool HasWindowPlatform(const char* display, const char* wayland_display, const char* qpa_platform) {
    return IsSet(display) || IsSet(wayland_display) || IsSet(qpa_platform);
}

const char* NoDesktopMessage() {
    return "marltips: the window needs a desktop session, and none was found (DISPLAY and WAYLAND_DISPLAY "
           "are not set).\n"
           "Start marltips from a desktop, or use marltips-cli beside it for headless use "
           "(marltips-cli plans, marltips-cli pass, marltips-cli watch).\n";
}

std::string ProgramDirectory() {
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || program.empty()) return ".";
    return program.parent_path().string();
}

}  // namespace marl
