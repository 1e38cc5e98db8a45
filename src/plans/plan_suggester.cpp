#include "plans/plan_suggester.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <new>
#include <unordered_map>
#include <unordered_set>

#include "html/html_to_text.h"
#include "monitor/link_matcher.h"
#include "monitor/process_plan.h"
#include "plans/page_outline.h"
#include "plans/plan_tester.h"
#include "plans/suggest_addresses.h"
#include "plans/suggest_filters.h"
#include "plans/suggest_markers.h"
#include "plans/suggest_page_kind.h"
#include "text/text_ops.h"
#include "web/page_decoding.h"
#include "web/page_fetcher.h"

namespace marl {
namespace {

// Lists are made of at least this many links, and their titles carry at least this much weight.
constexpr size_t kMinListLinks = 4;
constexpr double kMinListWeight = 3.0;
// How far up from an anchor a list's container may lie, and how many lists are worked out in full.
constexpr int kMaxLevelsUp = 10;
constexpr size_t kGroupsTried = 12;
constexpr size_t kNameBytes = 40;
constexpr size_t kLabelBytes = 24;

// One anchor of the page.
struct PageLink {
    size_t row_begin = 0, row_end = 0;  // the whole match, as offsets into the page
    size_t at = 0;                      // the offset of the address (a match may begin at an earlier anchor)
    std::string_view link;
    int anchor = -1;       // the element whose start tag holds the href, -1 when none does
    double weight = 0;     // how much the title looks like an article title, 0 to 1
    bool label = false;    // a real address with a visible title, even a short or numeric one ("10:48 PM")
    Text shape;            // the address with its varying parts blurred
    uint64_t wording = 0;  // a short title without its digits: "12 comments" and "3 comments" agree
};

// Links under one element that reach it by the same path of tag names.
struct LinkGroup {
    int container = -1;
    std::vector<int> links;
    double weight = 0;
    size_t labels = 0;  // links that are labels at least
};

// The visible length of an anchor's HTML in bytes, tags left out and blanks counted once.
size_t VisibleBytes(std::string_view html) {
    size_t n = 0;
    bool in_tag = false, blank = true;
    for (const char c : html) {
        if (c == '<') {
            in_tag = true;
        } else if (c == '>') {
            in_tag = false;
        } else if (!in_tag) {
            const bool space = c == ' ';
            if (!(space && blank)) ++n;
            blank = space;
        }
    }
    return n;
}

// Menu entries are a word or two; article titles are longer. Linear between the two.
// A title made mostly of digits is a date, a count or a page number.
double TitleWeight(std::string_view link, std::string_view html) {
    if (link.empty() || link.front() == '#' || StartsWithNoCase(link, "javascript")) return 0;
    const size_t visible = VisibleBytes(html);
    size_t digits = 0;
    for (const char c : html) digits += c >= '0' && c <= '9' ? 1 : 0;
    if (digits * 2 >= visible) return 0;
    return std::clamp((static_cast<double>(visible) - 5.0) / 12.0, 0.0, 1.0);
}

uint64_t NameHash(std::string_view name, uint64_t seed) {
    uint64_t h = seed ^ 1469598103934665603ULL;
    for (const char c : name) {
        h ^= static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        h *= 1099511628211ULL;
    }
    return h * 31 + 7;
}

// The share of the group's title weight that its most common address shape carries.
double ShapeShare(const LinkGroup& group, const std::vector<PageLink>& links) {
    std::unordered_map<std::string_view, double> by_shape;
    double best = 0;
    for (const int i : group.links) best = std::max(best, by_shape[links[i].shape] += links[i].weight);
    return group.weight > 0 ? best / group.weight : 0;
}

Text PageName(const PageOutline& outline, const Text& url) {
    Text name = Trim(ReplaceAll(HtmlToText(Text(outline.title)), "\r\n", " "));
    if (name.empty()) {
        const size_t scheme = url.find("://");
        const size_t from = scheme == Text::npos ? 0 : scheme + 3;
        name = url.substr(from, url.find('/', from) - from);
    }
    if (name.size() <= kNameBytes) return name;
    size_t cut = 0;
    while (cut < name.size()) {
        const size_t width = IsGbkLead(static_cast<unsigned char>(name[cut])) ? 2 : 1;
        if (cut + width > kNameBytes) break;
        cut += width;
    }
    return name.substr(0, cut);
}

// The address relative links of the page are resolved against: a <base href> when the page has one.
Text BaseAddress(const PageOutline& outline, const Text& url) {
    for (const OutlineElement& e : outline.elements) {
        if (!EqualsNoCase(e.name, "base")) continue;
        const size_t href = FindNoCase(e.tag, "href=\"");
        if (href == kNotFound) break;
        const size_t end = e.tag.find('"', href + 6);
        if (end == std::string_view::npos) break;
        Text base(e.tag.substr(href + 6, end - href - 6));
        if (StartsWithNoCase(base, "http")) return base;
        break;
    }
    return url;
}

// Every anchor of the page with its element, title weight and address shape.
std::vector<PageLink> ReadLinks(std::string_view page, const PageOutline& outline) {
    std::vector<PageLink> out;
    for (const LinkMatch& m : FindLinks(page)) {
        PageLink link;
        link.row_begin = static_cast<size_t>(m.row.data() - page.data());
        link.row_end = link.row_begin + m.row.size();
        link.at = static_cast<size_t>(m.link.data() - page.data());
        link.link = m.link;
        link.anchor = outline.ElementAt(static_cast<size_t>(m.link.data() - page.data()));
        link.weight = TitleWeight(m.link, m.title);
        link.label = !m.link.empty() && m.link.front() != '#' && !StartsWithNoCase(m.link, "javascript") &&
                     VisibleBytes(m.title) > 0;
        link.shape = AddressShape(m.link);
        // Only short labels are compared without their numbers: long titles that differ only in a
        // number ("the 3rd notice on ...") are still different articles.
        Text wording;
        for (const char c : m.title) {
            if (c < '0' || c > '9' || VisibleBytes(m.title) >= kLabelBytes) wording += c;
        }
        link.wording = NameHash(wording, 0);
        out.push_back(std::move(link));
    }
    return out;
}

// Groups the links by (container, path of tag names from it down to the anchor), for every container
// up to kMaxLevelsUp levels above each anchor.
// With `with_class`, the path also holds each element's class, which sets apart the title links of a
// list from the other links of its items; without, item classes such as "odd" and "even" do not split it.
std::string_view ClassOf(std::string_view tag) {
    const size_t at = FindNoCase(tag, " class=\"");
    if (at == kNotFound) return {};
    const size_t end = tag.find('"', at + 8);
    return end == std::string_view::npos ? std::string_view() : tag.substr(at + 8, end - at - 8);
}

std::vector<LinkGroup> GroupLinks(const std::vector<PageLink>& links, const PageOutline& outline,
                                  bool with_class) {
    std::vector<uint64_t> name_hash(outline.elements.size(), 0);
    auto hash_of = [&](int e) {
        if (name_hash[e] == 0) {
            const OutlineElement& el = outline.elements[e];
            name_hash[e] = NameHash(el.name, with_class ? NameHash(ClassOf(el.tag), 17) : 0) | 1;
        }
        return name_hash[e];
    };
    std::unordered_map<uint64_t, size_t> index;
    std::vector<LinkGroup> groups;
    for (size_t i = 0; i < links.size(); ++i) {
        const int a = links[i].anchor;
        if (a < 0) continue;
        uint64_t path = hash_of(a);
        int e = outline.elements[a].parent;
        for (int level = 0; level < kMaxLevelsUp && e >= 0; ++level) {
            const uint64_t key = path * 0x9E3779B97F4A7C15ULL + static_cast<uint64_t>(e);
            auto [it, added] = index.try_emplace(key, groups.size());
            if (added) groups.push_back(LinkGroup{e, {}, 0});
            LinkGroup& g = groups[it->second];
            g.links.push_back(static_cast<int>(i));
            g.weight += links[i].weight;
            g.labels += links[i].label ? 1 : 0;
            path = path * 1000003ULL + hash_of(e);
            e = outline.elements[e].parent;
        }
    }
    return groups;
}

// The path of tag names from the container down to the anchor, or 0 when the anchor is not inside it.
// With `with_class`, each element's class is part of the path.
uint64_t NamePathBelow(int anchor, int container, const PageOutline& outline, bool with_class = false) {
    auto hash = [&](int e) {
        const OutlineElement& el = outline.elements[e];
        return NameHash(el.name, with_class ? NameHash(ClassOf(el.tag), 17) : 0);
    };
    uint64_t path = hash(anchor);
    for (int e = outline.elements[anchor].parent, level = 0; e >= 0 && level < kMaxLevelsUp;
         e = outline.elements[e].parent, ++level) {
        if (e == container) return path;
        path = path * 1000003ULL + hash(e);
    }
    return 0;
}

// Whether titles say different things rather than repeat one label ("12 comments", "discuss").
bool VariedWording(const std::vector<int>& members, const std::vector<PageLink>& links) {
    std::unordered_set<uint64_t> wordings;
    for (const int i : members) wordings.insert(links[i].wording);
    return 2 * wordings.size() >= members.size();
}

// Of links that share their tag names but not their classes, those whose titles repeat one label go
// when others beside them say different things: a comment count under each title is no second list.
void DropRepeatedLabels(std::vector<int>& out, int container, const std::vector<PageLink>& links,
                        const PageOutline& outline) {
    std::unordered_map<uint64_t, std::vector<int>> by_classes;
    for (const int i : out) by_classes[NamePathBelow(links[i].anchor, container, outline, true)].push_back(i);
    if (by_classes.size() < 2) return;
    std::unordered_set<uint64_t> repeated;
    bool any_varied = false;
    for (const auto& [path, members] : by_classes) {
        if (members.size() < kMinListLinks) continue;
        if (VariedWording(members, links))
            any_varied = true;
        else
            repeated.insert(path);
    }
    if (!any_varied || repeated.empty()) return;
    std::erase_if(out, [&](int i) {
        return repeated.count(NamePathBelow(links[i].anchor, container, outline, true)) > 0;
    });
}

// With `labels`, the group's articles are its labels ("Permalink") rather than its titles.
std::vector<int> SameShapedLinks(const LinkGroup& group, const std::vector<PageLink>& links,
                                 const PageOutline& outline, bool labels) {
    // The class of the group's article anchors: that of its first link with a title (or a label) that
    // leads to a page rather than into part of one ("#comments").
    int first_anchor = links[group.links.front()].anchor;
    for (const int i : group.links) {
        if ((labels ? links[i].label : links[i].weight >= 0.5) &&
            links[i].link.find('#') == std::string_view::npos) {
            first_anchor = links[i].anchor;
            break;
        }
    }
    const std::string_view anchor_class = ClassOf(outline.elements[first_anchor].tag);
    std::unordered_set<uint64_t> paths;
    for (const int i : group.links) paths.insert(NamePathBelow(links[i].anchor, group.container, outline));
    std::vector<int> out;
    const OutlineElement& c = outline.elements[group.container];
    const size_t end =
        c.close_begin == std::string_view::npos ? links[group.links.back()].row_end : c.close_begin;
    for (size_t i = 0; i < links.size(); ++i) {
        const PageLink& l = links[i];
        if (l.anchor < 0 || l.row_begin < c.begin || l.row_begin >= end) continue;
        if (ClassOf(outline.elements[l.anchor].tag) != anchor_class) continue;
        if (paths.count(NamePathBelow(l.anchor, group.container, outline)))
            out.push_back(static_cast<int>(i));
    }
    DropRepeatedLabels(out, group.container, links, outline);
    return out.empty() ? group.links : out;
}

// The median of `values` (reordered).
size_t Median(std::vector<size_t>& values) {
    if (values.empty()) return 0;
    const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    return *mid;
}

// Items just before or after the list that lie a level apart (pinned threads in a list of their own
// above the others, a first row the page's markup nests differently) join it when their anchors are
// of the list's class and their addresses of its shape, each within two of the list's steps of it.
void JoinNeighbours(std::vector<int>& members, const std::vector<PageLink>& links,
                    const PageOutline& outline) {
    if (members.size() < 2) return;
    std::sort(members.begin(), members.end());
    std::unordered_map<std::string_view, size_t> shapes;
    std::string_view shape;
    size_t shape_votes = 0;
    int titled = -1;
    for (const int i : members) {
        if (links[i].weight < 0.5) continue;
        if (titled < 0) titled = i;
        const size_t v = ++shapes[links[i].shape];
        if (v > shape_votes) {
            shape_votes = v;
            shape = links[i].shape;
        }
    }
    if (titled < 0) return;
    // Anchors without a class say too little to join by.
    const std::string_view anchor_class = ClassOf(outline.elements[links[titled].anchor].tag);
    if (anchor_class.empty()) return;
    std::vector<size_t> steps;
    for (size_t k = 1; k < members.size(); ++k)
        steps.push_back(links[members[k]].row_begin - links[members[k - 1]].row_begin);
    const size_t reach = 2 * Median(steps);
    const auto fits = [&](int j) {
        const PageLink& l = links[j];
        return l.anchor >= 0 && l.weight >= 0.5 && l.shape == shape &&
               ClassOf(outline.elements[l.anchor].tag) == anchor_class;
    };
    std::vector<int> before, after;
    size_t edge = links[members.front()].row_begin;
    for (int j = members.front() - 1; j >= 0 && edge - links[j].row_begin <= reach; --j) {
        if (!fits(j)) continue;
        before.push_back(j);
        edge = links[j].row_begin;
    }
    edge = links[members.back()].row_begin;
    for (int j = members.back() + 1; j < static_cast<int>(links.size()) && links[j].row_begin - edge <= reach;
         ++j) {
        if (!fits(j)) continue;
        after.push_back(j);
        edge = links[j].row_begin;
    }
    members.insert(members.begin(), before.rbegin(), before.rend());
    members.insert(members.end(), after.begin(), after.end());
}

// Where the list's first item begins: the element holding its first link that sits directly in the
// element the first two links share; npos when there is none.
size_t ItemBegin(const std::vector<int>& members, const std::vector<PageLink>& links,
                 const PageOutline& outline) {
    if (members.size() < 2) return std::string_view::npos;
    const int a = links[members[0]].anchor, b = links[members[1]].anchor;
    if (a < 0 || b < 0) return std::string_view::npos;
    std::unordered_set<int> above_b;
    for (int e = b; e >= 0; e = outline.elements[e].parent) above_b.insert(e);
    int item = a;
    for (int e = outline.elements[a].parent; e >= 0; item = e, e = outline.elements[e].parent) {
        if (above_b.count(e)) return outline.elements[item].begin;
    }
    return std::string_view::npos;
}

struct Scored {
    const LinkGroup* group;
    double score;
    int depth;
    bool labels_are_articles = false;  // every label of the group is one of its articles, not only titles
};

// The page's own site: that of its address when some of its links go there, else the one most of its
// absolute links go to (the address may be a copy's or a mirror's).
std::string_view PageSite(const std::vector<PageLink>& links, std::string_view address) {
    const std::string_view own = SiteOf(address);
    std::unordered_map<std::string_view, size_t> votes;
    std::string_view best;
    size_t best_votes = 0;
    for (const PageLink& l : links) {
        const std::string_view site = SiteOf(l.link);
        if (site.empty()) continue;
        if (EqualsNoCase(site, own)) return site;
        const size_t v = ++votes[site];
        if (v > best_votes) {
            best_votes = v;
            best = site;
        }
    }
    return best;
}

// A label that stands for its article weighs a little less than a full title, so that where the titles
// are links too ("Read more", "12 comments" beside them), the titles are the list.
constexpr double kLabelWeight = 0.8;

// Groups of short labels ("Permalink") are ranked on this share of their number at first.
constexpr double kLabelShare = 0.5;

// The groups worth working out, best first, one per set of links (the deepest container holding it).
std::vector<Scored> RankGroups(const std::vector<LinkGroup>& groups, const std::vector<PageLink>& links,
                               const PageOutline& outline, std::string_view address) {
    const ProseIndex prose(outline);
    const std::string_view site = PageSite(links, address);
    std::vector<Scored> ranked;
    for (const LinkGroup& g : groups) {
        if (g.links.size() < kMinListLinks || (g.weight < kMinListWeight && g.labels < kMinListLinks))
            continue;
        // Groups of short labels compete on a part of their number until their items are looked at.
        ranked.push_back({&g, std::max(g.weight, kLabelShare * static_cast<double>(g.labels)),
                          outline.elements[g.container].depth});
    }
    // Score the heaviest groups in full only: the shape share costs a map per group.
    std::sort(ranked.begin(), ranked.end(),
              [](const Scored& a, const Scored& b) { return a.score > b.score; });
    if (ranked.size() > 200) ranked.resize(200);
    for (Scored& s : ranked) {
        // Items that hold more than their link (a date, a summary, a whole post) make the main list;
        // menus, tag clouds and blogrolls are links and little else.
        const auto& l = s.group->links;
        // The typical distance from one link to the next (the median, so that the gap between two
        // blocks a group spans does not count as content).
        std::vector<size_t> steps, prose_steps;
        for (size_t k = 1; k < l.size(); ++k) {
            steps.push_back(links[l[k]].row_begin - links[l[k - 1]].row_begin);
            prose_steps.push_back(prose.Between(links[l[k - 1]].at, links[l[k]].at));
        }
        const double per_link = static_cast<double>(Median(steps));
        const double richness = 1.0 + 0.25 * std::log2(std::max(1.0, per_link / 150.0));
        // Prose between one link and the next (a summary, a whole post) is what the page is about;
        // menus and link lists have none.
        const size_t item_prose = Median(prose_steps);
        const double prose_factor = 1.0 + 0.5 * std::log2(1.0 + static_cast<double>(item_prose) / 100.0);
        // Titles that differ only in their numbers ("52 comments", "Permalink") label the articles
        // rather than name them: the list is the one whose titles say different things.
        std::unordered_set<uint64_t> wordings;
        for (const int i : l) wordings.insert(links[i].wording);
        double varied =
            std::min(1.0, 2.0 * static_cast<double>(wordings.size()) / static_cast<double>(l.size()));
        double weight = s.group->weight;
        if ((varied < 1.0 || s.group->weight < kMinListWeight) && item_prose >= kProseItemBytes) {
            // Unless each item is a post of its own whose title is no link: then the label
            // ("Permalink", the time it was posted) is the article's address, on the page's own site.
            // A link into part of a page ("#comments") counts half.
            weight = 0;
            for (const int i : l) {
                if (!links[i].label || !SameSite(SiteOf(links[i].link), site)) continue;
                weight += links[i].link.find('#') == std::string_view::npos ? kLabelWeight : kLabelWeight / 2;
            }
            varied = 1.0;
            s.labels_are_articles = true;
        } else if (s.group->weight < kMinListWeight) {
            s.score = 0;
            continue;
        }
        s.score = weight * (0.4 + 0.6 * std::pow(ShapeShare(*s.group, links), 2)) * richness * prose_factor *
                  varied;
    }
    std::sort(ranked.begin(), ranked.end(), [](const Scored& a, const Scored& b) {
        return a.score != b.score ? a.score > b.score : a.depth > b.depth;
    });
    std::vector<Scored> distinct;
    std::unordered_set<uint64_t> seen;
    for (const Scored& s : ranked) {
        const auto& l = s.group->links;
        const uint64_t key =
            (static_cast<uint64_t>(l.front()) << 40) ^ (static_cast<uint64_t>(l.back()) << 20) ^ l.size();
        if (!seen.insert(key).second) continue;
        distinct.push_back(s);
        if (distinct.size() == kGroupsTried) break;
    }
    return distinct;
}

// Whether two plans keep nearly the same articles: fewer than one in twenty of all they keep between
// them is kept by one only. A link into part of an article's page ("#comments") is that article.
bool NearlySame(const std::vector<Text>& a, const std::vector<Text>& b) {
    const auto articles = [](const std::vector<Text>& links) {
        std::unordered_set<std::string_view> out;
        for (const Text& l : links) out.insert(std::string_view(l).substr(0, l.find('#')));
        return out;
    };
    const std::unordered_set<std::string_view> in_a = articles(a);
    const std::unordered_set<std::string_view> in_b = articles(b);
    size_t common = 0;
    for (const std::string_view l : in_b) common += in_a.count(l);
    const size_t all = in_a.size() + in_b.size() - common;
    return (all - common) * 20 < all || all == common;
}

}  // namespace

Text NoListMessage() { return "no article list found"; }
Text UnreadLinksMessage() {
    return "no article list found: most links of this page are written in a form the monitor does not read "
           "(such as href =\"...\" with a space before =, or an address without quotes)";
}
Text FeedMessage() {
    return "no article list found: the address serves an RSS or Atom feed, not a list page";
}

Text PrefixForLink(std::string_view link, const Text& page_url) {
    if (link.starts_with("http") || link.empty()) return {};
    // A link from the root (or from "//") takes the tester's proposal, which fits it exactly.
    if (link.front() == '/') return ProposedPrefix(page_url, link);
    const Text address = page_url.find("://") == Text::npos ? "http://" + page_url : page_url;
    if (link.front() == '?') return address.substr(0, address.find_first_of("?#"));
    const size_t path = address.find('/', address.find("://") + 3);
    if (path == Text::npos) return ProposedPrefix(page_url, {});  // scheme, "://", host, "/"
    const Text before_query = address.substr(0, address.find_first_of("?#", path));
    return before_query.substr(0, before_query.rfind('/') + 1);
}

SuggestResult SuggestPlansForPage(std::string_view page, const Text& url, PlanEncoding encoding) {
    SuggestResult result;
    result.encoding = encoding;
    if (page.empty()) {
        result.message = Gbk("网页访问：请求不到数据！");
        return result;
    }
    const PageOutline outline = OutlinePage(page);
    if (IsFeed(outline)) {
        result.message = FeedMessage();
        return result;
    }
    const std::vector<PageLink> links = ReadLinks(page, outline);
    std::vector<LinkGroup> groups = GroupLinks(links, outline, false);
    for (LinkGroup& g : GroupLinks(links, outline, true)) groups.push_back(std::move(g));
    const Text name = PageName(outline, url);
    const Text base = BaseAddress(outline, url);

    struct Built {
        PlanSuggestion plan;
        double score;
        size_t first = 0, last = 0;  // where the group's links begin and end on the page
    };
    std::vector<Built> built;
    for (const Scored& s : RankGroups(groups, links, outline, base)) {
        // The list's own articles: the group's links whose titles read as titles, and the links of the
        // same container that differ from them only in their items' classes ("new" and "common"
        // threads), as long as their anchors are of the same class.
        std::vector<std::string_view> own;
        size_t first = page.size(), last = 0;
        std::vector<int> members = SameShapedLinks(*s.group, links, outline, s.labels_are_articles);
        JoinNeighbours(members, links, outline);
        for (const int i : members) {
            first = std::min(first, links[i].row_begin);
            last = std::max(last, links[i].row_end);
            if (s.labels_are_articles ? links[i].label : links[i].weight >= 0.5) own.push_back(links[i].link);
        }
        if (own.size() < kMinListLinks) continue;
        // The start marker goes before the whole first item, not inside it: a mark of that item alone
        // (a "pinned" icon, a "new" badge) goes with it when it leaves the page.
        first = std::min(first, ItemBegin(members, links, outline));
        const std::optional<AreaMarkers> area = FindAreaMarkers(page, outline, first, last);
        if (!area) continue;

        PlanSuggestion plan;
        plan.form = NewPlanForm();
        plan.form.encoding = encoding;
        plan.form.name = name;
        plan.form.url = url;
        plan.form.area = area->start + "[*]" + area->end;
        // The prefix that the list's own links need; the most common one when they differ.
        std::unordered_map<Text, size_t> prefixes;
        Text prefix;
        size_t prefix_votes = 0;
        for (const std::string_view link : own) {
            const size_t votes = ++prefixes[PrefixForLink(link, base)];
            if (votes > prefix_votes) {
                prefix_votes = votes;
                prefix = PrefixForLink(link, base);
            }
        }
        plan.form.link_prefix = prefix;
        PlanForm nearly;
        ChooseFilters(TextBetween(page, area->start, area->end), own, plan.form, &nearly);
        const double score = RunSuggestedPlan(page, own, plan) * s.score / std::max(1.0, s.group->weight);
        if (!nearly.row_marker.empty()) {
            // The plan that lets an odd row go to keep the others out comes right after the one that
            // keeps every row, or before it when that one keeps more other links than articles.
            const std::unordered_set<std::string_view> own_set(own.begin(), own.end());
            const size_t own_kept = static_cast<size_t>(std::count_if(
                plan.links.begin(), plan.links.end(), [&](const Text& l) { return own_set.count(l) > 0; }));
            PlanSuggestion beside;
            beside.form = nearly;
            if (RunSuggestedPlan(page, own, beside) > 0)
                built.push_back({std::move(beside),
                                 own_kept * 2 < plan.links.size() ? score * 1.001 : score * 0.999, first,
                                 last});
        }
        built.push_back({std::move(plan), score, first, last});
    }
    std::stable_sort(built.begin(), built.end(),
                     [](const Built& a, const Built& b) { return a.score > b.score; });
    if (!built.empty() &&
        LooksLikeArticle(page, outline, built.front().plan.kept, built.front().first, built.front().last))
        built.clear();
    for (Built& b : built) {
        if (result.candidates.size() == kMaxSuggestions) break;
        // The others are alternatives, not near-copies of a plan already proposed.
        const bool same =
            std::any_of(result.candidates.begin(), result.candidates.end(),
                        [&](const PlanSuggestion& c) { return NearlySame(c.links, b.plan.links); });
        if (!same && b.score > 0 && b.plan.kept >= kMinListLinks)
            result.candidates.push_back(std::move(b.plan));
    }
    if (result.candidates.empty())
        result.message = MostLinksUnread(outline, links.size()) ? UnreadLinksMessage() : NoListMessage();
    return result;
}

SuggestResult SuggestPlans(const SuggestInput& input, const HttpLimits& limits) {
    try {
        const HttpMethod method = input.post.empty() ? HttpMethod::kGet : HttpMethod::kPost;
        std::string body = SendRequest(input.url, method, input.post, input.ua, limits);
        PlanEncoding encoding = input.encoding;
        Text page;
        if (encoding == PlanEncoding::kAuto) {
            // As the tester does: read as UTF-8, then let the page's own declaration decide.
            page = PageText(std::string(body), false);
            encoding = page.empty() || DetectPageEncoding(page) == PageEncoding::kUtf8 ? PlanEncoding::kUtf8
                                                                                       : PlanEncoding::kGbk;
            if (encoding == PlanEncoding::kGbk) page = PageText(std::move(body), true);
        } else {
            page = PageText(std::move(body), encoding == PlanEncoding::kGbk);
        }
        SuggestResult result = SuggestPlansForPage(page, input.url, encoding);
        // The plans ask for the page as it was asked for here.
        for (PlanSuggestion& plan : result.candidates) {
            plan.form.post = input.post;
            plan.form.ua = input.ua;
        }
        return result;
    } catch (const std::exception&) {
        SuggestResult result;
        result.message = NoListMessage();
        return result;
    }
}

}  // namespace marl
