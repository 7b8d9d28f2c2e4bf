// The main window offscreen: creation steps, settings through the controls, the status
// bar (emphasis, panel widths, hints), the mouse wheel on each page and closing.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>
#include <QtTest>

#include "tests/support/modalscript.h"
#include "tests/support/workfolder.h"

#include <sys/stat.h>

#include "app/application.h"
#include "app/settingsfile.h"
#include "app/unit1.h"
#include "common/config.h"
#include "common/mathutil.h"
#include "common/text.h"
#include "ui_unit1.h"

using namespace vel;

namespace {

// A wheel turn that no control under the mouse took: the window itself receives it.
// True when the window took it.
bool SendWheel(QWidget *window, int delta)
{
    const QPointF pos(window->width() / 2.0, window->height() / 2.0);
    QWheelEvent e(pos, window->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    e.setAccepted(false);
    QApplication::sendEvent(window, &e);
    return e.isAccepted();
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_dir.enter({"Data"});
        MutableConfig() = AppConfig{};
    }
    void cleanup() { m_dir.leave(); }

    void creation()
    {
        Tfrm frm;
        Ui::Tfrm &ui = frm.ui();
        QVERIFY(QFileInfo("Fernoliya").isDir());
        QCOMPARE(frm.windowTitle(), QString("Велмора версия " VELMORA_VERSION_STRING));
        QCOMPARE(ui.PgCtl->currentWidget(), ui.tsBegin);
        QCOMPARE(ui.PgCtl->tabText(0), QString("&0 Настройки"));
        QVERIFY(frm.database().dbPeople.isOpen());
        QVERIFY(frm.statTimer().isActive());
        QCOMPARE(frm.statTimer().interval(), 100);
        QCOMPARE(frm.StatusPanelText(1), QString("(пациент не выбран)"));
        QVERIFY(!frm.FiltersRolledOut());
        // Controls that nothing in the program shows.
        for (QWidget *hidden : {static_cast<QWidget *>(ui.btFixIndices), static_cast<QWidget *>(ui.cbShowDelRec),
                                static_cast<QWidget *>(ui.cbCanSelectSeveral), static_cast<QWidget *>(ui.btExportAll),
                                static_cast<QWidget *>(ui.btImp)})
            QVERIFY2(hidden->isHidden(), qPrintable(hidden->objectName()));
        QCOMPARE(ui.edt_npr->text(), QString("10"));
        QCOMPARE(ui.rdo_c->text(), QString("30"));
        QCOMPARE(ui.rdo_t->text(), QString("39"));
        QCOMPARE(ui.cbb_test->currentText(), QString("Тест реакции выбора"));
        QCOMPARE(ui.btPplAppend->text(), QString("Добавить пациента"));
    }

    void settingsFromFallbackThenSaved()
    {
        WriteAll("Data/Postavka.ini", ToCp1251("[Общие настройки]\r\nНаименование учреждения = Школа №1\r\n"
                                               "число предъявлений рдо = 20\r\nкоридор точной реакции = 45\r\n"));
        {
            Tfrm frm;
            QCOMPARE(frm.ui().NameOffice->text(), QString("Школа №1"));
            QCOMPARE(frm.ui().edt_npr->text(), QString("10"));
            QCOMPARE(frm.ui().rdo_c->text(), QString("20"));
            QCOMPARE(frm.ui().rdo_t->text(), QString("45"));
            frm.ui().edt_npr->setText("25");
            frm.ui().btSaveSettings->click();
            QVERIFY(frm.StatusEmphasised());
        }
        QVERIFY(QFileInfo::exists("Data/velmora.ini"));
        WriteAll("Data/Postavka.ini", ToCp1251("[Общие настройки]\r\nЧисло предъявлений = 99\r\n"));
        Tfrm again;
        QCOMPARE(again.ui().edt_npr->text(), QString("25"));
        QCOMPARE(again.ui().NameOffice->text(), QString("Школа №1"));
    }

    // The counts take what a run's schedule can hold; the corridor any three digits. Up and
    // Down step within the same bounds. (A larger count read from the file is capped by the run.)
    void settingsFieldsTyped_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("afterUp");
        QTest::newRow("count 200") << "edt_npr" << "200" << "200" << "200";
        QTest::newRow("count 250 stops at 25") << "edt_npr" << "250" << "25" << "26";
        QTest::newRow("moving count 201") << "rdo_c" << "201" << "20" << "21";
        QTest::newRow("corridor 999") << "rdo_t" << "999" << "999" << "999";
        QTest::newRow("letters refused") << "edt_npr" << "1a2" << "12" << "13";
    }
    void settingsFieldsTyped()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, afterUp);
        Tfrm frm;
        auto *edit = frm.findChild<QLineEdit *>(field);
        QVERIFY(edit);
        edit->clear();
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), shown);
        QTest::keyClick(edit, Qt::Key_Up);
        QCOMPARE(edit->text(), afterUp);
    }

    void failedSaveIsReported()
    {
        MutableConfig().SettingsFile = "Missing/velmora.ini";
        Tfrm frm;
        frm.ui().NameOffice->setText("typed");
        testing::ModalScript modals;
        modals.answer(QMessageBox::Ok);
        QVERIFY(!frm.SaveSettings());
        QCOMPARE(modals.texts.size(), 1);
        QVERIFY2(modals.texts[0].startsWith("Сбой при сохранении файла настроек!\n"), qPrintable(modals.texts[0]));
        QVERIFY(modals.texts[0].contains("velmora.ini"));
        QCOMPARE(frm.ui().NameOffice->text(), QString("typed"));
    }

    void unreadableSettingsStopsCreation()
    {
        QVERIFY(QDir().mkdir("Data/velmora.ini"));
        const int before = QApplication::topLevelWidgets().size();
        try {
            Tfrm frm;
            QFAIL("the window was created");
        } catch (const SettingsReadError &e) {
            QCOMPARE(e.file(), QString("Data/velmora.ini"));
        }
        QCOMPARE(QApplication::topLevelWidgets().size(), before);
    }

    void emphasisCountsTicks()
    {
        Tfrm frm;
        frm.statTimer().stop();
        frm.ShowStatusMessage("первое");
        QVERIFY(frm.StatusEmphasised());
        frm.statTimerTimer();
        frm.statTimerTimer();
        frm.ShowStatusMessage("второе");   // does not restart the emphasis
        QCOMPARE(frm.StatusPanelText(0), QString("второе"));
        frm.statTimerTimer();
        frm.statTimerTimer();
        QVERIFY(frm.StatusEmphasised());
        frm.statTimerTimer();
        QVERIFY(!frm.StatusEmphasised());
        QCOMPARE(frm.EmphasisTicks(), 0);
        QCOMPARE(frm.StatusPanelText(0), QString("второе"));
        frm.ShowStatusMessage("третье");   // a new emphasis after the old one ended
        QCOMPARE(frm.EmphasisTicks(), 5);
    }

    void emphasisLastsHalfASecond()
    {
        Tfrm frm;
        QElapsedTimer t;
        frm.ShowStatusMessage("Архивирую базу...");
        t.start();
        QTRY_VERIFY_WITH_TIMEOUT(!frm.StatusEmphasised(), 3000);
        const qint64 ms = t.elapsed();
        QVERIFY2(ms >= 380 && ms < 2000, qPrintable(QString::number(ms)));
    }

    void statusPanelWidths_data()
    {
        QTest::addColumn<int>("width");
        QTest::newRow("designed") << 781;
        QTest::newRow("multiple of 3") << 900;
        QTest::newRow("remainder 1") << 901;
        QTest::newRow("remainder 2") << 902;
    }
    void statusPanelWidths()
    {
        QFETCH(int, width);
        Tfrm frm;
        frm.resize(width, 506);
        frm.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frm));
        QTRY_COMPARE(frm.ui().stat->width(), width);
        const int w = frm.ui().stat->width();
        QCOMPARE(frm.StatusPanelWidth(0), int(RoundHalfEven(w * 2 / 3.0)));
        QCOMPARE(frm.StatusPanelWidth(1), int(RoundHalfEven(w / 3.0)));
        QCOMPARE(frm.StatusPanelWidth(0) + frm.StatusPanelWidth(1), w);
    }

    void hintsGoToPanelZero()
    {
        Tfrm frm;
        QStatusTipEvent tip(frm.ui().btApply->statusTip());
        QApplication::sendEvent(frm.ui().btApply, &tip);
        QCOMPARE(frm.StatusPanelText(0), QString("Осуществить выборку по фильтрам; очистит поиск по имени"));
    }

    void wheelOnEachPage()
    {
        Tfrm frm;
        Table &people = frm.database().dbPeople;
        for (int i = 1; i <= 3; ++i) {
            people.append();
            people.setValue("IDX", i);
            people.setValue("FIO", QString("Пациент %1").arg(i));
            people.post();
        }
        QVERIFY(people.goToRecNo(2));

        QVERIFY(SendWheel(&frm, 120));
        QCOMPARE(people.recNo(), 1);
        QVERIFY(SendWheel(&frm, -120));
        QVERIFY(SendWheel(&frm, -120));
        QCOMPARE(people.recNo(), 3);
        QVERIFY(SendWheel(&frm, 60));           // half a notch: no step yet
        QCOMPARE(people.recNo(), 3);
        QVERIFY(SendWheel(&frm, 60));
        QCOMPARE(people.recNo(), 2);

        frm.ui().PgCtl->setCurrentWidget(frm.ui().tabSettings);
        QVERIFY(!SendWheel(&frm, 120));
        QCOMPARE(people.recNo(), 2);
    }

    void delayedMarks()
    {
        Tfrm frm;
        frm.statTimer().stop();
        frm.ArmScrollMark();
        frm.ArmSearchMark();
        QTest::qWait(5);
        frm.statTimerTimer();
        QVERIFY(!frm.ScrollMarkSet());
        QVERIFY(frm.SearchMarkSet());
        QTest::qWait(1010);
        frm.statTimerTimer();
        QVERIFY(!frm.SearchMarkSet());
    }

    void uncaughtErrorEndsOnlyTheOperation()
    {
        Tfrm frm;
        frm.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frm));
        int after = 0;
        // The button's own handler is replaced by one that fails.
        frm.ui().btn_plant->disconnect();
        connect(frm.ui().btn_plant, &QPushButton::clicked, &frm, [&] {
            throw TableError("Psy.dbf: файл занят другой программой");
            ++after;
        });
        testing::ModalScript modals;
        modals.answer(QMessageBox::Ok);
        QTest::mouseClick(frm.ui().btn_plant, Qt::LeftButton);
        QTRY_COMPARE(modals.texts.size(), 1);
        QVERIFY(modals.texts[0].startsWith("Psy.dbf: файл занят другой программой"));
        QCOMPARE(after, 0);
        // The window goes on working.
        frm.ShowStatusMessage("дальше");
        QCOMPARE(frm.StatusPanelText(0), QString("дальше"));
        QVERIFY(frm.isVisible());
    }

    void closingClosesTablesAndBacksUp()
    {
        Tfrm frm;
        frm.show();
        QVERIFY(frm.close());
        QVERIFY(!frm.database().dbPeople.isOpen());
        QVERIFY(!frm.database().dbfpsy.isOpen());
        QVERIFY(!frm.statTimer().isActive());
        QCOMPARE(QDir("Backup").entryList({"*.zip"}, QDir::Files).size(), 1);
    }

private:
    WorkFolder m_dir;
};

int main(int argc, char **argv)
{
    VelmoraApplication app(argc, argv);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_mainwindow.moc"
