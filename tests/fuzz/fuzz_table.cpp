// Opening and reading a table with its memo and index files, and writing to it, on
// arbitrary file contents. Input: one byte of options, then the .dbf, the memo file and
// the rest as the .mdx, the first two each behind a 16-bit little-endian length.
//   options bit 0: the memo file is a FoxPro .fpt (else a .dbt)
//   options bit 1: open for writing and append, edit and delete a record
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdlib>
#include <unistd.h>

#include "store/table.h"

namespace {

QByteArray Part(const uint8_t *&p, const uint8_t *end)
{
    if (end - p < 2) {
        p = end;
        return QByteArray();
    }
    const size_t length = size_t(p[0]) | size_t(p[1]) << 8;
    p += 2;
    const size_t n = std::min(length, size_t(end - p));
    QByteArray out(reinterpret_cast<const char *>(p), qsizetype(n));
    p += n;
    return out;
}

void Write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

const QString &WorkDir()
{
    static const QString dir = [] {
        QByteArray templ = QDir::tempPath().toLocal8Bit() + "/fuzz_table.XXXXXX";
        if (!mkdtemp(templ.data()))
            std::abort();
        return QString::fromLocal8Bit(templ);
    }();
    return dir;
}

void ReadEverything(vel::Table &t)
{
    const auto fields = t.fields();
    for (bool ok = t.first(); ok && !t.eof(); ok = t.next()) {
        for (const vel::FieldDef &f : fields) {
            try {
                (void)t.value(f.name);
                (void)t.asString(f.name);
                (void)t.memoText(f.name);
            } catch (const vel::TableError &) {
                // a damaged memo block is reported, the walk goes on
            }
        }
    }
    (void)t.exactRecordCount();
    if (!fields.isEmpty()) {
        try {
            t.setFilter(QStringLiteral("%1=%1").arg(fields.first().name));
            (void)t.findLast();
            (void)t.findPrior();
        } catch (const vel::TableError &) {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t options = data[0];
    const uint8_t *p = data + 1, *end = data + size;
    const QByteArray dbf = Part(p, end);
    const QByteArray memo = Part(p, end);
    const QByteArray mdx(reinterpret_cast<const char *>(p), qsizetype(end - p));

    const QString dir = WorkDir();
    QFile::remove(dir + "/t.dbt");
    QFile::remove(dir + "/t.fpt");
    Write(dir + "/t.dbf", dbf);
    Write(dir + ((options & 1) ? "/t.fpt" : "/t.dbt"), memo);
    Write(dir + "/t.mdx", mdx);

    vel::Table t;
    t.setFolder(dir);
    t.setTableName(QStringLiteral("t.dbf"));
    t.setOpenMode(vel::OpenMode::Normal);
    t.setReadOnly(!(options & 2));
    try {
        t.open();
        ReadEverything(t);
        if (options & 2) {
            t.setFilter(QString());
            const bool had = t.first();
            t.append();
            t.post();
            if (had && t.first()) {
                t.edit();
                t.post();
                t.deleteRecord();
            }
            t.refresh();
            ReadEverything(t);
        }
        t.close();
    } catch (const vel::TableError &) {
    }
    return 0;
}
