#include "monitor/record_article.h"

#include <string>

#include "monitor/status_log.h"
#include "text/text_ops.h"

namespace marl {

Text ArticleAddress(const PlanRecord& plan, const Text& link) { return plan.dom + link; }

Text InsertArticleStatement(int32_t position, const Text& title, const Text& address) {
    Text statement = "INSERT INTO 'info' ('classid', 'title', 'url', 'addtime') VALUES ('";
    statement += std::to_string(position);
    statement += "', '";
    statement += SqlEscape(title);
    statement += "', '";
    statement += SqlEscape(address);
    statement += "', '');";
    return statement;
}

void RecordArticle(const MonitorContext& context, const PlanRecord& plan, const Text& title, const Text& link,
                   int32_t position) {
    const Text address = ArticleAddress(plan, link);
    // A failed count reads as 0: the article is then taken as new rather than lost.
    if (context.db.CountArticlesWhere("url='" + SqlEscape(address) + "'") >= 1) return;

    context.ui.InsertArticleRow(position, plan.name, title, address, FormatNow(context.clock, false));
    context.ui.ShowArticle(title, address);

    const Text statement = InsertArticleStatement(position, title, address);
    if (!context.db.ExecuteSql(statement)) {
        static const Text kSqlError = Gbk("Sql Err：");
        StatusLog(context.ui, context.clock, kSqlError + statement);
    }
}

}  // namespace marl
