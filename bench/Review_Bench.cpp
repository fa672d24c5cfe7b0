// Review: one field shown (read, decode, deinterlace, paint) over a
// 1500-field recording, both through the reader onto a picture box and
// through the main window's display refresh; Goto_Time over every position;
// opening a 3000-frame recording; and the memory one kept frame costs while a
// capture window is open.
#include <QApplication>
#include <QSlider>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <benchmark/benchmark.h>

#include "../tests/support/Test_Pictures.h"
#include "Bench_Support.h"
#include "capture/SimVideoCap.h"
#include "capture/Stored_Frames.h"
#include "capture/Video_Cap_Factory.h"
#include "capture/cls_Capture_HDMI.h"
#include "controlbox/Control_Box_Factory.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/PictureBox.h"
#include "platform/testing/ScriptedDialogs.h"
#include "recording/cls_VideoFile_handler.h"
#include "settings/Form_Houndex_settings.h"
#include "settings/Module_Ini.h"
#include "shell/Form_Houndex.h"
#include "shell/Start_Sound.h"
#include "common/Startup_Facts.h"

namespace {

constexpr int32_t Review_Frames = 750;  // 1500 fields
constexpr int32_t Open_Frames = 3000;
constexpr int32_t Distinct_Noise = 25;  // noise pictures a recording cycles through
constexpr int32_t Heat_Start = 50000;   // the heat's start stamp in every recording

// Noise pictures around mid grey (as the review tests film them), so every
// sample is a JPEG of realistic size and decoding cost. Count() frames cycle
// through Distinct_Noise pictures, one every 40 ms from 1000 ms after the start.
class Noise_Frames : public IStored_Frames {
public:
    Noise_Frames(int32_t width, int32_t height, int32_t count) : count_(count) {
        for (int32_t i = 0; i < Distinct_Noise; ++i) {
            cDIBSection p;
            p.Create(width, height);
            Fill_Noise(p, static_cast<uint32_t>(i + 1), 20);
            auto f = std::make_unique<CVideobuff_RGB>();
            f->Assign_RGB(p.DIBSectionBitsPtr(), static_cast<size_t>(p.SizeImage()), p.SizeImage());
            pictures_.push_back(std::move(f));
        }
    }
    int32_t Count() const override { return count_; }
    std::optional<Stored_Frame_Ref> Item(int32_t index) const override {
        if (index < 1 || index > count_) return std::nullopt;
        const CVideobuff_RGB& f = *pictures_[static_cast<size_t>(index - 1) % pictures_.size()];
        return Stored_Frame_Ref{f.Video_Adress(), f.RGB_Length(), Heat_Start + 1000 + 40 * (index - 1), 0, 40, {}};
    }
    void Clear() override {}

private:
    std::vector<std::unique_ptr<CVideobuff_RGB>> pictures_;
    int32_t count_;
};

// A recording of frame_count noise frames of the crop size, interlaced at
// 25 frames/s (or progressive at 120), written as the workflow writes one: the
// header first (Initiate_File), then the capture-end append. Made once per run.
std::string Recording(int crop_index, int32_t frame_count, bool progressive = false) {
    static std::map<std::tuple<int, int32_t, bool>, std::string> made;
    const auto key = std::make_tuple(crop_index, frame_count, progressive);
    if (auto it = made.find(key); it != made.end()) return it->second;
    const Bench::Crop& crop = Bench::Crop_At(crop_index);
    const std::string path = Bench::Work_File("review-" + std::to_string(crop_index) + "-" +
                                              std::to_string(frame_count) + (progressive ? "p" : "i") + ".nx3");
    std::filesystem::remove(path);
    cls_VideoFile_handler h;
    h.Set_Cropped_X(crop.Width);
    h.Set_Cropped_Y(crop.Height);
    h.Set_RGB_interlaced(!progressive);
    if (!h.Initiate_NX3_File(path)) return {};
    h.Set_Running_Fps(progressive ? 120 : 25);
    h.Set_Hdx_event("Bench Event");
    h.Set_Hdx_Heat_ID("1");
    h.Set_Hdx_Heat_Name("Bench Heat");
    h.Set_Hdx_Goal_compensation("200");
    const int32_t x = crop.Width / 2;
    h.Set_Hdx_Goal_Finish(std::to_string(x) + ",20," + std::to_string(x + 10) + "," + std::to_string(crop.Height - 20));
    h.Set_Hdx_Goal_Split(std::to_string(x / 2) + ",10," + std::to_string(x + x / 2) + "," +
                         std::to_string(crop.Height - 10));
    h.Set_Hdx_start_PC_mill(Heat_Start);
    if (!h.Write_XML_Header()) return {};
    h.Close_File();
    Noise_Frames frames(crop.Width, crop.Height, frame_count);
    if (h.Append_Stored_Frames(frames) != frame_count) return {};
    h.Close_File();
    made[key] = path;
    return path;
}

// Counts error reports instead of showing them.
class Error_Count : public IErrorReporter {
public:
    void Report(const std::string&, int16_t, int32_t, const std::string&, const std::string&) override { ++count; }
    int count = 0;
};

// The real main window, loaded once (offscreen), with the simulated camera and
// Control Box, no start sound and scripted dialogs; a recording is opened
// through Handle_Open only when it is not the one already shown.
class Review_Window {
public:
    static Review_Window& Get() {
        if (!instance_) instance_.reset(new Review_Window());
        return *instance_;
    }
    static void End() { instance_.reset(); }

    Form_Houndex* Form() { return form_.get(); }
    // The play slider, found by its object name as a test finds it.
    QSlider* Slider() { return form_ ? form_->findChild<QSlider*>(QStringLiteral("Slider_play")) : nullptr; }
    int Errors() const { return errors_.count; }
    bool Open(const std::string& path) {
        if (!form_) return false;
        if (path != open_ || !form_->Review_File_Open()) {
            form_->Handle_Open(path);
            for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
            open_ = path;
        }
        return form_->Review_File_Open();
    }

    ~Review_Window() {
        form_.reset();
        Form_Houndex_settings::Unload();
        Set_Video_Cap_Factory({});
        Start_Sound::Set_Player({});
        Set_Error_Reporter(nullptr);
        Platform::Set_Dialogs(nullptr);
    }

private:
    Review_Window() {
        // Never the user's own data folder.
        if (!std::getenv("HOUNDEX_DATA_DIR")) {
            const std::string data = Bench::Work_File("data");
            std::filesystem::create_directories(data);
            setenv("HOUNDEX_DATA_DIR", data.c_str(), 1);
        }
        Platform::Set_Dialogs(&dialogs_);
        Set_Error_Reporter(&errors_);
        Set_Control_Box_Option("sim");
        Start_Sound::Set_Player([](const QByteArray&) {});
        Set_Video_Cap_Factory(
            []() -> std::unique_ptr<IVideoCap> { return std::make_unique<SimVideoCap>(Sim_Pacing::Stepped); });
        form_ = std::make_unique<Form_Houndex>();
        if (!form_->Form_Load()) {
            form_.reset();
            return;
        }
        Write_Ini("Settings", "save_folder", Bench::Work_Dir(), Facts().Ini_file_path);
        form_->show();
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }

    static inline std::unique_ptr<Review_Window> instance_;
    Platform::ScriptedDialogs dialogs_;
    Error_Count errors_;
    std::unique_ptr<Form_Houndex> form_;
    std::string open_;
};

// An official's pace: key repeat steps about 30 times a second, so the reader
// has this long (outside the timing) to read the next frame ahead. Pace 0 steps
// back to back, which only a replay does.
void Official_Pause(benchmark::State& state, bool paced) {
    if (!paced) return;
    state.PauseTiming();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    state.ResumeTiming();
}

// range(0): crop index; range(1): fields per step (1: field after field, so
// every second step decodes a new frame; 2: every step a new frame);
// range(2): 1 = also the copy onto the screen; range(3): 1 = at an official's pace.
void BM_Review_Field(benchmark::State& state) {
    const int crop_index = static_cast<int>(state.range(0));
    const int step = static_cast<int>(state.range(1));
    const bool screen = state.range(2) != 0;
    const bool paced = state.range(3) != 0;
    const std::string path = Recording(crop_index, Review_Frames);
    const Bench::Crop& crop = Bench::Crop_At(crop_index);
    cls_VideoFile_handler r;
    if (path.empty() || !r.Open_File(path) || r.Num_fields() != 2 * Review_Frames) {
        state.SkipWithError("the 1500-field recording could not be written or opened");
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
        Official_Pause(state, paced);
        field += step;
        if (field > r.Num_fields()) field = step == 1 ? 1 : 1 + (field - 1) % 2;
        ++shown;
    }
    if (r.Read_Error()) state.SkipWithError("a sample could not be read");
    state.counters["decodes_per_field"] = shown > 0 ? static_cast<double>(r.Decodes()) / static_cast<double>(shown) : 0;
    state.SetLabel(crop.Caption);
}

// range(0): crop index; range(1): 1 = also the copy onto the screen; range(2):
// 1 = at an official's pace. A progressive recording: every step shows the next
// whole frame, so every step needs a new sample (no deinterlace).
void BM_Review_Frame(benchmark::State& state) {
    const int crop_index = static_cast<int>(state.range(0));
    const bool screen = state.range(1) != 0;
    const bool paced = state.range(2) != 0;
    const std::string path = Recording(crop_index, Review_Frames, true);
    const Bench::Crop& crop = Bench::Crop_At(crop_index);
    cls_VideoFile_handler r;
    if (path.empty() || !r.Open_File(path) || r.Reviewed_By_Field() || r.Num_fields() != Review_Frames) {
        state.SkipWithError("the progressive recording could not be written or opened");
        return;
    }
    Platform::PictureBox picture;
    picture.Set_Canvas_Size(crop.Width, crop.Height);
    if (screen) picture.show();
    int32_t position = 1;
    int64_t shown = 0;
    for (auto _ : state) {
        r.Draw_Position(position, picture);
        if (screen) picture.repaint();
        Official_Pause(state, paced);
        position = position % r.Num_fields() + 1;
        ++shown;
    }
    if (r.Read_Error()) state.SkipWithError("a sample could not be read");
    state.counters["decodes_per_step"] = shown > 0 ? static_cast<double>(r.Decodes()) / static_cast<double>(shown) : 0;
    state.SetLabel(crop.Caption);
}

// The main window's display refresh: Slider_play moved one position (its
// valueChanged runs Slider_play_Scroll: field, goal line, labels). With
// range(1) = 1 the pending events run after each step too, so the picture box
// is painted onto the window as the event loop would after a scroll.
void BM_Window_Scroll(benchmark::State& state) {
    const int step = static_cast<int>(state.range(0));
    const bool screen = state.range(1) != 0;
    const std::string path = Recording(0, Review_Frames);
    Review_Window& w = Review_Window::Get();
    if (path.empty() || !w.Open(path) || !w.Slider() || w.Slider()->maximum() != 2 * Review_Frames) {
        state.SkipWithError("the main window could not open the 1500-field recording");
        return;
    }
    QSlider& slider = *w.Slider();
    const int errors = w.Errors();
    // From where the slider stands, so every step moves it.
    int position = slider.value();
    for (auto _ : state) {
        position += step;
        if (position > slider.maximum()) position = 1 + (position - 1) % 2;
        slider.setValue(position);
        if (screen) QCoreApplication::processEvents();
    }
    if (w.Errors() != errors) state.SkipWithError("the display refresh reported an error");
    state.SetLabel(Bench::Crop_At(0).Caption);
}

// Goto_Time to a time after the last field: every position of the 1500-field
// recording is drawn (Slider_play_Scroll each) before it gives up.
void BM_Goto_Time(benchmark::State& state) {
    const std::string path = Recording(0, Review_Frames);
    Review_Window& w = Review_Window::Get();
    if (path.empty() || !w.Open(path) || !w.Slider()) {
        state.SkipWithError("the main window could not open the 1500-field recording");
        return;
    }
    Form_Houndex& form = *w.Form();
    QSlider& slider = *w.Slider();
    const int fields = slider.maximum() - slider.minimum() + 1;
    const int errors = w.Errors();
    for (auto _ : state) {
        form.Goto_Time(std::numeric_limits<int32_t>::max());
        if (slider.value() != slider.maximum()) {
            state.SkipWithError("Goto_Time stopped before the last field");
            break;
        }
    }
    if (w.Errors() != errors) state.SkipWithError("Goto_Time reported an error");
    state.counters["fields"] = fields;
    state.counters["ms_per_field"] =
        benchmark::Counter(static_cast<double>(fields) * 1e-3,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetLabel(Bench::Crop_At(0).Caption);
}

// Opening a 3000-frame recording for review (header, counts, the first and last samples).
void BM_Open_Recording(benchmark::State& state) {
    const std::string path = Recording(static_cast<int>(state.range(0)), Open_Frames);
    if (path.empty()) {
        state.SkipWithError("the 3000-frame recording could not be written");
        return;
    }
    for (auto _ : state) {
        cls_VideoFile_handler r;
        if (!r.Open_File(path) || r.num_Frames() != Open_Frames) {
            state.SkipWithError("the 3000-frame recording could not be opened");
            break;
        }
        r.Close_File();
    }
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1048576.0;
    state.SetLabel(Bench::Crop_At(static_cast<int>(state.range(0))).Caption);
}

// Resident memory of the process (VmRSS), bytes.
int64_t Resident_Bytes() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            int64_t kb = 0;
            status >> kb;
            return kb * 1024;
        }
        status.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    return 0;
}

// Memory per frame kept by Store_HDMI_Buffer during a capture window (a
// 1920 x 1080 camera frame cropped to the crop size): resident memory growth
// (VmRSS) and the allocator's count, each over Kept frames. Memory freed
// earlier is handed back first, so the frames cannot hide in it.
void BM_Stored_Frame_Memory(benchmark::State& state) {
    const Bench::Crop& crop = Bench::Crop_At(static_cast<int>(state.range(0)));
    const Bench::Camera_Frame& c = Bench::Camera_Frame_At(1);
    cls_Capture_HDMI cap(std::make_unique<SimVideoCap>(Sim_Pacing::Stepped));
    cap.set_HDMI_Crop(static_cast<int16_t>(crop.Width), static_cast<int16_t>(crop.Height));
    cap.Do_CROP(true);
    Video_Frame f = Bench::Video_Frame_Of(c);
    constexpr int32_t Kept = 250;
    double rss_per_frame = 0, heap_per_frame = 0;
    for (auto _ : state) {
        Stored_Frames.Clear();
        cap.OnRGBEvent(cap.Component(), f);
#if defined(__GLIBC__)
        malloc_trim(0);
#endif
        const int64_t rss_before = Resident_Bytes();
        const int64_t heap_before = Bench::Allocated_Bytes();
        for (int32_t i = 0; i < Kept; ++i) cap.Store_HDMI_Buffer();
        const int64_t heap_after = Bench::Allocated_Bytes();
        const int64_t rss_after = Resident_Bytes();
        if (Stored_Frames.Count() != Kept) state.SkipWithError("not every frame was kept");
        rss_per_frame = static_cast<double>(rss_after - rss_before) / Kept;
        heap_per_frame = static_cast<double>(heap_after - heap_before) / Kept;
        Stored_Frames.Clear();
    }
    state.counters["rss_bytes_per_frame"] = rss_per_frame;
    state.counters["bytes_per_frame"] = heap_per_frame;
    state.counters["picture_bytes"] = cap.Crop_DIB().SizeImage();
    state.SetLabel(crop.Caption);
}

}  // namespace

namespace Bench {
void End_Review_Window() { Review_Window::End(); }
}  // namespace Bench

BENCHMARK(BM_Review_Field)
    ->ArgsProduct({{0, 1}, {1, 2}, {0, 1}, {0, 1}})
    ->ArgNames({"crop", "step", "screen", "paced"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);
BENCHMARK(BM_Review_Frame)
    ->ArgsProduct({{0, 1}, {0, 1}, {0, 1}})
    ->ArgNames({"crop", "screen", "paced"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(0.5);
BENCHMARK(BM_Window_Scroll)
    ->ArgsProduct({{1, 2}, {0, 1}})
    ->ArgNames({"step", "screen"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);
BENCHMARK(BM_Goto_Time)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Open_Recording)->Arg(0)->ArgName("crop")->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.5);
BENCHMARK(BM_Stored_Frame_Memory)->DenseRange(0, 2)->ArgName("crop")->Iterations(1)->Unit(benchmark::kMillisecond);
