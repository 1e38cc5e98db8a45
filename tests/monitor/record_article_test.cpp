#include "monitor/record_article.h"

#include <gtest/gtest.h>

#include "store/database.h"
#include "store/plan_record.h"
#include "support/fake_clock.h"
#include "support/fake_monitor_ui.h"
#include "support/temp_dir.h"

namespace marl {
namespace {

using test::FakeClock;
using test::FakeMonitorUi;

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
    EXPECT_EQ(Stored(), std::vector<std::string>{"3|" + Gbk("标题一") + "|http://127.0.0.1/a/1.html|"});
}

TEST_F(RecordArticleTest, TheAddressAloneDecidesWhatIsNew) {
    Record("first", "a/1.html", 1);
    Record("same link again", "a/1.html", 1);      // same plan, same page
    Record("other plan", "a/1.html", 2);           // same address from another plan
    Record("letter case differs", "A/1.html", 2);  // case counts
    EXPECT_EQ(Stored(), (std::vector<std::string>{"1|first|http://127.0.0.1/a/1.html|",
                                                  "2|letter case differs|http://127.0.0.1/A/1.html|"}));
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
    EXPECT_EQ(Stored(), (std::vector<std::string>{"4|it's \"new\" ''|x.php?a='1'|", "4||empty-title|"}));
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
        "'http://127.0.0.1/a/1.html', '');";
    EXPECT_EQ(ui_.StatusLines(),
              std::vector<Text>{"[ 2024-03-05 07:08:09 ] " + Gbk("Sql Err：") + statement + "\r\n"});
    EXPECT_EQ(ui_.Calls(), (std::vector<std::string>{"row", "show", "status"}));
    Record("it's", "a/1.html", 2);
    EXPECT_EQ(ui_.Rows().size(), 2u);
    EXPECT_EQ(ui_.StatusLines().size(), 2u);
}

TEST_F(RecordArticleTest, ClosedDatabaseCountsNothingAndFailsTheStore) {
    db_.Close();
    Record("t", "a", 1);
    EXPECT_EQ(ui_.Rows().size(), 1u);
    ASSERT_EQ(ui_.StatusMessages().size(), 1u);
    EXPECT_EQ(ui_.StatusMessages()[0].rfind(Gbk("Sql Err：") + "INSERT INTO 'info'", 0), 0u);
}

TEST(InsertArticleStatement, ExactText) {
    EXPECT_EQ(InsertArticleStatement(12, "a'b", "u'"),
              "INSERT INTO 'info' ('classid', 'title', 'url', 'addtime') VALUES ('12', 'a''b', 'u''', '');");
}

}  // namespace
}  // namespace marl
