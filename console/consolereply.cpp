#include "console/consolereply.h"

#include "common/text.h"

namespace vel {

QString ReplyText(QByteArrayView bytes)
{
    return FromCp1251(bytes.data(), bytes.size());
}

QStringList SplitReplyLines(QByteArrayView block)
{
    return SplitLines(ReplyText(block));
}

bool EndsInsideLine(QByteArrayView block)
{
    if (block.isEmpty())
        return false;
    const char last = block.back();
    return last != '\r' && last != '\n';
}

namespace {

bool IsBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

// A whole number 0..65535 in decimal digits, blanks allowed around it.
std::optional<uint16_t> ReadTime(QStringView text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    if (begin == end)
        return std::nullopt;
    uint32_t value = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > 65535)
            return std::nullopt;
    }
    return static_cast<uint16_t>(value);
}

} // namespace

std::optional<PressReply> ParsePressLine(QStringView line)
{
    if (line.size() <= 4)
        return std::nullopt;
    PressReply reply;
    if (line.startsWith(u"ATA"))
        reply.button = ConsoleButton::Red;
    else if (line.startsWith(u"ATa"))
        reply.button = ConsoleButton::Green;
    else
        return std::nullopt;

    const QStringView value = line.mid(4);
    // "-" means no press; blanks before it are tolerated.
    qsizetype first = 0;
    while (first < value.size() && IsBlank(value[first]))
        ++first;
    if (first < value.size() && value[first] == QLatin1Char('-'))
        return reply;
    reply.time = ReadTime(value);
    reply.badTime = !reply.time;
    return reply;
}

QString TraceText(QStringView line, qsizetype maxChars)
{
    const bool cut = line.size() > maxChars;
    const QStringView shown = cut ? line.first(maxChars) : line;
    QString out;
    out.reserve(shown.size() + 4);
    for (QChar c : shown) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F)
            out += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    if (cut)
        out += QStringLiteral("… (%1 симв.)").arg(line.size());
    return out;
}

} // namespace vel
