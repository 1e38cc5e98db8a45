#pragma once
#include <cstdint>
#include <optional>

#include "plans/plan_field_choices.h"
#include "plans/plan_tester.h"
#include "store/plan_record.h"
#include "store/plan_store.h"
#include "text/text.h"

namespace marl {

// What the plan editor's fields hold, as the user left them (GBK, nothing trimmed). The window and
// marltips-cli both fill one of these and hand it to SubmitPlan, so they save the same values.
struct PlanForm {
    // 框_编码 (stored as code)
    PlanEncoding encoding = PlanEncoding::kAuto;
    Text name;              // 框_名
    Text url;               // 框_url
    Text area;              // 框_区域规则: "start[*]end" (stored as part)
    Text must_contain;      // 框_必含 (stored as inck)
    Text may_contain;       // 框_包含, "$$"-joined as typed (stored as inc1)
    Text must_not_contain;  // 框_不包含, "$$"-joined as typed (stored as inc0)
    Text ua;                // 框_ua: the request header block
    Text post;              // 框_Post
    Text link_prefix;       // 框_dom, put before relative links (stored as dom)
    Text row_marker;        // 框_行结构 (stored as url_key)
    // 框_行结构值 (stored as url_key_i)
    RowMarkerMode row_marker_mode = RowMarkerMode::kMustContain;
    Text position = "0";  // 框_当前方案: "0" for a new plan, else the plan's list position
};

// The fields of a new plan: everything empty but the area "[*]", position "0", the default header
// block, 自动识别 and 必须包含.
PlanForm NewPlanForm();

// The fields for changing the plan at list `position`: its values as stored, the filter words with
// every "|" back to "$$". A stored encoding that the list cannot show comes up as 自动识别, so the
// user has to choose one before saving.
PlanForm PlanFormOf(const PlanRecord& plan, int position);

// The save's checks in their order: the message of the first that fails, nullopt when all pass. After
// the encoding, the name and the address, an address holding CR or LF is refused.
std::optional<Text> FailedSubmitCheck(const PlanForm& form);

// The values UpsertPlan stores for the form.
PlanValues PlanValuesOf(const PlanForm& form);

// The tester's input for the fields as they stand.
PlanTestInput PlanTestInputOf(const PlanForm& form);

struct SubmitOutcome {
    enum Status { kRefused, kSaved, kFailed };
    Status status = kRefused;
    Text message;  // kRefused: the failed check's message
    Text sql;      // kSaved and kFailed: the statement that ran
    // kSaved: the id of the plan saved (the new row's for an insert).
    int32_t id = 0;
};

// Checks the form and saves it. When the form's position is above 0, `plan_id` is the id of the plan
// being changed (the one that was opened, so a list reloaded meanwhile cannot redirect the update to
// another plan); otherwise a new plan is inserted and `plan_id` is not used. Reloading the plan list
// after a save is the caller's part.
SubmitOutcome SubmitPlan(const PlanForm& form, int32_t plan_id, PlanStore& store);

}  // namespace marl
