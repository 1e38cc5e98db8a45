#include "web/http_headers.h"

#include <gtest/gtest.h>

#include "text/text.h"

namespace marl {
namespace {

TEST(HttpHeaders, NormalizeCapitalisesNameWordsAndDropsLinesWithoutColon) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"user-agent: X\r\ncookie: a=1", "User-Agent: X\r\nCookie: a=1"},
        {"Mozilla/5.0 bare agent\r\naccept-language:zh", "Accept-Language:zh"},
        {"USER-AGENT: X", "USER-AGENT: X"},
        {"x-requested-with:  XMLHttpRequest \r\n", "X-Requested-With:  XMLHttpRequest "},
        {"content-type: text/html; a-b=c", "Content-Type: text/html; a-b=c"},  // value untouched
        {"a--b:1\r\n-x:2\r\n1st-header:3", "A--B:1\r\n-X:2\r\n1st-Header:3"},
        {"\xD6\xD0-abc:1", "\xD6\xD0-Abc:1"},
        {"a:1\nb:2", "A:1\nb:2"},  // a lone LF does not separate lines
        {"\r\n\r\nhost:h\r\n\r\n", "Host:h"},
        {"referer : r", "Referer : r"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(NormalizeHeaderNames(c.in), c.out);
    }
}

TEST(HttpHeaders, PickAgentPrefersTheExactUserAgentLineThenFallsBack) {
    const struct {
        std::string in, agent;
    } cases[] = {
        {"", kDefaultAgent},
        {"Cookie: a=1", kDefaultAgent},
        {"User-Agent: X\r\nCookie: a=1", "X"},
        {"Cookie: a=1\r\nUser-Agent:  Y  ", "Y"},
        {"USER-AGENT: X", "X"},  // only the case-blind test finds it: text after the first colon
        {"Cookie: a=1\r\nUser-Agent:   ", "a=1\r\nUser-Agent:"},  // empty value: may span lines
        {"User-Agent: \xA1\xA1"
         "Foo\xA1\xA1 ",
         "Foo"},  // full-width spaces trimmed
        {"X-Note: user-agent: Y", "user-agent: Y"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(PickAgent(c.in), c.agent);
    }
}

TEST(HttpHeaders, CompleteHeadersAddsOnlyWhatIsMissing) {
    const std::string url = "www.site.cn/list";
    const struct {
        std::string in;
        HttpMethod method;
        std::string out;
    } cases[] = {
        {"", HttpMethod::kGet, "Accept: */*\r\nReferer: www.site.cn/list\r\nAccept-Language: zh-cn"},
        {"", HttpMethod::kPost,
         "Accept: */*\r\nReferer: www.site.cn/list\r\nAccept-Language: zh-cn\r\n"
         "Content-Type: application/x-www-form-urlencoded"},
        {"User-Agent: X\r\nCookie: a=1", HttpMethod::kGet,
         "User-Agent: X\r\nCookie: a=1\r\nAccept: */*\r\nReferer: www.site.cn/list\r\nAccept-Language: "
         "zh-cn"},
        {"referer: r\r\nACCEPT-LANGUAGE: en", HttpMethod::kGet,
         "referer: r\r\nACCEPT-LANGUAGE: en\r\nAccept: */*"},
        // A name inside a value counts as present.
        {"X-Note: accept: text/html", HttpMethod::kGet,
         "X-Note: accept: text/html\r\nReferer: www.site.cn/list\r\nAccept-Language: zh-cn"},
        {"Content-Type: text/xml\r\nAccept: a\r\nReferer: b\r\nAccept-Language: c", HttpMethod::kPost,
         "Content-Type: text/xml\r\nAccept: a\r\nReferer: b\r\nAccept-Language: c"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(CompleteHeaders(c.in, url, c.method), c.out);
    }
}

TEST(HttpHeaders, RefererFromAnAddressNeverBreaksTheLine) {
    const struct {
        std::string url;
        std::string referer;
    } cases[] = {
        {"http://h/echo\r\nX-Smuggled: yes", "http://h/echo%0D%0AX-Smuggled: yes"},
        {"http://h/a\nContent-Length: 5", "http://h/a%0AContent-Length: 5"},
        {"http://h/a\rb\tc\x7F\x01", "http://h/a%0Db%09c%7F%01"},
        {"http://h/a b?q=\xD6\xD0&x=%41", "http://h/a b?q=\xD6\xD0&x=%41"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(CompleteHeaders("", c.url, HttpMethod::kGet),
                  "Accept: */*\r\nReferer: " + c.referer + "\r\nAccept-Language: zh-cn");
    }
}

TEST(HttpHeaders, RequestLinesKeepBlankValuesAndSuppressLibraryDefaults) {
    const RequestHeaderLines get =
        ToRequestHeaderLines("Referer:\r\nX-A:  \r\nAccept: */*", HttpMethod::kGet);
    EXPECT_EQ(get.lines, (std::vector<Text>{"Referer;", "X-A;", "Accept: */*", "Expect:"}));
    EXPECT_FALSE(get.asks_for_encoding);

    // Accept only inside a value: no Accept line goes out at all; POST without a Content-Type line.
    const RequestHeaderLines post =
        ToRequestHeaderLines("X-Note: accept: b, content-type: c", HttpMethod::kPost);
    EXPECT_EQ(post.lines, (std::vector<Text>{"X-Note: accept: b, content-type: c",
                                             "Accept:", "Content-Type:", "Expect:"}));

    EXPECT_TRUE(
        ToRequestHeaderLines("accept-encoding: gzip\r\nAccept: */*", HttpMethod::kGet).asks_for_encoding);
    EXPECT_FALSE(ToRequestHeaderLines("X-A: Accept-Encoding: gzip", HttpMethod::kGet).asks_for_encoding);

    // Only CR LF ends a line; a lone CR or LF inside one never reaches the wire as a line break.
    EXPECT_EQ(
        ToRequestHeaderLines("X-A: 1\nX-Smuggled: yes\r\nX-B: 2\rX-C: 3\r\nX-D:\n\r\nX\nE: \r",
                             HttpMethod::kGet)
            .lines,
        (std::vector<Text>{"X-A: 1 X-Smuggled: yes", "X-B: 2 X-C: 3", "X-D;", "X E;", "Accept:", "Expect:"}));
}

}  // namespace
}  // namespace marl
