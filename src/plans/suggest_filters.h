#pragma once
#include <string_view>
#include <vector>

#include "plans/plan_submit.h"
#include "plans/plan_suggester.h"

namespace marl {

// Filter words for a proposed plan, only where its area alone lets other links through: a may-contain
// word taken from the address pattern the list's own links share, then must-not-contain words taken
// from the other links. A word is kept only when no link in `own` fails it. `area` is the text the
// plan's markers cut out; the words go into form.may_contain and form.must_not_contain, "$$"-joined
// as typed. Where no row marker keeps every own link and the others still get through, `nearly` (when
// given) receives the plan with a row marker that keeps nine in ten of them and hardly any other link;
// it is left alone otherwise.
void ChooseFilters(std::string_view area, const std::vector<std::string_view>& own, PlanForm& form,
                   PlanForm* nearly = nullptr);

// Runs the monitor's extraction for `plan.form` over `page` (area cut, link expression, row structure
// and the three filters) and fills plan.kept, plan.links and plan.preview from what it keeps. Returns
// how well that matches the list's own links: their number kept, scaled down by the share of others.
double RunSuggestedPlan(std::string_view page, const std::vector<std::string_view>& own,
                        PlanSuggestion& plan);

}  // namespace marl
