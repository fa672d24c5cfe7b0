#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "Test_Env.h"
#include "capture/IVideoCap.h"
#include "capture/SimVideoCap.h"
#include "capture/cls_Capture_HDMI.h"

// A test with a private settings file, clean program-wide capture state and a
// capture controller that drives a stepped camera simulator on the fake clock.
class Capture_Test : public Hdx_Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A small interlaced 25 frames/s format: fast to film, same rules as the big one.
    static Sim_Format Small_25() { return {192, 108, 25, true}; }

    // A controller whose component is a stepped simulator (kept in sim, source
    // selected); without rate_reported its formats carry no frame rate.
    std::unique_ptr<cls_Capture_HDMI> Controller(std::vector<Sim_Format> formats = {Small_25()},
                                                 bool rate_reported = true);
    // n frames, the clock advanced by ms before each.
    void Frames(int n, int ms);

    SimVideoCap* sim = nullptr;
};

// A frame whose every pixel says where it is: blue = x & 255, red = y & 255,
// green = (x >> 8) | (y >> 8) << 4.
struct Coordinate_Frame {
    Coordinate_Frame(int32_t width, int32_t height, bool bottom_up);
    Video_Frame Frame(int32_t mill = 0) const;
    static void Decode(uint32_t bgr_pixel, int32_t& x, int32_t& y);

    int32_t width, height, stride;
    bool bottom_up;
    std::vector<uint8_t> pixels;
};
