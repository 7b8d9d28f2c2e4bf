// The key hook of a run and the polling thread, in a real application (offscreen).
#include <QAtomicInt>
#include <QLineEdit>
#include <QShortcut>
#include <QtTest>

#include "run/keyhook.h"
#include "run/rs232thread.h"
#include "common/clock.h"

using namespace vel;

Q_DECLARE_METATYPE(std::optional<vel::Hand>)

namespace {

// A Ctrl press as the platform delivers it: key symbol, key code and time stamp.
bool SendCtrlPress(QObject *to, quint32 keysym, quint32 keycode, quint64 timestamp)
{
    QKeyEvent e(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, keycode, keysym, 0);
    e.setTimestamp(timestamp);
    return QCoreApplication::sendEvent(to, &e);
}

} // namespace

class TestRunHooks : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void handOfACtrlPress_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<quint32>("keysym");
        QTest::addColumn<quint32>("keycode");
        QTest::addColumn<std::optional<Hand>>("hand");
        QTest::newRow("Control_L") << int(Qt::Key_Control) << 0xffe3u << 37u << std::optional(Hand::Left);
        QTest::newRow("Control_R") << int(Qt::Key_Control) << 0xffe4u << 105u << std::optional(Hand::Right);
        QTest::newRow("Control_R on another key code") << int(Qt::Key_Control) << 0xffe4u << 0u << std::optional(Hand::Right);
        QTest::newRow("no symbol, right key code") << int(Qt::Key_Control) << 0u << 105u << std::optional(Hand::Right);
        QTest::newRow("nothing native: the left") << int(Qt::Key_Control) << 0u << 0u << std::optional(Hand::Left);
        QTest::newRow("not Ctrl") << int(Qt::Key_A) << 0x61u << 38u << std::optional<Hand>();
    }
    void handOfACtrlPress()
    {
        QFETCH(int, key);
        QFETCH(quint32, keysym);
        QFETCH(quint32, keycode);
        QFETCH(std::optional<Hand>, hand);
        const QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier, keycode, keysym, 0);
        QCOMPARE(CtrlHand(e), hand);
    }

    void momentOfAPress_data()
    {
        QTest::addColumn<quint64>("timestamp");
        QTest::addColumn<quint32>("now");
        QTest::addColumn<quint32>("tick");
        QTest::newRow("stamped 300 ms ago") << quint64(99'700) << 100'000u << 99'700u;
        QTest::newRow("stamped just now") << quint64(100'000) << 100'000u << 100'000u;
        QTest::newRow("no stamp") << quint64(0) << 100'000u << 100'000u;
        QTest::newRow("stamp ahead: another clock") << quint64(100'004) << 100'000u << 100'000u;
        QTest::newRow("stamp far behind: another clock") << quint64(50'000) << 100'000u << 100'000u;
        QTest::newRow("across the wrap of the tick count") << quint64(0xFFFF'FFF0u) << 20u << 0xFFFF'FFF0u;
        QTest::newRow("64-bit stamp on a wrapped tick count") << quint64(0x1'0000'0010ull) << 0x20u << 0x10u;
    }
    void momentOfAPress()
    {
        QFETCH(quint64, timestamp);
        QFETCH(quint32, now);
        QFETCH(quint32, tick);
        QCOMPARE(PressTick(timestamp, now), tick);
    }

    void hookTakesCtrlAndSwallowsEveryKeyButSpace()
    {
        QList<QPair<Hand, uint32_t>> answers;
        KeyHook hook([&](Hand hand, uint32_t tick) { answers << qMakePair(hand, tick); });
        QLineEdit edit;
        int shortcuts = 0;
        QShortcut shortcut(QKeySequence(Qt::Key_F5), &edit);
        connect(&shortcut, &QShortcut::activated, [&] { ++shortcuts; });
        edit.show();
        edit.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&edit));

        hook.Install();
        QTest::keyClicks(&edit, "ab");
        QTest::keyClick(&edit, Qt::Key_Space);
        QTest::keyClick(&edit, Qt::Key_F5);
        QTest::keyClick(&edit, Qt::Key_Escape);
        QCOMPARE(edit.text(), QStringLiteral(" "));
        QCOMPARE(shortcuts, 0);

        const uint32_t stamp = TickCount() - 120;
        QVERIFY(SendCtrlPress(&edit, 0xffe3, 37, stamp));
        QVERIFY(SendCtrlPress(&edit, 0xffe4, 105, stamp + 7));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier, 105, 0xffe4, 0);
        QCoreApplication::sendEvent(&edit, &release);
        QCOMPARE(answers, (QList<QPair<Hand, uint32_t>>{{Hand::Left, stamp}, {Hand::Right, stamp + 7}}));

        hook.Remove();
        QTest::keyClicks(&edit, "c");
        QTest::keyClick(&edit, Qt::Key_F5);
        QCOMPARE(edit.text(), QStringLiteral(" c"));
        QCOMPARE(shortcuts, 1);
        QCOMPARE(answers.size(), 2);
    }

    // Polling thread ------------------------------------------------------------------------

    void ticksRunOnTheMainThreadOneAtATime()
    {
        QAtomicInt inside, overlaps, elsewhere;
        int ticks = 0;
        TRS232Thread thread([&] {
            if (inside.fetchAndAddOrdered(1) != 0)
                overlaps.ref();
            if (QThread::currentThread() != qApp->thread())
                elsewhere.ref();
            ++ticks;
            QThread::msleep(2);
            inside.fetchAndAddOrdered(-1);
        });
        thread.SetIdleMs(0);
        QVERIFY(thread.Suspended());
        QTest::qWait(50);
        QCOMPARE(ticks, 0);   // created suspended
        thread.Resume();
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 20, 5000);
        QCOMPARE(overlaps.loadRelaxed(), 0);
        QCOMPARE(elsewhere.loadRelaxed(), 0);
        QCOMPARE(thread.TicksRun(), quint64(ticks));
    }

    void suspendedFromInsideATickAndResumed()
    {
        int ticks = 0;
        TRS232Thread *self = nullptr;
        TRS232Thread thread([&] {
            if (++ticks == 5)
                self->Suspend();
        });
        self = &thread;
        thread.Resume();
        QTRY_COMPARE_WITH_TIMEOUT(ticks, 5, 5000);
        QTest::qWait(100);
        QCOMPARE(ticks, 5);
        QVERIFY(thread.Suspended());
        thread.Resume();
        QTRY_VERIFY_WITH_TIMEOUT(ticks > 5, 5000);
    }

    void endsPromptlyWhileResumedOrWaitingForATick()
    {
        for (bool blockMainThread : {false, true}) {
            QElapsedTimer t;
            t.start();
            {
                TRS232Thread thread([] {});
                thread.Resume();
                QTest::qWait(20);
                // The main thread stops serving ticks: the thread is left waiting for one.
                if (blockMainThread)
                    QThread::msleep(20);
            }
            QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
        }
    }

    // Ticks go on, each at least the idle time after the end of the one before (how many
    // come in a given time depends on the load of the machine, not on the thread).
    void idleWaitBetweenTicks()
    {
        QElapsedTimer clock;
        clock.start();
        QList<qint64> endedAt, startedAt;
        TRS232Thread thread([&] {
            startedAt << clock.nsecsElapsed();
            endedAt << clock.nsecsElapsed();
        });
        thread.SetIdleMs(10);
        thread.Resume();
        QTRY_VERIFY_WITH_TIMEOUT(startedAt.size() >= 6, 10000);
        thread.Suspend();
        for (int i = 1; i < startedAt.size(); ++i)
            QVERIFY2(startedAt[i] - endedAt[i - 1] >= 10'000'000,
                     qPrintable(QStringLiteral("tick %1: %2 ns after the one before")
                                    .arg(i).arg(startedAt[i] - endedAt[i - 1])));
    }
};

QTEST_MAIN(TestRunHooks)
#include "test_runhooks.moc"
