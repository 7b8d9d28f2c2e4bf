#pragma once
// The run of either test ("choice", "moving") on a fake clock ticked every millisecond,
// with key presses scripted per presentation.
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include "choice/choicerun.h"
#include "moving/movingrun.h"
#include "tests/support/runfakes.h"

namespace runfakes {

// A key press of a presentation: its hand, its moment relative to the start mark, and
// how much later the run gets to it.
struct Press {
    vel::Hand hand = vel::Hand::Left;
    int at = 0;
    int late = 0;
};

// "L300 R-20 L300+150": hand, moment, and optionally the delay of its handling.
inline QList<Press> PressesOf(const QString &script)
{
    QList<Press> out;
    const QStringList items = script.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &item : items) {
        Press p;
        p.hand = item.startsWith(QLatin1Char('R')) ? vel::Hand::Right : vel::Hand::Left;
        const QStringList parts = item.mid(1).split(QLatin1Char('+'));
        p.at = parts.at(0).toInt();
        p.late = parts.size() > 1 ? parts.at(1).toInt() : 0;
        out << p;
    }
    return out;
}

inline std::unique_ptr<vel::ReactionRun> MakeRun(const QString &test, vel::TTestRun &record,
                                                 vel::RunView &view, vel::RunClock &clock,
                                                 vel::ConsoleLink *link = nullptr)
{
    if (test == QLatin1String("moving"))
        return std::make_unique<vel::moving::MovingRun>(record, view, clock, link);
    return std::make_unique<vel::choice::ChoiceRun>(record, view, clock, link);
}

struct RunHarness {
    explicit RunHarness(const QString &test) : run(MakeRun(test, record, view, clock))
    {
        run->SetScheduleDraw(ZeroDraw);
    }

    // Ticks until the run stops or `ms` have passed; hands the presses of presentation i
    // (presses[i - 1]) to the run at their moments. `at`, when set, is called at each
    // millisecond with the time since the call.
    void TickFor(int ms, const QList<QList<Press>> &presses = {}, const std::function<void(int)> &at = {})
    {
        for (int t = 0; t < ms && run->Running(); ++t) {
            if (at)
                at(t);
            if (!run->Running())
                break;
            run->Tick();
            if (run->CurrentPhase() == vel::ReactionRun::Phase::Presenting) {
                const int i = run->DoneCount() + 1;
                const int since = int(clock.now - run->StartTick());
                for (const Press &p : presses.value(i - 1))
                    if (since == qMax(0, p.at + p.late))
                        run->KeyAnswer(p.hand, run->StartTick() + uint32_t(p.at));
            }
            clock.now += 1;
        }
    }

    vel::TTestRun record;
    FakeClock clock;
    FakeView view{clock};
    std::unique_ptr<vel::ReactionRun> run;
};

inline int CountKind(const vel::TTestRun &run, int from, int to, uint8_t kind)
{
    int n = 0;
    for (int i = from; i <= to; ++i)
        n += run.Kinds[i] == kind;
    return n;
}

} // namespace runfakes
