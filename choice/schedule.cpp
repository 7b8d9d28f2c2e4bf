#include "choice/schedule.h"

#include <QRandomGenerator>

#include <algorithm>
#include <memory>

#include "store/common/clock.h"

namespace vel::choice {

ScheduleDraw ClockSeededDraw()
{
    auto generator = std::make_shared<QRandomGenerator>(quint32(TickCount64() ^ (TickCount64() >> 32)));
    return [generator](int bound) { return int(generator->bounded(quint32(bound))); };
}

void BuildSchedule(TTestRun &run, int plannedCount, const ScheduleDraw &draw)
{
    run.Kinds.fill(0);
    run.Delays.fill(0);
    for (int i = 1; i <= MaxPresentations; ++i)
        run.Kinds[i] = GreenKind;
    for (int i = 1; i <= MaxPresentations; ++i)
        run.Delays[i] = PauseBaseMs + draw(PauseSpreadMs);
    for (int b = 1; b <= MaxPresentations - 3; b += 4) {
        const int p = draw(4);
        const int r = draw(3);
        const int q = (r + p + 1) % 4;
        run.Kinds[b + p] = RedKind;
        run.Kinds[b + q] = RedKind;
    }
    const int n = plannedCount;
    if (n >= 2 && n <= MaxPresentations && n % 4 == 2 && run.Kinds[n] == run.Kinds[n - 1])
        run.Kinds[n] = run.Kinds[n] == GreenKind ? RedKind : GreenKind;
}

int PlannedCountOf(const QString &text)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    const qlonglong value = trimmed.toLongLong(&ok);
    if (trimmed.isEmpty() || !ok)
        return DefaultPlannedCount;
    return int(std::clamp<qlonglong>(value, 0, MaxPresentations));
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

} // namespace vel::choice
