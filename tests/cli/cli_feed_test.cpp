// feed, serve and pass --exec through the real marltips-cli.
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <filesystem>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli_runner.h"
#include "support/page_server.h"
#include "support/temp_dir.h"

namespace marl {
namespace {

using namespace std::chrono_literals;
using test::CliProcess;
using test::CliResult;
using test::RunCli;

class CliFeedTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::CreateDatabaseFile(dir_.File("marltips.db"));
        server_.SetPage("/news",
                        "<a href=\"/n/1.html?a=1&amp;b=2\">第一篇：北京</a>"
                        "<a href=\"/n/2.html\">&quot;; rm -rf ~; &quot;</a>"
                        "<a href=\"/n/3.html\">$(touch " +
                            Marker() + ")</a><a href=\"/n/4.html\">`touch " + Marker() + "` English</a>");
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(dir_.File("marltips.db").c_str(), &db), SQLITE_OK);
        const std::string sql =
            "INSERT INTO rule "
            "(class,name,url,code,ua,post,part,js,url_gs,inc1,inc0,ltime,dom,url_key,url_key_i,inck) "
            "VALUES ('1','新闻','" +
            server_.Url("/news") + "','2','','','[*]','','','','','','" + server_.Url("") + "','','1','')";
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }

    std::string Dir() const { return dir_.path().string(); }
    std::string Marker() const { return dir_.File("marker"); }

    test::TempDir dir_;
    test::PageServer server_;
};

std::vector<std::string> Values(const std::string& xml, const char* field) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_string(xml.c_str())) << xml;
    std::vector<std::string> values;
    for (pugi::xml_node entry : doc.child("feed").children("entry")) {
        values.push_back(std::string(field) == "link" ? entry.child("link").attribute("href").value()
                                                      : entry.child_value(field));
    }
    return values;
}

TEST_F(CliFeedTest, PassWithExecRunsTheCommandWithTitlesAsDataThenFeedShowsThem) {
    const std::string log = dir_.File("titles");
    const CliResult pass = RunCli({"pass", "--dir", Dir(), "--exec",
                                   "printf '%s|%s\\n' \"$MARL_PLAN_ID\" \"$MARL_TITLE\" >> " + log, "1"});
    ASSERT_EQ(pass.code, 0) << pass.err;
    EXPECT_FALSE(std::filesystem::exists(Marker()));
    const std::string titles = test::ReadFileBytes(log);
    for (const std::string& line :
         std::vector<std::string>{"1|第一篇：北京\n", "1|\"; rm -rf ~; \"\n", "1|$(touch " + Marker() + ")\n",
                                  "1|`touch " + Marker() + "` English\n"}) {
        EXPECT_NE(titles.find(line), std::string::npos) << titles;
    }

    const CliResult first = RunCli({"feed", "--dir", Dir()});
    const CliResult second = RunCli({"feed", "--dir", Dir(), "--plan", "1"});
    ASSERT_EQ(first.code, 0) << first.err;
    ASSERT_EQ(second.code, 0) << second.err;
    EXPECT_EQ(Values(first.out, "title"),
              (std::vector<std::string>{"第一篇：北京", "\"; rm -rf ~; \"", "$(touch " + Marker() + ")",
                                        "`touch " + Marker() + "` English"}));
    EXPECT_EQ(Values(first.out, "link")[0], server_.Url("/n/1.html?a=1&b=2"));
    EXPECT_EQ(Values(first.out, "id"), Values(second.out, "id"));
}

TEST_F(CliFeedTest, FailingCommandIsOneStatusLineAndThePassStillSucceeds) {
    const CliResult pass =
        RunCli({"pass", "--dir", Dir(), "--json", "--exec", "no-such-command-marltips", "1"});
    ASSERT_EQ(pass.code, 0) << pass.err;
    int failures = 0;
    for (const auto& record : pass.JsonLines()) {
        const std::string text = record.value("text", "");
        if (text.find("新文章命令出错：[新闻] 退出码 127") != std::string::npos) ++failures;
    }
    EXPECT_EQ(failures, 4) << pass.out;
}

// The command runs for recorded articles only: on a file nobody may write, the article is shown
// (and shown again next pass), but no command runs for it once per pass.
TEST_F(CliFeedTest, ReadOnlyDatabaseStillMonitorsAndGivesItsFeedButRunsNoCommand) {
    ASSERT_EQ(RunCli({"pass", "--dir", Dir(), "1"}).code, 0);  // four articles stored
    server_.SetPage("/news", "<a href=\"/n/9.html\">Ninth</a>");
    // Readable by everyone, writable by nobody; the run gives up root first.
    ::chmod(dir_.path().c_str(), 0777);
    if (::geteuid() == 0) {
        if (const std::string why = test::WhyNobodyCannotReach(Dir()); !why.empty()) {
            ::chmod(dir_.path().c_str(), 0755);
            GTEST_SKIP() << why;
        }
    }
    ::chmod(dir_.File("marltips.db").c_str(), 0444);
    const std::string log = dir_.File("ran");
    const CliResult pass = RunCli(
        {"pass", "--dir", Dir(), "--json", "--exec", "printf '%s\\n' \"$MARL_TITLE\" >> " + log, "1"}, true);
    ASSERT_EQ(pass.code, 0) << pass.err;
    int articles = 0, failed_stores = 0;
    for (const auto& record : pass.JsonLines()) {
        if (record["event"] == "article") ++articles;
        if (std::string(record.value("text", "")).find("Sql Err") != std::string::npos) ++failed_stores;
    }
    EXPECT_EQ(articles, 1);
    EXPECT_EQ(failed_stores, 1);
    EXPECT_FALSE(std::filesystem::exists(log));
    const CliResult feed = RunCli({"feed", "--dir", Dir(), "--plan", "1"}, true);
    ASSERT_EQ(feed.code, 0) << feed.err;
    EXPECT_EQ(Values(feed.out, "title").size(), 4u);
    ::chmod(dir_.path().c_str(), 0755);
}

// A pass whose commit fails (another program keeps reading the file past the busy time) runs no
// command; the next pass records the articles again and runs each command exactly once.
TEST_F(CliFeedTest, RolledBackPassRunsNoCommandAndTheNextPassRunsEachOnce) {
    const std::string log = dir_.File("ran");
    const std::vector<std::string> pass = {
        "pass", "--dir", Dir(), "--json", "--exec", "printf '%s\\n' \"$MARL_URL\" >> " + log, "1"};
    {
        sqlite3* reader = nullptr;
        ASSERT_EQ(sqlite3_open(dir_.File("marltips.db").c_str(), &reader), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM info;", nullptr, nullptr, nullptr),
                  SQLITE_OK);
        const CliResult held = RunCli(pass);
        sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(reader);
        ASSERT_EQ(held.code, 0) << held.err;
        int articles = 0, dropped = 0;
        for (const auto& record : held.JsonLines()) {
            if (record["event"] == "article") ++articles;
            if (std::string(record.value("text", "")).find("保存未完成") != std::string::npos) ++dropped;
        }
        EXPECT_EQ(articles, 4);
        EXPECT_EQ(dropped, 1) << held.out;
    }
    EXPECT_FALSE(std::filesystem::exists(log));

    ASSERT_EQ(RunCli(pass).code, 0);
    ASSERT_EQ(RunCli(pass).code, 0);  // nothing new: no command
    std::vector<std::string> urls;
    std::istringstream lines(test::ReadFileBytes(log));
    for (std::string line; std::getline(lines, line);) urls.push_back(line);
    // Commands run four at a time, so they may finish in any order.
    std::sort(urls.begin(), urls.end());
    ASSERT_EQ(urls.size(), 4u) << test::ReadFileBytes(log);
    EXPECT_EQ(std::unique(urls.begin(), urls.end()), urls.end()) << test::ReadFileBytes(log);
    for (int n = 1; n <= 4; ++n) {
        const std::string page = "/n/" + std::to_string(n) + ".html";
        EXPECT_EQ(std::count_if(urls.begin(), urls.end(),
                                [&](const std::string& url) { return url.find(page) != std::string::npos; }),
                  1)
            << page;
    }
}

TEST_F(CliFeedTest, OutputFileAndRefusals) {
    ASSERT_EQ(RunCli({"pass", "--dir", Dir(), "1"}).code, 0);
    const std::string file = dir_.File("feed.atom");
    const CliResult written = RunCli({"feed", "--dir", Dir(), "--limit", "2", "--output", file});
    ASSERT_EQ(written.code, 0) << written.err;
    EXPECT_TRUE(written.out.empty());
    EXPECT_EQ(Values(test::ReadFileBytes(file), "title").size(), 2u);
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos);
    }

    const struct {
        std::vector<std::string> args;
        int code;
    } refusals[] = {
        {{"feed", "--dir", Dir(), "--plan", "9"}, 2},
        {{"feed", "--dir", Dir(), "--limit", "0"}, 2},
        {{"feed", "--dir", Dir(), "--plan", "x"}, 2},
        {{"feed", "--dir", Dir(), "--output", ""}, 2},
        {{"feed", "--dir", Dir(), "--output", dir_.File("no/such/dir/f.atom")}, 2},
        {{"feed", "--dir", dir_.File("nothing-here")}, 3},
        {{"serve", "--dir", Dir(), "--listen", "localhost"}, 2},
        {{"serve", "--dir", Dir(), "--listen", "127.0.0.1:99999"}, 2},
        {{"pass", "--dir", Dir(), "--exec", ""}, 2},
        {{"watch", "--dir", Dir(), "--serve", "nope"}, 2},
    };
    for (const auto& refusal : refusals) {
        const CliResult result = RunCli(refusal.args, false, 60s);
        EXPECT_EQ(result.code, refusal.code) << refusal.args.back() << " " << result.err;
        EXPECT_EQ(test::LineCount(result.err), 1) << result.err;
        EXPECT_TRUE(result.out.empty()) << result.out;
    }
}

TEST_F(CliFeedTest, ServeAnswersOnLoopbackUntilInterrupted) {
    ASSERT_EQ(RunCli({"pass", "--dir", Dir(), "1"}).code, 0);
    CliProcess serve({"serve", "--dir", Dir(), "--listen", "127.0.0.1:0"});
    ASSERT_TRUE(serve.ReadUntil("/\n", 30s)) << serve.err();
    const std::string prefix = "serving http://127.0.0.1:";
    ASSERT_EQ(serve.out().rfind(prefix, 0), 0u) << serve.out();
    const int port = std::stoi(serve.out().substr(prefix.size()));
    httplib::Client client("127.0.0.1", port);
    const auto result = client.Get("/feeds/1.atom");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(Values(result->body, "title").size(), 4u);
    serve.Signal(SIGTERM);
    EXPECT_EQ(serve.Finish(30s), 0) << serve.err();
}

TEST_F(CliFeedTest, WatchServesTheFeedsInTheSameProcess) {
    CliProcess watch({"watch", "--dir", Dir(), "--json", "--serve", "127.0.0.1:0", "1"});
    // The last article of the first pass has been recorded once the page's status lines are through.
    ASSERT_TRUE(watch.ReadUntil("筛选链接数", 60s)) << watch.err();
    // The first record tells the port chosen.
    const std::string first = watch.out().substr(0, watch.out().find('\n'));
    const auto listening = nlohmann::json::parse(first, nullptr, false);
    ASSERT_TRUE(listening.is_object()) << first;
    EXPECT_EQ(listening.size(), 2u) << first;
    EXPECT_EQ(listening.value("event", ""), "listening") << first;
    const std::string address = listening.value("address", "");
    ASSERT_EQ(address.rfind("127.0.0.1:", 0), 0u) << first;
    const int port = std::stoi(address.substr(std::string("127.0.0.1:").size()));
    ASSERT_GT(port, 0);
    httplib::Client client("127.0.0.1", port);
    std::vector<std::string> titles;
    for (int attempt = 0; attempt < 100 && titles.size() != 4; ++attempt) {
        const auto result = client.Get("/feeds/1.atom");
        ASSERT_TRUE(result);
        // 503 while the pass still holds the write lock; a reader asks again.
        if (result->status == 200) titles = Values(result->body, "title");
        if (titles.size() != 4) std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(titles.size(), 4u);
    watch.Signal(SIGTERM);
    EXPECT_EQ(watch.Finish(60s), 0) << watch.err();
}

TEST_F(CliFeedTest, WatchWithoutJsonSaysWhereItServes) {
    CliProcess watch({"watch", "--dir", Dir(), "--serve", "127.0.0.1:0", "1"});
    ASSERT_TRUE(watch.ReadUntil("/\n", 60s)) << watch.err();
    const std::string first = watch.out().substr(0, watch.out().find('\n'));
    const std::string prefix = "serving http://127.0.0.1:";
    ASSERT_EQ(first.rfind(prefix, 0), 0u) << first;
    ASSERT_EQ(first.back(), '/') << first;
    const int port = std::stoi(first.substr(prefix.size()));
    ASSERT_GT(port, 0);
    httplib::Client client("127.0.0.1", port);
    const auto index = client.Get("/");
    ASSERT_TRUE(index);
    EXPECT_NE(index->status, 404);
    watch.Signal(SIGTERM);
    EXPECT_EQ(watch.Finish(60s), 0) << watch.err();
}

TEST_F(CliFeedTest, ServeListensOnLoopbackUnlessToldOtherwise) {
    CliProcess serve({"serve", "--dir", Dir()});
    if (!serve.ReadUntil("/\n", 30s)) {
        // Another program holds the default port: the refusal names it.
        EXPECT_EQ(serve.Finish(30s), 2);
        EXPECT_NE(serve.err().find("127.0.0.1:8765"), std::string::npos) << serve.err();
        return;
    }
    EXPECT_EQ(serve.out(), "serving http://127.0.0.1:8765/\n");
    serve.Signal(SIGINT);
    EXPECT_EQ(serve.Finish(30s), 0);
}

}  // namespace
}  // namespace marl
