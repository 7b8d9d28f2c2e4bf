#include "register/newentrydlg.h"

#include <QCloseEvent>
#include <QDateEdit>
#include <QKeyEvent>
#include <QMessageBox>

#include "assets/look.h"
#include "common/text.h"
#include "ui_newentrydlg.h"

using vel::PatientFields;

namespace {

const QString Caption = QStringLiteral("Велмора");

} // namespace

TfmAddRec::TfmAddRec(QWidget *parent) : QDialog(parent), m_ui(std::make_unique<Ui::TfmAddRec>())
{
    m_ui->setupUi(this);
    setFont(vel::DesignFont(16));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // Stored dates go back far beyond the pickers' default start in 1752 (1111-11-11
    // stands for a passport issue date that was not given); they are shown as they are.
    for (QDateEdit *picker : {m_ui->edBDay, m_ui->dtRuPassIssued})
        picker->setMinimumDate(QDate(100, 1, 1));

    connect(m_ui->btOK, &QPushButton::clicked, this, &TfmAddRec::btOKClick);
    connect(m_ui->bt, &QPushButton::clicked, this, &TfmAddRec::btOKClick);
    connect(m_ui->btCancel, &QPushButton::clicked, this, &TfmAddRec::btCancelClick);
    for (QObject *o : {static_cast<QObject *>(m_ui->edBDay), static_cast<QObject *>(m_ui->edToday),
                       static_cast<QObject *>(m_ui->dtRuPassIssued), static_cast<QObject *>(m_ui->edInsurance),
                       static_cast<QObject *>(m_ui->edRuPass)})
        o->installEventFilter(this);
}

TfmAddRec::~TfmAddRec() = default;

void TfmAddRec::PrepareAdd()
{
    PatientFields p;
    p.birthday = QDate::currentDate().addDays(-DefaultAgeDays);
    Reset(p, QStringLiteral("Добавление пациента"));
}

void TfmAddRec::PrepareEdit(const PatientFields &patient)
{
    Reset(patient, QStringLiteral("Изменение данных пациента"));
}

void TfmAddRec::Reset(const PatientFields &p, const QString &caption)
{
    Ui::TfmAddRec &ui = *m_ui;
    const QDate today = QDate::currentDate();
    setWindowTitle(caption);
    m_keepDialogOpen = false;
    ui.edFIO->setText(p.fio);
    (p.sex == QStringLiteral("м") ? ui.rgSexM : ui.rgSexF)->setChecked(true);
    ui.edBDay->setDate(p.birthday.isValid() ? p.birthday : today.addDays(-DefaultAgeDays));
    m_birthday = {p.birthday, ui.edBDay->date()};
    ui.edToday->setDate(today);
    ui.edAddress->setText(p.address);
    ui.edInsurance->setText(p.insurance);
    ui.edMedIns->setText(p.medIns);
    ui.edBirthCert->setText(p.birthCert);
    ui.edRuPass->setText(p.ruPass);
    ui.dtRuPassIssued->setDate(p.ruPassIssuedDate.isValid() ? p.ruPassIssuedDate : today);
    m_passportDate = {p.ruPassIssuedDate, ui.dtRuPassIssued->date()};
    ui.edRuPassIssued->setPlainText(p.ruPassIssued);
    ui.edMisc->setPlainText(p.info);
}

PatientFields TfmAddRec::Patient() const
{
    const Ui::TfmAddRec &ui = *m_ui;
    auto given = [](const QDate &now, const DateShown &loaded) { return now == loaded.shown ? loaded.stored : now; };
    PatientFields p;
    p.fio = ui.edFIO->text();
    p.sex = ui.rgSexM->isChecked() ? QStringLiteral("м") : QStringLiteral("ж");
    p.birthday = given(ui.edBDay->date(), m_birthday);
    p.address = ui.edAddress->text();
    p.insurance = vel::DigitsOf(ui.edInsurance->text());
    p.medIns = vel::DigitsOf(ui.edMedIns->text());
    p.birthCert = ui.edBirthCert->text();
    p.ruPass = vel::DigitsOf(ui.edRuPass->text());
    p.ruPassIssued = ui.edRuPassIssued->toPlainText();
    p.ruPassIssuedDate = given(ui.dtRuPassIssued->date(), m_passportDate);
    p.info = ui.edMisc->toPlainText();
    return p;
}

void TfmAddRec::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    FormShow();
}

void TfmAddRec::FormShow() { m_ui->edFIO->setFocus(Qt::OtherFocusReason); }

void TfmAddRec::Warn(const QString &text)
{
    QMessageBox::warning(this, Caption, text, QMessageBox::Ok);
}

void TfmAddRec::btOKClick()
{
    Ui::TfmAddRec &ui = *m_ui;
    m_keepDialogOpen = false;
    const QDate today = QDate::currentDate();
    if (ui.edBDay->date() > today)
        ui.edBDay->setDate(today);
    if (vel::TrimSpaces(ui.edFIO->text()).isEmpty()) {
        m_keepDialogOpen = true;
        Warn(QStringLiteral("ФИО заполнять обязательно!"));
        ui.edFIO->setFocus(Qt::OtherFocusReason);
    } else {
        const QString insurance = vel::DigitsOf(ui.edInsurance->text());
        if (!insurance.isEmpty() && !vel::IsValidInsuranceNumber(insurance)) {
            m_keepDialogOpen = true;
            Warn(QStringLiteral("Страховой номер заполнен неверно!"));
            ui.edInsurance->setFocus(Qt::OtherFocusReason);
        }
    }
    if (!m_keepDialogOpen)
        accept();
}

void TfmAddRec::btCancelClick()
{
    m_keepDialogOpen = false;
    QDialog::reject();
}

// Esc and every other way of cancelling.
void TfmAddRec::reject() { btCancelClick(); }

// The window's close button: refused after a failed validation.
void TfmAddRec::closeEvent(QCloseEvent *e)
{
    if (m_keepDialogOpen) {
        e->ignore();
        return;
    }
    QDialog::closeEvent(e);
}

bool TfmAddRec::eventFilter(QObject *watched, QEvent *e)
{
    Ui::TfmAddRec &ui = *m_ui;
    if (e->type() == QEvent::KeyPress
        && (watched == ui.edBDay || watched == ui.edToday || watched == ui.dtRuPassIssued))
        return DateKeyDown(static_cast<QKeyEvent *>(e));
    if (e->type() == QEvent::MouseButtonRelease) {
        // A click in a number that is not complete puts the caret after its last digit.
        if (watched == ui.edInsurance) {
            const int digits = int(vel::DigitsOf(ui.edInsurance->text()).size());
            if (digits < 11)
                ui.edInsurance->setCursorPosition(vel::InsuranceCaretPosition(digits));
        } else if (watched == ui.edRuPass) {
            const int digits = int(vel::DigitsOf(ui.edRuPass->text()).size());
            if (digits < 11)
                ui.edRuPass->setCursorPosition(vel::PassportCaretPosition(digits));
        }
    }
    return QDialog::eventFilter(watched, e);
}

// The date pickers take the digits of the main keyboard and the Left and Right arrows;
// every other key is dropped, except the keys that leave the field or the dialog (Tab,
// Esc, Enter), which go on to the dialog. True when the key is dropped.
bool TfmAddRec::DateKeyDown(QKeyEvent *e)
{
    const int key = e->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return e->modifiers() & Qt::KeypadModifier;
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return false;
    default:
        return true;
    }
}
