// The delay measurement against a camera made up here: the LED's light reaches
// each field's exposure, and the stamp follows the exposure by a known delay.
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "Test_Env.h"
#include "Test_Name.h"
#include "capture/Camera_Delay_Calibration.h"
#include "platform/Clock.h"
#include "recording/cDIBSection.h"

namespace {

using State = Camera_Delay_Calibration::State;

struct Calibration_Case {
    const char* name;
    int32_t delay = 137;  // exposure of a frame's first field to its stamp
    int frame_ms = 40;
    bool interlaced = true;
    bool marked_on_led = true;  // the official clicked the LED (else a dark corner)
    int stamp_jitter = 0;       // every second frame stamped this much late
    int blind_switch = 0;       // the LED ignores this switch (1-based); 0: none
    bool camera_stops = false;  // no frame after the second switch
    int write_ms = 0;           // the box writes the LED's line this long after it is asked to
    bool confirmed = true;      // the box says when it wrote it
    State expected = State::Done;
    const char* verdict_part = "Camera delay";
};

class Calibration_Test : public Hdx_Test, public ::testing::WithParamInterface<Calibration_Case> {};

TEST_P(Calibration_Test, MeasuresOrSaysWhyNot) {
    const Calibration_Case c = GetParam();
    const QPoint led(20, 21);
    std::vector<std::pair<int32_t, bool>> world;  // when the LED's light changed
    std::vector<bool> switched;
    Camera_Delay_Calibration::Setup setup;
    setup.Frame_Period_Mill = c.frame_ms;
    setup.Interlaced = c.interlaced;
    setup.LED = c.marked_on_led ? led : QPoint(44, 44);
    std::vector<std::pair<int32_t, bool>> writes;  // lines on their way to the box
    Camera_Delay_Calibration calibration(setup, [&](bool lit) {
        switched.push_back(lit);
        const int32_t written = Platform::Mill_After(clock.PC_Mill(), c.write_ms);
        if (static_cast<int>(switched.size()) - 1 != c.blind_switch) world.push_back({written, lit});
        writes.push_back({written, lit});
    });
    const auto lit_at = [&](int32_t exposure) {
        bool lit = false;
        for (const auto& [mill, state] : world)
            if (Platform::Mill_Since(mill, exposure) >= 0) lit = state;
        return lit;
    };

    cDIBSection crop;
    ASSERT_TRUE(crop.Create(48, 48));
    calibration.Start();
    int frames = 0;
    for (int t = 0; t < 40000 && calibration.Running(); ++t) {
        clock.Advance(1);
        while (!writes.empty() && Platform::Mill_Since(writes.front().first, clock.PC_Mill()) >= 0) {
            if (c.confirmed) calibration.LED_Written(writes.front().second, writes.front().first);
            writes.erase(writes.begin());
        }
        calibration.Tick();
        if (t % c.frame_ms != 0 || (c.camera_stops && calibration.Switches_Done() >= 2)) continue;
        const int32_t stamp = clock.PC_Mill();
        const int32_t first = Platform::Mill_After(stamp, -c.delay);
        crop.Fill_with_RGB(0x303030);
        for (int y = led.y() - 4; y <= led.y() + 4; ++y) {
            // The top row and every second row below it are the first field.
            // The other field half a frame later.
            const int32_t exposure = c.interlaced && y % 2 ? Platform::Mill_After(first, c.frame_ms / 2) : first;
            if (!lit_at(exposure)) continue;
            for (int x = led.x() - 4; x <= led.x() + 4; ++x) crop.Set_Pixel(x, y, 0x60F0FF);
        }
        calibration.Frame(crop, Platform::Mill_After(stamp, ++frames % 2 ? c.stamp_jitter : 0));
    }

    EXPECT_EQ(calibration.Status(), c.expected) << calibration.Verdict();
    EXPECT_NE(calibration.Verdict().find(c.verdict_part), std::string::npos) << calibration.Verdict();
    ASSERT_FALSE(switched.empty());
    EXPECT_FALSE(switched.back()) << "the LED is left dark";
    if (c.expected == State::Done) {
        EXPECT_EQ(static_cast<int>(calibration.Measurements().size()), Camera_Delay_Calibration::Default_Switches);
        EXPECT_NEAR(*calibration.Result_Mill(), c.delay, 2);
        EXPECT_LE(*calibration.Spread_Mill(), calibration.Field_Period_Mill());
    } else {
        EXPECT_FALSE(calibration.Result_Mill());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cameras, Calibration_Test,
    ::testing::Values(
        Calibration_Case{.name = "interlaced 25 frames"}, Calibration_Case{.name = "a short delay", .delay = 23},
        Calibration_Case{.name = "interlaced 30 frames", .delay = 151, .frame_ms = 33},
        Calibration_Case{.name = "progressive 120 frames", .delay = 64, .frame_ms = 8, .interlaced = false},
        Calibration_Case{.name = "progressive 40 frames", .delay = 88, .frame_ms = 25, .interlaced = false},
        Calibration_Case{.name = "a box that writes the LED late", .write_ms = 9},
        Calibration_Case{.name = "a box that never confirms its writes",
                         .confirmed = false,
                         .expected = State::Refused,
                         .verdict_part = "did not confirm switch 1"},
        Calibration_Case{.name = "the LED not under the mark",
                         .marked_on_led = false,
                         .expected = State::Refused,
                         .verdict_part = "The LED was not seen"},
        Calibration_Case{.name = "stamps jittering by more than a field",
                         .stamp_jitter = 26,
                         .expected = State::Refused,
                         .verdict_part = "more than one field period"},
        Calibration_Case{.name = "one switch the LED did not follow",
                         .blind_switch = 3,
                         .expected = State::Refused,
                         .verdict_part = "not seen to change after switch 3"},
        Calibration_Case{.name = "the camera stops",
                         .camera_stops = true,
                         .expected = State::Refused,
                         .verdict_part = "No frames came"}),
    By_Name());

}  // namespace
