#pragma once
// The run part of the choice test window: binds a ChoiceRun to the window's controls,
// and owns what a run needs besides them: the console link, the key hook, the polling
// thread TRS232Thread. The window creates it once with its controls and calls
// btnTstClick and tmr1Timer from its handlers; everything else follows from the run.
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

#include "choice/choicerun.h"

class QChartView;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTimer;
class QWidget;
class QBarSet;
class QBarCategoryAxis;

namespace vel {
class ConsoleLink;
class DeviceListProvider;
}

namespace vel::choice {

class KeyHook;
class TRS232Thread;

// The controls of the test window that a run uses, by their names in the window.
struct ChoiceRunControls {
    QWidget *window = nullptr;
    QTabWidget *pgc1 = nullptr;         // tabs "Тест", "Результат", "График"
    QPushButton *btnTst = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnQit = nullptr;
    QPushButton *btnPrnR = nullptr;
    QWidget *dtpDataTest = nullptr;
    QWidget *lbl1 = nullptr;
    QComboBox *cbb_pult = nullptr;
    QLabel *lbl_status = nullptr;
    QPlainTextEdit *mmo1 = nullptr;
    QLabel *lblTextHelp = nullptr;
    QLabel *ext_pred = nullptr;         // progress of the run
    QLabel *imgSL = nullptr;            // green triangle, point up
    QLabel *imgSR = nullptr;            // red triangle, point down
    QLabel *imgS0 = nullptr;            // blank
    QChartView *ChartLR = nullptr;      // live chart
    QTimer *tmr1 = nullptr;             // console watchdog
};

inline const QString StartCaption = QStringLiteral("Старт теста");
inline const QString StopCaption = QStringLiteral("Стоп теста");
inline const QString FinishedCaption = QStringLiteral("Тест завершен!");
inline const QString FinishedText =
    QStringLiteral("Для просмотра результатов нажмите вкладку \"Результаты\"");

class ChoiceRunner : public QObject, private ChoiceRunView {
    Q_OBJECT
public:
    ChoiceRunner(TTestRun &record, const ChoiceRunControls &controls, QObject *parent = nullptr);
    ~ChoiceRunner() override;

    // The text of the main window's "Число предъявлений" field, read at each start.
    void SetPlannedCountText(std::function<QString()> text) { m_plannedCountText = std::move(text); }
    // The serial devices searched for the console; the machine's by default.
    void SetDeviceList(DeviceListProvider *devices);

    // "Старт теста": searches the console's port, then starts the run; "Стоп теста":
    // stops it.
    void btnTstClick();
    void tmr1Timer() { m_run.WatchdogCheck(); }
    // Stops a run going on without the closing message (the window is closing).
    void StopQuietly() { m_run.StopRun(true); }

    // Fills the port list with the machine's serial ports, keeping the selection.
    void FillPortList();

    bool Running() const { return m_run.Running(); }
    const ChoiceRun &Run() const { return m_run; }
    TRS232Thread &Thread() { return *m_thread; }
    ConsoleLink &Link() { return *m_link; }

Q_SIGNALS:
    // A run has stopped and its record is written.
    void runStopped();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // ChoiceRunView
    void EnterRun() override;
    void ShowStimulus(uint8_t kind) override;
    void AddLiveBar(int presentation, int height) override;
    void SetProgress(const QString &text) override;
    void SetWatchdog(bool on) override;
    void SetPolling(bool on) override;
    void SetKeyHook(bool on) override;
    void Beep() override;
    void StopDisplay() override;
    void LeaveRun() override;
    void RunFinished(bool quiet) override;

    void PrepareLiveChart();
    void SetRunControlsEnabled(bool on);
    void SetTitleBarButtons(bool on);

    ChoiceRunControls m_c;
    std::unique_ptr<ConsoleLink> m_link;
    SystemRunClock m_clock;
    ChoiceRun m_run;
    std::unique_ptr<KeyHook> m_hook;
    std::unique_ptr<TRS232Thread> m_thread;
    std::unique_ptr<DeviceListProvider> m_systemDevices;
    DeviceListProvider *m_devices = nullptr;
    std::function<QString()> m_plannedCountText;
    QBarSet *m_liveBars = nullptr;
    QBarCategoryAxis *m_liveAxis = nullptr;
    Qt::WindowFlags m_savedFlags;
};

} // namespace vel::choice
