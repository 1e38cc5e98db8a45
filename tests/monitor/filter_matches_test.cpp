#include "monitor/filter_matches.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace marl {
namespace {

TEST(FilterExpression, PartsAppearOnlyForTheWordsGiven) {
    EXPECT_EQ(BuildFilterExpression("news|info", ""), "^(?=.*?(news|info)).*$");
    EXPECT_EQ(BuildFilterExpression("", "ad"), "^(?!.*?(ad)).*$");
    EXPECT_EQ(BuildFilterExpression("news", "ad|tag"), "^(?=.*?(news))(?!.*?(ad|tag)).*$");
    EXPECT_EQ(BuildFilterExpression("", ""), "^.*$");
}

TEST(FilterMatches, IncludeAndExcludeWords) {
    struct Case {
        std::string link, include, exclude;
        bool passes;
    } cases[] = {
        // Two include words, joined as stored: either one lets the link through.
        {"/news/1.html", "news|info", "", true},
        {"/info/2.html", "news|info", "", true},
        {"/blog/3.html", "news|info", "", false},
        {"/NEWS/4.html", "news|info", "", true},  // letters compared without regard to case
        // Exclude alone, and an exclude word written in capitals.
        {"/news/1.html", "", "ad", true},
        {"/ad/1.html", "", "AD", false},
        {"/x/AD.html", "", "ad", false},
        // Both: an include word and no exclude word, anywhere and in either order.
        {"/news/1.html", "news", "ad", true},
        {"/news/ad/1.html", "news", "ad", false},
        {"/ad/news/1.html", "news", "ad", false},
        {"/blog/1.html", "news", "ad", false},
        // Words are expression text: a dot stands for any character.
        {"/abc/1.html", "a.c", "", true},
        {"/a.c/1.html", "a.c", "", true},
        {"/ac/1.html", "a.c", "", false},
        {"/a-c/1.html", "a\\.c", "", false},
        // No words at all: every link passes, even an empty one.
        {"/any", "", "", true},
        {"", "", "", true},
        {"", "x", "", false},
        // Chinese words match by character.
        {Gbk("/新闻/1.html"), Gbk("新闻|公告"), "", true},
        {Gbk("/新闻/1.html"), "", Gbk("新闻"), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FilterMatches(c.link, c.include, c.exclude, {}), c.passes)
            << c.link << " include " << c.include << " exclude " << c.exclude;
    }
}

TEST(FilterMatches, WordThatIsNotAnExpressionDropsEveryLink) {
    const char* links[] = {"/news/1.html", "/(/2.html", "", "c++"};
    for (const char* link : links) {
        EXPECT_FALSE(FilterMatches(link, "news|(", "", {})) << link;
        EXPECT_FALSE(FilterMatches(link, "", "x)", {})) << link;
        EXPECT_FALSE(FilterMatches(link, "c++", "", {})) << link;
    }
}

TEST(FilterMatches, ClipboardReceivesTheExpressionOfEachCall) {
    std::vector<Text> clipboard;
    const ClipboardSink sink = [&clipboard](const Text& text) { clipboard.push_back(text); };
    EXPECT_TRUE(FilterMatches("/news/1.html", "news|info", "ad", sink));
    EXPECT_FALSE(FilterMatches("/news/1.html", "(", "", sink));
    EXPECT_TRUE(FilterMatches("/x", "", "", sink));
    ASSERT_EQ(clipboard.size(), 3u);
    EXPECT_EQ(clipboard[0], "^(?=.*?(news|info))(?!.*?(ad)).*$");
    EXPECT_EQ(clipboard[1], "^(?=.*?(()).*$");
    EXPECT_EQ(clipboard[2], "^.*$");
}

TEST(FilterMatches, ClipboardFailureDoesNotChangeTheAnswer) {
    const ClipboardSink failing = [](const Text&) { throw std::runtime_error("clipboard busy"); };
    EXPECT_TRUE(FilterMatches("/news/1.html", "news", "", failing));
    EXPECT_FALSE(FilterMatches("/blog/1.html", "news", "", failing));
}

TEST(FilterMatches, LinkWithLineBreakIsOneLineOnly) {
    // "." refuses LF, and without multiline "$" is the very end: the words are searched on the
    // first line, and a link with a line break does not reach the end.
    EXPECT_FALSE(FilterMatches("/a\nnews", "news", "", {}));
    EXPECT_FALSE(FilterMatches("/news\n", "news", "", {}));
    EXPECT_TRUE(FilterMatches("/news\r", "news", "", {}));
}

}  // namespace
}  // namespace marl
