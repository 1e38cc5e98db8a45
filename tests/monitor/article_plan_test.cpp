// What recording keeps beside the four columns of `info`: the local time in `addtime` and the
// plan's id in table article_plan, on new files and on files written before either was kept.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <vector>

#include "monitor/monitor_context.h"
#include "monitor/new_article_hook.h"
#include "monitor/record_article.h"
#include "store/database.h"
#include "store/raw_sqlite.h"
#include "support/fake_clock.h"
#include "support/fake_monitor_ui.h"
#include "support/temp_dir.h"

namespace marl {
namespace {

class RecordingHook : public NewArticleHook {
  public:
    void OnNewArticle(const NewArticle& article) override { articles.push_back(article); }
    std::vector<NewArticle> articles;
};

class ArticlePlanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::CreateDatabaseFile(path_);
        plan_.id = 7;
        plan_.name = Gbk("新闻");
        plan_.dom = "http://127.0.0.1/";
        context_.new_article_hook = &hook_;
    }

    void OpenAndRecord(const std::vector<Text>& links) {
        ASSERT_TRUE(db_.Open(path_));
        ArticleRecorder recorder(context_, plan_, 2);
        for (const Text& link : links) recorder.Record(link, Gbk("标题 ") + link);
        recorder.Finish();
    }

    std::vector<std::string> Column(const std::string& sql) {
        test::RawSqlite raw(path_);
        return raw.Column(sql);
    }

    test::TempDir dir_;
    std::string path_ = dir_.File("marltips.db");
    Database db_;
    SharedPlanList plans_;
    test::FakeMonitorUi ui_;
    test::FakeClock clock_{2024, 3, 5, 7, 8, 9};
    MonitorContext context_{db_, plans_, ui_, clock_};
    RecordingHook hook_;
    PlanRecord plan_;
};

TEST_F(ArticlePlanTest, NewArticleKeepsItsTimeAndPlanIdAndReachesTheHook) {
    OpenAndRecord({"a/1.html", "a/2.html"});
    EXPECT_EQ(Column("SELECT addtime FROM info ORDER BY id"),
              (std::vector<std::string>{"2024-03-05 07:08:09", "2024-03-05 07:08:09"}));
    // The plan's id, not its position, with the rowid of each article.
    EXPECT_EQ(
        Column("SELECT i.url || '=' || p.plan_id FROM info i JOIN article_plan p ON p.article = i.rowid "
               "ORDER BY i.id"),
        (std::vector<std::string>{"http://127.0.0.1/a/1.html=7", "http://127.0.0.1/a/2.html=7"}));
    EXPECT_EQ(Column("SELECT classid FROM info ORDER BY id"), (std::vector<std::string>{"2", "2"}));

    ASSERT_EQ(hook_.articles.size(), 2u);
    EXPECT_EQ(hook_.articles[0].plan_id, 7);
    EXPECT_EQ(hook_.articles[0].plan_name, Gbk("新闻"));
    EXPECT_EQ(hook_.articles[0].title, Gbk("标题 a/1.html"));
    EXPECT_EQ(hook_.articles[0].address, "http://127.0.0.1/a/1.html");
    EXPECT_EQ(hook_.articles[0].time, "2024-03-05 07:08:09");
}

TEST_F(ArticlePlanTest, KnownArticleNeitherStoredAgainNorHandedToTheHook) {
    OpenAndRecord({"a/1.html"});
    OpenAndRecord({"a/1.html"});
    EXPECT_EQ(Column("SELECT count(*) FROM info"), std::vector<std::string>{"1"});
    EXPECT_EQ(Column("SELECT count(*) FROM article_plan"), std::vector<std::string>{"1"});
    EXPECT_EQ(hook_.articles.size(), 1u);
}

TEST_F(ArticlePlanTest, FileFromBeforeKeepsWorkingWithTheOriginalStatements) {
    {
        // A file as older versions left it: rows with an empty time and no article_plan table.
        test::RawSqlite raw(path_);
        raw.Exec(
            "INSERT INTO info (classid, title, url, addtime) VALUES ('1', 'old', 'http://127.0.0.1/old', "
            "'')");
    }
    ASSERT_EQ(Column("SELECT count(*) FROM sqlite_master WHERE name = 'article_plan'"),
              std::vector<std::string>{"0"});
    OpenAndRecord({"old", "new"});
    // The seen-check still knows the old row; the new one is stored with its plan.
    EXPECT_EQ(
        Column("SELECT url || '|' || addtime FROM info ORDER BY id"),
        (std::vector<std::string>{"http://127.0.0.1/old|", "http://127.0.0.1/new|2024-03-05 07:08:09"}));
    EXPECT_EQ(Column("SELECT plan_id FROM article_plan"), std::vector<std::string>{"7"});

    // The statements of the original program run unchanged on the file that now has the table.
    EXPECT_TRUE(db_.ExecuteSql(InsertArticleStatement(3, "t", "http://127.0.0.1/by-hand")));
    EXPECT_EQ(db_.CountArticlesWhere("url='http://127.0.0.1/by-hand'"), 1);
    EXPECT_EQ(db_.CountArticlesWhere("url='http://127.0.0.1/new'"), 1);
}

// Nothing reaches a file that cannot be written: the article is shown (and again every pass, with
// its "Sql Err：" line), but the hook is told only of recorded articles, so a command never runs
// once per pass for the same article.
TEST_F(ArticlePlanTest, ReadOnlyFileStillMonitorsButTellsTheHookNothing) {
    ASSERT_EQ(chmod(path_.c_str(), 0444), 0);
    if (access(path_.c_str(), W_OK) == 0) GTEST_SKIP() << "running as a user who can write any file";
    OpenAndRecord({"a/1.html"});
    EXPECT_EQ(ui_.Rows().size(), 1u);
    EXPECT_TRUE(hook_.articles.empty());
    ASSERT_EQ(ui_.StatusMessages().size(), 1u);
    EXPECT_EQ(ui_.StatusMessages()[0].rfind(Gbk("Sql Err："), 0), 0u);
    EXPECT_EQ(Column("SELECT count(*) FROM sqlite_master WHERE name = 'article_plan'"),
              std::vector<std::string>{"0"});
}

TEST_F(ArticlePlanTest, QueryOnlyConnectionStillMonitors) {
    // Root can write any file: a connection that refuses writes stands in for a read-only one.
    ASSERT_TRUE(db_.Open(path_));
    ASSERT_TRUE(db_.ExecuteSql("PRAGMA query_only = 1"));
    ArticleRecorder recorder(context_, plan_, 2);
    recorder.Record("a/1.html", "t");
    recorder.Record("a/2.html", "t");
    recorder.Finish();
    EXPECT_EQ(ui_.Rows().size(), 2u);
    EXPECT_TRUE(hook_.articles.empty());
    EXPECT_EQ(Column("SELECT count(*) FROM info"), std::vector<std::string>{"0"});
}

std::vector<Text> Addresses(const std::vector<NewArticle>& articles) {
    std::vector<Text> addresses;
    for (const NewArticle& article : articles) addresses.push_back(article.address);
    return addresses;
}

// A commit that fails takes its articles back: the hook hears nothing of them, and when the next
// pass records them, of each exactly once.
TEST_F(ArticlePlanTest, HookHearsOnlyOfCommittedArticles) {
    ASSERT_TRUE(db_.Open(path_));
    db_.SetBusyTimeout(std::chrono::milliseconds(100));
    {
        test::RawSqlite reader(path_);
        reader.Exec("BEGIN");
        reader.Column("SELECT url FROM info");  // a read lock that outlasts our busy time
        OpenAndRecord({"a/1.html", "a/2.html"});
        reader.Exec("COMMIT");
    }
    EXPECT_EQ(ui_.Rows().size(), 2u);
    EXPECT_EQ(Column("SELECT count(*) FROM info"), std::vector<std::string>{"0"});
    EXPECT_TRUE(hook_.articles.empty());

    OpenAndRecord({"a/1.html", "a/2.html"});
    OpenAndRecord({"a/1.html", "a/2.html"});
    EXPECT_EQ(Addresses(hook_.articles),
              (std::vector<Text>{"http://127.0.0.1/a/1.html", "http://127.0.0.1/a/2.html"}));
    EXPECT_EQ(hook_.articles[1].title, Gbk("标题 a/2.html"));
}

// A UI that lets the desktop's other callers use the connection while an article is shown.
class ShowingUi : public test::FakeMonitorUi {
  public:
    std::function<void()> on_show;
    void ShowArticle(const Text& title, const Text& address) override {
        FakeMonitorUi::ShowArticle(title, address);
        if (on_show) on_show();
    }
};

// Another caller's statement commits the first article in the middle of the plan; the second one's
// commit then fails. The hook is told of the first only, and of the second when it is recorded.
TEST_F(ArticlePlanTest, ArticleCommittedByAnotherCallerIsToldWhenItsNeighbourRollsBack) {
    ASSERT_TRUE(db_.Open(path_));
    db_.SetBusyTimeout(std::chrono::milliseconds(100));
    ShowingUi ui;
    MonitorContext context{db_, plans_, ui, clock_, {}, &hook_};
    test::RawSqlite reader(path_);
    int shown = 0;
    ui.on_show = [&] {
        if (++shown != 2) return;
        // The plan editor saves meanwhile: the first article is committed with it.
        ASSERT_TRUE(db_.ExecuteSql("INSERT INTO rule (name) VALUES ('saved')"));
        reader.Exec("BEGIN");
        reader.Column("SELECT url FROM info");  // the second article's commit cannot get through
    };
    {
        ArticleRecorder recorder(context, plan_, 2);
        recorder.Record("a/1.html", "one");
        recorder.Record("a/2.html", "two");
        recorder.Finish();
    }
    reader.Exec("COMMIT");
    EXPECT_EQ(Column("SELECT url FROM info"), std::vector<std::string>{"http://127.0.0.1/a/1.html"});
    EXPECT_EQ(Addresses(hook_.articles), std::vector<Text>{"http://127.0.0.1/a/1.html"});

    OpenAndRecord({"a/1.html", "a/2.html"});
    EXPECT_EQ(Addresses(hook_.articles),
              (std::vector<Text>{"http://127.0.0.1/a/1.html", "http://127.0.0.1/a/2.html"}));
}

}  // namespace
}  // namespace marl
