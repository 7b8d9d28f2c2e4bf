#pragma once
// The people of the end-to-end tests: one at the screen who presses Ctrl when a stimulus
// appears, and one at the console simulator who presses its button when a light comes
// on. Each works on a thread of its own while the run goes on.
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/support/xdriver.h"

namespace presses {

using xdriver::XDriver;

// Presses of one presentation, made when its stimulus is seen: the hand that the
// stimulus asks for after `correctMs`, and the other hand after `otherMs` (0: not).
struct Plan {
    int correctMs = 0;
    int otherMs = 0;
};
// A press as observed: the stimulus appeared between `blank` and `seen`, the key went
// down between `sent` and `taken`. The delay the run measures lies between
// sent - seen and taken - blank.
struct Observed {
    double blank = 0, seen = 0, sent = 0, taken = 0;
    bool Made() const { return sent > 0; }
    double Low() const { return sent - seen; }
    double High() const { return taken - blank; }
};
struct Made {
    bool green = false;
    Observed correct, other;
};

// Watches the screen and presses, on a thread of its own, while the run goes on.
class KeyPresser {
public:
    KeyPresser(QPoint point, QList<Plan> plans) : m_plans(std::move(plans))
    {
        m_thread = std::thread([this, point] {
            XDriver x;
            for (const Plan &plan : m_plans) {
                double on = 0, blank = 0;
                const XDriver::Colour c = x.WaitForStimulus(point.x(), point.y(), 8000, &on, &blank);
                if (c == XDriver::Colour::Other)
                    break;
                Made m;
                m.green = c == XDriver::Colour::Green;
                struct Step { int at; bool correct; };
                std::vector<Step> steps{{plan.correctMs, true}};
                if (plan.otherMs > 0)
                    steps.push_back({plan.otherMs, false});
                std::sort(steps.begin(), steps.end(), [](Step a, Step b) { return a.at < b.at; });
                for (const Step &s : steps) {
                    while (xdriver::NowMs() < on + s.at)
                        std::this_thread::sleep_for(std::chrono::microseconds(200));
                    const bool right = s.correct ? !m.green : m.green;
                    Observed &o = s.correct ? m.correct : m.other;
                    o.blank = blank;
                    o.seen = on;
                    o.sent = x.PressCtrl(right, 20, &o.taken);
                }
                x.WaitForBlank(point.x(), point.y(), 2000);
                std::lock_guard lock(m_mutex);
                m_made.push_back(m);
            }
        });
    }
    ~KeyPresser()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    std::vector<Made> Wait()
    {
        m_thread.join();
        return m_made;
    }

private:
    QList<Plan> m_plans;
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<Made> m_made;
};

// velmora-consolesim with a person at its buttons: when a light comes on, the button of
// its colour is pressed after `answerMs` (typed on the simulator's terminal).
class ConsolePerson {
public:
    ConsolePerson(const QStringList &args, int answerMs)
    {
        std::promise<QString> path;
        m_path = path.get_future();
        m_thread = std::thread([this, args, answerMs, path = std::move(path)]() mutable {
            QProcess sim;
            sim.start(QStringLiteral(VELMORA_CONSOLESIM), args);
            sim.waitForStarted(5000);
            QString port;
            for (int i = 0; i < 100 && port.isEmpty(); ++i)
                if (sim.waitForReadyRead(50) || sim.canReadLine())
                    port = QString::fromLocal8Bit(sim.readLine()).trimmed();
            path.set_value(port);
            while (!m_stop) {
                if (!sim.canReadLine() && !sim.waitForReadyRead(20))
                    continue;
                while (sim.canReadLine()) {
                    const QString line = QString::fromLocal8Bit(sim.readLine()).trimmed();
                    {
                        std::lock_guard lock(m_mutex);
                        m_events << line;
                    }
                    if (line == "lights green" || line == "lights red") {
                        QThread::msleep(ulong(answerMs));
                        sim.write(line == "lights green" ? "g" : "r");
                        sim.waitForBytesWritten(1000);
                    }
                }
            }
            sim.kill();
            sim.waitForFinished(5000);
        });
    }
    ~ConsolePerson()
    {
        m_stop = true;
        m_thread.join();
    }
    QString Port() { return m_path.valid() ? m_path.get() : QString(); }
    // "press green 312" and the like, in order.
    QStringList Presses()
    {
        std::lock_guard lock(m_mutex);
        return m_events.filter(QRegularExpression("^press (green|red) \\d+$"));
    }
    QStringList Events()
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    int Count(const QString &event)
    {
        std::lock_guard lock(m_mutex);
        return int(m_events.count(event));
    }

private:
    std::future<QString> m_path;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    QStringList m_events;
};

} // namespace presses
