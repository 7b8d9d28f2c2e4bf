// The hidden buttons "Импорт" and "Экспорт" of the main window's settings page, offscreen:
// the question, the file dialog dlgImport and a school's list imported through the
// template; the error box of a failed row with its clipboard text; "No" and Cancel; the
// export with its status texts, completion message and the writer's own error box.
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "app/unit1.h"
#include "register/patientimport.h"
#include "common/config.h"
#include "tests/support/mainwindowfixture.h"
#include "tests/support/modalscript.h"
#include "tests/support/registerfixture.h"
#include "tests/support/transferfixture.h"
#include "ui_unit1.h"

using namespace vel;
using namespace vel::testing;

namespace {

// Chooses a file in the import dialog, checking what the dialog offers.
ModalScript::Step Choose(const QString &path)
{
    return [path](QWidget *w) {
        auto *dlg = qobject_cast<QFileDialog *>(w);
        QVERIFY2(dlg, "the file dialog was expected");
        QCOMPARE(dlg->objectName(), QString("dlgImport"));
        QCOMPARE(dlg->windowTitle(), QString("Выберите CSV для импорта по шаблону IMPORT.PTN"));
        QCOMPARE(dlg->nameFilters(), QStringList{"Файлы CSV (*.csv)"});
        QCOMPARE(dlg->fileMode(), QFileDialog::ExistingFile);
        // Typed into the name field, as the operator does.
        auto *name = dlg->findChild<QLineEdit *>("fileNameEdit");
        QVERIFY(name);
        name->setText(path);
        QMetaObject::invokeMethod(dlg, "accept");
    };
}

ModalScript::Step CancelDialog()
{
    return [](QWidget *w) {
        auto *dlg = qobject_cast<QFileDialog *>(w);
        QVERIFY2(dlg, "the file dialog was expected");
        QMetaObject::invokeMethod(dlg, "reject");
    };
}

} // namespace

class TestTransferWindow : public QObject {
    Q_OBJECT
private:
    WorkFolder m_dir;
    std::unique_ptr<Tfrm> m_frm;

    Ui::Tfrm &ui() { return m_frm->ui(); }
    Table &people() { return m_frm->database().dbPeople; }
    QString question() { return BoxLine(QMessageBox::Question, "Велмора", ImportQuestion(QDate::currentDate())); }
    QStringList fios()
    {
        QStringList out;
        for (int r = 1; r <= people().physicalRecordCount(); ++r)
            out << people().valueAt(r, people().fieldIndex("FIO")).toString();
        return out;
    }

private Q_SLOTS:
    void init()
    {
        m_frm = MainWindowIn(m_dir);
        m_frm->show();
        // The shipped template, as start-up copies it.
        QDir().mkpath("Defaults");
        QVERIFY(QFile::copy(VELMORA_SOURCE_DIR "/app/defaults/IMPORT.PTN", "Defaults/IMPORT.PTN"));
    }
    void cleanup()
    {
        m_frm.reset();
        m_dir.leave();
    }

    void schoolListThroughTheButton()
    {
        QVERIFY(ui().btImp->isHidden());
        WriteCp1251("8a.csv", {"Иванова;Мария;Петровна;ж;05.06.2015;г. Тула;ул. Мира, 1;12345678901",
                               "Фамилия;Имя;Отчество;Пол;Дата рождения;Город;Улица;СНИЛС",
                               "Петров;Олег;;м;2014-11-30;г. Тула;;"});
        ModalScript script;
        script.answer(QMessageBox::Yes).then(Choose(m_dir.filePath("8a.csv")));
        ui().btImp->click();
        QCOMPARE(script.pending(), 0);
        QCOMPARE(script.boxes, QStringList{question()});   // nothing at the end
        QCOMPARE(fios(), (QStringList{"Иванова Мария Петровна", "Петров Олег"}));
        QCOMPARE(people().valueAt(1, people().fieldIndex("ADDRESS")).toString(), QString("г. Тула, ул. Мира, 1"));
    }

    void failedRowShowsTheBoxAndFillsTheClipboard()
    {
        WriteCp1251("8a.csv", {"Иванова;Мария;;ж;05.06.2015", "Петров;Олег;;м;31.02.2014", "Сидоров;Пётр;;м;01.02.2014"});
        ModalScript script;
        script.answer(QMessageBox::Yes).then(Choose(m_dir.filePath("8a.csv")));
        ui().btImp->click();
        const QString clip = "Исключение при импорте на строке\n\"Петров;Олег;;м;31.02.2014\" —\n"
                             "EConvertError -> Неверная дата: день 31, месяц 2, год 2014";
        QCOMPARE(script.boxes, (QStringList{question(), BoxLine(QMessageBox::Critical, "Велмора",
                                                             clip + "\n\nСообщение помещено в буфер обмена.")}));
        QCOMPARE(QApplication::clipboard()->text(), clip);
        QCOMPARE(fios(), QStringList{"Иванова Мария"});   // the field drops trailing spaces
    }

    void noOrCancelImportsNothing()
    {
        WriteCp1251("8a.csv", {"Иванова;Мария;;ж;05.06.2015"});
        {
            ModalScript script;
            script.answer(QMessageBox::No);
            ui().btImp->click();
            QCOMPARE(script.boxes, QStringList{question()});
            QVERIFY(!QApplication::activeModalWidget());
        }
        {
            ModalScript script;
            script.answer(QMessageBox::Yes).then(CancelDialog());
            ui().btImp->click();
            QCOMPARE(script.pending(), 0);
        }
        QCOMPARE(people().physicalRecordCount(), 0);
    }

    void exportThroughTheButton()
    {
        QVERIFY(ui().btExportAll->isHidden());
        AddPatient(people(), 1, "Иванова Мария");
        AddPatient(people(), 2, "Петров Олег");
        people().setFilter("(IDX=2)");
        ModalScript script;
        ui().btExportAll->click();
        const QString done = "Завершен экспорт данных базы в формате CSV в "
                             + QDir::toNativeSeparators(QDir::currentPath() + "/Exported");
        QCOMPARE(script.boxes, QStringList{BoxLine(QMessageBox::NoIcon, "Велмора", done)});
        QCOMPARE(m_frm->StatusPanelText(0), QString("Выполнено."));
        QCOMPARE(ReadAll("Exported/People.csv").count("\r\n"), 3);
        QCOMPARE(people().filter(), QString("(IDX=2)"));
        QCOMPARE(people().recNo(), 2);
    }

    void exportWriteErrorHasItsOwnBox()
    {
        if (!QFileInfo("/dev/full").exists())
            QSKIP("no /dev/full to fail the writes");
        AddPatient(people(), 1, "Иванова Мария");
        QDir().mkpath("Exported");
        QVERIFY(QFile::link("/dev/full", "Exported/People.csv"));
        ModalScript script;
        ui().btExportAll->click();
        QCOMPARE(script.boxes.size(), 2);
        QVERIFY2(script.boxes[0].startsWith(QString("%1|«Зорвелия»|Исключение при экспорте —\nEWriteError -> ")
                                                .arg(int(QMessageBox::NoIcon))),
                 qPrintable(script.boxes[0]));
        QVERIFY(script.boxes[1].contains("Завершен экспорт данных базы"));
        QCOMPARE(m_frm->StatusPanelText(0), QString("Выполнено."));
    }
};

QTEST_MAIN(TestTransferWindow)
#include "test_transfer_window.moc"
