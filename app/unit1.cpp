#include "app/unit1.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpressionValidator>
#include <QStatusTipEvent>
#include <QStyle>
#include <QWheelEvent>

#include "app/platform/version.h"
#include "assets/look.h"
#include "choice/choicerunner.h"
#include "choice/upsy.h"
#include "moving/movingrunner.h"
#include "moving/rdo.h"
#include "records/testlist.h"
#include "register/newentrydlg.h"
#include "register/patientregister.h"
#include "register/patienttransfer.h"
#include "common/clock.h"
#include "common/config.h"
#include "common/mathutil.h"
#include "common/paths.h"
#include "store/maintenance.h"
#include "ui_unit1.h"

namespace {

const QString Caption = QStringLiteral("Велмора");
constexpr int EmphasisLength = 5;        // ticks of the status timer
constexpr int WheelStep = 120;           // one notch of a mouse wheel, in 1/8 degree

using vel::DesignFont;
using vel::SetTextColour;

// Up and Down step the number of a settings field between 0 and its largest value, as the
// arrows of a spin edit do.
class NumberStepper : public QObject {
public:
    NumberStepper(int largest, QObject *parent) : QObject(parent), m_largest(largest) {}
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (e->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent *>(e)->key();
        if (key != Qt::Key_Up && key != Qt::Key_Down)
            return false;
        auto *edit = static_cast<QLineEdit *>(watched);
        bool ok = false;
        int n = edit->text().toInt(&ok);
        if (!ok)
            n = 0;
        n = std::clamp(n + (key == Qt::Key_Up ? 1 : -1), 0, m_largest);
        edit->setText(QString::number(n));
        return true;
    }

private:
    int m_largest;
};

} // namespace

Tfrm::Tfrm(QWidget *parent) : QMainWindow(parent), m_ui(std::make_unique<Ui::Tfrm>())
{
    m_ui->setupUi(this);
    SetUpControls();
    ConnectHandlers();
    SetUpRegister();

    // On Windows desktops the screening suite looks for a passive DDE conversation of this
    // window ("HALVIK_DORNEL_Topic1", item "HALVIK_DORNEL_Items1") while it exists; nothing
    // is ever exchanged through it. Linux has no DDE, so nothing is published here.

    // Loading the window opens its tables; the creation steps follow.
    m_db.Open(vel::Config().DataDir, vel::Config().AppFormatSettings);
    FormCreate();
    m_statTimer.start();
}

Tfrm::~Tfrm()
{
    m_statTimer.stop();
    try {
        m_db.Close();
    } catch (const vel::TableError &) {
        // Closing already reported its errors; a destructor cannot report them.
    }
}

void Tfrm::SetUpControls()
{
    Ui::Tfrm &ui = *m_ui;
    vel::SubstituteDesignFace();
    setWindowTitle(Caption);
    // The designed client area is 781 x 506; the window may not shrink below what a
    // 789 x 506 Windows frame leaves for it.
    resize(781, 506);
    setMinimumSize(781, 472);

    setFont(DesignFont(16));
    ui.PgCtl->setFont(DesignFont(12));
    ui.tabSettings->setFont(DesignFont(15));
    ui.grpMoving->setFont(DesignFont(16));
    ui.btSaveSettings->setFont(DesignFont(15, true));
    ui.btn_plant->setFont(DesignFont(12, true));
    ui.lbRes->setFont(DesignFont(11, true));
    SetTextColour(ui.lbRes, Qt::blue);
    SetTextColour(ui.lbCurFilters, Qt::blue);
    SetTextColour(ui.NameOffice, Qt::red, {QPalette::PlaceholderText});
    for (QWidget *group : {static_cast<QWidget *>(ui.grpChoice), static_cast<QWidget *>(ui.grpMoving)})
        group->setPalette(QPalette(QColor(0xE3, 0xEC, 0xF8)));

    ui.PgCtl->setTabIcon(0, style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    ui.PgCtl->setTabIcon(1, style()->standardIcon(QStyle::SP_DirHomeIcon));
    ui.PgCtl->tabBar()->setAttribute(Qt::WA_Hover);
    ui.btSaveSettings->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    ui.PgCtl->setCurrentIndex(1);

    // Settings fields: typing is limited, values read from the file are taken as they are.
    ui.NameOffice->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral(".{0,40}")), this));
    // The two presentation counts take 0 to 200, the size of a run's schedule; the
    // corridor takes any three digits.
    const QRegularExpression upTo200(QStringLiteral("|\\d|[1-9]\\d|1\\d\\d|200"));
    const QRegularExpression threeDigits(QStringLiteral("\\d{0,3}"));
    for (auto [edit, largest] : {std::pair{ui.edt_npr, 200}, std::pair{ui.rdo_c, 200}, std::pair{ui.rdo_t, 999}}) {
        edit->setValidator(new QRegularExpressionValidator(largest == 200 ? upTo200 : threeDigits, edit));
        edit->installEventFilter(new NumberStepper(largest, edit));
    }
    SettingsToControls(vel::SettingsTexts{});

    // The address filter takes its text in lower case only.
    connect(ui.ByAddress, &QLineEdit::textEdited, this, [edit = ui.ByAddress](const QString &text) {
        const QString lower = text.toLower();
        if (lower != text) {
            const int pos = edit->cursorPosition();
            edit->setText(lower);
            edit->setCursorPosition(pos);
        }
    });
    SetFiltersRolledOut(false);
    ui.pb1->setRange(0, 100);
    ui.cbb_test->setCurrentIndex(0);
    ui.cbb_test->lineEdit()->setCursorPosition(0);   // the start of the test name in sight

    // The test panel keeps its width when the window is resized; the splitter moves it.
    ui.spl1->setStretchFactor(0, 1);
    ui.spl1->setStretchFactor(1, 0);
    ui.spl1->setSizes({781 - 249, 249});

    // Status bar: two panels of its own, two thirds and one third of its width.
    ui.stat->setFont(DesignFont(13));
    SetTextColour(ui.stat, palette().color(QPalette::ToolTipText));
    for (QLabel *&panel : m_panels) {
        panel = new QLabel(ui.stat);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setIndent(4);
        panel->setTextFormat(Qt::PlainText);
    }
    m_panels[0]->setObjectName(QStringLiteral("statPanel0"));
    m_panels[1]->setObjectName(QStringLiteral("statPanel1"));
    ui.stat->installEventFilter(this);
    SetStatusPanelText(1, QStringLiteral("(пациент не выбран)"));
    statResize();

    m_statTimer.setObjectName(QStringLiteral("statTimer"));
    m_statTimer.setInterval(100);
}

void Tfrm::ConnectHandlers()
{
    Ui::Tfrm &ui = *m_ui;
    connect(&m_statTimer, &QTimer::timeout, this, &Tfrm::statTimerTimer);
    connect(ui.btSaveSettings, &QPushButton::clicked, this, &Tfrm::btSaveSettingsClick);
    connect(ui.rollFiltersButton, &QToolButton::toggled, this, &Tfrm::SetFiltersRolledOut);

    connect(ui.btApply, &QPushButton::clicked, this, &Tfrm::btApplyClick);
    connect(ui.btFind, &QPushButton::clicked, this, &Tfrm::btFindClick);
    connect(ui.edSearch, &QLineEdit::textChanged, this, &Tfrm::edSearchChange);
    connect(ui.btPplAppend, &QPushButton::clicked, this, &Tfrm::btPplAppendClick);
    connect(ui.rdbgr, &QAbstractItemView::doubleClicked, this, &Tfrm::rdbgrDblClick);
    connect(&m_db.rdb, &vel::Table::afterScroll, this, &Tfrm::rdbAfterScroll);
    connect(ui.btImp, &QPushButton::clicked, this, &Tfrm::btImpClick);
    connect(ui.btExportAll, &QPushButton::clicked, this, &Tfrm::btExportAllClick);

    // The test list: a pending selection of the patient list is carried out before a
    // test window opens, so that the test goes to the patient the operator sees.
    m_testList = new vel::TestListPanel(
        m_db, {ui.dbgrd_psy, ui.lbRes, ui.cbb_test}, m_statTimer,
        [this](vel::TestType test) -> vel::TestWindow * {
            if (test == vel::TestType::Moving)
                return m_formRDO;
            return m_formPsy;
        },
        this, [this] {
            if (m_scrollMark != 0)
                SyncSelectedPatient();
        });
    connect(ui.btn_plant, &QPushButton::clicked, this, &Tfrm::btn_psyClick);
    connect(ui.dbgrd_psy, &QAbstractItemView::doubleClicked, this, &Tfrm::dbgrd_psyDblClick);
    connect(ui.dbgrd_psy, &QAbstractItemView::clicked, this, &Tfrm::dbgrd_psyCellClick);
    connect(m_testList, &vel::TestListPanel::gridKeyUp, this, &Tfrm::dbgrd_psyKeyUp);

    connect(ui.btFixIndices, &QPushButton::clicked, this, &Tfrm::btFixIndicesClick);
}

void Tfrm::SetWindows(TfmAddRec *fmAddRec, TFormPsy *formPsy, TFormRDO *formRDO)
{
    m_fmAddRec = fmAddRec;
    m_formPsy = formPsy;
    m_formRDO = formRDO;
    // A run reads its planned count from the settings page when it starts.
    if (m_formPsy)
        m_formPsy->Runner().SetPlannedCountText([this] { return m_ui->edt_npr->text(); });
    // The moving-object scoring reads its corridor of exact reactions each time it scores.
    if (m_formRDO)
        m_formRDO->SetCorridorText([this] { return m_ui->rdo_t->text(); });
    if (m_formRDO)
        m_formRDO->Runner().SetPlannedCountText([this] { return m_ui->rdo_c->text(); });
}

// ---- creation and closing ----

void Tfrm::FormCreate()
{
    // Kept for the screening suite; a folder that cannot be made is no concern here.
    if (!QFileInfo::exists(vel::ResolvePath(QStringLiteral("Fernoliya"))))
        QDir().mkdir(QStringLiteral("Fernoliya"));
    LoadSettings();
    m_scrollMark = 0;
    m_searchMark = 0;
    ChangeViewInterface();
    ShowVersionCaption();
}

void Tfrm::closeEvent(QCloseEvent *e)
{
    FormClose();
    e->accept();
}

void Tfrm::FormClose()
{
    if (m_closed)
        return;
    m_closed = true;
    m_statTimer.stop();
    try {
        m_db.Close();
    } catch (const vel::TableError &err) {
        QMessageBox::critical(this, Caption, err.message());
    }
    vel::MaintenanceHooks hooks;
    hooks.showStatus = [this](const QString &text) { ShowStatusMessage(text); };
    hooks.disableWindow = [this] { setEnabled(false); };
    hooks.warn = [this](const QString &caption, const QString &text) {
        QMessageBox::warning(this, caption, text);
    };
    vel::CloseMaintenance(vel::Config().DataDir, vel::Config().BackupDir, hooks);
}

// ---- settings ----

vel::SettingsTexts Tfrm::SettingsFromControls() const
{
    vel::SettingsTexts t;
    t.NameOffice = m_ui->NameOffice->text();
    t.edt_npr = m_ui->edt_npr->text();
    t.rdo_c = m_ui->rdo_c->text();
    t.rdo_t = m_ui->rdo_t->text();
    return t;
}

void Tfrm::SettingsToControls(const vel::SettingsTexts &t)
{
    m_ui->NameOffice->setText(t.NameOffice);
    m_ui->edt_npr->setText(t.edt_npr);
    m_ui->rdo_c->setText(t.rdo_c);
    m_ui->rdo_t->setText(t.rdo_t);
}

void Tfrm::LoadSettings()
{
    vel::SettingsTexts texts = SettingsFromControls();
    vel::LoadSettingsFile(vel::Config().SettingsFile, vel::Config().FallbackSettingsFile, texts);
    SettingsToControls(texts);
}

bool Tfrm::SaveSettings()
{
    QString reason;
    if (vel::SaveSettingsFile(vel::Config().SettingsFile, SettingsFromControls(), &reason)) {
        ShowStatusMessage(QStringLiteral("Настройки сохранены."));
        return true;
    }
    QMessageBox box(QMessageBox::Critical, Caption, QStringLiteral("Сбой при сохранении файла настроек!"),
                    QMessageBox::Ok, this);
    box.setInformativeText(QDir::toNativeSeparators(QFileInfo(vel::ResolvePath(vel::Config().SettingsFile)).absoluteFilePath())
                           + QStringLiteral("\n") + reason);
    box.exec();
    return false;
}

void Tfrm::btSaveSettingsClick() { SaveSettings(); }

// ---- caption and patient list ----

bool Tfrm::ShowVersionCaption()
{
    const auto version = vel::platform::ProgramVersion();
    if (!version)
        return false;
    setWindowTitle(QStringLiteral("Велмора версия %1.%2.%3.%4")
                       .arg((*version)[0]).arg((*version)[1]).arg((*version)[2]).arg((*version)[3]));
    return true;
}

void Tfrm::ChangeViewInterface()
{
    // The address column of the patient list is kept but not shown.
    const QAbstractItemModel *model = m_ui->rdbgr->model();
    if (!model)
        return;
    for (int c = 0; c < model->columnCount(); ++c) {
        if (model->headerData(c, Qt::Horizontal).toString() == QStringLiteral("Адресс"))
            m_ui->rdbgr->setColumnWidth(c, 0);
    }
}

// ---- status bar ----

void Tfrm::ShowStatusMessage(const QString &text)
{
    // A message that arrives while one is emphasised does not prolong the emphasis.
    if (m_emphasisTicks == 0) {
        m_emphasisTicks = EmphasisLength;
        QFont f = m_ui->stat->font();
        f.setBold(true);
        m_ui->stat->setFont(f);
    }
    SetStatusPanelText(0, text);
    RepaintStatus();
}

bool Tfrm::StatusEmphasised() const { return m_ui->stat->font().bold(); }

QString Tfrm::StatusPanelText(int panel) const { return m_panels.at(panel)->text(); }

void Tfrm::SetStatusPanelText(int panel, const QString &text) { m_panels.at(panel)->setText(text); }

int Tfrm::StatusPanelWidth(int panel) const { return m_panels.at(panel)->width(); }

void Tfrm::RepaintStatus()
{
    // Shown at once, even in the middle of a long operation that keeps the loop busy.
    m_ui->stat->repaint();
}

void Tfrm::statResize()
{
    const int width = m_ui->stat->width();
    const int first = int(vel::RoundHalfEven(width * 2 / 3.0));
    const int second = int(vel::RoundHalfEven(width / 3.0));
    const int height = m_ui->stat->height();
    m_panels[0]->setGeometry(0, 0, first, height);
    m_panels[1]->setGeometry(first, 0, second, height);
}

bool Tfrm::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == m_ui->stat && e->type() == QEvent::Resize)
        statResize();
    return QMainWindow::eventFilter(watched, e);
}

bool Tfrm::event(QEvent *e)
{
    // The hint of the control under the mouse goes to panel 0.
    if (e->type() == QEvent::StatusTip) {
        SetStatusPanelText(0, static_cast<QStatusTipEvent *>(e)->tip());
        return true;
    }
    return QMainWindow::event(e);
}

void Tfrm::statTimerTimer()
{
    if (m_emphasisTicks > 0 && --m_emphasisTicks == 0) {
        QFont f = m_ui->stat->font();
        f.setBold(false);
        m_ui->stat->setFont(f);
        RepaintStatus();
    }
    const quint64 now = vel::TickCount64();
    if (m_scrollMark != 0 && now - m_scrollMark > 1)
        SyncSelectedPatient();
    if (m_searchMark != 0 && now - m_searchMark > 1000) {
        m_searchMark = 0;
        LookupTimed();
    }
}

void Tfrm::ArmScrollMark()
{
    const quint64 now = vel::TickCount64();
    if (m_scrollMark == 0 || now - m_scrollMark < 1)
        m_scrollMark = now;
}

void Tfrm::ArmSearchMark()
{
    const quint64 now = vel::TickCount64();
    if (m_searchMark == 0 || now - m_searchMark < 1000)
        m_searchMark = now;
}

// ---- the roll-out "Фильтры" ----

void Tfrm::SetFiltersRolledOut(bool on)
{
    QSignalBlocker block(m_ui->rollFiltersButton);
    m_ui->rollFiltersButton->setChecked(on);
    m_ui->rollFiltersButton->setArrowType(on ? Qt::DownArrow : Qt::RightArrow);
    m_ui->rollFiltersBody->setVisible(on);
}

bool Tfrm::FiltersRolledOut() const { return m_ui->rollFiltersButton->isChecked(); }

// ---- mouse wheel ----

void Tfrm::wheelEvent(QWheelEvent *e)
{
    // Only turns that no control took come here (a grid scrolls its own rows). On the
    // working page they move the patient table; elsewhere they are left alone.
    const int delta = e->angleDelta().y();
    if (delta == 0 || m_ui->PgCtl->currentIndex() != 1) {
        e->ignore();
        return;
    }
    m_wheelRest += delta;
    while (m_wheelRest >= WheelStep) {
        m_wheelRest -= WheelStep;
        FormMouseWheelUp();
    }
    while (m_wheelRest <= -WheelStep) {
        m_wheelRest += WheelStep;
        FormMouseWheelDown();
    }
    e->accept();
}

void Tfrm::FormMouseWheelUp()
{
    if (m_db.dbPeople.isOpen())
        m_db.dbPeople.findPrior();
}

void Tfrm::FormMouseWheelDown()
{
    if (m_db.dbPeople.isOpen())
        m_db.dbPeople.findNext();
}

// ---- patient register ----

void Tfrm::SetUpRegister()
{
    vel::RegisterWindow window;
    window.window = this;
    window.showStatusMessage = [this](const QString &text) { ShowStatusMessage(text); };
    window.setStatusPanelText = [this](int panel, const QString &text) { SetStatusPanelText(panel, text); };
    window.armSearchMark = [this] { ArmSearchMark(); };
    window.setFiltersRolledOut = [this](bool on) { SetFiltersRolledOut(on); };
    window.refreshConclusion = [this] { dbgrd_psyCellClick(); };
    window.editSelectedPatient = [this] { rdbgrDblClick(); };
    const Ui::Tfrm &ui = *m_ui;
    vel::PatientRegister::Controls controls;
    controls.rdbgr = ui.rdbgr;
    controls.edSearch = ui.edSearch;
    controls.lbSrchd = ui.lbSrchd;
    controls.lbCurFilters = ui.lbCurFilters;
    controls.pb1 = ui.pb1;
    controls.stat = ui.stat;
    controls.lbRes = ui.lbRes;
    controls.cbBySexFlt = ui.cbBySexFlt;
    controls.rgBySexM = ui.rgBySexM;
    controls.rgBySexF = ui.rgBySexF;
    controls.cbByBDayFlt = ui.cbByBDayFlt;
    controls.edByBDay = ui.edByBDay;
    controls.cbByAddressFlt = ui.cbByAddressFlt;
    controls.ByAddress = ui.ByAddress;
    m_register = std::make_unique<vel::PatientRegister>(controls, m_db, std::move(window));
}

// Carries out the selection now; a move still waiting for the status timer is done with,
// so that the timer does not narrow the tests again and move them back to the first one.
void Tfrm::SyncSelectedPatient()
{
    m_scrollMark = 0;
    m_register->SyncSelectedPatient();
}
void Tfrm::LookupTimed() { m_register->LookupTimed(); }
void Tfrm::rdbAfterScroll() { ArmScrollMark(); }
void Tfrm::btApplyClick() { m_register->btApplyClick(); }
void Tfrm::btFindClick() { m_register->btFindClick(); }
void Tfrm::edSearchChange() { m_register->edSearchChange(); }

void Tfrm::btPplAppendClick()
{
    if (m_fmAddRec)
        m_register->btPplAppendClick(*m_fmAddRec);
}

void Tfrm::rdbgrDblClick()
{
    if (m_fmAddRec)
        m_register->rdbgrDblClick(*m_fmAddRec);
}

void Tfrm::btImpClick() { vel::RunImportDialog(this, m_db); }

void Tfrm::btExportAllClick()
{
    vel::RunExport(this, m_db, [this](const QString &text) {
        SetStatusPanelText(0, text);
        RepaintStatus();
    });
}

// ---- stored tests ----

void Tfrm::btn_psyClick() { m_testList->NewTest(); }
void Tfrm::dbgrd_psyDblClick() { m_testList->ReopenTest(); }
void Tfrm::dbgrd_psyCellClick() { m_testList->ShowConclusion(); }

void Tfrm::dbgrd_psyKeyUp(int key)
{
    // Delete removes the current test whatever modifier keys are held.
    if (key == Qt::Key_Delete)
        m_testList->DeleteTest();
}

// ---- database maintenance ----

void Tfrm::btFixIndicesClick() { SetStatusPanelText(0, vel::FixIndices(vel::Config().DataDir)); }
