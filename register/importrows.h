#pragma once
// The text side of the pupil-list import: rows of a ";"-separated file split into cells,
// lines joined while a quoted cell spans them, the template Defaults/IMPORT.PTN with its
// column keys and date patterns, and one row turned into the values of a new patient.
// No tables and no widgets; the import (patientimport.h) drives these.
//
// Errors carry a kind name besides their text, because the operator's error box and the
// clipboard text name it: "EParserError" (quotes), "EConvertError" (a cell that is not a
// number or a date), "ERangeError" (a date part above 65535), "EStringListError" (a
// template of fewer than four lines), "ERegularExpressionError" (a date pattern that does
// not compile).
#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QVector>

#include "register/transfererror.h"

namespace vel {

class ImportError : public TransferError {
public:
    using TransferError::TransferError;
};

// The number of occurrences of a character.
int CountChar(const QString &text, QChar c);

// The cells of one row: ";" separates them and nothing is trimmed; a cell that begins with
// a double quote runs to the next quote that is not doubled (a doubled quote inside is one
// quote), and what follows the closing quote up to the next ";" is a further cell. A ";"
// at the end gives a last, empty cell; an empty row gives none.
QStringList SplitCells(const QString &row);

// The cells joined again with ";", a cell holding a space, a control character, a double
// quote or ";" written in quotes with its quotes doubled (the row as the error box shows it).
QString JoinCells(const QStringList &cells);

// The column keys of the template and what the import does with each.
enum class ImportKey {
    Ignored, F, I, O, Fio, Sex, Address, Birthday, Insurance, MedInsurance, BirthCert,
    Passport, PassportIssued, PassportIssuedBy, School, ClassLetter
};

// A key cell of the template's first line; Latin letters compare without regard to case,
// anything not known (spaces included) is Ignored.
ImportKey ParseImportKey(const QString &cell);

// Defaults/IMPORT.PTN as read: line 1 the keys, line 2 the day-first date pattern
// (groups day, month, year), line 3 the year-first one (year, month, day), line 4 the
// default school number. A template of fewer than four lines is taken as it is: each row
// then fails with EStringListError, as the rows before it were imported.
struct ImportTemplate {
    QVector<ImportKey> keys;
    QStringList lines;
    QRegularExpression dayFirst, yearFirst;

    // The template's lines (code page 1251 already decoded). Never throws.
    static ImportTemplate FromLines(const QStringList &lines);
    // Throws EStringListError when the template has fewer than four lines.
    void requireComplete() const;
    QString defaultSchool() const;   // line 4
};

// The date that a cell names by the template's patterns: day first, else year first,
// else 1111-11-11. Throws ImportError for a part that is not a number (EConvertError),
// a part above 65535 (ERangeError), a date that does not exist (EConvertError) or a
// pattern that does not compile (ERegularExpressionError).
QDate ImportDate(const ImportTemplate &t, const QString &cell);

// The date a date cell gets when the row has no cell for it.
QDate NoImportDate();   // 1111-11-11

// One row made into a patient's values.
struct ImportedPatient {
    QString fio;
    QString sex;               // empty when the template has no SEX column
    QDate birthday;
    QString address;
    QString insurance, medInsurance, birthCert;
    QString passport, passportIssuedBy;
    QDate passportIssued;
    int school = 0;            // worked out, not stored
    QString classLetter;       // worked out, not stored ("1 А" when the cell says nothing)

    // A full name of more than 3 characters, a birthday after 1899-12-30 and a sex.
    bool accepted() const;
};

// The values of one row's cells. `now` is the issue date when the template has no
// ID_ISSUED column. Throws ImportError (see ImportDate; EConvertError for a school
// number that is not a number; EStringListError for an incomplete template).
ImportedPatient PatientFromCells(const ImportTemplate &t, const QStringList &cells, const QDateTime &now);

// The rows of a data file: lines joined with CR LF while the text holds an odd number
// of double quotes.
class ImportRowReader {
public:
    ImportRowReader(const QStringList &lines, const QString &fileName) : m_lines(lines), m_file(fileName) {}
    bool atEnd() const { return m_next >= m_lines.size(); }
    // The next row; throws EParserError when the file ends inside a quoted cell.
    QString nextRow();
    int rowFirstLine() const { return m_first + 1; }   // 1-based, of the row last read
private:
    const QStringList &m_lines;
    QString m_file;
    int m_next = 0;
    int m_first = 0;
};

} // namespace vel
