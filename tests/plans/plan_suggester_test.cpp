#include "plans/plan_suggester.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "plans/plan_tester.h"
#include "support/page_server.h"
#include "text/gbk_codec.h"
#include "text/text_ops.h"
#include "web/page_fetcher.h"

namespace marl {
namespace {

using namespace std::chrono_literals;

// A news page: a menu, a sidebar of hot articles, the main list (dated items) and a footer.
struct Item {
    std::string link, title, date;
};

std::vector<Item> Items(int from, int count, const std::string& folder = "/news/2024/") {
    std::vector<Item> items;
    for (int i = from; i < from + count; ++i)
        items.push_back({folder + std::to_string(1000 + i) + ".html",
                         "Council approves budget plan number " + std::to_string(i),
                         "2024-05-" + std::to_string(10 + i % 20)});
    return items;
}

std::string NewsPage(const std::vector<Item>& items, const std::string& extra_in_list = "",
                     const std::string& extra_in_item = "") {
    std::string page =
        "<html><head><meta charset=\"utf-8\"><title>City News - Latest</title></head><body>"
        "<div class=\"nav\"><ul><li><a href=\"/\">Home</a></li><li><a href=\"/sport/\">Sport</a></li>"
        "<li><a href=\"/world/\">World</a></li><li><a href=\"/about.html\">About us</a></li></ul></div>\n"
        "<div class=\"main\"><h2>Latest</h2>\n<ul class=\"news\">\n";
    for (const Item& item : items)
        page += "  <li><span class=\"date\">" + item.date + "</span><a href=\"" + item.link + "\">" +
                item.title + "</a>" + extra_in_item + "</li>\n";
    page += extra_in_list +
            "</ul>\n<div class=\"pages\"><a href=\"/news/p2\">2</a> <a href=\"/news/p3\">3</a></div></div>\n"
            "<div class=\"side\"><h3>Hot</h3><ol><li><a href=\"/hot/1.html\">Hot one</a></li>"
            "<li><a href=\"/hot/2.html\">Hot two</a></li></ol></div>\n"
            "<div class=\"footer\"><a href=\"/contact\">Contact</a> <a "
            "href=\"/privacy\">Privacy</a></div></body></html>";
    return page;
}

std::vector<std::string> LinksOf(const std::vector<Item>& items) {
    std::vector<std::string> links;
    for (const Item& item : items) links.push_back(item.link);
    return links;
}

class PlanSuggesterTest : public ::testing::Test {
  protected:
    PlanSuggesterTest() {
        limits_.connect = 2000ms;
        limits_.total = 10000ms;
    }

    SuggestResult Suggest(const std::string& path, const std::string& body,
                          PlanEncoding encoding = PlanEncoding::kAuto,
                          const std::string& type = "text/html; charset=utf-8") {
        server_.SetPage(path, body, type);
        SuggestInput input;
        input.url = server_.Url(path);
        input.encoding = encoding;
        return SuggestPlans(input, limits_);
    }

    // The links the plan's form keeps on the page at `path`, through the tester as the editor runs it.
    std::vector<std::string> Kept(const PlanForm& form, const std::string& path, const std::string& body) {
        server_.SetPage(path, body);
        PlanForm changed = form;
        changed.url = server_.Url(path);
        std::vector<std::string> links;
        for (const PlanTestRow& row : RunPlanTest(PlanTestMode::kFiltered, PlanTestInputOf(changed)).Rows())
            links.push_back(row.link);
        return links;
    }

    test::PageServer server_;
    HttpLimits limits_;
};

TEST_F(PlanSuggesterTest, FindsTheMainListWithStructuralMarkersAndPreviewsWhatMonitoringRecords) {
    const std::vector<Item> items = Items(1, 8);
    const SuggestResult result = Suggest("/city/index.html", NewsPage(items));
    ASSERT_FALSE(result.candidates.empty()) << result.message;
    EXPECT_TRUE(result.message.empty());
    EXPECT_EQ(result.encoding, PlanEncoding::kUtf8);
    const PlanSuggestion& best = result.candidates.front();
    EXPECT_EQ(best.links, LinksOf(items));
    EXPECT_EQ(best.kept, items.size());
    EXPECT_EQ(best.form.name, "City News - Latest");
    EXPECT_EQ(best.form.encoding, PlanEncoding::kUtf8);
    EXPECT_EQ(best.form.position, "0");
    // Root-relative links get the scheme and host, so the recorded address is absolute and exact.
    EXPECT_EQ(best.form.link_prefix, server_.Url(""));
    ASSERT_EQ(best.preview.size(), kPreviewItems);
    EXPECT_EQ(best.preview[0].title, items[0].title);
    EXPECT_EQ(best.preview[0].url, server_.Url(items[0].link));
    EXPECT_EQ(best.preview[4].url, server_.Url(items[4].link));
    // The markers are tags: no title, date or count of today's page is in them.
    for (const Item& item : items) {
        EXPECT_EQ(best.form.area.find(item.title), Text::npos);
        EXPECT_EQ(best.form.area.find(item.date), Text::npos);
    }
    EXPECT_NE(best.form.area.find("[*]"), Text::npos);
    EXPECT_FALSE(std::any_of(best.form.area.begin(), best.form.area.end(),
                             [](char c) { return c >= '0' && c <= '9'; }));
    // Nothing in the proposals is saved anywhere: they are only values.
    EXPECT_LE(result.candidates.size(), kMaxSuggestions);
}

TEST_F(PlanSuggesterTest, TheSamePlanCatchesNewArticlesAfterTheListMovedOn) {
    // Three new articles on top, the three oldest gone, other dates.
    std::vector<Item> moved = Items(20, 3);
    for (Item& item : moved) item.date = "2025-01-0" + item.date.substr(9);
    const std::vector<Item> rest = Items(1, 7);
    moved.insert(moved.end(), rest.begin(), rest.end());
    // The first item pinned with a mark of its own, which leaves with it.
    std::string pinned = NewsPage(Items(1, 10));
    const size_t first_link = pinned.find("<a href=\"/news/");
    pinned.insert(first_link, "<i class=\"pin\"></i>");
    const struct {
        const char* name;
        std::string before;
    } rows[] = {
        {"plain", NewsPage(Items(1, 10))},
        {"pinned", pinned},
    };
    for (const auto& row : rows) {
        const SuggestResult result = Suggest(std::string("/moving/") + row.name + ".html", row.before);
        ASSERT_FALSE(result.candidates.empty()) << row.name << ": " << result.message;
        EXPECT_EQ(Kept(result.candidates.front().form, std::string("/moving/") + row.name + "-later.html",
                       NewsPage(moved)),
                  LinksOf(moved))
            << row.name << ": " << result.candidates.front().form.area;
    }
}

TEST_F(PlanSuggesterTest, AFilterWordDropsCategoryLinksInsideTheListButNoArticle) {
    const std::vector<Item> items = Items(1, 8);
    const SuggestResult result = Suggest(
        "/more/index.html",
        NewsPage(items, "<li class=\"more\"><a href=\"/channel/latest.html\">More news &gt;&gt;</a></li>",
                 " <a class=\"cat\" href=\"/channel/city.html\">City</a>"));
    ASSERT_FALSE(result.candidates.empty()) << result.message;
    const PlanSuggestion& best = result.candidates.front();
    EXPECT_EQ(best.links, LinksOf(items));
    EXPECT_FALSE(best.form.may_contain.empty() && best.form.must_not_contain.empty() &&
                 best.form.row_marker.empty());
}

TEST_F(PlanSuggesterTest, LinksWhoseTitlesDifferOnlyInTheirNumbersAreNotTheList) {
    // Each story has its title link and, deeper in the item, its comment count.
    std::string page = "<html><head><meta charset=\"utf-8\"></head><body><ul class=\"stories\">";
    std::vector<std::string> titles;
    for (int i = 0; i < 8; ++i) {
        const std::string id = std::to_string(4000 + i);
        titles.push_back("/story/" + id);
        page += "<li><a href=\"/story/" + id + "\">A new way to read old maps, part " +
                std::string(1, static_cast<char>('a' + i)) + "</a> <span><a href=\"/story/" + id +
                "/comments\">" + std::to_string(100 + i * 7) + " comments</a></span></li>";
    }
    page += "</ul></body></html>";
    const SuggestResult result = Suggest("/stories.html", page);
    ASSERT_FALSE(result.candidates.empty()) << result.message;
    EXPECT_EQ(result.candidates.front().links, titles);
}

TEST_F(PlanSuggesterTest, ASideMenuOfTheSameShapeBeforeTheListStaysOutOfIt) {
    // A board: in one box, a menu of sections written like list items, then the notices.
    std::string page = "<html><head><meta charset=\"utf-8\"></head><body><div class=\"box\"><ul>";
    for (const char* section : {"undergraduate", "postgraduate", "international"})
        page += std::string("<li><a href=\"") + section + ".htm\">Admissions for " + section +
                " students</a></li>";
    page += "</ul><div class=\"gap\">";
    for (int i = 0; i < 300; ++i) page += "<i class=\"dot\"></i> ";  // pictures and spacing, no text
    page += "</div><ul>";
    std::vector<std::string> notices;
    for (int i = 0; i < 10; ++i) {
        notices.push_back("../info/1018/" + std::to_string(2200 + i) + ".htm");
        page += "<li><span>2024-03-1" + std::to_string(i) + "</span><a href=\"" + notices.back() +
                "\">Notice on the timetable of the spring term, week " + std::to_string(i) + "</a></li>";
    }
    page += "</ul></div></body></html>";
    const SuggestResult result = Suggest("/board/notices.htm", page);
    ASSERT_FALSE(result.candidates.empty()) << result.message;
    EXPECT_EQ(result.candidates.front().links, notices);
}

TEST_F(PlanSuggesterTest, LinksRelativeToTheFolderGetTheFolderAsPrefix) {
    std::vector<Item> items = Items(1, 6, "./");
    const SuggestResult result = Suggest("/board/list/index.html", NewsPage(items));
    ASSERT_FALSE(result.candidates.empty()) << result.message;
    EXPECT_EQ(result.candidates.front().form.link_prefix, server_.Url("/board/list/"));
    EXPECT_EQ(result.candidates.front().preview[0].url, server_.Url("/board/list/./1001.html"));
}

TEST(PrefixForLink, MakesEachKindOfLinkAbsolute) {
    const struct {
        const char* link;
        const char* page;
        const char* prefix;
    } rows[] = {
        {"http://b.com/x.html", "http://a.com/n/", ""},
        {"https://b.com/x.html", "http://a.com/n/", ""},
        {"/x.html", "http://a.com:8080/n/list.html", "http://a.com:8080"},
        {"//cdn.a.com/x.html", "https://a.com/n/", "https:"},
        {"x.html", "http://a.com/n/list.html", "http://a.com/n/"},
        {"./x.html", "http://a.com/n/m/", "http://a.com/n/m/"},
        {"../x.html", "http://a.com/n/m/list.php?p=2", "http://a.com/n/m/"},
        {"?page=2", "http://a.com/n/list.php?p=1", "http://a.com/n/list.php"},
        {"x.html", "http://a.com", "http://a.com/"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(PrefixForLink(row.link, row.page), row.prefix) << row.link << " on " << row.page;
}

TEST_F(PlanSuggesterTest, PagesWithoutAListGetAClearAnswerAndNoPlan) {
    const std::string prose(40, 'w');
    std::string article =
        "<html><head><title>One story</title></head><body><div class=\"nav\"><a href=\"/\">Home</a> "
        "<a href=\"/news/\">News</a></div><div class=\"story\">";
    for (int i = 0; i < 40; ++i) article += "<p>" + prose + " " + prose + "</p>";
    article += "</div><ul class=\"related\">";
    for (const Item& item : Items(1, 5))
        article += "<li><a href=\"" + item.link + "\">" + item.title + "</a></li>";
    article += "</ul></body></html>";
    // A short notice: its headline is the page's title and a heading, a paragraph under it, and a list
    // of recommended articles beside it.
    std::string notice =
        "<html><head><title>Midday notices: the port authority wins the harbour contract</title></head>"
        "<body><div class=\"nav\"><a href=\"/\">Home</a></div><div class=\"text\"><h2>Midday notices: the "
        "port "
        "authority wins the harbour contract</h2><div>" +
        prose + " " + prose + " " + prose + " " + prose + " " + prose +
        "</div></div><h2>For you</h2><ul class=\"list\">";
    for (const Item& item : Items(1, 8))
        notice += "<li><a href=\"" + item.link + "\">" + item.title + "</a></li>";
    notice += "</ul></body></html>";
    // A chapter list whose anchors put a space before "=": the monitor reads none of them.
    std::string unread = "<html><body><div class=\"nav\"><a href=\"/\">Home</a></div><dl>";
    for (const Item& item : Items(1, 30))
        unread += "<dd><a href =\"" + item.link + "\">" + item.title + "</a></dd>";
    unread += "</dl></body></html>";
    const struct {
        const char* path;
        std::string body;
        std::string type;
        Text message;
    } rows[] = {
        {"/story.html", article, "text/html; charset=utf-8", NoListMessage()},
        {"/notice.html", notice, "text/html; charset=utf-8", NoListMessage()},
        {"/menu.html",
         "<html><body><ul><li><a href=\"/a\">A</a></li><li><a href=\"/b\">B</a></li><li><a "
         "href=\"/c\">C</a></li>"
         "<li><a href=\"/d\">D</a></li><li><a href=\"/e\">E</a></li></ul></body></html>",
         "text/html; charset=utf-8", NoListMessage()},
        {"/feed.xml",
         "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>F</title><item><title>One long article "
         "title</title><link>http://a.com/1</link><description>&lt;a href=\"http://a.com/1\"&gt;One long "
         "article "
         "title&lt;/a&gt;</description></item></channel></rss>",
         "application/rss+xml", FeedMessage()},
        {"/missing.html", "", "text/html", Gbk("网页访问：请求不到数据！")},
        {"/unread.html", unread, "text/html; charset=utf-8", UnreadLinksMessage()},
    };
    for (const auto& row : rows) {
        const SuggestResult result = Suggest(row.path, row.body, PlanEncoding::kAuto, row.type);
        EXPECT_TRUE(result.candidates.empty()) << row.path;
        EXPECT_EQ(result.message, row.message) << row.path;
    }
}

TEST_F(PlanSuggesterTest, AGbkPageIsReadAsGbkWithAutoDetection) {
    std::string page =
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
        "<title>" +
        Gbk("新闻中心") + "</title></head><body><ul class=\"list\">";
    for (int i = 0; i < 6; ++i)
        page += "<li><a href=\"/n/" + std::to_string(100 + i) + ".html\">" + Gbk("市政府发布第") +
                std::to_string(i) + Gbk("号通知公告") + "</a></li>";
    page += "</ul></body></html>";
    const SuggestResult result = Suggest("/gbk.html", page, PlanEncoding::kAuto, "text/html; charset=gbk");
    ASSERT_FALSE(result.candidates.empty()) << result.message;
    EXPECT_EQ(result.encoding, PlanEncoding::kGbk);
    EXPECT_EQ(result.candidates.front().form.encoding, PlanEncoding::kGbk);
    EXPECT_EQ(result.candidates.front().form.name, Gbk("新闻中心"));
    EXPECT_EQ(result.candidates.front().preview[0].title, Gbk("市政府发布第0号通知公告"));
}

TEST_F(PlanSuggesterTest, AStartTagThatAlsoStandsEarlierIsNotTakenAlone) {
    // The same <ul class="news"> holds a short menu first; the start marker must still lead to the list.
    const std::vector<Item> items = Items(1, 8);
    std::string page = NewsPage(items);
    page.insert(page.find("<div class=\"main\">"),
                "<ul class=\"news\"><li><a href=\"/x\">X</a></li></ul><div id=\"list\">");
    page.insert(page.find("<div class=\"side\">"), "</div>");
    const SuggestResult result = Suggest("/twice.html", page);
    ASSERT_FALSE(result.candidates.empty()) << result.message;
    EXPECT_EQ(result.candidates.front().links, LinksOf(items));
    const Text area = TextBetween(CleanPageText(page), AreaStartOf(result.candidates.front().form.area),
                                  AreaEndOf(result.candidates.front().form.area));
    EXPECT_NE(area.find(items[0].link), Text::npos);
    EXPECT_EQ(area.find("\"/x\""), Text::npos);
}

}  // namespace
}  // namespace marl
