#pragma once
// A run without a window: a clock the test moves, and a view that writes down what the
// run did to it, with the clock's time.
#include <QString>
#include <QStringList>

#include <functional>

#include "run/reactionrun.h"

namespace runfakes {

class FakeClock : public vel::RunClock {
public:
    uint32_t Now() override { return now; }
    uint32_t now = 1'000'000;
};

// Draws that are always 0: every pause 500 ms, and in every block of four the red
// stimuli first (R R G G).
inline int ZeroDraw(int) { return 0; }

class FakeView : public vel::RunView {
public:
    explicit FakeView(vel::RunClock &clock) : m_clock(clock) {}

    void EnterRun() override { Log("enter"); }
    void ShowStimulus(uint8_t kind) override
    {
        shown = kind;
        Log(QStringLiteral("stimulus %1").arg(kind));
    }
    // The bar moves often: its moves are kept apart from the events, each with the time.
    void MoveBar(int left) override
    {
        barLeft = left;
        barMoves << qMakePair(m_clock.Now() - m_origin, left);
    }
    void AddLiveBar(int presentation, int height) override
    {
        bars << QStringLiteral("%1:%2").arg(presentation).arg(height);
    }
    void SetProgress(const QString &text) override { progress = text; }
    void SetWatchdog(bool on) override { watchdog = on; }
    void SetPolling(bool on) override
    {
        polling = on;
        Log(on ? "polling on" : "polling off");
    }
    void SetKeyHook(bool on) override
    {
        hook = on;
        Log(on ? "hook on" : "hook off");
    }
    void Beep() override { Log("beep"); }
    void StopDisplay() override { Log("stop display"); }
    void LeaveRun() override { Log("leave"); }
    void RunFinished(bool quiet) override
    {
        Log(quiet ? "finished quietly" : "finished");
        if (onFinished)
            onFinished();
    }

    // "<ms since the first entry> <event>"
    QStringList events;
    QStringList bars;
    QString progress;
    uint8_t shown = 0;
    int barLeft = -1;
    QList<QPair<uint32_t, int>> barMoves;
    bool watchdog = false, polling = false, hook = false;
    std::function<void()> onFinished;

    // Events without their times.
    QStringList Names() const
    {
        QStringList out;
        for (const QString &e : events)
            out << e.section(QLatin1Char(' '), 1);
        return out;
    }

private:
    void Log(const QString &event)
    {
        if (events.isEmpty())
            m_origin = m_clock.Now();
        events << QStringLiteral("%1 %2").arg(m_clock.Now() - m_origin).arg(event);
    }
    vel::RunClock &m_clock;
    uint32_t m_origin = 0;
};

} // namespace runfakes
