#pragma once
// The run part of a test window: binds a ReactionRun to the window, which it changes only
// through the window's own run display methods, and owns what a run needs besides the
// window: the console link, the key hook, the polling thread TRS232Thread. Each test
// window creates its runner once (ChoiceRunner, MovingRunner: the runs of the two tests;
// the windows draw their stimuli); "Старт теста" calls btnTstClick, the window's
// watchdog timer calls tmr1Timer, and closing or saving the window calls StopQuietly.
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

#include "run/reactionrun.h"

namespace vel {

class ConsoleLink;
class DeviceListProvider;
class KeyHook;
class TestWindow;
class TRS232Thread;

inline const QString FinishedCaption = QStringLiteral("Тест завершен!");
inline const QString FinishedText =
    QStringLiteral("Для просмотра результатов нажмите вкладку \"Результаты\"");

class TestRunner : public QObject, protected RunView {
    Q_OBJECT
public:
    // Makes the window's run on the window's record, with this runner as its view.
    using RunFactory = std::function<std::unique_ptr<ReactionRun>(TTestRun &record, RunView &view,
                                                                  RunClock &clock, ConsoleLink *link)>;
    TestRunner(TestWindow &window, const RunFactory &makeRun);
    ~TestRunner() override;

    // The text of the main window's planned-count field, read at each start.
    void SetPlannedCountText(std::function<QString()> text) { m_plannedCountText = std::move(text); }
    // The serial devices searched for the console; the machine's by default.
    void SetDeviceList(DeviceListProvider *devices);

    // "Старт теста": searches the console's port, then starts the run; "Стоп теста":
    // stops it.
    void btnTstClick();
    void tmr1Timer() { m_run->WatchdogCheck(); }
    // Stops a run going on without the closing message (the window is closing).
    void StopQuietly() { m_run->StopRun(true); }

    bool Running() const { return m_run->Running(); }
    const ReactionRun &Run() const { return *m_run; }
    TRS232Thread &Thread() { return *m_thread; }
    ConsoleLink &Link() { return *m_link; }

protected:
    // RunView, each a change of the window's display through its own methods.
    void EnterRun() override;
    void ShowStimulus(uint8_t kind) override;
    void MoveBar(int left) override;
    void AddLiveBar(int presentation, int height) override;
    void SetProgress(const QString &text) override;
    void SetWatchdog(bool on) override;
    void SetPolling(bool on) override;
    void SetKeyHook(bool on) override;
    void Beep() override;
    void StopDisplay() override;
    void LeaveRun() override;
    void RunFinished(bool quiet) override;

private:
    TestWindow &m_window;
    std::unique_ptr<ConsoleLink> m_link;
    SystemRunClock m_clock;
    std::unique_ptr<ReactionRun> m_run;
    std::unique_ptr<KeyHook> m_hook;
    std::unique_ptr<TRS232Thread> m_thread;
    std::unique_ptr<DeviceListProvider> m_systemDevices;
    DeviceListProvider *m_devices = nullptr;
    std::function<QString()> m_plannedCountText;
};

// The runner of one test: a TestRunner whose run is a TRun (ChoiceRun, MovingRun) made on
// the window's record.
template <class TRun>
class TestRunnerOf : public TestRunner {
public:
    explicit TestRunnerOf(TestWindow &window)
        : TestRunner(window, NewRun<TRun>)
    {
    }
};

} // namespace vel
