#include "register/patientrecord.h"

#include <limits>

#include "common/text.h"
#include "store/table.h"

namespace vel {

PatientFields ReadPatient(const Table &t)
{
    PatientFields p;
    p.fio = t.asString(QStringLiteral("FIO"));
    p.sex = NormalizeText(t.asString(QStringLiteral("SEX"))) == QStringLiteral("м") ? QStringLiteral("м")
                                                                                 : QStringLiteral("ж");
    p.birthday = t.asDate(QStringLiteral("BIRTHDAY"));
    p.address = t.asString(QStringLiteral("ADDRESS"));
    p.insurance = DigitsOf(t.asString(QStringLiteral("INSURANCE")));
    p.medIns = DigitsOf(t.asString(QStringLiteral("MINSURANCE")));
    p.birthCert = t.asString(QStringLiteral("BIRTHCERT"));
    p.ruPass = DigitsOf(t.asString(QStringLiteral("RUPASSPORT")));
    p.ruPassIssued = t.asString(QStringLiteral("RUPASSUED"));
    p.ruPassIssuedDate = t.asDate(QStringLiteral("RUPASSUEDD"));
    p.info = t.memoText(QStringLiteral("INFO"));
    return p;
}

void WritePatient(Table &t, const PatientFields &p)
{
    t.setValue(QStringLiteral("FIO"), p.fio);
    t.setValue(QStringLiteral("SEX"), p.sex);
    if (p.birthday.isValid())
        t.setValue(QStringLiteral("BIRTHDAY"), p.birthday);
    t.setValue(QStringLiteral("ADDRESS"), p.address);
    t.setValue(QStringLiteral("INSURANCE"), p.insurance);
    t.setValue(QStringLiteral("MINSURANCE"), p.medIns);
    t.setValue(QStringLiteral("BIRTHCERT"), p.birthCert);
    t.setValue(QStringLiteral("RUPASSPORT"), p.ruPass);
    t.setValue(QStringLiteral("RUPASSUED"), p.ruPassIssued);
    if (p.ruPassIssuedDate.isValid())
        t.setValue(QStringLiteral("RUPASSUEDD"), p.ruPassIssuedDate);
    t.setValue(QStringLiteral("INFO"), p.info.isEmpty() ? QVariant() : QVariant(p.info));
}

namespace {

// The largest IDX of all records of a table, deleted ones included; 0 for none.
qint64 LargestIdx(const Table &t, int records)
{
    const int field = t.fieldIndex(QStringLiteral("IDX"));
    qint64 largest = 0;
    if (field < 0)
        return largest;
    for (int r = 1; r <= records; ++r) {
        const QVariant v = t.valueAt(r, field);
        if (!v.isNull())
            largest = std::max(largest, qint64(v.toDouble()));
    }
    return largest;
}

} // namespace

int NextPatientIdx(Table &people, Table &tests)
{
    const int stored = people.physicalRecordCount();
    qint64 next = qint64(stored) + 1;
    next = std::max(next, LargestIdx(people, stored) + 1);
    if (tests.isOpen())
        next = std::max(next, LargestIdx(tests, tests.physicalRecordCount()) + 1);
    if (next > std::numeric_limits<qint32>::max())
        throw TableError(QStringLiteral("Нет свободного номера для нового пациента: номера исчерпаны."));
    return int(next);
}

bool IsValidInsuranceNumber(const QString &text)
{
    if (text.size() != 11)
        return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    auto digit = [&text](int i) { return text.at(i).unicode() - u'0'; };   // 0-based
    if (text.left(9).toInt() <= 1001997)
        return true;
    int sum = 0;
    for (int i = 1; i <= 9; ++i)
        sum += digit(i - 1) * (10 - i);
    int check;
    if (sum < 100)
        check = sum;
    else if (sum <= 101)
        check = 0;
    else
        check = sum % 101 == 100 ? 0 : sum % 101;
    return check == digit(9) * 10 + digit(10);
}

QString DigitsOf(const QString &text)
{
    QString out;
    for (QChar c : text)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            out += c;
    return out;
}

int InsuranceCaretPosition(int digits)
{
    if (digits <= 2)
        return digits;
    if (digits <= 5)
        return digits + 1;
    if (digits <= 8)
        return digits + 2;
    return digits + 3;
}

int PassportCaretPosition(int digits)
{
    if (digits <= 1)
        return digits;
    if (digits <= 3)
        return digits + 1;
    return digits + 2;
}

} // namespace vel
