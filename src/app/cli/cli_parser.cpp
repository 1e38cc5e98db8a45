#include "app/cli/cli_parser.h"

#include <CLI/CLI.hpp>
#include <climits>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_common.h"
#include "app/cli/cli_validators.h"
#include "feeds/feed_server.h"

namespace marl::cli {
namespace {

constexpr char kProgram[] = "marltips-cli";
constexpr char kExitCodes[] =
    "Exit codes: 0 done (also when nothing was new), 2 usage error, 3 database missing or not openable "
    "(also when it refused a save or delete), 4 output could not be written.";

// The options several commands share, each declared once so that names and help texts agree.

void AddDir(CLI::App& command, std::string& dir) {
    // An empty value would quietly mean the program's folder: a script whose variable came out empty
    // must not work on the database beside the executable.
    command
        .add_option("--dir", dir, "folder of marltips.db and marltips.ini (default: the program's folder)")
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

template <typename Number>
CLI::Option* AddNumber(CLI::App& command, const std::string& name, Number& value, const std::string& help,
                       Number low, Number high) {
    return command.add_option(name, value, help)
        ->transform(DecimalNumber())
        ->check(CLI::Range(low, high).description(""))
        ->type_name("N");
}

std::string ChoiceList(const std::vector<std::string>& choices) {
    std::string listed;
    for (const std::string& choice : choices) listed += (listed.empty() ? "" : "|") + choice;
    return listed;
}

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
        ->check(CLI::Validator([](const std::string& v) { return v.empty() ? "empty command" : ""; }, "CMD"))
        ->type_name("CMD");
}

CLI::Option* AddListen(CLI::App& command, const std::string& name, std::string& listen,
                       const std::string& help) {
    return command.add_option(name, listen, help)
        ->check(CLI::Validator(
            [](const std::string& v) { return feeds::ParseListenAddress(v) ? "" : "not ADDR:PORT: " + v; },
            "ADDR:PORT"))
        ->type_name("ADDR:PORT");
}

// Every command and its options, filled into `options` by the parse.
struct CommandLine {
    CLI::App app{
        "Watches web list pages for new articles, without windows: the headless companion of "
        "marltips, on the same database and settings.",
        kProgram};
    CLI::App* help = nullptr;
    std::string help_topic;
    CLI::App *init = nullptr, *plans = nullptr, *save = nullptr, *remove = nullptr, *fetch = nullptr,
             *test = nullptr, *pass = nullptr, *watch = nullptr, *feed = nullptr, *serve = nullptr,
             *suggest = nullptr;
    InitOptions init_options;
    PlansOptions plans_options;
    SaveOptions save_options;
    DeleteOptions delete_options;
    FetchOptions fetch_options;
    TestOptions test_options;
    SuggestOptions suggest_options;
    MonitorOptions pass_options, watch_options;
    FeedOptions feed_options;
    ServeOptions serve_options;

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
    app.footer(kExitCodes);

    help = app.add_subcommand("help", "print the usage of the program or of one command");
    help->add_option("COMMAND", help_topic, "the command to describe")->type_name("");

    init = app.add_subcommand("init", "create marltips.db from the shipped schema when no file exists");
    AddDir(*init, init_options.dir);

    plans = app.add_subcommand("plans", "list the plans in position order");
    AddDir(*plans, plans_options.dir);
    AddJson(*plans, plans_options.json);

    save = app.add_subcommand("save", "save a plan as the plan editor does, with its checks");
    SaveOptions& s = save_options;
    s.values.part = "[*]";
    AddDir(*save, s.dir);
    AddNumber<int32_t>(*save, "--position", s.position, "0 saves a new plan; above 0 updates the plan there",
                       0, INT32_MAX);
    AddText(*save, "--name", s.values.name, "plan name");
    AddText(*save, "--url", s.values.url, "list page address");
    AddEncoding(*save, s.encoding, {"auto", "gbk", "utf-8"},
                "page encoding (auto is refused as in the editor)");
    AddText(*save, "--area", s.values.part, "area: start marker [*] end marker");
    AddText(*save, "--must", s.values.inck, "must-contain word");
    AddText(*save, "--may", s.values.inc1, "may-contain words, $$-separated");
    AddText(*save, "--not", s.values.inc0, "must-not-contain words, $$-separated");
    AddText(*save, "--prefix", s.values.dom, "link prefix");
    AddHeaders(*save, s.headers, s.default_headers);
    AddText(*save, "--post", s.values.post, "POST body");
    AddText(*save, "--row-key", s.values.url_key, "row-structure marker");
    AddRowValue(*save, s.row_value);
    AddJson(*save, s.json);

    remove = app.add_subcommand("delete", "delete the plan with this id");
    AddDir(*remove, delete_options.dir);
    AddNumber<int32_t>(*remove, "ID", delete_options.id, "plan id", 0, INT32_MAX)
        ->required()
        ->default_str("");
    AddJson(*remove, delete_options.json);

    fetch = app.add_subcommand("fetch", "print a page's text as the monitor searches it");
    FetchOptions& f = fetch_options;
    AddText(*fetch, "--url", f.url, "page address");
    fetch->get_option("--url")->required();
    AddEncoding(*fetch, f.encoding, {"gbk", "utf-8"}, "page encoding");
    AddText(*fetch, "--post", f.post, "POST body; the request is a POST exactly when it is not empty");
    AddHeaders(*fetch, f.headers, f.default_headers);
    AddJson(*fetch, f.json);

    test = app.add_subcommand("test", "try a plan on its page without saving it (the plan tester)");
    TestOptions& t = test_options;
    AddText(*test, "--url", t.url, "list page address");
    test->get_option("--url")->required();
    test->add_option("--mode", t.mode, "tester mode")
        ->transform(DecimalNumber())
        ->check(CLI::IsMember({1, 2, 3}).description(""))
        ->type_name("1|2|3");
    AddEncoding(*test, t.encoding, {"auto", "gbk", "utf-8"}, "page encoding; auto detects it");
    AddText(*test, "--area", t.area, "area: start marker [*] end marker");
    AddText(*test, "--post", t.post, "POST body");
    AddHeaders(*test, t.headers, t.default_headers);
    AddText(*test, "--must", t.must, "must-contain word");
    AddText(*test, "--may", t.may, "may-contain words, $$-separated");
    AddText(*test, "--not", t.exclude, "must-not-contain words, $$-separated");
    AddText(*test, "--row-key", t.row_key, "row-structure marker");
    AddRowValue(*test, t.row_value);
    AddNumber<int32_t>(*test, "--position", t.position,
                       "0 tests a new plan; above 0 the plan at that position", 0, INT32_MAX);
    AddJson(*test, t.json);

    suggest = app.add_subcommand("suggest", "propose up to 3 plans for a list page from its address alone");
    SuggestOptions& g = suggest_options;
    AddText(*suggest, "--url", g.url, "list page address");
    suggest->get_option("--url")->required();
    AddEncoding(*suggest, g.encoding, {"auto", "gbk", "utf-8"}, "page encoding; auto detects it");
    AddText(*suggest, "--post", g.post, "POST body");
    AddHeaders(*suggest, g.headers, g.default_headers);
    AddDir(*suggest, g.dir);
    AddNumber<int32_t>(*suggest, "--save", g.save, "save candidate N as save does", 1, 3);
    AddJson(*suggest, g.json);

    pass = app.add_subcommand("pass", "run monitoring passes over the checked plans, then exit");
    AddDir(*pass, pass_options.dir);
    AddNumber<int64_t>(*pass, "--passes", pass_options.passes, "number of passes", 0, INT32_MAX);
    AddJson(*pass, pass_options.json);
    AddPositions(*pass, pass_options.positions);
    AddExec(*pass, pass_options.exec);

    watch =
        app.add_subcommand("watch", "monitor the checked plans like the desktop program, until interrupted");
    AddDir(*watch, watch_options.dir);
    AddJson(*watch, watch_options.json);
    AddPositions(*watch, watch_options.positions);
    AddExec(*watch, watch_options.exec);
    AddListen(*watch, "--serve", watch_options.serve, "also serve the feeds on this address, as serve does");

    feed = app.add_subcommand("feed", "print an Atom feed of the newest recorded articles");
    AddDir(*feed, feed_options.dir);
    AddNumber<int32_t>(*feed, "--plan", feed_options.plan_id, "only the articles of the plan with this id", 0,
                       INT32_MAX)
        ->default_str("");
    AddNumber<int64_t>(*feed, "--limit", feed_options.limit, "at most N entries", 1, 100000);
    feed->add_option("--output", feed_options.output, "write the feed to FILE (through a temporary file)")
        ->check(
            CLI::Validator([](const std::string& v) { return v.empty() ? "empty file name" : ""; }, "FILE"))
        ->type_name("FILE");

    serve = app.add_subcommand("serve", "serve every plan's feed over HTTP, read-only, until interrupted");
    AddDir(*serve, serve_options.dir);
    AddListen(*serve, "--listen", serve_options.listen,
              "address to listen on (loopback unless told otherwise)");

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
    if (init->parsed()) return RunInit(init_options);
    if (plans->parsed()) return RunPlans(plans_options);
    if (save->parsed()) return RunSave(save_options);
    if (remove->parsed()) return RunDelete(delete_options);
    if (fetch->parsed()) return RunFetch(fetch_options);
    if (test->parsed()) return RunTest(test_options);
    if (suggest->parsed()) return RunSuggest(suggest_options);
    if (pass->parsed()) return RunPass(pass_options);
    if (watch->parsed()) return RunWatch(watch_options);
    if (feed->parsed()) return RunFeed(feed_options);
    if (serve->parsed()) return RunServe(serve_options);
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
