#pragma once
// The run of the choice reaction test: the shared run (run/reactionrun.h) with the
// choice test's figures. A green triangle (FirstKind) asks for the left hand, a red one
// (SecondKind) for the right; the triangle stays on the screen StimulusShownMs after the
// start mark, and an answer is stored as its time plus BaseTime, plus RegisteredBonusMs
// when it is not 0.
#include "run/reactionrun.h"

namespace vel::choice {

// Stimulus kinds of the schedule: green triangle (left hand), red triangle (right hand).
inline constexpr uint8_t GreenKind = FirstKind;
inline constexpr uint8_t RedKind = SecondKind;

// The stimulus stays on screen this long after the start mark.
inline constexpr uint32_t StimulusShownMs = 150;
// The console's light at onset: on for LightPulseMs, then off (and the console's
// LightsOffPauseMs).
inline constexpr uint32_t LightPulseMs = 150;
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

RunProfile ChoiceProfile();

// The stored form of an answer time: the time plus BaseTime, plus RegisteredBonusMs when
// the time is not 0; at most 65535.
uint16_t StoredAnswer(uint16_t answer, uint16_t baseTime = BaseTimeMs);

// Height of presentation k's bar on the live chart: the scored time of the hand that the
// stimulus asks for (left for green, right for red) when below AnswerTime, else 0.
int LiveBarHeight(const TTestRun &run, int k, uint16_t baseTime = BaseTimeMs,
                  uint16_t answerTime = AnswerTimeMs);

class ChoiceRun : public ReactionRun {
public:
    ChoiceRun(TTestRun &record, RunView &view, RunClock &clock, ConsoleLink *link)
        : ReactionRun(ChoiceProfile(), record, view, clock, link)
    {
    }

protected:
    void Draw(uint16_t elapsed) override;
    void Ended() override;
    uint16_t StoredTime(uint16_t answer) const override { return StoredAnswer(answer); }
    int LiveBar(int k) const override { return LiveBarHeight(Record(), k); }

private:
    // The start mark of the presentation whose stimulus is off the screen already.
    uint32_t m_hiddenAt = 0;
};

} // namespace vel::choice
