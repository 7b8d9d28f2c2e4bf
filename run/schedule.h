#pragma once
// The schedule of a run, the same rule for both tests: two kinds of presentation, placed
// two of each in every block of four, and a drawn pause after every presentation. No
// widgets, no clock: a run (reactionrun.h) draws the schedule at its start and follows it.
#include <QString>

#include <cstdint>
#include <functional>

#include "common/testrun.h"

namespace vel {

// Planned count when the settings field is empty or holds no number.
inline constexpr int DefaultPlannedCount = 30;

// The two kinds of a schedule. Every place starts as FirstKind; two places of each block
// of four become SecondKind.
inline constexpr uint8_t FirstKind = 1;
inline constexpr uint8_t SecondKind = 2;

// Pause after a presentation: PauseBaseMs plus a whole number drawn from 0..PauseSpreadMs-1.
inline constexpr int PauseBaseMs = 500;
inline constexpr int PauseSpreadMs = 2000;
// Pause between the start and the first presentation; the beep sounds at its end.
inline constexpr uint32_t FirstPauseMs = 1000;

// A uniform whole number in 0..bound-1.
using ScheduleDraw = std::function<int(int bound)>;

// Draws of a generator seeded from the clock.
ScheduleDraw ClockSeededDraw();

// Fills Kinds[1..200] and Delays[1..200] of the record for a run of `plannedCount`
// presentations. The draws come in this order: the 200 pauses, then for each block of
// four (1-4, 5-8, ..., 197-200) the place p of the first SecondKind and the offset r
// that places the second one at (p + r + 1) mod 4, so that every block holds two of each
// kind. When plannedCount mod 4 is 2 the last block in use is cut after two
// presentations; the second of them is flipped when both are of one kind, so that the
// run holds as many of one kind as of the other.
void BuildSchedule(TTestRun &run, int plannedCount, const ScheduleDraw &draw);

// The planned count of a run from the text of the settings field: empty or not a whole
// number gives DefaultPlannedCount, a negative number 0, and a number above the
// schedule's MaxPresentations is capped at MaxPresentations.
int PlannedCountOf(const QString &text);

} // namespace vel
