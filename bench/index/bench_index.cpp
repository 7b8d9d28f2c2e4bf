// Figures of the expression evaluator and the production index against the engine's
// targets: the working-list filter over 100 000 patients in at most 10 ms; rebuilding
// the index tags of both tables (8 tags over 100 000 patients, 1 over 300 000 tests).
// The "contains" search is also walked over the generated register through the table.
#include <QElapsedTimer>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

#include "bench/common/benchutil.h"
#include "store/expr/expression.h"
#include "store/index/productionindex.h"
#include "store/table.h"
#include "tools/gendata/gendata.h"
#include "tests/support/records.h"

using namespace vel;

namespace {

std::vector<uchar> Concatenated(const std::vector<QByteArray> &records)
{
    std::vector<uchar> all;
    for (const QByteArray &r : records)
        all.insert(all.end(), r.begin(), r.end());
    return all;
}

} // namespace

int main()
{
    const int patients = 100000;
    const RecordLayout people = testing::PatientsLayout();
    const std::vector<uchar> table = Concatenated(testing::RandomPatients(patients));
    const int len = people.recordLength;

    const Expression filter = Expression::Filter(
        "(SUBSTR(FIO,1,2)='Ив') and (SUBSTR(DTOS(BIRTHDAY),1,3)='199') and ((SEX='ж') or (SEX='Ж'))",
        people, FilterOptions{true, true});
    int passed = 0;
    const double walk = vel::bench::BestOfMs(5, [&] {
        passed = 0;
        for (int i = 0; i < patients; ++i)
            passed += filter.Test(table.data() + size_t(i) * len);
    });
    std::printf("working-list filter passes %d of %d patients\n", passed, patients);
    vel::bench::ReportAgainstTarget("working-list filter over 100 000 patients", walk, 10.0);
    std::printf("%-58s %9.1f ns\n", "  per record", walk * 1e6 / patients);

    const Expression wild = Expression::Filter("FIO='*ов*'", people, FilterOptions{true, true});
    const double wildMs = vel::bench::BestOfMs(5, [&] {
        passed = 0;
        for (int i = 0; i < patients; ++i)
            passed += wild.Test(table.data() + size_t(i) * len);
    });
    vel::bench::ReportAgainstTarget("contains-wildcard filter over 100 000 patients", wildMs, 10.0);

    // The same search over the generated register (the data set of bench_store and
    // bench_register, generated when missing), walked through the table as the working
    // list walks it.
    {
        const QString folder = QStringLiteral(VELMORA_BENCH_DATA "/store");
        if (!QFileInfo::exists(folder + QStringLiteral("/patients.dbf"))) {
            std::printf("generating %d patients and %d tests in %s ...\n", patients, 3 * patients, qPrintable(folder));
            QDir(folder).removeRecursively();
            GenerateData({folder, patients, 3 * patients, 20240601});
        }
        Table register_;
        register_.setFolder(folder);
        register_.setTableName(QStringLiteral("patients.dbf"));
        register_.setReadOnly(true);
        register_.setFilterOptions(FilterOptions{true, true});
        register_.open();
        const int stored = register_.physicalRecordCount();
        register_.setFilter(QStringLiteral("FIO='*ов*'"));
        qsizetype found = 0;
        const double tableMs = vel::bench::BestOfMs(5, [&] { found = register_.visibleRecNos().size(); });
        std::printf("contains-wildcard filter finds %lld of %d generated patients\n", static_cast<long long>(found),
                    stored);
        vel::bench::ReportAgainstTarget("contains-wildcard filter, generated register, through the table", tableMs,
                                        10.0);
    }

    // Opening both tables without their .mdx files: every tag built from the records and
    // the files written.
    QTemporaryDir dir;
    std::vector<QByteArray> rows = testing::RandomPatients(patients);
    auto source = [&rows](quint32 r) { return reinterpret_cast<const uchar *>(rows[r - 1].constData()); };
    ProductionIndex peopleIndex;
    const double openPeople = vel::bench::BestOfMs(1, [&] {
        peopleIndex.Open(dir.filePath("patients.mdx"), "patients.dbf", people, testing::PatientTags(),
                         quint32(rows.size()), source);
    });
    const RecordLayout psy = testing::PsyLayout();
    std::vector<QByteArray> tests;
    QRandomGenerator rng(5);
    for (int i = 0; i < 300000; ++i)
        tests.push_back(testing::Record(psy).number("IDX", 1 + rng.bounded(patients)).bytes());
    ProductionIndex psyIndex;
    const double openPsy = vel::bench::BestOfMs(1, [&] {
        psyIndex.Open(dir.filePath("Psy.mdx"), "Psy.dbf", psy, testing::PsyTags(), quint32(tests.size()),
                      [&tests](quint32 r) { return reinterpret_cast<const uchar *>(tests[r - 1].constData()); });
    });
    std::printf("patients.mdx %.1f MB, Psy.mdx %.1f MB\n", QFileInfo(dir.filePath("patients.mdx")).size() / 1e6,
                QFileInfo(dir.filePath("Psy.mdx")).size() / 1e6);
    vel::bench::ReportAgainstTarget("index rebuild, 8 tags over 100 000 patients", openPeople, 1000.0);
    vel::bench::ReportAgainstTarget("index rebuild, 1 tag over 300 000 tests", openPsy, 1000.0);
    vel::bench::ReportAgainstTarget("index rebuild of both tables", openPeople + openPsy, 1000.0);

    // Keeping the file current: one append or one edit writes the blocks it touched.
    const std::vector<QByteArray> extra = testing::RandomPatients(1000, 7);
    QElapsedTimer t;
    t.start();
    for (const QByteArray &r : extra) {
        rows.push_back(r);
        peopleIndex.Insert(quint32(rows.size()), source(quint32(rows.size())));
    }
    const double appendUs = t.nsecsElapsed() / 1e3 / extra.size();
    t.restart();
    for (int i = 0; i < 1000; ++i) {
        const quint32 r = 1 + quint32(i) * 97;
        const QByteArray old = rows[r - 1];
        rows[r - 1] = extra[size_t(i)];
        peopleIndex.Update(r, reinterpret_cast<const uchar *>(old.constData()), source(r));
    }
    const double editUs = t.nsecsElapsed() / 1e3 / 1000;
    std::printf("%-58s %9.1f us\n", "append of one patient, 8 tags and the .mdx written", appendUs);
    std::printf("%-58s %9.1f us\n", "edit of one patient, 8 tags and the .mdx written", editUs);
    return 0;
}
