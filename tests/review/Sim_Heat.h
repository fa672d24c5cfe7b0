#pragma once
#include <array>
#include <string>

#include "Test_Env.h"
#include "capture/Sim_Scene.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Goal_Line.h"

// A recording of a race run to order by the simulated scene, in one camera
// format: the truth of every dog's crossing of the finish line is the run's
// own. Review positions (the fields of an interlaced frame, else whole frames)
// are exposed one period apart from First_Exposure_Ms, rounded to the
// millisecond (scene time = heat time: start stamp and goal compensation make
// the review's time the exposure's).
struct Sim_Heat {
    struct Format {
        const char* Name = "25i";
        bool Interlaced = true;
        int32_t Fps = 25;
    };
    static constexpr int32_t Width = 640, Height = 360;
    static constexpr int32_t First_Exposure_Ms = 880;
    int32_t Last_Exposure_Ms = 1420;  // the positions cover at least up to here
    std::array<double, Sim_Scene::Dogs> Crossing_Ms{1003.5, 1017.25, 1049.9, 1120.0, 1211.75, 1260.4};
    Format Kind;
    Sim_Scene Scene{Width, Height};
    Goal_Line_Points Line;  // the finish line, top to bottom of the track

    Sim_Heat() = default;
    explicit Sim_Heat(Format kind) : Kind(kind) {}

    // Writes the recording to path; false when it could not be made.
    bool Record(const std::string& path);
    int32_t Frames() const;
    int32_t Positions() const { return Kind.Interlaced ? 2 * Frames() : Frames(); }
    // Heat time of review position p (1 ..): its exposure.
    int32_t Field_Time(int32_t p) const;
    // The first position exposed at or after the dog of box crossed the line.
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

// The formats the simulated camera offers, and an interlaced one whose field
// period is not 20 ms, for tests that hold for each.
inline const Sim_Heat::Format Sim_Heat_Formats[] = {
    {"25i", true, 25}, {"30i", true, 30}, {"50p", false, 50}, {"60p", false, 60}, {"120p", false, 120}};

class Sim_Heat_Format_Test : public Hdx_Test, public ::testing::WithParamInterface<Sim_Heat::Format> {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        heat = Sim_Heat(GetParam());
        path = Path("sim heat.nx3");
        ASSERT_TRUE(heat.Record(path));
        ASSERT_TRUE(handler.Open_File(path));
    }
    Sim_Heat heat;
    std::string path;
    cls_VideoFile_handler handler;
};
