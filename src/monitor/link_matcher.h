#pragma once

#include <string_view>
#include <vector>

namespace marl {

// The expression that finds every anchor of a list page: group 1 is the link, group 2 the anchor's
// HTML. It is matched Perl-style, case-blind for ASCII letters, over the page's GBK bytes.
extern const char kLinkExpression[];

// One anchor found by FindLinks: the whole match and its two groups, as views into the page.
struct LinkMatch {
    std::string_view row;    // group 0
    std::string_view link;   // group 1
    std::string_view title;  // group 2
};

// All non-overlapping matches of kLinkExpression in page, left to right: the same matches a
// backtracking regex engine gives, found in time linear in the page. Never throws.
std::vector<LinkMatch> FindLinks(std::string_view page);

}  // namespace marl
