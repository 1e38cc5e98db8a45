#include "app/cli/cli_options.h"

#include <climits>

#include "feeds/feed_server.h"

namespace marl::cli {

void AddDir(CLI::App& command, std::string& dir) {
    // An empty value would quietly mean the default folder: a script whose variable came out empty
    // must not work on the database beside the executable or in the user's data folder.
    command
        .add_option("--dir", dir,
                    "folder of marltips.db and marltips.ini (default: the program's folder when marltips.db "
                    "lies there, else $XDG_DATA_HOME/marltips or ~/.local/share/marltips)")
        ->check(NotEmpty())
        ->type_name("DIR");
}

void AddJson(CLI::App& command, bool& json) {
    command.add_flag("--json", json, "print every record as one JSON object on its own line");
}

void AddText(CLI::App& command, const std::string& name, Text& value, const std::string& help) {
    command.add_option(name, value, help)->transform(GbkText())->type_name("TEXT");
}

void AddHeaders(CLI::App& command, std::vector<Text>& lines, bool& default_headers) {
    command.add_option("--header", lines, "request header line; repeat it for more, they are sent in order")
        ->transform(GbkText())
        ->type_name("LINE")
        ->allow_extra_args(false)
        ->take_all()
        ->default_str("");
    command.add_flag("--default-headers", default_headers,
                     "begin the header lines with the plan editor's default block");
}

namespace {

std::string ChoiceList(const std::vector<std::string>& choices) {
    std::string listed;
    for (const std::string& choice : choices) listed += (listed.empty() ? "" : "|") + choice;
    return listed;
}

}  // namespace

void AddEncoding(CLI::App& command, std::string& encoding, const std::vector<std::string>& choices,
                 const std::string& help) {
    command.add_option("--encoding", encoding, help)
        ->transform(Choice(choices))
        ->type_name(ChoiceList(choices));
}

void AddRowValue(CLI::App& command, int32_t& row_value) {
    command.add_option("--row-value", row_value, "row-structure value")
        ->transform(DecimalNumber())
        ->check(CLI::IsMember({1, -1}).description(""))
        ->type_name("1|-1");
}

void AddPositions(CLI::App& command, std::vector<int32_t>& positions) {
    command
        .add_option("POSITION", positions,
                    "plan positions to monitor (default: the plans checked in the settings)")
        ->transform(DecimalNumber())
        ->check(CLI::Range(1, INT32_MAX).description(""))
        ->type_name("N")
        ->take_all()
        ->default_str("");
}

void AddExec(CLI::App& command, std::string& exec) {
    command
        .add_option("--exec", exec,
                    "run /bin/sh -c CMD for every new article, the article in MARL_* variables and on stdin")
        ->check(
            CLI::Validator([](const std::string& v) { return v.empty() ? "empty command" : ""; }, "", "CMD"))
        ->type_name("CMD");
}

CLI::Option* AddListen(CLI::App& command, const std::string& name, std::string& listen,
                       const std::string& help) {
    return command.add_option(name, listen, help)
        ->check(CLI::Validator(
            [](const std::string& v) { return feeds::ParseListenAddress(v) ? "" : "not ADDR:PORT: " + v; },
            "", "ADDR:PORT"))
        ->type_name("ADDR:PORT");
}

}  // namespace marl::cli
