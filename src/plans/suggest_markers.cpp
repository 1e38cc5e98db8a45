#include "plans/suggest_markers.h"

#include <algorithm>

#include "text/text_ops.h"

namespace marl {
namespace {

// How many tags a marker may span, how far from the list the search goes, and how long a marker and
// the fixed text inside one (a heading) may be.
constexpr size_t kMaxTagsInMarker = 3;
constexpr size_t kMaxTagsAway = 200;
constexpr size_t kMaxMarkerBytes = 240;
constexpr size_t kMaxGapBytes = 40;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Text between two tags of a marker: blanks only, so no title, date or count of the page gets in.
bool GapFits(std::string_view gap) {
    if (gap.size() > kMaxGapBytes) return false;
    return std::all_of(gap.begin(), gap.end(), [](char c) { return c == ' '; });
}

// A marker may not hold the plan's own separators or sentinels, nor a run of four digits (a year, an
// id or a count that changes with the page).
bool MarkerFits(std::string_view marker) {
    if (marker.empty() || marker.size() > kMaxMarkerBytes) return false;
    static const Text kQuoteWord = Gbk("#引号");
    for (const std::string_view bad :
         {std::string_view("[*]"), std::string_view("[<]"), std::string_view("[>]"), std::string_view("|<<<"),
          std::string_view(">>>|"), std::string_view(kQuoteWord)}) {
        if (marker.find(bad) != std::string_view::npos) return false;
    }
    // No anchor: its address and title are the page's content, not its structure.
    if (FindNoCase(marker, "<a ") != kNotFound || FindNoCase(marker, "href=") != kNotFound) return false;
    size_t run = 0;
    for (const char c : marker) {
        run = IsDigit(c) ? run + 1 : 0;
        if (run >= 4) return false;
    }
    return true;
}

bool TagsJoin(std::string_view page, const PageOutline& outline, size_t from, size_t to) {
    for (size_t k = from; k < to; ++k) {
        const size_t a = outline.tags[k].end, b = outline.tags[k + 1].begin;
        if (b < a || !GapFits(page.substr(a, b - a))) return false;
    }
    return true;
}

}  // namespace

std::optional<AreaMarkers> FindAreaMarkers(std::string_view page, const PageOutline& outline, size_t first,
                                           size_t last) {
    const auto& tags = outline.tags;
    AreaMarkers markers;
    size_t start_end = std::string_view::npos;
    // The start: the nearest run of tags before the list whose first occurrence is itself.
    const size_t k0 = outline.FirstTagFrom(first);
    for (size_t steps = 0, k = k0; k-- > 0 && steps < kMaxTagsAway && start_end == std::string_view::npos;
         ++steps) {
        if (tags[k].end > first) continue;
        for (size_t m = 0; m < kMaxTagsInMarker && m <= k; ++m) {
            if (!TagsJoin(page, outline, k - m, k)) break;
            const size_t from = tags[k - m].begin;
            const std::string_view marker = page.substr(from, tags[k].end - from);
            if (!MarkerFits(marker)) continue;
            if (page.find(marker) == from) {
                markers.start = Text(marker);
                start_end = tags[k].end;
                break;
            }
        }
    }
    if (start_end == std::string_view::npos) return std::nullopt;
    // The end: the nearest run of tags after the list that occurs nowhere between the start and there.
    for (size_t k = outline.FirstTagFrom(last), steps = 0; k < tags.size() && steps < kMaxTagsAway;
         ++k, ++steps) {
        for (size_t m = 0; m < kMaxTagsInMarker && k + m < tags.size(); ++m) {
            if (!TagsJoin(page, outline, k, k + m)) break;
            const size_t from = tags[k].begin;
            const std::string_view marker = page.substr(from, tags[k + m].end - from);
            if (!MarkerFits(marker)) continue;
            if (page.find(marker, start_end) == from) {
                markers.end = Text(marker);
                return markers;
            }
        }
    }
    return std::nullopt;
}

}  // namespace marl
