#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "plans/plan_tester.h"
#include "store/plan_store.h"
#include "support/page_server.h"
#include "support/raw_http_server.h"
#include "text/gbk_codec.h"
#include "text/text.h"

namespace marl {
namespace {

using nlohmann::json;
using test::CliResult;
using test::RunCli;

std::string Utf8(const Text& gbk) { return GbkToUtf8Lossy(gbk); }

// The records the command must print for what the tester produced, in the same order.
std::vector<json> ExpectedRecords(const PlanTestResult& result) {
    std::vector<json> records;
    for (const PlanTestEvent& event : result.events) {
        switch (event.kind) {
            case PlanTestEvent::kReport:
                records.push_back({{"event", "report"}, {"text", Utf8(event.text)}});
                break;
            case PlanTestEvent::kSection:
                records.push_back({{"event", "section"},
                                   {"title", Utf8(event.section.title)},
                                   {"text", Utf8(event.section.text)}});
                break;
            case PlanTestEvent::kRow:
                records.push_back({{"event", "row"},
                                   {"id", event.row.id},
                                   {"link", Utf8(event.row.link)},
                                   {"title", Utf8(event.row.title)},
                                   {"row", Utf8(event.row.row)}});
                break;
            case PlanTestEvent::kMessage:
                records.push_back({{"event", "message"}, {"text", Utf8(event.text)}});
                break;
            case PlanTestEvent::kEncoding:
                records.push_back({{"event", "encoding"},
                                   {"value", event.encoding == PlanEncoding::kGbk ? "GBK" : "Utf-8"}});
                break;
            case PlanTestEvent::kLinkPrefix:
                records.push_back({{"event", "dom"}, {"value", Utf8(event.text)}});
                break;
        }
    }
    return records;
}

std::string Anchor(const std::string& link, const std::string& html) {
    return "<a href=\"" + link + "\">" + html + "</a>";
}

class CliTestCommand : public ::testing::Test {
  protected:
    CliTestCommand() {
        std::string list = "<html><head><meta charset=\"utf-8\"></head><body>" +
                           Anchor("/about.html", "关于") + "<ul class=\"news\">";
        for (const std::string link : {"/news/1.html", "/list/2.html", "/News/3.html"}) {
            list +=
                "<li>" + Anchor(link, "<img src=\"t.jpg\">") + Anchor(link, "<b>新闻</b> " + link) + "</li>";
        }
        list += "</ul></body></html>";
        server_.SetPage("/news/index.html", list);
        server_.SetPage("/gbk.html", Gbk("<meta charset=\"gb2312\">") + Gbk(Anchor("./a.html", "甲")),
                        "text/html");
    }

    test::PageServer server_;
};

TEST_F(CliTestCommand, JsonRecordsMatchTheTesterRunOnTheSameValues) {
    const std::string url = server_.Url("/news/index.html");
    struct Case {
        std::string label;
        std::vector<std::string> args;  // after "test --json --url URL"
        PlanTestMode mode;
        PlanTestInput input;
    };
    auto input = [&url](auto&& fill) {
        PlanTestInput in;
        in.url = url;
        in.area = "[*]";
        fill(in);
        return in;
    };
    const std::vector<Case> cases = {
        {"defaults", {}, PlanTestMode::kFiltered, input([](PlanTestInput&) {})},
        {"mode 1",
         {"--mode", "1", "--encoding", "utf-8"},
         PlanTestMode::kSource,
         input([](PlanTestInput& in) { in.encoding = PlanEncoding::kUtf8; })},
        {"mode 2 with an area",
         {"--mode", "2", "--area", "<ul class=#引号news#引号>[*]</ul>", "--must", "x"},
         PlanTestMode::kArea,
         input([](PlanTestInput& in) {
             in.area = Gbk("<ul class=#引号news#引号>[*]</ul>");
             in.must_contain = "x";
         })},
        {"area not found", {"--area", "<ol>[*]</ol>"}, PlanTestMode::kFiltered, input([](PlanTestInput& in) {
             in.area = "<ol>[*]</ol>";
         })},
        {"mode 3 filters",
         {"--encoding", "gbk", "--may", "news$$list", "--not", "2", "--must", "news", "--row-key", "<img",
          "--row-value", "-1"},
         PlanTestMode::kFiltered,
         input([](PlanTestInput& in) {
             in.encoding = PlanEncoding::kGbk;
             in.may_contain = "news$$list";
             in.must_not_contain = "2";
             in.must_contain = "news";
             in.row_marker = "<img";
             in.row_marker_mode = RowMarkerMode::kMustNotContain;
         })},
        {"stored plan", {"--position", "4"}, PlanTestMode::kFiltered, input([](PlanTestInput& in) {
             in.position = "4";
         })},
        {"refused", {"--may", "a|b"}, PlanTestMode::kFiltered, input([](PlanTestInput& in) {
             in.may_contain = "a|b";
         })},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"test", "--json", "--url", url};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult run = RunCli(args);
        EXPECT_EQ(run.code, 0) << c.label;
        const std::vector<json> expected = ExpectedRecords(RunPlanTest(c.mode, c.input));
        EXPECT_GE(expected.size(), 1u) << c.label;
        EXPECT_EQ(run.JsonLines(), expected) << c.label;
    }

    // A GBK page under auto-detection, with a first link the prefix cannot be made for.
    const CliResult gbk = RunCli({"test", "--json", "--mode", "2", "--url", server_.Url("/gbk.html")});
    const std::vector<json> records = gbk.JsonLines();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.front(), (json{{"event", "encoding"}, {"value", "GBK"}}));
    EXPECT_EQ(records.back(), (json{{"event", "message"}, {"text", "补上域名 字段，无法自动识别"}}));
}

TEST_F(CliTestCommand, OutputForPeopleShowsSectionsRowsAndTheReportLast) {
    const CliResult run = RunCli({"test", "--url", server_.Url("/news/index.html"), "--mode", "2", "--area",
                                  "<ul class=\"news\">[*]</ul>"});
    EXPECT_EQ(run.code, 0);
    EXPECT_NE(run.out.find(">>>>>>>>>>>> 网页源码\n-------------------------------\n"), std::string::npos);
    EXPECT_NE(
        run.out.find(
            "\n1\t/news/1.html\t<img src=\"t.jpg\">\t<a href=\"/news/1.html\"><img src=\"t.jpg\"></a>\n"),
        std::string::npos);
    EXPECT_NE(run.out.find("encoding: Utf-8\n"), std::string::npos);
    EXPECT_NE(run.out.find("dom: http://127.0.0.1:" + std::to_string(server_.port()) + "\n"),
              std::string::npos);
    const std::string report =
        "report:\n  网页源码：访问正常\n  区间匹配状态：已启用\n  区间匹配状态：正常（已截取到代码）\n"
        "  匹配链接数：6\n  网址筛选结果：6\n";
    ASSERT_GE(run.out.size(), report.size());
    EXPECT_EQ(run.out.substr(run.out.size() - report.size()), report);
}

TEST_F(CliTestCommand, RequestTakesPostAndHeaderLinesInOrder) {
    test::RawHttpServer site(test::RawHttpServer::Response(200, "<p>ok</p>"));
    const CliResult post = RunCli({"test", "--json", "--mode", "1", "--url", site.Url("/s"), "--post",
                                   "kw=中", "--default-headers", "--header", "x-one: 1"});
    EXPECT_EQ(post.code, 0);
    const test::RawRequest request = site.LastRequest();
    EXPECT_EQ(request.RequestLine(), "POST /s HTTP/1.1");
    EXPECT_EQ(request.body, Gbk("kw=中"));
    EXPECT_TRUE(request.Header("User-Agent").starts_with("Mozilla/5.0 (Windows NT 6.1; WOW64)"));
    EXPECT_EQ(request.Header("Cookie"), Gbk("伪装浏览器或模拟登陆专用（此框一般不用变动）"));
    EXPECT_EQ(request.Header("X-One"), "1");

    RunCli({"test", "--mode", "1", "--url", site.Url("/g")});
    EXPECT_EQ(site.LastRequest().RequestLine(), "GET /g HTTP/1.1");
}

TEST_F(CliTestCommand, EmptyPageIsNotAnErrorAndBadOptionsAre) {
    const CliResult empty = RunCli({"test", "--json", "--url", "http://127.0.0.1:1/"});
    EXPECT_EQ(empty.code, 0);
    ASSERT_EQ(empty.JsonLines().size(), 2u);
    EXPECT_EQ(empty.JsonLines()[1], (json{{"event", "report"}, {"text", "网页访问：请求不到数据！"}}));

    const std::string url = "http://127.0.0.1:1/";
    const std::vector<std::vector<std::string>> refused = {
        {"test"},
        {"test", "--url", url, "--mode", "4"},
        {"test", "--url", url, "--mode", "two"},
        {"test", "--url", url, "--encoding", "big5"},
        {"test", "--url", url, "--row-value", "0"},
        {"test", "--url", url, "--position", "-1"},
        {"test", "--url", url, "--position", "9999999999"},
        {"test", "--url", url, "--bogus", "1"},
        {"test", "--url", url, "extra"},
        {"test", "--url", url, "--must", "\xF0\x9F\x98\x80"},  // no GBK form
        {"test", "--url", url, "--area"},                      // no value
    };
    for (const auto& args : refused) {
        const CliResult run = RunCli(args);
        EXPECT_EQ(run.code, 2) << args.back();
        EXPECT_EQ(run.out, "") << args.back();
    }
}

}  // namespace
}  // namespace marl
