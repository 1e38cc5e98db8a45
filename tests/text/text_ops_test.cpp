#include "text/text_ops.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "text/text.h"

namespace marl {
namespace {

TEST(TextBetween, CutsBetweenFirstLeftAndFollowingRight) {
    EXPECT_EQ(TextBetween("a<ul>x</ul>b</ul>", "<ul>", "</ul>"), "x");
    EXPECT_EQ(TextBetween("[<]start[*]end[>]", "[<]", "[*]"), "start");
    EXPECT_EQ(TextBetween("[<][*][>]", "[*]", "[>]"), "");
    EXPECT_EQ(TextBetween("abc", "x", "c"), "");
    EXPECT_EQ(TextBetween("abc", "a", "x"), "");
    // The right side is searched only after the left one.
    EXPECT_EQ(TextBetween("]x[y]", "[", "]"), "y");
    // Nothing is trimmed.
    EXPECT_EQ(TextBetween("< a >", "<", ">"), " a ");
}

TEST(TextBetween, QuoteWordStandsForADoubleQuote) {
    const Text left = Gbk("class=#引号news#引号>");
    EXPECT_EQ(TextBetween("<ul class=\"news\">item</ul>", left, "</ul>"), "item");
    EXPECT_EQ(TextBetween("a\"b\"c", Gbk("#引号"), Gbk("#引号")), "b");
}

TEST(TextToNumber, LeadingDigitsWithSignAndFullWidthForms) {
    struct Case {
        std::string in;
        int32_t want;
    } cases[] = {
        {"200", 200},
        {"  42abc", 42},
        {"-1", -1},
        {"+7", 7},
        {"", 0},
        {"abc", 0},
        {"\xA3\xB2\xA3\xB0\xA3\xB1", 201},  // full-width 201
        {"\xA1\xA1\xA3\xAD\xA3\xB5", -5},   // full-width space, minus, five
        {"1 2", 1},
        {"\xD6\xD0"
         "5",
         0},  // a Chinese character first: no digits
        {"99999999999", std::numeric_limits<int32_t>::max()},
        {"-99999999999", std::numeric_limits<int32_t>::min()},
    };
    for (const auto& c : cases) EXPECT_EQ(TextToInt(c.in), c.want) << c.in;
    EXPECT_EQ(TextToInt64("1733900000123"), 1733900000123LL);
    EXPECT_EQ(TextToInt64("99999999999999999999999"), std::numeric_limits<int64_t>::max());
}

TEST(TextToNumber, ReadsPastAnyNumberOfLeadingBlanks) {
    std::string full_width_blanks;
    for (int i = 0; i < 1000; ++i) full_width_blanks += "\xA1\xA1";
    struct Case {
        std::string in;
        int64_t want;
    } cases[] = {
        {std::string(70, ' ') + "123", 123},
        {std::string(100000, ' ') + "-7x", -7},
        {std::string(65, '\t') + "\r\n 8", 8},
        {full_width_blanks + "\xA3\xAD\xA3\xB4\xA3\xB2", -42},  // full-width "-42"
        {std::string(70, ' ') + "+" + std::string(200, '9'), std::numeric_limits<int64_t>::max()},
        {"-" + std::string(500, '9'), std::numeric_limits<int64_t>::min()},
        {std::string(70, ' ') + "\xD6\xD0" + "5", 0},
        {std::string(70, ' '), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(TextToInt64(c.in), c.want) << c.in.size() << " bytes";
    EXPECT_EQ(TextToInt(std::string(70, ' ') + "123"), 123);
}

TEST(Trim, RemovesAsciiAndFullWidthSpacesOnly) {
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(Trim("\xA1\xA1 x\xA1\xA1"), "x");
    EXPECT_EQ(Trim("\ta\r\n"), "\ta\r\n");
    EXPECT_EQ(Trim("   "), "");
    // B0 A1 is one character whose trail byte is A1: with one more A1 after it the last two
    // bytes read A1 A1, yet they are not a full-width space.
    EXPECT_EQ(Trim("\xB0\xA1\xA1"), "\xB0\xA1\xA1");
    EXPECT_EQ(Trim("\xB0\xA1\xA1\xA1"), "\xB0\xA1");
    EXPECT_EQ(Trim("\xB0\xA1 "), "\xB0\xA1");
}

TEST(CaseBlind, FoldsAsciiLettersOnly) {
    EXPECT_EQ(AsciiLower("HTTP://WWW.X.COM/Path"), "http://www.x.com/path");
    // 0x81 0x41 is one GBK character whose trail byte reads as 'A': it must not change.
    EXPECT_EQ(AsciiLower("\x81\x41Z"), "\x81\x41z");
    EXPECT_EQ(FindNoCase("xxUser-Agent: a", "user-agent:"), 2u);
    EXPECT_EQ(FindNoCase("abc", "ABCD"), kNotFound);
    EXPECT_EQ(FindNoCase("abcabc", "BC", 2), 4u);
    EXPECT_EQ(FindNoCase("abc", "", 1), 1u);
    EXPECT_TRUE(ContainsNoCase("ACCEPT-LANGUAGE: en", "Accept-Language:"));
    EXPECT_TRUE(EqualsNoCase("Https", "hTTPS"));
    EXPECT_FALSE(EqualsNoCase("\xC0", "\xE0"));  // bytes outside ASCII are never folded
    EXPECT_TRUE(StartsWithNoCase("HTTPS://a", "https://"));
}

TEST(ReplaceAll, NeverRescansInsertedText) {
    EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(ReplaceAll("&amp;lt;", "&lt;", "<"), "&amp;lt;");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
}

// A "|" of its own is found and replaced; the second byte of a GBK pair never is, though it may be
// 0x7C (東 96 7C, 億 83 7C), and a lead byte at the very end stands alone.
TEST(ReplaceCharacter, StepsOverGbkPairs) {
    struct Case {
        std::string text;
        size_t first_bar;
        std::string replaced;
    };
    const Case cases[] = {
        {"a|b", 1, "a$$b"},
        {"", kNotFound, ""},
        {"||", 0, "$$$$"},
        {Gbk("東京|list|億元"), 4, Gbk("東京$$list$$億元")},
        {Gbk("東億縷瑋"), kNotFound, Gbk("東億縷瑋")},
        {"\x96|", kNotFound, "\x96|"},  // 東 as its two bytes
        {"|\x96", 0, "$$\x96"},         // a lone lead byte at the end
        {Gbk("a東|") + "\x83", 3, Gbk("a東$$") + "\x83"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FindCharacter(c.text, '|'), c.first_bar);
        EXPECT_EQ(ReplaceCharacter(c.text, '|', "$$"), c.replaced);
    }
    // From a later character start.
    EXPECT_EQ(FindCharacter(Gbk("|東|"), '|', 1), 3u);
}

TEST(SqlQuote, DoublesEverySingleQuote) {
    EXPECT_EQ(SqlQuote("it's"), "'it''s'");
    EXPECT_EQ(SqlQuote("''"), "''''''");
    EXPECT_EQ(SqlQuote(""), "''");
}

TEST(UpToZero, StopsAtTheFirstZeroByte) {
    EXPECT_EQ(UpToZero(std::string_view("ab\0cd", 5)), "ab");
    EXPECT_EQ(UpToZero("abc"), "abc");
}

}  // namespace
}  // namespace marl
