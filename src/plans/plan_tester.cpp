#include "plans/plan_tester.h"

#include <exception>
#include <new>
#include <optional>
#include <string>

#include "monitor/link_matcher.h"
#include "monitor/process_plan.h"
#include "text/text_ops.h"
#include "web/http_request.h"
#include "web/page_decoding.h"
#include "web/page_fetcher.h"

namespace marl {
namespace {

// The tester's own texts, converted to GBK once.
struct Texts {
    Text bar_refused = Gbk("网址筛选词，不能用竖线 | ，请修正");
    Text no_prefix = Gbk("补上域名 字段，无法自动识别");
    Text page_empty = Gbk("网页访问：请求不到数据！");
    Text page_ok = Gbk("网页源码：访问正常");
    Text status_head = Gbk("网页状态：HTTP ");
    Text status_tail = Gbk("（不是正常页面，下面的结果可能不对）");
    Text area_off = Gbk("区间匹配状态：未启用（没填写或格式异常）");
    Text area_on = Gbk("区间匹配状态：已启用");
    Text area_failed = Gbk("区间截取规则校验：失败（截取代码空）");
    Text area_ok = Gbk("区间匹配状态：正常（已截取到代码）");
    Text matched = Gbk("匹配链接数：");
    Text kept = Gbk("网址筛选结果：");
    Text section_page = Gbk("网页源码");
    Text section_area = Gbk("区间信息截取");
    Text section_matched = Gbk("匹配链接数");
    Text section_kept = Gbk("网址筛选结果");
    Text cut_note_total = Gbk("……（共 ");
    Text cut_note_shown = Gbk(" 字节，这里只显示前 ");
    Text cut_note_end = Gbk(" 字节）");
    Text out_of_memory = Gbk("内存不足，测试中止");
    Text failed = Gbk("测试出错，已中止");
    Text row_title = Gbk("【标题】\r\n");
    Text row_link = Gbk("\r\n【网址】\r\n");
    Text row_row = Gbk("\r\n【行结构】\r\n");
};

const Texts& T() {
    static const Texts texts;
    return texts;
}

// True when the text holds a "|" of its own. A GBK character may have 0x7C as its second byte; that
// byte is part of the character, not a bar, and the filter reads the words as characters.
bool HasBar(std::string_view text) { return FindCharacter(text, '|') != kNotFound; }

// The text as the views get it: whole up to `limit` bytes, else cut before the first character that
// would cross the limit, followed by a note with the full size.
Text ForView(const Text& text, size_t limit) {
    if (limit == 0 || text.size() <= limit) return text;
    size_t cut = 0;
    while (cut < limit) {
        const size_t width =
            IsGbkLead(static_cast<unsigned char>(text[cut])) && cut + 1 < text.size() ? 2 : 1;
        if (cut + width > limit) break;
        cut += width;
    }
    return text.substr(0, cut) + T().cut_note_total + std::to_string(text.size()) + T().cut_note_shown +
           std::to_string(cut) + T().cut_note_end;
}

// The report line for a response whose status is not 2xx.
Text HttpStatusLine(int status) { return T().status_head + std::to_string(status) + T().status_tail; }

class Run {
  public:
    Run(PlanTestMode mode, const PlanTestInput& input, const PlanTestOptions& options, PlanTestResult& result)
        : mode_(mode == PlanTestMode::kSource || mode == PlanTestMode::kArea ? mode
                                                                             : PlanTestMode::kFiltered),
          in_(input),
          options_(options),
          result_(result) {}

    // Fetch the page, cut the area, keep the links, propose the link prefix: each step reports as it
    // goes, and a step that finds nothing to hand on ends the run.
    void Go() {
        if (RefusesBar()) return;
        if (options_.before_fetch) options_.before_fetch();
        const Text page = FetchPage();
        if (page.empty() || mode_ == PlanTestMode::kSource) return;
        Text cut;
        const Text* text = CutArea(page, cut);
        if (text == nullptr) return;
        const std::vector<LinkMatch> matches = FindLinks(*text);
        KeepLinks(matches);
        ProposeLinkPrefix(matches);
    }

    void Report(const Text& line) { Emit(TextEvent(PlanTestEvent::kReport, line)); }

  private:
    bool Filtered() const { return mode_ == PlanTestMode::kFiltered; }

    // kFiltered refuses a "|" in the filter words, before anything is emptied or fetched.
    bool RefusesBar() {
        if (!Filtered() || !HasBar(in_.may_contain + in_.must_not_contain)) return false;
        Message(T().bar_refused);
        result_.refused = true;
        return true;
    }

    // Fetches the list page and reads it (empty when nothing came), showing it and reporting how the
    // fetch went.
    Text FetchPage() {
        HttpResponse response =
            SendRequestWithStatus(in_.url, in_.post.empty() ? HttpMethod::kGet : HttpMethod::kPost, in_.post,
                                  in_.ua, options_.limits);
        const int status = response.status;
        Text page = ReadPage(std::move(response.body));
        Section(T().section_page, page);
        Report(page.empty() ? T().page_empty : T().page_ok);
        // The body of an error page is a page too, and its links would be listed: say why they may be
        // the wrong ones.
        if (status != 0 && (status < 200 || status > 299)) Report(HttpStatusLine(status));
        return page;
    }

    // The page's text in the chosen encoding. 自动识别 reads the page as UTF-8 first; the page's own
    // declaration then picks the list entry, and a page that declares GBK is read again from its bytes
    // in this same run.
    Text ReadPage(std::string&& received) {
        if (in_.encoding != PlanEncoding::kAuto)
            return PageText(std::move(received), in_.encoding == PlanEncoding::kGbk);
        std::string body = received;
        Text page = PageText(std::move(received), false);
        if (!page.empty()) {
            PlanTestEvent event = Event(PlanTestEvent::kEncoding);
            event.encoding =
                DetectPageEncoding(page) == PageEncoding::kUtf8 ? PlanEncoding::kUtf8 : PlanEncoding::kGbk;
            if (event.encoding == PlanEncoding::kGbk) page = PageText(std::move(body), true);
            Emit(std::move(event));
        }
        return page;
    }

    // The text the links are looked for in: the whole page when the area's markers are not both
    // given, else the text between them, kept in `cut`. Null when the markers cut out nothing, which
    // ends the run.
    const Text* CutArea(const Text& page, Text& cut) {
        const Text area = ">>>|" + in_.area + "|<<<";
        const Text start = TextBetween(area, ">>>|", "[*]");
        const Text end = TextBetween(area, "[*]", "|<<<");
        if (start.empty() || end.empty()) {
            Report(T().area_off);
            return &page;
        }
        Report(T().area_on);
        cut = TextBetween(page, start, end);
        Report(cut.empty() ? T().area_failed : T().area_ok);
        Section(T().section_area, cut);
        return cut.empty() ? nullptr : &cut;
    }

    // Lists the matched links that stay (every one but in kFiltered, only those that pass the row
    // structure, the word filter and the must-contain word), then reports both counts.
    void KeepLinks(const std::vector<LinkMatch>& matches) {
        const bool filtered = Filtered();
        const bool word_filter = filtered && !(in_.may_contain.empty() && in_.must_not_contain.empty());
        // The words as the monitor loads them, "$$" turned into "|"; compiled once for the whole page.
        std::optional<LinkFilter> words;
        if (word_filter)
            words.emplace(ReplaceAll(in_.may_contain, "$$", "|"),
                          ReplaceAll(in_.must_not_contain, "$$", "|"));
        size_t kept = 0;
        for (const LinkMatch& match : matches) {
            if (filtered &&
                !PassesRowStructure(match.row, in_.row_marker, static_cast<int32_t>(in_.row_marker_mode)))
                continue;
            if (words && !words->Matches(match.link, options_.clipboard)) continue;
            if (filtered && !in_.must_contain.empty() &&
                match.link.find(in_.must_contain) == std::string_view::npos)
                continue;
            ++kept;
            if (options_.max_rows == 0 || kept <= options_.max_rows) {
                PlanTestEvent event = Event(PlanTestEvent::kRow);
                event.row =
                    PlanTestRow{static_cast<int>(kept), Text(match.link), Text(match.title), Text(match.row)};
                Emit(std::move(event));
            }
        }
        Report(T().matched + std::to_string(matches.size()));
        Report(T().kept + std::to_string(kept));
        Section(T().section_matched, std::to_string(matches.size()));
        Section(T().section_kept, std::to_string(kept));
    }

    // Only a new plan gets a proposal; the first link on the page decides, kept or not.
    void ProposeLinkPrefix(const std::vector<LinkMatch>& matches) {
        if (matches.empty() || TextToInt(in_.position) >= 1) return;
        const std::string_view first = matches.front().link;
        if (first.find("./") != std::string_view::npos) {
            Message(T().no_prefix);
        } else if (!first.starts_with("http")) {
            Emit(TextEvent(PlanTestEvent::kLinkPrefix, ProposedPrefix(in_.url, first)));
        }
    }

    static PlanTestEvent Event(PlanTestEvent::Kind kind) {
        PlanTestEvent event;
        event.kind = kind;
        return event;
    }
    static PlanTestEvent TextEvent(PlanTestEvent::Kind kind, const Text& text) {
        PlanTestEvent event = Event(kind);
        event.text = text;
        return event;
    }
    // Streamed to the caller's sink when there is one, else kept in the result.
    void Emit(PlanTestEvent&& event) {
        if (options_.on_event) {
            options_.on_event(event);
        } else {
            result_.events.push_back(std::move(event));
        }
    }
    void Section(const Text& title, const Text& text) {
        PlanTestEvent event = Event(PlanTestEvent::kSection);
        event.section = PlanTestSection{title, ForView(text, options_.max_section_bytes)};
        Emit(std::move(event));
    }
    void Message(const Text& text) { Emit(TextEvent(PlanTestEvent::kMessage, text)); }

    const PlanTestMode mode_;
    const PlanTestInput& in_;
    const PlanTestOptions& options_;
    PlanTestResult& result_;
};

}  // namespace

PlanTestResult RunPlanTest(PlanTestMode mode, const PlanTestInput& input, const PlanTestOptions& options) {
    PlanTestResult result;
    Run run(mode, input, options, result);
    try {
        run.Go();
    } catch (const std::bad_alloc&) {
        // A page too big to work on ends the test with a word in the report, not with a crash.
        try {
            run.Report(T().out_of_memory);
        } catch (...) {
        }
    } catch (const std::exception&) {
        try {
            run.Report(T().failed);
        } catch (...) {
        }
    }
    return result;
}

std::vector<Text> PlanTestResult::ReportLines() const {
    std::vector<Text> lines;
    for (const PlanTestEvent& event : events) {
        if (event.kind == PlanTestEvent::kReport) lines.push_back(event.text);
    }
    return lines;
}

Text PlanTestResult::ReportText() const {
    Text text;
    for (const Text& line : ReportLines()) text += line + "\r\n";
    return text;
}

std::vector<PlanTestSection> PlanTestResult::Sections() const {
    std::vector<PlanTestSection> sections;
    for (const PlanTestEvent& event : events) {
        if (event.kind == PlanTestEvent::kSection) sections.push_back(event.section);
    }
    return sections;
}

Text PlanTestResult::SourceBoxText() const {
    Text text;
    for (const PlanTestSection& section : Sections())
        text += FormatSourceSection(section.title, section.text);
    return text;
}

std::vector<PlanTestRow> PlanTestResult::Rows() const {
    std::vector<PlanTestRow> rows;
    for (const PlanTestEvent& event : events) {
        if (event.kind == PlanTestEvent::kRow) rows.push_back(event.row);
    }
    return rows;
}

std::vector<Text> PlanTestResult::Messages() const {
    std::vector<Text> messages;
    for (const PlanTestEvent& event : events) {
        if (event.kind == PlanTestEvent::kMessage) messages.push_back(event.text);
    }
    return messages;
}

std::optional<PlanEncoding> PlanTestResult::Encoding() const {
    for (const PlanTestEvent& event : events) {
        if (event.kind == PlanTestEvent::kEncoding) return event.encoding;
    }
    return std::nullopt;
}

std::optional<Text> PlanTestResult::LinkPrefix() const {
    for (const PlanTestEvent& event : events) {
        if (event.kind == PlanTestEvent::kLinkPrefix) return event.text;
    }
    return std::nullopt;
}

Text ProposedPrefix(const Text& url, std::string_view first_link) {
    const Text address = url.find("://") == Text::npos ? "http://" + url : url;
    const Text wrapped = "[<]" + address + "/[>]";
    const Text scheme = TextBetween(wrapped, "[<]", "://") + "://";
    const Text host = TextBetween(wrapped, scheme, "/");
    // A link of the form "//host/path" names its host too and needs only the scheme.
    if (first_link.starts_with("//")) return scheme.substr(0, scheme.size() - 2);
    return first_link.starts_with('/') ? scheme + host : scheme + host + "/";
}

Text FormatSourceSection(const Text& title, const Text& text) {
    return "\r\n>>>>>>>>>>>> " + title + "\r\n" + Text(31, '-') + "\r\n\r\n" + text + "\r\n\r\n";
}

std::vector<Text> TestRowSegments(const PlanTestRow& row) {
    return {T().row_title + row.title, T().row_link + row.link, T().row_row + row.row};
}

}  // namespace marl
