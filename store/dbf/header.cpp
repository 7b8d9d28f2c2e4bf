#include "store/dbf/header.h"

#include "common/text.h"
#include "store/dbf/codec.h"

#include <cstring>

namespace vel::dbf {

namespace {

constexpr int kDbase7Prefix = 68;   // prefix, language driver name and 4 reserved bytes

QString Hex(uchar b) { return QStringLiteral("0x") + QString::number(b, 16).toUpper().rightJustified(2, QLatin1Char('0')); }

struct VersionInfo {
    TableLevel level;
    MemoKind memo;
};

bool ClassifyVersion(uchar v, VersionInfo *info)
{
    switch (v) {
    case 0x03: *info = {TableLevel::DBase3, MemoKind::DBase3}; return true;
    case 0x83: *info = {TableLevel::DBase3, MemoKind::DBase3}; return true;
    case 0x8B: case 0x7B: case 0xCB: case 0x43: case 0x63: case 0xE5:
        *info = {TableLevel::DBase4, MemoKind::DBase4}; return true;
    case 0x04: case 0x8C: case 0x44: case 0xCC:
        *info = {TableLevel::DBase7, MemoKind::DBase4}; return true;
    case 0xF5: case 0xFB: case 0x30: case 0x31: case 0x32:
        *info = {TableLevel::FoxPro, MemoKind::FoxPro}; return true;
    default:
        return false;
    }
}

bool KnownType(char t)
{
    return t != 0 && QByteArrayView("CDNFLMBGPI+SO@TYV0").contains(t);
}

// Name bytes up to the first NUL; empty when a byte is a control character.
QString FieldName(const uchar *p, int size, bool *ok)
{
    int n = 0;
    while (n < size && p[n] != 0)
        ++n;
    *ok = n > 0;
    for (int i = 0; i < n && *ok; ++i)
        *ok = p[i] > 0x20;
    return *ok ? FromCp1251(reinterpret_cast<const char *>(p), n) : QString();
}

bool WidthFits(char type, int width)
{
    switch (type) {
    case 'D': return width == 8;
    case 'L': return width == 1;
    case 'I': case '+': return width == 4;
    case 'S': return width == 2;
    case 'O': case '@': case 'T': case 'Y': return width == 8;
    case 'M': case 'G': case 'P': return width == 4 || width == 10;
    case 'B': return width == 4 || width == 8 || width == 10;
    default: return width >= 1;
    }
}

} // namespace

void FailFile(const QString &path, const QString &what)
{
    throw TableError(QStringLiteral("Таблица «%1»: %2").arg(path, what));
}

QString LevelName(TableLevel level)
{
    switch (level) {
    case TableLevel::DBase3: return QStringLiteral("dBASE III");
    case TableLevel::DBase4: return QStringLiteral("dBASE IV");
    case TableLevel::DBase7: return QStringLiteral("dBASE 7");
    case TableLevel::FoxPro: return QStringLiteral("FoxPro");
    }
    return QString();
}

MemoKind MemoKindFor(TableLevel level)
{
    switch (level) {
    case TableLevel::DBase3: return MemoKind::DBase3;
    case TableLevel::DBase4: case TableLevel::DBase7: return MemoKind::DBase4;
    case TableLevel::FoxPro: return MemoKind::FoxPro;
    }
    return MemoKind::None;
}

bool HasMemoFields(const RecordLayout &layout)
{
    for (const FieldLayout &f : layout.fields)
        if (IsMemoType(f.type) && !(f.type == 'B' && f.width == 8 && layout.level == TableLevel::FoxPro))
            return true;
    return false;
}

int StoredHeaderLength(const uchar *prefix) { return ReadLE16(prefix + 8); }

DbfHeader ParseHeader(const QByteArray &bytes, const QString &path)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const int size = int(bytes.size());
    if (size < kHeaderPrefix)
        FailFile(path, QStringLiteral("файл слишком короток для таблицы dBASE (%1 байт)").arg(size));

    DbfHeader h;
    h.version = p[0];
    VersionInfo info;
    if (h.version == 0x02)
        FailFile(path, QStringLiteral("таблицы dBASE II не поддерживаются"));
    if (!ClassifyVersion(h.version, &info))
        FailFile(path, QStringLiteral("это не таблица dBASE (неизвестный байт версии %1)").arg(Hex(h.version)));
    h.level = info.level;
    h.lastUpdate = QDate(1900 + p[1], p[2], p[3]);
    h.recordCount = ReadLE32(p + 4);
    h.headerLength = ReadLE16(p + 8);
    h.recordLength = ReadLE16(p + 10);
    h.productionIndex = (p[28] & 0x01) != 0;
    h.languageDriver = p[29];

    const bool db7 = h.level == TableLevel::DBase7;
    const int first = db7 ? kDbase7Prefix : kHeaderPrefix;
    const int descSize = db7 ? 48 : 32;
    if (h.headerLength < first + 1)
        FailFile(path, QStringLiteral("длина заголовка %1 меньше допустимой (%2)").arg(h.headerLength).arg(first + 1));
    if (size < h.headerLength)
        FailFile(path, QStringLiteral("заголовок обрезан: %1 байт из %2").arg(size).arg(h.headerLength));
    if (h.recordLength < 2)
        FailFile(path, QStringLiteral("длина записи %1 недопустима").arg(h.recordLength));
    if (db7) {
        int n = 0;
        while (n < 32 && p[32 + n] != 0)
            ++n;
        h.languageDriverName = QByteArray(reinterpret_cast<const char *>(p + 32), n);
    }

    h.layout.level = h.level;
    h.layout.recordLength = h.recordLength;
    int offset = 1;
    int pos = first;
    bool terminated = false;
    while (pos < h.headerLength) {
        // The list ends with 0x0D; a few writers leave zeros instead.
        if (p[pos] == 0x0D || (p[pos] == 0x00 && !h.layout.fields.isEmpty())) {
            terminated = true;
            break;
        }
        if (pos + descSize > h.headerLength)
            FailFile(path, QStringLiteral("описание полей обрезано (поле %1)").arg(h.layout.fields.size() + 1));
        const uchar *d = p + pos;
        FieldLayout f;
        bool nameOk = false;
        f.name = FieldName(d, db7 ? 32 : 11, &nameOk);
        const int number = int(h.layout.fields.size()) + 1;
        if (!nameOk)
            FailFile(path, QStringLiteral("повреждено имя поля %1").arg(number));
        f.type = char(d[db7 ? 32 : 11]);
        f.width = d[db7 ? 33 : 16];
        f.decimals = d[db7 ? 34 : 17];
        if (!KnownType(f.type))
            FailFile(path, QStringLiteral("поле %1 имеет неизвестный тип %2").arg(f.name, Hex(uchar(f.type))));
        if (!WidthFits(f.type, f.width))
            FailFile(path, QStringLiteral("поле %1 типа %2 имеет недопустимую ширину %3")
                               .arg(f.name).arg(QLatin1Char(f.type)).arg(f.width));
        if (h.layout.indexOf(f.name) >= 0)
            FailFile(path, QStringLiteral("поле %1 описано дважды").arg(f.name));
        f.offset = offset;
        offset += f.width;
        if (offset > h.recordLength)
            FailFile(path, QStringLiteral("поля не помещаются в запись длиной %1 байт").arg(h.recordLength));
        h.layout.fields.append(f);
        pos += descSize;
    }
    if (!terminated && h.layout.fields.isEmpty())
        FailFile(path, QStringLiteral("заголовок не содержит описания полей"));
    if (h.layout.fields.isEmpty())
        FailFile(path, QStringLiteral("в таблице нет ни одного поля"));

    h.memoKind = HasMemoFields(h.layout) ? info.memo : MemoKind::None;
    return h;
}

void PutCountAndDate(uchar *header, uint32_t count, const QDate &today)
{
    header[1] = uchar(qBound(0, today.year() - 1900, 255));
    header[2] = uchar(today.month());
    header[3] = uchar(today.day());
    WriteLE32(header + 4, count);
}

QByteArray BuildHeader(const RecordLayout &layout, uint32_t count, bool productionIndex,
                       const QSet<QString> &indexedFields, const QDate &today)
{
    const bool db7 = layout.level == TableLevel::DBase7;
    const bool memo = HasMemoFields(layout);
    const int first = db7 ? kDbase7Prefix : kHeaderPrefix;
    const int descSize = db7 ? 48 : 32;
    const int length = first + descSize * int(layout.fields.size()) + 1;
    QByteArray out(length, '\0');
    auto *p = reinterpret_cast<uchar *>(out.data());

    switch (layout.level) {
    case TableLevel::DBase3: p[0] = memo ? 0x83 : 0x03; break;
    case TableLevel::DBase4: p[0] = memo ? 0x8B : 0x03; break;
    case TableLevel::DBase7: p[0] = memo ? 0x8C : 0x04; break;
    case TableLevel::FoxPro: p[0] = memo ? 0xF5 : 0x03; break;
    }
    PutCountAndDate(p, count, today);
    WriteLE16(p + 8, uint16_t(length));
    WriteLE16(p + 10, uint16_t(layout.recordLength));
    if (layout.level == TableLevel::FoxPro)
        p[28] = uchar((productionIndex ? 0x01 : 0) | (memo ? 0x02 : 0));
    else
        p[28] = productionIndex ? 0x01 : 0x00;
    p[29] = kLanguageDriver1251;

    int pos = first;
    for (const FieldLayout &f : layout.fields) {
        uchar *d = p + pos;
        const QByteArray name = ToCp1251(f.name.toUpper()).left(db7 ? 31 : 10);
        std::memcpy(d, name.constData(), size_t(name.size()));
        const bool indexed = productionIndex && indexedFields.contains(f.name.toUpper());
        if (db7) {
            d[32] = uchar(f.type);
            d[33] = uchar(f.width);
            d[34] = uchar(f.decimals);
            d[37] = indexed ? 1 : 0;
        } else {
            d[11] = uchar(f.type);
            if (layout.level == TableLevel::FoxPro)
                WriteLE32(d + 12, uint32_t(f.offset));
            d[16] = uchar(f.width);
            d[17] = uchar(f.decimals);
            if (layout.level == TableLevel::DBase4)
                d[31] = indexed ? 1 : 0;
        }
        pos += descSize;
    }
    p[pos] = 0x0D;
    return out;
}

RecordLayout MakeLayout(const QVector<FieldDef> &defs, TableLevel level, bool memory,
                        const QString &tableName)
{
    auto fail = [&](const QString &what) -> void {
        throw TableError(QStringLiteral("Таблица «%1»: %2").arg(tableName, what));
    };
    RecordLayout layout;
    layout.level = level;
    if (defs.isEmpty())
        fail(QStringLiteral("не заданы поля"));
    const int maxName = (memory || level == TableLevel::DBase7) ? 31 : 10;
    int offset = 1;
    for (const FieldDef &def : defs) {
        FieldLayout f;
        f.name = def.name.toUpper();
        f.type = char(QChar::fromLatin1(def.type).toUpper().toLatin1());
        f.width = def.width;
        f.decimals = def.decimals;
        bool nameOk = !f.name.isEmpty() && f.name.size() <= maxName && f.name.at(0).isLetter();
        for (QChar c : f.name)
            nameOk = nameOk && ((c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_');
        if (!nameOk)
            fail(QStringLiteral("недопустимое имя поля «%1»").arg(def.name));
        if (layout.indexOf(f.name) >= 0)
            fail(QStringLiteral("поле %1 задано дважды").arg(f.name));
        if (!CanCreate(f.type, level, memory))
            fail(QStringLiteral("поле %1: тип %2 недоступен на уровне %3")
                     .arg(f.name).arg(QLatin1Char(f.type)).arg(LevelName(level)));
        const int fixed = FixedWidth(f.type, level);
        if (f.width == 0)
            f.width = fixed;
        bool widthOk;
        switch (f.type) {
        case 'C': widthOk = f.width >= 1 && f.width <= 254; break;
        case 'N': case 'F':
            widthOk = f.width >= 1 && f.width <= 20 && f.decimals >= 0
                      && (f.decimals == 0 || f.decimals <= f.width - 2);
            break;
        case 'M': widthOk = f.width == 10 || (f.width == 4 && (memory || level == TableLevel::FoxPro)); break;
        default: widthOk = f.width == fixed; break;
        }
        if (f.type != 'N' && f.type != 'F')
            widthOk = widthOk && f.decimals == 0;
        if (!widthOk)
            fail(QStringLiteral("поле %1 типа %2: недопустимая ширина %3.%4")
                     .arg(f.name).arg(QLatin1Char(f.type)).arg(f.width).arg(f.decimals));
        f.offset = offset;
        offset += f.width;
        layout.fields.append(f);
    }
    layout.recordLength = offset;
    if (offset > (level == TableLevel::DBase7 ? 32767 : 65500))
        fail(QStringLiteral("запись длиной %1 байт слишком длинна").arg(offset));
    if (!memory && layout.fields.size() > (level == TableLevel::DBase7 ? 1024 : 255))
        fail(QStringLiteral("слишком много полей (%1)").arg(layout.fields.size()));
    return layout;
}

} // namespace vel::dbf
