#include "text/regex_facade.h"

#include <gtest/gtest.h>

#include <string>

namespace marl {
namespace {

RegexOptions Options(bool case_sensitive, bool multiline, bool global) {
    RegexOptions options;
    options.case_sensitive = case_sensitive;
    options.multiline = multiline;
    options.global = global;
    return options;
}

int Count(const Text& pattern, const Text& subject, const RegexOptions& options = {}) {
    RegexFacade facade;
    EXPECT_TRUE(facade.Execute(pattern, subject, options)) << pattern;
    return facade.MatchCount();
}

TEST(RegexFacade, ScriptSemanticsWithDefaultOptions) {
    struct Case {
        const char* pattern;
        std::string subject;
        int matches;
    } cases[] = {
        {"a(?=b)", "ab ac ab", 2},
        {"a(?!b)", "ab ac ab", 1},
        {"<.*?>", "<a><b>", 2},
        {"<.*>", "<a><b>", 1},
        {"(ab|cd)+", "abcdab x cd", 2},
        {"ABC", "abc xAbC", 2},  // case ignored by default
        {"\\s", "a b\tc\nd", 3},
        {"\\d+", "ab12c3", 2},
        {"\\w+", "ab_1 c-d", 3},
        {"\\bis\\b", "this is it", 1},
        {"(a)\\1", "aa a", 1},
        // "." is any character but LF: CR and FF are ordinary characters.
        {"a.b", "a\rb a\fb a\nb", 2},
        {"a[.]b|a\\.b", "a.b axb a\nb", 1},  // an escaped dot or one in a class is a dot
        {"[^.]", ".\n", 1},
        {"[^]", "a\nb", 3},  // any character at all
        {"[]", "a[]b", 0},   // an empty class matches nothing
        // Empty matches advance one character, as in the script engines.
        {"x*", "abc", 4},
        {"a*?", "aa", 3},
        // Escapes that Boost would read differently stand for the script engines' meaning.
        {"\\u0041", "A", 1},
        {"\\u00", "u00", 1},  // not four hex digits: a plain "u"
        {"\\x41", "xA", 1},
        {"\\x4", "x4", 1},
        {"\\v", "\v\n", 1},
        {"\\cJ", "\n", 1},
        {"\\e\\z\\k", "ezk", 1},
        {"\\<\\'", "<'", 1},
        {"[[:alpha:]]", "a]", 1},  // no named classes: "[" is a member
        {"[[:alpha:]]", "a", 0},
        {"a{", "a{", 1},
        {"a{,2}", "a{,2}", 1},
        {"x{1,2}", "xxx", 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Count(c.pattern, c.subject), c.matches) << c.pattern << " in " << c.subject;
    }
}

TEST(RegexFacade, CaseAnchorsAndGlobalFollowTheOptions) {
    const RegexOptions single_line = Options(false, false, true);
    const RegexOptions sensitive = Options(true, true, true);
    const RegexOptions first_only = Options(false, true, false);
    EXPECT_EQ(Count("abc", "ABC", sensitive), 0);
    EXPECT_EQ(Count("abc", "abc", sensitive), 1);

    EXPECT_EQ(Count("^b", "a\nb"), 1);
    EXPECT_EQ(Count("^b", "a\rb"), 1);
    EXPECT_EQ(Count("^b", "a\fb"), 0);  // only CR and LF break lines
    EXPECT_EQ(Count("a$", "a\nb"), 1);
    EXPECT_EQ(Count("^b", "a\nb", single_line), 0);
    EXPECT_EQ(Count("a$", "a\nb", single_line), 0);
    EXPECT_EQ(Count("a$", "xa\n", single_line), 0);  // "$" is the very end, not before a final LF
    EXPECT_EQ(Count("^a", "ba", single_line), 0);    // resuming after a match is not a new start
    EXPECT_EQ(Count("^.*$", "abc", single_line), 1);

    EXPECT_EQ(Count("a", "aaa", first_only), 1);
    EXPECT_EQ(Count("a", "aaa"), 3);
    EXPECT_EQ(Count("x", "aaa", first_only), 0);
}

TEST(RegexFacade, SubjectIsTakenAsCharacters) {
    const Text zhong = Gbk("中");
    const RegexOptions single_line = Options(false, false, true);
    EXPECT_EQ(Count("^.$", zhong, single_line), 1);
    EXPECT_EQ(Count("^..$", zhong, single_line), 0);
    EXPECT_EQ(Count("\\u4E2D", Gbk("中文")), 1);
    EXPECT_EQ(Count(Gbk("新闻|公告"), Gbk("今日新闻与公告")), 2);
    // 81 61 is one character whose trail byte reads as "a": it is not the letter a.
    EXPECT_EQ(Count("a", "\x81\x61"), 0);
    // The full-width space is a character, not white space.
    EXPECT_EQ(Count("\\s", Gbk("　")), 0);
}

TEST(RegexFacade, QuotePlaceholderStandsForADoubleQuote) {
    const Text pattern = Gbk("href=#引号(.*?)#引号");
    const Text subject = "<a href=\"x.html\">";
    RegexOptions with_placeholder;
    with_placeholder.quote_placeholder = true;
    EXPECT_EQ(Count(pattern, subject, with_placeholder), 1);
    EXPECT_EQ(Count(pattern, subject), 0);
}

TEST(RegexFacade, InvalidPatternsFailWithNoMatches) {
    const char* patterns[] = {
        "(",       "a)",   "[a",    "*a",         "a|*b",      "a**", "c++", "a*+",
        "x{2}{3}", "a???", "(?i)a", "(?<name>a)", "(?#note)a", "^*",  "\\",
    };
    for (const char* pattern : patterns) {
        RegexFacade facade;
        EXPECT_FALSE(facade.Execute(pattern, "a c++ (a) [a] ? x")) << pattern;
        EXPECT_EQ(facade.MatchCount(), 0) << pattern;
    }
}

TEST(RegexFacade, SecondExecuteDiscardsTheFirst) {
    RegexFacade facade;
    ASSERT_TRUE(facade.Execute("a", "aaa"));
    EXPECT_EQ(facade.MatchCount(), 3);
    EXPECT_FALSE(facade.Execute("(", "aaa"));
    EXPECT_EQ(facade.MatchCount(), 0);
    EXPECT_EQ(facade.Replace("b"), "aaa");
    ASSERT_TRUE(facade.Execute("b", "abab"));
    EXPECT_EQ(facade.MatchCount(), 2);
    EXPECT_EQ(facade.Replace("-"), "a-a-");
}

TEST(RegexFacade, PatternTooComplexForTheSubjectFails) {
    RegexFacade facade;
    const Text subject(5000, 'a');
    EXPECT_FALSE(facade.Execute("(a*)*b", subject));
    EXPECT_EQ(facade.MatchCount(), 0);
    EXPECT_EQ(facade.Replace("x"), subject);  // the text is not lost
}

TEST(RegexFacade, ReplaceCollapsesWhiteSpaceAsThePageCleanUpUsesIt) {
    struct Case {
        std::string in, out;
    } cases[] = {
        // clang-format off
        {"a\r\nb", "a b"},
        {"a\nb", "a\nb"},  // a single LF is no run; the clean-up removes it later
        {"x\ty", "x y"},
        {"a \n b", "a b"},
        {"<p>\n\n\n<p>", "<p> <p>"},
        {"a\t\t\tb \t", "a b "},
        {"", ""},
        // clang-format on
    };
    for (const auto& c : cases) {
        RegexFacade facade;
        ASSERT_TRUE(facade.Execute("\\s{2,}|\\t", c.in));
        EXPECT_EQ(facade.Replace(" "), c.out) << c.in;
    }
    RegexFacade facade;
    const Text page = Gbk("新闻  标题\r\n中文");
    ASSERT_TRUE(facade.Execute("\\s{2,}|\\t", page));
    EXPECT_EQ(facade.Replace(" "), Gbk("新闻 标题 中文"));
}

TEST(RegexFacade, ReplacementDollarForms) {
    struct Case {
        const char* pattern;
        const char* subject;
        const char* replacement;
        std::string want;
    } cases[] = {
        {"b", "abc", "[$`|$&|$']", "a[a|b|c]c"},
        {"b", "abc", "$$", "a$c"},
        {"(b)", "abc", "$1$1", "abbc"},
        {"(b)", "abc", "$2", "a$2c"},      // no such group: plain text
        {"(b)", "abc", "$0", "a$0c"},      // $0 is not a reference
        {"(b)", "abc", "$10", "ab0c"},     // group 1, then a plain 0
        {"(b)", "abc", "$01", "abc"},      // two digits naming group 1
        {"(x)?b", "abc", "[$1]", "a[]c"},  // an unmatched group gives nothing
        {"b", "abc", "$", "a$c"},
        {"b", "abc", "$x", "a$xc"},
        {"x*", "abc", "-", "-a-b-c-"},
        {"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)", "abcdefghijk", "$11$10$1", "kja"},
    };
    for (const auto& c : cases) {
        RegexFacade facade;
        ASSERT_TRUE(facade.Execute(c.pattern, c.subject));
        EXPECT_EQ(facade.Replace(c.replacement), c.want) << c.pattern << " / " << c.replacement;
    }
}

TEST(RegexFacade, ReplaceFirstOnlyWithoutGlobalAndNothingBeforeExecute) {
    RegexFacade facade;
    EXPECT_EQ(facade.MatchCount(), 0);
    EXPECT_EQ(facade.Replace("x"), "");
    ASSERT_TRUE(facade.Execute("o", "foo boo", Options(false, true, false)));
    EXPECT_EQ(facade.Replace("0"), "f0o boo");
    ASSERT_TRUE(facade.Execute(Gbk("标题"), Gbk("标题一 标题二")));
    EXPECT_EQ(facade.Replace(Gbk("题目")), Gbk("题目一 题目二"));
}

}  // namespace
}  // namespace marl

namespace marl {
namespace {

using namespace std::string_literals;

// One compiled expression asked about many subjects must answer as a fresh facade does each time.
TEST(ScriptRegex, CompiledOnceAnswersAsTheFacadeForEverySubject) {
    const Text patterns[] = {
        "^(?=.*?(news|info))(?!.*?(ad)).*$",
        "^.*$",
        "a.c",
        "^$",
        "\\u0041",
        "\\s",
        "[^]",
        "(a*)*b",
        Gbk("新闻|公告"),
        "\x80",
        "(",
        "c++",
    };
    std::string all_ascii;
    for (int c = 1; c < 0x80; ++c) all_ascii += static_cast<char>(c);
    const std::string subjects[] = {
        "",
        "/news/1.html",
        "/NEWS/ad",
        "a\nc",
        "abc\r",
        "A",
        all_ascii,
        "x\0news"s,
        "\x80",
        "\x81\x61",
        Gbk("/今日新闻/"),
        "a\x81",
        "aaaaaaaaaaaaaaaaaaaaaaab",
    };
    for (const Text& pattern : patterns) {
        for (int bits = 0; bits < 8; ++bits) {
            const RegexOptions options = Options(bits & 1, bits & 2, bits & 4);
            const ScriptRegex compiled(pattern, options);
            for (const std::string& subject : subjects) {
                RegexFacade facade;
                const bool ran = facade.Execute(pattern, subject, options);
                EXPECT_EQ(compiled.HasMatch(subject), ran && facade.MatchCount() != 0)
                    << pattern << " / " << subject.substr(0, 40) << " / options " << bits;
            }
        }
    }
    EXPECT_FALSE(ScriptRegex("(").IsValid());
    EXPECT_FALSE(ScriptRegex("a**").IsValid());
    // Valid, but too much for a long subject without "b": no match, as the facade fails there.
    const ScriptRegex complex("(a*)*b");
    EXPECT_TRUE(complex.IsValid());
    EXPECT_FALSE(complex.HasMatch(std::string(5000, 'a')));
}

}  // namespace
}  // namespace marl
