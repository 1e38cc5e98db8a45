#include "monitor/html_to_text.h"

#include <gumbo.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "monitor/rendered_text.h"
#include "text/gbk_codec.h"
#include "text/text_ops.h"

namespace marl {
namespace {

// The HTML parser spends time quadratic in some shapes of markup (thousands of nested blocks, a tag
// with thousands of attributes) and frees its tree recursively. Real anchor texts are far below
// this size; beyond it the tags are stripped first, which keeps the work linear and flat.
constexpr size_t kMaxMarkupBytes = 16 * 1024;

// The parser leaves some fields of the document it makes unset when it parses a fragment, among
// them the quirks mode that decides whether a <table> closes an open paragraph. Handing it zeroed
// memory makes every parse of the same text give the same tree: the standards mode (zero).
void* ZeroedAllocation(void*, size_t size) { return std::calloc(1, size); }
void Release(void*, void* block) { std::free(block); }

// A parsed body fragment, freed with the parser's own options.
class ParsedFragment {
  public:
    explicit ParsedFragment(const std::string& html) : options_(kGumboDefaultOptions) {
        options_.allocator = ZeroedAllocation;
        options_.deallocator = Release;
        options_.fragment_context = GUMBO_TAG_BODY;
        options_.max_errors = 0;  // keep no parse errors: we never read them
        output_ = gumbo_parse_with_options(&options_, html.data(), html.size());
    }
    ~ParsedFragment() {
        if (output_) gumbo_destroy_output(&options_, output_);
    }
    ParsedFragment(const ParsedFragment&) = delete;
    ParsedFragment& operator=(const ParsedFragment&) = delete;

    // The <html> element that holds the fragment's nodes; null when parsing failed.
    const GumboNode* root() const { return output_ ? output_->root : nullptr; }

  private:
    GumboOptions options_;
    GumboOutput* output_ = nullptr;
};

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Tag names whose elements end a line; stripped, they leave a space so words stay apart.
bool BreaksLine(std::string_view name) {
    if (name.empty() || name.size() > 16) return false;
    const Text lower = AsciiLower(name);
    // clang-format off
    switch (gumbo_tagn_enum(lower.data(), static_cast<unsigned>(lower.size()))) {
        case GUMBO_TAG_BR: case GUMBO_TAG_P: case GUMBO_TAG_DIV: case GUMBO_TAG_LI: case GUMBO_TAG_UL:
        case GUMBO_TAG_OL: case GUMBO_TAG_TR: case GUMBO_TAG_TD: case GUMBO_TAG_TH: case GUMBO_TAG_TABLE:
        case GUMBO_TAG_H1: case GUMBO_TAG_H2: case GUMBO_TAG_H3: case GUMBO_TAG_H4: case GUMBO_TAG_H5:
        case GUMBO_TAG_H6: case GUMBO_TAG_BLOCKQUOTE: case GUMBO_TAG_PRE: case GUMBO_TAG_HR:
        case GUMBO_TAG_DT: case GUMBO_TAG_DD: case GUMBO_TAG_SECTION: case GUMBO_TAG_ARTICLE:
            return true;
        default:
            return false;
    }
    // clang-format on
}

// Removes every tag, comment and declaration ("<" followed by a letter, "/", "!" or "?", up to the
// next ">"; an unfinished one runs to the end, as a browser drops it). What is left holds no markup,
// only text and character references.
std::string StripTags(std::string_view html) {
    std::string out;
    out.reserve(html.size());
    size_t i = 0;
    while (i < html.size()) {
        const size_t open = html.find('<', i);
        if (open == std::string_view::npos || open + 1 >= html.size()) {
            out.append(html.substr(i));
            break;
        }
        const char next = html[open + 1];
        if (!IsAsciiLetter(next) && next != '/' && next != '!' && next != '?') {
            out.append(html.substr(i, open + 1 - i));
            i = open + 1;
            continue;
        }
        out.append(html.substr(i, open - i));
        const size_t close = html.find('>', open);
        if (close == std::string_view::npos) break;
        size_t name_start = open + 1 + (next == '/' ? 1 : 0);
        size_t name_end = name_start;
        while (name_end < close && IsAsciiLetter(html[name_end])) ++name_end;
        while (name_end < close && html[name_end] >= '1' && html[name_end] <= '6') ++name_end;  // h1..h6
        if (BreaksLine(html.substr(name_start, name_end - name_start))) out += ' ';
        i = close + 1;
    }
    return out;
}

}  // namespace

Text HtmlToText(const Text& fragment) {
    try {
        std::string html = GbkToUtf8Lossy(fragment);
        if (html.size() > kMaxMarkupBytes) html = StripTags(html);
        const ParsedFragment parsed(html);
        if (!parsed.root()) return {};
        return Utf8ToGbkLossy(RenderedText(*parsed.root()));
    } catch (...) {
        return {};
    }
}

}  // namespace marl
