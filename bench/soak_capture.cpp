// Soak run of the capture path: the simulated camera at 1920 x 1080, 50 frames/s
// in real time, a capture window every 30 s whose stored frames are appended
// to a recording at the window's end, as the race workflow does. Prints, per
// window, the frames delivered, stored and appended and the memory, and at the
// end whether every stored frame was appended and whether memory came back to
// its level before each window once the append had emptied the collection.
//   houndex_soak [--minutes N] [--window-seconds S] [--period-seconds P] [--crop I] [--dir D]
#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include <QApplication>

#include "Bench_Support.h"
#include "capture/SimVideoCap.h"
#include "capture/Stored_Frames.h"
#include "capture/cls_Capture_HDMI.h"
#include "platform/Clock.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "recording/NX3_Layout.h"
#include "recording/cls_VideoFile_handler.h"

namespace {

using Steady = std::chrono::steady_clock;

struct Options {
    double minutes = 30;
    int window_seconds = 6;
    int period_seconds = 30;
    int crop = 0;
    std::string dir;
};

// "VmRSS" of /proc/self/status in kB (0 when it cannot be read).
int64_t Rss_Kb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmRSS:") == 0) return std::atoll(line.c_str() + 6);
    return 0;
}

// Counts the reports instead of showing them; the soak names them at the end.
class Counting_Reporter : public IErrorReporter {
public:
    void Report(const std::string& description, int16_t number, int32_t, const std::string& location,
                const std::string&) override {
        if (++count <= 5) std::fprintf(stderr, "error %d in %s: %s\n", number, location.c_str(), description.c_str());
    }
    int count = 0;
};

bool Parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool has_value = i + 1 < argc;
        if (a == "--minutes" && has_value)
            o.minutes = std::atof(argv[++i]);
        else if (a == "--window-seconds" && has_value)
            o.window_seconds = std::atoi(argv[++i]);
        else if (a == "--period-seconds" && has_value)
            o.period_seconds = std::atoi(argv[++i]);
        else if (a == "--crop" && has_value)
            o.crop = std::atoi(argv[++i]) % Bench::Crop_Count;
        else if (a == "--dir" && has_value)
            o.dir = argv[++i];
        else
            return false;
    }
    return o.minutes > 0 && o.window_seconds > 0 && o.period_seconds >= o.window_seconds;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!Parse(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: %s [--minutes N] [--window-seconds S] [--period-seconds P] [--crop 0..2] [--dir D]\n",
                     argv[0]);
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qt_argc = 1;
    QApplication app(qt_argc, argv);
    Counting_Reporter reporter;
    Set_Error_Reporter(&reporter);

    const Bench::Crop& crop = Bench::Crop_At(o.crop);
    const std::string dir = o.dir.empty() ? Bench::Work_Dir() : o.dir;
    std::filesystem::create_directories(dir);

    auto sim_owner = std::make_unique<SimVideoCap>(Sim_Pacing::Stepped, SimVideoCap::Default_Name,
                                                   std::vector<Sim_Format>{Sim_Format{1920, 1080, 50, false}});
    SimVideoCap* sim = sim_owner.get();
    sim->SelectSource("video:1");
    cls_Capture_HDMI cap(std::move(sim_owner));
    cap.set_HDMI_Crop(static_cast<int16_t>(crop.Width), static_cast<int16_t>(crop.Height));
    cap.Do_CROP(true);
    cap.Capture_Run();

    int recording_number = 0;
    std::string path;
    int32_t frames_in_recording = 0;
    auto new_recording = [&](cls_VideoFile_handler& w) {
        path = Platform::Join_Path(dir, "soak_" + std::to_string(++recording_number) + ".nx3");
        std::filesystem::remove(path);
        w.Set_Cropped_X(crop.Width);
        w.Set_Cropped_Y(crop.Height);
        w.Set_RGB_interlaced(false);
        frames_in_recording = 0;
        return w.Initiate_NX3_File(path);
    };
    auto writer = std::make_unique<cls_VideoFile_handler>();
    if (!new_recording(*writer)) return 1;

    const auto period = std::chrono::milliseconds(20);
    const auto start = Steady::now();
    const auto end = start + std::chrono::milliseconds(static_cast<int64_t>(o.minutes * 60000));
    const int window_frames = o.window_seconds * 50;
    const int period_frames = o.period_seconds * 50;

    int64_t due = 0, delivered = 0, stored = 0, appended = 0, missed_while_appending = 0;
    int windows = 0, windows_all_appended = 0, windows_memory_back = 0;
    const int64_t rss_start = Rss_Kb();
    const int64_t alloc_start = Bench::Allocated_Bytes();
    int64_t rss_peak = rss_start, rss_last = rss_start, alloc_last = alloc_start;
    std::printf("soak: %s crop, window %d s every %d s, %.1f min; recordings in %s\n", crop.Caption, o.window_seconds,
                o.period_seconds, o.minutes, dir.c_str());
    // The simulator keeps a bounded log of what it showed (for tests that check
    // the timing against it); it is shown apart so that the program's own memory
    // can be seen to stay level.
    auto sim_log_kb = [&] { return static_cast<long long>(sim->Truth().size() * sizeof(Sim_Field_Truth) / 1024); };
    std::printf("%6s %7s %9s %7s %8s %8s %10s %10s %10s %10s %11s %9s\n", "window", "t [s]", "delivered", "stored",
                "appended", "append s", "RSS before", "RSS full", "RSS after", "heap after", "sim log", "back");
    std::fflush(stdout);

    auto next = start;
    int64_t tick = 0;
    while (Steady::now() < end) {
        std::this_thread::sleep_until(next);
        next += period;
        ++due;
        if (!sim->Step()) break;
        ++delivered;
        const int64_t in_period = tick++ % period_frames;
        if (in_period >= window_frames) continue;
        if (in_period == 0) {
            // The window opens: the level memory must come back to afterwards.
            rss_last = Rss_Kb();
            alloc_last = Bench::Allocated_Bytes();
        }
        cap.Store_HDMI_Buffer();
        if (in_period != window_frames - 1) continue;

        // The window closes: append it, as the workflow does at the end of a heat.
        ++windows;
        const int32_t window_stored = Stored_Frames.Count();
        stored += window_stored;
        const int64_t rss_full = Rss_Kb();
        rss_peak = std::max(rss_peak, rss_full);
        if (frames_in_recording + window_stored > NX3::Max_Frames) {
            writer->Close_File();
            writer = std::make_unique<cls_VideoFile_handler>();
            if (!new_recording(*writer)) return 1;
        }
        const auto t0 = Steady::now();
        const int32_t window_appended = writer->Append_Stored_Frames(Stored_Frames);
        const double append_s = std::chrono::duration<double>(Steady::now() - t0).count();
        frames_in_recording += window_appended;
        appended += window_appended;
        // The camera kept running while the append held the thread: those frames are lost to it.
        const auto now = Steady::now();
        while (next + period < now) {
            next += period;
            ++due;
            ++missed_while_appending;
            ++tick;
        }
        const int64_t rss_after = Rss_Kb();
        const int64_t alloc_after = Bench::Allocated_Bytes();
        // Back: the heap in use is within 2 MB of its level when the window opened
        // (the camera's per-frame records grow by a few hundred kB per window), and
        // so is the resident memory within 16 MB (a window holds hundreds of MB).
        const bool back = Stored_Frames.Count() == 0 && alloc_after - alloc_last < 2 * 1024 * 1024 &&
                          rss_after - rss_last < 16 * 1024;
        windows_all_appended += window_appended == window_stored;
        windows_memory_back += back;
        std::printf("%6d %7.0f %9lld %7d %8d %8.2f %7lld kB %7lld kB %7lld kB %7lld kB %8lld kB %9s\n", windows,
                    std::chrono::duration<double>(now - start).count(), static_cast<long long>(delivered),
                    window_stored, window_appended, append_s, static_cast<long long>(rss_last),
                    static_cast<long long>(rss_full), static_cast<long long>(rss_after),
                    static_cast<long long>(alloc_after / 1024), sim_log_kb(), back ? "yes" : "NO");
        std::fflush(stdout);
    }
    // A window cut off by the end of the run is appended too.
    if (Stored_Frames.Count() > 0) {
        stored += Stored_Frames.Count();
        appended += writer->Append_Stored_Frames(Stored_Frames);
    }
    writer->Close_File();
    cap.Stop_Capture();

    // The recordings hold every appended frame.
    int64_t in_files = 0;
    for (int r = 1; r <= recording_number; ++r) {
        cls_VideoFile_handler reader;
        if (reader.Open_File(Platform::Join_Path(dir, "soak_" + std::to_string(r) + ".nx3")))
            in_files += reader.num_Frames();
        reader.Close_File();
    }
    const int64_t rss_end = Rss_Kb();
    malloc_trim(0);
    const int64_t rss_trimmed = Rss_Kb();

    std::printf(
        "\nframes due %lld, delivered %lld (%lld missed while appending), stored %lld, appended %lld, "
        "in the recordings %lld\n",
        static_cast<long long>(due), static_cast<long long>(delivered), static_cast<long long>(missed_while_appending),
        static_cast<long long>(stored), static_cast<long long>(appended), static_cast<long long>(in_files));
    std::printf(
        "RSS: start %lld kB, peak %lld kB, end %lld kB (%lld kB after malloc_trim); heap in use: start %lld kB, "
        "end %lld kB, of which the simulator's log %lld kB\n",
        static_cast<long long>(rss_start), static_cast<long long>(rss_peak), static_cast<long long>(rss_end),
        static_cast<long long>(rss_trimmed), static_cast<long long>(alloc_start / 1024),
        static_cast<long long>(Bench::Allocated_Bytes() / 1024), sim_log_kb());
    const bool all_appended = stored == appended && appended == in_files && windows_all_appended == windows;
    const bool memory_back = windows_memory_back == windows;
    std::printf("every stored frame appended: %s (%d of %d windows)\n", all_appended ? "yes" : "NO",
                windows_all_appended, windows);
    std::printf("memory back to its level after each append: %s (%d of %d windows)\n", memory_back ? "yes" : "NO",
                windows_memory_back, windows);
    std::printf("error reports: %d\n", reporter.count);
    Set_Error_Reporter(nullptr);
    return all_appended && memory_back && reporter.count == 0 ? 0 : 1;
}
