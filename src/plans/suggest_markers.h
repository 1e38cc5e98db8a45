#pragma once
#include <cstddef>
#include <optional>
#include <string_view>

#include "plans/page_outline.h"
#include "text/text.h"

namespace marl {

// The two area markers proposed for a list: runs of whole tags (with at most a short fixed heading
// between them), never text with digits in it, so they do not depend on the articles, dates or counts
// the list shows today.
struct AreaMarkers {
    Text start, end;
};

// Markers that cut out the bytes [first, last) of `page` with as little around them as the tags allow:
// the start marker's first occurrence in the page ends at or before `first`, and the first occurrence
// of the end marker after it begins at or after `last`. nullopt when no such pair of tags exists.
std::optional<AreaMarkers> FindAreaMarkers(std::string_view page, const PageOutline& outline, size_t first,
                                           size_t last);

}  // namespace marl
