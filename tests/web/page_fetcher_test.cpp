#include "web/page_fetcher.h"

#include <gtest/gtest.h>

#include "support/raw_http_server.h"
#include "text/text.h"

namespace marl {
namespace {

using test::RawHttpServer;

TEST(FetchPage, DecodesByThePlanEncodingAndCleans) {
    using namespace std::string_literals;
    const std::string utf8_page = "<li><a href='/n/1.html'>新闻\r\n一</a></li>\n\n<li>&lt;b&gt;</li>\0after"s;
    RawHttpServer utf8(RawHttpServer::Response(200, utf8_page));
    EXPECT_EQ(FetchPage(utf8.Url("/u"), HttpMethod::kGet, "", "", false),
              Gbk("<li><a href=/n/1.html>新闻 一</a></li> <li><b></li>"));

    const std::string gbk_page = Gbk("<p title='标题'>正文\t内容</p>");
    RawHttpServer gbk(RawHttpServer::Response(200, gbk_page));
    EXPECT_EQ(FetchPage(gbk.Url("/g"), HttpMethod::kGet, "", "", true), Gbk("<p title=标题>正文 内容</p>"));
}

TEST(FetchPage, PassesMethodPostDataAndHeadersOn) {
    RawHttpServer server(RawHttpServer::Response(200, "ok"));
    EXPECT_EQ(FetchPage(server.Url("/s"), HttpMethod::kPost, "q=1", "x-plan: 7", true), "ok");
    const test::RawRequest request = server.LastRequest();
    EXPECT_EQ(request.RequestLine(), "POST /s HTTP/1.1");
    EXPECT_EQ(request.body, "q=1");
    EXPECT_EQ(request.Header("X-Plan"), "7");
}

TEST(FetchPage, NothingReceivedGivesAnEmptyText) {
    RawHttpServer mute([](const test::RawRequest&, test::RawReply&) {});
    EXPECT_EQ(FetchPage(mute.Url("/"), HttpMethod::kGet, "", "", false), "");
    // A body of white space only cleans down to one space, not to nothing.
    RawHttpServer blank(RawHttpServer::Response(200, "\r\n\r\n"));
    EXPECT_EQ(FetchPage(blank.Url("/"), HttpMethod::kGet, "", "", true), " ");
}

}  // namespace
}  // namespace marl
