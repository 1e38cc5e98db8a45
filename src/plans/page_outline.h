#pragma once
#include <algorithm>
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

// The prose of the page (runs of text outside anchors) as running totals by offset, so that the prose
// between two offsets costs two searches.
class ProseIndex {
  public:
    explicit ProseIndex(const PageOutline& outline) {
        begins_.reserve(outline.prose.size());
        totals_.reserve(outline.prose.size() + 1);
        totals_.push_back(0);
        for (const OutlineText& t : outline.prose) {
            begins_.push_back(t.begin);
            totals_.push_back(totals_.back() + t.bytes);
        }
    }
    // The prose bytes of the runs that begin in [from, to).
    size_t Between(size_t from, size_t to) const {
        if (to <= from) return 0;
        const auto a = std::lower_bound(begins_.begin(), begins_.end(), from) - begins_.begin();
        const auto b = std::lower_bound(begins_.begin(), begins_.end(), to) - begins_.begin();
        return totals_[static_cast<size_t>(b)] - totals_[static_cast<size_t>(a)];
    }

  private:
    std::vector<size_t> begins_;
    std::vector<size_t> totals_;
};

}  // namespace marl
