#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "app/cli/cli_validators.h"
#include "plans/plan_field_choices.h"
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

// Where the options' values meet the plan's choices. The encoding list entry an --encoding value
// names: "gbk" or "utf-8", else (auto, or not given) 自动识别.
PlanEncoding PlanEncodingOf(const std::string& encoding);
// The --encoding value of an entry a page was read with: "gbk", else "utf-8".
const char* EncodingValue(PlanEncoding encoding);
// The mode a --row-value names: -1 不能包含, else 必须包含.
RowMarkerMode RowMarkerModeOf(int32_t row_value);
// The --row-value of a mode.
int32_t RowValue(RowMarkerMode mode);
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
