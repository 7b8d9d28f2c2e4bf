#pragma once
// One patient of the register as the patient dialog edits it, its transfer from and to
// the patient table, the number a new patient gets, and the check of the insurance
// number (СНИЛС). No widgets.
#include <QDate>
#include <QString>

namespace vel {

class Table;

struct PatientFields {
    QString fio;
    QString sex = QStringLiteral("м");   // "м" or "ж"
    QDate birthday;                      // invalid: not given (left as stored)
    QString address;
    QString insurance;                   // digits only
    QString medIns;                      // digits only
    QString birthCert;
    QString ruPass;                      // digits only
    QString ruPassIssued;
    QDate ruPassIssuedDate;              // invalid: not given (left as stored)
    QString info;
};

// The current record of the patient table. A stored sex other than "м"/"М" reads as "ж";
// an empty or unreadable date reads as not given; the masked numbers keep their digits.
PatientFields ReadPatient(const Table &people);

// Writes the fields into the record being appended or edited (between append()/edit()
// and post()). A date that is not given is not written, so the stored one stays.
void WritePatient(Table &people, const PatientFields &p);

// The IDX for a new patient: one more than the number of records stored in patients.dbf
// (deleted ones included), and never a number that a patient record or a test record
// already carries, deleted or not, even when another program removed records.
// Throws TableError when no number is left.
int NextPatientIdx(Table &people, Table &tests);

// The insurance number in its stored form (11 digits): the check number of the last two
// digits against the first nine; numbers up to 001-001-997 carry no check number.
bool IsValidInsuranceNumber(const QString &text);

// The digits of a text, in order.
QString DigitsOf(const QString &text);

// Where a click puts the caret in the insurance number (mask 999-999-999-99) and in the
// passport number (mask 99 99 999999) that hold `digits` digits: right after the last one,
// past the separators.
int InsuranceCaretPosition(int digits);
int PassportCaretPosition(int digits);

} // namespace vel
