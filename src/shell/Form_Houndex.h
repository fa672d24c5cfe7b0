#pragma once
#include <array>
#include <memory>
#include <string>

#include <QMainWindow>
#include <QPointer>

#include "controlbox/Control_Box_Controls.h"
#include "controlbox/IControl_Box_Actions.h"
#include "platform/Single_Instance.h"

class QAction;
class QActionGroup;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTimer;
class Keyboard_Hook;
class IInterfaceKit;
class Control_Box_Panel;
class Form_Control_Box_Simulator;
class Form_HDMI_performance;
class Form_select_Video;
class Frm_progress;
class cls_Capture_HDMI;
class cls_VideoFile_handler;
namespace Platform {
class PictureBox;
}

// The main window: start-up object of the program, owner of every subsystem,
// and the race workflow that drives one heat from camera start to a finished
// recording.
class Form_Houndex : public QMainWindow, public IControl_Box_Actions {
    Q_OBJECT
public:
    explicit Form_Houndex(std::string command_line = std::string(), QWidget* parent = nullptr);
    ~Form_Houndex() override;

    // The start-up sequence. False when the program must end at once (a fatal
    // start-up condition); the message has then been shown.
    bool Form_Load();
    void Form_Activate();
    // Closing by the close box: removes the keyboard hook, then Houndex_End.
    void Form_QueryUnload();
    void Houndex_End();

    // Keyboard hook callback: true when the key was handled and goes no further.
    bool IWindowsHook_HookProc(QKeyEvent* key);

    const std::string& Startup_File() const { return m_Startup_File; }
    bool Terminated() const { return m_Terminated; }
    int Max_Picture_Height() const { return m_Max_Picture_Height; }
    Keyboard_Hook* Hook() const { return m_Hook.get(); }

    // Compensations and box delay, re-read after each change in the settings window.
    void Load_Compensations();
    int32_t m_Goal_Compensation = 200;
    int32_t m_Split_Compensation = 200;
    int32_t m_Box_Delay = 0;

    // --- Race workflow -------------------------------------------------------
    void Command_start_camera_Click();
    void Command_initiate_file_Click();
    void Command_start_heat_Click();
    void Cmd_capture_MouseDown();
    void Cmd_capture_MouseUp();
    void Command_finish_Click();
    void cmd_live_view_Click();
    void Option_selected_camera_Click(int index);
    void item_crop_size_Click(int index);
    void Label_capture_folder_Click();
    void Command1_Click();
    void Command_hide_Click();
    void item_show_settings_Click();
    void item_Blink_LED_Click();
    void item_validate_folder_Click() { Validate_Folder(); }

    // IControl_Box_Actions: start signals and capture windows.
    // stamp_mill: the PC clock when the signal entered the program; it becomes
    // the heat's zero time.
    void Handle_Start(int32_t stamp_mill) override;
    void Handle_Capture_Start() override;
    void Handle_Capture_End() override;
    void Stop_all_cams() override;

    void HDMI_event();
    void Update_heat_time();
    void Update_Running_Fps();
    void Do_Abort();
    void Do_Heat_Finish();
    void Validate_Folder();
    void PlayPOP();

    // Whether a heat runs. Kept apart from the start stamp so that a stamp of
    // any sign (the 32-bit clock turns negative after 24.8 days) still counts.
    bool Heat_Running() const { return m_Heat_Running; }

    // The race workflow's state.
    std::string m_Current_File;
    std::string m_Capture_Folder;
    int32_t m_Heat_Start_PC_mill = 0;
    int32_t m_Heat_Start_Local_mill = 0;
    int32_t m_Heat_Start_Mark = 0;
    bool m_Heat_Running = false;
    bool m_Capturing = false;
    bool m_Camera_Started = false;
    int16_t m_Selected_Camera = 1;
    int16_t m_Crop_X = 400;
    int16_t m_Crop_Y = 880;
    int m_Picture_Width = 404;
    // A recording opened for review (set by the review feature): blocks the workflow.
    bool m_Review_File_Open = false;
    // Goal lines of the Goal (1) and Split (2) camera: x1, y1, x2, y2 (kept by the goal-line feature).
    std::array<std::array<int, 4>, 3> m_Goal_Lines{};

    // Last accepted press per debounced control.
    struct Click_Stamp {
        bool set = false;
        int32_t mill = 0;
    };
    struct Click_Times {
        Click_Stamp capture_down, capture_up, live_view, start_camera, start_heat, key_hook;
    } m_Click_Times;
    // True (and the press stored) when more than interval ms passed since the last accepted press.
    static bool Debounce(Click_Stamp& last, int32_t interval);

    // Owned subsystems.
    std::unique_ptr<cls_Capture_HDMI> obj_Capture_HDMI;
    std::unique_ptr<cls_VideoFile_handler> obj_NX3_Handler;
    std::unique_ptr<IInterfaceKit> obj_Phidget;
    Control_Box_Panel* m_Panel = nullptr;
    QPointer<Frm_progress> m_Progress;
    QPointer<Form_Control_Box_Simulator> m_Simulator;
    QPointer<Form_HDMI_performance> m_Performance;
    // Shows the Control Box simulator when the program runs with the virtual box.
    void Show_Control_Box_Simulator();

protected:
    void closeEvent(QCloseEvent* e) override;
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void Build_Controls();
    void Build_Menus();
    void Terminate();

    bool Verify_Phidgets();
    void Check_For_Phidget();
    void Open_Phidget();
    void Check_Attached();
    void load_Capture_Folder();
    void Read_Last_Crop();
    void Read_Goal_Lines();
    void Start_camera();
    void Stop_Camera();
    void Do_Stop_Cams();
    void Clear_Running_arm();
    void Arrange_form();
    void Set_Cropping(int x, int y);
    void Update_File_Size(const std::string& path);
    // The initiation itself; true when a recording file was created.
    bool Initiate_File();
    std::string Free_Recording_Name(const std::string& folder, const std::string& file_name) const;
    void Handle_Open(const std::string& path);

    std::string m_Command_Line;
    std::string m_Startup_File;
    bool m_Terminated = false;
    int m_Max_Picture_Height = 0;
    Platform::Single_Instance m_Instance;
    std::unique_ptr<Keyboard_Hook> m_Hook;

public:
    // Controls.
    QWidget* Frame_controls = nullptr;
    QGroupBox* Frame_settimes = nullptr;
    Platform::PictureBox* Picture_out = nullptr;
    QSpinBox* UpDown_heat = nullptr;
    QLabel* Label_event = nullptr;
    QLabel* Label_heat_num = nullptr;
    QLabel* Label_heat_name = nullptr;
    QLabel* Label_read_framesize = nullptr;
    QLabel* Label_filesize = nullptr;
    QLineEdit* Text_filename = nullptr;
    QSlider* Slider_play = nullptr;
    QPushButton* cmd_live_view = nullptr;
    QPushButton* Command_start_camera = nullptr;
    QPushButton* Command_start_heat = nullptr;
    QPushButton* Command_finish = nullptr;
    QPushButton* Command_initiate_file = nullptr;
    QPushButton* Cmd_capture = nullptr;
    QPushButton* Command_nocam = nullptr;
    QPushButton* Command_hide = nullptr;
    std::array<QRadioButton*, 3> Option_selected_camera{};
    Platform::PictureBox* Picture_arm = nullptr;
    QLabel* Label_Coll_count = nullptr;
    QLabel* Label_running_fps = nullptr;
    QLabel* Label_capture_folder = nullptr;
    QLabel* Label_heat_time = nullptr;
    QGroupBox* Frame_dogs_Heat = nullptr;
    Platform::PictureBox* Picture_LED = nullptr;
    Control_Box_Controls m_Box_Controls;
    QTimer* Timer1 = nullptr;
    QTimer* Timer_2 = nullptr;
    QMenu* menu_form = nullptr;
    QMenu* menu_settings = nullptr;
    QMenu* menu_debug = nullptr;
    QMenu* Menu_assign_times = nullptr;
    QMenu* menu_specials = nullptr;
    QMenu* Menu_notime = nullptr;
    QMenu* menu_crop_size = nullptr;
    std::array<QAction*, 3> item_crop_size{};
    QAction* item_show_settings = nullptr;
    QAction* item_Blink_LED = nullptr;
    QAction* item_Exit = nullptr;
};
