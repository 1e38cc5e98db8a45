#include <iostream>
#include <optional>
#include <string>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_common.h"
#include "store/database.h"
#include "store/plan_store.h"

namespace marl::cli {

namespace {

// The editor's three checks, in its order; the message of the first that fails.
std::optional<Text> FailedCheck(const Text& code, const PlanValues& values) {
    if (code.empty()) return Gbk("请选择网站编码");
    if (values.name.empty()) return Gbk("名称不能空");
    if (values.url.empty()) return Gbk("列表网址不能空");
    return std::nullopt;
}

void Report(const SaveOptions& options, const StoreResult& result) {
    if (options.json) {
        EmitJson({{"event", "saved"}, {"ok", result.ok}, {"sql", ToUtf8(result.sql)}});
    } else if (result.ok) {
        EmitLine(ToUtf8(Gbk("成功")));
    } else {
        EmitLine(ToUtf8(Gbk("失败！SQL语句：\r\n") + result.sql));
    }
}

}  // namespace

// The plan editor's save without its window: same checks, same values, same statement.
int RunSave(const SaveOptions& options) {
    PlanValues values = options.values;
    // The encoding selector: auto (its first entry) is never stored.
    values.code = options.encoding == "gbk" ? "1" : options.encoding == "utf-8" ? "2" : "";
    values.ua = HeaderText(options.headers, options.default_headers);
    values.url_key_i = std::to_string(options.row_value);

    if (const auto message = FailedCheck(values.code, values)) {
        if (options.json) {
            EmitJson({{"event", "message"}, {"text", ToUtf8(*message)}});
        } else {
            EmitLine(ToUtf8(*message));
        }
        return kExitOk;
    }

    Database db;
    if (!OpenStoreDatabase(options.dir, db)) return kExitDatabase;
    SharedPlanList plans;
    PlanStore store(db, plans);
    int32_t id = 0;
    if (options.position > 0) {
        if (!LoadPlanList(db, plans)) return kExitDatabase;
        const PlanRecord* plan = plans.Get()->At(options.position);
        if (plan == nullptr)
            return UsageError("save: no plan at position " + std::to_string(options.position));
        id = plan->id;
    }
    const StoreResult result = store.UpsertPlan(values, id);
    Report(options, result);
    if (!result.ok) {
        // The record says ok:false; the exit code stays 0 as for every finished command.
        std::cerr << "marltips-cli: the statement failed\n";
        return kExitOk;
    }
    // The editor reloads the list after a successful save. The plan is stored either way, but a list
    // that can no longer be read must not pass unnoticed.
    if (!LoadPlanList(db, plans)) return kExitDatabase;
    return kExitOk;
}

}  // namespace marl::cli
