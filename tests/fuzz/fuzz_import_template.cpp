// The import's template reader and the making of a patient from a row, on arbitrary
// bytes: the first four lines are the template (keys, two date patterns, the default
// school), every further line a row. Errors are ImportError of the known kinds, never
// anything else.
#include "register/importrows.h"
#include "common/text.h"

#include <QSet>

#include <cstdlib>

using namespace vel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)   // patterns of the input are compiled and run: keep them small
        return 0;
    const QStringList lines = SplitLines(FromCp1251(reinterpret_cast<const char *>(data), qsizetype(size)));
    const ImportTemplate t = ImportTemplate::FromLines(lines.mid(0, 4));
    static const QSet<QString> kinds = {QStringLiteral("EConvertError"), QStringLiteral("ERangeError"),
                                        QStringLiteral("EStringListError"),
                                        QStringLiteral("ERegularExpressionError")};
    const QDateTime now(QDate(2024, 9, 2), QTime(10, 0));
    for (qsizetype i = 4; i < lines.size(); ++i) {
        try {
            const ImportedPatient p = PatientFromCells(t, SplitCells(lines.at(i)), now);
            if (p.accepted() && (p.fio.size() <= 3 || !p.birthday.isValid() || p.sex.isEmpty()))
                std::abort();
            if (!p.sex.isEmpty() && p.sex != QStringLiteral("м") && p.sex != QStringLiteral("ж"))
                std::abort();
        } catch (const ImportError &e) {
            if (!kinds.contains(e.kind()))
                std::abort();
        }
    }
    return 0;
}
