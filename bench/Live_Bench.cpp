// The capture controller's work for one 1920 x 1080 frame: stamp, rate
// measurement, crop, running arm and live paint, as the frame handler runs it.
#include <memory>

#include <benchmark/benchmark.h>

#include "Bench_Support.h"
#include "capture/SimVideoCap.h"
#include "capture/Stored_Frames.h"
#include "capture/cls_Capture_HDMI.h"
#include "platform/Clock.h"
#include "platform/PictureBox.h"

namespace {

constexpr uint32_t Arm_Red = 0x0000FF;

enum Live_Mode { Live = 0, Capturing = 1 };

// range(0): crop index; range(1): Live_Mode.
void BM_Live_Frame(benchmark::State& state) {
    const Bench::Crop& crop = Bench::Crop_At(static_cast<int>(state.range(0)));
    const auto mode = static_cast<Live_Mode>(state.range(1));
    const Bench::Camera_Frame* camera[2] = {&Bench::Camera_Frame_At(1), &Bench::Camera_Frame_At(2)};

    cls_Capture_HDMI cap(std::make_unique<SimVideoCap>(Sim_Pacing::Stepped));
    cap.set_HDMI_Crop(static_cast<int16_t>(crop.Width), static_cast<int16_t>(crop.Height));
    cap.Do_CROP(true);
    // The live picture is sized to the crop, the arm is a small square box.
    Platform::PictureBox out;
    out.Set_Canvas_Size(crop.Width, crop.Height);
    Platform::PictureBox arm;
    arm.Set_Canvas_Size(60, 60);
    Stored_Frames.Clear();

    int64_t frames = 0;
    for (auto _ : state) {
        const Bench::Camera_Frame& c = *camera[frames % 2];
        Video_Frame f = Bench::Video_Frame_Of(c);
        f.Stamp.Mill = Platform::PC_Mill();
        cap.OnRGBEvent(cap.Component(), f);
        if (mode == Capturing) cap.Store_HDMI_Buffer();
        cap.Draw_Running_Arm_2(arm, Arm_Red);
        cap.Draw_Cropped_DIB(out);
        ++frames;
        if (mode == Capturing && Stored_Frames.Count() >= 250) {
            // A capture window of 5 s; the collection is emptied outside the measurement.
            state.PauseTiming();
            Stored_Frames.Clear();
            state.ResumeTiming();
        }
    }
    Stored_Frames.Clear();
    state.counters["ms_per_frame"] = benchmark::Counter(static_cast<double>(frames) * 1e-3,
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetLabel(crop.Caption);
}

}  // namespace

BENCHMARK(BM_Live_Frame)
    ->ArgsProduct({{0, 1, 2}, {Live, Capturing}})
    ->ArgNames({"crop", "mode"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);
