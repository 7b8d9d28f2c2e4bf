#pragma once
// Running the real program in tests under an X server: a workplace of its own (home
// folder, machine-wide settings file, runtime folder for the instance lock), its windows
// found by caption, message boxes closed through the window system, and a normal end.
// Each helper waits with a timeout; none can hang a test.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <xcb/xcb.h>

#include "tests/support/workfolder.h"

namespace e2e {

inline const QString Program = QStringLiteral(VELMORA_BINARY_DIR "/velmora");
inline const QString MainCaption = QStringLiteral("^Велмора версия [0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+$");

inline QStringList Xdo(const QStringList &args)
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
inline QStringList WindowsOf(qint64 pid, const QString &captionRegex)
{
    const QRegularExpression caption(captionRegex);
    QStringList found;
    for (const QString &id : Xdo({"search", "--all", "--onlyvisible", "--pid", QString::number(pid)})) {
        if (caption.match(Xdo({"getwindowname", id}).value(0)).hasMatch())
            found << id;
    }
    return found;
}

// What the X server shows of the process, for a failure message.
inline QByteArray DescribeWindows(qint64 pid)
{
    QStringList out;
    for (const QString &id : Xdo({"search", "--pid", QString::number(pid)}))
        out << id + " [" + Xdo({"getwindowname", id}).value(0) + "]";
    for (const QString &id : Xdo({"search", "--onlyvisible", "--name", "."}))
        out << "visible " + id + " [" + Xdo({"getwindowname", id}).value(0) + "] pid " + Xdo({"getwindowpid", id}).value(0);
    return ("pid " + QString::number(pid) + ": " + out.join("; ")).toUtf8();
}

// Window ids of the process whose caption matches; empty after the timeout.
inline QStringList WaitForWindow(const QString &captionRegex, qint64 pid, int timeoutMs)
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

    // A started program (the build's, or another copy of it); killed when the test ends
    // in whatever way.
    std::unique_ptr<QProcess> start(const QStringList &args = {}, const QString &program = Program)
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VELMORA_HOME", home());
        env.insert("VELMORA_REGISTRY", registry());
        env.insert("XDG_RUNTIME_DIR", root.filePath("run"));
        env.insert("QT_QPA_PLATFORM", "xcb");
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(program, args);
        return p;
    }
};

// Asks the window to close, as the close button of its frame does (WM_DELETE_WINDOW); a
// message box with one button takes that as its button. No keyboard is involved, so
// nothing can reach another window by mistake.
inline void AskToClose(quint32 window)
{
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return;
    }
    auto atom = [c](const char *name) {
        xcb_intern_atom_reply_t *r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(r);
        return a;
    };
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = window;
    ev.type = atom("WM_PROTOCOLS");
    ev.data.data32[0] = atom("WM_DELETE_WINDOW");
    ev.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&ev));
    xcb_flush(c);
    xcb_disconnect(c);
}

// Closes the message box and waits until its window is gone.
inline bool Dismiss(const QStringList &ids, const QString &captionRegex, QProcess &owner)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        for (const QString &id : ids)
            AskToClose(id.toUInt());
        QTest::qWait(300);
        if (owner.state() == QProcess::NotRunning || WindowsOf(owner.processId(), captionRegex).isEmpty())
            return true;
    }
    return false;
}

// An X server started without -noreset (as xvfb-run starts it) resets when its last
// client disconnects and refuses connections meanwhile: a program started just after
// another one ended could not open its display. A test without windows of its own holds
// this connection for its whole run.
class XServerHold {
public:
    XServerHold() : m_c(xcb_connect(nullptr, nullptr)) {}
    ~XServerHold() { xcb_disconnect(m_c); }
    XServerHold(const XServerHold &) = delete;
    XServerHold &operator=(const XServerHold &) = delete;
    bool ok() const { return !xcb_connection_has_error(m_c); }

private:
    xcb_connection_t *m_c;
};

inline bool Ended(QProcess &p, int timeoutMs = 10000)
{
    return p.state() == QProcess::NotRunning || p.waitForFinished(timeoutMs);
}

inline void Stop(QProcess &p)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();   // the program closes its main window, as at the end of a session
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

} // namespace e2e
