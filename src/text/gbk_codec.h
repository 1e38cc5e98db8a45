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

// Like Utf8ToGbkLossy, but a character GBK lacks becomes its decimal HTML character reference
// ("&#128512;"), so that page text keeps links that differ only in such characters apart and they
// can be read back; invalid UTF-8 still becomes "?".
Text Utf8ToGbkReferences(std::string_view utf8);

// The bytes with everything that is not a GBK character written as "%XX" (upper-case hex): a lead
// byte without a trail byte after it (the byte after it is then looked at on its own), and 0xFF, which
// the converter reads as a private-use character but browsers take for no character at all. Other
// text comes back unchanged. A browser sends such bytes of a link the same way, and the result always
// converts to UTF-8.
Text PercentEncodeInvalidGbk(std::string_view gbk);

// UTF-16 for the desktop widgets.
std::u16string GbkToUtf16(std::string_view gbk);
Text Utf16ToGbk(std::u16string_view utf16);

// Wide (UTF-32 on Linux) text for the script-style regular expressions, which work on
// characters rather than bytes.
std::wstring GbkToWide(std::string_view gbk);
Text WideToGbk(std::wstring_view wide);

}  // namespace marl
