#pragma once
#include <string>
#include <string_view>

namespace marl {

// Text inside the core is GBK (code page 936) bytes. Conversions to and from UTF-8 happen
// only at the edges: the database, UTF-8 pages, the desktop widgets and the command line.
using Text = std::string;

// A GBK text from a UTF-8 source literal, for Chinese texts the core needs as GBK.
// Converted once per call: keep the result in a `static const Text` where it is used often.
Text Gbk(std::string_view utf8_literal);

}  // namespace marl
