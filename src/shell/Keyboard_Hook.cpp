#include "Keyboard_Hook.h"

#include <QCoreApplication>
#include <QKeyEvent>

Keyboard_Hook::Keyboard_Hook(Handler handler, QObject* parent) : QObject(parent), handler_(std::move(handler)) {}

void Keyboard_Hook::InstallHook() {
    if (installed_ || !QCoreApplication::instance()) return;
    QCoreApplication::instance()->installEventFilter(this);
    installed_ = true;
}

void Keyboard_Hook::RemoveHook() {
    if (!installed_) return;
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
    installed_ = false;
}

bool Keyboard_Hook::eventFilter(QObject* watched, QEvent* event) {
    // A key event reaches the filter once per widget it propagates to; only the
    // first delivery (to the focused widget) counts.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && handler_) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key == last_event_ && key->timestamp() == last_stamp_) return false;
        last_event_ = key;
        last_stamp_ = key->timestamp();
        if (handler_(key)) return true;
    }
    return QObject::eventFilter(watched, event);
}
