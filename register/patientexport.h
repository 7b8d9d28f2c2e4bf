#pragma once
// The export of the patient table to Exported/People.csv for other programs, without
// widgets: code page 1251, CR LF, every value in double quotes followed by ";" (the
// header line of field names too), dates in the short date format. A double quote inside
// a value is doubled, so that CSV readers (and the import) read the value back whole;
// a line break inside a value (INFO) stays inside its quotes.
#include <QString>
#include <QStringList>

#include "register/transfererror.h"

namespace vel {

class Table;

// The file could not be created or emptied; nothing was written.
class ExportError : public TransferError {
public:
    using TransferError::TransferError;
};

// What the writing of a table did. A failed write keeps the lines written before it.
// The error kind is "EWriteError" for the file, "TableError" for the table.
struct CsvExportResult : TransferFailure {
    int records = 0;       // records written after the header

    // The text of the error box: "Исключение при экспорте —" and the kind and text.
    QString message() const;
};

// The patient table's exported columns, in their order (the fields the register binds).
QStringList PeopleExportFields();

// Writes the header and every visible record of `table` (its current filter and order,
// first to last) to `path`, the columns `fields` in that order. Throws ExportError when
// the file cannot be created or emptied; errors while writing come back in the result,
// and the file is closed in every case. The table's cursor does not move.
CsvExportResult ExportTableToCsv(Table &table, const QString &path, const QStringList &fields);

// The export of the whole patient table: every record not marked deleted, whatever the
// filter, to Exported/People.csv of the working directory (the folder created when
// missing). The filter, the order and the current record of `people` are as before.
// Throws ExportError when the folder or the file cannot be created.
CsvExportResult ExportPeople(Table &people);

// Where ExportPeople writes, relative to the working directory.
QString PeopleExportPath();

// The completion message, naming the folder `home` + "/Exported".
QString ExportDoneMessage(const QString &home);

} // namespace vel
