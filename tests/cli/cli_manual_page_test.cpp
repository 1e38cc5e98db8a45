// The manual page marltips-cli(1), made at build time from the program's help, against the help of
// the program built with it: every command, and in its section every positional and option with its
// value, default and description, and every exit code.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "support/temp_dir.h"

namespace marl {
namespace {

using test::RunCli;

// The page as a reader sees its words: font changes and roff's escapes taken away.
std::string PlainText(const std::string& page) {
    std::string plain = std::regex_replace(page, std::regex(R"(\\f[BIRP]|\\&)"), "");
    plain = std::regex_replace(plain, std::regex(R"(\\-)"), "-");
    return std::regex_replace(plain, std::regex(R"(\\e)"), "\\");
}

// The words of a text with single spaces between them.
std::string OneSpaced(const std::string& text) {
    std::string spaced = std::regex_replace(text, std::regex(R"(\s+)"), " ");
    if (!spaced.empty() && spaced.front() == ' ') spaced.erase(0, 1);
    if (!spaced.empty() && spaced.back() == ' ') spaced.pop_back();
    return spaced;
}

// The text of a page's part that begins with `heading` (".SS init", ".SH FILES"), up to the next one.
std::string Part(const std::string& page, const std::string& heading) {
    const size_t start = page.find("\n" + heading + "\n");
    if (start == std::string::npos) return {};
    const size_t end = page.find("\n.S", start + heading.size() + 2);
    return page.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1)
        lines.push_back(text.substr(from, end - from));
    if (from < text.size()) lines.push_back(text.substr(from));
    return lines;
}

TEST(CliManualPage, EveryCommandOptionDefaultAndExitCodeOfTheHelp) {
    const std::string page = PlainText(test::ReadFileBytes(MARL_CLI_MANUAL_PAGE));
    ASSERT_FALSE(page.empty());

    const test::CliResult program = RunCli({"--help"});
    ASSERT_EQ(program.code, 0);
    std::vector<std::string> commands;
    bool listed = false;
    for (const std::string& line : Lines(program.out)) {
        if (line == "Subcommands:") listed = true;
        if (listed && std::regex_match(line, std::regex("[a-z][a-z0-9-]*"))) commands.push_back(line);
    }
    EXPECT_GE(commands.size(), 12u) << program.out;  // help, init, plans, ... serve at least

    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        const std::string part = OneSpaced(Part(page, ".SS " + command));
        ASSERT_FALSE(part.empty()) << "no section for " << command;
        const test::CliResult help = RunCli({command, "--help"});
        ASSERT_EQ(help.code, 0);
        const std::vector<std::string> lines = Lines(help.out);
        ASSERT_FALSE(lines.empty());
        EXPECT_NE(part.find(OneSpaced(lines[0])), std::string::npos) << "description: " << lines[0];
        int entries = 0;
        for (size_t i = 1; i < lines.size(); ++i) {
            if (lines[i].starts_with("Usage: ")) {
                EXPECT_NE(part.find(OneSpaced(lines[i].substr(7))), std::string::npos) << lines[i];
            }
            // "  --passes N=1      number of passes": a positional or option, whose description may
            // stand on the next, further indented line. The page holds the same words in the same order.
            if (!lines[i].starts_with("  ") || lines[i].starts_with("   ") || lines[i].starts_with("  -h,"))
                continue;
            std::string shown = lines[i];
            if (i + 1 < lines.size() && lines[i + 1].starts_with("    ")) shown += " " + lines[++i];
            ++entries;
            EXPECT_NE(part.find(OneSpaced(shown)), std::string::npos) << "entry: " << shown;
        }
        if (command != "help") {
            EXPECT_GT(entries, 0) << help.out;
        }
    }

    // Every exit code of the closing line, with its meaning.
    const std::string status = Part(page, ".SH EXIT STATUS");
    std::smatch footer;
    ASSERT_TRUE(std::regex_search(program.out, footer, std::regex("Exit codes: (.*)\\.")));
    const std::string codes = footer[1];
    const std::regex code(R"((\d+) ([^,]*(\([^)]*\))?))");
    int found = 0;
    for (auto it = std::sregex_iterator(codes.begin(), codes.end(), code); it != std::sregex_iterator();
         ++it) {
        ++found;
        EXPECT_NE(status.find((*it)[1].str() + "\n" + (*it)[2].str()), std::string::npos) << (*it)[0];
    }
    EXPECT_GE(found, 4);
    EXPECT_NE(page.find("-h,--help"), std::string::npos);
    EXPECT_NE(page.find("--version"), std::string::npos);

    // Where the files lie, as both programs find them.
    const std::string files = Part(page, ".SH FILES");
    for (const char* rule : {"--dir", "$XDG_DATA_HOME/marltips", "~/.local/share/marltips", "0700"})
        EXPECT_NE(files.find(rule), std::string::npos) << rule;
}

}  // namespace
}  // namespace marl
