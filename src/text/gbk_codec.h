#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "text/text.h"

namespace marl {

// The GBK codec is ICU's "windows-936-2000", which maps exactly as code page 936 does
// (0x80 <-> U+20AC among others). "Strict" conversions give nothing when a byte sequence is
// invalid or a character has no GBK form; "lossy" ones put "?" in such places (invalid UTF-8
// first becomes U+FFFD, which GBK lacks). Lossy ones treat invisible (default-ignorable) characters
// such as U+200C or U+FEFF like every other character GBK lacks; strict ones, as ICU does, leave them
// out without failing. Nothing here stops at a zero byte.

std::optional<Text> Utf8ToGbkStrict(std::string_view utf8);
std::optional<std::string> GbkToUtf8Strict(std::string_view gbk);

Text Utf8ToGbkLossy(std::string_view utf8);
std::string GbkToUtf8Lossy(std::string_view gbk);

// UTF-16 for the desktop widgets.
std::u16string GbkToUtf16(std::string_view gbk);
Text Utf16ToGbk(std::u16string_view utf16);

// Wide (UTF-32 on Linux) text for the script-style regular expressions, which work on
// characters rather than bytes.
std::wstring GbkToWide(std::string_view gbk);
Text WideToGbk(std::wstring_view wide);

}  // namespace marl
