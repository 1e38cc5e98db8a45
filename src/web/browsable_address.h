#pragma once
#include <optional>

#include "text/text.h"

namespace marl {

// The address to hand to the web browser for a stored article link, or nothing when it must not
// be opened. Only http:// and https:// addresses (scheme letters in any case) are opened: a link
// comes from a web page, and the system's open action would also start local programs or open
// local files. The stored text keeps the page's own spelling, which often holds "&amp;" for "&"
// (an HTML attribute's encoding); the browser gets "&".
std::optional<Text> BrowsableAddress(const Text& stored);

}  // namespace marl
