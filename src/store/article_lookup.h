#pragma once
#include <cstdint>
#include <string>

namespace marl {

// The `info` rowid of the article recorded under `url` (UTF-8, compared byte for byte) in the
// database at `path`, opened read-only: the newest such row, 0 when there is none (not recorded,
// or not yet committed by the monitor). False with `why` (UTF-8, one sentence) when the file
// cannot be read.
bool FindArticleByUrl(const std::string& path, const std::string& url, int64_t& article, std::string& why);

}  // namespace marl
