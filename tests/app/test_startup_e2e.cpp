// The real program under an X server: first start in an empty home folder, the second
// instance, a start after a crash, debug mode, and the starts that must stop before any
// window exists. Windows are found by their captions with xdotool.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

namespace {

const QString Program = QStringLiteral(VELMORA_BINARY_DIR "/velmora");
const QString MainCaption = QStringLiteral("^Велмора версия [0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+$");

QStringList Xdo(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(1000);
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The visible windows of the process whose caption (_NET_WM_NAME, UTF-8) matches.
QStringList WindowsOf(qint64 pid, const QString &captionRegex)
{
    const QRegularExpression caption(captionRegex);
    QStringList found;
    for (const QString &id : Xdo({"search", "--all", "--onlyvisible", "--pid", QString::number(pid), "--name", "."})) {
        if (caption.match(Xdo({"getwindowname", id}).value(0)).hasMatch())
            found << id;
    }
    return found;
}

// Window ids of the process whose caption matches; empty after the timeout.
QStringList WaitForWindow(const QString &captionRegex, qint64 pid, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    do {
        const QStringList ids = WindowsOf(pid, captionRegex);
        if (!ids.isEmpty())
            return ids;
        QTest::qWait(100);
    } while (t.elapsed() < timeoutMs);
    return {};
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// One home folder, registry file and runtime folder per test.
struct Workplace {
    QTemporaryDir root;
    QString home() const { return root.filePath("home"); }
    QString registry() const { return root.filePath("Velmora.ini"); }

    Workplace()
    {
        QDir().mkpath(root.filePath("run"));
        ::chmod(QFile::encodeName(root.filePath("run")).constData(), 0700);
    }

    void setRegistry(const QByteArray &values)
    {
        QFile f(registry());
        if (f.open(QIODevice::WriteOnly))
            f.write("[Software\\DORNEL\\Velmora]\n" + values);
    }

    // A started program; killed when the test ends in whatever way.
    std::unique_ptr<QProcess> start(const QStringList &args = {})
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VELMORA_HOME", home());
        env.insert("VELMORA_REGISTRY", registry());
        env.insert("XDG_RUNTIME_DIR", root.filePath("run"));
        env.insert("QT_QPA_PLATFORM", "xcb");
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(Program, args);
        return p;
    }
};

// Presses Enter (the OK button of a message box) until the window is gone.
bool Dismiss(const QStringList &ids, const QString &captionRegex, QProcess &owner)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        for (const QString &id : ids)
            Xdo({"key", "--window", id, "Return"});
        QTest::qWait(300);
        if (owner.state() == QProcess::NotRunning
            || WindowsOf(owner.processId(), captionRegex).isEmpty())
            return true;
    }
    return false;
}

bool Ended(QProcess &p, int timeoutMs = 10000)
{
    return p.state() == QProcess::NotRunning || p.waitForFinished(timeoutMs);
}

void Stop(QProcess &p)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();   // the program closes its main window, as at the end of a session
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

} // namespace

class TestStartupE2E : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(Program).isExecutable(), qPrintable(Program));
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "needs an X server (run under xvfb-run)");
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
        QVERIFY2(!refusal.isEmpty(), "the second instance showed no message");
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
        QVERIFY2(!warning.isEmpty(), "no debug warning");
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
        QVERIFY2(!box.isEmpty(), "no message");
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
