#pragma once
// Where the controls of the program's windows are, for the end-to-end tests that click
// them through the X server: a window is made in this process in a fresh working folder
// with the default settings, laid out off the screen (at the size the running program
// shows it, when given), and measured from the client origin of the window.
#include <QAbstractItemView>
#include <QCoreApplication>
#include <QHeaderView>
#include <QPoint>
#include <QSize>
#include <QTableView>
#include <QWidget>

#include "common/config.h"
#include "tests/support/workfolder.h"

namespace e2e {

inline QPoint Centre(QWidget *w, QWidget *window) { return w->mapTo(window, w->rect().center()); }

// A point of the first row of `grid`.
inline QPoint FirstRow(QTableView *grid, QWidget *window)
{
    const int rowHeight = grid->verticalHeader()->defaultSectionSize();
    return grid->viewport()->mapTo(window, QPoint(grid->viewport()->width() / 3, rowHeight / 2));
}

// Makes a window W, lays it out off the screen and hands it to `measure`.
template <class W, class Measure>
void MeasureOffscreen(Measure &&measure, QSize size = {})
{
    WorkFolder folder;
    folder.enter({"Data"});
    vel::MutableConfig() = vel::AppConfig{};
    {
        W window;
        window.setAttribute(Qt::WA_DontShowOnScreen);
        if (size.isValid())
            window.resize(size);
        window.show();
        QCoreApplication::processEvents();
        measure(window);
    }
    folder.leave();
}

} // namespace e2e
