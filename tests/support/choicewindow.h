#pragma once
// The choice test window with its run, for driving a run in a test or a benchmark (see
// tests/support/runwindow.h).
#include "choice/choicerunner.h"
#include "choice/upsy.h"
#include "tests/support/runwindow.h"

namespace choicetest {

using namespace vel;
using namespace vel::choice;
using runwindow::FixedDevices;

using ChoiceWindow = runwindow::RunWindow<TFormPsy>;

} // namespace choicetest
