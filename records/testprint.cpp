#include "records/testprint.h"

#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <QWebEngineView>

namespace vel {

namespace {

std::unique_ptr<DefaultPrinterSwap> &SwapSlot()
{
    static std::unique_ptr<DefaultPrinterSwap> swap = std::make_unique<NoDefaultPrinterSwap>();
    return swap;
}

// Text placed by its top left corner, as the printer canvas places it.
void TextAt(QPainter &painter, int x, int y, const QString &text)
{
    painter.drawText(QRect(x, y, painter.device()->width() * 4, painter.device()->height()),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

QFont PageFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(14);
    return font;
}

// The chart as it stands on screen, scaled into `target`. A chart on a tab that was never
// shown has not been laid out at its size yet; that is done first.
void DrawChart(QPainter &painter, QChartView *view, const QRectF &target)
{
    QChart *chart = view->chart();
    if (chart->size() != QSizeF(view->size())) {
        chart->setGeometry(QRectF(QPointF(0, 0), QSizeF(view->size())));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    }
    view->scene()->render(&painter, target, chart->geometry(), Qt::IgnoreAspectRatio);
}

// Runs the event loop until `done` is set or `timeoutMs` passed; false on a time-out.
bool WaitFor(const bool &done, int timeoutMs)
{
    if (done)
        return true;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done)
            loop.quit();
    });
    deadline.start(timeoutMs);
    poll.start(10);
    loop.exec();
    return done;
}

} // namespace

DefaultPrinterSwap &DefaultPrinterSwapper() { return *SwapSlot(); }

void SetDefaultPrinterSwapper(std::unique_ptr<DefaultPrinterSwap> swap)
{
    SwapSlot() = swap ? std::move(swap) : std::make_unique<NoDefaultPrinterSwap>();
}

DefaultPrinterScope::DefaultPrinterScope(DefaultPrinterSwap &swap, const QString &printerName)
    : m_swap(swap), m_swapped(!printerName.isEmpty())
{
    // Printing into a file names no printer; the default stays as it is.
    if (m_swapped) {
        m_previous = m_swap.DefaultPrinter();
        m_swap.MakeDefault(printerName);
    }
}

DefaultPrinterScope::~DefaultPrinterScope()
{
    if (m_swapped)
        m_swap.MakeDefault(m_previous);
}

bool PrintDialogChooser::Choose(QWidget *owner, QPrinter &printer)
{
    QPrintDialog dialog(&printer, owner);
    return dialog.exec() == QDialog::Accepted;
}

void PaintChartPage(QPainter &painter, const QSize &page, const ChartPage &content)
{
    const int h = page.height() / 50;
    const int width = page.width();
    painter.setBrush(Qt::white);
    painter.setPen(Qt::black);
    painter.setFont(PageFont());
    TextAt(painter, 100, h, content.Title);
    TextAt(painter, 100, 2 * h, QStringLiteral("для пациента ") + content.PatientName);
    const auto chartRect = [width](QChartView *view, int top) {
        const int height = view->width() > 0 ? width * view->height() / view->width() : 0;
        return QRectF(100, top, width - 200, height);
    };
    if (content.Left)
        DrawChart(painter, content.Left, chartRect(content.Left, 3 * h));
    if (content.Right)
        DrawChart(painter, content.Right, chartRect(content.Right, 15 * h));
    painter.setFont(PageFont());
    painter.setPen(Qt::black);
    int y = 27 * h;
    for (const LegendRow &row : content.Legend) {
        painter.fillRect(QRect(QPoint(5, y), QPoint(99, y + h - 1)), QBrush(row.Colour, row.Pattern));
        painter.setBrush(Qt::NoBrush);
        TextAt(painter, 100, y, row.Text);
        y += h;
    }
}

bool PrintChartPage(QPrinter &printer, const ChartPage &content)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    PaintChartPage(painter, QSize(printer.width(), printer.height()), content);
    return painter.end();
}

bool PrintProtocol(QWebEngineView *view, const std::shared_ptr<QPrinter> &printer, int timeoutMs)
{
    auto done = std::make_shared<bool>(false);
    auto ok = std::make_shared<bool>(false);
    auto connection = std::make_shared<QMetaObject::Connection>();
    const QString pdfFile = printer->outputFormat() == QPrinter::PdfFormat ? printer->outputFileName() : QString();
    if (!pdfFile.isEmpty()) {
        // Chromium writes the PDF itself: text stays text, links stay links.
        *connection = QObject::connect(view, &QWebEngineView::pdfPrintingFinished, view,
                                       [done, ok, connection](const QString &, bool success) {
                                           *ok = success;
                                           *done = true;
                                           QObject::disconnect(*connection);
                                       });
        view->printToPdf(QFileInfo(pdfFile).absoluteFilePath(), printer->pageLayout());
    } else {
        // The printer stays with the browser until it says the job has ended.
        *connection = QObject::connect(view, &QWebEngineView::printFinished, view,
                                       [done, ok, connection, printer](bool success) {
                                           *ok = success;
                                           *done = true;
                                           QObject::disconnect(*connection);
                                       });
        view->print(printer.get());
    }
    return WaitFor(*done, timeoutMs) && *ok;
}

QString ChartPageFileName(const QString &protocolFile)
{
    const QString suffix = QStringLiteral(" - графики.pdf");
    if (protocolFile.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        return protocolFile.left(protocolFile.size() - 4) + suffix;
    return protocolFile + suffix;
}

} // namespace vel
