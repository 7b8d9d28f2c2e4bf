#include "moving/movingrunner.h"

#include <QLabel>

#include "records/testwindow.h"

namespace vel::moving {

MovingRunner::MovingRunner(TestWindow &window)
    : TestRunner(window, NewRun<MovingRun>)
{
}

void MovingRunner::ShowStimulus(uint8_t kind)
{
    QLabel *track = Window().imgSR(), *bar = Window().imgS0(), *other = Window().imgSL();
    QWidget *stage = bar->parentWidget();
    const QRect before = track->geometry() | bar->geometry() | other->geometry();
    other->hide();
    if (kind == 0) {
        track->hide();
        bar->hide();
    } else {
        track->move(TrackLeft(kind), track->y());
        bar->move(BarLeft(kind, 0), bar->y());
        track->show();
        bar->show();
        bar->raise();   // the bar passes over the track
    }
    if (stage)
        stage->repaint(before | track->geometry() | bar->geometry());
}

void MovingRunner::MoveBar(int left)
{
    QLabel *bar = Window().imgS0();
    if (bar->x() == left)
        return;
    const QRect before = bar->geometry();
    bar->move(left, bar->y());
    if (QWidget *stage = bar->parentWidget())
        stage->repaint(before | bar->geometry());
}

} // namespace vel::moving
