#pragma once
#include <cstddef>
#include <string_view>
#include <vector>

#include "plans/plan_submit.h"
#include "text/text.h"
#include "web/http_request.h"

namespace marl {

// Proposes plans for a list page from its address alone: finds the block of the page with the most
// links that look alike (same tag path, article-length titles, a shared address pattern), takes area
// markers from the tags around that block, adds a filter word only where the area alone lets other
// links through, and the prefix that makes relative links absolute. Every proposal is checked by
// running the monitor's own extraction on the page, and its preview is what that extraction keeps.

// What the user gives: the address and how to ask for it (GBK texts, as the editor's fields hold them).
struct SuggestInput {
    Text url;
    PlanEncoding encoding = PlanEncoding::kAuto;  // kAuto: decided from the page
    Text post;                                    // POST when not empty
    Text ua;                                      // the request header block
};

// One article as monitoring would record it: the title as plain text and the address with the prefix.
struct SuggestPreviewItem {
    Text title, url;
};

// One proposed plan.
struct PlanSuggestion {
    PlanForm form;    // the values for the editor's fields or SubmitPlan; position "0", a new plan
    size_t kept = 0;  // how many links the plan keeps on this page
    std::vector<SuggestPreviewItem> preview;  // the first five of them, in page order
    std::vector<Text> links;                  // every kept link as matched (before the prefix), page order
};

inline constexpr size_t kMaxSuggestions = 3;
inline constexpr size_t kPreviewItems = 5;

struct SuggestResult {
    std::vector<PlanSuggestion> candidates;       // best first, at most kMaxSuggestions
    Text message;                                 // why there is none (GBK); empty when there are candidates
    PlanEncoding encoding = PlanEncoding::kAuto;  // the encoding the page was read with (GBK or Utf-8)
};

// Fetches the page as the monitor does (FetchPage's request, decoding and clean-up; with 自动识别 the
// encoding is taken from the page as the tester takes it) and proposes plans for it. Never throws.
SuggestResult SuggestPlans(const SuggestInput& input, const HttpLimits& limits = {});

// The same for a page already fetched and cleaned: `page` is the text FetchPage gave for `url` with
// `encoding` (GBK or Utf-8).
SuggestResult SuggestPlansForPage(std::string_view page, const Text& url, PlanEncoding encoding);

// The prefix that makes `link`, as found on the page at `page_url`, absolute when put before it: empty
// for a link with a scheme; the scheme and host for "/..." (the tester's prefix without its last "/");
// the page's folder for a link relative to it ("a.html", "./a.html", "../a.html").
Text PrefixForLink(std::string_view link, const Text& page_url);

// Messages (GBK).
Text NoListMessage();       // "no article list found"
Text FeedMessage();         // a feed rather than a list page
Text UnreadLinksMessage();  // most anchors are written in a form the monitor does not read

}  // namespace marl
