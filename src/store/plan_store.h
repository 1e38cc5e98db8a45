#pragma once
#include <cstdint>

#include "store/database.h"
#include "store/plan_record.h"
#include "text/text.h"

namespace marl {

// The plan editor's values, as texts, exactly as they are stored.
struct PlanValues {
    Text name, url, code, ua, post, part, inc1, inc0, dom, url_key, url_key_i, inck;
};

// The outcome of a save or delete and the statement that ran (shown to the user on failure).
struct StoreResult {
    bool ok = false;
    Text sql;
    int32_t id = 0;  // a successful save: the id of the plan saved (the new row's for an insert)
};

// The only reader and writer of table `rule`.
class PlanStore {
  public:
    PlanStore(Database& db, SharedPlanList& plans);

    // Reloads the plan list (the 50 lowest ids, ascending). Returns the number loaded; with no
    // row, or a failing statement, returns 0 and leaves the current list as it was.
    int LoadPlans();
    // The same; `failed` is true when the list statement did not run (database locked beyond the busy
    // time, not a database, no plan table) or the list could not be built, false for a table without
    // rows. Callers that must not take a broken database for an empty one ask this form.
    int LoadPlans(bool& failed);
    // Inserts a new plan when id is 0 (or below), else updates the plan with that id. On success the
    // result names the plan's id.
    StoreResult UpsertPlan(const PlanValues& values, int32_t id);
    StoreResult DropPlan(int32_t id);

  private:
    Database& db_;
    SharedPlanList& plans_;
};

// The statement texts (GBK) that PlanStore runs.
const Text& PlanListStatement();
Text FillPlanStatement(const PlanValues& values, int32_t id);
Text DropPlanStatement(int32_t id);

// The plan editor's default request header block for a new plan (GBK).
Text DefaultHeaderBlock();

}  // namespace marl
