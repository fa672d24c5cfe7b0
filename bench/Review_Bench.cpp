// Review: one field shown (read, decode, deinterlace, paint) over a
// 1500-field recording; opening a 3000-frame recording; and the memory one
// kept frame costs while a capture window is open.
#include <filesystem>
#include <map>
#include <memory>

#include <benchmark/benchmark.h>

#include "Bench_Support.h"
#include "capture/SimVideoCap.h"
#include "capture/Stored_Frames.h"
#include "capture/cls_Capture_HDMI.h"
#include "platform/PictureBox.h"
#include "recording/cls_VideoFile_handler.h"

namespace {

// A recording of frame_count frames of the crop size (interlaced: two fields a frame).
std::string Recording(int crop_index, int32_t frame_count) {
    static std::map<std::pair<int, int32_t>, std::string> made;
    const auto key = std::make_pair(crop_index, frame_count);
    if (auto it = made.find(key); it != made.end()) return it->second;
    Bench::Frames& frames = Bench::Frames::For(crop_index);
    const Bench::Crop& crop = frames.Size();
    const std::string path = Bench::Work_File("review-" + std::to_string(crop_index) + "-" +
                                              std::to_string(frame_count) + ".nx3");
    std::filesystem::remove(path);
    cls_VideoFile_handler h;
    h.Set_Cropped_X(crop.Width);
    h.Set_Cropped_Y(crop.Height);
    h.Set_RGB_interlaced(true);
    h.Initiate_NX3_File(path);
    frames.Set_Count(frame_count);
    h.Append_Stored_Frames(frames);
    frames.Set_Count(Bench::Pass_Frames);
    made[key] = path;
    return path;
}

// range(0): crop index; range(1): fields per step (1: field after field, so
// every second step decodes a new frame; 2: every step a new frame);
// range(2): 1 = also the copy onto the screen.
void BM_Review_Field(benchmark::State& state) {
    const int crop_index = static_cast<int>(state.range(0));
    const int step = static_cast<int>(state.range(1));
    const bool screen = state.range(2) != 0;
    const std::string path = Recording(crop_index, 750);
    const Bench::Crop& crop = Bench::Crop_At(crop_index);
    cls_VideoFile_handler r;
    if (!r.Open_File(path) || r.Num_fields() != 1500) {
        state.SkipWithError("the 1500-field recording could not be opened");
        return;
    }
    Platform::PictureBox picture;
    picture.Set_Canvas_Size(crop.Width, crop.Height);
    if (screen) picture.show();
    int32_t field = 1;
    int64_t shown = 0;
    for (auto _ : state) {
        r.Draw_RGB_Field(field, picture);
        if (screen) picture.repaint();
        field += step;
        if (field > r.Num_fields()) field = step == 1 ? 1 : 1 + (field - 1) % 2;
        ++shown;
    }
    if (r.Read_Error()) state.SkipWithError("a sample could not be read");
    state.counters["ms_per_field"] = benchmark::Counter(static_cast<double>(shown) * 1e-3,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["decodes_per_field"] = shown > 0 ? static_cast<double>(r.Decodes()) / static_cast<double>(shown) : 0;
    state.SetLabel(crop.Caption);
}

// Opening a 3000-frame recording for review (header, counts, the first and last samples).
void BM_Open_Recording(benchmark::State& state) {
    const std::string path = Recording(static_cast<int>(state.range(0)), 3000);
    for (auto _ : state) {
        cls_VideoFile_handler r;
        if (!r.Open_File(path) || r.num_Frames() != 3000) {
            state.SkipWithError("the 3000-frame recording could not be opened");
            break;
        }
        r.Close_File();
    }
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1048576.0;
    state.SetLabel(Bench::Crop_At(static_cast<int>(state.range(0))).Caption);
}

// Memory per frame kept by Store_HDMI_Buffer during a capture window: the
// picture, its object and the collection's slot, with the allocator's overhead.
void BM_Stored_Frame_Memory(benchmark::State& state) {
    const Bench::Crop& crop = Bench::Crop_At(static_cast<int>(state.range(0)));
    const Bench::Camera_Frame& c = Bench::Camera_Frame_At(1);
    cls_Capture_HDMI cap(std::make_unique<SimVideoCap>(Sim_Pacing::Stepped));
    cap.set_HDMI_Crop(static_cast<int16_t>(crop.Width), static_cast<int16_t>(crop.Height));
    cap.Do_CROP(true);
    Video_Frame f;
    f.Pixels = c.Pixels.data();
    f.Length = static_cast<int32_t>(c.Pixels.size());
    f.Width = c.Width;
    f.Height = c.Height;
    f.Stride = c.Stride;
    constexpr int32_t Kept = 250;
    double per_frame = 0;
    for (auto _ : state) {
        Stored_Frames.Clear();
        cap.OnRGBEvent(cap.Component(), f);
        const int64_t before = Bench::Allocated_Bytes();
        for (int32_t i = 0; i < Kept; ++i) cap.Store_HDMI_Buffer();
        const int64_t after = Bench::Allocated_Bytes();
        per_frame = static_cast<double>(after - before) / Kept;
        Stored_Frames.Clear();
    }
    state.counters["bytes_per_frame"] = per_frame;
    state.counters["picture_bytes"] = cap.Crop_DIB().SizeImage();
    state.SetLabel(crop.Caption);
}

}  // namespace

BENCHMARK(BM_Review_Field)
    ->ArgsProduct({{0, 1}, {1, 2}, {0, 1}})
    ->ArgNames({"crop", "step", "screen"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);
BENCHMARK(BM_Open_Recording)->Arg(0)->ArgName("crop")->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.5);
BENCHMARK(BM_Stored_Frame_Memory)->DenseRange(0, 2)->ArgName("crop")->Iterations(1)->Unit(benchmark::kMillisecond);
