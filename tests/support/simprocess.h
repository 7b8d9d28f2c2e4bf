#pragma once
// velmora-consolesim run for a test: its port, and the events it prints.
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTest>

class SimProcess {
public:
    explicit SimProcess(const QStringList &args)
    {
        m_process.setProgram(QStringLiteral(VELMORA_CONSOLESIM));
        m_process.setArguments(args);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return;
        QElapsedTimer t;
        t.start();
        while (!m_process.canReadLine() && t.elapsed() < 5000)
            m_process.waitForReadyRead(100);
        path = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    ~SimProcess() { Kill(); }

    // Ends the simulator as a console is unplugged: its port goes away.
    void Kill()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    // A key typed on the simulator's terminal.
    void Type(const QByteArray &keys)
    {
        m_process.write(keys);
        m_process.waitForBytesWritten(1000);
    }

    // Every event printed so far, after waiting up to `ms` for `until` to appear.
    QStringList Events(const QString &until = QString(), int ms = 0)
    {
        QElapsedTimer t;
        t.start();
        for (;;) {
            while (m_process.canReadLine())
                m_events << QString::fromLocal8Bit(m_process.readLine()).trimmed();
            if (until.isEmpty() ? t.elapsed() >= ms : (m_events.contains(until) || t.elapsed() >= ms))
                break;
            m_process.waitForReadyRead(10);
        }
        return m_events;
    }

    // True when the event is printed within `ms`.
    bool Saw(const QString &event, int ms = 1000) { return Events(event, ms).contains(event); }

    int Count(const QString &event, int settleMs = 50) { return Events({}, settleMs).count(event); }

    QString path;

private:
    QProcess m_process;
    QStringList m_events;
};
