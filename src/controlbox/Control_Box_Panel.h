#pragma once
#include <cstdint>
#include <string>

#include <QColor>
#include <QObject>
#include <QTimer>

#include "controlbox/Control_Box_Controls.h"

class IControl_Box_Actions;
class IInterfaceKit;

// The Control Box side of the main window: the handlers of obj_Phidget's
// events, the panel and lamp drawing and the start LED.
//
// Main-window controls it drives (Control_Box_Controls, names as on the window):
//   Frame_Control_box, Picture_LED, Label_GS(0), Label_GS(2), Shape_start,
//   Label_attached, Label_remote_start, Shape_capture, Label_RM,
//   Frame_Control_status, Command1, Picture_lamps, Shape_RM_open,
//   Shape_camera(2), Shape_camera(3), Picture_armed_switch, Shape_lever,
//   Shape_switchcenter, Label_Phidget_attached, Shape_circle1(2..3),
//   Command_start_heat, Command_initiate_file.
//
// The main window owns the kit (obj_Phidget) and the panel, implements
// IControl_Box_Actions, and calls Check_Attached at start-up, on activation and
// at camera start, item_Blink_LED_Click from the menu "Blink LED", and
// Show_No_Phidget_Drivers when the library is missing. Set_Kit connects the
// kit's events; the panel connects Picture_LED's mouse and Command1 itself.
class Control_Box_Panel : public QObject {
    Q_OBJECT
public:
    explicit Control_Box_Panel(const Control_Box_Controls& controls, QObject* parent = nullptr);

    // obj_Phidget; its events are connected to the handlers below. nullptr: none.
    void Set_Kit(IInterfaceKit* kit);
    IInterfaceKit* Kit() const { return kit_; }
    void Set_Actions(IControl_Box_Actions* actions) { actions_ = actions; }
    const Control_Box_Controls& Controls() const { return c_; }

    // The Control Box library object could be created (start-up check, or a
    // board chosen since); without it the panel stays off.
    bool m_Phidget_Present = false;
    bool m_Phidget_Attached = false;
    // When the input change (or the detach) being handled entered the program:
    // a capture window opens and closes at that moment.
    int32_t Input_Stamp() const { return m_Input_Stamp; }
    bool m_LED_Test = false;
    // The Control Box serial as decimal text from the last attach; empty before
    // the first. A new recording's header copies it.
    const std::string& Phidget_Serial_Text() const { return m_Serial_Text; }

    void obj_Phidget_OnAttach(int32_t stamp_mill);
    void obj_Phidget_OnDetach(int32_t stamp_mill);
    void obj_Phidget_OnInputChange(int Index, bool NewState, int32_t stamp_mill);

    void Check_Attached();
    // The lever's label: "Start not armed!" warns only while a start is still to
    // come; a running heat (started by button or box) needs none.
    void Show_Start_Arming();
    void Draw_Start_Switch(bool armed);
    void draw_LED();
    void Update_LED();
    void Picture_LED_MouseDown();
    void Picture_LED_MouseUp();
    void item_Blink_LED_Click();
    void Command1_Click();
    // Start-up without a Control Box library: the panel says so and stays off.
    void Show_No_Phidget_Drivers();

    // The PC clock when start-up passed the single-instance check (0 until
    // given): input changes in the second after it are ignored.
    void Set_Input_Guard(int32_t mill) { m_Input_Guard_Mill = mill; }
    // True once the guard mark is more than 999 ms behind stamp_mill; from
    // then on (for that guard mark) it stays true, also after the clock wraps.
    bool Input_Guard_Over(int32_t stamp_mill);

    // Colours of the panel.
    static QColor Button_Face();
    static QColor Lamp_Color_At(const QColor& rim, int radius, int lamp_radius);

signals:
    // "Control Box..." was clicked: the main window shows the choice of board.
    void Choose_Box_Requested();

private:
    void Draw_Lamp(double cx, double cy, int lamp_radius, const QColor& rim);
    void Set_Capture_Indicator(bool on);
    void Set_Start_Indicator(bool on);
    void Capture_Input(int index, bool closed);
    void Report_Found_Closed();
    // The sentence for the official about an input found closed at attach; empty
    // for inputs that neither start nor capture.
    static std::string Found_Closed_Text(int input);

    Control_Box_Controls c_;
    // Capture inputs (bit = input index) held closed since an edge this panel
    // saw; the window ends when the last of them is let go.
    uint32_t m_Capture_Held = 0;
    // Inputs found closed when the board attached (bit = input index), until
    // they open: their closing was never seen, so they start or open nothing.
    uint32_t m_Found_Closed = 0;
    // The remote contact's last edge started the heat: its other edge (the
    // contact let go) belongs to the same press.
    bool m_Remote_Started = false;
    // The start-up guard, latched once over for the guard mark it was seen with.
    bool m_Guard_Over = false;
    int32_t m_Input_Guard_Mill = 0;
    int64_t m_Guard_Mark = INT64_MIN;  // no mark seen yet
    QTimer m_Guard_Timer;
    int32_t m_Input_Stamp = 0;
    std::string m_Serial_Text;
    IInterfaceKit* kit_ = nullptr;
    IControl_Box_Actions* actions_ = nullptr;
};
