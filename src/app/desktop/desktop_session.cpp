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

std::string PreferredPlatform(const char* display, const char* qpa_platform, bool x_reachable) {
    if (IsSet(qpa_platform) || !IsSet(display) || !x_reachable) return {};
    return "xcb";
}

bool XDisplayReachable(const char* display, const std::string& socket_directory) {
    if (!IsSet(display)) return false;
    const std::string name(display);
    const size_t colon = name.rfind(':');
    if (colon == std::string::npos) return false;
    const std::string host = name.substr(0, colon);
    if (!host.empty() && host != "unix") return true;  // over the network: only a connection tells
    std::string number = name.substr(colon + 1);
    number = number.substr(0, number.find('.'));  // ":0.1" is screen 1 of display 0
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return false;
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::path(socket_directory) / ("X" + number), ec);
}

const char* NoDesktopMessage() {
    return "marltips: the window needs a desktop session, and none was found (DISPLAY and WAYLAND_DISPLAY "
           "are not set).\n"
           "Start marltips from a desktop, or use marltips-cli beside it for headless use "
           "(marltips-cli plans, marltips-cli pass, marltips-cli watch).\n";
}

}  // namespace marl
