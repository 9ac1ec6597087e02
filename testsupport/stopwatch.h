// Wall time for tests and measurements: milliseconds on the monotonic
// QueryPerformanceCounter clock, unaffected by changes of the system time.
#pragma once

#include <windows.h>

namespace qrltest {

inline double NowMs() {
    static const double msPerTick = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return 1000.0 / static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * msPerTick;
}

}  // namespace qrltest
