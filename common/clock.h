#pragma once
// The system's millisecond clock and the small process services of the tests.
#include <cstdint>

namespace vel {

// Milliseconds of a monotonic clock (CLOCK_MONOTONIC on Linux), the clock on which X11
// key event timestamps are also counted. Wraps like the platform's 32-bit tick count.
uint32_t TickCount();
uint64_t TickCount64();

// Blocks the calling thread for the given milliseconds.
void SleepMs(uint32_t ms);

// Raises the process's scheduling priority for a run, and puts it back; no effect where
// the platform does not allow it.
void SetHighPriority(bool on);

} // namespace vel
