#pragma once
// A test window (TFormPsy, TFormRDO) with its run, over a fixed device list, for driving a
// run in a test or a benchmark, with a script that answers the run's closing message and
// records it. The window may be shown modally by the test for as long as the run takes.
#include <QTest>

#include "console/discovery.h"
#include "common/testrun.h"
#include "tests/support/modalscript.h"

namespace runwindow {

class FixedDevices : public vel::DeviceListProvider {
public:
    vel::DeviceList PresentDevices() override { return list; }
    vel::DeviceList list;
};

// `Window` searching `present` (or failing with `listError`) for the console.
template <class Window>
struct RunWindow {
    explicit RunWindow(const QList<vel::SerialDevice> &present = {}, const QString &listError = {})
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
    // Shown for a run of `planned` presentations; false when the window did not show.
    bool ShowFor(int planned)
    {
        SetPlannedCount(planned);
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }
    auto &Runner() { return window.Runner(); }
    vel::TTestRun &Record() { return window.Run(); }

    FixedDevices devices;   // outlives the window's run
    Window window;
    vel::testing::ModalScript modals;
};

} // namespace runwindow
