#pragma once
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QMainWindow>
#include <QPointF>
#include <QPointer>

#include "platform/Dialogs.h"
#include "controlbox/Control_Box_Controls.h"
#include "controlbox/IControl_Box_Actions.h"
#include "metadata/Cls_XML_header.h"
#include "platform/Single_Instance.h"
#include "shell/Heat_Controller.h"
#include "review/Review_Session.h"
#include "review/Crossing_Assistant.h"
#include "review/Crossing_Estimate.h"
#include "review/Form_Finish_Strip.h"
#include "review/Goal_Line.h"
#include "review/Review_View.h"
#include "diagnostics/IDiagnostics_Host.h"
#include "event/IEvent_Host.h"
#include "printing/IPrint_Host.h"
#include "review/IResults_Host.h"
#include "settings/Form_Houndex_settings.h"

class QAction;
class QActionGroup;
class QGroupBox;
class QKeyEvent;
class QMouseEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSlider;
class QSpinBox;
class QTimer;
class Keyboard_Hook;
class IInterfaceKit;
class Control_Box_Panel;
class Form_Control_Box_Simulator;
class Form_Control_Box_Select;
class Simulation_Banner;
class Form_HDMI_performance;
class Form_Camera_Delay;
class Form_select_Video;
class Frm_progress;

class Form_Hdx_Results;
class Results_Feed;
class Web_Server;
struct Web_Heat;
class Diagnostics_Commands;
class IReport_Printer;
class Form_event_registration;
class Form_heat_competitors;
class cls_Capture_HDMI;
class cls_VideoFile_handler;
namespace Platform {
class PictureBox;
}

// The main window: start-up object of the program, owner of every subsystem,
// and the race workflow that drives one heat from camera start to a finished
// recording.
class Form_Houndex : public QMainWindow,
                     public IControl_Box_Actions,
                     public IResults_Host,
                     public IEvent_Host,
                     public IPrint_Host,
                     public IDiagnostics_Host {
    Q_OBJECT
public:
    explicit Form_Houndex(std::string command_line = std::string(), QWidget* parent = nullptr);
    // The one name the window goes by, also in front of a reviewed recording's path.
    static inline const std::string Main_Title = "Houndex HDMI";
    ~Form_Houndex() override;

    // What the public part holds: the official's actions (menus, buttons, keys,
    // the picture), the events the window reacts to (frames, timers, the Control
    // Box), the host interfaces other windows use, and read-only views of the
    // state. Code that drives the window from outside finds its controls by their
    // object names (platform/Find_Control.h).

    // --- Start-up, shutdown, keys (Form_Houndex.cpp) ---------------------------
    // The start-up sequence. False when the program must end at once (a fatal
    // start-up condition); the message has then been shown.
    bool Form_Load();
    void Form_Activate();
    // Closing by the close box: removes the keyboard hook, then Houndex_End.
    void Form_QueryUnload();
    void Houndex_End();
    // True when nothing is under way, or the official confirmed ending the
    // program in the middle of a heat (Cancel is the default).
    bool Exit_Agreed();
    // Keyboard hook callback: true when the key was handled and goes no further.
    bool IWindowsHook_HookProc(QKeyEvent* key);
    // Compensations and box delay, re-read after each change in the settings window.
    void Load_Compensations();
    void menu_form_Click();
    void item_associate_Click();
    // Help > Quick start; on the first start it opens by itself once.
    void item_quick_start_Click();
    void Check_Attached();
    // Shows the Control Box simulator when the program runs with the virtual box.
    void Show_Control_Box_Simulator();

    const std::string& Startup_File() const { return m_Startup_File; }
    bool Terminated() const { return m_Terminated; }
    // Set when shutdown begins: frame and timer work returns at once.
    bool Ending() const { return m_Ending; }
    // The PC clock when start-up passed the single-instance check: Control Box
    // inputs are ignored for a second after it, a capture end for three.
    int32_t Input_Guard_Mill() const { return m_Input_Guard_Mill; }
    void Set_Input_Guard_Mill(int32_t mill);
    Keyboard_Hook* Hook() const { return m_Hook.get(); }
    int32_t Goal_Compensation() const { return m_Goal_Compensation; }
    int32_t Split_Compensation() const { return m_Split_Compensation; }

    // --- The Control Box in use (Form_Houndex_Box.cpp) -------------------------
    // Lets go of the Control Box in use and takes the one the option names
    // (Control_Box_Factory.h), at once; an unknown option changes nothing.
    void Use_Control_Box(const std::string& option);
    const std::string& Control_Box_In_Use() const { return m_Control_Box_Option; }
    // "Control Box": the window that chooses the board.
    void item_control_box_Click();
    Control_Box_Panel* Panel() const { return m_Panel; }
    const Control_Box_Controls& Box_Controls() const { return m_Box_Controls; }
    Form_Control_Box_Simulator* Simulator_Window() const;
    Form_Control_Box_Select* Box_Select_Window() const;

    // --- The camera delay (Form_Houndex_Calibration.cpp) -----------------------
    // "Calibrate camera delay": measures the selected camera's compensation with the start LED.
    void item_calibrate_delay_Click();

    // --- Race workflow (Form_Houndex_Workflow.cpp) -----------------------------
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
    void item_show_settings_Click();
    void item_Blink_LED_Click();
    void item_validate_folder_Click() { Validate_Folder(); }
    // The capture folder until the official chooses one: Houndex in the user's videos folder.
    static std::string Default_Capture_Folder();

    // IControl_Box_Actions: start signals and capture windows.
    // stamp_mill: the PC clock when the signal entered the program; it becomes
    // the heat's zero time.
    void Handle_Start(int32_t stamp_mill) override;
    void Handle_Capture_Start() override;
    // The release of the trigger: the window closes after the post-trigger time.
    void Handle_Capture_End() override;
    // An input found closed at attach: its moment is unknown, so nothing was
    // taken from it; the official is told.
    void Input_Uncertain(int input, const std::string& why) override;
    void Stop_all_cams() override;
    // Folds the journals that interrupted capture windows left beside
    // recordings in the capture folder (or beside path alone) into them, and
    // says so. Returns the frames recovered.
    int Recover_Capture_Journals(const std::string& path = {});
    // The release at stamp_mill (when it entered the program).
    void Release_Capture(int32_t stamp_mill);

    // Frames and timers.
    void HDMI_event();
    void Update_heat_time();
    void Update_Running_Fps();
    // Asks whether to abort the running heat (Escape); the heat ends on OK.
    void Do_Abort();
    void Abort_Answered(Platform::MsgResult answer);
    void Validate_Folder();
    // The status line: where the heat stands, or for a few seconds after a
    // refused action why it was refused.
    void Update_Status();
    static constexpr int32_t Refusal_Shown_Mill = 5000;

    // The heat: its file, its writer, its start and its capture window.
    const Heat_Controller& Heat() const { return m_Heat; }
    bool Heat_Running() const { return m_Heat.Running(); }
    bool Camera_Running() const;
    bool Camera_Started() const { return m_Camera_Started; }
    int16_t Selected_Camera() const { return m_Selected_Camera; }
    const std::string& Capture_Folder() const { return m_Capture_Folder; }
    // Caption of the crop size last chosen; a new recording's header copies it.
    const std::string& Selected_Crop_Text() const { return m_Selected_Crop_Text; }
    cls_Capture_HDMI* Capture_Controller() const { return obj_Capture_HDMI.get(); }
    Frm_progress* Progress_Window() const;
    // The tallest review picture that keeps the picture and the "Set times"
    // buttons on the screen, from the window as it is now.
    int Max_Picture_Height() const;

    // --- Review of a recording (Form_Houndex_Review.cpp) -----------------------
    void item_open_file_Click();
    void item_last_heat_Click();
    void item_show_result_Click();
    // Builds the finish strip of the reviewed recording along the goal line
    // (progress shown) and shows it in its window; a beep without a recording.
    void item_show_strip_Click();
    Form_Finish_Strip* Strip_Form() const { return m_Strip_Form; }
    void Handle_Open(const std::string& path);
    void Do_Close();
    void Slider_play_Scroll();
    void Slider_play_MouseDown(int x_pixels);
    void Slider_play_KeyDown(int key_code, bool alt);
    void GoTo_rank(int rank) override;
    void GoTo_Box(int rank) override;
    void Goto_SplitTime(int rank) override;
    void Goto_Time(int32_t target);
    void item_extension_Click(int index);
    // A recording open for review: blocks the workflow.
    bool Review_File_Open() const;
    bool Field_Mode() const { return m_Field_Mode; }
    // The time of the position on screen (valid while a recording is reviewed).
    int32_t Heat_Elapsed() const { return m_Heat_Elapsed_AR; }

    // Goal lines of the Goal (1) and Split (2) camera (index 0 unused), in
    // recording pixels: the reviewed recording's while one is open, else the live ones.
    std::array<Goal_Line_Points, 3> Goal_Lines() const;
    // Places a camera's line as it stands on the track (the meeting harness's
    // simulated track); saved by the next drag like any line.
    void Set_Goal_Line(int camera, const Goal_Line_Points& line) { Line(camera) = line; }
    // The open recording's review: its one result, marks and changes; nullptr when none is open.
    Review_Session* Session() const { return m_Session.get(); }
    int16_t Goal_Offset() const { return m_Goal_Offset; }
    void Draw_Goal_Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool displaced);
    void Picture_out_MouseDown(int button, int shift, double x, double y);
    void Picture_out_MouseMove(int button, int shift, double x, double y);
    void Picture_out_MouseUp(int button, int shift, double x, double y);
    void Reset_Goal_Line(int camera);
    void item_displace_goalline_Click();
    // Ctrl+click on the picture: the dog's nose in the field on screen (x, y
    // in recording pixels). With the nose marked in a field before the goal
    // line and one past it, the next goal-time box click also stores the
    // crossing estimated between them. False when the position has no time.
    bool Mark_Nose(double x, double y);

    // The view of the review picture: zoom (1x, 2x, 4x, 8x, round the goal
    // line from the menu and keys, round the pointer with the wheel, panned
    // with the middle button) and enhancement. It never changes the recording.
    const Review_View& View() const { return m_View; }
    void Set_Zoom(int zoom);
    void Change_View(const std::function<void(Review_View&)>& change);
    void item_reset_view_Click();
    // A canvas position of the review picture in recording pixels, and back.
    QPointF To_Recording(double x, double y) const;
    QPointF To_Canvas(QPointF recording) const;
    // The marks waiting for a box click: field position and mark.
    const std::vector<std::pair<int32_t, Nose_Mark>>& Nose_Marks() const;

    // The judge's assistant: each box's proposed crossing (field, estimate,
    // how sure), found on a worker thread when a recording opens and on
    // demand, shown beside the box buttons. Alt+1 .. Alt+6 goes to a box's
    // proposed field with the nose marked there and in the field before;
    // Enter there stores it exactly as that box's button does. Candidates
    // kept and discarded are outlined on request. It never stores anything.
    void item_propose_Click();
    void GoTo_Proposal(int box);
    void Store_Proposal();
    bool Proposals_Busy() const { return m_Assistant && m_Assistant->Busy(); }
    // The open recording's proposals once found; nullptr before.
    const Heat_Proposals* Proposals() const;
    // The box whose proposal was gone to last (0: none).
    int Proposal_Box() const { return m_Proposal_Box; }

    // Time assignment.
    void Command_BOX_set_time_Click(int index);
    void Cmd_add_hundredth_Click();
    void Cmd_Notime_Click();
    void Cmd_Notime_MouseDown(int button);
    void Cmd_DeadHeat_Click();
    void Cmd_Split_Click();
    void item_notime_Click(const char* caption);
    bool Split_Times() const { return m_Split_Times; }
    bool Plus_Hundredth() const { return Armed().Plus_Hundredth; }
    bool No_Time_Armed() const { return Armed().No_Time; }
    bool Dead_Heat_Armed() const { return Armed().Dead_Heat; }

    // Results of the reviewed heat (IResults_Host).
    void Handle_results() override;
    void Display_Result_Array() override;
    void Clear_all_Results() override;
    const Heat_Result* Reviewed_Result() override;
    bool Correct_Name(Result_Name what, int16_t box, const std::string& value) override;
    bool Correct_Box_Delay(int32_t ms) override;
    bool Declare_Official() override;
    cls_VideoFile_handler* Review_Handler() override;
    void Set_Print_Dog_Name(const std::string& name) override { m_Print_Dog_Name = name; }
    void Focus_Slider() override;
    void Print_Results(QWidget& window) override;
    Form_Hdx_Results* Results_Form();
    void Show_Progress(const std::string& caption, int percent);
    // The live results feed: (re)started from the settings at start-up and
    // whenever they change; a feed that cannot start says why and stays off.
    void Start_Results_Feed();
    // What the settings window calls back.
    Form_Houndex_settings::Host Settings_Host();
    std::unique_ptr<Results_Feed> m_Feed;
    std::map<std::string, int> m_Feed_Revisions;  // the last revision sent of each heat this run
    // The web server for the track: (re)started like the feed; pages get every
    // change the feed sends, the heat on screen and the goal photo once official.
    void Start_Web_Server();
    Web_Heat Web_Heat_Of(const Heat_Result& result, const std::string& line, bool photo);
    std::unique_ptr<Web_Server> m_Web;

    // --- The race programme (Form_Houndex_Event.cpp) ---------------------------
    void Display_Heat_Data() override;
    void UpDown_heat_Change();
    void Command_hide_Click();
    void item_event_registration_Click();
    void item_open_event_file_Click();
    void item_No_event_file_Click();
    void item_dog_names_Click();
    void Update_Dog_names(cls_VideoFile_handler& handler);
    Form_event_registration* Registration_Window() const;
    Form_heat_competitors* Competitors_Window() const;

    // --- Printing and diagnostics (Form_Houndex_Print.cpp) ---------------------
    // IPrint_Host: what the goal photo printout reads of the review.
    Platform::PictureBox& Review_Picture() override { return *Picture_out; }
    void Show_Position(int32_t position) override;
    std::string Event_Title() override;
    std::string Heat_Time_Text() override;
    const Result_Array_Type& Ranked_Results() override;
    // The reviewed heat's own box delay (the setting's while none is open: it goes into new heats).
    int32_t Box_Delay() override { return m_Session ? m_Session->Result().Box_Delay : m_Box_Delay; }
    std::string& Print_Dog_Name() override { return m_Print_Dog_Name; }
    QImage Finish_Strip_For_Print() override;
    void item_print_frame_Click();
    void item_print_series_Click();
    void item_dog_name_Click();
    void item_printer_dialog_Click();
    void menu_print_Click();

    // IDiagnostics_Host: what the diagnostic commands read of the window.
    QWidget& Main_Window() override { return *this; }
    int Crop_Width() override { return m_Crop_X; }
    int Crop_Height() override { return m_Crop_Y; }
    std::vector<std::string> Crop_Size_Captions() override;
    IInterfaceKit* Control_Box() override { return obj_Phidget.get(); }
    Diagnostics_Commands* Diagnostics() const { return m_Diagnostics.get(); }

signals:
    // The recording open for review was opened, replaced or closed.
    void Review_Recording_Changed();

protected:
    void closeEvent(QCloseEvent* e) override;
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    // --- Form_Houndex.cpp ------------------------------------------------------
    void Build_Controls();
    void Build_Menus();
    void Terminate();
    void Quick_Start_Once();
    void NumLock_on();
    bool Verify_Phidgets();
    void Check_For_Phidget();
    void Open_Phidget();

    std::string m_Command_Line;
    std::string m_Startup_File;
    bool m_Terminated = false;
    bool m_Ending = false;
    int32_t m_Input_Guard_Mill = 0;
    bool m_Shown_Once = false;
    Platform::Single_Instance m_Instance;
    std::unique_ptr<Keyboard_Hook> m_Hook;
    int32_t m_Goal_Compensation = 200;
    int32_t m_Split_Compensation = 200;
    int32_t m_Box_Delay = 0;

    // --- Form_Houndex_Box.cpp --------------------------------------------------
    // Shows or hides the strip that marks a simulated camera or Control Box.
    void Show_Simulation();
    bool m_Camera_Simulated = false;
    std::string m_Control_Box_Option;

    // --- Form_Houndex_Calibration.cpp ------------------------------------------
    // The simulated camera's start LED follows the simulated box's output 0.
    void Follow_Start_LED();
    QPointer<Form_Camera_Delay> m_Calibration;

    // --- Form_Houndex_Workflow.cpp ---------------------------------------------
    void Do_Heat_Finish();
    // Leaves a review for the live picture of the heat the camera runs for.
    void Back_To_Live();
    void PlayPOP();
    void Show_Refusal(const std::string& why);
    void load_Capture_Folder();
    void Read_Last_Crop();
    // Applies a crop size item: picture, check mark, setting.
    void Choose_Crop(int index);
    void Start_camera();
    void Stop_Camera();
    void Do_Stop_Cams();
    void Clear_Running_arm();
    void Arrange_form();
    // Each column as wide as its widest control, with room for its scroll bar.
    void Fit_Column_Widths();
    // A column's content changed its size (a longer text, a panel shown): its
    // width is fitted again once the change is laid out.
    void Refit_Columns_Later();
    bool m_Column_Refit_Queued = false;
    // Height the layouts turned out to need beyond what Max_Picture_Height counts.
    int m_Picture_Height_Over = 0;
    void Set_Cropping(int x, int y);
    void Update_File_Size(const std::string& path);
    // A capture window from a box trigger (which needs the box attached) or
    // from the held "Capture" button.
    void Open_Capture_Window(bool from_box);
    // The initiation itself; true when a recording file was created.
    bool Initiate_File();
    // What the header of a recording initiated at path copies.
    Header_Origin New_Header_Origin(const std::string& path) const;
    std::string Free_Recording_Name(const std::string& folder, const std::string& file_name) const;

    Heat_Controller::Host Heat_Host();
    bool m_Start_Up_Over = false;
    Heat_Controller m_Heat;
    std::string m_Capture_Folder;
    bool m_Camera_Started = false;
    int16_t m_Selected_Camera = 1;
    int16_t m_Crop_X = 400;
    int16_t m_Crop_Y = 880;
    std::string m_Selected_Crop_Text;
    // The camera's sample text as last measured at an initiation.
    std::string m_Capture_Sample_Text;
    int m_Picture_Width = 404;
    std::string m_Refusal;
    int32_t m_Refusal_Mill = 0;

    // Last accepted press per debounced control.
    struct Click_Stamp {
        bool set = false;
        int32_t mill = 0;
    };
    struct Click_Times {
        Click_Stamp capture_down, capture_up, live_view, start_camera, start_heat, key_hook, split_toggle;
    } m_Click_Times;
    // True (and the press stored) when more than interval ms passed since the last accepted press.
    static bool Debounce(Click_Stamp& last, int32_t interval);

    // --- Form_Houndex_Review.cpp -----------------------------------------------
    void Build_Review_Controls();
    void Build_Review_Menus();
    bool Check_Read_Only();
    void Form_Resize();
    void Loose_Focus();
    void Read_Goal_Lines();
    // After a crop change the lines keep their place in the scene (a line
    // never set starts in the middle of the new crop), saved at once.
    void Move_Goal_Lines_With_Crop(int old_width, int old_height);
    // The live view's warning that the selected camera has no line on the picture.
    void Show_Line_Warning(bool on);
    // Lines are kept in recording pixels while the reviewed picture may be
    // shrunk to the screen or stretched: recording pixels per picture unit
    // across and down (1, 1 when no recording is reviewed).
    QPointF Line_Scale() const;
    void Draw_Goalline_Selection_Boxes();
    void Save_Goal_line();
    void Handle_Goal_Offset(int key_code);
    void Display_Goal_times();
    void Display_Split_times();
    void Set_Buttons();
    void Paint_cmd_100();
    void Paint_Notime();
    void Paint_Deadheat();
    // Shows why a change of the result was not made; false when it was.
    // Lets go of the review of the open recording (before the recording goes).
    void End_Session();
    bool Change_Refused(const Review_Session::Outcome& outcome, const char* procedure);
    // The reason an official heat's change needs; nullopt (the official told) without one.
    std::optional<std::string> Reason_For(const std::string& what);
    // The session's answer to a change: results window, box colours, feed.
    void Session_Changed(const std::string& change);
    Goal_Line_Points& Line(int camera);
    const Goal_Line_Points& Line(int camera) const;
    Review_Session::Arming& Armed();
    const Review_Session::Arming& Armed() const;

    std::array<Goal_Line_Points, 3> m_Goal_Lines{};  // the live picture's; a review has its recording's
    std::unique_ptr<Review_Session> m_Session;
    Review_Session::Arming m_Armed;  // while no recording is open
    void Show_Proposals();
    void Draw_Candidates(int32_t position);
    std::unique_ptr<Crossing_Assistant> m_Assistant;
    std::array<QLabel*, 6> Label_proposal{};
    QAction* item_propose = nullptr;
    QAction* item_show_candidates = nullptr;
    QAction* item_store_proposal = nullptr;
    int m_Proposal_Box = 0;
    Review_View m_View;
    QPointF m_Pan_From{-1, -1};  // canvas point of a middle-button pan under way
    QSizeF Recording_Size() const;
    QSizeF Canvas_Size() const;
    void Build_View_Menu();
    bool m_Field_Mode = true;
    int32_t m_File_Start_PC_mill = 0;
    int32_t m_Heat_Elapsed_AR = 0;
    bool m_Heat_Time_Known = false;  // m_Heat_Elapsed_AR is the shown position's own time
    int16_t m_Review_Line = 1;
    double m_X_Stretch = 1;
    bool m_Scroll_Busy = false;
    bool m_Stretching = false;    // Form_Resize does nothing while the stretch arranges the window
    bool m_Abort_Asking = false;  // the abort question is open
    int16_t m_Num_Video_streams = 0;
    std::string m_Review_File;
    Goal_Line_Drag m_Drag;
    int16_t m_Goal_Offset = 0;
    bool m_Split_Times = false;
    QColor m_Mode_Colour;
    std::string m_Mode_Text = "Goal";
    QColor m_Line_Colour;
    std::string m_Print_Dog_Name;

    // --- Form_Houndex_Event.cpp ------------------------------------------------
    void Build_Event_Controls();
    void Build_Event_Menus();
    QPointer<Form_event_registration> m_Registration;
    QPointer<Form_heat_competitors> m_Competitors;

    // --- Form_Houndex_Print.cpp ------------------------------------------------
    void Build_Print_Menu();
    void Build_Diagnostics();
    std::unique_ptr<Diagnostics_Commands> m_Diagnostics;
    std::unique_ptr<IReport_Printer> m_Report_Printer;

    // Owned subsystems.
    std::unique_ptr<cls_Capture_HDMI> obj_Capture_HDMI;
    std::unique_ptr<cls_VideoFile_handler> obj_NX3_Handler;
    std::unique_ptr<IInterfaceKit> obj_Phidget;
    Control_Box_Panel* m_Panel = nullptr;
    QPointer<Frm_progress> m_Progress;
    QPointer<Form_Finish_Strip> m_Strip_Form;
    QPointer<Form_Control_Box_Simulator> m_Simulator;
    QPointer<Form_HDMI_performance> m_Performance;
    QPointer<Form_Control_Box_Select> m_Box_Select;

    // Controls.
    QWidget* Frame_controls = nullptr;  // what a heat and its review use
    QWidget* Frame_setup = nullptr;     // heat, file, folder, Control Box and the two panels
    QScrollArea* Scroll_controls = nullptr;
    QScrollArea* Scroll_setup = nullptr;
    Simulation_Banner* Label_simulated = nullptr;
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
    QLabel* Label_field = nullptr;
    QLabel* Label_day = nullptr;
    QLabel* Label_event_name = nullptr;
    QLabel* Label_event_file = nullptr;
    QLabel* Label_heat_number2 = nullptr;
    QLabel* Label_heat_name2 = nullptr;
    std::array<Platform::PictureBox*, 6> Picture_dognum{};
    std::array<QLabel*, 6> Label_dog{};
    QAction* item_event_registration = nullptr;
    QAction* item_open_event_file = nullptr;
    QAction* item_No_event_file = nullptr;
    QAction* item_dog_names = nullptr;
    QAction* item_delete_file = nullptr;
    QLabel* Label_heat_length = nullptr;
    QLabel* Label_status = nullptr;
    QLabel* Label_line_warning = nullptr;
    QTimer* m_Status_Timer = nullptr;
    QGroupBox* Frame_slider = nullptr;
    std::array<QPushButton*, 6> Command_BOX_set_time{};
    QPushButton* Cmd_add_hundredth = nullptr;
    QPushButton* Cmd_Split = nullptr;
    QPushButton* Cmd_Notime = nullptr;
    QPushButton* Cmd_Notime_choice = nullptr;  // opens Menu_notime with a plain click
    QPushButton* Cmd_DeadHeat = nullptr;
    QAction* item_open_file = nullptr;
    QAction* item_last_heat = nullptr;
    QAction* item_show_result = nullptr;
    QAction* item_show_strip = nullptr;
    QAction* item_print_strip = nullptr;
    QAction* item_print_as_viewed = nullptr;
    QAction* item_sharpen = nullptr;
    QAction* item_greyscale = nullptr;
    std::array<QAction*, 4> item_zoom{};
    QAction* item_reset_line = nullptr;
    QAction* item_close_file = nullptr;
    QAction* item_displace_goalline = nullptr;
    std::array<QAction*, 3> item_extension{};
    QAction* item_display_HD_data = nullptr;
    QAction* item_display_sample_data = nullptr;
    QAction* item_disqualified = nullptr;
    QAction* item_DNF = nullptr;
    QAction* item_NoRank = nullptr;
    QGroupBox* Frame_dogs_Heat = nullptr;
    Platform::PictureBox* Picture_LED = nullptr;
    Control_Box_Controls m_Box_Controls;
    QTimer* Timer1 = nullptr;
    QTimer* Timer_2 = nullptr;
    QMenu* menu_form = nullptr;
    QMenu* menu_settings = nullptr;
    QMenu* menu_debug = nullptr;
    QMenu* menu_print = nullptr;
    QMenu* menu_diagnostics = nullptr;
    QMenu* menu_trap_errors = nullptr;
    QMenu* menu_help = nullptr;
    QAction* item_jpeg_benchmark = nullptr;
    QAction* item_dll_available = nullptr;
    QAction* item_picture_size = nullptr;
    QAction* item_timestamp_report = nullptr;
    QAction* item_file_properties = nullptr;
    QAction* item_text_xml_header = nullptr;
    QAction* item_dump_xml_header = nullptr;
    QAction* item_test1 = nullptr;
    QAction* item_misbehave_trapped = nullptr;
    QAction* item_misbehave_untrapped = nullptr;
    QAction* item_nx3_properties = nullptr;
    QAction* item_associate = nullptr;
    QAction* item_about = nullptr;
    QAction* item_quick_start = nullptr;
    QMenu* Menu_assign_times = nullptr;
    QMenu* menu_specials = nullptr;
    QMenu* Menu_notime = nullptr;
    QMenu* menu_crop_size = nullptr;
    std::array<QAction*, 3> item_crop_size{};
    QAction* item_show_settings = nullptr;
    QAction* item_control_box = nullptr;
    QAction* item_calibrate_delay = nullptr;
    QAction* item_Blink_LED = nullptr;
    QAction* item_Exit = nullptr;
};
