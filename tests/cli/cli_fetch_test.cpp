#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "support/raw_http_server.h"
#include "text/text.h"

namespace marl {
namespace {

using test::CliResult;
using test::RawHttpServer;
using test::RunCli;

TEST(CliFetch, PrintsTheCleanedPageAsTheMonitorSeesIt) {
    RawHttpServer server(RawHttpServer::Response(200, "<a href='x.html'>新闻</a>\r\n\r\n<b>&lt;i&gt;"));
    const CliResult plain = RunCli({"fetch", "--url", server.Url("/list")});
    EXPECT_EQ(plain.code, 0);
    EXPECT_EQ(plain.out, "<a href=x.html>新闻</a> <b><i>\n");
    EXPECT_EQ(server.LastRequest().RequestLine(), "GET /list HTTP/1.1");

    const CliResult json = RunCli({"fetch", "--json", "--url", server.Url("/list")});
    EXPECT_EQ(json.code, 0);
    EXPECT_EQ(nlohmann::json::parse(json.out),
              (nlohmann::json{{"event", "page"}, {"text", "<a href=x.html>新闻</a> <b><i>"}}));
}

TEST(CliFetch, GbkPagesAreDecodedWhenAskedFor) {
    RawHttpServer server(RawHttpServer::Response(200, Gbk("<p>中文 页面</p>")));
    EXPECT_EQ(RunCli({"fetch", "--encoding", "gbk", "--url", server.Url("/")}).out, "<p>中文 页面</p>\n");
    // Read as UTF-8 (the default) the Chinese characters are lost.
    EXPECT_EQ(RunCli({"fetch", "--url", server.Url("/")}).out.find("中文"), std::string::npos);
}

TEST(CliFetch, PostAndHeaderLinesShapeTheRequest) {
    RawHttpServer server(RawHttpServer::Response(200, "ok"));
    RunCli({"fetch", "--url", server.Url("/s"), "--post", "kw=中", "--header", "user-agent: T", "--header",
            "x-a: 1"});
    const test::RawRequest post = server.LastRequest();
    EXPECT_EQ(post.RequestLine(), "POST /s HTTP/1.1");
    EXPECT_EQ(post.body, Gbk("kw=中"));
    const std::vector<std::string> lines = post.HeaderLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "User-Agent: T");
    EXPECT_EQ(lines[2], "X-A: 1");

    // An empty --post means GET; the default block brings the editor's agent and cookie lines.
    RunCli({"fetch", "--url", server.Url("/d"), "--post", "", "--default-headers"});
    const test::RawRequest get = server.LastRequest();
    EXPECT_EQ(get.RequestLine(), "GET /d HTTP/1.1");
    EXPECT_TRUE(get.Header("User-Agent").starts_with("Mozilla/5.0 (Windows NT 6.1; WOW64)"));
    EXPECT_EQ(get.Header("Cookie"), Gbk("伪装浏览器或模拟登陆专用（此框一般不用变动）"));
}

TEST(CliFetch, UsageErrorsAndEmptyPages) {
    EXPECT_EQ(RunCli({"fetch"}).code, 2);
    EXPECT_EQ(RunCli({"fetch", "--url", "http://127.0.0.1:1/", "--encoding", "latin1"}).code, 2);
    EXPECT_EQ(RunCli({"fetch", "--url", "http://127.0.0.1:1/\xF0\x9F\x98\x80"}).code, 2);  // no GBK form
    // Nothing arriving is not an error: the text is empty.
    const CliResult empty = RunCli({"fetch", "--json", "--url", "http://127.0.0.1:1/"});
    EXPECT_EQ(empty.code, 0);
    EXPECT_EQ(nlohmann::json::parse(empty.out)["text"], "");
}

}  // namespace
}  // namespace marl
