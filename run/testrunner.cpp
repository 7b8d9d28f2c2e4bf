#include "run/testrunner.h"

#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

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
    connect(m_link.get(), &ConsoleLink::statusText, this, [this](const QString &text) {
        m_window.lbl_status()->setText(text);
        m_window.lbl_status()->adjustSize();
    });
    connect(m_link.get(), &ConsoleLink::traced, this,
            [this](const QString &line) { m_window.mmo1()->appendPlainText(line); });
    connect(m_link.get(), &ConsoleLink::consoleLost, this, [this] { m_run->ConsoleLost(); });
    m_window.tmr1().stop();
    m_window.tmr1().setInterval(m_run->Profile().WatchdogIntervalMs);
    connect(&m_window.tmr1(), &QTimer::timeout, this, &TestRunner::tmr1Timer);
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
    QComboBox *ports = m_window.cbb_pult();
    m_window.FillPortList(*m_devices);
    if (!search.port.isEmpty()) {
        const int index = ports->findText(search.port);
        if (index >= 0)
            ports->setCurrentIndex(index);
    }
    m_run->StartRun(ports->currentText(), m_plannedCountText ? m_plannedCountText() : QString());
}

// RunView ---------------------------------------------------------------------------

void TestRunner::EnterRun()
{
    QLabel *progress = m_window.ProgressLabel();
    progress->clear();
    progress->show();
    m_window.LiveChart().Clear();
    m_window.LiveChart().SetValueRange(m_run->Profile().LiveChartMin, m_run->Profile().LiveChartMax);
    m_window.ChartLR()->show();
    m_window.lblTextHelp()->hide();
    m_window.btnTst()->setText(StopCaption);
    m_window.SetRunLayout(true);
    m_window.repaint();
}

void TestRunner::AddLiveBar(int presentation, int height) { m_window.AddLiveBar(presentation, height); }

void TestRunner::SetProgress(const QString &text)
{
    QLabel *progress = m_window.ProgressLabel();
    progress->setText(text);
    progress->adjustSize();
    progress->repaint();
}

void TestRunner::SetWatchdog(bool on)
{
    if (on)
        m_window.tmr1().start();
    else
        m_window.tmr1().stop();
}

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

void TestRunner::StopDisplay()
{
    m_window.ChartLR()->hide();
    m_window.ProgressLabel()->hide();
    m_window.btnTst()->setText(StartCaption);
    m_window.btnTst()->setEnabled(false);
}

void TestRunner::LeaveRun()
{
    m_window.lblTextHelp()->show();
    m_window.SetRunLayout(false);
    m_window.repaint();
}

void TestRunner::RunFinished(bool quiet)
{
    if (!quiet) {
        QMessageBox box(QMessageBox::Information, FinishedCaption, FinishedText, QMessageBox::Ok);
        box.exec();
    }
    m_window.btnTst()->setEnabled(true);
}

} // namespace vel
