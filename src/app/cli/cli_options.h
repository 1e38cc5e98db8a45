#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "app/cli/cli_validators.h"
#include "text/text.h"

namespace marl::cli {

// The options several commands share, each declared once so that their names and help texts agree
// from one command to the next.

// --dir DIR: the folder of marltips.db and marltips.ini.
void AddDir(CLI::App& command, std::string& dir);
// --json: JSON Lines output.
void AddJson(CLI::App& command, bool& json);
// A text option; the UTF-8 argument becomes GBK.
void AddText(CLI::App& command, const std::string& name, Text& value, const std::string& help);
// --header LINE... and --default-headers.
void AddHeaders(CLI::App& command, std::vector<Text>& lines, bool& default_headers);
// --encoding with these choices.
void AddEncoding(CLI::App& command, std::string& encoding, const std::vector<std::string>& choices,
                 const std::string& help);
// --row-value 1|-1.
void AddRowValue(CLI::App& command, int32_t& row_value);
// The plan positions a monitoring command works on.
void AddPositions(CLI::App& command, std::vector<int32_t>& positions);
// --exec CMD.
void AddExec(CLI::App& command, std::string& exec);
// An ADDR:PORT option to listen on.
CLI::Option* AddListen(CLI::App& command, const std::string& name, std::string& listen,
                       const std::string& help);

// A decimal number between `low` and `high`.
template <typename Number>
CLI::Option* AddNumber(CLI::App& command, const std::string& name, Number& value, const std::string& help,
                       Number low, Number high) {
    return command.add_option(name, value, help)
        ->transform(DecimalNumber())
        ->check(CLI::Range(low, high).description(""))
        ->type_name("N");
}

}  // namespace marl::cli
