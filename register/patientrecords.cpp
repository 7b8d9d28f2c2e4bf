// The patient register, second half: adding, editing and deleting patients.
#include "register/patientregister.h"

#include <QMessageBox>

#include "records/testcascade.h"
#include "register/newentrydlg.h"
#include "register/patientrecord.h"
#include "store/database.h"

namespace vel {

namespace {

const QString NotInFilter = QStringLiteral("Вновь введённый пациент не в текущем фильтре!");
const QString PatientGone = QStringLiteral("Запись пациента не найдена в базе: возможно, её удалила другая "
                                           "программа. Обновите список кнопкой «Найти».");

} // namespace

void PatientRegister::ShowStoredPatient(int idx)
{
    btFindClick();
    if (!LocatePatient(idx))
        m_window.showStatusMessage(NotInFilter);
}

void PatientRegister::btPplAppendClick(TfmAddRec &dialog)
{
    dialog.PrepareAdd();
    if (dialog.exec() == QDialog::Accepted) {
        Table &people = m_db.dbPeople;
        int idx = 0;
        try {
            people.setFilter(QString());
            people.setIndexName(QString());
            idx = NextPatientIdx(people, m_db.dbfpsy);
            people.append();
            people.setValue(QStringLiteral("IDX"), idx);
            WritePatient(people, dialog.Patient());
            people.post();
        } catch (const TableError &err) {
            people.cancel();
            Warn(err.message());
            idx = 0;
        }
        if (idx > 0)
            ShowStoredPatient(idx);
    }
    m_window.refreshConclusion();
}

void PatientRegister::rdbgrDblClick(TfmAddRec &dialog)
{
    if (m_db.rdb.isEmpty())
        return;
    Table &people = m_db.dbPeople;
    // The patient of the row selected now, even when the timer has not caught up yet.
    const int idx = SelectedIdx();
    SyncSelectedPatient();
    if (people.isEmpty() || people.asInteger(QStringLiteral("IDX")) != idx) {
        Warn(PatientGone);
        m_window.refreshConclusion();
        return;
    }
    const int recNo = people.recNo();
    people.setFilter(QString());
    people.goToRecNo(recNo);
    dialog.PrepareEdit(ReadPatient(people));
    if (dialog.exec() == QDialog::Accepted) {
        bool stored = false;
        try {
            // The timer may have narrowed the table to another row while the dialog was
            // open: the record written is the one that was shown.
            if (!people.filter().isEmpty())
                people.setFilter(QString());
            if (!people.goToRecNo(recNo) || people.asInteger(QStringLiteral("IDX")) != idx) {
                Warn(PatientGone);
            } else {
                people.edit();
                WritePatient(people, dialog.Patient());
                people.post();
                stored = true;
            }
        } catch (const TableError &err) {
            people.cancel();
            Warn(err.message());
        }
        if (stored)
            ShowStoredPatient(idx);
    }
    m_window.refreshConclusion();
}

void PatientRegister::DeleteSelectedPatient()
{
    if (m_db.rdb.isEmpty())
        return;
    const int idx = SelectedIdx();
    SyncSelectedPatient();
    const auto answer = QMessageBox::warning(m_window.window, QStringLiteral("Велмора"),
                                             QStringLiteral("Вы действительно хотите удалить эту строку из списка?"),
                                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    try {
        // The patient asked about, whatever the timer did while the question was open.
        m_db.dbPeople.setFilter(PatientFilter(idx));
        if (m_db.dbPeople.isEmpty()) {
            Warn(PatientGone);
            return;
        }
        m_db.dbPeople.deleteRecord();   // its tests go first (dbPeopleBeforeDelete)
    } catch (const TableError &err) {
        Warn(err.message());
        return;
    }
    if (LocatePatient(idx))
        m_db.rdb.deleteRecord();        // the list moves to a neighbour; the timer synchronises
}

// Before a patient record is deleted: the patient's tests, and only the patient's.
void PatientRegister::dbPeopleBeforeDelete()
{
    const int idx = m_db.dbPeople.asInteger(QStringLiteral("IDX"));
    if (idx <= 0)
        return;
    m_db.dbfpsy.setFilter(PatientFilter(idx));
    DeletePatientTests(m_db.dbfpsy);
}

} // namespace vel
