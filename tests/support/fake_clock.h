#pragma once
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

#include "monitor/clock.h"
#include "monitor/pauser.h"

namespace marl::test {

// A clock that stands still at a local date and time.
class FakeClock : public Clock {
  public:
    FakeClock(int year, int month, int day, int hour, int minute, int second);
    std::chrono::system_clock::time_point Now() const override { return now_; }
    void Set(std::chrono::system_clock::time_point now) { now_ = now; }

  private:
    std::chrono::system_clock::time_point now_;
};

// A pauser that does not wait: it records every pause and may run a hook for each one.
class RecordingPauser : public Pauser {
  public:
    void Pause(std::chrono::milliseconds duration) override;
    void Interrupt() override { interrupted_ = true; }

    // Runs (outside the lock) on every pause with its 1-based index and its length.
    void OnPause(std::function<void(int index, std::chrono::milliseconds duration)> hook);
    std::vector<std::chrono::milliseconds> Pauses() const;
    bool Interrupted() const { return interrupted_; }

  private:
    mutable std::mutex mutex_;
    std::vector<std::chrono::milliseconds> pauses_;
    std::function<void(int, std::chrono::milliseconds)> hook_;
    std::atomic<bool> interrupted_{false};
};

}  // namespace marl::test
