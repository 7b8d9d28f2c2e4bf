// The patient register on the main window, offscreen: fills of the working list through
// the filters and the name search, the delayed search and selection through the status
// timer, sorting, type-ahead and the keys of the list, and adding, editing and deleting
// patients through the patient dialog.
#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QtTest>

#include "app/unit1.h"
#include "register/newentrydlg.h"
#include "tests/support/mainwindowfixture.h"
#include "tests/support/modalscript.h"
#include "tests/support/registerfixture.h"
#include "tests/support/textfits.h"
#include "common/config.h"
#include "store/database.h"
#include "ui_newentrydlg.h"
#include "ui_unit1.h"

using namespace vel;
using namespace vel::testing;

namespace {

// The register every window test starts from (file order = IDX order).
const QVector<Patient> Register = {
    {1, "Иванова Анна", "ж", QDate(1995, 3, 2), "г. Курск, ул. Ленина, 5"},
    {2, "Иванов Борис", "М", QDate(1996, 7, 11), "ул. Мира, 1"},
    {3, "Ивлева Вера", "Ж", QDate(2010, 1, 20), "ул. ленина, 17"},
    {4, "Петрова Галина", "ж", QDate(1998, 12, 1), "ул. Садовая, 3"},
    {5, "ивушкина Дарья", "ж", QDate(1999, 5, 5), "ул. Мира, 8"},
    {6, "Сидоров Егор", "м", QDate(2010, 6, 15), "пр. Ленина, 40"},
};

void TypeChar(QWidget *w, const QString &text, int key = 0)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
}

} // namespace

class TestRegisterWindow : public QObject {
    Q_OBJECT
private:
    WorkFolder m_dir;
    std::unique_ptr<Tfrm> m_frm;
    TfmAddRec *m_dialog = nullptr;

    Ui::Tfrm &ui() { return m_frm->ui(); }
    Database &db() { return m_frm->database(); }
    Ui::TfmAddRec &dlg() { return m_dialog->ui(); }

    void seed()
    {
        for (const Patient &p : Register)
            AddPatient(db().dbPeople, p);
    }
    QStringList listed()
    {
        QStringList out;
        const QAbstractItemModel *m = ui().rdbgr->model();
        for (int row = 0; row < m->rowCount(); ++row)
            out << m->index(row, 0).data().toString();
        return out;
    }
    QString currentName() { return ui().rdbgr->currentIndex().data().toString(); }
    // Moves the list as a click on a row does.
    void selectRow(int row)
    {
        ui().rdbgr->setCurrentIndex(ui().rdbgr->model()->index(row, 0));
    }
    // One tick of the status timer once the scroll mark has fallen due.
    void tick()
    {
        QTest::qWait(3);
        m_frm->statTimerTimer();
    }
    void fillAll()
    {
        ui().btFind->click();
        tick();
    }

private Q_SLOTS:
    void init()
    {
        m_frm = MainWindowIn(m_dir);
        m_dialog = new TfmAddRec(m_frm.get());
        m_frm->SetWindows(m_dialog, nullptr, nullptr);
        m_frm->show();
    }
    void cleanup()
    {
        m_frm.reset();
        m_dir.leave();
    }

    void grid()
    {
        const QHeaderView *header = ui().rdbgr->horizontalHeader();
        QStringList titles;
        for (int c = 0; c < header->count(); ++c)
            titles << ui().rdbgr->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles, QStringList({"ФИО", "Пол", "Д/рожд.", "Адресс"}));
        QCOMPARE(ui().rdbgr->columnWidth(0), 250);
        QCOMPARE(ui().rdbgr->columnWidth(2), 69);
        QCOMPARE(ui().rdbgr->columnWidth(3), 0);
        QVERIFY(listed().isEmpty());
    }

    void fill_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<qint64>("birthday");      // -1: filter off
        QTest::addColumn<int>("sex");              // -1: filter off
        QTest::addColumn<QString>("address");      // null: filter off
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("filters");

        const QString none;
        QTest::newRow("everyone, by name")
            << "" << qint64(-1) << -1 << none
            << QStringList{"Иванов Борис", "Иванова Анна", "Ивлева Вера", "ивушкина Дарья", "Петрова Галина", "Сидоров Егор"}
            << "";
        QTest::newRow("born 1990-1999") << "" << qint64(199) << -1 << none
            << QStringList{"Иванов Борис", "Иванова Анна", "ивушкина Дарья", "Петрова Галина"} << "(д/р 199X-XX-XX)";
        QTest::newRow("born 2010") << "" << qint64(2010) << -1 << none
            << QStringList{"Ивлева Вера", "Сидоров Егор"} << "(д/р 2010-XX-XX)";
        QTest::newRow("born 1995-03") << "" << qint64(199503) << -1 << none
            << QStringList{"Иванова Анна"} << "(д/р 1995-03-XX)";
        QTest::newRow("born 1999-05-05") << "" << qint64(19990505) << -1 << none
            << QStringList{"ивушкина Дарья"} << "(д/р 1999-05-05)";
        QTest::newRow("birthday 0 is off") << "" << qint64(0) << -1 << none
            << QStringList{"Иванов Борис", "Иванова Анна", "Ивлева Вера", "ивушкина Дарья", "Петрова Галина", "Сидоров Егор"}
            << "";
        QTest::newRow("boys, stored М too") << "" << qint64(-1) << 0 << none
            << QStringList{"Иванов Борис", "Сидоров Егор"} << "(мальчики)";
        QTest::newRow("girls, stored Ж too") << "" << qint64(-1) << 1 << none
            << QStringList{"Иванова Анна", "Ивлева Вера", "ивушкина Дарья", "Петрова Галина"} << "(девочки)";
        QTest::newRow("address text, trimmed") << "" << qint64(-1) << -1 << "  ленина "
            << QStringList{"Иванова Анна", "Ивлева Вера", "Сидоров Егор"} << "(в адресе \"  ленина \")";
        QTest::newRow("address expression") << "" << qint64(-1) << -1 << "/^ул\\. (мира|садовая)"
            << QStringList{"Иванов Борис", "ивушкина Дарья", "Петрова Галина"} << "(в адресе \"/^ул\\. (мира|садовая)\")";
        QTest::newRow("name in lower case") << "ив" << qint64(-1) << -1 << none
            << QStringList{"Иванов Борис", "Иванова Анна", "Ивлева Вера", "ивушкина Дарья"} << "";
        QTest::newRow("name, born 199x, girls") << "Ив" << qint64(199) << 1 << none
            << QStringList{"Иванова Анна", "ивушкина Дарья"} << "(девочки, д/р 199X-XX-XX)";
    }
    void fill()
    {
        QFETCH(QString, search);
        QFETCH(qint64, birthday);
        QFETCH(int, sex);
        QFETCH(QString, address);
        seed();
        ui().edSearch->setText(search);
        ui().cbByBDayFlt->setChecked(birthday >= 0);
        ui().edByBDay->setValue(int(std::max<qint64>(birthday, 0)));
        ui().cbBySexFlt->setChecked(sex >= 0);
        (sex == 1 ? ui().rgBySexF : ui().rgBySexM)->setChecked(true);
        ui().cbByAddressFlt->setChecked(!address.isNull());
        ui().ByAddress->setText(address);

        ui().btFind->click();
        QTEST(listed(), "names");
        QFETCH(QStringList, names);
        QCOMPARE(ui().lbSrchd->text(), QStringLiteral("Найдено %1 чел.").arg(names.size()));
        QFETCH(QString, filters);
        QCOMPARE(ui().lbCurFilters->text(), "Текущие фильтры: " + filters);
        QCOMPARE(ui().pb1->value(), 100);
        // The working list always shows the sex in lower case.
        for (int row = 0; row < names.size(); ++row)
            QVERIFY(QStringList({"м", "ж"}).contains(ui().rdbgr->model()->index(row, 1).data().toString()));
        if (!address.isNull() && !address.startsWith('/'))
            QCOMPARE(ui().ByAddress->text(), address.trimmed());
    }

    // At the window's own size the search row stands whole, with the count of a full
    // register beside it.
    void searchRowStandsWhole()
    {
        QVERIFY2(textfits::CutTexts(ui().pnl_poisk).isEmpty(), qPrintable(textfits::CutTexts(ui().pnl_poisk).join(" | ")));
        seed();
        fillAll();
        QCOMPARE(ui().lbSrchd->text(), QString("Найдено 6 чел."));
        ui().lbSrchd->setText("Найдено 100000 чел.");
        ui().edSearch->setText("Константинопольская-Щедрина");
        QCoreApplication::processEvents();
        QVERIFY2(textfits::CutTexts(ui().pnl_poisk).isEmpty(), qPrintable(textfits::CutTexts(ui().pnl_poisk).join(" | ")));
    }

    void filterTextOfNameBirthdayAndSex()
    {
        seed();
        ui().edSearch->setText("Ив");
        ui().cbByBDayFlt->setChecked(true);
        ui().edByBDay->setValue(199);
        ui().cbBySexFlt->setChecked(true);
        ui().rgBySexF->setChecked(true);
        m_frm->LookupTimed();
        QCOMPARE(db().pdb.filter(),
                 QString("(SUBSTR(FIO,1,2)='Ив') and (SUBSTR(DTOS(BIRTHDAY),1,3)='199') and ((SEX='ж') or (SEX='Ж'))"));
    }

    // Quotes, parentheses and the words of the filter language typed as a name find that
    // name, not more and not an error, also joined with the selection filters.
    void searchTextCannotChangeFilter()
    {
        const QString search = "Ив') or (SEX='м";
        seed();
        AddPatient(db().dbPeople, 7, search + " Особая", "ж");
        ui().edSearch->setText(search);
        QCOMPARE(db().dbPeople.exactRecordCount(), 1);
        ui().cbBySexFlt->setChecked(true);
        ui().rgBySexF->setChecked(true);
        ui().btFind->click();
        QCOMPARE(listed(), QStringList{search + " Особая"});
    }

    void nothingFound()
    {
        seed();
        m_frm->SetFiltersRolledOut(true);
        ui().edSearch->setText("Щ");
        ui().btFind->click();
        QCOMPARE(ui().lbSrchd->text(), QString("Не найдено."));
        QVERIFY(m_frm->FiltersRolledOut());
        QVERIFY(m_frm->ScrollMarkSet());
        tick();
        QCOMPARE(m_frm->StatusPanelText(1), QString("(пациент не выбран)"));
        QCOMPARE(db().dbfpsy.filter(), QString("(IDX=0)"));
        QVERIFY(ui().lbRes->text().isEmpty());
    }

    void addressFailuresShownButNotCounted()
    {
        seed();
        m_frm->SetFiltersRolledOut(true);
        ui().cbByAddressFlt->setChecked(true);
        ui().ByAddress->setText("нет такой улицы");
        ui().btFind->click();
        QCOMPARE(ui().lbSrchd->text(), QString("Найдено 0 чел."));
        QCOMPARE(m_frm->StatusPanelText(0), QString("6: Сидоров Егор"));
        QCOMPARE(ui().pb1->value(), 100);
        QVERIFY(m_frm->FiltersRolledOut());

        ui().cbByAddressFlt->setChecked(false);
        ui().btFind->click();
        QCOMPARE(listed().size(), 6);
        QVERIFY(!m_frm->FiltersRolledOut());
    }

    void badExpressionReportedAndNextFillWorks()
    {
        seed();
        fillAll();
        ModalScript script;
        ui().cbByAddressFlt->setChecked(true);
        ui().ByAddress->setText("/ул[абв");
        ui().btFind->click();
        QCOMPARE(script.boxes.size(), 1);
        QVERIFY2(script.boxes[0].startsWith(WarningBox("Ошибка в регулярном выражении фильтра «Адрес»")),
                 qPrintable(script.boxes[0]));
        QCOMPARE(listed().size(), 6);     // the list as it was

        ui().ByAddress->setText("/ленина");
        ui().btFind->click();
        QCOMPARE(listed(), QStringList({"Иванова Анна", "Ивлева Вера", "Сидоров Егор"}));
    }

    void slowExpressionReportedAndNextFillWorks()
    {
        seed();
        AddPatient(db().dbPeople, 7, "Ящиков Яков", "м", QDate(2011, 1, 1), QString(60, 'a') + "!");
        fillAll();
        ModalScript script;
        ui().cbByAddressFlt->setChecked(true);
        ui().ByAddress->setText("/(a+)+$");
        QElapsedTimer clock;
        clock.start();
        ui().btFind->click();
        QVERIFY(clock.elapsed() < 3000);
        QCOMPARE(script.boxes.size(), 1);
        QVERIFY2(script.boxes[0].contains("слишком много времени"), qPrintable(script.boxes[0]));
        QVERIFY(listed().isEmpty());
        QCOMPARE(ui().lbSrchd->text(), QString("Поиск прерван."));
        tick();
        QCOMPARE(m_frm->StatusPanelText(1), QString("(пациент не выбран)"));

        ui().ByAddress->setText("/мира");
        ui().btFind->click();
        QCOMPARE(listed(), QStringList({"Иванов Борис", "ивушкина Дарья"}));
    }

    void fillRequestedDuringFillIsRefused()
    {
        seed();
        QString status;
        bool asked = false;
        auto connection = connect(&db().rdb, &Table::afterScroll, this, [&] {
            if (!asked && db().rdb.physicalRecordCount() == 3) {
                asked = true;
                m_frm->LookupTimed();
                status = m_frm->StatusPanelText(0);
            }
        });
        ui().btFind->click();
        disconnect(connection);
        QVERIFY(asked);
        QCOMPARE(status, QString("Поиск уже идёт, подождите!"));
        QCOMPARE(listed().size(), 6);
    }

    void delayedSearchAndSelectionByTimer()
    {
        seed();
        AddTest(db().dbfpsy, 2, "тест Бориса");
        m_frm->statTimer().start();
        QElapsedTimer clock;
        clock.start();
        ui().edSearch->setText("Ив");
        QCOMPARE(db().dbPeople.filter(), QString("(SUBSTR(FIO,1,2)='Ив')"));
        QVERIFY(listed().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(listed().size(), 4, 5000);
        QVERIFY(clock.elapsed() >= 1000);
        // The first row is selected about one tick later.
        QTRY_COMPARE(db().dbPeople.filter(), QString("(IDX=2)"));
        QCOMPARE(db().dbfpsy.filter(), QString("(IDX=2)"));
        QCOMPARE(db().dbPeople.asString("FIO"), QString("Иванов Борис"));
        QCOMPARE(db().dbfpsy.exactRecordCount(), 1);
        QCOMPARE(m_frm->StatusPanelText(1), QString("Иванов Борис"));

        // "Применить" clears the search; the fill follows a second later.
        ui().btApply->click();
        QVERIFY(ui().edSearch->text().isEmpty());
        QCOMPARE(listed().size(), 4);
        QTRY_COMPARE_WITH_TIMEOUT(listed().size(), 6, 5000);
    }

    void selectionFollowsTheList()
    {
        seed();
        fillAll();
        QCOMPARE(db().dbPeople.filter(), QString("(IDX=2)"));
        selectRow(2);
        QCOMPARE(db().rdb.asString("FIO"), QString("Ивлева Вера"));
        QVERIFY(m_frm->ScrollMarkSet());
        QCOMPARE(db().dbPeople.filter(), QString("(IDX=2)"));   // not before the timer
        tick();
        QCOMPARE(db().dbPeople.filter(), QString("(IDX=3)"));
        QCOMPARE(db().dbfpsy.filter(), QString("(IDX=3)"));
        QCOMPARE(db().dbPeople.asInteger("IDX"), 3);
    }

    void sortByTitle_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("first");
        QTest::newRow("name") << 0 << "F" << "Иванов Борис";
        QTest::newRow("sex") << 1 << "X" << "Иванова Анна";
        QTest::newRow("birthday") << 2 << "B" << "Иванова Анна";
        QTest::newRow("address") << 3 << "A" << "Иванова Анна";
    }
    void sortByTitle()
    {
        QFETCH(int, column);
        emit ui().rdbgr->horizontalHeader()->sectionClicked(column);
        QCOMPARE(db().rdb.indexName(), QString("ALL"));   // an empty list
        seed();
        fillAll();
        QCOMPARE(db().rdb.indexName(), QString("F"));
        emit ui().rdbgr->horizontalHeader()->sectionClicked(column);
        QTEST(db().rdb.indexName(), "tag");
        QTEST(listed().value(0), "first");
        QCOMPARE(listed().size(), 6);
    }

    void typeAhead()
    {
        seed();
        fillAll();
        selectRow(5);
        QWidget *grid = ui().rdbgr;
        TypeChar(grid, "и");
        QCOMPARE(currentName(), QString("Иванов Борис"));
        QCOMPARE(m_frm->StatusPanelText(0), QString("Ищем: И"));
        TypeChar(grid, "в");
        TypeChar(grid, "л");
        QCOMPARE(currentName(), QString("Ивлева Вера"));
        QCOMPARE(m_frm->StatusPanelText(0), QString("Ищем: Ивл"));
        TypeChar(grid, "ю");                                  // no such name: stays
        QCOMPARE(currentName(), QString("Ивлева Вера"));
        TypeChar(grid, QString(QChar(8)), Qt::Key_Backspace);
        TypeChar(grid, QString(QChar(8)), Qt::Key_Backspace);
        TypeChar(grid, QString(QChar(8)), Qt::Key_Backspace);
        QCOMPARE(m_frm->StatusPanelText(0), QString("Ищем: И"));
        QCOMPARE(currentName(), QString("Иванов Борис"));
        // The text goes on from where it was; the case of later letters is kept.
        TypeChar(grid, "В");
        QCOMPARE(m_frm->StatusPanelText(0), QString("Ищем: ИВ"));
        QCOMPARE(currentName(), QString("Иванов Борис"));
    }

    void listKeys()
    {
        seed();
        fillAll();
        QWidget *grid = ui().rdbgr;
        QTest::keyClick(grid, Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(currentName(), QString("Сидоров Егор"));
        QTest::keyClick(grid, Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(currentName(), QString("Иванов Борис"));

        const qreal size = QFontInfo(grid->font()).pointSizeF();
        QTest::keyClick(grid, Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
        QCOMPARE(grid->font().pointSizeF(), size + 1);
        QTest::keyClick(grid, Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
        QCOMPARE(grid->font().pointSizeF(), size);

        // Enter edits the selected patient.
        ModalScript script;
        QString caption, name;
        script.then([&](QWidget *w) {
            caption = w->windowTitle();
            name = dlg().edFIO->text();
            m_dialog->reject();
        });
        selectRow(3);
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(caption, QString("Изменение данных пациента"));
        QCOMPARE(name, QString("ивушкина Дарья"));
    }

    void deleteOnEmptyListDoesNothing()
    {
        ModalScript script;
        QTest::keyClick(ui().rdbgr, Qt::Key_Delete);
        QTest::qWait(30);
        QVERIFY(script.boxes.isEmpty());
    }

    void deletePatientWithTests()
    {
        seed();
        for (int i = 1; i <= 3; ++i)
            AddTest(db().dbfpsy, 3, QStringLiteral("т%1").arg(i));
        AddTest(db().dbfpsy, 1, "Анны");
        fillAll();
        selectRow(2);
        tick();
        QCOMPARE(currentName(), QString("Ивлева Вера"));

        ModalScript script;
        script.answer(QMessageBox::No);
        QTest::keyClick(ui().rdbgr, Qt::Key_Delete);
        QCOMPARE(script.boxes, QStringList{WarningBox("Вы действительно хотите удалить эту строку из списка?")});
        QCOMPARE(listed().size(), 6);
        QCOMPARE(LiveTests(db().dbfpsy).size(), 4);

        script.answer(QMessageBox::Yes);
        QTest::keyClick(ui().rdbgr, Qt::Key_Delete);
        QCOMPARE(listed(), QStringList({"Иванов Борис", "Иванова Анна", "ивушкина Дарья", "Петрова Галина", "Сидоров Егор"}));
        QCOMPARE(LiveTests(db().dbfpsy), QStringList{"1:Анны"});
        db().pdb.setFilter("(IDX=3)");
        QVERIFY(db().pdb.isEmpty());
        QCOMPARE(db().pdb.physicalRecordCount(), 6);        // marked, not removed
        // The list stands on a neighbour, which the timer selects.
        tick();
        QCOMPARE(db().dbPeople.filter(), QStringLiteral("(IDX=%1)").arg(db().rdb.asInteger("IDX")));
    }

    // A delete or an edit right after a move acts on the row selected at that moment,
    // although the timer has not synchronised the tables yet.
    void deleteRightAfterAMove()
    {
        seed();
        AddTest(db().dbfpsy, 1, "Анны");
        AddTest(db().dbfpsy, 3, "Веры");
        AddTest(db().dbfpsy, 3, "Веры ещё");
        fillAll();
        selectRow(1);
        tick();
        QCOMPARE(db().dbfpsy.filter(), QString("(IDX=1)"));
        selectRow(2);                                        // Ивлева Вера, not yet synchronised
        QVERIFY(m_frm->ScrollMarkSet());
        ModalScript script;
        script.answer(QMessageBox::Yes);
        QTest::keyClick(ui().rdbgr, Qt::Key_Delete);
        QCOMPARE(LiveTests(db().dbfpsy), QStringList{"1:Анны"});
        db().pdb.setFilter(QString());
        QCOMPARE(db().pdb.exactRecordCount(), 5);
        db().pdb.setFilter("(IDX=1)");
        QCOMPARE(db().pdb.asString("FIO"), QString("Иванова Анна"));
    }

    void editRightAfterAMove()
    {
        seed();
        fillAll();
        selectRow(1);
        tick();
        selectRow(2);
        ModalScript script;
        QString shown;
        script.then([&](QWidget *) {
            shown = dlg().edFIO->text();
            dlg().edFIO->setText("Ивлева Вера Петровна");
            dlg().btOK->click();
        });
        m_frm->rdbgrDblClick();
        QCOMPARE(shown, QString("Ивлева Вера"));
        db().pdb.setFilter("(IDX=3)");
        QCOMPARE(db().pdb.asString("FIO"), QString("Ивлева Вера Петровна"));
        db().pdb.setFilter("(IDX=1)");
        QCOMPARE(db().pdb.asString("FIO"), QString("Иванова Анна"));
        QCOMPARE(currentName(), QString("Ивлева Вера Петровна"));
    }

    void dialogControls_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("hint");
        QTest::newRow("edFIO") << "edFIO" << "Фамилия Имя Отчество" << "";
        QTest::newRow("edBDay") << "edBDay" << "День рождения" << "";
        QTest::newRow("edToday") << "edToday" << "Дата сохранения"
                                 << "Под этой датой запись будет сохранена в историю изменений";
        QTest::newRow("edAddress") << "edAddress" << "Адрес" << "";
        QTest::newRow("edInsurance") << "edInsurance" << "СНИЛС (страховой номер)"
                                     << "Страховой номер индивидуального лицевого счета. Формат проверяется";
        QTest::newRow("edMedIns") << "edMedIns" << "Страховой полис" << "Полис обязательного медицинского страхования";
        QTest::newRow("edBirthCert") << "edBirthCert" << "Свидетельство о рождении" << "";
        QTest::newRow("edRuPass") << "edRuPass" << "№ паспорта РФ" << "Номер паспорта, если есть";
        QTest::newRow("dtRuPassIssued") << "dtRuPassIssued" << "Когда выдан" << "Когда выдан паспорт РФ";
        QTest::newRow("edRuPassIssued") << "edRuPassIssued" << "Кем выдан" << "Кем выдан паспорт РФ";
        QTest::newRow("edMisc") << "edMisc" << "Дополнительные данные"
                                << "Здесь можно написать любые другие данные о пациенте";
        QTest::newRow("btOK") << "btOK" << "&ОК" << "Принять изменения и сохранить запись";
        QTest::newRow("btCancel") << "btCancel" << "Отмена" << "Отменить изменения и вернуться";
        QTest::newRow("bt") << "bt" << "Выбыл" << "Нажмите, чтобы переместить пациента в архив";
    }
    void dialogControls()
    {
        QFETCH(QString, control);
        QFETCH(QString, label);
        auto *w = m_dialog->findChild<QWidget *>(control);
        QVERIFY(w);
        if (auto *button = qobject_cast<QPushButton *>(w)) {
            QCOMPARE(button->text(), label);
        } else {
            QString buddyText;
            for (QLabel *l : m_dialog->findChildren<QLabel *>())
                if (l->buddy() == w)
                    buddyText = l->text();
            QCOMPARE(buddyText, label);
        }
        QTEST(w->toolTip(), "hint");
    }

    void dialogTabOrderAndMasks()
    {
        const QStringList order = {"edFIO", "rgSexM", "rgSexF", "edBDay", "edToday", "edAddress", "edInsurance",
                                   "edMedIns", "edBirthCert", "edRuPass", "dtRuPassIssued", "edRuPassIssued",
                                   "edMisc", "btOK", "btCancel", "bt"};
        QStringList chain;
        QWidget *w = dlg().edFIO;
        do {
            if (order.contains(w->objectName()) && !chain.contains(w->objectName()))
                chain << w->objectName();
            w = w->nextInFocusChain();
        } while (w != dlg().edFIO);
        QCOMPARE(chain, order);
        QCOMPARE(dlg().rgSex->title(), QString("Пол"));
        QCOMPARE(dlg().edFIO->maxLength(), 60);
        QCOMPARE(dlg().edAddress->maxLength(), 80);

        PatientFields p;
        p.fio = "Иванов";
        p.insurance = "11223344595";
        p.medIns = "1234567890123456";
        p.ruPass = "4510123456";
        p.birthday = QDate(2010, 5, 17);
        m_dialog->PrepareEdit(p);
        QCOMPARE(dlg().edInsurance->displayText(), QString("112-233-445-95"));
        QCOMPARE(dlg().edMedIns->displayText(), QString("1234-5678-9012-3456"));
        QCOMPARE(dlg().edRuPass->displayText(), QString("45 10 123456"));
        const PatientFields back = m_dialog->Patient();
        QCOMPARE(back.insurance, p.insurance);
        QCOMPARE(back.medIns, p.medIns);
        QCOMPARE(back.ruPass, p.ruPass);

        // A click in a number not yet complete puts the caret after its last digit.
        dlg().edInsurance->setText("1234");
        QTest::mouseClick(dlg().edInsurance, Qt::LeftButton, {}, QPoint(dlg().edInsurance->width() - 4, 5));
        QCOMPARE(dlg().edInsurance->cursorPosition(), 5);
        dlg().edRuPass->setText("12");
        QTest::mouseClick(dlg().edRuPass, Qt::LeftButton, {}, QPoint(dlg().edRuPass->width() - 4, 5));
        QCOMPARE(dlg().edRuPass->cursorPosition(), 3);
    }

    void dialogDateKeys()
    {
        m_dialog->PrepareAdd();
        m_dialog->show();
        for (QDateEdit *edit : {dlg().edBDay, dlg().edToday, dlg().dtRuPassIssued}) {
            edit->setDate(QDate(2010, 5, 17));
            edit->setSelectedSection(QDateTimeEdit::DaySection);
            for (Qt::Key dropped : {Qt::Key_Up, Qt::Key_Down, Qt::Key_A, Qt::Key_Home, Qt::Key_Delete})
                QTest::keyClick(edit, dropped);
            QTest::keyClick(edit, Qt::Key_2, Qt::KeypadModifier);
            QCOMPARE(edit->date(), QDate(2010, 5, 17));
            edit->setSelectedSection(QDateTimeEdit::DaySection);
            QTest::keyClick(edit, Qt::Key_2);
            QTest::keyClick(edit, Qt::Key_8);
            QCOMPARE(edit->date(), QDate(2010, 5, 28));
        }
        m_dialog->reject();
    }

    // A date the operator did not touch goes back exactly as it was stored, however old;
    // one he changed goes back as he set it.
    void dialogKeepsUntouchedDates_data()
    {
        QTest::addColumn<QDate>("stored");
        QTest::newRow("the import's missing issue date") << QDate(1111, 11, 11);
        QTest::newRow("before any picker's first day") << QDate(50, 2, 3);
        QTest::newRow("an ordinary date") << QDate(2010, 5, 17);
    }
    void dialogKeepsUntouchedDates()
    {
        QFETCH(QDate, stored);
        PatientFields p;
        p.fio = "Орлов Иван";
        p.birthday = stored;
        p.ruPassIssuedDate = stored;
        m_dialog->PrepareEdit(p);
        if (stored.year() >= 1000)   // shown as it is, not as the picker's first day
            QCOMPARE(dlg().dtRuPassIssued->date(), stored);
        QCOMPARE(m_dialog->Patient().birthday, stored);
        QCOMPARE(m_dialog->Patient().ruPassIssuedDate, stored);
        dlg().dtRuPassIssued->setDate(QDate(2015, 6, 7));
        QCOMPARE(m_dialog->Patient().ruPassIssuedDate, QDate(2015, 6, 7));
        QCOMPARE(m_dialog->Patient().birthday, stored);
    }

    void dialogValidation()
    {
        ModalScript script;     // answers the message boxes; the test drives the dialog
        m_dialog->PrepareAdd();
        QCOMPARE(m_dialog->windowTitle(), QString("Добавление пациента"));
        QCOMPARE(dlg().edBDay->date(), QDate::currentDate().addDays(-2555));
        QCOMPARE(dlg().dtRuPassIssued->date(), QDate::currentDate());
        QCOMPARE(dlg().edToday->date(), QDate::currentDate());
        QVERIFY(dlg().rgSexM->isChecked());
        m_dialog->open();
        QCOMPARE(m_dialog->focusWidget(), dlg().edFIO);

        dlg().edFIO->setText("   ");
        dlg().btOK->click();
        QTRY_COMPARE(script.boxes, QStringList{WarningBox("ФИО заполнять обязательно!")});
        QTRY_VERIFY(!QApplication::activeModalWidget() || QApplication::activeModalWidget() == m_dialog);
        QVERIFY(m_dialog->isVisible());
        QVERIFY(m_dialog->KeepDialogOpen());
        QCOMPARE(m_dialog->focusWidget(), dlg().edFIO);
        QVERIFY(!m_dialog->close());                 // the close button is refused
        QVERIFY(m_dialog->isVisible());

        // A partly filled insurance number, then "Выбыл" with a valid one.
        dlg().edFIO->setText("Новиков Олег");
        dlg().edInsurance->setText("1122334");
        dlg().bt->click();
        QTRY_COMPARE(script.boxes.size(), 2);
        QCOMPARE(script.boxes[1], WarningBox("Страховой номер заполнен неверно!"));
        QTRY_VERIFY(!QApplication::activeModalWidget() || QApplication::activeModalWidget() == m_dialog);
        QCOMPARE(m_dialog->focusWidget(), dlg().edInsurance);
        QVERIFY(m_dialog->isVisible());

        // Esc closes at once, even right after the failed validation.
        QTest::keyClick(dlg().edAddress, Qt::Key_Escape);
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
        QVERIFY(!m_dialog->KeepDialogOpen());

        // An empty number passes; a birthday in the future becomes today.
        m_dialog->PrepareAdd();
        m_dialog->open();
        dlg().edFIO->setText("Новиков Олег");
        dlg().edBDay->setDate(QDate::currentDate().addDays(30));
        dlg().bt->click();
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
        QCOMPARE(m_dialog->Patient().birthday, QDate::currentDate());
        QCOMPARE(script.boxes.size(), 2);
    }

    void addPatient()
    {
        fillAll();
        ModalScript script;
        script.then([&](QWidget *) {
            dlg().edFIO->setText("Новикова Ольга");
            dlg().rgSexF->setChecked(true);
            dlg().edAddress->setText("ул. Новая, 1");
            dlg().edInsurance->setText("11223344595");
            dlg().edMedIns->setText("1234567890123456");
            dlg().edRuPass->setText("4510123456");
            dlg().edMisc->setPlainText("аллергия");
            dlg().btOK->click();
        });
        ui().btPplAppend->click();
        QCOMPARE(script.pending(), 0);
        QCOMPARE(listed(), QStringList{"Новикова Ольга"});
        QCOMPARE(currentName(), QString("Новикова Ольга"));
        Table &pdb = db().pdb;
        pdb.setFilter(QString());
        QCOMPARE(pdb.physicalRecordCount(), 1);
        QVERIFY(pdb.first());
        QCOMPARE(pdb.asInteger("IDX"), 1);
        QCOMPARE(pdb.asString("SEX"), QString("ж"));
        QCOMPARE(pdb.asDate("BIRTHDAY"), QDate::currentDate().addDays(-2555));
        QCOMPARE(pdb.asString("INSURANCE"), QString("11223344595"));
        QCOMPARE(pdb.asString("MINSURANCE"), QString("1234567890123456"));
        QCOMPARE(pdb.asString("RUPASSPORT"), QString("4510123456"));
        QVERIFY(pdb.isNull("RUPASSUEDD"));            // the stand-in date was not touched
        QCOMPARE(pdb.memoText("INFO"), QString("аллергия"));

        // A patient outside the current filters is stored all the same, with a note.
        ui().cbBySexFlt->setChecked(true);
        ui().rgBySexF->setChecked(true);
        script.then([&](QWidget *) {
            dlg().edFIO->setText("Новиков Олег");
            dlg().btOK->click();
        });
        ui().btPplAppend->click();
        QCOMPARE(m_frm->StatusPanelText(0), QString("Вновь введённый пациент не в текущем фильтре!"));
        QVERIFY(m_frm->StatusEmphasised());
        pdb.setFilter("(IDX=2)");
        QCOMPARE(pdb.asString("FIO"), QString("Новиков Олег"));

        // Cancel stores nothing.
        script.then([&](QWidget *) { dlg().btCancel->click(); });
        ui().btPplAppend->click();
        QCOMPARE(db().pdb.physicalRecordCount(), 2);
    }

    void editKeepsEmptyDatesAndWritesSex()
    {
        {
            Table &people = db().dbPeople;
            people.append();
            people.setValue("IDX", 1);
            people.setValue("FIO", "Орлов Иван");
            people.setValue("SEX", "М");
            people.post();
        }
        fillAll();
        ModalScript script;
        bool boy = false;
        QDate shownBirthday;
        script.then([&](QWidget *) {
            boy = dlg().rgSexM->isChecked();
            shownBirthday = dlg().edBDay->date();
            dlg().btOK->click();
        });
        m_frm->rdbgrDblClick();
        QVERIFY(boy);
        QCOMPARE(shownBirthday, QDate::currentDate().addDays(-2555));
        Table &pdb = db().pdb;
        pdb.setFilter("(IDX=1)");
        QVERIFY(pdb.isNull("BIRTHDAY"));
        QVERIFY(pdb.isNull("RUPASSUEDD"));
        QCOMPARE(pdb.asString("SEX"), QString("м"));

        script.then([&](QWidget *) {
            dlg().edBDay->setDate(QDate(2011, 2, 3));
            dlg().btOK->click();
        });
        m_frm->rdbgrDblClick();
        pdb.setFilter("(IDX=1)");
        QCOMPARE(pdb.asDate("BIRTHDAY"), QDate(2011, 2, 3));
        QVERIFY(pdb.isNull("RUPASSUEDD"));
    }
};

QTEST_MAIN(TestRegisterWindow)
#include "test_register_window.moc"
