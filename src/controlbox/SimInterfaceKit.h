#pragma once
#include <cstdint>
#include <functional>

#include "controlbox/Interface_Kit_Base.h"

// A report of the virtual board as it reaches the program.
struct Sim_Kit_Report {
    enum Kind { Attach, Detach, Input } kind = Input;
    int index = 0;       // Input: the input
    bool level = false;  // Input: its new level
    int32_t stamp_mill = 0;
};

// A virtual Control Box: plugged in from the start, driven by the simulator
// window and by tests. Its switches are the "physical" input levels; a change
// is stamped with the PC clock when the switch moves and reaches the program
// through the event loop, as a real board's report would.
class SimInterfaceKit : public Interface_Kit_Base {
    Q_OBJECT
public:
    static constexpr int32_t kDefault_Serial = 100001;

    explicit SimInterfaceKit(QObject* parent = nullptr);

    std::string DeviceType() const override { return "Control Box simulator"; }
    std::string DeviceName() const override { return "Virtual Control Box 8/8/8"; }
    void Open(int32_t serial) override;
    void Close() override;
    bool Simulated() const override { return true; }
    std::string Serial_Text() const override;

    // Moves a switch. While the board is plugged in and open, the change is
    // reported (queued) with the stamp of this moment.
    void Set_Input(int index, bool level);
    bool Switch_Level(int index) const;
    // Plugs the virtual board in or pulls it out (attach / detach follow, queued).
    void Set_Plugged(bool plugged);
    bool Plugged() const { return plugged_; }
    bool Opened() const { return opened_; }
    // The serial number the board reports at its next attach.
    void Set_Serial(int32_t serial) { board_serial_ = serial; }
    int32_t Board_Serial() const { return board_serial_; }

    // Called with each report just before the program receives it.
    std::function<void(const Sim_Kit_Report&)> On_Report;

signals:
    // An output written by the program actually changed (the simulator's LED).
    void Output_Changed(int index, bool state);

protected:
    void Write_Output(int index, bool state) override;

private:
    void Post_Attach();
    void Note(Sim_Kit_Report::Kind kind, int index, bool level, int32_t stamp) {
        if (On_Report) On_Report(Sim_Kit_Report{kind, index, level, stamp});
    }

    bool opened_ = false;
    bool plugged_ = true;
    int32_t board_serial_ = kDefault_Serial;
    uint32_t switches_ = 0;
    uint32_t shown_outputs_ = 0;
    uint64_t session_ = 0;  // queued reports of an earlier session are dropped
};
