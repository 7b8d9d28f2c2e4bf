#include "store/index/productionindex.h"

#include <QDate>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <cstring>

#include "common/text.h"
#include "store/index/mdxfile.h"
#include "store/index/mdxkeys.h"

namespace vel {

namespace {

constexpr int kBlockSize = 1024;
constexpr int kBlockPages = kBlockSize / mdx::kPage;

void PutDate(uchar *at, const QDate &date)
{
    at[0] = uchar(date.year() - 1900);
    at[1] = uchar(date.month());
    at[2] = uchar(date.day());
}

// The expression a tag stores: a case-insensitive tag says how its keys are folded.
QString StoredExpression(const IndexDef &def)
{
    return def.caseInsensitive ? QStringLiteral("LOWER(%1)").arg(def.expression) : def.expression;
}

} // namespace

ProductionIndex::ProductionIndex() = default;

ProductionIndex::~ProductionIndex()
{
    try {
        Close();
    } catch (const TableError &) {
        // Nothing more can be done at destruction; the file was deleted by DropFile().
    }
}

void ProductionIndex::Open(const QString &mdxPath, const QString &tableName, const RecordLayout &layout,
                           const QVector<IndexDef> &defs, quint32 recordCount, const RecordSource &records)
{
    Close();
    m_notes.clear();
    m_path = mdxPath;
    m_tableName = tableName;
    const bool withFile = !mdxPath.isEmpty();

    // Tags another program added to an existing file are kept when their keys can be
    // computed here; a garbled file is replaced.
    QVector<IndexDef> all = defs;
    if (withFile && QFile::exists(mdxPath)) {
        try {
            const MdxReader old(mdxPath);
            for (const MdxTagInfo &t : old.Tags()) {
                bool defined = false;
                for (const IndexDef &d : defs)
                    defined = defined || d.tag.compare(t.name, Qt::CaseInsensitive) == 0;
                if (defined)
                    continue;
                const IndexDef extra{t.name, t.expression, t.unique, false};
                try {
                    if (!t.forExpression.isEmpty() || t.descending)
                        throw TableError(QStringLiteral("условие FOR и обратный порядок не поддерживаются"));
                    const TagIndex probe(extra, layout);
                    all << extra;
                } catch (const TableError &e) {
                    m_notes << QStringLiteral("Тег %1 файла %2 не сохранён: %3")
                                   .arg(t.name, QFileInfo(mdxPath).fileName(), e.message());
                }
            }
        } catch (const TableError &e) {
            m_notes << e.message() + QStringLiteral(" Файл построен заново.");
        }
    }

    for (const IndexDef &d : all) {
        auto tag = std::make_unique<TagIndex>(d, layout, kBlockSize);
        if (withFile) {
            const QString name = QFileInfo(mdxPath).fileName();
            if (d.tag.isEmpty() || d.tag.size() > mdx::kMaxTagName || ToCp1251(d.tag).size() != d.tag.size())
                throw TableError(QStringLiteral("Имя тега \"%1\" не годится для файла %2.").arg(d.tag, name));
            if (MdxKeyLength(tag->KeyType(), tag->KeyLength()) > mdx::kMaxKeyLength
                || ToCp1251(StoredExpression(d)).size() >= mdx::kMaxExpression)
                throw TableError(QStringLiteral("Ключ тега %1 слишком длинный для файла %2.").arg(d.tag, name));
        }
        m_tags.push_back(std::move(tag));
    }
    if (withFile && m_tags.size() > size_t(mdx::kMaxTags))
        throw TableError(QStringLiteral("Слишком много тегов для файла %1.").arg(mdxPath));

    // Pages: the file header, a header block per tag, then the blocks of the trees.
    m_nextPage = withFile ? quint32(mdx::kHeaderPages) : 0;
    m_freePages.clear();
    m_freeChanged = false;
    m_tagHeaderPages.clear();
    m_serial.assign(m_tags.size(), 1);
    for (auto &tag : m_tags) {
        if (withFile) {
            m_tagHeaderPages.push_back(m_nextPage);
            m_nextPage += kBlockPages;
            tag->SetPageAllocator(this);
        }
        tag->BeginBuild(recordCount);
    }
    for (quint32 r = 1; r <= recordCount; ++r) {
        const uchar *record = records(r);
        for (auto &tag : m_tags)
            tag->AddToBuild(r, record);
    }
    for (auto &tag : m_tags)
        tag->FinishBuild();

    if (withFile)
        WriteWholeFile();
    m_open = true;
}

void ProductionIndex::Close()
{
    if (m_file.isOpen()) {
        m_file.flush();
        m_file.close();
    }
    m_tags.clear();
    m_open = false;
}

QVector<IndexDef> ProductionIndex::DefinitionsInFile(const QString &mdxPath, const QVector<IndexDef> &defs)
{
    QVector<IndexDef> out = defs;
    if (!QFile::exists(mdxPath))
        return out;
    try {
        const MdxReader file(mdxPath);
        for (IndexDef &d : out) {
            if (const MdxTagInfo *t = file.Tag(d.tag); t && !d.caseInsensitive) {
                d.expression = t->expression;
                d.unique = t->unique;
            }
        }
    } catch (const TableError &) {
        // Without a readable file the definitions stand.
    }
    return out;
}

TagIndex *ProductionIndex::Tag(const QString &name)
{
    for (auto &t : m_tags)
        if (t->Name().compare(name, Qt::CaseInsensitive) == 0)
            return t.get();
    return nullptr;
}

// ---------------------------------------------------------------- changes

void ProductionIndex::Insert(quint32 recNo, const uchar *record)
{
    for (auto &t : m_tags)
        t->Insert(recNo, record);
    if (!m_deferred)
        Flush();
}

void ProductionIndex::Update(quint32 recNo, const uchar *oldRecord, const uchar *newRecord)
{
    for (auto &t : m_tags)
        t->Update(recNo, oldRecord, newRecord);
    if (!m_deferred)
        Flush();
}

void ProductionIndex::Remove(quint32 recNo, const uchar *record)
{
    for (auto &t : m_tags)
        t->Remove(recNo, record);
    if (!m_deferred)
        Flush();
}

void ProductionIndex::EndDeferredWrites()
{
    if (!m_deferred)
        return;
    m_deferred = false;
    Flush();
}

void ProductionIndex::Clear()
{
    for (auto &t : m_tags)
        t->Clear();
    Flush();
}

quint32 ProductionIndex::AllocatePage()
{
    if (!m_freePages.empty()) {
        const quint32 page = m_freePages.back();
        m_freePages.pop_back();
        m_freeChanged = true;
        return page;
    }
    const quint32 page = m_nextPage;
    m_nextPage += kBlockPages;
    return page;
}

void ProductionIndex::FreePage(quint32 page)
{
    m_freePages.push_back(page);
    m_freeChanged = true;
}

// ---------------------------------------------------------------- the file

// The first four pages: file header and tag table. Tag names also form a binary search
// tree (less, greater and parent entry numbers, from 1) as dBASE keeps them.
QByteArray ProductionIndex::FileHeader() const
{
    QByteArray bytes(mdx::kHeaderPages * mdx::kPage, '\0');
    uchar *b = reinterpret_cast<uchar *>(bytes.data());
    const QDate today = QDate::currentDate();
    b[0] = 2;
    PutDate(b + 1, today);
    const QByteArray name = ToCp1251(QFileInfo(m_tableName).completeBaseName().toUpper()).left(15);
    std::memcpy(b + 4, name.constData(), size_t(name.size()));
    qToLittleEndian(qint16(kBlockPages), b + 20);
    qToLittleEndian(qint16(kBlockSize), b + 22);
    b[24] = 1;                         // production index
    b[25] = mdx::kMaxTags + 1;         // entries in the tag table
    b[26] = mdx::kTagEntry;
    qToLittleEndian(qint16(m_tags.size()), b + 28);
    b[30] = uchar(m_tags.size() + 1);
    b[31] = 0x1B;
    qToLittleEndian(m_nextPage, b + 32);
    qToLittleEndian(m_freePages.empty() ? 0u : m_freePages.back(), b + 36);
    PutDate(b + 44, today);
    b[529] = 1;

    std::vector<int> less(m_tags.size(), 0), greater(m_tags.size(), 0), parent(m_tags.size(), 0);
    for (size_t i = 1; i < m_tags.size(); ++i) {
        const QString n = m_tags[i]->Name().toUpper();
        size_t at = 0;
        for (;;) {
            std::vector<int> &side = n < m_tags[at]->Name().toUpper() ? less : greater;
            if (side[at] == 0) {
                side[at] = int(i) + 1;
                parent[i] = int(at) + 1;
                break;
            }
            at = size_t(side[at] - 1);
        }
    }
    for (size_t i = 0; i < m_tags.size(); ++i) {
        uchar *e = b + mdx::kTagTable + i * mdx::kTagEntry;
        qToLittleEndian(m_tagHeaderPages[i], e);
        const QByteArray tagName = m_tags[i]->Name().toUpper().toLatin1();
        std::memcpy(e + 4, tagName.constData(), size_t(tagName.size()));
        e[15] = 0x10;
        e[16] = uchar(less[i]);
        e[17] = uchar(greater[i]);
        e[18] = uchar(parent[i]);
        e[19] = 0x02;
        e[20] = uchar(m_tags[i]->KeyType());
    }
    return bytes;
}

QByteArray ProductionIndex::TagHeader(const TagIndex &tag) const
{
    QByteArray bytes(kBlockSize, '\0');
    uchar *h = reinterpret_cast<uchar *>(bytes.data());
    const char type = tag.KeyType();
    const int keyLength = MdxKeyLength(type, tag.KeyLength());
    const int item = (keyLength + 4 + 3) / 4 * 4;
    size_t index = 0;
    while (m_tags[index].get() != &tag)
        ++index;
    qToLittleEndian(tag.RootPage(), h);
    qToLittleEndian(quint32(tag.NodeCount() * kBlockPages), h + 4);
    h[8] = uchar(0x10 | (tag.Unique() ? 0x40 : 0));
    h[9] = uchar(type);
    h[11] = 0x1B;
    qToLittleEndian(qint16(keyLength), h + 12);
    qToLittleEndian(qint16(tag.KeysPerNode()), h + 14);
    qToLittleEndian(qint16(type == 'D' ? 1 : 0), h + 16);
    qToLittleEndian(qint16(item), h + 18);
    h[20] = m_serial[index];
    h[23] = tag.Unique() ? 1 : 0;
    const QByteArray expression = ToCp1251(StoredExpression(tag.Definition()));
    std::memcpy(h + mdx::kTagExpression, expression.constData(), size_t(expression.size()));
    h[mdx::kTagHasKeys] = tag.Count() > 0 ? 1 : 0;
    qToLittleEndian(tag.FirstLeafPage(), h + mdx::kTagFirstLeaf);
    qToLittleEndian(tag.LastLeafPage(), h + mdx::kTagLastLeaf);
    PutDate(h + 257, QDate::currentDate());
    // A key of one field alone is marked as such.
    bool oneField = !tag.Definition().caseInsensitive;
    for (const QChar c : tag.Definition().expression.trimmed())
        oneField = oneField && (c.isLetterOrNumber() || c == QLatin1Char('_'));
    h[480] = oneField ? 1 : 0;
    return bytes;
}

void ProductionIndex::WriteWholeFile()
{
    QByteArray image(qsizetype(m_nextPage) * mdx::kPage, '\0');
    const QByteArray header = FileHeader();
    std::memcpy(image.data(), header.constData(), size_t(header.size()));
    for (size_t i = 0; i < m_tags.size(); ++i) {
        TagIndex &tag = *m_tags[i];
        const QByteArray th = TagHeader(tag);
        std::memcpy(image.data() + qint64(m_tagHeaderPages[i]) * mdx::kPage, th.constData(), size_t(th.size()));
        for (int node : tag.AllNodes())
            tag.EncodeNode(node, reinterpret_cast<uchar *>(image.data()) + qint64(tag.NodePage(node)) * mdx::kPage,
                           kBlockSize);
        tag.TakeChangedNodes();
    }
    m_freeChanged = false;

    // Written aside and renamed, so that no reader ever sees half a file.
    QSaveFile out(m_path);
    if (!out.open(QIODevice::WriteOnly) || out.write(image) != image.size() || !out.commit())
        throw TableError(QStringLiteral("Не удаётся записать индексный файл %1: %2.")
                             .arg(m_path, out.errorString()));
    m_file.setFileName(m_path);
    if (!m_file.open(QIODevice::ReadWrite))
        throw TableError(QStringLiteral("Не удаётся открыть индексный файл %1: %2.")
                             .arg(m_path, m_file.errorString()));
}

void ProductionIndex::WriteAt(qint64 offset, const char *data, qint64 size)
{
    if (!m_file.seek(offset) || m_file.write(data, size) != size)
        DropFile(m_file.errorString());
}

// Writes the blocks changed since the last write, the tag headers of the tags that
// changed, the free blocks and the file header.
void ProductionIndex::Flush()
{
    if (!m_file.isOpen()) {
        for (auto &t : m_tags)
            t->TakeChangedNodes();
        return;
    }
    QByteArray block(kBlockSize, '\0');
    uchar *b = reinterpret_cast<uchar *>(block.data());
    for (size_t i = 0; i < m_tags.size(); ++i) {
        TagIndex &tag = *m_tags[i];
        const std::vector<int> changed = tag.TakeChangedNodes();
        if (changed.empty())
            continue;
        for (int node : changed) {
            tag.EncodeNode(node, b, kBlockSize);
            WriteAt(qint64(tag.NodePage(node)) * mdx::kPage, block.constData(), kBlockSize);
        }
        ++m_serial[i];
        const QByteArray th = TagHeader(tag);
        WriteAt(qint64(m_tagHeaderPages[i]) * mdx::kPage, th.constData(), th.size());
    }
    if (m_freeChanged) {
        // Free blocks are chained through bytes 4-7, the newest first.
        for (size_t i = 0; i < m_freePages.size(); ++i) {
            block.fill('\0');
            qToLittleEndian(i > 0 ? m_freePages[i - 1] : 0u, b + 4);
            WriteAt(qint64(m_freePages[i]) * mdx::kPage, block.constData(), kBlockSize);
        }
        m_freeChanged = false;
    }
    const QByteArray header = FileHeader();
    WriteAt(0, header.constData(), header.size());
    if (!m_file.flush())
        DropFile(m_file.errorString());
}

// A file that could not be written is no longer a true index of the table: it is removed
// so that no program uses it, and rebuilt at the next open.
void ProductionIndex::DropFile(const QString &why)
{
    m_file.close();
    QFile::remove(m_path);
    for (auto &t : m_tags) {
        t->TakeChangedNodes();
        t->SetPageAllocator(nullptr);
    }
    throw TableError(QStringLiteral("Не удалось записать индексный файл %1 (%2). Файл удалён, "
                                    "он будет построен заново при следующем открытии таблицы.")
                         .arg(m_path, why));
}

} // namespace vel
