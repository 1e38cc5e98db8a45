#include <iostream>
#include <optional>
#include <string>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_common.h"
#include "plans/plan_submit.h"
#include "store/database.h"
#include "store/plan_store.h"

namespace marl::cli {

namespace {

// The editor's fields as the options fill them: the same form the window hands to SubmitPlan.
PlanForm FormOf(const SaveOptions& options) {
    PlanForm form;
    // The encoding list: auto (its first entry) is never stored.
    form.encoding = options.encoding == "gbk"     ? PlanEncoding::kGbk
                    : options.encoding == "utf-8" ? PlanEncoding::kUtf8
                                                  : PlanEncoding::kAuto;
    const PlanValues& values = options.values;
    form.name = values.name;
    form.url = values.url;
    form.area = values.part;
    form.must_contain = values.inck;
    form.may_contain = values.inc1;
    form.must_not_contain = values.inc0;
    form.link_prefix = values.dom;
    form.post = values.post;
    form.row_marker = values.url_key;
    form.ua = HeaderText(options.headers, options.default_headers);
    form.row_marker_mode =
        options.row_value == -1 ? RowMarkerMode::kMustNotContain : RowMarkerMode::kMustContain;
    form.position = std::to_string(options.position);
    return form;
}

void Report(const SaveOptions& options, const SubmitOutcome& outcome) {
    const bool ok = outcome.status == SubmitOutcome::kSaved;
    if (options.json) {
        EmitJson({{"event", "saved"}, {"ok", ok}, {"sql", ToUtf8(outcome.sql)}});
    } else if (ok) {
        EmitLine(ToUtf8(Gbk("成功")));
    } else {
        EmitLine(ToUtf8(Gbk("失败！SQL语句：\r\n") + outcome.sql));
    }
}

}  // namespace

// The plan editor's save without its window: same checks, same values, same statement.
int RunSave(const SaveOptions& options) {
    const PlanForm form = FormOf(options);
    // The checks come before the database, so that a refused plan is refused without one.
    if (const auto message = FailedSubmitCheck(form)) {
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
    const SubmitOutcome outcome = SubmitPlan(form, id, store);
    Report(options, outcome);
    if (outcome.status != SubmitOutcome::kSaved) {
        // The database refused the statement (read-only, not ours, locked too long): the record says
        // ok:false, and the exit code tells a script that nothing was saved.
        std::cerr << "marltips-cli: the statement failed\n";
        return kExitDatabase;
    }
    // The editor reloads the list after a successful save. The plan is stored either way, but a list
    // that can no longer be read must not pass unnoticed.
    if (!LoadPlanList(db, plans)) return kExitDatabase;
    return kExitOk;
}

}  // namespace marl::cli
