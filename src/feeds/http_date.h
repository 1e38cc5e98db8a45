#pragma once
#include <chrono>
#include <optional>
#include <string>

namespace marl::feeds {

// HTTP dates (RFC 9110 IMF-fixdate, e.g. "Tue, 05 Mar 2024 07:08:09 GMT"), independent of the
// program's locale.
std::string HttpDate(std::chrono::system_clock::time_point when);
std::optional<std::chrono::system_clock::time_point> ParseHttpDate(const std::string& text);

}  // namespace marl::feeds
