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
    struct Case {
        const char* what;
        Args args;
    };
    const std::vector<Case> cases = {
        {"unknown option", {"init", "--bogus", "x", "--dir", d}},
        {"missing value", {"init", "--dir"}},
        {"stray argument", {"init", "--dir", d, "extra"}},

        {"unknown option", {"plans", "--dir", d, "--jsno"}},
        {"missing value", {"plans", "--json", "--dir"}},
        {"stray argument", {"plans", "--dir", d, "extra"}},

        // Before, an unknown option ate the word after it and the save went on.
        {"unknown option", {"save", "--dir", d, "--bogus", "--name", "a", "--url", "b", "--encoding", "gbk"}},
        {"missing value", {"save", "--dir", d, "--name", "a", "--url", "b", "--encoding"}},
        {"stray argument", {"save", "--dir", d, "--name", "a", "--url", "b", "--encoding", "gbk", "extra"}},
        {"bad choice", {"save", "--dir", d, "--name", "a", "--url", "b", "--encoding", "latin1"}},
        {"bad choice",
         {"save", "--dir", d, "--name", "a", "--url", "b", "--encoding", "gbk", "--row-value", "2"}},
        {"bad number",
         {"save", "--dir", d, "--name", "a", "--url", "b", "--encoding", "gbk", "--position", "x"}},
        {"no GBK form", {"save", "--dir", d, "--name", "a" + emoji, "--url", "b", "--encoding", "gbk"}},

        // Before, this deleted plan 8 beside the executable.
        {"unknown option", {"delete", "--dri", d, "8"}},
        {"missing value", {"delete", "8", "--dir"}},
        {"stray argument", {"delete", "--dir", d, "8", "10"}},
        {"bad number", {"delete", "--dir", d, "0x8"}},
        {"bad number", {"delete", "--dir", d, "-8"}},
        {"no id", {"delete", "--dir", d}},

        {"unknown option", {"fetch", "--url", nowhere, "--bogus"}},
        {"missing value", {"fetch", "--url", nowhere, "--post"}},
        {"stray argument", {"fetch", "--url", nowhere, "extra"}},
        {"bad choice", {"fetch", "--url", nowhere, "--encoding", "auto"}},
        {"no GBK form", {"fetch", "--url", nowhere + emoji}},

        {"unknown option", {"test", "--url", nowhere, "--bogus"}},
        {"missing value", {"test", "--url", nowhere, "--area"}},
        {"stray argument", {"test", "--url", nowhere, "extra"}},
        {"bad choice", {"test", "--url", nowhere, "--mode", "4"}},
        {"bad choice", {"test", "--url", nowhere, "--encoding", "big5"}},
        {"bad choice", {"test", "--url", nowhere, "--row-value", "0"}},
        {"no GBK form", {"test", "--url", nowhere, "--must", emoji}},

        {"unknown option", {"pass", "--dir", d, "--pases", "2", "1"}},
        {"missing value", {"pass", "--dir", d, "1", "--passes"}},
        {"stray argument", {"pass", "--dir", d, "1", "extra"}},
        {"bad number", {"pass", "--dir", d, "--passes", "-1", "1"}},
        {"bad number", {"pass", "--dir", d, "0"}},

        {"unknown option", {"watch", "--dir", d, "--passes", "2", "1"}},
        {"missing value", {"watch", "1", "--dir"}},
        {"stray argument", {"watch", "--dir", d, "1", "extra"}},
        {"bad number", {"watch", "--dir", d, "0"}},

        {"unknown command", {"delete-all", "--dir", d}},
        {"option without command", {"--dir", d, "plans"}},
        {"two commands", {"plans", "--dir", d, "init"}},
        {"help on an unknown command", {"help", "nothing"}},
    };
    const std::string before = ReadFileBytes(DbPath());
    const std::string settings = ReadFileBytes(dir_.File("marltips.ini"));
    for (const Case& c : cases) {
        const std::string label = std::string(c.what) + ": " + c.args[0];
        // A watch that was not refused would run until killed; a short limit shows it as a failure.
        const CliResult run = RunCli(c.args, false, std::chrono::seconds(20));
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
    };
    for (const Case& c : cases) {
        const CliResult run = RunCli(c.args);
        EXPECT_EQ(run.err.rfind(std::string("marltips-cli: ") + c.reason, 0), 0u) << run.err;
    }
}

TEST_F(CliCommandLineTest, NumbersAreDecimalAndRepeatedOptionsKeepTheLast) {
    // Leading zeros do not make a number octal: 010 is plan 10.
    const CliResult deleted = RunCli({"delete", "--dir", Dir(), "010", "--json"});
    ASSERT_EQ(deleted.code, 0) << deleted.err;
    EXPECT_EQ(deleted.JsonLines().at(0)["sql"], "DELETE FROM \"rule\" WHERE ((\"id\" = '10'));");
    EXPECT_EQ(StoredIds(), std::vector<std::string>{"8"});

    // --name=VALUE works as --name VALUE; the last of a repeated option counts; --position 01 is 1.
    const CliResult saved = RunCli({"save", "--dir", Dir(), "--position", "01", "--name=first", "--name",
                                    "last", "--url", "u", "--encoding", "UTF-8", "--row-value", "-1"});
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

// The plan tester takes its whole option set already; the values reach a command that is not built yet.
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
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(run.err, "marltips-cli: test: not built yet\n");
}

}  // namespace
}  // namespace marl
