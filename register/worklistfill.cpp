#include "register/worklistfill.h"

#include <QElapsedTimer>

#include "register/addresstest.h"
#include "common/text.h"
#include "store/table.h"

namespace vel {

int FillWorkList(const Table &people, const QVector<int> &recNos, Table &workList, AddressTest &address,
                 const FillProgress &progress, int frameMs)
{
    // Copied fields: working-list field -> patient field.
    static const char *const copied[] = {"IDX", "FIO", "SEX", "BIRTHDAY", "ADDRESS", "LASTLOG", "INSURANCE", "MINSURANCE"};
    const QVector<FieldDef> rowFields = workList.fields();
    QVector<int> source(rowFields.size(), -1);
    for (int i = 0; i < rowFields.size(); ++i)
        for (const char *name : copied)
            if (rowFields[i].name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                source[i] = people.fieldIndex(rowFields[i].name);
    const int chk = workList.fieldIndex(QStringLiteral("CHK"));
    const int sex = workList.fieldIndex(QStringLiteral("SEX"));
    const int fio = people.fieldIndex(QStringLiteral("FIO"));
    const int addressField = people.fieldIndex(QStringLiteral("ADDRESS"));

    QElapsedTimer frame;
    frame.start();
    const int n = int(recNos.size());
    int found = 0;
    QVariantList row;
    for (int k = 1; k <= n; ++k) {
        const int r = recNos[k - 1];
        if (progress && (k == 1 || k == n || frame.elapsed() >= frameMs)) {
            progress(k, n, people.valueAt(r, fio).toString());
            frame.restart();
        }
        if (!address.Passes(people.valueAt(r, addressField).toString()))
            continue;
        row.clear();
        for (int i = 0; i < rowFields.size(); ++i) {
            if (i == chk)
                row.append(true);
            else if (source[i] < 0)
                row.append(QVariant());
            else if (i == sex)
                row.append(NormalizeText(people.valueAt(r, source[i]).toString()));
            else
                row.append(people.valueAt(r, source[i]));
        }
        workList.appendRecord(row);
        ++found;
    }
    return found;
}

} // namespace vel
