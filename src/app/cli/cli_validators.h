#pragma once
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace marl::cli {

// Value checks for the command line. Each one turns the argument into the form the command uses
// (so it must be added with Option::transform), or refuses it with a one-line reason.

// A UTF-8 argument becomes GBK, the core's text; one that has no GBK form (or is not UTF-8) is refused.
CLI::Validator GbkText();

// A whole decimal number with an optional minus sign. Leading zeros are dropped before the number is
// converted, because the converter would otherwise read "010" as octal and "0x10" as hexadecimal.
CLI::Validator DecimalNumber();

// Any text but the empty one.
CLI::Validator NotEmpty();

// One of `choices` (lower case), given in any case; "utf8" counts as "utf-8". The value becomes the
// choice as listed.
CLI::Validator Choice(const std::vector<std::string>& choices);

}  // namespace marl::cli
