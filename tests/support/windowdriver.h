#pragma once
// Driving modal windows from a test: message boxes answered and recorded, test windows
// acted on while their modal loop runs, and a choice run of the test fixtures.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>

#include <functional>

#include "records/datapsy.h"
#include "records/testwindow.h"

// Answers every message box that opens with `answer` (or its only button) and keeps
// their texts; `beforeAnswer` runs while the box is still open.
class MessageCatcher : public QObject {
public:
    explicit MessageCatcher(QMessageBox::StandardButton answer = QMessageBox::Yes,
                            std::function<void()> beforeAnswer = {})
        : m_answer(answer), m_beforeAnswer(std::move(beforeAnswer))
    {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(w);
                if (!box || !box->isVisible() || box->property("velAnswered").toBool())
                    continue;
                box->setProperty("velAnswered", true);
                texts << box->text();
                if (m_beforeAnswer)
                    m_beforeAnswer();
                QAbstractButton *button = box->button(m_answer);
                if (!button)
                    button = box->buttons().value(0);
                button->click();
            }
        });
        m_poll.start(10);
    }
    QStringList texts;

private:
    QMessageBox::StandardButton m_answer;
    std::function<void()> m_beforeAnswer;
    QTimer m_poll;
};

// Runs `action` on the next test window that opens modally while this object lives; the
// window is closed without OK afterwards when the action left it open, so that a failed
// check never hangs a test.
class NextTestWindow : public QObject {
public:
    explicit NextTestWindow(std::function<void(vel::TestWindow &)> action) : m_action(std::move(action))
    {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            auto *w = qobject_cast<vel::TestWindow *>(QApplication::activeModalWidget());
            if (!w || !w->isVisible())
                return;
            m_poll.stop();
            ++opened;
            m_action(*w);
            if (w->isVisible())
                w->reject();
        });
        m_poll.start(10);
    }
    int opened = 0;

private:
    std::function<void(vel::TestWindow &)> m_action;
    QTimer m_poll;
};

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
