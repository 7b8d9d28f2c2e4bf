#pragma once
// The run part of the choice test window: the shared TestRunner with a ChoiceRun. The
// window draws the triangles imgSL (green) and imgSR (red) and the blank picture imgS0.
#include "choice/choicerun.h"
#include "run/testrunner.h"

namespace vel::choice {

using ChoiceRunner = TestRunnerOf<ChoiceRun>;

} // namespace vel::choice
