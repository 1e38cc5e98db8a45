#include "html/html_to_text.h"

#include <gumbo.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "html/flat_markup.h"
#include "html/rendered_text.h"
#include "text/gbk_codec.h"

namespace marl {
namespace {

// The HTML parser spends time quadratic in some shapes of markup (thousands of nested blocks, a tag
// with thousands of attributes) and frees its tree recursively. Real anchor texts are far below this
// size; beyond it the fragment is first flattened, in linear time, into markup without depth that
// renders to the same text.
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

}  // namespace

Text HtmlToText(const Text& fragment) {
    try {
        std::string html = GbkToUtf8Lossy(fragment);
        if (html.size() > kMaxMarkupBytes) html = FlattenMarkup(html);
        const ParsedFragment parsed(html);
        if (!parsed.root()) return {};
        return Utf8ToGbkLossy(RenderedText(*parsed.root()));
    } catch (...) {
        return {};
    }
}

}  // namespace marl
