#include "choice/choiceprotocol.h"

#include "choice/choicescore.h"

namespace vel::choice {

namespace {

// Fixed pieces of the protocol, in the order they are written.
const QString kTitleOpen = QStringLiteral("<HTML><HEAD><TITLE>Тест реакции выбора - ");
const QString kTitleClose = QStringLiteral("</TITLE>");
const QString kMeta = QStringLiteral(
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">");
const QString kStyle = QStringLiteral(
    "<STYLE>BODY{font-size: 10pt;line-Height:1.2em}"
    "TH,TD{font-size: 10pt; line-Height:0.7em;text-align: center}</STYLE>"
    "</HEAD>");
const QString kHeadingDate = QStringLiteral("<h3>ТЕКСТ РЕАКЦИИ ВЫБОРА ОТ ");
const QString kHeadingPatient = QStringLiteral("<h3>Пациент: ");
const QString kHeadingAge = QStringLiteral("<h3>Возраст: ");
const QString kHeadingSex = QStringLiteral(";         Пол: ");   // nine blanks
const QString kHeadingClose = QStringLiteral("</h3>");
const QString kProtocolTableOpen = QStringLiteral(
    "<BODY text=black bgcolor=#D0D0D0>"
    "<TABLE border=1  cellspacing=0>"
    "<TR><TH colspan=3 rowspan=3>"
    "&nbsp&nbsp&nbspП Р О Т О К О Л<BR><BR>&nbsp&nbsp&nbspТ Е С Т А&nbsp&nbsp&nbsp</TH>");
const QString kBaseTimeRow = QStringLiteral("<TH colspan=4>интервал адаптации (мс)</TH><TD>");
const QString kAnswerTimeRow = QStringLiteral("<TR><TH colspan=4>интервал ответа (мс)</TH><TD>");
const QString kDoneCountRow = QStringLiteral("<TR><TH colspan=4>число предъявлений</TH><TD>");
const QString kValueRowClose = QStringLiteral("</TD></TR>");
const QString kSpacerRow = QStringLiteral("<TR><TD colspan=8>&nbsp</TD></TR>");
const QString kPresentationHeader = QStringLiteral(
    "<TR><TH colspan=2>предъявление</TH><TH colspan=2>время реакции (мс)</TH>"
    "<TH colspan=2>предъявление</TH><TH colspan=2>время реакции (мс)</TH></TR>"
    "<TR><TH>N</TH><TH>цвет</TH><TH>зеленый</TH><TH>красный</TH>"
    "    <TH>N</TH><TH>цвет</TH><TH>зеленый</TH><TH>красный</TH></TR>");
const QString kResultTableOpen = QStringLiteral(
    "</TABLE>"
    "<TR><TD colspan=8>&nbsp</TD></TR>"
    "<TABLE border=1  cellspacing=0>"
    "<TR><TH colspan=2 rowspan=2>"
    "&nbsp&nbsp&nbspР Е З У Л Ь Т А Т Ы&nbsp&nbsp&nbspТ Е С Т А&nbsp&nbsp&nbsp</TH>"
    "<TH colspan=2>Цвет</TH></TR>"
    "<TR><TH>зеленый</TH><TH>красный</TH></TR>");
const QString kErrorsGroup = QStringLiteral("<TD rowspan=4>количество ошибок</TD>");
const QString kMeansGroup = QStringLiteral("<TD rowspan=3>среднее время реакций (мс)</TD>");
const QString kAccuracyGroup = QStringLiteral("<TD rowspan=2>коэффициент точности</TD>");
const QString kDeviationCell = QStringLiteral("<TD colspan=2>средне-квадратическое отклонение</TD>");
const QString kChoiceCell = QStringLiteral("<TD colspan=2>коэффициент реакции выбора</TD>");
const QString kConclusionOpen = QStringLiteral("</TABLE><P><BR><h3>Заключение:");
const QString kClosing = QStringLiteral(
    "<h3>Приложение - Графики реакции выбора</h3>"
    "</BODY></HTML>");

// The cells of one presentation in the two-column table: number, colour, the two times.
QString PresentationCells(int number, const Presentation &p)
{
    return QStringLiteral("<TD><B>") + QString::number(number) + QStringLiteral("</B></TD>")
           + QStringLiteral("<TD>&nbsp<I>") + p.ColourName + QStringLiteral("</I></TD>")
           + QStringLiteral("<TD>&nbsp") + p.LeftText + QStringLiteral("</TD>")
           + QStringLiteral("<TD>&nbsp") + p.RightText + QStringLiteral("</TD>");
}

QString Italic(const QString &label)
{
    return QStringLiteral("<TD><I>") + label + QStringLiteral("</I></TD>");
}

// A result row with one value per colour: an optional group cell that spans rows, the
// row's label in italics, the green and the red value.
QString ColourRow(const QString &groupCell, const QString &label, int green, int red)
{
    return QStringLiteral("<TR>") + groupCell + Italic(label) + QStringLiteral("<TD>")
           + QString::number(green)
           + QStringLiteral("</TD><TD>") + QString::number(red) + QStringLiteral("</TD></TR>");
}

// A result row with one value across both colours.
QString CoefficientRow(const QString &labelCells, const QString &value)
{
    return QStringLiteral("<TR>") + labelCells + QStringLiteral("<TD colspan=2>") + value
           + QStringLiteral("</TD></TR>");
}

} // namespace

QString ChoiceCoefficientText(double value)
{
    const QString text = FormatCoefficient(value);
    return text == QStringLiteral("0.000") ? QStringLiteral("нет ошибок") : text;
}

QString BuildProtocol(const TTestRun &run, const Score &score)
{
    // The name comes from the register as typed or imported: markup in it must not
    // become part of the page.
    const QString name = score.PatientName.toHtmlEscaped();
    const int n = static_cast<int>(score.Presentations.size());
    const auto &c = score.Counts;

    QString html;
    html.reserve(4096 + 256 * n);
    html += kTitleOpen + name + kTitleClose;
    html += kMeta;
    html += kStyle;
    html += kHeadingDate + score.DateText + kHeadingClose;
    html += kHeadingPatient + name + kHeadingClose;
    html += kHeadingAge + score.AgeText + kHeadingSex + score.SexText + kHeadingClose;
    html += kProtocolTableOpen;
    html += kBaseTimeRow + QString::number(run.BaseTime) + kValueRowClose;
    html += kAnswerTimeRow + QString::number(run.AnswerTime) + kValueRowClose;
    html += kDoneCountRow + QString::number(n) + kValueRowClose;
    html += kSpacerRow;
    html += kPresentationHeader;

    // Presentations in two columns: s on the left, s + K on the right; with an odd count
    // the last right half carries the number n + 1 and empty cells.
    const int k = (n + 1) / 2;
    for (int s = 1; s <= k; ++s) {
        html += QStringLiteral("<TR>") + PresentationCells(s, ClassifyPresentation(run, s));
        html += PresentationCells(s + k, ClassifyPresentation(run, s + k)) + QStringLiteral("</TR>");
    }

    html += kResultTableOpen;
    html += ColourRow(kErrorsGroup, QStringLiteral("всех ошибок"), score.ErrorsGreen, score.ErrorsRed);
    html += ColourRow({}, QStringLiteral("пропусков"), c[0], c[4]);
    html += ColourRow({}, QStringLiteral("дуплетов"), c[3], c[7]);
    html += ColourRow({}, QStringLiteral("неправильных реакций"), c[1], c[6]);
    html += ColourRow(kMeansGroup, QStringLiteral("всех реакций"), score.AllLeftMean, score.AllRightMean);
    html += ColourRow({}, QStringLiteral("правильных реакций"), score.CorrectLeftMean, score.CorrectRightMean);
    html += ColourRow({}, QStringLiteral("ошибочных реакций"), score.WrongLeftMean, score.WrongRightMean);
    html += QStringLiteral("<TR>") + kDeviationCell + QStringLiteral("<TD>")
            + QString::number(score.LeftDeviation) + QStringLiteral("</TD><TD>")
            + QString::number(score.RightDeviation) + QStringLiteral("</TD></TR>");
    html += CoefficientRow(kAccuracyGroup + Italic(QStringLiteral("по времени реакций")),
                           FormatCoefficient(score.TimeCoefficient));
    html += CoefficientRow(Italic(QStringLiteral("по асимметрии ошибок")),
                           FormatCoefficient(score.AsymmetryCoefficient));
    html += CoefficientRow(kChoiceCell, ChoiceCoefficientText(score.ChoiceCoefficient));
    html += kConclusionOpen + score.ConclusionText + kHeadingClose;
    html += kClosing;
    return html;
}

} // namespace vel::choice
