// Capture-end append: ours on every core, ours on one thread, and a bare
// TurboJPEG loop over the same frames on every core (the codec's limit).
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include "Bench_Support.h"
#include "platform/Files.h"
#include "recording/cDIBSection.h"
#include "recording/cls_VideoFile_handler.h"

namespace {

int Cores() {
    const unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? static_cast<int>(n) : 1;
}

// What the fitting rule cost in a pass: frames stored below the start
// quality, and the encodings done (each frame's ladder down to its stored
// quality, and the three test frames that chose N).
struct Fitting_Cost {
    int32_t reduced = 0;
    int32_t encodings = 3;
    std::vector<int16_t> stored_quality;  // per frame, in order
};
Fitting_Cost Cost_Of(const std::string& path) {
    Fitting_Cost cost;
    cls_VideoFile_handler r;
    if (!r.Open_File(path)) return cost;
    const std::vector<int16_t> ladder = Frame_Compressor::Quality_Ladder(Frame_Compressor::Start_Quality);
    for (int32_t n = 1; n <= r.num_Frames(); ++n) {
        if (!r.Read_RGB_sample(static_cast<int16_t>(n), false)) continue;
        const auto at = std::find(ladder.begin(), ladder.end(), r.Sample_Quality());
        cost.stored_quality.push_back(static_cast<int16_t>(r.Sample_Quality()));
        cost.encodings += static_cast<int32_t>(at - ladder.begin()) + 1;
        if (r.Sample_Quality() < Frame_Compressor::Start_Quality) ++cost.reduced;
    }
    return cost;
}

// range(0): crop index; range(1): fitting threads (0 = one per core);
// range(2): interlaced (its fields stacked apart) when 1.
void BM_Append(benchmark::State& state) {
    Bench::Frames& frames = Bench::Frames::For(static_cast<int>(state.range(0)));
    frames.Set_Count(Bench::Pass_Frames);
    const Bench::Crop& crop = frames.Size();
    const std::string path = Bench::Work_File("append.nx3");
    int64_t file_bytes = 0;
    int64_t appended = 0;
    Fitting_Cost cost;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(path);
        {
            cls_VideoFile_handler h;
            h.Set_Append_Threads(static_cast<int32_t>(state.range(1)));
            h.Set_Cropped_X(crop.Width);
            h.Set_Cropped_Y(crop.Height);
            h.Set_RGB_interlaced(state.range(2) != 0);
            if (!h.Initiate_NX3_File(path)) {
                state.SkipWithError("the recording could not be created");
                break;
            }
            state.ResumeTiming();
            // What the capture end does: choose N from test frames, fit and write every frame, close with the counts.
            const int32_t stored = h.Append_Stored_Frames(frames);
            state.PauseTiming();
            if (stored != frames.Count()) {
                state.SkipWithError("not every frame was stored");
                break;
            }
            appended += stored;
        }
        file_bytes = Platform::File_Size(path);
        cost = Cost_Of(path);
        state.ResumeTiming();
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(appended), benchmark::Counter::kIsRate);
    state.counters["bytes_per_frame"] = static_cast<double>(file_bytes - 32016) / static_cast<double>(frames.Count());
    state.counters["reduced"] = cost.reduced;
    state.counters["encodings"] = cost.encodings;
    state.counters["fit_threads"] = state.range(1) == 0 ? Cores() : static_cast<double>(state.range(1));
    state.SetLabel(crop.Caption);
}

// Frames compressed by TurboJPEG alone on every core, one handle and buffer
// per thread, frames handed out one at a time, nothing written. Frame i is
// encoded at every quality of the ladder from 80 down to lowest[i - 1].
void Jpeg_Loop(benchmark::State& state, Bench::Frames& frames, const std::vector<int16_t>& lowest) {
    const Bench::Crop& crop = frames.Size();
    const int threads = Cores();
    const int pitch = static_cast<int>(Bytes_Per_Scan_Line(crop.Width));
    const std::vector<int16_t> ladder = Frame_Compressor::Quality_Ladder(Frame_Compressor::Start_Quality);
    int64_t done = 0;
    std::atomic<int64_t> bytes{0}, encodings{0};
    for (auto _ : state) {
        std::atomic<int32_t> next{1};
        std::vector<std::thread> pool;
        for (int t = 0; t < threads; ++t)
            pool.emplace_back([&] {
                tjhandle h = tjInitCompress();
                unsigned long capacity = tjBufSize(crop.Width, crop.Height, TJSAMP_420);
                std::vector<unsigned char> out(capacity);
                for (int32_t i = next++; i <= frames.Count(); i = next++) {
                    for (int16_t q : ladder) {
                        unsigned char* dest = out.data();
                        unsigned long length = capacity;
                        tjCompress2(h, frames.Item(i)->Video_Adress, crop.Width, pitch, crop.Height, TJPF_BGR, &dest,
                                    &length, TJSAMP_420, q, TJFLAG_BOTTOMUP | TJFLAG_NOREALLOC);
                        bytes += static_cast<int64_t>(length);
                        ++encodings;
                        if (q <= lowest[static_cast<size_t>(i - 1)]) break;
                    }
                }
                tjDestroy(h);
            });
        for (std::thread& t : pool) t.join();
        done += frames.Count();
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(done), benchmark::Counter::kIsRate);
    state.counters["encodings"] =
        state.iterations() > 0 ? static_cast<double>(encodings.load()) / static_cast<double>(state.iterations()) : 0;
    state.counters["fit_threads"] = threads;
    state.SetLabel(crop.Caption);
}

// Once per frame at quality 80: the codec's limit.
void BM_Jpeg_Loop(benchmark::State& state) {
    Bench::Frames& frames = Bench::Frames::For(static_cast<int>(state.range(0)));
    frames.Set_Count(Bench::Pass_Frames);
    Jpeg_Loop(state, frames,
              std::vector<int16_t>(static_cast<size_t>(frames.Count()), Frame_Compressor::Start_Quality));
}

// Every encoding the fitting rule needs for the pass (each frame down its
// ladder to the quality our append stored it at): the codec's limit for the
// work the rule asks for, without the writer and the file.
void BM_Jpeg_Ladder(benchmark::State& state) {
    Bench::Frames& frames = Bench::Frames::For(static_cast<int>(state.range(0)));
    frames.Set_Count(Bench::Pass_Frames);
    const std::string path = Bench::Work_File("ladder.nx3");
    std::filesystem::remove(path);
    {
        cls_VideoFile_handler h;
        h.Set_Cropped_X(frames.Size().Width);
        h.Set_Cropped_Y(frames.Size().Height);
        h.Initiate_NX3_File(path);
        h.Append_Stored_Frames(frames);
    }
    const Fitting_Cost cost = Cost_Of(path);
    std::filesystem::remove(path);
    if (cost.stored_quality.size() != static_cast<size_t>(frames.Count())) {
        state.SkipWithError("the pass did not store every frame");
        return;
    }
    Jpeg_Loop(state, frames, cost.stored_quality);
}

}  // namespace

BENCHMARK(BM_Append)
    ->ArgsProduct({{0, 1, 2}, {0, 1}, {0}})
    ->ArgNames({"crop", "threads", "interlaced"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_Append)
    ->ArgsProduct({{0, 1, 2}, {0}, {1}})
    ->ArgNames({"crop", "threads", "interlaced"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_Jpeg_Loop)->DenseRange(0, 2)->ArgName("crop")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Jpeg_Ladder)
    ->DenseRange(0, 2)
    ->ArgName("crop")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
