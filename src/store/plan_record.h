#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "text/text.h"

namespace marl {

// One loaded plan: a `rule` row with its derived fields.
struct PlanRecord {
    int32_t id = 0;
    Text name, url, class_, code;
    int32_t is_gbk = 0;    // 1 when code is exactly "1"
    int32_t use_post = 0;  // 1 when post is not empty
    Text ua, post;
    Text area_start, area_end;  // cut from part at "[*]"; both empty means no area
    Text part, js, url_gs, url_key;
    int32_t url_key_i = 0;
    Text inc1, inc0;  // "$$" already turned into "|"
    Text inck, dom;
    int64_t ltime = 0;
};

// The columns of a plan row in the order the plan list statement selects them.
enum PlanColumn : int {
    kColId,
    kColClass,
    kColName,
    kColUrl,
    kColCode,
    kColUa,
    kColPart,
    kColJs,
    kColUrlGs,
    kColLtime,
    kColPost,
    kColInc1,
    kColInc0,
    kColDom,
    kColUrlKey,
    kColUrlKeyI,
    kColInck,
    kPlanColumnCount
};

// Builds a record from one row of the plan list statement; missing columns read as empty.
PlanRecord PlanRecordFromRow(const std::vector<Text>& row);

// The area markers of a stored area text "start[*]end".
Text AreaStartOf(const Text& part);
Text AreaEndOf(const Text& part);

// The loaded plans, addressed by position from 1. Never changed once built: a reload builds
// a new list and swaps it in whole.
class PlanList {
  public:
    PlanList() = default;
    explicit PlanList(std::vector<PlanRecord> records);

    int size() const { return static_cast<int>(records_.size()); }
    // The plan at 1-based `position`; nullptr when out of range.
    const PlanRecord* At(int position) const;
    const std::vector<PlanRecord>& records() const { return records_; }

  private:
    std::vector<PlanRecord> records_;
};
using PlanListPtr = std::shared_ptr<const PlanList>;

// The current plan list, shared between the user-interface thread (which swaps in a reloaded
// list) and the monitor worker (which keeps its own reference for a whole plan, so a reload
// never frees a record in use).
class SharedPlanList {
  public:
    SharedPlanList();
    PlanListPtr Get() const;     // never null: an empty list before the first load
    void Set(PlanListPtr list);  // null stands for an empty list

  private:
    mutable std::mutex mutex_;
    PlanListPtr list_;
};

// One recorded article: the four texts of an `info` row.
struct ArticleRecord {
    Text classid, title, url, addtime;
};

}  // namespace marl
