#include "register/patientexport.h"

#include <QDir>
#include <QFile>
#include <QVector>

#include "common/config.h"
#include "common/paths.h"
#include "common/text.h"
#include "store/table.h"

namespace vel {

namespace {

// One value as the file shows it: text as it is, numbers in decimal, dates in the short
// date format, an empty value as the empty text.
QString ValueText(const QVariant &v, int decimals)
{
    if (v.isNull())
        return QString();
    switch (v.typeId()) {
    case QMetaType::QDate:
        return Config().AppFormatSettings.toString(v.toDate(), QLocale::ShortFormat);
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
        return QString::number(v.toDouble(), 'f', decimals);
    default:
        return v.toString();
    }
}

void AppendQuoted(QString &line, const QString &value)
{
    line += QLatin1Char('"');
    if (value.contains(QLatin1Char('"'))) {
        QString doubled = value;
        line += doubled.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    } else {
        line += value;
    }
    line += QStringLiteral("\";");
}

// Writes whole lines; a short write is an error of the file.
void WriteOut(QFile &file, const QString &lines)
{
    const QByteArray bytes = ToCp1251(lines);
    if (file.write(bytes) != bytes.size())
        throw ExportError(QStringLiteral("EWriteError"),
                          QStringLiteral("Ошибка записи в файл %1: %2").arg(file.fileName(), file.errorString()));
}

} // namespace

QString CsvExportResult::message() const
{
    return QStringLiteral("Исключение при экспорте —\n%1 -> %2").arg(errorKind, errorText);
}

QStringList PeopleExportFields()
{
    return {QStringLiteral("IDX"),        QStringLiteral("FIO"),       QStringLiteral("SEX"),
            QStringLiteral("BIRTHDAY"),   QStringLiteral("ADDRESS"),   QStringLiteral("INSURANCE"),
            QStringLiteral("BIRTHCERT"),  QStringLiteral("INFO"),      QStringLiteral("LASTLOG"),
            QStringLiteral("MINSURANCE"), QStringLiteral("RUPASSPORT"), QStringLiteral("RUPASSUED"),
            QStringLiteral("RUPASSUEDD")};
}

CsvExportResult ExportTableToCsv(Table &table, const QString &path, const QStringList &fields)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw ExportError(QStringLiteral("EFCreateError"),
                          QStringLiteral("Не удалось создать файл %1: %2").arg(path, file.errorString()));
    CsvExportResult result;
    try {
        QVector<int> columns;
        QVector<int> decimals;
        QString text;
        const QVector<FieldDef> defs = table.fields();
        for (const QString &name : fields) {
            const int c = table.fieldIndex(name);
            if (c < 0)
                throw TableError(QStringLiteral("Таблица «%1»: нет поля %2").arg(table.filePath(), name));
            columns << c;
            decimals << defs.at(c).decimals;
            AppendQuoted(text, name);
        }
        text += QStringLiteral("\r\n");
        // Written in blocks: a failed write loses no more than the block it was writing.
        for (int recNo : table.visibleRecNos()) {
            for (int i = 0; i < columns.size(); ++i)
                AppendQuoted(text, ValueText(table.valueAt(recNo, columns[i]), decimals[i]));
            text += QStringLiteral("\r\n");
            ++result.records;
            if (text.size() >= 1 << 16) {
                WriteOut(file, text);
                text.clear();
            }
        }
        WriteOut(file, text);
        if (!file.flush())
            throw ExportError(QStringLiteral("EWriteError"),
                              QStringLiteral("Ошибка записи в файл %1: %2").arg(path, file.errorString()));
    } catch (const ExportError &e) {
        result.fail(e.kind(), e.text());
    } catch (const TableError &e) {
        result.fail(QStringLiteral("TableError"), e.message());
    }
    file.close();
    return result;
}

QString PeopleExportPath() { return QStringLiteral("Exported/People.csv"); }

CsvExportResult ExportPeople(Table &people)
{
    const QString folder = ResolvePath(QStringLiteral("Exported"));
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder))
        throw ExportError(QStringLiteral("EInOutError"),
                          QStringLiteral("Не удалось создать папку %1").arg(QFileInfo(folder).absoluteFilePath()));
    const QString path = ResolvePath(PeopleExportPath());

    // Every record not marked deleted, in record order; afterwards the table stands where
    // it stood, with its filter and order.
    const int before = people.recNo();
    const QString tag = people.indexName();
    const bool filtered = people.filtered();
    people.setIndexName(QString());
    people.setFiltered(false);
    auto restore = [&] {
        people.setFiltered(filtered);
        people.setIndexName(tag);
        if (before > 0)
            people.goToRecNo(before);
    };
    CsvExportResult result;
    try {
        result = ExportTableToCsv(people, path, PeopleExportFields());
    } catch (...) {
        restore();
        throw;
    }
    restore();
    return result;
}

QString ExportDoneMessage(const QString &home)
{
    return QStringLiteral("Завершен экспорт данных базы в формате CSV в %1")
        .arg(QDir::toNativeSeparators(QDir(home).absolutePath() + QStringLiteral("/Exported")));
}

} // namespace vel
