// Large title fragments go through our own tokenizer before the HTML parser sees them. These tests
// hold that path to the parser's own reading: the same fragments must give the same title both ways.
#include "html/flat_markup.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "html/html_to_text.h"
#include "text/gbk_codec.h"

namespace marl {
namespace {

// The title of a UTF-8 fragment read by the parser itself (the fragment is small).
std::string ParserTitle(const std::string& html) { return GbkToUtf8Lossy(HtmlToText(Gbk(html))); }
// The title of the same fragment read through the flattened markup.
std::string FlatTitle(const std::string& html) {
    return GbkToUtf8Lossy(HtmlToText(Gbk(FlattenMarkup(html))));
}
// The title of the fragment behind a comment that takes it past the size where HtmlToText flattens
// it itself.
std::string LargeTitle(const std::string& html) {
    return GbkToUtf8Lossy(HtmlToText(Gbk("<!--" + std::string(20 * 1024, 'x') + "-->" + html)));
}

void ExpectSameTitle(const std::string& html) {
    ASSERT_LT(html.size(), 16u * 1024);
    const std::string expected = ParserTitle(html);
    EXPECT_EQ(FlatTitle(html), expected) << "fragment: " << html << "\nflat: " << FlattenMarkup(html);
    EXPECT_EQ(LargeTitle(html), expected) << "fragment: " << html;
}

TEST(FlatMarkup, RendersLikeTheParserOnHandWrittenCases) {
    const char* cases[] = {
        // Text, white space, references, and "<" or "&" that are not markup.
        "  a   b\t\n c  ",
        "&amp; &#39; &lt;b&gt; &quot; &nbsp;x&copy;&hellip;&#x4E2D;&#20013;",
        "1 < 2 and 3 > 2",
        "a &b &amp c &unknown; &#; &#x; d",
        "x<",
        "x</",
        "x<b",
        "x</b",
        "a<!b>c",
        "a</ b>c",
        "a</>b",
        "a<?php echo 1 ?>b",
        "&am<b></b>p;",
        "&no<!-- -->t;",
        "1<<b>2</b>",
        // Line structure.
        "a<br>b<br/><br>c",
        "<div>a</div><div>b</div>",
        "<p> a </p><p>b </p>",
        "x<div></div><div> </div>y",
        "<ul><li>one<li>two</ul>after",
        "<h3>title</h3>text",
        "a</br>b",
        "a</p>b",
        "<hr>a<hr/>b",
        "<dl><dt>t<dd>d<dt>u</dl>",
        "<p>a<div>b</div>c",
        "<p>a<p>b",
        "<h2>a<h3>b</h2>c",
        // Tables.
        "<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>",
        "<table><tr><td>a<td>b<tr><td>c</table>d",
        "<table><tbody><tr><th>h</th><td>v</td></tr></tbody></table>",
        "<table><caption>cap</caption><tr><td>x</td></tr></table>",
        "<td>a</td><td>b</td>",
        "<table><tr><td><table><tr><td>in</td></tr></table>out</td></tr></table>",
        // Preformatted text.
        "<pre>a  b\n\tc</pre>",
        "<pre>\nfirst line kept</pre>",
        "<pre>\r\n\nx</pre>",
        "<pre><b></b>\nx</pre>",
        "<pre>a<pre>\nb</pre>c</pre>d",
        "<listing>\nx  y</listing>",
        "<xmp><b>&amp;</b></xmp>after",
        "a<plaintext><b>&amp;</b></plaintext>",
        // What is never shown.
        "x<script>var y = '<b>' + 1 < 2;</script>z",
        "<style>b > i { color: red }</style>t",
        "<!-- note -->t",
        "<!-->t",
        "<!--->t",
        "<!-- a --!>t",
        "a<span hidden>b</span>c",
        "a<span style=\"color:red; DISPLAY : none\">b</span>c",
        "a<span style=\"xdisplay:none\">b</span>c",
        "t<textarea>\nx</textarea>u",
        "<title>x</title>t",
        "<select><option>o<div>d</div></select>after",
        "<noscript><p>a</noscript>b",
        "<iframe><b>x</b></iframe>y",
        "<svg><path d=\"M0\"/><text>s</text></svg>t",
        "<svg/>x",
        "<math><mi>x</mi></math>y",
        "<template>t</template>u",
        "<object><param name=a>o</object>p",
        "<img src=x alt=\"alt\">img",
        "a<br hidden>b",
        "<video>v</video>w",
        "<p hidden>a<p>b",
        "<li hidden>a<li>b",
        "<table><td hidden>a<td>b</table>",
        "<a hidden>x<a>y",
        "<div hidden><p>a</div>b",
        "<span hidden><div>a</div>b</span>c",
        // Attributes that hold ">" or quotes, letter case, broken markup.
        "<a title=\"a>b\" href='x>y'>link</a>",
        "<B>bold</b> <I CLASS=x>i</I>",
        "<b>open",
        "a</b>b",
        "<span a=1 b c=\"\" d='' e=f/>x</span>",
        "<div style=\"display:none\" style=\"\">x</div>y",
        "<b><i>x</b>y</i>z",
        "<font color=red>红色</font>标题",
        // Real anchors.
        "<img src=\"/pic.jpg\"><br><span class=\"t\">新闻标题</span><span class=\"d\">2024-06-12</span>",
        "<style>.nav{float:left}</style><script>document.write('<div>x</div>');</script>设为首页 |",
        "<div class=\"thumb\"><img src=\"a.jpg\"></div><h4>标题</h4><p>摘要 &hellip;</p>",
        "<font color=\"#FF0000\">[置顶]</font>&nbsp;<b>公告</b>：关于做好工作的<em>通知</em>",
    };
    for (const char* html : cases) {
        SCOPED_TRACE(html);
        ExpectSameTitle(html);
    }
    // Zero bytes: dropped from text, shown as U+FFFD (GBK has none: "?") in raw text.
    using namespace std::string_literals;
    ExpectSameTitle("<xmp>a\0b</xmp>c\0d"s);
    ExpectSameTitle("a<plaintext>b\0c"s);
}

// Random fragments of the kinds list pages hold: well-formed trees with optional end tags left out
// where HTML allows it.
class FragmentMaker {
  public:
    explicit FragmentMaker(unsigned seed) : rng_(seed) {}

    std::string Make() {
        std::string html;
        const int parts = 1 + Pick(6);
        for (int k = 0; k < parts; ++k) Node(html, 0);
        return html;
    }

  private:
    int Pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
    template <size_t N>
    const char* OneOf(const char* const (&items)[N]) {
        return items[Pick(static_cast<int>(N))];
    }

    void Text(std::string& html) {
        static const char* const kPieces[] = {
            "新闻", "title", " ",      "  ",    "\n",        "\r\n",     "\t",     "&amp;",
            "&lt;", "&gt;",  "&quot;", "&#39;", "&nbsp;",    "&#x4E2D;", "&copy;", "&hellip;",
            "&amp", "&",     "1 < 2",  "a>b",   "&unknown;", "'",        "。"};
        const int n = 1 + Pick(3);
        for (int k = 0; k < n; ++k) html += OneOf(kPieces);
    }

    std::string Attributes() {
        static const char* const kAttributes[] = {"",
                                                  " class=\"t\"",
                                                  " title=\"a>b\"",
                                                  " data-x='y'",
                                                  " id=x",
                                                  " href=\"/n/1.html\"",
                                                  " hidden",
                                                  " style=\"color:red\"",
                                                  " style=\"display: none\""};
        std::string out = OneOf(kAttributes);
        if (Pick(4) == 0) out += OneOf(kAttributes);
        return out;
    }

    std::string Name(const char* name) {
        std::string out = name;
        if (Pick(8) == 0) {
            for (char& c : out) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
        return out;
    }

    void Children(std::string& html, int depth) {
        const int n = depth > 3 ? Pick(2) : Pick(4);
        for (int k = 0; k < n; ++k) Node(html, depth + 1);
        if (n == 0) Text(html);
    }

    static bool Hides(const std::string& attributes) {
        return attributes.find("hidden") != std::string::npos || attributes.find("none") != std::string::npos;
    }

    void Element(std::string& html, const char* tag, int depth, bool may_omit_end) {
        const std::string name = Name(tag);
        const std::string attributes = Attributes();
        html += "<" + name + attributes + ">";
        hidden_depth_ += Hides(attributes) ? 1 : 0;
        Children(html, depth);
        hidden_depth_ -= Hides(attributes) ? 1 : 0;
        if (!may_omit_end || Pick(3) != 0) html += "</" + name + ">";
    }

    void Node(std::string& html, int depth) {
        switch (depth > 4 ? Pick(3) : Pick(16)) {
            case 0:
            case 1:
                return Text(html);
            case 2: {
                static const char* const kVoid[] = {
                    "<br>",  "<br/>",      "<img src=\"x.jpg\">", "<hr>",
                    "<wbr>", "<!-- c -->", "<!-- <b>x</b> -->",   "<input type=hidden>"};
                html += OneOf(kVoid);
                return;
            }
            case 3:
            case 4: {
                // Not <a>: an anchor text holds no link of its own.
                static const char* const kInline[] = {"b",    "i", "span",  "em",   "strong",
                                                      "font", "u", "small", "label"};
                const char* tag = OneOf(kInline);
                // Formatting elements never hide here: browsers reopen them after a block closes them.
                const std::string name = Name(tag);
                const bool formatting = std::string(tag) != "span" && std::string(tag) != "label";
                const std::string attributes = formatting ? "" : Attributes();
                html += "<" + name + attributes + ">";
                hidden_depth_ += Hides(attributes) ? 1 : 0;
                Children(html, depth);
                hidden_depth_ -= Hides(attributes) ? 1 : 0;
                if (!formatting || Pick(6) != 0)
                    html += "</" + name + ">";  // old pages leave <b> and <font> open
                return;
            }
            case 5:
            case 6: {
                static const char* const kBlock[] = {"div", "p", "h3", "blockquote", "center", "section"};
                const char* tag = OneOf(kBlock);
                // A paragraph left open inside a hidden element that a misnested end tag later moves
                // out would show text written before that end tag; the flattened markup cannot.
                return Element(html, tag, depth, std::string(tag) == "p" && hidden_depth_ == 0);
            }
            case 7: {
                const std::string list = Pick(2) ? "ul" : "ol";
                html += "<" + list + ">";
                const int items = 1 + Pick(3);
                for (int k = 0; k < items; ++k) Element(html, "li", depth + 1, true);
                html += "</" + list + ">";
                return;
            }
            case 8: {
                html += "<table" + Attributes() + ">";
                if (Pick(2)) html += "<tbody>";
                const int rows = 1 + Pick(3);
                for (int r = 0; r < rows; ++r) {
                    html += "<tr>";
                    const int cells = 1 + Pick(3);
                    for (int c = 0; c < cells; ++c) Element(html, Pick(4) ? "td" : "th", depth + 1, true);
                    if (Pick(2)) html += "</tr>";
                }
                html += "</table>";
                return;
            }
            case 9: {
                static const char* const kHidden[] = {"script",   "style",  "noscript",
                                                      "textarea", "iframe", "title"};
                const std::string tag = OneOf(kHidden);
                html += "<" + tag + ">var a = '<b>' + \"</div>\"; a > 1 && x</" + tag + ">";
                return;
            }
            case 10: {
                html += "<pre>";
                if (Pick(2)) html += "\n";
                Children(html, depth);
                html += "  x\n  y</pre>";
                return;
            }
            case 11:
                html += "<select><option>a<option>b</select>";
                return;
            case 12:
                html += "<svg viewBox=\"0 0 1 1\"><path d=\"M0 0\"/><title>t</title></svg>";
                return;
            case 13:
                return Element(html, "span", depth, false);
            default:
                return Element(html, "div", depth, false);
        }
    }

    std::mt19937 rng_;
    int hidden_depth_ = 0;
};

TEST(FlatMarkup, RendersLikeTheParserOnGeneratedFragments) {
    FragmentMaker maker(20240612);
    for (int round = 0; round < 5000; ++round) {
        const std::string html = maker.Make();
        if (html.size() >= 16 * 1024) continue;
        const std::string expected = ParserTitle(html);
        ASSERT_EQ(FlatTitle(html), expected) << "fragment: " << html << "\nflat: " << FlattenMarkup(html);
    }
}

}  // namespace
}  // namespace marl

namespace marl {
namespace {

std::string Repeat(std::string_view unit, size_t bytes) {
    std::string out;
    out.reserve(bytes + unit.size());
    while (out.size() < bytes) out += unit;
    return out;
}

// A forum page whose anchor swallowed the page head: over 100 KB of style sheet and script around
// the only words a browser shows.
TEST(FlatMarkup, LargeFragmentShowsOnlyWhatABrowserShows) {
    const std::string style =
        "<style type=\"text/css\">" +
        Repeat(".nav li a:hover { color: #f60; background: url(/img/bg.gif); }\n", 60000) + "</style>";
    const std::string script =
        "<script type=\"text/javascript\">" +
        Repeat("if (a < b && c > d) { document.write('<div class=\"x\">' + s + '</div>'); }\n", 48000) +
        "</script>";
    const std::string fragment =
        "<div class=\"top\">" + style + script +
        "<a href=\"#\" onclick=\"this.style.behavior='url(#default#homepage)'\">设为首页</a>"
        " |<span style=\"display:none\">隐藏</span><!-- 注释 --></div>";
    ASSERT_GT(fragment.size(), 100000u);
    EXPECT_EQ(HtmlToText(Gbk(fragment)), Gbk("设为首页 |"));
}

// Shapes that make tree builders slow or deep. Each is a megabyte; ctest's time limit catches any
// that is not handled in linear time.
TEST(FlatMarkup, HostileLargeFragmentsEndWithTheRightText) {
    const size_t kBytes = 1u << 20;
    const struct {
        const char* what;
        std::string html;
        std::string text;
    } cases[] = {
        {"nested blocks", Repeat("<div>", kBytes) + "deep", "deep"},
        {"nested inline elements and stray end tags",
         Repeat("<b>", kBytes / 2) + "x" + Repeat("</i>", kBytes / 2), "x"},
        {"a formatting element closed past a block and many elements",
         "<i><div>" + Repeat("<b>", kBytes / 2) + "x" + Repeat("</i>", kBytes / 2), "x"},
        {"formatting elements reopened in every paragraph",
         Repeat("<p><b><i><u><s><em><strong><font><small><big><tt><code><strike>", 4096) +
             Repeat("<p>x", kBytes),
         ""},
        {"a formatting element closed again and again past many blocks",
         "<b><div>" + Repeat("<div>", kBytes / 2) + "x" + Repeat("</b>", kBytes / 2), "x"},
        {"comments", Repeat("<!---->", kBytes) + "x", "x"},
        {"nested tables", Repeat("<table><tr><td>", kBytes) + "cell", "cell"},
        {"nested hidden spans",
         Repeat("<span hidden>", kBytes / 2) + "x" + Repeat("</span>", kBytes / 2) + "y", "y"},
        {"unclosed comment", "a<!--" + Repeat("x", kBytes), "a"},
        {"unclosed script", "a<script>" + Repeat("<b>", kBytes), "a"},
        {"unclosed attribute value", "a<b title=\"" + Repeat("x>", kBytes), "a"},
        {"one tag with many attributes", "<b" + Repeat(" a=\">\"", kBytes) + ">t</b>", "t"},
        {"nested SVG", "<svg>" + Repeat("<g>", kBytes) + "</svg>after", "after"},
        {"references only", Repeat("&amp;", kBytes), Repeat("&", kBytes / 5 + 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Text text = HtmlToText(c.html);
        if (std::string(c.what) == "formatting elements reopened in every paragraph") {
            EXPECT_EQ(text.substr(0, 6), "x\r\nx\r\n");
        } else {
            EXPECT_EQ(text, c.text);
        }
    }
}

}  // namespace
}  // namespace marl
