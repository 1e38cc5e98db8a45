#pragma once
#include <string_view>

#include "text/text.h"

namespace marl {

// Page bytes to GBK text. Both stop at the first zero byte, as every text in the core does.

// A GBK page: the bytes as they are.
Text BytesAsText(std::string_view bytes);

// A UTF-8 page: converted to GBK. A character GBK lacks becomes its character reference ("&#128512;"),
// which keeps links apart that differ only in such characters and reads back as the character, in a
// title as in an opened link; invalid sequences become "?".
Text Utf8ToGbk(std::string_view bytes);

enum class PageEncoding { kGbk, kUtf8 };

// The encoding a page declares: UTF-8 when the text after the first "charset" (that exact case) up to
// the next ">" mentions "utf" in any case; GBK otherwise, also when either is missing.
PageEncoding DetectPageEncoding(std::string_view page_text);

}  // namespace marl
