#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace marl {

// The monitor's waits (800 ms after a plan, 2 s steps between passes) go through this seam so that
// tests can record them instead of sleeping.
class Pauser {
  public:
    virtual ~Pauser() = default;
    // Waits `duration`, or less once Interrupt has been called.
    virtual void Pause(std::chrono::milliseconds duration) = 0;
    // Ends the current wait and makes every later one return at once (shutdown, interrupt signal).
    virtual void Interrupt() = 0;
};

// A real wait on a condition variable: it takes no CPU while waiting and wakes at once on Interrupt.
class RealPauser final : public Pauser {
  public:
    void Pause(std::chrono::milliseconds duration) override;
    void Interrupt() override;
    bool Interrupted() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool interrupted_ = false;
};

}  // namespace marl
