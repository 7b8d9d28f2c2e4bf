#pragma once
// The run part of the moving-object test window: the shared TestRunner with a MovingRun.
// The window draws the track and the moving bar on its white stage.
#include "moving/movingrun.h"
#include "run/testrunner.h"

namespace vel::moving {

using MovingRunner = TestRunnerOf<MovingRun>;

} // namespace vel::moving
