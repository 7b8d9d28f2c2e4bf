// The table engine on a full register: 100 000 patients and 300 000 tests.
//   bench_store [data-folder]   (default: <build>/bench-data/store, generated once)
// Prints each figure with its target and, for the working-list filter, the ratio to
// SQLite running the same selection over the same rows.
#include "bench/common/benchutil.h"
#include "store/database.h"
#include "tools/gendata/gendata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <vector>

using namespace vel;

namespace {

constexpr int kPatients = 100000;
constexpr int kTests = 300000;

const QString kWorkingFilter = QStringLiteral(
    "(SUBSTR(FIO,1,2)='Ив') and (SUBSTR(DTOS(BIRTHDAY),1,3)='199') and ((SEX='ж') or (SEX='Ж'))");

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1])
                              : QStringLiteral(VELMORA_BENCH_DATA) + QStringLiteral("/store");
    if (!QFileInfo::exists(folder + QStringLiteral("/patients.dbf"))) {
        std::printf("generating %d patients and %d tests in %s ...\n", kPatients, kTests, qPrintable(folder));
        QDir(folder).removeRecursively();
        GenerateData({folder, kPatients, kTests, 20240601});
    }

    // ---- opening with the index files missing: every tag is built from the records ----
    for (const char *name : {"patients.mdx", "Psy.mdx"})
        QFile::remove(folder + QLatin1Char('/') + QString::fromLatin1(name));
    Table dbPeople, pdb, dbfpsy;
    DefinePeopleTable(dbPeople, folder);
    DefinePeopleView(pdb, folder);
    DefineTestTable(dbfpsy);
    dbfpsy.setFolder(folder);
    QElapsedTimer timer;
    timer.start();
    dbPeople.open();
    pdb.open();
    dbfpsy.open();
    vel::bench::ReportAgainstTarget("open both tables, index files missing (rebuild included)", timer.nsecsElapsed() / 1e6, 1000);
    std::printf("  %d patients, %d tests\n", pdb.physicalRecordCount(), dbfpsy.physicalRecordCount());

    // ---- the working-list selection walked record by record over pdb ----
    int found = 0;
    const double walk = vel::bench::BestOfMs(5, [&] {
        pdb.setFilter(kWorkingFilter);
        found = 0;
        for (bool ok = pdb.first(); ok && !pdb.eof(); ok = pdb.next())
            ++found;
    });
    vel::bench::ReportAgainstTarget("working-list filter walked over the patients", walk, 10);
    std::printf("  %d patients pass\n", found);

    int foundWide = 0;
    const double walkWide = vel::bench::BestOfMs(5, [&] {
        pdb.setFilter(QStringLiteral("(SUBSTR(DTOS(BIRTHDAY),1,3)='199') and ((SEX='ж') or (SEX='Ж'))"));
        foundWide = 0;
        for (bool ok = pdb.first(); ok && !pdb.eof(); ok = pdb.next()) {
            ++foundWide;
            (void)pdb.asString(QStringLiteral("FIO"));   // as the fill reads each row
        }
    });
    vel::bench::ReportAgainstTarget("birthday + sex filter walked, FIO read per row", walkWide, 50);
    std::printf("  %d patients pass\n", foundWide);

    // ---- the working list filled with every patient, as the fill does with no filter on ----
    {
        Table rdb;
        DefineWorkList(rdb);
        rdb.open();
        pdb.setFilter(QString());
        timer.restart();
        rdb.emptyTable();
        for (bool ok = pdb.first(); ok && !pdb.eof(); ok = pdb.next())
            rdb.appendRecord({pdb.value(QStringLiteral("IDX")), true, pdb.value(QStringLiteral("FIO")),
                              pdb.value(QStringLiteral("SEX")), pdb.value(QStringLiteral("BIRTHDAY")),
                              pdb.value(QStringLiteral("ADDRESS")), QVariant(), QVariant(), QVariant(),
                              pdb.value(QStringLiteral("LASTLOG")), pdb.value(QStringLiteral("INSURANCE")),
                              pdb.value(QStringLiteral("MINSURANCE"))});
        rdb.setIndexName(QStringLiteral("F"));
        rdb.first();
        std::printf("%-62s %9.2f ms  (%d rows, 6 tags)\n", "working list filled with every patient",
                    timer.nsecsElapsed() / 1e6, rdb.exactRecordCount());
        rdb.close();
    }

    // ---- the same selection in SQLite over the same rows ----
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
        db.setDatabaseName(QStringLiteral(":memory:"));
        db.open();
        QSqlQuery q(db);
        q.exec(QStringLiteral("CREATE TABLE patients (IDX INTEGER, FIO TEXT, SEX TEXT, BIRTHDAY TEXT, DELETED INTEGER)"));
        db.transaction();
        q.prepare(QStringLiteral("INSERT INTO patients VALUES (?, ?, ?, ?, ?)"));
        pdb.setFilter(QString());
        for (bool ok = pdb.first(); ok && !pdb.eof(); ok = pdb.next()) {
            q.addBindValue(pdb.asInteger(QStringLiteral("IDX")));
            q.addBindValue(pdb.asString(QStringLiteral("FIO")));
            q.addBindValue(pdb.asString(QStringLiteral("SEX")));
            q.addBindValue(pdb.asDate(QStringLiteral("BIRTHDAY")).toString(QStringLiteral("yyyyMMdd")));
            q.addBindValue(0);
            q.exec();
        }
        db.commit();
        // SQLite folds only Latin letters, so the case-insensitive name prefix is spelled
        // out in its four cases.
        QSqlQuery sel(db);
        sel.setForwardOnly(true);
        sel.prepare(QStringLiteral(
            "SELECT IDX FROM patients WHERE DELETED = 0 AND substr(FIO,1,2) IN ('Ив','ИВ','ив','иВ') "
            "AND substr(BIRTHDAY,1,3) = '199' AND (SEX = 'ж' OR SEX = 'Ж')"));
        int sqliteFound = 0;
        const double sqlite = vel::bench::BestOfMs(5, [&] {
            sel.exec();
            sqliteFound = 0;
            while (sel.next())
                ++sqliteFound;
        });
        std::printf("%-62s %9.2f ms  (%d rows)\n", "  SQLite, same selection over the same rows (in memory)", sqlite, sqliteFound);
        std::printf("  ratio engine / SQLite: %.2f (target <= 1: %s)\n", walk / sqlite, walk <= sqlite ? "ok" : "OVER");
        sel.finish();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));

    // ---- the test table narrowed to one patient, as every move in the patient list does ----
    int tests = 0;
    timer.restart();
    dbfpsy.setFilter(QStringLiteral("(IDX=%1)").arg(4242));
    tests = dbfpsy.exactRecordCount();
    vel::bench::ReportAgainstTarget("test table narrowed to one patient, first after open", timer.nsecsElapsed() / 1e6, 50);
    std::vector<double> times;
    int patient = 1;
    for (int i = 0; i < 101; ++i) {
        timer.restart();
        dbfpsy.setFilter(QStringLiteral("(IDX=%1)").arg(patient));
        tests = dbfpsy.exactRecordCount();
        times.push_back(timer.nsecsElapsed() / 1e6);
        patient += 997;
    }
    std::sort(times.begin(), times.end());
    vel::bench::ReportAgainstTarget("test table narrowed to one patient, tests counted (median)", times[times.size() / 2], 5);
    std::printf("  slowest of %zu: %.3f ms; the last patient has %d tests\n", times.size(), times.back(), tests);
    timer.restart();
    dbfpsy.setFilter(QStringLiteral("(IDX=4242) and (TYPE='')"));   // no lookup: every record
    tests = dbfpsy.exactRecordCount();
    std::printf("%-62s %9.2f ms  (%d tests)\n", "  the same over every record, without the lookup", timer.nsecsElapsed() / 1e6, tests);

    timer.restart();
    dbPeople.close();
    pdb.close();
    dbfpsy.close();
    std::printf("%-62s %9.2f ms\n", "close all three tables", timer.nsecsElapsed() / 1e6);

    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    std::printf("peak memory (max RSS): %.1f MB\n", ru.ru_maxrss / 1024.0);
    return 0;
}
