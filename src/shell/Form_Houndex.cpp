#include "Form_Houndex.h"
#include "common/Text.h"

#include <functional>

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QFormLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include "File_Association.h"
#include "Form_Quick_Start.h"
#include "diagnostics/Diagnostics_Commands.h"
#include "diagnostics/Report_Printer.h"
#include "Keyboard_Hook.h"
#include "capture/Form_Camera_Delay.h"
#include "capture/Form_HDMI_performance.h"
#include "capture/Form_select_Video.h"
#include "capture/Form_timer.h"
#include "capture/cls_Capture_HDMI.h"
#include "controlbox/Control_Box_Choice.h"
#include "controlbox/Control_Box_Factory.h"
#include "controlbox/Control_Box_Panel.h"
#include "controlbox/Form_Control_Box_Simulator.h"
#include "controlbox/Module_Control_Box.h"
#include "controlbox/SimInterfaceKit.h"
#include "event/Form_event_registration.h"
#include "event/Module_Event_File.h"
#include "review/Results_Feed.h"
#include "web/Web_Server.h"
#include "review/Paint_Box.h"
#include "recording/cls_VideoFile_handler.h"
#include "settings/Form_Houndex_settings.h"
#include "Module_Houndex.h"
#include "Simulation_Banner.h"
#include "Start_Sound.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "platform/HdxError.h"
#include "platform/PictureBox.h"
#include "platform/System_Info.h"
#include "settings/Module_Ini.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"

namespace {
const char* const kLoadLocation = "Form_Load of Form Form_Houndex";

// Integer conversion of a settings text: plain decimal with an optional sign.
int32_t Setting_Int(const std::string& text) {
    int64_t v = 0;
    const Whole_Number read = Parse_Whole_Number(Trim_Blanks(text), v);
    if (read == Whole_Number::Not_A_Number) throw HdxError(HdxErr::TypeMismatch, "Type mismatch");
    if (read == Whole_Number::Out_Of_Range || v < INT32_MIN || v > INT32_MAX)
        throw HdxError(HdxErr::Overflow, "Overflow");
    return static_cast<int32_t>(v);
}
}  // namespace

Form_Houndex::Form_Houndex(std::string command_line, QWidget* parent)
    : QMainWindow(parent), m_Command_Line(std::move(command_line)), m_Heat(Heat_Host()) {
    setObjectName("Form_Houndex");
    setWindowTitle(QString::fromStdString(Main_Title));
    obj_NX3_Handler = std::make_unique<cls_VideoFile_handler>();
    Build_Controls();
    Build_Menus();
    // The status line follows the heat, also while a window is written (painted at once then).
    connect(&m_Heat, &Heat_Controller::Changed, this, [this] {
        Update_Status();
        if (m_Heat.Appending() && Label_status) Label_status->repaint();
    });
}

Form_Houndex::~Form_Houndex() {
    if (m_Hook) m_Hook->RemoveHook();
    Set_Report_Printer(nullptr);
    // The settings window is a child of this window: let go of it before it is deleted.
    Form_Houndex_settings::Unload();
    if (m_Panel) m_Panel->Set_Kit(nullptr);
    if (obj_Phidget) obj_Phidget->Close();
    if (obj_Capture_HDMI) obj_Capture_HDMI->disconnect(this);
    delete m_Simulator.data();
    // Gone while the Control Box still exists: a calibration under way leaves the LED dark.
    delete m_Calibration.data();
}

namespace {
QPushButton* Button(const char* caption, const char* name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}
QLabel* Label(const QString& caption, const char* name, QWidget* parent) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(name);
    return l;
}
QGroupBox* Group(const char* caption, const char* name, QWidget* parent) {
    auto* g = new QGroupBox(caption, parent);
    g->setObjectName(name);
    return g;
}
}  // namespace

void Form_Houndex::Build_Controls() {
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    Label_simulated = new Simulation_Banner(central);
    outer->addWidget(Label_simulated);
    // The picture with the heat's column beside it and the "Set times" buttons
    // under both, so that a picture shrunk to the screen leaves no gap beside it;
    // the set-up column to their right.
    auto* row = new QGridLayout();
    outer->addLayout(row);
    auto* left = new QVBoxLayout();
    Picture_out = new Platform::PictureBox(central);
    Picture_out->setObjectName("Picture_out");
    Picture_out->Set_Back_Color(Qt::black);
    Picture_out->setFixedSize(m_Crop_X + 4, m_Crop_Y + 4);
    Picture_out->Set_Canvas_Size(m_Crop_X + 4, m_Crop_Y + 4);
    Picture_out->Cls();
    left->addWidget(Picture_out, 0, Qt::AlignTop | Qt::AlignLeft);

    Frame_settimes = Group("Set times", "Frame_settimes", central);
    Frame_settimes->hide();
    row->addWidget(Frame_settimes, 1, 0, 1, 2, Qt::AlignTop | Qt::AlignLeft);
    row->setRowStretch(2, 1);
    row->addLayout(left, 0, 0);

    // Two columns beside the picture, each scrolling when the screen is too
    // short for it: what a heat and its review use, and what is set up before.
    Frame_controls = new QWidget(central);
    Frame_controls->setObjectName("Frame_controls");
    auto* col = new QVBoxLayout(Frame_controls);
    Frame_setup = new QWidget(central);
    Frame_setup->setObjectName("Frame_setup");
    auto* setup = new QVBoxLayout(Frame_setup);

    cmd_live_view = Button("Live view off", "cmd_live_view", Frame_controls);
    Command_start_camera = Button("Start camera", "Command_start_camera", Frame_controls);
    Command_start_heat = Button("Start heat", "Command_start_heat", Frame_controls);
    Command_finish = Button("Heat finish", "Command_finish", Frame_controls);
    Command_nocam = Button("No camera found!", "Command_nocam", Frame_controls);
    Command_nocam->hide();
    for (QWidget* w : {static_cast<QWidget*>(cmd_live_view), static_cast<QWidget*>(Command_start_camera),
                       static_cast<QWidget*>(Command_start_heat), static_cast<QWidget*>(Command_finish),
                       static_cast<QWidget*>(Command_nocam)})
        col->addWidget(w);
    connect(cmd_live_view, &QPushButton::clicked, this, [this] { cmd_live_view_Click(); });
    connect(Command_start_camera, &QPushButton::clicked, this, [this] { Command_start_camera_Click(); });
    connect(Command_start_heat, &QPushButton::clicked, this, [this] { Command_start_heat_Click(); });
    connect(Command_finish, &QPushButton::clicked, this, [this] { Command_finish_Click(); });

    auto* frame_camera = Group("HDMI camera", "Frame_camera", Frame_controls);
    auto* cam_layout = new QVBoxLayout(frame_camera);
    Picture_arm = new Platform::PictureBox(frame_camera);
    Picture_arm->setObjectName("Picture_arm");
    Picture_arm->setFixedSize(100, 100);
    Picture_arm->Set_Canvas_Size(100, 100);
    Picture_arm->Cls();
    auto* arm_layout = new QVBoxLayout(Picture_arm);
    Label_Coll_count = Label("0", "Label_Coll_count", Picture_arm);
    Label_Coll_count->hide();
    Label_running_fps = Label("0 f/s", "Label_running_fps", Picture_arm);
    arm_layout->addWidget(Label_Coll_count, 0, Qt::AlignTop);
    arm_layout->addWidget(Label_running_fps, 0, Qt::AlignBottom);
    cam_layout->addWidget(Picture_arm, 0, Qt::AlignHCenter);
    Cmd_capture = Button("Capture", "Cmd_capture", frame_camera);
    // The window follows the pointer's real press and release: the button's own
    // pressed/released signals also fire when a held pointer slides off and back.
    Cmd_capture->installEventFilter(this);
    cam_layout->addWidget(Cmd_capture);
    auto* frame_select = Group("Active camera", "Frame_select_camera", frame_camera);
    auto* select_layout = new QHBoxLayout(frame_select);
    for (int i = 1; i <= 2; ++i) {
        auto* o = new QRadioButton(i == 1 ? "Goal" : "Split", frame_select);
        o->setObjectName(QString("Option_selected_camera_%1").arg(i));
        Option_selected_camera[static_cast<size_t>(i)] = o;
        select_layout->addWidget(o);
        connect(o, &QRadioButton::clicked, this, [this, i] { Option_selected_camera_Click(i); });
    }
    cam_layout->addWidget(frame_select);
    col->addWidget(frame_camera);

    auto* frame_heat_time = Group("Heat time", "Frame_heat_time", Frame_controls);
    auto* time_layout = new QVBoxLayout(frame_heat_time);
    Label_heat_time = Label("00:00,00", "Label_heat_time", frame_heat_time);
    Label_heat_time->setFont(QFont("Arial", 16));
    time_layout->addWidget(Label_heat_time);
    col->addWidget(frame_heat_time);

    auto* frame_video = Group("Video frame", "Frame_video_frame", Frame_controls);
    auto* video_layout = new QVBoxLayout(frame_video);
    Label_field = Label(QString(), "Label_field", frame_video);
    Label_field->setFont(QFont("Arial", 12));
    video_layout->addWidget(Label_field);
    col->addWidget(frame_video);

    Frame_slider = Group("Slider control", "Frame_slider", Frame_controls);
    auto* slider_layout = new QVBoxLayout(Frame_slider);
    Slider_play = new QSlider(Qt::Horizontal, Frame_slider);
    Slider_play->setObjectName("Slider_play");
    slider_layout->addWidget(Slider_play);
    col->addWidget(Frame_slider);
    col->addStretch(1);

    // The heat's values, each with what it is.
    auto* frame_heat = Group("Heat", "Frame_heat", Frame_setup);
    auto* heat_layout = new QFormLayout(frame_heat);
    UpDown_heat = new QSpinBox(frame_heat);
    UpDown_heat->setObjectName("UpDown_heat");
    UpDown_heat->setRange(1, 100);
    UpDown_heat->setToolTip("Change Heat");
    Label_heat_num = Label("1", "Label_heat_num", frame_heat);
    connect(UpDown_heat, &QSpinBox::valueChanged, this, [this] { UpDown_heat_Change(); });
    Label_heat_name = Label("Heat name", "Label_heat_name", frame_heat);
    Label_heat_name->setToolTip("Displays Heat Name");
    Label_event = Label("Event name", "Label_event", frame_heat);
    Label_event->setToolTip("Displays Event Name");
    Label_heat_length = Label("Length", "Label_heat_length", frame_heat);
    Label_day = Label("Event day", "Label_day", frame_heat);
    Label_day->setToolTip("Displays Race Day");
    // Long names wrap instead of widening the column past the screen.
    for (QLabel* l : {Label_heat_name, Label_event, Label_day}) l->setWordWrap(true);
    heat_layout->addRow("Heat to race:", UpDown_heat);
    heat_layout->addRow("Heat number:", Label_heat_num);
    heat_layout->addRow("Heat name:", Label_heat_name);
    heat_layout->addRow("Event:", Label_event);
    heat_layout->addRow("Length:", Label_heat_length);
    heat_layout->addRow("Day:", Label_day);
    setup->addWidget(frame_heat);

    auto* frame_file = Group("Houndex File", "Frame_File", Frame_setup);
    auto* file_layout = new QVBoxLayout(frame_file);
    Text_filename = new QLineEdit(frame_file);
    Text_filename->setObjectName("Text_filename");
    Text_filename->setReadOnly(true);
    Command_initiate_file = Button("Initiate file", "Command_initiate_file", frame_file);
    connect(Command_initiate_file, &QPushButton::clicked, this, [this] { Command_initiate_file_Click(); });
    Label_read_framesize = Label(QString(), "Label_read_framesize", frame_file);
    Label_filesize = Label(QString(), "Label_filesize", frame_file);
    Label_filesize->setFont(QFont("Arial"));
    Label_filesize->setToolTip("Display file size");
    for (QWidget* w : {static_cast<QWidget*>(Text_filename), static_cast<QWidget*>(Command_initiate_file),
                       static_cast<QWidget*>(Label_read_framesize), static_cast<QWidget*>(Label_filesize)})
        file_layout->addWidget(w);
    setup->addWidget(frame_file);

    auto* frame_capture = Group("Capture folder", "Frame_capture", Frame_setup);
    auto* capture_layout = new QVBoxLayout(frame_capture);
    Label_capture_folder = Label(QString(), "Label_capture_folder", frame_capture);
    Label_capture_folder->installEventFilter(this);
    // A long folder must not widen the column: the tooltip holds all of it.
    Label_capture_folder->setMinimumWidth(1);
    Label_capture_folder->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    capture_layout->addWidget(Label_capture_folder);
    setup->addWidget(frame_capture);

    // The "Control status" and "Heat data" panels stand in this column: over
    // the picture they hid it and each other.
    m_Box_Controls = Build_Control_Box_Controls(Frame_setup, Frame_setup);
    m_Box_Controls.Command_start_heat = Command_start_heat;
    m_Box_Controls.Command_initiate_file = Command_initiate_file;
    Picture_LED = m_Box_Controls.Picture_LED;
    if (m_Box_Controls.Frame_Control_box) setup->addWidget(m_Box_Controls.Frame_Control_box);
    if (m_Box_Controls.Frame_Control_status) setup->addWidget(m_Box_Controls.Frame_Control_status);
    m_Panel = new Control_Box_Panel(m_Box_Controls, this);
    m_Panel->Set_Actions(this);
    connect(m_Panel, &Control_Box_Panel::Choose_Box_Requested, this, [this] { item_control_box_Click(); });

    Build_Event_Controls();
    setup->addWidget(Frame_dogs_Heat);
    setup->addStretch(1);

    auto scrolling = [central](QWidget* content, const char* name) {
        auto* area = new QScrollArea(central);
        area->setObjectName(name);
        area->setFrameShape(QFrame::NoFrame);
        area->setWidgetResizable(true);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area->setWidget(content);
        return area;
    };
    Scroll_controls = scrolling(Frame_controls, "Scroll_controls");
    Scroll_setup = scrolling(Frame_setup, "Scroll_setup");
    Frame_controls->installEventFilter(this);
    Frame_setup->installEventFilter(this);
    row->addWidget(Scroll_controls, 0, 1);
    row->addWidget(Scroll_setup, 0, 2, 3, 1);
    setCentralWidget(central);
    Fit_Column_Widths();

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(50);
    connect(Timer1, &QTimer::timeout, this, [this] { Update_heat_time(); });
    Timer_2 = new QTimer(this);
    Timer_2->setObjectName("Timer_2");
    Timer_2->setInterval(1000);
    connect(Timer_2, &QTimer::timeout, this, [this] { Update_Running_Fps(); });

    Label_status = Label(QString(), "Label_status", this);
    statusBar()->addWidget(Label_status, 1);
    // Frame counts change with every frame and a refusal's reason runs out:
    // the line is brought up to date a few times a second besides each action.
    m_Status_Timer = new QTimer(this);
    m_Status_Timer->setInterval(250);
    connect(m_Status_Timer, &QTimer::timeout, this, [this] { Update_Status(); });
    m_Status_Timer->start();
    Build_Review_Controls();
}

void Form_Houndex::Build_Menus() {
    auto act = [this](QMenu* menu, const char* caption, const char* name, std::function<void()> run = {}) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(name);
        if (run) connect(a, &QAction::triggered, this, std::move(run));
        return a;
    };
    auto top = [this](const char* caption, const char* name) {
        QMenu* m = menuBar()->addMenu(caption);
        m->setObjectName(name);
        return m;
    };
    menu_form = top("Form", "menu_form");
    item_show_settings = act(menu_form, "Show settings", "item_show_settings", [this] { item_show_settings_Click(); });
    act(menu_form, "Select Video Source", "item_select_video", [this] {
        auto* w = findChild<Form_select_Video*>();
        if (!w) {
            w = new Form_select_Video(this);
            w->setWindowFlag(Qt::Window);
        }
        w->show();
    });
    item_control_box = act(menu_form, "Control Box", "item_control_box", [this] { item_control_box_Click(); });
    item_calibrate_delay =
        act(menu_form, "Calibrate camera delay", "item_calibrate_delay", [this] { item_calibrate_delay_Click(); });
    // The LED may only be switched while the camera runs and no heat runs.
    connect(menu_form, &QMenu::aboutToShow, this, [this] {
        item_calibrate_delay->setEnabled(obj_Capture_HDMI && obj_Capture_HDMI->Running() && !m_Heat.Running());
    });
    item_Exit = act(menu_form, "Exit", "item_Exit", [this] {
        if (Exit_Agreed()) Houndex_End();
    });
    item_Exit->setShortcut(QKeySequence("Ctrl+X"));
    connect(menu_form, &QMenu::aboutToShow, this, [this] { menu_form_Click(); });

    menu_settings = top("Settings", "menu_settings");
    menu_diagnostics = top("Diagnostics", "menu_diagnostics");
    QAction* performance = act(menu_diagnostics, "HDMI performance", "item_HDMI_performance");
    performance->setCheckable(true);
    connect(performance, &QAction::triggered, this, [this, performance] {
        if (obj_Capture_HDMI) Form_HDMI_performance::Menu_Command(*obj_Capture_HDMI, performance, m_Performance, this);
    });
    item_jpeg_benchmark = act(menu_diagnostics, "JPEG Benchmark", "item_jpeg_benchmark");
    Build_Print_Menu();

    menu_debug = top("Debug", "menu_debug");
    item_display_sample_data =
        act(menu_debug, "Display sample data", "item_display_sample_data", [this] { Slider_play_Scroll(); });
    item_display_sample_data->setCheckable(true);
    item_dll_available = act(menu_debug, "DLL available", "item_dll_available");
    item_picture_size = act(menu_debug, "Picture size", "item_picture_size");
    item_timestamp_report = act(menu_debug, "Timestamp report", "item_timestamp_report");
    item_file_properties = act(menu_debug, "File properties", "item_file_properties");
    item_text_xml_header = act(menu_debug, "Text XML header", "item_text_xml_header");
    item_dump_xml_header = act(menu_debug, "Dump present XML header", "item_dump_xml_header");
    item_test1 = act(menu_debug, "test1", "item_test1");
    item_Blink_LED = act(menu_debug, "Blink LED", "item_Blink_LED", [this] { item_Blink_LED_Click(); });
    act(menu_debug, "Printer dialog", "item_printer_dialog", [this] { item_printer_dialog_Click(); });
    act(menu_debug, "Validate folder", "item_validate_folder", [this] { Validate_Folder(); });
    act(menu_debug, "Timer", "item_timer", [this] {
        auto* t = findChild<Form_timer*>();
        if (!t) {
            t = new Form_timer(this);
            t->setWindowFlag(Qt::Window);
            t->Heat_Time_Caption = [this] { return Label_heat_time->text().toStdString(); };
        }
        t->setVisible(!t->isVisible());
    });
    menu_trap_errors = menu_debug->addMenu("Trap errors");
    menu_trap_errors->setObjectName("menu_trap_errors");
    item_misbehave_trapped = act(menu_trap_errors, "Misbehave trapped", "item_misbehave_trapped");
    item_misbehave_untrapped = act(menu_trap_errors, "Misbehave untrapped", "item_misbehave_untrapped");
    menu_trap_errors->menuAction()->setVisible(false);

    Menu_assign_times = top("Assign times", "Menu_assign_times");
    QMenu* time = Menu_assign_times->addMenu("Time");
    act(time, "Set time", "item_set_time");
    act(time, "Set time + 1/100", "item_set_time_100");
    QMenu* split = Menu_assign_times->addMenu("Split");
    act(split, "Set split", "item_set_split");
    act(split, "Set split +1/100", "item_set_split_100");
    act(Menu_assign_times, "No time", "item_no_time", [this] { Cmd_Notime_Click(); });
    act(Menu_assign_times, "Dead heat", "item_dead_heat", [this] { Cmd_DeadHeat_Click(); });
    act(Menu_assign_times, "Clear result", "item_clear_result");

    menu_specials = top("Specials", "menu_specials");
    item_display_HD_data =
        act(menu_specials, "Display HD frame data", "item_display_HD_data", [this] { Slider_play_Scroll(); });
    item_display_HD_data->setCheckable(true);
    item_nx3_properties = act(menu_specials, "NX3 Properties", "item_nx3_properties");
    item_associate = act(menu_specials, "Associate", "item_associate", [this] { item_associate_Click(); });

    Menu_notime = top("Notime", "Menu_notime");
    menu_crop_size = top("Crop size", "menu_crop_size");
    const char* crops[] = {"400*880", "600*1080", "576*720"};
    for (int i = 0; i < 3; ++i) {
        QAction* a = act(menu_crop_size, crops[i], qPrintable(QString("item_crop_size_%1").arg(i)),
                         [this, i] { item_crop_size_Click(i); });
        a->setCheckable(true);
        item_crop_size[static_cast<size_t>(i)] = a;
    }
    menu_help = top("Help", "menu_help");
    item_quick_start = act(menu_help, "Quick start", "item_quick_start", [this] { item_quick_start_Click(); });
    item_about = act(menu_help, "About", "item_about");
    Build_Review_Menus();
    Build_Event_Menus();
    Build_Diagnostics();
}

void Form_Houndex::menu_form_Click() {
    if (!Alt_Key_Down()) return;
    menu_trap_errors->menuAction()->setVisible(true);
    menu_debug->menuAction()->setVisible(!menu_debug->menuAction()->isVisible());
}

bool Form_Houndex::Form_Load() {
    Trace("*Form_Houndex Form_Load, begin");
    const int32_t start_mill = Platform::PC_Mill();
    move(0, y());
    if (!Verify_Phidgets()) {
        Platform::MsgBox("Control Box software error!");
        Terminate();
        return false;
    }
    // The video source selection window is loaded with the capture windows.
    try {
        Startup_Facts facts = Init_Environment();
        facts.Program_Start_Mill = start_mill;
        // Where the registration window looks for event files from its load on.
        facts.Event_Files_Folder =
            Platform::Join_Path(Platform::Join_Path(facts.AppData_Folder, "Houndex Event Files"), "");
        Freeze_Facts(facts);
        Trace("*Computer name = " + Facts().Computer_Name + " Windows = " + Facts().OS_Version +
              " CPU = " + Facts().CPU_Bitness + " OS = " + Facts().OS_Bitness);
        Trace(" Houndex starting, version = " + Facts().Program_Version + " Computer = " + Facts().Computer_Name);

        Trace("*Before InstallHook");
        m_Hook = std::make_unique<Keyboard_Hook>([this](QKeyEvent* k) { return IWindowsHook_HookProc(k); });
        m_Hook->InstallHook();
        Trace("*After InstallHook");

        m_Startup_File = Path_from_Command(m_Command_Line);
        Slider_play->setToolTip(QString());
        menu_settings->menuAction()->setVisible(false);
        m_Registration = new Form_event_registration(this, this);
        m_Registration->setWindowFlag(Qt::Window);
        m_Registration->Form_Load();

        if (!m_Instance.Acquire(Platform::Join_Path(Facts().AppData_Folder, Facts().Program_Name + ".lock"))) {
            hide();
            Platform::MsgBox("A previous instance of Houndex is running!");
            Terminate();
            return false;
        }
        Set_Input_Guard_Mill(Platform::PC_Mill());

        Check_For_Phidget();
        if (m_Panel->m_Phidget_Present) Open_Phidget();
        load_Capture_Folder();
        Trace("Form_Load, after load_Capture_Folder");
        // A window the last run could not finish is folded into its recording now.
        Recover_Capture_Journals();
        if (g_Use_Event_File) Label_event->setText(QString::fromStdString(m_Registration->Event_name()));
        int heat = 1;
        try {
            heat = Setting_Int(Read_Ini("Settings", "Heat_ID", Facts().Ini_file_path, "1"));
        } catch (const std::exception& e) {
            // A damaged setting must not cost the rest of the start-up: heat 1.
            Report_Exception(e, kLoadLocation, 0, "Heat_ID");
        }
        UpDown_heat->setValue(heat);
        m_Heat.Select_Heat(UpDown_heat->value());
        move(0, 0);
        Load_Compensations();
        Start_Results_Feed();
        Start_Web_Server();
        menu_debug->menuAction()->setVisible(false);
        Menu_assign_times->menuAction()->setVisible(false);
        menu_specials->menuAction()->setVisible(false);
        Menu_notime->menuAction()->setVisible(false);
        Label_read_framesize->clear();
        Check_Attached();
        Trace("*Command_dollar = " + m_Startup_File);
        if (!m_Panel->m_Phidget_Present) m_Panel->Show_No_Phidget_Drivers();
        obj_Capture_HDMI = std::make_unique<cls_Capture_HDMI>();
        // The heat takes each frame before this window draws it.
        m_Heat.Attach_Capture(obj_Capture_HDMI.get());
        // Frames the camera backend had to let go are never lost silently.
        connect(obj_Capture_HDMI.get(), &cls_Capture_HDMI::Frames_Dropped, this, [this](qint64 total) {
            Show_Refusal("Camera: " + std::to_string(total) + " frames dropped (the computer fell behind)");
        });
        connect(obj_Capture_HDMI.get(), &cls_Capture_HDMI::HDMIreceived, this, [this] {
            if (!obj_Capture_HDMI->Halted()) HDMI_event();
        });
        connect(obj_Capture_HDMI.get(), &cls_Capture_HDMI::Stop_All_Cams_Requested, this, [this] { Stop_all_cams(); });
        if (Option_selected_camera[1]) Option_selected_camera[1]->setChecked(true);
        m_Selected_Camera = 1;
        Read_Last_Crop();
        Read_Goal_Lines();
        Timer_2->start();
        // Opened once the goal lines and the picture allowance are known, so the
        // recording is reviewed with its own lines and keeps its aspect ratio.
        if (FileExists(m_Startup_File)) Handle_Open(m_Startup_File);
        Trace("Form_Houndex Form_Load, end");
    } catch (const std::exception& e) {
        Report_Exception(e, kLoadLocation);
    }
    return true;
}

void Form_Houndex::Set_Input_Guard_Mill(int32_t mill) {
    m_Input_Guard_Mill = mill;
    m_Panel->Set_Input_Guard(mill);
}

void Form_Houndex::Load_Compensations() {
    try {
        m_Split_Compensation = Setting_Int(Read_Ini("Settings", "split_compensation", Facts().Ini_file_path, "200"));
        m_Goal_Compensation = Setting_Int(Read_Ini("Settings", "goal_compensation", Facts().Ini_file_path, "200"));
        m_Box_Delay = Setting_Int(Read_Ini("Settings", "box_delay", Facts().Ini_file_path, "0"));
        // The setting goes into heats initiated from now on; a reviewed heat keeps
        // the delay it was made with (changed there only as a correction).
    } catch (const std::exception& e) {
        Report_Exception(e, "Load_Compensations of Form Form_Houndex");
    }
}

void Form_Houndex::Form_Activate() {
    if (Slider_play->isVisible()) Slider_play->setFocus();
    for (int box = 1; box <= 6; ++box) Paint_box(*Picture_dognum[static_cast<size_t>(box - 1)], box);
    Check_Attached();
}

void Form_Houndex::Form_QueryUnload() {
    if (m_Hook) m_Hook->RemoveHook();
    Houndex_End();
}

void Form_Houndex::Houndex_End() {
    if (m_Ending) return;  // closing the windows below comes back here
    Trace("*Houndex_end, begin");
    try {
        // The frames of a window still open are the heat's, and "Open last heat"
        // after the restart must find the heat that was under way.
        m_Heat.Camera_Stopping();
        if (!m_Heat.Current_File().empty())
            Write_Ini("Settings", "last_file", m_Heat.Current_File(), Facts().Ini_file_path);
        m_Ending = true;
        Stop_Camera();
        Flush_DV_events();
        Stop_Houndex();
        Start_Sound::Release();
        Form_Houndex_settings::Unload();
        if (m_Simulator) m_Simulator->close();
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

bool Form_Houndex::IWindowsHook_HookProc(QKeyEvent* key) {
    try {
        if (!key) return false;
        const int code = Virtual_Key_Code(key);
        const bool down = key->type() == QEvent::KeyPress;
        if (code != 0 && !key->isAutoRepeat()) Note_Key_State(code, down);
        if (key->modifiers() & Qt::KeypadModifier) {
            // The keypad tells its digits from its arrows by the NumLock state.
            if (key->key() >= Qt::Key_0 && key->key() <= Qt::Key_9) Note_NumLock_State(true);
            if (key->key() == Qt::Key_Left || key->key() == Qt::Key_Right) Note_NumLock_State(false);
        }
        // Keys typed into the program's other windows (the registration fields)
        // are theirs: the review keys act on the main window only.
        auto* target = QApplication::focusWidget();
        if (target && target->window() != this) return false;
        // One press of Escape in the main window asks; a held key's repeats and
        // the Escape that closes another window's question do not.
        if (code == 27 && down && !key->isAutoRepeat() &&
            (target || QApplication::activeWindow() == this || !QApplication::activeWindow())) {
            if (m_Heat.Running()) Do_Abort();
            return false;
        }
        const bool keypad_offset = code == 100 || code == 102;
        if (!Debounce(m_Click_Times.key_hook, 149)) return keypad_offset;
        Trace("*IWindowsHook_HookProc, wParam = " + std::to_string(code));
        if (keypad_offset) {
            // The keypad's 4 and 6 move the goal line only; without NumLock they
            // would also step the slider as arrows.
            Handle_Goal_Offset(code);
            return true;
        }
        const bool control = (key->modifiers() & Qt::ControlModifier) != 0;
        if (code == 37 || (code == 39 && !control)) Focus_Slider();
    } catch (const std::exception& e) {
        Report_Exception(e, "IWindowsHook_HookProc of Form Form_Houndex");
    }
    return false;
}

void Form_Houndex::keyPressEvent(QKeyEvent* e) {
    const int code = Virtual_Key_Code(e);
    if (code == 37 || code == 39) Focus_Slider();
    QMainWindow::keyPressEvent(e);
}

void Form_Houndex::item_associate_Click() {
    try {
        QFile icon(":/icons/houndex-hdmi.svg");
        const QByteArray svg = icon.open(QIODevice::ReadOnly) ? icon.readAll() : QByteArray();
        File_Association::Associate(Platform::User_Data_Home(), QCoreApplication::applicationFilePath().toStdString(),
                                    svg.toStdString());
    } catch (const std::exception& e) {
        Report_Exception(e, "item_associate_Click of Form Form_Houndex");
    }
}

void Form_Houndex::NumLock_on() {
    // Nothing to switch: the keypad's 4 and 6 reach Handle_Goal_Offset as 100
    // and 102 whatever the NumLock state (see Virtual_Key_Code).
    Trace("*NumLock_on, NumLock = " + Bool_Text(NumLock_State()));
}

bool Form_Houndex::Exit_Agreed() {
    if (!m_Heat.Running() && !m_Heat.Capturing()) return true;
    const auto answer = Platform::MsgBox("A heat is running. Exit Houndex anyway?", Platform::MsgButtons::OKCancel,
                                         Platform::MsgIcon::Question, "Houndex exit");
    return answer == Platform::MsgResult::OK;
}

void Form_Houndex::closeEvent(QCloseEvent* e) {
    if (!m_Ending) {
        if (!Exit_Agreed()) {
            e->ignore();
            return;
        }
        Form_QueryUnload();
    }
    e->accept();
}

bool Form_Houndex::eventFilter(QObject* watched, QEvent* e) {
    if ((watched == Frame_controls || watched == Frame_setup) && e->type() == QEvent::LayoutRequest)
        Refit_Columns_Later();
    if (watched == Cmd_capture && (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonRelease ||
                                   e->type() == QEvent::MouseButtonDblClick)) {
        if (static_cast<QMouseEvent*>(e)->button() != Qt::LeftButton) return true;
        if (e->type() == QEvent::MouseButtonRelease) {
            Cmd_capture->setDown(false);
            Cmd_capture_MouseUp();
        } else {
            Cmd_capture->setDown(true);
            Cmd_capture_MouseDown();
        }
        return true;
    }
    if (watched == Label_capture_folder && e->type() == QEvent::MouseButtonRelease) {
        Label_capture_folder_Click();
        return true;
    }
    if (watched == Slider_play && e->type() == QEvent::MouseButtonPress) {
        const auto* m = static_cast<QMouseEvent*>(e);
        // A press at the very start returns to the first position; one on the
        // handle grabs it, wherever the handle is.
        QStyleOptionSlider option;
        option.initFrom(Slider_play);
        option.orientation = Slider_play->orientation();
        option.minimum = Slider_play->minimum();
        option.maximum = Slider_play->maximum();
        option.sliderPosition = Slider_play->sliderPosition();
        option.sliderValue = Slider_play->value();
        option.upsideDown = Slider_play->invertedAppearance();
        const QRect handle =
            Slider_play->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, Slider_play);
        if (m->position().x() * 15 < 170 && !handle.contains(m->position().toPoint())) {
            Slider_play_MouseDown(static_cast<int>(m->position().x()));
            return true;
        }
    }
    if (watched == Slider_play && e->type() == QEvent::KeyPress) {
        const auto* k = static_cast<QKeyEvent*>(e);
        Slider_play_KeyDown(Virtual_Key_Code(k), (k->modifiers() & Qt::AltModifier) != 0);
    }
    if (watched == Picture_out && e->type() == QEvent::Wheel && Review_File_Open()) {
        const auto* w = static_cast<QWheelEvent*>(e);
        if (w->angleDelta().y() == 0) return true;
        const QSizeF canvas = Canvas_Size();
        const QPointF pointer(w->position().x() * canvas.width() / std::max(1, Picture_out->width()),
                              w->position().y() * canvas.height() / std::max(1, Picture_out->height()));
        const int zoom =
            w->angleDelta().y() > 0 ? Review_Views::Zoom_In(m_View.Zoom) : Review_Views::Zoom_Out(m_View.Zoom);
        Review_Views::Zoom_At(m_View, zoom, To_Recording(pointer.x(), pointer.y()), pointer, canvas, Recording_Size());
        for (size_t i = 0; i < item_zoom.size(); ++i) item_zoom[i]->setChecked((1 << i) == m_View.Zoom);
        Slider_play_Scroll();
        return true;
    }
    if (watched == Cmd_Notime && e->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(e)->button() == Qt::RightButton) {
        Cmd_Notime_MouseDown(2);
        return true;
    }
    return QMainWindow::eventFilter(watched, e);
}

void Form_Houndex::item_quick_start_Click() {
    try {
        auto* guide = findChild<Form_Quick_Start*>();
        if (!guide) guide = new Form_Quick_Start(this);
        guide->Show_Guide(m_Capture_Folder, Facts().AppData_Folder);
    } catch (const std::exception& e) {
        Report_Exception(e, "item_quick_start_Click of Form Form_Houndex");
    }
}

void Form_Houndex::Quick_Start_Once() {
    try {
        if (m_Ending || Read_Ini("Settings", "quick_start_shown", Facts().Ini_file_path, "0") == "1") return;
        Write_Ini("Settings", "quick_start_shown", "1", Facts().Ini_file_path);
        item_quick_start_Click();
    } catch (const std::exception& e) {
        Report_Exception(e, "Quick_Start_Once of Form Form_Houndex");
    }
}

bool Form_Houndex::event(QEvent* e) {
    // The guide comes up beside the window the first time it is shown.
    if (e->type() == QEvent::Show && !m_Shown_Once && !m_Terminated) {
        m_Shown_Once = true;
        QTimer::singleShot(0, this, [this] { Quick_Start_Once(); });
    }
    if (e->type() == QEvent::WindowActivate) Form_Activate();
    // A key released while another program had the keyboard is never seen up.
    if (e->type() == QEvent::WindowDeactivate) Clear_Key_States();
    if (e->type() == QEvent::WindowStateChange || e->type() == QEvent::Resize) {
        const bool handled = QMainWindow::event(e);
        Form_Resize();
        return handled;
    }
    return QMainWindow::event(e);
}

void Form_Houndex::mousePressEvent(QMouseEvent* e) {
    // A press on the window's own surface hands the keys to the slider.
    Focus_Slider();
    QMainWindow::mousePressEvent(e);
}

// --- Start-up steps ---------------------------------------------------------------

bool Form_Houndex::Verify_Phidgets() { return Module_Control_Box::Verify_Phidgets(); }

void Form_Houndex::Check_For_Phidget() { m_Panel->m_Phidget_Present = Module_Control_Box::Check_For_Phidget(); }

void Form_Houndex::Open_Phidget() {
    // The command line for this run, else the stored choice, else a board that answers.
    m_Control_Box_Option = Startup_Control_Box_Choice();
    obj_Phidget = Create_Interface_Kit(m_Control_Box_Option);
    if (!obj_Phidget) {
        m_Panel->m_Phidget_Present = false;
        return;
    }
    m_Panel->Set_Kit(obj_Phidget.get());
    Follow_Start_LED();
    Show_Simulation();
    Module_Control_Box::Open_Control_Box(*obj_Phidget);
}

void Form_Houndex::Show_Control_Box_Simulator() {
    auto* sim = dynamic_cast<SimInterfaceKit*>(obj_Phidget.get());
    if (!sim) return;
    if (!m_Simulator) {
        m_Simulator = new Form_Control_Box_Simulator(sim);
        m_Simulator->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    m_Simulator->show();
}

void Form_Houndex::Check_Attached() {
    if (m_Panel) m_Panel->Check_Attached();
}
