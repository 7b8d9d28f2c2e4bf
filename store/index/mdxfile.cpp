#include "store/index/mdxfile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cstring>

#include "common/text.h"
#include "store/index/mdxkeys.h"
#include "store/defs/tabledefs.h"

namespace vel {

namespace {

constexpr qint64 kMaxFileSize = qint64(1) << 31;

} // namespace

MdxReader::MdxReader(const QString &path) : m_name(QFileInfo(path).fileName())
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TableError(QStringLiteral("Не удаётся открыть индексный файл %1: %2.")
                             .arg(path, file.errorString()));
    if (file.size() > kMaxFileSize)
        Fail(QStringLiteral("файл слишком велик"));
    m_bytes = file.readAll();
    if (m_bytes.size() != file.size())
        throw TableError(QStringLiteral("Не удаётся прочитать индексный файл %1: %2.")
                             .arg(path, file.errorString()));
    Parse();
}

MdxReader::MdxReader(const QByteArray &bytes, const QString &name) : m_bytes(bytes), m_name(name)
{
    Parse();
}

void MdxReader::Fail(const QString &what) const
{
    throw TableError(QStringLiteral("Индексный файл %1 повреждён: %2.").arg(m_name, what));
}

void MdxReader::Parse()
{
    const qsizetype size = m_bytes.size();
    const uchar *b = reinterpret_cast<const uchar *>(m_bytes.constData());
    if (size < mdx::kHeaderPages * mdx::kPage)
        Fail(QStringLiteral("он короче своего заголовка"));
    const int factor = qFromLittleEndian<qint16>(b + 20);
    m_blockSize = qFromLittleEndian<qint16>(b + 22);
    if (factor < 1 || factor > 32 || m_blockSize != factor * mdx::kPage)
        Fail(QStringLiteral("неверный размер блока"));
    if (b[26] != mdx::kTagEntry)
        Fail(QStringLiteral("неверная длина записи о теге"));
    const int tagCount = qFromLittleEndian<qint16>(b + 28);
    if (tagCount < 0 || tagCount > mdx::kMaxTags || tagCount > b[25])
        Fail(QStringLiteral("неверное число тегов"));
    m_pageCount = qFromLittleEndian<quint32>(b + 32);

    for (int i = 0; i < tagCount; ++i) {
        const uchar *e = b + mdx::kTagTable + i * mdx::kTagEntry;
        MdxTagInfo t;
        t.headerPage = qFromLittleEndian<quint32>(e);
        int nameLength = 0;
        while (nameLength <= mdx::kMaxTagName && e[4 + nameLength] != 0)
            ++nameLength;
        t.name = QString::fromLatin1(reinterpret_cast<const char *>(e + 4), nameLength).trimmed();
        if (t.name.isEmpty() || nameLength > mdx::kMaxTagName)
            Fail(QStringLiteral("неверное имя тега %1").arg(i + 1));
        if (t.headerPage < quint32(mdx::kHeaderPages)
            || qint64(t.headerPage) * mdx::kPage + mdx::kPage > size)
            Fail(QStringLiteral("заголовок тега %1 вне файла").arg(t.name));

        const uchar *h = b + qint64(t.headerPage) * mdx::kPage;
        t.rootPage = qFromLittleEndian<quint32>(h);
        t.descending = h[8] & 0x08;
        t.keyType = char(h[9]);
        t.keyLength = qFromLittleEndian<qint16>(h + 12);
        t.keysPerBlock = qFromLittleEndian<qint16>(h + 14);
        t.itemLength = qFromLittleEndian<qint16>(h + 18);
        t.unique = h[23] != 0 || (h[8] & 0x40);
        const bool lengthFits = (t.keyType == 'C' && t.keyLength >= 1 && t.keyLength <= mdx::kMaxKeyLength)
                                || (t.keyType == 'N' && t.keyLength == kMdxNumberKeyLength)
                                || (t.keyType == 'D' && t.keyLength == kMdxDateKeyLength);
        if (!lengthFits)
            Fail(QStringLiteral("неверный ключ тега %1").arg(t.name));
        if (t.itemLength < t.keyLength + 4 || t.keysPerBlock < 1
            || 12 + qint64(t.keysPerBlock) * t.itemLength > m_blockSize)
            Fail(QStringLiteral("неверная длина элемента тега %1").arg(t.name));

        // The expressions are zero-terminated within the header page.
        auto text = [&](int offset, int most) {
            int n = 0;
            while (n < most && offset + n < mdx::kPage && h[offset + n] != 0)
                ++n;
            return FromCp1251(reinterpret_cast<const char *>(h + offset), n).trimmed();
        };
        t.expression = text(mdx::kTagExpression, mdx::kMaxExpression);
        if (t.expression.isEmpty())
            Fail(QStringLiteral("пустое выражение тега %1").arg(t.name));
        if (h[245] != 0 && qint64(t.headerPage) * mdx::kPage + mdx::kTagForExpression + mdx::kMaxExpression <= size)
            t.forExpression = FromCp1251(
                reinterpret_cast<const char *>(h + mdx::kTagForExpression),
                int(std::find(h + mdx::kTagForExpression, h + mdx::kTagForExpression + mdx::kMaxExpression, 0)
                    - (h + mdx::kTagForExpression))).trimmed();
        m_tags << t;
    }
}

const MdxTagInfo *MdxReader::Tag(const QString &name) const
{
    for (const MdxTagInfo &t : m_tags)
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

MdxNode MdxReader::ReadNode(const MdxTagInfo &tag, quint32 page) const
{
    const qint64 offset = qint64(page) * mdx::kPage;
    if (page < quint32(mdx::kHeaderPages) || offset + m_blockSize > m_bytes.size())
        Fail(QStringLiteral("блок %1 тега %2 вне файла").arg(page).arg(tag.name));
    const uchar *p = reinterpret_cast<const uchar *>(m_bytes.constData()) + offset;
    const quint32 count = qFromLittleEndian<quint32>(p);
    const quint32 most = quint32((m_blockSize - 12) / tag.itemLength);
    if (count > most)
        Fail(QStringLiteral("в блоке %1 тега %2 слишком много ключей").arg(page).arg(tag.name));
    MdxNode node;
    const uchar *after = p + 8 + count * quint32(tag.itemLength);
    node.leaf = qFromLittleEndian<quint32>(after) == 0;
    for (quint32 i = 0; i < count; ++i) {
        const uchar *item = p + 8 + i * quint32(tag.itemLength);
        node.pointers.push_back(qFromLittleEndian<quint32>(item));
        node.keys.emplace_back(reinterpret_cast<const char *>(item + 4), tag.keyLength);
    }
    if (!node.leaf)
        node.pointers.push_back(qFromLittleEndian<quint32>(after));
    for (quint32 pointer : node.pointers)
        if (pointer == 0)
            Fail(QStringLiteral("пустая ссылка в блоке %1 тега %2").arg(page).arg(tag.name));
    return node;
}

int MdxReader::CompareKeys(const MdxTagInfo &tag, const QByteArray &a, const QByteArray &b) const
{
    int order;
    if (tag.keyType == 'C') {
        order = std::memcmp(a.constData(), b.constData(), size_t(tag.keyLength));
    } else {
        uchar x[8], y[8];
        FromMdxKey(tag.keyType, reinterpret_cast<const uchar *>(a.constData()), tag.keyLength, x);
        FromMdxKey(tag.keyType, reinterpret_cast<const uchar *>(b.constData()), tag.keyLength, y);
        order = std::memcmp(x, y, 8);
    }
    return tag.descending ? -order : order;
}

void MdxReader::Walk(const MdxTagInfo &tag, quint32 page, int depth, const QByteArray *low,
                     const QByteArray *high, std::vector<char> &seen, QVector<MdxEntry> &out) const
{
    if (depth > 32)
        Fail(QStringLiteral("дерево тега %1 слишком глубоко").arg(tag.name));
    const MdxNode node = ReadNode(tag, page);   // the page lies in the file: `seen` has it
    if (seen[page])
        Fail(QStringLiteral("блок %1 тега %2 встречается дважды").arg(page).arg(tag.name));
    seen[page] = 1;
    for (const QByteArray &key : node.keys) {
        if ((low && CompareKeys(tag, key, *low) < 0) || (high && CompareKeys(tag, key, *high) > 0))
            Fail(QStringLiteral("ключи блока %1 тега %2 не по порядку").arg(page).arg(tag.name));
    }
    if (node.leaf) {
        for (size_t i = 0; i < node.keys.size(); ++i) {
            if (!out.isEmpty() && CompareKeys(tag, node.keys[i], out.last().key) < 0)
                Fail(QStringLiteral("ключи блока %1 тега %2 не по порядку").arg(page).arg(tag.name));
            out.append({node.keys[i], node.pointers[i]});
        }
        return;
    }
    for (size_t i = 0; i < node.pointers.size(); ++i) {
        const QByteArray *childLow = i > 0 ? &node.keys[i - 1] : low;
        const QByteArray *childHigh = i < node.keys.size() ? &node.keys[i] : high;
        Walk(tag, node.pointers[i], depth + 1, childLow, childHigh, seen, out);
    }
}

QVector<MdxEntry> MdxReader::Entries(const MdxTagInfo &tag) const
{
    QVector<MdxEntry> out;
    std::vector<char> seen(size_t(m_bytes.size() / mdx::kPage) + 1, 0);
    Walk(tag, tag.rootPage, 0, nullptr, nullptr, seen, out);
    return out;
}

void MdxReader::CheckAll() const
{
    for (const MdxTagInfo &t : m_tags)
        Entries(t);
}

} // namespace vel
