#pragma once
#include <gumbo.h>

#include <string>
#include <string_view>

namespace marl {

// How an element takes part in the rendered text.
enum class RenderKind {
    kInline,        // its text flows with the surrounding text
    kSkip,          // nothing of it is shown (scripts, styles, form controls, media, ...)
    kBlock,         // ends the line before and after it
    kPreformatted,  // a block whose white space is kept as written
    kCell,          // a table cell: set apart from its neighbours by a space
    kLineBreak,     // <br>
};
RenderKind KindOfTag(GumboTag tag);

// Whether an element is hidden by its attributes: a "hidden" attribute, or an inline style that says
// "display: none" (in any letter case, blanks anywhere).
bool HidesElement(bool hidden_attribute, std::string_view style);

// The text a browser renders for the children of `parent` (a node of a parsed HTML tree), in UTF-8,
// with the white-space and line rules described at HtmlToText. Walks the tree without recursion, so
// any depth is fine.
std::string RenderedText(const GumboNode& parent);

}  // namespace marl
