#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "text/text.h"
#include "text/text_ops.h"
#include "web/page_fetcher.h"

namespace marl {
namespace {

TEST(CleanPageText, ShortInputsGiveTheDocumentedResults) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"a\r\nb", "a b"},
        {"a\nb", "ab"},
        {"a \n b", "a b"},
        {"x\ty", "x y"},
        {"<p>\r\n\r\n\r\n</p>", "<p> </p>"},
        {"&LT;b&GT;", "<b>"},
        {"&lT;&Gt;", "<>"},
        {"&QUOT;", "&QUOT;"},
        {"&quot;x&quot;", "\"x\""},
        {"50&#37;", "50%"},
        {"It's", "Its"},
        {"a ' b", "a  b"},  // runs collapse before the quote goes
        {"&amp;lt;", "&amp;lt;"},
        {"&&lt;lt;", "&<lt;"},  // inserted text is not scanned again
        {"&#3'7;", "&#37;"},    // the quote goes after the entities were decoded
        {"&l\nt;", "&lt;"},     // so does the line break
        {"a\f\vb", "a b"},
        {"a\fb\vc\rd", "a\fb\vcd"},  // single FF and VT stay; a single CR goes
        {"\t", " "},
        {"  lead and trail  ", " lead and trail "},
        {"href='a.html'", "href=a.html"},
        {"", ""},
        {"&nbsp;&#38;&amp;", "&nbsp;&#38;&amp;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(CleanPageText(c.in), c.out);
    }
}

TEST(CleanPageText, GbkTextAndFullWidthSpacesPassThrough) {
    // Full-width spaces are not white space here, and no GBK byte is mistaken for ASCII.
    const Text page = Gbk("<li>新闻　标题</li>\r\n  <li>第二条 </li>");
    EXPECT_EQ(CleanPageText(page), Gbk("<li>新闻　标题</li> <li>第二条 </li>"));
    EXPECT_EQ(CleanPageText("\x81\x27\x81\x41"), "\x81\x81\x41");  // 0x27 is never a trail byte
}

TEST(CleanPageText, ResultHoldsNoLineBreaks) {
    std::string page;
    for (int i = 0; i < 200; ++i) page += (i % 3 == 0) ? "x\r" : (i % 3 == 1) ? "\n'y" : " \r\n\t";
    const Text cleaned = CleanPageText(page);
    EXPECT_EQ(cleaned.find_first_of("\r\n'\t"), Text::npos);
}

// The clean-up written as the plain sequence of whole-text replacements it stands for.
Text ReferenceClean(const std::string& text) {
    Text t = std::regex_replace(text, std::regex("[ \t\r\n\f\v]{2,}|\t"), " ");
    for (const auto& [from, to] : {std::pair{"&lt;", "<"}, std::pair{"&gt;", ">"}}) {
        Text out;
        size_t done = 0;
        for (size_t at; (at = FindNoCase(t, from, done)) != kNotFound; done = at + 4)
            out += t.substr(done, at - done) + to;
        t = out + t.substr(done);
    }
    t = ReplaceAll(ReplaceAll(t, "&quot;", "\""), "&#37;", "%");
    for (const char* gone : {"'", "\r", "\n"}) t = ReplaceAll(t, gone, "");
    return t;
}

TEST(CleanPageText, AgreesWithPlainReplacementsOnGeneratedPages) {
    const char* pieces[] = {"&lt;", "&LT;",     "&gT;",  "&quot;", "&QUOT;", "&#37;", "'",  "\r",
                            "\n",   "\t",       " ",     "a",      "&",      "&l",    "t;", "#37",
                            "\f",   "\xD6\xD0", "&amp;", "\v",     "&gt",    "&quot", "&#3"};
    std::mt19937 random(7);
    std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
    for (int round = 0; round < 2000; ++round) {
        std::string page;
        for (int k = 0; k < 30; ++k) page += pieces[pick(random)];
        if (round % 2) page = page.substr(0, page.size() - round % 5);  // ends inside an entity
        ASSERT_EQ(CleanPageText(page), ReferenceClean(page)) << page;
    }
}

}  // namespace
}  // namespace marl
