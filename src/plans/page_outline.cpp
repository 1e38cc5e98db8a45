#include "plans/page_outline.h"

#include <algorithm>

#include "text/text_ops.h"

namespace marl {
namespace {

constexpr size_t kMaxDepth = 256;

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
           c == '-' || c == '_';
}

bool IsVoid(std::string_view name) {
    static constexpr std::string_view kVoid[] = {"area",  "base", "br",   "col",   "embed",  "hr",    "img",
                                                 "input", "link", "meta", "param", "source", "track", "wbr"};
    return std::any_of(std::begin(kVoid), std::end(kVoid),
                       [&](std::string_view v) { return EqualsNoCase(v, name); });
}

// Elements whose content is text, not markup: skipped up to their end tag.
bool IsRawText(std::string_view name) {
    return EqualsNoCase(name, "script") || EqualsNoCase(name, "style") || EqualsNoCase(name, "textarea") ||
           EqualsNoCase(name, "title");
}

// A start tag of these closes an open one of the same name first (list items, cells, paragraphs).
bool ClosesItsLike(std::string_view name) {
    static constexpr std::string_view kItems[] = {"li", "p", "tr", "td", "th", "dt", "dd", "option"};
    return std::any_of(std::begin(kItems), std::end(kItems),
                       [&](std::string_view v) { return EqualsNoCase(v, name); });
}

// The offset just after the ">" that ends the tag starting at `from`, quotes respected. Attribute
// values the clean-up left unbalanced (single quotes are gone from the page) would swallow the page:
// when a "<" comes before the end, the first ">" ends the tag instead. npos when there is no ">".
size_t TagEnd(std::string_view page, size_t from) {
    bool quoted = false;
    for (size_t i = from; i < page.size(); ++i) {
        const char c = page[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (c == '>' && !quoted) {
            return i + 1;
        } else if (c == '<') {
            break;
        }
    }
    const size_t plain = page.find('>', from);
    return plain == std::string_view::npos ? std::string_view::npos : plain + 1;
}

}  // namespace

int PageOutline::ElementAt(size_t offset) const {
    auto it = std::upper_bound(elements.begin(), elements.end(), offset,
                               [](size_t off, const OutlineElement& e) { return off < e.begin; });
    if (it == elements.begin()) return -1;
    --it;
    if (offset >= it->begin + it->tag.size()) return -1;
    return static_cast<int>(it - elements.begin());
}

size_t PageOutline::FirstTagFrom(size_t offset) const {
    auto it = std::lower_bound(tags.begin(), tags.end(), offset,
                               [](const OutlineTag& t, size_t off) { return t.begin < off; });
    return static_cast<size_t>(it - tags.begin());
}

PageOutline OutlinePage(std::string_view page) {
    PageOutline out;
    std::vector<int> open;
    size_t i = 0;
    while (i < page.size()) {
        const size_t lt = page.find('<', i);
        const size_t text_end = lt == std::string_view::npos ? page.size() : lt;
        if (text_end >= i + kProseBytes && !open.empty() &&
            !EqualsNoCase(out.elements[open.back()].name, "a"))
            out.prose.push_back({i, text_end - i, open.back()});
        if (lt == std::string_view::npos || lt + 1 >= page.size()) break;
        if (page.compare(lt, 4, "<!--") == 0) {
            // Markup inside a comment is read as markup: some boards ship their whole list commented
            // out and shown by a script, and the link expression finds those anchors all the same.
            i = lt + 4;
            continue;
        }
        const bool closing = page[lt + 1] == '/';
        const size_t name_at = lt + (closing ? 2 : 1);
        size_t name_end = name_at;
        while (name_end < page.size() && IsNameChar(page[name_end])) ++name_end;
        if (name_end == name_at || !((page[name_at] >= 'a' && page[name_at] <= 'z') ||
                                     (page[name_at] >= 'A' && page[name_at] <= 'Z'))) {
            i = lt + 1;  // "<" in text, "<!DOCTYPE", "<?xml"
            continue;
        }
        const size_t end = TagEnd(page, name_end);
        if (end == std::string_view::npos) break;
        const std::string_view name = page.substr(name_at, name_end - name_at);
        OutlineTag tag{lt, end, -1, closing};
        if (closing) {
            for (size_t k = open.size(); k-- > 0;) {
                if (EqualsNoCase(out.elements[open[k]].name, name)) {
                    tag.element = open[k];
                    out.elements[open[k]].close_begin = lt;
                    open.resize(k);
                    break;
                }
            }
            out.tags.push_back(tag);
            i = end;
            continue;
        }
        if (ClosesItsLike(name) && !open.empty() && EqualsNoCase(out.elements[open.back()].name, name))
            open.pop_back();
        OutlineElement element;
        element.name = name;
        element.tag = page.substr(lt, end - lt);
        element.begin = lt;
        element.parent = open.empty() ? -1 : open.back();
        element.depth = static_cast<int>(open.size());
        tag.element = static_cast<int>(out.elements.size());
        out.elements.push_back(element);
        out.tags.push_back(tag);
        i = end;
        const bool self_closed = end >= 2 && page[end - 2] == '/';
        if (IsRawText(name)) {
            // Skip to the matching end tag; the text inside is no markup.
            size_t close = end;
            while ((close = page.find("</", close)) != std::string_view::npos &&
                   !StartsWithNoCase(page.substr(close + 2), name))
                close += 2;
            if (close == std::string_view::npos) break;
            if (EqualsNoCase(name, "title") && out.title.empty()) out.title = page.substr(end, close - end);
            out.elements.back().close_begin = close;
            i = close;  // the end tag itself is read as a tag that closes nothing open
            continue;
        }
        if (!IsVoid(name) && !self_closed && open.size() < kMaxDepth) open.push_back(tag.element);
    }
    return out;
}

}  // namespace marl
