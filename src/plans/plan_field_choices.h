#pragma once
#include <cstdint>

namespace marl {

// The plan editor's fields that offer a choice rather than a text. Each value's number is what the
// store keeps for it; the conversion happens where a plan is read from or written to the store, and
// where marltips-cli reads its options.

// The encoding list 框_编码, its entries in order (the `code` column). kAuto, 自动识别, lets the
// tester and the suggester take the encoding from the page; a save refuses it, since monitoring
// needs an encoding chosen.
enum class PlanEncoding : int { kAuto = 0, kGbk = 1, kUtf8 = 2 };

// 框_行结构值: whether a kept link's row must contain the row marker or must not (the `url_key_i`
// column).
enum class RowMarkerMode : int32_t { kMustContain = 1, kMustNotContain = -1 };

}  // namespace marl
