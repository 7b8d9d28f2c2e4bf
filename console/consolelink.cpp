#include "console/consolelink.h"

#include "console/consoleport.h"
#include "common/clock.h"

namespace vel {

ConsoleLink::ConsoleLink(QObject *parent) : QObject(parent) {}

ConsoleLink::~ConsoleLink() { CloseConsole(); }

QString ConsoleLink::NotFoundText(const QString &portName)
{
    return QStringLiteral("на порту ") + portName + QStringLiteral(" пульт ЗМР не найден");
}

QString ConsoleLink::NoPermissionText(const QString &portName, const QString &group)
{
    return QStringLiteral("нет прав на порт ") + portName + QStringLiteral(": нужна группа ") + group;
}

void ConsoleLink::Fail(const QString &reason, const QString &status)
{
    m_lastError = reason;
    if (m_port)
        m_port->Close();
    m_port.reset();
    Q_EMIT statusText(status.isEmpty() ? NotFoundText(m_portName) : status);
}

bool ConsoleLink::CheckLost()
{
    if (!m_port || !m_port->IsLost())
        return false;
    const bool wasFound = m_found;
    m_found = false;
    Fail(m_port->ErrorText());
    Q_EMIT traced(QStringLiteral("порт ") + m_portName + QStringLiteral(" потерян: ") + m_lastError);
    if (wasFound)
        Q_EMIT consoleLost();
    return true;
}

bool ConsoleLink::IdentifyConsole(const QString &portName)
{
    CloseConsole();
    m_found = false;
    m_portName = portName;
    m_lastError.clear();
    m_lastEndedWithCR = false;

    m_port = std::make_unique<ConsolePort>();
    if (!m_port->Open(portName)) {
        const QString group = m_port->PermissionGroup();
        Fail(m_port->ErrorText(), group.isEmpty() ? QString() : NoPermissionText(portName, group));
        return false;
    }
    if (!m_port->Send(CmdIdentify)) {
        Fail(m_port->ErrorText());
        return false;
    }
    SleepMs(IdentifyWaitMs);
    if (m_port->BytesWaiting() <= 0) {
        Fail(m_port->IsLost() ? m_port->ErrorText() : QStringLiteral("нет ответа на ATV"));
        return false;
    }
    QByteArray reply = ReceiveBlock();
    m_lastEndedWithCR = reply.endsWith('\r');
    if (reply.contains(IdentifyMark)) {
        m_found = true;
        return true;
    }
    // Something answered, but not the console: the status stays as it was.
    m_lastError = QStringLiteral("ответ без \"") + QLatin1String(IdentifyMark) + QLatin1Char('"');
    m_port->Close();
    m_port.reset();
    return false;
}

void ConsoleLink::SendCommand(QByteArrayView command, uint32_t pauseMs)
{
    if (m_found && m_port) {
        m_port->Send(command);
        CheckLost();
    }
    if (pauseMs > 0)
        SleepMs(pauseMs);
}

void ConsoleLink::RequestAnswers(uint32_t pauseAfterMs)
{
    SendCommand(CmdAskGreen, AskPauseMs);
    SendCommand(CmdAskRed, pauseAfterMs);
}

QByteArray ConsoleLink::ReceiveBlock()
{
    QByteArray block = m_port->ReceiveAll();
    const uint64_t deadline = TickCount64() + LineEndWaitMs;
    while (EndsInsideLine(block)) {
        const int64_t left = int64_t(deadline - TickCount64());
        if (left <= 0 || !m_port->WaitForMore(int(left)))
            break;
        block += m_port->ReceiveAll();
    }
    return block;
}

void ConsoleLink::DropStaleReplies()
{
    if (!m_found || !m_port || m_port->BytesWaiting() < 1)
        return;
    const QByteArray block = ReceiveBlock();
    m_lastEndedWithCR = block.endsWith('\r');
    const QStringList lines = SplitReplyLines(block);
    for (int i = 0; i < lines.size() && i < MaxTracedLines; ++i)
        Q_EMIT traced(QStringLiteral("исх ") + TraceText(lines[i]));
    Q_EMIT traced(QStringLiteral("  ответ к закрытому предъявлению, пропущен"));
}

std::optional<ConsoleAnswers> ConsoleLink::ReadAnswers()
{
    ConsoleAnswers answers;
    if (!m_found || !m_port)
        return answers;
    if (m_port->BytesWaiting() < 1) {
        if (CheckLost())
            return answers;
        return std::nullopt;
    }
    // A last line still without its end after the wait counts as it stands.
    QByteArray block = ReceiveBlock();
    // A CR LF split between two reads: the LF is the end of the line already read.
    if (m_lastEndedWithCR && block.startsWith('\n'))
        block.remove(0, 1);
    if (!block.isEmpty())
        m_lastEndedWithCR = block.endsWith('\r');

    const QString prefix = QStringLiteral("исх ");
    const QStringList lines = SplitReplyLines(block);
    int shown = 0;
    for (const QString &line : lines) {
        const bool show = shown < MaxTracedLines;
        if (show) {
            Q_EMIT traced(prefix + TraceText(line));
            ++shown;
        }
        const std::optional<PressReply> reply = ParsePressLine(line);
        if (!reply)
            continue;
        if (reply->badTime) {
            if (show)
                Q_EMIT traced(QStringLiteral("  время не число 0..65535, как \"-\""));
            continue;
        }
        if (!reply->time)
            continue;
        (reply->button == ConsoleButton::Red ? answers.right : answers.left) = reply->time;
        if (*reply->time != 0)
            SendCommand(CmdLightsOff, LightsOffPauseMs);
        if (!m_found)   // the port went away while switching the lights off
            break;
    }
    if (lines.size() > shown)
        Q_EMIT traced(QStringLiteral("  ещё строк: %1").arg(lines.size() - shown));
    return answers;
}

void ConsoleLink::CloseConsole()
{
    if (m_port)
        m_port->Close();
    m_port.reset();
    m_found = false;
}

} // namespace vel
