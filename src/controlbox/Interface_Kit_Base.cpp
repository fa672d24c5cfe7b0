#include "controlbox/Interface_Kit_Base.h"

#include "controlbox/Control_Box_Version.h"
#include "platform/Error_Entry.h"
#include "platform/HdxError.h"

std::string Interface_Kit_Base::LibraryVersion() const { return Control_Box_Version::Library_Version_Text(); }

void Interface_Kit_Base::Check_Index(int index, int count) {
    if (index < 0 || index >= count) throw HdxError(HdxErr::SubscriptOutOfRange, "Subscript out of range");
}

bool Interface_Kit_Base::InputState(int index) const {
    Check_Index(index, kInputs);
    return attached_ && (levels_ >> index & 1u);
}

bool Interface_Kit_Base::OutputState(int index) const {
    Check_Index(index, kOutputs);
    return attached_ && (outputs_ >> index & 1u);
}

void Interface_Kit_Base::Set_OutputState(int index, bool state) {
    Check_Index(index, kOutputs);
    if (!attached_) return;
    if (state) {
        outputs_ |= 1u << index;
    } else {
        outputs_ &= ~(1u << index);
    }
    Write_Output(index, state);
}

void Interface_Kit_Base::Deliver_Attach(int32_t serial, uint32_t levels, int32_t stamp_mill) {
    if (wanted_serial_ != 0 && serial != wanted_serial_) {
        // Another board on the chosen board's port: never taken for it.
        if (attached_) Deliver_Detach(stamp_mill);
        if (other_serial_ != serial)
            Trace("*Control Box " + std::to_string(serial) + " answered; the chosen board is " +
                  std::to_string(wanted_serial_) + ": not used");
        other_serial_ = serial;
        emit OnOther_Board(serial);
        return;
    }
    other_serial_ = 0;
    if (attached_) Deliver_Detach(stamp_mill);
    attached_ = true;
    serial_ = serial;
    levels_ = levels & ((1u << kInputs) - 1u);
    outputs_ = 0;
    const uint64_t generation = ++generation_;
    emit OnAttach(stamp_mill);
    for (int i = 0; i < kInputs; ++i) {
        // A handler above may have yielded and seen later events already.
        if (generation != generation_ || !attached_) return;
        if (levels_ >> i & 1u) emit OnInputChange(i, true, stamp_mill);
    }
}

void Interface_Kit_Base::Deliver_Detach(int32_t stamp_mill) {
    if (!attached_) return;
    attached_ = false;
    levels_ = 0;
    outputs_ = 0;
    ++generation_;
    emit OnDetach(stamp_mill);
}

void Interface_Kit_Base::Deliver_Input(int index, bool level, int32_t stamp_mill) {
    if (!attached_ || index < 0 || index >= kInputs) return;
    const bool known = levels_ >> index & 1u;
    if (known == level) return;
    if (level) {
        levels_ |= 1u << index;
    } else {
        levels_ &= ~(1u << index);
    }
    emit OnInputChange(index, level, stamp_mill);
}

void Interface_Kit_Base::Deliver_Levels(uint32_t levels, int32_t stamp_mill) {
    const uint64_t generation = generation_;
    for (int i = 0; i < kInputs; ++i) {
        if (generation != generation_) return;
        Deliver_Input(i, levels >> i & 1u, stamp_mill);
    }
}

void Interface_Kit_Base::Deliver_Output_Written(int index, bool state, int32_t stamp_mill) {
    if (attached_) emit OnOutputWritten(index, state, stamp_mill);
}

void Interface_Kit_Base::Forget_Board() {
    attached_ = false;
    levels_ = 0;
    outputs_ = 0;
    ++generation_;
}
