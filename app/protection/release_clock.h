// Due times of releases run on the monotonic clock, which a change of the system time or of
// daylight saving cannot move; the local clock is asked only to show when that will be.
#pragma once

#include "app/protection/release_period.h"
#include "core/clock_win32.h"

#include <windows.h>

#include <string>

inline unsigned long long MonotonicMilliseconds() {
    return MonotonicMicroseconds() / 1000;
}

// "HH:MM" of the local time at the monotonic millisecond due.
inline std::string DueClockText(unsigned long long due) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    unsigned long long current = MonotonicMilliseconds();
    return ReleaseClockText(now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
                            due > current ? due - current : 0);
}
