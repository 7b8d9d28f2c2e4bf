#include "common/clock.h"

#include <chrono>
#include <thread>

#include <QtGlobal>

#ifdef Q_OS_WIN
#else
#include <sys/resource.h>
#include <time.h>
#endif

namespace vel {

uint64_t TickCount64()
{
#if defined(CLOCK_MONOTONIC)
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
#else
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
#endif
}

uint32_t TickCount() { return static_cast<uint32_t>(TickCount64()); }

void SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void SetHighPriority(bool on)
{
#if !defined(Q_OS_WIN) && defined(PRIO_PROCESS)
    static int saved = 0;
    if (on) {
        saved = getpriority(PRIO_PROCESS, 0);
        setpriority(PRIO_PROCESS, 0, saved - 5);   // refused without privileges: no effect
    } else {
        setpriority(PRIO_PROCESS, 0, saved);
    }
#else
    (void)on;
#endif
}

} // namespace vel
