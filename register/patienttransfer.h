#pragma once
// The settings page's hidden buttons "Импорт" (btImp) and "Экспорт" (btExportAll): the
// operator's side of the pupil-list import and the CSV export (question, file dialog,
// status texts, message boxes). The work itself is patientimport.h and patientexport.h,
// which the command-line tool velmora-register runs too.
#include <functional>

class QWidget;
class QString;

namespace vel {

struct Database;

// The import: the question "Начать импорт на активную дату (...)?", the file dialog
// dlgImport, then the rows of the chosen file through Defaults/IMPORT.PTN. An error in a
// row shows the five-line error box and puts its first three lines on the clipboard; the
// import ends silently otherwise. A file or template that cannot be read throws
// ImportError to the application's error handler before anything is imported.
void RunImportDialog(QWidget *owner, Database &db);

// The export of the whole patient table to Exported/People.csv, with the status texts of
// panel 0 (`setStatus`), the error box of a failed write and the completion message.
// A folder or file that cannot be created throws ExportError to the application's error
// handler after the status shows "Выполнено.".
void RunExport(QWidget *owner, Database &db, const std::function<void(const QString &)> &setStatus);

} // namespace vel
