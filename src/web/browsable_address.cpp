#include "web/browsable_address.h"

#include "text/text_ops.h"

namespace marl {

std::optional<Text> BrowsableAddress(const Text& stored) {
    const Text lower = AsciiLower(std::string_view(stored).substr(0, 8));
    if (lower.rfind("http://", 0) != 0 && lower.rfind("https://", 0) != 0) return std::nullopt;
    return ReplaceAll(stored, "&amp;", "&");
}

}  // namespace marl
