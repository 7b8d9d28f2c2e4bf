#pragma once
// The patient register on the main window's working page: the working list and its grid
// `rdbgr`, the filters and the name search that fill it, the selection of a patient, and
// adding, editing and deleting patients through the patient dialog.
//
// The working list is the in-memory table rdb, filled by LookupTimed from the read-only
// patient view pdb. The row selected in it is the selected patient: about one status-timer
// tick after a move, SyncSelectedPatient narrows the patient table dbPeople and the test
// table dbfpsy to that row's IDX. Edits and deletions synchronise first themselves, so they
// always act on the row selected when they start.
//
// The window keeps the timer and its marks; the register is given the controls it works
// on (Controls) and told what else it needs of the window through RegisterWindow.
#include <QObject>
#include <QString>

#include <functional>

#include "register/filters.h"

class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QSpinBox;
class QStatusBar;
class QTableView;
class TfmAddRec;

namespace vel {

struct Database;
class TableModel;

// What the register needs of the main window besides its controls and tables.
struct RegisterWindow {
    QWidget *window = nullptr;                                 // owner of message boxes
    std::function<void(const QString &)> showStatusMessage;    // emphasised, panel 0
    std::function<void(int, const QString &)> setStatusPanelText;
    std::function<void()> armSearchMark;                       // a fill ~1 s later
    std::function<void(bool)> setFiltersRolledOut;
    std::function<void()> refreshConclusion;                   // the test list's conclusion label
    std::function<void()> editSelectedPatient;                 // Enter in the list
};

class PatientRegister : public QObject {
    Q_OBJECT
public:
    // The main window's controls of the working page that the register reads and fills.
    struct Controls {
        QTableView *rdbgr = nullptr;             // the working list
        QLineEdit *edSearch = nullptr;
        QLabel *lbSrchd = nullptr;               // what the search found
        QLabel *lbCurFilters = nullptr;
        QProgressBar *pb1 = nullptr;             // the fill's progress
        QStatusBar *stat = nullptr;
        QLabel *lbRes = nullptr;                 // the test list's conclusion
        QCheckBox *cbBySexFlt = nullptr;
        QRadioButton *rgBySexM = nullptr;
        QRadioButton *rgBySexF = nullptr;
        QCheckBox *cbByBDayFlt = nullptr;
        QSpinBox *edByBDay = nullptr;
        QCheckBox *cbByAddressFlt = nullptr;
        QLineEdit *ByAddress = nullptr;
    };

    PatientRegister(const Controls &controls, Database &db, RegisterWindow window, QObject *parent = nullptr);
    ~PatientRegister() override;

    // ---- filling the working list ----
    void LookupTimed();
    void BuildSelectionFilter();        // the filter of pdb from the birthday and sex filters
    QString DescribeFilters();
    FilterSettings Filters() const;     // the filter controls as they are
    bool LookupBusy() const { return m_lookupBusy; }

    // ---- selection ----
    void SyncSelectedPatient();
    // IDX of the working list's current row; 0 when the list is empty.
    int SelectedIdx() const;
    // Moves the working list to the row of a patient; false when no row shows it.
    bool LocatePatient(int idx);
    TableModel &WorkListModel() { return *m_model; }

    // ---- handlers of the working page ----
    void btApplyClick();
    void btFindClick();
    void edSearchChange();
    void rdbgrTitleClick(int column);
    void rdbgrCellClick();
    // A character typed in the list (type-ahead, Enter); false when it is not taken.
    bool rdbgrKeyPress(QKeyEvent *e);
    void rdbgrKeyUp(QKeyEvent *e);
    void rdbgrMouseUp(Qt::MouseButton button);
    QString TypeAheadText() const { return m_typeAheadText; }

    // ---- patient records ----
    void btPplAppendClick(TfmAddRec &dialog);    // add a patient
    void rdbgrDblClick(TfmAddRec &dialog);       // edit the selected patient
    void DeleteSelectedPatient();                // after the operator confirms

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void SetUpGrid();
    void dbPeopleBeforeDelete();
    void ShowFillProgress(int k, int n, const QString &fio);
    void TypeAhead();
    void ChangeListFont(int points);
    // Back in the list after an edit or an addition: refill and move to the patient.
    void ShowStoredPatient(int idx);
    void Warn(const QString &text);

    Controls m_ui;
    Database &m_db;
    RegisterWindow m_window;
    TableModel *m_model = nullptr;
    bool m_lookupBusy = false;
    QString m_typeAheadText;
};

} // namespace vel
