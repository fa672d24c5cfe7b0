// The capture controller's limits and what it says about frames it cannot
// keep: the window's frame and memory limits, frames the camera backend
// dropped, and the recording's data area chosen from the pre-trigger ring so
// that no kept frame holds its raw picture.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Capture_Test_Support.h"
#include "Rateless_Video_Cap.h"
#include "Test_Name.h"
#include "capture/Stored_Frames.h"
#include "common/Startup_Facts.h"
#include "recording/Frame_Compressor.h"

namespace {

// The simulator with a drop count the test sets, as a backend reports frames
// it could not hand over.
class Dropping_Video_Cap : public Forwarding_Video_Cap {
public:
    using Forwarding_Video_Cap::Forwarding_Video_Cap;
    std::atomic<int64_t> dropped{0};

    std::string QueryString(const std::string& name) override {
        return name == "droppedFrames" ? std::to_string(dropped.load()) : Forwarding_Video_Cap::QueryString(name);
    }
};

class Limits_Test : public Capture_Test {
protected:
    // A controller cropping 96 x 54 out of the small simulator format, kept
    // frames going to the window (window) or to the ring.
    std::unique_ptr<cls_Capture_HDMI> Running(bool window) {
        auto cap = Controller();
        cap->set_HDMI_Crop(96, 54);
        cap->Do_CROP(true);
        cls_Capture_HDMI* c = cap.get();
        QObject::connect(c, &cls_Capture_HDMI::HDMIreceived, [c, window] {
            if (window)
                c->Store_HDMI_Buffer();
            else
                c->Keep_Pre_Trigger();
            c->Finish_Arrival();  // the workers keep up with the camera
        });
        c->Capture_Run();
        return cap;
    }
    static Fit_Settings Crop_Settings(int32_t n) {
        Frame_Compressor c;
        c.Cropped_X(96);
        c.Cropped_Y(54);
        c.Rounded_Compressed_Size(n);
        return c.Settings();
    }
    int Said(const std::string& start) const {
        int n = 0;
        for (const std::string& m : traces.Messages()) n += m.rfind(start, 0) == 0;
        return n;
    }
};

struct Window_Limit_Case {
    const char* name;
    int32_t max_frames;
    int32_t limit_mb;
    int32_t n;  // the recording's data area; 0 = not known, frames count raw
    int frames_offered;
    int32_t kept;
};

class WindowLimitTest : public Limits_Test, public ::testing::WithParamInterface<Window_Limit_Case> {};

TEST_P(WindowLimitTest, AFullWindowKeepsNoMoreAndSaysSoOnce) {
    const Window_Limit_Case& c = GetParam();
    auto cap = Running(true);
    cap->MaxFrames(c.max_frames);
    cap->Window_Limit_MB(c.limit_mb);
    if (c.n > 0) cap->Compress_On_Arrival(Crop_Settings(c.n));
    Frames(c.frames_offered, 40);
    EXPECT_EQ(cap->Buff_Num(), c.kept);
    EXPECT_EQ(Said("*Capture window full"), c.kept < c.frames_offered ? 1 : 0);

    // The next window has room again, and says so again when full.
    Stored_Frames.Clear();
    Frames(c.frames_offered, 40);
    EXPECT_EQ(cap->Buff_Num(), c.kept);
    EXPECT_EQ(Said("*Capture window full"), c.kept < c.frames_offered ? 2 : 0);
}

// A 96 x 54 crop picture holds 15552 bytes: 1 MB is 67 of them raw.
INSTANTIATE_TEST_SUITE_P(Limits, WindowLimitTest,
                         ::testing::Values(Window_Limit_Case{"no limit", 0, 0, 0, 30, 30},
                                           Window_Limit_Case{"max frames", 12, 0, 0, 30, 12},
                                           Window_Limit_Case{"max frames not reached", 40, 0, 0, 30, 30},
                                           Window_Limit_Case{"memory of raw frames", 0, 1, 0, 80, 67},
                                           Window_Limit_Case{"memory of fitted frames", 0, 1, 20000, 80, 52},
                                           Window_Limit_Case{"the lower of the two", 20, 1, 0, 80, 20}),
                         By_Name());

TEST_F(Limits_Test, FramesTheBackendDroppedAreCountedPerRunAndTracedAsTheyHappen) {
    auto own = std::make_unique<SimVideoCap>(Sim_Pacing::Stepped, SimVideoCap::Default_Name,
                                             std::vector<Sim_Format>{Small_25()});
    sim = own.get();
    sim->SelectSource("video:1");
    auto dropping = std::make_unique<Dropping_Video_Cap>(std::move(own));
    Dropping_Video_Cap* backend = dropping.get();
    backend->dropped = 4;  // an earlier run's
    cls_Capture_HDMI cap(std::move(dropping));
    std::vector<int64_t> signalled;
    QObject::connect(&cap, &cls_Capture_HDMI::Frames_Dropped, [&](qint64 total) { signalled.push_back(total); });
    cap.Capture_Run();
    Frames(2, 40);
    EXPECT_EQ(cap.Dropped_Frames(), 0);
    backend->dropped = 7;
    Frames(2, 40);
    backend->dropped = 8;
    Frames(1, 40);
    EXPECT_EQ(cap.Dropped_Frames(), 4);
    EXPECT_TRUE(traces.Has("*3 frames dropped by the camera backend"));
    EXPECT_TRUE(traces.Has("*1 frames dropped by the camera backend"));
    EXPECT_EQ(signalled, (std::vector<int64_t>{3, 4}));
    cap.Stop_Capture();
    cap.Capture_Run();
    Frames(1, 40);
    EXPECT_EQ(cap.Dropped_Frames(), 0) << "a new run counts from its start";
}

TEST_F(Limits_Test, TheRingChoosesTheDataAreaSoEveryFrameOfTheFirstWindowDropsItsRawPicture) {
    // A long ring chooses from its first second: raw pictures never pile up for longer.
    for (const int32_t ring_ms : {1000, 10000}) {
        SCOPED_TRACE("ring of " + std::to_string(ring_ms) + " ms");
        Stored_Frames.Clear();
        traces.lines.clear();
        auto cap = Running(false);
        cap->Pre_Trigger_ms(ring_ms);
        cap->Compress_On_Arrival(Crop_Settings(0));  // a new recording: N not chosen
        Frames(25, 40);
        EXPECT_EQ(cap->Data_Area(), 0) << "chosen only once the ring spans a second";
        Frames(5, 40);
        const int32_t n = cap->Data_Area();
        ASSERT_GT(n, 0);
        EXPECT_EQ(n % 1000, 0);
        EXPECT_TRUE(traces.Has("*JPEG data area chosen from 26 pre-trigger frames: " + std::to_string(n) + " bytes"));

        const int32_t ring = cap->Pre_Trigger_Count();
        cap->Take_Pre_Trigger(clock.PC_Mill());
        // The window's own frames, kept after the press.
        QObject::disconnect(cap.get(), &cls_Capture_HDMI::HDMIreceived, nullptr, nullptr);
        QObject::connect(cap.get(), &cls_Capture_HDMI::HDMIreceived, [&] { cap->Store_HDMI_Buffer(); });
        Frames(15, 40);
        cap->Finish_Arrival();
        ASSERT_EQ(Stored_Frames.Count(), ring + 15);
        for (int32_t i = 1; i <= Stored_Frames.Count(); ++i) {
            const CVideobuff_RGB& f = *Stored_Frames.Frame(i);
            EXPECT_EQ(f.Jpeg().Data_Area, n) << "frame " << i;
            EXPECT_EQ(f.Video_Adress(), nullptr) << "frame " << i << " still holds its raw picture";
        }
    }
}

TEST_F(Limits_Test, AnAreaGivenByTheCallerFitsTheRingAtOnce) {
    auto cap = Running(false);
    cap->Pre_Trigger_ms(10000);
    cap->Compress_On_Arrival(Crop_Settings(0));
    Frames(8, 40);
    EXPECT_EQ(cap->Data_Area(), 0);
    cap->Compress_On_Arrival(Crop_Settings(30000));
    cap->Finish_Arrival();
    EXPECT_EQ(cap->Data_Area(), 30000);
    cap->Take_Pre_Trigger(clock.PC_Mill());
    ASSERT_EQ(Stored_Frames.Count(), 8);
    for (int32_t i = 1; i <= 8; ++i) {
        EXPECT_EQ(Stored_Frames.Frame(i)->Jpeg().Data_Area, 30000);
        EXPECT_EQ(Stored_Frames.Frame(i)->Video_Adress(), nullptr);
    }
}

}  // namespace
