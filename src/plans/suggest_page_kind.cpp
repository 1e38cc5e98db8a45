#include "plans/suggest_page_kind.h"

#include <algorithm>
#include <unordered_map>

#include "html/html_to_text.h"
#include "text/text_ops.h"

namespace marl {

bool IsFeed(const PageOutline& outline) {
    for (const OutlineElement& e : outline.elements) {
        if (EqualsNoCase(e.name, "html") || EqualsNoCase(e.name, "head") || EqualsNoCase(e.name, "body"))
            return false;
        if (EqualsNoCase(e.name, "rss") || EqualsNoCase(e.name, "feed") || EqualsNoCase(e.name, "rdf:RDF") ||
            EqualsNoCase(e.name, "channel"))
            return true;
    }
    return false;
}

bool HeadlineWithText(std::string_view page, const PageOutline& outline, size_t list_begin, size_t list_end) {
    constexpr size_t kHeadlineBytes = 30, kTextWindow = 4000;
    const Text title = Trim(HtmlToText(Text(outline.title)));
    if (title.size() < kHeadlineBytes) return false;
    const ProseIndex prose(outline);
    for (const OutlineElement& e : outline.elements) {
        if (e.name.size() != 2 || (e.name[0] != 'h' && e.name[0] != 'H') || e.name[1] < '1' ||
            e.name[1] > '3' || e.close_begin == std::string_view::npos)
            continue;
        const size_t inner = e.begin + e.tag.size();
        if (e.close_begin <= inner || e.close_begin - inner > 4 * title.size()) continue;
        const std::string_view html = page.substr(inner, e.close_begin - inner);
        if (FindNoCase(html, "<a ") != kNotFound) continue;
        const Text heading = Trim(HtmlToText(Text(html)));
        if (heading.size() < kHeadlineBytes || !title.starts_with(heading)) continue;
        const size_t from = e.close_begin, to = e.close_begin + kTextWindow;
        const size_t text =
            prose.Between(from, to) - prose.Between(std::max(from, list_begin), std::min(to, list_end));
        if (text >= kProseItemBytes) return true;
    }
    return false;
}

// A single article: most of the page's prose stands in one element, at length, and the best list beside
// it is short (related or hot articles in a sidebar). The list's links lie between `list_begin` and
// `list_end`.
bool LooksLikeArticle(std::string_view page, const PageOutline& outline, size_t best_list, size_t list_begin,
                      size_t list_end) {
    constexpr size_t kArticleBytes = 1500, kSidebarLinks = 30;
    if (best_list > kSidebarLinks) return false;
    if (HeadlineWithText(page, outline, list_begin, list_end)) return true;
    std::unordered_map<int, size_t> by_parent;
    size_t total = 0, best = 0, inside = 0;
    for (const OutlineText& t : outline.prose) {
        const int parent = outline.elements[t.element].parent;
        total += t.bytes;
        if (t.begin >= list_begin && t.begin < list_end) inside += t.bytes;
        best = std::max(best, by_parent[parent < 0 ? t.element : parent] += t.bytes);
    }
    if (best >= kArticleBytes && best * 10 >= total * 8) return true;
    // Or a long text in many parts (paragraphs between headings and figures) that the list has no
    // share of: links beside an article, not a list with its summaries.
    const size_t outside = total - inside;
    return outside >= 2 * kArticleBytes && outside * 10 >= total * 9;
}

bool MostLinksUnread(const PageOutline& outline, size_t read) {
    constexpr size_t kUnreadLinks = 20;
    size_t anchors = 0;
    for (const OutlineElement& e : outline.elements) {
        if (EqualsNoCase(e.name, "a") && FindNoCase(e.tag, "href") != kNotFound) ++anchors;
    }
    return anchors >= kUnreadLinks && anchors > 2 * read;
}

}  // namespace marl
