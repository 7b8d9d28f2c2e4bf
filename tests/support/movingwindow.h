#pragma once
// The moving-object test window with its run, for driving a run in a test or a benchmark
// (see tests/support/runwindow.h).
#include "moving/movingrunner.h"
#include "moving/rdo.h"
#include "tests/support/runwindow.h"

namespace movingtest {

using namespace vel;
using namespace vel::moving;

using MovingWindow = runwindow::RunWindow<TFormRDO>;

} // namespace movingtest
