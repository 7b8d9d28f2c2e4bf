#pragma once
// The console link of a test window: identifies the response console on a serial port
// at the start of a run, switches its lights, asks for and reads its press times, and
// closes the port at the stop. Every call runs on the window's main thread and every
// wait in it is short and bounded (the run is paced by these waits, as the console's
// exchanges require).
//
// The window binds statusText() to its status label and traced() to its reply log.
// A missing, busy or silent console is not an error of the run: the link reports it
// through statusText() and the run goes on with the keyboard.
#include "console/consolereply.h"

#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace vel {

class ConsolePort;

class ConsoleLink : public QObject {
    Q_OBJECT
public:
    explicit ConsoleLink(QObject *parent = nullptr);
    ~ConsoleLink() override;

    // Opens and configures the port, sends "ATV\n", waits IdentifyWaitMs and reads the
    // reply. True when it contains "ATV Ver". When the port exists but the user may not
    // open it, statusText() gives NoPermissionText(); when it cannot be opened otherwise
    // or nothing came back, NotFoundText(portName); a reply without the mark leaves the
    // status as it was. The port is released unless the console was found.
    bool IdentifyConsole(const QString &portName);

    // Sends the command when the console was found, then sleeps pauseMs (0: no sleep)
    // whether or not it was sent, so that a run keeps its pace.
    void SendCommand(QByteArrayView command, uint32_t pauseMs);

    // "ATa\n", 5 ms, "ATA\n", then pauseAfterMs.
    void RequestAnswers(uint32_t pauseAfterMs);

    // Reads what the console has sent since the last read. No value: nothing was
    // waiting (the presentation stays open and the window asks again at its next tick).
    // Otherwise the press times found, each reply line traced as "исх " + line, and
    // "ATL0,0,0\n" sent after each press time other than 0. Without a console (never
    // found, or lost during the run) the answers are empty at once: the keyboard
    // times stand.
    std::optional<ConsoleAnswers> ReadAnswers();

    // Reads and drops what the console has sent and nobody has read: replies to answer
    // requests repeated while it was slow, which belong to a presentation already
    // closed. Called at each onset, so that the next read finds this presentation's
    // replies only; each dropped line is traced.
    void DropStaleReplies();
    // Lets the last command leave, closes and releases the port; errors are ignored.
    void CloseConsole();

    bool ConsoleFound() const { return m_found; }
    QString PortName() const { return m_portName; }
    // Why the last identification failed, or why the console was lost; for the log.
    QString LastError() const { return m_lastError; }

    // "на порту <port> пульт ЗМР не найден"
    static QString NotFoundText(const QString &portName);
    // "нет прав на порт <port>: нужна группа <group>" (the user must join the group that
    // owns the device and log in again).
    static QString NoPermissionText(const QString &portName, const QString &group);

    static constexpr uint32_t IdentifyWaitMs = 200;
    static constexpr uint32_t AskPauseMs = 5;
    // A block that ends inside a line waits this long at most for the line's end; then
    // the line counts as it stands.
    static constexpr int LineEndWaitMs = 50;
    // Lines traced from one block at most; the rest are counted in one line.
    static constexpr int MaxTracedLines = 100;

Q_SIGNALS:
    void statusText(const QString &text);   // for the status label
    void traced(const QString &line);       // for the reply log
    // The port went away during the run: the run goes on with the keyboard.
    void consoleLost();

private:
    // All waiting bytes; when they end inside a line, waits for its end (bounded), so
    // that a reply split in two is not read half. A line that has not ended when the
    // wait is over stays in the block as it stands.
    QByteArray ReceiveBlock();
    void Fail(const QString &reason, const QString &status = {});
    bool CheckLost();

    std::unique_ptr<ConsolePort> m_port;
    QString m_portName;
    QString m_lastError;
    bool m_found = false;
    bool m_lastEndedWithCR = false;
};

} // namespace vel
