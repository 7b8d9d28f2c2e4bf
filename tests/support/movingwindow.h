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
    }
    void SetPlannedCount(int n)
    {
        window.Runner().SetPlannedCountText([n] { return QString::number(n); });
    }
    MovingRunner &Runner() { return window.Runner(); }
    TTestRun &Record() { return window.Run(); }

    choicetest::FixedDevices devices;   // outlives the window's run
    TFormRDO window;
    choicetest::MessageWatcher watcher;
};

} // namespace movingtest
