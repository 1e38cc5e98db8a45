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
        // The database refused the statement (read-only, not ours, locked too long): the record says
        // ok:false, and the exit code tells a script that nothing was deleted.
        std::cerr << "marltips-cli: the statement failed\n";
        return kExitDatabase;
    }
    return kExitOk;
}

}  // namespace marl::cli
