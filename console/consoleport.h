#pragma once
// The serial port under the console link: the few operations the link needs, each with
// a bounded wait, on top of Qt SerialPort. Failures are reported through return values
// and ErrorText(), never thrown.
#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QSerialPort>
#include <QString>

namespace vel {

class ConsolePort : public QObject {
    Q_OBJECT
public:
    explicit ConsolePort(QObject *parent = nullptr);
    ~ConsolePort() override;

    // Opens the named port ("ttyACM0", "/dev/ttyUSB0", "/dev/pts/3") for reading and
    // writing, sets 9600 baud, 8 data bits, no parity, one stop bit, no flow control,
    // raises DTR and RTS and discards pending data both ways. A pseudo-terminal has no
    // modem lines: failing to raise them is accepted there and only there.
    bool Open(const QString &portName);

    // Hands all bytes to the port, waiting at most SendWaitMs.
    bool Send(QByteArrayView bytes);

    // Bytes received and ready to read without waiting; 0 on any error or when closed.
    qint64 BytesWaiting();

    // Everything received so far.
    QByteArray ReceiveAll();

    // Waits at most `ms` for more bytes to arrive; true when some did.
    bool WaitForMore(int ms);

    // Lets the last bytes sent leave the port (bounded), discards the input, drops DTR
    // and RTS and closes. Does nothing when closed; errors are ignored.
    void Close();

    bool IsOpen() const { return m_port.isOpen(); }
    // The port has gone (device unplugged, the other end of a pseudo-terminal closed):
    // nothing more will come from it.
    bool IsLost() const { return m_lost; }
    QString ErrorText() const { return m_errorText; }
    // After a failed Open(): the port exists but this user may not open it, and the
    // device belongs to this group (on Debian "dialout" for USB serial ports); empty
    // when the failure had another cause.
    QString PermissionGroup() const { return m_deniedGroup; }

    // The group owning the port's device when the device exists and this process may
    // not read and write it; empty otherwise.
    static QString DeniedGroup(const QString &portName);

    static constexpr int SendWaitMs = 250;
    static constexpr int DrainWaitMs = 100;

    // True when the port name is a pseudo-terminal (as a console simulator offers).
    static bool IsPseudoTerminal(const QString &portName);

private:
    void OnError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    QString m_errorText;
    QString m_deniedGroup;
    bool m_lost = false;
};

} // namespace vel
