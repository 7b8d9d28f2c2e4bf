#pragma once
// The schedule of a choice reaction run and the constants that pace it. No widgets, no
// clock: the run (choicerun.h) draws the schedule at its start and follows it.
#include <QString>

#include <cstdint>
#include <functional>

#include "store/common/testrun.h"

namespace vel::choice {

// Planned count when the settings field is empty or holds no number.
inline constexpr int DefaultPlannedCount = 30;

// Stimulus kinds of the schedule: green triangle (left hand), red triangle (right hand).
inline constexpr uint8_t GreenKind = 1;
inline constexpr uint8_t RedKind = 2;

// Pause after a presentation: PauseBaseMs plus a whole number drawn from 0..PauseSpreadMs-1.
inline constexpr int PauseBaseMs = 500;
inline constexpr int PauseSpreadMs = 2000;
// Pause between the start and the first presentation; the beep sounds at its end.
inline constexpr uint32_t FirstPauseMs = 1000;
// The stimulus stays on screen this long after the start mark.
inline constexpr uint32_t StimulusShownMs = 150;
// The console's light at onset: on for LightPulseMs, then off and LightsOffPauseMs.
inline constexpr uint32_t LightPulseMs = 150;
inline constexpr uint32_t LightsOffPauseMs = 5;
// Wait after the answer requests, for the console's two replies.
inline constexpr uint32_t AnswerRequestPauseMs = 200;
// BaseTime and AnswerTime of every run; a presentation lasts their sum from its start mark.
inline constexpr uint16_t BaseTimeMs = 1000;
inline constexpr uint16_t AnswerTimeMs = 1000;
inline constexpr uint16_t PresentationLengthMs = BaseTimeMs + AnswerTimeMs;
// Added to a stored answer time that is not 0.
inline constexpr uint16_t RegisteredBonusMs = 150;
// The console watchdog: tested every WatchdogIntervalMs, stops the run after more than
// WatchdogSilenceMs without a new start mark.
inline constexpr int WatchdogIntervalMs = 1000;
inline constexpr uint32_t WatchdogSilenceMs = 5000;

// A uniform whole number in 0..bound-1.
using ScheduleDraw = std::function<int(int bound)>;

// Draws of a generator seeded from the clock.
ScheduleDraw ClockSeededDraw();

// Fills Kinds[1..200] and Delays[1..200] of the record for a run of `plannedCount`
// presentations. The draws come in this order: the 200 pauses, then for each block of
// four (1-4, 5-8, ..., 197-200) the place p of the first red stimulus and the offset r
// that places the second one at (p + r + 1) mod 4, so that every block holds two red and
// two green. When plannedCount mod 4 is 2 the last block in use is cut after two
// presentations; the second of them is flipped when both are of one kind, so that the
// run holds as many red as green stimuli.
void BuildSchedule(TTestRun &run, int plannedCount, const ScheduleDraw &draw);

// The planned count of a run from the text of the settings field: empty or not a whole
// number gives DefaultPlannedCount, a negative number 0, and a number above the
// schedule's MaxPresentations is capped at MaxPresentations.
int PlannedCountOf(const QString &text);

// The stored form of an answer time: the time plus BaseTime, plus RegisteredBonusMs when
// the time is not 0; at most 65535.
uint16_t StoredAnswer(uint16_t answer, uint16_t baseTime = BaseTimeMs);

// Height of presentation k's bar on the live chart: the scored time of the hand that the
// stimulus asks for (left for green, right for red) when below AnswerTime, else 0.
int LiveBarHeight(const TTestRun &run, int k, uint16_t baseTime = BaseTimeMs,
                  uint16_t answerTime = AnswerTimeMs);

} // namespace vel::choice
