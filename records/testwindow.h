#pragma once
// The shell shared by the two test windows (TFormPsy, TFormRDO): three tabs ("Тест",
// "Результат", "График"), the buttons, the test date and time, the result charts, the
// protocol browser wbRep, the live chart of a run, the hidden console controls, the
// stimulus pictures, and printing. A window adds its layout (setupUi, then BindShell),
// its scoring (ScoreRun) and its run.
//
// Road of a test: the test list prepares the window (PrepareNew or PrepareStored) and
// shows it modally; "Старт теста" runs the test; "Результат" or "График" scores the run;
// "Сохранить" stops a run still going, scores the run and closes the window with OK, and
// the test list stores Result(). "Выход" and the title bar's close button close it
// without OK; Esc does not close it, so that a finished run is never dropped by a stray
// key. While "Печать" prepares its jobs the window takes no other command.
//
// The shell keeps its controls: the run of a window (btnTstClick, the polling tick, the
// key hook, tmr1Timer) changes the display only through the methods below (the run
// display, the progress text, the console's status and trace, the port choice, the
// watchdog timer tmr1), and takes StopRunIfGoing(). A window draws its own stimuli
// (ShowStimulus, MoveBar) on its own layout. Tests find the controls by the names the
// layouts give them.
#include <QDate>
#include <QDialog>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

#include "records/chartdata.h"
#include "records/datapsy.h"
#include "records/resultchart.h"
#include "records/testprint.h"
#include "common/patientfacts.h"
#include "common/testrun.h"

class QChartView;
class QComboBox;
class QDateEdit;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTimeEdit;
class QWebEngineView;

namespace vel {

class DeviceListProvider;

inline const QString StartCaption = QStringLiteral("Старт теста");
inline const QString StopCaption = QStringLiteral("Стоп теста");

// What the test list stores of a window closed with OK (the test table's record less
// IDX and TYPE, which the list knows).
struct WindowResult {
    QDate Date;
    QString Time;          // as the TIME field holds it
    QString Conclusion;    // ConclusionText
    QString DataPsy;       // the run record in the DATAPSY format
};

class TestWindow : public QDialog {
    Q_OBJECT
public:
    enum Tab { TestTab = 0, ResultTab = 1, ChartTab = 2 };

    ~TestWindow() override;

    TestType Test() const { return m_test; }
    TTestRun &Run() { return m_run; }
    const TTestRun &Run() const { return m_run; }
    const QString &ConclusionText() const { return m_conclusion; }
    const PatientFacts &Patient() const { return m_patient; }

    // ---- opening, for the test list ----
    // A new test: caption, today's date and the time of now, empty run record, blank
    // browser, empty charts, no conclusion, tab "Тест".
    void PrepareNew(const QString &caption, const PatientFacts &patient);
    // A stored test: its date, time, raw data and conclusion (kept until the scoring
    // writes the conclusion anew). The date, the time and the raw data are checked first;
    // when one does not fit, `error` says why, the window is left as it was and the result
    // is false.
    bool PrepareStored(const QString &caption, const PatientFacts &patient, const QDate &date,
                       const QString &timeText, const QString &dataPsy, const QString &conclusion,
                       QString &error);
    WindowResult Result() const;

    // ---- the protocol browser ----
    // Shows a protocol: HTML in code page 1251, read as the browser reads such a file.
    void LoadProtocol(const QByteArray &cp1251Html);
    void ShowBlankProtocol();
    // A protocol is loaded (what the browser shows is a document worth printing).
    bool HasProtocol() const { return m_hasProtocol; }
    // Waits until the browser has finished loading what it was given; false on a time-out.
    bool WaitForProtocol(int timeoutMs);

    // ---- for the run of the window ----
    // The window during a run: result tabs hidden, no close or minimise button, btnQit,
    // btnPrnR, dtpDataTest, lbl1 and cbb_pult disabled, and no conclusion until the new
    // run is scored; false puts the controls back.
    void SetRunLayout(bool running);
    // The start of a run: the progress label cleared and shown, the live chart ChartLR
    // shown empty over liveMin..liveMax, the instructions lblTextHelp hidden, "Стоп
    // теста" on btnTst, the run layout, all painted at once.
    void BeginRunDisplay(int liveMin, int liveMax);
    // The progress label's text ("3 из 20"), painted at once.
    void ShowProgress(const QString &text);
    // The first step of a stop: the live chart and the progress label hidden, "Старт
    // теста" on btnTst, which stays disabled until EnableStart.
    void StopRunDisplay();
    // The end of a stop: the instructions back and the run layout left, painted at once.
    void EndRunDisplay();
    void EnableStart();
    void AddLiveBar(int presentation, int height);
    // The console watchdog tmr1: its interval, and on or off. Its ticks come as
    // watchdogDue.
    void SetWatchdogInterval(int ms);
    void SetWatchdog(bool on);
    // Fills cbb_pult with the machine's serial ports, keeping the selected port when it
    // is still there (else the first entry).
    void FillPortList(DeviceListProvider &devices);
    // Fills cbb_pult anew and selects `found` when the list has it; the port selected
    // after that (empty when there is none).
    QString ChoosePort(DeviceListProvider &devices, const QString &found);
    // The console's state in lbl_status, and one line of its trace in mmo1.
    void ShowConsoleStatus(const QString &text);
    void AddConsoleTrace(const QString &line);
    // The stimulus of a kind of the schedule on the window's own layout; 0 ends it. The
    // moving bar to `left` (the moving-object window only). Both are on the screen when
    // they return.
    virtual void ShowStimulus(uint8_t kind) = 0;
    virtual void MoveBar(int left) { Q_UNUSED(left); }

    // What the result charts and the live chart show.
    const ChartData &LeftChartData() const;
    const ChartData &RightChartData() const;
    const ChartData &LiveChartData() const;

    // Makes the label's font smaller, down to 9 px, until its text stands whole in it
    // (wrapped at its words when the label wraps): where Tahoma is wider than on the
    // system the layout was drawn for, or a wider face stands in for it.
    static void FitTextToLabel(QLabel *label);

    // ---- printing seams ----
    void SetPrinterChooser(std::unique_ptr<PrinterChooser> chooser);
    void SetPrintTimeoutMs(int ms) { m_printTimeoutMs = ms; }

Q_SIGNALS:
    // btnTst was clicked: "Старт теста" or "Стоп теста".
    void startPressed();
    // tmr1 has run out: time for the run's watchdog check.
    void watchdogDue();

public Q_SLOTS:
    void pgc1Change();
    void btnPrnRClick();
    void btnQitClick();
    // "Сохранить": a run still going is stopped first, the run is scored so that the
    // conclusion is this run's, and the window closes with OK.
    void btnSaveClick();
    void reject() override;
    void setVisible(bool visible) override;

protected:
    // What a window tells the shell when it binds its layout.
    struct ShellParts {
        TestType Test = TestType::Choice;
        QString ProgressLabelName;     // "ext_pred", "ext_rdo"
        ChartData LeftLayout, RightLayout;
        ResultChartStyle LeftStyle, RightStyle;
        QString ChartPageTitle;
        std::vector<LegendRow> ChartPageLegend;
    };

    explicit TestWindow(QWidget *parent = nullptr);
    // After setupUi: finds the shell's controls by name, sets their look and wires the
    // handlers (FormCreate). A missing control is a fault of the layout and stops here.
    void BindShell(const ShellParts &parts);

    // Scores the run record into the charts, the protocol and the conclusion; with no
    // presentations it changes nothing. Called on every switch to a result tab and before
    // the window closes with OK.
    virtual void ScoreRun() = 0;
    // Stops a run that is going on, as "Стоп теста" does but without its message, so
    // that the window can close; does nothing otherwise. The run of the window provides it.
    virtual void StopRunIfGoing() {}
    // The window's own part of a tab change (the choice window's legend labels).
    virtual void TabShown(int tab) { Q_UNUSED(tab); }

    void SetConclusionText(const QString &text) { m_conclusion = text; }
    // A scoring's outcome shown: the result charts filled (every series replaced), the
    // conclusion taken and the protocol loaded.
    void ShowScore(const ChartData &left, const ChartData &right, const QString &conclusion,
                   const QByteArray &cp1251Protocol);
    QDate TestDate() const;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void FormShow();
    void SelectTab(int tab);   // without running pgc1Change
    void ResetForOpening(const QString &caption, const PatientFacts &patient);

    TestType m_test = TestType::Choice;
    TTestRun m_run;
    QString m_conclusion;
    PatientFacts m_patient;
    bool m_storedTest = false;
    bool m_openingPending = false;   // FormShow runs at the next show
    bool m_hasProtocol = false;
    bool m_protocolLoading = false;
    bool m_runLayout = false;
    bool m_changingTitleBar = false;   // hidden for a moment, not closed
    bool m_printing = false;           // a print job is being prepared: no other command
    int m_printTimeoutMs = 120000;
    QString m_chartPageTitle;
    std::vector<LegendRow> m_chartPageLegend;
    std::unique_ptr<PrinterChooser> m_chooser;
    QTimer m_tmr1;

    QTabWidget *m_pgc1 = nullptr;
    QWebEngineView *m_wbRep = nullptr;
    QChartView *m_chtL = nullptr;
    QChartView *m_chtR = nullptr;
    QChartView *m_chartLR = nullptr;
    QPushButton *m_btnTst = nullptr;
    QPushButton *m_btnSave = nullptr;
    QPushButton *m_btnPrnR = nullptr;
    QPushButton *m_btnQit = nullptr;
    QLabel *m_lbl1 = nullptr;
    QDateEdit *m_dtpDataTest = nullptr;
    QTimeEdit *m_edtTime = nullptr;
    QPlainTextEdit *m_mmo1 = nullptr;
    QLabel *m_lblPult = nullptr;
    QComboBox *m_cbbPult = nullptr;
    QLabel *m_lblStatus = nullptr;
    QLabel *m_lblTextHelp = nullptr;
    QLabel *m_progress = nullptr;
    QLabel *m_imgSL = nullptr;
    QLabel *m_imgSR = nullptr;
    QLabel *m_imgS0 = nullptr;
    std::unique_ptr<ResultChart> m_chartL, m_chartR, m_liveChart;
};

} // namespace vel
