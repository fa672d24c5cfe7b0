#include <cmath>
#include <string>

#include "Sim_Heat.h"
#include "Test_Env.h"
#include "Test_Name.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Crossing_Estimate.h"
#include "review/Finish_Strip.h"
#include "review/Review_Timing.h"

namespace {

struct Estimate_Case {
    std::string name;
    Goal_Line_Points line;
    Nose_Mark a, b;
    std::optional<int32_t> expect;
};

class Estimate_Test : public ::testing::TestWithParam<Estimate_Case> {};

TEST_P(Estimate_Test, InterpolatesTheNosesDistanceToTheLine) {
    const Estimate_Case& c = GetParam();
    EXPECT_EQ(Crossing_Estimate::Estimate(c.line, c.a, c.b), c.expect);
    EXPECT_EQ(Crossing_Estimate::Estimate(c.line, c.b, c.a), c.expect) << "the order of the marks does not matter";
}

const Goal_Line_Points Upright{{100, 10}, {100, 300}};
const Goal_Line_Points Leaning{{100, 0}, {200, 100}};  // x = 100 + y

INSTANTIATE_TEST_SUITE_P(
    Marks, Estimate_Test,
    ::testing::Values(Estimate_Case{"halfway", Upright, {1000, 95, 50}, {1020, 105, 50}, 1010},
                      Estimate_Case{"a quarter of the way", Upright, {1000, 98, 50}, {1020, 106, 200}, 1005},
                      Estimate_Case{"on the line", Upright, {1000, 90, 50}, {1020, 100, 50}, 1020},
                      Estimate_Case{"leaning line", Leaning, {2000, 140, 50}, {2020, 160, 50}, 2010},
                      Estimate_Case{"running leftwards", Upright, {1000, 104, 50}, {1020, 96, 50}, 1010},
                      Estimate_Case{"both short of the line", Upright, {1000, 90, 50}, {1020, 99, 50}, std::nullopt},
                      Estimate_Case{"one field twice", Upright, {1000, 95, 50}, {1000, 105, 50}, std::nullopt},
                      Estimate_Case{
                          "a line without length", {{5, 5}, {5, 5}}, {1000, 1, 1}, {1020, 9, 9}, std::nullopt}),
    By_Name{});

TEST(Estimate_Text, ShowsTheMillisecondAndTheEstimateSign) {
    const std::pair<int32_t, const char*> cases[] = {
        {28453, "\u224828,453"}, {5, "\u22480,005"}, {62300, "\u22481:02,300"}, {3723450, "\u22481:02:03,450"}};
    for (const auto& [ms, text] : cases) EXPECT_EQ(Crossing_Estimate::Estimate_Text(ms), text) << ms;
}

class Sim_Crossing_Test : public Sim_Heat_Test {};
class Sim_Crossing_Format_Test : public Sim_Heat_Format_Test {};

// The official clicks each dog's nose, to the recording pixel, in the last
// field before the line and the first past it; the times are the fields'
// own, read from the recording. The estimate lands within 3 ms of the truth.
TEST_P(Sim_Crossing_Format_Test, TheEstimateIsWithinThreeMillisecondsOfEveryDogsTrueCrossing) {
    const Finish_Strip strip = Finish_Strip_Builder::Build(handler, heat.Line);
    for (int box = 1; box <= Sim_Scene::Dogs; ++box) {
        SCOPED_TRACE("box " + std::to_string(box));
        const int32_t past = heat.Crossing_Field(box);
        ASSERT_GT(past, 1);
        auto mark = [&](int32_t p) {
            const std::optional<int32_t> time = strip.Times[static_cast<size_t>(p - 1)];
            EXPECT_TRUE(time.has_value());
            const double nose = heat.Scene.Nose_X(box, heat.Field_Time(p));
            return Nose_Mark{time.value_or(0), std::round(nose), static_cast<double>(heat.Scene.Nose_Y(box))};
        };
        const std::optional<int32_t> estimate = Crossing_Estimate::Estimate(heat.Line, mark(past - 1), mark(past));
        ASSERT_TRUE(estimate.has_value());
        EXPECT_NEAR(*estimate, heat.Crossing_Ms[static_cast<size_t>(box - 1)], 3.0);
        // The official field time stays the result: the estimate lies between the two fields.
        EXPECT_GE(*estimate, heat.Field_Time(past - 1));
        EXPECT_LE(*estimate, heat.Field_Time(past));
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, Sim_Crossing_Format_Test, ::testing::ValuesIn(Sim_Heat_Formats),
                         [](const auto& param_info) { return std::string(param_info.param.Name); });

TEST_F(Sim_Crossing_Test, TheEstimateIsKeptInTheBoxSpareAndClearedWithTheResults) {
    EXPECT_EQ(Crossing_Estimate::Stored(handler, 2), std::nullopt);  // a new recording has none
    Crossing_Estimate::Store(handler, 2, 1017);
    Crossing_Estimate::Store(handler, 5, 1212);
    Crossing_Estimate::Store(handler, 5, std::nullopt);
    {
        cls_VideoFile_handler reader;
        ASSERT_TRUE(reader.Open_File(path));
        EXPECT_EQ(Crossing_Estimate::Stored(reader, 2), 1017);
        EXPECT_EQ(Crossing_Estimate::Stored(reader, 5), std::nullopt);
        EXPECT_EQ(reader.Hdx_heat_spare1(5), "00000");  // the schema's own empty value
    }
    Review_Timing::Clear_All_Results(handler);
    EXPECT_EQ(Crossing_Estimate::Stored(handler, 2), std::nullopt);
}

}  // namespace
