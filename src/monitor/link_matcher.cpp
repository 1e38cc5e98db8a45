#include "monitor/link_matcher.h"

#include <cstring>
#include <new>

namespace marl {

const char kLinkExpression[] = R"re(<[a|A].*?href=[\'|\"]([^\'|^\"].*?)[\'|\"].*?>([\s|\S]*?)<\/[a|A]>)re";

// Why a hand scanner gives the regex engine's answer in one pass:
//
// The expression is "<" A, lazy gap, "href=" Q L, lazy link, Q, lazy gap, ">", lazy title, "</" A ">",
// where A = {a, A, |}, Q = {', |, "} and L is any byte outside Q and "^". Every gap is a lazy run of
// any byte followed by a fixed piece, so a backtracking engine tries the candidates for each piece
// from left to right, and the first combination that completes is the match. Whether the pieces
// after a given candidate can still complete only gets harder the further right that candidate
// lies: a later "href=" finds the same or a later closing quote, ">" and closing tag. So the first
// candidate of each piece wins when any does, and when the first one fails, nothing further right
// (neither a later candidate nor a later start) can succeed. The match at a start is therefore the
// chain of first occurrences, and the first start whose chain breaks ends the whole search.
//
// Each piece is searched forward from the end of the one before, and the next search resumes after
// the match, so every byte is looked at a bounded number of times.

namespace {

constexpr size_t kNone = std::string_view::npos;

bool IsAnchorLetter(char c) { return c == 'a' || c == 'A' || c == '|'; }
bool IsQuote(char c) { return c == '\'' || c == '"' || c == '|'; }
bool CanStartLink(char c) { return !IsQuote(c) && c != '^'; }
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

class LinkScanner {
  public:
    explicit LinkScanner(std::string_view page) : page_(page) {}

    // First position >= from holding byte c.
    size_t Find(char c, size_t from) const {
        if (from >= page_.size()) return kNone;
        const void* hit = std::memchr(page_.data() + from, c, page_.size() - from);
        return hit ? static_cast<size_t>(static_cast<const char*>(hit) - page_.data()) : kNone;
    }

    // "<" followed by an anchor letter.
    size_t FindAnchorOpen(size_t from) const {
        for (size_t pos = Find('<', from); pos != kNone; pos = Find('<', pos + 1)) {
            if (pos + 1 < page_.size() && IsAnchorLetter(page_[pos + 1])) return pos;
        }
        return kNone;
    }

    // "href=" (any case), a quote and a byte that may begin a link; returns the position of the "h".
    size_t FindHref(size_t from) const {
        static constexpr char kHref[] = "href";
        for (size_t eq = Find('=', from + 4); eq != kNone; eq = Find('=', eq + 1)) {
            if (eq + 2 >= page_.size()) return kNone;
            const size_t h = eq - 4;
            bool name_ok = true;
            for (size_t i = 0; i < 4 && name_ok; ++i) name_ok = LowerAscii(page_[h + i]) == kHref[i];
            if (name_ok && IsQuote(page_[eq + 1]) && CanStartLink(page_[eq + 2])) return h;
        }
        return kNone;
    }

    size_t FindQuote(size_t from) const {
        for (size_t pos = from; pos < page_.size(); ++pos) {
            if (IsQuote(page_[pos])) return pos;
        }
        return kNone;
    }

    // "</" followed by an anchor letter and ">".
    size_t FindAnchorClose(size_t from) const {
        for (size_t pos = Find('<', from); pos != kNone; pos = Find('<', pos + 1)) {
            if (pos + 3 < page_.size() && page_[pos + 1] == '/' && IsAnchorLetter(page_[pos + 2]) &&
                page_[pos + 3] == '>') {
                return pos;
            }
        }
        return kNone;
    }

    void FindAll(std::vector<LinkMatch>& matches) const {
        size_t from = 0;
        while (true) {
            const size_t start = FindAnchorOpen(from);
            if (start == kNone) return;
            const size_t href = FindHref(start + 2);
            if (href == kNone) return;
            const size_t link_begin = href + 6;
            const size_t link_end = FindQuote(link_begin + 1);
            if (link_end == kNone) return;
            const size_t tag_end = Find('>', link_end + 1);
            if (tag_end == kNone) return;
            const size_t close = FindAnchorClose(tag_end + 1);
            if (close == kNone) return;
            const size_t end = close + 4;
            matches.push_back({page_.substr(start, end - start),
                               page_.substr(link_begin, link_end - link_begin),
                               page_.substr(tag_end + 1, close - tag_end - 1)});
            from = end;
        }
    }

  private:
    std::string_view page_;
};

}  // namespace

std::vector<LinkMatch> FindLinks(std::string_view page) {
    std::vector<LinkMatch> matches;
    try {
        LinkScanner(page).FindAll(matches);
    } catch (const std::bad_alloc&) {
        // Out of memory for the result list: report no links rather than a truncated page.
        return {};
    }
    return matches;
}

}  // namespace marl
