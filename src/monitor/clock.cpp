#include "monitor/clock.h"

namespace marl {

std::chrono::system_clock::time_point SystemClock::Now() const { return std::chrono::system_clock::now(); }

}  // namespace marl
