#pragma once
// Timing helpers shared by the benchmarks. Each benchmark prints its own figures; these
// only measure and print one line against a target.
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

namespace vel::bench {

// The best of `runs` timings of f, in milliseconds.
template <typename F>
double BestOfMs(int runs, F &&f)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

// "<what>  <ms> ms  (target <= <target> ms: ok|OVER)"
inline void ReportAgainstTarget(const char *what, double ms, double targetMs)
{
    std::printf("%-62s %9.2f ms  (target <= %g ms: %s)\n", what, ms, targetMs,
                ms <= targetMs ? "ok" : "OVER");
}

} // namespace vel::bench
