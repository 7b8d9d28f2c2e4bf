#include "moving/movingrunner.h"

namespace vel::moving {

MovingRunner::MovingRunner(TestWindow &window)
    : TestRunner(window, [](TTestRun &record, RunView &view, RunClock &clock, ConsoleLink *link) {
          return std::make_unique<MovingRun>(record, view, clock, link);
      })
{
}

} // namespace vel::moving
