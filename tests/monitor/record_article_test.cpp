#include "monitor/record_article.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "store/database.h"
#include "store/plan_record.h"
#include "store/raw_sqlite.h"
#include "support/fake_clock.h"
#include "support/fake_monitor_ui.h"
#include "support/temp_dir.h"

namespace marl {
namespace {

using test::FakeClock;
using test::FakeMonitorUi;
using Outcome = ArticleRecorder::Outcome;

Text LeftLine(int count) {
    return Gbk("查重未完成（数据库被占用或出错），") + std::to_string(count) + Gbk(" 个链接留待下一轮");
}

Text DroppedLine(int count) {
    return Gbk("保存未完成（数据库被占用或出错），") + std::to_string(count) +
           Gbk(" 篇新文章下一轮将再次提示");
}

// A fake UI that runs a hook while an article is being shown (the moment a desktop user could act).
class HookedUi : public FakeMonitorUi {
  public:
    std::function<void(const Text& address)> on_show;
    void ShowArticle(const Text& title, const Text& address) override {
        FakeMonitorUi::ShowArticle(title, address);
        if (on_show) on_show(address);
    }
};

// A UI whose output fails at the n-th article row (counting from 1) and stays failed, as a closed
// terminal or a full disk would.
class FailingOutputUi : public FakeMonitorUi {
  public:
    explicit FailingOutputUi(int fail_at_row) : fail_at_row_(fail_at_row) {}
    void InsertArticleRow(int32_t position, const Text& plan_name, const Text& title, const Text& address,
                          const Text& short_time) override {
        FakeMonitorUi::InsertArticleRow(position, plan_name, title, address, short_time);
        if (static_cast<int>(Rows().size()) == fail_at_row_) failed_ = true;
    }
    bool OutputFailed() override { return failed_; }
    void Fail() { failed_ = true; }

  private:
    int fail_at_row_;
    bool failed_ = false;
};

class RecordArticleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::CreateDatabaseFile(dir_.File("marltips.db"));
        ASSERT_TRUE(db_.Open(dir_.File("marltips.db")));
        plan_.name = Gbk("新闻");
        plan_.dom = "http://127.0.0.1/";
    }

    // Every stored article as classid|title|url|addtime, in insert order.
    std::vector<std::string> Stored() {
        std::vector<std::vector<Text>> rows;
        db_.QueryRows("SELECT classid, title, url, addtime FROM info ORDER BY id", rows);
        std::vector<std::string> out;
        for (const auto& row : rows) out.push_back(row[0] + "|" + row[1] + "|" + row[2] + "|" + row[3]);
        return out;
    }

    void Record(const Text& title, const Text& link, int32_t position) {
        RecordArticle(context_, plan_, title, link, position);
    }

    test::TempDir dir_;
    Database db_;
    SharedPlanList plans_;
    FakeMonitorUi ui_;
    FakeClock clock_{2024, 3, 5, 7, 8, 9};
    MonitorContext context_{db_, plans_, ui_, clock_};
    PlanRecord plan_;
};

TEST_F(RecordArticleTest, NewArticleIsShownThenStored) {
    Record(Gbk("标题一"), "a/1.html", 3);

    ASSERT_EQ(ui_.Rows().size(), 1u);
    const auto row = ui_.Rows()[0];
    EXPECT_EQ(row.position, 3);
    EXPECT_EQ(row.plan, Gbk("新闻"));
    EXPECT_EQ(row.title, Gbk("标题一"));
    EXPECT_EQ(row.address, "http://127.0.0.1/a/1.html");
    EXPECT_EQ(row.time, "03-05 07:08");
    ASSERT_EQ(ui_.ShownArticles().size(), 1u);
    EXPECT_EQ(ui_.ShownArticles()[0].title, Gbk("标题一"));
    EXPECT_EQ(ui_.ShownArticles()[0].address, "http://127.0.0.1/a/1.html");
    EXPECT_EQ(ui_.Calls(), (std::vector<std::string>{"row", "show"}));
    EXPECT_TRUE(ui_.StatusLines().empty());
    EXPECT_EQ(Stored(), std::vector<std::string>{"3|" + Gbk("标题一") +
                                                 "|http://127.0.0.1/a/1.html|2024-03-05 07:08:09"});
}

TEST_F(RecordArticleTest, TheAddressAloneDecidesWhatIsNew) {
    Record("first", "a/1.html", 1);
    Record("same link again", "a/1.html", 1);      // same plan, same page
    Record("other plan", "a/1.html", 2);           // same address from another plan
    Record("letter case differs", "A/1.html", 2);  // case counts
    EXPECT_EQ(Stored(), (std::vector<std::string>{
                            "1|first|http://127.0.0.1/a/1.html|2024-03-05 07:08:09",
                            "2|letter case differs|http://127.0.0.1/A/1.html|2024-03-05 07:08:09"}));
    EXPECT_EQ(ui_.Rows().size(), 2u);
    EXPECT_EQ(ui_.ShownArticles().size(), 2u);
    EXPECT_TRUE(ui_.StatusLines().empty());
}

TEST_F(RecordArticleTest, PrefixIsPutInFrontOfAnyLink) {
    struct Case {
        const char* dom;
        const char* link;
        const char* address;
    };
    const Case cases[] = {
        {"", "news/2.html", "news/2.html"},
        {"", "http://example.test/x", "http://example.test/x"},
        {"http://a.test", "http://b.test/y", "http://a.testhttp://b.test/y"},  // no resolution at all
        {"http://a.test/", "../up.html", "http://a.test/../up.html"},
    };
    int32_t position = 1;
    for (const Case& c : cases) {
        plan_.dom = c.dom;
        Record("t", c.link, position++);
        EXPECT_EQ(ui_.Rows().front().address, c.address);
    }
    EXPECT_EQ(Stored().size(), 4u);
}

TEST_F(RecordArticleTest, QuotesInTitleAndAddressAreStoredWhole) {
    plan_.dom = "";
    Record("it's \"new\" ''", "x.php?a='1'", 4);
    Record("", "empty-title", 4);
    EXPECT_EQ(Stored(), (std::vector<std::string>{"4|it's \"new\" ''|x.php?a='1'|2024-03-05 07:08:09",
                                                  "4||empty-title|2024-03-05 07:08:09"}));
    EXPECT_EQ(ui_.Rows().back().title, "it's \"new\" ''");
    // The quoted address is found again: nothing new on a second pass.
    Record("it's", "x.php?a='1'", 4);
    EXPECT_EQ(Stored().size(), 2u);
}

TEST_F(RecordArticleTest, NewestRowGoesOnTop) {
    Record("c", "3", 1);
    Record("b", "2", 1);
    Record("a", "1", 1);
    const auto rows = ui_.Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].title, "a");
    EXPECT_EQ(rows[2].title, "c");
}

TEST_F(RecordArticleTest, FailedStoreIsLoggedAndShownAgainNextTime) {
    ASSERT_TRUE(db_.ExecuteSql("PRAGMA query_only = 1"));  // the file can no longer be written
    Record("it's", "a/1.html", 2);
    const Text statement =
        "INSERT INTO 'info' ('classid', 'title', 'url', 'addtime') VALUES ('2', 'it''s', "
        "'http://127.0.0.1/a/1.html', '2024-03-05 07:08:09');";
    EXPECT_EQ(ui_.StatusLines(),
              std::vector<Text>{"[ 2024-03-05 07:08:09 ] " + Gbk("Sql Err：") + statement + "\r\n"});
    EXPECT_EQ(ui_.Calls(), (std::vector<std::string>{"row", "show", "status"}));
    Record("it's", "a/1.html", 2);
    EXPECT_EQ(ui_.Rows().size(), 2u);
    EXPECT_EQ(ui_.StatusLines().size(), 2u);
}

TEST_F(RecordArticleTest, ClosedDatabaseLeavesTheArticleForTheNextPass) {
    // Without an answer to the seen-check the article may well be known: it is neither shown nor
    // stored, and the status box says why.
    db_.Close();
    Record("t", "a", 1);
    EXPECT_TRUE(ui_.Rows().empty());
    EXPECT_TRUE(ui_.ShownArticles().empty());
    EXPECT_EQ(ui_.StatusMessages(), std::vector<Text>{LeftLine(1)});
}

// Another program holds the file: a stored article never comes back, a new one waits for the next
// pass and is then shown and stored once.
TEST_F(RecordArticleTest, FileHeldByAnotherProgramShowsNothingTwice) {
    Record("known", "known.html", 1);
    ASSERT_EQ(ui_.Rows().size(), 1u);
    db_.SetBusyTimeout(std::chrono::milliseconds(100));
    struct Case {
        const char* lock;
        Outcome known;  // what the stored article gets while the lock is held
        int left;
    };
    const Case cases[] = {
        // A writer in the middle of its commit: not even a read gets through, so nothing is asked
        // after the first failure either.
        {"BEGIN EXCLUSIVE", Outcome::kLeft, 2},
        // A writer that has not committed yet: reads still settle the known article.
        {"BEGIN IMMEDIATE", Outcome::kKnown, 1},
    };
    for (const Case& c : cases) {
        const Text fresh = std::string("new-") + c.lock + ".html";
        FakeMonitorUi ui;
        MonitorContext context{db_, plans_, ui, clock_};
        {
            test::RawSqlite other(dir_.File("marltips.db"));
            other.Exec(c.lock);
            ArticleRecorder recorder(context, plan_, 1);
            EXPECT_EQ(recorder.Record("known.html", "known"), c.known) << c.lock;
            EXPECT_EQ(recorder.Record(fresh, "fresh"), Outcome::kLeft) << c.lock;
            recorder.Finish();
            other.Exec("ROLLBACK");
        }
        EXPECT_TRUE(ui.Rows().empty()) << c.lock;
        EXPECT_EQ(ui.StatusMessages(), std::vector<Text>{LeftLine(c.left)}) << c.lock;

        // The next pass, with the file free again.
        ArticleRecorder recorder(context, plan_, 1);
        EXPECT_EQ(recorder.Record("known.html", "known"), Outcome::kKnown) << c.lock;
        EXPECT_EQ(recorder.Record(fresh, "fresh"), Outcome::kRecorded) << c.lock;
        EXPECT_EQ(recorder.Record(fresh, "fresh"), Outcome::kKnown) << c.lock;
        recorder.Finish();
        ASSERT_EQ(ui.Rows().size(), 1u) << c.lock;
        EXPECT_EQ(ui.Rows()[0].address, plan_.dom + fresh);
    }
    EXPECT_EQ(Stored(), (std::vector<std::string>{
                            "1|known|http://127.0.0.1/known.html|2024-03-05 07:08:09",
                            "1|fresh|http://127.0.0.1/new-BEGIN EXCLUSIVE.html|2024-03-05 07:08:09",
                            "1|fresh|http://127.0.0.1/new-BEGIN IMMEDIATE.html|2024-03-05 07:08:09"}));
}

TEST_F(RecordArticleTest, LinksThatAreNotValidGbkAreRecordedOnceAndKeptApart) {
    plan_.dom = "";
    // A lone lead byte at the end, lead bytes before bytes no pair can end in, and two that differ
    // only in their invalid byte.
    const Text links[] = {"/a\x81", "/b\x81\x7F", "/c\x90 x", "/d\x82", "/d\x83"};
    for (int pass = 1; pass <= 3; ++pass) {
        for (const Text& link : links) Record("t", link, 1);
    }
    EXPECT_EQ(ui_.Rows().size(), std::size(links));
    EXPECT_TRUE(ui_.StatusLines().empty());
    // Stored byte for byte, as they were looked up.
    test::RawSqlite raw(dir_.File("marltips.db"));
    EXPECT_EQ(raw.Column("SELECT url FROM info ORDER BY id"),
              std::vector<std::string>(std::begin(links), std::end(links)));
    // A valid address with Chinese text still goes in as UTF-8 and is found again.
    Record("t", Gbk("/新闻"), 1);
    Record("t", Gbk("/新闻"), 1);
    EXPECT_EQ(raw.Column("SELECT url FROM info WHERE url LIKE '/%闻'"), std::vector<std::string>{"/新闻"});
}

TEST_F(RecordArticleTest, FailedCommitSaysSoAndTheArticlesComeBack) {
    db_.SetBusyTimeout(std::chrono::milliseconds(100));
    test::RawSqlite reader(dir_.File("marltips.db"));
    reader.Exec("BEGIN");
    reader.Column("SELECT url FROM info");  // a read lock that outlasts our busy time
    {
        ArticleRecorder recorder(context_, plan_, 2);
        EXPECT_EQ(recorder.Record("1", "one"), Outcome::kRecorded);
        EXPECT_EQ(recorder.Record("2", "two"), Outcome::kRecorded);
    }  // finished by the destructor
    reader.Exec("COMMIT");
    EXPECT_EQ(ui_.Rows().size(), 2u);
    EXPECT_EQ(ui_.StatusMessages(), std::vector<Text>{DroppedLine(2)});
    EXPECT_TRUE(Stored().empty());

    Record("one", "1", 2);
    Record("two", "2", 2);
    EXPECT_EQ(ui_.Rows().size(), 4u);
    EXPECT_EQ(Stored().size(), 2u);
}

// The desktop program shares the connection with the plan editor: a plan saved while the worker
// shows an article is committed on its own, never held in (or lost with) the articles' transaction.
TEST_F(RecordArticleTest, StatementOfAnotherCallerIsNeverPartOfTheRecording) {
    HookedUi ui;
    MonitorContext context{db_, plans_, ui, clock_};
    test::RawSqlite other(dir_.File("marltips.db"));
    std::vector<std::string> seen_by_other;
    ui.on_show = [&](const Text& address) {
        ASSERT_TRUE(db_.ExecuteSql("INSERT INTO rule (name) VALUES ('" + address + "')"));
        const auto names = other.Column("SELECT name FROM rule");
        seen_by_other.push_back(names.empty() ? "" : names.back());
    };
    ArticleRecorder recorder(context, plan_, 1);
    EXPECT_EQ(recorder.Record("a", "A"), Outcome::kRecorded);
    EXPECT_EQ(recorder.Record("a", "A"), Outcome::kKnown);
    EXPECT_EQ(recorder.Record("b", "B"), Outcome::kRecorded);
    recorder.Finish();
    EXPECT_EQ(seen_by_other, (std::vector<std::string>{"http://127.0.0.1/a", "http://127.0.0.1/b"}));
    EXPECT_EQ(Stored(), (std::vector<std::string>{"1|A|http://127.0.0.1/a|2024-03-05 07:08:09",
                                                  "1|B|http://127.0.0.1/b|2024-03-05 07:08:09"}));
    EXPECT_TRUE(ui.StatusLines().empty());
}

TEST_F(RecordArticleTest, TitleIsAskedForOnlyWhenTheArticleIsNew) {
    int asked = 0;
    const auto title = [&asked] {
        ++asked;
        return Text("made");
    };
    ArticleRecorder recorder(context_, plan_, 1);
    EXPECT_EQ(recorder.Record("x", title), Outcome::kRecorded);
    EXPECT_EQ(recorder.Record("x", title), Outcome::kKnown);
    recorder.Finish();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ui_.Rows()[0].title, "made");
}

// Output that fails while a plan is recorded: what the plan showed since its last commit is taken
// back, nothing more is looked at or shown, and the next pass shows those articles again. A plan that
// finished before the failure keeps what it stored.
TEST_F(RecordArticleTest, FailedOutputTakesBackTheArticlesNotCommitted) {
    struct Case {
        int fail_at_row;  // 0: the output had failed before the plan began
        std::vector<Outcome> outcomes;
    };
    const Case cases[] = {
        {0, {Outcome::kLeft, Outcome::kLeft, Outcome::kLeft}},
        {1, {Outcome::kLeft, Outcome::kLeft, Outcome::kLeft}},
        {3, {Outcome::kRecorded, Outcome::kRecorded, Outcome::kLeft}},
    };
    for (const Case& c : cases) {
        const std::string where = "row " + std::to_string(c.fail_at_row);
        const Text finished = "finished-" + std::to_string(c.fail_at_row);
        FailingOutputUi ui(c.fail_at_row == 0 ? -1 : c.fail_at_row + 1);
        MonitorContext context{db_, plans_, ui, clock_};
        RecordArticle(context, plan_, "kept", finished, 1);  // an earlier plan, committed
        if (c.fail_at_row == 0) ui.Fail();
        std::vector<Outcome> outcomes;
        {
            ArticleRecorder recorder(context, plan_, 2);
            for (const char* link : {"a", "b", "c"})
                outcomes.push_back(recorder.Record(link + finished, "t"));
        }  // finished by the destructor
        EXPECT_EQ(outcomes, c.outcomes) << where;
        EXPECT_EQ(ui.StatusLines().size(), 0u) << where;
        EXPECT_EQ(Stored(),
                  std::vector<std::string>{"1|kept|" + plan_.dom + finished + "|2024-03-05 07:08:09"})
            << where;

        FakeMonitorUi next_ui;
        MonitorContext next{db_, plans_, next_ui, clock_};
        ArticleRecorder recorder(next, plan_, 2);
        for (const char* link : {"a", "b", "c"}) recorder.Record(link + finished, "t");
        recorder.Finish();
        EXPECT_EQ(next_ui.Rows().size(), 3u) << where;
        db_.ExecuteSql("DELETE FROM info");
    }
}

TEST(InsertArticleStatement, ExactText) {
    EXPECT_EQ(InsertArticleStatement(12, "a'b", "u'"),
              "INSERT INTO 'info' ('classid', 'title', 'url', 'addtime') VALUES ('12', 'a''b', 'u''', '');");
}

}  // namespace
}  // namespace marl
