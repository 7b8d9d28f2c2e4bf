// Printing a test: both jobs printed to PDF files and read back with pdftotext, the
// default printer swapped and restored, a cancelled dialog, a window without protocol,
// and the places of the chart page's parts.
#include <QChartView>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/controls.h"
#include "tests/support/modalscript.h"
#include "tests/support/windowdriver.h"

#include "choice/upsy.h"
#include "moving/rdo.h"
#include "common/text.h"

using namespace vel;
using vel::testing::ModalScript;

namespace {

// The print dialog, answered: print to a PDF file, or cancel.
class PdfChooser : public PrinterChooser {
public:
    PdfChooser(QString file, bool accept, int *calls) : m_file(std::move(file)), m_accept(accept), m_calls(calls) {}
    bool Choose(QWidget *, QPrinter &printer) override
    {
        ++*m_calls;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_file);
        return m_accept;
    }
private:
    QString m_file;
    bool m_accept;
    int *m_calls;
};

class RecordingSwap : public DefaultPrinterSwap {
public:
    explicit RecordingSwap(QStringList *log) : m_log(log) {}
    QString DefaultPrinter() override { return QStringLiteral("Kanzlei"); }
    void MakeDefault(const QString &name) override { *m_log << name; }
private:
    QStringList *m_log;
};

QString PdfText(const QString &file)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("pdftotext failed: ") + QString::fromLocal8Bit(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput());
}

int PdfPages(const QString &file)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {file});
    p.waitForFinished(30000);
    const QString info = QString::fromUtf8(p.readAllStandardOutput());
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

bool Near(QRgb pixel, const QColor &colour)
{
    const QColor c(pixel);
    return qAbs(c.red() - colour.red()) < 40 && qAbs(c.green() - colour.green()) < 40
           && qAbs(c.blue() - colour.blue()) < 40;
}

// How many pixels of a rectangle are near a colour.
int Count(const QImage &image, const QRect &r, const QColor &colour)
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += Near(image.pixel(x, y), colour) ? 1 : 0;
    return n;
}

} // namespace

class TestTestPrint : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { SetDefaultPrinterSwapper(nullptr); }

    void choiceTestPrintsBothDocuments()
    {
        QTemporaryDir dir;
        const QString protocolFile = dir.filePath("Иванов.pdf");
        QStringList swaps;
        SetDefaultPrinterSwapper(std::make_unique<RecordingSwap>(&swaps));
        TFormPsy w;
        ShowStoredChoice(w);
        int asked = 0;
        w.SetPrinterChooser(std::make_unique<PdfChooser>(protocolFile, true, &asked));
        ModalScript messages;
        messages.answerOthers(QMessageBox::Yes);
        QTest::mouseClick(Control<QPushButton>(&w, "btnPrnR"), Qt::LeftButton);
        QCOMPARE(asked, 1);
        QCOMPARE(messages.texts, QStringList());

        // The protocol, as the browser lays it out, with its text as text.
        const QString protocol = PdfText(protocolFile);
        QVERIFY2(protocol.contains("ТЕКСТ РЕАКЦИИ ВЫБОРА ОТ 01.09.2020"), qPrintable(protocol.left(500)));
        QVERIFY(protocol.contains("Пациент: Иванов Иван"));
        QVERIFY(protocol.contains("Приложение - Графики реакции выбора"));

        // The chart page: one page with the title, the patient, the charts and the legend.
        const QString pageFile = ChartPageFileName(protocolFile);
        QCOMPARE(pageFile, dir.filePath("Иванов - графики.pdf"));
        QCOMPARE(PdfPages(pageFile), 1);
        const QString page = PdfText(pageFile);
        for (const char *expected : {"Приложение - Графики реакции выбора", "для пациента Иванов Иван",
                                     "Зеленый цвет - правильная реакция", "Красный цвет - неправильная реакция",
                                     "Белый цвет - пропуск", "Желтый цвет - дуплет", "Предъявления"})
            QVERIFY2(page.contains(QString::fromUtf8(expected)), qPrintable(QString::fromUtf8(expected) + "\n" + page));
        QVERIFY(page.indexOf("для пациента") > page.indexOf("Приложение - Графики"));
        QVERIFY(page.indexOf("Зеленый цвет") > page.indexOf("Предъявления"));

        // A file is no printer: the system's default printer was left alone.
        QCOMPARE(swaps, QStringList());
    }

    void movingTestPageHasNoLegend()
    {
        QTemporaryDir dir;
        TFormRDO w;
        w.PrepareNew("Новая тест реакции выбора пациента: Иванов Иван", Ivanov);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // Until the moving-object scoring exists, the window is given a protocol by hand.
        w.LoadProtocol(ToCp1251(QStringLiteral("<HTML><HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
                                               "charset=windows-1251\"></HEAD><BODY><h3>Реакция на движущийся объект"
                                               "</h3></BODY></HTML>\r\n")));
        int asked = 0;
        w.SetPrinterChooser(std::make_unique<PdfChooser>(dir.filePath("rdo.pdf"), true, &asked));
        w.btnPrnRClick();
        QVERIFY(PdfText(dir.filePath("rdo.pdf")).contains("Реакция на движущийся объект"));
        const QString page = PdfText(dir.filePath("rdo - графики.pdf"));
        QVERIFY2(page.contains("Приложение - Графики реакции на движущийся объект"), qPrintable(page));
        QVERIFY(page.contains("для пациента Иванов Иван"));
        QVERIFY(!page.contains("цвет -"));
    }

    void nothingIsPrintedWithoutAProtocolOrAfterCancel()
    {
        QTemporaryDir dir;
        QStringList swaps;
        SetDefaultPrinterSwapper(std::make_unique<RecordingSwap>(&swaps));
        int asked = 0;

        // A new test before its run: the browser holds no protocol, no dialog opens.
        TFormPsy fresh;
        fresh.PrepareNew("Новая тест реакции выбора пациента: Иванов Иван", Ivanov);
        fresh.show();
        Control<QTabWidget>(&fresh, "pgc1")->setCurrentIndex(TestWindow::ResultTab);
        fresh.SetPrinterChooser(std::make_unique<PdfChooser>(dir.filePath("a.pdf"), true, &asked));
        fresh.btnPrnRClick();
        QCOMPARE(asked, 0);

        // The dialog cancelled: nothing printed, the default printer left alone.
        TFormPsy stored;
        ShowStoredChoice(stored);
        stored.SetPrinterChooser(std::make_unique<PdfChooser>(dir.filePath("b.pdf"), false, &asked));
        stored.btnPrnRClick();
        QCOMPARE(asked, 1);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
        QCOMPARE(swaps, QStringList());
    }

    // While the print job is prepared the window takes no other command: no tab change,
    // no "Сохранить", "Выход", close or second "Печать"; afterwards it takes them again.
    void windowTakesNoCommandWhilePrinting()
    {
        QTemporaryDir dir;
        TFormPsy w;
        ShowStoredChoice(w);
        int asked = 0;
        QStringList taken;
        // The operator tries everything while the printing waits on its dialog and jobs.
        class BusyChooser : public PdfChooser {
        public:
            using PdfChooser::PdfChooser;
            std::function<void()> meanwhile;
            bool Choose(QWidget *owner, QPrinter &printer) override
            {
                meanwhile();
                return PdfChooser::Choose(owner, printer);
            }
        };
        auto chooser = std::make_unique<BusyChooser>(dir.filePath("p.pdf"), true, &asked);
        bool tried = false;
        chooser->meanwhile = [&] {
            if (tried)   // a second "Печать" that got through
                return;
            tried = true;
            QTest::mouseClick(Control<QTabWidget>(&w, "pgc1")->tabBar(), Qt::LeftButton, {},
                              Control<QTabWidget>(&w, "pgc1")->tabBar()->tabRect(TestWindow::ChartTab).center());
            QTest::keyClick(Control<QTabWidget>(&w, "pgc1"), Qt::Key_Tab, Qt::ControlModifier);
            if (Control<QTabWidget>(&w, "pgc1")->currentIndex() != TestWindow::ResultTab)
                taken << "tab";
            for (const char *button : {"btnSave", "btnQit", "btnPrnR"})
                QTest::mouseClick(Control<QPushButton>(&w, button), Qt::LeftButton);
            w.close();
            if (!w.isVisible())
                taken << "closed";
        };
        w.SetPrinterChooser(std::move(chooser));
        ModalScript messages;
        messages.answerOthers(QMessageBox::Yes);
        QTest::mouseClick(Control<QPushButton>(&w, "btnPrnR"), Qt::LeftButton);
        QCOMPARE(taken, QStringList());
        QCOMPARE(asked, 1);
        QVERIFY(w.isVisible());
        QCOMPARE(w.result(), 0);
        QCOMPARE(messages.texts, QStringList());
        QVERIFY(QFile::exists(dir.filePath("p.pdf")));
        // Printed: the window is as it was.
        for (const char *button : {"btnSave", "btnQit", "btnPrnR"})
            QVERIFY2(Control<QPushButton>(&w, button)->isEnabled(), button);
        QVERIFY(Control<QTabWidget>(&w, "pgc1")->isTabEnabled(TestWindow::ChartTab));
        Control<QTabWidget>(&w, "pgc1")->setCurrentIndex(TestWindow::ChartTab);
        QTest::mouseClick(Control<QPushButton>(&w, "btnQit"), Qt::LeftButton);
        QVERIFY(!w.isVisible());
    }

    void printingThatFailsIsReported()
    {
        TFormPsy w;
        ShowStoredChoice(w);
        int asked = 0;
        w.SetPrinterChooser(std::make_unique<PdfChooser>("/nonexistent-folder/x.pdf", true, &asked));
        ModalScript messages;
        messages.answerOthers(QMessageBox::Yes);
        w.btnPrnRClick();
        QCOMPARE(messages.texts.size(), 1);
        QVERIFY2(messages.texts[0].contains("протокол, страница графиков"), qPrintable(messages.texts[0]));
    }

    // The parts of the chart page stand where the page's grid of h = height / 50 puts them.
    void chartPageLayout()
    {
        TFormPsy w;
        ShowStoredChoice(w);
        const QSize size(1000, 1500);
        const int h = size.height() / 50;
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            ChartPage page{"Приложение - Графики реакции выбора", "Иванов Иван",
                           Control<QChartView>(&w, "chtL"), Control<QChartView>(&w, "chtR"),
                           {{QColor(0x00, 0x80, 0x00), Qt::SolidPattern, "Зеленый цвет - правильная реакция"},
                            {Qt::red, Qt::DiagCrossPattern, "Красный цвет - неправильная реакция"},
                            {Qt::white, Qt::SolidPattern, "Белый цвет - пропуск"},
                            {Qt::yellow, Qt::FDiagPattern, "Желтый цвет - дуплет"}}};
            PaintChartPage(painter, size, page);
        }
        // Legend boxes from x 5 to 100, one h high, from 27h down.
        const QRect green(10, 27 * h + 3, 85, h - 6);
        QCOMPARE(Count(image, green, QColor(0x00, 0x80, 0x00)), green.width() * green.height());
        const QRect red(10, 28 * h + 3, 85, h - 6);
        QVERIFY(Count(image, red, Qt::red) > red.width() * red.height() / 8);
        QVERIFY(Count(image, red, Qt::white) > 0);   // hatched, not filled
        QCOMPARE(Count(image, QRect(10, 29 * h + 3, 85, h - 6), Qt::white), 85 * (h - 6));
        QVERIFY(Count(image, QRect(10, 30 * h + 3, 85, h - 6), Qt::yellow) > 0);
        QCOMPARE(Count(image, QRect(10, 31 * h + 3, 85, h - 6), Qt::white), 85 * (h - 6));
        // The charts: from x 100 to width - 100, chtL from 3h, chtR from 15h, nothing left of them.
        const QChartView *chtL = Control<QChartView>(&w, "chtL");
        const int leftHeight = size.width() * chtL->height() / chtL->width();
        const QRect leftChart(100, 3 * h, size.width() - 200, leftHeight);
        QVERIFY(Count(image, leftChart, QColor(0x00, 0xFF, 0x00)) > 100);   // the lime bar of presentation 1
        QCOMPARE(Count(image, QRect(0, 3 * h, 99, leftHeight), Qt::white), 99 * leftHeight);
        QVERIFY(Count(image, QRect(100, 15 * h, size.width() - 200, 10 * h), QColor(0x00, 0xFF, 0x00)) > 100);
        // Title and patient line start at x 100 on rows h and 2h.
        QVERIFY(Count(image, QRect(100, h, 300, h), Qt::black) > 50);
        QVERIFY(Count(image, QRect(100, 2 * h, 300, h), Qt::black) > 50);
        QCOMPARE(Count(image, QRect(0, h, 99, 2 * h), Qt::white), 99 * 2 * h);
    }
};

QTEST_MAIN(TestTestPrint)
#include "test_testprint.moc"
