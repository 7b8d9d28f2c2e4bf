#pragma once
// The one way a test answers the modal windows that the code under test opens, so that no
// test waits for a hand on the keyboard: a script of steps taken in the order the windows
// show, each step for the next window (or the next window of a given type), and a rule
// for message boxes that no step is for. Every message box seen is recorded, as
// "icon|caption|text" in `boxes` and as its text in `texts`. A window with no step is left
// to the test; one left open too long is closed and recorded, so that nothing hangs.
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <optional>

namespace vel::testing {

// A message box as ModalScript::boxes records it.
QString BoxLine(QMessageBox::Icon icon, const QString &caption, const QString &text);
inline QString WarningBox(const QString &text) { return BoxLine(QMessageBox::Warning, QStringLiteral("Велмора"), text); }

class ModalScript : public QObject {
public:
    using Step = std::function<void(QWidget *modal)>;

    ModalScript();

    // The next modal window, of whatever kind, is handed to `step`.
    ModalScript &then(Step step);
    // The next modal window of type T is handed to `action`; message boxes that show before
    // it are answered by the rule for boxes without a step. A window the action leaves open
    // is closed without OK afterwards, so that a failed check never hangs the test.
    template <class T>
    ModalScript &act(std::function<void(T &)> action)
    {
        return add([](QWidget *w) { return qobject_cast<T *>(w) != nullptr; },
                   [action = std::move(action)](QWidget *w) {
                       QPointer<QWidget> window(w);
                       action(*qobject_cast<T *>(w));
                       if (auto *dialog = qobject_cast<QDialog *>(window.data()); dialog && dialog->isVisible())
                           dialog->reject();
                   });
    }
    // Presses `button` (or the button showing `buttonText`) of the message box that opens
    // next; `meanwhile` runs first, while the box is still open.
    ModalScript &answer(QMessageBox::StandardButton button, std::function<void()> meanwhile = {});
    ModalScript &answer(const QString &buttonText);

    // Message boxes that no step is for are pressed with `button`, or their only button
    // when they lack it. Without this rule they are closed with their Escape button.
    ModalScript &answerOthers(QMessageBox::StandardButton button);
    // How long a modal window may stay on top before it is closed; 0 lets it stay (for a
    // window the test itself opened modally).
    ModalScript &closeLeftOpenAfter(int ms);

    QStringList boxes;   // "icon|caption|text"
    QStringList texts;   // the box's text, and its informative text on a line of its own
    // Steps not taken yet.
    int pending() const { return int(m_steps.size()); }

private:
    struct Entry {
        std::function<bool(QWidget *)> accepts;
        Step step;
    };
    ModalScript &add(std::function<bool(QWidget *)> accepts, Step step);
    bool eventFilter(QObject *watched, QEvent *e) override;
    void poll();
    void answerUnscripted(QMessageBox *box);
    static void CloseUnexpected(QWidget *w);

    QTimer m_poll;
    QQueue<Entry> m_steps;
    QList<QPointer<QWidget>> m_handled;   // shown and handled; dropped once hidden
    QList<QPointer<QWidget>> m_busy;      // a step is working on them
    QWidget *m_top = nullptr;
    QElapsedTimer m_since;
    int m_leftOpenMs = 5000;
    std::optional<QMessageBox::StandardButton> m_othersAnswer;
};

} // namespace vel::testing
