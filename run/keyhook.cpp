#include "run/keyhook.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include "common/clock.h"

namespace vel {

namespace {

// X11 key symbols, also the native virtual keys of Qt's Wayland keyboard.
constexpr quint32 XK_Control_L = 0xffe3;
constexpr quint32 XK_Control_R = 0xffe4;
// X11 key code of the right Ctrl on the usual (evdev) keyboard map, when no symbol came.
constexpr quint32 EvdevRightCtrl = 105;
// Windows: bit 24 of the key data, the extended-key flag, is bit 8 of Qt's scan code.
[[maybe_unused]] constexpr quint32 WindowsExtendedKey = 0x100;

} // namespace

std::optional<Hand> CtrlHand(const QKeyEvent &event)
{
    if (event.key() != Qt::Key_Control)
        return std::nullopt;
#ifdef Q_OS_WIN
    return (event.nativeScanCode() & WindowsExtendedKey) ? Hand::Right : Hand::Left;
#else
    switch (event.nativeVirtualKey()) {
    case XK_Control_L: return Hand::Left;
    case XK_Control_R: return Hand::Right;
    default: break;
    }
    if (event.nativeScanCode() == EvdevRightCtrl)
        return Hand::Right;
    // Nothing tells the right key: the left one, as a key without the extended flag.
    return Hand::Left;
#endif
}

uint32_t PressTick(quint64 timestamp, uint32_t now)
{
    const uint32_t stamp = uint32_t(timestamp);   // 32-bit milliseconds, like TickCount
    const int32_t age = int32_t(now - stamp);
    if (timestamp != 0 && age >= 0 && uint32_t(age) <= MaxKeyAgeMs)
        return stamp;
    return now;
}

KeyHook::KeyHook(AnswerSink sink, QObject *parent) : QObject(parent), m_sink(std::move(sink)) {}

KeyHook::~KeyHook() { Remove(); }

void KeyHook::Install()
{
    if (m_installed || !QCoreApplication::instance())
        return;
    QCoreApplication::instance()->installEventFilter(this);
    m_installed = true;
}

void KeyHook::Remove()
{
    if (!m_installed)
        return;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    m_installed = false;
}

bool KeyHook::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Space)
        return false;
    if (type == QEvent::ShortcutOverride) {
        // Taken as the focus widget's own key: no shortcut acts, and the key press that
        // follows comes here.
        event->accept();
        return true;
    }
    if (const std::optional<Hand> hand = CtrlHand(*key); hand && m_sink)
        m_sink(*hand, PressTick(key->timestamp(), TickCount()));
    return true;
}

} // namespace vel
