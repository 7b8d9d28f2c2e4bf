#include "register/filters.h"

#include <QStringList>

#include "common/text.h"

namespace vel {

namespace {

bool BirthdayFilterOn(const FilterSettings &f) { return f.byBirthday && f.birthday != 0; }

} // namespace

QString BuildSelectionFilter(const FilterSettings &f)
{
    QStringList parts;
    if (BirthdayFilterOn(f)) {
        const QString digits = QString::number(f.birthday);
        parts << QStringLiteral("(SUBSTR(DTOS(BIRTHDAY),1,%1)=%2)").arg(digits.size()).arg(QuoteDbf(digits));
    }
    if (f.bySex && (f.sexItem == 0 || f.sexItem == 1)) {
        const bool boys = f.sexItem == 0;
        parts << QStringLiteral("((SEX=%1) or (SEX=%2))")
                     .arg(QuoteDbf(boys ? QStringLiteral("м") : QStringLiteral("ж")),
                          QuoteDbf(boys ? QStringLiteral("М") : QStringLiteral("Ж")));
    }
    return parts.join(QStringLiteral(" and "));
}

QString NameSearchFilter(const QString &text)
{
    return QStringLiteral("(SUBSTR(FIO,1,%1)=%2)").arg(text.size()).arg(QuoteDbf(text));
}

QString JoinFilters(const QString &first, const QString &second)
{
    if (first.isEmpty())
        return second;
    if (second.isEmpty())
        return first;
    return first + QStringLiteral(" and ") + second;
}

QString PatientFilter(int idx) { return QStringLiteral("(IDX=%1)").arg(idx); }

QString DescribeFilters(FilterSettings &f)
{
    QStringList items;
    if (f.bySex) {
        if (f.sexItem == 0)
            items << QStringLiteral("мальчики");
        else if (f.sexItem == 1)
            items << QStringLiteral("девочки");
        else
            f.bySex = false;
    }
    if (BirthdayFilterOn(f))
        items << QStringLiteral("д/р ") + FormatBirthdayPattern(QString::number(f.birthday));
    if (f.byAddress && !f.address.isEmpty())
        items << QStringLiteral("в адресе \"%1\"").arg(f.address);
    if (items.isEmpty())
        return QString();
    return QStringLiteral("(") + items.join(QStringLiteral(", ")) + QStringLiteral(")");
}

QString FormatBirthdayPattern(const QString &digits)
{
    QString s = digits;
    while (s.size() < 8)
        s += QLatin1Char('X');
    s.insert(6, QLatin1Char('-'));
    s.insert(4, QLatin1Char('-'));
    return s;
}

} // namespace vel
