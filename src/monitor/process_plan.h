#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "monitor/filter_matches.h"
#include "monitor/link_matcher.h"
#include "monitor/monitor_context.h"
#include "store/plan_record.h"
#include "text/text.h"

namespace marl {

// One link that passed a plan's filters: its anchor HTML and the link as matched (views into the page).
struct Candidate {
    std::string_view title;
    std::string_view link;
};

// The row-structure test: with `url_key_i` 1 the row must contain `url_key` (bytes compared exactly),
// with -1 it must not, with 0 every row passes. An empty marker lets every row pass.
bool PassesRowStructure(std::string_view row, const Text& url_key, int32_t url_key_i);

// Walks `matches` from the last to the first and keeps those that pass the plan's row structure,
// must-contain word and include/exclude words, in that order. The include/exclude test puts its
// expression on `clipboard`.
std::vector<Candidate> FilterCandidates(const PlanRecord& plan, const std::vector<LinkMatch>& matches,
                                        const ClipboardSink& clipboard);

// Runs the whole extraction for the plan at `position` of the current plan list: fetch, area cut, link
// search, filters, titles and recording, with its status lines. A position outside the list is skipped
// without a word. The plan list is held for the whole call, so a reload meanwhile frees nothing in use.
void ProcessPlan(const MonitorContext& context, int32_t position);

}  // namespace marl
