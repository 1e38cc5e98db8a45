#include "text/text_ops.h"

#include <limits>

namespace marl {
namespace {

inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsFullWidthSpace(std::string_view t, size_t i) {
    return i + 1 < t.size() && static_cast<unsigned char>(t[i]) == 0xA1 &&
           static_cast<unsigned char>(t[i + 1]) == 0xA1;
}

}  // namespace

Text TextBetween(std::string_view text, std::string_view left, std::string_view right) {
    static const Text kQuoteWord = Gbk("#引号");
    const Text l = ReplaceAll(left, kQuoteWord, "\"");
    const Text r = ReplaceAll(right, kQuoteWord, "\"");
    const size_t a = text.find(l);
    if (a == std::string_view::npos) return {};
    const size_t start = a + l.size();
    const size_t b = text.find(r, start);
    if (b == std::string_view::npos) return {};
    return Text(text.substr(start, b - start));
}

int64_t TextToInt64(std::string_view text) {
    // Characters are read one at a time with full-width forms folded to ASCII, so a number after
    // any amount of leading blanks is found and nothing is copied.
    size_t at = 0;
    auto next = [&]() -> char {
        if (at >= text.size()) return '\0';
        const auto b = static_cast<unsigned char>(text[at]);
        if (!IsGbkLead(b) || at + 1 >= text.size()) {
            ++at;
            return static_cast<char>(b);
        }
        const auto t = static_cast<unsigned char>(text[at + 1]);
        at += 2;
        if (b == 0xA3 && t >= 0xA1 && t <= 0xFE) return static_cast<char>(t - 0xA1 + 0x21);
        if (b == 0xA1 && t == 0xA1) return ' ';
        return '\x01';  // any other character ends the number
    };
    char c = next();
    while (c == ' ' || (c >= '\t' && c <= '\r')) c = next();
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = next();
    }
    // Accumulate as a negative number so that the minimum value fits.
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    int64_t value = 0;
    for (; c >= '0' && c <= '9'; c = next()) {
        const int digit = c - '0';
        if (value < (kMin + digit) / 10) return negative ? kMin : std::numeric_limits<int64_t>::max();
        value = value * 10 - digit;
    }
    if (negative) return value;
    return value == kMin ? std::numeric_limits<int64_t>::max() : -value;
}

int32_t TextToInt(std::string_view text) {
    const int64_t v = TextToInt64(text);
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

Text Trim(std::string_view text) {
    // Walk by characters so that a trail byte A1 followed by A1 is never taken for a blank.
    size_t begin = 0;
    while (begin < text.size()) {
        if (text[begin] == ' ') {
            ++begin;
        } else if (IsFullWidthSpace(text, begin)) {
            begin += 2;
        } else {
            break;
        }
    }
    size_t end = begin;  // one past the last character that is not blank
    for (size_t i = begin; i < text.size();) {
        if (text[i] == ' ') {
            ++i;
        } else if (IsFullWidthSpace(text, i)) {
            i += 2;
        } else {
            const size_t step =
                (IsGbkLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
            i += step;
            end = i;
        }
    }
    return Text(text.substr(begin, end - begin));
}

Text AsciiLower(std::string_view text) {
    Text out(text);
    for (size_t i = 0; i < out.size(); ++i) {
        if (IsGbkLead(static_cast<unsigned char>(out[i]))) {
            ++i;
        } else {
            out[i] = LowerAscii(out[i]);
        }
    }
    return out;
}

size_t FindNoCase(std::string_view hay, std::string_view needle, size_t from) {
    if (from > hay.size()) return kNotFound;
    if (needle.empty()) return from;
    if (needle.size() > hay.size() - from) return kNotFound;
    const char first = LowerAscii(needle[0]);
    const size_t last = hay.size() - needle.size();
    for (size_t i = from; i <= last; ++i) {
        if (LowerAscii(hay[i]) != first) continue;
        size_t k = 1;
        while (k < needle.size() && LowerAscii(hay[i + k]) == LowerAscii(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return kNotFound;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

Text ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) return Text(text);
    Text out;
    out.reserve(text.size());
    size_t pos = 0;
    for (;;) {
        const size_t hit = text.find(from, pos);
        if (hit == std::string_view::npos) break;
        out.append(text, pos, hit - pos);
        out.append(to);
        pos = hit + from.size();
    }
    out.append(text, pos, std::string_view::npos);
    return out;
}

size_t FindCharacter(std::string_view text, char c, size_t from) {
    for (size_t i = from; i < text.size(); ++i) {
        if (IsGbkLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
            ++i;  // the pair's second byte belongs to its character
        } else if (text[i] == c) {
            return i;
        }
    }
    return kNotFound;
}

Text ReplaceCharacter(std::string_view text, char c, std::string_view to) {
    Text out;
    out.reserve(text.size());
    size_t pos = 0;
    for (size_t hit = FindCharacter(text, c); hit != kNotFound; hit = FindCharacter(text, c, pos)) {
        out.append(text, pos, hit - pos);
        out.append(to);
        pos = hit + 1;
    }
    out.append(text, pos, std::string_view::npos);
    return out;
}

Text SqlEscape(std::string_view value) { return ReplaceAll(value, "'", "''"); }

Text SqlQuote(std::string_view value) {
    Text out = "'";
    out += SqlEscape(value);
    out += '\'';
    return out;
}

void AppendPercentEncoded(Text& out, unsigned char byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out.push_back('%');
    out.push_back(kHex[byte >> 4]);
    out.push_back(kHex[byte & 0x0F]);
}

std::string_view UpToZero(std::string_view bytes) {
    const size_t z = bytes.find('\0');
    return z == std::string_view::npos ? bytes : bytes.substr(0, z);
}

}  // namespace marl
