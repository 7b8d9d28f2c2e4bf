#include "console/consoleport.h"

#include "common/clock.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <grp.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#endif

namespace vel {

namespace {

QString SystemLocation(const QString &portName)
{
    return portName.startsWith(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
}

} // namespace

QString ConsolePort::DeniedGroup(const QString &portName)
{
#ifdef Q_OS_UNIX
    if (portName.isEmpty())
        return {};
    const QByteArray path = QFile::encodeName(SystemLocation(portName));
    struct stat st {};
    if (::stat(path.constData(), &st) != 0)
        return {};   // no such port: not a matter of permission
    if (::access(path.constData(), R_OK | W_OK) == 0 || errno != EACCES)
        return {};
    if (const struct group *g = ::getgrgid(st.st_gid))
        return QString::fromLocal8Bit(g->gr_name);
    return QString::number(st.st_gid);
#else
    Q_UNUSED(portName);
    return {};
#endif
}

ConsolePort::ConsolePort(QObject *parent) : QObject(parent)
{
    connect(&m_port, &QSerialPort::errorOccurred, this, &ConsolePort::OnError);
}

ConsolePort::~ConsolePort() { Close(); }

bool ConsolePort::IsPseudoTerminal(const QString &portName)
{
    if (portName.isEmpty())
        return false;
    const QString path = SystemLocation(portName);
#ifdef Q_OS_LINUX
    struct stat st {};
    // Unix98 pseudo-terminal slaves have the majors 136 to 143.
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode)) {
        const unsigned int major = ::major(st.st_rdev);
        return major >= 136 && major <= 143;
    }
#endif
    return QFileInfo(path).canonicalFilePath().startsWith(QStringLiteral("/dev/pts/"));
}

void ConsolePort::OnError(QSerialPort::SerialPortError error)
{
    // Only remember it here: this runs inside QSerialPort's own calls, which must not
    // see the port closed under them. The link looks at IsLost() after each operation.
    if (!m_port.isOpen())
        return;
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::DeviceNotFoundError:
        m_lost = true;
        m_errorText = m_port.errorString();
        break;
    default:
        break;
    }
}

bool ConsolePort::Open(const QString &portName)
{
    Close();
    m_lost = false;
    m_errorText.clear();
    m_deniedGroup.clear();
    if (portName.isEmpty()) {
        m_errorText = tr("no port selected");
        return false;
    }
    m_port.setPortName(portName);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_errorText = m_port.errorString();
        m_port.clearError();
        m_deniedGroup = DeniedGroup(portName);
        return false;
    }
    const bool configured = m_port.setBaudRate(QSerialPort::Baud9600)
                            && m_port.setDataBits(QSerialPort::Data8)
                            && m_port.setParity(QSerialPort::NoParity)
                            && m_port.setStopBits(QSerialPort::OneStop)
                            && m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        m_errorText = m_port.errorString();
        m_port.close();
        return false;
    }
    const bool lines = m_port.setDataTerminalReady(true) && m_port.setRequestToSend(true);
    if (!lines && !IsPseudoTerminal(portName)) {
        m_errorText = m_port.errorString();
        m_port.close();
        return false;
    }
    m_port.clearError();
    m_port.clear(QSerialPort::AllDirections);
    return true;
}

bool ConsolePort::Send(QByteArrayView bytes)
{
    if (!m_port.isOpen() || m_lost)
        return false;
    if (m_port.write(bytes.data(), bytes.size()) != bytes.size()) {
        m_errorText = m_port.errorString();
        m_port.clearError();
        return false;
    }
    const qint64 deadline = qint64(TickCount64()) + SendWaitMs;
    while (m_port.bytesToWrite() > 0 && !m_lost) {
        const qint64 left = deadline - qint64(TickCount64());
        if (left <= 0 || !m_port.waitForBytesWritten(int(left)))
            break;
    }
    const bool sent = m_port.bytesToWrite() == 0 && !m_lost;
    if (!sent && m_errorText.isEmpty())
        m_errorText = m_port.errorString();
    m_port.clearError();
    return sent;
}

qint64 ConsolePort::BytesWaiting()
{
    if (!m_port.isOpen() || m_lost)
        return 0;
    // QSerialPort fills its buffer from the event loop; during a run the main thread
    // is busy, so take in what the system holds now without waiting.
    for (int i = 0; i < 16 && m_port.waitForReadyRead(0) && !m_lost; ++i) {
    }
    m_port.clearError();
    return m_lost ? 0 : m_port.bytesAvailable();
}

QByteArray ConsolePort::ReceiveAll()
{
    return m_port.isOpen() ? m_port.readAll() : QByteArray();
}

bool ConsolePort::WaitForMore(int ms)
{
    if (!m_port.isOpen() || m_lost)
        return false;
    const bool more = m_port.waitForReadyRead(ms);
    m_port.clearError();
    return more && !m_lost;
}

void ConsolePort::Close()
{
    if (!m_port.isOpen())
        return;
#ifdef Q_OS_LINUX
    // The last command (lights off) may still sit in the system's output queue; at
    // 9600 baud it takes about a millisecond per character to leave.
    if (!m_lost) {
        const int fd = int(m_port.handle());
        const uint64_t deadline = TickCount64() + DrainWaitMs;
        int queued = 0;
        while (::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0 && TickCount64() < deadline)
            SleepMs(1);
    }
#endif
    m_port.clear(QSerialPort::Input);
    m_port.setDataTerminalReady(false);
    m_port.setRequestToSend(false);
    m_port.close();
    m_port.clearError();
}

} // namespace vel
