#pragma once
#include <cstdint>
#include <string_view>

#include "text/text.h"

namespace marl {

// The shared text operations of the core. Texts are GBK: byte positions, and only ASCII
// letters take part in case changes and case-blind comparison. Where a function walks
// characters it steps over GBK pairs (lead byte 0x81-0xFE and the byte after it), so a
// trail byte that happens to be an ASCII letter is never changed.

inline constexpr size_t kNotFound = static_cast<size_t>(-1);

// True when byte b starts a GBK double-byte character.
inline bool IsGbkLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// The text strictly between the first `left` and the first `right` after it, or empty when
// either is missing. Every "#引号" in left and right first becomes a double quote.
Text TextBetween(std::string_view text, std::string_view left, std::string_view right);

// Text to number: full-width ASCII forms (A3 A1..A3 FE) count as ASCII and A1 A1 as a space;
// then leading blanks, an optional sign and the leading decimal digits give the value.
// No digits give 0. Values beyond the type's range saturate.
int64_t TextToInt64(std::string_view text);
int32_t TextToInt(std::string_view text);

// Removes leading and trailing ASCII spaces and full-width spaces (A1 A1); not tabs, CR, LF.
Text Trim(std::string_view text);

// ASCII letters to lower case; GBK pairs pass through unchanged.
Text AsciiLower(std::string_view text);

// Byte position (from 0) of the first occurrence of needle at or after `from`, ASCII letters
// compared without regard to case; kNotFound when absent. An empty needle is found at `from`.
size_t FindNoCase(std::string_view hay, std::string_view needle, size_t from = 0);
inline bool ContainsNoCase(std::string_view hay, std::string_view needle) {
    return FindNoCase(hay, needle) != kNotFound;
}
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// Every occurrence of `from` replaced by `to`, left to right, never rescanning inserted text.
Text ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// Byte position of the first character `c` (an ASCII byte) at or after `from` (a character start),
// walking by characters: a GBK pair whose second byte equals `c` (0x7C in 東 or 億, for one) is not
// it. kNotFound when absent.
size_t FindCharacter(std::string_view text, char c, size_t from = 0);
// Every character `c` (as FindCharacter finds it) replaced by `to`; GBK pairs pass through whole.
Text ReplaceCharacter(std::string_view text, char c, std::string_view to);

// Doubles every single quote: the inside of an SQL string literal.
Text SqlEscape(std::string_view value);
// The value as an SQL string literal: a single quote, SqlEscape(value), a single quote.
Text SqlQuote(std::string_view value);

// Appends the byte as "%XX" with upper-case hex digits, as addresses escape it.
void AppendPercentEncoded(Text& out, unsigned char byte);

// The text up to (not including) its first zero byte.
std::string_view UpToZero(std::string_view bytes);

}  // namespace marl
