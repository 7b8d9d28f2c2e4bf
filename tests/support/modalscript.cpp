#include "tests/support/modalscript.h"

#include <QAbstractButton>
#include <QApplication>
#include <QtTest>

namespace vel::testing {

QString BoxLine(QMessageBox::Icon icon, const QString &caption, const QString &text)
{
    return QStringLiteral("%1|%2|%3").arg(int(icon)).arg(caption, text);
}

ModalScript::ModalScript()
{
    connect(&m_poll, &QTimer::timeout, this, [this] { poll(); });
    m_poll.start(5);
}

ModalScript &ModalScript::add(std::function<bool(QWidget *)> accepts, Step step)
{
    m_steps.enqueue({std::move(accepts), std::move(step)});
    return *this;
}

ModalScript &ModalScript::then(Step step)
{
    return add([](QWidget *) { return true; }, std::move(step));
}

ModalScript &ModalScript::answer(QMessageBox::StandardButton button, std::function<void()> meanwhile)
{
    return then([button, meanwhile = std::move(meanwhile)](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        QVERIFY2(box, "a message box was expected");
        QAbstractButton *pressed = box->button(button);
        QVERIFY2(pressed, "the message box lacks the button");
        if (meanwhile)
            meanwhile();
        pressed->click();
    });
}

ModalScript &ModalScript::answer(const QString &buttonText)
{
    return then([buttonText](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        QVERIFY2(box, "a message box was expected");
        for (QAbstractButton *button : box->buttons()) {
            if (button->text().remove(QLatin1Char('&')) == buttonText) {
                button->click();
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("the message box has no button \"%1\"").arg(buttonText)));
    });
}

ModalScript &ModalScript::answerOthers(QMessageBox::StandardButton button)
{
    m_othersAnswer = button;
    return *this;
}

ModalScript &ModalScript::closeLeftOpenAfter(int ms)
{
    m_leftOpenMs = ms;
    return *this;
}

// A window hidden and shown again between two polls (the patient dialog is reused) counts
// as shown anew.
bool ModalScript::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::Hide)
        m_handled.removeAll(qobject_cast<QWidget *>(watched));
    return false;
}

void ModalScript::poll()
{
    m_handled.removeIf([](const QPointer<QWidget> &w) { return !w; });
    m_busy.removeIf([](const QPointer<QWidget> &w) { return !w; });
    QWidget *w = QApplication::activeModalWidget();
    if (w != m_top) {
        m_top = w;
        m_since.start();
    } else if (w && m_leftOpenMs > 0 && m_since.elapsed() > m_leftOpenMs && !m_busy.contains(w)) {
        boxes << QStringLiteral("left open: %1").arg(w->windowTitle());
        CloseUnexpected(w);
        m_since.start();
    }
    if (!w || !w->isVisible() || m_handled.contains(w))
        return;
    auto *box = qobject_cast<QMessageBox *>(w);
    Step step;
    if (!m_steps.isEmpty() && m_steps.head().accepts(w))
        step = m_steps.dequeue().step;
    else if (box)
        step = [this](QWidget *target) { answerUnscripted(qobject_cast<QMessageBox *>(target)); };
    else
        return;   // left to the test, or to a later step of another type
    m_handled << w;
    w->installEventFilter(this);
    if (box) {
        boxes << BoxLine(box->icon(), box->windowTitle(), box->text());
        texts << (box->informativeText().isEmpty() ? box->text() : box->text() + QLatin1Char('\n') + box->informativeText());
    }
    // Run outside this timer's slot: a step that opens another modal window starts a
    // nested loop in which the poll must go on.
    QTimer::singleShot(0, this, [this, target = QPointer<QWidget>(w), step] {
        if (!target)
            return;
        m_busy << target;
        step(target);
        m_busy.removeAll(target);
    });
}

void ModalScript::answerUnscripted(QMessageBox *box)
{
    if (!m_othersAnswer) {
        CloseUnexpected(box);
        return;
    }
    QAbstractButton *button = box->button(*m_othersAnswer);
    if (!button && box->buttons().size() == 1)
        button = box->buttons().first();
    if (button)
        button->click();
    else
        CloseUnexpected(box);
}

void ModalScript::CloseUnexpected(QWidget *w)
{
    if (auto *box = qobject_cast<QMessageBox *>(w))
        box->escapeButton() ? box->escapeButton()->click() : box->reject();
    else if (auto *dialog = qobject_cast<QDialog *>(w))
        dialog->reject();
}

} // namespace vel::testing
