#pragma once
// The choice test window with its run, over a fixed device list, for driving a run in a
// test or a benchmark; and what answers the run's closing message.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "choice/choicerunner.h"
#include "choice/upsy.h"
#include "console/discovery.h"

namespace choicetest {

using namespace vel;
using namespace vel::choice;

class FixedDevices : public DeviceListProvider {
public:
    DeviceList PresentDevices() override { return list; }
    DeviceList list;
};

// Answers the closing message when it comes up; keeps what it said.
struct MessageWatcher {
    MessageWatcher()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                messages << box->windowTitle() + ": " + box->text();
                box->accept();
            }
        });
        timer.start(20);
    }
    QTimer timer;
    QStringList messages;
};

// TFormPsy searching `present` (or failing with `listError`) for the console.
struct ChoiceWindow {
    explicit ChoiceWindow(const QList<SerialDevice> &present = {}, const QString &listError = {})
    {
        devices.list.devices = present;
        devices.list.error = listError;
        window.Runner().SetDeviceList(&devices);
    }
    void SetPlannedCount(int n)
    {
        window.Runner().SetPlannedCountText([n] { return QString::number(n); });
    }
    ChoiceRunner &Runner() { return window.Runner(); }
    TTestRun &Record() { return window.Run(); }

    FixedDevices devices;   // outlives the window's run
    TFormPsy window;
    MessageWatcher watcher;
};

} // namespace choicetest

// The browser of the window needs OpenGL contexts shared before the application starts.
#define CHOICE_WINDOW_TEST_MAIN(TestClass)                                                     \
    int main(int argc, char **argv)                                                            \
    {                                                                                          \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                            \
        QApplication app(argc, argv);                                                          \
        TestClass test;                                                                        \
        return QTest::qExec(&test, argc, argv);                                                \
    }
