#include "moving/rdo.h"

#include <QLabel>

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

TFormRDO::TFormRDO(QWidget *parent) : WindowWithRun(parent), m_ui(std::make_unique<Ui::TFormRDO>())
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
    parts.ChartPageTitle = QStringLiteral("Приложение - Графики реакции на движущийся объект");
    BindShell(parts);
    CreateRunner();
}

TFormRDO::~TFormRDO() = default;

void TFormRDO::ShowStimulus(uint8_t kind)
{
    QLabel *track = m_ui->imgSR, *bar = m_ui->imgS0, *other = m_ui->imgSL;
    const QRect before = track->geometry() | bar->geometry() | other->geometry();
    other->hide();
    if (kind == 0) {
        track->hide();
        bar->hide();
    } else {
        track->move(vel::moving::TrackLeft(kind), track->y());
        bar->move(vel::moving::BarLeft(kind, 0), bar->y());
        track->show();
        bar->show();
        bar->raise();   // the bar passes over the track
    }
    m_ui->Panel1->repaint(before | track->geometry() | bar->geometry());
}

void TFormRDO::MoveBar(int left)
{
    QLabel *bar = m_ui->imgS0;
    if (bar->x() == left)
        return;
    const QRect before = bar->geometry();
    bar->move(left, bar->y());
    m_ui->Panel1->repaint(before | bar->geometry());
}

void TFormRDO::ScoreRun()
{
    const int corridor = vel::moving::CorridorOf(m_corridorText ? m_corridorText() : QString());
    // ShowScore replaces the points of every series of the charts, the corridor lines
    // included.
    if (const auto score = vel::moving::ScoreRun(Run(), Patient(), TestDate(), corridor))
        ShowScore(score->Left, score->Right, score->ConclusionText, score->ProtocolBytes());
}
