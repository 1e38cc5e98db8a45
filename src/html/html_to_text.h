#pragma once
#include "text/text.h"

namespace marl {

// The text a browser shows for an HTML body fragment (a link's anchor HTML): tags removed, character
// references resolved, script and style content dropped, images give nothing.
//
// White space follows the rendering rules: runs of spaces, tabs and line breaks collapse to one space,
// and white space at the start and end of every line is dropped. Block elements (div, p, li, headings,
// table rows, ...) end the line, <br> always ends one (so two of them leave an empty line), and line
// breaks are written as CR LF. Line breaks at the very start and end of the result are dropped, so a
// title never begins or ends with one. Inside <pre> white space is kept as written. Table cells are
// separated by one space; a non-breaking space becomes a plain space.
//
// Input and result are GBK; characters GBK lacks come back as "?". Never throws: on any failure the
// result is the empty text. A hostile fragment (megabytes, thousands of nested tags) is handled in
// bounded time and stack depth.
Text HtmlToText(const Text& fragment);

}  // namespace marl
