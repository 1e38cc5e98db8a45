#pragma once
#include "text/text.h"

namespace marl::ui {

// Opens a stored article link (or our own release page) in the default web browser, shown normally.
// Anything but an http:// or https:// address is ignored, as is a failure to open: both are a link
// the browser cannot open. Tests intercept the browser with QDesktopServices::setUrlHandler.
void OpenWebAddress(const Text& stored);

}  // namespace marl::ui
