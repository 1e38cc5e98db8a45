#pragma once
#include <cstddef>
#include <string_view>

#include "plans/page_outline.h"

namespace marl {

// What kind of page the plan suggestion has before it: a feed, a single article, a page whose links
// the monitor cannot read. Each answers from the page's outline.

// An item whose prose between one link and the next reaches this is a post or a summary, not a label.
constexpr size_t kProseItemBytes = 150;

// A feed (RSS, Atom, RDF) rather than an HTML page.
bool IsFeed(const PageOutline& outline);

// Whether the page's title, at the length of a headline, stands as a heading of its own (not a link)
// with text after it outside the list: the page is that one article, however short.
bool HeadlineWithText(std::string_view page, const PageOutline& outline, size_t list_begin, size_t list_end);

// A single article: most of the page's prose stands in one element, at length, and the best list beside
// it is short (related or hot articles in a sidebar). The list's links lie between `list_begin` and
// `list_end`; `best_list` is how many links its plan keeps.
bool LooksLikeArticle(std::string_view page, const PageOutline& outline, size_t best_list, size_t list_begin,
                      size_t list_end);

// Whether most anchors with an address are out of the link expression's reach (it reads href="..."
// only), so that the page may well hold a list the monitor cannot see. `read`: the links it reads.
bool MostLinksUnread(const PageOutline& outline, size_t read);

}  // namespace marl
