#pragma once
// The run of the moving-object reaction test: the shared run (run/reactionrun.h) with the
// moving-object test's figures and its motion. In each presentation a bar moves across
// the white stage at one pixel per 3 ms toward a green line that its leading edge reaches
// BaseTimeMs after the start mark; the person presses the left Ctrl (or the console's
// button) at that moment. A press is stored as its time from the start mark, as it is.
//
// Positions are Left coordinates in pixels on the stage (654 px wide), t the time since
// the start mark in ms, Round to the nearest whole number with halves to even:
//   kind 1 (line on the left):  track at 11,  bar 600 - Round(t / 3), 600 -> 0 (right to left)
//   kind 2 (line on the right): track at 363, bar Round(t / 3) + 20,  20 -> 620 (left to right)
// After the presentation, during its pause, the bar stays where the answer stopped it:
// Round((1350 - r) / 3) + 150 for kind 1, Round(r / 3) + 20 for kind 2, r the reaction value.
#include "run/reactionrun.h"

namespace vel::moving {

// Kinds of the schedule: the line on the left (the bar moves from right to left), the line
// on the right (from left to right).
inline constexpr uint8_t LineLeftKind = FirstKind;
inline constexpr uint8_t LineRightKind = SecondKind;

// BaseTime: the bar's leading edge reaches the line this long after the start mark.
inline constexpr uint16_t BaseTimeMs = 1350;
// AnswerTime: the length of a presentation.
inline constexpr uint16_t AnswerTimeMs = 1800;
inline constexpr uint16_t PresentationLengthMs = AnswerTimeMs;
// The console's light at the onset, and the start mark set back by as much.
inline constexpr uint32_t OnsetLightMs = 5;
inline constexpr uint32_t StartMarkBackMs = 5;
// Wait after the second answer request, for the console's two replies. At 9600 baud the
// request "ATA" and the replies "ATa -" and "ATA 1340" alone take some 20 ms on the wire:
// a shorter wait reads the first reply only, counts the presentation without the second
// hand's time and leaves that time to be taken for the next presentation's.
inline constexpr uint32_t AnswerRequestPauseMs = 50;
// The console watchdog: tested every millisecond, stops the run after more than twice a
// presentation's length without a new start mark.
inline constexpr int WatchdogIntervalMs = 1;
inline constexpr uint32_t WatchdogSilenceMs = 2 * PresentationLengthMs;

RunProfile MovingProfile();

// Rounds to the nearest whole number, halves to the even neighbour.
int RoundHalfEven(double value);

// Left of the track picture (the green line at its centre) for a kind.
int TrackLeft(uint8_t kind);
// Left of the bar `t` ms after the start mark of a presentation of `kind`.
int BarLeft(uint8_t kind, int t);
// Left of the bar in the pause after a presentation of `kind` with reaction value `r`.
int FrozenBarLeft(uint8_t kind, int r);

// The reaction value of a presentation: the left answer when it is not 0, else the right.
uint16_t ReactionValue(uint16_t left, uint16_t right);
// Height of a presentation's bar on the live chart: the reaction value's deviation from
// BaseTime; 0 when both answers are 0.
int LiveBarHeight(uint16_t left, uint16_t right);

class MovingRun : public ReactionRun {
public:
    MovingRun(TTestRun &record, RunView &view, RunClock &clock, ConsoleLink *link)
        : ReactionRun(MovingProfile(), record, view, clock, link)
    {
    }

    // Where the run has put the bar last (after MoveBar or at the onset).
    int BarPosition() const { return m_barLeft; }

protected:
    void Draw(uint16_t elapsed) override;
    void Closed(int k) override;
    int LiveBar(int k) const override;

private:
    uint8_t m_barKind = 0;
    uint32_t m_barMark = 0;   // the start mark the bar's position belongs to
    int m_barLeft = 0;
};

} // namespace vel::moving
