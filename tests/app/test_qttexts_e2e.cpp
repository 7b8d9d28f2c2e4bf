// Qt's own texts in the operator's language: the real program, started under a Russian
// locale, asks "delete this patient?" with the buttons "Да" and "Нет". The buttons are
// read as a screen reader reads them, through the accessibility bus (AT-SPI) of a
// session bus of the test's own; the box is then closed through the window system.
#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include "app/unit1.h"
#include "tests/support/offscreenlayout.h"
#include "tests/support/runprogram.h"
#include "common/config.h"
#include "tests/support/xdriver.h"
#include "ui_unit1.h"

using namespace vel;
using namespace e2e;

namespace {

struct Layout {
    QPoint btPplAppend, firstPatient;
};

// Where the controls are in a main window of `size`.
Layout LayoutOf(QSize size)
{
    Layout l;
    MeasureOffscreen<Tfrm>([&](Tfrm &frm) {
        l.btPplAppend = Centre(frm.ui().btPplAppend, &frm);
        l.firstPatient = FirstRow(frm.ui().rdbgr, &frm);
    }, size);
    return l;
}

void Click(const QString &window, QPoint at)
{
    xdriver::XDriver x;
    int ox = 0, oy = 0;
    x.WindowOrigin(window.toULong(), &ox, &oy);
    x.Click(ox + at.x(), oy + at.y());
}

void Focus(const QString &window) { Xdo({"windowfocus", "--sync", window}); }

// A session bus for the program alone; its accessibility bus is started on demand.
struct SessionBus {
    QProcess daemon;
    QString address;
    SessionBus()
    {
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (daemon.waitForStarted(5000) && daemon.waitForReadyRead(10000))
            address = QString::fromUtf8(daemon.readLine()).trimmed();
    }
    ~SessionBus()
    {
        QDBusConnection::disconnectFromBus("velmora-a11y");
        QDBusConnection::disconnectFromBus("velmora-session");
        daemon.terminate();
        if (!daemon.waitForFinished(5000))
            daemon.kill();
    }
};

// One accessible object of another process.
struct Accessible {
    QString service;
    QString path;
};

QDBusMessage Call(const QDBusConnection &bus, const Accessible &a, const QString &interface, const QString &method,
                  const QVariantList &args = {})
{
    QDBusMessage m = QDBusMessage::createMethodCall(a.service, a.path, interface, method);
    m.setArguments(args);
    return bus.call(m, QDBus::Block, 5000);
}

QList<Accessible> Children(const QDBusConnection &bus, const Accessible &a)
{
    QList<Accessible> out;
    const QDBusMessage r = Call(bus, a, "org.a11y.atspi.Accessible", "GetChildren");
    if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty())
        return out;
    const QDBusArgument arg = r.arguments().first().value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
        Accessible child;
        QDBusObjectPath path;
        arg.beginStructure();
        arg >> child.service >> path;
        arg.endStructure();
        child.path = path.path();
        out << child;
    }
    arg.endArray();
    return out;
}

QString Name(const QDBusConnection &bus, const Accessible &a)
{
    const QDBusMessage r = Call(bus, a, "org.freedesktop.DBus.Properties", "Get", {"org.a11y.atspi.Accessible", "Name"});
    return r.arguments().isEmpty() ? QString() : r.arguments().first().value<QDBusVariant>().variant().toString();
}

QString Role(const QDBusConnection &bus, const Accessible &a)
{
    const QDBusMessage r = Call(bus, a, "org.a11y.atspi.Accessible", "GetRoleName");
    return r.arguments().isEmpty() ? QString() : r.arguments().first().toString();
}

// The names of the push buttons in the program's top-level window called `caption`.
QStringList ButtonsOfWindow(const QString &sessionAddress, qint64 pid, const QString &caption)
{
    QDBusConnection session = QDBusConnection::connectToBus(sessionAddress, "velmora-session");
    const QDBusMessage address = session.call(
        QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress"), QDBus::Block, 10000);
    if (address.arguments().isEmpty())
        return {};
    QDBusConnection a11y = QDBusConnection::connectToBus(address.arguments().first().toString(), "velmora-a11y");
    // The program's own connection to the accessibility bus.
    QString program;
    const QDBusMessage names = a11y.call(QDBusMessage::createMethodCall(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ListNames"));
    for (const QString &name : names.arguments().value(0).toStringList()) {
        const QDBusMessage owner = a11y.call(QDBusMessage::createMethodCall(
            "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetConnectionUnixProcessID")
                                                 << name);
        if (name.startsWith(':') && owner.arguments().value(0).toLongLong() == pid)
            program = name;
    }
    if (program.isEmpty())
        return {};
    QStringList buttons;
    for (const Accessible &window : Children(a11y, {program, "/org/a11y/atspi/accessible/root"})) {
        if (Name(a11y, window) != caption)
            continue;
        QList<Accessible> todo = Children(a11y, window);
        for (int seen = 0; !todo.isEmpty() && seen < 500; ++seen) {
            const Accessible a = todo.takeFirst();
            if (Role(a11y, a) == "push button")
                buttons << Name(a11y, a);
            todo += Children(a11y, a);
        }
    }
    return buttons;
}

} // namespace

class TestQtTextsE2E : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(Program).isExecutable(), qPrintable(Program));
        QVERIFY2(xdriver::XDriver().Ok(), "needs an X server (run under xvfb-run)");
        QCOMPARE(QLocale::system().language(), QLocale::Russian);
    }

    void questionBoxAnswersInRussian()
    {
        SessionBus bus;
        QVERIFY2(!bus.address.isEmpty(), "no session bus");
        Workplace w;
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address.toUtf8());
        qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
        auto p = w.start();
        qunsetenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        const QStringList main = WaitForWindow(MainCaption, p->processId(), 30000);
        QVERIFY2(!main.isEmpty(), DescribeWindows(p->processId()));
        int width = 0, height = 0;
        xdriver::XDriver().WindowSize(main.first().toULong(), &width, &height);
        const Layout layout = LayoutOf(QSize(width, height));

        // A patient in the working list, selected.
        Focus(main.first());
        Click(main.first(), layout.btPplAppend);
        const QStringList dialog = WaitForWindow("^Добавление пациента$", p->processId(), 10000);
        QVERIFY2(!dialog.isEmpty(), DescribeWindows(p->processId()));
        Focus(dialog.first());
        Xdo({"type", "--delay", "20", "Petrov Petr"});
        Xdo({"key", "Return"});
        QTest::qWait(800);   // the working list moves to the new patient

        // Delete on the list asks before the patient goes.
        Focus(main.first());
        Click(main.first(), layout.firstPatient);
        Xdo({"key", "Delete"});
        const QStringList box = WaitForWindow("^Велмора$", p->processId(), 10000);
        QVERIFY2(!box.isEmpty(), DescribeWindows(p->processId()));

        QStringList buttons;
        for (int attempt = 0; attempt < 50 && buttons.isEmpty(); ++attempt) {
            QTest::qWait(200);
            buttons = ButtonsOfWindow(bus.address, p->processId(), QStringLiteral("Велмора"));
        }
        for (QString &b : buttons)
            b.remove(QLatin1Char('&'));   // a mnemonic mark, where the translation has one
        QCOMPARE(buttons, QStringList({"Да", "Нет"}));

        QVERIFY(Dismiss(box, "^Велмора$", *p));
        QCOMPARE(p->state(), QProcess::Running);
        Stop(*p);
        QCOMPARE(p->exitCode(), 0);
    }
};

QTEST_MAIN(TestQtTextsE2E)
#include "test_qttexts_e2e.moc"
