#pragma once
#include <string>

struct GumboInternalNode;

namespace marl {

// The text a browser renders for the children of `parent` (a node of a parsed HTML tree), in UTF-8,
// with the white-space and line rules described at HtmlToText. Walks the tree without recursion, so
// any depth is fine.
std::string RenderedText(const GumboInternalNode& parent);

}  // namespace marl
