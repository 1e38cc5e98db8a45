#include "app/cli/terminal_text.h"

#include <cstdint>

namespace marl::cli {
namespace {

void AppendEscape(std::string& out, uint32_t value) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[(value >> 4) & 0xF];
    out += kHex[value & 0xF];
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence at `at` (lead byte at least 0x80), or 0.
size_t SequenceLength(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (text.size() - at < length || byte(1) < low || byte(1) > high) return 0;
    for (size_t i = 2; i < length; ++i) {
        if (!IsContinuation(byte(i))) return 0;
    }
    return length;
}

}  // namespace

std::string EscapeForTerminal(std::string_view utf8, LineBreaks line_breaks) {
    const bool keep_breaks = line_breaks == LineBreaks::kKeep;
    std::string out;
    out.reserve(utf8.size());
    for (size_t at = 0; at < utf8.size();) {
        const auto byte = static_cast<unsigned char>(utf8[at]);
        if (byte < 0x80) {
            const bool line_break =
                keep_breaks &&
                (byte == '\n' || (byte == '\r' && at + 1 < utf8.size() && utf8[at + 1] == '\n'));
            if ((byte < 0x20 && byte != '\t' && !line_break) || byte == 0x7F) {
                AppendEscape(out, byte);
            } else {
                out += static_cast<char>(byte);
            }
            ++at;
            continue;
        }
        const size_t length = SequenceLength(utf8, at);
        if (length == 0) {
            AppendEscape(out, byte);
            ++at;
        } else if (length == 2 && byte == 0xC2 && static_cast<unsigned char>(utf8[at + 1]) <= 0x9F) {
            AppendEscape(out, static_cast<unsigned char>(utf8[at + 1]));  // U+0080 to U+009F
            at += 2;
        } else {
            out.append(utf8.substr(at, length));
            at += length;
        }
    }
    return out;
}

}  // namespace marl::cli
