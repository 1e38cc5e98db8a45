// The Atom document as a feed reader sees it: parsed back with the XML library.
#include "feeds/atom_feed.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <regex>
#include <string>
#include <vector>

#include "feed_store.h"
#include "feeds/xml_text.h"
#include "store/article_reader.h"
#include "store/raw_sqlite.h"

namespace marl {
namespace {

using namespace std::chrono_literals;

struct Entry {
    std::string title, link, id, updated, author, content;
};

struct ParsedFeed {
    std::string title, updated;
    std::vector<Entry> entries;
};

ParsedFeed Parse(const std::string& xml) {
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_string(xml.c_str());
    EXPECT_TRUE(parsed) << parsed.description() << "\n" << xml;
    const pugi::xml_node feed = doc.child("feed");
    EXPECT_STREQ(feed.attribute("xmlns").value(), "http://www.w3.org/2005/Atom");
    ParsedFeed out{feed.child_value("title"), feed.child_value("updated"), {}};
    for (pugi::xml_node entry : feed.children("entry")) {
        out.entries.push_back(
            {entry.child_value("title"),
             entry.find_child_by_attribute("link", "rel", "alternate").attribute("href").value(),
             entry.child_value("id"), entry.child_value("updated"), entry.child("author").child_value("name"),
             entry.child_value("content")});
    }
    return out;
}

std::string Feed(const std::string& path, std::optional<int32_t> plan, int64_t limit = 50,
                 std::chrono::system_clock::time_point generated = std::chrono::system_clock::now()) {
    ArticleQuery query;
    query.plan_id = plan;
    query.limit = limit;
    ArticleSnapshot snapshot;
    EXPECT_EQ(ReadArticles(path, query, snapshot), ArticleReadResult::kOk);
    return feeds::AtomDocument(snapshot, plan, generated);
}

class AtomFeedTest : public ::testing::Test {
  protected:
    void SetUp() override {
        store_.PlantOld("旧文章 before times were kept", "http://old.test/1");
        news_ = store_.AddPlan("新闻");
        blog_ = store_.AddPlan("Blog & <Notes>");
        store_.Record(news_, {{"第一篇：北京", "http://news.test/a?id=1&amp;p=2"},
                              {"Second \"quoted\" <b>", "https://news.test/b"}});
        store_.Record(blog_, {{"Relative link", "/only/a/path"}, {"Blog post", "http://blog.test/p"}});
    }

    test::FeedStore store_;
    int32_t news_ = 0, blog_ = 0;
};

TEST_F(AtomFeedTest, AllPlansNewestFirstWithExactTitlesAndAbsoluteLinks) {
    const ParsedFeed feed = Parse(Feed(store_.path(), std::nullopt));
    EXPECT_EQ(feed.title, "marltips — 全部方案");
    ASSERT_EQ(feed.entries.size(), 5u);
    const std::vector<std::string> titles = {"Blog post", "Relative link", "Second \"quoted\" <b>",
                                             "第一篇：北京", "旧文章 before times were kept"};
    for (size_t i = 0; i < titles.size(); ++i) EXPECT_EQ(feed.entries[i].title, titles[i]) << i;
    // "&amp;" in a stored address is the page's spelling of "&", as when the article is opened.
    EXPECT_EQ(feed.entries[3].link, "http://news.test/a?id=1&p=2");
    EXPECT_EQ(feed.entries[2].link, "https://news.test/b");
    // A relative address keeps its text, as content, and gets no link.
    EXPECT_EQ(feed.entries[1].link, "");
    EXPECT_EQ(feed.entries[1].content, "/only/a/path");
    EXPECT_EQ(feed.entries[0].author, "Blog & <Notes>");
    EXPECT_EQ(feed.entries[3].author, "新闻");
    EXPECT_EQ(feed.entries[4].author, "");  // recorded before plans were kept: the feed's author
}

TEST_F(AtomFeedTest, TimesAreRfc3339WithTheLocalOffset) {
    const auto generated = std::chrono::system_clock::from_time_t(1700000000);
    const ParsedFeed feed = Parse(Feed(store_.path(), std::nullopt, 50, generated));
    const std::regex rfc3339(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)");
    for (const Entry& entry : feed.entries)
        EXPECT_TRUE(std::regex_match(entry.updated, rfc3339)) << entry.updated;
    EXPECT_EQ(feed.entries[0].updated.substr(0, 19), "2024-03-05T07:08:09");
    // No stored time: the generation time.
    EXPECT_EQ(feed.entries[4].updated, feeds::Rfc3339Local(generated));
    EXPECT_EQ(feed.updated, feeds::Rfc3339Local(generated));
}

TEST_F(AtomFeedTest, IdsStayTheSameAcrossRunsAndFeeds) {
    const ParsedFeed first = Parse(Feed(store_.path(), std::nullopt, 50, std::chrono::system_clock::now()));
    const ParsedFeed second =
        Parse(Feed(store_.path(), std::nullopt, 50, std::chrono::system_clock::now() + 1h));
    const ParsedFeed plan = Parse(Feed(store_.path(), news_));
    ASSERT_EQ(first.entries.size(), second.entries.size());
    for (size_t i = 0; i < first.entries.size(); ++i) {
        EXPECT_EQ(first.entries[i].id, second.entries[i].id);
        for (size_t j = 0; j < i; ++j) EXPECT_NE(first.entries[i].id, first.entries[j].id);
    }
    EXPECT_EQ(plan.entries[0].id, first.entries[2].id);
}

TEST_F(AtomFeedTest, PlanFeedHoldsOnlyItsOwnArticlesUpToTheLimit) {
    const ParsedFeed news = Parse(Feed(store_.path(), news_));
    EXPECT_EQ(news.title, "新闻");
    ASSERT_EQ(news.entries.size(), 2u);
    EXPECT_EQ(news.entries[0].title, "Second \"quoted\" <b>");
    EXPECT_EQ(news.entries[1].title, "第一篇：北京");

    const ParsedFeed limited = Parse(Feed(store_.path(), std::nullopt, 2));
    ASSERT_EQ(limited.entries.size(), 2u);
    EXPECT_EQ(limited.entries[0].title, "Blog post");

    ArticleQuery unknown;
    unknown.plan_id = 99;
    ArticleSnapshot snapshot;
    EXPECT_EQ(ReadArticles(store_.path(), unknown, snapshot), ArticleReadResult::kUnknownPlan);
}

TEST_F(AtomFeedTest, FileWithoutThePlanTableGivesEmptyPlanFeeds) {
    test::RawSqlite raw(store_.path());
    raw.Exec("DROP TABLE article_plan");
    EXPECT_EQ(Parse(Feed(store_.path(), news_)).entries.size(), 0u);
    EXPECT_EQ(Parse(Feed(store_.path(), std::nullopt)).entries.size(), 5u);
}

TEST_F(AtomFeedTest, CharactersXmlForbidsAreDroppedAndBrokenBytesReplaced) {
    // Stored by another program: control characters and bytes that are not UTF-8.
    store_.PlantOld(std::string("bell\x07 esc\x1b tab\t ") + "\xff\xfe end", "http://x.test/\x01");
    const ParsedFeed feed = Parse(Feed(store_.path(), std::nullopt, 1));
    ASSERT_EQ(feed.entries.size(), 1u);
    EXPECT_EQ(feed.entries[0].title, "bell esc tab\t \xEF\xBF\xBD\xEF\xBF\xBD end");
    EXPECT_EQ(feed.entries[0].link, "http://x.test/");
}

TEST(XmlSafeText, KeepsWhatXmlAllows) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"plain", "plain"},
        {"中文 and emoji \xF0\x9F\x98\x80", "中文 and emoji \xF0\x9F\x98\x80"},
        {"a\x01\x02\x1F"
         "b\tc\nd\re",
         "ab\tc\nd\re"},
        {"\xEF\xBF\xBE\xEF\xBF\xBF", ""},                          // U+FFFE, U+FFFF
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // an encoded surrogate
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // overlong
        {"cut \xE4\xB8", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},
        {std::string("zero\0after", 10), "zero"},
    };
    for (const auto& c : cases) EXPECT_EQ(feeds::XmlSafeText(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace marl
