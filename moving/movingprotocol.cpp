#include "moving/movingprotocol.h"

#include "moving/movingscore.h"
#include "common/mathutil.h"
#include "records/protocolhtml.h"

namespace vel::moving {

using namespace vel::protocol;

namespace {

// The pieces of the protocol that only this test writes.
const QString kTitle = QStringLiteral("Тест реакции на движущийся объект");
const QString kDateLabel = QStringLiteral("ТЕКСТ РЕАКЦИИ на движущийся объект ОТ ");
const QString kBodyColour = QStringLiteral("#E5E5E5");
const QString kAnswerTimeLabel = QStringLiteral("интервал ответа (мс)");
const QString kDoneCountLabel = QStringLiteral("число предъявлений");
const QString kCorridorLabel = QStringLiteral("коридор точной реакции (мс)");
const QString kPresentationHeader = QStringLiteral(
    "<TR><TH colspan=1>предъявление</TH><TH colspan=1>время реакции (мс)</TH>"
    "<TH colspan=1>предъявление</TH><TH colspan=1>время реакции (мс)</TH></TR>");
const QString kStatisticsHeader = QStringLiteral(
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

const ReactionClass kColumns[] = {ExactClass, LeadClass, LagClass, AllClass};

// A row of the upper table: a label and one value.
QString ValueRow(const QString &label, int value) { return QStringLiteral("<TR>") + ValueCells(1, label, value); }

// The cells of one presentation: its number and its deviation, "-" without a reaction.
QString PresentationCells(int number, const std::optional<int> &deviation)
{
    return NumberCell(number)
           + (deviation ? Cell(QStringLiteral("&nbsp") + QString::number(*deviation)) : kNoValue);
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
    const int n = static_cast<int>(score.Deviations.size());
    const auto &classes = score.Classes;
    auto deviationOf = [&score, n](int i) {
        return i >= 1 && i <= n ? score.Deviations[size_t(i - 1)] : std::nullopt;
    };
    // The four columns' cells of one figure of the classes, in the general number format.
    auto figureCells = [&classes, &locale](auto ClassStats::*figure) {
        QString cells;
        for (ReactionClass c : kColumns)
            cells += Cell(FormatNumber(double(classes[c].*figure), locale));
        return cells;
    };

    QString html;
    html.reserve(4096 + 96 * n);
    html += Top({kTitle, kDateLabel, score.DateText, score.PatientName, score.AgeText, score.SexText});
    html += ProtocolTableOpen(kBodyColour, 2, 4);
    html += ValueRow(kAnswerTimeLabel, run.AnswerTime);
    html += ValueRow(kDoneCountLabel, n);
    html += ValueRow(kCorridorLabel, score.Corridor);
    html += SpacerRow(4);
    html += kPresentationHeader;
    // With an odd count the last right pair carries the number n + 1 and "-".
    html += PresentationRows(n, [&deviationOf](int j) { return PresentationCells(j, deviationOf(j)); });

    html += NextTableOpen(4) + kStatisticsHeader;

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

    html += kRowEnd + kRowEnd + kDeviationLabel + figureCells(&ClassStats::Deviation) + kRowEnd;
    html += kRowEnd + kWithinLabel + figureCells(&ClassStats::Within) + kRowEnd + kRowEnd;
    html += kOutsideLabel + figureCells(&ClassStats::Outside) + kRowEnd + kRowEnd;
    html += kVariationLabel + figureCells(&ClassStats::Variation) + kRowEnd;

    html += Conclusion(kConclusionLabel, score.ConclusionText);
    html += Closing(kAppendixTitle);
    return html;
}

} // namespace vel::moving
