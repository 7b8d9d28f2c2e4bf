#include "register/patienttransfer.h"

#include <QClipboard>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>

#include "register/patientexport.h"
#include "register/patientimport.h"
#include "store/database.h"

namespace vel {

namespace {
const QString Caption = QStringLiteral("Велмора");
}

void RunImportDialog(QWidget *owner, Database &db)
{
    if (QMessageBox::question(owner, Caption, ImportQuestion(QDate::currentDate()), QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No)
        != QMessageBox::Yes)
        return;

    QFileDialog dlgImport(owner, QStringLiteral("Выберите CSV для импорта по шаблону IMPORT.PTN"), QDir::currentPath(),
                          QStringLiteral("Файлы CSV (*.csv)"));
    dlgImport.setObjectName(QStringLiteral("dlgImport"));
    dlgImport.setOption(QFileDialog::DontUseNativeDialog);
    dlgImport.setFileMode(QFileDialog::ExistingFile);
    dlgImport.setAcceptMode(QFileDialog::AcceptOpen);
    dlgImport.setDefaultSuffix(QStringLiteral("csv"));
    if (dlgImport.exec() != QDialog::Accepted || dlgImport.selectedFiles().isEmpty())
        return;
    const QString path = dlgImport.selectedFiles().first();

    const ImportOutcome outcome = ImportPatientFile(db.dbPeople, db.dbfpsy, path, QDateTime::currentDateTime());
    if (!outcome.failed)
        return;   // no message at the end; the imported patients show with the next fill
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->setText(outcome.clipboardText());
    QMessageBox::critical(owner, Caption, outcome.message());
}

void RunExport(QWidget *owner, Database &db, const std::function<void(const QString &)> &setStatus)
{
    setStatus(QStringLiteral("Экспорт базы пациентов..."));
    CsvExportResult result;
    try {
        result = ExportPeople(db.dbPeople);
    } catch (...) {
        setStatus(QStringLiteral("Выполнено."));
        throw;
    }
    if (result.failed) {
        // A box of its own, as the writer reports its errors: no owner, no icon.
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("«Зорвелия»"), result.message(), QMessageBox::Ok);
        box.exec();
    }
    setStatus(QStringLiteral("Выполнено."));
    QMessageBox done(QMessageBox::NoIcon, Caption, ExportDoneMessage(QDir::currentPath()), QMessageBox::Ok, owner);
    done.exec();
}

} // namespace vel
