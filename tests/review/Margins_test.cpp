#include <string>
#include <vector>

#include "Test_Env.h"
#include "Test_Name.h"
#include "review/Margins.h"
#include "settings/Module_Ini.h"

namespace {

struct Margin_Case {
    std::string name;
    int32_t ms;
    std::string text;
    Margin_Table table{};
};

class Margin_Text_Test : public ::testing::TestWithParam<Margin_Case> {};

TEST_P(Margin_Text_Test, FollowsTheDistanceTable) {
    EXPECT_EQ(Margins::Margin_Text(GetParam().ms, GetParam().table), GetParam().text);
}

const Margin_Table Tenth{0.1, 0.1, 0.2, 0.5};  // a slower course, a longer neck

INSTANTIATE_TEST_SUITE_P(
    Margins, Margin_Text_Test,
    ::testing::Values(
        Margin_Case{"same millisecond", 0, "short head"}, Margin_Case{"just under a head", 7, "short head"},
        Margin_Case{"a tenth of a length", 8, "head"}, Margin_Case{"one field at 50 per second", 20, "neck"},
        Margin_Case{"just under the neck bound", 29, "neck"}, Margin_Case{"the neck bound", 30, "1/2 length"},
        Margin_Case{"three quarters", 60, "3/4 length"}, Margin_Case{"0.08 s", 80, "1 length"},
        Margin_Case{"1 1/4", 100, "1 1/4 lengths"}, Margin_Case{"nearest quarter down", 104, "1 1/4 lengths"},
        Margin_Case{"a half rounds up", 110, "1 1/2 lengths"}, Margin_Case{"a whole second", 1000, "12 1/2 lengths"},
        Margin_Case{"longer neck 0.4 lengths", 40, "neck", Tenth},
        Margin_Case{"longer length 0.08 s", 80, "3/4 length", Tenth},
        Margin_Case{"longer length 1 s", 1000, "10 lengths", Tenth}),
    By_Name{});

Result_Record Dog(int16_t box, int32_t time, bool dead_heat = false) {
    Result_Record r;
    r.Box = box;
    r.Goal_Time = time;
    r.Dead_Heat = dead_heat;
    return r;
}

TEST(Margin_Texts, EachDogIsMeasuredToTheOneAboveAndOnlyTimedDogsHaveOne) {
    const Result_Array_Type ranked{Dog(3, 28450), Dog(1, 28450, true), Dog(5, 28530),
                                   Dog(2, 29530), Dog(4, DNF_Code),    Dog(6, No_Time)};
    const std::array<std::string, 6> expect{"", "dead heat", "1 length", "12 1/2 lengths", "", ""};
    EXPECT_EQ(Margins::Margin_Texts(ranked, Margin_Table{}), expect);
}

struct Table_Case {
    std::string name;
    std::vector<std::pair<std::string, std::string>> settings;
    Margin_Table table;
    size_t problems;
};

class Margin_Table_Test : public Hdx_Test, public ::testing::WithParamInterface<Table_Case> {};

TEST_P(Margin_Table_Test, ComesFromTheSettingsAndBadValuesKeepTheDefault) {
    const std::string ini = Path("houndex.ini");
    for (const auto& [key, value] : GetParam().settings) ASSERT_EQ(Write_Ini(Margins::Section, key, value, ini), 1);
    std::vector<std::string> problems;
    const Margin_Table t = Margins::Load_Table(ini, &problems);
    EXPECT_DOUBLE_EQ(t.Seconds_Per_Length, GetParam().table.Seconds_Per_Length);
    EXPECT_DOUBLE_EQ(t.Short_Head, GetParam().table.Short_Head);
    EXPECT_DOUBLE_EQ(t.Head, GetParam().table.Head);
    EXPECT_DOUBLE_EQ(t.Neck, GetParam().table.Neck);
    EXPECT_EQ(problems.size(), GetParam().problems);
}

INSTANTIATE_TEST_SUITE_P(
    Margins, Margin_Table_Test,
    ::testing::Values(Table_Case{"nothing set", {}, Margin_Table{}, 0},
                      Table_Case{
                          "all set",
                          {{"seconds_per_length", "0.1"}, {"short_head", "0.05"}, {"head", "0.15"}, {"neck", "0.3"}},
                          Margin_Table{0.1, 0.05, 0.15, 0.3},
                          0},
                      Table_Case{"words and zero", {{"seconds_per_length", "fast"}, {"head", "0"}}, Margin_Table{}, 2},
                      Table_Case{"falling bounds keep the length",
                                 {{"seconds_per_length", "0.09"}, {"head", "0.5"}},
                                 Margin_Table{0.09, 0.1, 0.2, 0.375},
                                 1}),
    By_Name{});

}  // namespace
