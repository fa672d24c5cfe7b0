// The main window's choice of Control Box and the marking of simulated sources.
#include "Form_Houndex.h"

#include "Simulation_Banner.h"
#include "capture/SimVideoCap.h"
#include "capture/cls_Capture_HDMI.h"
#include "controlbox/Control_Box_Choice.h"
#include "controlbox/Control_Box_Factory.h"
#include "controlbox/Control_Box_Panel.h"
#include "controlbox/Form_Control_Box_Select.h"
#include "controlbox/Form_Control_Box_Simulator.h"
#include "controlbox/IInterfaceKit.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "common/Startup_Facts.h"

void Form_Houndex::Use_Control_Box(const std::string& option) {
    try {
        // Made first: an unknown option raises here and changes nothing.
        std::unique_ptr<IInterfaceKit> fresh = Create_Interface_Kit(option);
        Trace("*Control Box: " + option);
        if (m_Simulator) {
            m_Simulator->close();
            delete m_Simulator.data();
        }
        if (obj_Phidget) {
            // The old box is let go like a board pulled out: a capture window
            // it holds open is closed and its frames written.
            obj_Phidget->Close();
            m_Panel->obj_Phidget_OnDetach(Platform::PC_Mill());
            m_Panel->Set_Kit(nullptr);
        }
        obj_Phidget = std::move(fresh);
        m_Control_Box_Option = option;
        m_Panel->m_Phidget_Present = true;
        m_Panel->Set_Kit(obj_Phidget.get());
        Follow_Start_LED();
        // The chosen board by its serial number: another one on its port is not taken for it.
        obj_Phidget->Open(Chosen_Board_Serial(option));
        Show_Simulation();
        Check_Attached();
        if (obj_Phidget->Simulated()) Show_Control_Box_Simulator();
    } catch (const std::exception& e) {
        Report_Exception(e, "Use_Control_Box of Form Form_Houndex");
    }
}

void Form_Houndex::item_control_box_Click() {
    if (!m_Box_Select) {
        m_Box_Select = new Form_Control_Box_Select(this);
        m_Box_Select->setWindowFlag(Qt::Window);
        connect(m_Box_Select, &Form_Control_Box_Select::Choice_Made, this,
                [this](const QString& option) { Use_Control_Box(option.toStdString()); });
    }
    const bool attached = obj_Phidget && obj_Phidget->IsAttached();
    m_Box_Select->Show_Current(m_Control_Box_Option, attached ? std::to_string(obj_Phidget->SerialNumber()) : "");
    m_Box_Select->show();
    m_Box_Select->raise();
}

void Form_Houndex::Show_Simulation() {
    if (!Label_simulated) return;
    if (obj_Capture_HDMI)
        m_Camera_Simulated = obj_Capture_HDMI->Running() && SimVideoCap::Is_Simulated(obj_Capture_HDMI->Component());
    Label_simulated->Show_Sources(m_Camera_Simulated, obj_Phidget && obj_Phidget->Simulated());
}

Form_Control_Box_Simulator* Form_Houndex::Simulator_Window() const { return m_Simulator; }

Form_Control_Box_Select* Form_Houndex::Box_Select_Window() const { return m_Box_Select; }

void Form_Houndex::Input_Uncertain(int input, const std::string& why) {
    Trace("*Control Box input " + std::to_string(input) + " uncertain");
    Platform::Beep();
    Show_Refusal(why);
}
