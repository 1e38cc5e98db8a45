#include <memory>
#include <string>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_common.h"
#include "app/cli/cli_options.h"
#include "monitor/settings_file.h"
#include "store/database.h"
#include "store/plan_store.h"

namespace marl::cli {

int RunPlans(const PlansOptions& options) {
    Database db;
    if (!OpenStoreDatabase(options.dir, db)) return kExitDatabase;
    SharedPlanList plans;
    if (!LoadPlanList(db, plans)) return kExitDatabase;
    const SettingsFile settings(SettingsPath(options.dir));
    const Text checked_ids = settings.AccessSetting(Gbk("自动勾选"), "");

    const PlanListPtr list = plans.Get();
    if (list->size() == 0 && !options.json) EmitLine("no plans");
    for (int position = 1; position <= list->size(); ++position) {
        const PlanRecord& plan = *list->At(position);
        const bool checked = checked_ids.find("," + std::to_string(plan.id) + ",") != Text::npos;
        if (options.json) {
            EmitJson({{"event", "plan"},
                      {"position", position},
                      {"id", plan.id},
                      {"name", ToUtf8(plan.name)},
                      {"url", ToUtf8(plan.url)},
                      {"checked", checked}});
        } else {
            EmitLine(std::to_string(position) + (checked ? " [x] " : " [ ] ") + "id " +
                     std::to_string(plan.id) + "  " + ToUtf8(plan.name) + "  " + ToUtf8(plan.url));
        }
    }
    return kExitOk;
}

Command AddPlansCommand(CLI::App& program) {
    auto options = std::make_shared<PlansOptions>();
    CLI::App* command = program.add_subcommand("plans", "list the plans in position order");
    AddDir(*command, options->dir);
    AddJson(*command, options->json);
    return MakeCommand(command, options, RunPlans);
}

}  // namespace marl::cli
