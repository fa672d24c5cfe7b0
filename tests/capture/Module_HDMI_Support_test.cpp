#include <string>

#include <gtest/gtest.h>

#include "Capture_Test_Support.h"
#include "capture/Module_HDMI_Support.h"

namespace {

using Module_HDMI_Support::One_Decimal_Text;
using Module_HDMI_Support::Round_Half_Even;

class Process_AMT_Test : public Capture_Test {};

TEST_F(Process_AMT_Test, DescribesSizeAndRateInTheShortestForm) {
    struct {
        Media_Type type;
        const char* text;
    } cases[] = {
        {{true, 1920, 1080, 400000}, "1920*1080/25"},   {{true, 1920, 1080, 200000}, "1920*1080/50"},
        {{true, 1920, 1080, 166833}, "1920*1080/59.9"},  // 59.94
        {{true, 1280, 720, 333667}, "1280*720/30"},      // 29.97 rounds to 30.0
        {{true, 720, 576, 400000}, "720*576/25"},       {{true, 640, 480, 666667}, "640*480/15"},
        {{true, 640, 480, 1333333}, "640*480/7.5"},     {{false, 0, 0, 0}, "Corrupt data!"},
        {{false, 1920, 1080, 400000}, "Corrupt data!"},
    };
    for (const auto& c : cases) EXPECT_EQ(Process_AMT(c.type), c.text) << c.text;
    EXPECT_TRUE(errors.errors.empty());
}

// The source window says what "Limit capture to 25 fps" does to a format and
// how its pictures will be reviewed.
TEST_F(Process_AMT_Test, TheRateEffectSaysWhatTheRecordingGets) {
    const struct {
        const char* name;
        Media_Type type;
        bool limit;
        const char* text;
    } cases[] = {
        {"25i",
         {true, 1920, 1080, 400000, Scan_Mode::Interlaced},
         true,
         "Recorded at its own 25 pictures a second, interlaced: reviewed field by field."},
        {"50p limited",
         {true, 1920, 1080, 200000, Scan_Mode::Progressive},
         true,
         "Recorded at 25 of its 50 pictures a second (the others are dropped), progressive: reviewed frame by frame."},
        {"120p",
         {true, 1920, 1080, 83333, Scan_Mode::Progressive},
         false,
         "Recorded at its own 120 pictures a second, progressive: reviewed frame by frame."},
        {"unsaid 40",
         {true, 1920, 1080, 250000, Scan_Mode::Unknown},
         false,
         "Recorded at its own 40 pictures a second, progressive: reviewed frame by frame (the source does not say)."},
        {"unsaid 50 limited",
         {true, 1920, 1080, 200000, Scan_Mode::Unknown},
         true,
         "Recorded at 25 of its 50 pictures a second (the others are dropped), interlaced: reviewed field by field "
         "(the source does not say)."},
        {"15",
         {true, 640, 480, 666667, Scan_Mode::Progressive},
         false,
         "15 pictures a second is outside 24 to 240: no recording can be timed from it."},
        {"300",
         {true, 640, 480, 33333, Scan_Mode::Progressive},
         true,
         "300 pictures a second is outside 24 to 240: no recording can be timed from it."},
        {"no rate", {false, 0, 0, 0, Scan_Mode::Unknown}, false, "The format does not say its rate."},
    };
    for (const auto& c : cases) EXPECT_EQ(Module_HDMI_Support::Rate_Effect_Text(c.type, c.limit), c.text) << c.name;
}

TEST_F(Process_AMT_Test, AnUnknownRateIsReportedAndGivesNoText) {
    for (int64_t interval : {0, -400000}) {
        errors.errors.clear();
        EXPECT_EQ(Process_AMT({true, 1920, 1080, interval}), "");
        ASSERT_EQ(errors.errors.size(), 1u) << interval;
        EXPECT_EQ(errors.errors[0].location, "Process_AMT of Module Module_HDMI_Support");
        EXPECT_EQ(errors.errors[0].number, 11);
    }
}

TEST(Round_Half_Even, TiesGoToTheEvenNeighbour) {
    struct {
        double value;
        int decimals;
        double rounded;
    } cases[] = {{2.5, 0, 2},    {3.5, 0, 4},    {-2.5, 0, -2},    {24.004, 0, 24},  {52.03, 0, 52},
                 {0.25, 1, 0.2}, {0.35, 1, 0.4}, {59.94, 1, 59.9}, {59.95, 1, 60.0}, {25.0, 1, 25.0}};
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(Round_Half_Even(c.value, c.decimals), c.rounded) << c.value;
}

TEST(One_Decimal_Text, DropsAZeroDecimal) {
    EXPECT_EQ(One_Decimal_Text(25.0), "25");
    EXPECT_EQ(One_Decimal_Text(24.999), "25");
    EXPECT_EQ(One_Decimal_Text(59.94), "59.9");
    EXPECT_EQ(One_Decimal_Text(7.5), "7.5");
}

}  // namespace
