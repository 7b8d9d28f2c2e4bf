#pragma once
// Driving the real program under the X server, for the end-to-end tests of both tests:
// clicks at points of a window, the focus, the records of a table as velmora-dbftool
// dumps them (VELMORA_DBFTOOL), and the steps every run through the program takes: a
// patient added, a new test opened, the run finished and saved, the stored test reopened
// and saved again, and the one record stored. Each step waits with a timeout and reports
// a window that did not come as a failure.
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QPoint>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <QDebug>
#include <QTest>

#include <functional>
#include <memory>

#include "common/text.h"
#include "records/datapsy.h"
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
    explicit ProgramSession(const QString &settingsLines, const QString &extraPorts = {})
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

// AddPatient with the controls laid out by `layOut` for the main window's size into
// `layout`, whose btPplAppend is where "Добавить пациента" is.
template <class Layout>
QString AddPatient(ProgramSession &s, const QString &name, Layout &layout, Layout (*layOut)(QSize))
{
    return AddPatient(s, name, [&](QSize size) {
        layout = layOut(size);
        return layout.btPplAppend;
    });
}

// Presses "Добавить" of the main window `mainWindow` (at `btn_plant`) and waits for the
// test window captioned `caption`, which gets the focus. Its id; empty when it did not come.
inline QString OpenNewTest(ProgramSession &s, const QString &mainWindow, QPoint btn_plant, const QString &caption)
{
    Click(mainWindow, btn_plant);
    const QStringList window = WaitForWindow(caption, s.pid(), 10000);
    if (window.isEmpty())
        return {};
    Focus(window.first());
    return window.first();
}

// Waits up to five seconds for the windows captioned `caption` to go.
inline bool Gone(ProgramSession &s, const QString &caption)
{
    for (int i = 0; i < 50 && !WindowsOf(s.pid(), caption).isEmpty(); ++i)
        QTest::qWait(100);
    return WindowsOf(s.pid(), caption).isEmpty();
}

// Closes "Тест завершен!" once the run of the test window `window` (captioned `caption`)
// has ended, within `runLimitMs`, and presses its "Сохранить" at `btnSave`; true when the
// window went away.
inline bool FinishAndSave(ProgramSession &s, const QString &window, const QString &caption, QPoint btnSave,
                          int runLimitMs)
{
    const QStringList done = WaitForWindow("^Тест завершен!$", s.pid(), runLimitMs);
    if (done.isEmpty() || !Dismiss(done, "^Тест завершен!$", *s.program))
        return false;
    Focus(window);
    Click(window, btnSave);
    return Gone(s, caption);
}

// Reopens the first test of the main window's list (at `firstTest`) by a double click and
// saves it again without running it (at `btnSave`); true when its window went away.
inline bool ReopenAndSave(ProgramSession &s, const QString &patientName, QPoint firstTest, QPoint btnSave)
{
    const QStringList main = WaitForWindow(MainCaption, s.pid(), 1000);
    Focus(main.value(0));
    Click(main.value(0), firstTest, 2);
    const QString caption = "^Тест пациента: " + patientName + "$";
    const QStringList window = WaitForWindow(caption, s.pid(), 10000);
    if (window.isEmpty())
        return false;
    QTest::qWait(1500);   // scored again on its result tab
    Focus(window.first());
    Click(window.first(), btnSave);
    return Gone(s, caption);
}

// The one stored test of the session, after the program has ended; empty (and the tests
// found told) when there is not exactly one.
inline QMap<QString, QString> StoredTest(ProgramSession &s)
{
    Stop(*s.program);
    const auto tests = Records(FindFile(s.w.home(), "Psy.dbf"));
    if (tests.size() != 1)
        qWarning() << "stored tests:" << tests;
    return tests.size() == 1 ? tests.first() : QMap<QString, QString>();
}

// The run of a stored test's raw data, into `run`; a failed check when it cannot be read.
inline void LoadStoredRun(const QMap<QString, QString> &stored, vel::TestType test, vel::TTestRun &run)
{
    QString error;
    QVERIFY2(vel::LoadDataPsy(stored.value("DATAPSY"), test, run, error), qPrintable(error));
}

// Saves the ended run of the test window `window` (captioned `newCaption`), reopens the
// stored test, saves it again without running it and ends the program. Checks that the
// record of `typeName` is stored once and that reopening, scoring again and saving left its
// raw data and conclusion as they were; the record and its run are handed back. The
// caller returns when QTest::currentTestFailed().
inline void SaveReopenAndStop(ProgramSession &s, const QString &window, const QString &newCaption,
                              const QString &patientName, QPoint btnSave, QPoint firstTest, int runLimitMs,
                              const QString &typeName, vel::TestType test, QMap<QString, QString> &stored,
                              vel::TTestRun &run)
{
    QVERIFY2(FinishAndSave(s, window, newCaption, btnSave, runLimitMs), DescribeWindows(s.pid()));
    const auto saved = Records(FindFile(s.w.home(), "Psy.dbf"));
    QCOMPARE(saved.size(), 1);
    QVERIFY2(ReopenAndSave(s, patientName, firstTest, btnSave), DescribeWindows(s.pid()));
    stored = StoredTest(s);
    for (const char *field : {"IDX", "TYPE", "DATAPSY", "PSYFINAL", "DATE"})
        QCOMPARE(stored.value(field), saved.first().value(field));
    QCOMPARE(stored.value("TYPE").trimmed(), typeName);
    LoadStoredRun(stored, test, run);
}

// Starts the run of the new test window `window` (captioned `newCaption`) at `btnTst` and,
// once the run has ended within 40 s, saves it at `btnSave` and ends the program: the one
// stored record and its run. For runs answered by the console. The caller returns when
// QTest::currentTestFailed().
inline void RunSaveAndStop(ProgramSession &s, const QString &window, const QString &newCaption, QPoint btnTst,
                           QPoint btnSave, vel::TestType test, QMap<QString, QString> &stored, vel::TTestRun &run)
{
    QVERIFY2(!window.isEmpty(), DescribeWindows(s.pid()));
    Click(window, btnTst);
    QVERIFY2(FinishAndSave(s, window, newCaption, btnSave, 40000), DescribeWindows(s.pid()));
    stored = StoredTest(s);
    LoadStoredRun(stored, test, run);
}

// The checks every end-to-end test makes first.
inline void CheckProgramAndXServer()
{
    QVERIFY2(QFileInfo(Program).isExecutable(), qPrintable(Program));
    QVERIFY2(XDriver().Ok(), "needs an X server (run under xvfb-run)");
}

} // namespace e2e
