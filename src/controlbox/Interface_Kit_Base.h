#pragma once
#include <array>
#include <cstdint>

#include "controlbox/IInterfaceKit.h"

// The state every backend shares: what the UI thread knows about the board.
// Backends feed it through the Deliver_ calls, always on the UI thread and in
// the order the events entered the program, so that the levels read from the
// kit inside an event handler are the levels of that moment.
class Interface_Kit_Base : public IInterfaceKit {
    Q_OBJECT
public:
    static constexpr int kInputs = 8;
    static constexpr int kOutputs = 8;

    explicit Interface_Kit_Base(QObject* parent = nullptr) : IInterfaceKit(parent) {}

    std::string LibraryVersion() const override;
    bool IsAttached() const override { return attached_; }
    int32_t SerialNumber() const override { return serial_; }
    int32_t Other_Board_Serial() const override { return other_serial_; }
    int InputCount() const override { return kInputs; }
    int OutputCount() const override { return kOutputs; }
    bool InputState(int index) const override;
    bool OutputState(int index) const override;
    void Set_OutputState(int index, bool state) override;

    // The serial number asked for by Open (0: any board).
    int32_t Wanted_Serial() const { return wanted_serial_; }

protected:
    // Writes an output to the board; called only while attached.
    virtual void Write_Output(int index, bool state) = 0;

    // The board is there with these levels (bit i = input i). Raises OnAttach,
    // then an input change for every input that is closed. A board whose serial
    // number is not the one asked for is not used: OnOther_Board tells.
    void Deliver_Attach(int32_t serial, uint32_t levels, int32_t stamp_mill);
    void Deliver_Detach(int32_t stamp_mill);
    // One input's new level; repeats of the known level raise nothing.
    void Deliver_Input(int index, bool level, int32_t stamp_mill);
    // A full set of levels: an input change for each input that differs.
    void Deliver_Levels(uint32_t levels, int32_t stamp_mill);
    // The board took an output command at stamp_mill (raises OnOutputWritten while attached).
    void Deliver_Output_Written(int index, bool state, int32_t stamp_mill);
    // Forgets the board without raising events (Close).
    void Forget_Board();

    int32_t wanted_serial_ = 0;
    int32_t other_serial_ = 0;

private:
    static void Check_Index(int index, int count);

    bool attached_ = false;
    int32_t serial_ = 0;
    uint32_t levels_ = 0;
    uint32_t outputs_ = 0;
    // Changes with every attach and detach: an event handler that yields may
    // see the board go and come back, and stale input reports are then dropped.
    uint64_t generation_ = 0;
};
