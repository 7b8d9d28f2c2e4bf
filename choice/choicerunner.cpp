#include "choice/choicerunner.h"

namespace vel::choice {

ChoiceRunner::ChoiceRunner(TestWindow &window)
    : TestRunner(window, [](TTestRun &record, RunView &view, RunClock &clock, ConsoleLink *link) {
          return std::make_unique<ChoiceRun>(record, view, clock, link);
      })
{
}

} // namespace vel::choice
