// Figures of the expression evaluator and the production index against the engine's
// targets: the working-list filter over 100 000 patients in at most 10 ms; rebuilding
// the index tags of both tables (8 tags over 100 000 patients, 1 over 300 000 tests).
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

#include "store/expr/expression.h"
#include "store/index/productionindex.h"
#include "tests/expr/records.h"

using namespace vel;

namespace {

std::vector<uchar> Concatenated(const std::vector<QByteArray> &records)
{
    std::vector<uchar> all;
    for (const QByteArray &r : records)
        all.insert(all.end(), r.begin(), r.end());
    return all;
}

template <typename F>
double BestMs(int rounds, F &&f)
{
    double best = 1e99;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

void Report(const char *what, double ms, double targetMs)
{
    std::printf("%-58s %9.2f ms   target %7.1f ms   ratio %.2f\n", what, ms, targetMs, ms / targetMs);
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
    const double walk = BestMs(5, [&] {
        passed = 0;
        for (int i = 0; i < patients; ++i)
            passed += filter.Test(table.data() + size_t(i) * len);
    });
    std::printf("working-list filter passes %d of %d patients\n", passed, patients);
    Report("working-list filter over 100 000 patients", walk, 10.0);
    std::printf("%-58s %9.1f ns\n", "  per record", walk * 1e6 / patients);

    const Expression wild = Expression::Filter("FIO='*ов*'", people, FilterOptions{true, true});
    const double wildMs = BestMs(5, [&] {
        passed = 0;
        for (int i = 0; i < patients; ++i)
            passed += wild.Test(table.data() + size_t(i) * len);
    });
    Report("contains-wildcard filter over 100 000 patients", wildMs, 10.0);

    // Opening both tables without their .mdx files: every tag built from the records and
    // the files written.
    QTemporaryDir dir;
    std::vector<QByteArray> rows = testing::RandomPatients(patients);
    auto source = [&rows](quint32 r) { return reinterpret_cast<const uchar *>(rows[r - 1].constData()); };
    ProductionIndex peopleIndex;
    const double openPeople = BestMs(1, [&] {
        peopleIndex.Open(dir.filePath("patients.mdx"), "patients.dbf", people, testing::PatientTags(),
                         quint32(rows.size()), source);
    });
    const RecordLayout psy = testing::PsyLayout();
    std::vector<QByteArray> tests;
    QRandomGenerator rng(5);
    for (int i = 0; i < 300000; ++i)
        tests.push_back(testing::Record(psy).number("IDX", 1 + rng.bounded(patients)).bytes());
    ProductionIndex psyIndex;
    const double openPsy = BestMs(1, [&] {
        psyIndex.Open(dir.filePath("Psy.mdx"), "Psy.dbf", psy, testing::PsyTags(), quint32(tests.size()),
                      [&tests](quint32 r) { return reinterpret_cast<const uchar *>(tests[r - 1].constData()); });
    });
    std::printf("patients.mdx %.1f MB, Psy.mdx %.1f MB\n", QFileInfo(dir.filePath("patients.mdx")).size() / 1e6,
                QFileInfo(dir.filePath("Psy.mdx")).size() / 1e6);
    Report("index rebuild, 8 tags over 100 000 patients", openPeople, 1000.0);
    Report("index rebuild, 1 tag over 300 000 tests", openPsy, 1000.0);
    Report("index rebuild of both tables", openPeople + openPsy, 1000.0);

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
