#pragma once

// ThreadSanitizer builds: Qt is not built with it, so it cannot see how Qt hands an event to another
// thread. TsanRelease and TsanAcquire tell it: what one thread did before TsanRelease(mark) happens
// before what another does after TsanAcquire(mark). Elsewhere they do nothing.
#if defined(__SANITIZE_THREAD__)
#define MARL_TSAN_MARKS 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define MARL_TSAN_MARKS 1
#endif
#endif
#ifdef MARL_TSAN_MARKS
#include <sanitizer/tsan_interface.h>
#endif

namespace marl::ui {

inline void TsanRelease([[maybe_unused]] const void* mark) {
#ifdef MARL_TSAN_MARKS
    __tsan_release(const_cast<void*>(mark));
#endif
}

inline void TsanAcquire([[maybe_unused]] const void* mark) {
#ifdef MARL_TSAN_MARKS
    __tsan_acquire(const_cast<void*>(mark));
#endif
}

}  // namespace marl::ui
