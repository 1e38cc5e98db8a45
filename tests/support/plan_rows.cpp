#include "support/plan_rows.h"

#include "text/text.h"
#include "text/text_ops.h"

namespace marl::test {

bool InsertPlanRow(Database& db, int32_t id, const std::string& utf8_name, const std::string& url) {
    const Text statement =
        "INSERT INTO rule (id, class, name, url, code, ua, post, part, js, url_gs, inc1, inc0, ltime, dom, "
        "url_key, url_key_i, inck) VALUES (" +
        std::to_string(id) + ", '', " + SqlQuote(Gbk(utf8_name)) + ", " + SqlQuote(url) +
        ", '2', '', '', '[*]', '', '', '', '', '', '', '', '1', '')";
    return db.ExecuteSql(statement);
}

}  // namespace marl::test
