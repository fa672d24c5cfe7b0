// Capture windows at 600*1080 as the window thread sees them, through the
// capture controller's own calls:
//  - memory of the pre-trigger ring (1000 ms at 50 frames/s) before a
//    recording's first window, and per frame kept in that first window;
//  - the cost of opening a window on the window thread (the journal made and
//    handed over, the ring taken) for a 1-s and a 5-s ring.
// Frames arrive 20 ms apart; the compression workers are given the time real
// frames would give them (Finish_Arrival after each frame, outside any timing).
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <benchmark/benchmark.h>

#include "Bench_Support.h"
#include "capture/SimVideoCap.h"
#include "capture/Stored_Frames.h"
#include "capture/cls_Capture_HDMI.h"
#include "recording/Frame_Journal.h"
#include "recording/cls_VideoFile_handler.h"

namespace {

constexpr int Crop_600 = 1;
constexpr int32_t Frame_Ms = 20;  // 50 frames/s

// A capture controller cropping 600*1080 out of the simulated camera's
// 1920 x 1080 frames, stamped as a 50 frames/s camera would stamp them.
class Camera {
public:
    Camera() : cap_(std::make_unique<SimVideoCap>(Sim_Pacing::Stepped)) {
        const Bench::Crop& crop = Bench::Crop_At(Crop_600);
        cap_.set_HDMI_Crop(static_cast<int16_t>(crop.Width), static_cast<int16_t>(crop.Height));
        cap_.Do_CROP(true);
    }
    cls_Capture_HDMI& Cap() { return cap_; }
    int32_t Mill() const { return mill_; }
    // The next frame reaches the controller.
    void Frame() {
        const Bench::Camera_Frame& c = Bench::Camera_Frame_At(1 + static_cast<int>(count_++ % 2));
        Video_Frame f = Bench::Video_Frame_Of(c);
        mill_ += Frame_Ms;
        f.Stamp.Mill = mill_;
        f.Stamp.Local = mill_;
        cap_.OnRGBEvent(cap_.Component(), f);
    }
    void Ring_Frames(int32_t n) {
        for (int32_t i = 0; i < n; ++i) {
            Frame();
            cap_.Keep_Pre_Trigger();
            cap_.Finish_Arrival();
        }
    }

private:
    cls_Capture_HDMI cap_;
    int32_t mill_ = 100000;
    int64_t count_ = 0;
};

// A new recording at 600*1080 whose N is not chosen yet.
void New_Recording(cls_VideoFile_handler& h, const std::string& path) {
    std::filesystem::remove(path);
    std::filesystem::remove(Frame_Journal::Path_For(path));
    const Bench::Crop& crop = Bench::Crop_At(Crop_600);
    h.Set_Cropped_X(crop.Width);
    h.Set_Cropped_Y(crop.Height);
    h.Initiate_NX3_File(path);
}

int64_t Settled_Bytes() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
    return Bench::Allocated_Bytes();
}

// The ring before a recording's first window, then the frames of that window.
void BM_First_Window_Memory(benchmark::State& state) {
    constexpr int32_t Ring_Ms = 1000, Window_Frames = 250;
    const std::string path = Bench::Work_File("first_window.nx3");
    double ring_mb = 0, per_frame = 0, raw = 0;
    for (auto _ : state) {
        cls_VideoFile_handler h;
        New_Recording(h, path);
        Camera camera;
        cls_Capture_HDMI& cap = camera.Cap();
        cap.Compress_On_Arrival(h.Compressor().Settings());
        cap.Pre_Trigger_ms(Ring_Ms);
        Stored_Frames.Clear();
        camera.Frame();  // the first crop picture, so nothing below is a one-off allocation
        const int64_t start = Settled_Bytes();
        camera.Ring_Frames(Ring_Ms / Frame_Ms + 1);
        ring_mb = static_cast<double>(Settled_Bytes() - start) / 1048576.0;

        cap.Journal_Window(std::make_shared<Frame_Journal>(path, 0));
        cap.Take_Pre_Trigger(camera.Mill());
        cap.Finish_Arrival();
        const int64_t opened = Settled_Bytes();
        for (int32_t i = 0; i < Window_Frames; ++i) {
            camera.Frame();
            cap.Store_HDMI_Buffer();
            cap.Finish_Arrival();
        }
        per_frame = static_cast<double>(Settled_Bytes() - opened) / Window_Frames;
        raw = cap.Crop_DIB().SizeImage();
        if (auto journal = cap.End_Journal()) journal->Discard();
        Stored_Frames.Clear();
        cap.Clear_Pre_Trigger();
    }
    state.counters["ring_MB"] = ring_mb;
    state.counters["bytes_per_frame"] = per_frame;
    state.counters["share_of_raw_pct"] = 100 * per_frame / raw;
}

// range(0): the ring's length in ms. Manual time: the window thread's part only.
void BM_Window_Open(benchmark::State& state) {
    const auto ring_ms = static_cast<int32_t>(state.range(0));
    const std::string path = Bench::Work_File("window_open.nx3");
    cls_VideoFile_handler h;
    New_Recording(h, path);
    Camera camera;
    cls_Capture_HDMI& cap = camera.Cap();
    cap.Compress_On_Arrival(h.Compressor().Settings());
    cap.Pre_Trigger_ms(ring_ms);
    Stored_Frames.Clear();
    int32_t taken = 0;
    double journal_ms = 0;
    for (auto _ : state) {
        camera.Ring_Frames(ring_ms / Frame_Ms + 1);
        const auto t0 = std::chrono::steady_clock::now();
        cap.Journal_Window(std::make_shared<Frame_Journal>(path, 0));
        const auto t1 = std::chrono::steady_clock::now();
        taken = cap.Take_Pre_Trigger(camera.Mill());
        const auto t2 = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(t2 - t0).count());
        journal_ms = std::chrono::duration<double, std::milli>(t1 - t0).count();
        if (auto journal = cap.End_Journal()) journal->Discard();
        Stored_Frames.Clear();
    }
    state.counters["ring_frames"] = taken;
    state.counters["journal_made_ms"] = journal_ms;
}

}  // namespace

BENCHMARK(BM_First_Window_Memory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Window_Open)
    ->Arg(1000)
    ->Arg(5000)
    ->ArgName("ring_ms")
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
