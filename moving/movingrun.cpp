#include "moving/movingrun.h"

#include <cmath>

namespace vel::moving {

RunProfile MovingProfile()
{
    // The onset's light stays on until the presentation closes, and the console's times
    // are taken as they come.
    return {.BaseTimeMs = BaseTimeMs,
            .AnswerTimeMs = AnswerTimeMs,
            .PresentationLengthMs = PresentationLengthMs,
            .OnsetLightMs = OnsetLightMs,
            .StartMarkBackMs = StartMarkBackMs,
            .AnswerRequestPauseMs = AnswerRequestPauseMs,
            .EarlyPressKeepsAnswer = true,
            .WatchdogIntervalMs = WatchdogIntervalMs,
            .WatchdogSilenceMs = WatchdogSilenceMs,
            .LiveChartMin = -int(BaseTimeMs),
            .LiveChartMax = PresentationLengthMs - BaseTimeMs};
}

int RoundHalfEven(double value) { return int(std::nearbyint(value)); }

int TrackLeft(uint8_t kind) { return kind == LineRightKind ? 363 : 11; }

int BarLeft(uint8_t kind, int t)
{
    return kind == LineRightKind ? RoundHalfEven(t / 3.0) + 20 : 600 - RoundHalfEven(t / 3.0);
}

int FrozenBarLeft(uint8_t kind, int r)
{
    return kind == LineRightKind ? RoundHalfEven(r / 3.0) + 20 : RoundHalfEven((1350 - r) / 3.0) + 150;
}

uint16_t ReactionValue(uint16_t left, uint16_t right) { return left != 0 ? left : right; }

int LiveBarHeight(uint16_t left, uint16_t right)
{
    const uint16_t r = ReactionValue(left, right);
    return r != 0 ? int(r) - BaseTimeMs : 0;
}

void MovingRun::Draw(uint16_t elapsed)
{
    if (m_barMark != StartTick() || m_barKind != CurrentKind()) {
        // A new presentation: the view has put the bar at its start.
        m_barMark = StartTick();
        m_barKind = CurrentKind();
        m_barLeft = BarLeft(m_barKind, 0);
    }
    const int left = BarLeft(m_barKind, elapsed);
    if (left != m_barLeft) {
        m_barLeft = left;
        View().MoveBar(left);
    }
}

void MovingRun::Closed(int k)
{
    m_barLeft = FrozenBarLeft(Record().Kinds[k], ReactionValue(Record().LeftTimes[k], Record().RightTimes[k]));
    m_barMark = 0;
    View().MoveBar(m_barLeft);
}

int MovingRun::LiveBar(int k) const { return LiveBarHeight(Record().LeftTimes[k], Record().RightTimes[k]); }

} // namespace vel::moving
