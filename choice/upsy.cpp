#include "choice/upsy.h"

#include <QLabel>

#include "assets/look.h"
#include "choice/choicescore.h"
#include "ui_upsy.h"

namespace {

// The instructions to the tested person; the line breaks are the program's own CR LF.
const QString Instructions = QStringLiteral(
    "В окне будут появляться треугольники. \r\nПри появлении  \r\n\r\nзеленого треугольника вершиной вверх \r\n"
    "нажать \r\n\"левый Ctrl\" или зеленую кнопку пульта; \r\n\r\nкрасного треугольника вершиной вниз \r\n"
    "нажать \r\n\"правый Ctrl\" или  красную кнопку пульта; ");

QColor ChartPageGreen() { return QColor(0x00, 0x80, 0x00); }

void Paint(QLabel *label, const QColor &background)
{
    label->setFont(vel::DesignFont(15));
    label->setWordWrap(true);
    // The legend stands at the window's edge: its words must not be cut there.
    vel::TestWindow::FitTextToLabel(label);
    label->setAutoFillBackground(true);
    QPalette p = label->palette();
    p.setColor(QPalette::Window, background);
    label->setPalette(p);
    vel::SetTextColour(label, Qt::blue);
}

} // namespace

TFormPsy::TFormPsy(QWidget *parent) : WindowWithRun(parent), m_ui(std::make_unique<Ui::TFormPsy>())
{
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("FormPsy"));
    m_ui->lblTextHelp->setText(Instructions);
    Paint(m_ui->lbllb1, vel::choice::CorrectColour);
    Paint(m_ui->lbllb2, vel::choice::WrongColour);
    Paint(m_ui->lbllb3, vel::choice::OmissionColour);
    Paint(m_ui->lbllb4, vel::choice::DoubletColour);

    ShellParts parts;
    parts.Test = vel::TestType::Choice;
    parts.ProgressLabelName = QStringLiteral("ext_pred");
    parts.LeftLayout = vel::choice::EmptyResultChart(true);
    parts.RightLayout = vel::choice::EmptyResultChart(false);
    parts.LeftStyle = {QStringLiteral("t реакции на зеленый цвет, мс"), QStringLiteral("Предъявления"), 0.9};
    parts.RightStyle = {QStringLiteral("t реакции на красный цвет,мс"), QStringLiteral("Предъявления"), 0.9};
    parts.ChartPageTitle = QStringLiteral("Приложение - Графики реакции выбора");
    parts.ChartPageLegend = {
        {ChartPageGreen(), Qt::SolidPattern, QStringLiteral("Зеленый цвет - правильная реакция")},
        {Qt::red, Qt::DiagCrossPattern, QStringLiteral("Красный цвет - неправильная реакция")},
        {Qt::white, Qt::SolidPattern, QStringLiteral("Белый цвет - пропуск")},
        {Qt::yellow, Qt::FDiagPattern, QStringLiteral("Желтый цвет - дуплет")},
    };
    BindShell(parts);
    CreateRunner();
}

TFormPsy::~TFormPsy() = default;

void TFormPsy::ShowStimulus(uint8_t kind)
{
    QLabel *green = m_ui->imgSL, *red = m_ui->imgSR, *blank = m_ui->imgS0;
    green->setVisible(kind == vel::choice::GreenKind);
    red->setVisible(kind == vel::choice::RedKind);
    blank->setVisible(kind != vel::choice::GreenKind && kind != vel::choice::RedKind);
    // Drawn now, so that the picture is on the screen before the start mark is taken.
    if (QWidget *page = blank->parentWidget())
        page->repaint(green->geometry() | red->geometry() | blank->geometry());
}

void TFormPsy::ScoreRun()
{
    if (const auto score = vel::choice::ScoreRun(Run(), Patient(), TestDate()))
        ShowScore(score->Left, score->Right, score->ConclusionText, score->ProtocolBytes());
}

void TFormPsy::TabShown(int tab)
{
    for (QLabel *label : {m_ui->lbllb1, m_ui->lbllb2, m_ui->lbllb3, m_ui->lbllb4})
        label->setVisible(tab == ChartTab);
}
