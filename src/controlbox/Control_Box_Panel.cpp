#include "controlbox/Control_Box_Panel.h"

#include <cmath>

#include <QAbstractButton>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>

#include "controlbox/IControl_Box_Actions.h"
#include "controlbox/IInterfaceKit.h"
#include "controlbox/Shape_Control.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/HdxError.h"
#include "platform/PictureBox.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"

namespace {

const QColor kGreen(0, 255, 0);
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);
const QColor kYellow(255, 255, 0);

void Set_Text_Color(QLabel* label, const QColor& c) {
    if (!label) return;
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, c);
    label->setPalette(p);
}

void Set_Caption(QLabel* label, const char* text) {
    if (label) label->setText(QString::fromLatin1(text));
}

void Show(QWidget* w, bool visible) {
    if (w) w->setVisible(visible);
}

void Enable(QWidget* w, bool enabled) {
    if (w) w->setEnabled(enabled);
}

}  // namespace

Control_Box_Panel::Control_Box_Panel(const Control_Box_Controls& controls, QObject* parent)
    : QObject(parent), c_(controls) {
    if (c_.Picture_LED) {
        connect(c_.Picture_LED, &Platform::PictureBox::Mouse_Down, this,
                [this](int, int, double, double) { Picture_LED_MouseDown(); });
        connect(c_.Picture_LED, &Platform::PictureBox::Mouse_Up, this,
                [this](int, int, double, double) { Picture_LED_MouseUp(); });
    }
    if (c_.Command1) connect(c_.Command1, &QAbstractButton::clicked, this, [this] { Command1_Click(); });
    if (c_.Command_choose_box)
        connect(c_.Command_choose_box, &QAbstractButton::clicked, this, &Control_Box_Panel::Choose_Box_Requested);
    // The guard must be seen over while the clock is still near its mark: a first
    // input 2^31 ms later would otherwise look older than the start-up.
    m_Guard_Timer.setInterval(1000);
    connect(&m_Guard_Timer, &QTimer::timeout, this, [this] { Input_Guard_Over(Platform::PC_Mill()); });
    m_Guard_Timer.start();
}

bool Control_Box_Panel::Input_Guard_Over(int32_t stamp_mill) {
    if (m_Guard_Mark != m_Input_Guard_Mill) {
        // A new start-up mark: its second runs afresh.
        m_Guard_Mark = m_Input_Guard_Mill;
        m_Guard_Over = false;
        m_Guard_Timer.start();
    }
    if (!m_Guard_Over && Platform::Mill_Since(m_Input_Guard_Mill, stamp_mill) > 999) {
        m_Guard_Over = true;
        m_Guard_Timer.stop();
    }
    return m_Guard_Over;
}

std::string Control_Box_Panel::Found_Closed_Text(int input) {
    const char* start_tail = " closed when the Control Box attached: no start taken; open it and give the start again";
    const char* capture_tail =
        " closed when the Control Box attached: no capture window opened; let it go and press it again";
    switch (input) {
        case 0: return std::string("Remote start contact") + start_tail;
        case 2: return std::string("Start line") + start_tail;
        case 3: return std::string("Goal capture trigger") + capture_tail;
        case 4: return std::string("Split capture trigger") + capture_tail;
        case 5: return std::string("Second Goal capture trigger") + capture_tail;
        default: return {};
    }
}

void Control_Box_Panel::Set_Kit(IInterfaceKit* kit) {
    if (kit_) kit_->disconnect(this);
    kit_ = kit;
    if (!kit_) return;
    connect(kit_, &IInterfaceKit::OnAttach, this, [this](int32_t stamp) { obj_Phidget_OnAttach(stamp); });
    connect(kit_, &IInterfaceKit::OnDetach, this, [this](int32_t stamp) { obj_Phidget_OnDetach(stamp); });
    connect(kit_, &IInterfaceKit::OnInputChange, this,
            [this](int index, bool state, int32_t stamp) { obj_Phidget_OnInputChange(index, state, stamp); });
    connect(kit_, &IInterfaceKit::OnOther_Board, this, [this](int32_t) { Check_Attached(); });
}

QColor Control_Box_Panel::Button_Face() { return QGuiApplication::palette().color(QPalette::Button); }

QColor Control_Box_Panel::Lamp_Color_At(const QColor& rim, int radius, int lamp_radius) {
    if (lamp_radius <= 0) return rim;
    auto channel = [&](int c) { return static_cast<int>(std::lround(255 + (c - 255) * double(radius) / lamp_radius)); };
    return QColor(channel(rim.red()), channel(rim.green()), channel(rim.blue()));
}

void Control_Box_Panel::Draw_Lamp(double cx, double cy, int lamp_radius, const QColor& rim) {
    Platform::PictureBox* pic = c_.Picture_lamps;
    pic->Set_Draw_Width(2);
    for (int r = 1; r <= lamp_radius; ++r) pic->Circle(cx, cy, r, Lamp_Color_At(rim, r, lamp_radius));
}

void Control_Box_Panel::Set_Capture_Indicator(bool on) {
    if (c_.Shape_capture) c_.Shape_capture->Set_Fill_Color(on ? kRed : kBlack);
}

void Control_Box_Panel::Set_Start_Indicator(bool on) {
    if (c_.Shape_start) c_.Shape_start->Set_Fill_Color(on ? kYellow : kBlack);
}

void Control_Box_Panel::obj_Phidget_OnAttach(int32_t) {
    try {
        Trace("*obj_Phidget_OnAttach");
        if (!kit_) throw HdxError(HdxErr::ObjectRequired, "Object required");
        m_Serial_Text = kit_->Serial_Text();
        m_Phidget_Attached = true;
        Report_Found_Closed();
        Check_Attached();
    } catch (const std::exception& e) {
        Report_Exception(e, "obj_Phidget_OnAttach of Form Form_Houndex");
    }
}

void Control_Box_Panel::obj_Phidget_OnDetach(int32_t stamp_mill) {
    try {
        Trace("*obj_Phidget_OnDetach");
        m_Phidget_Attached = false;
        m_Found_Closed = 0;
        // A board that goes away reports no release: its held inputs count as
        // let go when it went, and the window closes, its frames written, or it
        // would stay open for good. Still held at the re-attach, they are found
        // closed and open nothing again.
        if (m_Capture_Held != 0) {
            m_Capture_Held = 0;
            m_Input_Stamp = stamp_mill;
            Trace("*Capture window closed: Control Box detached");
            if (actions_) actions_->Handle_Capture_End();
            Set_Capture_Indicator(false);
        }
        Check_Attached();
    } catch (const std::exception& e) {
        Report_Exception(e, "obj_Phidget_OnDetach of Form Form_Houndex");
    }
}

void Control_Box_Panel::obj_Phidget_OnInputChange(int Index, bool NewState, int32_t stamp_mill) {
    // An input found closed at the attach: this is the attach's report of its
    // level or its first opening, no edge of a start or a capture. Kept up to
    // date through the guard, so a later closing counts.
    const bool found = Index >= 0 && Index < 32 && (m_Found_Closed >> Index & 1u);
    if (found && !NewState) m_Found_Closed &= ~(1u << Index);
    // The guard uses the moment the change entered the program, like every other time.
    if (!Input_Guard_Over(stamp_mill)) return;
    m_Input_Stamp = stamp_mill;
    int line = 1;
    try {
        Trace("*obj_Phidget_OnInputChange, Index = " + std::to_string(Index) + " NewState = " + Bool_Text(NewState));
        if (!kit_) throw HdxError(HdxErr::ObjectRequired, "Object required");
        line = 2;
        if (found) Trace("*Input " + std::to_string(Index) + " was closed at the attach: nothing started or opened");
        switch (Index) {
            case 0:
                // The lever is read from the board, so both edges of the contact start while armed.
                if (!found && kit_->InputState(1) && actions_) {
                    if (m_Remote_Started && actions_->Heat_Running()) {
                        Trace("*Remote start contact let go: the heat it started runs on");
                        m_Remote_Started = false;
                    } else {
                        actions_->Handle_Start(stamp_mill);
                        m_Remote_Started = actions_->Heat_Running();
                    }
                }
                Update_LED();
                Check_Attached();
                break;
            case 1: break;
            case 2:
                if (NewState && !found && actions_) actions_->Handle_Start(stamp_mill);
                Set_Start_Indicator(NewState);
                break;
            case 3:
            case 4:
            case 5:
                if (!found) Capture_Input(Index, NewState);
                break;
            default: break;
        }
        line = 3;
        Trace("obj_Phidget_OnInputChange, before Check_Attached");
        Check_Attached();
        Trace("obj_Phidget_OnInputChange, after Check_Attached");
    } catch (const std::exception& e) {
        try {
            if (actions_) actions_->Stop_all_cams();
        } catch (...) {
        }
        Report_Exception(e, "obj_Phidget_OnInputChange of Form Form_Houndex", line);
    }
}

void Control_Box_Panel::Capture_Input(int index, bool closed) {
    const uint32_t bit = 1u << index;
    if (closed) {
        m_Capture_Held |= bit;
        if (actions_) actions_->Handle_Capture_Start();
    } else if (m_Capture_Held & bit) {
        m_Capture_Held &= ~bit;
        if (m_Capture_Held != 0) {
            Trace("*Capture window kept open: another capture input is held");
        } else if (actions_) {
            actions_->Handle_Capture_End();
        }
    }
    // The indicator shows whether any trigger is still closed.
    Set_Capture_Indicator(kit_->InputState(3) || kit_->InputState(4) || kit_->InputState(5));
}

void Control_Box_Panel::Report_Found_Closed() {
    m_Found_Closed = 0;
    for (int input : {0, 2, 3, 4, 5}) {
        if (!kit_->InputState(input)) continue;
        m_Found_Closed |= 1u << input;
        const std::string why = Found_Closed_Text(input);
        Trace("*" + why);
        if (actions_) actions_->Input_Uncertain(input, why);
    }
}

void Control_Box_Panel::Check_Attached() {
    int line = 1;
    try {
        Input_Guard_Over(Platform::PC_Mill());
        if (!m_Phidget_Present) {
            Trace("*Check_Attached m_Phidget_Present = False");
            return;
        }
        if (!kit_) throw HdxError(HdxErr::ObjectRequired, "Object required");
        line = 2;
        double text_x = 0, text_y = 0;
        if (c_.Picture_lamps) {
            c_.Picture_lamps->Cls();
            if (c_.Shape_RM_open) {
                const QRect g = c_.Shape_RM_open->geometry();
                text_x = c_.Picture_lamps->From_Pixel_X(g.left());
                text_y = c_.Picture_lamps->From_Pixel_Y(g.top() + g.height() / 3.0);
            }
        }
        const QColor face = Button_Face();

        line = 3;
        if (!kit_->IsAttached()) {
            Enable(c_.Frame_Control_box, false);
            // Another board where the chosen one should be is named, and a box lost
            // during a heat is an alarm (its starts and triggers are gone): both in red.
            const int32_t other = kit_->Other_Board_Serial();
            const bool alarm = actions_ && actions_->Heat_Running();
            const std::string caption = other != 0 ? "Board " + std::to_string(other) + " is not the chosen one"
                                        : alarm    ? std::string("Control Box lost: not attached")
                                                   : std::string("Not attached");
            Set_Caption(c_.Label_attached, caption.c_str());
            Set_Caption(c_.Label_Phidget_attached, caption.c_str());
            Set_Text_Color(c_.Label_attached, other != 0 || alarm ? kRed : kBlack);
            Set_Text_Color(c_.Label_Phidget_attached, other != 0 || alarm ? kRed : kBlack);
            Trace("Check_Attached obj_Phidget.IsAttached = false");
            Show(c_.Label_GS[0], false);
            Show(c_.Label_GS[2], false);
            Show(c_.Shape_start, false);
            Show(c_.Shape_capture, false);
            Show(c_.Label_RM, false);
            Show(c_.Label_remote_start, false);
            Show(c_.Picture_LED, false);
            if (c_.Shape_RM_open) c_.Shape_RM_open->Set_Fill_Color(face);
            Enable(c_.Command_start_heat, false);
            return;
        }

        line = 4;
        Trace("*Check_Attached obj_Phidget.IsAttached = True");
        Enable(c_.Frame_Control_box, true);
        const QString attached = "Attached, serial = " + QString::fromStdString(kit_->Serial_Text());
        if (c_.Label_attached) c_.Label_attached->setText(attached);
        if (c_.Label_Phidget_attached) c_.Label_Phidget_attached->setText(attached);
        Set_Text_Color(c_.Label_attached, kGreen);
        Enable(c_.Command_initiate_file, true);
        Show(c_.Label_RM, true);
        Show(c_.Label_remote_start, true);
        Show(c_.Label_GS[0], true);
        Show(c_.Label_GS[2], true);
        Show(c_.Shape_start, true);
        Show(c_.Shape_capture, true);
        Show(c_.Picture_LED, true);
        Enable(c_.Command_start_heat, true);
        // The indicators show the present levels, also after a re-attach and
        // when one of several capture triggers is let go.
        Set_Start_Indicator(kit_->InputState(2));
        Set_Capture_Indicator(kit_->InputState(3) || kit_->InputState(4) || kit_->InputState(5));

        line = 5;
        const bool remote_closed = kit_->InputState(0);
        if (c_.Picture_lamps && c_.Shape_RM_open) {
            const QRect g = c_.Shape_RM_open->geometry();
            const double cx = c_.Picture_lamps->From_Pixel_X(g.left() + g.width() / 2.0);
            const double cy = c_.Picture_lamps->From_Pixel_Y(g.top() + g.height() / 2.0);
            c_.Picture_lamps->Set_Font(QFont("Arial", 12));
            Draw_Lamp(cx, cy, g.width() / 2, remote_closed ? QColor(197, 132, 0) : face);
            c_.Picture_lamps->Current_X = text_x;
            c_.Picture_lamps->Current_Y = text_y;
            c_.Picture_lamps->Set_Fore_Color(remote_closed ? QColor(0, 0, 255) : QColor(255, 255, 255));
            c_.Picture_lamps->Print(remote_closed ? "Closed" : "Open");
        }
        if (remote_closed) {
            Set_Caption(c_.Label_RM, "RM closed");
            Set_Text_Color(c_.Label_RM, QColor(255, 128, 0));
        } else {
            Set_Caption(c_.Label_RM, "RM open");
            Set_Text_Color(c_.Label_RM, kBlack);
        }

        line = 6;
        Show_Start_Arming();
        Draw_Start_Switch(kit_->InputState(1));

        line = 7;
        for (int input : {3, 4}) {
            const int item = input == 3 ? 2 : 3;
            Shape_Control* shape = c_.Shape_camera[item];
            const bool on = kit_->InputState(input);
            if (shape) shape->Set_Fill_Color(on ? kRed : kGreen);
            if (on && input == 3) Show(c_.Label_GS[2], true);
            if (shape && c_.Picture_lamps) {
                const QRect g = shape->geometry();
                Draw_Lamp(c_.Picture_lamps->From_Pixel_X(g.left() + g.width() / 2.0),
                          c_.Picture_lamps->From_Pixel_Y(g.top() + g.height() / 2.0), g.width() / 2,
                          on ? kRed : kGreen);
            }
            if (!kit_->IsAttached()) {
                if (shape) shape->Set_Fill_Color(face);
                if (c_.Shape_circle1[item]) c_.Shape_circle1[item]->Set_Fill_Color(face);
            }
        }
        if (c_.Picture_lamps) c_.Picture_lamps->Refresh();

        line = 8;
        draw_LED();
        Trace("Check_Attached, End");
    } catch (const std::exception& e) {
        Platform::MsgBox("Check_attached error" + std::to_string(line) + " " + Exception_Description(e) + " " +
                         std::to_string(Exception_Number(e)));
        Report_Exception(e, "Check_Attached of Form Form_Houndex", line);
    }
}

void Control_Box_Panel::Show_Start_Arming() {
    if (!m_Phidget_Present || !kit_ || !kit_->IsAttached()) return;
    const bool armed = kit_->InputState(1);
    Show(c_.Label_remote_start, armed || !(actions_ && actions_->Heat_Running()));
    if (armed) {
        Set_Caption(c_.Label_remote_start, "Start armed!");
        Set_Text_Color(c_.Label_remote_start, QColor(0, 192, 0));
    } else {
        Set_Caption(c_.Label_remote_start, "Start not armed!");
        Set_Text_Color(c_.Label_remote_start, kRed);
    }
}

void Control_Box_Panel::Draw_Start_Switch(bool armed) {
    Platform::PictureBox* pic = c_.Picture_armed_switch;
    if (!pic) return;
    const int p = static_cast<int>(std::lround(pic->Scale_Height() / 1.6));
    pic->Set_Font(QFont("Arial", 12));
    if (c_.Shape_lever) {
        const int h = c_.Shape_lever->height();
        c_.Shape_lever->move(c_.Shape_lever->x(), static_cast<int>(std::lround(pic->To_Pixel_Y(armed ? p - h : p))));
    }
    if (armed) {
        pic->Set_Back_Color(kGreen);
        pic->Cls();
        pic->Current_X = 2;
        pic->Current_Y = 2;
        pic->Set_Fore_Color(kBlack);
        pic->Print("Armed");
    } else {
        pic->Set_Back_Color(QColor(255, 192, 192));
        pic->Cls();
        pic->Set_Font(QFont("Arial", 8));
        pic->Current_X = 2;
        pic->Current_Y = 2;
        pic->Set_Fore_Color(kBlack);
        pic->Print("Not Armed");
    }
    pic->Refresh();
}

void Control_Box_Panel::draw_LED() {
    if (!kit_) throw HdxError(HdxErr::ObjectRequired, "Object required");
    Platform::PictureBox* pic = c_.Picture_LED;
    const bool lit = m_LED_Test || kit_->InputState(0);
    if (pic) {
        pic->Cls();
        pic->Set_Draw_Width(2);
        const double cx = pic->Scale_Width() / 2, cy = pic->Scale_Height() / 2;
        const double r = pic->Scale_Width() / 3;
        pic->Circle(cx, cy, r, lit ? kYellow : QColor(100, 100, 100), true);
        pic->Circle(cx, cy, r, pic->Fore_Color(), false);
        pic->Refresh();
    }
    kit_->Set_OutputState(0, lit);
}

void Control_Box_Panel::Update_LED() {
    try {
        if (!kit_) throw HdxError(HdxErr::ObjectRequired, "Object required");
        kit_->Set_OutputState(0, kit_->InputState(0));
    } catch (const std::exception& e) {
        Report_Exception(e, "Update_LED of Form Form_Houndex");
    }
}

void Control_Box_Panel::Picture_LED_MouseDown() {
    m_LED_Test = true;
    Check_Attached();
}

void Control_Box_Panel::Picture_LED_MouseUp() {
    m_LED_Test = false;
    Check_Attached();
}

void Control_Box_Panel::item_Blink_LED_Click() {
    try {
        if (!kit_) throw HdxError(HdxErr::ObjectRequired, "Object required");
        kit_->Set_OutputState(0, true);
        Do_Sleep(2000, false);
        kit_->Set_OutputState(0, false);
    } catch (const std::exception& e) {
        Report_Exception(e, "item_Blink_LED_Click of Form Form_Houndex");
    }
}

void Control_Box_Panel::Command1_Click() { Show(c_.Frame_Control_status, false); }

void Control_Box_Panel::Show_No_Phidget_Drivers() {
    Enable(c_.Frame_Control_box, false);
    // The box is a serial board: what the official can check is its cable and port.
    Set_Caption(c_.Label_attached, "No Control Box: check its cable and port");
    Set_Caption(c_.Label_Phidget_attached, "No Control Box: check its cable and port");
    Enable(c_.Label_attached, false);
    Enable(c_.Label_Phidget_attached, false);
    for (Shape_Control* s : c_.Shape_circle1) Show(s, false);
}
