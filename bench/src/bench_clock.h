// The one clock of the benchmark: QueryPerformanceCounter, which every
// process of the machine shares, so that times taken in different
// programs compare.
#pragma once

#include <windows.h>

inline LONGLONG Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

inline double Ms(LONGLONG from, LONGLONG to) {
    static const double ticksPerMs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    return static_cast<double>(to - from) / ticksPerMs;
}

inline double MsSince(LONGLONG from) {
    return Ms(from, Now());
}
