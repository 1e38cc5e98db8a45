#pragma once
#include <string>

namespace marl {

// Whether a window can be shown at all: a display server is named (X11 or Wayland), or Qt has been
// told which platform to use. Unset and empty variables count as missing.
bool HasWindowPlatform(const char* display, const char* wayland_display, const char* qpa_platform);

// The platform plug-in to ask Qt for, or empty to leave the choice to Qt. When an X display is
// named and reachable (`x_reachable`) and no platform was chosen, it is "xcb": under Wayland a window
// cannot place itself, so the popup in its corner and the centred windows would land anywhere.
std::string PreferredPlatform(const char* display, const char* qpa_platform, bool x_reachable);

// Whether the X display named by `display` accepts connections, as far as can be told without
// connecting: a local display (":0", "unix:0.1") needs its socket in `socket_directory`; a display on
// another host counts as reachable.
bool XDisplayReachable(const char* display, const std::string& socket_directory = "/tmp/.X11-unix");

// What the program says instead of a window when there is no desktop session.
const char* NoDesktopMessage();

}  // namespace marl
