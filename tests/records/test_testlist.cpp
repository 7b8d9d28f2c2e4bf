// The test list of the main window, offscreen, through the windows as the operator uses
// them: a new test of each kind stored, reopened and stored in place, damaged records
// refused, tests deleted, and a patient's tests deleted with the patient.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTimeEdit>
#include <QDateEdit>
#include <QtTest>

#include "tests/support/controls.h"
#include "tests/support/workfolder.h"
#include "tests/support/modalscript.h"
#include "tests/support/windowdriver.h"

#include "app/unit1.h"
#include "choice/choicescore.h"
#include "choice/upsy.h"
#include "moving/movingscore.h"
#include "moving/rdo.h"
#include "records/testlist.h"
#include "records/teststore.h"
#include "common/config.h"
#include "store/tablemodel.h"
#include "ui_unit1.h"

using namespace vel;
using vel::testing::ModalScript;

Q_DECLARE_METATYPE(vel::TestType)

namespace {

const QString MovingData = QStringLiteral("1350\r\n1800\r\n30\r\n3\r\nSL_\r\n1330\r\n1800\r\nSR_\r\n1800\r\n1412\r\nS0_\r\n0\r\n0\r\n");

QString DataOf(TestType test) { return test == TestType::Choice ? FixtureDataPsy("mixed") : MovingData; }
QString NameOf(TestType test) { return test == TestType::Choice ? ChoiceTestName : MovingTestName; }

// The main window with its two test windows and two patients, Иванов Иван (IDX 1) and
// Петрова Анна (IDX 2), in the working list.
class Workplace {
public:
    Workplace()
    {
        frm.SetWindows(nullptr, &psy, &rdo);
        Table &people = frm.database().dbPeople;
        people.appendRecord({1, "Иванов Иван", "М", QDate(2010, 5, 1)});
        people.appendRecord({2, "Петрова Анна", "Ж", QDate(2000, 3, 15)});
        frm.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frm));
        frm.btApplyClick();
        Select(1);
    }
    // Moves the working list to the patient; the selection is carried out at once unless
    // `pending` (then it waits for the status timer, as after a click in the list).
    void Select(int idx, bool pending = false)
    {
        Table &rdb = frm.database().rdb;
        const int field = rdb.fieldIndex("IDX");
        for (int r : rdb.visibleRecNos())
            if (rdb.valueAt(r, field).toInt() == idx)
                rdb.goToRecNo(r);
        if (!pending) {
            frm.SyncSelectedPatient();
            // The move armed the status timer's delayed selection as well; let it pass
            // here, or its tick narrows the test list again under a later click in it.
            QTRY_VERIFY(!frm.ScrollMarkSet());
        }
    }
    // A stored test of the selected patient, appended as the list stores one.
    int Store(TestType test, const QString &data, const QString &time = "9:05:07",
              const QString &conclusion = "прежнее заключение", int idx = 1)
    {
        return AppendTest(tests(), StoredTest{idx, QDate(2020, 9, 1), time, NameOf(test), conclusion, data});
    }
    Table &tests() { return frm.database().dbfpsy; }
    QTableView *grid() { return frm.ui().dbgrd_psy; }
    // The rows of the test list: date and test.
    QStringList Rows()
    {
        QStringList rows;
        QAbstractItemModel *m = grid()->model();
        for (int r = 0; r < m->rowCount(); ++r)
            rows << m->index(r, 0).data().toString() + " " + m->index(r, 1).data().toString();
        return rows;
    }
    void ClickRow(int row)
    {
        const QRect cell = grid()->visualRect(grid()->model()->index(row, 0));
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cell.center());
    }
    void DoubleClickRow(int row)
    {
        ClickRow(row);
        const QRect cell = grid()->visualRect(grid()->model()->index(row, 0));
        QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, cell.center());
    }

    Tfrm frm;
    TFormPsy psy{&frm};
    TFormRDO rdo{&frm};
};

struct Record {
    int idx;
    QDate date;
    QString time, type, conclusion, data;
    bool deleted;
};

// Every record of Psy.dbf, deleted ones too, read from a fresh view of the file.
QList<Record> FileRecords(Table &tests)
{
    QList<Record> out;
    const auto f = [&](const char *name) { return tests.fieldIndex(name); };
    for (int r = 1; r <= tests.physicalRecordCount(); ++r)
        out << Record{tests.valueAt(r, f("IDX")).toInt(), tests.valueAt(r, f("DATE")).toDate(),
                      tests.valueAt(r, f("TIME")).toString().trimmed(), tests.valueAt(r, f("TYPE")).toString().trimmed(),
                      tests.valueAt(r, f("PSYFINAL")).toString().trimmed(), tests.valueAt(r, f("DATAPSY")).toString(),
                      tests.isDeletedAt(r)};
    return out;
}

} // namespace

class TestTestList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_dir.enter({"Data"});
        MutableConfig() = AppConfig{};
        MutableConfig().AppFormatSettings = QLocale(QLocale::Russian, QLocale::Russia);
    }
    void cleanup() { m_dir.leave(); }

    void newTestIsStored_data()
    {
        QTest::addColumn<TestType>("test");
        QTest::newRow("choice") << TestType::Choice;
        QTest::newRow("moving") << TestType::Moving;
    }
    void newTestIsStored()
    {
        QFETCH(TestType, test);
        Workplace w;
        w.frm.ui().cbb_test->setCurrentIndex(test == TestType::Choice ? 0 : 1);
        // The moving-object scoring takes its corridor from the settings page: at 10 ms the
        // first presentation's -20 is a lead, which changes the conclusion.
        w.frm.ui().rdo_t->setText("10");
        QString caption;
        bool timerOff = false;
        ModalScript modals;
        modals.act<TestWindow>([&](TestWindow &window) {
            caption = window.windowTitle();
            timerOff = !w.frm.statTimer().isActive();
            QCOMPARE(window.Test(), test);
            QCOMPARE(Control<QTabWidget>(&window, "pgc1")->currentIndex(), 0);
            // The run, as it leaves the record.
            QString error;
            QVERIFY(LoadDataPsy(DataOf(test), test, window.Run(), error));
            Control<QDateEdit>(&window, "dtpDataTest")->setDate(QDate(2020, 9, 1));
            Control<QTimeEdit>(&window, "edtTime")->setTime(QTime(9, 5, 7));
            QTest::mouseClick(Control<QPushButton>(&window, "btnSave"), Qt::LeftButton);
        });
        QTest::mouseClick(w.frm.ui().btn_plant, Qt::LeftButton);

        QCOMPARE(caption, QString("Новая тест реакции выбора пациента: Иванов Иван"));
        QVERIFY(timerOff);
        QVERIFY(w.frm.statTimer().isActive());
        const auto records = FileRecords(w.tests());
        QCOMPARE(records.size(), 1);
        const Record &r = records[0];
        QCOMPARE(r.idx, 1);
        QCOMPARE(r.date, QDate(2020, 9, 1));
        QCOMPARE(r.time, QString("9:05:07"));
        QCOMPARE(r.type, NameOf(test));
        QCOMPARE(r.data, DataOf(test));   // byte for byte, CR LF after every line
        TTestRun run;
        QString error;
        LoadDataPsy(DataOf(test), test, run, error);
        const PatientFacts ivanov{"Иванов Иван", "м", QDate(2010, 5, 1)};
        const QString expected = test == TestType::Choice
                                     ? choice::ScoreRun(run, ivanov, QDate(2020, 9, 1))->ConclusionText
                                     : moving::ScoreRun(run, ivanov, QDate(2020, 9, 1), 10)->ConclusionText;
        if (test == TestType::Moving)
            QCOMPARE(expected, moving::BalancedConclusion);   // the default corridor gives another
        QVERIFY(!expected.isEmpty());
        QCOMPARE(r.conclusion, expected);
        QCOMPARE(w.Rows(), QStringList{"01.09.2020 " + NameOf(test)});
        QCOMPARE(w.frm.ui().lbRes->text(), ConclusionLabelText(expected));
    }

    void closedWithoutSavingStoresNothing()
    {
        Workplace w;
        ModalScript modals;
        modals.act<TestWindow>([](TestWindow &window) {
            window.Run() = FixtureRun("mixed");
            QTest::mouseClick(Control<QPushButton>(&window, "btnQit"), Qt::LeftButton);
        });
        QTest::mouseClick(w.frm.ui().btn_plant, Qt::LeftButton);
        QCOMPARE(w.tests().physicalRecordCount(), 0);
        QVERIFY(w.frm.statTimer().isActive());
    }

    // The test table cannot be written when the window closes: the operator is told and
    // asked to try again, and the test is stored once the table is back.
    void failedStoreIsRetried()
    {
        Workplace w;
        ModalScript modals;
        modals.act<TestWindow>([&](TestWindow &window) {
            window.Run() = FixtureRun("mixed");
            w.tests().close();
            QTest::mouseClick(Control<QPushButton>(&window, "btnSave"), Qt::LeftButton);
        });
        modals.answer(QMessageBox::Yes, [&] { w.tests().open(); });
        QTest::mouseClick(w.frm.ui().btn_plant, Qt::LeftButton);
        QCOMPARE(modals.texts.size(), 1);
        QVERIFY2(modals.texts[0].startsWith("Тест не сохранён:"), qPrintable(modals.texts[0]));
        QVERIFY(modals.texts[0].endsWith("Повторить сохранение?"));
        const auto records = FileRecords(w.tests());
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].data, FixtureDataPsy("mixed"));
        QVERIFY(w.frm.statTimer().isActive());
    }

    // The record is written but reading the table afterwards fails: trying again reads
    // it again and never appends the test a second time.
    void failedReadAfterStoringIsNotStoredTwice()
    {
        Workplace w;
        const QString file = w.tests().filePath();
        // Another program damages the header right after the post: it counts records that
        // are not there, and the table cannot be read until the header is mended.
        const auto setHeaderCount = [&](quint32 count, bool extraByte) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(4));
            const char bytes[4] = {char(count), char(count >> 8), char(count >> 16), char(count >> 24)};
            f.write(bytes, 4);
            // The size changes too, so that the change shows however coarse the file times.
            const qint64 size = f.size();
            f.resize(extraByte ? size + 1 : size - 1);
        };
        bool damaged = false;
        connect(&w.tests(), &Table::afterScroll, &w.frm, [&] {
            if (!damaged && !w.tests().isEditing() && w.tests().recNo() == 1) {
                damaged = true;
                setHeaderCount(5, true);
            }
        });
        ModalScript modals;
        modals.act<TestWindow>([&](TestWindow &window) {
            window.Run() = FixtureRun("mixed");
            QTest::mouseClick(Control<QPushButton>(&window, "btnSave"), Qt::LeftButton);
        });
        modals.answer(QMessageBox::Yes, [&] { setHeaderCount(1, false); });
        QTest::mouseClick(w.frm.ui().btn_plant, Qt::LeftButton);
        QVERIFY(damaged);
        QCOMPARE(modals.texts.size(), 1);
        QVERIFY2(modals.texts[0].startsWith("Тест сохранён, но"), qPrintable(modals.texts[0]));
        const auto records = FileRecords(w.tests());
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].data, FixtureDataPsy("mixed"));
        QCOMPARE(w.Rows().size(), 1);
    }

    void newTestNeedsAPatientAndATest()
    {
        Workplace w;
        ModalScript modals;
        modals.act<TestWindow>([](TestWindow &) {});
        // Typed text that names no test: nothing happens.
        w.frm.ui().cbb_test->setEditText("Тест реакции");
        modals.answerOthers(QMessageBox::Yes);
        QTest::mouseClick(w.frm.ui().btn_plant, Qt::LeftButton);
        QCOMPARE(modals.texts, QStringList());
        // An empty working list.
        w.frm.ui().cbb_test->setCurrentIndex(0);
        w.frm.database().rdb.emptyTable();
        QTest::mouseClick(w.frm.ui().btn_plant, Qt::LeftButton);
        QTRY_COMPARE(modals.texts, QStringList{NoPatientMessage});
        QCOMPARE(modals.pending(), 1);   // no test window opened
        QVERIFY(w.frm.statTimer().isActive());
        QCOMPARE(w.tests().physicalRecordCount(), 0);
    }

    // The operator moved to another patient and pressed "Добавить" before the status timer
    // carried the selection out: the test is still the new patient's.
    void testGoesToThePatientShown()
    {
        Workplace w;
        w.Store(TestType::Choice, FixtureDataPsy("no_errors"), "9:00:00", "прежнее заключение", 2);
        w.frm.statTimer().stop();
        w.Select(2, true);
        QString caption;
        ModalScript modals;
        modals.act<TestWindow>([&](TestWindow &window) {
            caption = window.windowTitle();
            window.Run() = FixtureRun("mixed");
            QTest::mouseClick(Control<QPushButton>(&window, "btnSave"), Qt::LeftButton);
        });
        w.frm.btn_psyClick();
        QCOMPARE(caption, QString("Новая тест реакции выбора пациента: Петрова Анна"));
        const auto records = FileRecords(w.tests());
        QCOMPARE(records.size(), 2);
        QCOMPARE(records[1].idx, 2);
        // The selection was carried out once: the list stays on the new test.
        QTest::qWait(300);
        QCOMPARE(w.grid()->currentIndex().row(), 1);
        QCOMPARE(w.frm.ui().lbRes->text(), ConclusionLabelText(records[1].conclusion));
    }

    void reopenedTestIsStoredInPlace_data()
    {
        QTest::addColumn<TestType>("test");
        QTest::newRow("choice") << TestType::Choice;
        QTest::newRow("moving") << TestType::Moving;
    }
    void reopenedTestIsStoredInPlace()
    {
        QFETCH(TestType, test);
        Workplace w;
        w.Store(test, DataOf(test), "09:05:07");
        w.Store(TestType::Choice, FixtureDataPsy("no_errors"), "10:00:00", "другой тест");
        QCOMPARE(w.Rows().size(), 2);
        w.ClickRow(0);
        int tab = -1;
        QString caption;
        QDate date;
        ModalScript modals;
        modals.act<TestWindow>([&](TestWindow &window) {
            caption = window.windowTitle();
            tab = Control<QTabWidget>(&window, "pgc1")->currentIndex();
            date = Control<QDateEdit>(&window, "dtpDataTest")->date();
            QTest::mouseClick(Control<QPushButton>(&window, "btnSave"), Qt::LeftButton);
        });
        w.DoubleClickRow(0);

        QCOMPARE(caption, QString("Тест пациента: Иванов Иван"));
        QCOMPARE(tab, int(TestWindow::ResultTab));
        QCOMPARE(date, QDate(2020, 9, 1));
        const auto records = FileRecords(w.tests());
        QCOMPARE(records.size(), 2);   // no new record
        QCOMPARE(records[0].data, DataOf(test));
        QCOMPARE(records[0].time, QString("9:05:07"));   // in the current time format
        QCOMPARE(records[0].type, NameOf(test));
        QVERIFY(!records[0].conclusion.isEmpty());
        QVERIFY(records[0].conclusion != "прежнее заключение");
        QCOMPARE(records[1].conclusion, QString("другой тест"));
        QVERIFY(w.frm.statTimer().isActive());
    }

    // Reopening opens the test double-clicked and stores it back into its own record,
    // whatever moves the test table meanwhile; a test deleted while its window is open
    // is reported and nothing is stored.
    void reopenActsOnTheTestOpened_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("selection carried out late") << "late selection";
        QTest::newRow("cursor moved while open") << "cursor";
        QTest::newRow("deleted while open") << "deleted";
    }
    void reopenActsOnTheTestOpened()
    {
        QFETCH(QString, meanwhile);
        Workplace w;
        w.Store(TestType::Choice, FixtureDataPsy("no_errors"), "9:00:00", "первый");
        const int second = w.Store(TestType::Choice, FixtureDataPsy("mixed"), "10:00:00", "второй");
        w.ClickRow(1);
        // A move of the patient list whose selection the timer has not carried out yet.
        if (meanwhile == "late selection")
            w.frm.ArmScrollMark();
        QTime shown;
        ModalScript modals;
        modals.act<TestWindow>([&](TestWindow &window) {
            shown = Control<QTimeEdit>(&window, "edtTime")->time();
            if (meanwhile == "cursor") {
                w.tests().first();
            } else if (meanwhile == "deleted") {
                w.tests().goToRecNo(second);
                w.tests().deleteRecord();
            }
            QTest::mouseClick(Control<QPushButton>(&window, "btnSave"), Qt::LeftButton);
        });
        modals.answerOthers(QMessageBox::No);
        w.DoubleClickRow(1);
        QCOMPARE(modals.pending(), 0);   // the test window opened
        QCOMPARE(shown, QTime(10, 0, 0));
        const auto records = FileRecords(w.tests());
        QCOMPARE(records.size(), 2);   // no new record
        QCOMPARE(records[0].conclusion, QString("первый"));
        QCOMPARE(records[0].time, QString("9:00:00"));
        QVERIFY(!records[0].deleted);
        if (meanwhile == "deleted") {
            QTRY_COMPARE(modals.texts, QStringList{TestGoneMessage});
            QCOMPARE(records[1].conclusion, QString("второй"));
        } else {
            QCOMPARE(modals.texts, QStringList());
            QVERIFY(records[1].conclusion != "второй");   // scored and stored again
            QCOMPARE(w.frm.ui().lbRes->text(), ConclusionLabelText(records[1].conclusion));
        }
        QVERIFY(w.frm.statTimer().isActive());
    }

    void damagedRecordIsNotOpened_data()
    {
        QTest::addColumn<TestType>("test");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("says");
        QTest::newRow("too few items") << TestType::Choice << "9:05:07"
                                       << "1000\r\n1000\r\n10\r\n3\r\nSL\r\n1500\r\n3150\r\n" << "нужно значений: 13";
        QTest::newRow("not a number") << TestType::Moving << "9:05:07"
                                      << "1350\r\n1800\r\n30\r\n1\r\nSL_\r\nxx\r\n1800\r\n" << "«xx» не является";
        QTest::newRow("above 65535") << TestType::Choice << "9:05:07"
                                     << "1000\r\n1000\r\n10\r\n1\r\nSL\r\n70000\r\n3150\r\n" << "больше 65535";
        QTest::newRow("DoneCount above 200") << TestType::Choice << "9:05:07" << "1000\r\n1000\r\n250\r\n250\r\n"
                                             << "250 больше 200";
        QTest::newRow("time") << TestType::Moving << "9.05.07" << MovingData << "не является временем";
    }
    void damagedRecordIsNotOpened()
    {
        QFETCH(TestType, test);
        QFETCH(QString, time);
        QFETCH(QString, data);
        QFETCH(QString, says);
        Workplace w;
        w.Store(test, data, time);
        const auto before = FileRecords(w.tests());
        ModalScript modals;
        modals.act<TestWindow>([](TestWindow &) {});
        modals.answerOthers(QMessageBox::Yes);
        w.DoubleClickRow(0);
        QTRY_COMPARE(modals.texts.size(), 1);
        QVERIFY2(modals.texts[0].contains(says), qPrintable(modals.texts[0]));
        QCOMPARE(modals.pending(), 1);   // no test window opened
        const auto after = FileRecords(w.tests());
        QCOMPARE(after.size(), 1);
        QCOMPARE(after[0].data, before[0].data);
        QCOMPARE(after[0].time, before[0].time);
        QCOMPARE(after[0].conclusion, before[0].conclusion);
        QVERIFY(w.frm.statTimer().isActive());
    }

    void reopenWithoutSomethingToOpen()
    {
        Workplace w;
        ModalScript modals;
        modals.act<TestWindow>([](TestWindow &) {});
        modals.answerOthers(QMessageBox::Yes);
        w.frm.dbgrd_psyDblClick();
        QTRY_COMPARE(modals.texts, QStringList{NoTestsMessage});
        // A test of another program of the suite: not opened, no message.
        AppendTest(w.tests(), StoredTest{1, QDate(2020, 9, 1), "9:00:00", "Теппинг-тест", "", "1\r\n"});
        w.frm.dbgrd_psyDblClick();
        w.frm.database().rdb.emptyTable();
        w.frm.dbgrd_psyDblClick();
        QTRY_COMPARE(modals.texts, (QStringList{NoTestsMessage, NoPatientMessage}));
        QCOMPARE(modals.pending(), 1);   // no test window opened
    }

    void deleteKeyDeletesTheCurrentTest()
    {
        Workplace w;
        w.Store(TestType::Choice, FixtureDataPsy("mixed"), "9:00:00", "первый");
        w.Store(TestType::Choice, FixtureDataPsy("no_errors"), "10:00:00", "второй");
        w.ClickRow(1);
        QCOMPARE(w.frm.ui().lbRes->text(), ConclusionLabelText("второй"));
        {
            ModalScript no;
            no.answerOthers(QMessageBox::No);
            QTest::keyClick(w.grid(), Qt::Key_Delete, Qt::ShiftModifier);
            QTRY_COMPARE(no.texts, QStringList{DeleteTestQuestion});
        }
        QCOMPARE(w.Rows().size(), 2);
        ModalScript yes;
        yes.answerOthers(QMessageBox::Yes);
        QTest::keyClick(w.grid(), Qt::Key_Delete);
        QTRY_COMPARE(yes.texts.size(), 1);
        const auto records = FileRecords(w.tests());
        QCOMPARE(records.size(), 2);   // deletion marks the record
        QVERIFY(!records[0].deleted);
        QVERIFY(records[1].deleted);
        QCOMPARE(w.Rows().size(), 1);
        QCOMPARE(w.frm.ui().lbRes->text(), ConclusionLabelText("первый"));
        // With the list empty, Delete asks nothing.
        QTest::keyClick(w.grid(), Qt::Key_Delete);
        QTest::keyClick(w.grid(), Qt::Key_Delete);
        QTest::qWait(50);
        QCOMPARE(yes.texts.size(), 2);
        QCOMPARE(w.Rows().size(), 0);
    }

    // Yes deletes the test that was asked about, whatever moves the test table while the
    // question is open; a test deleted meanwhile is reported and no other is deleted.
    void deleteActsOnTheTestAsked_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("selection carried out late") << "late selection";
        QTest::newRow("cursor moved") << "cursor";
        QTest::newRow("deleted meanwhile") << "deleted";
    }
    void deleteActsOnTheTestAsked()
    {
        QFETCH(QString, meanwhile);
        Workplace w;
        w.Store(TestType::Choice, FixtureDataPsy("mixed"), "9:00:00", "первый");
        const int second = w.Store(TestType::Choice, FixtureDataPsy("no_errors"), "10:00:00", "второй");
        w.ClickRow(1);
        QCOMPARE(w.frm.ui().lbRes->text(), ConclusionLabelText("второй"));
        ModalScript answers;
        answers.answerOthers(QMessageBox::Yes).answer(QMessageBox::Yes, [&] {
            if (meanwhile == "late selection") {
                // The status timer's tick carries out a selection pending from before.
                w.frm.ArmScrollMark();
                QTest::qWait(3);
                w.frm.statTimerTimer();
            } else if (meanwhile == "cursor") {
                w.tests().first();
            } else {
                w.tests().goToRecNo(second);
                w.tests().deleteRecord();
            }
        });
        QTest::keyClick(w.grid(), Qt::Key_Delete);
        QTRY_VERIFY(!answers.texts.isEmpty());
        const auto records = FileRecords(w.tests());
        QCOMPARE(records.size(), 2);
        QVERIFY(!records[0].deleted);
        QVERIFY(records[1].deleted);
        if (meanwhile == "deleted")
            QTRY_COMPARE(answers.texts, (QStringList{DeleteTestQuestion, TestGoneMessage}));
        else
            QCOMPARE(answers.texts, QStringList{DeleteTestQuestion});
        QCOMPARE(w.Rows().size(), 1);
        QCOMPARE(w.frm.ui().lbRes->text(), ConclusionLabelText("первый"));
    }

    void deletingAPatientDeletesHisTests()
    {
        Workplace w;
        w.Store(TestType::Choice, FixtureDataPsy("mixed"), "9:00:00", "", 1);
        w.Store(TestType::Moving, MovingData, "9:10:00", "", 1);
        w.Store(TestType::Choice, FixtureDataPsy("no_errors"), "9:20:00", "", 2);
        w.Store(TestType::Choice, FixtureDataPsy("mixed"), "9:30:00", "", 1);
        QCOMPARE(w.Rows().size(), 3);
        ModalScript yes;
        yes.answerOthers(QMessageBox::Yes);
        QTest::keyClick(w.frm.ui().rdbgr, Qt::Key_Delete);
        QTRY_COMPARE(yes.texts.size(), 1);
        QStringList left;
        for (const Record &r : FileRecords(w.tests()))
            if (!r.deleted)
                left << QString::number(r.idx) + " " + r.time;
        QCOMPARE(left, QStringList{"2 9:20:00"});
    }

private:
    WorkFolder m_dir;
};

QTEST_MAIN(TestTestList)
#include "test_testlist.moc"
