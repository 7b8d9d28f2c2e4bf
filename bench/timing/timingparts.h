#pragma once
// What both parts of the timing benchmark share: the moments of the presses, spread evenly
// over a span and shuffled, and the wait for the end of a run in an event loop, so that
// the window keeps running, without a limit or for at most a given time, after which any
// modal window left open is closed.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <random>
#include <vector>

// `count` values spread evenly from `from` to `to`, in an order shuffled by `random`.
inline std::vector<double> SpreadShuffled(int count, double from, double to, std::mt19937 &random)
{
    std::vector<double> v;
    for (int i = 0; i < count; ++i)
        v.push_back(from + (to - from) * i / std::max(1, count - 1));
    std::shuffle(v.begin(), v.end(), random);
    return v;
}

// Waits until `ended` holds, checked every 50 ms, or `limitMs` have passed (0: no limit);
// false when the limit came first.
inline bool WaitForRunEnd(const std::function<bool()> &ended, qint64 limitMs = 0)
{
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer check;
    bool done = false;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (ended()) {
            done = true;
            loop.quit();
        } else if (limitMs > 0 && wall.elapsed() > limitMs) {
            // A message box left open would hold its own loop inside this one.
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
            loop.quit();
        }
    });
    check.start(50);
    loop.exec();
    return done;
}
