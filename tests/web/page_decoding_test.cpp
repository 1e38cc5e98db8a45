#include "web/page_decoding.h"

#include <gtest/gtest.h>

#include "text/text.h"

namespace marl {
namespace {

using namespace std::string_literals;

TEST(PageDecoding, BothDecodersStopAtTheFirstZeroByte) {
    EXPECT_EQ(BytesAsText(""), "");
    EXPECT_EQ(Utf8ToGbk(""), "");
    EXPECT_EQ(BytesAsText("\xD6\xD0\0\xCE\xC4"s), "\xD6\xD0");
    EXPECT_EQ(Utf8ToGbk("中\0文"s), Gbk("中"));
    EXPECT_EQ(BytesAsText("\0abc"s), "");
    EXPECT_EQ(Utf8ToGbk("\xC3\0abc"s), "?");  // a sequence cut short by the zero byte
}

TEST(PageDecoding, Utf8ConvertsExactlyAndMarksWhatGbkLacks) {
    EXPECT_EQ(Utf8ToGbk("<p>新闻 abc</p>"), Gbk("<p>新闻 abc</p>"));
    // A character outside GBK becomes its character reference, so that links holding different
    // ones stay apart; the title rules read it back as "?".
    EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80z 中"), "a&#128512;z " + Gbk("中"));
    EXPECT_EQ(Utf8ToGbk("a\xFF"
                        "b"),
              "a?b");                              // invalid byte
    EXPECT_EQ(Utf8ToGbk("\xE2\x82\xAC"), "\x80");  // euro sign as code page 936
    // Invisible format characters are characters GBK lacks like any other: zero-width non-joiner,
    // left-to-right embedding, pop directional formatting, and a byte order mark at the start.
    EXPECT_EQ(Utf8ToGbk("a\xE2\x80\x8C"
                        "b\xE2\x80\xAA"
                        "c\xE2\x80\xAC"),
              "a&#8204;b&#8234;c&#8236;");
    EXPECT_EQ(Utf8ToGbk("\xEF\xBB\xBF<html>"), "&#65279;<html>");
    // GBK bytes taken as UTF-8 lose their Chinese characters but keep ASCII.
    const Text wrong = Utf8ToGbk(Gbk("中文abc"));
    EXPECT_EQ(wrong.substr(wrong.size() - 3), "abc");
    EXPECT_EQ(wrong.find(Gbk("中")), Text::npos);
    // Bytes taken as GBK pass through untouched.
    EXPECT_EQ(BytesAsText("\x81\x41\xFF"), "\x81\x41\xFF");
}

TEST(PageDecoding, DetectPageEncodingReadsTheFirstCharsetUpToTheNextTagEnd) {
    const struct {
        const char* page;
        PageEncoding encoding;
    } cases[] = {
        {"<meta charset=\"utf-8\">", PageEncoding::kUtf8},
        {"<meta content=\"text/html; charset=UTF-8\" />", PageEncoding::kUtf8},
        {"<meta charset=uTf8>", PageEncoding::kUtf8},
        {"<meta content=\"text/html; charset=gb2312\">", PageEncoding::kGbk},
        {"<meta charset=gbk>", PageEncoding::kGbk},
        {"<meta Charset=utf-8>", PageEncoding::kGbk},
        {"<meta CHARSET=utf-8>", PageEncoding::kGbk},
        {"<html><body>utf-8</body></html>", PageEncoding::kGbk},
        {"<meta charset=utf-8", PageEncoding::kGbk},  // no ">" after it
        {"<meta charset=gbk><meta charset=utf-8>", PageEncoding::kGbk},
        {"<meta charset=x><p>utf-8</p>", PageEncoding::kGbk},
        {"", PageEncoding::kGbk},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        EXPECT_EQ(DetectPageEncoding(c.page), c.encoding);
    }
}

}  // namespace
}  // namespace marl
