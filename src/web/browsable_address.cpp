#include "web/browsable_address.h"

#include <cstdint>
#include <string_view>

#include "text/gbk_codec.h"
#include "text/text_ops.h"

namespace marl {
namespace {

bool IsDigit(char c, bool hex) {
    return (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    return (c | 0x20) - 'a' + 10;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// The character of a numeric reference "&#NNN;" or "&#xHHH;" at the start of `rest` and the
// reference's length, or 0 when there is none or it names nothing a link may hold.
char32_t NumericReference(std::string_view rest, size_t& length) {
    if (rest.size() < 4 || rest[1] != '#') return 0;
    const bool hex = rest[2] == 'x' || rest[2] == 'X';
    size_t i = hex ? 3 : 2;
    const size_t first_digit = i;
    uint32_t value = 0;
    while (i < rest.size() && IsDigit(rest[i], hex)) {
        value = value * (hex ? 16 : 10) + static_cast<uint32_t>(DigitValue(rest[i]));
        if (value > 0x10FFFF) return 0;
        ++i;
    }
    if (i == first_digit || i >= rest.size() || rest[i] != ';') return 0;
    if (value < 0x20 || value == 0x7F || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    length = i + 1;
    return value;
}

}  // namespace

std::optional<std::string> BrowsableAddress(const Text& stored) {
    const Text lower = AsciiLower(std::string_view(stored).substr(0, 8));
    if (lower.rfind("http://", 0) != 0 && lower.rfind("https://", 0) != 0) return std::nullopt;
    // The references are ASCII, so they read the same in the UTF-8 form.
    const std::string utf8 = GbkToUtf8Lossy(UpToZero(stored));
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const size_t amp = utf8.find('&', i);
        if (amp == std::string::npos) {
            out.append(utf8, i, std::string::npos);
            break;
        }
        out.append(utf8, i, amp - i);
        const std::string_view rest = std::string_view(utf8).substr(amp);
        size_t length = 0;
        if (rest.starts_with("&amp;")) {
            out.push_back('&');
            i = amp + 5;
        } else if (const char32_t c = NumericReference(rest, length); c != 0) {
            AppendUtf8(out, c);
            i = amp + length;
        } else {
            out.push_back('&');
            i = amp + 1;
        }
    }
    return out;
}

}  // namespace marl
