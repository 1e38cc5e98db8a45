#include "web/page_fetcher.h"

#include <algorithm>
#include <new>

#include "text/text_ops.h"
#include "web/page_decoding.h"

namespace marl {
namespace {

inline bool IsPageSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Every step of the clean-up shortens the text or keeps its length, so all of them work in place on
// one buffer: a write position that never passes the read position.

// Runs of two or more white-space characters, and single tabs, become one space. GBK trail bytes are
// never below 0x40, so a byte scan cannot split a character.
void CollapseSpaces(Text& t) {
    size_t out = 0;
    for (size_t i = 0; i < t.size();) {
        if (!IsPageSpace(t[i])) {
            t[out++] = t[i++];
            continue;
        }
        size_t end = i + 1;
        while (end < t.size() && IsPageSpace(t[end])) ++end;
        t[out++] = end - i >= 2 || t[i] == '\t' ? ' ' : t[i];
        i = end;
    }
    t.resize(out);
}

// Every occurrence of `from` (case-blind or exact) becomes the shorter `to`, left to right, never
// rescanning inserted text.
void Replace(Text& t, std::string_view from, std::string_view to, bool no_case) {
    auto find = [&](size_t start) {
        if (no_case) return FindNoCase(t, from, start);
        const size_t at = t.find(from, start);
        return at == Text::npos ? kNotFound : at;
    };
    size_t at = find(0);
    if (at == kNotFound) return;
    size_t out = at;
    size_t in = at;
    while (at != kNotFound) {
        if (out != in) std::copy(t.begin() + in, t.begin() + at, t.begin() + out);
        out += at - in;
        std::copy(to.begin(), to.end(), t.begin() + out);
        out += to.size();
        in = at + from.size();
        at = find(in);
    }
    std::copy(t.begin() + in, t.end(), t.begin() + out);
    t.resize(out + (t.size() - in));
}

// Removing single quotes, then CR, then LF gives the same result as removing all three in one pass.
void DropQuotesAndBreaks(Text& t) {
    std::erase_if(t, [](char c) { return c == '\'' || c == '\r' || c == '\n'; });
}

}  // namespace

Text CleanPageText(std::string_view text) {
    Text t(text);
    CollapseSpaces(t);
    Replace(t, "&lt;", "<", true);
    Replace(t, "&gt;", ">", true);
    Replace(t, "&quot;", "\"", false);
    Replace(t, "&#37;", "%", false);
    DropQuotesAndBreaks(t);
    return t;
}

Text FetchPage(const Text& url, HttpMethod method, const Text& post, const Text& header_text, bool is_gbk,
               const HttpLimits& limits) {
    try {
        const std::string body = SendRequest(url, method, post, header_text, limits);
        return CleanPageText(is_gbk ? BytesAsText(body) : Utf8ToGbk(body));
    } catch (const std::bad_alloc&) {
        return {};  // a page too large to hold in its cleaned form counts as nothing received
    }
}

}  // namespace marl
