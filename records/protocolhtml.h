#pragma once
// The HTML that the protocols of both tests share: the page's head and the patient's
// headings, the openings of the protocol table and of the table below it, the two
// columns of presentations, cells and headings, the conclusion and the page's end.
// Plain text builders without widgets; each test's protocol (choiceprotocol.h,
// movingprotocol.h) puts them together in its own order with its own labels. Every piece
// is written to the byte as the program always has: stored protocols are shown and
// printed as they were written, and pages scored again must read the same.
#include <QByteArray>
#include <QString>

#include <functional>

namespace vel::protocol {

// What the top of a protocol names.
struct PageTop {
    QString Title;       // the test's name, in the page's title before " - " and the name
    QString DateLabel;   // the first heading's text before the date
    QString Date;
    QString Name;        // the patient's name as the register holds it
    QString Age;
    QString Sex;
};

// The head (title "<Title> - <Name>", the code-page META, the STYLE) and the headings of
// the date, the patient and the age and sex. The name comes from the register as typed
// or imported: it is escaped, so that markup in it does not become part of the page.
QString Top(const PageTop &top);

// "<h3>text</h3>"
QString Heading(const QString &text);
// "<TD>text</TD>"
QString Cell(const QString &text);
QString Cell(qint64 value);
// A presentation's number in bold: "<TD><B>number</B></TD>".
QString NumberCell(int number);
// A row of one empty cell across `colspan` columns.
QString SpacerRow(int colspan);
// A label over `colspan` columns and its value, ending the row ("</TR>"); the caller
// writes the row's "<TR>" where the row needs one.
QString ValueCells(int colspan, const QString &label, int value);

// The body in the background colour `bodyColour` and the protocol table up to its title
// cell "П Р О Т О К О Л ... Т Е С Т А", which spans `colspan` columns and `rowspan` rows.
QString ProtocolTableOpen(const QString &bodyColour, int colspan, int rowspan);

// Presentations 1..count in two columns of rows: s on the left, s + K on the right, K
// half the count rounded up; with an odd count the last right half is presentation
// count + 1. `cells` gives the cells of a presentation by its number.
QString PresentationRows(int count, const std::function<QString(int)> &cells);

// The protocol table closed, a spacer row of `spacerColspan` columns and the next table
// opened (its rows are the caller's).
QString NextTableOpen(int spacerColspan);

// The last table closed and the conclusion's heading: `label` and `text` as they stand.
QString Conclusion(const QString &label, const QString &text);

// The heading of the appendix (the charts printed after the page) and the page's end.
QString Closing(const QString &appendixTitle);

// What the result browser loads: the protocol and CR LF in code page 1251.
QByteArray PageBytes(const QString &protocol);

} // namespace vel::protocol
