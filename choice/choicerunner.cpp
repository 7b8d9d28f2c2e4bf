#include "choice/choicerunner.h"

#include <QLabel>

#include "records/testwindow.h"

namespace vel::choice {

ChoiceRunner::ChoiceRunner(TestWindow &window)
    : TestRunner(window, NewRun<ChoiceRun>)
{
}

void ChoiceRunner::ShowStimulus(uint8_t kind)
{
    QLabel *green = Window().imgSL(), *red = Window().imgSR(), *blank = Window().imgS0();
    green->setVisible(kind == GreenKind);
    red->setVisible(kind == RedKind);
    blank->setVisible(kind != GreenKind && kind != RedKind);
    // Drawn now, so that the picture is on the screen before the start mark is taken.
    if (QWidget *page = blank->parentWidget())
        page->repaint(green->geometry() | red->geometry() | blank->geometry());
}

} // namespace vel::choice
