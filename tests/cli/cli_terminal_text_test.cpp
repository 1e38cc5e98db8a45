// Text from pages, the database and the command line reaches a terminal without raw control
// characters: a page must not be able to retitle, clear or restyle the user's terminal. --json keeps
// the texts as they are (JSON escapes them itself).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "store/raw_sqlite.h"
#include "support/page_server.h"
#include "support/raw_http_server.h"
#include "support/temp_dir.h"

namespace marl {
namespace {

using test::CliResult;
using test::RunCli;

// The title and link of the hostile page, as the page writes them and as a terminal must show them.
constexpr char kHostileTitle[] = "&#27;]0;PWNED&#7;&#27;[2J";
constexpr char kTitleShown[] = "\\x1b]0;PWNED\\x07\\x1b[2J";
constexpr char kHostileLink[] = "/n/\x1b[31m1.html";
constexpr char kLinkShown[] = "/n/\\x1b[31m1.html";

// True when the text holds a control character other than tab, LF and CR directly before LF, or DEL.
bool HasRawControl(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool line_break = c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n');
        if ((c < 0x20 && c != '\t' && !line_break) || c == 0x7F) return true;
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= 0x9F) return true;
    }
    return false;
}

// The escaping itself, through a message that repeats what was typed (there it also keeps the
// message on one line, so line breaks are escaped too).
TEST(CliTerminalText, TypedWordsAreShownWithVisibleEscapes) {
    struct Case {
        const char* what;
        std::string typed, shown;
    };
    const Case cases[] = {
        {"escape sequences", "\x1b]0;PWNED\x07\x1b[2J", "\\x1b]0;PWNED\\x07\\x1b[2J"},
        {"other C0 controls", std::string("a\x01\x08\x1f", 4) + "b", "a\\x01\\x08\\x1fb"},
        {"tab stays", "a\tb", "a\tb"},
        {"line breaks within one line", "a\nb\r\nc\rd", "a\\x0ab\\x0d\\x0ac\\x0dd"},
        {"DEL", "a\x7f", "a\\x7f"},
        {"C1 controls in UTF-8", "\xc2\x80x\xc2\x9b[2J\xc2\x9f", "\\x80x\\x9b[2J\\x9f"},
        {"characters beside C1 stay", "\xc2\xa0\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80",
         "\xc2\xa0\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80"},
        {"a lone C1 byte, read as CSI by 8-bit terminals", "\x9b[2J", "\\x9b[2J"},
        {"overlong ESC", "\xc0\x9b", "\\xc0\\x9b"},
        {"surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80"},
        {"above U+10FFFF", "\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
        {"cut short at the end", "a\xe4\xb8", "a\\xe4\\xb8"},
        {"cut short before a control", "\xe4\x1b", "\\xe4\\x1b"},
        {"backslashes stay", "a\\x1b", "a\\x1b"},
    };
    for (const Case& c : cases) {
        const CliResult run = RunCli({"help", c.typed});
        EXPECT_EQ(run.code, 2) << c.what;
        EXPECT_EQ(run.err, "marltips-cli: help: no such command: " + c.shown + "\n") << c.what;
    }
}

TEST(CliTerminalText, AMissingDatabaseIsNamedWithVisibleEscapes) {
    for (const char* command : {"pass", "watch", "history", "feed", "serve", "plans"}) {
        const CliResult run = RunCli({command, "--dir", "/nonexistent/a\x1b[2J"});
        EXPECT_EQ(run.code, 3) << command;
        EXPECT_EQ(run.err, "marltips-cli: database missing: /nonexistent/a\\x1b[2J/marltips.db (run init)\n")
            << command;
    }
}

TEST(CliTerminalText, FetchShowsThePagesControlsAsEscapes) {
    // Single vertical tab and form feed outlive the clean-up; runs of blanks do not.
    test::RawHttpServer server(test::RawHttpServer::Response(200,
                                                             "<p>\x1b]0;PWNED\x07\x1b[2Ja\x0b"
                                                             "b\x0c"
                                                             "c\x7f</p>"));
    const CliResult plain = RunCli({"fetch", "--url", server.Url("/")});
    EXPECT_EQ(plain.code, 0);
    EXPECT_EQ(plain.out, "<p>\\x1b]0;PWNED\\x07\\x1b[2Ja\\x0bb\\x0cc\\x7f</p>\n");

    const CliResult json = RunCli({"fetch", "--json", "--url", server.Url("/")});
    EXPECT_EQ(nlohmann::json::parse(json.out)["text"],
              "<p>\x1b]0;PWNED\x07\x1b[2Ja\x0b"
              "b\x0c"
              "c\x7f</p>");
}

class CliTerminalTextOnPages : public ::testing::Test {
  protected:
    void SetUp() override {
        server_.SetPage("/list", std::string("<ul><li><a href=\"") + kHostileLink + "\">" + kHostileTitle +
                                     "</a></li></ul>");
        test::CreateDatabaseFile(dir_.File("marltips.db"));
        test::RawSqlite(dir_.File("marltips.db"))
            .ExecBound(
                "INSERT INTO rule (id, name, url, code, ua, post, part, dom, url_key, url_key_i, inck, inc1, "
                "inc0) VALUES (1, ?, ?, '2', '', '', '[*]', ?, '', '1', '', '', '')",
                {"plan\x1b[8m", server_.Url("/list"), server_.Url("")});
    }

    std::string Dir() const { return dir_.path().string(); }

    test::TempDir dir_;
    test::PageServer server_;
};

TEST_F(CliTerminalTextOnPages, PassShowsTitlesLinksAndPlanNamesAsEscapes) {
    const CliResult json = RunCli({"pass", "--dir", Dir(), "--json", "1"});
    ASSERT_EQ(json.code, 0) << json.err;
    bool found = false;
    for (const nlohmann::json& record : json.JsonLines()) {
        if (record["event"] != "article") continue;
        found = true;
        EXPECT_EQ(record["title"], "\x1b]0;PWNED\x07\x1b[2J");  // JSON keeps the text
        EXPECT_EQ(record["url"], server_.Url(kHostileLink));
    }
    ASSERT_TRUE(found) << json.out;

    test::RawSqlite(dir_.File("marltips.db")).Exec("DELETE FROM info");
    const CliResult plain = RunCli({"pass", "--dir", Dir(), "1"});
    ASSERT_EQ(plain.code, 0) << plain.err;
    EXPECT_FALSE(HasRawControl(plain.out)) << plain.out;
    EXPECT_NE(plain.out.find(std::string(" [plan\\x1b[8m] ") + kTitleShown + "  " + server_.Url(kLinkShown)),
              std::string::npos)
        << plain.out;
    EXPECT_NE(plain.out.find("[ plan\\x1b[8m ] "), std::string::npos) << plain.out;  // the status lines
}

TEST_F(CliTerminalTextOnPages, TestShowsSectionsAndRowsAsEscapes) {
    const CliResult plain = RunCli({"test", "--url", server_.Url("/list"), "--encoding", "utf-8"});
    ASSERT_EQ(plain.code, 0) << plain.err;
    EXPECT_FALSE(HasRawControl(plain.out)) << plain.out;
    // The tester shows the title's HTML as written; the link holds the raw ESC.
    EXPECT_NE(plain.out.find(std::string("1\t") + kLinkShown + "\t&#27;]0;"), std::string::npos) << plain.out;
}

// What was stored shows escaped too, and where a line breaks (CR LF) it still breaks.
TEST_F(CliTerminalTextOnPages, StoredNamesAndFailedStatementsAreEscaped) {
    const CliResult plans = RunCli({"plans", "--dir", Dir()});
    ASSERT_EQ(plans.code, 0) << plans.err;
    EXPECT_NE(plans.out.find("plan\\x1b[8m  "), std::string::npos) << plans.out;
    EXPECT_FALSE(HasRawControl(plans.out)) << plans.out;

    test::TempDir empty;
    test::WriteFileBytes(empty.File("marltips.db"), "");  // no plan table: the statement fails
    const CliResult failed = RunCli(
        {"save", "--dir", empty.path().string(), "--name", "x\ry\x1b", "--url", "u", "--encoding", "gbk"});
    EXPECT_NE(failed.code, 0);
    EXPECT_EQ(failed.out.rfind("失败！SQL语句：\r\nINSERT ", 0), 0u) << failed.out;
    EXPECT_NE(failed.out.find("'x\\x0dy\\x1b'"), std::string::npos) << failed.out;
    EXPECT_FALSE(HasRawControl(failed.out)) << failed.out;
}

}  // namespace
}  // namespace marl
