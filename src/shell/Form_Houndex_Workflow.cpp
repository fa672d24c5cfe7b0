// The race workflow of the main window: camera, file initiation, start signal,
// capture windows with their append, heat finish and abort.
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QScrollBar>
#include <QScrollArea>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "Form_Houndex.h"
#include "Simulation_Banner.h"
#include "Start_Sound.h"
#include "capture/Capture_State.h"
#include "capture/Stored_Frames.h"
#include "capture/cls_Capture_HDMI.h"
#include "capture/Form_HDMI_performance.h"
#include "controlbox/Control_Box_Panel.h"
#include "controlbox/IInterfaceKit.h"
#include "diagnostics/Frm_progress.h"
#include "event/Form_event_registration.h"
#include "event/Module_Event_File.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "platform/PictureBox.h"
#include "platform/System_Info.h"
#include "platform/Window_Fit.h"
#include "recording/Frame_Journal.h"
#include "recording/NX3_Layout.h"
#include "recording/cls_VideoFile_handler.h"
#include "settings/Capture_Triggers.h"
#include "settings/Form_Houndex_settings.h"
#include "settings/Module_Ini.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"
#include "web/Web_Server.h"

namespace {
const char* const kStartCamera = "Start camera";
const char* const kStopCamera = "Stop camera";

// "hh:nn:ss" of the present time, in front of refused-start trace lines.
std::string Time_Text() {
    const Platform::DateTime t = Platform::Local_Now();
    char b[16];
    std::snprintf(b, sizeof b, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return b;
}

QColor Rgb(int r, int g, int b) { return QColor(r, g, b); }
}  // namespace

bool Form_Houndex::Debounce(Click_Stamp& last, int32_t interval) {
    const int32_t now = Platform::PC_Mill();
    if (last.set && Platform::Mill_Since(last.mill, now) <= interval) return false;
    last.set = true;
    last.mill = now;
    return true;
}

// --- Status line -----------------------------------------------------------------------

bool Form_Houndex::Camera_Running() const { return obj_Capture_HDMI && obj_Capture_HDMI->Running(); }

void Form_Houndex::Show_Refusal(const std::string& why) {
    m_Refusal = why;
    m_Refusal_Mill = Platform::PC_Mill();
    Update_Status();
}

void Form_Houndex::Update_Status() {
    if (!Label_status) return;
    if (!m_Refusal.empty() && Platform::Mill_Since(m_Refusal_Mill, Platform::PC_Mill()) >= Refusal_Shown_Mill)
        m_Refusal.clear();
    // A box that went away during a heat takes its starts and capture triggers
    // with it: the line says so in red for as long as it is gone.
    const bool box_lost = m_Heat.Running() && m_Panel->m_Phidget_Present && obj_Phidget && !obj_Phidget->IsAttached();
    const bool refused = !m_Refusal.empty() || box_lost;
    std::string status = m_Heat.Status_Text(Camera_Running(), Review_File_Open() ? m_Review_File : "");
    if (box_lost) status = "Control Box lost: no start or capture trigger from it. " + status;
    const QString text = QString::fromStdString(m_Refusal.empty() ? status : m_Refusal);
    // The button is offered only where it can open a window (an open one must be let go).
    Cmd_capture->setEnabled(m_Heat.Capturing() || (Camera_Running() && m_Heat.Running()));
    if (m_Panel) m_Panel->Show_Start_Arming();
    if (Label_status->text() == text) return;
    Label_status->setText(text);
    Label_status->setStyleSheet(refused ? "color: rgb(192, 0, 0); font-weight: bold;" : QString());
}

// --- Camera --------------------------------------------------------------------------

void Form_Houndex::Command_start_camera_Click() {
    if (!Debounce(m_Click_Times.start_camera, 999)) return;
    try {
        Trace("*Command_start_camera_Click, caption = " + Command_start_camera->text().toStdString());
        if (!obj_Capture_HDMI) return;
        // No camera starts until the saved source is there or the operator chose another.
        const bool starting = !Camera_Running();
        if (!obj_Capture_HDMI->SourcePropFound() && !obj_Capture_HDMI->Set_Source_from_Saved() && starting) return;
        const bool reviewing = Review_File_Open();
        if (reviewing && !starting) {
            // The camera ran on behind the review for the heat: the button brings the live view back.
            Back_To_Live();
            return;
        }
        // The frames of a window still open are written before the camera stops.
        if (!starting) m_Heat.Camera_Stopping();
        End_Session();
        obj_NX3_Handler->Close_File();
        Text_filename->clear();
        Picture_out->Cls();
        Picture_out->Refresh();
        if (!starting) {
            Do_Stop_Cams();
            Label_running_fps->clear();
        } else {
            Command_start_camera->setText(kStopCamera);
            Check_Attached();
            Do_Close();
            if (reviewing) {
                // The live view goes back to the lines and the programme heat of
                // the race, not those of the recording just reviewed.
                Read_Goal_Lines();
                Display_Heat_Data();
            }
            if (!m_Heat.Current_File().empty()) Text_filename->setText(QString::fromStdString(m_Heat.Current_File()));
            // A reviewed recording may have resized the picture: the live view takes the crop size again.
            if (Picture_out->Scale_Width() != m_Crop_X + 4 || Picture_out->Scale_Height() != m_Crop_Y + 4)
                Set_Cropping(m_Crop_X, m_Crop_Y);
            Start_camera();
            m_Camera_Started = true;
        }
        Label_heat_time->setText("00:00,00");
        Arrange_form();
        m_Selected_Camera = 1;
        Frame_dogs_Heat->hide();
        Update_Status();
        Trace("*Command_start_camera_Click, end  ");
    } catch (const std::exception& e) {
        Report_Exception(e, "Command_start_camera_Click of Form Form_Houndex");
    }
}

void Form_Houndex::Start_camera() {
    obj_Capture_HDMI->set_HDMI_Crop(m_Crop_X, m_Crop_Y);
    obj_Capture_HDMI->MaxFrames(0);
    obj_Capture_HDMI->Do_CROP(true);
    obj_Capture_HDMI->Capture_Run();
    Timer_2->start();
    Show_Simulation();
}

void Form_Houndex::Stop_Camera() {
    Trace("*Stop_Camera");
    try {
        Timer_2->stop();
    } catch (const std::exception& e) {
        Report_Exception(e, "Stop_Camera of Form Form_Houndex");
    }
    try {
        if (obj_Capture_HDMI) obj_Capture_HDMI->Stop_Capture();
    } catch (const std::exception& e) {
        Report_Exception(e, "Stop_Camera of Form Form_Houndex");
    }
    try {
        Clear_Running_arm();
    } catch (const std::exception& e) {
        Report_Exception(e, "Stop_Camera of Form Form_Houndex");
    }
    Show_Simulation();
}

void Form_Houndex::Do_Stop_Cams() {
    Command_start_camera->setText(kStartCamera);
    Stop_Camera();
}

void Form_Houndex::Stop_all_cams() {
    try {
        // The frames of an open window are the heat's: written before the camera stops.
        m_Heat.Camera_Stopping();
        Command_start_camera->setText(kStartCamera);
        if (obj_Capture_HDMI) obj_Capture_HDMI->Stop_Capture();
    } catch (const std::exception& e) {
        Report_Exception(e, "Stop_all_cams of Form Form_Houndex");
    }
    // The frames that still arrive are ignored until the camera is started again.
    if (obj_Capture_HDMI) obj_Capture_HDMI->Halt();
}

void Form_Houndex::Clear_Running_arm() {
    Picture_arm->Cls();
    Picture_arm->Refresh();
    Label_running_fps->clear();
    // Without frames there is no live view to warn about.
    Show_Line_Warning(false);
}

void Form_Houndex::cmd_live_view_Click() {
    if (!Debounce(m_Click_Times.live_view, 299)) return;
    if (cmd_live_view->text() != "Live view on") {
        cmd_live_view->setText("Live view on");
        m_Camera_Started = false;
        Show_Line_Warning(false);
        Picture_out->Cls();
        Picture_out->Refresh();
    } else {
        cmd_live_view->setText("Live view off");
        m_Camera_Started = true;
    }
}

void Form_Houndex::Option_selected_camera_Click(int index) {
    m_Selected_Camera = static_cast<int16_t>(index);
    if (index >= 1 && index <= 2 && Option_selected_camera[static_cast<size_t>(index)])
        Option_selected_camera[static_cast<size_t>(index)]->setChecked(true);
    // A reviewed position is redrawn at once (nothing happens without a
    // recording open); the live label takes its colour from
    // m_Selected_Camera with the next frame.
    Slider_play_Scroll();
}

// --- Crop size and capture folder ----------------------------------------------------

void Form_Houndex::item_crop_size_Click(int index) {
    if (index < 0 || index > 2) return;
    const int old_width = m_Crop_X, old_height = m_Crop_Y;
    Choose_Crop(index);
    Move_Goal_Lines_With_Crop(old_width, old_height);
    // A reviewed recording keeps its own size: the crop is the next capture's.
    if (Review_File_Open() && (old_width != m_Crop_X || old_height != m_Crop_Y))
        Show_Refusal("Crop " + m_Selected_Crop_Text +
                     " is for the next capture; the recording under review keeps its own size.");
}

void Form_Houndex::Choose_Crop(int index) {
    if (index < 0 || index > 2) return;
    for (QAction* a : item_crop_size) a->setChecked(false);
    QAction* chosen = item_crop_size[static_cast<size_t>(index)];
    chosen->setChecked(true);
    const std::string caption = chosen->text().toStdString();
    m_Selected_Crop_Text = caption;
    const size_t star = caption.find('*');
    m_Crop_X = static_cast<int16_t>(std::stoi(caption.substr(0, star)));
    m_Crop_Y = static_cast<int16_t>(std::stoi(caption.substr(star + 1)));
    // The picture shows a reviewed recording at the size in its header; going
    // back to live (camera start, a new heat) takes the crop's size.
    if (!Review_File_Open()) Set_Cropping(m_Crop_X, m_Crop_Y);
    Write_Ini("Settings", "lastcrop", caption, Facts().Ini_file_path);
}

void Form_Houndex::Set_Cropping(int x, int y) {
    // The picture keeps the crop's units (goal lines, drags, texts) and is
    // shown at the size the screen leaves for it.
    const int width = x + 4, height = y + 4;
    const int room = Max_Picture_Height();
    const double shown = room > 0 && height > room ? static_cast<double>(room) / height : 1.0;
    Picture_out->Set_Canvas_Size(std::max(1, static_cast<int>(std::lround(width * shown))),
                                 std::max(1, static_cast<int>(std::lround(height * shown))));
    Picture_out->Set_Scale(shown < 1.0 ? width : 0, shown < 1.0 ? height : 0);
    Picture_out->Cls();
    m_Picture_Width = Picture_out->width();
    Arrange_form();
    // What the layouts add round the picture is known only once laid out: a
    // window still taller than the screen takes the rest off the picture.
    const int over = minimumSizeHint().height() - Platform::Room_On_Screen(this).height();
    if (over > 0 && shown <= 1.0 && m_Picture_Height_Over < 200) {
        m_Picture_Height_Over += over;
        Set_Cropping(x, y);
    }
}

void Form_Houndex::Read_Last_Crop() {
    const std::string last = Read_Ini("Settings", "lastcrop", Facts().Ini_file_path, "400*880");
    for (int i = 0; i < 3; ++i)
        if (item_crop_size[static_cast<size_t>(i)]->text().toStdString() == last) {
            // The stored lines already belong to this crop.
            Choose_Crop(i);
            return;
        }
}

void Form_Houndex::Arrange_form() {
    // The layouts keep the control columns beside the picture; the window
    // takes the size they ask for, but never more than the screen has.
    Frame_settimes->show();
    Fit_Column_Widths();
    if (centralWidget() && centralWidget()->layout()) centralWidget()->layout()->activate();
    // A maximised window keeps the size the window manager gave it.
    if (!isMaximized() && !isFullScreen()) adjustSize();
    // The title bar counts even before the window manager has put it on: the
    // status line at the bottom must stay on the screen. A window moved partly
    // off the screen comes back onto it.
    Platform::Fit_On_Screen(this);
}

void Form_Houndex::Fit_Column_Widths() {
    for (QScrollArea* area : {Scroll_controls, Scroll_setup}) {
        if (!area || !area->widget()) continue;
        QWidget* content = area->widget();
        int width = content->minimumSizeHint().width();
        // Room is kept for the panels while they are hidden, so that showing
        // one neither widens the window nor cuts the panel off.
        if (content == Frame_setup) {
            const QMargins m = content->layout() ? content->layout()->contentsMargins() : QMargins();
            for (QWidget* panel :
                 {static_cast<QWidget*>(m_Box_Controls.Frame_Control_status), static_cast<QWidget*>(Frame_dogs_Heat)})
                if (panel) width = std::max(width, panel->sizeHint().width() + m.left() + m.right());
        }
        area->setMinimumWidth(width + area->verticalScrollBar()->sizeHint().width() + 2 * area->frameWidth());
    }
}

void Form_Houndex::Refit_Columns_Later() {
    if (m_Column_Refit_Queued) return;
    m_Column_Refit_Queued = true;
    QTimer::singleShot(0, this, [this] {
        m_Column_Refit_Queued = false;
        if (m_Ending) return;
        Fit_Column_Widths();
        // A wider column widens the window, never past the screen.
        if (isVisible() && !isMaximized()) Platform::Fit_On_Screen(this);
    });
}

int Form_Houndex::Max_Picture_Height() const {
    // Everything above the picture (title bar, menu bar, margins) and below it
    // (the "Set times" buttons, shown in review, margins, the frame's border).
    const QMargins frame = Platform::Frame_Margins(this);
    const int title = frame.top();
    const int border = frame.bottom();
    const QLayout* layout = centralWidget() ? centralWidget()->layout() : nullptr;
    const QMargins margins = layout ? layout->contentsMargins() : QMargins();
    const int spacing = layout && layout->spacing() > 0 ? layout->spacing() : 6;
    const int menu = menuBar() && menuBar()->isVisibleTo(this) ? menuBar()->sizeHint().height() : 0;
    // The strip that marks a simulated camera or box sits above the picture;
    // room is kept for it even before it comes up (the camera may start later).
    const int banner = Label_simulated ? Label_simulated->sizeHint().height() + spacing : 0;
    // The status line, with or without a text in it.
    const int status = std::max(statusBar() ? statusBar()->sizeHint().height() : 0,
                                Label_status ? Label_status->fontMetrics().height() + 8 : 0);
    const int above = title + menu + margins.top() + banner;
    const int below = spacing + Frame_settimes->sizeHint().height() + margins.bottom() + status + border;
    return Platform::Screen_Available_Height() - above - below - m_Picture_Height_Over;
}

void Form_Houndex::load_Capture_Folder() {
    try {
        m_Capture_Folder = Read_Ini("Settings", "save_folder", Facts().Ini_file_path, Default_Capture_Folder());
        Label_capture_folder->setText(QString::fromStdString(m_Capture_Folder));
        Label_capture_folder->setToolTip(QString::fromStdString(m_Capture_Folder));
    } catch (const std::exception& e) {
        Report_Exception(e, "load_Capture_Folder of Form Form_Houndex");
    }
}

int Form_Houndex::Recover_Capture_Journals(const std::string& path) {
    int recovered = 0;
    try {
        std::vector<std::string> recordings;
        if (!path.empty()) {
            recordings.push_back(path);
        } else if (Platform::Folder_Exists(m_Capture_Folder)) {
            const std::string suffix = ".nx3.journal";
            std::error_code ec;
            for (const auto& e : std::filesystem::directory_iterator(m_Capture_Folder, ec)) {
                const std::string name = e.path().string();
                if (name.size() > suffix.size() &&
                    name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                    recordings.push_back(name.substr(0, name.size() - std::string(".journal").size()));
            }
        }
        for (const std::string& recording : recordings) {
            if (!Platform::File_Exists(Frame_Journal::Path_For(recording))) continue;
            // The open window's own journal is not an interrupted one.
            if (Platform::Same_File(recording, m_Heat.Current_File()) && (m_Heat.Capturing() || m_Heat.Running()))
                continue;
            if (!Platform::File_Exists(recording)) {
                Trace("*Capture journal without its recording left alone: " + recording);
                continue;
            }
            cls_VideoFile_handler h;
            h.Set_File_name(recording);
            const int32_t n = h.Recover_Journal();
            if (n < 0) continue;
            recovered += n;
            Platform::MsgBox("Recovered " + std::to_string(n) + " frames of an interrupted capture window into " +
                             recording);
        }
    } catch (const std::exception& e) {
        Report_Exception(e, "Recover_Capture_Journals of Form Form_Houndex");
    }
    return recovered;
}

void Form_Houndex::Label_capture_folder_Click() {
    try {
        const auto chosen = Platform::Dialogs().Browse_Folder("Capture folder", m_Capture_Folder);
        if (!chosen || chosen->empty()) return;
        m_Capture_Folder = *chosen;
        Write_Ini("Settings", "save_folder", m_Capture_Folder, Facts().Ini_file_path);
        Label_capture_folder->setText(QString::fromStdString(m_Capture_Folder));
        Label_capture_folder->setToolTip(QString::fromStdString(m_Capture_Folder));
    } catch (const std::exception& e) {
        Report_Exception(e, "Label_capture_folder_Click of Form Form_Houndex");
    }
}

std::string Form_Houndex::Default_Capture_Folder() {
    const std::string videos = Platform::Videos_Folder();
    return videos.empty() ? Platform::Join_Path(Platform::Temp_Folder(), "Houndex")
                          : Platform::Join_Path(videos, "Houndex");
}

void Form_Houndex::Validate_Folder() {
    if (!Folder_Exists(m_Capture_Folder)) {
        Platform::MsgBox("Capture folder does not exist!");
        return;
    }
    // Proves the folder is writable; the outcome is only for the record.
    const std::string probe = Platform::Join_Path(m_Capture_Folder, "testfile.txt");
    if (FileExists(probe)) return;  // never touch a file of the operator's
    try {
        Platform::Write_File_Atomic(probe, std::string());
        Kill_File(probe);
    } catch (const std::exception& e) {
        Trace("*Validate_Folder: " + std::string(e.what()));
    }
}

// --- File initiation -----------------------------------------------------------------

std::string Form_Houndex::Free_Recording_Name(const std::string& folder, const std::string& file_name) const {
    // Two initiations within one second give the same name: the second one gets
    // a number behind it, so an existing recording is never touched.
    const std::string stem = file_name.substr(0, file_name.size() - 4);
    std::string path = Platform::Join_Path(folder, file_name);
    for (int n = 2; FileExists(path) && n < 10000; ++n)
        path = Platform::Join_Path(folder, stem + "_" + std::to_string(n) + ".nx3");
    return path;
}

void Form_Houndex::Command_initiate_file_Click() { Initiate_File(); }

Header_Origin Form_Houndex::New_Header_Origin(const std::string& path) const {
    Header_Origin o;
    o.File_Name = path;
    o.Computer_Name = Facts().Computer_Name;
    o.CPU_Info = Facts().CPU_Info;
    o.CPU_Bitness = Facts().CPU_Bitness;
    o.Total_Memory = Facts().Total_Memory;
    o.OS_Bitness = Facts().OS_Bitness;
    o.OS_Version = Facts().OS_Version;
    o.Capture_Source = obj_Capture_HDMI->Current_FriendlyName() + " / " + obj_Capture_HDMI->Current_PropertyString();
    o.Selected_Crop = m_Selected_Crop_Text;
    o.Capture_Sample = m_Capture_Sample_Text;
    o.Phidget_Serial = m_Panel->Phidget_Serial_Text();
    o.Program_Name = Facts().Program_Name;
    o.Version_Major = Facts().Version_Major;
    o.Version_Minor = Facts().Version_Minor;
    o.Version_Revision = Facts().Version_Revision;
    return o;
}

bool Form_Houndex::Initiate_File() {
    try {
        Trace("Command_initiate_file_Click");
        if (!Camera_Running()) {
            Platform::MsgBox("Camera not started");
            Show_Refusal("Initiate refused: camera not started");
            return false;
        }
        if (obj_Capture_HDMI->Running_Fps() == 0) {
            Platform::MsgBox("Waiting to measure camera fps!\n(See display under the rotating arm!)");
            Show_Refusal("Waiting for the camera's frame rate");
            return false;
        }
        if (Review_File_Open()) {
            Platform::Beep();
            Show_Refusal("Initiate refused: a recording is open for review");
            return false;
        }
        if (const Heat_Verdict v = m_Heat.Begin_Initiation(); !v.accepted) {
            Platform::Beep();
            Trace("*Heat under way, file kept: " + v.why);
            Show_Refusal(v.why);
            return false;
        }
        if (!m_Heat.Current_File().empty()) {
            // Nothing has reached the file yet (a wrong heat chosen, say): the
            // new one takes its place and no empty recording is left behind.
            const std::string replaced = m_Heat.Current_File();
            m_Heat.Replace_Untouched();
            Text_filename->clear();
            if (FileExists(replaced) && File_Size(replaced) == NX3::Header_Block_Size) Kill_File(replaced);
            Trace("*Initiated file replaced: " + replaced);
        }
        // The folder offered on a fresh install is made when it is first needed.
        if (m_Capture_Folder == Default_Capture_Folder() && !Folder_Exists(m_Capture_Folder))
            Platform::Create_Folders(m_Capture_Folder);
        Validate_Folder();
        // The names come from the programme's selected heat, never from what the
        // window shows: a review shows the reviewed recording's names there.
        const bool programme = g_Use_Event_File && m_Registration;
        const Recording_Names names =
            m_Heat.State().Names_For_New_Recording(programme ? &m_Registration->Event_Data() : nullptr);
        if (!programme) Display_Heat_Data();  // the names the recording gets, as it gets them

        // The separators of the name become "_"; the folder is taken as it is, so
        // a folder whose name holds "-" or "," is still the folder the file goes to.
        // Room is left for the number Free_Recording_Name may put behind it.
        const std::string name =
            Safe_File_Name(names.file_event + "_" + names.heat_id + "_" + Date_Time_Text(), ".nx3", 245);
        const std::string path = Free_Recording_Name(m_Capture_Folder, name);

        m_Heat.Initiated(path);
        Text_filename->setText(QString::fromStdString(path));
        const int32_t ten = obj_Capture_HDMI->HDMI_10_mill();
        if (ten > 0)
            m_Capture_Sample_Text = obj_Capture_HDMI->HDMI_Sample_Dimensions() + ", " +
                                    std::to_string(static_cast<int>(1000.0 / (ten / 10.0))) + " fps";

        const int16_t fps = obj_Capture_HDMI->Running_Fps();
        cls_VideoFile_handler& w = m_Heat.Writer();
        w.Close_File();
        w.Set_RGB_interlaced(obj_Capture_HDMI->Interlaced_Recording());
        w.Set_File_name(path);
        w.Set_Cropped_X(m_Crop_X);
        w.Set_Cropped_Y(m_Crop_Y);
        if (!w.Initiate_NX3_File(path, New_Header_Origin(path))) {
            m_Heat.Initiated(std::string());
            Text_filename->clear();
            return false;
        }
        w.Set_Running_Fps(fps);
        w.Set_Hdx_Goal_Finish(Goal_Line::Line_Text(m_Goal_Lines[1]));
        w.Set_Hdx_Goal_Split(Goal_Line::Line_Text(m_Goal_Lines[2]));
        if (programme) Update_Dog_names(w);
        w.Set_Hdx_event(names.event);
        w.Set_Hdx_Heat_ID(names.heat_id);
        w.Set_Hdx_Heat_Name(names.heat_name);
        w.Set_Hdx_box_delay(std::to_string(m_Box_Delay));
        w.Set_Hdx_Goal_compensation(std::to_string(m_Goal_Compensation));
        w.Set_Hdx_Split_compensation(std::to_string(m_Split_Compensation));
        w.Set_Phidget_serial(obj_Phidget ? obj_Phidget->Serial_Text() : std::string());
        // A recording from the simulator says so; a real camera leaves the element empty.
        if (m_Camera_Simulated) w.Set_Capture_source("simulated camera: " + obj_Capture_HDMI->Current_FriendlyName());
        // What the frames' stamps are: the compensation was measured against that kind.
        w.Header().Set_Frame_Stamp(Stamp_Kind_Word(obj_Capture_HDMI->Frame_Stamp_Kind()));
        w.Write_XML_Header();
        w.Close_File();
        Update_File_Size(m_Heat.Current_File());
        Update_Status();
        Trace("Command_initiate_file_Click, End");
        return true;
    } catch (const std::exception& e) {
        Report_Exception(e, "Command_initiate_file_Click of Form Form_Houndex");
        return !m_Heat.Current_File().empty() && FileExists(m_Heat.Current_File());
    }
}

void Form_Houndex::Update_File_Size(const std::string& path) {
    try {
        if (path.empty()) return;
        const double mb = static_cast<double>(File_Size(path)) / 1048576.0;
        char b[32];
        std::snprintf(b, sizeof b, "%.1f", std::round(mb * 10.0) / 10.0);
        cls_VideoFile_handler& h = path == m_Heat.Current_File() ? m_Heat.Writer() : *obj_NX3_Handler;
        Label_filesize->setText(QString::number(h.Segments_Num()) + "/ " + b + " MB");
    } catch (const std::exception& e) {
        Report_Exception(e, "Update_File_Size of Form Form_Houndex");
    }
}

// --- Start signal ----------------------------------------------------------------------

void Form_Houndex::Command_start_heat_Click() {
    if (!Debounce(m_Click_Times.start_heat, 999)) return;
    Trace("*Command_start_heat_Click");
    Handle_Start(Platform::PC_Mill());
}

void Form_Houndex::Handle_Start(int32_t stamp_mill) {
    try {
        Trace("Handle_Start, begin");
        // The zero time is the moment the signal entered the program, taken
        // before the checks and the header work below.
        const int32_t start_pc = stamp_mill;
        int32_t start_local = Local_Mill() - Platform::Mill_Since(stamp_mill, Platform::PC_Mill());
        if (start_local < 0) start_local += 86400000;  // the signal came just before midnight
        if (m_Heat.Running()) {
            Platform::Beep();
            Trace(Time_Text() + "*Heat already started!!");
            Show_Refusal("Start refused: the heat is already running");
            return;
        }
        // A review goes on beside the heat; only the heat's own file under
        // review would have its header written over by the review.
        if (Review_File_Open() && !m_Heat.Current_File().empty() &&
            Platform::Same_File(obj_NX3_Handler->File_name(), m_Heat.Current_File())) {
            Platform::Beep();
            Trace(Time_Text() + "*H_S File open!!");
            Show_Refusal("Start refused: the heat's file is open for review");
            return;
        }
        if (m_Heat.Current_File().empty()) {
            bool auto_init = false;
            try {
                auto_init = Form_Houndex_settings::Get(Settings_Host(), this).Check_Auto_init_Value() == 1;
            } catch (const std::exception& e) {
                Report_Exception(e, "Handle_Start of Form Form_Houndex");
            }
            if (!auto_init) {
                Platform::Beep();
                Trace(Time_Text() + "*No current file!!");
                Show_Refusal("Start refused: no file initiated");
                return;
            }
            // Without a file from the initiation the start is refused: it must
            // never be stamped into another recording.
            if (!Initiate_File() || m_Heat.Current_File().empty()) {
                Platform::Beep();
                Trace(Time_Text() + "*No file initiated, start refused!!");
                Show_Refusal("Start refused: no file could be initiated");
                return;
            }
        }
        const Heat_Verdict v = m_Heat.Start(start_pc, start_local, Date_Time_Text());
        if (!v.accepted) {
            Platform::Beep();
            Trace(Time_Text() + "*" + v.why);
            if (m_Heat.Phase() == Heat_Phase::Initiated || m_Heat.Phase() == Heat_Phase::Aborted) {
                // A start the recording does not hold is no start: the official must
                // not see a clock run that no time can be measured from.
                Platform::MsgBox("The start could not be written into " + m_Heat.Current_File() +
                                 "!\nThe heat is not started: give the start signal again.");
            }
            Show_Refusal(v.why);
            return;
        }
        Timer1->start();
        PlayPOP();
        Update_Status();
        Trace("Handle_Start, end");
    } catch (const std::exception& e) {
        Report_Exception(e, "Handle_Start of Form Form_Houndex");
    }
}

void Form_Houndex::PlayPOP() { Start_Sound::Play(); }

// --- Capture window ---------------------------------------------------------------------

Heat_Controller::Host Form_Houndex::Heat_Host() {
    Heat_Controller::Host host;
    host.goal_line = [this] { return m_Goal_Lines[1]; };
    host.heat_file_in_review = [this] {
        return Review_File_Open() && Platform::Same_File(obj_NX3_Handler->File_name(), m_Heat.Current_File());
    };
    host.append_progress = [this](int percent) {
        if (!m_Progress) {
            m_Progress = new Frm_progress(this);
            m_Progress->setWindowFlag(Qt::Window);
        }
        if (!m_Progress->isVisible()) {
            // The window is shared with other long work: it says what this is.
            m_Progress->Set_Caption("Appending frames");
            m_Progress->show();
        }
        // Painted at once: no pending events run while the frames are written.
        m_Progress->Set_Percent(percent);
        m_Progress->repaint();
    };
    host.in_start_up = [this] {
        // Once over, the start-up stays over: the 32-bit clock turns negative after 24.8 days.
        if (m_Start_Up_Over) return false;
        const int32_t since = Platform::Mill_Since(m_Input_Guard_Mill, Platform::PC_Mill());
        m_Start_Up_Over = since < 0 || since > 2999;
        return !m_Start_Up_Over;
    };
    host.append_done = [this] {
        if (m_Progress) m_Progress->hide();
        Update_File_Size(m_Heat.Current_File());
    };
    return host;
}

void Form_Houndex::Cmd_capture_MouseDown() {
    if (!Debounce(m_Click_Times.capture_down, 299)) return;
    Open_Capture_Window(false);
}

void Form_Houndex::Cmd_capture_MouseUp() {
    if (!Debounce(m_Click_Times.capture_up, 299)) return;
    const bool open = m_Heat.Capturing();
    const int32_t now = Platform::PC_Mill();
    Release_Capture(now);
    // The window lasts as long as the button is held: a click is over long
    // before the dogs have crossed, and the official would see nothing happen.
    constexpr int32_t Least_Capture_Hold_Mill = 500;
    if (open && m_Click_Times.capture_down.set &&
        Platform::Mill_Since(m_Click_Times.capture_down.mill, now) < Least_Capture_Hold_Mill)
        Show_Refusal("Hold Capture down while the dogs cross: a quick click captures almost nothing");
}

void Form_Houndex::Handle_Capture_Start() { Open_Capture_Window(true); }

void Form_Houndex::Open_Capture_Window(bool from_box) {
    try {
        Trace("Handle_Capture_start");
        // The held button is the fallback for a box that has gone: it needs no box.
        const bool attached = obj_Phidget && obj_Phidget->IsAttached() && m_Panel && m_Panel->m_Phidget_Attached;
        if (from_box && !attached) return Show_Refusal("Capture refused: Control Box not attached");
        const int32_t stamp = from_box && m_Panel ? m_Panel->Input_Stamp() : Platform::PC_Mill();
        const Heat_Verdict v = m_Heat.Capture_Press(stamp, from_box ? Window_Source::Box : Window_Source::Button);
        if (!v.accepted) {
            if (!Camera_Running()) {
                Platform::Beep();
                Trace("*Cameras not running");
            } else if (m_Heat.Current_File().empty()) {
                Platform::Beep();
                Trace("*No file initiated");
            } else {
                Trace("*" + v.why);
            }
            return Show_Refusal(v.why);
        }
        if (m_Heat.Capturing()) Label_Coll_count->show();
        Update_Status();
    } catch (const std::exception& e) {
        Report_Exception(e, "Handle_Capture_Start of Form Form_Houndex");
    }
}

void Form_Houndex::Handle_Capture_End() { Release_Capture(m_Panel ? m_Panel->Input_Stamp() : Platform::PC_Mill()); }

void Form_Houndex::Release_Capture(int32_t stamp_mill) {
    m_Heat.Capture_Release(stamp_mill, Window_Source::Button);
    Update_Status();
}

// --- Frame events and timers ----------------------------------------------------------

void Form_Houndex::HDMI_event() {
    if (m_Ending) return;
    try {
        // The heat has kept the frame already (it is connected first); this
        // only shows it. No events run here: the next frame waits its turn.
        if (m_Performance && m_Performance->isVisible())
            m_Performance->HDMI_event(obj_Capture_HDMI->last_Capture_mill(), obj_Capture_HDMI->last_Capture_delta());
        if (!obj_Capture_HDMI) return;
        // 0x00BBGGRR: red while capturing, blue otherwise.
        obj_Capture_HDMI->Draw_Running_Arm_2(*Picture_arm, m_Heat.Capturing() ? 0x0000FFu : 0xFF0000u);
        // A review goes on over the live picture while the camera runs for the heat.
        if (m_Camera_Started && !Review_File_Open()) {
            obj_Capture_HDMI->Draw_Cropped_DIB(*Picture_out);
            if (m_Selected_Camera == 1 || m_Selected_Camera == 2) {
                const Goal_Line_Points& g = m_Goal_Lines[static_cast<size_t>(m_Selected_Camera)];
                Draw_Goal_Line(g.P1.X, g.P1.Y, g.P2.X, g.P2.Y, false);
                Draw_Goalline_Selection_Boxes();
                Show_Line_Warning(!Goal_Line::Inside(g, Picture_out->Scale_Width(), Picture_out->Scale_Height()));
            }
            const bool goal = m_Selected_Camera == 1;
            // A picture shrunk to the screen gets its camera name shrunk alike.
            const double shown = Picture_out->Canvas().width() / std::max(1.0, Picture_out->Scale_Width());
            Picture_out->Set_Font(QFont("Times", std::max(8, static_cast<int>(std::lround(52 * shown)))));
            Picture_out->Set_Fore_Color(goal ? Rgb(128, 255, 128) : Rgb(255, 255, 0));
            Picture_out->Current_X = Picture_out->Scale_Width() * 0.35;
            Picture_out->Current_Y = Picture_out->Scale_Height() * 0.9;
            Picture_out->Print(goal ? "Goal" : "Split");
            Picture_out->Refresh();
        }
        Label_Coll_count->setVisible(m_Heat.Capturing());
        if (m_Heat.Capturing()) {
            Label_Coll_count->setNum(m_Heat.Frames_Held());
            Label_Coll_count->repaint();
        }
        Update_Status();
    } catch (const std::exception& e) {
        Report_Exception(e, "HDMI_event of Sub Form_Houndex");
    }
}

void Form_Houndex::Update_heat_time() {
    try {
        if (!m_Heat.Running()) return;
        Label_heat_time->setText(QString::fromStdString(
            Display_Mill_Time(Platform::Mill_Since(m_Heat.Start_Mark(), Platform::PC_Mill()), false)));
        Label_heat_time->repaint();
    } catch (const std::exception& e) {
        Report_Exception(e, "Update_heat_time of Form Form_Houndex");
    }
}

void Form_Houndex::Update_Running_Fps() {
    if (m_Ending || !obj_Capture_HDMI) return;
    const int16_t fps = obj_Capture_HDMI->Running_Fps();
    if (fps <= 0) return;
    Label_running_fps->setVisible(true);
    Label_running_fps->setText(QString::number(fps) + " f/s");
    Label_running_fps->setStyleSheet(fps > 27 ? "color: rgb(255, 0, 0);" : "color: rgb(0, 0, 255);");
    Capture_State::Running_Fps_Value = fps;
}

// --- Finish and abort --------------------------------------------------------------------

void Form_Houndex::Command_finish_Click() {
    if (Review_File_Open() && m_Heat.Current_File().empty() && !m_Heat.Running()) {
        Platform::Beep();
        Show_Refusal("Heat finish refused: a recording is open for review");
        return;
    }
    Timer1->stop();
    Do_Heat_Finish();
    Update_Status();
    int open_after = 0;
    try {
        open_after = Form_Houndex_settings::Get(Settings_Host(), this).Check_open_after_finish_Value();
    } catch (const std::exception& e) {
        Report_Exception(e, "Command_finish_Click of Form Form_Houndex");
    }
    if (open_after == 1) item_last_heat_Click();
}

void Form_Houndex::Do_Heat_Finish() {
    try {
        // The heat ends first (an open window is written into it), with no
        // event run in between; the windows follow.
        // "Open last heat" finds this heat (or none, when none was initiated).
        Write_Ini("Settings", "last_file", m_Heat.Current_File(), Facts().Ini_file_path);
        const Heat_Controller::Finished_Heat done = m_Heat.Finish();
        Timer1->stop();
        if (Review_File_Open()) {
            // The camera ran on behind a review for the heat; the review stays.
            Do_Stop_Cams();
        } else {
            Do_Stop_Cams();
            Picture_out->Cls();
            Picture_out->Refresh();
            Text_filename->clear();
            Label_filesize->clear();
        }
        // The box's state stays on show for the next heat: only the official's Hide takes it away.
        Label_Coll_count->hide();
        // Nothing of the heat stays on show as if it were still going on.
        Label_heat_time->setText("00:00,00");
        // The programme moves on: the next file gets the next heat's names.
        if (done.raced && g_Use_Event_File && m_Registration) {
            const int next = m_Heat.State().Next_Programme_Heat(m_Registration->Event_Data());
            if (next > 0) UpDown_heat->setValue(next);
        }
    } catch (const std::exception& e) {
        Report_Exception(e, "do_Heat_Finish of Form Form_Houndex");
    }
}

void Form_Houndex::Do_Abort() {
    // One question at a time. It is not modal: frames go on reaching the heat
    // and the live picture while the official decides.
    if (m_Abort_Asking) return;
    m_Abort_Asking = true;
    try {
        Platform::Ask_Meanwhile("Aborting heat  are you sure?", Platform::MsgButtons::OKCancel, Platform::MsgIcon::None,
                                "Houndex HDMI Aborting Heat",
                                [this](Platform::MsgResult answer) { Abort_Answered(answer); });
    } catch (const std::exception& e) {
        m_Abort_Asking = false;
        Report_Exception(e, "Do_Abort of Form Form_Houndex");
    }
}

void Form_Houndex::Abort_Answered(Platform::MsgResult answer) {
    m_Abort_Asking = false;
    try {
        if (answer != Platform::MsgResult::OK || m_Ending) return;
        // The heat may have ended while the question was open.
        const Heat_Verdict v = m_Heat.Abort();
        if (!v.accepted) return Show_Refusal(v.why);
        Label_Coll_count->hide();
        Label_heat_time->setText("Aborted");
        Update_Status();
    } catch (const std::exception& e) {
        Report_Exception(e, "Do_Abort of Form Form_Houndex");
    }
}

void Form_Houndex::Back_To_Live() {
    End_Session();
    obj_NX3_Handler->Close_File();
    Do_Close();
    Read_Goal_Lines();
    Display_Heat_Data();
    Text_filename->setText(QString::fromStdString(m_Heat.Current_File()));
    if (Picture_out->Scale_Width() != m_Crop_X + 4 || Picture_out->Scale_Height() != m_Crop_Y + 4)
        Set_Cropping(m_Crop_X, m_Crop_Y);
    Arrange_form();
    Update_Status();
}

// --- Panels, settings, LED ----------------------------------------------------------------

void Form_Houndex::Command1_Click() {
    if (m_Box_Controls.Frame_Control_status) m_Box_Controls.Frame_Control_status->hide();
}

Form_Houndex_settings::Host Form_Houndex::Settings_Host() {
    return {[this] { return int(m_Goal_Compensation); },
            [this] { return int(m_Box_Delay); },
            [this] { Load_Compensations(); },
            [this] { Start_Results_Feed(); },
            [this] { Start_Web_Server(); },
            [this] {
                std::vector<std::string> lines;
                if (!m_Web) return lines;
                for (const std::string& url : m_Web->Urls("scoreboard")) lines.push_back("Scoreboard: " + url);
                for (const std::string& url : m_Web->Urls("stewards")) lines.push_back("Stewards: " + url);
                return lines;
            }};
}

void Form_Houndex::item_show_settings_Click() {
    try {
        Form_Houndex_settings& s = Form_Houndex_settings::Get(Settings_Host(), this);
        s.show();
        if (!s.property("Placed_Beside").toBool()) {
            // First shown beside the picture and above the status line, where a
            // refusal is explained: the window manager would put it over both.
            s.setProperty("Placed_Beside", true);
            const QRect screen = Platform::Screen_Available_Geometry();
            QRect area = screen;
            if (statusBar()->isVisible())
                area.setBottom(std::min(screen.bottom(), statusBar()->mapToGlobal(QPoint(0, 0)).y() - 1));
            const QMargins frame = Platform::Frame_Margins(&s);
            const int room = area.height() - frame.top() - frame.bottom();
            if (s.height() > room && room >= s.minimumSizeHint().height()) s.resize(s.width(), room);
            const QRect picture(Picture_out->mapToGlobal(QPoint(0, 0)), Picture_out->size());
            s.move(Platform::Clear_Of(picture, s.size().grownBy(frame), area));
        }
        s.raise();
    } catch (const std::exception& e) {
        Report_Exception(e, "item_show_settings_Click of Form Form_Houndex");
    }
}

void Form_Houndex::item_Blink_LED_Click() {
    if (m_Panel) m_Panel->item_Blink_LED_Click();
}

Frm_progress* Form_Houndex::Progress_Window() const { return m_Progress; }
