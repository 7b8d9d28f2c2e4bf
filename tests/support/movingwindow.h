#pragma once
// The moving-object test window with its run, over a fixed device list, for driving a run
// in a test or a benchmark.
#include "moving/movingrunner.h"
#include "moving/rdo.h"
#include "tests/support/choicewindow.h"

namespace movingtest {

using namespace vel;
using namespace vel::moving;

// TFormRDO searching `present` for the console.
struct MovingWindow {
    explicit MovingWindow(const QList<SerialDevice> &present = {})
    {
        devices.list.devices = present;
        window.Runner().SetDeviceList(&devices);
        modals.closeLeftOpenAfter(0);
    }
    void SetPlannedCount(int n)
    {
        window.Runner().SetPlannedCountText([n] { return QString::number(n); });
    }
    MovingRunner &Runner() { return window.Runner(); }
    TTestRun &Record() { return window.Run(); }

    choicetest::FixedDevices devices;   // outlives the window's run
    TFormRDO window;
    // Answers the closing message (and records it); the window may be shown modally by the
    // test for as long as the run takes.
    vel::testing::ModalScript modals;
};

} // namespace movingtest
