#pragma once
// The main window "frm": the settings page, the working page (patient list with filters
// and search, the test list of the selected patient) and the status bar. Created first at
// start-up; the program ends when it closes.
//
// Other subsystems reach the window's controls through ui() (every control carries its
// name from the layout: rdbgr, edSearch, dbgrd_psy, cbb_test, ...) and its tables through
// database(). The handlers they fill in are grouped below by subsystem.
#include <QMainWindow>
#include <QTimer>

#include <array>
#include <memory>

#include "app/settingsfile.h"
#include "store/database.h"

namespace Ui { class Tfrm; }
class QLabel;
class TfmAddRec;
class TFormPsy;
class TFormRDO;
namespace vel { class PatientRegister; class TestListPanel; }

class Tfrm : public QMainWindow {
    Q_OBJECT
public:
    // Loads the window: opens the tables, then runs the creation steps (FormCreate).
    // Throws vel::TableError when a table cannot be opened and vel::SettingsReadError
    // when the settings file exists but cannot be read; no window is left behind then.
    explicit Tfrm(QWidget *parent = nullptr);
    ~Tfrm() override;

    Ui::Tfrm &ui() { return *m_ui; }
    vel::Database &database() { return m_db; }
    // 100 ms; switched off while a test window is open.
    QTimer &statTimer() { return m_statTimer; }

    // The windows start-up creates after this one.
    void SetWindows(TfmAddRec *fmAddRec, TFormPsy *formPsy, TFormRDO *formRDO);
    TfmAddRec *fmAddRec() const { return m_fmAddRec; }
    TFormPsy *FormPsy() const { return m_formPsy; }
    TFormRDO *FormRDO() const { return m_formRDO; }
    vel::TestListPanel &TestList() { return *m_testList; }

    // ---- settings page ----
    void LoadSettings();            // throws vel::SettingsReadError
    bool SaveSettings();            // false (after telling the user) when it failed
    vel::SettingsTexts SettingsFromControls() const;
    void SettingsToControls(const vel::SettingsTexts &texts);

    // ---- caption and patient list ----
    bool ShowVersionCaption();
    void ChangeViewInterface();

    // ---- status bar: panel 0 for messages and hints, panel 1 for the patient line ----
    void ShowStatusMessage(const QString &text);
    QString StatusPanelText(int panel) const;
    void SetStatusPanelText(int panel, const QString &text);
    int StatusPanelWidth(int panel) const;
    int EmphasisTicks() const { return m_emphasisTicks; }
    bool StatusEmphasised() const;

    // ---- delayed actions of the patient list, run by the status timer ----
    // Arms the mark unless an older one is pending (the scroll mark is older after 1 ms,
    // the search mark after 1000 ms).
    void ArmScrollMark();
    void ArmSearchMark();
    bool ScrollMarkSet() const { return m_scrollMark != 0; }
    bool SearchMarkSet() const { return m_searchMark != 0; }

    // ---- the roll-out "Фильтры" ----
    void SetFiltersRolledOut(bool on);
    bool FiltersRolledOut() const;

public Q_SLOTS:
    void btSaveSettingsClick();
    void statTimerTimer();
    void statResize();

    // Patient register: selection, search, the patient dialog, import and export.
    void SyncSelectedPatient();
    void LookupTimed();
    void rdbAfterScroll();
    void btApplyClick();
    void btFindClick();
    void edSearchChange();
    void btPplAppendClick();
    void rdbgrDblClick();
    void btImpClick();
    void btExportAllClick();

    // Stored tests: the test list and the test windows.
    void btn_psyClick();
    void dbgrd_psyDblClick();
    void dbgrd_psyCellClick();
    void dbgrd_psyKeyUp(int key);

    // Database maintenance.
    void btFixIndicesClick();

protected:
    bool event(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;

private:
    void SetUpControls();
    void ConnectHandlers();
    void FormCreate();
    void FormClose();
    void FormMouseWheelUp();
    void FormMouseWheelDown();
    void RepaintStatus();
    void SetUpRegister();

    std::unique_ptr<Ui::Tfrm> m_ui;
    vel::Database m_db;
    QTimer m_statTimer;
    std::array<QLabel *, 2> m_panels{};

    TfmAddRec *m_fmAddRec = nullptr;
    TFormPsy *m_formPsy = nullptr;
    TFormRDO *m_formRDO = nullptr;
    vel::TestListPanel *m_testList = nullptr;   // child of the window

    int m_emphasisTicks = 0;        // timer ticks until the status text is regular again
    quint64 m_scrollMark = 0;       // monotonic ms; 0 = none
    quint64 m_searchMark = 0;
    int m_wheelRest = 0;            // wheel turn not yet a whole step (1/8 degree units)
    bool m_closed = false;
    std::unique_ptr<vel::PatientRegister> m_register;   // the working list and the patient dialog
};
