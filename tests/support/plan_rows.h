#pragma once
#include <cstdint>
#include <string>

#include "store/database.h"

namespace marl::test {

// Stores a plan row with this id, name (UTF-8) and address; the rest as a new plan of the editor
// would have it (UTF-8 page, whole page as the area, links that must contain nothing in particular).
// Returns whether the insert ran.
bool InsertPlanRow(Database& db, int32_t id, const std::string& utf8_name, const std::string& url);

}  // namespace marl::test
