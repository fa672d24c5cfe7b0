// The capturing side of Capture_Journal_test: windows of frames arriving in
// real time (one every 20 ms), compressed as they arrive and journalled, the
// way the program keeps them. Prints "frame MILL" as each frame is handed
// over. Window KILLED never closes: the test kills the program in it.
//   houndex_capture_journal PATH KILLED
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "Test_Pictures.h"
#include "capture/Arrival_Compressor.h"
#include "capture/Stored_Frames.h"
#include "platform/Clock.h"
#include "recording/Frame_Journal.h"
#include "recording/cls_VideoFile_handler.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PATH KILLED\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    const int killed = std::atoi(argv[2]);
    constexpr int32_t W = 320, H = 240;
    cls_VideoFile_handler h;
    h.Set_Cropped_X(W);
    h.Set_Cropped_Y(H);
    if (!h.Initiate_NX3_File(path)) return 1;
    Arrival_Compressor arrival(2);
    int64_t sequence = 0;
    for (int window = 1; window <= killed; ++window) {
        arrival.Configure(h.Compressor().Settings());
        auto journal = std::make_shared<Frame_Journal>(path, h.Complete_Samples());
        arrival.Start_Journal(journal);
        Stored_Frames_Collection frames;
        for (int i = 0; window == killed || i < 40; ++i) {
            cDIBSection p;
            p.Create(W, H);
            Fill_Noise(p, static_cast<uint32_t>(++sequence), 20);
            auto f = std::make_shared<CVideobuff_RGB>();
            f->Assign_RGB(p.DIBSectionBitsPtr(), static_cast<size_t>(p.SizeImage()), p.SizeImage());
            const int32_t mill = Platform::PC_Mill();
            f->PutTimestamp(mill, mill, 20);
            f->Set_Sequence(sequence);
            arrival.Submit(f);
            arrival.Join_Window(f);
            frames.Add(std::move(f));
            std::printf("frame %d\n", mill);
            std::fflush(stdout);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        arrival.Stop_Journal();
        h.Append_Stored_Frames(frames);
        journal->Discard();
    }
    return 0;
}
