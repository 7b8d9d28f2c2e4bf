#pragma once
// What the protocols of both reaction tests say about the tested person: the age on the
// test date, the age text and the sex text.
#include <QDate>
#include <QString>

namespace vel {

// The patient as the protocols need him: full name and sex from the working list, the
// birthday from the patient table.
struct PatientFacts {
    QString Name;
    QString Sex;
    QDate Birthday;   // null when the table holds no birthday
};

// Whole months between the two dates: the whole part of the absolute difference in days
// divided by 30.4375 (the mean month). -1 when either date is missing.
int AgeInMonths(const QDate &birthday, const QDate &testDate);

// "10 лет 4 месяцев", or "10 лет " for whole years (the trailing blank is part of the
// text); "не указан" for an unknown age (months below 0).
QString AgeText(int months);

// "мужской" for the sex "м" (either case, blanks around ignored), otherwise "женский".
QString SexText(const QString &sex);

} // namespace vel
