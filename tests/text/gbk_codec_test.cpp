#include "text/gbk_codec.h"

#include <gtest/gtest.h>

namespace marl {
namespace {

TEST(GbkCodec, ChineseRoundTripsBothWays) {
    const std::string utf8 = "新文章 abc 配置";
    const Text gbk = Utf8ToGbkLossy(utf8);
    EXPECT_EQ(gbk, "\xD0\xC2\xCE\xC4\xD5\xC2 abc \xC5\xE4\xD6\xC3");
    EXPECT_EQ(GbkToUtf8Strict(gbk).value(), utf8);
    EXPECT_EQ(Utf16ToGbk(GbkToUtf16(gbk)), gbk);
    EXPECT_EQ(WideToGbk(GbkToWide(gbk)), gbk);
    EXPECT_EQ(GbkToWide(gbk).size(), 10u);  // characters, not bytes
}

TEST(GbkCodec, Byte80IsTheEuroSignAsInCodePage936) {
    EXPECT_EQ(GbkToUtf8Strict("\x80").value(), "\xE2\x82\xAC");
    EXPECT_EQ(Utf8ToGbkStrict("\xE2\x82\xAC").value(), "\x80");
}

TEST(GbkCodec, LoneLeadByteFailsStrictAndIsSubstitutedLossy) {
    EXPECT_FALSE(GbkToUtf8Strict("ab\xD0").has_value());
    const std::string lossy = GbkToUtf8Lossy("ab\xD0");
    EXPECT_EQ(lossy.substr(0, 2), "ab");
    EXPECT_GT(lossy.size(), 2u);
}

TEST(GbkCodec, CharactersOutsideGbkBecomeQuestionMarks) {
    const std::string emoji = "a\xF0\x9F\x98\x80z";  // U+1F600
    EXPECT_FALSE(Utf8ToGbkStrict(emoji).has_value());
    EXPECT_EQ(Utf8ToGbkLossy(emoji), "a?z");
    EXPECT_EQ(WideToGbk(L"a\U0001F600z"), "a?z");
}

TEST(GbkCodec, InvalidUtf8BecomesQuestionMarks) {
    EXPECT_FALSE(Utf8ToGbkStrict("a\xFF" "b").has_value());
    EXPECT_EQ(Utf8ToGbkLossy("a\xFF" "b"), "a?b");
    EXPECT_EQ(Utf8ToGbkLossy("\xC3"), "?");  // truncated sequence at the end
}

TEST(GbkCodec, ZeroBytesAndEmptyTextsPassThrough) {
    EXPECT_EQ(Utf8ToGbkLossy(std::string("a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(Utf8ToGbkLossy(""), "");
    EXPECT_EQ(GbkToUtf8Strict("").value(), "");
    EXPECT_TRUE(GbkToWide("").empty());
}

TEST(GbkCodec, LiteralHelperGivesGbk) { EXPECT_EQ(Gbk("配置"), "\xC5\xE4\xD6\xC3"); }

}  // namespace
}  // namespace marl
