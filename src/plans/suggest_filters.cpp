#include "plans/suggest_filters.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

#include "html/html_to_text.h"
#include "monitor/filter_matches.h"
#include "monitor/link_matcher.h"
#include "monitor/process_plan.h"
#include "monitor/record_article.h"
#include "store/plan_record.h"
#include "text/text_ops.h"

namespace marl {
namespace {

constexpr size_t kMaxWordBytes = 40;
constexpr size_t kMaxExcludeWords = 3;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlnum(char c) { return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Pieces of an address that a filter word can be made of: the runs between digits, and inside them the
// parts between slashes with their slashes ("/news/"), each with at least two letters or digits and
// nothing the filter expression or the "$$" joining would read otherwise.
std::vector<std::string_view> AddressWords(std::string_view link) {
    std::vector<std::string_view> words;
    auto add = [&](std::string_view w) {
        if (w.size() > kMaxWordBytes || w.find('$') != std::string_view::npos ||
            w.find('|') != std::string_view::npos)
            return;
        if (std::count_if(w.begin(), w.end(), IsAlnum) < 2) return;
        if (std::find(words.begin(), words.end(), w) == words.end()) words.push_back(w);
    };
    size_t i = 0;
    while (i < link.size()) {
        while (i < link.size() && IsDigit(link[i])) ++i;
        size_t j = i;
        while (j < link.size() && !IsDigit(link[j])) ++j;
        const std::string_view run = link.substr(i, j - i);
        add(run);
        size_t slash = run.find('/');
        while (slash != std::string_view::npos) {
            const size_t next = run.find('/', slash + 1);
            add(run.substr(slash,
                           next == std::string_view::npos ? std::string_view::npos : next - slash + 1));
            if (slash > 0 && slash == run.find('/')) add(run.substr(0, slash + 1));
            slash = next;
        }
        i = j;
    }
    // The fragment names a part of a page ("#comments"): links into the same part share it.
    const size_t hash = link.find('#');
    if (hash != std::string_view::npos) add(link.substr(hash));
    return words;
}

// A word as filter expression text that matches it literally.
Text AsFilterWord(std::string_view word) {
    Text out;
    for (const char c : word) {
        if (Text("\\^.?*+()[]{}").find(c) != Text::npos) out += '\\';
        out += c;
    }
    return out;
}

PlanRecord RecordOf(const PlanForm& form) {
    PlanRecord r;
    r.area_start = AreaStartOf(form.area);
    r.area_end = AreaEndOf(form.area);
    r.inck = form.must_contain;
    r.inc1 = ReplaceAll(form.may_contain, "$$", "|");
    r.inc0 = ReplaceAll(form.must_not_contain, "$$", "|");
    r.url_key = form.row_marker;
    r.url_key_i = static_cast<int32_t>(form.row_marker_mode);
    r.dom = form.link_prefix;
    return r;
}

// The row structure, where the words cannot tell the list's links from the others that share their
// address pattern (a thread's page links beside its title): an attribute of the list's own anchors that
// every own link has in one of its rows and the fewest other rows have.
// `most`, when given, receives the attribute that nearly every own row holds and hardly any other
// (a list's rows with one odd row among them: a job post without the vote arrow before its title),
// for a plan offered beside the one that keeps them all.
void ChooseRowMarker(const std::vector<LinkMatch>& matches, const std::unordered_set<std::string_view>& own,
                     PlanForm& form, Text* most = nullptr) {
    std::optional<LinkFilter> words;
    if (!form.may_contain.empty() || !form.must_not_contain.empty())
        words.emplace(ReplaceAll(form.may_contain, "$$", "|"), ReplaceAll(form.must_not_contain, "$$", "|"));
    std::vector<const LinkMatch*> own_rows, other_rows;
    for (const LinkMatch& m : matches) {
        if (words && !words->Matches(m.link)) continue;
        (own.count(m.link) ? own_rows : other_rows).push_back(&m);
    }
    if (own_rows.empty() || other_rows.empty()) return;
    // The attributes of the first own rows' start tags, each as written: name="value", those of the
    // tag holding the link first, then those of the tags before it in the row. The link's tag need not
    // be the row's first: where an anchor before it has no quoted href (the page's clean-up drops
    // single quotes), the match runs on from that anchor to this one, and a wrapper between them
    // (<span class="titleline">) can mark the row when the anchor itself has nothing to tell.
    std::unordered_set<std::string_view> with_rows;
    for (const LinkMatch* m : own_rows) with_rows.insert(m->link);
    std::string_view best, best_most;
    size_t best_left = other_rows.size(), best_most_left = other_rows.size();
    auto try_attribute = [&](std::string_view attribute) {
        if (attribute.find(' ') != std::string_view::npos && attribute.find(' ') < attribute.find('='))
            return;
        if (StartsWithNoCase(attribute, "href") || attribute.find("[*]") != std::string_view::npos) return;
        if (std::any_of(attribute.begin(), attribute.end(), IsDigit)) return;
        std::unordered_set<std::string_view> covered;
        for (const LinkMatch* m : own_rows) {
            if (m->row.find(attribute) != std::string_view::npos) covered.insert(m->link);
        }
        const size_t left =
            static_cast<size_t>(std::count_if(other_rows.begin(), other_rows.end(), [&](const LinkMatch* m) {
                return m->row.find(attribute) != std::string_view::npos;
            }));
        // Every own link that has a row must keep one; the plan beside may let one in ten go when it
        // keeps at most one other link for ten of its own.
        if (covered.size() != own.size() && covered.size() != with_rows.size()) {
            if (covered.size() * 10 >= with_rows.size() * 9 && left * 10 <= covered.size() &&
                left < best_most_left) {
                best_most_left = left;
                best_most = attribute;
            }
            return;
        }
        if (left < best_left) {
            best_left = left;
            best = attribute;
        }
    };
    // The attributes are taken from the first few own rows: the first may be another row of an own
    // link (a post that links to an earlier post) rather than the list's own row.
    constexpr size_t kRowsAsked = 3;
    for (size_t r = 0; r < own_rows.size() && r < kRowsAsked; ++r) {
        const LinkMatch& row = *own_rows[r];
        const size_t link_at = static_cast<size_t>(row.link.data() - row.row.data());
        for (size_t open = row.row.rfind('<', link_at); open != std::string_view::npos;
             open = open == 0 ? std::string_view::npos : row.row.rfind('<', open - 1)) {
            const size_t tag_end = row.row.find('>', open);
            if (tag_end == std::string_view::npos || row.row[open + 1] == '/') continue;
            const std::string_view tag = row.row.substr(open, tag_end - open);
            for (size_t at = tag.find(' '); at != std::string_view::npos; at = tag.find(' ', at + 1)) {
                const size_t eq = tag.find("=\"", at);
                if (eq == std::string_view::npos) break;
                const size_t close = tag.find('"', eq + 2);
                if (close == std::string_view::npos) break;
                try_attribute(tag.substr(at + 1, close - at));
                at = close;
            }
        }
    }
    if (best.empty()) {
        if (most && !best_most.empty()) *most = Text(best_most);
        return;
    }
    form.row_marker = Text(best);
    form.row_marker_mode = RowMarkerMode::kMustContain;
}

}  // namespace

void ChooseFilters(std::string_view area, const std::vector<std::string_view>& own, PlanForm& form,
                   PlanForm* nearly) {
    if (own.empty()) return;
    const std::unordered_set<std::string_view> own_set(own.begin(), own.end());
    std::vector<std::string_view> others;
    const std::vector<LinkMatch> matches = FindLinks(area);
    for (const LinkMatch& m : matches) {
        if (!own_set.count(m.link)) others.push_back(m.link);
    }
    if (others.empty()) return;
    auto all_own_hold = [&](std::string_view w) {
        return std::all_of(own.begin(), own.end(),
                           [&](std::string_view l) { return FindNoCase(l, w) != kNotFound; });
    };
    auto no_own_holds = [&](std::string_view w) {
        return std::none_of(own.begin(), own.end(),
                            [&](std::string_view l) { return FindNoCase(l, w) != kNotFound; });
    };
    // A may-contain word: the one that every own link holds and the fewest others do.
    std::string_view include;
    size_t best_left = others.size();
    for (const std::string_view w : AddressWords(own.front())) {
        if (!all_own_hold(w)) continue;
        const size_t left = static_cast<size_t>(std::count_if(
            others.begin(), others.end(), [&](std::string_view l) { return FindNoCase(l, w) != kNotFound; }));
        if (left < best_left || (left == best_left && !include.empty() && w.size() > include.size())) {
            best_left = left;
            include = w;
        }
    }
    std::vector<std::string_view> left;
    for (const std::string_view l : others) {
        if (include.empty() || FindNoCase(l, include) != kNotFound) left.push_back(l);
    }
    // Must-not-contain words for what is still let through: each the word that most of those hold and
    // no own link does.
    std::vector<std::string_view> excludes;
    while (!left.empty() && excludes.size() < kMaxExcludeWords) {
        std::string_view best;
        size_t best_hits = 0;
        for (const std::string_view l : left) {
            for (const std::string_view w : AddressWords(l)) {
                if (!no_own_holds(w)) continue;
                const size_t hits =
                    static_cast<size_t>(std::count_if(left.begin(), left.end(), [&](std::string_view o) {
                        return FindNoCase(o, w) != kNotFound;
                    }));
                if (hits > best_hits || (hits == best_hits && w.size() > best.size())) {
                    best_hits = hits;
                    best = w;
                }
            }
            if (left.size() > 50 && best_hits > 0) break;  // a word from the first few is enough to go on
        }
        if (best_hits == 0) break;
        excludes.push_back(best);
        std::erase_if(left, [&](std::string_view o) { return FindNoCase(o, best) != kNotFound; });
    }
    PlanForm trial = form;
    if (!include.empty() && best_left < others.size()) trial.may_contain = AsFilterWord(include);
    for (size_t i = 0; i < excludes.size(); ++i)
        trial.must_not_contain += (i ? "$$" : "") + AsFilterWord(excludes[i]);
    // Never a word that drops one of the list's own links, checked with the monitor's own filter.
    if (!trial.may_contain.empty() || !trial.must_not_contain.empty()) {
        const LinkFilter filter(ReplaceAll(trial.may_contain, "$$", "|"),
                                ReplaceAll(trial.must_not_contain, "$$", "|"));
        if (!std::all_of(own.begin(), own.end(), [&](std::string_view l) { return filter.Matches(l); }))
            return;
        form = trial;
        std::erase_if(others, [&](std::string_view l) { return !filter.Matches(l); });
    }
    if (left.empty()) return;
    Text most;
    ChooseRowMarker(matches, own_set, form, nearly ? &most : nullptr);
    if (nearly && !most.empty()) {
        *nearly = form;
        nearly->row_marker = most;
        nearly->row_marker_mode = RowMarkerMode::kMustContain;
    }
    if (form.row_marker.empty() || (form.may_contain.empty() && form.must_not_contain.empty())) return;
    // Words that the row marker makes needless go again: they were taken from the addresses on the
    // page today (one user's, one site's) and would only stand in the way of tomorrow's articles.
    const auto passes = [&](const LinkMatch& m) {
        return m.row.find(form.row_marker) != std::string_view::npos;
    };
    const bool marker_alone_enough = std::none_of(matches.begin(), matches.end(), [&](const LinkMatch& m) {
        return !own_set.count(m.link) && passes(m);
    });
    if (marker_alone_enough) {
        form.may_contain.clear();
        form.must_not_contain.clear();
    }
}

double RunSuggestedPlan(std::string_view page, const std::vector<std::string_view>& own,
                        PlanSuggestion& plan) {
    const PlanRecord record = RecordOf(plan.form);
    Text cut;
    std::string_view text = page;
    if (!record.area_start.empty() && !record.area_end.empty()) {
        cut = TextBetween(page, record.area_start, record.area_end);
        text = cut;
    }
    const std::vector<LinkMatch> matches = FindLinks(text);
    std::vector<Candidate> kept = FilterCandidates(record, matches, {});
    std::reverse(kept.begin(), kept.end());  // the monitor walks from the bottom; show page order
    plan.kept = kept.size();
    plan.links.clear();
    plan.preview.clear();
    const std::unordered_set<std::string_view> own_set(own.begin(), own.end());
    std::unordered_set<std::string_view> good, bad;
    for (const Candidate& c : kept) {
        plan.links.emplace_back(c.link);
        (own_set.count(c.link) ? good : bad).insert(c.link);
        if (plan.preview.size() < kPreviewItems)
            plan.preview.push_back({HtmlToText(Text(c.title)), ArticleAddress(record, Text(c.link))});
    }
    const double total = static_cast<double>(good.size() + bad.size());
    if (total == 0) return 0;
    const double share = static_cast<double>(good.size()) / total;
    return static_cast<double>(good.size()) * share * share;
}

}  // namespace marl
