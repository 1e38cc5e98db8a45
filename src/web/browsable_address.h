#pragma once
#include <optional>
#include <string>

#include "text/text.h"

namespace marl {

// The address to hand to the web browser for a stored article link, as UTF-8, or nothing when it
// must not be opened. Only http:// and https:// addresses (scheme letters in any case) are opened:
// a link comes from a web page, and the system's open action would also start local programs or
// open local files. The stored text keeps the page's own spelling, which often holds "&amp;" for "&"
// (an HTML attribute's encoding), and holds a character GBK lacks as its character reference
// ("&#128512;", written when a UTF-8 page was converted): the browser gets the characters. One pass,
// left to right, so "&amp;#38;" gives "&#38;". A reference to a control character, a surrogate or
// beyond U+10FFFF stays as written.
std::optional<std::string> BrowsableAddress(const Text& stored);

}  // namespace marl
