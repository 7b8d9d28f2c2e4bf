#pragma once
// The choice test window with its run, over a fixed device list, for driving a run in a
// test or a benchmark, with a script that answers the run's closing message.
#include <QApplication>

#include "choice/choicerunner.h"
#include "choice/upsy.h"
#include "console/discovery.h"
#include "tests/support/modalscript.h"

namespace choicetest {

using namespace vel;
using namespace vel::choice;

class FixedDevices : public DeviceListProvider {
public:
    DeviceList PresentDevices() override { return list; }
    DeviceList list;
};

// TFormPsy searching `present` (or failing with `listError`) for the console.
struct ChoiceWindow {
    explicit ChoiceWindow(const QList<SerialDevice> &present = {}, const QString &listError = {})
    {
        devices.list.devices = present;
        devices.list.error = listError;
        window.Runner().SetDeviceList(&devices);
        modals.closeLeftOpenAfter(0);
    }
    void SetPlannedCount(int n)
    {
        window.Runner().SetPlannedCountText([n] { return QString::number(n); });
    }
    ChoiceRunner &Runner() { return window.Runner(); }
    TTestRun &Record() { return window.Run(); }

    FixedDevices devices;   // outlives the window's run
    TFormPsy window;
    // Answers the closing message (and records it); the window may be shown modally by the
    // test for as long as the run takes.
    vel::testing::ModalScript modals;
};

} // namespace choicetest
