// The camera delay measured with the start LED through the real main window,
// and the heat timed with it afterwards: stepped simulated camera, virtual
// Control Box and the fake clock.
#include <gtest/gtest.h>

#include "Test_Name.h"

#include <QAction>
#include <QElapsedTimer>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTreeWidget>

#include <cmath>
#include <map>
#include <memory>
#include <numeric>
#include <optional>

#include "Test_Env.h"
#include "capture/Form_Camera_Delay.h"
#include "capture/GstVideoCap.h"
#include "capture/SimVideoCap.h"
#include "capture/Stored_Frames.h"
#include "capture/Video_Cap_Factory.h"
#include "capture/cls_Capture_HDMI.h"
#include "controlbox/Control_Box_Factory.h"
#include "controlbox/Control_Box_Panel.h"
#include "controlbox/SimInterfaceKit.h"
#include "metadata/Cls_XML_header.h"
#include "platform/Find_Control.h"
#include "platform/PictureBox.h"
#include "recording/cls_VideoFile_handler.h"
#include "settings/Form_Houndex_settings.h"
#include "settings/Module_Ini.h"
#include "shell/Form_Houndex.h"
#include "shell/Start_Sound.h"
#include "common/Startup_Facts.h"

namespace {

using Platform::Control;

constexpr int Frame_Ms = 40;  // 1920*1080, 25 frames a second, interlaced
constexpr int Field_Ms = 20;

struct Delay_Case {
    const char* name;
    int32_t pipe_delay;  // exposure to the frame's arrival
    int32_t device_age;  // 0: stamped on arrival; else the device stamps that much earlier
    const char* stamp_word;
};

class Delay_Window_Test : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        Stored_Frames.Clear();
        Set_Control_Box_Option("sim");
        Start_Sound::Set_Player([](const QByteArray&) {});
        folder = Temp_Dir();
        Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
        Write_Ini("Settings", "save_folder", folder, Facts().Ini_file_path);
        Write_Ini("capturesettings", "friendlyname", SimVideoCap::Default_Name, Facts().Ini_file_path);
        Write_Ini("capturesettings", "videoproperty", "0", Facts().Ini_file_path);
    }
    void TearDown() override {
        window = nullptr;
        form.reset();
        Form_Houndex_settings::Unload();
        Set_Video_Cap_Factory({});
        Start_Sound::Set_Player({});
        Stored_Frames.Clear();
        Hdx_Test::TearDown();
    }

    void Load(const Delay_Case& c) {
        Set_Video_Cap_Factory([this, c]() -> std::unique_ptr<IVideoCap> {
            auto cap = std::make_unique<SimVideoCap>(Sim_Pacing::Stepped);
            cap->Pipe_Delay_Mill(c.pipe_delay);
            cap->Device_Stamp_Age_Mill(c.device_age);
            sim = cap.get();
            return cap;
        });
        form = std::make_unique<Form_Houndex>();
        ASSERT_TRUE(form->Form_Load());
        form->show();
        QCoreApplication::processEvents();
        kit = dynamic_cast<SimInterfaceKit*>(form->Control_Box());
        ASSERT_NE(kit, nullptr);
        ASSERT_TRUE(form->Panel()->m_Phidget_Attached);
        clock.Advance(3500);
        form->Command_start_camera_Click();
        Run(110 * Frame_Ms);
        form->Update_Running_Fps();
        ASSERT_EQ(form->Capture_Controller()->Running_Fps(), 25);
    }

    // The program runs for ms milliseconds: a frame every frame period, the
    // calibration's timer every millisecond, the event loop now and then.
    void Run(int ms) {
        for (int i = 0; i < ms; ++i) {
            clock.Advance(1);
            if (++elapsed % Frame_Ms == 0) sim->Step();
            if (window) window->Tick();
            if (elapsed % 10 == 0) QCoreApplication::processEvents();
        }
    }
    bool Menu_Enabled() {
        emit Control<QMenu>(*form, "menu_form")->aboutToShow();
        return Control<QAction>(*form, "item_calibrate_delay")->isEnabled();
    }
    // A left click on the live picture at a frame pixel.
    void Click_At(QPoint led) {
        const int x = led.x() - cls_Capture_HDMI::Crop_Offset(1920, form->Crop_Width());
        const int y = led.y() - cls_Capture_HDMI::Crop_Offset(1080, form->Crop_Height());
        const QPointF at(
            (x + 0.5) * Control<Platform::PictureBox>(*form, "Picture_out")->width() / form->Crop_Width(),
            (y + 0.5) * Control<Platform::PictureBox>(*form, "Picture_out")->height() / form->Crop_Height());
        QMouseEvent press(QEvent::MouseButtonPress, at,
                          Control<Platform::PictureBox>(*form, "Picture_out")->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Control<Platform::PictureBox>(*form, "Picture_out"), &press);
    }
    // Clicks where the LED is (or the given frame pixel), starts, and waits for the verdict.
    Form_Camera_Delay& Calibrate(std::optional<QPoint> click = std::nullopt) {
        Control<QAction>(*form, "item_calibrate_delay")->trigger();
        Form_Camera_Delay* w = form->findChild<Form_Camera_Delay*>("Form_Camera_Delay");
        EXPECT_NE(w, nullptr);
        window = w;
        Click_At(click.value_or(sim->Start_LED_Place()));
        w->Command_start->click();
        for (int waited = 0; w->Calibration() && w->Calibration()->Running() && waited < 30000; waited += 100) Run(100);
        return *w;
    }

    // The first field at or after t (PC clock) that the camera exposes.
    double Next_Exposure(double t) const {
        const double grid = static_cast<double>(Platform::Mill_After(arrival_base, -sim->Pipe_Delay_Mill()));
        return grid + std::ceil((t - grid) / Field_Ms) * Field_Ms;
    }

    std::unique_ptr<Form_Houndex> form;
    SimVideoCap* sim = nullptr;
    SimInterfaceKit* kit = nullptr;
    std::string folder;
    int64_t elapsed = 0;
    int32_t arrival_base = 0;
    Form_Camera_Delay* window = nullptr;  // the calibration window, once open
};

class Camera_Delay_Test : public Delay_Window_Test, public ::testing::WithParamInterface<Delay_Case> {};

TEST_P(Camera_Delay_Test, TheMeasuredDelayIsStoredAndTheNextHeatIsTimedWithoutBias) {
    const Delay_Case c = GetParam();
    Load(c);
    const int32_t light_to_stamp = c.pipe_delay - c.device_age;
    ASSERT_TRUE(Menu_Enabled());

    Form_Camera_Delay& w = Calibrate();
    ASSERT_EQ(w.Calibration()->Status(), Camera_Delay_Calibration::State::Done) << w.Calibration()->Verdict();
    EXPECT_EQ(w.List_measurements->topLevelItemCount(), 10);
    const int32_t measured = *w.Calibration()->Result_Mill();
    EXPECT_LT(std::abs(measured - light_to_stamp), Field_Ms) << "measured " << measured;
    EXPECT_FALSE(kit->OutputState(0)) << "the LED is left dark";
    // Stored on confirmation only.
    EXPECT_EQ(form->Goal_Compensation(), 200);
    ASSERT_TRUE(w.Command_store->isEnabled());
    EXPECT_EQ(w.Command_store->text(), QString("Store %1 ms as Goal compensation").arg(measured));
    w.Command_store->click();
    EXPECT_EQ(form->Goal_Compensation(), measured);
    EXPECT_EQ(Read_Ini("Settings", "goal_compensation", Facts().Ini_file_path, ""), std::to_string(measured));
    EXPECT_EQ(form->Split_Compensation(), 200);

    // The next heat: six dogs whose crossings fall evenly over a field.
    form->Command_initiate_file_Click();
    const std::string path = form->Heat().Current_File();
    ASSERT_FALSE(path.empty());
    form->Command_start_heat_Click();
    ASSERT_TRUE(form->Heat_Running());
    EXPECT_FALSE(Menu_Enabled()) << "no calibration while a heat runs";
    const int32_t start = form->Heat().Start_PC_mill();
    arrival_base = Platform::Mill_After(clock.PC_Mill(), Frame_Ms - static_cast<int>(elapsed % Frame_Ms));
    std::array<double, 6> crossing{};  // ms after the start
    Sim_Scene::Run run;
    run.Begin_Ms = static_cast<double>(sim->Scene_Time(start));
    for (int i = 0; i < 6; ++i) {
        const double pc = Next_Exposure(static_cast<double>(start) + 1500 + 300 * i) - (i + 0.5) * Field_Ms / 6.0;
        crossing[static_cast<size_t>(i)] = pc - start;
        run.Crossing_Ms[static_cast<size_t>(i)] = run.Begin_Ms + crossing[static_cast<size_t>(i)];
    }
    sim->Add_Scene_Run(run);
    std::map<int32_t, int64_t> frame_of;  // stamp -> the simulator's frame number
    sim->On_Delivery = [&frame_of](const Sim_Delivery& d) { frame_of[d.Stamp_Mill] = d.Frame_Number; };
    Run(1200);
    kit->Set_Input(3, true);
    Run(2600);
    kit->Set_Input(3, false);
    Run(100);
    form->Command_finish_Click();
    form->Handle_Open(path);
    cls_VideoFile_handler& review = *form->Review_Handler();
    ASSERT_GT(review.num_Frames(), 0);
    EXPECT_EQ(review.Header().Frame_Stamp(), c.stamp_word);
    EXPECT_EQ(review.Hdx_Goal_compensation(), measured);

    // Each dog timed at the first field with its nose past the line, as the official would.
    const double finish = sim->Scene().Finish_X();
    std::vector<double> time_errors;
    for (int box = 1; box <= 6; ++box) {
        for (int position = 1; position <= Control<QSlider>(*form, "Slider_play")->maximum(); ++position) {
            Control<QSlider>(*form, "Slider_play")->setValue(position);
            form->Slider_play_Scroll();
            const int64_t frame = frame_of[review.Timestamp_long()];
            const Sim_Field_Truth* truth = sim->Field_Truth(frame, position % 2 ? 2 : 1);
            ASSERT_NE(truth, nullptr);
            if (truth->Nose_X[static_cast<size_t>(box - 1)] < finish) continue;
            form->Command_BOX_set_time_Click(box - 1);
            time_errors.push_back(review.Hdx_Heat_time(static_cast<int16_t>(box), false) -
                                  crossing[static_cast<size_t>(box - 1)]);
            break;
        }
    }
    ASSERT_EQ(time_errors.size(), 6u);
    // A time is the first field past the line: on average half a field, plus the 2 ms every time carries.
    const double mean = std::accumulate(time_errors.begin(), time_errors.end(), 0.0) / time_errors.size();
    EXPECT_NEAR(mean, 2 + Field_Ms / 2.0, 2.0) << "measured delay " << measured;
}

struct Store_Case {
    const char* name;
    int camera;              // selected in the main window: 1 Goal, 2 Split
    bool settings_open;      // the settings window is open while the result is stored
    bool led_in_picture;     // else the official clicked where there is no LED
    const char* stored_key;  // nullptr: nothing may be stored
};

TEST_F(Delay_Window_Test, ACalibrationStoppedHalfWayLeavesTheLEDDarkAndStoresNothing) {
    Load({"", 137, 0, "arrival"});
    Control<QAction>(*form, "item_calibrate_delay")->trigger();
    Form_Camera_Delay* w = form->findChild<Form_Camera_Delay*>("Form_Camera_Delay");
    ASSERT_NE(w, nullptr);
    window = w;
    Click_At(sim->Start_LED_Place());
    w->Command_start->click();
    Run(1000);  // the first switch lit it
    ASSERT_TRUE(kit->OutputState(0));
    // A heat started meanwhile stops it: the LED is the start LED.
    form->Command_initiate_file_Click();
    form->Command_start_heat_Click();
    ASSERT_TRUE(form->Heat_Running());
    Run(10);
    EXPECT_FALSE(kit->OutputState(0));
    EXPECT_FALSE(w->Calibration()->Running());
    EXPECT_FALSE(w->Command_store->isEnabled());
    EXPECT_NE(w->Label_result->text().indexOf("a heat started"), -1) << w->Label_result->text().toStdString();
    form->Command_finish_Click();

    // Closed half-way, and the program ended with a calibration under way.
    form->Command_start_camera_Click();
    Run(4400);
    form->Update_Running_Fps();
    w->Command_start->click();
    Run(1000);
    ASSERT_TRUE(kit->OutputState(0));
    w->close();
    EXPECT_FALSE(kit->OutputState(0));
    w->Command_start->click();
    Run(1000);
    EXPECT_EQ(form->Goal_Compensation(), 200);
    window = nullptr;
    form.reset();
}

class Calibration_Store_Test : public Delay_Window_Test, public ::testing::WithParamInterface<Store_Case> {};

TEST_P(Calibration_Store_Test, TheSelectedCamerasCompensationTakesAnAcceptedResultOnly) {
    const Store_Case& c = GetParam();
    Load({"", 137, 0, "arrival"});
    const QPoint clicked = sim->Start_LED_Place();
    if (!c.led_in_picture) sim->Start_LED_Place({300, 900});  // outside the crop: nothing changes where it is clicked
    form->Option_selected_camera_Click(c.camera);
    if (c.settings_open) form->item_show_settings_Click();

    Form_Camera_Delay& w = Calibrate(clicked);
    ASSERT_NE(w.Calibration(), nullptr);
    EXPECT_FALSE(kit->OutputState(0)) << "the LED is left dark";
    EXPECT_EQ(w.Command_store->isEnabled(), c.stored_key != nullptr) << w.Label_result->text().toStdString();
    w.Command_store->click();
    const std::string goal = Read_Ini("Settings", "goal_compensation", Facts().Ini_file_path, "200");
    const std::string split = Read_Ini("Settings", "split_compensation", Facts().Ini_file_path, "200");
    if (!c.stored_key) {
        EXPECT_NE(w.Label_result->text().indexOf("The LED was not seen"), -1) << w.Label_result->text().toStdString();
        EXPECT_EQ(goal, "200");
        EXPECT_EQ(split, "200");
        return;
    }
    const std::string measured = std::to_string(*w.Calibration()->Result_Mill());
    EXPECT_EQ(Read_Ini("Settings", c.stored_key, Facts().Ini_file_path, ""), measured);
    EXPECT_EQ(c.camera == 2 ? goal : split, "200") << "the other camera keeps its own";
    EXPECT_EQ(std::to_string(c.camera == 2 ? form->Split_Compensation() : form->Goal_Compensation()), measured);
    // The window says at once what is in use now: the value just stored, not the one before.
    const QString result = w.Label_result->text();
    EXPECT_TRUE(result.contains(QString("compensation is now %1 ms.").arg(measured.c_str()))) << result.toStdString();
    EXPECT_FALSE(result.contains("compensation is now 200 ms")) << result.toStdString();
    if (c.settings_open) {
        // The open window shows what is stored, so its next keystroke cannot bring back the old value.
        Form_Houndex_settings* settings = Form_Houndex_settings::Loaded();
        ASSERT_NE(settings, nullptr);
        EXPECT_EQ(settings->Text_goalcam_delay->text().toStdString(), measured);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Choices, Calibration_Store_Test,
    ::testing::Values(Store_Case{"Goal camera with the settings window open", 1, true, true, "goal_compensation"},
                      Store_Case{"Split camera", 2, false, true, "split_compensation"},
                      Store_Case{"the LED not where the official clicked", 1, false, false, nullptr}),
    By_Name());

INSTANTIATE_TEST_SUITE_P(Stamps, Camera_Delay_Test,
                         ::testing::Values(Delay_Case{"stamped on arrival", 137, 0, "arrival"},
                                           Delay_Case{"stamped by the capture device 60 ms before arrival", 137, 60,
                                                      "device"}),
                         By_Name());

}  // namespace

namespace {

// The GStreamer backend against a live test pattern, held up 100 ms in the
// pipeline as a capture chip's frames are on their way to the program.
class Gst_Window_Test : public Hdx_Test {
protected:
    void TearDown() override {
        form.reset();
        Platform::Set_Clock(&clock);
        Form_Houndex_settings::Unload();
        Set_Video_Cap_Factory({});
        Start_Sound::Set_Player({});
        Stored_Frames.Clear();
        Hdx_Test::TearDown();
    }
    std::unique_ptr<Form_Houndex> form;
};

TEST_F(Gst_Window_Test, ARecordingFromAGStreamerSourceSaysItsFramesCarryTheDeviceCaptureTime) {
    Platform::Set_Clock(nullptr);  // GStreamer runs on real time
    std::string why;
    ASSERT_TRUE(GstVideoCap::Initialise(&why)) << why;
    Set_Control_Box_Option("sim");
    Start_Sound::Set_Player([](const QByteArray&) {});
    const std::string folder = Temp_Dir();
    Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
    Write_Ini("Settings", "save_folder", folder, Facts().Ini_file_path);
    Write_Ini("capturesettings", "friendlyname", "Delayed pattern", Facts().Ini_file_path);
    Write_Ini("capturesettings", "videoproperty", "0", Facts().Ini_file_path);
    Set_Video_Cap_Factory([]() -> std::unique_ptr<IVideoCap> {
        std::vector<Gst_Source> sources;
        sources.push_back(GstVideoCap::Launch_Source(
            "Delayed pattern", "videotestsrc is-live=true ! queue min-threshold-time=100000000 max-size-buffers=0",
            {{true, 640, 960, 400000}}));
        return std::make_unique<GstVideoCap>(std::move(sources));
    });
    form = std::make_unique<Form_Houndex>();
    ASSERT_TRUE(form->Form_Load());
    form->Command_start_camera_Click();
    QElapsedTimer waited;
    waited.start();
    // The rate is known at once from the source; the stamps only from its frames.
    while ((form->Capture_Controller()->Running_Fps() == 0 || form->Capture_Controller()->HDMI_events() < 10) &&
           waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_GT(form->Capture_Controller()->Running_Fps(), 0) << "no frame rate from the test pattern";
    EXPECT_EQ(form->Capture_Controller()->Frame_Stamp_Kind(), Stamp_Kind::Device);
    // A frame's stamp is its capture time, before the 100 ms the pipeline held it.
    EXPECT_GE(Platform::Mill_Since(form->Capture_Controller()->last_Capture_mill(), Platform::PC_Mill()), 70);

    form->Command_initiate_file_Click();
    const std::string path = form->Heat().Current_File();
    ASSERT_FALSE(path.empty());
    cls_VideoFile_handler reader;
    ASSERT_TRUE(reader.Open_File(path));
    EXPECT_EQ(reader.Header().Frame_Stamp(), "device");
}

}  // namespace
