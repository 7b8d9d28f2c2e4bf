// The patient register, first half: the working list, its filters, the name search and
// the selection of a patient.
#include "register/patientregister.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>

#include "register/addresstest.h"
#include "register/worklistfill.h"
#include "common/config.h"
#include "common/mathutil.h"
#include "common/text.h"
#include "store/database.h"
#include "store/tablemodel.h"

namespace vel {

namespace {

const QString NoPatient = QStringLiteral("(пациент не выбран)");

// The index tag of the working list that orders it by a column's field.
QString TagOfField(const QString &field)
{
    static const QHash<QString, QString> tags = {
        {QStringLiteral("IDX"), QStringLiteral("I")},      {QStringLiteral("FIO"), QStringLiteral("F")},
        {QStringLiteral("SEX"), QStringLiteral("X")},      {QStringLiteral("BIRTHDAY"), QStringLiteral("B")},
        {QStringLiteral("ADDRESS"), QStringLiteral("A")},
    };
    return tags.value(field.toUpper(), QStringLiteral("ALL"));
}

} // namespace

PatientRegister::PatientRegister(const Controls &controls, Database &db, RegisterWindow window, QObject *parent)
    : QObject(parent), m_ui(controls), m_db(db), m_window(std::move(window))
{
    SetUpGrid();
    connect(m_ui.rdbgr, &QAbstractItemView::clicked, this, &PatientRegister::rdbgrCellClick);
    connect(m_ui.rdbgr->horizontalHeader(), &QHeaderView::sectionClicked, this, &PatientRegister::rdbgrTitleClick);
    connect(&m_db.dbPeople, &Table::beforeDelete, this, &PatientRegister::dbPeopleBeforeDelete);
}

PatientRegister::~PatientRegister() = default;

void PatientRegister::SetUpGrid()
{
    QTableView *grid = m_ui.rdbgr;
    m_model = new TableModel(m_db.rdb,
                             {{QStringLiteral("FIO"), QStringLiteral("ФИО")},
                              {QStringLiteral("SEX"), QStringLiteral("Пол")},
                              {QStringLiteral("BIRTHDAY"), QStringLiteral("Д/рожд.")},
                              {QStringLiteral("ADDRESS"), QStringLiteral("Адресс")}},
                             this);
    m_model->setLocale(Config().AppFormatSettings);
    grid->setModel(m_model);
    grid->setSelectionModel(m_model->selectionModel());
    grid->setColumnWidth(0, 250);
    grid->setColumnWidth(2, 69);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setSectionsClickable(true);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->installEventFilter(this);
    grid->viewport()->installEventFilter(this);
}

bool PatientRegister::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == m_ui.rdbgr) {
        if (e->type() == QEvent::KeyPress)
            return rdbgrKeyPress(static_cast<QKeyEvent *>(e));
        if (e->type() == QEvent::KeyRelease)
            rdbgrKeyUp(static_cast<QKeyEvent *>(e));
    } else if (watched == m_ui.rdbgr->viewport() && e->type() == QEvent::MouseButtonRelease) {
        rdbgrMouseUp(static_cast<QMouseEvent *>(e)->button());
    }
    return QObject::eventFilter(watched, e);
}

// ---- filters ----

FilterSettings PatientRegister::Filters() const
{
    FilterSettings f;
    f.bySex = m_ui.cbBySexFlt->isChecked();
    f.sexItem = m_ui.rgBySexM->isChecked() ? 0 : m_ui.rgBySexF->isChecked() ? 1 : -1;
    f.byBirthday = m_ui.cbByBDayFlt->isChecked();
    f.birthday = m_ui.edByBDay->value();
    f.byAddress = m_ui.cbByAddressFlt->isChecked();
    f.address = m_ui.ByAddress->text();
    return f;
}

void PatientRegister::BuildSelectionFilter() { m_db.pdb.setFilter(vel::BuildSelectionFilter(Filters())); }

QString PatientRegister::DescribeFilters()
{
    FilterSettings f = Filters();
    const QString text = vel::DescribeFilters(f);
    if (!f.bySex)
        m_ui.cbBySexFlt->setChecked(false);
    return text;
}

// ---- the fill ----

void PatientRegister::LookupTimed()
{
    if (m_lookupBusy) {
        m_window.showStatusMessage(QStringLiteral("Поиск уже идёт, подождите!"));
        return;
    }
    // An expression that does not compile is reported before anything changes.
    const FilterSettings filters = Filters();
    AddressTest address(filters.byAddress, filters.address);
    if (!address.isValid()) {
        Warn(address.error());
        return;
    }
    m_lookupBusy = true;
    QString failure;
    {
        // Whatever happens in the walk, the fill ends idle with the grid showing the list.
        auto done = qScopeGuard([this] {
            m_ui.lbSrchd->repaint();
            m_lookupBusy = false;
            m_model->setSuspended(false);
        });
        m_ui.lbCurFilters->setText(QStringLiteral("Текущие фильтры: ") + DescribeFilters());
        if (address.enabled() && !address.isRegularExpression())
            m_ui.ByAddress->setText(address.plainText());
        try {
            m_model->setSuspended(true);
            m_db.rdb.emptyTable();
            m_ui.pb1->setValue(0);
            BuildSelectionFilter();
            const QString search = m_ui.edSearch->text();
            if (!search.isEmpty())
                m_db.pdb.setFilter(JoinFilters(NameSearchFilter(search), m_db.pdb.filter()));
            const QVector<int> passing = m_db.pdb.visibleRecNos();
            if (passing.isEmpty()) {
                m_ui.lbSrchd->setText(QStringLiteral("Не найдено."));
            } else {
                if (search.isEmpty()) {
                    m_window.setStatusPanelText(0, QStringLiteral("Подготавливается список..."));
                    const int m = m_db.dbPeople.exactRecordCount();
                    if (m > 0)
                        m_ui.pb1->setValue(int(RoundHalfEven(50.0 / m)));
                }
                const int found = FillWorkList(m_db.pdb, passing, m_db.rdb, address,
                                               [this](int k, int n, const QString &fio) { ShowFillProgress(k, n, fio); });
                m_ui.lbSrchd->setText(QStringLiteral("Найдено %1 чел.").arg(found));
            }
        } catch (const AddressTestTooSlow &) {
            failure = AddressTestTooSlow::Message();
        } catch (const TableError &err) {
            failure = err.message();
        }
        if (!failure.isEmpty()) {
            // A list cut short would pass for a complete one.
            m_db.rdb.emptyTable();
            m_ui.lbSrchd->setText(QStringLiteral("Поиск прерван."));
        }
        m_db.rdb.setIndexName(QStringLiteral("F"));
        m_db.rdb.first();     // its move arms the synchronisation
    }
    if (!m_db.rdb.isEmpty())
        m_window.setFiltersRolledOut(false);
    if (!failure.isEmpty())
        Warn(failure);
}

void PatientRegister::ShowFillProgress(int k, int n, const QString &fio)
{
    m_ui.pb1->setValue(50 + int(RoundHalfEven(50.0 * k / n)));
    m_window.setStatusPanelText(0, QStringLiteral("%1: %2").arg(k).arg(fio));
    // The loop is busy until the fill ends: what the operator sees is painted now.
    m_ui.pb1->repaint();
    m_ui.stat->repaint();
}

// ---- selection ----

int PatientRegister::SelectedIdx() const
{
    return m_db.rdb.recNo() > 0 ? m_db.rdb.asInteger(QStringLiteral("IDX")) : 0;
}

void PatientRegister::SyncSelectedPatient()
{
    // A table narrowed anew goes to its first record. When it is already narrowed to this
    // patient (the timer catching up with a selection carried out already) it is only read
    // afresh, so that the test the operator stands on stays current.
    const auto narrow = [](Table &table, const QString &filter) {
        if (table.filter() == filter)
            table.refresh();
        else
            table.setFilter(filter);
    };
    if (!m_db.rdb.isEmpty() && m_db.rdb.recNo() > 0) {
        const QString t = PatientFilter(SelectedIdx());
        narrow(m_db.dbPeople, t);
        narrow(m_db.dbfpsy, t);
        m_window.setStatusPanelText(1, m_db.rdb.asString(QStringLiteral("FIO")));
    } else {
        narrow(m_db.dbfpsy, PatientFilter(0));
        m_ui.lbRes->clear();
        m_window.setStatusPanelText(1, NoPatient);
    }
}

bool PatientRegister::LocatePatient(int idx)
{
    const int field = m_db.rdb.fieldIndex(QStringLiteral("IDX"));
    for (int r : m_db.rdb.visibleRecNos())
        if (m_db.rdb.valueAt(r, field).toInt() == idx)
            return m_db.rdb.goToRecNo(r);
    return false;
}

// ---- buttons and the search edit ----

void PatientRegister::btApplyClick()
{
    if (!m_ui.edSearch->text().isEmpty())
        m_ui.edSearch->clear();     // arms the search mark: the fill follows
    else
        LookupTimed();
    m_window.refreshConclusion();
}

void PatientRegister::btFindClick()
{
    LookupTimed();
    m_ui.rdbgr->viewport()->update();
}

void PatientRegister::edSearchChange()
{
    m_db.dbPeople.setFilter(NameSearchFilter(m_ui.edSearch->text()));
    m_window.armSearchMark();
}

// ---- the list: sorting, type-ahead, keys and mouse ----

void PatientRegister::rdbgrTitleClick(int column)
{
    const QString tag = m_db.rdb.isEmpty() ? QStringLiteral("ALL") : TagOfField(m_model->column(column).field);
    m_db.rdb.setIndexName(tag);
}

void PatientRegister::rdbgrCellClick() { m_window.refreshConclusion(); }

bool PatientRegister::rdbgrKeyPress(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        if (m_window.editSelectedPatient)
            m_window.editSelectedPatient();
        return true;
    }
    // Keys with Ctrl or Alt are commands, not characters of a name.
    if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    if (e->key() == Qt::Key_Backspace) {
        m_typeAheadText.chop(1);
        TypeAhead();
        return true;
    }
    const QString text = e->text();
    if (text.size() != 1 || text.at(0).unicode() < 32 || text.at(0).unicode() == 127)
        return false;
    m_typeAheadText += m_typeAheadText.isEmpty() ? UpperChar(text.at(0)) : text.at(0);
    TypeAhead();
    return true;
}

// The first row, in the list's order, whose name begins with the typed text.
void PatientRegister::TypeAhead()
{
    const int fio = m_db.rdb.fieldIndex(QStringLiteral("FIO"));
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const int r = m_model->recNoAt(row);
        if (m_db.rdb.valueAt(r, fio).toString().startsWith(m_typeAheadText, Qt::CaseSensitive)) {
            if (r != m_db.rdb.recNo())
                m_db.rdb.goToRecNo(r);
            break;
        }
    }
    m_window.setStatusPanelText(0, QStringLiteral("Ищем: ") + m_typeAheadText);
}

void PatientRegister::rdbgrKeyUp(QKeyEvent *e)
{
    if (e->isAutoRepeat())
        return;
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    const bool keypad = e->modifiers() & Qt::KeypadModifier;
    switch (e->key()) {
    case Qt::Key_Delete:
        DeleteSelectedPatient();
        break;
    case Qt::Key_PageUp:
        if (ctrl)
            m_db.rdb.findFirst();
        break;
    case Qt::Key_PageDown:
        if (ctrl)
            m_db.rdb.findLast();
        break;
    case Qt::Key_Plus:
        if (ctrl && keypad)
            ChangeListFont(1);
        break;
    case Qt::Key_Minus:
        if (ctrl && keypad)
            ChangeListFont(-1);
        break;
    default:
        break;
    }
}

void PatientRegister::ChangeListFont(int points)
{
    QTableView *grid = m_ui.rdbgr;
    QFont f = grid->font();
    const qreal size = f.pointSizeF() > 0 ? f.pointSizeF() : QFontInfo(f).pointSizeF();
    f.setPointSizeF(std::max<qreal>(1, size + points));
    grid->setFont(f);
    grid->verticalHeader()->setDefaultSectionSize(QFontMetrics(f).height() + 4);
    m_window.window->update();
}

void PatientRegister::rdbgrMouseUp(Qt::MouseButton button)
{
    if (button == Qt::RightButton || button == Qt::MiddleButton)
        m_ui.rdbgr->viewport()->update();
}

void PatientRegister::Warn(const QString &text)
{
    QMessageBox::warning(m_window.window, QStringLiteral("Велмора"), text, QMessageBox::Ok);
}

} // namespace vel
