// The judge's assistant: a heat's six proposals from a 10-s capture window at
// 600*1080 (the harder simulated scene, cropped round the finish line), as the
// worker finds them with its own reader: the time from opening to proposals.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include <benchmark/benchmark.h>

#include "../tests/support/Test_Pictures.h"
#include "Bench_Support.h"
#include "capture/Sim_Scene.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Crossing_Assistant.h"

namespace {

constexpr int32_t Width = 600, Height = 1080, Window_Ms = 10000;

// The recording, made once per run: 25 interlaced or 50/120 progressive frames a second.
std::string Recording(int fps, bool interlaced) {
    static std::map<std::pair<int, bool>, std::string> made;
    const auto key = std::make_pair(fps, interlaced);
    if (auto it = made.find(key); it != made.end()) return it->second;
    const std::string path = Bench::Work_File("assistant-" + std::to_string(fps) + (interlaced ? "i" : "p") + ".nx3");
    std::filesystem::remove(path);
    Sim_Scene scene(1920, 1080);
    scene.Harden(7);
    const double period = 1000.0 / fps / (interlaced ? 2 : 1);
    scene.Exposure_Mill(0.5 * period);
    // One run long gone, so the track is empty until the heat's dogs come.
    Sim_Scene::Run gone;
    gone.Begin_Ms = -20000;
    gone.Crossing_Ms = {-19000, -19000, -19000, -19000, -19000, -19000};
    scene.Add_Run(gone);
    Sim_Scene::Run run;
    run.Begin_Ms = 3000;
    run.Crossing_Ms = {6000, 6040, 6085, 6150, 6230, 6300};
    scene.Add_Run(run);
    const int left = (1920 - Width) / 2;
    cls_VideoFile_handler w;
    w.Set_Cropped_X(Width);
    w.Set_Cropped_Y(Height);
    w.Set_RGB_interlaced(interlaced);
    if (!w.Initiate_NX3_File(path)) return {};
    w.Set_Running_Fps(static_cast<int16_t>(fps));
    w.Set_Hdx_start_PC_mill(0);
    w.Set_Hdx_Goal_compensation("0");
    const Goal_Line_Points line{{960 - left, Height / 10}, {960 - left, Height * 9 / 10}};
    w.Set_Hdx_Goal_Finish(Goal_Line::Line_Text(line));
    Frame_List frames;
    Sim_Scene::Canvas first, second;
    cDIBSection frame;
    if (!frame.Create(Width, Height)) return {};
    const int32_t count = Window_Ms * fps / 1000;
    for (int32_t k = 0; k < count; ++k) {
        const auto t = static_cast<int32_t>(std::lround(k * 1000.0 / fps));
        scene.Render(t, {}, first);
        if (interlaced) scene.Render(t + static_cast<int32_t>(std::lround(period)), {}, second);
        for (int32_t y = 0; y < Height; ++y) {
            const QImage& source = interlaced && y % 2 == 1 ? second.image : first.image;
            std::memcpy(frame.DIBSectionBitsPtr() + static_cast<size_t>(Height - 1 - y) * frame.BytesPerScanLine(),
                        source.constScanLine(y) + left * 3, static_cast<size_t>(Width) * 3);
        }
        frames.Add(frame, t - 2, t - 2, k == 0 ? 0 : 1000 / fps);
    }
    if (w.Append_Stored_Frames(frames) != count || !w.Write_XML_Header()) return {};
    w.Close_File();
    made[key] = path;
    return path;
}

void BM_Heat_Proposals(benchmark::State& state) {
    const int fps = static_cast<int>(state.range(0));
    const bool interlaced = fps == 25;
    const std::string path = Recording(fps, interlaced);
    if (path.empty()) return state.SkipWithError("the recording could not be made");
    int proposed = 0;
    for (auto _ : state) {
        cls_VideoFile_handler reader;
        if (!reader.Open_For_Reading(path)) return state.SkipWithError("the recording does not open");
        const Goal_Line_Points line = Goal_Line::Parse_Header_Line(reader.Hdx_Goal_Finish());
        const Heat_Proposals p = Crossing_Search::Find(reader, line, Jackets::For("GB"), {});
        proposed = 0;
        for (const Box_Proposal& b : p.Boxes) proposed += b.Proposed;
        state.counters["fields_read"] = p.Fields_Examined;
        benchmark::DoNotOptimize(p.Boxes.data());
    }
    state.counters["proposed"] = proposed;
}

}  // namespace

BENCHMARK(BM_Heat_Proposals)
    ->Arg(25)
    ->Arg(50)
    ->Arg(120)
    ->ArgName("fps")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
