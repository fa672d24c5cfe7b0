#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <QTest>
#include <gtest/gtest.h>

#include "Capture_Test_Support.h"
#include "Test_Name.h"
#include "capture/CombinedVideoCap.h"
#include "capture/Module_HDMI_Support.h"
#include "capture/SimVideoCap.h"
#include "capture/Sim_Scene.h"
#include "platform/HdxError.h"
#include "recording/Picture_Ops.h"

namespace {

// Keeps a copy of the last frame and every stamp.
class Frame_Recorder : public IVideoCapEvent {
public:
    void OnDVEvent(IVideoCap&, const Video_Frame&) override {}
    void OnaudioEvent(IVideoCap&, const Video_Frame&) override {}
    void OnRGBEvent(IVideoCap&, const Video_Frame& f) override {
        last.assign(f.Pixels, f.Pixels + f.Length);
        geometry = f;
        geometry.Pixels = nullptr;
        stamps.push_back(f.Stamp);
    }
    // Row r counted from the top.
    const uint8_t* Row(int r) const {
        const int memory_row = geometry.Bottom_Up ? geometry.Height - 1 - r : r;
        return last.data() + static_cast<size_t>(memory_row) * geometry.Stride;
    }
    std::vector<uint8_t> last;
    Video_Frame geometry;
    std::vector<Frame_Stamp> stamps;
};

// The rightmost column of a row (top-down rows of stride bytes) that differs
// from the scene's background, the finish line left out; -1 when none.
int Rightmost_Dog_Pixel(const uint8_t* row, const Sim_Scene& scene, int r) {
    const uint8_t* bg = scene.Background().constScanLine(r);
    const int finish_left = static_cast<int>(scene.Finish_X()) - scene.Finish_Line_Width() - 1;
    const int finish_right = static_cast<int>(scene.Finish_X()) + scene.Finish_Line_Width() + 1;
    for (int x = scene.Width() - 1; x >= 0; --x) {
        if (x >= finish_left && x <= finish_right) continue;
        if (std::memcmp(row + x * 3, bg + x * 3, 3) != 0) return x;
    }
    return -1;
}

// Row of the given parity (0 even, 1 odd) through the dog's nose.
int Nose_Row(const Sim_Scene& scene, int box, int parity) {
    const int y = scene.Nose_Y(box);
    return (y % 2 == parity) ? y : y - 1;
}

class Sim_Test : public Capture_Test {
protected:
    std::unique_ptr<SimVideoCap> Camera(int format) {
        auto cam = std::make_unique<SimVideoCap>(Sim_Pacing::Stepped);
        cam->SelectSource("video:1");
        cam->SendCommand("SetFormat", std::to_string(format));
        cam->AdviseEvents(&recorder);
        cam->StartStream();
        return cam;
    }
    Frame_Recorder recorder;
};

TEST_F(Sim_Test, OffersItsFormatsWithTheirScanUnderItsFriendlyName) {
    SimVideoCap cam(Sim_Pacing::Stepped);
    EXPECT_EQ(cam.Source_Count(), 1);
    EXPECT_TRUE(cam.SelectSource("video:1"));
    EXPECT_FALSE(cam.SelectSource("video:2"));
    EXPECT_EQ(cam.QueryString("sourceFriendlyName"), "Houndex camera simulator");
    EXPECT_EQ(cam.QueryString("numprops"), "5");
    // Appended only: a saved property number keeps naming its format.
    const struct {
        const char* text;
        Scan_Mode scan;
    } expected[] = {{"1920*1080/25", Scan_Mode::Interlaced},
                    {"1920*1080/50", Scan_Mode::Progressive},
                    {"720*576/25", Scan_Mode::Interlaced},
                    {"1920*1080/60", Scan_Mode::Progressive},
                    {"1920*1080/120", Scan_Mode::Progressive}};
    for (int p = 0; p < 5; ++p) {
        EXPECT_EQ(Process_AMT(cam.Query_Media_Type(p)), expected[p].text);
        EXPECT_EQ(cam.Query_Media_Type(p).Scan, expected[p].scan) << expected[p].text;
    }
    cam.SendCommand("GetIntervals", "0");
    EXPECT_EQ(cam.QueryString("MaxInterval"), "400000");
    EXPECT_EQ(cam.QueryString("MinInterval"), "83333");
    EXPECT_THROW(cam.QueryString("getAMT00"), HdxError);
}

TEST_F(Sim_Test, BadCommandsRaiseAndLeaveTheirText) {
    SimVideoCap cam(Sim_Pacing::Stepped);
    cam.SelectSource("video:1");
    struct {
        const char* command;
        const char* argument;
    } cases[] = {{"SetFormat", "5"}, {"SetFormat", "-1"}, {"SetFormat", "x"}, {"CaptureFps", "fast"}, {"Zoom", "2"}};
    for (const auto& c : cases) {
        EXPECT_THROW(cam.SendCommand(c.command, c.argument), HdxError) << c.command << " " << c.argument;
        EXPECT_FALSE(cam.LastErrorText().empty());
    }
    cam.SendCommand("SetFormat", "1");
    EXPECT_TRUE(cam.LastErrorText().empty());
    EXPECT_EQ(Process_AMT(cam.Query_Current_Media_Type()), "1920*1080/50");
    cam.StartStream();
    EXPECT_THROW(cam.SendCommand("SetFormat", "0"), HdxError) << "not while streaming";
}

TEST_F(Sim_Test, TheRateCapHalvesFiftyFramesPerSecond) {
    SimVideoCap cam(Sim_Pacing::Stepped);
    cam.SelectSource("video:1");
    struct {
        const char* format;
        bool cap;
        int32_t period;
    } cases[] = {{"0", false, 40}, {"0", true, 40}, {"1", false, 20}, {"1", true, 40}, {"2", true, 40},
                 {"3", false, 16}, {"3", true, 40}, {"4", false, 8},  {"4", true, 40}};
    for (const auto& c : cases) {
        cam.SendCommand("CaptureFps", c.cap ? "25" : "0");
        cam.SendCommand("SetFormat", c.format);
        EXPECT_EQ(cam.Frame_Period_Mill(), c.period) << c.format << " cap " << c.cap;
    }
}

TEST_F(Sim_Test, SteppedFramesAreStampedWithTheClockAndOnlyWhileStreaming) {
    auto cam = Camera(2);
    for (int i = 0; i < 3; ++i) {
        clock.Advance(40);
        ASSERT_TRUE(cam->Step());
    }
    ASSERT_EQ(recorder.stamps.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(recorder.stamps[i].Mill, 1000000 + 40 * static_cast<int32_t>(i + 1));
        EXPECT_EQ(recorder.stamps[i].Local, 52200000 + 40 * static_cast<int32_t>(i + 1));
    }
    EXPECT_EQ(recorder.geometry.Width, 720);
    EXPECT_EQ(recorder.geometry.Height, 576);
    EXPECT_EQ(recorder.geometry.Stride, 2160);
    EXPECT_TRUE(recorder.geometry.Bottom_Up);
    EXPECT_EQ(recorder.geometry.Length, cam->Query_Stream_Header().Image_Size);
    cam->StopStream();
    EXPECT_FALSE(cam->Step());
    EXPECT_EQ(recorder.stamps.size(), 3u);
}

struct Field_Case {
    int format;
    int64_t scene_ms;  // when the frame is delivered, after the epoch
};

class Sim_Field_Test : public Sim_Test, public ::testing::WithParamInterface<Field_Case> {};

// The first-captured field (top row and every second row below it) shows the
// scene a field period before the other rows, and the truth says where.
TEST_P(Sim_Field_Test, EachFieldShowsTheDogsWhereTheTruthSays) {
    const Field_Case c = GetParam();
    auto cam = Camera(c.format);
    // No delay: the scene times of the cases are the exposures (clear of the finish line).
    cam->Pipe_Delay_Mill(0);
    clock.Advance(static_cast<int>(c.scene_ms));
    ASSERT_TRUE(cam->Step());
    const Sim_Format f = cam->Current_Format();
    const Sim_Scene& scene = cam->Scene();
    const int32_t stamp = recorder.stamps.back().Mill;
    const int32_t exposed = stamp;

    std::vector<std::pair<int, const Sim_Field_Truth*>> fields;  // row parity, truth
    if (f.Interlaced) {
        const Sim_Field_Truth* first = cam->Field_Truth(1, 2);
        const Sim_Field_Truth* second = cam->Field_Truth(1, 1);
        ASSERT_TRUE(first && second);
        EXPECT_EQ(first->Exposure_Mill, exposed);
        EXPECT_EQ(second->Exposure_Mill, exposed + 20) << "fields are 20 ms apart";
        fields = {{0, first}, {1, second}};
    } else {
        const Sim_Field_Truth* whole = cam->Field_Truth(1, 0);
        ASSERT_TRUE(whole);
        EXPECT_EQ(whole->Exposure_Mill, exposed);
        fields = {{0, whole}, {1, whole}};
    }
    for (int box = 1; box <= Sim_Scene::Dogs; ++box) {
        for (const auto& [parity, truth] : fields) {
            const double nose = truth->Nose_X[static_cast<size_t>(box - 1)];
            const int r = Nose_Row(scene, box, parity);
            const int seen = Rightmost_Dog_Pixel(recorder.Row(r), scene, r);
            EXPECT_NEAR(seen, nose, 2.0) << "box " << box << " row " << r;
        }
        if (f.Interlaced) {
            const double moved = fields[1].second->Nose_X[box - 1] - fields[0].second->Nose_X[box - 1];
            EXPECT_NEAR(moved, scene.Speed(box, c.scene_ms) * 0.020, 0.01) << "box " << box;
            EXPECT_GT(moved, 5.0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, Sim_Field_Test,
                         ::testing::Values(Field_Case{0, 500}, Field_Case{0, 1000}, Field_Case{1, 700},
                                           Field_Case{2, 520}, Field_Case{2, 1100},
                                           Field_Case{0, 500 + Sim_Scene::Cycle_Mill}),
                         [](const auto& param_info) {
                             const Sim_Format f = SimVideoCap::Default_Formats()[size_t(param_info.param.format)];
                             return std::to_string(f.Width) + "x" + std::to_string(f.Height) +
                                    (f.Interlaced ? "i" : "p") + std::to_string(f.Fps) + "_At" +
                                    std::to_string(param_info.param.scene_ms) + "ms";
                         });

TEST_F(Sim_Test, DeinterlacingPicksTheFieldTheTruthNamesFirstAndSecond) {
    auto cam = Camera(0);
    clock.Advance(600);
    ASSERT_TRUE(cam->Step());
    const Sim_Scene& scene = cam->Scene();
    std::vector<uint8_t> target(recorder.last.size());
    // Picture operation codes: 2 is the field captured first, 1 the other.
    for (int code : {2, 1}) {
        Picture_Ops::deinterlaceFrame2(recorder.last.data(), target.data(), 1920, 1080, static_cast<int16_t>(code));
        const Sim_Field_Truth* truth = cam->Field_Truth(1, code);
        ASSERT_TRUE(truth);
        for (int box = 1; box <= Sim_Scene::Dogs; ++box) {
            for (int parity : {0, 1}) {
                const int r = Nose_Row(scene, box, parity);
                const uint8_t* row = target.data() + static_cast<size_t>(1079 - r) * recorder.geometry.Stride;
                EXPECT_NEAR(Rightmost_Dog_Pixel(row, scene, r), truth->Nose_X[static_cast<size_t>(box - 1)], 2.0)
                    << "field code " << code << " box " << box << " row " << r;
            }
        }
    }
}

TEST_F(Sim_Test, DogsRunInTheirBoxColours) {
    auto cam = Camera(1);  // progressive: one exposure in every row
    clock.Advance(700);
    ASSERT_TRUE(cam->Step());
    const Sim_Field_Truth* truth = cam->Field_Truth(1, 0);
    ASSERT_TRUE(truth);
    for (int box = 1; box <= Sim_Scene::Dogs; ++box) {
        const int x = static_cast<int>(std::lround(truth->Nose_X[static_cast<size_t>(box - 1)] - 160));
        const int y = cam->Scene().Nose_Y(box) + 25;
        const uint8_t* p = recorder.Row(y) + x * 3;
        const uint32_t rgb = (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[0];
        EXPECT_EQ(rgb, Sim_Scene::Box_Color(box)) << "box " << box;
    }
}

TEST_F(Sim_Test, EveryFrameCarriesItsNumberAndTimeInThePicture) {
    auto cam = Camera(0);
    clock.Advance(40);
    cam->Step();
    const std::vector<uint8_t> first = recorder.last;
    clock.Advance(40);
    cam->Step();
    // The text block (inside every crop's window) changes; the rest of the sky does not.
    auto block_differs = [&](int x0, int y0, int x1, int y1) {
        for (int y = y0; y < y1; ++y) {
            const size_t off = static_cast<size_t>(1079 - y) * recorder.geometry.Stride;
            if (std::memcmp(first.data() + off + x0 * 3, recorder.last.data() + off + x0 * 3,
                            static_cast<size_t>(x1 - x0) * 3) != 0)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(block_differs(772, 192, 1148, 288));
    EXPECT_FALSE(block_differs(0, 0, 700, 180));
}

// The delay runs from the start of a frame's exposure to its delivery: with
// the default one a frame's stamp minus the default goal compensation (200) is
// its first field's exposure, and the second field is a field period later.
TEST_F(Sim_Test, APipeDelayMovesTheExposuresEarlier) {
    EXPECT_EQ(SimVideoCap(Sim_Pacing::Stepped).Pipe_Delay_Mill(), 200);
    struct {
        int format;
        int32_t delay;
    } cases[] = {{0, 200}, {0, 0}, {0, 75}, {1, 200}, {1, 0}};
    for (const auto& c : cases) {
        auto cam = Camera(c.format);
        cam->Pipe_Delay_Mill(c.delay);
        clock.Advance(1000);
        cam->Step();
        const int32_t stamp = recorder.stamps.back().Mill;
        const int64_t scene_first = cam->Scene_Time(stamp) - c.delay;
        if (cam->Current_Format().Interlaced) {
            const Sim_Field_Truth* first = cam->Field_Truth(1, 2);
            const Sim_Field_Truth* second = cam->Field_Truth(1, 1);
            ASSERT_TRUE(first && second);
            EXPECT_EQ(first->Exposure_Mill, stamp - c.delay) << c.delay;
            EXPECT_EQ(second->Exposure_Mill, stamp - c.delay + 20) << c.delay;
            EXPECT_DOUBLE_EQ(first->Nose_X[0], cam->Scene().Nose_X(1, scene_first));
            EXPECT_DOUBLE_EQ(second->Nose_X[0], cam->Scene().Nose_X(1, scene_first + 20));
        } else {
            const Sim_Field_Truth* whole = cam->Field_Truth(1, 0);
            ASSERT_TRUE(whole);
            EXPECT_EQ(whole->Exposure_Mill, stamp - c.delay) << c.delay;
            EXPECT_DOUBLE_EQ(whole->Nose_X[0], cam->Scene().Nose_X(1, scene_first));
        }
    }
}

TEST_F(Sim_Test, OnATimerFramesComeAtTheirRate) {
    Platform::Set_Clock(nullptr);  // real time
    SimVideoCap cam(Sim_Pacing::Timer, SimVideoCap::Default_Name, {Small_25()});
    cam.SelectSource("video:1");
    cam.AdviseEvents(&recorder);
    cam.StartStream();
    QTest::qWait(600);
    cam.StopStream();
    const size_t n = recorder.stamps.size();
    EXPECT_GE(n, 3u);
    EXPECT_LE(n, 20u);
    QTest::qWait(100);
    EXPECT_EQ(recorder.stamps.size(), n) << "no frame after StopStream";
    Platform::Set_Clock(&clock);
}

// ------------------------------------------------------------------ several components as one

TEST_F(Sim_Test, CombinedSourcesAreNumberedInPartOrder) {
    std::vector<std::unique_ptr<IVideoCap>> parts;
    parts.push_back(std::make_unique<SimVideoCap>(Sim_Pacing::Stepped, "Cam A"));
    parts.push_back(std::make_unique<SimVideoCap>(Sim_Pacing::Stepped, "Cam B"));
    auto* b = static_cast<SimVideoCap*>(parts[1].get());
    CombinedVideoCap cap(std::move(parts));
    EXPECT_EQ(cap.Source_Count(), 2);
    EXPECT_THROW(cap.QueryString("sourceFriendlyName"), HdxError) << "nothing selected yet";
    const char* names[] = {"Cam A", "Cam B"};
    for (int n = 1; n <= 2; ++n) {
        ASSERT_TRUE(cap.SelectSource("video:" + std::to_string(n)));
        EXPECT_EQ(cap.QueryString("sourceFriendlyName"), names[n - 1]);
    }
    EXPECT_FALSE(cap.SelectSource("video:3"));
    EXPECT_FALSE(cap.SelectSource("video:0"));
    EXPECT_FALSE(cap.SelectSource("audio:1"));
    EXPECT_EQ(cap.QueryString("sourceFriendlyName"), "Cam B") << "a missing source keeps the selection";
    EXPECT_EQ(cap.QueryString("buildNumber"), "camera simulator 1.0, camera simulator 1.0");

    cap.AdviseEvents(&recorder);
    cap.StartStream();
    clock.Advance(40);
    EXPECT_TRUE(b->Step());
    EXPECT_EQ(recorder.stamps.size(), 1u);
    cap.SelectSource("video:1");
    cap.StartStream();
    EXPECT_FALSE(b->Streaming()) << "starting another source stops the one running";
}

}  // namespace

// Queued pacing hands frames over the way a capture thread does: stamped when
// they arrived, delivered later by the event loop, oldest first, and none once
// the stream is stopped.
TEST_F(Sim_Test, QueuedFramesKeepTheirArrivalStampsAndWaitForTheEventLoop) {
    SimVideoCap cam(Sim_Pacing::Queued, SimVideoCap::Default_Name, {Small_25()});
    cam.SelectSource("video:1");
    cam.AdviseEvents(&recorder);
    std::vector<int64_t> handed;
    cam.On_Delivery = [&](const Sim_Delivery& d) { handed.push_back(d.Frame_Number); };
    cam.StartStream();
    const int32_t first = cam.Next_Arrival_Mill();
    EXPECT_EQ(first, clock.PC_Mill() + 40);
    clock.Advance(130);  // three frame periods and a bit
    cam.Catch_Up();
    EXPECT_TRUE(recorder.stamps.empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(recorder.stamps.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(recorder.stamps[i].Mill, first + 40 * static_cast<int32_t>(i));
    EXPECT_EQ(handed, (std::vector<int64_t>{1, 2, 3}));

    clock.Advance(40);
    cam.Catch_Up();
    cam.StopStream();
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.stamps.size(), 3u);
}

// Queued arrivals keep the format's exact rate, where a period is not a whole
// number of milliseconds as well; the stamps run evenly to the millisecond.
TEST_F(Sim_Test, QueuedArrivalsKeepTheExactRateOfEveryFormat) {
    const struct {
        Sim_Format format;
        int arrivals_in_a_second;
    } cases[] = {{{192, 108, 25, true}, 25},
                 {{192, 108, 50, false}, 50},
                 {{192, 108, 60, false}, 60},
                 {{192, 108, 120, false}, 120},
                 {{192, 108, 240, false}, 240}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.format.Fps));
        Frame_Recorder frames;
        SimVideoCap cam(Sim_Pacing::Queued, SimVideoCap::Default_Name, {c.format});
        cam.SelectSource("video:1");
        cam.AdviseEvents(&frames);
        cam.StartStream();
        const int32_t began = clock.PC_Mill();
        clock.Advance(1000);
        cam.Catch_Up();
        QCoreApplication::processEvents();
        ASSERT_EQ(static_cast<int>(frames.stamps.size()), c.arrivals_in_a_second);
        for (size_t i = 0; i < frames.stamps.size(); ++i) {
            const double exact = (static_cast<double>(i) + 1) * 1000.0 / c.format.Fps;
            EXPECT_NEAR(frames.stamps[i].Mill - began, exact, 0.5) << "frame " << i + 1;
        }
        cam.StopStream();
    }
}

// A race run to order: every dog's nose is on the finish line exactly at its
// crossing time, short of it just before and past it just after.
TEST(Sim_Scene_Run, EachDogCrossesTheFinishAtItsOwnTime) {
    Sim_Scene scene(1920, 1080);
    Sim_Scene::Run run;
    run.Begin_Ms = 10000;
    run.Crossing_Ms = {13000.25, 13000.75, 13019.5, 12900.5, 13400.125, 13250.5};
    scene.Add_Run(run);
    for (int box = 1; box <= Sim_Scene::Dogs; ++box) {
        const double t = run.Crossing_Ms[static_cast<size_t>(box - 1)];
        const double speed = scene.Speed(box, 11000);
        const double at = scene.Nose_X(box, static_cast<int64_t>(std::floor(t)));
        EXPECT_NEAR(at + speed * (t - std::floor(t)) / 1000.0, scene.Finish_X(), 1e-6) << box;
        EXPECT_LT(scene.Nose_X(box, static_cast<int64_t>(std::floor(t))), scene.Finish_X()) << box;
        EXPECT_GE(scene.Nose_X(box, static_cast<int64_t>(std::ceil(t))), scene.Finish_X()) << box;
    }
    // Before the run the dogs go round their cycles as ever.
    EXPECT_DOUBLE_EQ(scene.Nose_X(1, 9000), Sim_Scene(1920, 1080).Nose_X(1, 9000));
}

namespace {

// A hardened picture shows where the nose is to a fraction of a pixel, as a
// sensor does (each pixel gathers the light falling anywhere on it), blurred
// or not: the tip covers half a pixel where the nose was at the field's time
// (the blur is centred on it), whatever the blur's length.
struct Blur_Case {
    std::string name;
    double blur_px;
};

class Blur_Test : public ::testing::TestWithParam<Blur_Case> {};

TEST_P(Blur_Test, TheTipIsHalfCoveredWhereTheNoseIs) {
    Sim_Scene::Run run;
    run.Crossing_Ms = {3000, 3100, 3200, 3300, 3400, 3500};
    Sim_Scene scene(1920, 1080);
    scene.Harden(3);
    scene.Add_Run(run);
    scene.Exposure_Mill(GetParam().blur_px / scene.Speed(1, 2700) * 1000);
    const int y = scene.Nose_Y(1);
    const auto red = [&](const Sim_Scene::Canvas& c, int x) { return double(c.image.constScanLine(y)[x * 3 + 2]); };
    // And each field alone: a nose drawn whole pixels at a time is a quarter
    // of a pixel off on average, far more than the sensor's noise moves it.
    double sum = 0, off = 0;
    int n = 0;
    for (int64_t t = 2600; t < 2800; t += 7) {
        Sim_Scene::Canvas c;
        scene.Render(t, {}, c);
        const double nose = scene.Nose_X(1, t);
        const int x0 = static_cast<int>(nose);
        const double coat = red(c, x0 - 12), ground = red(c, x0 + 12);
        double half = 0;
        for (int x = x0 - 6; x < x0 + 6; ++x) {
            const double c0 = (red(c, x) - ground) / (coat - ground), c1 = (red(c, x + 1) - ground) / (coat - ground);
            if (c0 >= 0.5 && c1 < 0.5) half = x + 0.5 + (c0 - 0.5) / (c0 - c1);
        }
        sum += half - nose;
        off += std::abs(half - nose);
        ++n;
    }
    EXPECT_NEAR(sum / n, 0.0, 0.08) << "px from the nose, on average";
    EXPECT_LT(off / n, 0.18) << "px from the nose in one field, on average";
}

INSTANTIATE_TEST_SUITE_P(Lengths, Blur_Test,
                         ::testing::Values(Blur_Case{"none", 0}, Blur_Case{"two_pixels", 2},
                                           Blur_Case{"two_and_a_half_pixels", 2.5}, Blur_Case{"four_pixels", 4}),
                         By_Name());

}  // namespace
