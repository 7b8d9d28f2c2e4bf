#include "records/protocolhtml.h"

#include "common/text.h"

namespace vel::protocol {

namespace {

const QString kMeta = QStringLiteral(
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">");
const QString kStyle = QStringLiteral(
    "<STYLE>BODY{font-size: 10pt;line-Height:1.2em}"
    "TH,TD{font-size: 10pt; line-Height:0.7em;text-align: center}</STYLE>"
    "</HEAD>");
const QString kTableOpen = QStringLiteral("<TABLE border=1  cellspacing=0>");
const QString kProtocolTitle = QStringLiteral(
    "&nbsp&nbsp&nbspП Р О Т О К О Л<BR><BR>&nbsp&nbsp&nbspТ Е С Т А&nbsp&nbsp&nbsp</TH>");
const QString kRowOpen = QStringLiteral("<TR>");
const QString kRowEnd = QStringLiteral("</TR>");

} // namespace

QString Top(const PageTop &top)
{
    const QString name = top.Name.toHtmlEscaped();
    return QStringLiteral("<HTML><HEAD><TITLE>") + top.Title + QStringLiteral(" - ") + name
           + QStringLiteral("</TITLE>") + kMeta + kStyle
           + Heading(top.DateLabel + top.Date)
           + Heading(QStringLiteral("Пациент: ") + name)
           + Heading(QStringLiteral("Возраст: ") + top.Age + QStringLiteral(";         Пол: ")   // nine blanks
                     + top.Sex);
}

QString Heading(const QString &text) { return QStringLiteral("<h3>") + text + QStringLiteral("</h3>"); }

QString Cell(const QString &text) { return QStringLiteral("<TD>") + text + QStringLiteral("</TD>"); }

QString Cell(qint64 value) { return Cell(QString::number(value)); }

QString NumberCell(int number)
{
    return QStringLiteral("<TD><B>") + QString::number(number) + QStringLiteral("</B></TD>");
}

QString SpacerRow(int colspan)
{
    return QStringLiteral("<TR><TD colspan=%1>&nbsp</TD></TR>").arg(colspan);
}

QString ValueCells(int colspan, const QString &label, int value)
{
    return QStringLiteral("<TH colspan=%1>").arg(colspan) + label + QStringLiteral("</TH>") + Cell(value)
           + kRowEnd;
}

QString ProtocolTableOpen(const QString &bodyColour, int colspan, int rowspan)
{
    return QStringLiteral("<BODY text=black bgcolor=") + bodyColour + QStringLiteral(">") + kTableOpen
           + QStringLiteral("<TR><TH colspan=%1 rowspan=%2>").arg(colspan).arg(rowspan) + kProtocolTitle;
}

QString PresentationRows(int count, const std::function<QString(int)> &cells)
{
    const int half = (count + 1) / 2;
    QString rows;
    for (int s = 1; s <= half; ++s)
        rows += kRowOpen + cells(s) + cells(s + half) + kRowEnd;
    return rows;
}

QString NextTableOpen(int spacerColspan)
{
    return QStringLiteral("</TABLE>") + SpacerRow(spacerColspan) + kTableOpen;
}

QString Conclusion(const QString &label, const QString &text)
{
    return QStringLiteral("</TABLE><P><BR>") + Heading(label + text);
}

QString Closing(const QString &appendixTitle)
{
    return Heading(appendixTitle) + QStringLiteral("</BODY></HTML>");
}

QByteArray PageBytes(const QString &protocol) { return ToCp1251(protocol + QStringLiteral("\r\n")); }

} // namespace vel::protocol
