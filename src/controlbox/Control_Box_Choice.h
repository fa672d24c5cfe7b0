#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "controlbox/KeysInterfaceKit.h"

// Which Control Box the program uses: the choice stored in the settings
// ("Settings", "control_box": "sim", "serial:PORT[@BAUD]" or "keys"; with a
// serial board also "control_box_serial", the board's serial number, by which
// it is found again when its port name changed), the keys of the keyboard
// backend, and the serial ports a board may answer on.

// A serial port of the system.
struct Serial_Port_Entry {
    std::string name;         // "ttyACM0"
    std::string location;     // "/dev/ttyACM0": what the option names
    std::string description;  // "Arduino Leonardo"
    int vendor = -1;          // USB vendor and product ids, -1 when not USB
    int product = -1;
    std::string USB_Id() const;  // "2341:8036", or empty
};

// True for a port whose USB identity a Control Box board can have: the boards
// of firmware/ (Arduino and SparkFun vendor ids) and the USB-serial chips of
// Nano clones (CH340 1a86:7523, FT232R 0403:6001), and any "vvvv:pppp" listed
// in "Settings", "control_box_usb_ids" (comma-separated). Only these ports are
// ever asked "?ID": other serial equipment is left alone.
bool Could_Be_Board(const Serial_Port_Entry& port);

// What a port answered to "?ID".
struct Probe_Answer {
    bool answered = false;
    int32_t serial = 0;
    std::string name;
};

// The ports of the system (QSerialPortInfo); tests replace the list, an empty
// function restores it.
using Port_Lister = std::function<std::vector<Serial_Port_Entry>()>;
void Set_Port_Lister(Port_Lister lister);
std::vector<Serial_Port_Entry> List_Serial_Ports();

// Asks a port "?ID" and waits a little for the answer (boards that reset when
// the port opens announce themselves after their boot loader). Tests replace it.
using Port_Prober = std::function<Probe_Answer(const std::string& location, int baud)>;
void Set_Port_Prober(Port_Prober prober);
Probe_Answer Probe_Port(const std::string& location, int baud);
// Every port asked at once; the answers in the order of the ports. Ports that
// cannot be a board (Could_Be_Board) are not asked and do not answer.
std::vector<Probe_Answer> Probe_Ports(const std::vector<Serial_Port_Entry>& ports, int baud);

// The stored choice, or empty when none is stored or it is not a valid option
// (traced).
std::string Stored_Control_Box_Choice();
// Checks and stores the choice with the serial number of the board chosen (0:
// not known, or not a serial board); raises error 5 for an unknown option and
// stores nothing then.
void Store_Control_Box_Choice(const std::string& option, int32_t serial = 0);
// The serial number stored with the choice; 0 when none.
int32_t Stored_Control_Box_Serial();

// The serial number a board must answer with to be used for option: the stored
// serial when option is the stored serial-board choice, else 0 (any board).
int32_t Chosen_Board_Serial(const std::string& option);

// The choice the program starts with: the option given for this run, else the
// stored choice (a serial board on the port where its stored serial number
// answers now, if that moved), else the first board that answers "?ID", else
// the simulator.
std::string Startup_Control_Box_Choice();

// The keys of the keyboard backend ("Settings": "key_start_line",
// "key_goal_capture", "key_split_capture"; F9, F10 and F11 when not stored).
Key_Choice Stored_Key_Choice();
// Raises error 5, storing nothing, unless the three keys are set and differ.
void Store_Key_Choice(const Key_Choice& keys);

// "Simulator", "Serial board on /dev/ttyACM0", "Keyboard / foot pedal".
std::string Control_Box_Choice_Caption(const std::string& option);
