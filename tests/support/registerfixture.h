#pragma once
// Patients and tests written through the system's own tables, and a script that answers
// the modal windows (message boxes, the patient dialog) a handler opens, so that no test
// waits for a hand on the keyboard.
#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QQueue>
#include <QTimer>
#include <QtTest>

#include <functional>

#include "store/table.h"
#include "tests/support/workfolder.h"

namespace vel::testing {

struct Patient {
    int idx = 0;
    QString fio;
    QString sex = QStringLiteral("м");
    QDate birthday = QDate(2010, 5, 17);
    QString address;
};

inline void AddPatient(Table &people, int idx, const QString &fio, const QString &sex = QStringLiteral("м"),
                       const QDate &birthday = QDate(2010, 5, 17), const QString &address = QString())
{
    people.append();
    people.setValue("IDX", idx);
    people.setValue("FIO", fio);
    people.setValue("SEX", sex);
    people.setValue("BIRTHDAY", birthday);
    people.setValue("ADDRESS", address);
    people.post();
}

inline void AddPatient(Table &people, const Patient &p)
{
    AddPatient(people, p.idx, p.fio, p.sex, p.birthday, p.address);
}

inline void AddTest(Table &tests, int idx, const QString &conclusion)
{
    tests.append();
    tests.setValue("IDX", idx);
    tests.setValue("DATE", QDate(2024, 3, 1));
    tests.setValue("TYPE", QStringLiteral("Тест реакции выбора"));
    tests.setValue("PSYFINAL", conclusion);
    tests.post();
}

// The conclusions of the test records that are not deleted, in file order, whatever the
// table's filter.
inline QStringList LiveTests(const Table &tests)
{
    QStringList out;
    const int idx = tests.fieldIndex("IDX");
    const int fin = tests.fieldIndex("PSYFINAL");
    for (int r = 1; r <= const_cast<Table &>(tests).physicalRecordCount(); ++r)
        if (!tests.isDeletedAt(r))
            out << QStringLiteral("%1:%2").arg(tests.valueAt(r, idx).toInt()).arg(tests.valueAt(r, fin).toString());
    return out;
}

// Answers the modal windows that open, one step each, in the order they first show. A
// message box with no step left is closed with its Escape button; any other window with no
// step is left to the test and closed after five seconds (recorded), so nothing hangs.
// Every message box seen is recorded as "icon|caption|text".
class ModalScript : public QObject {
public:
    using Step = std::function<void(QWidget *modal)>;

    ModalScript()
    {
        connect(&m_poll, &QTimer::timeout, this, [this] { poll(); });
        m_poll.start(5);
    }
    ModalScript &then(Step step)
    {
        m_steps.enqueue(std::move(step));
        return *this;
    }
    // Presses a button of the message box that opens next.
    ModalScript &answer(QMessageBox::StandardButton button)
    {
        return then([button](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            QVERIFY2(box, "a message box was expected");
            box->button(button)->click();
        });
    }
    QStringList boxes;
    int pending() const { return int(m_steps.size()); }

private:
    // A window hidden and shown again between two polls (the patient dialog is reused)
    // counts as shown anew.
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (e->type() == QEvent::Hide)
            m_handled.removeAll(qobject_cast<QWidget *>(watched));
        return false;
    }

    void poll()
    {
        m_handled.removeIf([](const QPointer<QWidget> &w) { return !w; });
        QWidget *w = QApplication::activeModalWidget();
        if (w != m_top) {
            m_top = w;
            m_since.start();
        } else if (w && m_since.elapsed() > 5000) {
            boxes << QStringLiteral("left open: %1").arg(w->windowTitle());
            CloseUnexpected(w);
            m_since.start();
        }
        if (!w || !w->isVisible() || m_handled.contains(w))
            return;
        m_handled << w;
        w->installEventFilter(this);
        auto *box = qobject_cast<QMessageBox *>(w);
        if (box)
            boxes << QStringLiteral("%1|%2|%3").arg(int(box->icon())).arg(box->windowTitle(), box->text());
        Step step;
        if (!m_steps.isEmpty())
            step = m_steps.dequeue();
        else if (box)
            step = &CloseUnexpected;
        else
            return;
        // Run outside this timer's slot: a step that opens another modal window starts a
        // nested loop in which the poll must go on.
        QTimer::singleShot(0, this, [target = QPointer<QWidget>(w), step] {
            if (target)
                step(target);
        });
    }

    static void CloseUnexpected(QWidget *w)
    {
        if (auto *box = qobject_cast<QMessageBox *>(w))
            box->escapeButton() ? box->escapeButton()->click() : box->reject();
        else if (auto *dialog = qobject_cast<QDialog *>(w))
            dialog->reject();
    }

    QTimer m_poll;
    QQueue<Step> m_steps;
    QList<QPointer<QWidget>> m_handled;   // shown and handled; dropped once hidden
    QWidget *m_top = nullptr;
    QElapsedTimer m_since;
};

inline QString WarningBox(const QString &text)
{
    return QStringLiteral("%1|Велмора|%2").arg(int(QMessageBox::Warning)).arg(text);
}

} // namespace vel::testing
