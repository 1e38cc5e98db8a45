#include "store/search_index.h"

#include <sqlite3.h>

namespace marl {

bool HasSearchIndex(sqlite3* /*db*/) { return false; }

bool BuildSearchIndex(const std::string& /*path*/, const std::function<bool(int64_t, int64_t)>& /*progress*/,
                      std::string& why) {
    why = "搜索索引尚不能建立";
    return false;
}

}  // namespace marl
