// The one monotonic clock: microseconds since an arbitrary start, for budgets and measurements.
#pragma once

#include <windows.h>

inline unsigned long long MonotonicMicroseconds() {
    static const unsigned long long frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<unsigned long long>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    auto ticks = static_cast<unsigned long long>(now.QuadPart);
    // Whole seconds and the rest apart: ticks * 1000000 would overflow after days of uptime.
    return ticks / frequency * 1000000ULL + ticks % frequency * 1000000ULL / frequency;
}

inline double MonotonicSeconds() {
    return static_cast<double>(MonotonicMicroseconds()) / 1e6;
}
