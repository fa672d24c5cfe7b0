// The meeting harness's account of what a heat's capture windows must hold,
// with presses from the virtual Control Box that reach the program after
// their edge, across the PC clock's sign change and wrap.
#include <gtest/gtest.h>

#include <climits>

#include <QCoreApplication>

#include "Test_Env.h"
#include "Test_Name.h"
#include "controlbox/SimInterfaceKit.h"
#include "harness/Meeting_Capture_Log.h"

namespace {

struct Box_Window_Case {
    const char* name;
    int32_t press;  // the PC clock when the input is pressed
};

class CaptureLogBoxWindow : public Hdx_Test, public ::testing::WithParamInterface<Box_Window_Case> {
protected:
    static constexpr int32_t Pre_ms = 1000;
    static constexpr int32_t Post_ms = 200;
    static constexpr int32_t Late_ms = 3;  // the window thread was busy when the edge came

    void SetUp() override {
        Hdx_Test::SetUp();
        kit.On_Report = [this](const Sim_Kit_Report& r) { log.Box_Report(r, true); };
        kit.Open(0);
        Events();
    }
    static void Events() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }
    // The clock moves to ms after the press and a frame stamped then arrives.
    int32_t Frame_At(int32_t ms) {
        Move_To(ms);
        log.Frame(++frames, clock.PC_Mill(), true);
        return clock.PC_Mill();
    }
    void Move_To(int32_t ms) { clock.Set_PC_Mill(Platform::Mill_After(GetParam().press, ms)); }
    // The switch moves at ms after the press.
    void Switch_At(int32_t ms, bool level) {
        Move_To(ms);
        kit.Set_Input(3, level);
    }
    // The window thread takes up the box's reports at ms after the press.
    void Reports_At(int32_t ms) {
        Move_To(ms);
        Events();
    }

    SimInterfaceKit kit;
    Capture_Log log;
    int64_t frames = 0;
};

TEST_P(CaptureLogBoxWindow, CountsThePreAndPostTriggerTimesFromTheEdgeStamps) {
    const int32_t press = GetParam().press;
    const int32_t release = Platform::Mill_After(press, 100);
    std::vector<int32_t> want;
    Frame_At(-1039);  // older than the pre-trigger time at the press
    for (int32_t t = -999; t < 0; t += 40) want.push_back(Frame_At(t));
    Switch_At(0, true);
    // Arrives between the edge and its report: before the window, in the ring.
    const int32_t between = Frame_At(1);
    Reports_At(Late_ms);
    ASSERT_EQ(log.Windows(0).size(), 1u);
    EXPECT_EQ(log.Windows(0)[0].first, press);
    for (int32_t t = 41; t <= 81; t += 40) want.push_back(Frame_At(t));
    Switch_At(100, false);
    Reports_At(100 + Late_ms);
    want.push_back(Frame_At(100 + Post_ms - 1));
    Frame_At(100 + Post_ms + 1);  // after the post-trigger time
    Frame_At(100 + Post_ms + 41);

    // The frame that came between the edge and its report was in the ring, after the older ones.
    std::vector<int32_t> got = log.Window_Frames(0, Pre_ms, Post_ms);
    want.insert(want.begin() + 25, between);
    EXPECT_EQ(got, want);
    EXPECT_EQ(log.Windows(0), (std::vector<std::pair<int32_t, int32_t>>{{press, release}}));
}

INSTANTIATE_TEST_SUITE_P(ClockReadings, CaptureLogBoxWindow,
                         ::testing::Values(Box_Window_Case{"OrdinaryReading", 1000000},
                                           Box_Window_Case{"PressJustAfterTheSignChange", INT32_MIN + 500},
                                           Box_Window_Case{"PostTriggerAcrossTheSignChange", INT32_MAX - 150},
                                           Box_Window_Case{"PressJustAfterTheWrap", 500}),
                         By_Name());

}  // namespace
