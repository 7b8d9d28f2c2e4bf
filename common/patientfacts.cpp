#include "common/patientfacts.h"

#include <cstdlib>

#include "common/text.h"

namespace vel {

int AgeInMonths(const QDate &birthday, const QDate &testDate)
{
    if (!birthday.isValid() || !testDate.isValid())
        return -1;
    // 30.4375 days is 487/16: whole-number arithmetic gives the exact whole part.
    const qint64 days = std::llabs(birthday.daysTo(testDate));
    return static_cast<int>(days * 16 / 487);
}

QString AgeText(int months)
{
    if (months < 0)
        return QStringLiteral("не указан");
    const int years = months / 12;
    const int rest = months - 12 * years;
    QString text = QString::number(years) + QStringLiteral(" лет ");
    if (rest > 0)
        text += QString::number(rest) + QStringLiteral(" месяцев");
    return text;
}

QString SexText(const QString &sex)
{
    // The tables hold the sex in either case ("м" or "М"); both are a boy.
    return NormalizeText(sex) == QStringLiteral("м") ? QStringLiteral("мужской")
                                                     : QStringLiteral("женский");
}

} // namespace vel
