// A recording opened for review, every frame read and drawn, every field drawn.
// Opening and drawing must never change the file.
#include <algorithm>
#include <fstream>
#include <sstream>

#include "Fuzz_Support.h"
#include "platform/PictureBox.h"
#include "recording/cls_VideoFile_handler.h"

namespace {
// Enough to reach every part of the file layout without spending the run on
// one long input.
constexpr int32_t Max_Frames_Drawn = 64;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    Fuzz::Init(argc, argv, true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Platform::PictureBox* box = new Platform::PictureBox();
    Fuzz::Reset();
    const std::string path = Fuzz::Write_Temp("input.nx3", data, size);
    {
        cls_VideoFile_handler h;
        h.Set_Screen_HDC(box);
        if (h.Open_File(path)) {
            (void)h.NX3_Properties();
            const int32_t frames = std::min(h.num_Frames(), Max_Frames_Drawn);
            for (int32_t n = 0; n <= frames + 1; ++n) {
                h.Draw_RGB_frame(static_cast<int16_t>(n), *box);
                if (h.Read_RGB_sample(static_cast<int16_t>(n), true)) {
                    (void)h.NX3_JPEG_Size();
                    (void)h.Sample_Quality();
                    (void)h.Get_Field_Pixel(0, 0);
                }
            }
            const int32_t fields = std::min(h.Num_fields(), 2 * Max_Frames_Drawn);
            for (int32_t f = 0; f <= fields + 1; ++f) h.Draw_RGB_Field(f, *box);
            h.Draw_Current_RGB_frame(*box);
            h.Draw_Current_Field(*box);
        }
        h.Close_File();
    }
    std::ifstream in(path, std::ios::binary);
    std::stringstream after;
    after << in.rdbuf();
    if (after.str() != std::string(reinterpret_cast<const char*>(data), size))
        Fuzz::Fail("reviewing the recording changed the file");
    return 0;
}
