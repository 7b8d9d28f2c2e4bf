#include "tools/dbftool/dbftool.h"

#include "common/text.h"
#include "store/database.h"
#include "store/index/mdxfile.h"
#include "store/dbf/codec.h"
#include "store/dbf/store.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace vel {

using namespace dbf;

namespace {

std::shared_ptr<TableStore> OpenForReading(const QString &path)
{
    OpenRequest request;
    request.path = QFileInfo(path).absoluteFilePath();
    request.writable = false;
    request.create = false;
    return TableStore::openFile(request);
}

QString Escape(QString s)
{
    s.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    s.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    s.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    s.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return s;
}

QString ShowValue(const QVariant &v)
{
    if (v.isNull())
        return QString();
    switch (v.typeId()) {
    case QMetaType::QDate: return v.toDate().toString(Qt::ISODate);
    case QMetaType::QDateTime: return v.toDateTime().toString(Qt::ISODate);
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("T") : QStringLiteral("F");
    default: return v.toString();
    }
}

QString MemoKindName(MemoKind kind)
{
    switch (kind) {
    case MemoKind::DBase3: return QStringLiteral("dBASE III .dbt");
    case MemoKind::DBase4: return QStringLiteral("dBASE IV/7 .dbt");
    case MemoKind::FoxPro: return QStringLiteral("FoxPro .fpt");
    case MemoKind::None: break;
    }
    return QStringLiteral("none");
}

// The .mdx against the records: every tag must hold the records a tag built from them
// holds, in the same order. Returns the number of faults.
int CheckIndexFile(TableStore &store, QTextStream &out)
{
    const QString path = store.indexPath();
    if (!QFileInfo::exists(path)) {
        out << "no index file " << path << (store.header().productionIndex ? " (the table says it has one)" : "") << '\n';
        return 0;
    }
    int faults = 0;
    try {
        const MdxReader reader(path);
        reader.CheckAll();
        for (const MdxTagInfo &info : reader.Tags()) {
            std::unique_ptr<TagIndex> built;
            try {
                built = std::make_unique<TagIndex>(IndexDef{info.name, info.expression, info.unique, false},
                                                   store.layout());
            } catch (const TableError &e) {
                out << "note: tag " << info.name << " (" << info.expression << ") not checked: " << e.message() << '\n';
                continue;
            }
            built->Build(quint32(store.count()), [&store](quint32 r) { return store.record(int(r)); });
            QVector<quint32> want;
            TagCursor c;
            for (bool on = built->First(c); on; on = built->Next(c))
                want << c.recNo();
            QVector<quint32> got;
            for (const MdxEntry &e : reader.Entries(info))
                got << e.recNo;
            if (got != want) {
                out << "FAULT index tag " << info.name << ": " << got.size() << " entries, the records give "
                    << want.size() << (got.size() == want.size() ? " in another order" : "") << '\n';
                ++faults;
            } else {
                out << "tag " << info.name.leftJustified(10) << ' ' << info.expression << (info.unique ? " (unique)" : "")
                    << ": " << got.size() << " entries, in order\n";
            }
        }
    } catch (const TableError &e) {
        out << "FAULT " << e.message() << '\n';
        ++faults;
    }
    return faults;
}

} // namespace

int PrintStructure(const QString &path, QTextStream &out)
{
    const auto store = OpenForReading(path);
    const DbfHeader &h = store->header();
    out << "table        " << store->path() << '\n'
        << "level        " << LevelName(h.level) << " (version byte 0x"
        << QString::number(h.version, 16).rightJustified(2, QLatin1Char('0')) << ")\n"
        << "language     0x" << QString::number(h.languageDriver, 16).rightJustified(2, QLatin1Char('0'))
        << (h.languageDriver == kLanguageDriver1251 ? " (code page 1251)" : "")
        << (h.languageDriverName.isEmpty() ? QString() : QStringLiteral(" \"%1\"").arg(QString::fromLatin1(h.languageDriverName)))
        << '\n'
        << "last change  " << (h.lastUpdate.isValid() ? h.lastUpdate.toString(Qt::ISODate) : QStringLiteral("-")) << '\n'
        << "records      " << store->count() << " (header says " << h.recordCount << ")\n"
        << "header       " << h.headerLength << " bytes, record " << h.recordLength << " bytes\n"
        << "memo         " << MemoKindName(h.memoKind);
    if (h.memoKind != MemoKind::None)
        out << ", " << store->memoPath();
    out << '\n' << "index flag   " << (h.productionIndex ? "production index" : "none") << '\n'
        << "fields       " << h.layout.fields.size() << '\n';
    for (const FieldLayout &f : h.layout.fields)
        out << "  " << f.name.leftJustified(20) << ' ' << QLatin1Char(f.type) << ' '
            << QString::number(f.width).rightJustified(4) << ' ' << QString::number(f.decimals).rightJustified(2)
            << "  at " << f.offset << '\n';
    return 0;
}

int DumpRecords(const QString &path, QTextStream &out)
{
    const auto store = OpenForReading(path);
    const RecordLayout &layout = store->layout();
    QStringList names{QStringLiteral("#"), QStringLiteral("DEL")};
    for (const FieldLayout &f : layout.fields)
        names << f.name;
    out << names.join(QLatin1Char('\t')) << '\n';
    for (int r = 1; r <= store->count(); ++r) {
        const uchar *rec = store->record(r);
        QStringList cells{QString::number(r), rec[0] == '*' ? QStringLiteral("*") : QString()};
        for (int i = 0; i < layout.fields.size(); ++i) {
            const FieldLayout &f = layout.fields[i];
            QString cell;
            if (IsMemoType(f.type) && !(f.type == 'B' && f.width == 8)) {
                try {
                    cell = FromCp1251(store->memo(i, rec));
                } catch (const TableError &e) {
                    cell = QStringLiteral("<%1>").arg(e.message());
                }
            } else {
                cell = ShowValue(DecodeField(f, layout.level, rec));
            }
            cells << Escape(cell);
        }
        out << cells.join(QLatin1Char('\t')) << '\n';
    }
    return 0;
}

int CheckTable(const QString &path, QTextStream &out)
{
    std::shared_ptr<TableStore> store;
    try {
        store = OpenForReading(path);
    } catch (const TableError &e) {
        out << "FAULT " << e.message() << '\n';
        return 1;
    }
    int faults = 0;
    const auto fault = [&](int recNo, const QString &what) {
        out << "FAULT record " << recNo << ": " << what << '\n';
        ++faults;
    };
    const RecordLayout &layout = store->layout();
    if (store->count() != int(store->header().recordCount))
        out << "note: the header counts " << store->header().recordCount << " records; "
            << store->count() << " whole records are in the file\n";
    for (int r = 1; r <= store->count(); ++r) {
        const uchar *rec = store->record(r);
        if (rec[0] != ' ' && rec[0] != '*')
            fault(r, QStringLiteral("deletion flag 0x%1").arg(rec[0], 2, 16, QLatin1Char('0')));
        for (int i = 0; i < layout.fields.size(); ++i) {
            const FieldLayout &f = layout.fields[i];
            if (IsMemoType(f.type) && !(f.type == 'B' && f.width == 8)) {
                const uchar *p = rec + f.offset;
                const bool blank = f.width == 10 ? QByteArray(reinterpret_cast<const char *>(p), 10).trimmed().isEmpty()
                                                 : ReadLE32(p) == 0;
                const uint32_t block = MemoBlock(f, rec);
                if (!blank && block == 0)
                    fault(r, QStringLiteral("%1: the memo block number is garbled").arg(f.name));
                else if (block != 0) {
                    try {
                        (void)store->memo(i, rec);
                    } catch (const TableError &e) {
                        fault(r, QStringLiteral("%1: %2").arg(f.name, e.message()));
                    }
                }
                continue;
            }
            // Other programs write an empty date as zeros and an empty number as stars.
            const QByteArray raw(reinterpret_cast<const char *>(rec + f.offset), f.width);
            const bool empty = raw.trimmed().isEmpty() || (f.type == 'D' && raw == "00000000")
                               || ((f.type == 'N' || f.type == 'F') && raw.count('*') == raw.size());
            if ((f.type == 'D' || f.type == 'N' || f.type == 'F') && !empty
                && DecodeField(f, layout.level, rec).isNull())
                fault(r, QStringLiteral("%1: \"%2\" is not a value of type %3")
                             .arg(f.name, FromCp1251(reinterpret_cast<const char *>(rec + f.offset), f.width))
                             .arg(QLatin1Char(f.type)));
            if (f.type == 'L' && !QByteArrayView("TtYyFfNn? ").contains(char(rec[f.offset])))
                fault(r, QStringLiteral("%1: logical byte 0x%2").arg(f.name).arg(rec[f.offset], 2, 16, QLatin1Char('0')));
        }
    }
    out << store->count() << " records checked, " << faults << (faults == 1 ? " fault\n" : " faults\n");
    faults += CheckIndexFile(*store, out);
    return faults == 0 ? 0 : 1;
}

int RebuildIndexes(const QString &path, QTextStream &out)
{
    // The tags of the old file are kept (ProductionIndex reads them); the system's own
    // tables get their defined tags even when the file is gone.
    const QString absolute = QFileInfo(path).absoluteFilePath();
    OpenRequest request;
    request.path = absolute;
    request.writable = true;
    request.indexes = SystemIndexDefs(QFileInfo(absolute).fileName());
    const auto store = TableStore::openFile(request);
    store->attach();
    for (const QString &note : store->indexNotes())
        out << "note: " << note << '\n';
    const QStringList tags = store->tagNames();
    if (tags.isEmpty())
        out << "no tags to build: the table has no index file and is not one of the system's tables\n";
    else
        out << "built " << store->indexPath() << ": " << tags.join(QLatin1String(", ")) << " over "
            << store->count() << " records\n";
    store->detach();
    return 0;
}

} // namespace vel
