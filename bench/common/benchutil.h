#pragma once
// Timing helpers shared by the benchmarks. Each benchmark prints its own figures; these
// only measure and print one line against a target.
#include <QElapsedTimer>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <vector>

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

// CPU time of the whole process and of the calling thread so far, in milliseconds.
inline double ProcessCpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

inline double ThreadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

// The median of `v`; 0 when it is empty.
inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : (n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
}

} // namespace vel::bench
