// Force-included in ThreadSanitizer builds only (MARL_SANITIZE=thread).
// libstdc++ implements std::timed_mutex::try_lock_for with pthread_mutex_clocklock, which the
// ThreadSanitizer runtime of clang 14 and gcc 12 does not intercept: it would see the unlock
// without the lock, report "unlock of an unlocked mutex" and miss every ordering the lock gives.
// Without this macro libstdc++ takes pthread_mutex_timedlock instead, which it does intercept;
// the wait is the same, measured on the system clock.
#pragma once
#include <bits/c++config.h>
#undef _GLIBCXX_USE_PTHREAD_MUTEX_CLOCKLOCK
