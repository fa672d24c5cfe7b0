#include "Bench_Support.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "capture/SimVideoCap.h"
#include "capture/Stored_Frames.h"
#include "capture/cls_Capture_HDMI.h"
#include "platform/Clock.h"
#include "platform/testing/FakeClock.h"

namespace Bench {

namespace {

const Crop Crops[Crop_Count] = {{"400*880", 400, 880}, {"600*1080", 600, 1080}, {"576*720", 576, 720}};

// Frames of the camera simulator as its sink sees them.
class Frame_Grabber : public IVideoCapEvent {
public:
    std::vector<Camera_Frame> Taken;
    void OnRGBEvent(IVideoCap&, const Video_Frame& f) override {
        Camera_Frame c;
        c.Width = f.Width;
        c.Height = f.Height;
        c.Stride = f.Stride;
        c.Pixels.assign(f.Pixels, f.Pixels + f.Length);
        Taken.push_back(std::move(c));
    }
    void OnDVEvent(IVideoCap&, const Video_Frame&) override {}
    void OnaudioEvent(IVideoCap&, const Video_Frame&) override {}
};

}  // namespace

const Crop& Crop_At(int index) { return Crops[index]; }

std::optional<Stored_Frame_Ref> Frames::Item(int32_t index) const {
    if (index < 1 || index > count_ || pictures_.empty()) return std::nullopt;
    const CVideobuff_RGB& f = *pictures_[static_cast<size_t>(index - 1) % pictures_.size()];
    // Times follow a 20 ms field rhythm through the whole pass.
    return Stored_Frame_Ref{f.Video_Adress(), f.RGB_Length(), 100000 + 40 * index, 36000000 + 40 * index, 40, {}};
}

Frames& Frames::For(int crop_index) {
    static Frames all[Crop_Count];
    Frames& f = all[crop_index];
    if (!f.pictures_.empty()) return f;
    f.crop_ = &Crops[crop_index];
    Platform::FakeClock clock;
    Platform::Set_Clock(&clock);
    {
        auto sim = std::make_unique<SimVideoCap>(Sim_Pacing::Stepped);
        SimVideoCap* camera = sim.get();
        camera->SelectSource("video:1");
        cls_Capture_HDMI cap(std::move(sim));
        cap.set_HDMI_Crop(static_cast<int16_t>(f.crop_->Width), static_cast<int16_t>(f.crop_->Height));
        cap.Do_CROP(true);
        cap.Capture_Run();
        Stored_Frames.Clear();
        for (int32_t i = 0; i < Distinct_Frames; ++i) {
            clock.Advance(40);
            camera->Step();
            cap.Store_HDMI_Buffer();
        }
        for (int32_t i = 1; i <= Stored_Frames.Count(); ++i) {
            const CVideobuff_RGB* kept = Stored_Frames.Frame(i);
            auto copy = std::make_unique<CVideobuff_RGB>();
            copy->RGB_Length(kept->RGB_Length());
            copy->FillData_RGB(kept->Video_Adress());
            f.pictures_.push_back(std::move(copy));
        }
        Stored_Frames.Clear();
        cap.Stop_Capture();
    }
    Platform::Set_Clock(nullptr);
    if (f.pictures_.empty()) throw std::runtime_error("the camera simulator delivered no frames");
    f.count_ = Pass_Frames;
    return f;
}

Video_Frame Video_Frame_Of(const Camera_Frame& c) {
    Video_Frame f;
    f.Pixels = c.Pixels.data();
    f.Length = static_cast<int32_t>(c.Pixels.size());
    f.Width = c.Width;
    f.Height = c.Height;
    f.Stride = c.Stride;
    f.Bottom_Up = true;
    return f;
}

const Camera_Frame& Camera_Frame_At(int number) {
    static std::vector<Camera_Frame> frames;
    if (frames.empty()) {
        Platform::FakeClock clock;
        Platform::Set_Clock(&clock);
        {
            SimVideoCap camera(Sim_Pacing::Stepped);
            Frame_Grabber grabber;
            camera.SelectSource("video:1");
            camera.AdviseEvents(&grabber);
            camera.StartStream();
            for (int i = 0; i < 2; ++i) {
                clock.Advance(40);
                camera.Step();
            }
            camera.StopStream();
            frames = std::move(grabber.Taken);
        }
        Platform::Set_Clock(nullptr);
        if (frames.size() < 2) throw std::runtime_error("the camera simulator delivered no frames");
    }
    return frames.at(static_cast<size_t>(number - 1));
}

std::string Work_Dir() {
    static std::string dir;
    if (dir.empty()) {
        const char* env = std::getenv("HOUNDEX_BENCH_DIR");
        std::filesystem::path base = env && *env ? std::filesystem::path(env) : std::filesystem::temp_directory_path();
        std::filesystem::path d = base / ("houndex-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        dir = d.string();
        static struct Remover {
            ~Remover() {
                std::error_code ec;
                std::filesystem::remove_all(dir, ec);
            }
        } remover;
    }
    return dir;
}

std::string Work_File(const std::string& name) { return (std::filesystem::path(Work_Dir()) / name).string(); }

int64_t Allocated_Bytes() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
    // In use: small blocks plus mapped large ones; what was freed earlier does not count.
    const struct mallinfo2 m = mallinfo2();
    return static_cast<int64_t>(m.uordblks + m.hblkhd);
#endif
    std::ifstream statm("/proc/self/statm");
    int64_t size = 0, resident = 0;
    if (!(statm >> size >> resident)) return 0;
    return resident * static_cast<int64_t>(::sysconf(_SC_PAGESIZE));
}

}  // namespace Bench
