// history through the real marltips-cli, on a database recorded as monitoring and older versions
// left it.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_runner.h"
#include "store/favourites.h"
#include "store/raw_sqlite.h"
#include "support/temp_dir.h"

namespace marl {
namespace {

using test::CliResult;
using test::RunCli;
using Lines = std::vector<std::string>;

class CliHistoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::CreateDatabaseFile(DbPath());
        test::RawSqlite raw(DbPath());
        raw.Exec(
            "INSERT INTO rule (id, name, url, code, part, url_key_i) VALUES "
            "(1, '新闻', 'http://127.0.0.1:1/', '2', '[*]', '1'), "
            "(2, '公告', 'http://127.0.0.1:1/', '2', '[*]', '1');"
            "CREATE TABLE article_plan (article INTEGER PRIMARY KEY, plan_id INTEGER NOT NULL);"
            // Recorded before times and plan ids were kept: position 2 in classid.
            "INSERT INTO info (classid, title, url, addtime) VALUES ('2', '旧的地铁消息', 'http://a.test/0', "
            "'');"
            "INSERT INTO info (classid, title, url, addtime) VALUES "
            "('1', '本市地铁三号线开通', 'http://a.test/1', '2024-03-05 07:08:09'),"
            "('2', 'Say \"hi\" OR NEAR(x)', 'http://a.test/2', '2024-03-05 07:08:10'),"
            "('1', 'Linux 地铁 Release', 'http://a.test/3?q=1&b=2', '2024-03-05 07:08:11');"
            "INSERT INTO article_plan (article, plan_id) VALUES (2, 1), (3, 2), (4, 1);");
    }

    std::string DbPath() const { return dir_.File("marltips.db"); }
    std::string Dir() const { return dir_.path().string(); }

    Lines Out(const Lines& args, bool unprivileged = false) {
        Lines command = {"history", "--dir", Dir()};
        command.insert(command.end(), args.begin(), args.end());
        const CliResult run = RunCli(command, unprivileged);
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_TRUE(run.err.empty()) << run.err;
        Lines lines;
        size_t start = 0;
        for (size_t end; (end = run.out.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(run.out.substr(start, end - start));
        return lines;
    }

    test::TempDir dir_;
};

TEST_F(CliHistoryTest, RecordsNewestFirstAsTheContractSpellsThem) {
    EXPECT_EQ(Out({"--json"}),
              (Lines{R"j({"event":"article","plan":"新闻","plan_id":1,"title":"Linux 地铁 Release",)j"
                     R"j("url":"http://a.test/3?q=1&b=2","time":"2024-03-05 07:08:11"})j",
                     R"j({"event":"article","plan":"公告","plan_id":2,"title":"Say \"hi\" OR NEAR(x)",)j"
                     R"j("url":"http://a.test/2","time":"2024-03-05 07:08:10"})j",
                     R"j({"event":"article","plan":"新闻","plan_id":1,"title":"本市地铁三号线开通",)j"
                     R"j("url":"http://a.test/1","time":"2024-03-05 07:08:09"})j",
                     R"j({"event":"article","plan":"公告","plan_id":null,"title":"旧的地铁消息",)j"
                     R"j("url":"http://a.test/0","time":""})j"}));
    // For people: one line per article.
    EXPECT_EQ(Out({"--limit", "2"}),
              (Lines{"2024-03-05 07:08:11  新闻  Linux 地铁 Release  http://a.test/3?q=1&b=2",
                     "2024-03-05 07:08:10  公告  Say \"hi\" OR NEAR(x)  http://a.test/2"}));
}

TEST_F(CliHistoryTest, SearchPlanFavouritesAndLimit) {
    const auto titles = [&](const Lines& args) {
        Lines command = args;
        command.push_back("--json");
        Lines out;
        for (const std::string& line : Out(command)) {
            const auto record = nlohmann::json::parse(line);
            out.push_back(record["title"]);
        }
        return out;
    };
    struct Row {
        Lines args;
        Lines expected;
    };
    const std::vector<Row> rows = {
        {{"--search", "地铁"}, {"Linux 地铁 Release", "本市地铁三号线开通", "旧的地铁消息"}},
        {{"--search", "LINUX 地铁"}, {"Linux 地铁 Release"}},
        {{"--search", "q=1&b"}, {"Linux 地铁 Release"}},
        {{"--search", "\"hi\" NEAR("}, {"Say \"hi\" OR NEAR(x)"}},
        {{"--search", "OR"}, {"Say \"hi\" OR NEAR(x)"}},
        {{"--search", "nothing-like-it"}, {}},
        {{"--search", "地铁", "--plan", "1"}, {"Linux 地铁 Release", "本市地铁三号线开通"}},
        {{"--search", "地铁", "--limit", "1"}, {"Linux 地铁 Release"}},
        {{"--plan", "2"}, {"Say \"hi\" OR NEAR(x)"}},
        {{"--favourites"}, {"本市地铁三号线开通", "Say \"hi\" OR NEAR(x)"}},
        {{"--favourites", "--search", "say"}, {"Say \"hi\" OR NEAR(x)"}},
        {{"--favourites", "--plan", "1"}, {"本市地铁三号线开通"}},
    };
    std::string why;
    ASSERT_TRUE(SetFavourite(DbPath(), 3, true, why)) << why;
    ASSERT_TRUE(SetFavourite(DbPath(), 2, true, why)) << why;
    for (const Row& row : rows) {
        std::string label;
        for (const std::string& word : row.args) label += word + " ";
        EXPECT_EQ(titles(row.args), row.expected) << label;
    }
    // The first search built the index, quietly.
    EXPECT_EQ(test::RawSqlite(DbPath()).Column("SELECT ready FROM article_search_state"), Lines{"1"});
    const CliResult unknown = RunCli({"history", "--dir", Dir(), "--plan", "3"});
    EXPECT_EQ(unknown.code, 2);
    EXPECT_EQ(unknown.err, "marltips-cli: history: no plan with id 3\n");
    EXPECT_EQ(RunCli({"history", "--dir", dir_.File("none")}).code, 3);
}

TEST_F(CliHistoryTest, ReadOnlyDatabaseIsSearchedWithoutAnIndex) {
    ::chmod(dir_.path().c_str(), 0777);
    if (::geteuid() == 0) {
        if (const std::string why = test::WhyNobodyCannotReach(Dir()); !why.empty()) {
            ::chmod(dir_.path().c_str(), 0755);
            GTEST_SKIP() << why;
        }
    }
    ::chmod(DbPath().c_str(), 0444);
    const Lines lines = Out({"--search", "三号线"}, true);
    EXPECT_EQ(lines, Lines{"2024-03-05 07:08:09  新闻  本市地铁三号线开通  http://a.test/1"});
    EXPECT_EQ(test::RawSqlite(DbPath()).Column(
                  "SELECT count(*) FROM sqlite_master WHERE name LIKE 'article_search%'"),
              Lines{"0"});
    ::chmod(dir_.path().c_str(), 0755);
}

}  // namespace
}  // namespace marl
