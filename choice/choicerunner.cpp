#include "choice/choicerunner.h"

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QValueAxis>
#include <QWindow>

#include "choice/keyhook.h"
#include "choice/rs232thread.h"
#include "choice/stimulus.h"
#include "console/consolelink.h"
#include "console/discovery.h"

namespace vel::choice {

namespace {

const QString LiveSeriesName = QStringLiteral("BarSeries1");
const QString LiveAxisTitle = QStringLiteral("t реакции , мс");
// Tabs hidden during a run: "Результат" and "График".
constexpr int ResultTab = 1;
constexpr int ChartTab = 2;
// Title bar buttons taken away during a run.
constexpr Qt::WindowFlags TitleBarButtons = Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                                            | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint;

QStringList ItemTexts(const QComboBox &box)
{
    QStringList texts;
    for (int i = 0; i < box.count(); ++i)
        texts << box.itemText(i);
    return texts;
}

} // namespace

ChoiceRunner::ChoiceRunner(TTestRun &record, const ChoiceRunControls &controls, QObject *parent)
    : QObject(parent),
      m_c(controls),
      m_link(std::make_unique<ConsoleLink>()),
      m_run(record, *this, m_clock, m_link.get()),
      m_hook(std::make_unique<KeyHook>([this](Hand hand, uint32_t tick) { m_run.KeyAnswer(hand, tick); })),
      m_thread(std::make_unique<TRS232Thread>([this] { m_run.Tick(); })),
      m_systemDevices(std::make_unique<SystemDeviceList>()),
      m_devices(m_systemDevices.get())
{
    connect(m_link.get(), &ConsoleLink::statusText, this, [this](const QString &text) {
        if (m_c.lbl_status) {
            m_c.lbl_status->setText(text);
            m_c.lbl_status->adjustSize();
        }
    });
    connect(m_link.get(), &ConsoleLink::traced, this, [this](const QString &line) {
        if (m_c.mmo1)
            m_c.mmo1->appendPlainText(line);
    });
    connect(m_link.get(), &ConsoleLink::consoleLost, this, [this] { m_run.ConsoleLost(); });
    if (m_c.tmr1) {
        m_c.tmr1->stop();
        m_c.tmr1->setInterval(WatchdogIntervalMs);
        connect(m_c.tmr1, &QTimer::timeout, this, &ChoiceRunner::tmr1Timer);
    }
    if (m_c.window)
        m_c.window->installEventFilter(this);
    // The window's layout may leave the stimuli without pictures: the drawn ones then.
    if (m_c.imgSL && m_c.imgSL->pixmap().isNull())
        m_c.imgSL->setPixmap(StimulusPicture(GreenKind));
    if (m_c.imgSR && m_c.imgSR->pixmap().isNull())
        m_c.imgSR->setPixmap(StimulusPicture(RedKind));
    PrepareLiveChart();
    FillPortList();
}

ChoiceRunner::~ChoiceRunner()
{
    m_thread->Shutdown();
    m_hook->Remove();
}

void ChoiceRunner::SetDeviceList(DeviceListProvider *devices)
{
    m_devices = devices ? devices : m_systemDevices.get();
    FillPortList();
}

void ChoiceRunner::FillPortList()
{
    if (!m_c.cbb_pult)
        return;
    const QString selected = m_c.cbb_pult->currentText();
    const QStringList names = SerialPortNames(*m_devices);
    if (names == ItemTexts(*m_c.cbb_pult))
        return;
    m_c.cbb_pult->clear();
    m_c.cbb_pult->addItems(names);
    const int index = m_c.cbb_pult->findText(selected);
    m_c.cbb_pult->setCurrentIndex(index >= 0 ? index : (names.isEmpty() ? -1 : 0));
}

void ChoiceRunner::btnTstClick()
{
    if (m_run.Running()) {
        m_run.StopRun();
        return;
    }
    const ConsolePortSearch search = FindConsolePort(*m_devices);
    if (!search.error.isEmpty()) {
        QMessageBox::critical(m_c.window, QStringLiteral("Велмора"),
                              QStringLiteral("Не удалось получить список последовательных портов:\n%1\n\n"
                                             "Тест не начат.")
                                  .arg(search.error));
        return;
    }
    // Ports come and go (a console plugged in after the start of the program): the list
    // is taken anew, so that the port found can be selected.
    FillPortList();
    if (!search.port.isEmpty() && m_c.cbb_pult) {
        const int index = m_c.cbb_pult->findText(search.port);
        if (index >= 0)
            m_c.cbb_pult->setCurrentIndex(index);
    }
    const QString port = m_c.cbb_pult ? m_c.cbb_pult->currentText() : QString();
    m_run.StartRun(port, m_plannedCountText ? m_plannedCountText() : QString());
}

bool ChoiceRunner::eventFilter(QObject *watched, QEvent *event)
{
    // The window closed or hidden by other means than its buttons (the window manager):
    // the run stops first, so that its record is whole.
    if (watched == m_c.window && m_run.Running()
        && (event->type() == QEvent::Close || event->type() == QEvent::Hide))
        m_run.StopRun(true);
    return QObject::eventFilter(watched, event);
}

void ChoiceRunner::PrepareLiveChart()
{
    if (!m_c.ChartLR)
        return;
    QChart *chart = m_c.ChartLR->chart();
    QBarSeries *series = nullptr;
    for (QAbstractSeries *s : chart->series())
        if (s->objectName() == LiveSeriesName)
            series = qobject_cast<QBarSeries *>(s);
    if (!series) {
        series = new QBarSeries(chart);
        series->setObjectName(LiveSeriesName);
        series->setBarWidth(0.9);
        chart->addSeries(series);
    }
    if (series->barSets().isEmpty()) {
        auto *set = new QBarSet(QString());
        set->setColor(Qt::blue);
        set->setBorderColor(Qt::blue);
        series->append(set);
    }
    m_liveBars = series->barSets().constFirst();
    chart->legend()->hide();
    chart->setAnimationOptions(QChart::NoAnimation);

    QValueAxis *values = nullptr;
    for (QAbstractAxis *a : series->attachedAxes()) {
        if (auto *v = qobject_cast<QValueAxis *>(a))
            values = v;
        if (auto *c = qobject_cast<QBarCategoryAxis *>(a))
            m_liveAxis = c;
    }
    if (!values) {
        values = new QValueAxis(chart);
        values->setTitleText(LiveAxisTitle);
        chart->addAxis(values, Qt::AlignLeft);
        series->attachAxis(values);
    }
    values->setRange(0, AnswerTimeMs);
    values->setLabelFormat(QStringLiteral("%d"));
    if (!m_liveAxis) {
        m_liveAxis = new QBarCategoryAxis(chart);
        chart->addAxis(m_liveAxis, Qt::AlignBottom);
        series->attachAxis(m_liveAxis);
    }
}

void ChoiceRunner::SetRunControlsEnabled(bool on)
{
    for (QWidget *w : {static_cast<QWidget *>(m_c.btnQit), static_cast<QWidget *>(m_c.btnPrnR),
                       m_c.dtpDataTest, static_cast<QWidget *>(m_c.cbb_pult), m_c.lbl1,
                       static_cast<QWidget *>(m_c.btnSave)})
        if (w)
            w->setEnabled(on);
    if (m_c.pgc1) {
        m_c.pgc1->setTabVisible(ResultTab, on);
        m_c.pgc1->setTabVisible(ChartTab, on);
    }
    SetTitleBarButtons(on);
}

void ChoiceRunner::SetTitleBarButtons(bool on)
{
    if (!m_c.window)
        return;
    Qt::WindowFlags flags;
    if (on) {
        flags = m_savedFlags;
    } else {
        m_savedFlags = m_c.window->windowFlags();
        flags = (m_savedFlags & ~TitleBarButtons) | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    }
    if (flags == m_c.window->windowFlags())
        return;
    // Changed on the native window in place: setWindowFlags would hide the window.
    m_c.window->overrideWindowFlags(flags);
    if (QWindow *native = m_c.window->windowHandle())
        native->setFlags(flags);
}

// ChoiceRunView ---------------------------------------------------------------------------

void ChoiceRunner::EnterRun()
{
    if (m_c.ext_pred) {
        m_c.ext_pred->clear();
        m_c.ext_pred->show();
    }
    if (m_c.ChartLR) {
        if (m_liveBars && m_liveBars->count() > 0)
            m_liveBars->remove(0, m_liveBars->count());
        if (m_liveAxis)
            m_liveAxis->clear();
        m_c.ChartLR->show();
    }
    if (m_c.lblTextHelp)
        m_c.lblTextHelp->hide();
    if (m_c.btnTst)
        m_c.btnTst->setText(StopCaption);
    SetRunControlsEnabled(false);
    if (m_c.window)
        m_c.window->repaint();
}

void ChoiceRunner::ShowStimulus(uint8_t kind)
{
    QRect area;
    for (QLabel *image : {m_c.imgSL, m_c.imgSR, m_c.imgS0}) {
        if (!image)
            continue;
        const bool show = (image == m_c.imgSL && kind == GreenKind)
                          || (image == m_c.imgSR && kind == RedKind)
                          || (image == m_c.imgS0 && kind != GreenKind && kind != RedKind);
        image->setVisible(show);
        area |= image->geometry();
    }
    // Drawn now, so that the picture is on the screen before the start mark is taken.
    if (m_c.imgS0 && m_c.imgS0->parentWidget())
        m_c.imgS0->parentWidget()->repaint(area);
}

void ChoiceRunner::AddLiveBar(int presentation, int height)
{
    if (!m_liveBars || !m_liveAxis)
        return;
    m_liveAxis->append(QString::number(presentation));
    m_liveBars->append(height);
}

void ChoiceRunner::SetProgress(const QString &text)
{
    if (!m_c.ext_pred)
        return;
    m_c.ext_pred->setText(text);
    m_c.ext_pred->adjustSize();
    m_c.ext_pred->repaint();
}

void ChoiceRunner::SetWatchdog(bool on)
{
    if (!m_c.tmr1)
        return;
    if (on)
        m_c.tmr1->start();
    else
        m_c.tmr1->stop();
}

void ChoiceRunner::SetPolling(bool on)
{
    if (on)
        m_thread->Resume();
    else
        m_thread->Suspend();
}

void ChoiceRunner::SetKeyHook(bool on)
{
    if (on)
        m_hook->Install();
    else
        m_hook->Remove();
}

void ChoiceRunner::Beep() { QApplication::beep(); }

void ChoiceRunner::StopDisplay()
{
    if (m_c.ChartLR)
        m_c.ChartLR->hide();
    if (m_c.ext_pred)
        m_c.ext_pred->hide();
    if (m_c.btnTst) {
        m_c.btnTst->setText(StartCaption);
        m_c.btnTst->setEnabled(false);
    }
}

void ChoiceRunner::LeaveRun()
{
    if (m_c.lblTextHelp)
        m_c.lblTextHelp->show();
    SetRunControlsEnabled(true);
    if (m_c.window)
        m_c.window->repaint();
}

void ChoiceRunner::RunFinished(bool quiet)
{
    Q_EMIT runStopped();
    if (!quiet) {
        QMessageBox box(QMessageBox::Information, FinishedCaption, FinishedText, QMessageBox::Ok);
        box.exec();
    }
    if (m_c.btnTst)
        m_c.btnTst->setEnabled(true);
}

} // namespace vel::choice
