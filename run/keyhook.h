#pragma once
// The key hook of a run: an application-wide event filter, installed from the start of a
// run to its stop, that takes the Ctrl key presses as answers and swallows every other
// key press except Space, so that no control of the program acts on a key during a run.
// Key releases and all other events pass untouched.
#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>

#include "run/reactionrun.h"

class QKeyEvent;

namespace vel {

// The hand of a Ctrl key press, told by the native key: the key symbols Control_L and
// Control_R under X11 and Wayland, the extended-key flag of the scan code on Windows.
// No value for any other key.
std::optional<Hand> CtrlHand(const QKeyEvent &event);

// The moment of a key press on the tick count. X11 and Wayland stamp key events with
// milliseconds of the monotonic clock that TickCount reads, so the stamp tells when the
// key went down even when the event is handled later. A stamp that cannot be on that
// clock (0, after `now`, or more than MaxKeyAgeMs before it) gives `now`, the moment of
// handling.
uint32_t PressTick(quint64 timestamp, uint32_t now);
inline constexpr uint32_t MaxKeyAgeMs = 10000;

class KeyHook : public QObject {
    Q_OBJECT
public:
    using AnswerSink = std::function<void(Hand hand, uint32_t pressTick)>;
    explicit KeyHook(AnswerSink sink, QObject *parent = nullptr);
    ~KeyHook() override;

    void Install();
    void Remove();
    bool Installed() const { return m_installed; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    AnswerSink m_sink;
    bool m_installed = false;
};

} // namespace vel
