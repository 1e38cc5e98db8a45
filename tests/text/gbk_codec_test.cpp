#include "text/gbk_codec.h"

#include <gtest/gtest.h>
#include <unicode/ustring.h>

#include <random>
#include <string>

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
    EXPECT_FALSE(Utf8ToGbkStrict("a\xFF"
                                 "b")
                     .has_value());
    EXPECT_EQ(Utf8ToGbkLossy("a\xFF"
                             "b"),
              "a?b");
    EXPECT_EQ(Utf8ToGbkLossy("\xC3"), "?");  // truncated sequence at the end
}

TEST(GbkCodec, InvisibleCharactersBecomeQuestionMarksLikeEveryOtherMissingOne) {
    // Default-ignorable characters: joiners, direction marks and embeddings, the byte order mark,
    // the soft hyphen, variation selectors, tags. GBK has none of them.
    const char32_t invisible[] = {0x200B, 0x200C, 0x200D, 0x200E, 0x202A, 0x202C,  0x202E, 0x2060,
                                  0xFEFF, 0x00AD, 0x034F, 0x180E, 0xFE0F, 0xE0001, 0xE0100};
    for (const char32_t c : invisible) {
        SCOPED_TRACE(static_cast<unsigned>(c));
        std::u16string u16 = u"a";
        if (c > 0xFFFF) {
            u16 += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            u16 += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            u16 += static_cast<char16_t>(c);
        }
        u16 += u"b";
        std::string utf8(16, '\0');
        UErrorCode err = U_ZERO_ERROR;
        int32_t n = 0;
        u_strToUTF8(utf8.data(), 16, &n, u16.data(), static_cast<int32_t>(u16.size()), &err);
        ASSERT_TRUE(U_SUCCESS(err));
        utf8.resize(static_cast<size_t>(n));
        EXPECT_EQ(Utf8ToGbkLossy(utf8), "a?b");
        EXPECT_EQ(Utf16ToGbk(u16), "a?b");
        EXPECT_EQ(WideToGbk(std::wstring{L'a', static_cast<wchar_t>(c), L'b'}), "a?b");
    }
}

// The one-pass conversion from UTF-8 must give exactly what decoding to UTF-16 (invalid sequences as
// U+FFFD) and then encoding to GBK gives, also where sequences straddle its internal buffers.
TEST(GbkCodec, OnePassUtf8ConversionMatchesTheTwoStepOne) {
    auto two_step = [](const std::string& utf8) {
        std::u16string u16(utf8.size(), u'\0');
        UErrorCode err = U_ZERO_ERROR;
        int32_t n = 0;
        u_strFromUTF8WithSub(u16.data(), static_cast<int32_t>(u16.size()), &n, utf8.data(),
                             static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, &err);
        EXPECT_TRUE(U_SUCCESS(err));
        u16.resize(static_cast<size_t>(n));
        return Utf16ToGbk(u16);
    };
    // Valid characters of every length, characters GBK lacks, and the ill-formed shapes: encoded
    // surrogates, overlong forms, code points past U+10FFFF, truncated and stray continuation bytes.
    using namespace std::string_view_literals;
    const std::string_view pieces[] = {"a"sv,
                                       "<p>",
                                       "\xE4\xB8\xAD",
                                       "\xE2\x82\xAC",
                                       "\xC2\xA0",
                                       "\xC2\x80",
                                       "\xF0\x9F\x98\x80",
                                       "\xEF\xBB\xBF",
                                       "\xE2\x80\x8C",
                                       "\xED\xA0\x80",
                                       "\xC0\x80",
                                       "\xE0\x80\x80",
                                       "\xF4\x90\x80\x80",
                                       "\xF8\x88\x80\x80\x80",
                                       "\xF0\x9F",
                                       "\xC3",
                                       "\x80",
                                       "\xFF",
                                       "\0"sv};
    std::mt19937 rng(7);
    auto random_text = [&](size_t parts) {
        std::string s;
        for (size_t k = 0; k < parts; ++k) {
            if (rng() % 2) {
                s += pieces[rng() % std::size(pieces)];
            } else {
                s.push_back(static_cast<char>(rng() % 256));
            }
        }
        return s;
    };
    for (int i = 0; i < 20000; ++i) {
        const std::string s = random_text(rng() % 12);
        ASSERT_EQ(Utf8ToGbkLossy(s), two_step(s)) << testing::PrintToString(s);
    }
    const std::string big = random_text(300000);
    EXPECT_EQ(Utf8ToGbkLossy(big), two_step(big));
}

TEST(GbkCodec, ReferencesKeepCharactersGbkLacksApartAndInvalidUtf8StaysQuestionMarks) {
    const struct {
        std::string utf8;
        std::string gbk;
    } cases[] = {
        {"/t/\xF0\x9F\x98\x80.html", "/t/&#128512;.html"},                 // U+1F600
        {"/t/\xF0\x9F\x98\x8E.html", "/t/&#128526;.html"},                 // U+1F60E
        {"/t/\xED\x95\x9C\xEA\xB5\xAD.html", "/t/&#54620;&#44397;.html"},  // Hangul
        {"a\xE2\x80\x8C"
         "b",
         "a&#8204;b"},                                   // invisible ones too
        {"\xC2\x80", "&#128;"},                          // U+0080 is not the euro sign
        {"\xE2\x82\xAC \xE4\xB8\xAD", "\x80 \xD6\xD0"},  // what GBK has stays GBK
        {"a\xFF"
         "b\xC3",
         "a?b?"},                 // not UTF-8
        {"\xED\xA0\x80", "???"},  // an encoded surrogate
        {"\xEF\xBF\xBD", "?"},    // U+FFFD itself
        {"&#128512;", "&#128512;"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToGbkReferences(c.utf8), c.gbk) << testing::PrintToString(c.utf8);
    }
    // Far more output than input: the room grows as the references need it.
    std::string many;
    std::string expected;
    for (int i = 0; i < 100000; ++i) {
        many += "\xF0\x9F\x98\x80\xE4\xB8\xAD";
        expected += "&#128512;\xD6\xD0";
    }
    EXPECT_EQ(Utf8ToGbkReferences(many), expected);
    // Lossy conversion keeps "?" for the same characters.
    EXPECT_EQ(Utf8ToGbkLossy("\xF0\x9F\x98\x80"), "?");
}

// Undoes "%XX"; for tests only, where the input holds no "%" of its own.
std::string PercentDecoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

TEST(GbkCodec, BytesThatAreNoGbkCharacterArePercentEncoded) {
    // Every well-formed pair is a character of the converter, so only the shape of the bytes
    // decides.
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) continue;
            const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
            ASSERT_TRUE(GbkToUtf8Strict(pair).has_value()) << testing::PrintToString(pair);
        }
    }

    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"/news/1.html?a=1&b=2", "/news/1.html?a=1&b=2"},
        {"/\xD6\xD0\xCE\xC4/\x80", "/\xD6\xD0\xCE\xC4/\x80"},  // 中文 and the euro sign
        {"/t/\xFF.html", "/t/%FF.html"},
        {"/t/\xFE.html", "/t/%FE.html"},  // a lead byte before ".", which cannot end a pair
        {"/t/\xD6", "/t/%D6"},            // a lead byte at the end
        {"/t/\xD6\xD6\xD0", "/t/\xD6\xD6%D0"},
        {"\xFF\xD6\xD0", "%FF\xD6\xD0"},
        {"\xD6\x7F\xD6\x3F", "%D6\x7F%D6?"},  // no trail byte after the lead
        {"%FF", "%FF"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PercentEncodeInvalidGbk(c.in), c.out) << testing::PrintToString(c.in);
    }

    // Any bytes: the result always converts, and decoding the escapes gives the bytes back, so two
    // different links never become one.
    std::mt19937 rng(11);
    for (int i = 0; i < 20000; ++i) {
        std::string bytes;
        const size_t n = rng() % 10;
        for (size_t k = 0; k < n; ++k) {
            char c = static_cast<char>(rng() % 256);
            if (c == '%' || c == '\0') c = 'x';
            bytes.push_back(c);
        }
        const std::string encoded = PercentEncodeInvalidGbk(bytes);
        ASSERT_TRUE(GbkToUtf8Strict(encoded).has_value()) << testing::PrintToString(bytes);
        ASSERT_EQ(PercentDecoded(encoded), bytes) << testing::PrintToString(bytes);
    }
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
