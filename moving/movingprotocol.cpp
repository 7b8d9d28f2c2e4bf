#include "moving/movingprotocol.h"

#include "moving/movingscore.h"
#include "common/mathutil.h"

namespace vel::moving {

namespace {

// Fixed pieces of the protocol, in the order they are written.
const QString kTitleOpen = QStringLiteral("<HTML><HEAD><TITLE>Тест реакции на движущийся объект - ");
const QString kTitleClose = QStringLiteral("</TITLE>");
const QString kMeta = QStringLiteral(
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">");
const QString kStyle = QStringLiteral(
    "<STYLE>BODY{font-size: 10pt;line-Height:1.2em}"
    "TH,TD{font-size: 10pt; line-Height:0.7em;text-align: center}</STYLE>"
    "</HEAD>");
const QString kHeadingOpen = QStringLiteral("<h3>");
const QString kHeadingClose = QStringLiteral("</h3>");
const QString kDateLabel = QStringLiteral("ТЕКСТ РЕАКЦИИ на движущийся объект ОТ ");
const QString kPatientLabel = QStringLiteral("Пациент: ");
const QString kAgeLabel = QStringLiteral("Возраст: ");
const QString kSexLabel = QStringLiteral(";         Пол: ");   // nine blanks
const QString kBodyOpen = QStringLiteral("<BODY text=black bgcolor=#E5E5E5>");
const QString kProtocolTableOpen = QStringLiteral(
    "<TABLE border=1  cellspacing=0>"
    "<TR><TH colspan=2 rowspan=4>"
    "&nbsp&nbsp&nbspП Р О Т О К О Л<BR><BR>&nbsp&nbsp&nbspТ Е С Т А&nbsp&nbsp&nbsp</TH>");
const QString kAnswerTimeLabel = QStringLiteral("интервал ответа (мс)");
const QString kDoneCountLabel = QStringLiteral("число предъявлений");
const QString kCorridorLabel = QStringLiteral("коридор точной реакции (мс)");
const QString kSpacerRow = QStringLiteral("<TR><TD colspan=4>&nbsp</TD></TR>");
const QString kPresentationHeader = QStringLiteral(
    "<TR><TH colspan=1>предъявление</TH><TH colspan=1>время реакции (мс)</TH>"
    "<TH colspan=1>предъявление</TH><TH colspan=1>время реакции (мс)</TH></TR>");
const QString kStatisticsTableOpen = QStringLiteral(
    "</TABLE>"
    "<TR><TD colspan=4>&nbsp</TD></TR>"
    "<TABLE border=1  cellspacing=0>"
    "<TR>"
    "<TH rowspan=2>&nbsp&nbsp&nbspПОКАЗАТЕЛЬ&nbsp&nbsp&nbsp</TH>"
    "<TH colspan=4 >&nbsp&nbsp&nbspРЕАКЦИИ&nbsp&nbsp&nbsp</TH>"
    "</TR>"
    "<TH >&nbsp&nbspточные&nbsp&nbsp</TH>"
    "<TH >&nbsp&nbspопережения&nbsp&nbsp</TH>"
    "<TH >&nbsp&nbspзапаздывания&nbsp&nbsp</TH>"
    "<TH >&nbsp&nbspвсе&nbsp&nbsp</TH>"
    "</TR>"
    "</TR>"
    "</TR>");
const QString kCountLabel = QStringLiteral("<TD text-align: left>Количество</TD>");
const QString kMeanLabel = QStringLiteral("<TD>Среднее время реакции</TD>");
const QString kMinLabel = QStringLiteral("<TD>Минимальное время реакции</TD>");
const QString kMaxLabel = QStringLiteral("<TD>Максимальное время реакции</TD>");
const QString kRangeLabel = QStringLiteral("<TD>Вариационный размах</TD>");
const QString kDeviationLabel = QStringLiteral("<TD>СКО</TD>");
const QString kWithinLabel = QStringLiteral("<TD>Количество в диапазоне СКО</TD>");
const QString kOutsideLabel = QStringLiteral("<TD>Количество вне диапазона СКО</TD>");
const QString kVariationLabel = QStringLiteral("<TD>Коэффициент вариации,%</TD>");
const QString kRowEnd = QStringLiteral("</TR>");
const QString kNoValue = QStringLiteral("<TD>-</TD>");
const QString kConclusionLabel = QStringLiteral("Заключение: ");
const QString kAppendixTitle = QStringLiteral("Приложение - Графики реакции на движущийся объект");
const QString kClosing = QStringLiteral("</BODY></HTML>");

const ReactionClass kColumns[] = {ExactClass, LeadClass, LagClass, AllClass};

QString Cell(const QString &text) { return QStringLiteral("<TD>") + text + QStringLiteral("</TD>"); }
QString Cell(qint64 value) { return Cell(QString::number(value)); }

QString Heading(const QString &text) { return kHeadingOpen + text + kHeadingClose; }

// A row of the upper table: a label and one value.
QString ValueRow(const QString &label, int value)
{
    return QStringLiteral("<TR><TH colspan=1>") + label + QStringLiteral("</TH><TD>")
           + QString::number(value) + QStringLiteral("</TD></TR>");
}

// The cells of one presentation: its number and its deviation, "-" without a reaction.
QString PresentationCells(int number, const std::optional<int> &deviation)
{
    QString cells = QStringLiteral("<TD><B>") + QString::number(number) + QStringLiteral("</B></TD>");
    return cells + (deviation ? QStringLiteral("<TD>&nbsp") + QString::number(*deviation) + QStringLiteral("</TD>")
                              : kNoValue);
}

// The minimum or maximum row's cells: "-" for the exact class, lead and lag by their
// extreme, and "все" by its extreme or, without one, "-" and an extra row end.
QString ExtremeCells(const Score &score, std::optional<int> ClassStats::*extreme)
{
    QString cells = kNoValue;
    for (ReactionClass c : {LeadClass, LagClass}) {
        const std::optional<int> &value = score.Classes[c].*extreme;
        cells += value ? Cell(*value) : kNoValue;
    }
    const std::optional<int> &all = score.Classes[AllClass].*extreme;
    cells += all ? Cell(*all) : kNoValue + kRowEnd;
    return cells;
}

} // namespace

QString FormatNumber(double value, const QLocale &locale)
{
    // 'g' drops trailing zeros and uses no grouping; only the separator is the locale's.
    QString text = QString::number(value, 'g', 15);
    text.replace(QLatin1Char('.'), locale.decimalPoint());
    return text;
}

QString BuildProtocol(const TTestRun &run, const Score &score, const QLocale &locale)
{
    // The name comes from the register as typed or imported: markup in it must not
    // become part of the page.
    const QString name = score.PatientName.toHtmlEscaped();
    const int n = static_cast<int>(score.Deviations.size());
    const auto &classes = score.Classes;
    auto deviationOf = [&score, n](int i) {
        return i >= 1 && i <= n ? score.Deviations[size_t(i - 1)] : std::nullopt;
    };
    auto number = [&locale](double value) { return Cell(FormatNumber(value, locale)); };

    QString html;
    html.reserve(4096 + 96 * n);
    html += kTitleOpen + name + kTitleClose;
    html += kMeta;
    html += kStyle;
    html += Heading(kDateLabel + score.DateText);
    html += Heading(kPatientLabel + name);
    html += Heading(kAgeLabel + score.AgeText + kSexLabel + score.SexText);
    html += kBodyOpen;
    html += kProtocolTableOpen;
    html += ValueRow(kAnswerTimeLabel, run.AnswerTime);
    html += ValueRow(kDoneCountLabel, n);
    html += ValueRow(kCorridorLabel, score.Corridor);
    html += kSpacerRow;
    html += kPresentationHeader;

    // Presentations in two column pairs: j on the left, j + h on the right; with an odd
    // count the last right pair carries the number n + 1 and "-".
    const int h = (n + 1) / 2;
    for (int j = 1; j <= h; ++j) {
        html += QStringLiteral("<TR>") + PresentationCells(j, deviationOf(j));
        html += PresentationCells(j + h, deviationOf(j + h)) + kRowEnd;
    }

    html += kStatisticsTableOpen;

    html += kCountLabel;
    for (ReactionClass c : {ExactClass, LeadClass, LagClass})
        html += Cell(QString::number(classes[c].Count) + QStringLiteral(" (")
                     + FormatNumber(classes[c].Share, locale) + QStringLiteral("%)"));
    html += Cell(classes[AllClass].Count) + kRowEnd + kRowEnd;

    html += kMeanLabel;
    for (ReactionClass c : kColumns)
        html += Cell(RoundHalfEven(classes[c].Mean));
    html += kRowEnd + kRowEnd;

    html += kMinLabel + ExtremeCells(score, &ClassStats::Min);
    html += kRowEnd + kMaxLabel + ExtremeCells(score, &ClassStats::Max);

    html += kRowEnd + kRangeLabel + kNoValue;
    for (ReactionClass c : {LeadClass, LagClass, AllClass}) {
        const std::optional<int> range = classes[c].Range();
        html += range ? Cell(*range) : kNoValue;
    }

    html += kRowEnd + kRowEnd + kDeviationLabel;
    for (ReactionClass c : kColumns)
        html += number(classes[c].Deviation);
    html += kRowEnd;

    html += kRowEnd + kWithinLabel;
    for (ReactionClass c : kColumns)
        html += number(classes[c].Within);
    html += kRowEnd + kRowEnd;

    html += kOutsideLabel;
    for (ReactionClass c : kColumns)
        html += number(classes[c].Outside);
    html += kRowEnd + kRowEnd;

    html += kVariationLabel;
    for (ReactionClass c : kColumns)
        html += number(classes[c].Variation);
    html += kRowEnd;

    html += QStringLiteral("</TABLE><P><BR>");
    html += Heading(kConclusionLabel + score.ConclusionText);
    html += Heading(kAppendixTitle);
    html += kClosing;
    return html;
}

} // namespace vel::moving
