// The writer side of Crash_Safety_test: appends capture passes of stored frames
// to a recording until it is killed. Prints "pass K" after each pass.
//   houndex_crash_writer PATH FRAMES_PER_PASS PASSES
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Test_Pictures.h"
#include "recording/cls_VideoFile_handler.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s PATH FRAMES_PER_PASS PASSES\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    const int per_pass = std::atoi(argv[2]);
    const int passes = std::atoi(argv[3]);
    constexpr int32_t W = 320, H = 240;
    cls_VideoFile_handler h;
    h.Set_Cropped_X(W);
    h.Set_Cropped_Y(H);
    h.Set_RGB_interlaced(true);
    if (!h.Initiate_NX3_File(path)) return 1;
    h.Close_File();
    int number = 0;
    for (int pass = 1; pass <= passes; ++pass) {
        Frame_List frames;
        for (int i = 0; i < per_pass; ++i) {
            cDIBSection p;
            p.Create(W, H);
            Fill_Noise(p, static_cast<uint32_t>(++number), 30);
            frames.Add(p, 1000 + 20 * number, 5000 + 20 * number, 20);
        }
        if (h.Append_Stored_Frames(frames) != per_pass) return 1;
        std::printf("pass %d\n", pass);
        std::fflush(stdout);
    }
    return 0;
}
