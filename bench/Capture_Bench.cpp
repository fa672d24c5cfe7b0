// The three capture targets, the way of today (raw frames kept, compressed
// at the window's end) beside frames compressed as they arrive, at 600*1080:
//  - capture-end wait: release to the header's counts written and the file
//    closed, for a 10-s window at 50 frames/s after the recording's first;
//  - memory per kept frame after the first window, and of a 1000-ms
//    pre-trigger ring at 50 frames/s;
//  - the capture controller's work on the window thread per frame while
//    capturing (stamp, rate, crop, keeping the frame).
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "Bench_Support.h"
#include "capture/Arrival_Compressor.h"
#include "capture/SimVideoCap.h"
#include "capture/Stored_Frames.h"
#include "capture/cls_Capture_HDMI.h"
#include "platform/Clock.h"
#include "recording/Frame_Journal.h"
#include "recording/cls_VideoFile_handler.h"

namespace {

constexpr int Crop_600 = 1;
constexpr int32_t Window_Frames = 500;  // 10 s at 50 frames/s
enum Mode { Today = 0, On_Arrival = 1 };

// A kept frame made from the pass's picture `number`; nullptr (the benchmark
// stops with an error) when the pass has no such frame, rather than a frame
// made of whatever an empty optional holds.
std::shared_ptr<CVideobuff_RGB> Copy(benchmark::State& state, const Bench::Frames& frames, int32_t number) {
    const std::optional<Stored_Frame_Ref> picture = frames.Item(number);
    if (!picture || !picture->Video_Adress) {
        state.SkipWithError(
            ("no frame " + std::to_string(number) + " in the pass of " + std::to_string(frames.Count())).c_str());
        return nullptr;
    }
    const Stored_Frame_Ref& f = *picture;
    auto c = std::make_shared<CVideobuff_RGB>();
    c->Assign_RGB(f.Video_Adress, static_cast<size_t>(f.RGB_Length), f.RGB_Length);
    c->PutTimestamp(100000 + 20 * number, 36000000 + 20 * number, 20);
    c->Set_Sequence(number);
    return c;
}

// A recording whose first window has fixed N.
void Initiate(cls_VideoFile_handler& h, const std::string& path, Bench::Frames& frames) {
    std::filesystem::remove(path);
    std::filesystem::remove(Frame_Journal::Path_For(path));
    h.Set_Cropped_X(frames.Size().Width);
    h.Set_Cropped_Y(frames.Size().Height);
    h.Initiate_NX3_File(path);
    frames.Set_Count(50);
    h.Append_Stored_Frames(frames);
    // The window after it reads frames up to a whole pass: Item() past the count is empty.
    frames.Set_Count(Bench::Pass_Frames);
}

// range(0): Mode.
void BM_Capture_End(benchmark::State& state) {
    const auto mode = static_cast<Mode>(state.range(0));
    Bench::Frames& frames = Bench::Frames::For(Crop_600);
    const std::string path = Bench::Work_File("capture_end.nx3");
    for (auto _ : state) {
        state.PauseTiming();
        cls_VideoFile_handler h;
        Initiate(h, path, frames);
        Arrival_Compressor arrival;
        Stored_Frames_Collection window;
        std::shared_ptr<Frame_Journal> journal;
        if (mode == On_Arrival) {
            arrival.Configure(h.Compressor().Settings());
            journal = std::make_shared<Frame_Journal>(path, 0);
            arrival.Start_Journal(journal);
        }
        for (int32_t i = 1; i <= Window_Frames; ++i) {
            auto f = Copy(state, frames, i);
            if (!f) return;
            if (mode == On_Arrival) {
                arrival.Submit(f);
                arrival.Join_Window(f);
            }
            window.Add(std::move(f));
        }
        // The window was open for 10 s: every frame but the last few was compressed meanwhile.
        if (mode == On_Arrival) arrival.Drain();
        state.ResumeTiming();
        if (mode == On_Arrival) arrival.Stop_Journal();
        h.Append_Stored_Frames(window);
        if (journal) journal->Discard();
    }
    state.SetLabel(mode == Today ? "today" : "on arrival");
}

// range(0): Mode. Bytes a kept frame holds after the first window, and a ring of 50.
void BM_Kept_Memory(benchmark::State& state) {
    const auto mode = static_cast<Mode>(state.range(0));
    Bench::Frames& frames = Bench::Frames::For(Crop_600);
    cls_VideoFile_handler h;
    const std::string path = Bench::Work_File("kept.nx3");
    Initiate(h, path, frames);
    double per_frame = 0, ring = 0, raw = 0;
    for (auto _ : state) {
        Arrival_Compressor arrival;
        if (mode == On_Arrival) arrival.Configure(h.Compressor().Settings());
        std::vector<std::shared_ptr<CVideobuff_RGB>> kept;
        for (int32_t i = 1; i <= 50; ++i) {
            auto f = Copy(state, frames, i);
            if (!f) return;
            raw = f->RGB_Length();
            arrival.Submit(f);
            kept.push_back(std::move(f));
        }
        arrival.Drain();
        ring = 0;
        for (const auto& f : kept) ring += static_cast<double>(f->Held_Bytes());
        per_frame = ring / 50;
    }
    state.counters["bytes_per_frame"] = per_frame;
    state.counters["share_of_raw_pct"] = 100 * per_frame / raw;
    state.counters["ring_MB"] = ring / 1048576.0;
    state.SetLabel(mode == Today ? "today" : "on arrival");
}

// range(0): Mode. The controller's work on the window thread per camera frame while capturing.
void BM_Capture_UI(benchmark::State& state) {
    const auto mode = static_cast<Mode>(state.range(0));
    const Bench::Crop& crop = Bench::Crop_At(Crop_600);
    const Bench::Camera_Frame* camera[2] = {&Bench::Camera_Frame_At(1), &Bench::Camera_Frame_At(2)};
    cls_Capture_HDMI cap(std::make_unique<SimVideoCap>(Sim_Pacing::Stepped));
    cap.set_HDMI_Crop(static_cast<int16_t>(crop.Width), static_cast<int16_t>(crop.Height));
    cap.Do_CROP(true);
    cls_VideoFile_handler h;
    Bench::Frames& frames = Bench::Frames::For(Crop_600);
    Initiate(h, Bench::Work_File("ui.nx3"), frames);
    if (mode == On_Arrival) cap.Compress_On_Arrival(h.Compressor().Settings());
    Stored_Frames.Clear();
    int64_t n = 0;
    for (auto _ : state) {
        const Bench::Camera_Frame& c = *camera[n % 2];
        Video_Frame f = Bench::Video_Frame_Of(c);
        f.Stamp.Mill = Platform::PC_Mill();
        cap.OnRGBEvent(cap.Component(), f);
        cap.Store_HDMI_Buffer();
        ++n;
        if (Stored_Frames.Count() >= 250) {
            state.PauseTiming();
            cap.Finish_Arrival();
            Stored_Frames.Clear();
            state.ResumeTiming();
        }
    }
    cap.Finish_Arrival();
    Stored_Frames.Clear();
    state.SetLabel(mode == Today ? "today" : "on arrival");
}

// range(0): the source's frames a second. A 10-s capture window through the
// capture controller in real time: each camera frame (alternating 1920 x 1080
// pictures) is handed over when it is due, cropped, kept and compressed on
// arrival on the worker threads. Timed (manual): release to the recording's
// counts written and the file closed. Counters: frames delivered and kept,
// frames the window thread handled late (after the next was due).
void BM_High_Rate_Window(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const int fps = static_cast<int>(state.range(0));
    const int32_t window_frames = fps * 10;
    const Bench::Crop& crop = Bench::Crop_At(Crop_600);
    Bench::Frames& frames = Bench::Frames::For(Crop_600);
    const std::string path = Bench::Work_File("high_rate.nx3");
    double delivered = 0, kept = 0, late = 0;
    for (auto _ : state) {
        cls_VideoFile_handler h;
        Initiate(h, path, frames);
        cls_Capture_HDMI cap(std::make_unique<SimVideoCap>(Sim_Pacing::Stepped));
        cap.set_HDMI_Crop(static_cast<int16_t>(crop.Width), static_cast<int16_t>(crop.Height));
        cap.Do_CROP(true);
        cap.Compress_On_Arrival(h.Compressor().Settings());
        Stored_Frames.Clear();
        auto journal = std::make_shared<Frame_Journal>(path, 0);
        cap.Journal_Window(journal);
        delivered = late = 0;
        const Clock::time_point begin = Clock::now();
        const auto due = [&](int32_t i) {
            return begin + std::chrono::microseconds(static_cast<int64_t>(i) * 1000000 / fps);
        };
        for (int32_t i = 0; i < window_frames; ++i) {
            std::this_thread::sleep_until(due(i));
            Video_Frame f = Bench::Video_Frame_Of(Bench::Camera_Frame_At(1 + i % 2));
            f.Stamp.Mill = 100000 + static_cast<int32_t>(static_cast<int64_t>(i) * 1000 / fps);
            f.Stamp.Local = f.Stamp.Mill;
            cap.OnRGBEvent(cap.Component(), f);
            cap.Store_HDMI_Buffer();
            ++delivered;
            if (Clock::now() > due(i + 1)) ++late;
        }
        const Clock::time_point released = Clock::now();
        cap.End_Journal();
        cap.Finish_Arrival();
        kept = h.Append_Stored_Frames(Stored_Frames);
        h.Close_File();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - released).count());
        journal->Discard();
        Stored_Frames.Clear();
    }
    state.counters["delivered"] = delivered;
    state.counters["kept"] = kept;
    state.counters["late"] = late;
    state.SetLabel(std::to_string(fps) + " f/s");
}

}  // namespace

BENCHMARK(BM_Capture_End)
    ->DenseRange(0, 1)
    ->ArgName("mode")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_High_Rate_Window)
    ->Arg(50)
    ->Arg(120)
    ->ArgName("fps")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(BM_Kept_Memory)->DenseRange(0, 1)->ArgName("mode")->Iterations(1);
BENCHMARK(BM_Capture_UI)->DenseRange(0, 1)->ArgName("mode")->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
