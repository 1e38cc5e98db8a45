#include "support/fake_clock.h"

#include <ctime>

namespace marl::test {

FakeClock::FakeClock(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    now_ = std::chrono::system_clock::from_time_t(std::mktime(&local));
}

void RecordingPauser::Pause(std::chrono::milliseconds duration) {
    std::function<void(int, std::chrono::milliseconds)> hook;
    int index;
    {
        std::lock_guard lock(mutex_);
        pauses_.push_back(duration);
        index = static_cast<int>(pauses_.size());
        hook = hook_;
    }
    if (hook) hook(index, duration);
}

void RecordingPauser::OnPause(std::function<void(int, std::chrono::milliseconds)> hook) {
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
}

std::vector<std::chrono::milliseconds> RecordingPauser::Pauses() const {
    std::lock_guard lock(mutex_);
    return pauses_;
}

}  // namespace marl::test
