#include "register/importrows.h"

#include <QHash>

#include "common/text.h"

namespace vel {

namespace {

const QChar Quote = QLatin1Char('"');
const QChar Separator = QLatin1Char(';');

// Latin letters upper-cased, everything else as it is (keys and class letters).
QString UpperLatin(const QString &text)
{
    QString out = text;
    for (QChar &c : out)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
    return out;
}

// One part of a date as the pattern captured it: a decimal number of 0 to 65535.
int DatePart(const QString &text)
{
    bool ok = false;
    const qlonglong n = text.toLongLong(&ok, 10);
    if (!ok || text.isEmpty() || text.startsWith(QLatin1Char('+')))
        throw ImportError(QStringLiteral("EConvertError"),
                          QStringLiteral("«%1» не является целым числом").arg(text));
    if (n < 0 || n > 65535)
        throw ImportError(QStringLiteral("ERangeError"),
                          QStringLiteral("Часть даты %1 вне допустимого диапазона (0..65535)").arg(n));
    return int(n);
}

QDate MakeDate(const QString &year, const QString &month, const QString &day)
{
    const int y = DatePart(year), m = DatePart(month), d = DatePart(day);
    // The calendar of the tables runs from year 1 to 9999.
    if (y < 1 || y > 9999 || !QDate::isValid(y, m, d))
        throw ImportError(QStringLiteral("EConvertError"),
                          QStringLiteral("Неверная дата: день %1, месяц %2, год %3").arg(d).arg(m).arg(y));
    return QDate(y, m, d);
}

void RequirePattern(const QRegularExpression &re, int line)
{
    if (!re.isValid())
        throw ImportError(QStringLiteral("ERegularExpressionError"),
                          QStringLiteral("Неверное регулярное выражение в строке %1 шаблона IMPORT.PTN: %2 (позиция %3)")
                              .arg(line)
                              .arg(re.errorString())
                              .arg(re.patternErrorOffset() + 1));
}

} // namespace

int CountChar(const QString &text, QChar c)
{
    return int(text.count(c));
}

QStringList SplitCells(const QString &row)
{
    QStringList cells;
    const qsizetype n = row.size();
    if (n == 0)
        return cells;
    qsizetype i = 0;
    while (true) {
        if (i < n && row.at(i) == Quote) {
            // A quoted cell; an unclosed one runs to the end of the row.
            QuotedText q = ReadQuoted(row, i + 1, Quote);
            cells << std::move(q.text);
            i = q.end;
            if (i >= n)
                return cells;
            if (row.at(i) != Separator)
                continue;   // the rest up to the next ";" is a cell of its own
        } else {
            const qsizetype end = row.indexOf(Separator, i);
            cells << row.mid(i, end < 0 ? -1 : end - i);
            if (end < 0)
                return cells;
            i = end;
        }
        // row.at(i) is a separator: a cell follows it, empty at the end of the row.
        ++i;
        if (i >= n) {
            cells << QString();
            return cells;
        }
    }
}

QString JoinCells(const QStringList &cells)
{
    QStringList parts;
    parts.reserve(cells.size());
    for (const QString &cell : cells) {
        bool quote = false;
        for (QChar c : cell)
            quote = quote || c.unicode() <= 32 || c == Quote || c == Separator;
        if (quote) {
            QString q = cell;
            q.replace(Quote, QStringLiteral("\"\""));
            parts << Quote + q + Quote;
        } else {
            parts << cell;
        }
    }
    return parts.join(Separator);
}

ImportKey ParseImportKey(const QString &cell)
{
    static const QHash<QString, ImportKey> keys = {
        {QStringLiteral("F"), ImportKey::F},
        {QStringLiteral("I"), ImportKey::I},
        {QStringLiteral("O"), ImportKey::O},
        {QStringLiteral("FIO"), ImportKey::Fio},
        {QStringLiteral("SEX"), ImportKey::Sex},
        {QStringLiteral("ADDRESS"), ImportKey::Address},
        {QStringLiteral("BIRTHDAY"), ImportKey::Birthday},
        {QStringLiteral("INSURANCE"), ImportKey::Insurance},
        {QStringLiteral("MINSURANCE"), ImportKey::MedInsurance},
        {QStringLiteral("BIRTHCERT"), ImportKey::BirthCert},
        {QStringLiteral("ID"), ImportKey::Passport},
        {QStringLiteral("ID_ISSUED"), ImportKey::PassportIssued},
        {QStringLiteral("ID_ISSUEDBY"), ImportKey::PassportIssuedBy},
        {QStringLiteral("SCH"), ImportKey::School},
        {QStringLiteral("NUM_LTR"), ImportKey::ClassLetter},
    };
    return keys.value(UpperLatin(cell), ImportKey::Ignored);
}

ImportTemplate ImportTemplate::FromLines(const QStringList &lines)
{
    ImportTemplate t;
    t.lines = lines;
    if (!lines.isEmpty())
        for (const QString &cell : SplitCells(lines.at(0)))
            t.keys << ParseImportKey(cell);
    if (lines.size() > 1)
        t.dayFirst.setPattern(lines.at(1));
    if (lines.size() > 2)
        t.yearFirst.setPattern(lines.at(2));
    return t;
}

void ImportTemplate::requireComplete() const
{
    if (lines.size() < 4)
        throw ImportError(QStringLiteral("EStringListError"),
                          QStringLiteral("Индекс списка вне границ (%1): в шаблоне IMPORT.PTN %2 строк(и) из 4")
                              .arg(3)
                              .arg(lines.size()));
}

QString ImportTemplate::defaultSchool() const
{
    requireComplete();
    return lines.at(3);
}

QDate NoImportDate() { return QDate(1111, 11, 11); }

QDate ImportDate(const ImportTemplate &t, const QString &cell)
{
    t.requireComplete();
    RequirePattern(t.dayFirst, 2);
    const QRegularExpressionMatch day = t.dayFirst.match(cell);
    if (day.hasMatch())
        return MakeDate(day.captured(3), day.captured(2), day.captured(1));
    RequirePattern(t.yearFirst, 3);
    const QRegularExpressionMatch year = t.yearFirst.match(cell);
    if (year.hasMatch())
        return MakeDate(year.captured(1), year.captured(2), year.captured(3));
    return NoImportDate();
}

bool ImportedPatient::accepted() const
{
    return fio.size() > 3 && birthday > QDate(1899, 12, 30) && !sex.isEmpty();
}

ImportedPatient PatientFromCells(const ImportTemplate &t, const QStringList &cells, const QDateTime &now)
{
    auto cellOrDefault = [&cells](int j, const QString &fallback) {
        return j < cells.size() ? cells.at(j) : fallback;
    };
    // The defaults: a row too short for a key keeps them.
    const QString defaultSchool = t.defaultSchool();
    ImportedPatient p;
    QString f, i, o;
    p.fio = QStringLiteral("-");
    p.birthday = NoImportDate();
    p.passportIssued = now.date();
    p.passportIssuedBy = QStringLiteral(" ");
    QString school = defaultSchool;
    QString classCell = QStringLiteral("1 А");
    bool classGiven = false;
    QStringList address;

    // Each key in the order of the columns; a later column of a key overrides an earlier
    // one, except ADDRESS, whose columns add up.
    for (int j = 0; j < t.keys.size(); ++j) {
        switch (t.keys.at(j)) {
        case ImportKey::Ignored: break;
        case ImportKey::F: f = cellOrDefault(j, QString()); break;
        case ImportKey::I: i = cellOrDefault(j, QString()); break;
        case ImportKey::O: o = cellOrDefault(j, QString()); break;
        case ImportKey::Fio: p.fio = cellOrDefault(j, QStringLiteral("-")); break;
        case ImportKey::Sex:
            p.sex = NormalizeText(cellOrDefault(j, QStringLiteral("м")).left(1)) == QStringLiteral("ж")
                        ? QStringLiteral("ж")
                        : QStringLiteral("м");
            break;
        case ImportKey::Address: {
            const QString part = cellOrDefault(j, QString());
            if (!part.isEmpty())
                address << part;
            break;
        }
        case ImportKey::Birthday:
            p.birthday = j < cells.size() ? ImportDate(t, cells.at(j)) : NoImportDate();
            break;
        case ImportKey::Insurance: p.insurance = cellOrDefault(j, QString()); break;
        case ImportKey::MedInsurance: p.medInsurance = cellOrDefault(j, QString()); break;
        case ImportKey::BirthCert: p.birthCert = cellOrDefault(j, QString()); break;
        case ImportKey::Passport: p.passport = cellOrDefault(j, QString()); break;
        case ImportKey::PassportIssued:
            p.passportIssued = j < cells.size() ? ImportDate(t, cells.at(j)) : NoImportDate();
            break;
        case ImportKey::PassportIssuedBy: p.passportIssuedBy = cellOrDefault(j, QStringLiteral(" ")); break;
        case ImportKey::School: school = cellOrDefault(j, defaultSchool); break;
        case ImportKey::ClassLetter:
            classCell = cellOrDefault(j, QStringLiteral("1 А"));
            classGiven = j < cells.size();
            break;
        }
    }
    p.address = address.join(QStringLiteral(", "));

    bool ok = false;
    p.school = TrimSpaces(school).toInt(&ok, 10);
    if (!ok)
        throw ImportError(QStringLiteral("EConvertError"),
                          QStringLiteral("«%1» не является целым числом (номер школы)").arg(school));
    p.classLetter = QStringLiteral("1 А");
    if (classGiven) {
        static const QRegularExpression classRe(
            QStringLiteral("(\\d*)\\s?-?=?\\.?«?»?([А-Яа-яA-Za-z]{0,15})"));
        const QRegularExpressionMatch m = classRe.match(UpperLatin(classCell));
        if (m.hasMatch())
            p.classLetter = m.captured(1) + QLatin1Char(' ') + m.captured(2);
    }

    if (p.fio.size() < 3 && (f + i + o).size() > 3)
        p.fio = f + QLatin1Char(' ') + i + QLatin1Char(' ') + o;
    return p;
}

QString ImportRowReader::nextRow()
{
    m_first = m_next;
    QString row = m_lines.at(m_next++);
    while (CountChar(row, Quote) % 2 != 0) {
        if (m_next >= m_lines.size())
            throw ImportError(QStringLiteral("EParserError"),
                              QStringLiteral("Неверное число кавычек в строке %1 файла %2!").arg(m_first + 1).arg(m_file));
        row += QStringLiteral("\r\n") + m_lines.at(m_next++);
    }
    return row;
}

} // namespace vel
