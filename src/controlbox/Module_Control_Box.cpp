#include "controlbox/Module_Control_Box.h"

#include "controlbox/Control_Box_Version.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/HdxError.h"
#include "common/Module_dependant.h"

namespace Module_Control_Box {

bool Verify_Phidgets(const Kit_Factory& make) {
    Trace("Verify_Phidgets, begin");
    int line = 1;
    std::unique_ptr<IInterfaceKit> kit;
    try {
        kit = make();
        if (!kit) throw HdxError(HdxErr::ObjectRequired, "Object required");
        line = 2;
        const std::string v = kit->LibraryVersion();
        line = 3;
        if (v.find(Control_Box_Version::kLibrary_Name) != std::string::npos &&
            v.find(Control_Box_Version::kLibrary_Core) != std::string::npos) {
            kit.reset();
            Trace("Verify_Phidgets, Verify_Phidgets = True");
            return true;
        }
        Platform::MsgBox(
            "Wrong Control Box software version found!\nThis Houndex version needs version 2.1.8!\nFound version:\n" +
            v);
        return false;
    } catch (const std::exception& e) {
        Trace("Phidgets error at line " + std::to_string(line) +
              " Error number = " + std::to_string(Exception_Number(e)) + " " + Exception_Description(e));
        kit.reset();
        Trace("Verify_Phidgets, Verify_Phidgets = False");
        return false;
    }
}

bool Check_For_Phidget(const Kit_Factory& make) {
    bool present = false;
    try {
        std::unique_ptr<IInterfaceKit> kit = make();
        if (!kit) throw HdxError(HdxErr::ObjectRequired, "Object required");
        const std::string version = kit->LibraryVersion();
        present = true;
        Trace("*Check_for_Phidget OK = " + Bool_Text(true) + " ,version = " + version);
    } catch (const std::exception& e) {
        Trace("*Check_For_Phidget_Error" + std::to_string(Exception_Number(e)));
    }
    return present;
}

void Open_Control_Box(IInterfaceKit& kit) {
    kit.Open(0);
    Platform::Yield_Events();
    Do_Sleep(1000, true);
    Trace("*Phidget present " + kit.DeviceType() + "/" + kit.DeviceName() + "/" + kit.LibraryVersion());
    Platform::Yield_Events();
}

}  // namespace Module_Control_Box
