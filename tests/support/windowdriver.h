#pragma once
// The test windows with a stored run of the scoring's fixtures: the raw data and the run of
// a fixture, its patient, the stored choice test shown as the test list shows it, and the
// text its browser shows. Modal windows are answered with tests/support/modalscript.h.
#include <QApplication>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>

#include "records/datapsy.h"
#include "records/testwindow.h"

// The raw data of a choice run from the scoring's fixtures.
inline QString FixtureDataPsy(const QString &name)
{
    QFile f(QStringLiteral(VELMORA_SOURCE_DIR "/tests/choice/fixtures/") + name + QStringLiteral(".datapsy"));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return QString::fromLatin1(f.readAll());
}

inline vel::TTestRun FixtureRun(const QString &name, vel::TestType test = vel::TestType::Choice)
{
    vel::TTestRun run;
    QString error;
    if (!vel::LoadDataPsy(FixtureDataPsy(name), test, run, error))
        qFatal("fixture %s: %s", qPrintable(name), qPrintable(error));
    return run;
}

// The patient of the fixture "mixed".
inline const vel::PatientFacts Ivanov{QStringLiteral("Иванов Иван"), QStringLiteral("м"), QDate(2010, 5, 1)};

// The stored choice test of the fixture "mixed" shown as the test list shows it: on its
// result tab, scored, with its protocol loaded.
inline void ShowStoredChoice(vel::TestWindow &w)
{
    QString error;
    QVERIFY2(w.PrepareStored(QStringLiteral("Тест пациента: Иванов Иван"), Ivanov, QDate(2020, 9, 1),
                             QStringLiteral("9:05:07"), FixtureDataPsy(QStringLiteral("mixed")), QString(), error),
             qPrintable(error));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.WaitForProtocol(20000));
}

// The text the browser shows, once its page has loaded.
inline QString PageText(QWebEngineView *view, int timeoutMs = 20000)
{
    QString text;
    bool done = false;
    view->page()->toPlainText([&](const QString &t) {
        text = t;
        done = true;
    });
    QElapsedTimer clock;
    clock.start();
    while (!done && clock.elapsed() < timeoutMs)
        QTest::qWait(10);
    return text;
}
