#include "choice/choiceprotocol.h"

#include "choice/choicescore.h"
#include "records/protocolhtml.h"

namespace vel::choice {

using namespace vel::protocol;

namespace {

// The pieces of the protocol that only this test writes.
const QString kTitle = QStringLiteral("Тест реакции выбора");
const QString kDateLabel = QStringLiteral("ТЕКСТ РЕАКЦИИ ВЫБОРА ОТ ");
const QString kBodyColour = QStringLiteral("#D0D0D0");
const QString kPresentationHeader = QStringLiteral(
    "<TR><TH colspan=2>предъявление</TH><TH colspan=2>время реакции (мс)</TH>"
    "<TH colspan=2>предъявление</TH><TH colspan=2>время реакции (мс)</TH></TR>"
    "<TR><TH>N</TH><TH>цвет</TH><TH>зеленый</TH><TH>красный</TH>"
    "    <TH>N</TH><TH>цвет</TH><TH>зеленый</TH><TH>красный</TH></TR>");
const QString kResultHeader = QStringLiteral(
    "<TR><TH colspan=2 rowspan=2>"
    "&nbsp&nbsp&nbspР Е З У Л Ь Т А Т Ы&nbsp&nbsp&nbspТ Е С Т А&nbsp&nbsp&nbsp</TH>"
    "<TH colspan=2>Цвет</TH></TR>"
    "<TR><TH>зеленый</TH><TH>красный</TH></TR>");
const QString kErrorsGroup = QStringLiteral("<TD rowspan=4>количество ошибок</TD>");
const QString kMeansGroup = QStringLiteral("<TD rowspan=3>среднее время реакций (мс)</TD>");
const QString kAccuracyGroup = QStringLiteral("<TD rowspan=2>коэффициент точности</TD>");
const QString kDeviationCell = QStringLiteral("<TD colspan=2>средне-квадратическое отклонение</TD>");
const QString kChoiceCell = QStringLiteral("<TD colspan=2>коэффициент реакции выбора</TD>");
const QString kAppendixTitle = QStringLiteral("Приложение - Графики реакции выбора");

// The cells of one presentation in the two-column table: number, colour, the two times.
QString PresentationCells(int number, const Presentation &p)
{
    return NumberCell(number) + Cell(QStringLiteral("&nbsp<I>") + p.ColourName + QStringLiteral("</I>"))
           + Cell(QStringLiteral("&nbsp") + p.LeftText) + Cell(QStringLiteral("&nbsp") + p.RightText);
}

QString Italic(const QString &label) { return Cell(QStringLiteral("<I>") + label + QStringLiteral("</I>")); }

// A result row with one value per colour: label cells (an optional group cell that spans
// rows and the row's own label), the green and the red value.
QString ColourRow(const QString &labelCells, int green, int red)
{
    return QStringLiteral("<TR>") + labelCells + Cell(green) + Cell(red) + QStringLiteral("</TR>");
}

QString ColourRow(const QString &groupCell, const QString &label, int green, int red)
{
    return ColourRow(groupCell + Italic(label), green, red);
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
    const int n = static_cast<int>(score.Presentations.size());
    const auto &c = score.Counts;

    QString html;
    html.reserve(4096 + 256 * n);
    html += Top({kTitle, kDateLabel, score.DateText, score.PatientName, score.AgeText, score.SexText});
    html += ProtocolTableOpen(kBodyColour, 3, 3);
    html += ValueCells(4, QStringLiteral("интервал адаптации (мс)"), run.BaseTime);
    html += QStringLiteral("<TR>") + ValueCells(4, QStringLiteral("интервал ответа (мс)"), run.AnswerTime);
    html += QStringLiteral("<TR>") + ValueCells(4, QStringLiteral("число предъявлений"), n);
    html += SpacerRow(8);
    html += kPresentationHeader;
    html += PresentationRows(n, [&run](int s) { return PresentationCells(s, ClassifyPresentation(run, s)); });

    html += NextTableOpen(8) + kResultHeader;
    html += ColourRow(kErrorsGroup, QStringLiteral("всех ошибок"), score.ErrorsGreen, score.ErrorsRed);
    html += ColourRow({}, QStringLiteral("пропусков"), c[0], c[4]);
    html += ColourRow({}, QStringLiteral("дуплетов"), c[3], c[7]);
    html += ColourRow({}, QStringLiteral("неправильных реакций"), c[1], c[6]);
    html += ColourRow(kMeansGroup, QStringLiteral("всех реакций"), score.AllLeftMean, score.AllRightMean);
    html += ColourRow({}, QStringLiteral("правильных реакций"), score.CorrectLeftMean, score.CorrectRightMean);
    html += ColourRow({}, QStringLiteral("ошибочных реакций"), score.WrongLeftMean, score.WrongRightMean);
    html += ColourRow(kDeviationCell, score.LeftDeviation, score.RightDeviation);
    html += CoefficientRow(kAccuracyGroup + Italic(QStringLiteral("по времени реакций")),
                           FormatCoefficient(score.TimeCoefficient));
    html += CoefficientRow(Italic(QStringLiteral("по асимметрии ошибок")),
                           FormatCoefficient(score.AsymmetryCoefficient));
    html += CoefficientRow(kChoiceCell, ChoiceCoefficientText(score.ChoiceCoefficient));
    html += Conclusion(QStringLiteral("Заключение:"), score.ConclusionText);
    html += Closing(kAppendixTitle);
    return html;
}

} // namespace vel::choice
