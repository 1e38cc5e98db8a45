#include "html/html_to_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace marl {
namespace {

TEST(HtmlToText, RendersWhatABrowserShows) {
    struct Case {
        std::string html, text;
    } cases[] = {
        // No tags: white-space runs collapse, and line edges lose theirs.
        {"  a   b\t\n c  ", "a b c"},
        {"", ""},
        {"   ", ""},
        // Images give nothing; markup around words gives the words.
        {"<img src=\"x.jpg\">", ""},
        {"<IMG SRC=x.jpg><b>words</b>", "words"},
        {"<b>bold</b> <i>and</i> <span class=\"x\">more</span>", "bold and more"},
        {"new<b>s</b>", "news"},
        {"a <b> b </b> c", "a b c"},
        // Character references, named and numeric.
        {"&amp; &#39; &lt;b&gt; &quot;", "& ' <b> \""},
        {"AT&amp;T &#x41;&#66;", "AT&T AB"},
        {"a&nbsp;&nbsp;b", "a  b"},  // not collapsed, written as plain spaces
        {"&unknown; & x", "&unknown; & x"},
        // Line structure: CR LF between lines, none at the very start or end.
        {"a<br>b", "a\r\nb"},
        {"a<br><br>b", "a\r\n\r\nb"},
        {"<br>a<br>", "a"},
        {"<div>a</div><div>b</div>", "a\r\nb"},
        {"<p> a </p><p>b </p>", "a\r\nb"},
        {"x<div></div><div> </div>y", "x\r\ny"},
        {"<ul><li>one</li><li>two</li></ul>", "one\r\ntwo"},
        {"<h3>title</h3>text", "title\r\ntext"},
        {"<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>", "a b\r\nc"},
        {"<pre>a  b\n\tc</pre>", "a  b\r\n\tc"},
        // What is never shown.
        {"x<script>var y = 1;</script>z", "xz"},
        {"<style>b { color: red }</style>t", "t"},
        {"<!-- note -->t", "t"},
        {"a<span hidden>b</span>c", "ac"},
        {"a<span style=\"color:red; DISPLAY : none\">b</span>c", "ac"},
        {"a<span style=\"xdisplay:none\">b</span>c", "abc"},
        {"t<textarea>x</textarea>", "t"},
        // Broken markup is repaired as a browser does.
        {"<b>open", "open"},
        {"a</b>b", "ab"},
        {"x<b", "x"},
        {"1 < 2", "1 < 2"},
    };
    for (const auto& c : cases) EXPECT_EQ(HtmlToText(c.html), c.text) << c.html;
}

TEST(HtmlToText, GbkInAndOut) {
    EXPECT_EQ(HtmlToText(Gbk("<b>某某新闻标题 &amp; more</b>")), Gbk("某某新闻标题 & more"));
    EXPECT_EQ(HtmlToText(Gbk("中&#x6587;&#26631;题")), Gbk("中文标题"));
    EXPECT_EQ(HtmlToText(Gbk("标题　全角")), Gbk("标题　全角"));  // the full-width space is kept
    // Characters GBK lacks come back as "?".
    EXPECT_EQ(HtmlToText("smile &#128512;!"), "smile ?!");
    EXPECT_EQ(HtmlToText("&#x20AC;"), "\x80");  // the euro sign has a GBK form
    // Invisible format characters, written as references or as characters, are missing ones too.
    EXPECT_EQ(HtmlToText("a&zwnj;b&#x202A;c&#8236;d"), "a?b?c?d");
}

TEST(HtmlToText, InvalidBytesNeverBreakTheConversion) {
    // A lone lead byte, a lead byte without a valid trail byte, and a zero byte.
    EXPECT_EQ(HtmlToText("a\x81"), "a?");
    EXPECT_EQ(HtmlToText("a\x81 b"), "a? b");
    // Code page 936 keeps FF as a character of its own.
    const Text ff = std::string("a\xFF") + "b";
    EXPECT_EQ(HtmlToText(ff), ff);
    const std::string with_zero("a\0b", 3);
    const Text text = HtmlToText(with_zero);
    EXPECT_EQ(text.front(), 'a');
    EXPECT_EQ(text.back(), 'b');
}

// The parser must not depend on what memory held before: a <table> closes an open paragraph
// (standards mode) whatever the heap looked like, so a hidden paragraph does not hide the table.
TEST(HtmlToText, SameTitleWhateverTheMemoryHeldBefore) {
    for (int round = 0; round < 20; ++round) {
        // Freed blocks of every small size, filled with the value 1 (the parser's "quirks" mode),
        // which the allocator hands out again first.
        std::vector<void*> blocks;
        for (size_t size = 8; size <= 512; size += 8) {
            for (int copy = 0; copy < 7; ++copy) {
                auto* block = static_cast<uint32_t*>(std::malloc(size));
                for (size_t k = 0; k < size / sizeof(uint32_t); ++k) block[k] = 1;
                blocks.push_back(block);
            }
        }
        for (void* block : blocks) std::free(block);
        ASSERT_EQ(HtmlToText("<p hidden><table><tr><td>A</td></tr></table>B"), "A\r\nB") << round;
    }
}

TEST(HtmlToText, DeepNestingIsHandled) {
    for (const char* tag : {"div", "b", "span", "table"}) {
        std::string html;
        for (int i = 0; i < 100000; ++i) html += std::string("<") + tag + ">";
        html += "deep";
        EXPECT_EQ(HtmlToText(html), "deep") << tag;
    }
    // Just below the size where tags are stripped before parsing.
    std::string html;
    while (html.size() < 15 * 1024) html += "<div>";
    html += "x";
    EXPECT_EQ(HtmlToText(html), "x");
}

TEST(HtmlToText, HugeFragmentsAreConverted) {
    std::string words;
    while (words.size() < (1u << 20)) words += "word  \n ";
    const Text text = HtmlToText(words);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.substr(0, 10), "word word ");
    EXPECT_EQ(text.find("  "), std::string::npos);

    // One tag with a hundred thousand attributes.
    std::string tag = "<b";
    for (int i = 0; i < 100000; ++i) tag += " a" + std::to_string(i) + "=\">\"";
    tag += ">t</b>";
    EXPECT_NE(HtmlToText(tag).find('t'), std::string::npos);

    // Large fragments keep the line structure of small ones.
    std::string list;
    while (list.size() < 64 * 1024) list += "<li>item<img src=\"data:image/png;base64,AAAA\"></li>";
    const Text items = HtmlToText(list + "&amp;<br>end");
    EXPECT_EQ(items.substr(0, 12), "item\r\nitem\r\n");
    EXPECT_EQ(items.substr(items.size() - 12), "item\r\n&\r\nend");
}

}  // namespace
}  // namespace marl
