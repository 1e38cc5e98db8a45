#pragma once
#include <string>
#include <vector>

#include "plans/plan_suggester.h"
#include "support/page_server.h"

namespace marl::test {

// The labelled list pages under tests/data/suggest and how the plan suggestion does on them: each page
// is served over loopback and taken as the monitor takes it, and the kept links, as matched, are
// compared with the labels (the main list's hrefs as written in the page).

struct LabelledPage {
    std::string name, file, encoding, kind, page_url, source;
    std::string bytes;                // the page as saved
    std::vector<std::string> labels;  // GBK, cleaned as the fetcher cleans the page
};

// Every row of pages.tsv with its page and labels; empty when the folder is missing.
std::vector<LabelledPage> LoadLabelledSet(const std::string& dir = MARL_SUGGEST_DATA_DIR);

// A plan is right for a page when it keeps at least 90% of the labelled links and at most 10% of what
// it keeps is anything else (distinct links compared).
struct PlanScore {
    double found = 0;   // share of the labels kept
    double others = 0;  // share of the kept links that are not labels
    bool right = false;
};
PlanScore ScorePlan(const std::vector<Text>& kept_links, const std::vector<std::string>& labels);

struct PageOutcome {
    std::string name, kind;
    size_t labels = 0, candidates = 0;
    PlanScore first;             // of the first candidate (all zero when there is none)
    bool any_right = false;      // one of the candidates is right
    bool changed_right = false;  // the first candidate still catches the new items after the page changed
    bool changed_tried = false;
    std::string message;  // UTF-8
    std::string area;     // UTF-8, of the first candidate
};

struct SetOutcome {
    std::vector<PageOutcome> pages;
    // List pages whose labelled links the link expression can find at all (an href written without
    // quotes or with a blank before "=" is beyond any plan).
    size_t reachable = 0;
    size_t lists = 0, first_right = 0, any_right = 0, changed_tried = 0, changed_right = 0;
    size_t no_list_pages = 0, no_list_answered = 0;  // feeds and pages without a list, given a message
    // One line per page and the totals, for people.
    std::string Table() const;
};

// Runs the suggestion over every page of the set, served by `server`.
SetOutcome EvaluateSet(const std::vector<LabelledPage>& set, PageServer& server);

// The page after its list moved on: the first `count` labelled items get new addresses and titles
// (as if new articles had been published at the top and the old ones pushed down). Returns the new
// page and the new addresses (GBK as matched).
std::string ChangedPage(const LabelledPage& page, size_t count, std::vector<std::string>& new_links);

}  // namespace marl::test
