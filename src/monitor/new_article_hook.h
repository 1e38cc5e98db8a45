#pragma once
#include <cstdint>
#include <vector>

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
    // The articles of one commit, in the order they were recorded: one call for a whole burst, so a
    // hook can take them in at once. Unless overridden, OnNewArticle for each.
    virtual void OnNewArticles(std::vector<NewArticle>&& articles) {
        for (const NewArticle& article : articles) OnNewArticle(article);
    }
};

}  // namespace marl
