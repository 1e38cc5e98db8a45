#include "web/url_split.h"

#include <gtest/gtest.h>

namespace marl {
namespace {

struct UrlCase {
    const char* what;
    std::string url;
    std::string host;            // without port
    std::string host_with_port;  // keep-port true
    int32_t port;
    std::string path;
};

TEST(UrlSplit, HostPortAndPathFollowTheSplittingRules) {
    const UrlCase cases[] = {
        {"no scheme is plain http", "www.Example.com/News/List.html?id=3", "www.example.com",
         "www.example.com", 80, "/News/List.html?id=3"},
        {"upper-case scheme, explicit port, mixed-case path", "HTTPS://Www.Example.COM:8443/Path/A?Q=1#Frag",
         "www.example.com", "www.example.com:8443", 8443, "/Path/A?Q=1#Frag"},
        {"nothing after the host", "http://example.com", "example.com", "example.com", 80, "/"},
        {"nothing after the port", "Http://Example.com:81", "example.com", "example.com:81", 81, "/"},
        {"query straight after the host joins the host", "http://example.com?a=1", "example.com?a=1",
         "example.com?a=1", 80, "/"},
        {"port without digits", "http://example.com:abc/x", "example.com", "example.com:abc", 0, "/x"},
        {"https without port", "https://example.com/x", "example.com", "example.com", 443, "/x"},
        {"inner http:// of a scheme-less address", "example.com/s?u=http://Other.org/p", "other.org",
         "other.org", 80, "/p"},
        {"IPv6 literal is cut at its first colon", "http://[::1]:8080/x", "[", "[::1]:8080", 8080, "/x"},
        {"user information is cut at its first colon", "http://user:pw@host.com/x", "user",
         "user:pw@host.com", 0, "/x"},
        {"any text beginning with https gets 443", "httpsite.com/x", "httpsite.com", "httpsite.com", 443,
         "/x"},
        {"port beyond 16 bits is passed on", "https://a.com:99999/", "a.com", "a.com:99999", 99999, "/"},
        {"empty address", "", "", "", 80, "/"},
        {"GBK host keeps its bytes, trail byte 'A' included", "http://X\x81\x41.com/P", "x\x81\x41.com",
         "x\x81\x41.com", 80, "/P"},
        {"host that also occurs inside the scheme", "http://t/x", "t", "t", 80, "/x"},
        {"host that also occurs inside https://", "https://tps:8/x", "tps", "tps:8", 8, "/x"},
    };
    for (const UrlCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(UrlHost(c.url, false), c.host);
        EXPECT_EQ(UrlHost(c.url, true), c.host_with_port);
        EXPECT_EQ(UrlPort(c.url), c.port);
        EXPECT_EQ(UrlPath(c.url), c.path);
    }
}

TEST(UrlSplit, PathIsTakenFromTheFirstOccurrenceOfTheHostInAnyCase) {
    // The host is searched case-blind in the address as written; the path keeps its own case.
    EXPECT_EQ(UrlPath("HTTP://NEWS.Site.CN/Index.ASP?Page=2"), "/Index.ASP?Page=2");
    // After the scheme marker, the first occurrence wins even when it is not the host position.
    EXPECT_EQ(UrlPath("a.com/x?r=http://a.co/y"), "/x?r=http://a.co/y");
}

}  // namespace
}  // namespace marl
