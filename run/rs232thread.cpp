#include "run/rs232thread.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace vel {

namespace {
// Longest wait for the thread to end at shutdown; it is only ever waiting on a condition.
constexpr int ShutdownWaitMs = 5000;
} // namespace

TRS232Thread::TRS232Thread(std::function<void()> tick, QObject *parent)
    : QThread(parent), m_tick(std::move(tick))
{
    setObjectName(QStringLiteral("TRS232Thread"));
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &TRS232Thread::Shutdown);
}

TRS232Thread::~TRS232Thread() { Shutdown(); }

void TRS232Thread::Resume()
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_stop)
            return;
        m_suspended = false;
        m_wake.wakeAll();
    }
    if (!isRunning())
        start(QThread::HighPriority);
}

void TRS232Thread::Suspend()
{
    QMutexLocker lock(&m_mutex);
    m_suspended = true;
    m_wake.wakeAll();
}

bool TRS232Thread::Suspended() const
{
    QMutexLocker lock(&m_mutex);
    return m_suspended;
}

void TRS232Thread::Shutdown()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stop = true;
        m_suspended = true;
        m_wake.wakeAll();
        m_tickDone.wakeAll();
    }
    if (isRunning())
        wait(QDeadlineTimer(ShutdownWaitMs));
}

void TRS232Thread::SetIdleMs(int ms)
{
    QMutexLocker lock(&m_mutex);
    m_idleMs = qMax(0, ms);
}

quint64 TRS232Thread::TicksRun() const
{
    QMutexLocker lock(&m_mutex);
    return m_ticks;
}

void TRS232Thread::RunTick()
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_stop) {
            m_tickPending = false;
            m_tickDone.wakeAll();
            return;
        }
    }
    if (m_tick)
        m_tick();
    QMutexLocker lock(&m_mutex);
    ++m_ticks;
    m_tickPending = false;
    m_tickDone.wakeAll();
}

void TRS232Thread::run()
{
    QMutexLocker lock(&m_mutex);
    while (!m_stop) {
        if (m_suspended) {
            m_wake.wait(&m_mutex);
            continue;
        }
        m_tickPending = true;
        lock.unlock();
        // Posted to this object, which lives on the main thread: should the object go
        // away first, the request goes with it.
        QMetaObject::invokeMethod(this, [this] { RunTick(); }, Qt::QueuedConnection);
        lock.relock();
        while (m_tickPending && !m_stop)
            m_tickDone.wait(&m_mutex);
        if (m_idleMs > 0 && !m_stop && !m_suspended)
            m_wake.wait(&m_mutex, QDeadlineTimer(m_idleMs, Qt::PreciseTimer));
    }
}

} // namespace vel
