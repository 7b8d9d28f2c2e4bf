#pragma once
// Driving the real program under the X server, for the end-to-end tests of both tests:
// clicks at points of a window, the focus, and the records of a table as
// velmora-dbftool dumps them (VELMORA_DBFTOOL).
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QPoint>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <QTest>

#include <functional>
#include <memory>

#include "common/text.h"
#include "tests/support/runprogram.h"
#include "tests/support/workfolder.h"
#include "tests/support/xdriver.h"

namespace e2e {

using xdriver::XDriver;

inline QPoint Origin(const QString &window)
{
    int x = 0, y = 0;
    XDriver().WindowOrigin(window.toULong(), &x, &y);
    return {x, y};
}

inline void Click(const QString &window, QPoint at, int count = 1)
{
    const QPoint o = Origin(window);
    XDriver().Click(o.x() + at.x(), o.y() + at.y(), count);
}

inline void Focus(const QString &window) { Xdo({"windowfocus", "--sync", window}); }

inline QString Unescape(const QString &cell)
{
    QString out;
    for (qsizetype i = 0; i < cell.size(); ++i) {
        if (cell[i] != QLatin1Char('\\') || i + 1 == cell.size()) {
            out += cell[i];
            continue;
        }
        const QChar c = cell[++i];
        out += c == QLatin1Char('r') ? QChar('\r') : c == QLatin1Char('n') ? QChar('\n') : c == QLatin1Char('t') ? QChar('\t') : c;
    }
    return out;
}

// The records of a table that are not deleted, field by field, as velmora-dbftool dumps
// them.
inline QList<QMap<QString, QString>> Records(const QString &dbf)
{
    QProcess p;
    p.start(QStringLiteral(VELMORA_DBFTOOL), {"dump", dbf});
    p.waitForFinished(30000);
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QList<QMap<QString, QString>> records;
    if (lines.isEmpty())
        return records;
    const QStringList names = lines.first().split('\t');
    for (const QString &line : lines.mid(1)) {
        const QStringList cells = line.split('\t');
        if (cells.value(1) == QLatin1String("*"))
            continue;
        QMap<QString, QString> record;
        for (int i = 0; i < names.size(); ++i)
            record[names[i]] = Unescape(cells.value(i));
        records << record;
    }
    return records;
}

inline QString FindFile(const QString &folder, const QString &name)
{
    for (const QFileInfo &f : QDir(folder).entryInfoList(QDir::Files))
        if (f.fileName().compare(name, Qt::CaseInsensitive) == 0)
            return f.filePath();
    for (const QFileInfo &d : QDir(folder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString found = FindFile(d.filePath(), name);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

// One session of the program: its own workplace whose settings file holds
// `settingsLines` (the lines after the section header), and the consoles of `extraPorts`.
struct ProgramSession {
    ProgramSession(const QString &settingsLines, const QString &extraPorts)
    {
        QDir().mkpath(w.home() + "/Data");
        WriteAll(w.home() + "/Data/velmora.ini",
                 vel::ToCp1251(QStringLiteral("[Общие настройки]\r\n") + settingsLines));
        qputenv("VELMORA_EXTRA_PORTS", extraPorts.toUtf8());
        program = w.start();
        qunsetenv("VELMORA_EXTRA_PORTS");
    }
    ~ProgramSession()
    {
        if (program)
            Stop(*program);
    }
    qint64 pid() const { return program->processId(); }

    Workplace w;
    std::unique_ptr<QProcess> program;
};

// Waits for the main window, lays out the controls for its size (`layOut` gives where
// "Добавить пациента" is), adds the patient `name` through the patient dialog and waits
// for the working list to move to it. The main window's id; empty when a window did not
// come.
inline QString AddPatient(ProgramSession &s, const QString &name, const std::function<QPoint(QSize)> &layOut)
{
    const QStringList main = WaitForWindow(MainCaption, s.pid(), 30000);
    if (main.isEmpty())
        return {};
    int width = 0, height = 0;
    XDriver().WindowSize(main.first().toULong(), &width, &height);
    const QPoint append = layOut(QSize(width, height));

    Focus(main.first());
    Click(main.first(), append);
    const QStringList dialog = WaitForWindow("^Добавление пациента$", s.pid(), 10000);
    if (dialog.isEmpty())
        return {};
    Focus(dialog.first());
    Xdo({"type", "--delay", "20", name});
    Xdo({"key", "Return"});
    QTest::qWait(800);   // the working list moves to the new patient; its tests are shown
    return main.first();
}

} // namespace e2e
