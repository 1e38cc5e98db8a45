// A plan list that cannot be read is a failure (exit 3), never "no plans": a cron job must notice.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "store/raw_sqlite.h"
#include "support/temp_dir.h"
#include "text/text.h"

namespace marl {
namespace {

using Args = std::vector<std::string>;
using test::CliProcess;
using test::CliResult;
using test::ReadFileBytes;
using test::RunCli;

// The commands that load the plan list before they do anything else, on the folder `dir`. The plan
// at position 1 is checked in the settings, so `pass` without positions would monitor it.
std::vector<Args> LoadingCommands(const std::string& dir) {
    return {
        {"plans", "--dir", dir},
        {"plans", "--dir", dir, "--json"},
        {"pass", "--dir", dir, "1"},
        {"pass", "--dir", dir, "--json"},
        {"watch", "--dir", dir, "1"},
        {"save", "--dir", dir, "--position", "1", "--name", "n", "--url", "u", "--encoding", "gbk"},
    };
}

void ExpectDatabaseFailure(const CliResult& run, const Args& args) {
    const std::string label = args[0] + (args.size() > 3 ? " " + args[3] : "");
    EXPECT_EQ(run.code, 3) << label << "\n" << run.out << run.err;
    EXPECT_TRUE(run.out.empty()) << label << "\n" << run.out;
    EXPECT_EQ(test::LineCount(run.err), 1) << label << "\n" << run.err;
}

TEST(CliBrokenDatabaseTest, AListThatCannotBeReadExitsWithThree) {
    struct Case {
        const char* what;
        const char* sql;  // run on an empty file; nullptr leaves it empty
    };
    const Case cases[] = {
        {"zero-length file", nullptr},
        {"no plan table", "CREATE TABLE info (id INTEGER PRIMARY KEY, classid, title, url, addtime)"},
        {"plan table without its columns", "CREATE TABLE rule (id INTEGER PRIMARY KEY, name)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        const std::string db = dir.File("marltips.db");
        test::WriteFileBytes(db, "");
        if (c.sql) test::RawSqlite(db).Exec(c.sql);
        test::WriteFileBytes(dir.File("marltips.ini"), Gbk("[配置]\r\n自动勾选=0,1,\r\n"));
        const std::string before = ReadFileBytes(db);
        for (const Args& args : LoadingCommands(dir.path().string())) {
            ExpectDatabaseFailure(RunCli(args, false, std::chrono::seconds(30)), args);
        }
        EXPECT_EQ(ReadFileBytes(db), before);
    }
}

TEST(CliBrokenDatabaseTest, AListLockedLongerThanTheBusyTimeExitsWithThree) {
    test::TempDir dir;
    const std::string db = dir.File("marltips.db");
    test::CreateDatabaseFile(db);
    test::RawSqlite(db).Exec(
        "INSERT INTO rule (id, name, url, code, part, url_key_i) VALUES "
        "(1, 'p', 'http://127.0.0.1:1/', '2', '[*]', '1')");
    test::WriteFileBytes(dir.File("marltips.ini"), Gbk("[配置]\r\n自动勾选=0,1,\r\n"));

    test::RawSqlite other_program(db);
    other_program.Exec("BEGIN EXCLUSIVE");
    // All at once: each waits out the busy time.
    std::vector<std::unique_ptr<CliProcess>> running;
    const std::vector<Args> commands = LoadingCommands(dir.path().string());
    for (const Args& args : commands) running.push_back(std::make_unique<CliProcess>(args));
    for (size_t i = 0; i < running.size(); ++i) {
        const int code = running[i]->Finish(std::chrono::seconds(60));
        ExpectDatabaseFailure({code, running[i]->out(), running[i]->err()}, commands[i]);
    }
    other_program.Exec("ROLLBACK");

    // With the lock gone the same list reads.
    const CliResult plans = RunCli({"plans", "--dir", dir.path().string(), "--json"});
    EXPECT_EQ(plans.code, 0) << plans.err;
    EXPECT_EQ(plans.JsonLines().size(), 1u);
}

TEST(CliBrokenDatabaseTest, AnEmptyPlanTableIsNoFailure) {
    test::TempDir dir;
    test::CreateDatabaseFile(dir.File("marltips.db"));
    const std::string d = dir.path().string();
    const CliResult plans = RunCli({"plans", "--dir", d});
    EXPECT_EQ(plans.code, 0) << plans.err;
    EXPECT_EQ(plans.out, "no plans\n");
    EXPECT_TRUE(plans.err.empty()) << plans.err;

    const CliResult json = RunCli({"plans", "--dir", d, "--json"});
    EXPECT_EQ(json.code, 0);
    EXPECT_TRUE(json.out.empty()) << json.out;

    // No plan at position 1: the position named is a mistake, and the list was read.
    const CliResult pass = RunCli({"pass", "--dir", d, "1"});
    EXPECT_EQ(pass.code, 2) << pass.err;
    EXPECT_EQ(pass.err, "marltips-cli: pass: no plan at position 1\n");
    EXPECT_TRUE(pass.out.empty()) << pass.out;
}

// The save itself succeeds, but the list reloaded after it cannot be read: the plan is stored and
// reported, and the exit code says that the list is broken.
TEST(CliBrokenDatabaseTest, SaveWhoseReloadFailsExitsWithThree) {
    test::TempDir dir;
    const std::string db = dir.File("marltips.db");
    test::WriteFileBytes(db, "");
    // A plan table that takes rows but cannot list a name that is not JSON.
    test::RawSqlite(db).Exec(
        "CREATE TABLE plan_rows (id INTEGER PRIMARY KEY, class, name, url, code, ua, post, part, js, url_gs, "
        "inc1, "
        "inc0, ltime, dom, url_key, url_key_i, inck);"
        "CREATE VIEW rule AS SELECT id, class, json(name) AS name, url, code, ua, post, part, js, url_gs, "
        "inc1, "
        "inc0, ltime, dom, url_key, url_key_i, inck FROM plan_rows;"
        "CREATE TRIGGER rule_insert INSTEAD OF INSERT ON rule BEGIN INSERT INTO plan_rows (class, name, url, "
        "code, "
        "ua, post, part, js, url_gs, inc1, inc0, ltime, dom, url_key, url_key_i, inck) VALUES (NEW.class, "
        "NEW.name, NEW.url, NEW.code, NEW.ua, NEW.post, NEW.part, NEW.js, NEW.url_gs, NEW.inc1, NEW.inc0, "
        "NEW.ltime, NEW.dom, NEW.url_key, NEW.url_key_i, NEW.inck); END;");
    const CliResult saved = RunCli({"save", "--dir", dir.path().string(), "--json", "--name", "not json",
                                    "--url", "http://127.0.0.1/", "--encoding", "utf-8"});
    EXPECT_EQ(saved.code, 3) << saved.err;
    ASSERT_EQ(saved.JsonLines().size(), 1u) << saved.out;
    EXPECT_EQ(saved.JsonLines()[0]["ok"], true);
    EXPECT_EQ(test::LineCount(saved.err), 1) << saved.err;
    EXPECT_EQ(test::RawSqlite(db).Column("SELECT name FROM plan_rows"), std::vector<std::string>{"not json"});
}

}  // namespace
}  // namespace marl
