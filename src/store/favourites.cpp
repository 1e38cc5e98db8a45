#include "store/favourites.h"

namespace marl {

bool SetFavourite(const std::string& /*path*/, int64_t /*article*/, bool /*favourite*/, std::string& why) {
    why = "收藏尚不能保存";
    return false;
}

}  // namespace marl
