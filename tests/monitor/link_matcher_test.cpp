#include "monitor/link_matcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/text.h"

namespace marl {
namespace {

using namespace std::string_literals;

struct Expected {
    std::string row, link, title;
    bool operator==(const Expected&) const = default;
};

std::vector<Expected> Found(std::string_view page) {
    std::vector<Expected> out;
    for (const LinkMatch& m : FindLinks(page))
        out.push_back({std::string(m.row), std::string(m.link), std::string(m.title)});
    return out;
}

std::ostream& operator<<(std::ostream& os, const Expected& e) {
    return os << "{row=" << e.row << " link=" << e.link << " title=" << e.title << "}";
}

TEST(LinkExpressionTest, IsTheLiteralTheEngineIsBuiltFor) {
    EXPECT_STREQ(kLinkExpression,
                 "<[a|A].*?href=[\\'|\\\"]([^\\'|^\\\"].*?)[\\'|\\\"].*?>([\\s|\\S]*?)<\\/[a|A]>");
}

struct PageCase {
    const char* name;
    std::string page;
    std::vector<Expected> expected;
};

TEST(FindLinksTest, PagesGiveTheRegexMatches) {
    const std::vector<PageCase> cases = {
        {"plain anchor",
         R"(<a href="/n/1.html">One</a>)",
         {{R"(<a href="/n/1.html">One</a>)", "/n/1.html", "One"}}},
        {"anchor in capitals",
         R"(<A HREF="/N/1.HTML">ONE</A>)",
         {{R"(<A HREF="/N/1.HTML">ONE</A>)", "/N/1.HTML", "ONE"}}},
        {"unquoted href is not a link", "<a href=/n/1.html>One</a>", {}},
        {"empty href is not a link", R"(<a href="">One</a>)", {}},
        {"href starting with a caret is not a link", R"(<a href="^x">One</a>)", {}},
        {"unquoted anchor is swallowed by the next quoted one",
         R"(<a href=x>X</a> <a href="y">Y</a>)",
         {{R"(<a href=x>X</a> <a href="y">Y</a>)", "y", "Y"}}},
        {"tag beginning with a starts the row early",
         R"(<li><abbr>new</abbr> <a href="u">T</a></li>)",
         {{R"(<abbr>new</abbr> <a href="u">T</a>)", "u", "T"}}},
        {"bold tags stay in the title",
         R"(<a href="u" class="t"><b>Big</b> news</a>)",
         {{R"(<a href="u" class="t"><b>Big</b> news</a>)", "u", "<b>Big</b> news"}}},
        {"thumbnail and title anchors to one link",
         R"(<a href="p.html"><img src="p.jpg"></a><a href="p.html">Text</a>)",
         {{R"(<a href="p.html"><img src="p.jpg"></a>)", "p.html", R"(<img src="p.jpg">)"},
          {R"(<a href="p.html">Text</a>)", "p.html", "Text"}}},
        {"link ends at a vertical bar", R"(<a href="x|y">T</a>)", {{R"(<a href="x|y">T</a>)", "x", "T"}}},
        {"vertical bars act as quotes", "<a href=|u|>T</a>", {{"<a href=|u|>T</a>", "u", "T"}}},
        {"single and mixed quotes",
         R"(<a href='s'>S</a><a href="m'>M</a>)",
         {{"<a href='s'>S</a>", "s", "S"}, {R"(<a href="m'>M</a>)", "m", "M"}}},
        {"vertical bar as the anchor letter", R"(<|x href="u">T</|>)", {{R"(<|x href="u">T</|>)", "u", "T"}}},
        {"href found inside another attribute name",
         R"(<a href="" data-href="v">T</a>)",
         {{R"(<a href="" data-href="v">T</a>)", "v", "T"}}},
        {"first closing tag ends a nested anchor",
         R"(<a href="1"><a href="2">x</a></a>)",
         {{R"(<a href="1"><a href="2">x</a>)", "1", R"(<a href="2">x)"}}},
        {"unclosed anchor runs into the next",
         R"(<a href="1">x <a href="2">y</a> <a href="3">z</a>)",
         {{R"(<a href="1">x <a href="2">y</a>)", "1", R"(x <a href="2">y)"},
          {R"(<a href="3">z</a>)", "3", "z"}}},
        {"unclosed last anchor", R"(<a href="1">x</a><a href="2">y)", {{R"(<a href="1">x</a>)", "1", "x"}}},
        {"closing tag of another a-tag does not close",
         R"(<a href="1">x</abbr></a>)",
         {{R"(<a href="1">x</abbr></a>)", "1", "x</abbr>"}}},
        {"line breaks and zero bytes are ordinary bytes",
         "<a\nhref=\"u\0v\"\n>t\0\n</a>"s,
         {{"<a\nhref=\"u\0v\"\n>t\0\n</a>"s, "u\0v"s, "t\0\n"s}}},
        {"empty title", R"(<a href="u"></a>)", {{R"(<a href="u"></a>)", "u", ""}}},
        {"href right after the anchor letter", R"(<ahref="u">t</a>)", {{R"(<ahref="u">t</a>)", "u", "t"}}},
        {"first link byte may be a tag end", R"(<a href=">">t</a>)", {{R"(<a href=">">t</a>)", ">", "t"}}},
        {"nothing to find", "", {}},
        {"cut off inside the tag", R"(<a href="u)", {}},
        {"cut off before the closing tag ends", R"(<a href="u">t</a)", {}},
    };
    for (const PageCase& c : cases) {
        EXPECT_EQ(Found(c.page), c.expected) << c.name;
    }
}

TEST(FindLinksTest, GbkBytesAreMatchedByteForByte) {
    static const Text kTitle = Gbk("新闻标题");
    const std::string page = "<a href=\"/g\">" + kTitle + "</a>";
    EXPECT_EQ(Found(page), (std::vector<Expected>{{page, "/g", kTitle}}));

    // A GBK character whose trail byte is 0x7C ends the link just like an ASCII vertical bar.
    const std::string bar_trail = "<a href=\"/\xB0\x7C.html\">t</a>";
    EXPECT_EQ(Found(bar_trail), (std::vector<Expected>{{bar_trail, "/\xB0", "t"}}));

    // Letters outside ASCII are not folded: a full-width "ａ" after "<" is no anchor letter.
    EXPECT_TRUE(Found("<\xA3\xE1 href=\"u\">t</a>").empty());
}

TEST(FindLinksTest, HugeHostilePagesAreScannedWithoutFailing) {
    // Pages that make a backtracking engine explode: many openings and one unclosed anchor.
    std::string openings;
    for (int i = 0; i < 1 << 20; ++i) openings += "<a ";
    EXPECT_TRUE(FindLinks(openings).empty());

    std::string unclosed = R"(<a href="x">)";
    for (int i = 0; i < 1 << 17; ++i) unclosed += R"(<div><a href="y">)";
    EXPECT_TRUE(FindLinks(unclosed).empty());

    std::string anchors;
    for (int i = 0; i < 200000; ++i) anchors += "<a href=\"/" + std::to_string(i) + "\">t</a>";
    const std::vector<LinkMatch> matches = FindLinks(anchors);
    ASSERT_EQ(matches.size(), 200000u);
    EXPECT_EQ(matches.back().link, "/199999");
}

}  // namespace
}  // namespace marl
