#include "app/cli/cli_parser.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_common.h"

namespace marl::cli {
namespace {

constexpr char kProgram[] = "marltips-cli";
constexpr char kExitCodes[] =
    "Exit codes: 0 done (also when nothing was new), 2 usage error, 3 database missing or not openable "
    "(also when it refused a save or delete), 4 output could not be written.";

// The program's command line: every command with its options, filled in by the parse.
struct CommandLine {
    CLI::App app{
        "Watches web list pages for new articles, without windows: the headless companion of "
        "marltips, on the same database and settings.",
        kProgram};
    CLI::App* help = nullptr;
    std::string help_topic;
    std::vector<Command> commands;

    CommandLine();
    int Run() const;
    std::string ProgramHelp() const;
};

CommandLine::CommandLine() {
    app.option_defaults()->always_capture_default();
    // An option that takes one value is refused when given twice: which of the two was meant cannot be
    // known. (Flags may repeat; --header and positions collect every value.)
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::Throw);
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string(kProgram) + " " + MARL_VERSION);
    // Commands take the footer in force when they are added: each one's help ends with the exit codes.
    app.footer(kExitCodes);

    help = app.add_subcommand("help", "print the usage of the program or of one command");
    help->add_option("COMMAND", help_topic, "the command to describe")->type_name("");

    // In the order the program's help lists them.
    commands = {AddInitCommand(app),  AddPlansCommand(app), AddSaveCommand(app),    AddDeleteCommand(app),
                AddFetchCommand(app), AddTestCommand(app),  AddSuggestCommand(app), AddPassCommand(app),
                AddWatchCommand(app), AddFeedCommand(app),  AddServeCommand(app),   AddHistoryCommand(app)};

    // Only the program's own help points to the help of each command.
    app.footer(std::string(kExitCodes) +
               "\nRun 'marltips-cli help COMMAND' or 'marltips-cli COMMAND --help' for one command.");
}

std::string CommandLine::ProgramHelp() const {
    // App::help would describe the command being parsed, here `help` itself.
    return app.get_formatter()->make_help(&app, kProgram, CLI::AppFormatMode::All);
}

int CommandLine::Run() const {
    if (help->parsed()) {
        if (help_topic.empty()) {
            std::cout << ProgramHelp();
            return kExitOk;
        }
        for (const CLI::App* command : app.get_subcommands({})) {
            if (command->get_name() == help_topic && command != help) {
                std::cout << command->help(kProgram);
                return kExitOk;
            }
        }
        return UsageError("help: no such command: " + help_topic);
    }
    for (const Command& command : commands) {
        if (command.app->parsed()) return command.run();
    }
    return UsageError("missing command");
}

// CLI11's reasons, on one line, named after the command they concern.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// The first word of the command line that `command` did not know, as a reason; none when it knew all.
std::optional<std::string> UnknownWord(const CLI::App& command) {
    std::vector<std::string> unknown = command.remaining();
    std::erase(unknown, "--");  // the end-of-options mark itself
    if (unknown.empty()) return std::nullopt;
    const std::string& word = unknown.front();
    if (word.size() > 1 && word[0] == '-') return "unknown option " + word;
    return (command.get_parent() == nullptr ? "unknown command " : "unexpected argument ") + word;
}

// Why the command line was refused. A word the command does not know is named first, even when a
// value after it failed too: in "delete --dri D 3" the mistake is --dri, not the D that followed it.
std::string Reason(const CLI::App& command, const CLI::ParseError& error) {
    if (auto word = UnknownWord(command)) return *word;
    for (const CLI::Option* option : command.get_options()) {
        if (option->get_multi_option_policy() == CLI::MultiOptionPolicy::Throw && option->count() > 1)
            return option->get_name() + " given more than once";
    }
    return OneLine(error.what());
}

// Why a command line that asked for help or the version must be refused instead; empty when it may
// be answered. The help of a command that does not exist, or of a line with words nobody knows, would
// tell a script that all is well.
std::optional<std::string> RefusedAnswer(const CLI::App& app, bool version, int argc) {
    const auto commands = app.get_subcommands();
    const CLI::App& command = commands.empty() ? app : *commands.front();
    const std::string where = commands.empty() ? "" : command.get_name() + ": ";
    if (auto word = UnknownWord(command)) return where + *word;
    if (auto word = UnknownWord(app)) return *word;
    if (version && argc != 2) return std::string("--version takes nothing else");
    return std::nullopt;
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
    CommandLine line;
    if (argc < 2) {
        std::cerr << line.ProgramHelp();
        return kExitUsage;
    }
    try {
        line.app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        if (const auto refused = RefusedAnswer(line.app, false, argc))
            return UsageError(*refused + " (see --help)");
        // The help of the command being parsed, or of the whole program.
        std::cout << line.app.help("", CLI::AppFormatMode::All);
        return kExitOk;
    } catch (const CLI::CallForVersion& version) {
        if (const auto refused = RefusedAnswer(line.app, true, argc))
            return UsageError(*refused + " (see --help)");
        std::cout << version.what() << "\n";
        return kExitOk;
    } catch (const CLI::ParseError& error) {
        const auto commands = line.app.get_subcommands();
        const CLI::App* command = commands.empty() ? &line.app : commands.front();
        const std::string where = commands.empty() ? "" : command->get_name() + ": ";
        return UsageError(where + Reason(*command, error) + " (see --help)");
    }
    return line.Run();
}

}  // namespace marl::cli
