// The pupil-list import and the CSV export on the full register (100 000 patients,
// 300 000 tests; the data set of bench_store, copied so that it stays as it is):
//   bench_transfer [data-folder]   (default: <build>/bench-data/store)
// Prints the export of the register and the import of a 10 000-row school list (each the
// best of three runs, with its ratio to the target) and, for scale, one import of a
// 100 000-row list.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

#include "bench/common/benchutil.h"
#include "register/patientexport.h"
#include "register/patientimport.h"
#include "common/config.h"
#include "common/text.h"
#include "store/database.h"
#include "tools/gendata/gendata.h"

using namespace vel;

namespace {

constexpr int kPatients = 100000;
constexpr int kTests = 300000;

// The CPU time of the process (user and system) in milliseconds: on a loaded machine the
// wall-clock figure includes the waits for a core, this one does not.
double CpuMs() { return double(std::clock()) * 1000.0 / CLOCKS_PER_SEC; }

void Report(const char *what, double ms, double targetMs, double cpuMsPerRun)
{
    bench::ReportAgainstTarget(what, ms, targetMs);
    std::printf("  ratio to the target: %.2f; CPU time per run %.1f ms\n", ms / targetMs, cpuMsPerRun);
}

// A school's list as the shipped template reads it, in code page 1251.
void WriteList(const QString &path, int rows)
{
    static const char *const surnames[] = {"Иванов", "Петров", "Сидоров", "Кузнецов", "Смирнов", "Попов"};
    static const char *const names[] = {"Иван", "Олег", "Пётр", "Артём", "Егор", "Максим"};
    QString text;
    text.reserve(rows * 96);
    for (int i = 0; i < rows; ++i) {
        const QDate birthday = QDate(2008, 1, 1).addDays(i % 3650);
        text += QStringLiteral("%1%2;%3;%4ович;м;%5;г. Тула;\"ул. Мира, %6\";%7\r\n")
                    .arg(QString::fromUtf8(surnames[i % 6]), i % 7 ? QString() : QStringLiteral("а"),
                         QString::fromUtf8(names[(i / 6) % 6]), QString::fromUtf8(names[(i / 36) % 6]),
                         birthday.toString(i % 2 ? QStringLiteral("dd.MM.yyyy") : QStringLiteral("yyyy-MM-dd")))
                    .arg(i % 200 + 1)
                    .arg(10000000000LL + i);
    }
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return;
    f.write(ToCp1251(text));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString source = QFileInfo(argc > 1 ? QString::fromLocal8Bit(argv[1])
                                              : QStringLiteral(VELMORA_BENCH_DATA "/store")).absoluteFilePath();
    if (!QFileInfo::exists(source + QStringLiteral("/patients.dbf"))) {
        std::printf("generating %d patients and %d tests in %s ...\n", kPatients, kTests, qPrintable(source));
        QDir(source).removeRecursively();
        GenerateData({source, kPatients, kTests, 20240601});
    }
    QTemporaryDir home;
    QDir::setCurrent(home.path());
    QDir().mkpath(QStringLiteral("Data"));
    QDir().mkpath(QStringLiteral("data"));
    QDir().mkpath(QStringLiteral("Defaults"));
    for (const QString &name : QDir(source).entryList(QDir::Files)) {
        const bool tests = name.startsWith(QStringLiteral("Psy"), Qt::CaseInsensitive);
        QFile::copy(source + QLatin1Char('/') + name, (tests ? QStringLiteral("data/") : QStringLiteral("Data/")) + name);
    }
    QFile::copy(QStringLiteral(VELMORA_SOURCE_DEFAULTS), QStringLiteral("Defaults/IMPORT.PTN"));
    Database db;
    db.Open(QStringLiteral("Data/"));
    std::printf("register: %d patients, %d tests\n", db.dbPeople.physicalRecordCount(), db.dbfpsy.physicalRecordCount());

    // The export first, on the register as generated.
    CsvExportResult result;
    double cpu = CpuMs();
    const double exportMs = bench::BestOfMs(3, [&] { result = ExportPeople(db.dbPeople); });
    cpu = (CpuMs() - cpu) / 3;
    std::printf("export wrote %d records (%lld bytes)\n", result.records, QFileInfo(PeopleExportPath()).size());
    Report("export of the register (best of 3)", exportMs, 1000, cpu);

    WriteList(QStringLiteral("list10k.csv"), 10000);
    ImportOutcome out;
    cpu = CpuMs();
    const double import10k = bench::BestOfMs(3, [&] {
        out = ImportPatientFile(db.dbPeople, db.dbfpsy, QStringLiteral("list10k.csv"), QDateTime::currentDateTime());
    });
    cpu = (CpuMs() - cpu) / 3;
    if (out.failed || out.accepted != 10000)
        std::printf("import failed: %s\n", qPrintable(out.message()));
    Report("import of a 10 000-row list (best of 3)", import10k, 1000, cpu);

    WriteList(QStringLiteral("list100k.csv"), 100000);
    const double import100k = bench::BestOfMs(1, [&] {
        out = ImportPatientFile(db.dbPeople, db.dbfpsy, QStringLiteral("list100k.csv"), QDateTime::currentDateTime());
    });
    std::printf("%-62s %9.2f ms  (%d rows accepted%s)\n", "import of a 100 000-row list, once", import100k, out.accepted,
                out.failed ? ", FAILED" : "");
    db.Close();
    return 0;
}
