// The race workflow of the real main window, offscreen: stepped simulated
// camera, virtual Control Box and the fake clock.
#include <gtest/gtest.h>

#include "Test_Name.h"

#include <QApplication>
#include <QAbstractSpinBox>
#include <QAbstractSlider>
#include <QAbstractButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QSlider>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QSpinBox>
#include <QTimer>
#include <QAction>
#include <QTreeWidget>

#include <filesystem>
#include <utility>
#include <memory>
#include <vector>

#include "Test_Env.h"
#include "Test_Name.h"
#include "../capture/Rateless_Video_Cap.h"
#include "capture/Capture_State.h"
#include "capture/SimVideoCap.h"
#include "capture/Stored_Frames.h"
#include "capture/Video_Cap_Factory.h"
#include "capture/cls_Capture_HDMI.h"
#include "controlbox/Control_Box_Choice.h"
#include "controlbox/Control_Box_Factory.h"
#include "controlbox/Control_Box_Panel.h"
#include "controlbox/Form_Control_Box_Select.h"
#include "controlbox/Form_Control_Box_Simulator.h"
#include "controlbox/KeysInterfaceKit.h"
#include "controlbox/SerialInterfaceKit.h"
#include "controlbox/SimInterfaceKit.h"
#include "event/Event_File.h"
#include "event/Form_Houndex_SpeakerCard.h"
#include "event/Form_event_registration.h"
#include "event/Form_heat_competitors.h"
#include "event/Module_Event_File.h"
#include "metadata/Cls_XML_header.h"
#include "platform/Files.h"
#include "platform/PictureBox.h"
#include "platform/Window_Fit.h"
#include "platform/testing/ScriptedDialogs.h"
#include "recording/Frame_Journal.h"
#include "recording/cls_VideoFile_handler.h"
#include "recording/mIntelJPEGLibrary.h"
#include "review/Form_Hdx_Results.h"
#include "review/Goal_Line.h"
#include "diagnostics/Frm_progress.h"
#include "settings/Form_Houndex_settings.h"
#include "settings/Module_Ini.h"
#include "shell/Form_Houndex.h"
#include "shell/Simulation_Banner.h"
#include "shell/Start_Sound.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"
#include "platform/Find_Control.h"

using Platform::Control;

namespace fs = std::filesystem;

namespace {

class WorkflowTest : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        g_Use_Event_File = false;
        Stored_Frames.Clear();
        Capture_State::Current_FriendlyName.clear();
        Capture_State::Current_PropertyString.clear();
        Capture_State::Running_Fps_Value = 0;
        Clear_Key_States();
        Set_Control_Box_Option("sim");
        Start_Sound::Set_Player([this](const QByteArray& wav) {
            ++plays;
            last_sound_size = wav.size();
        });
        folder = Temp_Dir();
        Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
        Write_Ini("Settings", "save_folder", folder, Facts().Ini_file_path);
        Write_Ini("capturesettings", "friendlyname", SimVideoCap::Default_Name, Facts().Ini_file_path);
        Write_Ini("capturesettings", "videoproperty", "0", Facts().Ini_file_path);
    }
    void TearDown() override {
        form.reset();
        Form_Houndex_settings::Unload();
        Set_Video_Cap_Factory({});
        Start_Sound::Set_Player({});
        Stored_Frames.Clear();
        g_Use_Event_File = false;
        Clear_Key_States();
        Hdx_Test::TearDown();
    }

    // The main window loaded with a camera of the given rate; the box has attached.
    // rate_reported: the source names its frame rate (else only a measurement gives it).
    void Load(int fps = 25, bool interlaced = true, bool rate_reported = true) {
        Set_Video_Cap_Factory([this, fps, interlaced, rate_reported]() -> std::unique_ptr<IVideoCap> {
            auto cap = std::make_unique<SimVideoCap>(Sim_Pacing::Stepped, SimVideoCap::Default_Name,
                                                     std::vector<Sim_Format>{{640, 960, fps, interlaced}});
            sim = cap.get();
            if (!rate_reported) return std::make_unique<Rateless_Video_Cap>(std::move(cap));
            return cap;
        });
        form = std::make_unique<Form_Houndex>();
        ASSERT_TRUE(form->Form_Load());
        Events();
        kit = dynamic_cast<SimInterfaceKit*>(form->Control_Box());
        ASSERT_NE(kit, nullptr);
        ASSERT_TRUE(form->Panel()->m_Phidget_Attached);
        frame_ms = 1000 / fps;
        frame_exact_ms = 1000.0 / fps;
    }
    static void Events() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }
    // n frames, the clock moving one frame period before each; returns their stamps.
    std::vector<int32_t> Frames(int n) {
        std::vector<int32_t> stamps;
        for (int i = 0; i < n; ++i) {
            // Whole milliseconds that keep the source's exact rate (60 a second: 16 or 17 apart).
            frame_phase += frame_exact_ms;
            const int step = static_cast<int>(frame_phase);
            frame_phase -= step;
            clock.Advance(step);
            sim->Step();
            stamps.push_back(form->Capture_Controller()->last_Capture_mill());
        }
        return stamps;
    }
    void Input(int index, bool level) {
        kit->Set_Input(index, level);
        Events();
    }
    // Camera started, rate measured, clear of the start-up guards.
    void Camera_Running() {
        clock.Advance(3500);
        form->Command_start_camera_Click();
        ASSERT_EQ(Control<QPushButton>(*form, "Command_start_camera")->text(), "Stop camera");
        Frames(110);
        form->Update_Running_Fps();
        ASSERT_GT(form->Capture_Controller()->Running_Fps(), 0);
    }
    // A press and release of Escape in the main window.
    void Escape() {
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent key(type, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(form.get(), &key);
        }
    }
    void Initiated() {
        Camera_Running();
        form->Command_initiate_file_Click();
        ASSERT_FALSE(form->Heat().Current_File().empty());
        ASSERT_TRUE(FileExists(form->Heat().Current_File()));
    }
    std::vector<std::string> Recordings() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().string());
        return names;
    }
    std::unique_ptr<cls_VideoFile_handler> Reader(const std::string& path) {
        auto r = std::make_unique<cls_VideoFile_handler>();
        EXPECT_TRUE(r->Open_File(path)) << path;
        return r;
    }
    void Next_Second() { clock.Advance(1000); }

    std::unique_ptr<Form_Houndex> form;
    SimVideoCap* sim = nullptr;
    SimInterfaceKit* kit = nullptr;
    std::string folder;
    int frame_ms = 40;
    double frame_exact_ms = 40;
    double frame_phase = 0;
    int plays = 0;
    qsizetype last_sound_size = 0;
};

// A programme of three heats stored as the current event file.
std::string Make_Programme(const std::string& folder, const std::string& event = "Spring Cup") {
    Event_File file;
    file.Set_Path(Platform::Join_Path(folder, "Cup.xml"));
    EXPECT_TRUE(file.Create_Event_XML_File());
    EXPECT_TRUE(file.Parse_XML_file());
    file.Set_Event_name(event);
    file.Set_day("Sat");
    for (int heat = 1; heat <= 3; ++heat) {
        file.Set_Heat_Name(heat, "Heat name " + std::to_string(heat));
        for (int b = 1; b <= 6; ++b)
            file.Set_Reg_Dog_Name(heat, b, "H" + std::to_string(heat) + " dog " + std::to_string(b));
    }
    file.Set_Heat_Length(3, "715");
    EXPECT_TRUE(file.XML_to_File());
    Store_Event_File(file.Path());
    return file.Path();
}

TEST_F(WorkflowTest, AMissingSavedSourceStartsNoCameraUntilItIsThere) {
    Write_Ini("capturesettings", "friendlyname", "Finish cam", Facts().Ini_file_path);
    Load();
    clock.Advance(3500);
    form->Command_start_camera_Click();
    EXPECT_EQ(dialogs.Messages(),
              std::vector<std::string>{"Could not find the saved Video source! Please re-select Video source!"});
    EXPECT_EQ(Control<QPushButton>(*form, "Command_start_camera")->text(), "Start camera");
    EXPECT_FALSE(form->Camera_Started());
    EXPECT_FALSE(sim->Streaming());

    // Chosen again: the next press starts it.
    Write_Ini("capturesettings", "friendlyname", SimVideoCap::Default_Name, Facts().Ini_file_path);
    clock.Advance(1000);
    form->Command_start_camera_Click();
    EXPECT_EQ(Control<QPushButton>(*form, "Command_start_camera")->text(), "Stop camera");
    EXPECT_TRUE(sim->Streaming());
}

TEST_F(WorkflowTest, AHeatFromCameraStartToFinishWritesEveryCapturedFrameInOrder) {
    Make_Programme(Temp_Dir(), "Spring-Cup, 2026");
    // Without pre-trigger a window holds exactly the frames it was open for.
    Write_Ini("Settings", "pre_trigger_ms", "0", Facts().Ini_file_path);
    Load();
    clock.Advance(3500);
    // Before the camera runs nothing is created.
    form->Command_initiate_file_Click();
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"Camera not started"});
    EXPECT_TRUE(form->Heat().Current_File().empty());
    EXPECT_TRUE(Recordings().empty());

    form->Command_start_camera_Click();
    EXPECT_EQ(Control<QPushButton>(*form, "Command_start_camera")->text(), "Stop camera");
    EXPECT_TRUE(form->Camera_Started());
    EXPECT_TRUE(Control<QTimer>(*form, "Timer_2")->isActive());

    Frames(110);
    form->Update_Running_Fps();
    EXPECT_EQ(Control<QLabel>(*form, "Label_running_fps")->text(), "25 f/s");
    EXPECT_EQ(Capture_State::Running_Fps_Value, 25);

    Control<QSpinBox>(*form, "UpDown_heat")->setValue(3);
    std::string when = Date_Time_Text();
    for (char& c : when)
        if (c == ':' || c == '-') c = '_';
    form->Command_initiate_file_Click();
    const std::string path = form->Heat().Current_File();
    EXPECT_EQ(path, Platform::Join_Path(folder, "Spring_Cup_ 2026_3_" + when + ".nx3"));
    EXPECT_EQ(Control<QLineEdit>(*form, "Text_filename")->text().toStdString(), path);
    EXPECT_EQ(Recordings(), std::vector<std::string>{path});

    // The start on input 2 keeps the moment the switch moved, not the moment it was handled.
    const int32_t switched = clock.PC_Mill();
    kit->Set_Input(2, true);
    clock.Advance(35);
    Events();
    EXPECT_TRUE(form->Heat_Running());
    EXPECT_EQ(form->Heat().Start_PC_mill(), switched);
    EXPECT_TRUE(Control<QTimer>(*form, "Timer1")->isActive());
    EXPECT_EQ(plays, 1);
    Input(2, false);

    clock.Advance(1000);
    form->Update_heat_time();
    EXPECT_EQ(Control<QLabel>(*form, "Label_heat_time")->text().toStdString(),
              Display_Mill_Time(clock.PC_Mill() - switched, false));

    std::vector<int32_t> kept;
    for (int window : {5, 3}) {
        Input(3, true);
        EXPECT_TRUE(form->Heat().Capturing());
        const auto stamps = Frames(window);
        kept.insert(kept.end(), stamps.begin(), stamps.end());
        EXPECT_EQ(Control<QLabel>(*form, "Label_Coll_count")->text(), QString::number(window));
        Input(3, false);
        EXPECT_FALSE(form->Heat().Capturing());
        EXPECT_EQ(Stored_Frames.Count(), 0);
        Frames(4);  // between the windows nothing is kept
    }
    EXPECT_TRUE(errors.errors.empty()) << errors.errors[0].description;
    // Each append ran under the progress window, which is gone again afterwards.
    ASSERT_TRUE(form->Progress_Window());
    EXPECT_EQ(form->Progress_Window()->Text_caption->text(), "Appending frames");
    EXPECT_EQ(form->Progress_Window()->ProgressBar1->value(), 100);
    EXPECT_FALSE(form->Progress_Window()->isVisible());
    EXPECT_TRUE(Control<QLabel>(*form, "Label_filesize")->text().startsWith("2/ "))
        << Control<QLabel>(*form, "Label_filesize")->text().toStdString();
    EXPECT_TRUE(Control<QLabel>(*form, "Label_filesize")->text().endsWith(" MB"));

    form->Command_finish_Click();
    EXPECT_EQ(Read_Ini("Settings", "last_file", Facts().Ini_file_path, ""), path);
    EXPECT_TRUE(form->Heat().Current_File().empty());
    EXPECT_FALSE(form->Heat_Running());
    EXPECT_EQ(Control<QPushButton>(*form, "Command_start_camera")->text(), "Start camera");
    EXPECT_FALSE(Control<QTimer>(*form, "Timer1")->isActive());

    auto r = Reader(path);
    ASSERT_EQ(r->num_Frames(), static_cast<int32_t>(kept.size()));
    for (int16_t i = 1; i <= r->num_Frames(); ++i) {
        ASSERT_TRUE(r->Read_RGB_sample(i, false)) << i;
        EXPECT_EQ(r->NX3_Capture_mill(), kept[static_cast<size_t>(i - 1)]) << i;
    }
    EXPECT_EQ(r->Hdx_start_PC_mill(), switched);
    EXPECT_EQ(r->Hdx_event(), "Spring-Cup, 2026");
    EXPECT_EQ(r->Hdx_Heat_ID(), "3");
    EXPECT_EQ(r->Hdx_Heat_Name(), "Heat name 3");
    // Made with the simulators, and the header says so.
    EXPECT_EQ(r->Phidget_serial(), std::to_string(SimInterfaceKit::kDefault_Serial) + " (simulated Control Box)");
    EXPECT_EQ(r->Capture_source(), std::string("simulated camera: ") + SimVideoCap::Default_Name);
    EXPECT_NE(r->Header().XML_string().find("<my_filename>" + path + "</my_filename>"), std::string::npos);
    EXPECT_EQ(r->Capture_property(),
              std::string(SimVideoCap::Default_Name) + " / " + Capture_State::Current_PropertyString);
}

// The live panel names what the initiated recording holds.
template <class Reader_Type>
void Expect_Panel_Shows(Form_Houndex& form, Reader_Type& r) {
    EXPECT_EQ(Control<QLabel>(form, "Label_event")->text().toStdString(), r.Hdx_event());
    EXPECT_EQ(Control<QLabel>(form, "Label_heat_name")->text().toStdString(), r.Hdx_Heat_Name());
    EXPECT_EQ(Control<QLabel>(form, "Label_heat_num")->text().toStdString(), r.Hdx_Heat_ID());
}

TEST_F(WorkflowTest, WithoutAnEventFileTheHeaderNamesTheTestHeat) {
    Load();
    Initiated();
    auto r = Reader(form->Heat().Current_File());
    EXPECT_EQ(r->Hdx_event(), "Test Event");
    EXPECT_EQ(r->Hdx_Heat_ID(), "1");
    EXPECT_EQ(r->Hdx_Heat_Name(), "Test Heat");
    // The file is named after the event and heat its header holds.
    EXPECT_EQ(fs::path(form->Heat().Current_File()).filename().string().rfind("Test Event_1_", 0), 0u)
        << form->Heat().Current_File();
    Expect_Panel_Shows(*form, *r);
    EXPECT_EQ(r->Hdx_Goal_compensation(), 200);
}

TEST_F(WorkflowTest, WithAnEventFileThePanelShowsTheHeatAndNewRecordingsCarryItsDogs) {
    Make_Programme(Temp_Dir());
    Load();
    EXPECT_TRUE(g_Use_Event_File);
    EXPECT_EQ(Control<QLabel>(*form, "Label_event")->text(), "Spring Cup");
    Control<QSpinBox>(*form, "UpDown_heat")->setValue(3);
    EXPECT_FALSE(Control<QGroupBox>(*form, "Frame_dogs_Heat")->isHidden());
    EXPECT_EQ(Control<QLabel>(*form, "Label_event_name")->text(), "Spring Cup");
    EXPECT_EQ(Control<QLabel>(*form, "Label_event_file")->text(), "Cup.xml");
    EXPECT_EQ(Control<QLabel>(*form, "Label_heat_number2")->text(), "3");
    EXPECT_EQ(Control<QLabel>(*form, "Label_heat_name2")->text(), "Heat name 3");
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(Control<QLabel>(*form, "Label_dog", static_cast<size_t>(i))->text().toStdString(),
                  "H3 dog " + std::to_string(i + 1));
    EXPECT_EQ(Control<QLabel>(*form, "Label_heat_num")->text(), "3");
    EXPECT_EQ(Control<QLabel>(*form, "Label_heat_length")->text(), "715 m");
    EXPECT_EQ(Control<QLabel>(*form, "Label_day")->text(), "Sat");
    EXPECT_EQ(Read_Ini("Settings", "Heat_ID", Facts().Ini_file_path, ""), "3");
    // Box 1's square is painted dark red.
    EXPECT_EQ(Control<Platform::PictureBox>(*form, "Picture_dognum", 0)->Canvas().pixelColor(20, 20),
              QColor(181, 0, 0));

    Initiated();
    auto r = Reader(form->Heat().Current_File());
    EXPECT_EQ(r->Hdx_event(), "Spring Cup");
    EXPECT_EQ(r->Hdx_Heat_ID(), "3");
    EXPECT_EQ(r->Hdx_Heat_Name(), "Heat name 3");
    for (int16_t b = 1; b <= 6; ++b) EXPECT_EQ(r->Hdx_Dog_name(b), "H3 dog " + std::to_string(b));
    EXPECT_EQ(r->Hdx_Heat_Length(), "715");
}

TEST_F(WorkflowTest, NoEventFileShowsTestAndNewRecordingsGetNoProgrammeNames) {
    Make_Programme(Temp_Dir());
    Load();
    Control<QSpinBox>(*form, "UpDown_heat")->setValue(2);
    form->item_No_event_file_Click();
    EXPECT_FALSE(g_Use_Event_File);
    EXPECT_TRUE(Control<QGroupBox>(*form, "Frame_dogs_Heat")->isHidden());
    // The names the next recording gets.
    EXPECT_EQ(Control<QLabel>(*form, "Label_event")->text(), "Test Event");
    EXPECT_EQ(Control<QLabel>(*form, "Label_heat_name")->text(), "Test Heat");
    EXPECT_EQ(Control<QLabel>(*form, "Label_heat_num")->text(), "1");
    EXPECT_TRUE(No_Event_Path(Stored_Event_File()));
    // The heat selector no longer shows the panel.
    Control<QSpinBox>(*form, "UpDown_heat")->setValue(3);
    EXPECT_TRUE(Control<QGroupBox>(*form, "Frame_dogs_Heat")->isHidden());

    Initiated();
    auto r = Reader(form->Heat().Current_File());
    EXPECT_EQ(r->Hdx_event(), "Test Event");
    EXPECT_EQ(r->Hdx_Heat_Name(), "Test Heat");
    Expect_Panel_Shows(*form, *r);
    Cls_XML_header fresh;
    fresh.Create_Header();
    for (int16_t b = 1; b <= 6; ++b) EXPECT_EQ(r->Hdx_Dog_name(b), fresh.Hdx_Dog_name(b));
}

TEST_F(WorkflowTest, TheFormMenuListsItsItemsInOrder) {
    Load();
    std::vector<std::string> captions;
    for (QAction* a : Control<QMenu>(*form, "menu_form")->actions())
        if (a->isVisible()) captions.push_back(a->text().toStdString());
    EXPECT_EQ(captions, (std::vector<std::string>{"Open Houndex file",
                                                  "Open last heat",
                                                  "Show result form",
                                                  "Show finish strip",
                                                  "Reset Goal line",
                                                  "Close Houndex file",
                                                  "Delete this file",
                                                  "Event registration",
                                                  "Open Event file",
                                                  "No Event File",
                                                  "Dog names",
                                                  "Displace goalline",
                                                  "Propose crossings",
                                                  "Show the assistant's candidates",
                                                  "Go to proposal",
                                                  "X-stretch",
                                                  "Show settings",
                                                  "Select Video Source",
                                                  "Control Box",
                                                  "Calibrate camera delay",
                                                  "Exit"}));
}

TEST_F(WorkflowTest, ASecondStartOnlyBeepsAndKeepsTheFirstStamps) {
    Load();
    Initiated();
    form->Command_start_heat_Click();
    const int32_t first = form->Heat().Start_PC_mill();
    const int beeps = dialogs.beeps;
    clock.Advance(1500);
    form->Command_start_heat_Click();
    EXPECT_EQ(dialogs.beeps, beeps + 1);
    bool refused = false;
    for (const auto& m : traces.Messages()) refused |= m.find("*Heat already started!!") != std::string::npos;
    EXPECT_TRUE(refused);
    EXPECT_EQ(form->Heat().Start_PC_mill(), first);
    EXPECT_EQ(Reader(form->Heat().Current_File())->Hdx_start_PC_mill(), first);
    EXPECT_EQ(plays, 1);
}

TEST_F(WorkflowTest, StartHeatButtonIsDebounced) {
    Load();
    Initiated();
    form->Command_start_heat_Click();
    ASSERT_TRUE(form->Heat_Running());
    traces.lines.clear();
    clock.Advance(999);
    form->Command_start_heat_Click();  // within the interval: not even traced
    EXPECT_FALSE(traces.Has("*Command_start_heat_Click"));
    clock.Advance(1);
    form->Command_start_heat_Click();
    EXPECT_TRUE(traces.Has("*Command_start_heat_Click"));
}

TEST_F(WorkflowTest, CaptureEndWithinThreeSecondsOfStartUpIsSkipped) {
    Load();
    Initiated();
    form->Command_start_heat_Click();
    Input(3, true);
    Frames(4);
    form->Set_Input_Guard_Mill(clock.PC_Mill() - 2000);  // as if the program had just started
    form->Handle_Capture_End();
    EXPECT_TRUE(traces.Has("Skipping Handle_Capture_end"));
    EXPECT_EQ(Reader(form->Heat().Current_File())->num_Frames(), 0);
}

TEST_F(WorkflowTest, TheHeldCaptureButtonStillCapturesWhenTheBoxHasGone) {
    Load();
    Initiated();
    form->Command_start_heat_Click();
    kit->Set_Plugged(false);
    Events();
    ASSERT_FALSE(form->Panel()->m_Phidget_Attached);
    EXPECT_TRUE(form->Heat_Running());  // unplugging leaves the heat running
    form->Cmd_capture_MouseDown();
    EXPECT_TRUE(form->Heat().Capturing());
    const auto kept = Frames(5);
    clock.Advance(400);
    form->Cmd_capture_MouseUp();
    EXPECT_FALSE(form->Heat().Capturing());
    auto r = Reader(form->Heat().Current_File());
    ASSERT_EQ(r->num_Frames(), 5);
    ASSERT_TRUE(r->Read_RGB_sample(5, false));
    EXPECT_EQ(r->NX3_Capture_mill(), kept.back());
}

TEST_F(WorkflowTest, CaptureStartIsRefusedWithoutCameraOrFile) {
    Load();
    clock.Advance(3500);
    form->Cmd_capture_MouseDown();
    EXPECT_TRUE(traces.Has("*Cameras not running"));
    form->Command_start_camera_Click();
    clock.Advance(400);
    form->Cmd_capture_MouseDown();
    EXPECT_TRUE(traces.Has("*No file initiated"));
    EXPECT_FALSE(form->Heat().Capturing());
    EXPECT_EQ(dialogs.beeps, 2);
    // With a file but no running heat the press is ignored without a beep.
    Frames(110);
    form->Command_initiate_file_Click();
    ASSERT_FALSE(form->Heat().Current_File().empty());
    clock.Advance(400);
    form->Cmd_capture_MouseDown();
    EXPECT_FALSE(form->Heat().Capturing());
    EXPECT_EQ(dialogs.beeps, 2);
}

// The capture window lasts while the button is held: a quick click is told so.
struct Capture_Hold {
    const char* name;
    int held_ms;
    bool told;
};
void PrintTo(const Capture_Hold& c, std::ostream* os) { *os << c.name; }
class WorkflowCaptureHoldTest : public WorkflowTest, public ::testing::WithParamInterface<Capture_Hold> {};

TEST_P(WorkflowCaptureHoldTest, AQuickClickOnCaptureSaysItMustBeHeld) {
    const Capture_Hold c = GetParam();
    Load();
    Initiated();
    form->Command_start_heat_Click();
    ASSERT_TRUE(form->Heat_Running());
    QPushButton* button = Control<QPushButton>(*form, "Cmd_capture");
    const auto mouse = [&](QEvent::Type type) {
        QMouseEvent e(type, QPointF(5, 5), button->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(button, &e);
    };
    clock.Advance(400);
    mouse(QEvent::MouseButtonPress);
    ASSERT_TRUE(form->Heat().Capturing());
    Frames(c.held_ms / frame_ms);
    mouse(QEvent::MouseButtonRelease);
    EXPECT_FALSE(form->Heat().Capturing());
    const std::string status = Control<QLabel>(*form, "Label_status")->text().toStdString();
    EXPECT_EQ(status.rfind("Hold Capture down while the dogs cross", 0) == 0, c.told) << status;
}
INSTANTIATE_TEST_SUITE_P(Holds, WorkflowCaptureHoldTest,
                         ::testing::Values(Capture_Hold{"QuickClick", 120, true},
                                           Capture_Hold{"HeldWhileTheDogsCross", 2000, false}),
                         By_Name());

TEST_F(WorkflowTest, TheSourcesRateLetsTheFileBeInitiatedAndTheHeatStartAtOnce) {
    Write_Ini("capturesettings", "limit_fps", "0", Facts().Ini_file_path);
    Load(50, false);
    clock.Advance(3500);
    form->Command_start_camera_Click();
    Frames(1);
    form->Command_initiate_file_Click();
    ASSERT_FALSE(form->Heat().Current_File().empty());
    EXPECT_TRUE(dialogs.Messages().empty());
    EXPECT_EQ(Reader(form->Heat().Current_File())->Measured_fps(), 50);
    clock.Advance(1000);
    form->Command_start_heat_Click();
    EXPECT_TRUE(form->Heat_Running());
}

struct Waiting_Case {
    const char* name;
    bool rate_reported;
    bool camera_started;
    const char* message;
};
void PrintTo(const Waiting_Case& c, std::ostream* os) { *os << c.name; }
class WorkflowWaitingTest : public WorkflowTest, public ::testing::WithParamInterface<Waiting_Case> {};

TEST_P(WorkflowWaitingTest, InitiationSaysWhatItWaitsForAndMakesNoFile) {
    const Waiting_Case c = GetParam();
    Load(25, true, c.rate_reported);
    clock.Advance(3500);
    if (c.camera_started) form->Command_start_camera_Click();
    Frames(10);
    form->Command_initiate_file_Click();
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{c.message});
    EXPECT_TRUE(form->Heat().Current_File().empty());
    EXPECT_TRUE(Recordings().empty());
}
INSTANTIATE_TEST_SUITE_P(
    Waits, WorkflowWaitingTest,
    ::testing::Values(Waiting_Case{"CameraNeverStarted", true, false, "Camera not started"},
                      Waiting_Case{"SourceNamesNoRateAndNoneMeasuredYet", false, true,
                                   "Waiting to measure camera fps!\n(See display under the rotating arm!)"}),
    By_Name());

struct Rate_Case {
    const char* name;
    int fps;
    bool interlaced_source;
    bool scan_reported;  // else the source names neither its scan nor its rate
    bool marked_interlaced;
    bool by_field;  // reviewed field by field
};
class WorkflowRateTest : public WorkflowTest, public ::testing::WithParamInterface<Rate_Case> {};

// The recording is marked as its source is scanned (the old rule, every rate
// but 40 interlaced, only where the source does not say), and reviewed so: an
// interlaced one field by field, any other picture by picture, every
// position's time from its own frame's stamp.
TEST_P(WorkflowRateTest, TheRecordingIsMarkedAndReviewedAsItsSourceIsScanned) {
    const Rate_Case c = GetParam();
    Write_Ini("capturesettings", "limit_fps", "0", Facts().Ini_file_path);
    Write_Ini("Settings", "pre_trigger_ms", "0", Facts().Ini_file_path);
    Load(c.fps, c.interlaced_source, c.scan_reported);
    Initiated();
    EXPECT_EQ(form->Capture_Controller()->Running_Fps(), c.fps);
    const std::string path = form->Heat().Current_File();
    EXPECT_EQ(Reader(path)->Header().RGB_interlaced(), c.marked_interlaced);

    clock.Advance(1000);
    form->Command_start_heat_Click();
    ASSERT_TRUE(form->Heat_Running());
    const int32_t start = form->Heat().Start_PC_mill();
    Input(3, true);
    const std::vector<int32_t> kept = Frames(6);
    Input(3, false);
    form->Command_finish_Click();
    EXPECT_EQ(Reader(path)->Measured_fps(), c.fps) << "the recording keeps its source's rate";
    form->Handle_Open(path);
    ASSERT_TRUE(form->Review_File_Open());

    const int per_frame = c.by_field ? 2 : 1;
    EXPECT_EQ(form->Field_Mode(), c.by_field);
    QSlider* slider = Control<QSlider>(*form, "Slider_play");
    ASSERT_EQ(slider->maximum(), 6 * per_frame);
    const double compensation = form->Review_Handler()->Hdx_Goal_compensation();
    const int32_t second_field = static_cast<int32_t>(std::lround(500.0 / c.fps));
    for (int p = 1; p <= slider->maximum(); ++p) {
        slider->setValue(p);
        form->Slider_play_Scroll();
        const int32_t stamp = kept[static_cast<size_t>((p - 1) / per_frame)];
        const int32_t offset = per_frame == 2 && p % 2 == 0 ? second_field : 0;
        EXPECT_EQ(form->Heat_Elapsed(), static_cast<int32_t>(std::lround(stamp - start + 2 + offset - compensation)))
            << "position " << p;
    }
}
INSTANTIATE_TEST_SUITE_P(Rates, WorkflowRateTest,
                         ::testing::Values(Rate_Case{"Interlaced25", 25, true, true, true, true},
                                           Rate_Case{"Progressive25", 25, false, true, false, false},
                                           Rate_Case{"Progressive50", 50, false, true, false, false},
                                           Rate_Case{"Progressive60", 60, false, true, false, false},
                                           Rate_Case{"Progressive120", 120, false, true, false, false},
                                           Rate_Case{"Unsaid25", 25, false, false, true, true},
                                           Rate_Case{"Unsaid40", 40, false, false, false, false},
                                           // Marked as ever, and reviewed as a 50-frame recording always was.
                                           Rate_Case{"Unsaid50", 50, false, false, true, false}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(WorkflowTest, AbortShowsAbortedAndANewStartRestampsTheSameFile) {
    Load();
    Initiated();
    const std::string path = form->Heat().Current_File();
    form->Command_start_heat_Click();
    const int32_t first = form->Heat().Start_PC_mill();

    // Cancel keeps the heat.
    Escape();
    EXPECT_TRUE(form->Heat_Running());
    dialogs.Answer_Message(Platform::MsgResult::OK);
    Escape();
    ASSERT_GE(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown.back().text, "Aborting heat  are you sure?");
    EXPECT_EQ(dialogs.shown.back().title, "Houndex HDMI Aborting Heat");
    EXPECT_EQ(dialogs.shown.back().buttons, Platform::MsgButtons::OKCancel);
    EXPECT_FALSE(form->Heat_Running());
    EXPECT_EQ(Control<QLabel>(*form, "Label_heat_time")->text(), "Aborted");
    form->Update_heat_time();
    EXPECT_EQ(Control<QLabel>(*form, "Label_heat_time")->text(), "Aborted");
    EXPECT_TRUE(Control<QTimer>(*form, "Timer1")->isActive());
    EXPECT_EQ(form->Heat().Current_File(), path);

    clock.Advance(2000);
    form->Command_start_heat_Click();
    EXPECT_TRUE(form->Heat_Running());
    EXPECT_EQ(form->Heat().Start_PC_mill(), first + 2000);
    EXPECT_EQ(Reader(path)->Hdx_start_PC_mill(), form->Heat().Start_PC_mill());
    EXPECT_EQ(Recordings().size(), 1u);
}

TEST_F(WorkflowTest, InputChangesRightAfterStartUpAreIgnored) {
    Load();
    Initiated();
    form->Set_Input_Guard_Mill(clock.PC_Mill() - 500);
    traces.lines.clear();
    Input(2, true);
    EXPECT_FALSE(form->Heat_Running());
    EXPECT_FALSE(traces.Has("*obj_Phidget_OnInputChange, Index = 2 NewState = True"));
    Input(2, false);
    clock.Advance(600);
    Input(2, true);
    EXPECT_TRUE(form->Heat_Running());
}

TEST_F(WorkflowTest, BothEdgesOfTheRemoteContactWithTheLeverArmedStartOnce) {
    Load();
    Initiated();
    Input(1, true);
    EXPECT_FALSE(form->Heat_Running());
    const int beeps = dialogs.beeps;
    Input(0, true);
    EXPECT_TRUE(form->Heat_Running());
    const int32_t first = form->Heat().Start_PC_mill();
    clock.Advance(300);
    // Letting the contact go ends the same press: no refusal, no beep.
    Input(0, false);
    form->Update_Status();
    EXPECT_EQ(form->Heat().Start_PC_mill(), first);
    EXPECT_EQ(dialogs.beeps, beeps);
    EXPECT_EQ(Control<QLabel>(*form, "Label_status")->text().toStdString().rfind("Heat running: ", 0), 0u);
    EXPECT_EQ(plays, 1);
    // A new press while the heat runs is refused, as every second start is.
    clock.Advance(600);
    Input(0, true);
    EXPECT_EQ(form->Heat().Start_PC_mill(), first);
    EXPECT_EQ(dialogs.beeps, beeps + 1);
    EXPECT_EQ(Control<QLabel>(*form, "Label_status")->text().toStdString(),
              "Start refused: the heat is already running");
}

TEST_F(WorkflowTest, AControlBoxLostDuringAHeatIsARedAlarmUntilItIsBack) {
    Load();
    Initiated();
    form->Command_start_heat_Click();
    ASSERT_TRUE(form->Heat_Running());
    kit->Set_Plugged(false);
    Events();
    form->Update_Status();
    const QLabel* status_line = Control<QLabel>(*form, "Label_status");
    EXPECT_EQ(status_line->text().toStdString().rfind("Control Box lost", 0), 0u) << status_line->text().toStdString();
    EXPECT_TRUE(status_line->styleSheet().contains("192, 0, 0"));
    const QLabel* box = form->Box_Controls().Label_attached;
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text().toStdString(), "Control Box lost: not attached");
    EXPECT_EQ(box->palette().color(QPalette::WindowText), QColor(255, 0, 0));

    kit->Set_Plugged(true);
    Events();
    form->Update_Status();
    EXPECT_EQ(status_line->text().toStdString().rfind("Heat running: ", 0), 0u) << status_line->text().toStdString();
    EXPECT_TRUE(status_line->styleSheet().isEmpty());
}

// However the heat began, the lever's "Start not armed!" warning goes while it runs.
struct Start_Way {
    const char* name;
    bool by_box;
};
void PrintTo(const Start_Way& c, std::ostream* os) { *os << c.name; }
class WorkflowStartWarningTest : public WorkflowTest, public ::testing::WithParamInterface<Start_Way> {};

TEST_P(WorkflowStartWarningTest, TheNotArmedWarningGoesOnceTheHeatRuns) {
    Load();
    Initiated();
    form->Update_Status();
    const QLabel* lever = form->Box_Controls().Label_remote_start;
    ASSERT_NE(lever, nullptr);
    EXPECT_EQ(lever->text(), "Start not armed!");
    EXPECT_FALSE(lever->isHidden());
    if (GetParam().by_box)
        Input(2, true);
    else
        form->Command_start_heat_Click();
    ASSERT_TRUE(form->Heat_Running());
    form->Update_Status();
    EXPECT_TRUE(lever->isHidden()) << lever->text().toStdString();
}
INSTANTIATE_TEST_SUITE_P(Ways, WorkflowStartWarningTest,
                         ::testing::Values(Start_Way{"StartHeatButton", false}, Start_Way{"BoxStartInput", true}),
                         By_Name());

TEST_F(WorkflowTest, RemoteContactWithoutTheLeverStartsNothing) {
    Load();
    Initiated();
    Input(0, true);
    EXPECT_FALSE(form->Heat_Running());
    EXPECT_TRUE(kit->OutputState(0));  // the LED follows the contact
    Input(0, false);
    EXPECT_FALSE(kit->OutputState(0));
}

TEST_F(WorkflowTest, StartWithoutAFileIsRefused) {
    Load();
    Camera_Running();
    form->Command_start_heat_Click();
    EXPECT_FALSE(form->Heat_Running());
    bool refused = false;
    for (const auto& m : traces.Messages()) refused |= m.find("*No current file!!") != std::string::npos;
    EXPECT_TRUE(refused);
    EXPECT_TRUE(Recordings().empty());
}

TEST_F(WorkflowTest, TickingAutoInitiationStoresItAndTheNextStartInitiatesAFile) {
    Load();
    Camera_Running();
    form->item_show_settings_Click();
    Form_Houndex_settings* settings = Form_Houndex_settings::Loaded();
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(settings->isVisible());
    settings->Check_Auto_init->click();
    EXPECT_EQ(Read_Ini("Settings", "auto_init", Facts().Ini_file_path, ""), "1");
    const int32_t pressed = clock.PC_Mill();
    form->Command_start_heat_Click();
    EXPECT_TRUE(form->Heat_Running());
    ASSERT_EQ(Recordings().size(), 1u);
    EXPECT_EQ(Recordings()[0], form->Heat().Current_File());
    EXPECT_EQ(Reader(form->Heat().Current_File())->Hdx_start_PC_mill(), pressed);
}

TEST_F(WorkflowTest, AutoInitiationThatMakesNoFileRefusesTheStart) {
    Write_Ini("Settings", "auto_init", "1", Facts().Ini_file_path);
    Load(25, true, false);
    clock.Advance(3500);
    form->Command_start_camera_Click();  // the source names no rate and none is measured yet
    const int beeps = dialogs.beeps;
    form->Command_start_heat_Click();
    EXPECT_FALSE(form->Heat_Running());
    EXPECT_FALSE(Control<QTimer>(*form, "Timer1")->isActive());
    EXPECT_EQ(form->Heat().Start_PC_mill(), 0);
    EXPECT_EQ(dialogs.beeps, beeps + 1);
    EXPECT_TRUE(Recordings().empty());
    EXPECT_EQ(plays, 0);
}

TEST_F(WorkflowTest, ASecondInitiationReplacesAnUntouchedFileButNeverARacedOne) {
    Load();
    Initiated();
    const std::string first = form->Heat().Current_File();
    clock.Advance(1000);
    form->Command_initiate_file_Click();
    const std::string second = form->Heat().Current_File();
    EXPECT_NE(second, first);
    EXPECT_EQ(Recordings(), std::vector<std::string>{second});  // no empty recording left behind

    form->Command_start_heat_Click();
    clock.Advance(1000);
    form->Command_initiate_file_Click();
    EXPECT_EQ(form->Heat().Current_File(), second);
    EXPECT_EQ(Recordings(), std::vector<std::string>{second});
    EXPECT_EQ(Control<QLabel>(*form, "Label_status")->text(),
              "Initiate refused: the heat under way has its file; finish it first");
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(WorkflowTest, WithoutAnEventTheNameHasHeatOneAndNeverTakesAnExistingFile) {
    Load();
    Camera_Running();
    std::string when = Date_Time_Text();
    for (char& c : when)
        if (c == ':' || c == '-') c = '_';
    const std::string taken = Platform::Join_Path(folder, "Test Event_1_" + when + ".nx3");
    ASSERT_TRUE(Platform::Write_File_Atomic(taken, "another recording"));
    form->Command_initiate_file_Click();
    EXPECT_EQ(form->Heat().Current_File(), taken.substr(0, taken.size() - 4) + "_2.nx3");
    EXPECT_EQ(Read_Text(taken), "another recording");
}

TEST_F(WorkflowTest, AHeatRunsWhateverTheSignOfTheClock) {
    Load();
    Initiated();
    for (int32_t at : {-2000000000, -1, 0, 2147480000}) {
        // The clock is set back and forth here, so the start comes the way the
        // box delivers it (a stamped signal), not through the debounced button.
        clock.Set_PC_Mill(at);
        form->Handle_Start(clock.PC_Mill());
        EXPECT_TRUE(form->Heat_Running()) << at;
        EXPECT_EQ(form->Heat().Start_PC_mill(), at);
        clock.Advance(83450);  // across the wrap for the last one
        form->Update_heat_time();
        EXPECT_EQ(Control<QLabel>(*form, "Label_heat_time")->text(), " 01:23,45") << at;
        clock.Advance(1000);
        form->Handle_Start(clock.PC_Mill());
        EXPECT_EQ(form->Heat().Start_PC_mill(), at) << "a second start is refused";
        form->Do_Abort();  // answered with the default: cancel
        EXPECT_TRUE(form->Heat_Running());
        dialogs.Answer_Message(Platform::MsgResult::OK);
        form->Do_Abort();
        EXPECT_FALSE(form->Heat_Running());
        clock.Advance(1000);
    }
}

TEST_F(WorkflowTest, TheStatusLineFollowsTheHeatFromCameraStartToReview) {
    Load();
    const auto status = [this] {
        form->Update_Status();
        return Control<QLabel>(*form, "Label_status")->text().toStdString();
    };
    EXPECT_EQ(status(), "Camera stopped");
    Camera_Running();
    EXPECT_EQ(status(), "Camera running, no file");
    form->Command_initiate_file_Click();
    const std::string path = form->Heat().Current_File();
    const std::string name = fs::path(path).filename().string();
    EXPECT_EQ(status(), "File initiated: " + name);
    form->Command_start_heat_Click();
    EXPECT_EQ(status(), "Heat running: " + name);
    Input(3, true);
    Frames(4);
    EXPECT_EQ(Control<QLabel>(*form, "Label_status")->text().toStdString(), "Capturing 4 frames");
    // Shown while the frames are written, though no event runs then.
    std::string while_written;
    QObject::connect(&form->Heat(), &Heat_Controller::Changed, form.get(), [&] {
        if (form->Heat().Appending() && while_written.empty())
            while_written = Control<QLabel>(*form, "Label_status")->text().toStdString();
    });
    Input(3, false);
    EXPECT_EQ(while_written, "Appending 4 frames to " + name);
    form->Command_finish_Click();
    EXPECT_EQ(status(), "Camera stopped. Saved as " + name);
    form->Handle_Open(path);
    EXPECT_EQ(status(), "Reviewing " + name);
}

TEST_F(WorkflowTest, ARefusedActionSaysWhyOnTheStatusLineForAFewSeconds) {
    Load();
    const auto status = [this] {
        form->Update_Status();
        return Control<QLabel>(*form, "Label_status")->text().toStdString();
    };
    struct Step {
        const char* action;
        std::function<void()> run;
        const char* says;
        int beeps;  // the refusals that beep keep their beep
    };
    const Step steps[] = {
        {"capture, camera stopped", [this] { form->Cmd_capture_MouseDown(); }, "Capture refused: camera not running",
         1},
        {"start, no file",
         [this] {
             Camera_Running();
             form->Command_start_heat_Click();
         },
         "Start refused: no file initiated", 1},
        {"capture, no file", [this] { form->Cmd_capture_MouseDown(); }, "Capture refused: no file initiated", 1},
        {"capture, no heat",
         [this] {
             form->Command_initiate_file_Click();
             form->Cmd_capture_MouseDown();
         },
         "Capture refused: no heat running", 0},
        {"box trigger, box gone",
         [this] {
             form->Command_start_heat_Click();
             kit->Set_Plugged(false);
             Events();
             form->Handle_Capture_Start();
         },
         "Capture refused: Control Box not attached", 0},
        {"second start", [this] { form->Command_start_heat_Click(); }, "Start refused: the heat is already running", 1},
    };
    for (const Step& s : steps) {
        clock.Advance(1000);  // clear of every debounce
        const int beeps = dialogs.beeps;
        s.run();
        EXPECT_EQ(status(), s.says) << s.action;
        EXPECT_EQ(dialogs.beeps, beeps + s.beeps) << s.action;
    }
    clock.Advance(Form_Houndex::Refusal_Shown_Mill);
    // The refusal gone, the heat's line stays; without a box attached it says first that no trigger comes.
    EXPECT_EQ(status().rfind("Control Box lost: ", 0), 0u) << status();
    EXPECT_NE(status().find("Heat running: "), std::string::npos) << status();
}

struct Exit_Case {
    const char* name;
    bool heat_running;
    bool capturing;
    bool close_box;  // the window's close box, else "Exit" (Ctrl+X)
    Platform::MsgResult answer;
    bool asks;
    bool ends;
};
void PrintTo(const Exit_Case& c, std::ostream* os) { *os << c.name; }
class WorkflowExitTest : public WorkflowTest, public ::testing::WithParamInterface<Exit_Case> {};

TEST_P(WorkflowExitTest, EndingAskedWhileAHeatRunsAndTheInitiatedFileStaysTheLastHeat) {
    const Exit_Case c = GetParam();
    Load();
    Write_Ini("Settings", "last_file", "heat before.nx3", Facts().Ini_file_path);
    Initiated();
    const std::string path = form->Heat().Current_File();
    if (c.heat_running) form->Command_start_heat_Click();
    if (c.capturing) {
        Input(3, true);
        Frames(3);
    }
    dialogs.Answer_Message(c.answer);
    if (c.close_box)
        form->close();
    else
        Control<QAction>(*form, "item_Exit")->trigger();
    const auto asked = dialogs.Messages();
    EXPECT_EQ(!asked.empty() && asked.back() == "A heat is running. Exit Houndex anyway?", c.asks);
    EXPECT_EQ(form->Terminated(), c.ends);
    EXPECT_EQ(Read_Ini("Settings", "last_file", Facts().Ini_file_path, ""), c.ends ? path : "heat before.nx3");
    if (c.ends) {
        EXPECT_EQ(Reader(path)->num_Frames(), c.capturing ? 3 : 0);
    }
}
INSTANTIATE_TEST_SUITE_P(
    Exits, WorkflowExitTest,
    ::testing::Values(Exit_Case{"CloseBoxCancelled", true, false, true, Platform::MsgResult::Cancel, true, false},
                      Exit_Case{"ExitCancelled", true, false, false, Platform::MsgResult::Cancel, true, false},
                      Exit_Case{"CloseBoxWhileCapturingConfirmed", true, true, true, Platform::MsgResult::OK, true,
                                true},
                      Exit_Case{"ExitWithAFileButNoHeat", false, false, false, Platform::MsgResult::OK, false, true}),
    By_Name());

TEST_F(WorkflowTest, HeatFinishWithoutAHeatStopsTheCameraAndStoresAnEmptyLastFile) {
    Load();
    Camera_Running();
    Write_Ini("Settings", "last_file", "old.nx3", Facts().Ini_file_path);
    form->Command_finish_Click();
    EXPECT_EQ(Control<QPushButton>(*form, "Command_start_camera")->text(), "Start camera");
    EXPECT_FALSE(sim->Streaming());
    EXPECT_EQ(Read_Ini("Settings", "last_file", Facts().Ini_file_path, "N/A"), "N/A");
    EXPECT_TRUE(traces.Has("*Stop_Camera"));
}

TEST_F(WorkflowTest, LiveViewToggleNamesTheNextAction) {
    Load();
    Camera_Running();
    form->cmd_live_view_Click();
    EXPECT_EQ(Control<QPushButton>(*form, "cmd_live_view")->text(), "Live view on");
    EXPECT_FALSE(form->Camera_Started());
    clock.Advance(200);
    form->cmd_live_view_Click();  // debounced
    EXPECT_EQ(Control<QPushButton>(*form, "cmd_live_view")->text(), "Live view on");
    clock.Advance(100);
    form->cmd_live_view_Click();
    EXPECT_EQ(Control<QPushButton>(*form, "cmd_live_view")->text(), "Live view off");
    EXPECT_TRUE(form->Camera_Started());
}

struct Crop_Case {
    int index;
    const char* caption;
    int width, height;
};
class WorkflowCropTest : public WorkflowTest, public ::testing::WithParamInterface<Crop_Case> {};

TEST_P(WorkflowCropTest, CropSizeResizesThePictureAndIsRemembered) {
    Load();
    const Crop_Case c = GetParam();
    form->item_crop_size_Click(c.index);
    EXPECT_EQ(form->Crop_Width(), c.width);
    EXPECT_EQ(form->Crop_Height(), c.height);
    EXPECT_EQ(form->Selected_Crop_Text(), c.caption);
    EXPECT_EQ(Read_Ini("Settings", "lastcrop", Facts().Ini_file_path, ""), c.caption);
    // The picture keeps the crop's units and is shown at the size the screen leaves.
    EXPECT_EQ(Control<Platform::PictureBox>(*form, "Picture_out")->Scale_Width(), c.width + 4);
    EXPECT_EQ(Control<Platform::PictureBox>(*form, "Picture_out")->Scale_Height(), c.height + 4);
    EXPECT_LE(Control<Platform::PictureBox>(*form, "Picture_out")->height(),
              std::min(form->Max_Picture_Height(), c.height + 4));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Control<QAction>(*form, "item_crop_size", static_cast<size_t>(i))->isChecked(), i == c.index);
}
INSTANTIATE_TEST_SUITE_P(Crops, WorkflowCropTest,
                         ::testing::Values(Crop_Case{0, "400*880", 400, 880}, Crop_Case{1, "600*1080", 600, 1080},
                                           Crop_Case{2, "576*720", 576, 720}),
                         [](const auto& param_info) {
                             return "Crop" + std::to_string(param_info.param.width) + "x" +
                                    std::to_string(param_info.param.height);
                         });

TEST_F(WorkflowTest, CaptureFolderComesFromTheSettingsAndAMissingOneIsReported) {
    Write_Ini("Settings", "save_folder", Path("no such folder"), Facts().Ini_file_path);
    Load();
    EXPECT_EQ(Control<QLabel>(*form, "Label_capture_folder")->text().toStdString(), Path("no such folder"));
    form->Validate_Folder();
    EXPECT_EQ(dialogs.Messages().back(), "Capture folder does not exist!");
    dialogs.Answer_Folder(folder);
    form->Label_capture_folder_Click();
    EXPECT_EQ(form->Capture_Folder(), folder);
    EXPECT_EQ(Read_Ini("Settings", "save_folder", Facts().Ini_file_path, ""), folder);
    form->Validate_Folder();
    EXPECT_TRUE(Recordings().empty());  // the probe file is gone again
}

TEST_F(WorkflowTest, AFreshInstallHasALineThroughTheMiddleOfTheCropAndRecordingsCarryIt) {
    Load();
    const Goal_Line_Points middle{{200, 88}, {200, 792}};
    EXPECT_EQ(form->Goal_Lines()[1], middle);
    EXPECT_EQ(form->Goal_Lines()[2], middle);
    Initiated();
    auto r = Reader(form->Heat().Current_File());
    EXPECT_EQ(r->Hdx_Goal_Finish(), "200,88,200,792");
    EXPECT_EQ(r->Hdx_Goal_Split(), "200,88,200,792");
    EXPECT_TRUE(Control<QLabel>(*form, "Label_line_warning")->isHidden());
}

struct Crop_Line_Case {
    const char* name;
    const char* stored;  // the line before, "" for none
    int crop_index;
    Goal_Line_Points expected;
};
void PrintTo(const Crop_Line_Case& c, std::ostream* os) { *os << c.name; }
class WorkflowCropLineTest : public WorkflowTest, public ::testing::WithParamInterface<Crop_Line_Case> {};

TEST_P(WorkflowCropLineTest, ACropChangeKeepsTheLineOnItsPlaceInTheScene) {
    const Crop_Line_Case c = GetParam();
    if (*c.stored) Write_Ini("Goal_lines", "Goal_line1", c.stored, Facts().Ini_file_path);
    Load();  // 400*880
    form->item_crop_size_Click(c.crop_index);
    EXPECT_EQ(form->Goal_Lines()[1], c.expected);
    Goal_Line_Points saved;
    ASSERT_TRUE(Goal_Line::Read_Goal_Line(1, saved, Facts().Ini_file_path));
    EXPECT_EQ(saved, c.expected);
}
INSTANTIATE_TEST_SUITE_P(
    Crops, WorkflowCropLineTest,
    ::testing::Values(Crop_Line_Case{"MiddleTo600x1080", "", 1, {{300, 188}, {300, 892}}},
                      Crop_Line_Case{"MiddleTo576x720", "", 2, {{288, 8}, {288, 712}}},
                      Crop_Line_Case{"OffCentreTo600x1080", "150,100,150,800", 1, {{250, 200}, {250, 900}}},
                      Crop_Line_Case{"EndsOutsideTheSmallerCropStayInside", "20,10,20,870", 2, {{108, 1}, {108, 719}}}),
    By_Name());

TEST_F(WorkflowTest, TheLiveViewWarnsWhileTheLineIsOffThePicture) {
    Load();
    Camera_Running();
    EXPECT_TRUE(Control<QLabel>(*form, "Label_line_warning")->isHidden());
    form->Set_Goal_Line(1, {{700, 10}, {700, 500}});  // right of the 404-wide picture
    Frames(1);
    EXPECT_FALSE(Control<QLabel>(*form, "Label_line_warning")->isHidden());
    form->Reset_Goal_Line(1);
    Frames(1);
    EXPECT_TRUE(Control<QLabel>(*form, "Label_line_warning")->isHidden());
}

TEST_F(WorkflowTest, UntilAFolderIsChosenRecordingsGoToHoundexInTheVideosFolder) {
    // A home of the test's own, so that no real videos folder is touched.
    struct Env {
        const char* name;
        std::string old;
        bool had;
    };
    std::vector<Env> saved;
    const std::string home = Temp_Dir();
    for (const auto& [name, value] :
         {std::pair<const char*, std::string>{"HOME", home}, {"XDG_CONFIG_HOME", home + "/.config"}}) {
        const char* old = std::getenv(name);
        saved.push_back({name, old ? old : "", old != nullptr});
        setenv(name, value.c_str(), 1);
    }
    Write_Ini("Settings", "save_folder", "", Facts().Ini_file_path);
    Load();
    const std::string videos = Platform::Join_Path(Platform::Join_Path(home, "Videos"), "Houndex");
    EXPECT_EQ(Control<QLabel>(*form, "Label_capture_folder")->text().toStdString(), videos);
    EXPECT_FALSE(Platform::Folder_Exists(videos));  // made when first needed
    Initiated();
    EXPECT_EQ(fs::path(form->Heat().Current_File()).parent_path().string(), videos);
    EXPECT_TRUE(dialogs.Messages().empty());
    for (const Env& e : saved) {
        if (e.had)
            setenv(e.name, e.old.c_str(), 1);
        else
            unsetenv(e.name);
    }
}

TEST(StartSoundTest, TheEmbeddedSoundIsAShortEightBitMonoPcmWave) {
    const QByteArray wav = Start_Sound::Wav();
    ASSERT_EQ(wav.size(), 1940);
    auto u16 = [&](int at) { return uint8_t(wav[at]) | uint8_t(wav[at + 1]) << 8; };
    auto u32 = [&](int at) { return uint32_t(u16(at)) | uint32_t(u16(at + 2)) << 16; };
    EXPECT_EQ(wav.left(4), "RIFF");
    EXPECT_EQ(wav.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(u16(20), 1);       // PCM
    EXPECT_EQ(u16(22), 1);       // mono
    EXPECT_EQ(u32(24), 11025u);  // samples per second
    EXPECT_EQ(u16(34), 8);       // bits per sample
    EXPECT_EQ(wav.mid(36, 4), "data");
    EXPECT_EQ(u32(40), 1940u - 44u);
}

TEST(StartSoundTest, PlayingReturnsAtOnceAndAFailingSinkIsIgnored) {
    EXPECT_TRUE(Start_Sound::Play_Gst(Start_Sound::Wav(), "fakesink"));
    EXPECT_TRUE(Start_Sound::Play_Gst(Start_Sound::Wav(), "fakesink"));  // replaces the first
    Start_Sound::Release();
    EXPECT_FALSE(Start_Sound::Play_Gst(Start_Sound::Wav(), "no-such-sink-element"));
    EXPECT_FALSE(Start_Sound::Play_Gst(QByteArray(), "fakesink"));
}

}  // namespace

// --- Heat after heat: every frame and stamp in the heat's own file -------------------------

class RaceDayTest : public WorkflowTest {
protected:
    void TearDown() override {
        Platform::Set_Yield_Hook({});
        WorkflowTest::TearDown();
    }
    // A heat of `frames` captured frames, started, captured and finished; the camera is stopped after.
    std::string Record_Heat(int frames) {
        form->Command_initiate_file_Click();
        const std::string path = form->Heat().Current_File();
        clock.Advance(1000);
        form->Command_start_heat_Click();
        Input(3, true);
        Frames(frames);
        Input(3, false);
        form->Command_finish_Click();
        return path;
    }
    void Restart_Camera() {
        clock.Advance(1000);
        form->Command_start_camera_Click();
        ASSERT_EQ(Control<QPushButton>(*form, "Command_start_camera")->text(), "Stop camera");
        Frames(110);  // the rate is measured again
    }
    void Start() {
        clock.Advance(1000);
        form->Command_start_heat_Click();
        ASSERT_TRUE(form->Heat_Running());
    }
    std::vector<int32_t> Stored_Stamps(const std::string& path) {
        std::vector<int32_t> stamps;
        auto r = Reader(path);
        for (int16_t i = 1; i <= r->num_Frames(); ++i) {
            EXPECT_TRUE(r->Read_RGB_sample(i, false)) << i;
            stamps.push_back(r->NX3_Capture_mill());
        }
        return stamps;
    }
    static std::string Bytes(const std::string& path) {
        std::string b;
        EXPECT_TRUE(Platform::Read_File(path, b));
        return b;
    }
    bool Traced(const std::string& text) const {
        for (const auto& m : traces.Messages())
            if (m.find(text) != std::string::npos) return true;
        return false;
    }
};

TEST_F(RaceDayTest, AReviewedRecordingNeverReceivesTheNextHeatNorLendsItsNames) {
    Make_Programme(Temp_Dir());
    Load();
    Control<QSpinBox>(*form, "UpDown_heat")->setValue(2);
    Camera_Running();
    const std::string heat2 = Record_Heat(4);
    const std::string heat2_bytes = Bytes(heat2);

    // Heat 3 is next; the official looks at heat 2 again before initiating it.
    Control<QSpinBox>(*form, "UpDown_heat")->setValue(3);
    form->Handle_Open(heat2);
    ASSERT_TRUE(form->Review_File_Open());
    EXPECT_EQ(Control<QLabel>(*form, "Label_heat_num")->text(), "2");
    Restart_Camera();
    Next_Second();
    form->Command_initiate_file_Click();
    const std::string heat3 = form->Heat().Current_File();
    ASSERT_NE(heat3, heat2);

    // And once more between the initiation and the start.
    form->Handle_Open(heat2);
    ASSERT_TRUE(form->Review_File_Open());
    Restart_Camera();
    EXPECT_EQ(Control<QLineEdit>(*form, "Text_filename")->text().toStdString(), heat3);
    Start();
    const int32_t start = form->Heat().Start_PC_mill();
    Input(3, true);
    const auto kept = Frames(3);
    Input(3, false);

    EXPECT_TRUE(Bytes(heat2) == heat2_bytes) << "heat 2's recording changed";
    auto r = Reader(heat3);
    EXPECT_EQ(r->Hdx_start_PC_mill(), start);
    EXPECT_EQ(r->Hdx_Heat_ID(), "3");
    EXPECT_EQ(r->Hdx_Heat_Name(), "Heat name 3");
    for (int16_t b = 1; b <= 6; ++b) EXPECT_EQ(r->Hdx_Dog_name(b), "H3 dog " + std::to_string(b));
    EXPECT_EQ(Stored_Stamps(heat3), kept);
}

TEST_F(RaceDayTest, AfterARacedHeatTheProgrammesNextHeatIsOfferedWithItsDogs) {
    Make_Programme(Temp_Dir());  // heats 1 to 3
    Load();
    Camera_Running();
    // Initiated and finished without a start: nothing was raced, heat 1 stays.
    form->Command_initiate_file_Click();
    form->Command_finish_Click();
    EXPECT_EQ(Control<QSpinBox>(*form, "UpDown_heat")->value(), 1);
    for (int heat = 1; heat <= 3; ++heat) {
        Restart_Camera();
        const std::string path = Record_Heat(2);
        auto r = Reader(path);
        EXPECT_EQ(r->Hdx_Heat_ID(), std::to_string(heat));
        EXPECT_EQ(r->Hdx_Dog_name(1), "H" + std::to_string(heat) + " dog 1");
        // After the last heat of the programme the selector stays.
        EXPECT_EQ(Control<QSpinBox>(*form, "UpDown_heat")->value(), std::min(heat + 1, 3));
    }
    EXPECT_EQ(Read_Ini("Settings", "Heat_ID", Facts().Ini_file_path, ""), "3");
}

TEST_F(RaceDayTest, TheSpeakerCardIsForTheMainWindowsHeatAndTheCompetitorsForTheReviewedOne) {
    Make_Programme(Temp_Dir());
    Load();
    Camera_Running();
    const std::string heat1 = Record_Heat(2);
    ASSERT_EQ(Control<QSpinBox>(*form, "UpDown_heat")->value(), 2);
    form->item_event_registration_Click();
    form->Registration_Window()->item_print_speaker_card_Click();
    ASSERT_NE(form->Registration_Window()->Speaker_Card(), nullptr);
    EXPECT_EQ(form->Registration_Window()->Speaker_Card()->Label_heat_num->text(), "2");
    EXPECT_EQ(form->Registration_Window()->Speaker_Card()->Label_Heat_name->text(), "Heat name 2");

    form->Handle_Open(heat1);
    form->item_dog_names_Click();
    ASSERT_TRUE(form->Competitors_Window());
    EXPECT_EQ(form->Competitors_Window()->UpDown_heat->value(), 1);
    // Offering the heat takes none of its names: the recording keeps its own.
    EXPECT_EQ(Reader(heat1)->Hdx_Dog_name(1), "H1 dog 1");
}

TEST_F(RaceDayTest, FinishCloseAndSettingsLeaveNoStaleDisplay) {
    Load();
    Camera_Running();
    form->Command_initiate_file_Click();
    const std::string path = form->Heat().Current_File();
    EXPECT_FALSE(Control<QPushButton>(*form, "Cmd_capture")->isEnabled());  // no heat yet
    Start();
    EXPECT_TRUE(Control<QPushButton>(*form, "Cmd_capture")->isEnabled());
    Input(3, true);
    Frames(4);
    Input(3, false);
    clock.Advance(1000);
    form->Update_heat_time();
    form->Command_finish_Click();
    // The heat is over: no file, no clock, no last frame, no capture.
    EXPECT_TRUE(Control<QLineEdit>(*form, "Text_filename")->text().isEmpty());
    EXPECT_EQ(Control<QLabel>(*form, "Label_heat_time")->text(), "00:00,00");
    EXPECT_FALSE(Control<QPushButton>(*form, "Cmd_capture")->isEnabled());
    const QImage& picture = Control<Platform::PictureBox>(*form, "Picture_out")->Canvas();
    EXPECT_EQ(picture.pixelColor(picture.width() / 2, picture.height() / 2),
              Control<Platform::PictureBox>(*form, "Picture_out")->Back_Color());

    form->Handle_Open(path);
    Control<QSlider>(*form, "Slider_play")->setValue(3);
    form->Command_BOX_set_time_Click(0);
    Form_Hdx_Results* results = form->Results_Form();
    const QString time = results->Label_time[0]->text();
    form->item_show_settings_Click();
    Form_Houndex_settings::Loaded()->Text_Box_delay->setText("30");
    // The reviewed heat keeps the delay it was made with; the setting is for new heats.
    EXPECT_EQ(results->Label_time[0]->text(), time);
    EXPECT_TRUE(results->Label_box_delay->isHidden());
    EXPECT_EQ(form->Box_Delay(), 0);

    // Another camera start closes the review: its results go with it.
    Restart_Camera();
    EXPECT_TRUE(results->Label_heat_started->text().isEmpty());
    EXPECT_TRUE(results->Label_name[0]->text().isEmpty());
    EXPECT_TRUE(results->Label_box_delay->isHidden());
}

TEST_F(RaceDayTest, AStartThatCannotBeStoredIsNoStart) {
    Load();
    Initiated();
    const std::string path = form->Heat().Current_File();
    // The recording can no longer be written: a folder has taken its name.
    fs::remove(path);
    fs::create_directory(path);
    clock.Advance(1000);
    form->Command_start_heat_Click();
    EXPECT_FALSE(form->Heat_Running());
    EXPECT_FALSE(Control<QTimer>(*form, "Timer1")->isActive());
    EXPECT_EQ(plays, 0);
    ASSERT_FALSE(dialogs.Messages().empty());
    EXPECT_NE(dialogs.Messages().back().find("The heat is not started"), std::string::npos);
    fs::remove(path);
}

TEST_F(RaceDayTest, NoEventRunsWhileAFrameIsHandledOrAWindowIsWritten) {
    Load();
    Initiated();
    Start();
    Input(3, true);
    const int32_t opened = clock.PC_Mill();
    // A frame delivered inside a yield would be handled in the middle of another.
    int yields = 0;
    Platform::Set_Yield_Hook([&] { ++yields; });
    Frames(5);
    Input(3, false);
    Platform::Set_Yield_Hook({});
    EXPECT_EQ(yields, 0);
    std::vector<int32_t> delivered;
    for (int k = 1; k <= 5; ++k) delivered.push_back(opened + k * frame_ms);
    EXPECT_EQ(Stored_Stamps(form->Heat().Current_File()), delivered);
}

TEST_F(RaceDayTest, AWindowOpenedWhileTheLastOneIsWrittenKeepsItsFrames) {
    Load();
    Initiated();
    Start();
    Input(3, true);
    auto kept = Frames(3);
    // No event runs during the write: the next press is taken after it, into a window of its own.
    bool reopened_during_write = false;
    Platform::Set_Yield_Hook([&] { reopened_during_write = true; });
    Input(3, false);
    Platform::Set_Yield_Hook({});
    EXPECT_FALSE(reopened_during_write);
    EXPECT_EQ(Stored_Stamps(form->Heat().Current_File()), kept);
    form->Handle_Capture_Start();
    const auto more = Frames(2);
    kept.insert(kept.end(), more.begin(), more.end());
    EXPECT_TRUE(form->Heat().Capturing());
    EXPECT_EQ(Stored_Frames.Count(), 2);
    const auto last = Frames(1);
    kept.insert(kept.end(), last.begin(), last.end());
    form->Handle_Capture_End();
    EXPECT_EQ(Stored_Stamps(form->Heat().Current_File()), kept);
}

TEST_F(RaceDayTest, TheCaptureButtonFollowsTheRealPressAndRelease) {
    Load();
    Initiated();
    Start();
    QPushButton* b = Control<QPushButton>(*form, "Cmd_capture");
    auto mouse = [b](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(at), QPointF(b->mapToGlobal(at)), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(b, &e);
    };
    const QPoint inside = b->rect().center();
    mouse(QEvent::MouseButtonPress, inside, Qt::LeftButton);
    auto kept = Frames(2);
    clock.Advance(400);
    // The held pointer slides off the button and back.
    mouse(QEvent::MouseMove, QPoint(-40, -40), Qt::LeftButton);
    EXPECT_TRUE(form->Heat().Capturing());
    auto more = Frames(2);
    kept.insert(kept.end(), more.begin(), more.end());
    clock.Advance(400);
    mouse(QEvent::MouseMove, inside, Qt::LeftButton);
    more = Frames(2);
    kept.insert(kept.end(), more.begin(), more.end());
    clock.Advance(400);
    mouse(QEvent::MouseButtonRelease, inside, Qt::NoButton);
    EXPECT_FALSE(form->Heat().Capturing());
    EXPECT_EQ(Stored_Stamps(form->Heat().Current_File()), kept);
    EXPECT_EQ(Reader(form->Heat().Current_File())->Segments_Num(), 1);
}

TEST_F(RaceDayTest, ABoxThatDropsOffTheBusClosesItsWindowAndATriggerFoundHeldIsReportedNotOpened) {
    Write_Ini("Settings", "pre_trigger_ms", "0", Facts().Ini_file_path);
    Load();
    Initiated();
    Start();
    Input(3, true);
    auto kept = Frames(4);
    kit->Set_Plugged(false);
    Events();
    EXPECT_FALSE(form->Heat().Capturing());
    EXPECT_EQ(Stored_Stamps(form->Heat().Current_File()), kept);
    Frames(5);
    EXPECT_EQ(Stored_Frames.Count(), 0);

    // Back on the bus with the trigger still held: when it was pressed is not
    // known, so no window opens by itself; the official is told.
    kit->Set_Plugged(true);
    Events();
    EXPECT_FALSE(form->Heat().Capturing());
    EXPECT_NE(Control<QLabel>(*form, "Label_status")->text().toStdString().find("closed when the Control Box attached"),
              std::string::npos);
    Input(3, false);
    Input(3, true);
    EXPECT_TRUE(form->Heat().Capturing()) << "pressed again, it opens a window";
    const auto more = Frames(2);
    kept.insert(kept.end(), more.begin(), more.end());
    Input(3, false);
    EXPECT_EQ(Stored_Stamps(form->Heat().Current_File()), kept);
}

// A window with pre- and post-trigger times: the frames of the moments before
// the press and after the release belong to it.
struct Trigger_Case {
    const char* name;
    int pre_ms, post_ms;
    int before, held, after;      // frames before the press, while held, after the release
    int kept_before, kept_after;  // of those, the ones the recording must hold
};
class TriggerTest : public RaceDayTest, public ::testing::WithParamInterface<Trigger_Case> {};

TEST_P(TriggerTest, TheWindowHoldsThePreAndPostTriggerFramesOnceInArrivalOrder) {
    const Trigger_Case& c = GetParam();
    Write_Ini("Settings", "pre_trigger_ms", std::to_string(c.pre_ms), Facts().Ini_file_path);
    Write_Ini("Settings", "post_trigger_ms", std::to_string(c.post_ms), Facts().Ini_file_path);
    Load();
    Initiated();
    Start();
    std::vector<int32_t> want;
    for (int window = 0; window < 2; ++window) {
        const auto before = Frames(c.before);
        want.insert(want.end(), before.end() - c.kept_before, before.end());
        Input(3, true);
        EXPECT_EQ(Platform::Control<QLabel>(*form, "Label_status")->text().toStdString(),
                  "Capturing " + std::to_string(c.kept_before) + " frames");
        const auto held = Frames(c.held);
        want.insert(want.end(), held.begin(), held.end());
        Input(3, false);
        EXPECT_EQ(form->Heat().Capturing(), c.post_ms > 0);
        const auto after = Frames(c.after);
        want.insert(want.end(), after.begin(), after.begin() + c.kept_after);
        EXPECT_FALSE(form->Heat().Capturing());
    }
    EXPECT_EQ(Stored_Stamps(form->Heat().Current_File()), want);
    EXPECT_TRUE(errors.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(Triggers, TriggerTest,
                         ::testing::Values(
                             // 25 frames/s: a frame every 40 ms; a frame exactly pre_ms old still counts.
                             Trigger_Case{"pre-trigger off keeps only the held frames", 0, 0, 10, 3, 3, 0, 0},
                             Trigger_Case{"a second before the press", 1000, 0, 40, 3, 3, 26, 0},
                             Trigger_Case{"fewer frames than the pre-trigger time", 1000, 0, 4, 3, 0, 4, 0},
                             Trigger_Case{"post-trigger keeps the frames after the release", 0, 200, 3, 2, 8, 0, 5},
                             Trigger_Case{"both, and the frames after one window open the next once", 120, 80, 6, 2, 6,
                                          4, 2}),
                         By_Name());

TEST_F(RaceDayTest, AFrameThatEndsThePostTriggerTimeIsKeptOnceWhenTheNextWindowOpensDuringTheWrite) {
    Write_Ini("Settings", "pre_trigger_ms", "1000", Facts().Ini_file_path);
    Write_Ini("Settings", "post_trigger_ms", "80", Facts().Ini_file_path);
    Load();
    Initiated();
    Start();
    form->Cmd_capture_MouseDown();
    auto want = Frames(6);
    form->Cmd_capture_MouseUp();
    const auto post = Frames(2);  // 40 and 80 ms after the release
    want.insert(want.end(), post.begin(), post.end());
    // The next frame ends the window; a new press comes right after its write.
    const int32_t ending = clock.PC_Mill() + frame_ms;
    Frames(1);
    EXPECT_FALSE(form->Heat().Capturing());
    form->Cmd_capture_MouseDown();
    const std::vector<int32_t> second = Frames(2);
    EXPECT_TRUE(form->Heat().Capturing());
    // The ending frame is the new window's pre-trigger frame, then the two held ones, each once.
    want.push_back(ending);
    want.insert(want.end(), second.begin(), second.end());
    clock.Advance(300);  // the button's own bounce guard
    form->Cmd_capture_MouseUp();
    const auto last = Frames(3);
    want.insert(want.end(), last.begin(), last.begin() + 2);
    EXPECT_FALSE(form->Heat().Capturing());
    EXPECT_EQ(Stored_Stamps(form->Heat().Current_File()), want);
}

TEST_F(RaceDayTest, AJournalLeftByACrashIsFoldedIntoItsRecordingAtStartAndOnOpen) {
    // Two recordings whose windows a crash interrupted: one found at start-up,
    // one written into the capture folder afterwards and opened for review.
    const auto interrupted = [this](const std::string& name, int frames) {
        const std::string path = Platform::Join_Path(folder, name);
        cls_VideoFile_handler h;
        h.Set_Cropped_X(64);
        h.Set_Cropped_Y(48);
        EXPECT_TRUE(h.Initiate_NX3_File(path));
        Frame_Journal journal(path, 0);
        cDIBSection p;
        p.Create(64, 48);
        std::vector<uint8_t> jpeg(100000);
        for (int i = 1; i <= frames; ++i) {
            int32_t size = static_cast<int32_t>(jpeg.size());
            mIntelJPEGLibrary::Encode_DIB_To_JPG(p, jpeg.data(), size, 80);
            Stored_Frame_Ref f;
            f.Capture_Mill = 5000 + 20 * i;
            f.Jpeg = Stored_Jpeg{jpeg.data(), size, 80, 0, false, size, size};
            journal.Add(i, f);
        }
        return path;
    };
    const std::string at_start = interrupted("at start.nx3", 3);
    Load();
    const std::string on_open = interrupted("on open.nx3", 2);
    form->Handle_Open(on_open);
    const std::vector<std::string> said = dialogs.Messages();
    EXPECT_NE(
        std::find(said.begin(), said.end(), "Recovered 3 frames of an interrupted capture window into " + at_start),
        said.end());
    EXPECT_NE(
        std::find(said.begin(), said.end(), "Recovered 2 frames of an interrupted capture window into " + on_open),
        said.end());
    EXPECT_EQ(Stored_Stamps(at_start), (std::vector<int32_t>{5020, 5040, 5060}));
    EXPECT_EQ(form->Review_Handler()->num_Frames(), 2);
    EXPECT_FALSE(FileExists(Frame_Journal::Path_For(at_start)));
    EXPECT_FALSE(FileExists(Frame_Journal::Path_For(on_open)));
}

TEST_F(RaceDayTest, AutomaticCaptureOpensAndClosesAroundTheDogsCrossingAndPressesStillWork) {
    Write_Ini("Settings", "auto_capture", "1", Facts().Ini_file_path);
    Write_Ini("Settings", "pre_trigger_ms", "200", Facts().Ini_file_path);
    Write_Ini("Settings", "auto_settle_ms", "400", Facts().Ini_file_path);
    Load();
    Initiated();
    Start();
    const int32_t started = clock.PC_Mill();
    // The simulated dogs run across the line again and again, with still spells between.
    const auto delivered = Frames(150);
    EXPECT_FALSE(form->Heat().Capturing()) << "the window did not close once the line was still";
    // Every frame in which a dog's nose passed the line, from the camera's own record.
    std::vector<int32_t> crossings;
    const double line = sim->Scene().Finish_X();
    std::array<double, Sim_Scene::Dogs> before{};
    bool seen = false;
    for (const Sim_Field_Truth& t : sim->Truth()) {
        if (Platform::Mill_Since(started + 200, t.Delivered_Mill) < 0) continue;
        for (size_t b = 0; seen && b < before.size(); ++b)
            if (before[b] < line && t.Nose_X[b] >= line && (crossings.empty() || crossings.back() != t.Delivered_Mill))
                crossings.push_back(t.Delivered_Mill);
        before = t.Nose_X;
        seen = true;
    }
    ASSERT_FALSE(crossings.empty()) << "no dog crossed while the heat ran";
    const auto stamps = Stored_Stamps(form->Heat().Current_File());
    for (const int32_t c : crossings)
        EXPECT_NE(std::find(stamps.begin(), stamps.end(), c), stamps.end())
            << "the crossing in frame " << c << " is missing";
    EXPECT_LT(stamps.size(), delivered.size()) << "the windows never closed";
    EXPECT_TRUE(Traced("*Auto capture: open at"));
    EXPECT_TRUE(Traced("*Auto capture: close at"));
    // A press beside it still opens a window of its own, which the watch leaves to the official.
    clock.Advance(400);
    form->Cmd_capture_MouseDown();
    ASSERT_TRUE(form->Heat().Capturing());
    Frames(40);
    EXPECT_TRUE(form->Heat().Capturing());
    form->Cmd_capture_MouseUp();
    EXPECT_FALSE(form->Heat().Capturing());
}

TEST_F(RaceDayTest, APressSixHundredMsAfterTheFirstDogCrossedStillRecordsTheCrossing) {
    for (const int pre_ms : {1000, 0}) {
        Write_Ini("Settings", "pre_trigger_ms", std::to_string(pre_ms), Facts().Ini_file_path);
        Load();
        Initiated();
        Start();
        // The dogs run now; the first one crosses 400 ms from here.
        const int32_t now = clock.PC_Mill();
        Sim_Scene::Run run;
        run.Begin_Ms = static_cast<double>(sim->Scene_Time(now));
        for (int b = 0; b < Sim_Scene::Dogs; ++b) run.Crossing_Ms[static_cast<size_t>(b)] = run.Begin_Ms + 400 + 30 * b;
        sim->Add_Scene_Run(run);
        const int32_t crossed = now + 400;
        while (Platform::Mill_Since(crossed + 600, clock.PC_Mill()) < 0) Frames(1);
        Input(3, true);
        Frames(10);
        Input(3, false);
        const auto stamps = Stored_Stamps(form->Heat().Current_File());
        ASSERT_FALSE(stamps.empty());
        const bool recorded = stamps.front() <= crossed && stamps.back() >= crossed;
        EXPECT_EQ(recorded, pre_ms == 1000) << "pre-trigger " << pre_ms << ": frames from " << stamps.front();
        form->Command_finish_Click();
        form.reset();
    }
}

TEST_F(RaceDayTest, FramesOfAWindowThatIsNotWrittenNeverReachTheNextOne) {
    Load();
    Initiated();
    Start();
    Input(3, true);
    Frames(3);
    dialogs.Answer_Message(Platform::MsgResult::OK);
    form->Do_Abort();
    Frames(2);
    Input(3, false);
    // The abort closed the window: the frames after it were never kept.
    EXPECT_EQ(Stored_Frames.Count(), 0);
    EXPECT_TRUE(Traced("3 captured frames discarded"));
    EXPECT_FALSE(form->Heat().Capturing());

    Start();
    Input(3, true);
    const auto kept = Frames(2);
    Input(3, false);
    EXPECT_EQ(Stored_Stamps(form->Heat().Current_File()), kept);
}

// Runs `while_open` (once) while a message box is open, as frames keep arriving then.
// Keeps the question open until the test answers it, as the official does.
class Open_Question_Dialogs : public Platform::ScriptedDialogs {
public:
    std::vector<std::function<void(Platform::MsgResult)>> open;
    void Ask_Meanwhile(const std::string& text, Platform::MsgButtons buttons, Platform::MsgIcon icon,
                       const std::string& title, std::function<void(Platform::MsgResult)> answered) override {
        shown.push_back({"message", text, title, icon, buttons});
        open.push_back(std::move(answered));
    }
};

TEST_F(RaceDayTest, OnePressOfEscapeAsksOnceAndFramesGoOnWhileTheQuestionIsOpen) {
    Load();
    Initiated();
    Start();
    Input(3, true);  // a capture window is open
    Frames(2);
    Open_Question_Dialogs asking;
    Platform::Set_Dialogs(&asking);
    // A tap asks at once, without waiting for a frame; the key's repeats and a
    // second press while the question is open ask nothing more.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &press);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(form.get(), &repeat);
    Escape();
    EXPECT_EQ(asking.Messages(), std::vector<std::string>{"Aborting heat  are you sure?"});
    ASSERT_EQ(asking.open.size(), 1u);

    // While it is open, the frames reach the heat and the window.
    const int held = form->Heat().Frames_Held();
    Frames(5);
    EXPECT_EQ(form->Heat().Frames_Held(), held + 5);
    EXPECT_EQ(Control<QLabel>(*form, "Label_Coll_count")->text().toInt(), held + 5);

    // Cancel keeps the heat, and the question does not come back by itself.
    asking.open[0](Platform::MsgResult::Cancel);
    Frames(3);
    EXPECT_TRUE(form->Heat_Running());
    EXPECT_EQ(asking.shown.size(), 1u);

    // The Escape that answers another window's question is that window's.
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    other.setFocus();
    QKeyEvent elsewhere(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&other, &elsewhere);
    EXPECT_EQ(asking.shown.size(), 1u);

    // Asked again and answered OK, the heat is aborted.
    QApplication::setActiveWindow(form.get());
    form->setFocus();
    Escape();
    ASSERT_EQ(asking.open.size(), 2u);
    asking.open[1](Platform::MsgResult::OK);
    Platform::Set_Dialogs(&dialogs);
    EXPECT_FALSE(form->Heat_Running());
    EXPECT_EQ(Control<QLabel>(*form, "Label_heat_time")->text(), "Aborted");
}

TEST_F(RaceDayTest, ADamagedHeatNumberSettingIsReportedAndStartUpCompletes) {
    Write_Ini("Settings", "Heat_ID", "three", Facts().Ini_file_path);
    Load();
    ASSERT_TRUE(form->Capture_Controller());
    EXPECT_EQ(Control<QSpinBox>(*form, "UpDown_heat")->value(), 1);
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].location, "Form_Load of Form Form_Houndex");
    Camera_Running();
}

TEST_F(RaceDayTest, AScreenHighRecordingLeavesThePictureAndSetTimesOnTheScreen) {
    Load();
    form->show();
    Events();
    Camera_Running();
    const std::string path = Record_Heat(2);
    form->Handle_Open(path);
    ASSERT_TRUE(form->Review_File_Open());
    Events();
    const int screen_bottom = QGuiApplication::primaryScreen()->availableGeometry().bottom();
    ASSERT_LT(screen_bottom, 880);  // the recording is taller than the screen
    const QWidget* set_times = Control<QGroupBox>(*form, "Frame_settimes");
    EXPECT_LE(set_times->mapToGlobal(QPoint(0, set_times->height() - 1)).y(), screen_bottom);
    EXPECT_LE(Control<Platform::PictureBox>(*form, "Picture_out")
                  ->mapToGlobal(QPoint(0, Control<Platform::PictureBox>(*form, "Picture_out")->height() - 1))
                  .y(),
              screen_bottom);
}

struct Screen_Case {
    const char* name;
    int crop_index;
    bool review;
    bool camera = true;
};
// The title bar a window manager adds above the window (24 px measured under a
// plain X11 window manager; the offscreen platform adds none).
constexpr int Title_Bar = 30;
void PrintTo(const Screen_Case& c, std::ostream* os) { *os << c.name; }
class RaceDayScreenTest : public RaceDayTest, public ::testing::WithParamInterface<Screen_Case> {};

TEST_P(RaceDayScreenTest, EveryControlCanBeReachedOnALaptopScreen) {
    const Screen_Case c = GetParam();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_EQ(screen.size(), QSize(1366, 768)) << "ctest runs these tests on a 1366 x 768 screen";
    Load();
    form->show();
    form->item_crop_size_Click(c.crop_index);
    if (c.camera) Camera_Running();
    if (c.review) {
        form->Handle_Open(Record_Heat(2));
        ASSERT_TRUE(form->Review_File_Open());
    }
    // Both panels up, as after a heat change with the box attached.
    form->Box_Controls().Frame_Control_status->show();
    Control<QGroupBox>(*form, "Frame_dogs_Heat")->show();
    Events();

    EXPECT_TRUE(screen.contains(form->frameGeometry()))
        << form->frameGeometry().width() << " x " << form->frameGeometry().height();
    EXPECT_LE(form->frameGeometry().height() + Title_Bar, screen.height());
    // Maximised, the window manager gives it the screen less its title bar.
    EXPECT_LE(form->minimumSizeHint().height() + Title_Bar, screen.height());
    const QWidget* status_line = Control<QLabel>(*form, "Label_status");
    EXPECT_TRUE(status_line->isVisible());
    EXPECT_LE(status_line->mapToGlobal(QPoint(0, status_line->height())).y() + Title_Bar, screen.bottom() + 1);
    const auto on_screen = [](const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); };
    for (QScrollArea* column :
         {Control<QScrollArea>(*form, "Scroll_controls"), Control<QScrollArea>(*form, "Scroll_setup")})
        EXPECT_LE(column->widget()->width(), column->viewport()->width()) << "cut off at the side";
    for (QWidget* w : form->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QAbstractSlider*>(w) ||
                             qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QLineEdit*>(w);
        if (!control || !w->isVisibleTo(form.get()) || w->window() != form.get()) continue;
        QScrollArea* column = nullptr;
        for (QScrollArea* a :
             {Control<QScrollArea>(*form, "Scroll_controls"), Control<QScrollArea>(*form, "Scroll_setup")})
            if (a->widget()->isAncestorOf(w)) column = a;
        // A control in a column is reached by scrolling it there.
        if (column) column->ensureWidgetVisible(w, 0, 0);
        const QRect seen = column ? on_screen(column->viewport()) & screen : screen;
        EXPECT_TRUE(seen.contains(on_screen(w))) << w->objectName().toStdString();
    }
    const QRect picture = on_screen(Control<Platform::PictureBox>(*form, "Picture_out"));
    const QRect heat_data = on_screen(Control<QGroupBox>(*form, "Frame_dogs_Heat"));
    const QRect status = on_screen(form->Box_Controls().Frame_Control_status);
    EXPECT_TRUE(screen.contains(picture));
    // The heat's column stands right beside the picture, however far it is shrunk.
    EXPECT_LE(on_screen(Control<QScrollArea>(*form, "Scroll_controls")).left() - picture.right(), 20);
    EXPECT_FALSE(heat_data.intersects(status));
    EXPECT_FALSE(heat_data.intersects(picture));
    EXPECT_FALSE(status.intersects(picture));
}
INSTANTIATE_TEST_SUITE_P(Crops, RaceDayScreenTest,
                         ::testing::Values(Screen_Case{"FirstStart400x880", 0, false, false},
                                           Screen_Case{"FirstStart600x1080", 1, false, false},
                                           Screen_Case{"FirstStart576x720", 2, false, false},
                                           Screen_Case{"Live400x880", 0, false}, Screen_Case{"Review400x880", 0, true},
                                           Screen_Case{"Live600x1080", 1, false},
                                           Screen_Case{"Review600x1080", 1, true}, Screen_Case{"Live576x720", 2, false},
                                           Screen_Case{"Review576x720", 2, true}),
                         By_Name());

// The main window's other windows on the laptop screen, with every crop.
struct Window_Case {
    const char* name;
    int crop_index;
};
void PrintTo(const Window_Case& c, std::ostream* os) { *os << c.name; }
class RaceDayWindowsTest : public RaceDayTest, public ::testing::WithParamInterface<Window_Case> {};

TEST_P(RaceDayWindowsTest, SettingsStripAndCalibrationFitAndKeepClear) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const auto on_screen = [](const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); };
    const auto fits = [&](const QWidget* w) {
        return screen.contains(w->frameGeometry()) && w->frameGeometry().height() + Title_Bar <= screen.height();
    };
    Load();
    form->show();
    form->item_crop_size_Click(GetParam().crop_index);
    Camera_Running();
    Events();

    // Settings: the window fits and its last row is reached by scrolling.
    form->item_show_settings_Click();
    Events();
    auto* settings = Form_Houndex_settings::Loaded();
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(fits(settings)) << settings->frameGeometry().height();
    // Beside the picture, clear of the status line where refusals are explained.
    const QRect settings_frame = settings->frameGeometry().adjusted(0, -Title_Bar, 0, 0);
    EXPECT_FALSE(settings_frame.intersects(on_screen(Control<Platform::PictureBox>(*form, "Picture_out"))));
    EXPECT_FALSE(settings_frame.intersects(on_screen(form->statusBar())));
    auto* scroll = Control<QScrollArea>(*settings, "Scroll_settings");
    QWidget* last = Control<QWidget>(*settings, "Spin_window_limit");
    scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    Events();
    EXPECT_TRUE((on_screen(scroll->viewport()) & screen).contains(on_screen(last)));
    settings->close();

    // Camera delay: beside the live picture, above the main window.
    form->item_calibrate_delay_Click();
    Events();
    QWidget* calibration = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->parentWidget() == form.get() && w->windowFlags().testFlag(Qt::Tool)) calibration = w;
    ASSERT_NE(calibration, nullptr);
    EXPECT_TRUE(fits(calibration));
    EXPECT_FALSE(
        calibration->frameGeometry().intersects(on_screen(Control<Platform::PictureBox>(*form, "Picture_out"))));
    calibration->close();

    // The finish strip: its field and time line on the screen.
    form->Handle_Open(Record_Heat(4));
    ASSERT_TRUE(form->Review_File_Open());
    form->item_show_strip_Click();
    Events();
    QWidget* strip = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "Form_Finish_Strip" && w->isVisible()) strip = w;
    ASSERT_NE(strip, nullptr);
    EXPECT_TRUE(fits(strip)) << strip->frameGeometry().bottom();
    const QWidget* info = Control<QLabel>(*strip, "Label_strip_info");
    EXPECT_LE(on_screen(info).bottom() + Title_Bar, screen.bottom());
    // The results window stays above the main window as a tool window of it.
    ASSERT_NE(form->Results_Form(), nullptr);
    EXPECT_TRUE(form->Results_Form()->windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(form->Results_Form()->parentWidget(), form.get());
}
TEST_P(RaceDayWindowsTest, TheResultsAndAboutWindowsFitAndLeaveTheTimingClear) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const auto on_screen = [](const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); };
    // The window with the frame the window manager puts round it, where it puts the frame.
    const auto framed = [](const QWidget* w) {
        return QRect(w->frameGeometry().topLeft(), w->size().grownBy(Platform::Frame_Margins(w)));
    };
    Load();
    form->show();
    form->item_crop_size_Click(GetParam().crop_index);
    Camera_Running();
    const std::string path = Record_Heat(4);
    form->Handle_Open(path);
    ASSERT_TRUE(form->Review_File_Open());
    Events();

    // The results window: on the screen, and clear of all the official clicks while timing.
    Form_Hdx_Results* results = form->Results_Form();
    ASSERT_NE(results, nullptr);
    ASSERT_TRUE(results->isVisible());
    EXPECT_TRUE(screen.contains(framed(results))) << framed(results).x() << "," << framed(results).y() << " "
                                                  << framed(results).width() << " x " << framed(results).height();
    const std::pair<const char*, const QWidget*> timing[] = {
        {"picture", Control<Platform::PictureBox>(*form, "Picture_out")},
        {"set times", Control<QGroupBox>(*form, "Frame_settimes")},
        {"dead heat", Control<QPushButton>(*form, "Cmd_DeadHeat")},
        {"controls and slider", Control<QScrollArea>(*form, "Scroll_controls")},
    };
    for (const auto& [what, w] : timing)
        EXPECT_FALSE(framed(results).intersects(on_screen(w))) << "covers the " << what;
    // Nor does a title bar hung above the window's own area, where the window system puts it so:
    // the "not a real race" banner stays readable.
    const QRect own_area_framed = results->geometry().marginsAdded(Platform::Frame_Margins(results));
    for (const auto& [what, w] : timing)
        EXPECT_FALSE(own_area_framed.intersects(on_screen(w))) << "its title bar covers the " << what;
    EXPECT_TRUE(screen.contains(own_area_framed));
    EXPECT_FALSE(own_area_framed.intersects(on_screen(Control<QWidget>(*form, "Label_simulated"))))
        << own_area_framed.top();
    // Every column is in view at the width it opened with.
    EXPECT_GE(results->width(), results->minimumSizeHint().width());
    for (const QLabel* column : {results->Label_rank[5], results->Label_time[5], results->Label_Split[5],
                                 results->Label_estimate[5], results->Label_margin[5]})
        EXPECT_TRUE(results->rect().contains(QRect(column->mapTo(results, QPoint(0, 0)), column->size())))
            << column->objectName().toStdString();

    // The About box: on the screen with its OK button.
    Control<QAction>(*form, "item_about")->trigger();
    Events();
    QWidget* about = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "frmAbout" && w->isVisible()) about = w;
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(screen.contains(framed(about))) << framed(about).height();
    const QWidget* ok = Control<QPushButton>(*about, "Command_OK");
    EXPECT_TRUE(ok->isVisibleTo(about));
    EXPECT_TRUE(about->rect().contains(QRect(ok->mapTo(about, QPoint(0, 0)), ok->size())));
    about->close();
}
INSTANTIATE_TEST_SUITE_P(Crops, RaceDayWindowsTest,
                         ::testing::Values(Window_Case{"Crop400x880", 0}, Window_Case{"Crop600x1080", 1},
                                           Window_Case{"Crop576x720", 2}),
                         By_Name());

// A crop chosen while a recording is reviewed is the next capture's: the
// recording stays drawn at the size in its header.
class CropDuringReviewTest : public RaceDayTest, public ::testing::WithParamInterface<Window_Case> {};

TEST_P(CropDuringReviewTest, TheRecordingKeepsItsSizeAndTheNextCaptureTakesTheCrop) {
    Load();  // 400*880
    Camera_Running();
    const std::string path = Record_Heat(4);
    form->Handle_Open(path);
    ASSERT_TRUE(form->Review_File_Open());
    auto* picture = Control<Platform::PictureBox>(*form, "Picture_out");
    const QSize shown = picture->size();
    const double scale_w = picture->Scale_Width(), scale_h = picture->Scale_Height();
    const QImage before = picture->grab().toImage();

    form->item_crop_size_Click(GetParam().crop_index);
    Events();
    const int crop_x = form->Crop_Width(), crop_y = form->Crop_Height();
    EXPECT_NE(crop_x, 400) << "the crop is chosen and stored";
    EXPECT_EQ(Read_Ini("Settings", "lastcrop", Facts().Ini_file_path, ""), form->Selected_Crop_Text());
    EXPECT_EQ(picture->size(), shown);
    EXPECT_EQ(picture->Scale_Width(), scale_w);
    EXPECT_EQ(picture->Scale_Height(), scale_h);
    form->Slider_play_Scroll();
    EXPECT_EQ(picture->grab().toImage(), before) << "the recording is drawn as before";
    EXPECT_NE(Control<QLabel>(*form, "Label_status")->text().indexOf("next capture"), -1)
        << Control<QLabel>(*form, "Label_status")->text().toStdString();

    // Live again: the picture takes the new crop.
    Restart_Camera();
    EXPECT_EQ(picture->Scale_Width(), crop_x + 4);
    EXPECT_EQ(picture->Scale_Height(), crop_y + 4);
}
INSTANTIATE_TEST_SUITE_P(Crops, CropDuringReviewTest,
                         ::testing::Values(Window_Case{"To600x1080", 1}, Window_Case{"To576x720", 2}), By_Name());

// The box's status panel stays through the heats until the official hides it.
TEST_F(RaceDayTest, TheControlStatusPanelStaysUntilTheOfficialHidesIt) {
    Load();
    form->show();
    QWidget* panel = form->Box_Controls().Frame_Control_status;
    ASSERT_TRUE(panel->isVisibleTo(form.get()));
    Camera_Running();
    std::string path;
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"first heat finished", [&] { path = Record_Heat(4); }},
        {"recording reviewed", [&] { form->Handle_Open(path); }},
        {"camera started again", [&] { Restart_Camera(); }},
        {"second heat finished", [&] { Record_Heat(4); }},
    };
    for (const auto& [step, run] : steps) {
        run();
        Events();
        EXPECT_TRUE(panel->isVisibleTo(form.get())) << "after: " << step;
    }
    Control<QPushButton>(*panel, "Command1")->click();
    EXPECT_FALSE(panel->isVisibleTo(form.get()));
}

TEST_F(RaceDayTest, StartHeatWithoutAFileOnTheFirstStartSaysWhyOnTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    Load();
    form->show();
    Events();
    Control<QPushButton>(*form, "Command_start_heat")->click();
    const QLabel* status_line = Control<QLabel>(*form, "Label_status");
    EXPECT_EQ(status_line->text().toStdString(), "Start refused: no file initiated");
    EXPECT_TRUE(status_line->isVisible());
    EXPECT_LE(status_line->mapToGlobal(QPoint(0, status_line->height())).y() + Title_Bar, screen.bottom() + 1);
}

TEST_F(RaceDayTest, TheResultsWindowOpensOnTheScreenClearOfTheMenuAndStaysWhereTheOfficialPutsIt) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    Load();
    form->show();
    Camera_Running();
    const std::string path = Record_Heat(2);
    form->Handle_Open(path);
    Events();
    Form_Hdx_Results* results = form->Results_Form();
    ASSERT_TRUE(results->isVisible());
    const QRect menu(form->menuBar()->mapToGlobal(QPoint(0, 0)), form->menuBar()->size());
    EXPECT_TRUE(screen.contains(results->frameGeometry()));
    EXPECT_FALSE(results->frameGeometry().intersects(menu));

    // Moved by the official, it opens there again, also in the next run.
    results->move(40, 300);
    results->hide();
    form->item_show_result_Click();
    Events();
    EXPECT_EQ(results->pos(), QPoint(40, 300));
    form->Houndex_End();  // closing the program closes the results window
    form.reset();
    Load();
    form->Handle_Open(path);
    Events();
    EXPECT_EQ(form->Results_Form()->pos(), QPoint(40, 300));
}

TEST_F(RaceDayTest, KeypadFourAndSixMoveTheGoalLineOnlyWhateverTheNumLock) {
    Load();
    Camera_Running();
    form->Handle_Open(Record_Heat(6));
    ASSERT_TRUE(form->Review_File_Open());
    Control<QAction>(*form, "item_displace_goalline")->setChecked(true);
    Control<QSlider>(*form, "Slider_play")->setValue(3);
    QApplication::setActiveWindow(form.get());
    Control<QSlider>(*form, "Slider_play")->setFocus();
    struct Press {
        Qt::Key key;
        int offset;
    };
    // NumLock on sends the digits, off the arrows; both carry the keypad mark.
    for (const Press p :
         {Press{Qt::Key_Left, -1}, Press{Qt::Key_4, -2}, Press{Qt::Key_Right, -1}, Press{Qt::Key_6, 0}}) {
        clock.Advance(200);
        QKeyEvent down(QEvent::KeyPress, p.key, Qt::KeypadModifier);
        QApplication::sendEvent(Control<QSlider>(*form, "Slider_play"), &down);
        EXPECT_EQ(form->Goal_Offset(), p.offset) << p.key;
        EXPECT_EQ(Control<QSlider>(*form, "Slider_play")->value(), 3) << p.key;
    }
}

// --- The Control Box chosen in the program, and the simulation marker ----------------------

namespace {

// A box that is no simulator, as far as the program can tell (tests have no hardware).
class Bench_Kit : public SimInterfaceKit {
public:
    bool Simulated() const override { return false; }
    std::string Serial_Text() const override { return std::to_string(SerialNumber()); }
};

// A camera that is no simulator either.
class Bench_Camera : public SimVideoCap {
public:
    using SimVideoCap::SimVideoCap;
    std::string QueryString(const std::string& name) override {
        return name == "sourceDevicePath" ? "/dev/video7" : SimVideoCap::QueryString(name);
    }
};

class BoxChoiceTest : public WorkflowTest {
protected:
    void TearDown() override {
        Set_Interface_Kit_Factory({});
        Set_Port_Lister({});
        Set_Control_Box_Option("");
        WorkflowTest::TearDown();
    }
    QString Banner() const {
        return Control<Simulation_Banner>(*form, "Label_simulated")->isVisibleTo(form.get())
                   ? Control<Simulation_Banner>(*form, "Label_simulated")->text()
                   : "";
    }
    void Key(int key, bool down) {
        QKeyEvent e(down ? QEvent::KeyPress : QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(Control<QSlider>(*form, "Slider_play"), &e);
    }
};

struct Marker_Case {
    const char* name;
    bool real_camera;
    bool real_box;
    const char* banner;  // while the camera runs
};

class MarkerTest : public BoxChoiceTest, public ::testing::WithParamInterface<Marker_Case> {};

}  // namespace

TEST_P(MarkerTest, TheMainWindowSaysWhatIsSimulated) {
    const Marker_Case& c = GetParam();
    if (c.real_box) Set_Interface_Kit_Factory([](const std::string&) { return std::make_unique<Bench_Kit>(); });
    Set_Video_Cap_Factory([this, c]() -> std::unique_ptr<IVideoCap> {
        const std::vector<Sim_Format> formats{{640, 960, 25, true}};
        auto cap = c.real_camera
                       ? std::make_unique<Bench_Camera>(Sim_Pacing::Stepped, "HDMI grabber", formats)
                       : std::make_unique<SimVideoCap>(Sim_Pacing::Stepped, SimVideoCap::Default_Name, formats);
        sim = cap.get();
        return cap;
    });
    Write_Ini("capturesettings", "friendlyname", c.real_camera ? "HDMI grabber" : SimVideoCap::Default_Name,
              Facts().Ini_file_path);
    form = std::make_unique<Form_Houndex>();
    ASSERT_TRUE(form->Form_Load());
    Events();
    frame_ms = 40;
    // Before the camera runs only the box can be told.
    EXPECT_EQ(Banner(), c.real_box ? "" : "SIMULATED CONTROL BOX: not a real race");
    Camera_Running();
    EXPECT_EQ(Banner(), c.banner);
    form->Command_initiate_file_Click();
    auto r = Reader(form->Heat().Current_File());
    EXPECT_EQ(r->Capture_source().find("simulated") != std::string::npos, !c.real_camera) << r->Capture_source();
    EXPECT_EQ(r->Phidget_serial().find("simulated") != std::string::npos, !c.real_box) << r->Phidget_serial();
}

INSTANTIATE_TEST_SUITE_P(
    Sources, MarkerTest,
    ::testing::Values(Marker_Case{"Simulators", false, false, "SIMULATED CAMERA AND CONTROL BOX: not a real race"},
                      Marker_Case{"SimulatedCamera", false, true, "SIMULATED CAMERA: not a real race"},
                      Marker_Case{"SimulatedBox", true, false, "SIMULATED CONTROL BOX: not a real race"},
                      Marker_Case{"RealHardware", true, true, ""}),
    By_Name());

TEST_F(BoxChoiceTest, TheStoredChoiceIsUsedAtTheNextStartUnlessTheCommandLineSaysOtherwise) {
    Set_Control_Box_Option("");
    Write_Ini("Settings", "control_box", "keys", Facts().Ini_file_path);
    {
        Form_Houndex f;
        ASSERT_TRUE(f.Form_Load());
        EXPECT_NE(dynamic_cast<KeysInterfaceKit*>(f.Control_Box()), nullptr);
        EXPECT_EQ(f.Control_Box_In_Use(), "keys");
    }
    Set_Control_Box_Option("serial:/dev/ttyACM7");  // for this run only
    {
        Form_Houndex f;
        ASSERT_TRUE(f.Form_Load());
        auto* serial = dynamic_cast<SerialInterfaceKit*>(f.Control_Box());
        ASSERT_NE(serial, nullptr);
        EXPECT_EQ(serial->Port_Name(), "/dev/ttyACM7");
    }
    EXPECT_EQ(Read_Ini("Settings", "control_box", Facts().Ini_file_path, ""), "keys");
}

TEST_F(BoxChoiceTest, AFirstStartWithoutAnAnsweringBoardTakesTheSimulatorAndSaysSo) {
    Set_Control_Box_Option("");
    Set_Port_Lister([] { return std::vector<Serial_Port_Entry>{}; });
    form = std::make_unique<Form_Houndex>();
    ASSERT_TRUE(form->Form_Load());
    EXPECT_NE(dynamic_cast<SimInterfaceKit*>(form->Control_Box()), nullptr);
    EXPECT_EQ(Banner(), "SIMULATED CONTROL BOX: not a real race");
    EXPECT_EQ(Read_Ini("Settings", "control_box", Facts().Ini_file_path, "none"), "none");  // detection is not a choice
}

TEST_F(BoxChoiceTest, SwitchingLiveLetsGoOfTheOldBoxAndAttachesTheNew) {
    Load();
    Initiated();
    form->Command_start_heat_Click();
    Input(3, true);  // a capture window held open by the simulator
    Frames(4);
    form->Show_Control_Box_Simulator();
    ASSERT_TRUE(form->Simulator_Window());

    form->item_control_box_Click();
    ASSERT_TRUE(form->Box_Select_Window() && form->Box_Select_Window()->isVisible());
    QTreeWidget* list = form->Box_Select_Window()->List_boxes();
    list->setCurrentItem(list->topLevelItem(list->topLevelItemCount() - 1));  // keyboard / foot pedal
    form->Box_Select_Window()->Command_use_Click();
    Events();

    // The window the old box held is closed and its frames written.
    EXPECT_FALSE(form->Heat().Capturing());
    EXPECT_EQ(Reader(form->Heat().Current_File())->num_Frames(), 4);
    EXPECT_FALSE(form->Simulator_Window());
    ASSERT_NE(dynamic_cast<KeysInterfaceKit*>(form->Control_Box()), nullptr);
    EXPECT_TRUE(form->Panel()->m_Phidget_Attached);
    EXPECT_EQ(form->Panel()->Kit(), form->Control_Box());
    EXPECT_EQ(Read_Ini("Settings", "control_box", Facts().Ini_file_path, ""), "keys");
    EXPECT_EQ(Banner(), "SIMULATED CAMERA: not a real race");
    EXPECT_TRUE(form->Heat_Running());

    // And back to the simulator, which comes with its window.
    form->Use_Control_Box("sim");
    Events();
    EXPECT_TRUE(form->Panel()->m_Phidget_Attached);
    EXPECT_TRUE(form->Simulator_Window() && form->Simulator_Window()->isVisible());
    EXPECT_TRUE(errors.errors.empty()) << errors.errors[0].description;
}

TEST_F(BoxChoiceTest, FootPedalKeysGiveTheStartAndHoldACaptureWindow) {
    Load();
    form->Use_Control_Box("keys");
    Events();
    Initiated();
    const int32_t pressed = clock.PC_Mill();
    Key(Qt::Key_F9, true);
    clock.Advance(30);
    Events();
    Key(Qt::Key_F9, false);
    EXPECT_TRUE(form->Heat_Running());
    EXPECT_EQ(form->Heat().Start_PC_mill(), pressed);

    Key(Qt::Key_F10, true);
    Events();
    EXPECT_TRUE(form->Heat().Capturing());
    Frames(6);
    Key(Qt::Key_F10, false);
    Events();
    EXPECT_FALSE(form->Heat().Capturing());
    EXPECT_EQ(Reader(form->Heat().Current_File())->num_Frames(), 6);
}

namespace {

// Where the heat's features meet the official's other actions.
TEST_F(RaceDayTest, AnAutomaticWindowNeitherSurvivesTheFinishNorReopensWhileItIsWritten) {
    Write_Ini("Settings", "auto_capture", "1", Facts().Ini_file_path);
    Write_Ini("Settings", "auto_settle_ms", "2000", Facts().Ini_file_path);
    Load();
    Initiated();
    Start();
    for (int i = 0; i < 200 && !form->Heat().Capturing(); ++i) Frames(1);
    ASSERT_TRUE(form->Heat().Capturing()) << "the running dogs opened a window";
    // Frames keep coming at the finish; any event run during it would hand them over.
    Platform::Set_Yield_Hook([this] { Frames(1); });
    form->Command_finish_Click();
    Platform::Set_Yield_Hook({});
    Frames(60);
    EXPECT_FALSE(form->Heat().Capturing());
    EXPECT_EQ(Stored_Frames.Count(), 0);
    EXPECT_EQ(form->Capture_Controller()->Pre_Trigger_Count(), 0);
}

TEST_F(RaceDayTest, AnAbortClosesAnAutomaticWindowAndTheNextStartsRecordingHoldsOnlyItsOwnFrames) {
    Write_Ini("Settings", "auto_capture", "1", Facts().Ini_file_path);
    Write_Ini("Settings", "auto_settle_ms", "400", Facts().Ini_file_path);
    Write_Ini("Settings", "pre_trigger_ms", "0", Facts().Ini_file_path);
    Load();
    Initiated();
    Start();
    for (int i = 0; i < 200 && !form->Heat().Capturing(); ++i) Frames(1);
    ASSERT_TRUE(form->Heat().Capturing());
    dialogs.Answer_Message(Platform::MsgResult::OK);
    form->Do_Abort();
    EXPECT_FALSE(form->Heat().Capturing());
    Frames(30);
    EXPECT_EQ(Stored_Frames.Count(), 0) << "nothing is kept between the abort and the new start";
    Start();
    const int32_t restarted = form->Heat().Start_PC_mill();
    Frames(150);
    for (const int32_t stamp : Stored_Stamps(form->Heat().Current_File()))
        EXPECT_GE(Platform::Mill_Since(restarted, stamp), 0) << "a frame from before the new start";
}

TEST_F(RaceDayTest, AReviewOpenedDuringAHeatLeavesTheCameraTheWindowAndTheStartToTheHeat) {
    Load();
    Camera_Running();
    const std::string earlier = Record_Heat(3);
    Restart_Camera();
    form->Command_initiate_file_Click();
    // The previous heat is reviewed while this one starts and captures.
    form->Handle_Open(earlier);
    ASSERT_TRUE(form->Review_File_Open());
    EXPECT_TRUE(form->Camera_Running());
    Start();
    Input(3, true);
    auto kept = Frames(4);
    form->Handle_Open(earlier);  // opened again with the window open
    EXPECT_TRUE(form->Camera_Running());
    EXPECT_TRUE(form->Heat().Capturing());
    const auto more = Frames(3);
    kept.insert(kept.end(), more.begin(), more.end());
    Input(3, false);
    EXPECT_EQ(Stored_Stamps(form->Heat().Current_File()), kept);
    EXPECT_EQ(Reader(earlier)->num_Frames(), 3) << "the reviewed recording is untouched";
    // The camera button brings the live view back without stopping the camera.
    clock.Advance(1000);
    form->Command_start_camera_Click();
    EXPECT_FALSE(form->Review_File_Open());
    EXPECT_TRUE(form->Camera_Running());
    EXPECT_TRUE(form->Heat_Running());
}

TEST_F(RaceDayTest, WindowsAreWrittenAfterTheClockHasRunPastItsSignChange) {
    Load();
    Initiated();
    // 24.9 days after the program started: the clock reads "before" the start-up.
    clock.Set_PC_Mill(Platform::Mill_After(form->Input_Guard_Mill(), INT32_MAX - 100));
    Frames(10);
    Start();
    Input(3, true);
    const auto kept = Frames(5);
    Input(3, false);
    EXPECT_EQ(Stored_Stamps(form->Heat().Current_File()), kept);
    EXPECT_FALSE(Traced("Skipping Handle_Capture_end"));
}

}  // namespace

// A box press heard a few ms after its edge (the window thread was busy): the
// pre-trigger time counts back from the edge, wherever the PC clock stands.
struct Late_Press_Case {
    const char* name;
    int32_t edge;
};
class LateBoxPressTest : public RaceDayTest, public ::testing::WithParamInterface<Late_Press_Case> {};

TEST_P(LateBoxPressTest, ThePreTriggerCountsBackFromTheEdge) {
    const int32_t edge = GetParam().edge;
    clock.Set_PC_Mill(Platform::Mill_After(edge, -60000));
    Write_Ini("Settings", "pre_trigger_ms", "1000", Facts().Ini_file_path);
    Load();
    Initiated();
    Start();
    ASSERT_GT(Platform::Mill_Since(clock.PC_Mill(), edge), 1200);
    clock.Set_PC_Mill(Platform::Mill_After(edge, -1039 - frame_ms));
    Frames(1);                               // 1039 ms before the edge: too old
    std::vector<int32_t> want = Frames(25);  // 999 to 39 ms before it
    ASSERT_EQ(want.front(), Platform::Mill_After(edge, -999));
    clock.Advance(39);
    kit->Set_Input(3, true);
    clock.Advance(3);
    Events();
    ASSERT_TRUE(form->Heat().Capturing());
    const auto held = Frames(3);
    want.insert(want.end(), held.begin(), held.end());
    Input(3, false);
    EXPECT_EQ(Stored_Stamps(form->Heat().Current_File()), want);
    EXPECT_TRUE(errors.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(ClockReadings, LateBoxPressTest,
                         ::testing::Values(Late_Press_Case{"OrdinaryReading", 1000000},
                                           Late_Press_Case{"JustAfterTheSignChange", INT32_MIN + 500},
                                           Late_Press_Case{"JustBeforeTheSignChange", INT32_MAX - 20},
                                           Late_Press_Case{"JustAfterTheWrap", 500}),
                         By_Name());
