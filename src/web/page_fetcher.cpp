#include "web/page_fetcher.h"

#include <array>
#include <cstring>
#include <new>

#include "text/text_ops.h"
#include "web/page_decoding.h"

namespace marl {
namespace {

inline bool IsPageSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Bytes at which the clean-up may change something: white space, "&" and the single quote. GBK trail
// bytes are never below 0x40, so none of these is ever half of a character.
constexpr std::array<bool, 256> kSpecial = [] {
    std::array<bool, 256> special{};
    for (const char c : std::string_view(" \t\r\n\f\v&'")) special[static_cast<unsigned char>(c)] = true;
    return special;
}();

// What an entity of the clean-up at the start of `rest` stands for (and its length), or 0.
char DecodedEntity(std::string_view rest, size_t& length) {
    if (rest.size() >= 4 && rest[3] == ';' && (rest[2] == 't' || rest[2] == 'T')) {
        const char letter = rest[1];
        length = 4;
        if (letter == 'l' || letter == 'L') return '<';
        if (letter == 'g' || letter == 'G') return '>';
    }
    if (rest.starts_with("&quot;")) {
        length = 6;
        return '"';
    }
    if (rest.starts_with("&#37;")) {
        length = 5;
        return '%';
    }
    return 0;
}

// The whole clean-up in one pass over the text, in place (the write position never passes the read
// position). This gives what the steps give one after the other over the whole text: the entities
// hold no white space, quote, CR or LF, so collapsing runs never makes or breaks one, and what a step
// writes ("<", ">", the double quote, "%", a space) is never part of what a later step looks for.
void CleanInPlace(Text& t) {
    char* const d = t.data();
    const size_t n = t.size();
    size_t out = 0;
    size_t i = 0;
    while (i < n) {
        size_t plain = i;
        while (plain < n && !kSpecial[static_cast<unsigned char>(d[plain])]) ++plain;
        if (out != i) std::memmove(d + out, d + i, plain - i);
        out += plain - i;
        i = plain;
        if (i == n) break;
        const char c = d[i];
        if (IsPageSpace(c)) {
            size_t end = i + 1;
            while (end < n && IsPageSpace(d[end])) ++end;
            if (end - i >= 2 || c == '\t') {
                d[out++] = ' ';  // a run, or a single tab
            } else if (c != '\r' && c != '\n') {
                d[out++] = c;  // a single space, form feed or vertical tab stays
            }
            i = end;
        } else if (c == '\'') {
            while (i < n && d[i] == '\'') ++i;
        } else {
            size_t length = 0;
            const char decoded = DecodedEntity(std::string_view(d + i, n - i), length);
            d[out++] = decoded != 0 ? decoded : '&';
            i += decoded != 0 ? length : 1;
        }
    }
    t.resize(out);
}

}  // namespace

Text CleanPageText(std::string_view text) {
    Text t(text);
    CleanInPlace(t);
    return t;
}

Text PageText(std::string&& body, bool is_gbk) {
    try {
        // The body becomes the page text where it lies; a UTF-8 body is converted once and dropped.
        Text text;
        if (is_gbk) {
            body.resize(UpToZero(body).size());  // what BytesAsText keeps, without copying it
            text = std::move(body);
        } else {
            text = Utf8ToGbk(body);
            std::string().swap(body);
        }
        CleanInPlace(text);
        return text;
    } catch (const std::bad_alloc&) {
        return {};  // a page too large to hold in its cleaned form counts as nothing received
    }
}

Text FetchPage(const Text& url, HttpMethod method, const Text& post, const Text& header_text, bool is_gbk,
               const HttpLimits& limits) {
    try {
        return PageText(SendRequest(url, method, post, header_text, limits), is_gbk);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace marl
