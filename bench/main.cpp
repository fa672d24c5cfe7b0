// The benchmark program. Besides the benchmarks it writes the frames they
// compress as raw top-down BGR rows, so another encoder can be timed on
// exactly the same pictures:  houndex_bench --raw-frames=<crop index> <file>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include <QApplication>
#include <benchmark/benchmark.h>

#include "Bench_Support.h"
#include "platform/Error_Entry.h"
#include "recording/cDIBSection.h"

namespace {

int Write_Raw(int crop_index, const char* path) {
    Bench::Frames& frames = Bench::Frames::For(crop_index);
    const Bench::Crop& crop = frames.Size();
    const size_t line = static_cast<size_t>(Bytes_Per_Scan_Line(crop.Width));
    const size_t row = static_cast<size_t>(crop.Width) * 3;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (int32_t i = 1; i <= Bench::Distinct_Frames; ++i) {
        const uint8_t* bits = frames.Item(i)->Video_Adress;
        for (int32_t y = crop.Height - 1; y >= 0; --y)
            out.write(reinterpret_cast<const char*>(bits + static_cast<size_t>(y) * line),
                      static_cast<std::streamsize>(row));
    }
    std::printf("%d %d %d\n", crop.Width, crop.Height, Bench::Distinct_Frames);
    return out ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qt_argc = 1;
    QApplication app(qt_argc, argv);
    if (argc == 3 && std::strncmp(argv[1], "--raw-frames=", 13) == 0)
        return Write_Raw(std::atoi(argv[1] + 13) % Bench::Crop_Count, argv[2]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    Bench::End_Review_Window();
    benchmark::Shutdown();
    return 0;
}
