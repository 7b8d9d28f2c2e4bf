#include "common/text.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

namespace vel {

QString TrimSpaces(const QString &text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

QString NormalizeText(const QString &text)
{
    QString out = TrimSpaces(text);
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if (u >= u'A' && u <= u'Z')
            c = QChar(u + 32);
        else if (u >= u'А' && u <= u'Я')
            c = QChar(u + 32);
    }
    return out;
}

QChar UpperChar(QChar c)
{
    const char16_t u = c.unicode();
    if ((u >= u'a' && u <= u'z') || (u >= u'а' && u <= u'я'))
        return QChar(u - 32);
    return c;
}

QChar FoldCase1251(QChar c)
{
    const char16_t u = c.unicode();
    if ((u >= u'A' && u <= u'Z') || (u >= u'А' && u <= u'Я'))
        return QChar(u + 32);
    if (u == u'Ё')
        return QChar(u'ё');
    // The other capitals of code page 1251 (Ђ Ѓ Є Ѕ І Ї Ј Љ Њ Ћ Ќ Ў Џ Ґ) have their small
    // letter 0x50 above them.
    if (u >= 0x0400 && u <= 0x040F)
        return QChar(u + 0x50);
    if (u == 0x0490)
        return QChar(0x0491);
    return c;
}

namespace {

// Code page 1251 is one byte a character: both directions go through tables made once
// from Qt's own codec (creating a codec for every field read costs more than the read).
struct Cp1251Tables {
    char16_t toUnicode[256];
    QByteArray fromUnicode;   // 65536 entries; '?' where 1251 has no character
    Cp1251Tables() : fromUnicode(65536, '?')
    {
        QStringDecoder dec("windows-1251");
        for (int b = 0; b < 256; ++b) {
            const char byte = char(b);
            const QString s = dec.decode(QByteArrayView(&byte, 1));
            toUnicode[b] = s.size() == 1 ? s.at(0).unicode() : u'\uFFFD';
        }
        for (int b = 255; b >= 0; --b)
            if (toUnicode[b] != u'\uFFFD')
                fromUnicode[toUnicode[b]] = char(b);
    }
};

const Cp1251Tables &Tables()
{
    static const Cp1251Tables tables;
    return tables;
}

} // namespace

QByteArray ToCp1251(const QString &text)
{
    const Cp1251Tables &t = Tables();
    QByteArray out(text.size(), Qt::Uninitialized);
    qsizetype n = 0;
    const QChar *p = text.constData(), *end = p + text.size();
    for (; p < end; ++p) {
        const char16_t u = p->unicode();
        if (QChar::isHighSurrogate(u) && p + 1 < end && QChar::isLowSurrogate(p[1].unicode()))
            ++p;   // one character outside the BMP: one '?'
        out[n++] = t.fromUnicode.at(u);
    }
    out.truncate(n);
    return out;
}

QString FromCp1251(const QByteArray &bytes)
{
    return FromCp1251(bytes.constData(), bytes.size());
}

QString FromCp1251(const char *data, qsizetype size)
{
    const Cp1251Tables &t = Tables();
    QString out(size, Qt::Uninitialized);
    QChar *o = out.data();
    for (qsizetype i = 0; i < size; ++i)
        o[i] = QChar(t.toUnicode[uchar(data[i])]);
    return out;
}

QStringList SplitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines << text.mid(start, i - start);
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines << text.mid(start);
    return lines;
}

QString QuoteDbf(const QString &text)
{
    QString inner = text;
    inner.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

QuotedText ReadQuoted(const QString &text, qsizetype from, QChar quote)
{
    QuotedText q;
    const qsizetype n = text.size();
    qsizetype i = from;
    while (i < n) {
        if (text.at(i) != quote) {
            q.text += text.at(i++);
        } else if (i + 1 < n && text.at(i + 1) == quote) {
            q.text += quote;
            i += 2;
        } else {
            q.closed = true;
            ++i;
            break;
        }
    }
    q.end = i;
    return q;
}

} // namespace vel
