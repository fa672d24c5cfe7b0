#pragma once
#include <array>
#include <string>

#include "Test_Env.h"
#include "capture/Sim_Scene.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Goal_Line.h"

// An interlaced recording of a race run to order by the simulated scene: the
// truth of every dog's crossing of the finish line is the run's own. Field
// exposures are 20 ms apart from First_Exposure_Ms (scene time = heat time:
// start stamp and goal compensation make the review's time the exposure's).
struct Sim_Heat {
    static constexpr int32_t Width = 640, Height = 360;
    static constexpr int32_t First_Exposure_Ms = 880;
    static constexpr int32_t Frames = 14;  // fields up to 880 + 27 * 20 = 1420 ms
    std::array<double, Sim_Scene::Dogs> Crossing_Ms{1003.5, 1017.25, 1049.9, 1120.0, 1211.75, 1260.4};
    Sim_Scene Scene{Width, Height};
    Goal_Line_Points Line;  // the finish line, top to bottom of the track

    // Writes the recording to path; false when it could not be made.
    bool Record(const std::string& path);
    // Heat time of field position p (1 ..).
    static int32_t Field_Time(int32_t p) { return First_Exposure_Ms + 20 * (p - 1); }
    // The first field exposed at or after the dog of box crossed the line.
    int32_t Crossing_Field(int box) const;
};

// Tests on the simulated heat's recording, open for reading.
class Sim_Heat_Test : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        path = Path("sim heat.nx3");
        ASSERT_TRUE(heat.Record(path));
        ASSERT_TRUE(handler.Open_File(path));
    }
    Sim_Heat heat;
    std::string path;
    cls_VideoFile_handler handler;
};
