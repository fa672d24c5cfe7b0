#include "Keyboard_Hook.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

int Virtual_Key_Code(const QKeyEvent* key) {
    if (!key) return 0;
    const int k = key->key();
    if (key->modifiers() & Qt::KeypadModifier) {
        switch (k) {
            case Qt::Key_0:
            case Qt::Key_Insert: return 96;
            case Qt::Key_1:
            case Qt::Key_End: return 97;
            case Qt::Key_2:
            case Qt::Key_Down: return 98;
            case Qt::Key_3:
            case Qt::Key_PageDown: return 99;
            case Qt::Key_4:
            case Qt::Key_Left: return 100;
            case Qt::Key_5:
            case Qt::Key_Clear: return 101;
            case Qt::Key_6:
            case Qt::Key_Right: return 102;
            case Qt::Key_7:
            case Qt::Key_Home: return 103;
            case Qt::Key_8:
            case Qt::Key_Up: return 104;
            case Qt::Key_9:
            case Qt::Key_PageUp: return 105;
            default: break;
        }
    }
    switch (k) {
        case Qt::Key_Left: return 37;
        case Qt::Key_Up: return 38;
        case Qt::Key_Right: return 39;
        case Qt::Key_Down: return 40;
        case Qt::Key_PageUp: return 33;
        case Qt::Key_PageDown: return 34;
        case Qt::Key_End: return 35;
        case Qt::Key_Home: return 36;
        case Qt::Key_Escape: return 27;
        case Qt::Key_Return:
        case Qt::Key_Enter: return 13;
        case Qt::Key_Space: return 32;
        case Qt::Key_Shift: return 16;
        case Qt::Key_Control: return 17;
        case Qt::Key_Alt: return 18;
        default: break;
    }
    if ((k >= Qt::Key_0 && k <= Qt::Key_9) || (k >= Qt::Key_A && k <= Qt::Key_Z)) return k;
    return 0;
}

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
    // A key event reaches the filter once per widget it propagates to (the
    // focused widget, then its parents); only the first delivery counts.
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) && watched->isWidgetType() &&
        handler_) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = static_cast<QWidget*>(watched);
        if (key == last_event_ && last_widget_ && widget != last_widget_ && widget->isAncestorOf(last_widget_))
            return false;
        last_event_ = key;
        last_widget_ = widget;
        if (handler_(key)) return true;
    }
    return QObject::eventFilter(watched, event);
}
