#pragma once
#include "controlbox/Control_Box_Factory.h"
#include "controlbox/IInterfaceKit.h"

// The start-up checks of the Control Box library and the opening of the main
// window's Control Box object.
namespace Module_Control_Box {

// Creates a kit, reads its library version text and releases it. True when the
// text holds the supported version; otherwise shows the version message (a wrong
// version) or traces the fault (no library) and returns false.
bool Verify_Phidgets(const Kit_Factory& make = Default_Kit_Factory());

// Creates a kit and reads its version text: true when that worked (the main
// window's m_Phidget_Present).
bool Check_For_Phidget(const Kit_Factory& make = Default_Kit_Factory());

// Start-up step of the main window once its obj_Phidget exists: open it for any
// board, let the attach arrive (about one second, yielding) and trace what was found.
void Open_Control_Box(IInterfaceKit& kit);

}  // namespace Module_Control_Box
