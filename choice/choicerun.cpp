#include "choice/choicerun.h"

#include <algorithm>

namespace vel::choice {

RunProfile ChoiceProfile()
{
    // The start mark is taken as it is, and a press before it clears the answer.
    return {.BaseTimeMs = BaseTimeMs,
            .AnswerTimeMs = AnswerTimeMs,
            .PresentationLengthMs = PresentationLengthMs,
            .OnsetLightMs = LightPulseMs,
            .LightsOffAfterOnset = true,
            .AnswerRequestPauseMs = AnswerRequestPauseMs,
            .ConsoleTimeLimitMs = BaseTimeMs,
            .WatchdogIntervalMs = WatchdogIntervalMs,
            .WatchdogSilenceMs = WatchdogSilenceMs,
            .LiveChartMax = AnswerTimeMs};
}

uint16_t StoredAnswer(uint16_t answer, uint16_t baseTime)
{
    const uint32_t stored = uint32_t(answer) + baseTime + (answer != 0 ? RegisteredBonusMs : 0);
    return uint16_t(std::min<uint32_t>(stored, 65535));
}

int LiveBarHeight(const TTestRun &run, int k, uint16_t baseTime, uint16_t answerTime)
{
    if (k < 1 || k > MaxPresentations)
        return 0;
    uint16_t stored = 0;
    if (run.Kinds[k] == RedKind)
        stored = run.RightTimes[k];
    else if (run.Kinds[k] == GreenKind)
        stored = run.LeftTimes[k];
    else
        return 0;
    const uint16_t scored = uint16_t(stored - baseTime);
    return scored < answerTime ? scored : 0;
}

void ChoiceRun::Draw(uint16_t elapsed)
{
    if (m_hiddenAt != StartTick() && elapsed > StimulusShownMs) {
        View().ShowStimulus(0);
        m_hiddenAt = StartTick();
    }
}

void ChoiceRun::Ended()
{
    if (m_hiddenAt != StartTick())
        View().ShowStimulus(0);
    m_hiddenAt = StartTick();
}

} // namespace vel::choice
