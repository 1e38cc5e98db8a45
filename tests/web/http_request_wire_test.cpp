// The exact bytes a request puts on the wire, captured by a raw socket server.
#include <gtest/gtest.h>

#include "support/raw_http_server.h"
#include "web/http_request.h"

namespace marl {
namespace {

using test::RawHttpServer;

const char kAgentLine[] = "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\r\n";

class RequestBytes : public ::testing::Test {
  protected:
    RawHttpServer server_{RawHttpServer::Response(200, "ok")};
    std::string host_ = "127.0.0.1:" + std::to_string(server_.port());

    // Sends the request and returns what the server received.
    std::string Capture(const std::string& url, HttpMethod method, const std::string& body,
                        const std::string& header_text) {
        const size_t before = server_.RequestCount();
        EXPECT_EQ(SendRequest(url, method, body, header_text), "ok");
        EXPECT_EQ(server_.RequestCount(), before + 1);
        return server_.LastRequest().bytes;
    }
};

TEST_F(RequestBytes, HeaderLinesFollowThePlanThenTheMissingDefaults) {
    const std::string url = server_.Url("/list?p=1");
    const std::string referer = "Referer: " + url + "\r\n";
    const std::string get = "GET /list?p=1 HTTP/1.1\r\nHost: " + host_ + "\r\n";
    const struct {
        const char* what;
        std::string header_text;
        std::string expected;
    } cases[] = {
        {"empty header text", "",
         get + kAgentLine + "Accept: */*\r\n" + referer + "Accept-Language: zh-cn\r\n\r\n"},
        {"lower-case names", "user-agent: X\r\ncookie: a=1",
         get + "User-Agent: X\r\nCookie: a=1\r\nAccept: */*\r\n" + referer +
             "Accept-Language: zh-cn\r\n\r\n"},
        {"line without colon left out", "Mozilla/5.0 (bare agent)\r\nx-a: 1",
         get + kAgentLine + "X-A: 1\r\nAccept: */*\r\n" + referer + "Accept-Language: zh-cn\r\n\r\n"},
        {"capitals are kept and give the agent", "USER-AGENT: X",
         get + "USER-AGENT: X\r\nAccept: */*\r\n" + referer + "Accept-Language: zh-cn\r\n\r\n"},
        {"empty User-Agent value is sent empty", "User-Agent:\r\nx-b: 2",
         get + "User-Agent:\r\nX-B: 2\r\nAccept: */*\r\n" + referer + "Accept-Language: zh-cn\r\n\r\n"},
        {"other-case Accept-Language and Referer suppress defaults",
         "ACCEPT-LANGUAGE: en\r\nreferer: http://r/",
         get + kAgentLine + "ACCEPT-LANGUAGE: en\r\nReferer: http://r/\r\nAccept: */*\r\n\r\n"},
        {"agent taken across lines is sent on one line", "X-Note: user-agent:\r\nx-b: 2",
         get + "User-Agent: user-agent:  X-B: 2\r\nX-Note: user-agent:\r\nX-B: 2\r\nAccept: */*\r\n" +
             referer + "Accept-Language: zh-cn\r\n\r\n"},
        {"Accept named only inside a value: no Accept line at all", "X-Note: accept: never",
         get + kAgentLine + "X-Note: accept: never\r\n" + referer + "Accept-Language: zh-cn\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Capture(url, HttpMethod::kGet, "", c.header_text), c.expected);
    }
}

TEST_F(RequestBytes, PostSendsTheBodyBytesAsTheyStand) {
    const std::string url = server_.Url("/search.asp");
    const std::string start = "POST /search.asp HTTP/1.1\r\nHost: " + host_ + "\r\n" + kAgentLine;
    const std::string defaults = "Accept: */*\r\nReferer: " + url + "\r\nAccept-Language: zh-cn\r\n";

    EXPECT_EQ(Capture(url, HttpMethod::kPost, "a=1&b=2", ""),
              start + defaults +
                  "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 7\r\n\r\na=1&b=2");
    EXPECT_EQ(Capture(url, HttpMethod::kPost, "a=1&b=2", "content-type: text/plain"),
              start + "Content-Type: text/plain\r\n" + defaults + "Content-Length: 7\r\n\r\na=1&b=2");
    // GBK bytes go out unescaped; an empty POST still announces its length.
    EXPECT_EQ(server_.LastRequest().body, "a=1&b=2");
    Capture(url, HttpMethod::kPost, "kw=\xD6\xD0 &x='", "");
    EXPECT_EQ(server_.LastRequest().body, "kw=\xD6\xD0 &x='");
    Capture(url, HttpMethod::kPost, "", "");
    EXPECT_EQ(server_.LastRequest().Header("Content-Length"), "0");
}

TEST_F(RequestBytes, AddressWithoutSchemeIsTheRefererAsWritten) {
    const std::string url = host_ + "/News/Index.html";
    const std::string bytes = Capture(url, HttpMethod::kGet, "", "");
    EXPECT_EQ(bytes.substr(0, bytes.find("\r\n")), "GET /News/Index.html HTTP/1.1");
    EXPECT_NE(bytes.find("\r\nReferer: " + url + "\r\n"), std::string::npos);
}

TEST_F(RequestBytes, LineBreaksInTheAddressNeverStartAHeader) {
    const struct {
        const char* line_break;
        const char* escaped;
    } cases[] = {{"\r\n", "%0D%0A"}, {"\n", "%0A"}, {"\r", "%0D"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.escaped);
        const std::string bytes =
            Capture(server_.Url("/echo") + c.line_break + "X-Smuggled: yes", HttpMethod::kGet, "", "");
        EXPECT_EQ(bytes.substr(0, bytes.find("\r\n")),
                  "GET /echo" + std::string(c.escaped) + "X-Smuggled:%20yes HTTP/1.1");
        EXPECT_NE(bytes.find("\r\nReferer: " + server_.Url("/echo") + c.escaped + "X-Smuggled: yes\r\n"),
                  std::string::npos);
        EXPECT_EQ(bytes.find("\nX-Smuggled"), std::string::npos);
        EXPECT_EQ(bytes.find("\rX-Smuggled"), std::string::npos);
        EXPECT_FALSE(server_.LastRequest().HasHeader("X-Smuggled"));
    }
}

TEST_F(RequestBytes, PathIsEscapedWhereARequestLineNeedsItAndTheQueryIsSentAsWritten) {
    const std::string bytes =
        Capture(server_.Url("/a b/\xD6\xD0.asp?kw=\xCE\xC4&x=%41#top"), HttpMethod::kGet, "", "");
    EXPECT_EQ(bytes.substr(0, bytes.find("\r\n")), "GET /a%20b/%D6%D0.asp?kw=\xCE\xC4&x=%41 HTTP/1.1");
}

TEST_F(RequestBytes, TextAfterAZeroByteIsNotPartOfAnyInput) {
    using namespace std::string_literals;
    const std::string url = server_.Url("/z");
    const std::string bytes =
        Capture(url + "\0/ignored"s, HttpMethod::kPost, "a=1\0b=2"s, "X-A: 1\0\r\nX-B: 2"s);
    EXPECT_EQ(server_.LastRequest().body, "a=1");
    EXPECT_NE(bytes.find("\r\nX-A: 1\r\n"), std::string::npos);
    EXPECT_EQ(bytes.find("X-B"), std::string::npos);
    EXPECT_EQ(bytes.find("ignored"), std::string::npos);
}

}  // namespace
}  // namespace marl
