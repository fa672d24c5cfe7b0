#include "Form_Houndex.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "Keyboard_Hook.h"
#include "Module_Houndex.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "platform/HdxError.h"
#include "platform/PictureBox.h"
#include "platform/System_Info.h"
#include "settings/Module_Ini.h"
#include "shell/helpers/Module_dependant.h"
#include "shell/helpers/Program_State.h"

namespace {
const char* const kLoadLocation = "Form_Load of Form Form_Houndex";

// Integer conversion of a settings text: plain decimal with an optional sign.
int32_t Setting_Int(const std::string& text) {
    size_t pos = 0;
    long long v = 0;
    try {
        v = std::stoll(text, &pos, 10);
    } catch (const std::out_of_range&) {
        throw HdxError(HdxErr::Overflow, "Overflow");
    } catch (...) {
        throw HdxError(HdxErr::TypeMismatch, "Type mismatch");
    }
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (pos != text.size()) throw HdxError(HdxErr::TypeMismatch, "Type mismatch");
    if (v < INT32_MIN || v > INT32_MAX) throw HdxError(HdxErr::Overflow, "Overflow");
    return static_cast<int32_t>(v);
}
}  // namespace

Form_Houndex::Form_Houndex(std::string command_line, QWidget* parent)
    : QMainWindow(parent), m_Command_Line(std::move(command_line)) {
    setObjectName("Form_Houndex");
    setWindowTitle("Houndex HDMI");
    Build_Controls();
    Build_Menus();
}

Form_Houndex::~Form_Houndex() {
    if (m_Hook) m_Hook->RemoveHook();
}

void Form_Houndex::Build_Controls() {
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    Picture_out = new Platform::PictureBox(central);
    Picture_out->setObjectName("Picture_out");
    Picture_out->Set_Back_Color(Qt::black);
    Picture_out->Set_Canvas_Size(400, 880);
    Picture_out->Cls();
    row->addWidget(Picture_out, 0, Qt::AlignTop);

    Frame_controls = new QWidget(central);
    Frame_controls->setObjectName("Frame_controls");
    auto* col = new QVBoxLayout(Frame_controls);
    auto* frame_heat = new QGroupBox("Heat", Frame_controls);
    frame_heat->setObjectName("Frame_heat");
    auto* heat_layout = new QVBoxLayout(frame_heat);
    UpDown_heat = new QSpinBox(frame_heat);
    UpDown_heat->setObjectName("UpDown_heat");
    UpDown_heat->setRange(1, 100);
    UpDown_heat->setToolTip("Change Heat");
    Label_event = new QLabel("Event name", frame_heat);
    Label_event->setObjectName("Label_event");
    Label_event->setToolTip("Displays Event Name");
    heat_layout->addWidget(UpDown_heat);
    heat_layout->addWidget(Label_event);
    col->addWidget(frame_heat);

    auto* frame_file = new QGroupBox("Houndex File", Frame_controls);
    frame_file->setObjectName("Frame_File");
    auto* file_layout = new QVBoxLayout(frame_file);
    Label_read_framesize = new QLabel(frame_file);
    Label_read_framesize->setObjectName("Label_read_framesize");
    file_layout->addWidget(Label_read_framesize);
    col->addWidget(frame_file);

    auto* frame_cb = new QGroupBox("Control Box", Frame_controls);
    frame_cb->setObjectName("Frame_Control_box");
    auto* cb_layout = new QVBoxLayout(frame_cb);
    Picture_LED = new QLabel(frame_cb);
    Picture_LED->setObjectName("Picture_LED");
    Picture_LED->setFixedSize(16, 16);
    Picture_LED->setFrameShape(QFrame::Box);
    cb_layout->addWidget(Picture_LED);
    col->addWidget(frame_cb);

    auto* frame_slider = new QGroupBox("Slider control", Frame_controls);
    frame_slider->setObjectName("Frame_slider");
    auto* slider_layout = new QVBoxLayout(frame_slider);
    Slider_play = new QSlider(Qt::Horizontal, frame_slider);
    Slider_play->setObjectName("Slider_play");
    slider_layout->addWidget(Slider_play);
    frame_slider->hide();
    col->addWidget(frame_slider);
    col->addStretch(1);
    row->addWidget(Frame_controls, 0, Qt::AlignTop);

    Frame_settimes = new QGroupBox("Set times", central);
    Frame_settimes->setObjectName("Frame_settimes");
    Frame_settimes->setFixedHeight(60);
    Frame_settimes->hide();
    setCentralWidget(central);
}

void Form_Houndex::Build_Menus() {
    QMenu* form = menuBar()->addMenu("Form");
    form->setObjectName("menu_form");
    item_Exit = form->addAction("Exit");
    item_Exit->setObjectName("item_Exit");
    item_Exit->setShortcut(QKeySequence("Ctrl+X"));
    connect(item_Exit, &QAction::triggered, this, [this] { Houndex_End(); });

    auto hidden = [this](const char* caption, const char* name) {
        QMenu* m = menuBar()->addMenu(caption);
        m->setObjectName(name);
        return m;
    };
    menu_settings = hidden("Settings", "menu_settings");
    menu_debug = hidden("Debug", "menu_debug");
    Menu_assign_times = hidden("Assign times", "Menu_assign_times");
    menu_specials = hidden("Specials", "menu_specials");
    Menu_notime = hidden("Notime", "Menu_notime");
}

bool Form_Houndex::Form_Load() {
    Trace("*Form_Houndex Form_Load, begin");
    Program_Start_Mill = Platform::PC_Mill();
    move(0, y());
    if (!Verify_Phidgets()) {
        Platform::MsgBox("Phidget software error!");
        Terminate();
        return false;
    }
    // The video source selection window is loaded with the capture windows.
    try {
        Init_Environment();
        Trace("*Computer name = " + Computer_Name + " Windows = " + OS_Version + " CPU = " + CPU_Bitness +
              " OS = " + OS_Bitness);
        Trace(" Houndex starting, version = " + Program_Version + " Computer = " + Computer_Name);

        Trace("*Before InstallHook");
        m_Hook = std::make_unique<Keyboard_Hook>([this](QKeyEvent* k) { return IWindowsHook_HookProc(k); });
        m_Hook->InstallHook();
        Trace("*After InstallHook");

        m_Startup_File = Path_from_Command(m_Command_Line);
        Slider_play->setToolTip(QString());
        menu_settings->menuAction()->setVisible(false);
        // The event registration window is loaded with the event feature.

        if (!m_Instance.Acquire(Platform::Join_Path(AppData_Folder, Program_Name + ".lock"))) {
            hide();
            Platform::MsgBox("A previous instance of Houndex is running!");
            Terminate();
            return false;
        }
        Input_Guard_Mill = Platform::PC_Mill();

        Check_For_Phidget();
        load_Capture_Folder();
        Trace("Form_Load, after load_Capture_Folder");
        Event_Files_Folder = Platform::Join_Path(Platform::Join_Path(AppData_Folder, "Houndex Event Files"), "");
        UpDown_heat->setValue(Setting_Int(Read_Ini("Settings", "Heat_ID", Ini_file_path, "1")));
        move(0, 0);
        Load_Compensations();
        menu_debug->menuAction()->setVisible(false);
        Menu_assign_times->menuAction()->setVisible(false);
        menu_specials->menuAction()->setVisible(false);
        Menu_notime->menuAction()->setVisible(false);
        Label_read_framesize->clear();
        Check_Attached();
        Trace("*Command_dollar = " + m_Startup_File);
        if (FileExists(m_Startup_File)) Handle_Open(m_Startup_File);
        Read_Last_Crop();
        Read_Goal_Lines();
        Picture_LED->setFrameShape(QFrame::NoFrame);
        const int non_client = frameGeometry().height() - geometry().height();
        m_Max_Picture_Height = Platform::Screen_Height() - non_client - Frame_settimes->height();
        Trace("Form_Houndex Form_Load, end");
    } catch (const std::exception& e) {
        Report_Exception(e, kLoadLocation);
    }
    return true;
}

void Form_Houndex::Load_Compensations() {
    try {
        m_Split_Compensation = Setting_Int(Read_Ini("Settings", "split_compensation", Ini_file_path, "200"));
        m_Goal_Compensation = Setting_Int(Read_Ini("Settings", "goal_compensation", Ini_file_path, "200"));
        m_Box_Delay = Setting_Int(Read_Ini("Settings", "box_delay", Ini_file_path, "0"));
    } catch (const std::exception& e) {
        Report_Exception(e, "Load_Compensations of Form Form_Houndex");
    }
}

void Form_Houndex::Form_Activate() {
    if (Slider_play->isVisible()) Slider_play->setFocus();
    // Box numbers are painted with the results display; the panel with the Control Box.
    Check_Attached();
}

void Form_Houndex::Form_QueryUnload() {
    if (m_Hook) m_Hook->RemoveHook();
    Houndex_End();
}

void Form_Houndex::Houndex_End() {
    if (Ending) return;  // closing the windows below comes back here
    Trace("*Houndex_end, begin");
    try {
        Ending = true;
        Stop_Camera();
        Flush_DV_events();
        Stop_Houndex();
        Unload_Forms();
        Trace("*Houndex_end, end");
        Terminate();
    } catch (const std::exception& e) {
        Report_Exception(e, "Houndex_end of Form Form_Houndex");
    }
}

void Form_Houndex::Terminate() {
    m_Terminated = true;
    if (QCoreApplication::instance()) QCoreApplication::exit(0);
}

bool Form_Houndex::IWindowsHook_HookProc(QKeyEvent*) {
    // The key commands come with the main window's menus and review keys.
    return false;
}

void Form_Houndex::closeEvent(QCloseEvent* e) {
    if (!Ending) Form_QueryUnload();
    e->accept();
}

bool Form_Houndex::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) Form_Activate();
    return QMainWindow::event(e);
}

// --- Start-up steps of features that come later ---------------------------------

bool Form_Houndex::Verify_Phidgets() { return true; }  // the Control Box library is built in
void Form_Houndex::Check_For_Phidget() {}
void Form_Houndex::Check_Attached() {}
void Form_Houndex::load_Capture_Folder() {}
void Form_Houndex::Read_Last_Crop() {}
void Form_Houndex::Read_Goal_Lines() {}
void Form_Houndex::Stop_Camera() {}
void Form_Houndex::Handle_Open(const std::string&) {}
