#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Capture_Test_Support.h"
#include "capture/Capture_State.h"
#include "capture/CombinedVideoCap.h"
#include "capture/Running_Arm.h"
#include "capture/Stored_Frames.h"
#include "platform/PictureBox.h"
#include "settings/Module_Ini.h"
#include "common/Startup_Facts.h"

namespace {

class Controller_Test : public Capture_Test {
protected:
    // 50 callbacks spread over elapsed milliseconds (one rate window).
    void Window(int elapsed) {
        const int each = elapsed / 50;
        Frames(1, elapsed - each * 49);
        Frames(49, each);
    }
    void Save_Source(const std::string& name, const std::string& prop) {
        Write_Ini("capturesettings", "friendlyname", name, Facts().Ini_file_path);
        Write_Ini("capturesettings", "videoproperty", prop, Facts().Ini_file_path);
    }
};

// ------------------------------------------------------------------ frame rate

TEST_F(Controller_Test, TheSourcesOwnRateHoldsFromTheStartUntilTheMeasurementCorrectsIt) {
    struct Case {
        const char* source;
        Sim_Format format;
        bool limit_25;
        int16_t at_start;
    } cases[] = {{"25 frames/s", Small_25(), false, 25},
                 {"50 frames/s", {192, 108, 50, false}, false, 50},
                 {"50 frames/s limited to 25", {192, 108, 50, false}, true, 25}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        auto cap = Controller({c.format});
        cap->Limit_Fps_Query = [&c] { return c.limit_25; };
        Save_Source(SimVideoCap::Default_Name, "0");
        ASSERT_TRUE(cap->Set_Source_from_Saved());
        cap->Capture_Run();
        EXPECT_EQ(cap->Running_Fps(), c.at_start);
        // The frames really come 40 ms apart: two windows later the rate says so.
        Frames(100, 40);
        EXPECT_EQ(cap->Running_Fps(), 25);
    }
}

TEST_F(Controller_Test, TheFirstFortyNineCallbacksLeaveTheRateAtZeroAndTheFirstWindowIsDiscarded) {
    auto cap = Controller({Small_25()}, false);
    cap->Capture_Run();
    Frames(49, 40);
    EXPECT_EQ(cap->Running_Fps(), 0);
    Frames(1, 40);  // window 1: measured against the initial reference, far outside 24 .. 52
    EXPECT_EQ(cap->Running_Fps(), 0);
    Frames(49, 40);
    EXPECT_EQ(cap->Running_Fps(), 0);
    Frames(1, 40);  // window 2: 2000 ms
    EXPECT_EQ(cap->Running_Fps(), 25);
}

TEST_F(Controller_Test, AZeroMillisecondWindowIsRetriedWithTheNextCallback) {
    auto cap = Controller({Small_25()}, false);
    cap->Capture_Run();
    Frames(50, 40);  // first window sets the reference
    Frames(50, 0);   // the clock stands still: elapsed 0
    EXPECT_EQ(cap->Running_Fps(), 0);
    Frames(1, 2000);  // retried at callback 101, not discarded
    EXPECT_EQ(cap->Running_Fps(), 25);
    // The retried window closed there: the next needs 50 more callbacks.
    Frames(49, 20);
    EXPECT_EQ(cap->Running_Fps(), 25);
    Frames(1, 20);
    EXPECT_EQ(cap->Running_Fps(), 50);
}

TEST_F(Controller_Test, WindowsOutside24To240AreDiscardedAndLeaveThePreviousRate) {
    struct Case {
        int elapsed;
        int16_t expected;
    } cases[] = {
        {2000, 25},
        {900, 56} /* 55.6 */,
        {1000, 50},
        {961, 52} /* 52.03 */,
        {833, 60} /* 60.02 */,
        {417, 120} /* 119.9 */,
        {208, 240} /* 240.4 */,
        {200, 25} /* 250 */,
        {2083, 24} /* 24.004 */,
        {2200, 25} /* 22.7 */,
        {1923, 26},
    };
    for (const auto& c : cases) {
        auto cap = Controller();
        cap->Capture_Run();
        Frames(50, 40);  // discarded first window
        Window(2000);    // a known rate of 25
        ASSERT_EQ(cap->Running_Fps(), 25);
        Window(c.elapsed);
        EXPECT_EQ(cap->Running_Fps(), c.expected) << "window of " << c.elapsed << " ms";
    }
}

// A high-rate source is taken at its own rate from the start, and measured so.
TEST_F(Controller_Test, HighRateSourcesKeepTheirOwnRate) {
    struct Case {
        int fps, gap_ms;
    } cases[] = {{60, 17}, {120, 8}, {200, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fps);
        auto cap = Controller({{192, 108, c.fps, false}});
        cap->Limit_Fps_Query = [] { return false; };
        Save_Source(SimVideoCap::Default_Name, "0");
        ASSERT_TRUE(cap->Set_Source_from_Saved());
        cap->Capture_Run();
        EXPECT_EQ(cap->Running_Fps(), c.fps);
        Frames(100, c.gap_ms);
        EXPECT_NEAR(cap->Running_Fps(), 1000.0 / c.gap_ms, 1.0);
    }
}

// The recording's mark: the source's own scan where it says, the rule of old
// (every rate but 40 interlaced) where it does not.
TEST_F(Controller_Test, TheRecordingIsInterlacedWhenTheSourceSaysSo) {
    struct Case {
        const char* name;
        Sim_Format format;
        bool scan_reported;
        bool interlaced;
    } cases[] = {
        {"25i", {192, 108, 25, true}, true, true},          {"50p", {192, 108, 50, false}, true, false},
        {"60p", {192, 108, 60, false}, true, false},        {"120p", {192, 108, 120, false}, true, false},
        {"25p", {192, 108, 25, false}, true, false},        {"unsaid 25", {192, 108, 25, false}, false, true},
        {"unsaid 40", {192, 108, 40, false}, false, false}, {"unsaid 50", {192, 108, 50, false}, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto cap = Controller({c.format});
        cap->Limit_Fps_Query = [] { return false; };
        Save_Source(SimVideoCap::Default_Name, "0");
        ASSERT_TRUE(cap->Set_Source_from_Saved());
        cap->Capture_Run();
        const Scan_Mode reported = cap->Source_Scan();
        EXPECT_EQ(reported, c.format.Interlaced ? Scan_Mode::Interlaced : Scan_Mode::Progressive);
        EXPECT_EQ(
            cls_Capture_HDMI::Interlaced_Recording(c.scan_reported ? reported : Scan_Mode::Unknown, cap->Running_Fps()),
            c.interlaced);
        if (c.scan_reported) {
            EXPECT_EQ(cap->Interlaced_Recording(), c.interlaced);
        }
    }
}

TEST_F(Controller_Test, RateIsMeasuredWhenTheClockReadsBelowZero) {
    clock.Set_PC_Mill(-2000000000);
    auto cap = Controller({Small_25()}, false);
    cap->Capture_Run();
    Frames(100, 40);
    EXPECT_EQ(cap->Running_Fps(), 25);
}

TEST_F(Controller_Test, MeasuredFpsComesFromCallbacks31To131AndSurvivesARestart) {
    auto cap = Controller();
    cap->Capture_Run();
    Frames(130, 40);
    EXPECT_FLOAT_EQ(cap->Measured_fps(), 0.0f);
    Frames(1, 40);
    EXPECT_FLOAT_EQ(cap->Measured_fps(), 25.0f);

    cap->Stop_Capture();
    cap->Capture_Run();
    Frames(60, 20);  // past callback 31 of the new run: the previous run's value holds
    EXPECT_FLOAT_EQ(cap->Measured_fps(), 25.0f);
    Frames(71, 20);
    EXPECT_FLOAT_EQ(cap->Measured_fps(), 50.0f);
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(Controller_Test, TenFrameTimeIsTakenAtCallbacks21And31AndSurvivesARestart) {
    auto cap = Controller();
    cap->Capture_Run();
    Frames(30, 40);
    EXPECT_EQ(cap->HDMI_10_mill(), 0);
    Frames(1, 40);
    EXPECT_EQ(cap->HDMI_10_mill(), 400);
    cap->Stop_Capture();
    cap->Capture_Run();
    Frames(25, 20);  // between 21 and 31 of the new run
    EXPECT_EQ(cap->HDMI_10_mill(), 400);
    Frames(6, 20);
    EXPECT_EQ(cap->HDMI_10_mill(), 200);
}

// ------------------------------------------------------------------ timestamps and storing

TEST_F(Controller_Test, LastDeltaReadsZeroForTheFirstCallbackAndLongGapsWhileTheStoredFrameKeepsTheRawDelta) {
    auto cap = Controller();
    cap->set_HDMI_Crop(64, 32);
    cap->Do_CROP(true);
    cap->Capture_Run();
    struct Case {
        int gap;  // ms before the callback; -1: the first callback of the controller
        int32_t shown;
    } cases[] = {{-1, 0}, {40, 40}, {10000, 10000}, {10001, 0}, {20, 20}, {600000, 0}};
    int32_t expected_raw = 0;
    for (const auto& c : cases) {
        if (c.gap < 0) {
            sim->Step();
            expected_raw = clock.PC_Mill();  // the previous callback's clock is 0
        } else {
            Frames(1, c.gap);
            expected_raw = c.gap;
        }
        EXPECT_EQ(cap->last_Capture_delta(), c.shown) << "gap " << c.gap;
        Stored_Frames.Clear();
        cap->Store_HDMI_Buffer();
        ASSERT_EQ(Stored_Frames.Count(), 1);
        EXPECT_EQ(Stored_Frames.Frame(1)->Capture_Delta(), expected_raw) << "gap " << c.gap;
        EXPECT_EQ(Stored_Frames.Frame(1)->Capture_Mill(), clock.PC_Mill());
        EXPECT_EQ(Stored_Frames.Frame(1)->Capture_Local(), 52200000 + (clock.PC_Mill() - 1000000));
    }
}

TEST_F(Controller_Test, StoreBeforeAnyCallbackOfTheRunStoresNothing) {
    auto cap = Controller();
    cap->set_HDMI_Crop(64, 32);
    cap->Do_CROP(true);
    cap->Capture_Run();
    cap->Store_HDMI_Buffer();
    EXPECT_EQ(Stored_Frames.Count(), 0);
    EXPECT_TRUE(traces.Has("m_HDMI_events = 0"));

    Frames(3, 40);
    cap->Store_HDMI_Buffer();
    cap->Store_HDMI_Buffer();
    EXPECT_EQ(cap->Buff_Num(), 2);
    EXPECT_EQ(cap->num_Buffers_stored(), 2);

    // A new run empties the collection and starts counting callbacks again.
    cap->Stop_Capture();
    cap->Capture_Run();
    EXPECT_EQ(cap->Buff_Num(), 0);
    cap->Store_HDMI_Buffer();
    EXPECT_EQ(cap->Buff_Num(), 0);
}

TEST_F(Controller_Test, AStoredFrameIsACopyOfTheCropPictureWithTheLatestStamp) {
    auto cap = Controller();
    cap->set_HDMI_Crop(40, 20);
    cap->Do_CROP(true);
    cap->Capture_Run();
    const Coordinate_Frame picture(192, 108, true);
    clock.Advance(40);
    cap->OnRGBEvent(*sim, picture.Frame(clock.PC_Mill()));
    cap->Store_HDMI_Buffer();
    ASSERT_EQ(Stored_Frames.Count(), 1);
    const CVideobuff_RGB& f = *Stored_Frames.Frame(1);
    ASSERT_EQ(f.RGB_Length(), cap->Crop_DIB().SizeImage());
    EXPECT_NE(f.Video_Adress(), cap->Crop_DIB().DIBSectionBitsPtr());
    EXPECT_EQ(std::memcmp(f.Video_Adress(), cap->Crop_DIB().DIBSectionBitsPtr(), static_cast<size_t>(f.RGB_Length())),
              0);
    EXPECT_EQ(f.Capture_Mill(), clock.PC_Mill());
    EXPECT_EQ(cap->Effective_Video_Object(1), 1);
}

// ------------------------------------------------------------------ crop

struct Crop_Case {
    int16_t width, height;
    int16_t x_offset, y_offset;
    bool bottom_up;
};

class Crop_Test : public Capture_Test, public ::testing::WithParamInterface<Crop_Case> {};

TEST_P(Crop_Test, TheCentreWindowIsCopiedOneToOne) {
    const Crop_Case c = GetParam();
    auto cap = Controller();
    cap->set_HDMI_Crop(c.width, c.height);
    cap->Do_CROP(true);
    cap->Capture_Run();
    const Coordinate_Frame picture(1920, 1080, c.bottom_up);
    cap->OnRGBEvent(*sim, picture.Frame(clock.PC_Mill()));
    EXPECT_EQ(cls_Capture_HDMI::Crop_Offset(1920, c.width), c.x_offset);
    EXPECT_EQ(cls_Capture_HDMI::Crop_Offset(1080, c.height), c.y_offset);
    const cDIBSection& crop = cap->Crop_DIB();
    ASSERT_EQ(crop.Width(), c.width);
    ASSERT_EQ(crop.Height(), c.height);
    const int32_t probes[][2] = {
        {0, 0}, {c.width - 1, 0}, {0, c.height - 1}, {c.width - 1, c.height - 1}, {c.width / 2, c.height / 3}};
    for (const auto& p : probes) {
        int32_t x = -1, y = -1;
        Coordinate_Frame::Decode(crop.Get_Pixel(p[0], p[1]), x, y);
        EXPECT_EQ(x, c.x_offset + p[0]) << "crop pixel " << p[0] << "," << p[1];
        EXPECT_EQ(y, c.y_offset + p[1]) << "crop pixel " << p[0] << "," << p[1];
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, Crop_Test,
                         ::testing::Values(Crop_Case{400, 880, 760, 100, true}, Crop_Case{600, 1080, 660, 0, true},
                                           Crop_Case{576, 720, 672, 180, true}, Crop_Case{400, 880, 760, 100, false},
                                           Crop_Case{600, 1080, 660, 0, false}, Crop_Case{576, 720, 672, 180, false}),
                         [](const auto& param_info) {
                             const Crop_Case& c = param_info.param;
                             return "Crop" + std::to_string(c.width) + "x" + std::to_string(c.height) +
                                    (c.bottom_up ? "_BottomUp" : "_TopDown");
                         });

TEST(Crop_Offset, HalvesRoundHalfToEven) {
    struct {
        int32_t source, crop;
        int16_t offset;
    } cases[] = {
        {1920, 400, 760}, {721, 400, 160} /* 160.5 */, {723, 400, 162} /* 161.5 */, {1080, 1080, 0}, {320, 400, -40}};
    for (const auto& c : cases) EXPECT_EQ(cls_Capture_HDMI::Crop_Offset(c.source, c.crop), c.offset) << c.source;
}

TEST_F(Controller_Test, ACropLargerThanTheFrameLeavesTheRestBlack) {
    auto cap = Controller();
    cap->set_HDMI_Crop(400, 880);
    cap->Do_CROP(true);
    const Coordinate_Frame picture(320, 240, true);
    cap->OnRGBEvent(*sim, picture.Frame());
    const cDIBSection& crop = cap->Crop_DIB();
    int32_t x = -1, y = -1;
    Coordinate_Frame::Decode(crop.Get_Pixel(40, 320), x, y);  // offsets -40, -320
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    Coordinate_Frame::Decode(crop.Get_Pixel(359, 559), x, y);
    EXPECT_EQ(x, 319);
    EXPECT_EQ(y, 239);
    EXPECT_EQ(crop.Get_Pixel(0, 0), 0u);
    EXPECT_EQ(crop.Get_Pixel(399, 879), 0u);
    EXPECT_EQ(crop.Get_Pixel(360, 400), 0u);
    EXPECT_FALSE(cap->Halted());
}

TEST_F(Controller_Test, AFrameShorterThanItsSizeHaltsCaptureOnceAndIsNotRead) {
    auto cap = Controller();
    cap->set_HDMI_Crop(40, 20);
    cap->Do_CROP(true);
    int stops = 0;
    QObject::connect(cap.get(), &cls_Capture_HDMI::Stop_All_Cams_Requested, [&] { ++stops; });
    Coordinate_Frame picture(192, 108, true);
    Video_Frame f = picture.Frame();
    f.Length = f.Stride * 50;  // only half the rows are there
    cap->OnRGBEvent(*sim, f);
    cap->OnRGBEvent(*sim, f);
    EXPECT_TRUE(cap->Halted());
    EXPECT_EQ(stops, 1);
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].location, "Crop_RGB_picture of Class Module cls_Capture_HDMI");
    EXPECT_EQ(cap->Crop_DIB().Get_Pixel(0, 0), 0u) << "nothing copied";
}

TEST_F(Controller_Test, ANewCameraStartLiftsTheHaltABadFrameLeft) {
    auto cap = Controller();
    cap->set_HDMI_Crop(40, 20);
    cap->Do_CROP(true);
    cap->Capture_Run();
    int stops = 0;
    QObject::connect(cap.get(), &cls_Capture_HDMI::Stop_All_Cams_Requested, [&] { ++stops; });
    Coordinate_Frame picture(192, 108, true);
    Video_Frame shorter = picture.Frame();
    shorter.Length = shorter.Stride * 50;
    cap->OnRGBEvent(*sim, shorter);
    ASSERT_TRUE(cap->Halted());
    cap->Stop_Capture();

    cap->Capture_Run();
    EXPECT_FALSE(cap->Halted()) << "the new start's frames are handled";
    Frames(3, 40);
    EXPECT_FALSE(cap->Halted());
    // A bad frame of this run halts it again and stops the cameras again.
    cap->OnRGBEvent(*sim, shorter);
    EXPECT_TRUE(cap->Halted());
    EXPECT_EQ(stops, 2);
    EXPECT_EQ(errors.errors.size(), 2u) << "each run's bad frame is reported";
}

struct Preview_Case {
    bool bottom_up;
    int scale_w, scale_h;  // preview picture size in pixels
};

class Preview_Test : public Capture_Test, public ::testing::WithParamInterface<Preview_Case> {};

TEST_P(Preview_Test, TopRowsOfTheFrameShowAtTheTopOfThePreview) {
    const Preview_Case c = GetParam();
    auto cap = Controller();
    cap->set_HDMI_Crop(600, 1080);  // full height: the frame's top rows are in the crop
    cap->Do_CROP(true);
    // Grey frame whose top 60 rows are red.
    const int w = 1920, h = 1080, stride = w * 3;
    std::vector<uint8_t> px(static_cast<size_t>(stride) * h, 128);
    for (int y = 0; y < 60; ++y) {
        const int memory_row = c.bottom_up ? h - 1 - y : y;
        for (int x = 0; x < w; ++x) {
            uint8_t* p = px.data() + static_cast<size_t>(memory_row) * stride + x * 3;
            p[0] = 0;
            p[1] = 0;
            p[2] = 255;
        }
    }
    Video_Frame f;
    f.Pixels = px.data();
    f.Length = static_cast<int32_t>(px.size());
    f.Width = w;
    f.Height = h;
    f.Stride = stride;
    f.Bottom_Up = c.bottom_up;
    cap->OnRGBEvent(*sim, f);

    Platform::PictureBox picture;
    picture.Set_Canvas_Size(c.scale_w, c.scale_h);
    picture.Cls();
    cap->Draw_Cropped_DIB(picture);
    const QImage& canvas = picture.Canvas();
    EXPECT_EQ(canvas.pixelColor(c.scale_w / 2, 1), QColor(255, 0, 0));
    EXPECT_EQ(canvas.pixelColor(c.scale_w / 2, c.scale_h - 2), QColor(128, 128, 128));
    // 60 of 1080 rows: the band ends about 5.6 % down.
    EXPECT_EQ(canvas.pixelColor(c.scale_w / 2, c.scale_h * 4 / 100), QColor(255, 0, 0));
    EXPECT_EQ(canvas.pixelColor(c.scale_w / 2, c.scale_h * 8 / 100), QColor(128, 128, 128));
}

INSTANTIATE_TEST_SUITE_P(Layouts, Preview_Test,
                         ::testing::Values(Preview_Case{true, 600, 1080}, Preview_Case{false, 600, 1080},
                                           Preview_Case{true, 150, 270}),
                         [](const auto& param_info) {
                             const Preview_Case& c = param_info.param;
                             return "Preview" + std::to_string(c.scale_w) + "x" + std::to_string(c.scale_h) +
                                    (c.bottom_up ? "_BottomUp" : "_TopDown");
                         });

// ------------------------------------------------------------------ running arm

TEST(Running_Arm, AngleStartsAtTwelveAndTurnsClockwise) {
    struct {
        double count;
        double angle;
    } cases[] = {{0, -1.570795}, {25, 0.0}, {50, 1.570795}, {100, 2 * 3.14159 - 1.570795}};
    for (const auto& c : cases) EXPECT_NEAR(Running_Arm::Angle(c.count, 100), c.angle, 1e-9) << c.count;
}

TEST_F(Controller_Test, TheArmPointsToThreeOClockAt25AndTwelveAt100) {
    auto cap = Controller();
    cap->Capture_Run();
    Platform::PictureBox picture;
    picture.Set_Canvas_Size(100, 100);
    const QColor red(255, 0, 0);
    struct Case {
        int frames;  // total callbacks so far
        QPoint on, off;
    } cases[] = {{25, {90, 50}, {50, 10}}, {100, {50, 10}, {90, 50}}};
    int done = 0;
    for (const auto& c : cases) {
        Frames(c.frames - done, 40);
        done = c.frames;
        ASSERT_FLOAT_EQ(cap->Arm_Count(), static_cast<float>(c.frames));
        cap->Draw_Running_Arm_2(picture, 0x0000FF);
        EXPECT_EQ(picture.Canvas().pixelColor(c.on), red) << "count " << c.frames;
        EXPECT_NE(picture.Canvas().pixelColor(c.off), red) << "count " << c.frames;
    }
    Frames(1, 40);
    EXPECT_FLOAT_EQ(cap->Arm_Count(), 1.0f);
}

// ------------------------------------------------------------------ source set-up

TEST_F(Controller_Test, AMissingSavedSourceShowsTheNotFoundMessageOncePerCameraStart) {
    Save_Source("Finish cam", "0");
    auto cap = Controller();
    EXPECT_FALSE(cap->Set_Source_from_Saved());
    EXPECT_EQ(dialogs.Messages(),
              std::vector<std::string>{"Could not find the saved Video source! Please re-select Video source!"});
    EXPECT_FALSE(cap->SourcePropFound());
    EXPECT_TRUE(traces.Has("*Set_Source_from_Saved: m_saved_Friendly_name = Finish camm_saved_Video_prop_num= 0"));
    EXPECT_TRUE(traces.Has("*Found_Friendly = False"));
    EXPECT_EQ(Capture_State::Saved_Friendly_Name, "Finish cam");
    EXPECT_FALSE(cap->Set_Source_from_Saved());  // the next camera start
    EXPECT_EQ(dialogs.Messages().size(), 2u);
}

// A capture device as the system lists it: a camera, not the built-in simulator.
class Real_Camera : public SimVideoCap {
public:
    explicit Real_Camera(std::string name) : SimVideoCap(Sim_Pacing::Stepped, std::move(name)) {}
    std::string QueryString(const std::string& name) override {
        return name == "sourceDevicePath" ? "/dev/video0" : SimVideoCap::QueryString(name);
    }
};

TEST_F(Controller_Test, OnlyTheChosenSourceStreamsAndTheSimulatorStandsInOnlyWhereNoCameraIs) {
    struct Case {
        const char* label;
        std::string saved;  // "" = nothing saved
        bool camera_present;
        bool starts;
        bool simulated;
    } cases[] = {
        {"SavedCameraUnplugged", "Finish cam", false, false, false},
        {"SavedCameraGoneAnotherPresent", "Finish cam", true, false, false},
        {"NothingSavedACameraPresent", "", true, false, false},
        {"NothingSavedNoCamera", "", false, true, true},
        {"SimulatorChosen", SimVideoCap::Default_Name, true, true, true},
        {"SavedCameraPresent", "Start cam", true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        dialogs.Clear();
        Save_Source(c.saved, c.saved.empty() ? "" : "0");
        std::vector<std::unique_ptr<IVideoCap>> parts;
        Real_Camera* camera = nullptr;
        if (c.camera_present) {
            auto cam = std::make_unique<Real_Camera>("Start cam");
            camera = cam.get();
            parts.push_back(std::move(cam));
        }
        auto simulator = std::make_unique<SimVideoCap>(Sim_Pacing::Stepped);
        SimVideoCap* sim_cam = simulator.get();
        parts.push_back(std::move(simulator));
        cls_Capture_HDMI cap(std::make_unique<CombinedVideoCap>(std::move(parts)));

        EXPECT_EQ(cap.Set_Source_from_Saved(), c.starts);
        EXPECT_EQ(dialogs.Was_Shown("Could not find the saved Video source! Please re-select Video source!"),
                  !c.starts);
        EXPECT_EQ(Read_Ini("capturesettings", "friendlyname", Facts().Ini_file_path, "noname"),
                  c.saved.empty() ? "noname" : c.saved);  // the stand-in is not saved
        cap.set_HDMI_Crop(192, 108);
        cap.Do_CROP(true);
        cap.Capture_Run();
        EXPECT_EQ(sim_cam->Streaming(), c.starts && c.simulated);
        if (camera) {
            EXPECT_EQ(camera->Streaming(), c.starts && !c.simulated);
        }
        if (!c.starts) continue;

        // The preview says when the picture is the simulator's.
        clock.Advance(40);
        ASSERT_TRUE(c.simulated ? sim_cam->Step() : camera->Step());
        Platform::PictureBox picture;
        picture.Set_Canvas_Size(192, 108);
        cap.Draw_Cropped_DIB(picture);
        EXPECT_EQ(picture.Canvas().pixelColor(1, 1) == QColor(0, 0, 0), c.simulated);
        cap.Stop_Capture();
    }
}

TEST_F(Controller_Test, TheSavedSourceIsFoundByItsExactNameAndItsFormatApplied) {
    struct Case {
        std::string saved;
        std::string prop;
        bool limit;
        bool found;
        std::string property_string;
        int32_t period;
    } cases[] = {
        {"Houndex camera simulator", "1", true, true, "1920*1080/50", 40},
        {"Houndex camera simulator", "1", false, true, "1920*1080/50", 20},
        {"Houndex camera simulator", "2", true, true, "720*576/25", 40},
        {"houndex camera simulator", "1", true, false, "", 0},
    };
    for (const auto& c : cases) {
        Capture_State::Current_PropertyString.clear();
        Capture_State::Current_FriendlyName.clear();
        dialogs.Clear();
        Save_Source(c.saved, c.prop);
        auto cap = Controller(SimVideoCap::Default_Formats());
        cap->Limit_Fps_Query = [&] { return c.limit; };
        EXPECT_EQ(cap->Set_Source_from_Saved(), c.found) << c.saved;
        EXPECT_EQ(cap->SourcePropFound(), c.found);
        EXPECT_EQ(Capture_State::Current_PropertyString, c.property_string);
        if (!c.found) {
            EXPECT_TRUE(dialogs.Was_Shown("Could not find the saved Video source! Please re-select Video source!"));
            continue;
        }
        EXPECT_TRUE(dialogs.Messages().empty());
        EXPECT_EQ(cap->Current_FriendlyName(), "Houndex camera simulator");
        EXPECT_EQ(cap->MaxInterval(), "400000");
        EXPECT_EQ(cap->MinInterval(), "83333");
        EXPECT_EQ(sim->Frame_Period_Mill(), c.period);
        EXPECT_TRUE(traces.Has("*Sourcenum = 1 Property = " + c.property_string));
        EXPECT_TRUE(traces.Has("*Found_Friendly = True"));
    }
}

TEST_F(Controller_Test, TheSearchWalksTheSourcesInOrderAndStopsAtTheFirstGap) {
    Save_Source("Finish cam", "0");
    std::vector<std::unique_ptr<IVideoCap>> parts;
    parts.push_back(std::make_unique<SimVideoCap>(Sim_Pacing::Stepped, "Start cam"));
    parts.push_back(std::make_unique<SimVideoCap>(Sim_Pacing::Stepped, "Finish cam"));
    cls_Capture_HDMI cap(std::make_unique<CombinedVideoCap>(std::move(parts)));
    EXPECT_TRUE(cap.Set_Source_from_Saved());
    EXPECT_TRUE(traces.Has("*Sourcenum = 2 Property = 1920*1080/25"));

    Save_Source("Third cam", "0");
    std::vector<std::unique_ptr<IVideoCap>> two;
    two.push_back(std::make_unique<SimVideoCap>(Sim_Pacing::Stepped, "Start cam"));
    two.push_back(std::make_unique<SimVideoCap>(Sim_Pacing::Stepped, "Finish cam"));
    cls_Capture_HDMI other(std::make_unique<CombinedVideoCap>(std::move(two)));
    EXPECT_FALSE(other.Set_Source_from_Saved());
}

TEST_F(Controller_Test, AFailingSourceSetUpIsReportedWithTheSearchState) {
    Save_Source("Houndex camera simulator", "7");  // no such property
    auto cap = Controller(SimVideoCap::Default_Formats());
    EXPECT_FALSE(cap->Set_Source_from_Saved());
    EXPECT_FALSE(cap->SourcePropFound());
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].location, "Set_Source_from_Saved of Function cls_Capture_HDMI");
    EXPECT_EQ(errors.errors[0].extra, "1/Houndex camera simulator/Houndex camera simulator");
}

// ------------------------------------------------------------------ start, stop, end

TEST_F(Controller_Test, HDMIreceivedIsRaisedOncePerFrameBeforeTheCallbackReturns) {
    auto cap = Controller();
    cap->Capture_Run();
    std::vector<int32_t> seen;
    QObject::connect(cap.get(), &cls_Capture_HDMI::HDMIreceived, [&] { seen.push_back(cap->HDMI_events()); });
    Frames(3, 40);
    EXPECT_EQ(seen, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(cap->HDMI_Sample_Dimensions(), "192*108");
}

TEST_F(Controller_Test, StopEndsTheFramesAndAStoppedControllerSaysSo) {
    auto cap = Controller();
    cap->Capture_Run();
    EXPECT_TRUE(cap->Running());
    EXPECT_TRUE(traces.Has("Capture_run begin Post-hit_frames = 0Max_frames = 0"));
    EXPECT_TRUE(traces.Has("*Capture_Run end "));
    Frames(2, 40);
    cap->Stop_Capture();
    EXPECT_FALSE(cap->Running());
    EXPECT_TRUE(traces.Has(" *cls_capture Stop, object =  0 source = 0"));
    EXPECT_FALSE(sim->Step());
    EXPECT_EQ(cap->HDMI_events(), 2);
    cap->Stop_Capture();
    EXPECT_TRUE(traces.Has(" *cls_capture m_is_Running = False  ID = "));
}

TEST_F(Controller_Test, AStreamThatCannotStartShowsTheRunErrorAndStaysMarkedRunning) {
    auto cap = std::make_unique<SimVideoCap>(Sim_Pacing::Stepped);  // no source selected
    cls_Capture_HDMI ctl(std::move(cap));
    ctl.Capture_Run();
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(dialogs.Messages()[0],
              "*Capture_run error at line 50\r\nDescription = StartStream: no video source selected\r\n"
              " Last_error: StartStream: no video source selected");
    EXPECT_TRUE(ctl.Running());
}

TEST_F(Controller_Test, SettersTraceWhatTheyStore) {
    auto cap = Controller();
    cap->MaxFrames(0);
    cap->Post_linear(true);
    cap->Post_linear(false);
    cap->set_HDMI_Crop(400, 880);
    EXPECT_TRUE(traces.Has("*cls_Capture MaxFrames, index = 0 ID_string =  Maxframes = 0"));
    EXPECT_TRUE(traces.Has("Post_linear True"));
    EXPECT_TRUE(traces.Has("Post_linear False"));
    EXPECT_TRUE(traces.Has("*HDMI_Crop X,Y = 400,880"));
    EXPECT_FALSE(cap->Post_linear());
}

TEST_F(Controller_Test, EndingStopsEmptiesUnadvisesAndCountsDown) {
    const int32_t before = Capture_State::Cls_Capture_Counter;
    {
        auto cap = Controller();
        cap->set_HDMI_Crop(40, 20);
        cap->Do_CROP(true);
        cap->Capture_Run();
        Frames(2, 40);
        cap->Store_HDMI_Buffer();
        ASSERT_EQ(Stored_Frames.Count(), 1);
    }
    EXPECT_EQ(Stored_Frames.Count(), 0);
    EXPECT_EQ(Capture_State::Cls_Capture_Counter, before - 1);
    const std::vector<std::string> expected = {
        "*cls_Capture_HDMI Class_Terminate begin, index = 0 ID_string = ",
        " *cls_capture Stop, object =  0 source = 0",
        "*Clear_Linear_Buffer",
        "*cls_Capture,oCapture Unadvise",
        "*cls_Capture_HDMI Class_Terminate End Cls_Capture_Counter = " + std::to_string(before - 1),
    };
    const auto m = traces.Messages();
    ASSERT_GE(m.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(m.end() - static_cast<long>(expected.size()), m.end()), expected);
}

}  // namespace
