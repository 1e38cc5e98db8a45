#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace marl {

// A script-engine regular expression (wide text) rewritten into the Boost.Regex dialect with the
// same meaning, ready for ECMAScript syntax. `multiline` decides what "^" and "$" become. Nothing
// when the pattern is invalid for the script engines although Boost would accept it; patterns both
// reject may come back and fail in Boost.
std::optional<std::wstring> TranslateScriptPattern(std::wstring_view pattern, bool multiline);

}  // namespace marl
