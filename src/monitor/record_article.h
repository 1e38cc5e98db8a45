#pragma once
#include <cstdint>

#include "monitor/monitor_context.h"
#include "store/plan_record.h"
#include "text/text.h"

namespace marl {

// The address of an article: the plan's prefix followed directly by the link as matched.
Text ArticleAddress(const PlanRecord& plan, const Text& link);

// The statement that stores a new article (classid = plan position, addtime empty).
Text InsertArticleStatement(int32_t position, const Text& title, const Text& address);

// Records one candidate found by the plan at `position`. When its address is not yet in table
// `info`, the article is shown (list row at the top, then the popup) and stored; a failed store is
// logged as "Sql Err：" + statement. `plan` is the record the caller is working with, so a plan
// list reloaded meanwhile cannot mix two plans' fields.
void RecordArticle(const MonitorContext& context, const PlanRecord& plan, const Text& title, const Text& link,
                   int32_t position);

}  // namespace marl
