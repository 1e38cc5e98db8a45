#pragma once
#include <string>

namespace marl::feeds {

// Writes `bytes` to `path` through a temporary file in the same folder and a rename, so a reader
// sees the old file or the new one, never half of one. False, with the reason in `error`, when it
// could not; the old file is then left as it was.
bool ReplaceFile(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace marl::feeds
