#include "plans/plan_tester.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/page_server.h"
#include "text/text.h"

namespace marl {
namespace {

using namespace std::chrono_literals;

std::string Anchor(const std::string& link, const std::string& html) {
    return "<a href=\"" + link + "\">" + html + "</a>";
}

// A list page in the shape of the editor's area help text: a heading, then the list between markers.
const std::string kListPage =
    "<html><head><meta charset=\"utf-8\"></head><body>\n" + Anchor("/about.html", "About") +
    "\n<div class=\"row\"><div class=\"h3title\"><h3>最新更新</h3></div>\n  <ul class=\"news\">\n"
    "   <li>" +
    Anchor("/news/1.html", "恭喜，北京2008申奥成功！") + "</li>\n   <li>" +
    Anchor("/list/2.html", "<b>栏目</b>") + "</li>\n   <li>" + Anchor("/news/3.html", "我国正式启动3G技术") +
    "</li>\n  </ul>\n </div></body></html>";

class PlanTesterTest : public ::testing::Test {
  protected:
    PlanTesterTest() {
        options_.limits.connect = 2000ms;
        options_.limits.total = 10000ms;
    }

    // A new plan for `path` of the test site, read as Utf-8 so that nothing is auto-detected.
    PlanTestInput Plan(const std::string& path, const std::string& body) {
        server_.SetPage(path, body);
        PlanTestInput input;
        input.url = server_.Url(path);
        input.encoding = PlanEncoding::kUtf8;
        input.area = "[*]";
        return input;
    }

    PlanTestResult Test(PlanTestMode mode, const PlanTestInput& input) {
        return RunPlanTest(mode, input, options_);
    }

    // The listed links, each image anchor's marked with a "*".
    static std::vector<Text> Links(const PlanTestResult& result) {
        std::vector<Text> links;
        for (const PlanTestRow& row : result.Rows())
            links.push_back(row.link + (row.title.starts_with("<img") ? "*" : ""));
        return links;
    }
    static std::vector<Text> SectionTitles(const PlanTestResult& result) {
        std::vector<Text> titles;
        for (const PlanTestSection& section : result.Sections()) titles.push_back(section.title);
        return titles;
    }

    test::PageServer server_;
    PlanTestOptions options_;
};

TEST_F(PlanTesterTest, ModeOneShowsOnlyThePageSection) {
    const PlanTestResult result = Test(PlanTestMode::kSource, Plan("/list", "<p>a\r\n\r\n<b>b</b></p>"));
    EXPECT_FALSE(result.refused);
    EXPECT_EQ(result.ReportText(), Gbk("网页源码：访问正常\r\n"));
    EXPECT_EQ(result.SourceBoxText(),
              Gbk("\r\n>>>>>>>>>>>> 网页源码\r\n-------------------------------\r\n\r\n") +
                  "<p>a <b>b</b></p>\r\n\r\n");
    EXPECT_TRUE(result.Rows().empty());
    EXPECT_FALSE(result.LinkPrefix().has_value());
}

TEST_F(PlanTesterTest, NothingReceivedEndsWithTheAccessReport) {
    options_.limits.connect = 500ms;
    for (PlanTestMode mode : {PlanTestMode::kSource, PlanTestMode::kArea, PlanTestMode::kFiltered}) {
        PlanTestInput input;
        input.url = "http://127.0.0.1:1/list";  // nothing listens there
        const PlanTestResult result = Test(mode, input);
        EXPECT_EQ(result.ReportLines(), std::vector<Text>{Gbk("网页访问：请求不到数据！")})
            << static_cast<int>(mode);
        ASSERT_EQ(result.Sections().size(), 1u);
        EXPECT_EQ(result.Sections()[0].title, Gbk("网页源码"));
        EXPECT_EQ(result.Sections()[0].text, "");
        // Auto-detection needs a page: the list stays at 自动识别.
        EXPECT_FALSE(result.Encoding().has_value());
    }
}

TEST_F(PlanTesterTest, ResponseThatIsNotTwoHundredSaysItsStatus) {
    struct Case {
        int status;
        std::string body;
        std::vector<Text> report;
    };
    const Text ok = Gbk("网页源码：访问正常");
    const Text empty = Gbk("网页访问：请求不到数据！");
    const auto line = [](int status) {
        return Gbk("网页状态：HTTP " + std::to_string(status) + "（不是正常页面，下面的结果可能不对）");
    };
    const std::vector<Case> cases = {
        {200, "<p>list</p>", {ok}},
        {204, "", {empty}},
        // An error page is a page: it is shown and searched, and the report says why it may be wrong.
        {404, "<p>not found</p>", {ok, line(404)}},
        {500, "<p>server error</p>", {ok, line(500)}},
        {404, "", {empty, line(404)}},
    };
    for (const Case& c : cases) {
        PlanTestInput input = Plan("/list", c.body);
        server_.SetStatus("/list", c.status);
        const PlanTestResult result = Test(PlanTestMode::kSource, input);
        EXPECT_EQ(result.ReportLines(), c.report) << c.status;
    }
    // Modes 2 and 3 go on with the error page, the status line right after the page line.
    PlanTestInput input = Plan("/gone", Anchor("/n/1.html", "a"));
    server_.SetStatus("/gone", 404);
    const PlanTestResult result = Test(PlanTestMode::kArea, input);
    ASSERT_GE(result.ReportLines().size(), 2u);
    EXPECT_EQ(result.ReportLines()[1], line(404));
    EXPECT_EQ(result.Rows().size(), 1u);
}

TEST_F(PlanTesterTest, ModeTwoCutsTheAreaAndListsEveryLinkInPageOrder) {
    PlanTestInput input = Plan("/news/index.html", kListPage);
    input.area = Gbk("<ul class=#引号news#引号>[*]</ul>");
    input.must_contain = "NOTHING";  // the filter fields play no part in mode 2
    input.must_not_contain = "news";
    const PlanTestResult result = Test(PlanTestMode::kArea, input);

    EXPECT_EQ(result.ReportLines(), (std::vector<Text>{Gbk("网页源码：访问正常"), Gbk("区间匹配状态：已启用"),
                                                       Gbk("区间匹配状态：正常（已截取到代码）"),
                                                       Gbk("匹配链接数：3"), Gbk("网址筛选结果：3")}));
    EXPECT_EQ(SectionTitles(result), (std::vector<Text>{Gbk("网页源码"), Gbk("区间信息截取"),
                                                        Gbk("匹配链接数"), Gbk("网址筛选结果")}));
    const std::vector<PlanTestSection> sections = result.Sections();
    EXPECT_TRUE(sections[1].text.starts_with(" <li><a href=\"/news/1.html\">")) << sections[1].text;
    EXPECT_EQ(sections[2].text, "3");
    EXPECT_EQ(sections[3].text, "3");

    const std::vector<PlanTestRow> rows = result.Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].id, 1);
    EXPECT_EQ(rows[2].id, 3);
    EXPECT_EQ(Links(result), (std::vector<Text>{"/news/1.html", "/list/2.html", "/news/3.html"}));
    EXPECT_EQ(rows[1].title, Gbk("<b>栏目</b>"));
    EXPECT_EQ(rows[1].row, Gbk(Anchor("/list/2.html", "<b>栏目</b>")));
}

TEST_F(PlanTesterTest, AreaMarkersDecideBetweenWholePageCutAndFailure) {
    struct Case {
        std::string area;
        std::vector<std::string> reports;  // after "网页源码：访问正常"
        size_t rows;
    };
    const std::vector<Case> cases = {
        // One marker missing: the whole page is searched.
        {"[*]", {"区间匹配状态：未启用（没填写或格式异常）", "匹配链接数：4", "网址筛选结果：4"}, 4},
        {"", {"区间匹配状态：未启用（没填写或格式异常）", "匹配链接数：4", "网址筛选结果：4"}, 4},
        {"<ul class=\"news\">",
         {"区间匹配状态：未启用（没填写或格式异常）", "匹配链接数：4", "网址筛选结果：4"},
         4},
        {"[*]</ul>", {"区间匹配状态：未启用（没填写或格式异常）", "匹配链接数：4", "网址筛选结果：4"}, 4},
        // Both given: the heading marker works as well as the list's own tag.
        {"最新更新</h3></div>[*]</ul>",
         {"区间匹配状态：已启用", "区间匹配状态：正常（已截取到代码）", "匹配链接数：3", "网址筛选结果：3"},
         3},
        // A marker the page lacks, and markers with nothing between them, stop before matching.
        {"<ol>[*]</ol>", {"区间匹配状态：已启用", "区间截取规则校验：失败（截取代码空）"}, 0},
        {"<ul class=\"news\">[*] <li>", {"区间匹配状态：已启用", "区间截取规则校验：失败（截取代码空）"}, 0},
    };
    for (const Case& c : cases) {
        PlanTestInput input = Plan("/list", kListPage);
        input.area = Gbk(c.area);
        const PlanTestResult result = Test(PlanTestMode::kArea, input);
        std::vector<Text> expected{Gbk("网页源码：访问正常")};
        for (const std::string& line : c.reports) expected.push_back(Gbk(line));
        EXPECT_EQ(result.ReportLines(), expected) << c.area;
        EXPECT_EQ(result.Rows().size(), c.rows) << c.area;
        if (c.rows == 0) {
            // The empty cut is still shown, and no prefix is proposed without a match.
            EXPECT_EQ(SectionTitles(result), (std::vector<Text>{Gbk("网页源码"), Gbk("区间信息截取")}));
            EXPECT_EQ(result.Sections()[1].text, "");
            EXPECT_FALSE(result.LinkPrefix().has_value());
        }
    }
}

TEST_F(PlanTesterTest, ModeThreeAppliesRowStructureWordsAndMustContain) {
    // Every article is linked twice, once around its thumbnail and once around its title.
    std::string page = "<ul>";
    for (const std::string link : {"/news/1.html", "/list/2.html", "/News/3.html", "/news/4.html"}) {
        page += "<li>" + Anchor(link, "<img src=\"t.jpg\">") + Anchor(link, "T" + link) + "</li>";
    }
    page += "</ul>";
    struct Case {
        std::string must_contain, may_contain, must_not_contain, row_marker;
        RowMarkerMode row_marker_mode;
        std::vector<Text> links;
    };
    constexpr RowMarkerMode kMust = RowMarkerMode::kMustContain;
    constexpr RowMarkerMode kMustNot = RowMarkerMode::kMustNotContain;
    const std::vector<Case> cases = {
        {"",
         "",
         "",
         "",
         kMust,
         {"/news/1.html*", "/news/1.html", "/list/2.html*", "/list/2.html", "/News/3.html*", "/News/3.html",
          "/news/4.html*", "/news/4.html"}},
        // Without the image anchors, with only them.
        {"", "", "", "<img", kMustNot, {"/news/1.html", "/list/2.html", "/News/3.html", "/news/4.html"}},
        {"", "", "", "<img", kMust, {"/news/1.html*", "/list/2.html*", "/News/3.html*", "/news/4.html*"}},
        // Words are alternatives joined by "$$" and compared without regard to case.
        {"", "list$$4", "", "<img", kMustNot, {"/list/2.html", "/news/4.html"}},
        {"", "", "LIST$$1.html", "<img", kMustNot, {"/News/3.html", "/news/4.html"}},
        {"", "news", "4", "<img", kMustNot, {"/news/1.html", "/News/3.html"}},
        // The must-contain word is compared exactly: capitals keep only the capitalised link.
        {"News", "", "", "<img", kMustNot, {"/News/3.html"}},
        {"news", "", "", "<img", kMustNot, {"/news/1.html", "/news/4.html"}},
        {"NEWS", "", "", "", kMust, {}},
    };
    for (const Case& c : cases) {
        PlanTestInput input = Plan("/list", page);
        input.must_contain = c.must_contain;
        input.may_contain = c.may_contain;
        input.must_not_contain = c.must_not_contain;
        input.row_marker = c.row_marker;
        input.row_marker_mode = c.row_marker_mode;
        const PlanTestResult result = Test(PlanTestMode::kFiltered, input);
        const std::string label =
            c.must_contain + "|" + c.may_contain + "|" + c.must_not_contain + "|" + c.row_marker;
        EXPECT_EQ(Links(result), c.links) << label;
        const std::vector<Text> reports = result.ReportLines();
        EXPECT_EQ(reports[reports.size() - 2], Gbk("匹配链接数：8")) << label;
        EXPECT_EQ(reports.back(), Gbk("网址筛选结果：") + std::to_string(c.links.size())) << label;
        // The kept rows are numbered from 1 in page order.
        for (size_t i = 0; i < result.Rows().size(); ++i)
            EXPECT_EQ(result.Rows()[i].id, static_cast<int>(i + 1));
    }
    // With the same fields, mode 2 still lists every anchor.
    PlanTestInput input = Plan("/list", page);
    input.must_contain = "News";
    input.row_marker = "<img";
    input.row_marker_mode = RowMarkerMode::kMustNotContain;
    EXPECT_EQ(Test(PlanTestMode::kArea, input).Rows().size(), 8u);
}

TEST_F(PlanTesterTest, ModeThreeHandsEachFilterExpressionToTheClipboard) {
    std::vector<Text> clipboard;
    options_.clipboard = [&clipboard](const Text& text) { clipboard.push_back(text); };
    PlanTestInput input = Plan("/list", kListPage);
    input.may_contain = "news$$list";
    input.must_not_contain = "3.html";
    EXPECT_EQ(Links(Test(PlanTestMode::kFiltered, input)),
              (std::vector<Text>{"/news/1.html", "/list/2.html"}));
    ASSERT_EQ(clipboard.size(), 4u);  // one check per matched link
    EXPECT_EQ(clipboard.back(), "^(?=.*?(news|list))(?!.*?(3.html)).*$");
}

TEST_F(PlanTesterTest, BarInTheFilterWordsIsRefusedBeforeAnythingIsFetched) {
    const std::vector<std::pair<std::string, std::string>> words = {
        {"news|list", ""}, {"", "a|b"}, {"a$", "|"}};
    for (size_t i = 0; i < words.size(); ++i) {
        const auto& [may, must_not] = words[i];
        const std::string path = "/refused" + std::to_string(i);
        PlanTestInput input = Plan(path, kListPage);
        input.may_contain = may;
        input.must_not_contain = must_not;
        bool fetch_started = false;
        options_.before_fetch = [&fetch_started] { fetch_started = true; };
        const PlanTestResult result = Test(PlanTestMode::kFiltered, input);
        EXPECT_TRUE(result.refused);
        ASSERT_EQ(result.events.size(), 1u);
        EXPECT_EQ(result.Messages(), std::vector<Text>{Gbk("网址筛选词，不能用竖线 | ，请修正")});
        EXPECT_FALSE(fetch_started);
        EXPECT_EQ(server_.Hits(path), 0);
        // Modes 1 and 2 do not look at the words.
        EXPECT_FALSE(Test(PlanTestMode::kArea, input).refused);
        EXPECT_TRUE(fetch_started);
        options_.before_fetch = nullptr;
    }
}

TEST_F(PlanTesterTest, ChineseWordWhoseSecondByteIsABarIsNotRefused) {
    // 東 is the GBK pair 96 7C: its second byte reads as "|" to a byte search, but the filter reads
    // the words as characters.
    ASSERT_EQ(Gbk("東"), "\x96\x7C");
    PlanTestInput input = Plan("/list", kListPage);
    input.must_not_contain = Gbk("東京$$list");
    const PlanTestResult result = Test(PlanTestMode::kFiltered, input);
    EXPECT_FALSE(result.refused);
    EXPECT_TRUE(result.Messages().empty());
    EXPECT_EQ(Links(result), (std::vector<Text>{"/about.html", "/news/1.html", "/news/3.html"}));
    // A bar of its own after a Chinese word is still refused.
    input.must_not_contain = Gbk("東京|list");
    EXPECT_TRUE(Test(PlanTestMode::kFiltered, input).refused);
}

TEST_F(PlanTesterTest, AutoDetectionPicksTheListEntryFromThePageDeclaration) {
    struct Case {
        std::string head;
        PlanEncoding encoding;
    };
    const std::vector<Case> cases = {
        {"<meta charset=\"utf-8\">", PlanEncoding::kUtf8},
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">", PlanEncoding::kUtf8},
        {"<meta charset=\"gb2312\">", PlanEncoding::kGbk},
        {"<meta Charset=\"utf-8\">", PlanEncoding::kGbk},  // only the word in small letters counts
        {"<title>none</title>", PlanEncoding::kGbk},
    };
    for (const Case& c : cases) {
        PlanTestInput input = Plan("/list", "<html><head>" + c.head + "</head><body>页面</body></html>");
        input.encoding = PlanEncoding::kAuto;
        const PlanTestResult result = Test(PlanTestMode::kSource, input);
        EXPECT_EQ(result.Encoding(), c.encoding) << c.head;
        // The choice comes before the page section, which shows the page as the chosen entry reads it
        // (this UTF-8 page's bytes as they are, where GBK was chosen).
        EXPECT_EQ(result.events.front().kind, PlanTestEvent::kEncoding) << c.head;
        EXPECT_NE(result.Sections()[0].text.find(c.encoding == PlanEncoding::kUtf8 ? Gbk("页面")
                                                                                   : std::string("页面")),
                  Text::npos)
            << c.head;
    }
    // A chosen encoding is left alone, and GBK reads the page's bytes as they are.
    PlanTestInput gbk = Plan("/gbk", Gbk("<head><meta charset=\"gbk\"></head><p>页面</p>"));
    gbk.encoding = PlanEncoding::kGbk;
    const PlanTestResult chosen = Test(PlanTestMode::kSource, gbk);
    EXPECT_FALSE(chosen.Encoding().has_value());
    EXPECT_NE(chosen.Sections()[0].text.find(Gbk("页面")), Text::npos);
    // Under 自动识别 a page that declares GBK is shown, cut and searched as GBK in the same run.
    server_.SetPage("/gbk", Gbk("<head><meta charset=\"gbk\"></head><ul><li><a href=\"/n/1.html\">页面</a>"
                                "</li></ul>"));
    gbk.encoding = PlanEncoding::kAuto;
    gbk.area = "<ul>[*]</ul>";
    const PlanTestResult detected = Test(PlanTestMode::kArea, gbk);
    EXPECT_EQ(detected.Encoding(), PlanEncoding::kGbk);
    EXPECT_NE(detected.Sections()[0].text.find(Gbk("页面")), Text::npos);
    ASSERT_EQ(detected.Rows().size(), 1u);
    EXPECT_EQ(detected.Rows()[0].title, Gbk("页面"));
}

TEST_F(PlanTesterTest, LinkPrefixIsProposedForANewPlanFromItsFirstLink) {
    const std::string site = "http://127.0.0.1:" + std::to_string(server_.port());
    struct Case {
        std::string label, first_link, url_path, position;
        bool scheme_less;
        std::optional<std::string> link_prefix;
        bool message;
    };
    const std::vector<Case> cases = {
        // A link from the root brings its own "/": the prefix ends with the host.
        {"root-relative", "/news/1.html", "/news/list.html?p=1", "0", false, site, false},
        {"empty position", "/news/1.html", "/news/list.html", "", false, site, false},
        {"relative", "news/1.html", "/list", "0", false, site + "/", false},
        {"scheme-relative", "//cdn.example/1.html", "/list", "0", false, "http:", false},
        {"absolute", "http://example.com/1.html", "/list", "0", false, std::nullopt, false},
        {"https", "https://example.com/1.html", "/list", "0", false, std::nullopt, false},
        {"dot slash", "./news/1.html", "/list", "0", false, std::nullopt, true},
        {"dot dot", "../news/1.html", "/list", "0", false, std::nullopt, true},
        {"stored plan", "/news/1.html", "/list", "2", false, std::nullopt, false},
        {"stored plan dot", "./news/1.html", "/list", "2", false, std::nullopt, false},
        // Fetched as an http address, so the prefix is the http one rather than ":///".
        {"no scheme", "/news/1.html", "/list", "0", true, site, false},
        {"no scheme relative", "news/1.html", "/list", "0", true, site + "/", false},
    };
    for (const Case& c : cases) {
        // The first link decides even when the filters drop it.
        PlanTestInput input =
            Plan(c.url_path.substr(0, c.url_path.find('?')),
                 Anchor(c.first_link, "first") + Anchor("http://other.example/2.html", "b"));
        input.url = site + c.url_path;
        if (c.scheme_less) input.url = input.url.substr(7);
        input.position = c.position;
        input.must_not_contain = "1.html";
        const PlanTestResult result = Test(PlanTestMode::kFiltered, input);
        ASSERT_EQ(result.Sections()[0].text.empty(), false) << c.label;
        EXPECT_EQ(result.LinkPrefix(), c.link_prefix) << c.label;
        EXPECT_EQ(result.Messages(),
                  c.message ? std::vector<Text>{Gbk("补上域名 字段，无法自动识别")} : std::vector<Text>{})
            << c.label;
        // The proposal and the message come last, after every report line.
        if (c.link_prefix || c.message) {
            EXPECT_TRUE(result.events.back().kind == PlanTestEvent::kLinkPrefix ||
                        result.events.back().kind == PlanTestEvent::kMessage)
                << c.label;
        }
    }
}

TEST_F(PlanTesterTest, HugePageIsShownCutButSearchedWhole) {
    std::string page;
    for (int i = 0; i < 300; ++i)
        page += "<li>" + Anchor("/n/" + std::to_string(i) + ".html", "新闻标题") + "</li>";
    options_.max_section_bytes = 70;
    options_.max_rows = 50;
    PlanTestInput input = Plan("/big", page);
    const PlanTestResult result = Test(PlanTestMode::kArea, input);
    const Text shown = result.Sections()[0].text;
    const Text full = Gbk(page);
    // Cut before the character that would cross the limit: the second title's third character takes the
    // bytes 69 and 70.
    const size_t cut = shown.find(Gbk("……（共 "));
    ASSERT_EQ(cut, 69u);
    EXPECT_EQ(shown.substr(0, cut), full.substr(0, cut));
    EXPECT_EQ(shown.substr(cut), Gbk("……（共 ") + std::to_string(full.size()) + Gbk(" 字节，这里只显示前 ") +
                                     std::to_string(cut) + Gbk(" 字节）"));
    // Every link was matched and counted; only the first rows are listed.
    EXPECT_EQ(result.ReportLines().back(), Gbk("网址筛选结果：300"));
    EXPECT_EQ(result.Sections()[1].text, "300");
    ASSERT_EQ(result.Rows().size(), 50u);
    EXPECT_EQ(result.Rows().back().id, 50);

    // With the bounds off everything is shown.
    options_.max_section_bytes = 0;
    options_.max_rows = 0;
    const PlanTestResult whole = Test(PlanTestMode::kArea, input);
    EXPECT_EQ(whole.Sections()[0].text, full);
    EXPECT_EQ(whole.Rows().size(), 300u);
}

TEST_F(PlanTesterTest, EventsComeInTheOrderTheTesterProducesThem) {
    PlanTestInput input = Plan("/list", kListPage);
    input.encoding = PlanEncoding::kAuto;
    input.area = "<ul class=\"news\">[*]</ul>";
    input.must_not_contain = "list";
    const PlanTestResult result = Test(PlanTestMode::kFiltered, input);
    using K = PlanTestEvent::Kind;
    std::vector<K> kinds;
    for (const PlanTestEvent& event : result.events) kinds.push_back(event.kind);
    EXPECT_EQ(kinds, (std::vector<K>{K::kEncoding, K::kSection, K::kReport, K::kReport, K::kReport,
                                     K::kSection, K::kRow, K::kRow, K::kReport, K::kReport, K::kSection,
                                     K::kSection, K::kLinkPrefix}));
    EXPECT_EQ(result.Encoding(), PlanEncoding::kUtf8);
    EXPECT_EQ(result.LinkPrefix(), "http://127.0.0.1:" + std::to_string(server_.port()));

    // Streamed, the same events reach the sink in the same order and the result keeps none.
    std::vector<K> streamed;
    options_.on_event = [&streamed](const PlanTestEvent& event) { streamed.push_back(event.kind); };
    EXPECT_TRUE(Test(PlanTestMode::kFiltered, input).events.empty());
    EXPECT_EQ(streamed, kinds);
}

}  // namespace
}  // namespace marl
