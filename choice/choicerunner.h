#pragma once
// The run part of the choice test window: binds a ChoiceRun to the window's controls and
// owns what a run needs besides them: the console link, the key hook, the polling thread
// TRS232Thread. TFormPsy creates it once; "Старт теста" calls btnTstClick, the window's
// tmr1 calls tmr1Timer, and closing or saving the window calls StopQuietly.
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

#include "choice/choicerun.h"

namespace vel {
class ConsoleLink;
class DeviceListProvider;
class TestWindow;
}

namespace vel::choice {

class KeyHook;
class TRS232Thread;

inline const QString StartCaption = QStringLiteral("Старт теста");
inline const QString StopCaption = QStringLiteral("Стоп теста");
inline const QString FinishedCaption = QStringLiteral("Тест завершен!");
inline const QString FinishedText =
    QStringLiteral("Для просмотра результатов нажмите вкладку \"Результаты\"");

class ChoiceRunner : public QObject, private ChoiceRunView {
    Q_OBJECT
public:
    explicit ChoiceRunner(TestWindow &window);
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

    bool Running() const { return m_run.Running(); }
    const ChoiceRun &Run() const { return m_run; }
    TRS232Thread &Thread() { return *m_thread; }
    ConsoleLink &Link() { return *m_link; }

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

    TestWindow &m_window;
    std::unique_ptr<ConsoleLink> m_link;
    SystemRunClock m_clock;
    ChoiceRun m_run;
    std::unique_ptr<KeyHook> m_hook;
    std::unique_ptr<TRS232Thread> m_thread;
    std::unique_ptr<DeviceListProvider> m_systemDevices;
    DeviceListProvider *m_devices = nullptr;
    std::function<QString()> m_plannedCountText;
};

} // namespace vel::choice
