#pragma once
#include <array>
#include <cstdint>
#include <string>

#include <Qt>
#include <QtGlobal>

#include "controlbox/Interface_Kit_Base.h"

// The keys that stand for the board's inputs when USB foot pedals or hand
// buttons (which present themselves as keyboards) are the Control Box.
struct Key_Choice {
    int start_line = Qt::Key_F9;      // direct start line (input 2)
    int goal_capture = Qt::Key_F10;   // Goal capture, held (input 3)
    int split_capture = Qt::Key_F11;  // Split capture, held (input 4)

    // The key for input 2, 3 or 4; 0 for the others.
    int Key_For(int input) const;
    // The input a key stands for, or -1.
    int Input_For(int key) const;
    bool operator==(const Key_Choice&) const = default;
};

// The Control Box made of keys: a chosen key's press and release are inputs
// 2, 3 and 4 closing and opening, stamped with the key event's own time (the
// window system's, moved onto the PC clock), else where it enters the program.
// They act while any window of the program has the focus (an application event
// filter, no system-wide grab) and never also reach the focused control,
// except a key-sequence field, where the operator picks them.
// There is no output: the start LED is not lit anywhere.
class KeysInterfaceKit : public Interface_Kit_Base {
    Q_OBJECT
public:
    explicit KeysInterfaceKit(Key_Choice keys = Key_Choice(), QObject* parent = nullptr);
    ~KeysInterfaceKit() override;

    std::string DeviceType() const override { return "Keyboard / foot pedal"; }
    std::string DeviceName() const override;
    std::string Serial_Text() const override { return "keyboard / foot pedal"; }
    void Open(int32_t serial) override;
    void Close() override;

    const Key_Choice& Keys() const { return keys_; }

    // A key event later than the promptest one seen by more than this is taken
    // as a jump of the window system's clock, not as a slow UI thread.
    static constexpr int32_t kMax_Key_Delay_ms = 5000;
    // A key's readable name ("F9").
    static std::string Key_Name(int key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void Write_Output(int, bool) override {}

private:
    // The PC clock reading for a key event of window-system time event_ms (0:
    // none) that reaches the program at arrival_mill: the event's own time as
    // it is where it is on the PC clock's base (a moment before the arrival),
    // else moved onto the PC clock by the smallest delay seen so far; never
    // later than its arrival.
    int32_t Key_Stamp(quint64 event_ms, int32_t arrival_mill);
    void Post_Level(int input, bool level, int32_t stamp);
    void Release_All();

    Key_Choice keys_;
    bool opened_ = false;
    uint32_t held_ = 0;  // inputs whose key is down
    uint64_t session_ = 0;
    // PC clock minus window-system time for the promptest key so far.
    bool have_offset_ = false;
    int32_t offset_ = 0;
};
