#pragma once
// The test list panel of the working page: the selected patient's tests (dbgrd_psy over
// dbfpsy), the conclusion of the current test (lbRes), the button "Добавить" (btn_plant)
// and the test selector (cbb_test). It starts a new test, reopens a stored one, stores
// the window's test when the window closes with OK, and deletes a test.
//
// The patient is the current row of the working list (rdb); the selection of the
// patient list narrows dbPeople and dbfpsy to it. The status timer is off while a test
// window is open, so that nothing changes the tables underneath the test.
//
// Deleting, reopening and storing in place act on the test whose row was current when
// the operator acted, identified by its record and checked again after every question
// or window: whatever moved the table's cursor meanwhile, no other test is changed, and a
// test that has gone meanwhile is reported and nothing is changed.
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include "records/datapsy.h"
#include "records/teststore.h"
#include "common/patientfacts.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class QTimer;
class QWidget;

namespace vel {

struct Database;
class TableModel;
class TestWindow;

inline const QString NoPatientMessage = QStringLiteral("Не выбран пациент");
inline const QString NoTestsMessage = QStringLiteral("У пациента нет психофизиологических тестов");
inline const QString DeleteTestQuestion = QStringLiteral("Вы действительно хотите удалить эту строку из списка?");
inline const QString TestGoneMessage =
    QStringLiteral("Этого теста больше нет в списке: его запись удалена или изменена другой программой. "
                   "Ничего не изменено.");

// The label's text for a conclusion.
QString ConclusionLabelText(const QString &conclusion);

class TestListPanel : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QTableView *dbgrd_psy = nullptr;
        QLabel *lbRes = nullptr;
        QComboBox *cbb_test = nullptr;
    };
    using WindowOf = std::function<TestWindow *(TestType)>;

    // `owner` owns the message boxes; `settleSelection` finishes a selection of the
    // patient list that the status timer has not yet carried out.
    TestListPanel(Database &db, const Controls &controls, QTimer &statTimer, WindowOf windowOf,
                  QWidget *owner, std::function<void()> settleSelection = {});
    ~TestListPanel() override;

    void NewTest();          // "Добавить"
    void ReopenTest();       // double click in the list
    void DeleteTest();       // Delete in the list
    void ShowConclusion();   // lbRes from the current test

    TableModel &Grid() { return *m_grid; }

Q_SIGNALS:
    // A key released in the list, for the window's handler.
    void gridKeyUp(int key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct OpenedPatient {
        int Idx = 0;
        PatientFacts Facts;
    };
    // The patient of the current working-list row, when the patient table stands on him.
    std::optional<OpenedPatient> CurrentPatient();
    // The test of the list's current row; none when the list is empty.
    std::optional<TestRef> CurrentRow() const;
    enum class StoreResult { Stored, Gone, GaveUp };
    // Writes the test with `write` (false: the test has gone, nothing written), then
    // reads the table afresh. After a failure the operator may try again; a try again
    // repeats only what failed, so a record once written is never written twice.
    StoreResult Store(const std::function<bool()> &write);
    StoredTest FromWindow(const TestWindow &window, int idx, TestType test) const;
    void Tell(const QString &text);

    Database &m_db;
    Controls m_controls;
    QTimer &m_statTimer;
    WindowOf m_windowOf;
    QWidget *m_owner;
    std::function<void()> m_settleSelection;
    std::unique_ptr<TableModel> m_grid;
};

} // namespace vel
