// The command for new articles, run for real through /bin/sh.
#include "feeds/command_runner.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <nlohmann/json.hpp>
#include <vector>

#include "support/temp_dir.h"
#include "text/text.h"

namespace marl {
namespace {

using namespace std::chrono_literals;
using feeds::CommandOutcome;
using feeds::CommandRunner;
using Kind = CommandOutcome::Kind;

NewArticle Article(const std::string& utf8_title,
                   const std::string& address = "http://127.0.0.1/a?x=1&amp;y=2") {
    return {42, Gbk("新闻 \"plan\""), Gbk(utf8_title), address, "2024-03-05 07:08:09"};
}

// Collects the runner's status messages.
struct Reports {
    std::mutex mutex;
    std::vector<Text> lines;
    CommandRunner::Report Sink() {
        return [this](const Text& line) {
            std::lock_guard<std::mutex> lock(mutex);
            lines.push_back(line);
        };
    }
};

TEST(ArticleCommand, HostileTitlesAreDataNeverCode) {
    test::TempDir dir;
    const std::string marker = dir.File("x");
    const std::vector<std::string> titles = {"\"; rm -rf ~; \"", "$(touch " + marker + ")",
                                             "`touch " + marker + "`", "'; touch " + marker + "; '",
                                             "a\nb; touch " + marker};
    for (const std::string& title : titles) {
        const std::string out = dir.File("out");
        std::filesystem::remove(out);
        // The command reads the article from its environment and its standard input only.
        const std::string command = "printf '%s' \"$MARL_TITLE\" > '" + out + ".env'; cat > '" + out + ".in'";
        const CommandOutcome outcome = feeds::RunArticleCommand(command, Article(title), 10s);
        EXPECT_EQ(outcome.kind, Kind::kSucceeded) << title;
        EXPECT_FALSE(std::filesystem::exists(marker)) << title;
        EXPECT_EQ(test::ReadFileBytes(out + ".env"), title);
        const auto json = nlohmann::json::parse(test::ReadFileBytes(out + ".in"));
        EXPECT_EQ(json["title"], title);
    }
}

TEST(ArticleCommand, EnvironmentAndStandardInputCarryTheArticle) {
    test::TempDir dir;
    const std::string out = dir.File("env");
    const std::string command =
        "printf '%s|%s|%s|%s|%s' \"$MARL_PLAN\" \"$MARL_PLAN_ID\" \"$MARL_TITLE\" "
        "\"$MARL_URL\" \"$MARL_TIME\" > '" +
        out + "'; cat > '" + out + ".in'";
    ASSERT_EQ(feeds::RunArticleCommand(command, Article("第一篇 English"), 10s).kind, Kind::kSucceeded);
    EXPECT_EQ(test::ReadFileBytes(out),
              "新闻 \"plan\"|42|第一篇 English|http://127.0.0.1/a?x=1&y=2|2024-03-05 07:08:09");
    EXPECT_EQ(test::ReadFileBytes(out + ".in"),
              "{\"plan\":\"新闻 \\\"plan\\\"\",\"plan_id\":42,\"title\":\"第一篇 English\","
              "\"url\":\"http://127.0.0.1/a?x=1&y=2\",\"time\":\"2024-03-05 07:08:09\"}\n");
}

TEST(ArticleCommand, OutcomesAndTheirStatusLines) {
    const struct {
        const char* command;
        Kind kind;
        int exit_code;
        const char* line;  // UTF-8, empty for none
    } cases[] = {
        {"true", Kind::kSucceeded, 0, ""},
        {"exit 3", Kind::kFailed, 3, "新文章命令出错：[新闻 \"plan\"] 退出码 3"},
        {"no-such-command-marltips", Kind::kFailed, 127, "新文章命令出错：[新闻 \"plan\"] 退出码 127"},
        // Flooding its output does not hold the command up: the output goes nowhere.
        {"head -c 20000000 /dev/zero; yes | head -n 100000", Kind::kSucceeded, 0, ""},
        // A command that never reads its input still gets it and ends.
        {"exec 0<&-; exit 0", Kind::kSucceeded, 0, ""},
    };
    for (const auto& c : cases) {
        const CommandOutcome outcome = feeds::RunArticleCommand(c.command, Article("t"), 20s);
        EXPECT_EQ(outcome.kind, c.kind) << c.command;
        EXPECT_EQ(outcome.exit_code, c.exit_code) << c.command;
        EXPECT_EQ(feeds::CommandFailureMessage(Article("t"), outcome, 20s), Gbk(c.line)) << c.command;
    }
}

TEST(ArticleCommand, HangingCommandIsEndedAfterTheTimeLimitWithWhatItStarted) {
    test::TempDir dir;
    const std::string pid_file = dir.File("pid");
    // The child of the shell must end too: the whole process group is ended.
    const CommandOutcome outcome =
        feeds::RunArticleCommand("sleep 600 & echo $! > '" + pid_file + "'; wait", Article("t"), 300ms);
    EXPECT_EQ(outcome.kind, Kind::kTimedOut);
    EXPECT_EQ(feeds::CommandFailureMessage(Article("t"), outcome, 30s),
              Gbk("新文章命令超时，30 秒后已结束：[新闻 \"plan\"] 退出码 137"));
    const pid_t sleeper = std::stoi(test::ReadFileBytes(pid_file));
    // Reaped by init or still a zombie for a moment; either way it no longer runs.
    for (int i = 0; i < 200 && kill(sleeper, 0) == 0; ++i) {
        const std::string state = test::ReadFileBytes("/proc/" + std::to_string(sleeper) + "/stat");
        if (state.find(") Z") != std::string::npos) break;
        usleep(10000);
    }
    const std::string stat = "/proc/" + std::to_string(sleeper) + "/stat";
    if (std::filesystem::exists(stat)) {
        EXPECT_NE(test::ReadFileBytes(stat).find(") Z"), std::string::npos);
    }
}

TEST(CommandRunner, RunsEveryArticleInOrderOffTheCallersThread) {
    test::TempDir dir;
    const std::string log = dir.File("log");
    Reports reports;
    CommandRunner::Options options;
    options.max_running = 1;
    CommandRunner runner("printf '%s\\n' \"$MARL_TITLE\" >> '" + log + "'", reports.Sink(), options);
    // One at a time, then as the batch of a commit.
    for (int i = 0; i < 10; ++i) runner.OnNewArticle(Article("t" + std::to_string(i)));
    std::vector<NewArticle> batch;
    for (int i = 10; i < 20; ++i) batch.push_back(Article("t" + std::to_string(i)));
    runner.OnNewArticles(std::move(batch));
    ASSERT_TRUE(runner.WaitIdle(nullptr, 50ms));
    std::string expected;
    for (int i = 0; i < 20; ++i) expected += "t" + std::to_string(i) + "\n";
    EXPECT_EQ(test::ReadFileBytes(log), expected);
    EXPECT_TRUE(reports.lines.empty());
}

TEST(CommandRunner, FullQueueDropsTheNewestAndSaysSoOnce) {
    test::TempDir dir;
    Reports reports;
    CommandRunner::Options options;
    options.max_running = 1;
    options.queue_limit = 2;
    for (const bool one_batch : {false, true}) {
        const std::string gate = dir.File(one_batch ? "gate-batch" : "gate-one-by-one");
        {
            // The first command waits for the gate, so the queue fills behind it.
            CommandRunner runner("while [ ! -e '" + gate + "' ]; do sleep 0.01; done", reports.Sink(),
                                 options);
            std::vector<NewArticle> articles;
            for (int i = 0; i < 6; ++i) articles.push_back(Article("t" + std::to_string(i)));
            if (one_batch) {
                runner.OnNewArticles(std::move(articles));
            } else {
                for (const NewArticle& article : articles) runner.OnNewArticle(article);
            }
            std::lock_guard<std::mutex> lock(reports.mutex);
            // One to three were taken (one may already run), the rest dropped with a single line.
            ASSERT_EQ(reports.lines.size(), 1u) << one_batch;
            EXPECT_EQ(reports.lines[0].rfind(Gbk("新文章命令排队已满（2 条）"), 0), 0u);
            // A batch is queued whole before any command starts: the third is the first dropped.
            if (one_batch) {
                EXPECT_EQ(reports.lines[0].substr(reports.lines[0].size() - 2), "t2");
            }
            reports.lines.clear();
        }
        // Ending the runner left the waiting command to itself: nothing was reported after the end.
        test::WriteFileBytes(gate, "");
        std::lock_guard<std::mutex> lock(reports.mutex);
        EXPECT_TRUE(reports.lines.empty());
    }
}

TEST(CommandRunner, FailuresAreReportedAndMonitoringGoesOn) {
    Reports reports;
    CommandRunner runner("exit 5", reports.Sink());
    runner.OnNewArticle(Article("a"));
    runner.OnNewArticle(Article("b"));
    ASSERT_TRUE(runner.WaitIdle(nullptr, 50ms));
    std::lock_guard<std::mutex> lock(reports.mutex);
    EXPECT_EQ(reports.lines, (std::vector<Text>(2, Gbk("新文章命令出错：[新闻 \"plan\"] 退出码 5"))));
}

}  // namespace
}  // namespace marl
