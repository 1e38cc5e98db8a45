#pragma once
#include <gumbo.h>

#include <cstdint>

namespace marl {

// The tree rules of the HTML standard for elements in a body, as tables over the parser's tag names.

// Groups of elements whose topmost open member the tree rules ask about.
enum HtmlGroup : int {
    kSpecial,      // the standard's "special" elements: most end tags do not look past them
    kListStop,     // special elements but address, div and p: an <li>, <dd> or <dt> does not close past them
    kScope,        // the boundaries of "in scope"
    kButtonScope,  // added to them for "in button scope"
    kListScope,    // added for "in list item scope"
    kTableScope,   // the boundaries of "in table scope"
    kHeading,      // h1 to h6
    kCellLike,     // td, th, caption: table tags arriving inside one close it first
    kTableBody,    // tbody, thead, tfoot
    kForeign,      // svg and math, whose contents follow other rules
    kGroupCount
};
inline uint16_t GroupBit(HtmlGroup g) { return static_cast<uint16_t>(1u << g); }
uint16_t GroupsOf(GumboTag tag);

// Start tags that close an open paragraph first.
bool ClosesParagraph(GumboTag tag);
// Elements that a browser reopens when text or an inline element follows after they were closed
// implicitly (<b>, <font>, <a>, ...).
bool IsFormatting(GumboTag tag);
// Elements without content or end tag.
bool IsVoid(GumboTag tag);
// Elements that fence off the reopened formatting elements of their surroundings (cells, objects).
bool IsFormattingMarker(GumboTag tag);
// Start tags before which closed formatting elements are reopened.
bool ReopensFormatting(GumboTag tag);

}  // namespace marl
