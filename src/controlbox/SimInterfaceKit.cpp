#include "controlbox/SimInterfaceKit.h"

#include "platform/Clock.h"
#include "platform/HdxError.h"

SimInterfaceKit::SimInterfaceKit(QObject* parent) : Interface_Kit_Base(parent) {}

void SimInterfaceKit::Open(int32_t serial) {
    Close();
    wanted_serial_ = serial;
    other_serial_ = 0;
    opened_ = true;
    ++session_;
    if (plugged_) Post_Attach();
}

std::string SimInterfaceKit::Serial_Text() const { return std::to_string(SerialNumber()) + " (simulated Control Box)"; }

void SimInterfaceKit::Close() {
    opened_ = false;
    ++session_;
    Forget_Board();
    if (shown_outputs_ != 0) {
        const uint32_t was = shown_outputs_;
        shown_outputs_ = 0;
        for (int i = 0; i < kOutputs; ++i)
            if (was >> i & 1u) emit Output_Changed(i, false);
    }
}

void SimInterfaceKit::Post_Attach() {
    const int32_t stamp = Platform::PC_Mill();
    const uint64_t session = session_;
    QMetaObject::invokeMethod(
        this,
        [this, session, stamp] {
            if (session != session_ || !opened_ || !plugged_) return;
            // A board that comes up switches its outputs off.
            if (shown_outputs_ != 0) {
                const uint32_t was = shown_outputs_;
                shown_outputs_ = 0;
                for (int i = 0; i < kOutputs; ++i)
                    if (was >> i & 1u) emit Output_Changed(i, false);
            }
            Note(Sim_Kit_Report::Attach, 0, false, stamp);
            Deliver_Attach(board_serial_, switches_, stamp);
        },
        Qt::QueuedConnection);
}

void SimInterfaceKit::Set_Input(int index, bool level) {
    if (index < 0 || index >= kInputs) throw HdxError(HdxErr::SubscriptOutOfRange, "Subscript out of range");
    if (level) {
        switches_ |= 1u << index;
    } else {
        switches_ &= ~(1u << index);
    }
    if (!opened_ || !plugged_) return;
    const int32_t stamp = Platform::PC_Mill();
    const uint64_t session = session_;
    QMetaObject::invokeMethod(
        this,
        [this, session, index, level, stamp] {
            if (session != session_) return;
            Note(Sim_Kit_Report::Input, index, level, stamp);
            Deliver_Input(index, level, stamp);
        },
        Qt::QueuedConnection);
}

bool SimInterfaceKit::Switch_Level(int index) const {
    if (index < 0 || index >= kInputs) throw HdxError(HdxErr::SubscriptOutOfRange, "Subscript out of range");
    return switches_ >> index & 1u;
}

void SimInterfaceKit::Set_Plugged(bool plugged) {
    if (plugged == plugged_) return;
    plugged_ = plugged;
    if (!opened_) return;
    if (plugged) {
        Post_Attach();
        return;
    }
    const int32_t stamp = Platform::PC_Mill();
    const uint64_t session = session_;
    QMetaObject::invokeMethod(
        this,
        [this, session, stamp] {
            if (session != session_) return;
            if (shown_outputs_ != 0) {
                const uint32_t was = shown_outputs_;
                shown_outputs_ = 0;
                for (int i = 0; i < kOutputs; ++i)
                    if (was >> i & 1u) emit Output_Changed(i, false);
            }
            Note(Sim_Kit_Report::Detach, 0, false, stamp);
            Deliver_Detach(stamp);
        },
        Qt::QueuedConnection);
}

void SimInterfaceKit::Write_Output(int index, bool state) {
    // The simulated box takes the command at once.
    Deliver_Output_Written(index, state, Platform::PC_Mill());
    const bool was = shown_outputs_ >> index & 1u;
    if (was == state) return;
    if (state) {
        shown_outputs_ |= 1u << index;
    } else {
        shown_outputs_ &= ~(1u << index);
    }
    emit Output_Changed(index, state);
}
