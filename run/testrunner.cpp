#include "run/testrunner.h"

#include <QApplication>
#include <QMessageBox>

#include "console/consolelink.h"
#include "console/discovery.h"
#include "records/testwindow.h"
#include "run/keyhook.h"
#include "run/rs232thread.h"

namespace vel {

TestRunner::TestRunner(TestWindow &window, const RunFactory &makeRun)
    : QObject(nullptr),
      m_window(window),
      m_link(std::make_unique<ConsoleLink>()),
      m_run(makeRun(window.Run(), *this, m_clock, m_link.get())),
      m_hook(std::make_unique<KeyHook>([this](Hand hand, uint32_t tick) { m_run->KeyAnswer(hand, tick); })),
      m_thread(std::make_unique<TRS232Thread>([this] { m_run->Tick(); })),
      m_systemDevices(std::make_unique<SystemDeviceList>()),
      m_devices(m_systemDevices.get())
{
    connect(m_link.get(), &ConsoleLink::statusText, &m_window, &TestWindow::ShowConsoleStatus);
    connect(m_link.get(), &ConsoleLink::traced, &m_window, &TestWindow::AddConsoleTrace);
    connect(m_link.get(), &ConsoleLink::consoleLost, this, [this] { m_run->ConsoleLost(); });
    m_window.SetWatchdog(false);
    m_window.SetWatchdogInterval(m_run->Profile().WatchdogIntervalMs);
    connect(&m_window, &TestWindow::watchdogDue, this, &TestRunner::tmr1Timer);
    connect(&m_window, &TestWindow::startPressed, this, &TestRunner::btnTstClick);
}

TestRunner::~TestRunner()
{
    // The program ends during a run: the console's lights go off and its port is closed.
    m_run->StopRun(true);
    m_thread->Shutdown();
    m_hook->Remove();
}

void TestRunner::SetDeviceList(DeviceListProvider *devices)
{
    m_devices = devices ? devices : m_systemDevices.get();
    m_window.FillPortList(*m_devices);
}

void TestRunner::btnTstClick()
{
    if (m_run->Running()) {
        m_run->StopRun();
        return;
    }
    const ConsolePortSearch search = FindConsolePort(*m_devices);
    if (!search.error.isEmpty()) {
        QMessageBox::critical(&m_window, QStringLiteral("Велмора"),
                              QStringLiteral("Не удалось получить список последовательных портов:\n%1\n\n"
                                             "Тест не начат.")
                                  .arg(search.error));
        return;
    }
    // Ports come and go (a console plugged in after the program started): the list is
    // taken anew, so that the port found can be selected.
    const QString port = m_window.ChoosePort(*m_devices, search.port);
    m_run->StartRun(port, m_plannedCountText ? m_plannedCountText() : QString());
}

// RunView ---------------------------------------------------------------------------

void TestRunner::EnterRun()
{
    m_window.BeginRunDisplay(m_run->Profile().LiveChartMin, m_run->Profile().LiveChartMax);
}

void TestRunner::ShowStimulus(uint8_t kind) { m_window.ShowStimulus(kind); }

void TestRunner::MoveBar(int left) { m_window.MoveBar(left); }

void TestRunner::AddLiveBar(int presentation, int height) { m_window.AddLiveBar(presentation, height); }

void TestRunner::SetProgress(const QString &text) { m_window.ShowProgress(text); }

void TestRunner::SetWatchdog(bool on) { m_window.SetWatchdog(on); }

void TestRunner::SetPolling(bool on)
{
    if (on)
        m_thread->Resume();
    else
        m_thread->Suspend();
}

void TestRunner::SetKeyHook(bool on)
{
    if (on)
        m_hook->Install();
    else
        m_hook->Remove();
}

void TestRunner::Beep() { QApplication::beep(); }

void TestRunner::StopDisplay() { m_window.StopRunDisplay(); }

void TestRunner::LeaveRun() { m_window.EndRunDisplay(); }

void TestRunner::RunFinished(bool quiet)
{
    if (!quiet) {
        QMessageBox box(QMessageBox::Information, FinishedCaption, FinishedText, QMessageBox::Ok);
        box.exec();
    }
    m_window.EnableStart();
}

} // namespace vel
