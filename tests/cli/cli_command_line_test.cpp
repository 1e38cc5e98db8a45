// What marltips-cli accepts on its command line, what it refuses, and its help.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "store/raw_sqlite.h"
#include "support/temp_dir.h"
#include "text/text.h"

namespace marl {
namespace {

using Args = std::vector<std::string>;
using test::CliResult;
using test::ReadFileBytes;
using test::RunCli;

// Every option of every command, as the command line contract names them.
struct CommandOptions {
    const char* command;
    std::vector<const char*> options;
};
const CommandOptions kCommands[] = {
    {"init", {"--dir"}},
    {"plans", {"--dir", "--json"}},
    {"save",
     {"--dir", "--position", "--name", "--url", "--encoding", "--area", "--must", "--may", "--not",
      "--prefix", "--header", "--default-headers", "--post", "--row-key", "--row-value", "--json"}},
    {"delete", {"--dir", "ID", "--json"}},
    {"fetch", {"--url", "--encoding", "--post", "--header", "--default-headers", "--json"}},
    {"test",
     {"--url", "--mode", "--encoding", "--area", "--post", "--header", "--default-headers", "--must", "--may",
      "--not", "--row-key", "--row-value", "--position", "--json"}},
    {"pass", {"--dir", "--passes", "--json", "POSITION"}},
    {"watch", {"--dir", "--json", "POSITION"}},
    {"history", {"--dir", "--search", "--plan", "--favourites", "--limit", "--json"}},
};

class CliCommandLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::CreateDatabaseFile(DbPath());
        // Ids 8 and 10: a number read as octal ("010") would name the wrong plan.
        test::RawSqlite raw(DbPath());
        raw.Exec(
            "INSERT INTO rule (id, name, url, code, part, url_key_i) VALUES "
            "(8, 'eight', 'http://127.0.0.1:1/', '2', '[*]', '1'), "
            "(10, 'ten', 'http://127.0.0.1:1/', '2', '[*]', '1')");
        test::WriteFileBytes(dir_.File("marltips.ini"), Gbk("[配置]\r\n频率=1\r\n自动勾选=0,8,10,\r\n"));
    }

    std::string DbPath() const { return dir_.File("marltips.db"); }
    std::string Dir() const { return dir_.path().string(); }

    std::vector<std::string> StoredIds() {
        return test::RawSqlite(DbPath()).Column("SELECT id FROM rule ORDER BY id");
    }

    test::TempDir dir_;
};

TEST_F(CliCommandLineTest, EveryCommandRefusesWhatItDoesNotKnowAndChangesNothing) {
    const std::string d = Dir();
    const std::string nowhere = "http://127.0.0.1:1/";
    const std::string emoji = "\xF0\x9F\x98\x80";  // no GBK form
    // Per command: a line it would run, an option that takes a value, and values it must refuse.
    struct Command {
        Args valid;
        const char* takes_value;
        std::vector<Args> bad_values;
    };
    const Command commands[] = {
        {{"init", "--dir", d}, "--dir", {}},
        {{"plans", "--dir", d, "--json"}, "--dir", {}},
        {{"save", "--dir", d, "--name", "a", "--url", "b", "--encoding", "gbk"},
         "--name",
         {{"--encoding", "latin1"},
          {"--row-value", "2"},
          {"--position", "x"},
          {"--prefix", emoji},
          {"--name", "b"},  // given twice: which name was meant?
          {"--position", "1", "--position=1"}}},
        {{"delete", "--dir", d, "8"}, "--dir", {{"10"}, {"--json", "0x8"}, {"--dir", d}}},
        {{"fetch", "--url", nowhere},
         "--post",
         {{"--encoding", "auto"},
          {"--header", emoji},
          {"--url", nowhere},
          {"--encoding", "gbk", "--encoding", "gbk"}}},
        {{"test", "--url", nowhere},
         "--area",
         {{"--mode", "4"},
          {"--encoding", "big5"},
          {"--row-value", "0"},
          {"--must", emoji},
          {"--mode", "1", "--mode", "2"}}},
        // Two plans are stored: position 3 holds none.
        {{"pass", "--dir", d, "1"},
         "--passes",
         {{"--passes", "-1"}, {"0"}, {"3"}, {"2", "3"}, {"--passes", "1", "--passes", "2"}}},
        {{"watch", "--dir", d, "1"}, "--dir", {{"0"}, {"--passes", "2"}, {"3"}, {"--dir", d}}},
        // Plans 8 and 10 are stored: 9 is unknown, like `feed`'s.
        {{"history", "--dir", d, "--search", "a"},
         "--limit",
         {{"--plan", "9"}, {"--plan", "x"}, {"--limit", "0"}, {"--limit", "-1"}, {"--search", "b"}}},
    };
    std::vector<Args> refused = {
        {"delete-all", "--dir", d},  // no such command
        {"--dir", d, "plans"},       // an option before the command
        {"plans", "--dir", d, "init"},
        {"delete", "--dir", d},  // no id
        {"help", "nothing"},
        // Help or the version asked for beside words nobody knows: the mistake comes first.
        {"nosuchcommand", "--help"},
        {"--help", "nosuchcommand"},
        {"plans", "--bogus", "--help"},
        {"--version", "extra"},
        {"--version", "plans"},
        {"--version", "--version"},
        // An empty --dir would mean the default folder.
        {"init", "--dir", ""},
        {"plans", "--dir="},
        {"delete", "--dir", "", "8"},
        {"pass", "--dir", "", "1"},
        {"watch", "--dir", ""},
        {"history", "--dir", ""},
        {"save", "--dir", "", "--name", "a", "--url", "b", "--encoding", "gbk"},
    };
    for (const Command& c : commands) {
        // Before, an unknown option took the word after it along and the command went on:
        // "delete --dri D 3" deleted plan 3 beside the executable.
        Args unknown = c.valid;
        unknown.insert(unknown.begin() + 1, {"--bogus", "x"});
        refused.push_back(unknown);
        Args missing = c.valid;
        missing.push_back(c.takes_value);
        refused.push_back(missing);
        Args stray = c.valid;
        stray.push_back("extra");
        refused.push_back(stray);
        for (const Args& values : c.bad_values) {
            Args bad = c.valid;
            bad.insert(bad.end(), values.begin(), values.end());
            refused.push_back(bad);
        }
    }
    const std::string before = ReadFileBytes(DbPath());
    const std::string settings = ReadFileBytes(dir_.File("marltips.ini"));
    for (const Args& args : refused) {
        std::string label;
        for (const std::string& word : args) label += word + " ";
        // A watch that was not refused would run until killed; a short limit shows it as a failure.
        const CliResult run = RunCli(args, false, std::chrono::seconds(20));
        EXPECT_EQ(run.code, 2) << label << "\n" << run.err;
        EXPECT_EQ(test::LineCount(run.err), 1) << label << "\n" << run.err;
        EXPECT_EQ(run.err.rfind("marltips-cli: ", 0), 0u) << label << "\n" << run.err;
        EXPECT_TRUE(run.out.empty()) << label << "\n" << run.out;
    }
    EXPECT_EQ(ReadFileBytes(DbPath()), before);
    EXPECT_EQ(ReadFileBytes(dir_.File("marltips.ini")), settings);
}

TEST_F(CliCommandLineTest, RefusalsNameTheWordThatWasNotUnderstood) {
    struct Case {
        Args args;
        const char* reason;
    };
    const Case cases[] = {
        {{"delete", "--dri", Dir(), "8"}, "delete: unknown option --dri"},
        {{"delete", "--dir", Dir(), "8", "10"}, "delete: unexpected argument 10"},
        {{"plans", "--dir"}, "plans: --dir"},
        {{"fetch", "--url", "u", "--encoding", "latin1"}, "fetch: --encoding: must be gbk|utf-8, not latin1"},
        {{"bogus"}, "unknown command bogus"},
        {{"bogus", "--help"}, "unknown command bogus"},
        {{"--version", "extra"}, "unknown command extra"},
        {{"--version", "plans"}, "--version takes nothing else"},
        {{"plans", "--dir", Dir(), "--dir", Dir()}, "plans: --dir given more than once"},
        {{"save", "--name=a", "--name", "b"}, "save: --name given more than once"},
        {{"pass", "--dir", ""}, "pass: --dir: must not be empty"},
        {{"pass", "--dir", Dir(), "1", "3", "2"}, "pass: no plan at position 3"},
        {{"watch", "--dir", Dir(), "9"}, "watch: no plan at position 9"},
    };
    for (const Case& c : cases) {
        const CliResult run = RunCli(c.args);
        EXPECT_EQ(run.err.rfind(std::string("marltips-cli: ") + c.reason, 0), 0u) << run.err;
    }
}

TEST_F(CliCommandLineTest, NumbersAreDecimalAndValuesMayFollowAnEqualsSign) {
    // Leading zeros do not make a number octal: 010 is plan 10.
    const CliResult deleted = RunCli({"delete", "--dir", Dir(), "010", "--json"});
    ASSERT_EQ(deleted.code, 0) << deleted.err;
    EXPECT_EQ(deleted.JsonLines().at(0)["sql"], "DELETE FROM \"rule\" WHERE ((\"id\" = '10'));");
    EXPECT_EQ(StoredIds(), std::vector<std::string>{"8"});

    // --name=VALUE works as --name VALUE; --position 01 is 1. (A repeated option is refused, above.)
    const CliResult saved = RunCli({"save", "--dir", Dir(), "--position", "01", "--name=last", "--url", "u",
                                    "--encoding", "UTF-8", "--row-value", "-1"});
    ASSERT_EQ(saved.code, 0) << saved.err;
    EXPECT_EQ(test::RawSqlite(DbPath()).Column("SELECT name || ' ' || code || ' ' || url_key_i FROM rule"),
              std::vector<std::string>{"last 2 -1"});
}

TEST_F(CliCommandLineTest, HelpShowsEveryOptionAndItsDefault) {
    for (const CommandOptions& command : kCommands) {
        const CliResult asked = RunCli({command.command, "--help"});
        EXPECT_EQ(asked.code, 0) << command.command;
        EXPECT_TRUE(asked.err.empty()) << asked.err;
        EXPECT_NE(asked.out.find(std::string("Usage: marltips-cli ") + command.command), std::string::npos)
            << asked.out;
        for (const char* option : command.options) {
            EXPECT_NE(asked.out.find(std::string("  ") + option + " "), std::string::npos)
                << command.command << " " << option << "\n"
                << asked.out;
        }
        // Both ways of asking give the same text.
        const CliResult via_help = RunCli({"help", command.command});
        EXPECT_EQ(via_help.code, 0);
        EXPECT_EQ(via_help.out, asked.out);
    }

    const CliResult program = RunCli({"--help"});
    EXPECT_EQ(program.code, 0);
    EXPECT_EQ(RunCli({"help"}).out, program.out);
    for (const CommandOptions& command : kCommands) {
        EXPECT_NE(program.out.find(std::string("\n") + command.command + "\n"), std::string::npos)
            << command.command;
    }
    const char* defaults[] = {
        "--position N=0", "--area TEXT=[*]", "--row-value 1|-1=1", "--encoding gbk|utf-8=utf-8",
        "--mode 1|2|3=3", "--passes N=1",    "--dir DIR",          "--encoding auto|gbk|utf-8=auto",
    };
    for (const char* shown : defaults) EXPECT_NE(program.out.find(shown), std::string::npos) << shown;
    // A check's own name is not shown after the value's name, as in "--exec CMD:CMD" before.
    for (const char* shown :
         {"--exec CMD ", "--serve ADDR:PORT ", "--output FILE ", "--listen ADDR:PORT=127"})
        EXPECT_NE(program.out.find(shown), std::string::npos) << shown;
}

TEST_F(CliCommandLineTest, VersionAndNoCommand) {
    const CliResult version = RunCli({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex("marltips-cli [0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << version.out;

    // Nothing to do: the usage goes to stderr, as for any other usage error.
    const CliResult nothing = RunCli({});
    EXPECT_EQ(nothing.code, 2);
    EXPECT_TRUE(nothing.out.empty());
    EXPECT_NE(nothing.err.find("Usage: marltips-cli"), std::string::npos) << nothing.err;
}

// The plan tester takes its whole option set; with nothing listening at the address it reports that.
TEST_F(CliCommandLineTest, TestCommandTakesItsWholeOptionSet) {
    const CliResult run = RunCli({"test",
                                  "--url",
                                  "http://127.0.0.1:1/",
                                  "--mode",
                                  "1",
                                  "--encoding",
                                  "GBK",
                                  "--area",
                                  "<ul>[*]</ul>",
                                  "--post",
                                  "a=中",
                                  "--header",
                                  "X-A: 1",
                                  "--header",
                                  "X-B: 2",
                                  "--default-headers",
                                  "--must",
                                  "新",
                                  "--may",
                                  "a$$b",
                                  "--not",
                                  "c",
                                  "--row-key",
                                  "<li>",
                                  "--row-value",
                                  "-1",
                                  "--position",
                                  "2",
                                  "--json"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.err, "");
    const std::vector<nlohmann::json> records = run.JsonLines();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back(), (nlohmann::json{{"event", "report"}, {"text", "网页访问：请求不到数据！"}}));
}

}  // namespace
}  // namespace marl
