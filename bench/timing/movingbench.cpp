// The moving-object run under the X server: the timing of left and right Ctrl presses
// injected through XTest at known moments after the start mark, and the motion of the
// bar: every paint of it against the position of the run clock at that moment, and the
// largest time between two successive places of the bar on the screen.
#include "bench/timing/movingbench.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>
#include <vector>


#include "bench/common/benchutil.h"
#include "bench/timing/timingparts.h"
#include "run/rs232thread.h"
#include "common/clock.h"
#include "tests/support/controls.h"
#include "tests/support/xdriver.h"
#include "tests/support/movingwindow.h"

using namespace movingtest;
using namespace vel::bench;
using xdriver::NowMs;
using xdriver::XDriver;

namespace {

struct Press {
    int presentation = 0;   // 1-based
    bool right = false;
    double at = 0;          // ms after the start mark, as sent
};

struct Paint {
    double when = 0;        // NowMs
    int left = 0;
    int expected = 0;       // the formula at that moment
};

// Watches the bar's label on the main thread: each paint while a presentation moves, and
// the start mark of each presentation, handed to the presser.
class BarWatch : public QObject {
public:
    BarWatch(MovingWindow &w) : m_w(w), m_bar(Control<QLabel>(&w.window, "imgS0")) { m_bar->installEventFilter(this); }

    bool eventFilter(QObject *, QEvent *event) override
    {
        const ReactionRun &run = m_w.Runner().Run();
        if (run.CurrentPhase() != ReactionRun::Phase::Presenting)
            return false;
        const double now = NowMs();
        if (event->type() == QEvent::Move || event->type() == QEvent::Show) {
            mark = run.StartTick();
            presentation = run.DoneCount() + 1;
        }
        if (event->type() == QEvent::Paint) {
            // The run clock's TickCount is the whole milliseconds of NowMs's clock.
            const int t = int(uint32_t(uint64_t(now)) - run.StartTick());
            paints.push_back({now, m_bar->x(), BarLeft(run.CurrentKind(), t)});
            presentationOf.push_back(run.DoneCount() + 1);
        }
        return false;
    }

    std::atomic<uint32_t> mark{0};
    std::atomic<int> presentation{0};
    std::vector<Paint> paints;
    std::vector<int> presentationOf;

private:
    MovingWindow &m_w;
    QLabel *m_bar;
};

} // namespace

int MovingBench(int planned)
{
    MovingWindow w;   // no console: the keyboard alone
    w.window.show();
    w.window.activateWindow();
    QElapsedTimer t;
    t.start();
    while (!(w.window.windowHandle() && w.window.windowHandle()->isExposed() && w.window.isActiveWindow())
           && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);

    // Per presentation a left press in 900..1340 ms and a right one in 1360..1800 ms after
    // the start mark, spread evenly and shuffled.
    std::mt19937 random(20261210);
    const std::vector<double> early = SpreadShuffled(planned, 900, 1340, random);
    const std::vector<double> late = SpreadShuffled(planned, 1360, 1780, random);
    std::vector<Press> presses;
    for (int i = 0; i < planned; ++i) {
        presses.push_back({i + 1, false, early[size_t(i)]});
        presses.push_back({i + 1, true, late[size_t(i)]});
    }

    BarWatch watch(w);
    w.SetPlannedCount(planned);
    std::atomic<double> presserCpu{0};
    std::atomic<bool> stop{false};
    std::thread presser([&] {
        XDriver x;
        int done = 0;
        for (size_t i = 0; i < presses.size() && !stop; i += 2) {
            const int presentation = presses[i].presentation;
            while (watch.presentation.load() != presentation && !stop)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            // The start mark on NowMs's clock: TickCount is its whole milliseconds.
            const double now = NowMs();
            const double mark = now - double(uint32_t(uint64_t(now)) - watch.mark.load());
            for (size_t j = i; j < i + 2; ++j) {
                Press &p = presses[j];
                while (NowMs() < mark + p.at)
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                p.at = x.PressCtrl(p.right, 20) - mark;
            }
            ++done;
        }
        presserCpu = ThreadCpuMs();
    });

    const double cpu0 = ProcessCpuMs();
    QElapsedTimer wall;
    wall.start();
    Control<QPushButton>(&w.window, "btnTst")->click();
    // A presentation lasts at most about 3.5 s with its pause; a run that has not ended
    // long after that is reported instead of waited for.
    const qint64 limitMs = 30000 + 4000LL * planned;
    const bool ended = WaitForRunEnd([&] { return !w.Runner().Running() && !w.modals.boxes.isEmpty(); }, limitMs);
    const double wallMs = double(wall.elapsed());
    stop = true;
    presser.join();
    if (!ended) {
        std::printf("moving object: the run did not end within %lld ms (running: %s, %d of %d presentations, "
                    "%lld closing messages seen)  -> NOT MET\n",
                    limitMs, w.Runner().Running() ? "yes" : "no", int(w.Record().DoneCount), planned,
                    qint64(w.modals.boxes.size()));
        return 1;
    }
    const double cpuMs = ProcessCpuMs() - cpu0 - presserCpu;

    const TTestRun &record = w.Record();
    std::vector<double> errors;
    int missing = 0;
    for (const Press &p : presses) {
        const uint16_t stored = p.right ? record.RightTimes[p.presentation] : record.LeftTimes[p.presentation];
        if (p.presentation > record.DoneCount || stored == PresentationLengthMs) {
            ++missing;
            continue;
        }
        errors.push_back(std::fabs(double(stored) - p.at));
    }
    const double median = Median(errors);
    const double worst = errors.empty() ? 0 : *std::max_element(errors.begin(), errors.end());
    const bool timingMet = median <= 1 && worst <= 3 && missing == 0;
    std::printf("moving object: presses: %zu measured, %d missing, in %d presentations; 900..1800 ms after "
                "the start mark\n",
                errors.size(), missing, int(record.DoneCount));
    std::printf("moving object: answer time error |stored - true|: median %.2f ms (target <= 1), max %.2f ms "
                "(target <= 3)  -> %s\n",
                median, worst, timingMet ? "met" : "NOT MET");

    // Motion: each paint against the formula, and the time between successive places.
    int worstPx = 0;
    double worstGap = 0;
    for (size_t i = 0; i < watch.paints.size(); ++i) {
        const Paint &p = watch.paints[i];
        worstPx = std::max(worstPx, std::abs(p.left - p.expected));
        if (i > 0 && watch.presentationOf[i] == watch.presentationOf[i - 1])
            worstGap = std::max(worstGap, p.when - watch.paints[i - 1].when);
    }
    const bool motionMet = worstPx <= 1 && worstGap <= 20 && !watch.paints.empty();
    std::printf("moving object: %zu paints of the moving bar; largest distance from the formula %d px (target "
                "<= 1), largest time between two successive places %.2f ms (target <= 20)  -> %s\n",
                watch.paints.size(), worstPx, worstGap, motionMet ? "met" : "NOT MET");
    std::printf("moving object: program CPU per second of run: %.0f ms (%d ms wait between ticks)\n",
                cpuMs * 1000 / wallMs, TRS232Thread::DefaultIdleMs);
    return timingMet && motionMet ? 0 : 1;
}
