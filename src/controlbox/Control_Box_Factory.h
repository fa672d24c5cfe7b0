#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controlbox/IInterfaceKit.h"

// Chooses the Control Box backend from an option text:
//   "sim" (or empty)              the virtual Control Box
//   "serial:<port>[@<baud>]"      a board on a serial port, e.g. "serial:/dev/ttyACM0"
//                                 or "serial:/dev/ttyUSB0@9600" (default 115200 baud)
//   "keys"                        keys of a keyboard or USB foot pedal (the keys stored
//                                 in the settings, Control_Box_Choice.h)
// Anything else raises error 5 with a message naming the accepted forms.

struct Control_Box_Option {
    enum class Backend { Sim, Serial, Keys };
    Backend backend = Backend::Sim;
    std::string port;
    int baud = 115200;
};

Control_Box_Option Parse_Control_Box_Option(const std::string& text);
std::unique_ptr<IInterfaceKit> Create_Interface_Kit(const std::string& option_text);
// Tests put kits of their own behind every option; an empty function restores
// the real backends.
using Option_Kit_Factory = std::function<std::unique_ptr<IInterfaceKit>(const std::string& option_text)>;
void Set_Interface_Kit_Factory(Option_Kit_Factory factory);

// The option given for this run (the command line), checked when set; empty
// when none was given, and the settings decide (Control_Box_Choice.h).
void Set_Control_Box_Option(const std::string& text);
const std::string& Control_Box_Option_Text();

// Creates a kit for the option given for this run (the simulator when none
// was); what the start-up checks use. Tests pass factories of their own.
using Kit_Factory = std::function<std::unique_ptr<IInterfaceKit>()>;
Kit_Factory Default_Kit_Factory();

// Takes "--controlbox <option>" or "--controlbox=<option>" out of the command
// line arguments (the first is the program). Returns the option text, or empty
// when it is not given; raises error 5 when the option has no value.
std::string Take_Control_Box_Option(std::vector<std::string>& args);
