#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include "Capture_Test_Support.h"
#include "Test_Name.h"
#include "capture/GstVideoCap.h"
#include "capture/Stored_Frames.h"
#include "capture/cls_Capture_HDMI.h"
#include "platform/HdxError.h"
#include "common/Startup_Facts.h"

namespace {

struct Seen_Frame {
    int32_t width, height, stride, length;
    bool bottom_up;
    Frame_Stamp stamp;
    uint8_t first_byte;
};

class Frame_Log : public IVideoCapEvent {
public:
    void OnDVEvent(IVideoCap&, const Video_Frame&) override {}
    void OnaudioEvent(IVideoCap&, const Video_Frame&) override {}
    void OnRGBEvent(IVideoCap&, const Video_Frame& f) override {
        frames.push_back(
            {f.Width, f.Height, f.Stride, f.Length, f.Bottom_Up, f.Stamp, f.Pixels ? f.Pixels[0] : uint8_t{0}});
    }
    std::vector<Seen_Frame> frames;
};

// Runs the event loop until done() or the time is up; never longer.
template <typename Done>
bool Pump_Until(Done done, int limit_ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limit_ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void Pump_For(int ms) {
    Pump_Until([] { return false; }, ms);
}

// A live test pattern: a capture device needs no hardware here.
class Gst_Test : public Capture_Test {
protected:
    void SetUp() override {
        Capture_Test::SetUp();
        Platform::Set_Clock(nullptr);  // GStreamer runs on real time
        std::string why;
        ASSERT_TRUE(GstVideoCap::Initialise(&why)) << "GStreamer cannot start: " << why;
        const auto missing = GstVideoCap::Missing_Elements({"videotestsrc"});
        std::string names;
        for (const auto& m : missing) names += m + " ";
        ASSERT_TRUE(missing.empty()) << "GStreamer plugins missing (run scripts/setup.sh): " << names;
    }
    void TearDown() override {
        Platform::Set_Clock(&clock);
        Capture_Test::TearDown();
    }
    static std::unique_ptr<GstVideoCap> Test_Pattern() {
        std::vector<Gst_Source> sources;
        sources.push_back(
            GstVideoCap::Launch_Source("Test pattern", "videotestsrc is-live=true pattern=ball",
                                       {{true, 320, 240, 400000}, {true, 320, 240, 200000}, {true, 160, 120, 400000}}));
        return std::make_unique<GstVideoCap>(std::move(sources));
    }
    // Mean milliseconds between consecutive stamps.
    static double Mean_Interval(const std::vector<Seen_Frame>& f) {
        return f.size() < 2 ? 0.0
                            : static_cast<double>(Platform::Mill_Since(f.front().stamp.Mill, f.back().stamp.Mill)) /
                                  static_cast<double>(f.size() - 1);
    }
    Frame_Log log;
};

TEST_F(Gst_Test, ALiveStreamDeliversFramesOfItsSizeAtItsRateWithRisingStampsUntilStopped) {
    auto cap = Test_Pattern();
    ASSERT_TRUE(cap->SelectSource("video:1"));
    EXPECT_EQ(cap->QueryString("sourceFriendlyName"), "Test pattern");
    EXPECT_EQ(cap->QueryString("numprops"), "3");
    cap->SendCommand("SetFormat", "0");
    cap->AdviseEvents(&log);
    cap->StartStream();
    ASSERT_TRUE(Pump_Until([&] { return log.frames.size() >= 30; }, 5000))
        << "only " << log.frames.size() << " frames in 5 s; " << cap->LastErrorText();
    cap->StopStream();
    const size_t at_stop = log.frames.size();
    Pump_For(300);
    EXPECT_EQ(log.frames.size(), at_stop) << "no frame after StopStream";

    int device_stamps = 0;
    double total_age = 0;
    for (size_t i = 0; i < log.frames.size(); ++i) {
        const Seen_Frame& f = log.frames[i];
        EXPECT_EQ(f.width, 320);
        EXPECT_EQ(f.height, 240);
        EXPECT_GE(f.stride, 320 * 3);
        EXPECT_GE(f.length, f.stride * 239 + 320 * 3);
        EXPECT_FALSE(f.bottom_up);
        if (i > 0) {
            EXPECT_GT(Platform::Mill_Since(log.frames[i - 1].stamp.Mill, f.stamp.Mill), 0) << "frame " << i;
        }
        EXPECT_GE(Platform::Mill_Since(f.stamp.Mill, f.stamp.Arrival_Mill), 0)
            << "a frame is never stamped after it arrived";
        if (f.stamp.From_Device) {
            ++device_stamps;
            total_age += Platform::Mill_Since(f.stamp.Mill, f.stamp.Arrival_Mill);
        }
    }
    EXPECT_EQ(device_stamps, static_cast<int>(log.frames.size())) << "every buffer carries its capture time";
    EXPECT_NEAR(Mean_Interval(log.frames), 40.0, 3.0);
    std::printf("[ note     ] capture time precedes arrival by %.1f ms on average over %zu frames\n",
                device_stamps ? total_age / device_stamps : 0.0, log.frames.size());
    EXPECT_EQ(cap->Query_Stream_Header().Width, 320);
    EXPECT_EQ(cap->Query_Stream_Header().Height, 240);
}

TEST_F(Gst_Test, AFrameHeldUpInThePipelineKeepsItsCaptureTime) {
    // The queue holds every buffer 100 ms before passing it on.
    std::vector<Gst_Source> sources;
    sources.push_back(GstVideoCap::Launch_Source(
        "Delayed pattern", "videotestsrc is-live=true ! queue min-threshold-time=100000000 max-size-buffers=0",
        {{true, 160, 120, 400000}}));
    GstVideoCap cap(std::move(sources));
    cap.SelectSource("video:1");
    cap.SendCommand("SetFormat", "0");
    cap.AdviseEvents(&log);
    cap.StartStream();
    ASSERT_TRUE(Pump_Until([&] { return log.frames.size() >= 15; }, 5000)) << cap.LastErrorText();
    cap.StopStream();
    for (size_t i = 5; i < log.frames.size(); ++i) {
        const Frame_Stamp& s = log.frames[i].stamp;
        EXPECT_TRUE(s.From_Device);
        EXPECT_NEAR(Platform::Mill_Since(s.Mill, s.Arrival_Mill), 100, 25) << "frame " << i;
    }
    EXPECT_NEAR(Mean_Interval(log.frames), 40.0, 3.0) << "the capture times keep the camera's cadence";
}

TEST_F(Gst_Test, TheRateCapTakesFiftyFramesPerSecondDownTo25) {
    struct {
        const char* cap;
        double interval;
    } cases[] = {{"25", 40.0}, {"0", 20.0}};
    for (const auto& c : cases) {
        Frame_Log seen;
        auto cap = Test_Pattern();
        cap->SelectSource("video:1");
        cap->SendCommand("CaptureFps", c.cap);
        cap->SendCommand("SetFormat", "1");  // 50 frames/s
        cap->AdviseEvents(&seen);
        cap->StartStream();
        ASSERT_TRUE(Pump_Until([&] { return seen.frames.size() >= 25; }, 5000)) << cap->LastErrorText();
        cap->StopStream();
        EXPECT_NEAR(Mean_Interval(seen.frames), c.interval, 3.0) << "CaptureFps " << c.cap;
    }
}

struct Stall_Case {
    const char* name;
    int32_t queue_mill;  // how long frames may wait; 0: the default
    bool all_delivered;
};

class GstStallTest : public Gst_Test, public ::testing::WithParamInterface<Stall_Case> {};

TEST_P(GstStallTest, FramesWaitingForABusyReceiverAreKeptWithinTheLimitAndDropsCounted) {
    const Stall_Case& c = GetParam();
    auto cap = Test_Pattern();
    if (c.queue_mill > 0) cap->Queue_Limit(c.queue_mill, GstVideoCap::Default_Queue_Bytes);
    cap->SelectSource("video:1");
    cap->SendCommand("SetFormat", "1");  // 50 frames/s
    cap->AdviseEvents(&log);
    cap->StartStream();
    ASSERT_TRUE(Pump_Until([&] { return !log.frames.empty(); }, 5000)) << cap->LastErrorText();
    const size_t before = log.frames.size();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // the receiving thread is busy
    QCoreApplication::processEvents();                            // one delivery pass
    const size_t burst = log.frames.size() - before;
    Pump_For(200);
    cap->StopStream();
    EXPECT_EQ(cap->QueryString("droppedFrames"), std::to_string(cap->Dropped_Frames()));
    if (c.all_delivered) {
        EXPECT_GE(burst, 25u) << "the frames of the stall";
        EXPECT_EQ(cap->Dropped_Frames(), 0);
        for (size_t i = 1; i < log.frames.size(); ++i)
            EXPECT_LE(Platform::Mill_Since(log.frames[i - 1].stamp.Mill, log.frames[i].stamp.Mill), 35)
                << "a frame is missing before frame " << i;
    } else {
        EXPECT_LE(burst, 12u) << "no more than 200 ms of frames wait";
        EXPECT_GE(cap->Dropped_Frames(), 15);
    }
}

INSTANTIATE_TEST_SUITE_P(Stalls, GstStallTest,
                         ::testing::Values(Stall_Case{"a stall shorter than the queue loses nothing", 0, true},
                                           Stall_Case{"a longer stall drops the oldest", 200, false}),
                         By_Name());

TEST_F(Gst_Test, TheControllerTracesFramesTheBackendDropped) {
    auto own = Test_Pattern();
    own->Queue_Limit(100, GstVideoCap::Default_Queue_Bytes);
    own->SelectSource("video:1");
    own->SendCommand("SetFormat", "1");
    cls_Capture_HDMI capture(std::move(own));
    capture.set_HDMI_Crop(100, 200);
    capture.Do_CROP(true);
    capture.Capture_Run();
    ASSERT_TRUE(Pump_Until([&] { return capture.HDMI_events() > 0; }, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Pump_For(200);
    capture.Stop_Capture();
    EXPECT_GE(capture.Dropped_Frames(), 10);
    int64_t traced = 0;
    for (const std::string& m : traces.Messages()) {
        long long n = 0;
        if (std::sscanf(m.c_str(), "*%lld frames dropped by the camera backend", &n) == 1) traced += n;
    }
    EXPECT_EQ(traced, capture.Dropped_Frames());
}

TEST_F(Gst_Test, TheControllerCropsTopDownFramesAndRaisesOnePerFrame) {
    auto own = Test_Pattern();
    own->SelectSource("video:1");
    own->SendCommand("SetFormat", "0");
    cls_Capture_HDMI capture(std::move(own));
    int events = 0;
    QObject::connect(&capture, &cls_Capture_HDMI::HDMIreceived, [&] { ++events; });
    capture.set_HDMI_Crop(100, 200);
    capture.Do_CROP(true);
    capture.Capture_Run();
    ASSERT_TRUE(dialogs.Messages().empty()) << dialogs.Messages()[0];
    ASSERT_TRUE(Pump_Until([&] { return events >= 10; }, 5000));
    capture.Stop_Capture();
    Pump_For(200);
    EXPECT_EQ(events, capture.HDMI_events());
    EXPECT_EQ(capture.HDMI_Sample_Dimensions(), "320*240");
    EXPECT_EQ(capture.Crop_DIB().Width(), 100);
    EXPECT_FALSE(capture.Halted());
    EXPECT_GE(capture.last_Capture_delta(), 1);
    EXPECT_LE(capture.last_Capture_delta(), 200);
}

TEST_F(Gst_Test, ASourceThatCannotBeBuiltRaisesWithItsReason) {
    std::vector<Gst_Source> sources;
    sources.push_back(GstVideoCap::Launch_Source("Broken", "no_such_element_here", {{true, 320, 240, 400000}}));
    GstVideoCap cap(std::move(sources));
    cap.SelectSource("video:1");
    cap.AdviseEvents(&log);
    EXPECT_THROW(cap.StartStream(), HdxError);
    EXPECT_NE(cap.LastErrorText().find("no_such_element_here"), std::string::npos) << cap.LastErrorText();
    EXPECT_FALSE(cap.Streaming());
    EXPECT_THROW(cap.SendCommand("SetFormat", "1"), HdxError);
}

TEST_F(Gst_Test, DeviceFormatsComeFromTheirCaps) {
    // Whatever this machine has: each listed device has a name and well-formed formats.
    for (const Gst_Source& s : GstVideoCap::Capture_Devices()) {
        EXPECT_FALSE(s.Friendly_Name.empty());
        for (const Gst_Format& f : s.Formats) EXPECT_FALSE(f.Caps.empty());
    }
    EXPECT_EQ(GstVideoCap::Raw_Caps({true, 1920, 1080, 400000}), "video/x-raw,width=1920,height=1080,framerate=25/1");
    EXPECT_EQ(GstVideoCap::Raw_Caps({true, 1920, 1080, 166833}),
              "video/x-raw,width=1920,height=1080,framerate=10000000/166833");
}

// Each format a device lists keeps the scan its caps name; a device that
// names none (or a choice of several) leaves it unknown.
TEST(Gst_Caps, TheScanComesFromTheInterlaceMode) {
    const struct {
        const char* caps;
        Scan_Mode scan;
        int64_t interval;
    } cases[] = {
        {"video/x-raw,width=1920,height=1080,framerate=25/1,interlace-mode=interleaved", Scan_Mode::Interlaced, 400000},
        {"video/x-raw,width=1920,height=1080,framerate=30000/1001,interlace-mode=mixed", Scan_Mode::Interlaced, 333667},
        {"video/x-raw,width=1920,height=1080,framerate=50/1,interlace-mode=progressive", Scan_Mode::Progressive,
         200000},
        {"image/jpeg,width=1280,height=720,framerate=120/1,interlace-mode=progressive", Scan_Mode::Progressive, 83333},
        {"video/x-raw,width=1920,height=1080,framerate=60/1", Scan_Mode::Unknown, 166667},
        {"video/x-raw,width=1920,height=1080,framerate=25/1,interlace-mode={progressive,interleaved}",
         Scan_Mode::Unknown, 400000},
    };
    for (const auto& c : cases) {
        const std::vector<Gst_Format> formats = GstVideoCap::Formats_Of_Caps(c.caps);
        ASSERT_EQ(formats.size(), 1u) << c.caps;
        EXPECT_EQ(formats[0].Type.Scan, c.scan) << c.caps;
        EXPECT_EQ(formats[0].Type.AvgTimePerFrame, c.interval) << c.caps;
    }
    EXPECT_TRUE(GstVideoCap::Formats_Of_Caps("not caps at all").empty());
}

}  // namespace
