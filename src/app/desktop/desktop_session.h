#pragma once
#include <string>

namespace marl {

// Whether a window can be shown at all: a display server is named (X11 or Wayland), or Qt has been
// told which platform to use. Unset and empty variables count as missing.
bool HasWindowPlatform(const char* display, const char* wayland_display, const char* qpa_platform);

// What the program says instead of a window when there is no desktop session.
const char* NoDesktopMessage();

// The directory that holds the running program (where marltips.db and marltips.ini lie); "." when
// the system cannot tell.
std::string ProgramDirectory();

}  // namespace marl
