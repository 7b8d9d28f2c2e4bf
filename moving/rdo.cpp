#include "moving/rdo.h"

#include <QPushButton>

#include "moving/movingrunner.h"
#include "moving/movingscore.h"
#include "ui_rdo.h"

namespace {

const QColor SeriesGreen(0x00, 0xFF, 0x80);

// The instructions to the tested person; the line breaks are the program's own CR LF.
const QString Instructions = QStringLiteral(
    "Возьмите пульт в удобную руку\r\nРазместите палец над кнопкой\r\nСосредоточтесь\r\n"
    "Следите за движением объекта на экране монитора.\r\nНажать кнопку в момент вхождения объекта на зеленую линию\r\n");

vel::ChartSeriesData Series(const QString &name, vel::SeriesShape shape, const QColor &colour)
{
    vel::ChartSeriesData s;
    s.Name = name;
    s.Shape = shape;
    s.Colour = colour;   // invalid: the chart's own colour
    return s;
}

} // namespace

TFormRDO::TFormRDO(QWidget *parent) : vel::TestWindow(parent), m_ui(std::make_unique<Ui::TFormRDO>())
{
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("FormRDO"));
    m_ui->lblTextHelp->setText(Instructions);
    // The white stage of the moving bar. Qt paints every widget double-buffered, so the
    // moving stimulus does not flicker without further settings.
    QPalette stage = m_ui->Panel1->palette();
    stage.setColor(QPalette::Window, Qt::white);
    m_ui->Panel1->setPalette(stage);

    ShellParts parts;
    parts.Test = vel::TestType::Moving;
    parts.ProgressLabelName = QStringLiteral("ext_rdo");
    parts.LeftLayout.Series = {Series(QStringLiteral("Series3"), vel::SeriesShape::Bar, SeriesGreen),
                              Series(QStringLiteral("lnsrsSeries1"), vel::SeriesShape::Line, QColor()),
                              Series(QStringLiteral("lnsrsSeries2"), vel::SeriesShape::Line, Qt::red)};
    parts.RightLayout.Series = {Series(QStringLiteral("Series6"), vel::SeriesShape::Bar, SeriesGreen)};
    parts.LeftStyle = {QStringLiteral("Время реакции, мс"), QStringLiteral("Предъявления"), 0};
    parts.RightStyle = {QStringLiteral("Количество"), QStringLiteral("Время реакции, мс"), 0.9};
    parts.WatchdogMs = 1;
    parts.ChartPageTitle = QStringLiteral("Приложение - Графики реакции на движущийся объект");
    BindShell(parts);

    m_runner = std::make_unique<vel::moving::MovingRunner>(*this);
    connect(btnTst(), &QPushButton::clicked, m_runner.get(), &vel::moving::MovingRunner::btnTstClick);
}

void TFormRDO::StopRunIfGoing() { m_runner->StopQuietly(); }

TFormRDO::~TFormRDO() = default;

void TFormRDO::ScoreRun()
{
    const int corridor = vel::moving::CorridorOf(m_corridorText ? m_corridorText() : QString());
    const auto score = vel::moving::ScoreRun(Run(), Patient(), dtpDataTest()->date(), corridor);
    if (!score)
        return;
    // Fill replaces the points of every series of the chart, the corridor lines included.
    ChartL().Fill(score->Left);
    ChartR().Fill(score->Right);
    SetConclusionText(score->ConclusionText);
    LoadProtocol(score->ProtocolBytes());
}
