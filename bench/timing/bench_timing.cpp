// Timing accuracy of the choice run. The run goes on in this process, in a window on an
// X server (Xvfb, started here when there is no display); a second thread watches the
// stimulus on the screen and presses the left and right Ctrl through the XTest
// extension at known delays after it appeared. The answer times the run stores are
// compared with those delays. Also: the CPU time the program spends per second of a
// run, with and without the polling thread's wait between ticks. Then the moving-object
// run (movingbench.cpp): its press timing and the motion of its bar.
//   bench_timing [presentations] [moving presentations]   (30 and 26 by default: 60 and
//   52 presses)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

#include <unistd.h>

#include "bench/timing/movingbench.h"
#include "bench/timing/timingparts.h"
#include "bench/common/benchutil.h"
#include "run/rs232thread.h"
#include "tests/support/choicewindow.h"
#include "tests/support/controls.h"
#include "tests/support/xdriver.h"

using namespace choicetest;
using namespace vel::bench;
using xdriver::NowMs;
using xdriver::XDriver;

namespace {

struct Press {
    int presentation = 0;   // 1-based
    bool right = false;
    double delay = 0;       // ms from the stimulus seen to the press sent
};

void SleepUntil(double whenMs)
{
    for (double left = whenMs - NowMs(); left > 0; left = whenMs - NowMs())
        std::this_thread::sleep_for(std::chrono::microseconds(int64_t(std::min(left, 2.0) * 1000 * 0.5) + 1));
}

struct RunFigures {
    double wallMs = 0;
    double cpuMs = 0;   // the program's: the process less the presser thread
    quint64 ticks = 0;
};

// One run of `planned` presentations; `presses` (may be empty) are made by the presser.
RunFigures Run(ChoiceWindow &w, int planned, int idleMs, std::vector<Press> *presses, bool *colourMismatch)
{
    ChoiceRunner &runner = w.Runner();
    const TTestRun &record = w.Record();
    w.SetPlannedCount(planned);
    runner.Thread().SetIdleMs(idleMs);
    QLabel *image = Control<QLabel>(&w.window, "imgSL");
    const QPoint sample = image->mapToGlobal(QPoint(image->width() / 2, image->height() / 2));

    std::atomic<double> presserCpu{0};
    std::atomic<bool> stop{false};
    std::vector<XDriver::Colour> seen;
    std::thread presser;
    if (presses) {
        presser = std::thread([&] {
            XDriver x;
            for (size_t i = 0; i < presses->size() && !stop; i += 2) {
                double on = 0;
                const XDriver::Colour c = x.WaitForStimulus(sample.x(), sample.y(), 6000, &on);
                if (c == XDriver::Colour::Other)
                    break;
                seen.push_back(c);
                for (size_t j = i; j < i + 2; ++j) {
                    Press &p = (*presses)[j];
                    SleepUntil(on + p.delay);
                    p.delay = x.PressCtrl(p.right, 20) - on;
                }
                x.WaitForBlank(sample.x(), sample.y(), 1000);
            }
            presserCpu = ThreadCpuMs();
        });
    }
    w.modals.boxes.clear();
    const double cpu0 = ProcessCpuMs();
    const quint64 ticks0 = runner.Thread().TicksRun();
    QElapsedTimer wall;
    wall.start();
    Control<QPushButton>(&w.window, "btnTst")->click();
    WaitForRunEnd([&] { return !runner.Running() && !w.modals.boxes.isEmpty(); });
    RunFigures f;
    f.wallMs = double(wall.elapsed());
    stop = true;
    if (presser.joinable())
        presser.join();
    f.cpuMs = ProcessCpuMs() - cpu0 - presserCpu;
    f.ticks = runner.Thread().TicksRun() - ticks0;
    if (colourMismatch) {
        *colourMismatch = int(seen.size()) != record.DoneCount;
        for (size_t i = 0; i < seen.size() && i < record.DoneCount; ++i)
            *colourMismatch |= (seen[i] == XDriver::Colour::Green) != (record.Kinds[i + 1] == GreenKind);
    }
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::vector<char *> args{const_cast<char *>("xvfb-run"), const_cast<char *>("-a"),
                                 const_cast<char *>("-s"), const_cast<char *>("-screen 0 1280x1024x24")};
        for (int i = 0; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        execvp("xvfb-run", args.data());
        std::perror("bench_timing: xvfb-run");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    // The browser's shared contexts and its sandbox for root: set up by tests/support.
    QApplication app(argc, argv);
    const int planned = argc > 1 ? std::clamp(atoi(argv[1]), 1, 200) : 30;
    const int movingPlanned = argc > 2 ? std::clamp(atoi(argv[2]), 0, 200) : 26;

    ChoiceWindow w;   // no console on its device list: the keyboard alone
    w.window.show();
    w.window.activateWindow();
    QElapsedTimer t;
    t.start();
    while (!(w.window.windowHandle() && w.window.windowHandle()->isExposed() && w.window.isActiveWindow())
           && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    {
        XDriver x;
        if (!x.Ok()) {
            std::fprintf(stderr, "bench_timing: no X display\n");
            return 1;
        }
        const QPoint centre = w.window.mapToGlobal(w.window.rect().center());
        x.MovePointer(centre.x(), centre.y());
    }

    // Delays spread evenly over 200..900 ms: per presentation one from the lower half
    // and one from the upper, the hands taking turns at going first.
    std::mt19937 random(20240611);
    const std::vector<double> low = SpreadShuffled(planned, 200, 540, random);
    const std::vector<double> high = SpreadShuffled(planned, 560, 900, random);
    std::vector<Press> presses;
    for (int i = 0; i < planned; ++i) {
        const bool rightFirst = i % 2 == 1;
        presses.push_back({i + 1, rightFirst, low[size_t(i)]});
        presses.push_back({i + 1, !rightFirst, high[size_t(i)]});
    }

    bool mismatch = false;
    const RunFigures timed = Run(w, planned, TRS232Thread::DefaultIdleMs, &presses, &mismatch);
    const TTestRun record = w.Record();
    std::vector<double> errors;
    int missing = 0;
    for (const Press &p : presses) {
        const uint16_t stored = p.right ? record.RightTimes[p.presentation] : record.LeftTimes[p.presentation];
        if (p.presentation > record.DoneCount || stored == 3150 || stored < BaseTimeMs + RegisteredBonusMs) {
            ++missing;
            continue;
        }
        const double answer = stored - BaseTimeMs - RegisteredBonusMs;
        errors.push_back(answer - p.delay);
    }
    std::vector<double> absolute;
    for (double e : errors)
        absolute.push_back(std::fabs(e));
    const double median = Median(absolute);
    const double worst = absolute.empty() ? 0 : *std::max_element(absolute.begin(), absolute.end());
    const double meanSigned = errors.empty() ? 0 : std::accumulate(errors.begin(), errors.end(), 0.0) / errors.size();

    std::printf("presses: %zu measured, %d missing, in %d presentations; delays 200..900 ms after the "
                "stimulus was seen on the screen%s\n",
                errors.size(), missing, int(record.DoneCount),
                mismatch ? " (stimuli seen did not match the schedule!)" : "");
    std::printf("answer time error (stored - true): median |e| %.2f ms (target <= 1), max |e| %.2f ms "
                "(target <= 3), mean e %+.2f ms  -> %s\n",
                median, worst, meanSigned,
                (median <= 1 && worst <= 3 && missing == 0 && !mismatch) ? "met" : "NOT MET");

    const RunFigures busy = Run(w, 3, 0, nullptr, nullptr);
    std::printf("program CPU per second of run: %.0f ms with a %d ms wait between ticks (%.0f ticks/s); "
                "%.0f ms asking again at once (%.0f ticks/s)\n",
                timed.cpuMs * 1000 / timed.wallMs, TRS232Thread::DefaultIdleMs, timed.ticks * 1000 / timed.wallMs,
                busy.cpuMs * 1000 / busy.wallMs, busy.ticks * 1000 / busy.wallMs);
    const bool choiceMet = median <= 1 && worst <= 3 && missing == 0 && !mismatch;
    w.window.hide();
    const bool movingMet = movingPlanned == 0 || MovingBench(movingPlanned) == 0;
    return choiceMet && movingMet ? 0 : 1;
}
