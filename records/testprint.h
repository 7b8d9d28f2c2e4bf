#pragma once
// Printing a test: the protocol through the browser's own printing and the chart page
// on the printer's canvas, two jobs on the printer the operator chose.
//
// The chart page (all coordinates in printer pixels, h = page height / 50):
//   title at (100, h), "для пациента " + name at (100, 2h), Arial 14 pt;
//   chtL into the rectangle left 100, top 3h, width page width - 200, height
//   page width x chart height / chart width (on-screen sizes); chtR likewise at 15h;
//   the legend rows, when the test has them, at 27h, 28h, ...: a box from (5, y) to
//   (100, y + h) in the row's brush and the row's text at (100, y).
//
// Printing to a PDF file writes the protocol to the chosen file and the chart page to a
// second file beside it (ChartPageFileName), since two jobs into one file would leave
// only the second.
#include <QColor>
#include <QSize>
#include <QString>

#include <memory>
#include <vector>

class QChartView;
class QPainter;
class QPrinter;
class QWebEngineView;
class QWidget;

namespace vel {

// The system's default printer. The Windows build makes the chosen printer the default
// for the browser's printing and puts the previous one back afterwards; Qt prints to the
// chosen printer directly, so elsewhere there is nothing to swap.
class DefaultPrinterSwap {
public:
    virtual ~DefaultPrinterSwap() = default;
    virtual QString DefaultPrinter() = 0;
    virtual void MakeDefault(const QString &printerName) = 0;
};

class NoDefaultPrinterSwap : public DefaultPrinterSwap {
public:
    QString DefaultPrinter() override { return QString(); }
    void MakeDefault(const QString &) override {}
};

// The process's swap: NoDefaultPrinterSwap unless the platform layer installed another.
DefaultPrinterSwap &DefaultPrinterSwapper();
void SetDefaultPrinterSwapper(std::unique_ptr<DefaultPrinterSwap> swap);

// Makes a printer the default for its lifetime and puts the previous default back; a
// print into a file (no printer name) changes nothing.
class DefaultPrinterScope {
public:
    DefaultPrinterScope(DefaultPrinterSwap &swap, const QString &printerName);
    ~DefaultPrinterScope();
    DefaultPrinterScope(const DefaultPrinterScope &) = delete;
    DefaultPrinterScope &operator=(const DefaultPrinterScope &) = delete;
private:
    DefaultPrinterSwap &m_swap;
    bool m_swapped;
    QString m_previous;
};

// Lets the operator choose the printer and its settings; false when he cancels.
class PrinterChooser {
public:
    virtual ~PrinterChooser() = default;
    virtual bool Choose(QWidget *owner, QPrinter &printer) = 0;
};

// The system print dialog, owned by the test window.
class PrintDialogChooser : public PrinterChooser {
public:
    bool Choose(QWidget *owner, QPrinter &printer) override;
};

struct LegendRow {
    QColor Colour;
    Qt::BrushStyle Pattern = Qt::SolidPattern;
    QString Text;
};

struct ChartPage {
    QString Title;
    QString PatientName;
    QChartView *Left = nullptr;
    QChartView *Right = nullptr;
    std::vector<LegendRow> Legend;
};

// Paints the chart page on a painter whose device is `page` pixels large.
void PaintChartPage(QPainter &painter, const QSize &page, const ChartPage &content);

// The chart page as a job of its own on `printer`; false when the job could not start.
bool PrintChartPage(QPrinter &printer, const ChartPage &content);

// The protocol shown by `view` as a job on `printer`: through the browser's printing,
// or for a PDF file straight into that file, so that its text stays text. Waits for the
// browser at most `timeoutMs`; false when the job failed or did not end in time. The
// browser holds on to the printer until its job has ended, even after a time-out.
bool PrintProtocol(QWebEngineView *view, const std::shared_ptr<QPrinter> &printer, int timeoutMs);

// "Протокол.pdf" -> "Протокол - графики.pdf"; a name without ".pdf" gets " - графики.pdf".
QString ChartPageFileName(const QString &protocolFile);

} // namespace vel
