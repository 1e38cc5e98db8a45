#pragma once
#include <cstdint>

#include "text/text.h"

namespace marl {

// A new article as recording hands it on, all texts GBK.
struct NewArticle {
    int32_t plan_id = 0;
    Text plan_name;
    Text title;
    Text address;  // as recorded: the plan's prefix followed by the link
    Text time;     // "YYYY-MM-DD HH:MM:SS", local, as stored in `info`.`addtime`
};

// Told of every new article once its recording has been committed to the file, on the monitor
// worker; an article whose recording was rolled back is told when it is recorded again. It must
// return at once: whatever it starts runs elsewhere, so monitoring is never held up.
class NewArticleHook {
  public:
    virtual ~NewArticleHook() = default;
    virtual void OnNewArticle(const NewArticle& article) = 0;
};

}  // namespace marl
