#pragma once
#include "capture/IVideoCap.h"
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "capture/CVideobuff_RGB.h"
#include "recording/IStored_Frames.h"

namespace Bench {

// The crop sizes of the crop menu, width x height.
struct Crop {
    const char* Caption;
    int32_t Width;
    int32_t Height;
};
constexpr int Crop_Count = 3;
const Crop& Crop_At(int index);

// Distinct pictures filmed per crop size; a pass of more frames repeats them
// in order, so the pictures there are stay far larger than any cache.
constexpr int32_t Distinct_Frames = 100;
constexpr int32_t Pass_Frames = 500;

// Kept frames as the capture controller keeps them: the simulated camera at
// 1920 x 1080 (interlaced, 25 frames/s) on a clock that moves 40 ms a frame,
// cropped by the capture controller and kept with Store_HDMI_Buffer, so every
// run films the same pictures. Count() frames cycle through the pictures.
// Clear() keeps them: the next pass appends them again.
class Frames : public IStored_Frames {
public:
    int32_t Count() const override { return count_; }
    std::optional<Stored_Frame_Ref> Item(int32_t index) const override;
    void Clear() override {}
    void Set_Count(int32_t count) { count_ = count; }
    const Crop& Size() const { return *crop_; }

    // Filmed on first use.
    static Frames& For(int crop_index);

private:
    const Crop* crop_ = nullptr;
    std::vector<std::unique_ptr<CVideobuff_RGB>> pictures_;
    int32_t count_ = 0;
};

// One full 1920 x 1080 frame of the simulated camera as it reaches the
// capture controller (bottom-up BGR rows), number 1 or 2.
struct Camera_Frame {
    std::vector<uint8_t> Pixels;
    int32_t Width = 0, Height = 0, Stride = 0;
};
const Camera_Frame& Camera_Frame_At(int number);
// The frame as the camera component hands it over (no stamp yet).
Video_Frame Video_Frame_Of(const Camera_Frame& c);

// A folder for the recordings the benchmarks write (HOUNDEX_BENCH_DIR, else
// the system's temporary folder); emptied of them at exit.
std::string Work_Dir();
std::string Work_File(const std::string& name);

// Bytes of memory the process has taken from the allocator (in use, with the
// allocator's own overhead), or resident memory where that is not known.
int64_t Allocated_Bytes();

// Closes the main window the review benchmarks keep open (houndex_bench only;
// called before the application object goes).
void End_Review_Window();

}  // namespace Bench
