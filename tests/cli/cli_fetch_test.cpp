#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/raw_http_server.h"
#include "text/text.h"

namespace marl {
namespace {

using test::RawHttpServer;

struct CliRun {
    int exit_code = -1;
    std::string out;
};

// Runs marltips-cli with the arguments and collects its stdout until it exits (stderr is dropped).
CliRun RunCli(const std::vector<std::string>& args) {
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe");
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        close(out[0]);
        close(out[1]);
        std::vector<char*> argv{const_cast<char*>(MARL_CLI_PATH)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(MARL_CLI_PATH, argv.data());
        _exit(127);
    }
    close(out[1]);
    CliRun run;
    char buffer[4096];
    for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;)
        run.out.append(buffer, static_cast<size_t>(got));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(CliFetch, PrintsTheCleanedPageAsTheMonitorSeesIt) {
    RawHttpServer server(RawHttpServer::Response(200, "<a href='x.html'>新闻</a>\r\n\r\n<b>&lt;i&gt;"));
    const CliRun plain = RunCli({"fetch", "--url", server.Url("/list")});
    EXPECT_EQ(plain.exit_code, 0);
    EXPECT_EQ(plain.out, "<a href=x.html>新闻</a> <b><i>\n");
    EXPECT_EQ(server.LastRequest().RequestLine(), "GET /list HTTP/1.1");

    const CliRun json = RunCli({"fetch", "--json", "--url", server.Url("/list")});
    EXPECT_EQ(json.exit_code, 0);
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
    EXPECT_EQ(RunCli({"fetch"}).exit_code, 2);
    EXPECT_EQ(RunCli({"fetch", "--url", "http://127.0.0.1:1/", "--encoding", "latin1"}).exit_code, 2);
    EXPECT_EQ(RunCli({"fetch", "--url", "http://127.0.0.1:1/\xF0\x9F\x98\x80"}).exit_code, 2);  // no GBK form
    // Nothing arriving is not an error: the text is empty.
    const CliRun empty = RunCli({"fetch", "--json", "--url", "http://127.0.0.1:1/"});
    EXPECT_EQ(empty.exit_code, 0);
    EXPECT_EQ(nlohmann::json::parse(empty.out)["text"], "");
}

}  // namespace
}  // namespace marl
