#include <string>
#include <vector>

#include "Test_Env.h"
#include "Test_Name.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Module_Results.h"

using namespace Module_Results;

namespace {

struct Box_Entry {
    int32_t goal, split, click;
    bool dead_heat;
    const char* name;
};

// Six records in box order, as Load_Result_Array leaves them.
Result_Array_Type Heat(const std::vector<Box_Entry>& boxes) {
    Result_Array_Type a;
    for (size_t i = 0; i < a.size(); ++i) {
        const Box_Entry e = i < boxes.size() ? boxes[i] : Box_Entry{No_Time, No_Time, 0, false, ""};
        a[i] = Result_Record{static_cast<int16_t>(i + 1), e.goal, e.split, e.click, e.name, e.dead_heat, {}};
    }
    return a;
}

std::vector<int16_t> Boxes_In_Order(const Result_Array_Type& a) {
    std::vector<int16_t> out;
    for (const auto& r : a) out.push_back(r.Box);
    return out;
}

struct Sort_Case {
    const char* name;
    std::vector<Box_Entry> boxes;
    std::vector<int16_t> order;
};

class Sort_Test : public ::testing::TestWithParam<Sort_Case> {};

TEST_P(Sort_Test, PutsTheBoxesInRankOrder) {
    Result_Array_Type a = Heat(GetParam().boxes);
    Sort_Result_Array(a);
    EXPECT_EQ(Boxes_In_Order(a), GetParam().order);
}

INSTANTIATE_TEST_SUITE_P(
    Ranking, Sort_Test,
    ::testing::Values(Sort_Case{"AscendingTimes",
                                {{30100, No_Time, 5, false, "a"},
                                 {29000, No_Time, 6, false, "b"},
                                 {31000, No_Time, 1, false, "c"},
                                 {28450, No_Time, 9, false, "d"},
                                 {29500, No_Time, 2, false, "e"},
                                 {33000, No_Time, 3, false, "f"}},
                                {4, 2, 5, 1, 3, 6}},
                      // DNF before DSQ before no rank before no time; codes after every real time.
                      Sort_Case{"CodesAfterTimes",
                                {{No_Time, 27000, 0, false, "a"},
                                 {No_Rank_Code, No_Time, 4, false, "b"},
                                 {DSQ_Code, No_Time, 3, false, "c"},
                                 {DNF_Code, No_Time, 2, false, "d"},
                                 {40000, No_Time, 1, false, "e"},
                                 {No_Time, No_Time, 0, false, "f"}},
                                {5, 4, 3, 2, 1, 6}},
                      // Equal times in the order they were clicked, whatever the box order.
                      Sort_Case{"EqualTimesInClickOrder",
                                {{29000, No_Time, 300, false, "a"},
                                 {29000, No_Time, 100, false, "b"},
                                 {29000, No_Time, 200, false, "c"},
                                 {28000, No_Time, 900, false, "d"}},
                                {4, 2, 3, 1, 5, 6}},
                      // The PC clock wraps from its largest value to its smallest between two clicks.
                      Sort_Case{"EqualTimesInClickOrderAcrossTheClockWrap",
                                {{29000, No_Time, -2147483000, false, "a"},
                                 {29000, No_Time, 2147483000, false, "b"},
                                 {29000, No_Time, 2147482000, false, "c"}},
                                {3, 2, 1, 4, 5, 6}},
                      // Equal in both keys: box order stays.
                      Sort_Case{"FullyEqualKeepBoxOrder",
                                {{No_Time, No_Time, 0, false, "a"},
                                 {No_Time, No_Time, 0, false, "b"},
                                 {25000, No_Time, 7, false, "c"},
                                 {25000, No_Time, 7, false, "d"}},
                                {3, 4, 1, 2, 5, 6}}),
    By_Name());

TEST(Rank_Numbers, DeadHeatsShareTheRankOfTheRecordAbove) {
    struct Case {
        std::vector<bool> marks;
        std::array<int16_t, 6> ranks;
    } cases[] = {
        {{false, false, false, false, false, false}, {1, 2, 3, 4, 5, 6}},
        {{false, false, true, false, false, false}, {1, 2, 2, 4, 5, 6}},
        {{false, false, true, true, false, false}, {1, 2, 2, 2, 5, 6}},
        {{false, true, false, true, false, true}, {1, 1, 3, 3, 5, 5}},
        // Nobody above the first: it keeps rank 1 instead of 0.
        {{true, true, false, false, false, false}, {1, 1, 3, 4, 5, 6}},
    };
    for (const Case& c : cases) {
        Result_Array_Type a = Heat({});
        for (size_t i = 0; i < 6; ++i) a[i].Dead_Heat = c.marks[i];
        EXPECT_EQ(Rank_Numbers(a), c.ranks);
    }
}

// The whole ranking rule of a dead heat: sort, then ranks, read box by box.
struct Dead_Heat_Case {
    const char* name;
    std::vector<Box_Entry> boxes;
    std::vector<int16_t> rank_of_box;  // boxes 1.. in order
};

class Dead_Heat_Test : public ::testing::TestWithParam<Dead_Heat_Case> {};

TEST_P(Dead_Heat_Test, PartnersShareTheRank) {
    Result_Array_Type a = Heat(GetParam().boxes);
    Sort_Result_Array(a);
    const std::array<int16_t, 6> ranks = Rank_Numbers(a);
    std::vector<int16_t> by_box(GetParam().rank_of_box.size());
    for (size_t r = 0; r < a.size(); ++r)
        if (static_cast<size_t>(a[r].Box) <= by_box.size()) by_box[static_cast<size_t>(a[r].Box - 1)] = ranks[r];
    EXPECT_EQ(by_box, GetParam().rank_of_box);
}

INSTANTIATE_TEST_SUITE_P(
    Ranking, Dead_Heat_Test,
    ::testing::Values(
        Dead_Heat_Case{
            "MarkOnTheLaterPartner", {{28450, No_Time, 10, false, "a"}, {28450, No_Time, 20, true, "b"}}, {1, 1}},
        // The unmarked partner clicked again at the same field: now the later click.
        Dead_Heat_Case{
            "UnmarkedPartnerClickedAgain", {{28450, No_Time, 30, false, "a"}, {28450, No_Time, 20, true, "b"}}, {1, 1}},
        Dead_Heat_Case{"DeadHeatForSecondAfterAReclick",
                       {{28000, No_Time, 1, false, "a"},
                        {28450, No_Time, 40, false, "b"},
                        {28450, No_Time, 30, true, "c"},
                        {29000, No_Time, 2, false, "d"}},
                       {1, 2, 2, 4}},
        // A third dog at the same field without the mark is no partner.
        Dead_Heat_Case{
            "UnmarkedThirdAtTheSameFieldRanksOnItsOwn",
            {{28450, No_Time, 10, false, "a"}, {28450, No_Time, 20, true, "b"}, {28450, No_Time, 30, false, "c"}},
            {1, 1, 3}},
        // The mark shares the rank above it even a hundredth apart (the official's call).
        Dead_Heat_Case{"MarkOnALaterTime", {{28450, No_Time, 10, false, "a"}, {28460, No_Time, 5, true, "b"}}, {1, 1}},
        Dead_Heat_Case{
            "EveryoneMarkedAtOneField", {{28450, No_Time, 20, true, "a"}, {28450, No_Time, 10, true, "b"}}, {1, 1}}),
    By_Name());

TEST(Result_Rows, ShowTimesWithTheBoxDelayAndCodesAsText) {
    Result_Array_Type a = Heat({{28450, 14000, 10, false, "Fox"},
                                {28450, No_Rank_Code, 20, true, "Dash"},
                                {30000, No_Time, 30, false, "Comet"},
                                {DNF_Code, 15000, 0, false, "Slow"},
                                {DSQ_Code, No_Time, 0, false, "Naughty"},
                                {No_Time, 16000, 0, false, "Split Only"}});
    Sort_Result_Array(a);
    const Result_Rows_Type rows = Result_Rows(a, 30);
    struct Expect {
        const char* rank;
        bool circle;
        const char* name;
        const char* time;
        const char* split;
    } expect[] = {{"1", false, "Fox", "28,48", "14,03"}, {"1", true, "Dash", "28,48", ""},
                  {"3", false, "Comet", "30,03", ""},    {"---", false, "Slow", "DNF", "---,---"},
                  {"---", false, "Naughty", "DSQ", ""},  {"---", false, "Split Only", "---,---", "---,---"}};
    for (size_t r = 0; r < 6; ++r) {
        EXPECT_EQ(rows[r].Rank, expect[r].rank) << r;
        EXPECT_EQ(rows[r].Dead_Heat_Circle, expect[r].circle) << r;
        EXPECT_EQ(rows[r].Name, expect[r].name) << r;
        EXPECT_EQ(rows[r].Time, expect[r].time) << r;
        EXPECT_EQ(rows[r].Split, expect[r].split) << r;
    }
    // Without a delay the shown time is the stored one; long times get minutes.
    // The largest real time sits just below the first code.
    const Result_Rows_Type plain =
        Result_Rows(Heat({{62300, 2340, 1, false, "A"}, {888885, No_Time, 2, false, "B"}}), 0);
    EXPECT_EQ(plain[0].Time, "1:02,30");
    EXPECT_EQ(plain[0].Split, "2,34");
    EXPECT_EQ(plain[1].Time, "14:48,88");
    EXPECT_EQ(plain[1].Rank, "2");
}

TEST(Result_Rows, EverySpecialResultShowsWhatItIs) {
    struct Case {
        const char* name;
        int32_t goal;
        const char* time;
        const char* rank;
    } cases[] = {{"Timed", 28450, "28,45", "1"},
                 {"Disqualified", DSQ_Code, "DSQ", "---"},
                 {"DidNotFinish", DNF_Code, "DNF", "---"},
                 {"NoRank", No_Rank_Code, "No rank", "---"},
                 {"NotTimed", No_Time, "---,---", "---"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result_Rows_Type rows = Result_Rows(Heat({{c.goal, No_Time, 1, false, "Rex"}}), 0);
        EXPECT_EQ(rows[0].Time, c.time);
        EXPECT_EQ(rows[0].Rank, c.rank);
    }
}

TEST(Box_Delay_Text, IsShownOnlyForADelayOfAtLeastOneMillisecond) {
    EXPECT_EQ(Box_Delay_Text(30), "Box delay = 30ms");
    EXPECT_EQ(Box_Delay_Text(1), "Box delay = 1ms");
    EXPECT_EQ(Box_Delay_Text(0), "");
    EXPECT_EQ(Box_Delay_Text(-4), "");
}

TEST(Export_Text, ListsEveryNamedRowTabSeparated) {
    Result_Array_Type a = Heat({{28450, 14000, 10, false, "Fox"},
                                {DSQ_Code, No_Time, 0, false, "Naughty"},
                                {30000, No_Time, 30, false, ""},
                                {29000, No_Time, 20, false, "Dash"}});
    Sort_Result_Array(a);
    const std::string text = Export_Text("3", Result_Rows(a, 0));
    // A timed dog without a name is exported as its box; an empty box not at all.
    EXPECT_EQ(text,
              "Heat3\r\n"
              "1\tFox\t28,45\t14,00\r\n"
              "2\tDash\t29,00\r\n"
              "3\tBox 3\t30,00\r\n"
              "---\tNaughty\tDSQ\r\n");
    Result_Row row;
    row.Rank = "4";
    row.Name = "X";
    row.Time = "31,00";
    row.Split = "";
    EXPECT_EQ(Export_Line(row), "4\tX\t31,00");
}

class Load_Test : public Hdx_Test {};

TEST_F(Load_Test, ReadsTheSixBoxesFromTheHeaderWithZeroAsNoTime) {
    cls_VideoFile_handler h;
    h.Header().Set_rgb(true);
    h.Header().Create_Header();
    h.Set_Hdx_Dog_name(1, "Fox");
    h.Set_Hdx_Heat_time(1, false, 28450);
    h.Set_Hdx_Heat_time(1, true, 14000);
    h.Set_Hdx_Heat_Click_Time(1, 777);
    h.Set_Hdx_dead_heat(2, true);
    h.Set_Hdx_Heat_time(7, false, 1);  // boxes 7 and 8 are not part of the result
    Result_Array_Type a;
    ASSERT_TRUE(Load_Result_Array(h, a));
    EXPECT_EQ(a[0].Box, 1);
    EXPECT_EQ(a[0].Dog_Name, "Fox");
    EXPECT_EQ(a[0].Goal_Time, 28450);
    EXPECT_EQ(a[0].Split_Time, 14000);
    EXPECT_EQ(a[0].Click_Time, 777);
    EXPECT_FALSE(a[0].Dead_Heat);
    EXPECT_TRUE(a[1].Dead_Heat);
    for (size_t i = 1; i < 6; ++i) {
        EXPECT_EQ(a[i].Box, static_cast<int16_t>(i + 1));
        EXPECT_EQ(a[i].Goal_Time, No_Time);
        EXPECT_EQ(a[i].Split_Time, No_Time);
        EXPECT_EQ(a[i].Dog_Name, "");  // the new header's "dog name": nobody was named
    }
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(Load_Test, AHeaderThatCannotBeReadIsReportedAndLeavesNoTimes) {
    cls_VideoFile_handler h;  // no document loaded
    Result_Array_Type a = Heat({{1000, 500, 1, true, "Another heat's"}, {900, No_Time, 2, false, "winner"}});
    EXPECT_FALSE(Load_Result_Array(h, a));
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(a[i].Box, static_cast<int16_t>(i + 1));
        EXPECT_EQ(a[i].Goal_Time, No_Time);
        EXPECT_EQ(a[i].Split_Time, No_Time);
        EXPECT_EQ(a[i].Dog_Name, "");
        EXPECT_FALSE(a[i].Dead_Heat);
    }
    ASSERT_FALSE(errors.errors.empty());
    EXPECT_EQ(errors.errors.back().location, "Load_Result_Array of Form Form_Houndex");
}

}  // namespace
