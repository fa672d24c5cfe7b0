#include "Sim_Race_Session.h"

#include <QSlider>

#include <cmath>
#include <filesystem>

#include "shell/Form_Houndex.h"
#include "shell/Start_Sound.h"
#include "capture/Video_Cap_Factory.h"
#include "capture/cls_Capture_HDMI.h"
#include "controlbox/Control_Box_Factory.h"
#include "controlbox/Control_Box_Panel.h"
#include "controlbox/SimInterfaceKit.h"
#include "event/Event_File.h"
#include "event/Module_Event_File.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "review/Goal_Line.h"
#include "settings/Module_Ini.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"
#include "platform/Find_Control.h"

using Platform::Control;

namespace fs = std::filesystem;

Sim_Race_Session::Sim_Race_Session(std::string folder, Sim_Pacing pacing, std::function<void(int32_t)> wait_ms)
    : requested_folder_(std::move(folder)), pacing_(pacing), wait_ms_(std::move(wait_ms)) {}

Sim_Race_Session::~Sim_Race_Session() { Close(); }

bool Sim_Race_Session::Prepare(const Race_Programme& programme) {
    std::error_code ec;
    fs::create_directories(requested_folder_, ec);
    folder_ = fs::absolute(requested_folder_, ec).lexically_normal().string();
    if (!fs::is_directory(folder_)) return Fail("cannot create the folder " + requested_folder_);
    if (!data_.isValid()) return Fail("no temporary data folder");
    data_path_ = data_.path().toStdString();

    // A data folder of its own: settings, event file and lock are the run's.
    qputenv("HOUNDEX_DATA_DIR", data_.path().toLocal8Bit());
    Startup_Facts facts = Facts();
    facts.Ini_file_path = Platform::Join_Path(data_path_, facts.Program_Name + ".ini");
    Freeze_Facts(facts);
    Write_Ini("Settings", "save_folder", folder_, Facts().Ini_file_path);
    Write_Ini("Settings", "lastcrop", Crop, Facts().Ini_file_path);
    Write_Ini("Settings", "quick_start_shown", "1", Facts().Ini_file_path);  // no official to read it
    Write_Ini("capturesettings", "friendlyname", SimVideoCap::Default_Name, Facts().Ini_file_path);
    Write_Ini("capturesettings", "videoproperty", std::to_string(Format), Facts().Ini_file_path);
    // The format's own rate: "Limit capture to 25 fps" would keep one of every two or more pictures.
    Write_Ini("capturesettings", "limit_fps", "0", Facts().Ini_file_path);

    Event_File file;
    file.Set_Path(Platform::Join_Path(data_path_, "Programme.xml"));
    if (!file.Create_Event_XML_File() || !file.Parse_XML_file()) return Fail("cannot make the event file");
    file.Set_Event_name(programme.Event);
    file.Set_day(programme.Day);
    for (size_t h = 0; h < programme.Heats.size(); ++h) {
        const int heat = static_cast<int>(h + 1);
        file.Set_Heat_Name(heat, programme.Heats[h].Name);
        file.Set_Heat_Length(heat, programme.Heats[h].Length);
        for (int box = 1; box <= 6; ++box)
            file.Set_Reg_Dog_Name(heat, box, programme.Heats[h].Dogs[static_cast<size_t>(box - 1)]);
    }
    if (!file.XML_to_File() || !Store_Event_File(file.Path())) return Fail("cannot store the event file");

    Set_Control_Box_Option("sim");
    const Sim_Pacing pacing = pacing_;
    Set_Video_Cap_Factory([this, pacing]() -> std::unique_ptr<IVideoCap> {
        auto cap = std::make_unique<SimVideoCap>(pacing);
        sim_ = cap.get();
        return cap;
    });
    Start_Sound::Set_Player([](const QByteArray&) {});  // no noise without an operator
    Set_Printer_Chooser(&chooser_);
    Platform::Set_Dialogs(&dialogs_);
    previous_reporter_ = Error_Reporter();
    Set_Error_Reporter(&reports_);
    taken_over_ = true;
    return true;
}

bool Sim_Race_Session::Wait_Until(const std::function<bool()>& done, int32_t timeout_ms) {
    const int32_t begin = Platform::PC_Mill();
    while (!done()) {
        if (Platform::Mill_Since(begin, Platform::PC_Mill()) > timeout_ms) return false;
        wait_ms_(10);
    }
    return true;
}

bool Sim_Race_Session::Load() {
    form_ = std::make_unique<Form_Houndex>();
    if (!form_->Form_Load() || form_->Terminated()) return Fail("the main window did not load");
    form_->show();
    kit_ = dynamic_cast<SimInterfaceKit*>(form_->Control_Box());
    if (!kit_ || !sim_) return Fail("no virtual Control Box or camera simulator");
    if (!Wait_Until([this] { return form_->Panel() && form_->Panel()->m_Phidget_Attached; }, 5000))
        return Fail("the virtual Control Box did not attach");
    if (!g_Use_Event_File) return Fail("the event file was not taken");
    // Inputs are ignored for a second after start-up.
    wait_ms_(1100);

    // The goal line is the finish line: vertical through its centre, in the
    // crop's picture coordinates.
    const Sim_Scene finish_size(1920, 1080);
    const int32_t x = static_cast<int32_t>(std::lround(finish_size.Finish_X())) -
                      cls_Capture_HDMI::Crop_Offset(1920, form_->Crop_Width());
    const Goal_Line_Points line{{x, form_->Crop_Height() / 10}, {x, form_->Crop_Height() * 9 / 10}};
    form_->Set_Goal_Line(1, line);
    Goal_Line::Save_Goal_line(1, line, Facts().Ini_file_path);
    return true;
}

void Sim_Race_Session::Show(int position) {
    Control<QSlider>(*form_, "Slider_play")->setValue(position);
    form_->Slider_play_Scroll();
}

void Sim_Race_Session::Close() {
    if (form_) {
        form_->Do_Close();
        form_->Houndex_End();
        form_.reset();
    }
    sim_ = nullptr;
    kit_ = nullptr;
    if (!taken_over_) return;
    taken_over_ = false;
    Set_Error_Reporter(previous_reporter_);
    Platform::Set_Dialogs(nullptr);
    Set_Printer_Chooser(nullptr);
    Set_Video_Cap_Factory({});
    Start_Sound::Set_Player({});
}
