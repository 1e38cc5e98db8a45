#pragma once
#include <string>

#include "store/article_reader.h"

namespace marl::feeds {

// The address of a feed under `base` ("http://host:port"): base + "/feeds/all.atom" or
// base + "/feeds/ID.atom".
std::string AllFeedPath();
std::string PlanFeedPath(int32_t plan_id);

// OPML 2.0 listing the all-plans feed and every plan's feed, for a reader's import.
std::string OpmlDocument(const ArticleSnapshot& snapshot, const std::string& base);

// The server's front page: every plan with the address of its feed.
std::string IndexPage(const ArticleSnapshot& snapshot, const std::string& base);

}  // namespace marl::feeds
