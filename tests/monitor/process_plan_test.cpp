#include "monitor/process_plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "store/database.h"
#include "store/plan_record.h"
#include "store/search_index.h"
#include "support/fake_clock.h"
#include "support/fake_monitor_ui.h"
#include "support/page_server.h"
#include "support/temp_dir.h"
#include "text/gbk_codec.h"

namespace marl {
namespace {

using namespace std::string_literals;
using test::FakeClock;
using test::FakeMonitorUi;

std::string Anchor(const std::string& link, const std::string& html) {
    return "<a href=\"" + link + "\">" + html + "</a>";
}

class ProcessPlanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::CreateDatabaseFile(dir_.File("marltips.db"));
        ASSERT_TRUE(db_.Open(dir_.File("marltips.db")));
    }

    // A plan named "P<n>" that fetches `path` from the test site with an empty prefix.
    PlanRecord Plan(int n, const std::string& path) {
        PlanRecord plan;
        plan.id = n;
        plan.name = "P" + std::to_string(n);
        plan.url = server_.Url(path);
        plan.code = "2";
        return plan;
    }

    void SetPlans(std::vector<PlanRecord> plans) {
        plans_.Set(std::make_shared<const PlanList>(std::move(plans)));
    }

    // Sets one plan for `page` and runs it at position 1.
    void RunOne(PlanRecord plan, const std::string& page) {
        server_.SetPage("/list", page);
        plan.url = server_.Url("/list");
        SetPlans({plan});
        ProcessPlan(context_, 1);
    }

    std::vector<Text> Titles() const {
        std::vector<Text> titles;
        for (const auto& row : ui_.Rows()) titles.push_back(row.title);
        return titles;
    }

    std::vector<std::string> StoredUrls() {
        std::vector<std::vector<Text>> rows;
        db_.QueryRows("SELECT classid, url FROM info ORDER BY id", rows);
        std::vector<std::string> out;
        for (const auto& row : rows) out.push_back(row[0] + ":" + row[1]);
        return out;
    }

    test::TempDir dir_;
    test::PageServer server_;
    Database db_;
    SharedPlanList plans_;
    FakeMonitorUi ui_;
    FakeClock clock_{2024, 3, 5, 7, 8, 9};
    MonitorContext context_{db_, plans_, ui_, clock_};
};

TEST_F(ProcessPlanTest, ThreeLinksAreRecordedBottomUpAndListedInPageOrder) {
    const std::string page = "<html><body><ul><li>" + Anchor("/n/1.html", "One") + "</li><li>" +
                             Anchor("/n/2.html", "<b>Two</b>") + "</li><li>" + Anchor("/n/3.html", "Three") +
                             "</li></ul></body></html>";
    PlanRecord plan = Plan(1, "/list");
    plan.name = Gbk("新闻");
    plan.dom = "http://site.test";
    RunOne(plan, page);

    EXPECT_EQ(ui_.StatusLines(),
              (std::vector<Text>{"[ 2024-03-05 07:08:09 ] [ " + Gbk("新闻") + Gbk(" ] 准备工作..") + "\r\n",
                                 "[ 2024-03-05 07:08:09 ] " + Gbk("源码获取完成") + "\r\n",
                                 "[ 2024-03-05 07:08:09 ] " + Gbk("匹配到网址数：") + "3\r\n",
                                 "[ 2024-03-05 07:08:09 ] " + Gbk("筛选链接数：") + "3\r\n"}));
    EXPECT_EQ(Titles(), (std::vector<Text>{"One", "Two", "Three"}));
    EXPECT_EQ(StoredUrls(),
              (std::vector<std::string>{"1:http://site.test/n/3.html", "1:http://site.test/n/2.html",
                                        "1:http://site.test/n/1.html"}));
    ASSERT_EQ(ui_.ShownArticles().size(), 3u);
    EXPECT_EQ(ui_.ShownArticles()[0].title, "Three");

    // The next pass finds nothing new and says the same counts.
    FakeMonitorUi second;
    MonitorContext again{db_, plans_, second, clock_};
    ProcessPlan(again, 1);
    EXPECT_TRUE(second.Rows().empty());
    EXPECT_EQ(second.StatusMessages().back(), Gbk("筛选链接数：") + "3");
}

TEST_F(ProcessPlanTest, SearchIndexTakesThePlanArticlesAfterTheirCommit) {
    std::string why;
    ASSERT_TRUE(BuildSearchIndex(dir_.File("marltips.db"), {}, why)) << why;
    PlanRecord plan = Plan(1, "/list");
    plan.dom = "http://site.test";
    RunOne(plan,
           "<ul><li>" + Anchor("/n/1.html", "One") + "</li><li>" + Anchor("/n/2.html", "Two") + "</li></ul>");
    std::vector<std::vector<Text>> rows;
    db_.QueryRows("SELECT done, (SELECT max(rowid) FROM info) FROM article_search_state", rows);
    EXPECT_EQ(rows, (std::vector<std::vector<Text>>{{"2", "2"}}));
    db_.QueryRows("SELECT count(*) FROM article_search WHERE article_search MATCH '\"site.test/n/\"'", rows);
    EXPECT_EQ(rows, (std::vector<std::vector<Text>>{{"2"}}));
}

TEST_F(ProcessPlanTest, EmptyPageOrAreaEndsThePlanWithTheHint) {
    const Text kHint = Gbk("源码空，请检查 网址是否可用 或 截取标记 ");
    struct Case {
        const char* name;
        std::string page;
        const char* area_start;
        const char* area_end;
    };
    const std::string list = "<div id=\"list\">" + Anchor("/a", "A") + "</div>";
    const std::vector<Case> cases = {
        {"nothing served", "", "", ""},
        {"end marker missing", list, "<div id=#引号list#引号>", "</table>"},
        {"start marker missing", list, "<table>", "</div>"},
        {"empty area", "<ul></ul>" + list, "<ul>", "</ul>"},
    };
    for (const Case& c : cases) {
        FakeMonitorUi ui;
        MonitorContext context{db_, plans_, ui, clock_};
        PlanRecord plan = Plan(1, "/list");
        plan.area_start = Gbk(c.area_start);
        plan.area_end = Gbk(c.area_end);
        server_.SetPage("/list", c.page);
        SetPlans({plan});
        ProcessPlan(context, 1);
        EXPECT_EQ(ui.StatusMessages(),
                  (std::vector<Text>{"[ P1" + Gbk(" ] 准备工作.."), Gbk("源码获取完成"), kHint}))
            << c.name;
        EXPECT_TRUE(ui.Rows().empty()) << c.name;
    }
}

TEST_F(ProcessPlanTest, AreaMarkersCutThePageAndOneEmptyMarkerMeansWholePage) {
    const std::string page = Anchor("/outside", "out") + "<div class=\"news\">" + Anchor("/inside", "in") +
                             "</div>" + Anchor("/after", "after");
    PlanRecord plan = Plan(1, "/list");
    plan.area_start = Gbk("<div class=#引号news#引号>");
    plan.area_end = "</div>";
    RunOne(plan, page);
    EXPECT_EQ(Titles(), std::vector<Text>{"in"});

    FakeMonitorUi ui;
    MonitorContext context{db_, plans_, ui, clock_};
    plan.area_end.clear();
    SetPlans({plan});
    ProcessPlan(context, 1);
    EXPECT_EQ(ui.StatusMessages()[2], Gbk("匹配到网址数：") + "3");
}

TEST_F(ProcessPlanTest, RowStructureTellsImageAnchorsFromTextAnchors) {
    // A thumbnail and a title anchor to the same article.
    const std::string page = Anchor("/n/7.html", "<img src=\"t.jpg\">") + Anchor("/n/7.html", "Headline");
    struct Case {
        int32_t sense;
        std::vector<Text> titles;
    };
    const Case cases[] = {{-1, {"Headline"}}, {1, {""}}, {0, {"Headline"}}};  // with 0 both pass; one records
    for (const Case& c : cases) {
        ASSERT_TRUE(db_.ExecuteSql("DELETE FROM info"));
        FakeMonitorUi ui;
        MonitorContext context{db_, plans_, ui, clock_};
        PlanRecord plan = Plan(1, "/list");
        plan.url_key = "<img";
        plan.url_key_i = c.sense;
        server_.SetPage("/list", page);
        SetPlans({plan});
        ProcessPlan(context, 1);
        std::vector<Text> titles;
        for (const auto& row : ui.Rows()) titles.push_back(row.title);
        EXPECT_EQ(titles, c.titles) << "sense " << c.sense;
        EXPECT_EQ(ui.StatusMessages()[3], Gbk("筛选链接数：") + (c.sense == 0 ? "2" : "1"))
            << "sense " << c.sense;
    }
}

TEST_F(ProcessPlanTest, MustContainWordIsCaseSensitive) {
    PlanRecord plan = Plan(1, "/list");
    plan.inck = "news";
    RunOne(plan, Anchor("/news/1", "kept") + Anchor("/NEWS/2", "dropped") + Anchor("/other", "dropped too"));
    EXPECT_EQ(Titles(), std::vector<Text>{"kept"});
}

TEST_F(ProcessPlanTest, IncludeAndExcludeWordsFilterAndReachTheClipboard) {
    PlanRecord plan = Plan(1, "/list");
    plan.inc1 = "list|show";
    plan.inc0 = "ad";
    RunOne(plan,
           Anchor("/list/1", "a") + Anchor("/SHOW/2", "b") + Anchor("/show/ad", "c") + Anchor("/x", "d"));
    EXPECT_EQ(Titles(), (std::vector<Text>{"a", "b"}));
    EXPECT_EQ(ui_.Clipboard(), "^(?=.*?(list|show))(?!.*?(ad)).*$");
}

TEST_F(ProcessPlanTest, ClipboardGetsTheExpressionForEveryLinkThatReachesTheWords) {
    const std::string page = Anchor("/list/1", "a") + Anchor("/show/2", "b") + Anchor("/x/3", "c");
    struct Case {
        const char* inck;
        size_t copies;
    };
    // The must-contain word comes first: only what passes it is tested against the words.
    const Case cases[] = {{"", 3}, {"s", 2}, {"/x/", 1}, {"none", 0}};
    for (const Case& c : cases) {
        FakeMonitorUi ui;
        MonitorContext context{db_, plans_, ui, clock_};
        PlanRecord plan = Plan(1, "/list");
        plan.inck = c.inck;
        plan.inc1 = "list|x";
        server_.SetPage("/list", page);
        SetPlans({plan});
        ProcessPlan(context, 1);
        const auto calls = ui.Calls();
        EXPECT_EQ(static_cast<size_t>(std::count(calls.begin(), calls.end(), "clipboard")), c.copies)
            << c.inck;
        EXPECT_EQ(ui.Clipboard(), c.copies == 0 ? "" : "^(?=.*?(list|x)).*$") << c.inck;
    }
}

TEST_F(ProcessPlanTest, InvalidFilterWordDropsEveryLink) {
    PlanRecord plan = Plan(1, "/list");
    plan.inc1 = "(news";
    RunOne(plan, Anchor("/(news/1", "a") + Anchor("/news/2", "b"));
    EXPECT_TRUE(ui_.Rows().empty());
    EXPECT_EQ(ui_.StatusMessages().back(), Gbk("筛选链接数：") + "0");
}

TEST_F(ProcessPlanTest, DuplicatesWithinAPageAndAcrossPlansAreRecordedOnce) {
    server_.SetPage("/one", Anchor("/same", "first") + Anchor("/same", "again"));
    server_.SetPage("/two", Anchor("/same", "from two") + Anchor("/only-two", "own"));
    SetPlans({Plan(1, "/one"), Plan(2, "/two")});
    ProcessPlan(context_, 1);
    ProcessPlan(context_, 2);
    // Walked bottom-up: "again" reaches the store first.
    EXPECT_EQ(StoredUrls(), (std::vector<std::string>{"1:/same", "2:/only-two"}));
    EXPECT_EQ(Titles(), (std::vector<Text>{"own", "again"}));
}

TEST_F(ProcessPlanTest, TitlesBecomePlainTextAndQuotesAreStoredWhole) {
    PlanRecord plan = Plan(1, "/list");
    RunOne(plan, Anchor("/q", " It&#39;s <b>bold</b> &amp; <i>new</i> "));
    ASSERT_EQ(ui_.Rows().size(), 1u);
    EXPECT_EQ(ui_.Rows()[0].title, "It's bold & new");
    std::vector<std::vector<Text>> rows;
    db_.QueryRows("SELECT title FROM info", rows);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "It's bold & new");
}

TEST_F(ProcessPlanTest, GbkAndUtf8PagesGiveTheSameGbkTitle) {
    const Text title = Gbk("中文标题");
    PlanRecord gbk_plan = Plan(1, "/gbk");
    gbk_plan.code = "1";
    gbk_plan.is_gbk = 1;
    server_.SetPage("/gbk", Anchor("/g", title), "text/html; charset=gbk");
    server_.SetPage("/utf8", Anchor("/u", "中文标题"));
    SetPlans({gbk_plan, Plan(2, "/utf8")});
    ProcessPlan(context_, 1);
    ProcessPlan(context_, 2);
    EXPECT_EQ(Titles(), (std::vector<Text>{title, title}));
}

// Links that the conversion to GBK could merge or leave unreadable: each is stored apart, as text
// every reader of the file can convert, and a second pass over the same page finds them all known.
TEST_F(ProcessPlanTest, LinksGbkCannotHoldAsTheyStandAreStoredApartAndOnce) {
    PlanRecord gbk_plan = Plan(1, "/gbk");
    gbk_plan.code = "1";
    gbk_plan.is_gbk = 1;
    server_.SetPage(
        "/gbk",
        Anchor("/g/\xFF.html", "ff") + Anchor("/g/\xFE.html", "fe") + Anchor("/g/\xD6\xD0.html", Gbk("中")),
        "text/html; charset=gbk");
    server_.SetPage("/utf8",
                    Anchor("/t/😀.html", "a😀") + Anchor("/t/😎.html", "b") + Anchor("/t/한국.html", "c"));
    SetPlans({gbk_plan, Plan(2, "/utf8")});
    ProcessPlan(context_, 1);
    ProcessPlan(context_, 2);
    const std::vector<std::string> stored = {
        Gbk("1:/g/中.html"),          "1:/g/%FE.html",       "1:/g/%FF.html",
        "2:/t/&#54620;&#44397;.html", "2:/t/&#128526;.html", "2:/t/&#128512;.html",
    };
    EXPECT_EQ(StoredUrls(), stored);
    // Titles keep "?" for what GBK lacks.
    EXPECT_EQ(Titles(), (std::vector<Text>{"a?", "b", "c", "ff", "fe", Gbk("中")}));

    FakeMonitorUi second;
    MonitorContext again{db_, plans_, second, clock_};
    ProcessPlan(again, 1);
    ProcessPlan(again, 2);
    EXPECT_TRUE(second.Rows().empty());
    EXPECT_EQ(StoredUrls(), stored);
}

TEST_F(ProcessPlanTest, PositionOutsideTheListIsSkippedSilently) {
    SetPlans({Plan(1, "/list")});
    for (const int32_t position : {0, -1, 2, 1000}) ProcessPlan(context_, position);
    EXPECT_TRUE(ui_.Calls().empty());
    EXPECT_EQ(server_.Hits("/list"), 0);
}

// The UI reloads the plan list while the worker is showing an article.
class ReloadingUi : public FakeMonitorUi {
  public:
    explicit ReloadingUi(SharedPlanList& plans) : plans_(plans) {}
    void ShowArticle(const Text& title, const Text& address) override {
        FakeMonitorUi::ShowArticle(title, address);
        PlanRecord other;
        other.name = "replaced";
        other.dom = "http://other.test";
        plans_.Set(std::make_shared<const PlanList>(std::vector<PlanRecord>{other}));
    }

  private:
    SharedPlanList& plans_;
};

TEST_F(ProcessPlanTest, ReloadDuringThePlanKeepsTheRecordInHand) {
    ReloadingUi ui(plans_);
    MonitorContext context{db_, plans_, ui, clock_};
    server_.SetPage("/list", Anchor("/1", "a") + Anchor("/2", "b"));
    PlanRecord plan = Plan(1, "/list");
    plan.dom = "http://mine.test";
    SetPlans({plan});
    ProcessPlan(context, 1);
    const auto rows = ui.Rows();
    ASSERT_EQ(rows.size(), 2u);
    for (const auto& row : rows) {
        EXPECT_EQ(row.plan, "P1");
        EXPECT_EQ(row.address.rfind("http://mine.test/", 0), 0u) << row.address;
    }
}

TEST_F(ProcessPlanTest, ReadOnlyDatabaseLogsEachStoreAndTheRestGoesOn) {
    ASSERT_TRUE(db_.ExecuteSql("PRAGMA query_only = 1"));
    RunOne(Plan(1, "/list"), Anchor("/1", "a") + Anchor("/2", "b"));
    const auto messages = ui_.StatusMessages();
    ASSERT_EQ(messages.size(), 6u);
    EXPECT_EQ(
        messages[4].rfind(Gbk("Sql Err：") + "INSERT INTO 'info' ('classid', 'title', 'url', 'addtime') "
                                             "VALUES ('1', 'b', '/2', '2024-03-05 07:08:09');",
                          0),
        0u);
    EXPECT_EQ(messages[5].rfind(Gbk("Sql Err："), 0), 0u);
    EXPECT_EQ(ui_.Rows().size(), 2u);
}

TEST_F(ProcessPlanTest, HostilePagesEndInCountsNotCrashes) {
    std::string nested;
    for (int i = 0; i < 20000; ++i) nested += "<a href=\"/n" + std::to_string(i) + "\"><a href=\"x\">";
    const std::string zeros = "<a href=\"/z\">z\0ero</a>\0\0<a href=\"/y\">y</a>"s;
    std::string unclosed;
    for (int i = 0; i < 200000; ++i) unclosed += "<a href=\"";
    const std::string invalid_utf8 = "\xff\xfe<a href=\"/bad\">\xc3(\xa0</a>";
    std::string huge;  // 50 MB of markup with an anchor every megabyte
    huge.reserve(51u << 20);
    int huge_anchors = 0;
    for (; huge.size() < (50u << 20); ++huge_anchors) {
        huge += "<div><span class=\"x\">" + std::string(1u << 20, 'w') + "</span><a href=\"/h" +
                std::to_string(huge.size()) + "\">h</a></div>";
    }
    for (const std::string* page_ptr :
         std::vector<const std::string*>{&nested, &zeros, &unclosed, &invalid_utf8, &huge}) {
        const std::string& page = *page_ptr;
        FakeMonitorUi ui;
        MonitorContext context{db_, plans_, ui, clock_};
        server_.SetPage("/list", page);
        SetPlans({Plan(1, "/list")});
        ProcessPlan(context, 1);
        const auto messages = ui.StatusMessages();
        ASSERT_GE(messages.size(), 3u);
        EXPECT_EQ(messages[1], Gbk("源码获取完成"));
        if (&page == &huge) {
            EXPECT_EQ(messages[2], Gbk("匹配到网址数：") + std::to_string(huge_anchors));
        }
    }
}

TEST(RowStructure, SignOfThePositionDecides) {
    struct Case {
        const char* row;
        const char* key;
        int32_t sense;
        bool passes;
    };
    const Case cases[] = {
        {"<a href=x><img></a>", "<img", 1, true},
        {"<a href=x><img></a>", "<img", -1, false},
        {"<a href=x>text</a>", "<img", 1, false},
        {"<a href=x>text</a>", "<img", -1, true},
        {"<a href=x>text</a>", "<img", 0, true},
        {"<a href=x><IMG></a>", "<img", 1, false},
        {"<img", "<img", -1, false},  // found at position 1, not 0
        {"anything", "", -1, true},
        {"x", "x", 7, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PassesRowStructure(c.row, c.key, c.sense), c.passes)
            << c.row << " / " << c.key << " / " << c.sense;
    }
}

}  // namespace
}  // namespace marl
