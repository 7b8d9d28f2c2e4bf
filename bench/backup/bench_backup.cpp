// The backup archive of a large data folder against Info-ZIP's "zip -r" (deflate level 6)
// on the same folder in the same run: time and archive size of each, and their ratio.
//
//   bench_backup [data-folder] [--reps N]
//
// Without a folder, the 100 000-patient / 300 000-test data set is made in a temporary
// folder (without its index files, as a close leaves it): by velmora-gendata when it is
// built, else by the stand-in below, which writes files of the same layout and about the
// same size (fixed-width code-page-1251 records, FoxPro memo blocks of raw test data). Each side runs N times (3 by default), alternating; the best
// wall time of each counts, as the machine is shared. The first archive must pass unzip -t.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

#include "store/backup/backup_archive.h"
#include "common/text.h"

using namespace vel;

namespace {

constexpr int Patients = 100000;
constexpr int Tests = 300000;

QByteArray field(const QString &text, int width)
{
    QByteArray b = ToCp1251(text).left(width);
    return b + QByteArray(width - b.size(), ' ');
}

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char(v >> (8 * i));
    return b;
}

QByteArray be32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[3 - i] = char(v >> (8 * i));
    return b;
}

// A table file: a header of the given size, then the records, then the end mark.
bool writeTable(const QString &path, int headerSize, int records, const std::function<QByteArray(int)> &record)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray header(headerSize, '\0');
    header[0] = 0x04;
    header.replace(4, 4, le32(quint32(records)));
    f.write(header);
    QByteArray chunk;
    for (int i = 0; i < records; ++i) {
        chunk += record(i);
        if (chunk.size() > (1 << 20)) {
            f.write(chunk);
            chunk.clear();
        }
    }
    chunk += '\x1a';
    return f.write(chunk) == chunk.size();
}

// The stand-in data set: patients.dbf (+ .dbt), Psy.dbf, Psy.fpt, velmora.ini.
bool makeStandIn(const QString &folder)
{
    QDir().mkpath(folder);
    QRandomGenerator gen(2024);
    auto pick = [&gen](const QStringList &l) { return l.at(int(gen.bounded(quint32(l.size())))); };
    const QStringList surnames{"Иванов", "Петров", "Сидоров", "Кузнецов", "Смирнов", "Попов",
                               "Васильев", "Соколов", "Михайлов", "Новиков", "Фёдоров", "Морозов"};
    const QStringList names{"Иван", "Пётр", "Алексей", "Дмитрий", "Сергей", "Андрей", "Михаил"};
    const QStringList fathers{"Иванович", "Петрович", "Сергеевич", "Алексеевич", "Андреевич"};
    const QStringList streets{"ул. Ленина", "пр. Мира", "ул. Садовая", "ул. Школьная", "ул. Гагарина"};
    auto date = [&gen](int y0, int y1) {
        return QByteArray::number(y0 + int(gen.bounded(quint32(y1 - y0 + 1))))
            + QByteArray::number(101 + gen.bounded(12u)).right(2)
            + QByteArray::number(101 + gen.bounded(28u)).right(2);
    };
    auto digits = [&gen](int n) {
        QByteArray b;
        for (int i = 0; i < n; ++i)
            b += char('0' + gen.bounded(10u));
        return b;
    };

    // patients.dbf: 17 fields, 328-byte records.
    const bool people = writeTable(folder + "/patients.dbf", 32 * 18 + 1, Patients, [&](int i) {
        QByteArray r = " " + be32(quint32(i + 1) | 0x80000000u);
        r += field(pick(surnames) + ' ' + pick(names) + ' ' + pick(fathers), 60);
        r += field(gen.bounded(2u) ? "м" : "ж", 1) + date(2005, 2018);
        r += field(QStringLiteral("г. Заречный, %1, д. %2, кв. %3").arg(pick(streets))
                       .arg(gen.bounded(1u, 200u)).arg(gen.bounded(1u, 300u)), 80);
        r += digits(11) + digits(16) + field("II-АБ " + QString::fromLatin1(digits(6)), 15);
        r += QByteArray(10, ' ') + QByteArray(80, ' ') + QByteArray(8, ' ') + QByteArray(10, ' ');
        r += le32(0) + le32(1) + le32(0) + QByteArray(8, ' ') + le32(0);
        return r;
    });
    QFile dbt(folder + "/patients.dbt");
    const bool memo = dbt.open(QIODevice::WriteOnly) && dbt.write(QByteArray(512, '\0')) == 512;

    // Psy.dbf: 6 fields, 120-byte records; Psy.fpt: 64-byte blocks of DATAPSY texts.
    QFile fpt(folder + "/Psy.fpt");
    if (!fpt.open(QIODevice::WriteOnly))
        return false;
    QByteArray fptHeader(512, '\0');
    fptHeader.replace(6, 2, QByteArray("\x00\x40", 2));
    fpt.write(fptHeader);
    quint32 nextBlock = 512 / 64;
    QByteArray memoChunk;
    const bool tests = writeTable(folder + "/Psy.dbf", 32 * 7 + 1, Tests, [&](int) {
        const bool choice = gen.bounded(10u) < 7;
        const int n = choice ? 10 : 30;
        QByteArray text = choice ? "1000\r\n1000\r\n" : "1350\r\n1800\r\n";
        text += QByteArray::number(n) + "\r\n" + QByteArray::number(n) + "\r\n";
        for (int k = 0; k < n; ++k) {
            text += choice ? (gen.bounded(2u) ? "SL\r\n" : "SR\r\n") : (gen.bounded(2u) ? "SL_\r\n" : "SR_\r\n");
            text += QByteArray::number(choice ? 1150 + gen.bounded(200u, 700u) : gen.bounded(0u, 400u)) + "\r\n";
            text += QByteArray::number(choice ? 3150 : gen.bounded(0u, 400u)) + "\r\n";
        }
        QByteArray block = be32(1) + be32(quint32(text.size())) + text;
        block += QByteArray((64 - block.size() % 64) % 64, '\0');
        const quint32 at = nextBlock;
        nextBlock += quint32(block.size() / 64);
        memoChunk += block;
        if (memoChunk.size() > (1 << 20)) {
            fpt.write(memoChunk);
            memoChunk.clear();
        }
        QByteArray r = " " + QByteArray::number(gen.bounded(1u, quint32(Patients))).rightJustified(9, ' ');
        r += date(2019, 2024) + le32(at);
        r += field(choice ? "Тест реакции выбора" : "Реакция на движ.объект", 30);
        r += field(gen.bounded(4u) ? "Норма" : "Снижение скорости реакции", 60);
        r += QByteArray::number(10 + gen.bounded(8u)) + ":" + QByteArray::number(10 + gen.bounded(50u))
             + ":" + QByteArray::number(10 + gen.bounded(50u));
        return r;
    });
    fpt.write(memoChunk);
    fpt.seek(0);
    fpt.write(be32(nextBlock));
    QFile ini(folder + "/velmora.ini");
    const bool settings = ini.open(QIODevice::WriteOnly)
        && ini.write(ToCp1251("[Общие настройки]\r\nНаименование учреждения = Школа № 5\r\n")) > 0;
    return people && memo && tests && settings;
}

double cpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

qint64 folderBytes(const QString &folder)
{
    qint64 total = 0;
    for (const QFileInfo &fi : QDir(folder).entryInfoList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
        total += fi.isDir() ? folderBytes(fi.filePath()) : fi.size();
    return total;
}

struct Best {
    double wall = 1e9;
    double cpu = 0;
    qint64 size = 0;
    void take(double w, double c, qint64 s)
    {
        if (w < wall) {
            wall = w;
            cpu = c;
        }
        size = s;
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int reps = 3;
    if (const qsizetype at = args.indexOf("--reps"); at >= 0 && at + 1 < args.size()) {
        reps = std::max(1, args.at(at + 1).toInt());
        args.remove(at, 2);
    }

    QTemporaryDir work;
    if (!work.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    QString data = args.value(0);
    if (data.isEmpty()) {
        data = work.filePath("Data");
        const QString gendata = QStringLiteral(VELMORA_BINARY_DIR "/tools/velmora-gendata");
        QElapsedTimer t;
        t.start();
        if (QFileInfo(gendata).isExecutable()) {
            std::printf("data set: velmora-gendata, %d patients, %d tests\n", Patients, Tests);
            const int rc = QProcess::execute(gendata, {data, "--patients", QString::number(Patients),
                                                       "--tests", QString::number(Tests)});
            if (rc != 0) {
                std::fprintf(stderr, "velmora-gendata failed (%d)\n", rc);
                return 1;
            }
        } else {
            std::printf("data set: stand-in generator, %d patients, %d tests (velmora-gendata not built)\n",
                        Patients, Tests);
            if (!makeStandIn(data)) {
                std::fprintf(stderr, "cannot write the data set\n");
                return 1;
            }
        }
        // A close archives the folder after deleting its index files.
        for (const QString &name : QDir(data).entryList({"*.mdx"}, QDir::Files))
            QFile::remove(QDir(data).filePath(name));
        std::printf("  made in %.1f s\n", t.elapsed() / 1000.0);
    }
    const QFileInfo dataInfo(data);
    if (!dataInfo.isDir()) {
        std::fprintf(stderr, "no folder %s\n", qPrintable(data));
        return 1;
    }
    std::printf("folder: %s, %.1f MB in %lld files\n", qPrintable(dataInfo.absoluteFilePath()),
                folderBytes(data) / 1e6,
                qlonglong(QDir(data).entryList(QDir::Files | QDir::Hidden).size()));

    const QString backup = work.filePath("Backup");
    QDir().mkpath(backup);
    const QString zipOut = work.filePath("info-zip.zip");
    Best ours, infoZip;
    for (int rep = 0; rep < reps; ++rep) {
        QElapsedTimer t;
        double c0 = cpuSeconds(RUSAGE_SELF);
        t.start();
        const ArchiveResult r = WriteBackupArchive({{data, dataInfo.fileName()}}, backup,
                                                   QStringLiteral("2000-01-01_00-00-%1").arg(rep, 2, 10, QChar('0')));
        const double wall = t.nsecsElapsed() / 1e9;
        if (r.code != 0) {
            std::fprintf(stderr, "archive failed: %d %s\n", r.code, qPrintable(r.reason));
            return 1;
        }
        ours.take(wall, cpuSeconds(RUSAGE_SELF) - c0, QFileInfo(r.archivePath).size());
        if (rep == 0 && QProcess::execute("unzip", {"-tqq", r.archivePath}) != 0) {
            std::fprintf(stderr, "unzip -t finds the archive damaged\n");
            return 1;
        }
        QFile::remove(r.archivePath);

        QFile::remove(zipOut);
        QProcess zip;
        zip.setWorkingDirectory(dataInfo.absolutePath());
        c0 = cpuSeconds(RUSAGE_CHILDREN);
        t.restart();
        zip.start("zip", {"-r", "-q", zipOut, dataInfo.fileName()});
        if (!zip.waitForFinished(-1) || zip.exitCode() != 0) {
            std::fprintf(stderr, "zip -r failed: %s\n", qPrintable(zip.errorString()));
            return 1;
        }
        infoZip.take(t.nsecsElapsed() / 1e9, cpuSeconds(RUSAGE_CHILDREN) - c0, QFileInfo(zipOut).size());
        std::printf("  run %d: archive %.2f s, zip -r %.2f s\n", rep + 1, wall, t.nsecsElapsed() / 1e9);
    }

    std::printf("backup archive (libzip, deflate %d): %.2f s wall, %.2f s cpu, %.2f MB\n",
                BackupCompressionLevel, ours.wall, ours.cpu, ours.size / 1e6);
    std::printf("zip -r (Info-ZIP, deflate 6):        %.2f s wall, %.2f s cpu, %.2f MB\n",
                infoZip.wall, infoZip.cpu, infoZip.size / 1e6);
    const double ratio = ours.wall / infoZip.wall;
    std::printf("time ratio archive / zip -r: %.2f (target at most 1.0) %s\n", ratio, ratio <= 1.0 ? "met" : "MISSED");
    std::printf("cpu ratio archive / zip -r: %.2f\n", ours.cpu / infoZip.cpu);
    std::printf("size ratio archive / zip -r: %.3f\n", double(ours.size) / double(infoZip.size));
    return 0;
}
