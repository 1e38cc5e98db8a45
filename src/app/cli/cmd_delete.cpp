#include <iostream>
#include <string>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_common.h"
#include "store/database.h"
#include "store/plan_store.h"

namespace marl::cli {

int RunDelete(const DeleteOptions& options) {
    Database db;
    if (!OpenStoreDatabase(options.dir, db)) return kExitDatabase;
    SharedPlanList plans;
    const StoreResult result = PlanStore(db, plans).DropPlan(options.id);
    if (options.json) {
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
