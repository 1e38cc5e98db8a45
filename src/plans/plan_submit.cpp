#include "plans/plan_submit.h"

#include <string>

#include "text/text_ops.h"

namespace marl {
namespace {

// The loaded filter words hold "|" where the user typed "$$"; the editor shows them as typed. Only a
// "|" of its own counts: a GBK character whose second byte is 0x7C (東, 億) stays that character.
Text WordsAsTyped(const Text& loaded) { return ReplaceCharacter(loaded, '|', "$$"); }

// The list entry of a stored encoding; one the list cannot show is 自动识别.
PlanEncoding EncodingOfCode(const Text& code) {
    switch (TextToInt(code)) {
        case static_cast<int>(PlanEncoding::kGbk):
            return PlanEncoding::kGbk;
        case static_cast<int>(PlanEncoding::kUtf8):
            return PlanEncoding::kUtf8;
        default:
            return PlanEncoding::kAuto;
    }
}

}  // namespace

PlanForm NewPlanForm() {
    PlanForm form;
    form.area = "[*]";
    form.ua = DefaultHeaderBlock();
    return form;
}

PlanForm PlanFormOf(const PlanRecord& plan, int position) {
    PlanForm form;
    form.encoding = EncodingOfCode(plan.code);
    form.name = plan.name;
    form.url = plan.url;
    form.area = plan.part;
    form.must_contain = plan.inck;
    form.may_contain = WordsAsTyped(plan.inc1);
    form.must_not_contain = WordsAsTyped(plan.inc0);
    form.link_prefix = plan.dom;
    form.position = std::to_string(position);
    form.ua = plan.ua;
    form.post = plan.post;
    form.row_marker = plan.url_key;
    form.row_marker_mode =
        plan.url_key_i == -1 ? RowMarkerMode::kMustNotContain : RowMarkerMode::kMustContain;
    return form;
}

std::optional<Text> FailedSubmitCheck(const PlanForm& form) {
    if (form.encoding == PlanEncoding::kAuto) return Gbk("请选择网站编码");
    if (form.name.empty()) return Gbk("名称不能空");
    if (form.url.empty()) return Gbk("列表网址不能空");
    // The address goes into the request's header lines, where a line break would start a header of
    // its own.
    if (form.url.find_first_of("\r\n") != Text::npos) return Gbk("列表网址不能含换行");
    return std::nullopt;
}

PlanValues PlanValuesOf(const PlanForm& form) {
    PlanValues values;
    values.name = form.name;
    values.url = form.url;
    values.code = std::to_string(static_cast<int>(form.encoding));
    values.ua = form.ua;
    values.post = form.post;
    values.part = form.area;
    values.inc1 = form.may_contain;
    values.inc0 = form.must_not_contain;
    values.dom = form.link_prefix;
    values.url_key = form.row_marker;
    values.url_key_i = form.row_marker_mode == RowMarkerMode::kMustNotContain ? "-1" : "1";
    values.inck = form.must_contain;
    return values;
}

SubmitOutcome SubmitPlan(const PlanForm& form, int32_t plan_id, PlanStore& store) {
    SubmitOutcome outcome;
    if (auto message = FailedSubmitCheck(form)) {
        outcome.message = std::move(*message);
        return outcome;
    }
    const int32_t id = TextToInt(form.position) > 0 ? plan_id : 0;
    const StoreResult stored = store.UpsertPlan(PlanValuesOf(form), id);
    outcome.status = stored.ok ? SubmitOutcome::kSaved : SubmitOutcome::kFailed;
    outcome.sql = stored.sql;
    outcome.id = stored.id;
    return outcome;
}

PlanTestInput PlanTestInputOf(const PlanForm& form) {
    PlanTestInput input;
    input.encoding = form.encoding;
    input.url = form.url;
    input.area = form.area;
    input.post = form.post;
    input.ua = form.ua;
    input.must_contain = form.must_contain;
    input.may_contain = form.may_contain;
    input.must_not_contain = form.must_not_contain;
    input.row_marker = form.row_marker;
    input.row_marker_mode = form.row_marker_mode;
    input.position = form.position;
    return input;
}

}  // namespace marl
