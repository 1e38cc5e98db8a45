// marltips-cli init, plans, save and delete, run as the real program on temporary directories.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "store/database.h"
#include "store/plan_store.h"
#include "store/raw_sqlite.h"
#include "support/temp_dir.h"
#include "text/text.h"

namespace marl {
namespace {

using test::ReadFileBytes;
using test::WriteFileBytes;

using CliRun = test::CliResult;

class CliStoreTest : public ::testing::Test {
  protected:
    // Runs marltips-cli with `args` and --dir of the test; `unprivileged` drops root rights first.
    CliRun Run(std::vector<std::string> args, bool unprivileged = false, const std::string& dir = "") {
        args.push_back("--dir");
        args.push_back(dir.empty() ? dir_.path().string() : dir);
        return test::RunCli(args, unprivileged);
    }

    std::string DbPath() const { return dir_.File("marltips.db"); }

    // The plans as the desktop program would load them.
    PlanListPtr LoadedPlans() {
        Database db;
        EXPECT_TRUE(db.Open(DbPath()));
        SharedPlanList plans;
        PlanStore(db, plans).LoadPlans();
        return plans.Get();
    }

    test::TempDir dir_;
    test::TempDir io_;  // captured output, kept out of the data directory
};

TEST_F(CliStoreTest, InitCreatesOnceAndNeverTouchesAnExistingFile) {
    const CliRun first = Run({"init"});
    EXPECT_EQ(first.code, 0) << first.err;
    ASSERT_TRUE(std::filesystem::exists(DbPath()));
    EXPECT_EQ(LoadedPlans()->size(), 0);

    ASSERT_EQ(Run({"save", "--name", "a", "--url", "http://127.0.0.1/", "--encoding", "gbk"}).code, 0);
    const std::string before = ReadFileBytes(DbPath());
    const CliRun second = Run({"init"});
    EXPECT_EQ(second.code, 0);
    EXPECT_NE(second.out.find("nothing changed"), std::string::npos) << second.out;
    EXPECT_EQ(ReadFileBytes(DbPath()), before);
    EXPECT_EQ(LoadedPlans()->size(), 1);

    // Any file at all counts as present, even one that is not a database.
    test::TempDir other;
    WriteFileBytes(other.File("marltips.db"), "not a database");
    EXPECT_EQ(Run({"init"}, false, other.path().string()).code, 0);
    EXPECT_EQ(ReadFileBytes(other.File("marltips.db")), "not a database");

    // Nothing but the database is left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_.path())) ++entries;
    EXPECT_EQ(entries, 1);
}

// Places where no file can be made, for every user and wherever the checkout lies.
TEST_F(CliStoreTest, InitFailsWithUsageCodeWhereItCannotWrite) {
    WriteFileBytes(dir_.File("plain"), "x");
    const std::string places[] = {
        dir_.File("plain") + "/below",  // below a regular file
        dir_.File("plain"),             // a regular file itself
        dir_.File("missing"),
        "/proc",  // a folder in which even root cannot create files
    };
    for (const std::string& place : places) {
        const CliRun run = Run({"init"}, false, place);
        EXPECT_EQ(run.code, 2) << place << ": " << run.err;
        EXPECT_EQ(test::LineCount(run.err), 1) << place << ": " << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    EXPECT_EQ(ReadFileBytes(dir_.File("plain")), "x");
    EXPECT_FALSE(std::filesystem::exists("/proc/marltips.db"));
}

// A folder the user may read but not write: checked as an unprivileged user, which needs that user to
// be able to start the program at all.
TEST_F(CliStoreTest, InitFailsInAFolderTheUserMayNotWrite) {
    ::chmod(dir_.path().c_str(), 0555);
    if (::geteuid() == 0) {
        if (const std::string why = test::WhyNobodyCannotReach(dir_.path().string()); !why.empty())
            GTEST_SKIP() << why;
    } else if (::access(dir_.path().c_str(), W_OK) == 0) {
        GTEST_SKIP() << "this user may write in a read-only folder";
    }
    const CliRun denied = Run({"init"}, true);
    EXPECT_EQ(denied.code, 2) << denied.out << denied.err;
    EXPECT_EQ(test::LineCount(denied.err), 1) << denied.err;
    EXPECT_FALSE(std::filesystem::exists(DbPath()));
    ::chmod(dir_.path().c_str(), 0755);
}

TEST_F(CliStoreTest, MissingOrBrokenDatabaseExitsWithThree) {
    const std::vector<std::vector<std::string>> commands = {
        {"plans"},
        {"plans", "--json"},
        {"delete", "1"},
        {"save", "--name", "a", "--url", "b", "--encoding", "utf-8"},
    };
    for (const auto& command : commands) {
        const CliRun run = Run(command);
        EXPECT_EQ(run.code, 3) << command[0];
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_FALSE(std::filesystem::exists(DbPath()));
    }
    WriteFileBytes(DbPath(), std::string(2048, 'z'));
    for (const auto& command : commands) EXPECT_EQ(Run(command).code, 3) << command[0];
    EXPECT_EQ(ReadFileBytes(DbPath()), std::string(2048, 'z'));
}

TEST_F(CliStoreTest, PlansListsInPositionOrderWithCheckMarks) {
    test::CreateDatabaseFile(DbPath());
    for (const char* name : {"一", "二", "三"}) {
        ASSERT_EQ(Run({"save", "--name", name, "--url", std::string("http://127.0.0.1/") + name, "--encoding",
                       "gbk"})
                      .code,
                  0);
    }
    ASSERT_EQ(Run({"delete", "1"}).code, 0);
    WriteFileBytes(dir_.File("marltips.ini"), Gbk("[配置]\r\n频率=200\r\n自动勾选=0,12,3,\r\n"));

    const CliRun run = Run({"plans", "--json"});
    ASSERT_EQ(run.code, 0) << run.err;
    const auto lines = run.JsonLines();
    ASSERT_EQ(lines.size(), 2u);
    // "12," holds "2," but not ",2,": plan 2 stays unchecked.
    EXPECT_EQ(lines[0], (nlohmann::json{{"event", "plan"},
                                        {"position", 1},
                                        {"id", 2},
                                        {"name", "二"},
                                        {"url", "http://127.0.0.1/二"},
                                        {"checked", false}}));
    // Fields come in the documented order, for scripts that read the lines as text.
    EXPECT_EQ(
        run.out.substr(0, run.out.find('\n')),
        R"({"event":"plan","position":1,"id":2,"name":"二","url":"http://127.0.0.1/二","checked":false})");
    EXPECT_EQ(lines[1]["position"], 2);
    EXPECT_EQ(lines[1]["id"], 3);
    EXPECT_EQ(lines[1]["checked"], true);

    const CliRun people = Run({"plans"});
    EXPECT_NE(people.out.find("三"), std::string::npos);
}

TEST_F(CliStoreTest, SaveStoresTheEditorsValues) {
    test::CreateDatabaseFile(DbPath());
    const CliRun saved = Run(
        {"save",       "--json",     "--name",    "O'Neil 区域",  "--url",       "http://127.0.0.1/list?a=1",
         "--encoding", "utf-8",      "--area",    "<ul>[*]</ul>", "--must",      "news",
         "--may",      "a$$b",       "--not",     "list$$index",  "--prefix",    "http://127.0.0.1",
         "--post",     "p=1",        "--row-key", "<li>",         "--row-value", "-1",
         "--header",   "Cookie:a=1", "--header",  "X-Test:中"});
    ASSERT_EQ(saved.code, 0) << saved.err;
    const auto lines = saved.JsonLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["event"], "saved");
    EXPECT_EQ(lines[0]["ok"], true);
    EXPECT_NE(lines[0]["sql"].get<std::string>().find("'O''Neil 区域'"), std::string::npos);

    const PlanListPtr plans = LoadedPlans();
    ASSERT_EQ(plans->size(), 1);
    const PlanRecord& p = *plans->At(1);
    EXPECT_EQ(p.name, Gbk("O'Neil 区域"));
    EXPECT_EQ(p.code, "2");
    EXPECT_EQ(p.part, "<ul>[*]</ul>");
    EXPECT_EQ(p.inck, "news");
    EXPECT_EQ(p.inc1, "a|b");
    EXPECT_EQ(p.inc0, "list|index");
    EXPECT_EQ(p.dom, "http://127.0.0.1");
    EXPECT_EQ(p.post, "p=1");
    EXPECT_EQ(p.url_key, "<li>");
    EXPECT_EQ(p.url_key_i, -1);
    EXPECT_EQ(p.ua, Gbk("Cookie:a=1\r\nX-Test:中"));

    // Defaults, the default header block, and an update by position.
    ASSERT_EQ(Run({"save", "--position", "1", "--name", "n", "--url", "u", "--encoding", "GBK",
                   "--default-headers"})
                  .code,
              0);
    const PlanListPtr updated = LoadedPlans();
    ASSERT_EQ(updated->size(), 1);
    const PlanRecord& q = *updated->At(1);
    EXPECT_EQ(q.id, p.id);
    EXPECT_EQ(q.name, "n");
    EXPECT_EQ(q.code, "1");
    EXPECT_EQ(q.part, "[*]");
    EXPECT_EQ(q.url_key_i, 1);
    EXPECT_EQ(q.inc1, "");
    EXPECT_EQ(q.ua, DefaultHeaderBlock());
}

TEST_F(CliStoreTest, SaveChecksComeFirstAndInTheEditorsOrder) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"save", "--json"}, "请选择网站编码"},
        {{"save", "--json", "--encoding", "auto", "--name", "a", "--url", "b"}, "请选择网站编码"},
        {{"save", "--json", "--encoding", "gbk"}, "名称不能空"},
        {{"save", "--json", "--encoding", "gbk", "--name", "a"}, "列表网址不能空"},
        {{"save", "--json", "--encoding", "gbk", "--url", "b", "--name", ""}, "名称不能空"},
        {{"save", "--json", "--encoding", "gbk", "--name", "a", "--url", "http://h/e\r\nX-Smuggled: yes"},
         "列表网址不能含换行"},
        {{"save", "--json", "--encoding", "utf-8", "--name", "a", "--url", "http://h/e\nb"},
         "列表网址不能含换行"},
    };
    // No database at all: a failed check never gets that far.
    for (const Case& c : cases) {
        const CliRun run = Run(c.args);
        EXPECT_EQ(run.code, 0) << c.message;
        EXPECT_EQ(run.out, nlohmann::json({{"event", "message"}, {"text", c.message}}).dump() + "\n");
    }
}

TEST_F(CliStoreTest, BadArgumentsAreUsageErrors) {
    test::CreateDatabaseFile(DbPath());
    const std::vector<std::vector<std::string>> cases = {
        {"save", "--name", "a😀", "--url", "b", "--encoding", "gbk"},  // GBK lacks the character
        {"save", "--name", "a", "--url", "b", "--encoding", "latin1"},
        {"save", "--name", "a", "--url", "b", "--encoding", "gbk", "--row-value", "2"},
        {"save", "--name", "a", "--url", "b", "--encoding", "gbk", "--position", "x"},
        {"save", "--name", "a", "--url", "b", "--encoding", "gbk", "--position", "4"},  // no such plan
        {"delete"},
        {"delete", "abc"},
        {"delete", "1", "2"},
    };
    const std::string before = ReadFileBytes(DbPath());
    for (const auto& args : cases) {
        const CliRun run = Run(args);
        EXPECT_EQ(run.code, 2) << args[0] << " " << args.back();
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_EQ(ReadFileBytes(DbPath()), before);
}

TEST_F(CliStoreTest, DeleteReportsItsStatementAndFailure) {
    test::CreateDatabaseFile(DbPath());
    ASSERT_EQ(Run({"save", "--name", "a", "--url", "b", "--encoding", "gbk"}).code, 0);
    const CliRun deleted = Run({"delete", "1", "--json"});
    EXPECT_EQ(deleted.code, 0);
    const nlohmann::json expected = {
        {"event", "deleted"}, {"ok", true}, {"sql", "DELETE FROM \"rule\" WHERE ((\"id\" = '1'));"}};
    EXPECT_EQ(deleted.JsonLines(), std::vector<nlohmann::json>{expected});
    EXPECT_EQ(LoadedPlans()->size(), 0);
    EXPECT_EQ(Run({"delete", "1"}).code, 0);  // already gone: nothing to do

    // A database without the plan table: the statement fails and says so.
    std::filesystem::remove(DbPath());
    {
        Database db;
        WriteFileBytes(DbPath(), "");
        ASSERT_TRUE(db.Open(DbPath()));
        ASSERT_TRUE(db.ExecuteSql("CREATE TABLE info (url)"));
    }
    const CliRun failed = Run({"delete", "1", "--json"});
    EXPECT_EQ(failed.code, 3);  // the record carries the failure, and so does the exit code
    ASSERT_EQ(failed.JsonLines().size(), 1u);
    EXPECT_EQ(failed.JsonLines()[0]["ok"], false);
}

// A statement the database refuses is a failure a script must see: ok:false and exit 3, never 0.
TEST_F(CliStoreTest, SaveAndDeleteThatTheDatabaseRefusesExitWithThree) {
    struct Case {
        const char* what;
        std::function<void(const std::string&)> make;  // builds the file at the path
        bool read_only = false;                        // the file's mode forbids writing
        bool locked = false;  // another program holds the write lock beyond the busy time
    };
    const auto ours = [](const std::string& db) {
        test::CreateDatabaseFile(db);
        test::RawSqlite(db).Exec(
            "INSERT INTO rule (id, name, url, code, part, url_key_i) VALUES (1, 'p', 'u', '2', '[*]', '1')");
    };
    const Case cases[] = {
        {"zero-length file", [](const std::string& db) { WriteFileBytes(db, ""); }},
        {"another program's database",
         [](const std::string& db) {
             WriteFileBytes(db, "");
             test::RawSqlite(db).Exec("CREATE TABLE notes (id INTEGER PRIMARY KEY, text)");
         }},
        {"read-only file", ours, true},
        {"locked", ours, false, true},
    };
    const std::vector<std::vector<std::string>> commands = {
        {"save", "--json", "--name", "a", "--url", "b", "--encoding", "gbk"},
        {"save", "--name", "a", "--url", "b", "--encoding", "gbk"},
        {"delete", "1", "--json"},
        {"delete", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        const std::string db = dir.File("marltips.db");
        c.make(db);
        if (c.read_only) {
            ::chmod(db.c_str(), 0444);
            if (::geteuid() == 0) {
                ::chmod(dir.path().c_str(), 0755);
                if (const std::string why = test::WhyNobodyCannotReach(dir.path().string()); !why.empty()) {
                    std::cout << "read-only case skipped: " << why << "\n";
                    continue;
                }
            }
        }
        // Read before the lock is taken: closing any descriptor of the file drops this process's locks.
        const std::string before = ReadFileBytes(db);
        std::optional<test::RawSqlite> other_program;
        if (c.locked) {
            other_program.emplace(db);
            other_program->Exec("BEGIN EXCLUSIVE");
        }
        for (const auto& command : commands) {
            const std::string label = command[0] + " " + command[1];
            const CliRun run = Run(command, c.read_only, dir.path().string());
            EXPECT_EQ(run.code, 3) << label << "\n" << run.out << run.err;
            EXPECT_EQ(test::LineCount(run.err), 1) << label << "\n" << run.err;
            if (std::find(command.begin(), command.end(), "--json") != command.end()) {
                ASSERT_EQ(run.JsonLines().size(), 1u) << label << "\n" << run.out;
                EXPECT_EQ(run.JsonLines()[0]["ok"], false) << label;
            } else {
                EXPECT_NE(run.out.find("失败"), std::string::npos) << label << "\n" << run.out;
            }
        }
        if (other_program) other_program->Exec("ROLLBACK");
        EXPECT_TRUE(ReadFileBytes(db) == before) << "the file changed";
    }
}

}  // namespace
}  // namespace marl
