#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "support/page_server.h"
#include "support/temp_dir.h"
#include "text/text.h"

namespace marl {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

using test::CliProcess;
using test::CliResult;
using test::RunCli;

std::vector<json> JsonLines(const std::string& out) {
    std::vector<json> records;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) records.push_back(json::parse(line));
    return records;
}

std::vector<json> Events(const std::vector<json>& records, const std::string& event) {
    std::vector<json> picked;
    for (const auto& r : records) {
        if (r["event"] == event) picked.push_back(r);
    }
    return picked;
}

class CliPassTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::CreateDatabaseFile(dir_.File("marltips.db"));
        server_.SetPage("/news",
                        "<ul><li><a href=\"/n/1.html\">第一篇</a></li><li><a href=\"/n/2.html\"><b>Second</b>"
                        "</a></li></ul>");
        server_.SetPage("/blog", "<a href=\"/b/1.html\">Blog post</a>");
        AddPlan("新闻", "/news");  // id 1
        AddPlan("Blog", "/blog");  // id 2
    }

    void AddPlan(const std::string& name, const std::string& path) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(dir_.File("marltips.db").c_str(), &db), SQLITE_OK);
        const std::string sql =
            "INSERT INTO rule "
            "(class,name,url,code,ua,post,part,js,url_gs,inc1,inc0,ltime,dom,url_key,url_key_i,inck) "
            "VALUES ('1','" +
            name + "','" + server_.Url(path) + "','2','','','[*]','','','','','','" + server_.Url("") +
            "','','1','')";
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }

    void WriteSettings(const std::string& utf8_ini) {
        test::WriteFileBytes(dir_.File("marltips.ini"), Gbk(utf8_ini));
    }

    int StoredArticles() {
        sqlite3* db = nullptr;
        sqlite3_open(dir_.File("marltips.db").c_str(), &db);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "SELECT count(*) FROM info", -1, &statement, nullptr);
        sqlite3_step(statement);
        const int count = sqlite3_column_int(statement, 0);
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return count;
    }

    std::string Dir() const { return dir_.path().string(); }

    test::TempDir dir_;
    test::PageServer server_;
};

TEST_F(CliPassTest, PassRecordsNewArticlesOnceAsJson) {
    WriteSettings("[配置]\r\n频率=200\r\n自动勾选=0,1,\r\n");
    const CliResult first = RunCli({"pass", "--dir", Dir(), "--json"});
    ASSERT_EQ(first.code, 0) << first.err;
    const auto records = JsonLines(first.out);

    const auto status = Events(records, "status");
    ASSERT_EQ(status.size(), 4u);
    const std::string text = status[0]["text"];
    EXPECT_EQ(text.size(), std::string("[ 2024-03-05 07:08:09 ] [ 新闻 ] 准备工作..").size());
    EXPECT_EQ(text.substr(0, 2), "[ ");
    EXPECT_EQ(text.substr(21), " ] [ 新闻 ] 准备工作..");
    EXPECT_EQ(std::string(status[2]["text"]).substr(24), "匹配到网址数：2");
    EXPECT_EQ(std::string(status[3]["text"]).substr(24), "筛选链接数：2");

    const auto articles = Events(records, "article");
    ASSERT_EQ(articles.size(), 2u);
    // Recorded from the bottom of the page up.
    EXPECT_EQ(articles[0]["title"], "Second");
    EXPECT_EQ(articles[0]["url"], server_.Url("/n/2.html"));
    EXPECT_EQ(articles[1]["title"], "第一篇");
    EXPECT_EQ(articles[1]["position"], 1);
    EXPECT_EQ(articles[1]["plan"], "新闻");
    EXPECT_EQ(std::string(articles[1]["time"]).size(), std::string("03-05 07:08").size());
    EXPECT_EQ(records.size(), 6u);  // nothing else on stdout
    EXPECT_EQ(StoredArticles(), 2);

    const CliResult second = RunCli({"pass", "--dir", Dir(), "--json"});
    ASSERT_EQ(second.code, 0) << second.err;
    EXPECT_TRUE(Events(JsonLines(second.out), "article").empty());
    EXPECT_EQ(Events(JsonLines(second.out), "status").size(), 4u);
    EXPECT_EQ(StoredArticles(), 2);
}

TEST_F(CliPassTest, PositionsOnTheCommandLineAndTextOutput) {
    // 0,12, must not check plan 1 or 2; the positions given win anyway.
    WriteSettings("[配置]\r\n自动勾选=0,12,\r\n");
    const CliResult result = RunCli({"pass", "--dir", Dir(), "2"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_NE(result.out.find(" ] [ Blog ] 准备工作..\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("筛选链接数：1\n"), std::string::npos);
    EXPECT_NE(result.out.find("[Blog] Blog post  " + server_.Url("/b/1.html")), std::string::npos)
        << result.out;
    EXPECT_EQ(result.out.find("新闻"), std::string::npos);
    EXPECT_EQ(result.out.find('\r'), std::string::npos);
    EXPECT_EQ(StoredArticles(), 1);
}

TEST_F(CliPassTest, SeveralPassesWaitByTheStoredFrequency) {
    WriteSettings("[配置]\r\n频率=1\r\n自动勾选=0,2,\r\n");
    const CliResult result = RunCli({"pass", "--dir", Dir(), "--passes", "2", "--json"});
    ASSERT_EQ(result.code, 0) << result.err;
    const auto records = JsonLines(result.out);
    EXPECT_EQ(Events(records, "status").size(), 8u);
    EXPECT_EQ(Events(records, "article").size(), 1u);
    EXPECT_EQ(server_.Hits("/blog"), 2);
}

TEST_F(CliPassTest, FailuresGiveTheirExitCodes) {
    WriteSettings("[配置]\r\n自动勾选=0,\r\n");
    struct Case {
        std::vector<std::string> args;
        int code;
    };
    test::TempDir empty;
    test::WriteFileBytes(empty.File("marltips.ini"), "");
    test::TempDir garbage;
    test::WriteFileBytes(garbage.File("marltips.db"), std::string(4096, 'x'));
    const std::vector<Case> cases = {
        {{"pass", "--dir", empty.path().string(), "1"}, 3},
        {{"watch", "--dir", empty.path().string(), "1"}, 3},
        {{"pass", "--dir", garbage.path().string(), "1"}, 3},
        {{"pass", "--dir", Dir(), "x"}, 2},
        {{"pass", "--dir", Dir(), "0"}, 2},
        {{"pass", "--dir", Dir(), "--passes", "-1", "1"}, 2},
        {{"pass", "--dir", Dir(), "--pases", "2", "1"}, 2},
        {{"watch", "--dir", Dir(), "--passes", "2", "1"}, 2},
        {{"pass", "--dir", Dir()}, 2},  // nothing checked, nothing given
        // Two plans: a position that holds none is named before anything is fetched. Before, the pass
        // went over plan 2 and skipped 7 without a word.
        {{"pass", "--dir", Dir(), "2", "7"}, 2},
        {{"watch", "--dir", Dir(), "3"}, 2},
    };
    for (const Case& c : cases) {
        const CliResult result = RunCli(c.args);
        EXPECT_EQ(result.code, c.code) << c.args[0] << " " << c.args.back() << ": " << result.err;
        EXPECT_FALSE(result.err.empty());
        EXPECT_TRUE(result.out.empty());
    }
    EXPECT_EQ(StoredArticles(), 0);
}

// Output that cannot be written: nothing the command found is taken as seen, it says so on stderr and
// exits 4; the next pass with a working output shows every article.
TEST_F(CliPassTest, UnwritableOutputStoresNothingAndExitsFour) {
    WriteSettings("[配置]\r\n频率=1\r\n自动勾选=0,1,2,\r\n");
    struct Case {
        std::vector<std::string> args;
        test::StdoutTo stdout_to;
    };
    const std::vector<Case> cases = {
        {{"pass", "--dir", Dir(), "--json", "1"}, test::StdoutTo::kFullDevice},
        {{"pass", "--dir", Dir()}, test::StdoutTo::kFullDevice},
        {{"pass", "--dir", Dir(), "--json"}, test::StdoutTo::kClosed},
        {{"pass", "--dir", Dir(), "--passes", "3"}, test::StdoutTo::kGoneReader},
        {{"watch", "--dir", Dir(), "--json"}, test::StdoutTo::kFullDevice},  // ends instead of watching on
        {{"watch", "--dir", Dir()}, test::StdoutTo::kGoneReader},
    };
    for (const Case& c : cases) {
        const CliResult result = test::RunCliWithStdout(c.args, c.stdout_to);
        const std::string what = c.args[0] + " " + c.args.back() + " " + std::to_string(int(c.stdout_to));
        EXPECT_EQ(result.code, 4) << what << ": " << result.err;
        EXPECT_NE(result.err.find("output could not be written"), std::string::npos)
            << what << ": " << result.err;
        EXPECT_EQ(test::LineCount(result.err), 1) << what << ": " << result.err;
        EXPECT_EQ(StoredArticles(), 0) << what;
    }
    EXPECT_EQ(server_.Hits("/blog"), 0);  // the plans after the failure were left alone

    const CliResult shown = RunCli({"pass", "--dir", Dir(), "--json"});
    ASSERT_EQ(shown.code, 0) << shown.err;
    EXPECT_EQ(Events(JsonLines(shown.out), "article").size(), 3u);
    EXPECT_EQ(StoredArticles(), 3);
}

// A command that records nothing still tells a script that its output was lost.
TEST_F(CliPassTest, OtherCommandsExitFourWhenTheirOutputIsLost) {
    const std::vector<std::vector<std::string>> commands = {
        {"test", "--url", server_.Url("/news"), "--encoding", "utf-8", "--json"},
        {"test", "--url", server_.Url("/news"), "--encoding", "utf-8"},
        {"plans", "--dir", Dir(), "--json"},
        {"fetch", "--url", server_.Url("/blog")},
    };
    for (const auto& args : commands) {
        for (const auto stdout_to :
             {test::StdoutTo::kFullDevice, test::StdoutTo::kClosed, test::StdoutTo::kGoneReader}) {
            const CliResult result = test::RunCliWithStdout(args, stdout_to);
            EXPECT_EQ(result.code, 4) << args[0] << " " << int(stdout_to) << ": " << result.err;
            EXPECT_EQ(result.err, "marltips-cli: standard output could not be written\n") << args[0];
        }
        const CliResult fine = RunCli(args);
        EXPECT_EQ(fine.code, 0) << args[0] << ": " << fine.err;
        EXPECT_TRUE(fine.err.empty()) << args[0] << ": " << fine.err;
    }
}

TEST_F(CliPassTest, WatchStopsOnInterruptDuringTheWait) {
    WriteSettings("[配置]\r\n频率=100000\r\n自动勾选=0,2,\r\n");
    CliProcess watch({"watch", "--dir", Dir(), "--json"});
    ASSERT_TRUE(watch.ReadUntil("\"event\":\"article\"")) << watch.err();
    watch.Signal(SIGINT);
    EXPECT_EQ(watch.Finish(), 0) << watch.err();
    EXPECT_EQ(server_.Hits("/blog"), 1);
}

TEST_F(CliPassTest, InterruptFinishesThePlanInHandThenExits) {
    server_.SetDelay("/news", 1500ms);
    WriteSettings("[配置]\r\n频率=1\r\n");
    CliProcess watch({"watch", "--dir", Dir(), "--json", "1", "2"});
    ASSERT_TRUE(watch.ReadUntil("准备工作"));
    watch.Signal(SIGTERM);  // while plan 1 is being fetched
    EXPECT_EQ(watch.Finish(), 0) << watch.err();
    const auto records = JsonLines(watch.out());
    EXPECT_EQ(Events(records, "article").size(), 2u);  // plan 1 finished its work
    EXPECT_EQ(server_.Hits("/blog"), 0);               // plan 2 never started
    EXPECT_EQ(StoredArticles(), 2);
}

TEST_F(CliPassTest, SecondInterruptEndsAtOnce) {
    server_.SetDelay("/news", 60000ms);
    CliProcess watch({"watch", "--dir", Dir(), "1"});
    ASSERT_TRUE(watch.ReadUntil("准备工作"));
    watch.Signal(SIGINT);
    usleep(100 * 1000);
    watch.Signal(SIGINT);
    EXPECT_EQ(watch.Finish(), 128 + SIGINT);
    EXPECT_EQ(StoredArticles(), 0);
}

}  // namespace
}  // namespace marl
