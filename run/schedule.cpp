#include "run/schedule.h"

#include <QRandomGenerator>

#include <algorithm>
#include <memory>

#include "common/clock.h"

namespace vel {

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
        run.Kinds[i] = FirstKind;
    for (int i = 1; i <= MaxPresentations; ++i)
        run.Delays[i] = PauseBaseMs + draw(PauseSpreadMs);
    for (int b = 1; b <= MaxPresentations - 3; b += 4) {
        const int p = draw(4);
        const int r = draw(3);
        const int q = (r + p + 1) % 4;
        run.Kinds[b + p] = SecondKind;
        run.Kinds[b + q] = SecondKind;
    }
    const int n = plannedCount;
    if (n >= 2 && n <= MaxPresentations && n % 4 == 2 && run.Kinds[n] == run.Kinds[n - 1])
        run.Kinds[n] = run.Kinds[n] == FirstKind ? SecondKind : FirstKind;
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

} // namespace vel
