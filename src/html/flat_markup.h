#pragma once
#include <string>
#include <string_view>

namespace marl {

// Markup that renders to the same text as `html` (a UTF-8 body fragment) but has no depth: its text
// runs as written (character references unresolved) between empty paragraphs where blocks begin or
// end, <br> where lines break, a space between table cells and one <pre> around preformatted text.
// What is never shown (scripts, styles, hidden elements, comments) is left out, and so are all
// attributes.
//
// Made in one pass with our own tokenizer and a stack of open elements that follows the tree rules of
// the HTML standard wherever they decide what is shown: which end tag closes which element, which
// start tags close an open paragraph, list item or table cell, raw-text elements, formatting elements
// reopened after a block closed them, blocks moved out of a misnested formatting element. Some things
// a browser does are left out, as ordinary anchor texts never need them: stray text inside a table
// is not moved before the table, and text that such a move of a block would reveal after the fact
// (a paragraph inside a hidden element inside a misnested <b>) stays hidden. Nor are the HTML islands
// inside SVG and MathML (title, desc, foreignObject, mi, ...) told apart from the rest of them, so an
// end tag the parser ignores in one ("<svg><title><b></svg>") ends the SVG here, and text after it
// that the parser keeps inside the SVG is shown.
// Time and memory are linear in the fragment, whatever its shape, so the HTML parser that reads the
// result does linear work too.
std::string FlattenMarkup(std::string_view html);

}  // namespace marl
