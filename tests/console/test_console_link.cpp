// The console link against velmora-consolesim on a real pseudo-terminal.
#include <QElapsedTimer>
#include <QSerialPort>
#include <QSignalSpy>
#include <QtTest>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "console/consolelink.h"
#include "tests/support/simprocess.h"
#include "common/clock.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace vel;

Q_DECLARE_METATYPE(std::optional<uint16_t>)

namespace {

const std::optional<uint16_t> None;
std::optional<uint16_t> T(uint16_t ms) { return ms; }

// Asks and reads as the windows' ticks do: repeated until something was waiting.
ConsoleAnswers AskAndRead(ConsoleLink &link, uint32_t pauseAfterAsk, int patienceMs = 1000)
{
    link.RequestAnswers(pauseAfterAsk);
    QElapsedTimer t;
    t.start();
    for (;;) {
        if (const std::optional<ConsoleAnswers> a = link.ReadAnswers())
            return *a;
        if (t.elapsed() > patienceMs)
            return {};
        SleepMs(1);
    }
}

QString LinkPath()
{
    return QDir::tempPath() + QStringLiteral("/velmora-test-console-%1").arg(QCoreApplication::applicationPid());
}

QStringList Strings(const QSignalSpy &spy)
{
    QStringList out;
    for (const QList<QVariant> &args : spy)
        out << args.at(0).toString();
    return out;
}

} // namespace

class TestConsoleLink : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void identify_data()
    {
        QTest::addColumn<QStringList>("simArgs");   // empty: no simulator
        QTest::addColumn<QString>("port");          // "sim", "link", "busy" or a port name
        QTest::addColumn<bool>("found");
        QTest::addColumn<bool>("status");
        QTest::newRow("console answers") << QStringList{"--ident", "ATV Ver 1.0\\r\\n"} << "sim" << true << false;
        QTest::newRow("reply split in two") << QStringList{"--split", "5:15"} << "sim" << true << false;
        QTest::newRow("through a symbolic link") << QStringList{"--link", LinkPath()} << "link" << true << false;
        QTest::newRow("silent device") << QStringList{"--ident", ""} << "sim" << false << true;
        QTest::newRow("another device") << QStringList{"--ident", "OK\\r\\n"} << "sim" << false << false;
        QTest::newRow("busy port") << QStringList{} << "busy" << false << true;
        QTest::newRow("missing port") << QStringList() << "/dev/velmora-no-such-port" << false << true;
        QTest::newRow("no port selected") << QStringList() << "" << false << true;
    }
    void identify()
    {
        QFETCH(QStringList, simArgs);
        QFETCH(QString, port);
        QFETCH(bool, found);
        QFETCH(bool, status);
        std::unique_ptr<SimProcess> sim;
        QSerialPort holder;
        if (port == "sim" || port == "link" || port == "busy") {
            sim = std::make_unique<SimProcess>(simArgs);
            QVERIFY(!sim->path.isEmpty());
            if (port == "busy") {
                holder.setPortName(sim->path);
                QVERIFY(holder.open(QIODevice::ReadWrite));
            }
            port = port == "link" ? LinkPath() : sim->path;
        }
        ConsoleLink link;
        QSignalSpy statusSpy(&link, &ConsoleLink::statusText);
        QSignalSpy traceSpy(&link, &ConsoleLink::traced);
        QElapsedTimer t;
        t.start();
        QCOMPARE(link.IdentifyConsole(port), found);
        QVERIFY2(t.elapsed() < 1500, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(link.ConsoleFound(), found);
        QCOMPARE(Strings(statusSpy), status ? QStringList{ConsoleLink::NotFoundText(port)} : QStringList{});
        QCOMPARE(traceSpy.count(), 0);   // the identification reply is not traced
        if (port.isEmpty())
            QCOMPARE(ConsoleLink::NotFoundText(port), QString("на порту  пульт ЗМР не найден"));
        if (sim && !holder.isOpen() && !found) {
            // A port that is not the console is released at once.
            QSerialPort again;
            again.setPortName(port);
            QVERIFY(again.open(QIODevice::ReadWrite));
        }
    }

    // A console port this user may not open (on Debian, not a member of "dialout"): the
    // status says which group is needed instead of "not found". Every device opens for
    // root, so a root run makes the device root:dialout 0660, as udev does, and repeats
    // this case in a child process as "nobody".
    void noPermissionNamesTheGroup()
    {
        QString port = qEnvironmentVariable("VELMORA_TEST_DENIED_PORT");
        std::unique_ptr<SimProcess> sim;
        if (port.isEmpty()) {
            sim = std::make_unique<SimProcess>(QStringList{});
            QVERIFY(!sim->path.isEmpty());
            port = sim->path;
            const QByteArray device = QFile::encodeName(port);
            if (::geteuid() == 0) {
                const struct group *dialout = ::getgrnam("dialout");
                QVERIFY(dialout);
                QVERIFY(::chown(device.constData(), 0, dialout->gr_gid) == 0);
                QVERIFY(::chmod(device.constData(), 0660) == 0);
                QProcess child;
                QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                env.insert("VELMORA_TEST_DENIED_PORT", port);
                child.setProcessEnvironment(env);
                child.setProcessChannelMode(QProcess::MergedChannels);
                child.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--",
                                        QCoreApplication::applicationFilePath(), "noPermissionNamesTheGroup"});
                QVERIFY(child.waitForFinished(60000));
                QVERIFY2(child.exitCode() == 0, child.readAll().constData());
                return;
            }
            QVERIFY(::chmod(device.constData(), 0) == 0);
        }
        ConsoleLink link;
        QSignalSpy statusSpy(&link, &ConsoleLink::statusText);
        QVERIFY(!link.IdentifyConsole(port));
        const QString group = QFileInfo(port).group();
        QVERIFY(!group.isEmpty());
        QCOMPARE(Strings(statusSpy), QStringList{ConsoleLink::NoPermissionText(port, group)});
        QCOMPARE(ConsoleLink::NoPermissionText("ttyACM0", "dialout"), QString("нет прав на порт ttyACM0: нужна группа dialout"));
    }

    // Press times through a whole exchange: '-' keeps the keyboard time, 0 is a time that
    // switches no light off, other times switch the lights off once each.
    void answers()
    {
        SimProcess sim({"--times", "-,0;312,1200;-,-"});
        ConsoleLink link;
        QSignalSpy traceSpy(&link, &ConsoleLink::traced);
        QVERIFY(link.IdentifyConsole(sim.path));
        QCOMPARE(link.ReadAnswers(), std::nullopt);   // nothing asked, nothing waiting

        ConsoleAnswers a = AskAndRead(link, 200);
        QCOMPARE(a.left, None);
        QCOMPARE(a.right, T(0));
        QCOMPARE(sim.Count("cmd ATL0,0,0"), 0);

        a = AskAndRead(link, 200);
        QCOMPARE(a.left, T(312));
        QCOMPARE(a.right, T(1200));   // no ceiling here: that is the choice test's
        QCOMPARE(sim.Count("cmd ATL0,0,0"), 2);

        a = AskAndRead(link, 5);
        QCOMPARE(a.left, None);
        QCOMPARE(a.right, None);

        QCOMPARE(Strings(traceSpy), QStringList({"исх ATa -", "исх ATA 0", "исх ATa 312", "исх ATA 1200",
                                                 "исх ATa -", "исх ATA -"}));
        const QStringList cmds = sim.Events({}, 100).filter(QRegularExpression("^cmd AT[aAV]"));
        QCOMPARE(cmds, QStringList({"cmd ATV", "cmd ATa", "cmd ATA", "cmd ATa", "cmd ATA", "cmd ATa", "cmd ATA"}));
    }

    void rawReplies_data()
    {
        QTest::addColumn<QString>("reply");   // escapes as the simulator reads them
        QTest::addColumn<std::optional<uint16_t>>("left");
        QTest::addColumn<std::optional<uint16_t>>("right");
        QTest::addColumn<QString>("traceHas");
        QTest::newRow("later reply wins") << "ATA 300\\r\\nATA 310\\r\\n" << None << T(310) << "исх ATA 300";
        QTest::newRow("short lines ignored") << "ATA 300\\r\\nATA\\r\\nATA-\\r\\n" << None << T(300) << "исх ATA-";
        QTest::newRow("bad times count as no press") << "ATA 70000\\r\\nATa 12x\\r\\n" << None << None
                                                     << "  время не число 0..65535, как \"-\"";
        QTest::newRow("garbage and nul bytes") << "\\x00\\x01\\xff\\r\\nATa 250\\nATA 0\\r" << T(250) << T(0)
                                               << "исх \\x00\\x01я";
        QTest::newRow("very long line") << QString(5000, 'X') + "\\r\\nATA 42\\r\\n" << None << T(42)
                                        << "исх " + QString(200, 'X') + "… (5000 симв.)";
        QTest::newRow("no line ending") << "ATA 250" << None << T(250) << "исх ATA 250";
        QTest::newRow("last line without ending") << "ATa 12\r\nATA 250" << T(12) << T(250) << "исх ATA 250";
        QTest::newRow("lf cr mixture") << "ATa 1\\n\\rATA 2\\n\\n" << T(1) << T(2) << "исх ";
    }
    void rawReplies()
    {
        QFETCH(QString, reply);
        QFETCH(std::optional<uint16_t>, left);
        QFETCH(std::optional<uint16_t>, right);
        QFETCH(QString, traceHas);
        SimProcess sim({"--raw", "--times", reply});
        ConsoleLink link;
        QSignalSpy traceSpy(&link, &ConsoleLink::traced);
        QVERIFY(link.IdentifyConsole(sim.path));
        QElapsedTimer t;
        t.start();
        const ConsoleAnswers a = AskAndRead(link, 200);
        QVERIFY2(t.elapsed() < 1200, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(a.left, left);
        QCOMPARE(a.right, right);
        QVERIFY2(Strings(traceSpy).contains(traceHas), qPrintable(Strings(traceSpy).join('\n')));
    }

    // Replies that arrive in pieces, read as the moving-object test reads them (5 ms
    // after the requests): a line cut at the end of a read waits for its end, so a
    // time is never taken from part of its digits.
    void splitReplies_data()
    {
        QTest::addColumn<QStringList>("simArgs");
        // The rest follows a few milliseconds later, well inside the link's wait for the
        // line's end (LineEndWaitMs); a rest held up longer than that wait, as a loaded
        // machine can hold up the simulator, is taken as the line stood.
        QTest::newRow("cut inside the time") << QStringList{"--split", "6:5"};
        QTest::newRow("cut before the line end") << QStringList{"--split", "8:5"};
        QTest::newRow("9600 baud") << QStringList{"--pace"};
        QTest::newRow("9600 baud, cut") << QStringList{"--pace", "--split", "5:5"};
    }
    void splitReplies()
    {
        QFETCH(QStringList, simArgs);
        SimProcess sim(simArgs + QStringList{"--times", "1234,567;65535,9"});
        ConsoleLink link;
        QSignalSpy traceSpy(&link, &ConsoleLink::traced);
        QVERIFY(link.IdentifyConsole(sim.path));
        std::optional<uint16_t> left, right;
        for (int presentation = 0; presentation < 2; ++presentation) {
            const ConsoleAnswers a = AskAndRead(link, 5);
            if (a.left)
                left = a.left;
            if (a.right)
                right = a.right;
            QVERIFY(!a.left || *a.left == (presentation ? 65535 : 1234));
            SleepMs(80);   // the pause after a presentation
        }
        // The last red reply may still be on its way; nothing is left behind at the end.
        if (const std::optional<ConsoleAnswers> rest = link.ReadAnswers(); rest && rest->right)
            right = rest->right;
        QCOMPARE(left, T(65535));
        QCOMPARE(right, T(9));
        for (const QString &line : Strings(traceSpy))
            QVERIFY2(!line.contains("пропущена") && !line.startsWith("исх 12") && line != "исх ATA 56",
                     qPrintable(line));
    }

    // The simulator really paces at 9600 baud: two replies of 10 and 9 characters take
    // at least 19 character times of 1.04 ms after the requests.
    void pacing()
    {
        SimProcess sim({"--pace", "--times", "1234,567"});
        ConsoleLink link;
        QVERIFY(link.IdentifyConsole(sim.path));
        QElapsedTimer t;
        t.start();
        std::optional<uint16_t> left, right;
        link.RequestAnswers(0);
        while ((!left || !right) && t.elapsed() < 1000) {
            if (const std::optional<ConsoleAnswers> a = link.ReadAnswers()) {
                left = a->left ? a->left : left;
                right = a->right ? a->right : right;
            }
            SleepMs(1);
        }
        const qint64 ms = t.elapsed();
        QCOMPARE(left, T(1234));
        QCOMPARE(right, T(567));
        QVERIFY2(ms >= 19 && ms < 1000, qPrintable(QString::number(ms)));
        qInfo("two paced replies collected in %lld ms", ms);
    }

    // A simulator that cannot hold its own end of the port open ends with a message
    // instead of spinning on the hang-ups of its pseudo-terminal.
    void simulatorWithoutItsPortEnds()
    {
        QProcess sim;
        sim.setProgram(QStringLiteral(VELMORA_CONSOLESIM));
        // Room for one more file, the pseudo-terminal's master, and none for its other end
        // (whatever the test runner left open).
        sim.setChildProcessModifier([] {
            // The lowest descriptor free once the simulator runs: unused, or closed by exec.
            int lowestFree = 3;
            for (;; ++lowestFree) {
                const int flags = ::fcntl(lowestFree, F_GETFD);
                if (flags == -1 || (flags & FD_CLOEXEC))
                    break;
            }
            const rlimit files{rlim_t(lowestFree + 1), rlim_t(lowestFree + 1)};
            ::setrlimit(RLIMIT_NOFILE, &files);
        });
        sim.start();
        QVERIFY(sim.waitForStarted(5000));
        const bool ended = sim.waitForFinished(20000);
        if (!ended) {
            sim.kill();
            sim.waitForFinished(5000);
        }
        QVERIFY(ended);
        QCOMPARE(sim.exitCode(), 1);
        QVERIFY2(sim.readAllStandardError().contains("cannot open"), "no message");
    }

    void lightsAndClose()
    {
        SimProcess sim({});
        ConsoleLink link;
        QVERIFY(link.IdentifyConsole(sim.path));
        link.SendCommand(CmdGreenLight, 0);
        QVERIFY(sim.Saw("lights green"));
        link.SendCommand(CmdRedLight, 0);
        QVERIFY(sim.Saw("lights red"));
        // The stop: lights off without a pause, then the port is closed at once. The
        // command still reaches the console.
        link.SendCommand(CmdLightsOff, 0);
        link.CloseConsole();
        QVERIFY(sim.Saw("lights off"));
        QVERIFY(!link.ConsoleFound());

        // Without a console nothing is sent, but the pause is kept.
        QElapsedTimer t;
        t.start();
        link.SendCommand(CmdGreenLight, 30);
        QVERIFY(t.elapsed() >= 29);
        QCOMPARE(link.ReadAnswers()->left, None);
        QCOMPARE(sim.Count("cmd ATL0,2,0"), 1);
    }

    // A press typed on the simulator's terminal is timed from the light.
    void typedPress()
    {
        SimProcess sim({});
        ConsoleLink link;
        QVERIFY(link.IdentifyConsole(sim.path));
        link.SendCommand(CmdRedLight, 120);
        sim.Type("r");
        // The console's own measure from the light (how long depends on when the
        // simulator got to read the light and the key, not only on the 120 ms here).
        const QRegularExpression press("^press red \\d+$");
        QStringList presses;
        QElapsedTimer t;
        t.start();
        while (presses.isEmpty() && t.elapsed() < 5000)
            presses = sim.Events({}, 20).filter(press);
        QCOMPARE(presses.size(), 1);
        const int measured = presses[0].section(' ', 2).toInt();
        const ConsoleAnswers a = AskAndRead(link, 200);
        QCOMPARE(a.left, None);
        QCOMPARE(a.right, T(uint16_t(measured)));
        QVERIFY(measured > 0);
    }

    // The console unplugged in the middle of a run (the simulator ends): the status
    // text, the link gives up the console and the run goes on with the keyboard.
    void consoleVanishes_data()
    {
        QTest::addColumn<bool>("sendFirst");
        QTest::newRow("noticed when reading") << false;
        QTest::newRow("noticed when sending") << true;
    }
    void consoleVanishes()
    {
        QFETCH(bool, sendFirst);
        SimProcess sim({"--times", "300,-"});
        ConsoleLink link;
        QSignalSpy statusSpy(&link, &ConsoleLink::statusText);
        QSignalSpy lostSpy(&link, &ConsoleLink::consoleLost);
        QVERIFY(link.IdentifyConsole(sim.path));
        QCOMPARE(AskAndRead(link, 200).left, T(300));
        sim.Kill();

        QElapsedTimer t;
        t.start();
        if (sendFirst)
            link.RequestAnswers(5);
        std::optional<ConsoleAnswers> a = link.ReadAnswers();
        QVERIFY(t.elapsed() < 1500);
        QVERIFY(a.has_value());   // not "no data": the presentation can end
        QCOMPARE(a->left, None);
        QCOMPARE(a->right, None);
        QVERIFY(!link.ConsoleFound());
        QCOMPARE(lostSpy.count(), 1);
        QCOMPARE(Strings(statusSpy), QStringList{ConsoleLink::NotFoundText(sim.path)});

        // Later console steps are skipped without errors.
        link.SendCommand(CmdLightsOff, 0);
        QVERIFY(link.ReadAnswers().has_value());
        link.CloseConsole();
        QCOMPARE(lostSpy.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestConsoleLink)
#include "test_console_link.moc"
