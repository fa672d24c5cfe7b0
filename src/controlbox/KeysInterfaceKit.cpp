#include "controlbox/KeysInterfaceKit.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>

#include "platform/Clock.h"

int Key_Choice::Key_For(int input) const {
    switch (input) {
        case 2: return start_line;
        case 3: return goal_capture;
        case 4: return split_capture;
        default: return 0;
    }
}

int Key_Choice::Input_For(int key) const {
    if (key == 0) return -1;
    for (int input : {2, 3, 4})
        if (Key_For(input) == key) return input;
    return -1;
}

KeysInterfaceKit::KeysInterfaceKit(Key_Choice keys, QObject* parent) : Interface_Kit_Base(parent), keys_(keys) {}

KeysInterfaceKit::~KeysInterfaceKit() { Close(); }

std::string KeysInterfaceKit::Key_Name(int key) {
    return QKeySequence(key).toString(QKeySequence::PortableText).toStdString();
}

std::string KeysInterfaceKit::DeviceName() const {
    return "start " + Key_Name(keys_.start_line) + ", Goal " + Key_Name(keys_.goal_capture) + ", Split " +
           Key_Name(keys_.split_capture);
}

void KeysInterfaceKit::Open(int32_t serial) {
    Close();
    wanted_serial_ = serial;
    other_serial_ = 0;
    opened_ = true;
    const uint64_t session = ++session_;
    if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
    const int32_t stamp = Platform::PC_Mill();
    QMetaObject::invokeMethod(
        this,
        [this, session, stamp] {
            if (session == session_ && opened_) Deliver_Attach(0, 0, stamp);
        },
        Qt::QueuedConnection);
}

void KeysInterfaceKit::Close() {
    if (opened_ && QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
    opened_ = false;
    held_ = 0;
    ++session_;
    Forget_Board();
}

int32_t KeysInterfaceKit::Key_Stamp(quint64 event_ms, int32_t arrival_mill) {
    if (event_ms == 0) return arrival_mill;
    // Window-system times are 32-bit wrapping milliseconds like the PC clock.
    const auto event_mill = static_cast<int32_t>(static_cast<uint32_t>(event_ms));
    const int32_t offset = Platform::Mill_Since(event_mill, arrival_mill);
    // X11 servers, Wayland compositors and libinput stamp keys with
    // CLOCK_MONOTONIC milliseconds, the PC clock's own base: a time that reads
    // as a moment shortly before the arrival is taken as it is, from the first key.
    if (offset >= 0 && offset <= kMax_Key_Delay_ms) return event_mill;
    // How much later than the promptest key so far this one reached the program.
    const int32_t delay = Platform::Mill_Since(offset_, offset);
    if (!have_offset_ || delay <= 0 || delay > kMax_Key_Delay_ms) {
        // The first key, a prompter one, or the window system's clock jumped:
        // this key's own arrival is the best there is.
        have_offset_ = true;
        offset_ = offset;
        return arrival_mill;
    }
    return Platform::Mill_After(event_mill, offset_);
}

void KeysInterfaceKit::Post_Level(int input, bool level, int32_t stamp) {
    const uint64_t session = session_;
    // Queued like a board's report: the workflow may yield inside the handler,
    // which must not happen inside the key event's delivery.
    QMetaObject::invokeMethod(
        this,
        [this, session, input, level, stamp] {
            if (session == session_) Deliver_Input(input, level, stamp);
        },
        Qt::QueuedConnection);
}

void KeysInterfaceKit::Release_All() {
    if (held_ == 0) return;
    const int32_t stamp = Platform::PC_Mill();
    for (int input = 0; input < kInputs; ++input)
        if (held_ >> input & 1u) Post_Level(input, false, stamp);
    held_ = 0;
}

namespace {
// The operator is choosing keys: they go to the field, not to the box.
bool Picking_Keys() {
    for (QObject* o = QGuiApplication::focusObject(); o; o = o->parent())
        if (o->inherits("QKeySequenceEdit")) return true;
    return false;
}
}  // namespace

bool KeysInterfaceKit::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::ApplicationStateChange) {
        // A key let go while another program had the keyboard is never seen up:
        // without this, a held capture window would stay open for good.
        if (static_cast<QApplicationStateChangeEvent*>(event)->applicationState() != Qt::ApplicationActive)
            Release_All();
        return QObject::eventFilter(watched, event);
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const int input = keys_.Input_For(key->key());
    if (input < 0 || Picking_Keys()) return QObject::eventFilter(watched, event);
    if (type == QEvent::ShortcutOverride) {
        // Claimed, so no menu shortcut takes the key; the press then comes here.
        key->accept();
        return true;
    }
    const int32_t stamp = Key_Stamp(key->timestamp(), Platform::PC_Mill());
    if (!key->isAutoRepeat()) {
        const bool down = type == QEvent::KeyPress;
        const bool was = held_ >> input & 1u;
        if (down != was) {
            held_ = down ? held_ | 1u << input : held_ & ~(1u << input);
            Post_Level(input, down, stamp);
        }
    }
    return true;
}
