#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "store/article_reader.h"

namespace marl::feeds {

// The title of the feed of every plan.
inline constexpr char kAllPlansTitle[] = "marltips — 全部方案";

// An Atom 1.0 document (RFC 4287), UTF-8, of the snapshot's articles in their order (newest
// first): of plan `plan_id`, or of every plan. `generated` stands for the time of articles recorded
// before times were kept. `self_url`, when not empty, is the feed's own address.
std::string AtomDocument(const ArticleSnapshot& snapshot, std::optional<int32_t> plan_id,
                         std::chrono::system_clock::time_point generated, const std::string& self_url = {});

// The entry id of an article: derived from its address alone, so it is the same on every run, in
// every feed the article appears in, and after the file is copied or rebuilt.
std::string ArticleId(const std::string& url);

// A stored "YYYY-MM-DD HH:MM:SS" local time; none for an empty or malformed text.
std::optional<std::chrono::system_clock::time_point> ParseStoredTime(const std::string& text);
// RFC 3339 with the local offset, e.g. "2024-03-05T07:08:09+08:00".
std::string Rfc3339Local(std::chrono::system_clock::time_point when);

// The newest time among the snapshot's articles that have one.
std::optional<std::chrono::system_clock::time_point> NewestStoredTime(const ArticleSnapshot& snapshot);

}  // namespace marl::feeds
