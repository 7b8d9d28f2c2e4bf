// The real program under an X server: first start in an empty home folder, the second
// instance, a start after a crash, debug mode, and the starts that must stop before any
// window exists. Windows are found by their captions with xdotool and closed through
// the window system.
#include <QtTest>

#include <sys/stat.h>

#include "tests/support/runprogram.h"

using namespace e2e;

class TestStartupE2E : public QObject {
    Q_OBJECT
    std::unique_ptr<XServerHold> m_hold;
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(Program).isExecutable(), qPrintable(Program));
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "needs an X server (run under xvfb-run)");
        m_hold = std::make_unique<XServerHold>();
        QVERIFY(m_hold->ok());
    }

    void firstStartAndSecondInstance()
    {
        Workplace w;
        auto first = w.start();
        const QStringList main = WaitForWindow(MainCaption, first->processId(), 30000);
        QVERIFY2(!main.isEmpty(), "the main window did not appear");
        QVERIFY(QFileInfo(w.home() + "/Data").isDir());
        QVERIFY(QFileInfo(w.home() + "/Fernoliya").isDir());
        QVERIFY(QFileInfo(w.home() + "/Defaults/IMPORT.PTN").isFile());

        auto second = w.start();
        const QStringList refusal = WaitForWindow("^Велмора$", second->processId(), 30000);
        QVERIFY2(!refusal.isEmpty(), "the second instance showed no message; " + DescribeWindows(second->processId()));
        QVERIFY(WaitForWindow(MainCaption, second->processId(), 200).isEmpty());
        QVERIFY(Dismiss(refusal, "^Велмора$", *second));
        QVERIFY(Ended(*second));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);

        // The first instance is untouched and closes normally.
        QCOMPARE(first->state(), QProcess::Running);
        QVERIFY(!WaitForWindow(MainCaption, first->processId(), 1000).isEmpty());
        QVERIFY(QFileInfo(w.home() + "/Data/patients.dbf").isFile());
        Stop(*first);
        QCOMPARE(first->exitStatus(), QProcess::NormalExit);
        QCOMPARE(first->exitCode(), 0);
        // Closing ran its steps: the tables were closed and the data folder backed up.
        QCOMPARE(QDir(w.home() + "/Backup").entryList({"*.zip"}, QDir::Files).size(), 1);
    }

    void crashedInstanceDoesNotBlock()
    {
        Workplace w;
        auto first = w.start();
        QVERIFY(!WaitForWindow(MainCaption, first->processId(), 30000).isEmpty());
        first->kill();
        QVERIFY(Ended(*first));
        auto next = w.start();
        QVERIFY2(!WaitForWindow(MainCaption, next->processId(), 30000).isEmpty(), "a stale lock blocked the start");
        Stop(*next);
    }

    void debugSwitchWarnsAndAppendsLog()
    {
        Workplace w;
        QDir().mkpath(w.home());
        QFile log(w.home() + "/velmora.log");
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.write("earlier start\r\n");
        log.close();

        auto p = w.start({" /DEBUG "});
        const QStringList warning = WaitForWindow("^Велмора - ОТЛАДКА$", p->processId(), 30000);
        QVERIFY2(!warning.isEmpty(), "no debug warning; " + DescribeWindows(p->processId()));
        QVERIFY(Dismiss(warning, "^Велмора - ОТЛАДКА$", *p));
        QVERIFY(!WaitForWindow(MainCaption, p->processId(), 30000).isEmpty());
        const QByteArray text = ReadAll(w.home() + "/velmora.log");
        QVERIFY(text.startsWith("earlier start\r\n\r\n\r\n============== DEVICES INPUT LOG AT "));
        QVERIFY(text.endsWith(" ==============\r\n\r\n"));
        QCOMPARE(text.count("DEVICES INPUT LOG"), 1);
        Stop(*p);
    }

    void refusedStartWritesNothing_data()
    {
        QTest::addColumn<QByteArray>("registry");
        QTest::addColumn<bool>("unreadableSettings");
        QTest::newRow("registry value of the wrong type") << QByteArray("LegacyIniFile=yes\n") << false;
        QTest::newRow("data folder cannot be created") << QByteArray("Data=missing/parent/Data\n") << false;
        QTest::newRow("settings file cannot be read") << QByteArray() << true;
    }
    void refusedStartWritesNothing()
    {
        QFETCH(QByteArray, registry);
        QFETCH(bool, unreadableSettings);
        Workplace w;
        w.setRegistry(registry);
        if (unreadableSettings) {
            QDir().mkpath(w.home() + "/Data");
            QCOMPARE(::mkfifo(QFile::encodeName(w.home() + "/Data/velmora.ini").constData(), 0600), 0);
        }
        auto p = w.start();
        const QStringList box = WaitForWindow("^Велмора$", p->processId(), 30000);
        QVERIFY2(!box.isEmpty(), "no message; " + DescribeWindows(p->processId()));
        QVERIFY(WaitForWindow(MainCaption, p->processId(), 200).isEmpty());
        QVERIFY(Dismiss(box, "^Велмора$", *p));
        QVERIFY(Ended(*p));
        QCOMPARE(p->exitCode(), 1);
        QVERIFY(!QFileInfo::exists(w.home() + "/Defaults"));
        if (!unreadableSettings)   // stopped before the data folder: nothing written at all
            QCOMPARE(QDir(w.home()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestStartupE2E)
#include "test_startup_e2e.moc"
