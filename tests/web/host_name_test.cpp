#include "web/host_name.h"

#include <gtest/gtest.h>

#include <string>

#include "support/raw_http_server.h"
#include "text/text.h"
#include "web/http_request.h"
#include "web/url_split.h"

namespace marl {
namespace {

TEST(ConnectionHost, InternationalisedNamesTakeTheirAsciiForm) {
    const struct {
        const char* what;
        std::string host;  // GBK, as UrlHost gives it
        std::string ascii;
    } cases[] = {
        {"ASCII host as it is", "www.example.com", "www.example.com"},
        {"underscore and digits", "a_b-1.example", "a_b-1.example"},
        {"ASCII punycode as it is", "xn--fiq228c.com", "xn--fiq228c.com"},
        {"Chinese label", Gbk("中文.com"), "xn--fiq228c.com"},
        {"Chinese top-level label", Gbk("例子.中国"), "xn--fsqu00a.xn--fiqs8s"},
        {"ideographic full stop separates labels", Gbk("中文。中国"), "xn--fiq228c.xn--fiqs8s"},
        {"full-width letters fold to ASCII", Gbk("ｗｗｗ．ＥＸＡＭＰＬＥ．ｃｏｍ"), "www.example.com"},
        {"Latin letter with diacritic", Gbk("bücher.de"), "xn--bcher-kva.de"},
        {"Chinese name with ASCII labels", Gbk("news.新闻.cn"), "news.xn--efvy88h.cn"},
        {"trailing dot kept", Gbk("中文.com."), "xn--fiq228c.com."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ConnectionHost(c.host), c.ascii);
    }
}

TEST(ConnectionHost, TextThatCannotNameAHostIsRefused) {
    const struct {
        const char* what;
        std::string host;
    } cases[] = {
        {"empty", ""},
        {"query joined to the host", "example.com?a=1"},
        {"user information", "user@example.com"},
        {"blank", "a b.com"},
        {"IPv6 literal cut at its colon", "["},
        {"query joined to a Chinese host", Gbk("中文.com?a=1")},
        {"full-width space", Gbk("中文　.com")},
        {"full-width colon", Gbk("中文.com：80")},
        {"lone GBK lead byte", "\x81"},
        {"GBK lead byte without a valid trail byte", "a\x81\x20.com"},
        {"private-use character (GBK user-defined area)", "a\xAA\xA1.com"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ConnectionHost(c.host), "");
    }
}

TEST(ConnectionHost, RequestGoesToTheAsciiFormOfTheHost) {
    test::RawHttpServer server(test::RawHttpServer::Response(200, "page"));
    const std::string port = std::to_string(server.port());
    // Full-width digits and stops name the loopback address once converted.
    const Text url = Gbk("http://１２７。０．０．１:") + port + Gbk("/列表?页=1");
    EXPECT_EQ(UrlHost(url, false), Gbk("１２７。０．０．１"));  // the host as the splitting rules give it
    EXPECT_EQ(SendRequest(url, HttpMethod::kGet, "", ""), "page");
    const test::RawRequest request = server.LastRequest();
    EXPECT_EQ(request.Header("Host"), "127.0.0.1:" + port);
    EXPECT_EQ(request.RequestLine(), "GET /%C1%D0%B1%ED?" + Gbk("页") + "=1 HTTP/1.1");
    // Referer carries the address exactly as the plan stores it.
    EXPECT_EQ(request.Header("Referer"), url);

    const size_t before = server.RequestCount();
    EXPECT_EQ(SendRequest(Gbk("http://１２７．０．０．１　:") + port + "/", HttpMethod::kGet, "", ""), "");
    EXPECT_EQ(server.RequestCount(), before);
}

}  // namespace
}  // namespace marl
