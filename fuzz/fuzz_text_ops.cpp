// The shared text operations every page, link and plan goes through (the plan tester's area cut is
// TextBetween), each against a plain byte-by-byte version (input: text, then two more texts used as
// needles and markers, separated by zero bytes).

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "text/gbk_codec.h"
#include "text/text_ops.h"

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

size_t PlainFindNoCase(std::string_view hay, std::string_view needle, size_t from) {
    if (from > hay.size()) return marl::kNotFound;
    for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && Lower(hay[i + k]) == Lower(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return marl::kNotFound;
}

// Folds full-width ASCII forms and the full-width space to ASCII first, then reads the number.
int64_t PlainToInt64(std::string_view text) {
    std::string folded;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (marl::IsGbkLead(b) && i + 1 < text.size()) {
            const auto t = static_cast<unsigned char>(text[++i]);
            if (b == 0xA3 && t >= 0xA1 && t <= 0xFE)
                folded.push_back(static_cast<char>(t - 0xA1 + 0x21));
            else if (b == 0xA1 && t == 0xA1)
                folded.push_back(' ');
            else
                folded.push_back('\x01');
        } else {
            folded.push_back(static_cast<char>(b));
        }
    }
    size_t i = folded.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos) return 0;
    bool negative = false;
    if (folded[i] == '+' || folded[i] == '-') negative = folded[i++] == '-';
    __int128 value = 0;
    for (; i < folded.size() && folded[i] >= '0' && folded[i] <= '9'; ++i) {
        value = value * 10 + (folded[i] - '0');
        if (value > static_cast<__int128>(std::numeric_limits<int64_t>::max()) + 1) break;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int64_t>::max()) return std::numeric_limits<int64_t>::max();
    if (value < std::numeric_limits<int64_t>::min()) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(value);
}

std::string PlainReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(text);
    std::string out;
    size_t i = 0;
    for (size_t at; (at = text.find(from, i)) != std::string_view::npos; i = at + from.size()) {
        out.append(text.substr(i, at - i));
        out.append(to);
    }
    out.append(text.substr(i));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using marl::fuzz::Check;
    const auto fields = marl::fuzz::Fields(data, size, 3);
    const std::string& text = fields[0];
    const std::string& a = fields[1];
    const std::string& b = fields[2];

    const size_t from = a.empty() ? 0 : static_cast<unsigned char>(a[0]) % (text.size() + 2);
    Check(marl::FindNoCase(text, b, from) == PlainFindNoCase(text, b, from), "FindNoCase", text, b);
    Check(marl::EqualsNoCase(a, b) == (a.size() == b.size() && PlainFindNoCase(a, b, 0) == 0), "EqualsNoCase",
          a, b);
    Check(marl::StartsWithNoCase(text, b) == (PlainFindNoCase(text.substr(0, b.size()), b, 0) == 0),
          "StartsWithNoCase", text, b);

    Check(marl::ReplaceAll(text, a, b) == PlainReplaceAll(text, a, b), "ReplaceAll",
          marl::ReplaceAll(text, a, b), PlainReplaceAll(text, a, b));

    // The area cut: the text between the first left marker and the first right marker after it.
    const std::string quote_word = marl::Gbk("#引号");
    const std::string left = PlainReplaceAll(a, quote_word, "\""),
                      right = PlainReplaceAll(b, quote_word, "\"");
    std::string between;
    if (const size_t l = text.find(left); l != std::string::npos) {
        if (const size_t r = text.find(right, l + left.size()); r != std::string::npos)
            between = text.substr(l + left.size(), r - l - left.size());
    }
    Check(marl::TextBetween(text, a, b) == between, "TextBetween", marl::TextBetween(text, a, b), between);

    const int64_t number = marl::TextToInt64(text);
    Check(number == PlainToInt64(text), "TextToInt64", text, std::to_string(PlainToInt64(text)));
    const int64_t clamped = std::min<int64_t>(std::max<int64_t>(number, std::numeric_limits<int32_t>::min()),
                                              std::numeric_limits<int32_t>::max());
    Check(marl::TextToInt(text) == clamped, "TextToInt saturates like TextToInt64", text);

    const std::string trimmed = marl::Trim(text);
    Check(text.find(trimmed) != std::string::npos, "Trim keeps a piece of the text", trimmed, text);
    Check(marl::Trim(trimmed) == trimmed, "trimming twice changes nothing", trimmed);
    const std::string lower = marl::AsciiLower(text);
    Check(lower.size() == text.size() && marl::EqualsNoCase(lower, text), "AsciiLower only folds letters",
          lower, text);
    Check(marl::SqlQuote(text) == "'" + PlainReplaceAll(text, "'", "''") + "'", "SqlQuote",
          marl::SqlQuote(text));
    return 0;
}
