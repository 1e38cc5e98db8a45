#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace marl {

// The tag structure of a cleaned page, as far as the plan suggestion needs it: every tag in page
// order and the elements they open, nested the way a forgiving reader nests them (an end tag closes
// the nearest open element of its name, a new list item or paragraph closes the one before it). Built
// in one pass over the text; script and style contents are skipped, comments are read as markup.

struct OutlineTag {
    size_t begin = 0;  // offset of the "<"
    size_t end = 0;    // offset just after the ">"
    int element = -1;  // the element this tag opens or closes (-1: an end tag that closed nothing)
    bool closing = false;
};

struct OutlineElement {
    std::string_view name;                        // as written; compare with EqualsNoCase
    std::string_view tag;                         // the whole start tag
    size_t begin = 0;                             // offset of its start tag
    size_t close_begin = std::string_view::npos;  // offset of its end tag, npos when closed implicitly
    int parent = -1;
    int depth = 0;
};

// A run of text between tags, outside any anchor, long enough to be prose rather than a label.
struct OutlineText {
    size_t begin = 0;  // offset of its first byte
    size_t bytes = 0;
    int element = -1;  // the element it stands in
};
inline constexpr size_t kProseBytes = 50;

struct PageOutline {
    std::vector<OutlineTag> tags;
    std::vector<OutlineElement> elements;
    std::vector<OutlineText> prose;
    std::string_view title;  // the inner text of the first <title>, empty when there is none

    // The element whose start tag holds byte `offset`, or -1.
    int ElementAt(size_t offset) const;
    // Index of the first tag that begins at or after `offset` (tags.size() when none).
    size_t FirstTagFrom(size_t offset) const;
};

// The outline of `page`; the views point into it, so the page must outlive the result.
PageOutline OutlinePage(std::string_view page);

}  // namespace marl
