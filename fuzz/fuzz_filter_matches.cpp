// A plan's filter words over a link (input: link, include words, exclude words, separated by zero
// bytes). Any words must give an answer in bounded time without crashing. When the words are plain
// (letters, digits, spaces and Chinese characters joined by "|"), the answer must be the plain one:
// some include alternative occurs in the link and no exclude alternative does, ASCII letters
// compared without regard to case.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "monitor/filter_matches.h"
#include "text/gbk_codec.h"

namespace {

// Real links are a few hundred bytes and words a few dozen. Beyond that a word made of nested
// quantifiers may keep the expression engine busy up to its own step limit, which is the documented
// way for such a filter to end (no match), not a fault; keeping inputs to this size keeps each run
// well under the one-second limit.
constexpr size_t kMaxLink = 1024;
constexpr size_t kMaxWords = 128;

// The text as characters (a GBK pair is one), ASCII letters in lower case; nothing when it is not
// valid GBK or holds a line break, which "." does not cross.
std::optional<std::u32string> Characters(const std::string& gbk) {
    const auto utf8 = marl::GbkToUtf8Strict(gbk);
    if (!utf8) return std::nullopt;
    const std::wstring wide = marl::GbkToWide(gbk);
    std::u32string out;
    for (const wchar_t w : wide) {
        char32_t c = static_cast<char32_t>(w);
        if ((c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029 || c == 0)
            return std::nullopt;
        if (c >= 'A' && c <= 'Z') c = c - 'A' + 'a';
        out.push_back(c);
    }
    return out;
}

// Plain words: nothing but letters, digits, spaces, "|" and characters beyond ASCII.
std::optional<std::vector<std::u32string>> PlainAlternatives(const std::string& words) {
    const auto chars = Characters(words);
    if (!chars) return std::nullopt;
    std::vector<std::u32string> alternatives(1);
    for (const char32_t c : *chars) {
        if (c == '|') {
            alternatives.emplace_back();
            continue;
        }
        const bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ' || c > 0x7F;
        if (!plain) return std::nullopt;
        alternatives.back().push_back(c);
    }
    return alternatives;
}

bool AnyIn(const std::u32string& link, const std::vector<std::u32string>& alternatives) {
    for (const std::u32string& a : alternatives)
        if (link.find(a) != std::u32string::npos) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto fields = marl::fuzz::Fields(data, size, 3);
    const std::string& link = fields[0];
    const std::string& include = fields[1];
    const std::string& exclude = fields[2];
    if (link.size() > kMaxLink || include.size() > kMaxWords || exclude.size() > kMaxWords) return 0;

    std::string copied;
    const bool matches =
        marl::FilterMatches(link, include, exclude, [&copied](const std::string& text) { copied = text; });
    const std::string expression = marl::BuildFilterExpression(include, exclude);
    marl::fuzz::Check(copied == expression, "the clipboard gets the built expression", copied, expression);
    const marl::LinkFilter filter(include, exclude);
    marl::fuzz::Check(filter.Matches(link) == matches, "LinkFilter and FilterMatches agree", link,
                      expression);

    const auto subject = Characters(link);
    const auto included = PlainAlternatives(include);
    const auto excluded = PlainAlternatives(exclude);
    if (!subject || !included || !excluded) return 0;
    const bool expected =
        (include.empty() || AnyIn(*subject, *included)) && (exclude.empty() || !AnyIn(*subject, *excluded));
    if (matches != expected) {
        marl::fuzz::Fail(
            expected ? "plain words: the link should pass" : "plain words: the link should not pass", link,
            expression);
    }
    return 0;
}
