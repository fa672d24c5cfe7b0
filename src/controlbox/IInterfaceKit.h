#pragma once
#include <cstdint>
#include <string>

#include <QObject>

// The Control Box as the program sees it: a digital input/output board with
// attach, detach and input-change events, its serial number, attachment state,
// input levels and outputs.
//
// Every event is raised on the UI thread. Each carries the PC clock reading
// (Platform::PC_Mill) of the event's own moment: the input's edge by the
// board's clock where the board sends it (mapped onto the PC clock), else where
// the event entered the program (the bytes arriving on the serial port, the
// switch of the simulator, a key event's time), so a busy UI
// thread never shifts a start time: consumers use stamp_mill, not the clock
// at the moment they handle the event.
//
// Reads never fail while the board is away: IsAttached is false, inputs read
// false and output writes are dropped (the board switches its outputs off when
// it is identified again). An index outside the board raises error 9.
class IInterfaceKit : public QObject {
    Q_OBJECT
public:
    explicit IInterfaceKit(QObject* parent = nullptr) : QObject(parent) {}
    ~IInterfaceKit() override = default;

    // The library version text (Verify_Phidgets looks for the supported version in it).
    virtual std::string LibraryVersion() const = 0;
    // Two descriptive identification texts of the device (start-up trace).
    virtual std::string DeviceType() const = 0;
    virtual std::string DeviceName() const = 0;

    // Starts looking for the board; OnAttach follows once it is there.
    // serial 0 takes any board, another value only the board with that serial number.
    virtual void Open(int32_t serial) = 0;
    // Stops looking, forgets the board and raises no further events.
    virtual void Close() = 0;

    virtual bool IsAttached() const = 0;
    // The serial number of the attached board (of the last attached one while
    // it is away); 0 before the first attach.
    virtual int32_t SerialNumber() const = 0;
    virtual int InputCount() const = 0;
    virtual int OutputCount() const = 0;
    virtual bool InputState(int index) const = 0;
    virtual bool OutputState(int index) const = 0;
    // Switches the output at once (written to the board before this returns
    // control to the event loop).
    virtual void Set_OutputState(int index, bool state) = 0;

    // True for a box that only pretends (the simulator): the main window and
    // every recording made with it say so.
    virtual bool Simulated() const { return false; }
    // The serial number of a board that answered but is not the one Open asked
    // for (it is not used); 0 when none did.
    virtual int32_t Other_Board_Serial() const { return 0; }
    // The serial number as the panel, the about box and a new recording show it.
    virtual std::string Serial_Text() const { return std::to_string(SerialNumber()); }

signals:
    void OnAttach(int32_t stamp_mill);
    void OnDetach(int32_t stamp_mill);
    void OnInputChange(int Index, bool NewState, int32_t stamp_mill);
    // An output has been written to the board: stamp_mill is when its command
    // left the program (after the write and flush), which may be a moment after
    // Set_OutputState returned.
    void OnOutputWritten(int Index, bool NewState, int32_t stamp_mill);
    // A board answered that is not the one asked for (Other_Board_Serial).
    void OnOther_Board(int32_t serial);
};
