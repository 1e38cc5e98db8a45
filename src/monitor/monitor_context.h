#pragma once
#include "monitor/clock.h"
#include "monitor/monitor_ui.h"
#include "monitor/new_article_hook.h"
#include "store/database.h"
#include "store/plan_record.h"
#include "web/http_request.h"

namespace marl {

// What the extraction pipeline and the article recording work with: the shared database and plan
// list, the UI port and the clock. The composition root owns all of them; this only refers.
struct MonitorContext {
    Database& db;
    const SharedPlanList& plans;
    MonitorUi& ui;
    const Clock& clock;
    HttpLimits limits{};
    // Told of every new article (the command for new articles); none when null.
    NewArticleHook* new_article_hook = nullptr;
};

}  // namespace marl
