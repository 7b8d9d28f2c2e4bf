#include "register/patientimport.h"

#include <QFile>
#include <QStringDecoder>

#include "register/patientrecord.h"
#include "common/config.h"
#include "common/paths.h"
#include "common/text.h"
#include "store/table.h"

namespace vel {

namespace {

// A file whose bytes above 127 all form UTF-8 sequences (or that starts with the UTF-8
// mark) is UTF-8: Cyrillic text in code page 1251 almost never does.
bool LooksLikeUtf8(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return true;
    bool high = false;
    for (char c : bytes)
        if (uchar(c) >= 0x80) {
            high = true;
            break;
        }
    if (!high)
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8);
    (void)QString(utf8.decode(bytes));
    return !utf8.hasError();
}

QString KindOf(const TableError &e)
{
    return dynamic_cast<const ExpressionError *>(&e) ? QStringLiteral("ExpressionError") : QStringLiteral("TableError");
}

void AppendPatient(Table &people, const ImportedPatient &p, int idx, int storedBefore)
{
    people.append();
    try {
        people.setValue(QStringLiteral("IDX"), idx);
        WritePatient(people, {p.fio, p.sex, p.birthday, p.address, p.insurance, p.medInsurance, p.birthCert,
                              p.passport, p.passportIssuedBy, p.passportIssued, QString()});
        people.setValue(QStringLiteral("LASTLOG"), storedBefore);
        people.post();
    } catch (...) {
        people.cancel();
        throw;
    }
}

} // namespace

QString ImportOutcome::clipboardText() const
{
    return QStringLiteral("Исключение при импорте на строке\n\"%1\" —\n%2 -> %3").arg(errorCells, errorKind, errorText);
}

QString ImportOutcome::message() const
{
    return clipboardText() + QStringLiteral("\n\nСообщение помещено в буфер обмена.");
}

QString ImportQuestion(const QDate &today)
{
    return QStringLiteral("Начать импорт на активную дату (%1)?")
        .arg(Config().AppFormatSettings.toString(today, QLocale::ShortFormat));
}

QStringList ReadImportLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ImportError(QStringLiteral("EFOpenError"),
                          QStringLiteral("Не удалось открыть файл %1: %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw ImportError(QStringLiteral("EReadError"),
                          QStringLiteral("Не удалось прочитать файл %1: %2").arg(path, file.errorString()));
    if (bytes.contains('\0'))
        throw ImportError(QStringLiteral("EFileFormatError"),
                          QStringLiteral("Файл %1 не текстовый: это не список в формате CSV.").arg(path));
    if (LooksLikeUtf8(bytes))
        throw ImportError(QStringLiteral("EEncodingError"),
                          QStringLiteral("Файл %1 записан в кодировке UTF-8, а импорт читает кодировку Windows-1251. "
                                         "Сохраните файл в кодировке Windows-1251 и повторите импорт.")
                              .arg(path));
    return SplitLines(FromCp1251(bytes));
}

ImportTemplate ReadImportTemplate()
{
    const QString path = ResolvePath(QStringLiteral("Defaults/IMPORT.PTN"));
    const QStringList lines = ReadImportLines(path);
    if (lines.isEmpty())
        throw ImportError(QStringLiteral("EStringListError"),
                          QStringLiteral("Шаблон импорта %1 пуст.").arg(path));
    return ImportTemplate::FromLines(lines);
}

ImportOutcome ImportPatients(Table &people, Table &tests, const QStringList &lines, const QString &fileName,
                             const ImportTemplate &t, const QDateTime &now)
{
    ImportOutcome out;
    ImportRowReader reader(lines, fileName);
    if (reader.atEnd())
        return out;
    const int before = people.recNo();
    QStringList cells;   // of the row being imported; the row before while lines are joined
    try {
        TableWriteLock lock(people);
        int idx = NextPatientIdx(people, tests);
        while (!reader.atEnd()) {
            t.requireComplete();
            const QString row = reader.nextRow();
            ++out.rows;
            cells = SplitCells(row);
            const ImportedPatient p = PatientFromCells(t, cells, now);
            if (!p.accepted()) {
                ++out.refused;
                continue;
            }
            // Under the lock nobody else appends: the rule's next number grows by one
            // with each record, as the count of stored records does.
            AppendPatient(people, p, idx, people.physicalRecordCount());
            ++idx;
            ++out.accepted;
        }
    } catch (const ImportError &e) {
        out.fail(e.kind(), e.text());
    } catch (const TableError &e) {
        out.fail(KindOf(e), e.message());
    }
    if (out.failed)
        out.errorCells = JoinCells(cells);
    // The table stands where it stood: on the selected patient.
    if (before > 0)
        people.goToRecNo(before);
    return out;
}

ImportOutcome ImportPatientFile(Table &people, Table &tests, const QString &path, const QDateTime &now)
{
    const QStringList lines = ReadImportLines(path);
    const ImportTemplate t = ReadImportTemplate();
    return ImportPatients(people, tests, lines, path, t, now);
}

} // namespace vel
