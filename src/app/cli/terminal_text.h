#pragma once
#include <string>
#include <string_view>

namespace marl::cli {

// Text from a page, the database or the command line as it may safely reach a terminal: control
// characters that would move the cursor, retitle the window or start an escape sequence are shown
// as "\xNN" instead. Kept as they are: tab, LF, and CR directly before LF (a line break). Escaped:
// every other C0 control, DEL, the C1 controls U+0080 to U+009F (UTF-8 C2 80 to C2 9F), and every
// byte that is not part of well-formed UTF-8, since a terminal in an 8-bit mode reads 0x9B as CSI.
// With kEscape, LF and CR are escaped too: for messages that must stay on one line.
enum class LineBreaks { kKeep, kEscape };
std::string EscapeForTerminal(std::string_view utf8, LineBreaks line_breaks = LineBreaks::kKeep);

}  // namespace marl::cli
