#include <climits>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_common.h"
#include "app/cli/cli_options.h"
#include "plans/plan_submit.h"
#include "store/database.h"
#include "store/plan_store.h"

namespace marl::cli {

namespace {

// The editor's fields as the options fill them: the same form the window hands to SubmitPlan.
PlanForm FormOf(const SaveOptions& options) {
    PlanForm form;
    // The encoding list: auto (its first entry) is never stored.
    form.code_index = options.encoding == "gbk"     ? kEncodingGbk
                      : options.encoding == "utf-8" ? kEncodingUtf8
                                                    : kEncodingAuto;
    const PlanValues& values = options.values;
    form.name = values.name;
    form.url = values.url;
    form.part = values.part;
    form.inck = values.inck;
    form.inc1 = values.inc1;
    form.inc0 = values.inc0;
    form.dom = values.dom;
    form.post = values.post;
    form.url_key = values.url_key;
    form.ua = HeaderText(options.headers, options.default_headers);
    form.url_key_i = options.row_value == -1 ? -1 : 1;
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

Command AddSaveCommand(CLI::App& program) {
    auto options = std::make_shared<SaveOptions>();
    SaveOptions& s = *options;
    CLI::App* command =
        program.add_subcommand("save", "save a plan as the plan editor does, with its checks");
    s.values.part = "[*]";
    AddDir(*command, s.dir);
    AddNumber<int32_t>(*command, "--position", s.position,
                       "0 saves a new plan; above 0 updates the plan there", 0, INT32_MAX);
    AddText(*command, "--name", s.values.name, "plan name");
    AddText(*command, "--url", s.values.url, "list page address");
    AddEncoding(*command, s.encoding, {"auto", "gbk", "utf-8"},
                "page encoding (auto is refused as in the editor)");
    AddText(*command, "--area", s.values.part, "area: start marker [*] end marker");
    AddText(*command, "--must", s.values.inck, "must-contain word");
    AddText(*command, "--may", s.values.inc1, "may-contain words, $$-separated");
    AddText(*command, "--not", s.values.inc0, "must-not-contain words, $$-separated");
    AddText(*command, "--prefix", s.values.dom, "link prefix");
    AddHeaders(*command, s.headers, s.default_headers);
    AddText(*command, "--post", s.values.post, "POST body");
    AddText(*command, "--row-key", s.values.url_key, "row-structure marker");
    AddRowValue(*command, s.row_value);
    AddJson(*command, s.json);
    return MakeCommand(command, options, RunSave);
}

}  // namespace marl::cli
