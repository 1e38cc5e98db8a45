#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "plans/plan_suggester.h"
#include "support/page_server.h"
#include "support/temp_dir.h"
#include "text/gbk_codec.h"

namespace marl {
namespace {

using nlohmann::json;
using test::CliResult;
using test::RunCli;

std::string Utf8(const Text& gbk) { return GbkToUtf8Lossy(gbk); }

// A board page: a menu, then eight posts in a list, then a footer.
std::string BoardPage() {
    std::string page =
        "<html><head><meta charset=\"utf-8\"><title>Notice board</title></head><body><div class=\"menu\">"
        "<a href=\"/\">Home</a> <a href=\"/help\">Help</a></div><ul class=\"posts\">";
    for (int i = 0; i < 8; ++i)
        page += "<li><a href=\"/post/" + std::to_string(500 + i) +
                ".html\">Notice about the water supply, part " + std::to_string(i) + "</a></li>";
    return page + "</ul><div class=\"foot\"><a href=\"/contact\">Contact</a></div></body></html>";
}

class CliSuggestTest : public ::testing::Test {
  protected:
    test::PageServer server_;
    test::TempDir dir_;
};

TEST_F(CliSuggestTest, PrintsEachCandidateAsTheSuggestionMadeIt) {
    server_.SetPage("/board", BoardPage());
    const CliResult run = RunCli({"suggest", "--url", server_.Url("/board"), "--json"});
    ASSERT_EQ(run.code, 0) << run.err;
    SuggestInput input;
    input.url = server_.Url("/board");
    const SuggestResult expected = SuggestPlans(input);
    const std::vector<json> records = run.JsonLines();
    ASSERT_EQ(records.size(), expected.candidates.size());
    ASSERT_FALSE(records.empty());
    for (size_t i = 0; i < records.size(); ++i) {
        const PlanSuggestion& c = expected.candidates[i];
        json preview = json::array();
        for (const SuggestPreviewItem& item : c.preview)
            preview.push_back({{"title", Utf8(item.title)}, {"url", Utf8(item.url)}});
        const json want = {{"event", "candidate"},
                           {"rank", i + 1},
                           {"name", Utf8(c.form.name)},
                           {"encoding", "utf-8"},
                           {"area", Utf8(c.form.area)},
                           {"must", Utf8(c.form.must_contain)},
                           {"may", Utf8(c.form.may_contain)},
                           {"not", Utf8(c.form.must_not_contain)},
                           {"prefix", Utf8(c.form.link_prefix)},
                           {"row_key", Utf8(c.form.row_marker)},
                           {"row_value", 1},
                           {"kept", c.kept},
                           {"preview", preview}};
        EXPECT_EQ(records[i], want);
    }
    // The fields in the order the records list them.
    const std::string first_line = run.out.substr(0, run.out.find('\n'));
    EXPECT_EQ(
        first_line.find(
            "{\"event\":\"candidate\",\"rank\":1,\"name\":\"Notice board\",\"encoding\":\"utf-8\",\"area\":"),
        0u)
        << first_line;
    EXPECT_LT(
        first_line.find(
            "\"row_value\":1,\"kept\":8,\"preview\":[{\"title\":\"Notice about the water supply, part 0\""),
        std::string::npos);
}

TEST_F(CliSuggestTest, SaysSoWhenThereIsNoList) {
    server_.SetPage("/empty", "<html><body><p>Nothing here</p><a href=\"/\">Home</a></body></html>");
    const struct {
        std::vector<std::string> args;
        std::string text;
    } rows[] = {
        {{"suggest", "--url", server_.Url("/empty"), "--json"}, "no article list found"},
        {{"suggest", "--url", server_.Url("/missing"), "--json"}, "网页访问：请求不到数据！"},
    };
    for (const auto& row : rows) {
        const CliResult run = RunCli(row.args);
        EXPECT_EQ(run.code, 0) << run.err;
        ASSERT_EQ(run.JsonLines().size(), 1u) << run.out;
        EXPECT_EQ(run.JsonLines()[0], (json{{"event", "message"}, {"text", row.text}}));
    }
}

TEST_F(CliSuggestTest, SaveStoresTheChosenCandidateAsSaveDoes) {
    server_.SetPage("/board", BoardPage());
    test::CreateDatabaseFile(dir_.File("marltips.db"));
    const CliResult run = RunCli(
        {"suggest", "--url", server_.Url("/board"), "--dir", dir_.path().string(), "--save", "1", "--json"});
    ASSERT_EQ(run.code, 0) << run.err;
    const std::vector<json> records = run.JsonLines();
    ASSERT_GE(records.size(), 2u);
    EXPECT_EQ(records.back()["event"], "saved");
    EXPECT_EQ(records.back()["ok"], true);
    const CliResult plans = RunCli({"plans", "--dir", dir_.path().string(), "--json"});
    ASSERT_EQ(plans.JsonLines().size(), 1u) << plans.out;
    EXPECT_EQ(plans.JsonLines()[0]["name"], "Notice board");
    EXPECT_EQ(plans.JsonLines()[0]["url"], server_.Url("/board"));
    // The saved plan keeps what the suggestion previewed.
    const CliResult tried = RunCli({"test", "--url", server_.Url("/board"), "--encoding", "utf-8", "--area",
                                    records[0]["area"].get<std::string>(), "--json"});
    size_t rows = 0;
    for (const json& record : tried.JsonLines()) rows += record["event"] == "row" ? 1 : 0;
    EXPECT_EQ(rows, 8u);
}

TEST_F(CliSuggestTest, RefusesWhatItDoesNotKnow) {
    server_.SetPage("/board", BoardPage());
    test::CreateDatabaseFile(dir_.File("marltips.db"));
    const std::vector<std::vector<std::string>> rows = {
        {"suggest"},
        {"suggest", "--url", server_.Url("/board"), "--save", "4"},
        {"suggest", "--url", server_.Url("/board"), "--save", "0"},
        {"suggest", "--url", server_.Url("/board"), "--encoding", "latin1"},
        {"suggest", "--url", server_.Url("/board"), "--bogus"},
        // A candidate that is not there: known only after the page has been read.
        {"suggest", "--url", server_.Url("/board"), "--dir", dir_.path().string(), "--save", "3"},
    };
    for (const auto& args : rows) {
        const CliResult run = RunCli(args);
        EXPECT_EQ(run.code, 2) << args.back() << "\n" << run.out;
        EXPECT_EQ(test::LineCount(run.err), 1) << run.err;
    }
}

}  // namespace
}  // namespace marl
