#pragma once
// The polling thread of a test window. Its only work is to have the window's tick run
// on the main thread, wait until it has finished, and ask again, for as long as it is
// resumed. Created suspended with the window; each run resumes it at its start and
// suspends it at its stop; it ends with the window (or when the application quits).
//
// Suspend() may be called from inside a tick: the thread finishes waiting for that tick
// and then sleeps until Resume(). A tick already handed to the main thread when Suspend()
// is called still runs, so the tick routine must do nothing when no run is going on.
#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <functional>

namespace vel {

class TRS232Thread : public QThread {
    Q_OBJECT
public:
    // `tick` runs on the thread this object belongs to (the main thread).
    explicit TRS232Thread(std::function<void()> tick, QObject *parent = nullptr);
    ~TRS232Thread() override;

    void Resume();
    void Suspend();
    bool Suspended() const;
    // Ends the thread and waits for it (bounded); it cannot be resumed afterwards.
    void Shutdown();

    // Milliseconds the thread waits after a tick before it asks for the next one. 0 asks
    // again at once: the main thread then does nothing but ticks between its events.
    void SetIdleMs(int ms);
    static constexpr int DefaultIdleMs = 1;

    // Ticks run since the thread was created.
    quint64 TicksRun() const;

protected:
    void run() override;

private:
    void RunTick();

    std::function<void()> m_tick;
    mutable QMutex m_mutex;
    QWaitCondition m_wake;       // resume, shutdown, end of the idle wait
    QWaitCondition m_tickDone;   // the tick handed to the main thread has finished
    bool m_suspended = true;
    bool m_stop = false;
    bool m_tickPending = false;
    int m_idleMs = DefaultIdleMs;
    quint64 m_ticks = 0;
};

} // namespace vel
