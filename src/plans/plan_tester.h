#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "monitor/filter_matches.h"
#include "plans/plan_field_choices.h"
#include "text/text.h"
#include "web/http_request.h"

namespace marl {

// Tries the plan that stands in the plan editor's fields, before it is saved: fetches the list page
// with the monitor's fetcher, cuts the area, matches the links and (kFiltered) applies the filters. It
// records nothing and never touches the database. The window and marltips-cli both run it and only
// show what it reports.

// The three test buttons, marltips-cli's --mode 1, 2 and 3: kSource shows the fetched page, kArea also
// cuts the area and lists every matched link, kFiltered lists only the links that pass the row
// structure and the three filter words.
enum class PlanTestMode : int { kSource = 1, kArea = 2, kFiltered = 3 };

// The editor's fields as the user left them (GBK, nothing trimmed), named as in the editor's form.
struct PlanTestInput {
    // 框_编码
    PlanEncoding encoding = PlanEncoding::kAuto;
    Text url;               // 框_url
    Text area;              // 框_区域规则: "start[*]end"
    Text post;              // 框_Post: POST when not empty
    Text ua;                // 框_ua: the request header block
    Text must_contain;      // 框_必含: the must-contain word
    Text may_contain;       // 框_包含: may-contain words as typed, joined by "$$"
    Text must_not_contain;  // 框_不包含: must-not-contain words as typed, joined by "$$"
    Text row_marker;        // 框_行结构: the row-structure marker
    // 框_行结构值: whether a kept link's row must contain the marker or must not
    RowMarkerMode row_marker_mode = RowMarkerMode::kMustContain;
    Text position = "0";  // 框_当前方案: "0" (or empty) for a new plan
};

// Sizes that keep a huge page from swamping the views. 0 means no bound.
inline constexpr size_t kTestSectionBytes = 1u << 20;
inline constexpr size_t kTestRowsShown = 10000;

struct PlanTestEvent;

struct PlanTestOptions {
    HttpLimits limits;  // bounds on the fetch (tests shorten them)
    // Receives the include/exclude expression of every word-filter check (kFiltered), as the monitor's
    // filter does: the window hands in the system clipboard. Empty: the expression goes nowhere.
    ClipboardSink clipboard;
    // Called once the run is past the "|" refusal, just before the fetch: the moment the window empties
    // its source box and test list and repaints its "testing" state. Not called when the run is refused.
    std::function<void()> before_fetch;
    // A section text longer than this is cut at a character boundary and ends with a note giving the
    // full size; the matching always works on the whole text.
    size_t max_section_bytes = kTestSectionBytes;
    // Rows beyond this many are counted in the report but not listed.
    size_t max_rows = kTestRowsShown;
    // When set, every event goes here the moment it is produced instead of into PlanTestResult::events,
    // so a page with millions of links never has all its rows in memory at once.
    std::function<void(const PlanTestEvent&)> on_event;
};

// One kept link, a row of the test list 超级列表框_测试 (columns "id", "链接", "标题", "行结构").
struct PlanTestRow {
    int id = 0;  // running number from 1
    Text link;   // the link as matched
    Text title;  // the anchor's inner HTML as matched
    Text row;    // the whole matched anchor element
};

// One section of the source box 源码编辑框.
struct PlanTestSection {
    Text title, text;
};

// One thing the tester produced, in the order it produced it.
struct PlanTestEvent {
    enum Kind {
        kReport,      // text: one report line, without its CR LF
        kSection,     // section: appended to the source box
        kRow,         // row: added to the test list
        kMessage,     // text: a message box shown at this point (before the report)
        kEncoding,    // encoding: 框_编码 set by auto-detection, GBK or Utf-8
        kLinkPrefix,  // text: the link prefix proposed for 框_dom
    };
    Kind kind = kReport;
    Text text;
    PlanTestSection section;
    PlanTestRow row;
    PlanEncoding encoding = PlanEncoding::kAuto;
};

struct PlanTestResult {
    // True when kFiltered refused a "|" in the filter words: the only event is that message, nothing was
    // emptied or fetched, and no report is shown. Otherwise the report closes every run.
    bool refused = false;
    std::vector<PlanTestEvent> events;  // empty when they were streamed to PlanTestOptions::on_event

    std::vector<Text> ReportLines() const;
    // The report message box text: every line followed by CR LF.
    Text ReportText() const;
    std::vector<PlanTestSection> Sections() const;
    // The whole text of the source box after the run: FormatSourceSection of every section.
    Text SourceBoxText() const;
    std::vector<PlanTestRow> Rows() const;
    std::vector<Text> Messages() const;
    // The encoding index auto-detection chose, if it ran.
    std::optional<PlanEncoding> Encoding() const;
    // The link prefix proposed for 框_dom, if any.
    std::optional<Text> LinkPrefix() const;
};

// Runs one test of the plan in `input` with the button `mode`. Blocks the calling thread for the fetch,
// bounded by options.limits. Never throws.
PlanTestResult RunPlanTest(PlanTestMode mode, const PlanTestInput& input,
                           const PlanTestOptions& options = {});

// The link prefix proposed for relative links, from the plan's address: its scheme, "://", host (with
// port) and "/". An address without "://" is fetched as an http address, so its prefix is built the
// same way. A first link that starts with "/" brings its own, so the prefix then ends with the host
// (the recorded address is "http://host/news/7.html", not "http://host//news/7.html"); one of the
// form "//host/path" names its host too and gets only the scheme.
Text ProposedPrefix(const Text& url, std::string_view first_link);

// A source box section: CR LF, ">>>>>>>>>>>> " and the title, CR LF, 31 hyphens, CR LF, CR LF, the
// text, CR LF, CR LF.
Text FormatSourceSection(const Text& title, const Text& text);

// What a click on a test row writes into the status box 状态输出, segment by segment: "【标题】\r\n" +
// title (this one replaces the box's text), "\r\n【网址】\r\n" + link, "\r\n【行结构】\r\n" + row (both
// appended). Each segment is written with a CR LF in front of it, as the field help is.
std::vector<Text> TestRowSegments(const PlanTestRow& row);

}  // namespace marl
