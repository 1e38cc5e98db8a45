#include "support/suggest_eval.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <unordered_set>

#include "monitor/link_matcher.h"
#include "plans/plan_tester.h"
#include "support/temp_dir.h"
#include "text/gbk_codec.h"
#include "web/page_decoding.h"
#include "web/page_fetcher.h"

namespace marl::test {
namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> cells;
    std::stringstream in(line);
    std::string cell;
    while (std::getline(in, cell, '\t')) cells.push_back(cell);
    while (cells.size() < 6) cells.emplace_back();
    return cells;
}

// A label or an address as the page's own bytes: GBK for a GBK page.
std::string AsPageBytes(const LabelledPage& page, const std::string& utf8) {
    return page.encoding == "gbk" ? Utf8ToGbk(utf8) : utf8;
}

// An address of the same pattern that the page does not hold yet: its last run of digits grows by one
// digit, or "new-" goes before its last part.
std::string NewAddress(const std::string& link, size_t n) {
    size_t end = link.size();
    while (end > 0 && !(link[end - 1] >= '0' && link[end - 1] <= '9')) --end;
    if (end > 0) return link.substr(0, end) + std::to_string(n % 10) + link.substr(end);
    const size_t slash = link.rfind('/');
    const size_t at = slash == std::string::npos ? 0 : slash + 1;
    return link.substr(0, at) + "new" + std::to_string(n) + "-" + link.substr(at);
}

std::string Utf8Of(const Text& gbk) { return GbkToUtf8Lossy(gbk); }

double Percent(size_t part, size_t whole) {
    return whole ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0;
}

}  // namespace

std::vector<LabelledPage> LoadLabelledSet(const std::string& dir) {
    std::vector<LabelledPage> set;
    std::ifstream tsv(dir + "/pages.tsv");
    std::string line;
    bool header = true;
    while (std::getline(tsv, line)) {
        if (header) {
            header = false;
            continue;
        }
        if (line.empty()) continue;
        const auto cells = SplitTabs(line);
        LabelledPage page{cells[0], cells[1], cells[2], cells[3], cells[4], cells[5], {}, {}};
        page.bytes = ReadFileBytes(dir + "/" + page.file);
        std::ifstream labels(dir + "/" + page.name + ".labels");
        std::string label;
        while (std::getline(labels, label)) {
            if (!label.empty() && label.back() == '\r') label.pop_back();
            if (label.empty()) continue;
            page.labels.push_back(CleanPageText(Utf8ToGbk(label)));
        }
        set.push_back(std::move(page));
    }
    return set;
}

PlanScore ScorePlan(const std::vector<Text>& kept_links, const std::vector<std::string>& labels) {
    PlanScore score;
    const std::unordered_set<std::string> wanted(labels.begin(), labels.end());
    const std::unordered_set<std::string> kept(kept_links.begin(), kept_links.end());
    if (wanted.empty() || kept.empty()) return score;
    size_t found = 0;
    for (const std::string& l : wanted) found += kept.count(l);
    size_t others = 0;
    for (const std::string& l : kept) others += wanted.count(l) ? 0 : 1;
    score.found = static_cast<double>(found) / static_cast<double>(wanted.size());
    score.others = static_cast<double>(others) / static_cast<double>(kept.size());
    score.right = score.found >= 0.9 && score.others <= 0.1;
    return score;
}

std::string ChangedPage(const LabelledPage& page, size_t count, std::vector<std::string>& new_links) {
    std::string bytes = page.bytes;
    std::ifstream labels_file;
    (void)labels_file;
    new_links.clear();
    // The labels as written in the page (before the clean-up), read again from the file.
    std::ifstream in(std::string(MARL_SUGGEST_DATA_DIR) + "/" + page.name + ".labels");
    std::string label;
    size_t n = 0;
    while (n < count && std::getline(in, label)) {
        if (!label.empty() && label.back() == '\r') label.pop_back();
        if (label.empty()) continue;
        const std::string raw = AsPageBytes(page, label);
        const std::string fresh = NewAddress(raw, n + 1);
        const std::string quoted = "\"" + raw + "\"";
        size_t at = bytes.find(quoted);
        if (at == std::string::npos) continue;
        const size_t first = at;
        while (at != std::string::npos) {
            bytes.replace(at, quoted.size(), "\"" + fresh + "\"");
            at = bytes.find(quoted, at + fresh.size() + 2);
        }
        // The new article's title.
        const size_t open_end = bytes.find('>', first);
        const size_t close = open_end == std::string::npos ? std::string::npos : bytes.find("</a>", open_end);
        if (close != std::string::npos && close - open_end < 2000)
            bytes.replace(open_end + 1, close - open_end - 1,
                          "Fresh article number " + std::to_string(n + 1));
        new_links.push_back(CleanPageText(page.encoding == "gbk" ? fresh : Utf8ToGbk(fresh)));
        ++n;
    }
    return bytes;
}

SetOutcome EvaluateSet(const std::vector<LabelledPage>& set, PageServer& server) {
    SetOutcome out;
    for (const LabelledPage& page : set) {
        const std::string type =
            page.encoding == "gbk" ? "text/html; charset=gbk" : "text/html; charset=utf-8";
        const std::string path = "/set/" + page.name + "/index.html";
        server.SetPage(path, page.bytes, type);
        SuggestInput input;
        input.url = server.Url(path);
        const SuggestResult result = SuggestPlans(input);
        PageOutcome o;
        o.name = page.name;
        o.kind = page.kind;
        o.labels = page.labels.size();
        o.candidates = result.candidates.size();
        o.message = Utf8Of(result.message);
        if (!result.candidates.empty()) {
            o.first = ScorePlan(result.candidates.front().links, page.labels);
            o.area = Utf8Of(result.candidates.front().form.area);
        }
        for (const PlanSuggestion& c : result.candidates)
            o.any_right = o.any_right || ScorePlan(c.links, page.labels).right;
        if (page.kind == "list") {
            ++out.lists;
            std::vector<Text> all;
            const Text text = PageText(std::string(page.bytes), page.encoding == "gbk");
            for (const LinkMatch& m : FindLinks(text)) all.emplace_back(m.link);
            out.reachable += ScorePlan(all, page.labels).found >= 0.9 ? 1 : 0;
            out.first_right += o.first.right ? 1 : 0;
            out.any_right += o.any_right ? 1 : 0;
            if (o.first.right) {
                std::vector<std::string> fresh;
                const std::string changed = ChangedPage(page, 3, fresh);
                if (!fresh.empty()) {
                    const std::string changed_path = "/set/" + page.name + "/changed.html";
                    server.SetPage(changed_path, changed, type);
                    PlanForm form = result.candidates.front().form;
                    form.url = server.Url(changed_path);
                    const PlanTestResult test = RunPlanTest(PlanTestMode::kFiltered, PlanTestInputOf(form));
                    std::unordered_set<std::string> kept;
                    for (const PlanTestRow& row : test.Rows()) kept.insert(row.link);
                    o.changed_tried = true;
                    o.changed_right = std::all_of(fresh.begin(), fresh.end(),
                                                  [&](const std::string& l) { return kept.count(l) > 0; });
                    ++out.changed_tried;
                    out.changed_right += o.changed_right ? 1 : 0;
                }
            }
        } else {
            ++out.no_list_pages;
            out.no_list_answered += result.candidates.empty() && !result.message.empty() ? 1 : 0;
        }
        out.pages.push_back(std::move(o));
    }
    return out;
}

std::string SetOutcome::Table() const {
    std::ostringstream t;
    char line[512];
    std::snprintf(line, sizeof line, "%-28s %-6s %6s %5s %7s %7s %5s %5s %7s  %s\n", "page", "kind", "labels",
                  "cands", "found%", "other%", "first", "any", "changed", "area of the first / message");
    t << line;
    for (const PageOutcome& p : pages) {
        std::snprintf(line, sizeof line, "%-28s %-6s %6zu %5zu %7.1f %7.1f %5s %5s %7s  %.90s\n",
                      p.name.c_str(), p.kind.c_str(), p.labels, p.candidates, p.first.found * 100,
                      p.first.others * 100, p.first.right ? "yes" : "-", p.any_right ? "yes" : "-",
                      p.changed_tried ? (p.changed_right ? "yes" : "NO") : "",
                      p.candidates ? p.area.c_str() : p.message.c_str());
        t << line;
    }
    std::snprintf(line, sizeof line,
                  "list pages %zu (%zu within the link expression's reach): first candidate right on %zu "
                  "(%.0f%%), one of three on %zu (%.0f%%); "
                  "after the page changed %zu of %zu; feeds and pages without a list answered %zu of %zu\n",
                  lists, reachable, first_right, Percent(first_right, lists), any_right,
                  Percent(any_right, lists), changed_right, changed_tried, no_list_answered, no_list_pages);
    t << line;
    return t.str();
}

}  // namespace marl::test
