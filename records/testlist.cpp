#include "records/testlist.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QTableView>
#include <QTimer>

#include "assets/look.h"
#include "records/testwindow.h"
#include "store/database.h"
#include "store/tablemodel.h"

namespace vel {

namespace {

const QString Caption = QStringLiteral("Велмора");

// The status timer is off for the life of this object and on again afterwards, however
// the operation ends.
class TimerPause {
public:
    explicit TimerPause(QTimer &timer) : m_timer(timer) { m_timer.stop(); }
    ~TimerPause() { m_timer.start(); }
    TimerPause(const TimerPause &) = delete;
    TimerPause &operator=(const TimerPause &) = delete;
private:
    QTimer &m_timer;
};

} // namespace

QString ConclusionLabelText(const QString &conclusion)
{
    return QStringLiteral("\n         ЗАКЛЮЧЕНИЕ: ") + QStringLiteral("\r\n") + conclusion;
}

TestListPanel::TestListPanel(Database &db, const Controls &controls, QTimer &statTimer, WindowOf windowOf,
                             QWidget *owner, std::function<void()> settleSelection)
    : QObject(owner), m_db(db), m_controls(controls), m_statTimer(statTimer), m_windowOf(std::move(windowOf)),
      m_owner(owner), m_settleSelection(std::move(settleSelection))
{
    m_grid = std::make_unique<TableModel>(m_db.dbfpsy, QVector<GridColumn>{{QStringLiteral("DATE"), QStringLiteral("Дата")},
                                                                         {QStringLiteral("TYPE"), QStringLiteral("Тест")},
                                                                         {QStringLiteral("PSYFINAL"), QStringLiteral("Заключение")}});
    QTableView *grid = m_controls.dbgrd_psy;
    grid->setModel(m_grid.get());
    grid->setSelectionModel(m_grid->selectionModel());
    grid->setColumnHidden(2, true);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->horizontalHeader()->setFont(DesignFont(13));
    grid->setFont(DesignFont(15));
    grid->setColumnWidth(0, 90);
    // The current test stays marked when the list does not have the focus.
    QPalette p = grid->palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
    grid->setPalette(p);
    grid->installEventFilter(this);
    // The conclusion follows the current test, whichever way the list moved to it.
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &TestListPanel::ShowConclusion);
}

TestListPanel::~TestListPanel() = default;

bool TestListPanel::eventFilter(QObject *watched, QEvent *event)
{
    // One release per key stroke: a held key repeats, and Delete would ask again and again.
    if (watched == m_controls.dbgrd_psy && event->type() == QEvent::KeyRelease
        && !static_cast<QKeyEvent *>(event)->isAutoRepeat())
        emit gridKeyUp(static_cast<QKeyEvent *>(event)->key());
    return QObject::eventFilter(watched, event);
}

void TestListPanel::Tell(const QString &text) { QMessageBox::information(m_owner, Caption, text); }

std::optional<TestListPanel::OpenedPatient> TestListPanel::CurrentPatient()
{
    Table &rdb = m_db.rdb;
    if (!rdb.isOpen() || rdb.isEmpty() || rdb.asInteger(QStringLiteral("IDX")) == 0) {
        Tell(NoPatientMessage);
        return std::nullopt;
    }
    OpenedPatient patient;
    patient.Idx = rdb.asInteger(QStringLiteral("IDX"));
    patient.Facts.Name = rdb.asString(QStringLiteral("FIO"));
    patient.Facts.Sex = rdb.asString(QStringLiteral("SEX"));
    // The test is stored under the patient that dbPeople stands on; a test must never go
    // to another patient than the one the operator sees, nor to none.
    Table &people = m_db.dbPeople;
    if (people.isEmpty() || people.asInteger(QStringLiteral("IDX")) != patient.Idx) {
        QMessageBox::warning(m_owner, Caption,
                             QStringLiteral("Пациент «%1» не найден в таблице пациентов, тест не может быть "
                                            "сохранён.\nОбновите список пациентов (кнопка «Применить»).")
                                 .arg(patient.Facts.Name));
        return std::nullopt;
    }
    patient.Facts.Birthday = people.asDate(QStringLiteral("BIRTHDAY"));
    return patient;
}

StoredTest TestListPanel::FromWindow(const TestWindow &window, int idx, TestType test) const
{
    const WindowResult r = window.Result();
    StoredTest t;
    t.Idx = idx;
    t.Date = r.Date;
    t.Time = r.Time;
    t.Type = test == TestType::Choice ? ChoiceTestName : MovingTestName;
    t.Conclusion = r.Conclusion;
    t.DataPsy = r.DataPsy;
    return t;
}

std::optional<TestRef> TestListPanel::CurrentRow() const
{
    Table &dbfpsy = m_db.dbfpsy;
    if (!dbfpsy.isOpen() || dbfpsy.isEmpty())
        return std::nullopt;
    const QModelIndex current = m_controls.dbgrd_psy->currentIndex();
    int recNo = current.isValid() ? m_grid->recNoAt(current.row()) : 0;
    if (recNo <= 0)
        recNo = dbfpsy.recNo();
    if (recNo <= 0)
        return std::nullopt;
    return RefOf(dbfpsy, recNo);
}

TestListPanel::StoreResult TestListPanel::Store(const std::function<bool()> &write)
{
    bool written = false;
    for (;;) {
        try {
            if (!written) {
                if (!write()) {
                    QMessageBox::warning(m_owner, Caption, TestGoneMessage);
                    return StoreResult::Gone;
                }
                written = true;
            }
            m_db.dbfpsy.refresh();
            return StoreResult::Stored;
        } catch (const TableError &e) {
            const QString text = written
                ? QStringLiteral("Тест сохранён, но таблица тестов не перечитана:\n%1\n\nПовторить чтение?")
                : QStringLiteral("Тест не сохранён:\n%1\n\nПовторить сохранение?");
            const auto answer = QMessageBox::critical(m_owner, Caption, text.arg(e.message()),
                                                      QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
            if (answer != QMessageBox::Yes)
                return written ? StoreResult::Stored : StoreResult::GaveUp;
        }
    }
}

void TestListPanel::NewTest()
{
    TimerPause pause(m_statTimer);
    if (m_settleSelection)
        m_settleSelection();
    if (!m_db.rdb.isOpen() || m_db.rdb.isEmpty()) {
        Tell(NoPatientMessage);
        return;
    }
    // Typed text that names no test selects nothing.
    QComboBox *selector = m_controls.cbb_test;
    const int item = selector->findText(selector->currentText());
    if (item != 0 && item != 1)
        return;
    const TestType test = item == 1 ? TestType::Moving : TestType::Choice;
    TestWindow *window = m_windowOf ? m_windowOf(test) : nullptr;
    if (!window)
        return;
    const auto patient = CurrentPatient();
    if (!patient)
        return;
    window->PrepareNew(QStringLiteral("Новая тест реакции выбора пациента: ") + patient->Facts.Name, patient->Facts);
    if (window->exec() != QDialog::Accepted)
        return;
    const StoredTest stored = FromWindow(*window, patient->Idx, test);
    int recNo = 0;
    if (Store([&] {
            recNo = AppendTest(m_db.dbfpsy, stored);
            return true;
        }) == StoreResult::Stored) {
        m_db.dbfpsy.goToRecNo(recNo);
        ShowConclusion();
    }
}

void TestListPanel::ReopenTest()
{
    TimerPause pause(m_statTimer);
    // The row double-clicked, before a pending selection of the patient list moves the
    // test table.
    const std::optional<TestRef> picked = CurrentRow();
    if (m_settleSelection)
        m_settleSelection();
    if (!m_db.rdb.isOpen() || m_db.rdb.isEmpty() || m_db.rdb.asInteger(QStringLiteral("IDX")) == 0) {
        Tell(NoPatientMessage);
        return;
    }
    Table &dbfpsy = m_db.dbfpsy;
    if (!picked || dbfpsy.isEmpty()) {
        Tell(NoTestsMessage);
        return;
    }
    if (!GoToTest(dbfpsy, *picked)) {
        QMessageBox::warning(m_owner, Caption, TestGoneMessage);
        return;
    }
    const StoredTest &before = picked->Was;
    const auto test = TestOfTypeName(before.Type);
    if (!test)
        return;
    TestWindow *window = m_windowOf ? m_windowOf(*test) : nullptr;
    if (!window)
        return;
    const auto patient = CurrentPatient();
    if (!patient)
        return;
    QString error;
    if (!window->PrepareStored(QStringLiteral("Тест пациента: ") + patient->Facts.Name, patient->Facts, before.Date,
                               before.Time, before.DataPsy, before.Conclusion, error)) {
        QMessageBox::warning(m_owner, Caption, error);
        return;
    }
    if (window->exec() != QDialog::Accepted)
        return;
    const StoredTest stored = FromWindow(*window, patient->Idx, *test);
    if (Store([&] { return RewriteTest(dbfpsy, *picked, stored); }) == StoreResult::Stored) {
        dbfpsy.goToRecNo(picked->RecNo);
        ShowConclusion();
    }
}

void TestListPanel::DeleteTest()
{
    const std::optional<TestRef> picked = CurrentRow();
    if (!picked)
        return;
    // Nothing moves the tables while the operator answers; and the answer is about this
    // test whatever happens meanwhile.
    TimerPause pause(m_statTimer);
    if (QMessageBox::question(m_owner, Caption, DeleteTestQuestion, QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes)
        return;
    Table &dbfpsy = m_db.dbfpsy;
    try {
        dbfpsy.refresh();
        if (GoToTest(dbfpsy, *picked))
            dbfpsy.deleteRecord();
        else
            QMessageBox::warning(m_owner, Caption, TestGoneMessage);
    } catch (const TableError &e) {
        QMessageBox::critical(m_owner, Caption, QStringLiteral("Тест не удалён:\n%1").arg(e.message()));
    }
    ShowConclusion();
}

void TestListPanel::ShowConclusion()
{
    Table &dbfpsy = m_db.dbfpsy;
    const bool any = dbfpsy.isOpen() && !dbfpsy.isEmpty() && dbfpsy.recNo() > 0 && !dbfpsy.eof();
    m_controls.lbRes->setText(ConclusionLabelText(any ? dbfpsy.asString(QStringLiteral("PSYFINAL")) : QString()));
}

} // namespace vel
