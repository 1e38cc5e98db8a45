#include <climits>
#include <iostream>
#include <string>

#include "app/cli/cli_common.h"
#include "store/database.h"
#include "store/plan_store.h"

namespace marl::cli {

int RunDelete(const CliArgs& args) {
    if (args.positionals.size() != 1) return UsageError("delete needs exactly one plan id");
    const std::string& word = args.positionals[0];
    long long id = 0;
    bool valid = !word.empty() && word.size() <= 10;
    for (const char c : word) valid = valid && c >= '0' && c <= '9';
    if (valid) id = std::stoll(word);
    if (!valid || id > INT32_MAX) return UsageError("not a plan id: " + word);

    Database db;
    if (!OpenStoreDatabase(args, db)) return kExitDatabase;
    SharedPlanList plans;
    const StoreResult result = PlanStore(db, plans).DropPlan(static_cast<int32_t>(id));
    if (args.Json()) {
        EmitJson({{"event", "deleted"}, {"ok", result.ok}, {"sql", ToUtf8(result.sql)}});
    } else if (result.ok) {
        EmitLine(ToUtf8(Gbk("删除成功")));
    } else {
        EmitLine(ToUtf8(Gbk("删除失败！SQL：\r\n") + result.sql));
    }
    if (!result.ok) {
        // The record says ok:false; the exit code stays 0 as for every finished command.
        std::cerr << "marltips-cli: the statement failed\n";
    }
    return kExitOk;
}

}  // namespace marl::cli
