#include "store/dbf/codec.h"

#include "common/text.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <cmath>
#include <cstring>
#include <limits>

namespace vel::dbf {

namespace {

bool IsPad(uchar c) { return c == ' ' || c == 0; }

// The field's bytes without the padding spaces (and NULs some writers use) at both ends.
QByteArray Trimmed(const uchar *p, int width)
{
    int b = 0, e = width;
    while (b < e && IsPad(p[b]))
        ++b;
    while (e > b && IsPad(p[e - 1]))
        --e;
    return QByteArray(reinterpret_cast<const char *>(p + b), e - b);
}

QString FieldTitle(const FieldLayout &f)
{
    QString t = QStringLiteral("%1 (%2 %3").arg(f.name).arg(QLatin1Char(f.type)).arg(f.width);
    if (f.decimals)
        t += QStringLiteral(".%1").arg(f.decimals);
    return t + QLatin1Char(')');
}

double DecodeDbase7Double(const uchar *p)
{
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits = bits << 8 | p[i];
    // Positive numbers carry their sign bit set; negative ones are stored inverted, so
    // that the bytes sort in numeric order.
    if (bits & (uint64_t(1) << 63))
        bits &= ~(uint64_t(1) << 63);
    else
        bits = ~bits;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

QVariant DayAndTime(uint32_t julianDay, uint32_t ms)
{
    if (julianDay == 0 && ms == 0)
        return {};
    const QDate date = QDate::fromJulianDay(qint64(julianDay));
    const QTime time = QTime::fromMSecsSinceStartOfDay(int(ms % 86400000u));
    return date.isValid() ? QVariant(QDateTime(date, time)) : QVariant();
}

QVariant DecodeNumber(const FieldLayout &f, const uchar *p)
{
    const QByteArray t = Trimmed(p, f.width);
    if (t.isEmpty())
        return {};
    bool ok = false;
    if (f.decimals == 0) {
        const qlonglong v = t.toLongLong(&ok);
        if (ok) {
            if (v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max())
                return QVariant(int(v));
            return QVariant(v);
        }
    }
    const double d = t.toDouble(&ok);
    if (ok && std::isfinite(d))
        return QVariant(d);
    return {};   // "*****" of an overflowed value, or bytes that are no number
}

QString FormatNumber(const FieldLayout &f, const QVariant &value)
{
    bool ok = false;
    if (f.decimals == 0) {
        if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) {
            const double d = value.toDouble();
            if (!std::isfinite(d))
                throw TableError(QStringLiteral("%1 — не число (поле %2)").arg(d).arg(FieldTitle(f)));
            return QString::number(d, 'f', 0);
        }
        const qlonglong v = value.toLongLong(&ok);
        if (!ok)
            throw TableError(QStringLiteral("«%1» — не целое число (поле %2)")
                                 .arg(value.toString(), FieldTitle(f)));
        return QString::number(v);
    }
    double d = value.toDouble(&ok);
    if (!ok && value.typeId() == QMetaType::QString)   // a decimal comma, as typed here
        d = value.toString().trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    if (!ok || !std::isfinite(d))
        throw TableError(QStringLiteral("«%1» — не число (поле %2)")
                             .arg(value.toString(), FieldTitle(f)));
    return QString::number(d, 'f', f.decimals);
}

QDate ToDate(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate();
    case QMetaType::QDateTime:
        return value.toDateTime().date();
    default: {
        const QString s = value.toString().trimmed();
        QDate d = QDate::fromString(s, QStringLiteral("yyyyMMdd"));
        if (!d.isValid())
            d = QDate::fromString(s, Qt::ISODate);
        if (!d.isValid())
            d = QDate::fromString(s, QStringLiteral("dd.MM.yyyy"));
        return d;
    }
    }
}

// A logical value; a text says it with its first letter, as dBASE and users write it.
bool ToBool(const QVariant &value, const FieldLayout &f)
{
    if (value.typeId() != QMetaType::QString && value.typeId() != QMetaType::QByteArray)
        return value.toBool();
    const QString s = value.toString().trimmed().toLower();
    if (s == QLatin1String("true") || s == QLatin1String("1") || s == QStringLiteral("да")
        || s == QLatin1String("t") || s == QLatin1String("y") || s == QStringLiteral("д"))
        return true;
    if (s == QLatin1String("false") || s == QLatin1String("0") || s == QStringLiteral("нет")
        || s == QLatin1String("f") || s == QLatin1String("n") || s == QStringLiteral("н"))
        return false;
    throw TableError(QStringLiteral("«%1» — не логическое значение (поле %2)").arg(value.toString(), FieldTitle(f)));
}

// What stores as an empty field: no value, an invalid date (what an empty date field
// reads as) or a text of spaces.
bool IsEmptyValue(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return true;
    switch (value.typeId()) {
    case QMetaType::QDate: return !value.toDate().isValid();
    case QMetaType::QDateTime: return !value.toDateTime().isValid();
    case QMetaType::QString: return value.toString().trimmed().isEmpty();
    case QMetaType::QByteArray: return value.toByteArray().trimmed().isEmpty();
    default: return false;
    }
}

} // namespace

int FixedWidth(char type, TableLevel level)
{
    switch (type) {
    case 'D': return 8;
    case 'L': return 1;
    case 'I': case '+': return 4;
    case 'S': return 2;
    case 'O': case '@': case 'T': case 'Y': return 8;
    case 'M': return level == TableLevel::FoxPro ? 4 : 10;
    default: return 0;
    }
}

bool CanCreate(char type, TableLevel level, bool memory)
{
    if (memory)
        return QByteArrayView("CDNLFIMS").contains(type);
    switch (level) {
    case TableLevel::DBase3: return QByteArrayView("CDNLM").contains(type);
    case TableLevel::DBase4: return QByteArrayView("CDNLMF").contains(type);
    case TableLevel::DBase7: return QByteArrayView("CDNLMFI").contains(type);
    case TableLevel::FoxPro: return QByteArrayView("CDNLMFI").contains(type);
    }
    return false;
}

void BlankRecord(const RecordLayout &layout, uchar *record)
{
    record[0] = ' ';
    for (const FieldLayout &f : layout.fields) {
        uchar fill = ' ';
        switch (f.type) {
        case 'I': case '+': case 'S': case 'O': case '@': case 'T': case 'Y':
            fill = 0;
            break;
        case 'B':
            fill = f.width == 10 ? ' ' : 0;
            break;
        case 'M': case 'G': case 'P':
            fill = f.width == 10 ? ' ' : 0;
            break;
        default:
            break;
        }
        std::memset(record + f.offset, fill, size_t(f.width));
    }
}

bool DecodeLong(const uchar *p, TableLevel level, int32_t *value)
{
    if (level == TableLevel::DBase7) {
        const uint32_t raw = ReadBE32(p);
        if (raw == 0)
            return false;
        *value = int32_t(raw ^ 0x80000000u);
        return true;
    }
    *value = int32_t(ReadLE32(p));
    return true;
}

void EncodeLong(uchar *p, TableLevel level, int32_t value)
{
    if (level == TableLevel::DBase7)
        WriteBE32(p, uint32_t(value) ^ 0x80000000u);
    else
        WriteLE32(p, uint32_t(value));
}

uint32_t MemoBlock(const FieldLayout &f, const uchar *record)
{
    const uchar *p = record + f.offset;
    if (f.width == 4)
        return ReadLE32(p);
    if (f.width != 10)
        return 0;
    int i = 0;
    while (i < 10 && IsPad(p[i]))
        ++i;
    uint64_t block = 0;
    while (i < 10 && p[i] >= '0' && p[i] <= '9')
        block = block * 10 + (p[i++] - '0');
    while (i < 10 && IsPad(p[i]))
        ++i;
    if (i != 10)
        return 0;   // not a block number
    return block > 0xFFFFFFFFu ? 0 : uint32_t(block);
}

void SetMemoBlock(const FieldLayout &f, uchar *record, uint32_t block)
{
    uchar *p = record + f.offset;
    if (f.width == 4) {
        WriteLE32(p, block);
        return;
    }
    std::memset(p, ' ', size_t(f.width));
    if (block == 0)
        return;
    const QByteArray digits = QByteArray::number(block);
    std::memcpy(p + f.width - digits.size(), digits.constData(), size_t(digits.size()));
}

bool IsEmptyField(const FieldLayout &f, TableLevel level, const uchar *record)
{
    if (IsMemoType(f.type))
        return MemoBlock(f, record) == 0;
    const uchar *p = record + f.offset;
    switch (f.type) {
    case 'I': case '+': {
        int32_t v;
        return !DecodeLong(p, level, &v);
    }
    case 'L':
        return !QByteArrayView("TtYyFfNn").contains(char(p[0]));
    default:
        return DecodeField(f, level, record).isNull();
    }
}

QVariant DecodeField(const FieldLayout &f, TableLevel level, const uchar *record)
{
    const uchar *p = record + f.offset;
    switch (f.type) {
    case 'C': {
        int e = f.width;
        while (e > 0 && IsPad(p[e - 1]))
            --e;
        if (e == 0)
            return {};
        return FromCp1251(reinterpret_cast<const char *>(p), e);
    }
    case 'D': {
        if (Trimmed(p, f.width).isEmpty())
            return {};
        int y = 0, m = 0, d = 0;
        for (int i = 0; i < 8; ++i) {
            if (p[i] < '0' || p[i] > '9')
                return {};
            const int digit = p[i] - '0';
            if (i < 4) y = y * 10 + digit;
            else if (i < 6) m = m * 10 + digit;
            else d = d * 10 + digit;
        }
        const QDate date(y, m, d);
        return date.isValid() ? QVariant(date) : QVariant();
    }
    case 'N': case 'F':
        return DecodeNumber(f, p);
    case 'L':
        switch (p[0]) {
        case 'T': case 't': case 'Y': case 'y': return true;
        case 'F': case 'f': case 'N': case 'n': return false;
        default: return {};
        }
    case 'I': case '+': {
        if (f.width != 4)
            return {};
        int32_t v;
        return DecodeLong(p, level, &v) ? QVariant(int(v)) : QVariant();
    }
    case 'S': {
        const uint16_t raw = ReadBE16(p);
        if (raw == 0)
            return {};
        return int(int16_t(raw ^ 0x8000u));
    }
    case 'O': {
        bool zero = true;
        for (int i = 0; i < 8; ++i)
            zero = zero && p[i] == 0;
        return zero ? QVariant() : QVariant(DecodeDbase7Double(p));
    }
    case '@':   // dBASE 7 timestamp: Julian day and milliseconds, big-endian
        return DayAndTime(ReadBE32(p), ReadBE32(p + 4));
    case 'T':   // FoxPro datetime: the same, little-endian
        return DayAndTime(ReadLE32(p), ReadLE32(p + 4));
    case 'Y': {
        int64_t v = 0;
        for (int i = 7; i >= 0; --i)
            v = v << 8 | p[i];
        return double(v) / 10000.0;
    }
    case 'B':
        if (f.width == 8 && level == TableLevel::FoxPro) {
            double d;
            std::memcpy(&d, p, 8);   // little-endian machines only, as every target is
            return d;
        }
        return MemoBlock(f, record);
    case 'M': case 'G': case 'P':
        return MemoBlock(f, record);
    default:
        return {};
    }
}

void EncodeField(const FieldLayout &f, TableLevel level, uchar *record, const QVariant &value)
{
    uchar *p = record + f.offset;
    const bool empty = IsEmptyValue(value);
    switch (f.type) {
    case 'C': {
        std::memset(p, ' ', size_t(f.width));
        if (empty)
            return;
        QByteArray bytes = ToCp1251(value.toString());
        if (bytes.size() > f.width)
            bytes.truncate(f.width);
        std::memcpy(p, bytes.constData(), size_t(bytes.size()));
        return;
    }
    case 'D': {
        std::memset(p, ' ', 8);
        if (empty)
            return;
        const QDate d = ToDate(value);
        if (!d.isValid())
            throw TableError(QStringLiteral("«%1» — не дата (поле %2)")
                                 .arg(value.toString(), FieldTitle(f)));
        if (d.year() < 1 || d.year() > 9999)
            throw TableError(QStringLiteral("дата %1 вне допустимого диапазона (поле %2)")
                                 .arg(d.toString(Qt::ISODate), FieldTitle(f)));
        const QByteArray s = QByteArray::number(d.year()).rightJustified(4, '0')
                             + QByteArray::number(d.month()).rightJustified(2, '0')
                             + QByteArray::number(d.day()).rightJustified(2, '0');
        std::memcpy(p, s.constData(), 8);
        return;
    }
    case 'N': case 'F': {
        std::memset(p, ' ', size_t(f.width));
        if (empty)
            return;
        const QByteArray s = FormatNumber(f, value).toLatin1();
        if (s.size() > f.width)
            throw TableError(QStringLiteral("значение %1 не помещается в поле %2")
                                 .arg(QString::fromLatin1(s), FieldTitle(f)));
        std::memcpy(p + f.width - s.size(), s.constData(), size_t(s.size()));
        return;
    }
    case 'L':
        p[0] = empty ? ' ' : (ToBool(value, f) ? 'T' : 'F');
        return;
    case 'I': case '+': {
        if (empty) {
            std::memset(p, 0, 4);
            return;
        }
        bool ok = false;
        const qlonglong v = value.toLongLong(&ok);
        if (!ok || v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()
            || (level == TableLevel::DBase7 && v == std::numeric_limits<int32_t>::min()))
            throw TableError(QStringLiteral("значение %1 не помещается в поле %2")
                                 .arg(value.toString(), FieldTitle(f)));
        EncodeLong(p, level, int32_t(v));
        return;
    }
    case 'S': {
        if (empty) {
            std::memset(p, 0, 2);
            return;
        }
        bool ok = false;
        const qlonglong v = value.toLongLong(&ok);
        if (!ok || v <= std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max())
            throw TableError(QStringLiteral("значение %1 не помещается в поле %2")
                                 .arg(value.toString(), FieldTitle(f)));
        WriteBE16(p, uint16_t(uint16_t(int16_t(v)) ^ 0x8000u));
        return;
    }
    default:
        throw TableError(QStringLiteral("в поле %1 нельзя записать значение").arg(FieldTitle(f)));
    }
}

} // namespace vel::dbf
