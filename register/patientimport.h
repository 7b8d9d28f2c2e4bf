#pragma once
// The pupil-list import without widgets: a ";"-separated file in code page 1251 read
// through the template Defaults/IMPORT.PTN, one patient appended to the patient table per
// accepted row. Append-only: existing patients are never changed, and rows that repeat a
// stored patient are not looked for.
//
// The whole import holds the patient table's write lock once, so another workstation
// sees either none of the imported pupils or all of them up to the row that failed. New
// IDX numbers follow the register's numbering rule (NextPatientIdx), taken once under the
// lock and counted on from there.
#include <QDateTime>
#include <QString>
#include <QStringList>

#include "register/importrows.h"

namespace vel {

class Table;

// What an import did. A failed row ends the import; the rows appended before it stay.
// The error kind is "EParserError", "EConvertError", ..., "TableError".
struct ImportOutcome : TransferFailure {
    int rows = 0;          // rows read, a row spanning several lines counted once
    int accepted = 0;      // appended to the patient table
    int refused = 0;       // left out by the acceptance test (short name, no birthday, no sex)
    QString errorCells;    // the failed row's cells joined again (the row before for a quote error)

    // The operator's error box: five lines with single LF breaks.
    QString message() const;
    // The first three lines of the box, without a line break after the third.
    QString clipboardText() const;
};

// The question before an import, with today's date in the short date format.
QString ImportQuestion(const QDate &today);

// A text file in code page 1251, as lines (CR LF, LF or CR). Throws ImportError when the
// file cannot be read ("EFOpenError"), holds NUL bytes ("EFileFormatError": not a text
// file) or is written in UTF-8 ("EEncodingError"), so that no garbled names come in.
QStringList ReadImportLines(const QString &path);

// The template of the working directory (Defaults/IMPORT.PTN, found without regard to
// case). Throws ImportError when it cannot be read or is empty.
ImportTemplate ReadImportTemplate();

// Appends the accepted rows of `lines` to `people` (the patient table, open for writing).
// `tests` (the test table, when open) takes part in the numbering. `fileName` names the
// data file in the quote error; `now` is the issue date when the template has no
// ID_ISSUED column. Errors of a row are returned in the outcome, never thrown.
ImportOutcome ImportPatients(Table &people, Table &tests, const QStringList &lines, const QString &fileName,
                             const ImportTemplate &t, const QDateTime &now);

// The whole import of a data file through the working directory's template, as the
// button and the command-line tool run it. Throws ImportError (see ReadImportLines and
// ReadImportTemplate) before any row is read; row errors are in the outcome.
ImportOutcome ImportPatientFile(Table &people, Table &tests, const QString &path, const QDateTime &now);

} // namespace vel
