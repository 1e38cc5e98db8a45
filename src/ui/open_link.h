#pragma once
#include "text/text.h"

namespace marl::ui {

// Opens a stored article link (or our own release page) in the default web browser, shown normally.
// Anything but an http:// or https:// address is not opened. False when the address was not handed
// to a browser (not a web address, or the desktop could not open it); callers that can say so do.
// Tests intercept the browser with QDesktopServices::setUrlHandler.
bool OpenWebAddress(const Text& stored);

}  // namespace marl::ui
