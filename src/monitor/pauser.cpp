#include "monitor/pauser.h"

namespace marl {

void RealPauser::Pause(std::chrono::milliseconds duration) {
    // steady_clock: a change of the wall clock neither shortens nor stretches the wait.
    const auto deadline = std::chrono::steady_clock::now() + duration;
    std::unique_lock lock(mutex_);
    wake_.wait_until(lock, deadline, [this] { return interrupted_; });
}

void RealPauser::Interrupt() {
    {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
    }
    wake_.notify_all();
}

bool RealPauser::Interrupted() const {
    std::lock_guard lock(mutex_);
    return interrupted_;
}

}  // namespace marl
