#pragma once
#include <chrono>

namespace marl {

// The time seam: the status log and the article list read the current time through it, so tests
// can fix it.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::chrono::system_clock::time_point Now() const = 0;
};

class SystemClock final : public Clock {
  public:
    std::chrono::system_clock::time_point Now() const override;
};

}  // namespace marl
