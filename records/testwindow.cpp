#include "records/testwindow.h"

#include <QApplication>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QGraphicsDropShadowEffect>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTimeEdit>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "assets/look.h"
#include "console/discovery.h"
#include "common/config.h"

namespace vel {

namespace {

const QString Caption = QStringLiteral("Велмора");
const QUrl BlankPage(QStringLiteral("about:blank"));
// The chart page is laid out in printer pixels; a PDF file gets those of a usual office
// printer, so that it looks as the page from the printer does.
constexpr int PdfPageResolution = 600;

template <class T>
T *Control(QWidget *window, const QString &name)
{
    T *control = window->findChild<T *>(name);
    if (!control)
        qFatal("test window %s: the layout has no control %s", qPrintable(window->objectName()), qPrintable(name));
    return control;
}

// Disables controls for its lifetime and gives each its own state back afterwards.
class DisabledScope {
public:
    explicit DisabledScope(const QList<QWidget *> &controls)
    {
        for (QWidget *w : controls) {
            m_was.append({w, w->isEnabled()});
            w->setEnabled(false);
        }
    }
    ~DisabledScope()
    {
        for (const auto &[w, enabled] : m_was)
            w->setEnabled(enabled);
    }
    DisabledScope(const DisabledScope &) = delete;
    DisabledScope &operator=(const DisabledScope &) = delete;
private:
    QList<std::pair<QWidget *, bool>> m_was;
};

// The other tabs of a tab widget disabled for its lifetime (neither a click nor Ctrl+Tab
// reaches them); each gets its own state back afterwards.
class OtherTabsDisabledScope {
public:
    explicit OtherTabsDisabledScope(QTabWidget *tabs) : m_tabs(tabs)
    {
        for (int i = 0; i < tabs->count(); ++i) {
            m_was.append(tabs->isTabEnabled(i));
            if (i != tabs->currentIndex())
                tabs->setTabEnabled(i, false);
        }
    }
    ~OtherTabsDisabledScope()
    {
        for (int i = 0; i < m_was.size() && i < m_tabs->count(); ++i)
            m_tabs->setTabEnabled(i, m_was[i]);
    }
    OtherTabsDisabledScope(const OtherTabsDisabledScope &) = delete;
    OtherTabsDisabledScope &operator=(const OtherTabsDisabledScope &) = delete;
private:
    QTabWidget *m_tabs;
    QList<bool> m_was;
};

bool TextFits(const QLabel *label, const QFont &font)
{
    const QFontMetrics metrics(font);
    const QRect room = label->contentsRect();
    QString text = label->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (!label->wordWrap())
        return metrics.horizontalAdvance(text) <= room.width() && metrics.height() <= room.height();
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (const QString &word : text.split(blanks, Qt::SkipEmptyParts))
        if (metrics.horizontalAdvance(word) > room.width())
            return false;
    return metrics.boundingRect(QRect(0, 0, room.width(), 1 << 16), Qt::TextWordWrap, text).height()
           <= room.height();
}

ChartData LiveChartLayout()
{
    ChartData layout;
    ChartSeriesData bars;
    bars.Name = QStringLiteral("BarSeries1");
    bars.Colour = Qt::blue;
    layout.Series.push_back(bars);
    return layout;
}

} // namespace

TestWindow::TestWindow(QWidget *parent) : QDialog(parent)
{
    setModal(true);
}

TestWindow::~TestWindow() = default;

void TestWindow::BindShell(const ShellParts &parts)
{
    m_test = parts.Test;
    m_chartPageTitle = parts.ChartPageTitle;
    m_chartPageLegend = parts.ChartPageLegend;

    m_pgc1 = Control<QTabWidget>(this, QStringLiteral("pgc1"));
    m_wbRep = Control<QWebEngineView>(this, QStringLiteral("wbRep"));
    m_chtL = Control<QChartView>(this, QStringLiteral("chtL"));
    m_chtR = Control<QChartView>(this, QStringLiteral("chtR"));
    m_chartLR = Control<QChartView>(this, QStringLiteral("ChartLR"));
    m_btnTst = Control<QPushButton>(this, QStringLiteral("btnTst"));
    m_btnSave = Control<QPushButton>(this, QStringLiteral("btnSave"));
    m_btnPrnR = Control<QPushButton>(this, QStringLiteral("btnPrnR"));
    m_btnQit = Control<QPushButton>(this, QStringLiteral("btnQit"));
    m_lbl1 = Control<QLabel>(this, QStringLiteral("lbl1"));
    m_dtpDataTest = Control<QDateEdit>(this, QStringLiteral("dtpDataTest"));
    m_edtTime = Control<QTimeEdit>(this, QStringLiteral("edtTime"));
    m_mmo1 = Control<QPlainTextEdit>(this, QStringLiteral("mmo1"));
    m_lblPult = Control<QLabel>(this, QStringLiteral("lbl_pult"));
    m_cbbPult = Control<QComboBox>(this, QStringLiteral("cbb_pult"));
    m_lblStatus = Control<QLabel>(this, QStringLiteral("lbl_status"));
    m_lblTextHelp = Control<QLabel>(this, QStringLiteral("lblTextHelp"));
    m_progress = Control<QLabel>(this, parts.ProgressLabelName);
    m_imgSL = Control<QLabel>(this, QStringLiteral("imgSL"));
    m_imgSR = Control<QLabel>(this, QStringLiteral("imgSR"));
    m_imgS0 = Control<QLabel>(this, QStringLiteral("imgS0"));

    // Look: Tahoma, blue text on the button face; the controls of the bottom row larger.
    setFont(DesignFont(12));
    SetTextColour(this, Qt::blue, {QPalette::WindowText, QPalette::ButtonText});
    setFixedSize(764, 497);
    m_pgc1->setFont(DesignFont(15));
    for (QWidget *w : {static_cast<QWidget *>(m_lbl1), static_cast<QWidget *>(m_dtpDataTest),
                       static_cast<QWidget *>(m_edtTime), static_cast<QWidget *>(m_lblTextHelp)})
        w->setFont(DesignFont(16));
    m_mmo1->setFont(DesignFont(11));
    SetTextColour(m_lblTextHelp, Qt::red, {QPalette::WindowText, QPalette::ButtonText});
    m_lblTextHelp->setWordWrap(true);
    m_lblStatus->setWordWrap(true);
    FitTextToLabel(m_lbl1);
    FitTextToLabel(m_lblTextHelp);
    m_progress->setFont(DesignFont(32));
    m_progress->setAttribute(Qt::WA_TranslucentBackground);
    auto *shadow = new QGraphicsDropShadowEffect(m_progress);
    shadow->setOffset(-2, -2);
    shadow->setBlurRadius(0);
    shadow->setColor(Qt::gray);
    m_progress->setGraphicsEffect(shadow);
    m_progress->hide();
    m_dtpDataTest->setCalendarPopup(true);
    m_dtpDataTest->setDisplayFormat(Config().AppFormatSettings.dateFormat(QLocale::ShortFormat));
    m_edtTime->setDisplayFormat(QStringLiteral("H:mm:ss"));   // as the test record holds it
    // The date and time pickers likewise: the whole date or time beside their buttons.
    for (QAbstractSpinBox *edit : {static_cast<QAbstractSpinBox *>(m_dtpDataTest),
                                   static_cast<QAbstractSpinBox *>(m_edtTime)}) {
        QFont font = edit->font();
        while (font.pixelSize() > 9 && edit->sizeHint().width() > edit->width()) {
            font.setPixelSize(font.pixelSize() - 1);
            edit->setFont(font);
        }
    }
    m_mmo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_mmo1->setReadOnly(true);
    for (QWidget *hidden : {static_cast<QWidget *>(m_mmo1), static_cast<QWidget *>(m_lblPult),
                            static_cast<QWidget *>(m_cbbPult), static_cast<QWidget *>(m_chartLR)})
        hidden->hide();

    m_chartL = std::make_unique<ResultChart>(m_chtL, parts.LeftLayout, parts.LeftStyle);
    m_chartR = std::make_unique<ResultChart>(m_chtR, parts.RightLayout, parts.RightStyle);
    m_liveChart = std::make_unique<ResultChart>(m_chartLR, LiveChartLayout(),
                                                ResultChartStyle{QStringLiteral("t реакции , мс"), QString(), 0.9});

    m_tmr1.setParent(this);   // found by its name like the controls
    m_tmr1.setObjectName(QStringLiteral("tmr1"));
    m_tmr1.stop();
    connect(&m_tmr1, &QTimer::timeout, this, &TestWindow::watchdogDue);
    m_chooser = std::make_unique<PrintDialogChooser>();

    connect(m_pgc1, &QTabWidget::currentChanged, this, &TestWindow::pgc1Change);
    connect(m_btnTst, &QPushButton::clicked, this, &TestWindow::startPressed);
    connect(m_btnPrnR, &QPushButton::clicked, this, &TestWindow::btnPrnRClick);
    connect(m_btnQit, &QPushButton::clicked, this, &TestWindow::btnQitClick);
    connect(m_btnSave, &QPushButton::clicked, this, &TestWindow::btnSaveClick);
    // The protocol goes on paper black on white, whatever its page's background.
    m_wbRep->settings()->setAttribute(QWebEngineSettings::PrintElementBackgrounds, false);
    connect(m_wbRep->page(), &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo &info) {
        // Only the end of the protocol's own load counts, not that of an earlier blank page.
        if (info.status() != QWebEngineLoadingInfo::LoadStartedStatus && info.url() != BlankPage)
            m_protocolLoading = false;
    });

    // FormCreate: the console's ports, the pictures hidden, the instructions shown, a
    // blank browser.
    SystemDeviceList devices;
    FillPortList(devices);
    m_imgS0->hide();
    m_imgSL->hide();
    m_imgSR->hide();
    m_lblTextHelp->show();
    ShowBlankProtocol();
    SelectTab(TestTab);
    m_btnPrnR->hide();
    TabShown(TestTab);
}

void TestWindow::FitTextToLabel(QLabel *label)
{
    QFont font = label->font();
    if (font.pixelSize() <= 0)
        return;
    while (font.pixelSize() > 9 && !TextFits(label, font))
        font.setPixelSize(font.pixelSize() - 1);
    label->setFont(font);
}

// ---- opening ----

void TestWindow::ResetForOpening(const QString &caption, const PatientFacts &patient)
{
    setWindowTitle(caption);
    m_openingPending = true;
    m_patient = patient;
    // A conclusion left by the previous test must never be stored with this one.
    m_conclusion.clear();
    SelectTab(TestTab);
    ShowBlankProtocol();
    m_chartL->Clear();
    m_chartR->Clear();
}

void TestWindow::PrepareNew(const QString &caption, const PatientFacts &patient)
{
    ResetForOpening(caption, patient);
    const QDateTime now = QDateTime::currentDateTime();
    m_dtpDataTest->setDate(now.date());
    m_edtTime->setTime(now.time());
    m_run.DoneCount = 0;
    m_storedTest = false;
}

bool TestWindow::PrepareStored(const QString &caption, const PatientFacts &patient, const QDate &date,
                               const QString &timeText, const QString &dataPsy, const QString &conclusion,
                               QString &error)
{
    if (!date.isValid()) {
        error = QStringLiteral("Тест не открыт: в записи теста нет даты. Запись теста не изменена.");
        return false;
    }
    QTime time;
    if (!ParseTestTime(timeText, time, error))
        return false;
    TTestRun loaded = m_run;
    loaded.DoneCount = 0;
    if (!LoadDataPsy(dataPsy, m_test, loaded, error))
        return false;
    ResetForOpening(caption, patient);
    m_dtpDataTest->setDate(date);
    m_edtTime->setTime(time);
    m_run = loaded;
    m_conclusion = conclusion;
    m_storedTest = true;
    return true;
}

WindowResult TestWindow::Result() const
{
    WindowResult r;
    r.Date = m_dtpDataTest->date();
    r.Time = FormatTestTime(m_edtTime->time());
    r.Conclusion = m_conclusion;
    r.DataPsy = BuildDataPsy(m_run, m_test);
    return r;
}

void TestWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Once per opening: a window shown again because a run changed its title bar is not
    // opened anew.
    if (m_openingPending && !m_runLayout) {
        m_openingPending = false;
        FormShow();
    }
}

void TestWindow::FormShow()
{
    if (m_run.DoneCount > 0)
        SelectTab(ResultTab);
    pgc1Change();
    // A new test takes the date of the moment it is shown; a stored test keeps its own,
    // also when it holds no presentations.
    if (m_run.DoneCount == 0 && !m_storedTest)
        m_dtpDataTest->setDate(QDate::currentDate());
}

// ---- tabs ----

void TestWindow::SelectTab(int tab)
{
    QSignalBlocker block(m_pgc1);
    m_pgc1->setCurrentIndex(tab);
}

void TestWindow::pgc1Change()
{
    m_imgS0->hide();
    m_imgSL->hide();
    m_imgSR->hide();
    const int tab = m_pgc1->currentIndex();
    const bool result = tab == ResultTab || tab == ChartTab;
    m_btnPrnR->setVisible(result);
    m_btnTst->setVisible(!result);
    m_lblTextHelp->setVisible(!result);
    if (result)
        ScoreRun();
    TabShown(tab);
}

// ---- closing ----

void TestWindow::btnSaveClick()
{
    StopRunIfGoing();
    ScoreRun();
    accept();
}

void TestWindow::btnQitClick() { reject(); }

void TestWindow::reject()
{
    if (m_printing)
        return;
    StopRunIfGoing();
    QDialog::reject();
}

void TestWindow::closeEvent(QCloseEvent *event)
{
    if (m_printing) {
        event->ignore();
        return;
    }
    StopRunIfGoing();
    QDialog::closeEvent(event);
}

void TestWindow::keyPressEvent(QKeyEvent *event)
{
    // A dialog takes Esc for Cancel; here that would drop a finished run without a word.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// ---- browser ----

void TestWindow::ShowBlankProtocol()
{
    m_hasProtocol = false;
    m_protocolLoading = false;
    m_wbRep->setUrl(BlankPage);
}

void TestWindow::LoadProtocol(const QByteArray &cp1251Html)
{
    m_hasProtocol = true;
    m_protocolLoading = true;
    m_wbRep->setContent(cp1251Html, QStringLiteral("text/html;charset=windows-1251"));
}

bool TestWindow::WaitForProtocol(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (m_protocolLoading && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return !m_protocolLoading;
}

// ---- run support ----

void TestWindow::SetRunLayout(bool running)
{
    if (m_runLayout == running)
        return;
    m_runLayout = running;
    if (running)
        m_conclusion.clear();   // the new run's conclusion comes from its scoring
    m_pgc1->setTabVisible(ResultTab, !running);
    m_pgc1->setTabVisible(ChartTab, !running);
    for (QWidget *w : {static_cast<QWidget *>(m_btnQit), static_cast<QWidget *>(m_btnPrnR),
                       static_cast<QWidget *>(m_dtpDataTest), static_cast<QWidget *>(m_lbl1),
                       static_cast<QWidget *>(m_cbbPult)})
        w->setEnabled(!running);
    // New title bar buttons take a new native window: the window is hidden and shown
    // again, which must not end its modal loop.
    const bool visible = isVisible();
    m_changingTitleBar = true;
    setWindowFlag(Qt::WindowCloseButtonHint, !running);
    setWindowFlag(Qt::WindowMinimizeButtonHint, !running);
    m_changingTitleBar = false;
    if (visible)
        show();
}

void TestWindow::setVisible(bool visible)
{
    // A dialog that hides ends its modal loop; hiding to change the title bar is no end.
    if (!visible && m_changingTitleBar)
        QWidget::setVisible(false);
    else
        QDialog::setVisible(visible);
}

void TestWindow::AddLiveBar(int presentation, int height) { m_liveChart->AddPoint(0, presentation, height); }

void TestWindow::BeginRunDisplay(int liveMin, int liveMax)
{
    m_progress->clear();
    m_progress->show();
    m_liveChart->Clear();
    m_liveChart->SetValueRange(liveMin, liveMax);
    m_chartLR->show();
    m_lblTextHelp->hide();
    m_btnTst->setText(StopCaption);
    SetRunLayout(true);
    repaint();
}

void TestWindow::ShowProgress(const QString &text)
{
    m_progress->setText(text);
    m_progress->adjustSize();
    m_progress->repaint();
}

void TestWindow::StopRunDisplay()
{
    m_chartLR->hide();
    m_progress->hide();
    m_btnTst->setText(StartCaption);
    m_btnTst->setEnabled(false);
}

void TestWindow::EndRunDisplay()
{
    m_lblTextHelp->show();
    SetRunLayout(false);
    repaint();
}

void TestWindow::EnableStart() { m_btnTst->setEnabled(true); }

void TestWindow::SetWatchdogInterval(int ms) { m_tmr1.setInterval(ms); }

void TestWindow::SetWatchdog(bool on)
{
    if (on)
        m_tmr1.start();
    else
        m_tmr1.stop();
}

QString TestWindow::ChoosePort(DeviceListProvider &devices, const QString &found)
{
    FillPortList(devices);
    if (!found.isEmpty()) {
        const int index = m_cbbPult->findText(found);
        if (index >= 0)
            m_cbbPult->setCurrentIndex(index);
    }
    return m_cbbPult->currentText();
}

void TestWindow::ShowConsoleStatus(const QString &text)
{
    m_lblStatus->setText(text);
    m_lblStatus->adjustSize();
}

void TestWindow::AddConsoleTrace(const QString &line) { m_mmo1->appendPlainText(line); }

const ChartData &TestWindow::LeftChartData() const { return m_chartL->Data(); }
const ChartData &TestWindow::RightChartData() const { return m_chartR->Data(); }
const ChartData &TestWindow::LiveChartData() const { return m_liveChart->Data(); }

void TestWindow::FillPortList(DeviceListProvider &devices)
{
    const QString selected = m_cbbPult->currentText();
    m_cbbPult->clear();
    m_cbbPult->addItems(SerialPortNames(devices));
    const int keep = m_cbbPult->findText(selected);
    m_cbbPult->setCurrentIndex(keep >= 0 ? keep : (m_cbbPult->count() > 0 ? 0 : -1));
}

// ---- scoring ----

void TestWindow::ShowScore(const ChartData &left, const ChartData &right, const QString &conclusion,
                           const QByteArray &cp1251Protocol)
{
    m_chartL->Fill(left);
    m_chartR->Fill(right);
    m_conclusion = conclusion;
    LoadProtocol(cp1251Protocol);
}

QDate TestWindow::TestDate() const { return m_dtpDataTest->date(); }

// ---- printing ----

void TestWindow::SetPrinterChooser(std::unique_ptr<PrinterChooser> chooser)
{
    m_chooser = chooser ? std::move(chooser) : std::make_unique<PrintDialogChooser>();
}

void TestWindow::btnPrnRClick()
{
    if (!m_hasProtocol || m_printing)
        return;
    // Printing waits for the browser and the printer in event loops of its own: until it
    // has finished or failed, no tab change, "Сохранить", "Выход" or second "Печать" runs.
    m_printing = true;
    const auto notPrinting = qScopeGuard([this] { m_printing = false; });
    DisabledScope controls({m_btnTst, m_btnSave, m_btnPrnR, m_btnQit, m_dtpDataTest, m_edtTime, m_cbbPult});
    OtherTabsDisabledScope tabs(m_pgc1);
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer->setDocName(windowTitle());
    if (!m_chooser->Choose(this, *printer))
        return;
    DefaultPrinterScope defaultPrinter(DefaultPrinterSwapper(), printer->printerName());

    QStringList failed;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!WaitForProtocol(m_printTimeoutMs) || !PrintProtocol(m_wbRep, printer, m_printTimeoutMs))
        failed << QStringLiteral("протокол");

    // The chart page is a job of its own on the same printer, with the same settings.
    QPrinter pagePrinter(QPrinter::HighResolution);
    pagePrinter.setPrinterName(printer->printerName());
    pagePrinter.setOutputFormat(printer->outputFormat());
    if (printer->outputFormat() == QPrinter::PdfFormat)
        pagePrinter.setOutputFileName(ChartPageFileName(printer->outputFileName()));
    pagePrinter.setPageLayout(printer->pageLayout());
    if (printer->outputFormat() == QPrinter::PdfFormat)
        pagePrinter.setResolution(PdfPageResolution);
    pagePrinter.setCopyCount(printer->copyCount());
    pagePrinter.setColorMode(printer->colorMode());
    pagePrinter.setDocName(m_chartPageTitle);
    ChartPage page{m_chartPageTitle, m_patient.Name, m_chtL, m_chtR, m_chartPageLegend};
    if (!PrintChartPage(pagePrinter, page))
        failed << QStringLiteral("страница графиков");
    QApplication::restoreOverrideCursor();

    if (!failed.isEmpty())
        QMessageBox::warning(this, Caption,
                             QStringLiteral("Не удалось напечатать: %1.\nПроверьте принтер и повторите печать.")
                                 .arg(failed.join(QStringLiteral(", "))));
}

} // namespace vel
