#include "web/page_fetcher.h"

#include <new>

#include "text/text_ops.h"
#include "web/page_decoding.h"

namespace marl {
namespace {

inline bool IsPageSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// Runs of two or more white-space characters, and single tabs, become one space. GBK trail bytes are
// never below 0x40, so a byte scan cannot split a character.
Text CollapseSpaces(std::string_view text) {
    Text out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (!IsPageSpace(text[i])) {
            out.push_back(text[i++]);
            continue;
        }
        size_t end = i + 1;
        while (end < text.size() && IsPageSpace(text[end])) ++end;
        out.push_back(end - i >= 2 || text[i] == '\t' ? ' ' : text[i]);
        i = end;
    }
    return out;
}

// Every case-blind occurrence of `from` becomes `to`, left to right, never rescanning inserted text.
Text ReplaceAllNoCase(std::string_view text, std::string_view from, std::string_view to) {
    Text out;
    out.reserve(text.size());
    size_t done = 0;
    for (size_t at = FindNoCase(text, from); at != kNotFound; at = FindNoCase(text, from, done)) {
        out.append(text.substr(done, at - done));
        out.append(to);
        done = at + from.size();
    }
    out.append(text.substr(done));
    return out;
}

// Removing single quotes, then CR, then LF gives the same result as removing all three in one pass.
Text DropQuotesAndBreaks(std::string_view text) {
    Text out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c != '\'' && c != '\r' && c != '\n') out.push_back(c);
    }
    return out;
}

}  // namespace

Text CleanPageText(std::string_view text) {
    Text t = CollapseSpaces(text);
    t = ReplaceAllNoCase(t, "&lt;", "<");
    t = ReplaceAllNoCase(t, "&gt;", ">");
    t = ReplaceAll(t, "&quot;", "\"");
    t = ReplaceAll(t, "&#37;", "%");
    return DropQuotesAndBreaks(t);
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
