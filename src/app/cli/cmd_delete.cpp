#include <climits>
#include <iostream>
#include <memory>
#include <string>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_common.h"
#include "app/cli/cli_options.h"
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

Command AddDeleteCommand(CLI::App& program) {
    auto options = std::make_shared<DeleteOptions>();
    CLI::App* command = program.add_subcommand("delete", "delete the plan with this id");
    AddDir(*command, options->dir);
    AddNumber<int32_t>(*command, "ID", options->id, "plan id", 0, INT32_MAX)->required()->default_str("");
    AddJson(*command, options->json);
    return MakeCommand(command, options, RunDelete);
}

}  // namespace marl::cli
