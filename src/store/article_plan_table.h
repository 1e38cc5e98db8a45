#pragma once
#include <cstdint>

struct sqlite3;

namespace marl {

// Table `article_plan` remembers which plan (by its `id`, which never shifts) found each article
// recorded since it exists; `info`.`classid` keeps the plan's position, which a deleted plan
// shifts. The table is additive: `info`, its four columns, the seen-check and the insert stay as
// they were, and a file without the table still works for everything but per-plan feeds.
// `article` is the rowid of the `info` row.
inline constexpr char kArticlePlanTable[] = "article_plan";

// Creates the table and its index when missing. Run inside the recording transaction, so that an
// old file gains them with its first new article, and a file we cannot write is left alone.
bool EnsureArticlePlanTable(sqlite3* db);

// Notes that the `info` row `article` was found by plan `plan_id`.
bool InsertArticlePlan(sqlite3* db, int64_t article, int32_t plan_id);

// Whether the file holds the table (files recorded by older versions do not).
bool HasArticlePlanTable(sqlite3* db);

}  // namespace marl
