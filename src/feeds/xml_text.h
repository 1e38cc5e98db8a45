#pragma once
#include <string>
#include <string_view>

namespace marl::feeds {

// UTF-8 text that an XML 1.0 document can hold: a byte sequence that is not UTF-8 becomes U+FFFD,
// and the characters XML forbids (C0 controls but tab, LF and CR; U+FFFE, U+FFFF) are dropped.
// Stops at a zero byte, as every text of ours does.
std::string XmlSafeText(std::string_view utf8);

}  // namespace marl::feeds
