#pragma once
// A marltips.db with plans and articles recorded through the monitor's own recording, for the
// feed and server tests.
#include <cstdint>
#include <string>
#include <vector>

#include "store/database.h"
#include "store/plan_record.h"
#include "support/temp_dir.h"

namespace marl::test {

class FeedStore {
  public:
    FeedStore();
    std::string path() const { return dir_.File("marltips.db"); }
    // Adds a plan row (UTF-8 name) and reloads the plan list; returns its id.
    int32_t AddPlan(const std::string& utf8_name);
    // Records articles (UTF-8 title, address) for the plan with `id`, as monitoring does, at the
    // fixed time 2024-03-05 07:08:09 local.
    void Record(int32_t plan_id, const std::vector<std::pair<std::string, std::string>>& articles);
    // Plants an article as older versions stored it: no time, no plan id.
    void PlantOld(const std::string& utf8_title, const std::string& url);
    Database& db() { return db_; }

  private:
    TempDir dir_;
    Database db_;
    SharedPlanList plans_;
};

}  // namespace marl::test
