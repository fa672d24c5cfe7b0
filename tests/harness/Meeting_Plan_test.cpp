// The seeded make-up of a meeting, where its clock begins, and the ranking rule
// the harness checks the results window against.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <set>
#include <utility>

#include "Test_Name.h"
#include "event/Race_Card.h"
#include "platform/Clock.h"
#include "review/Module_Results.h"
#include "harness/Meeting_Plan.h"
#include "harness/Meeting_Run.h"

namespace {

TEST(MeetingPlan, ASeedGivesOneMeetingWithEveryEventInSomeHeat) {
    for (const uint64_t seed : {1u, 7u, 20u}) {
        const auto plan = Plan_Meeting(seed, 12);
        const auto again = Plan_Meeting(seed, 12);
        std::set<Meeting_Event> seen;
        for (size_t h = 0; h < plan.size(); ++h) {
            EXPECT_EQ(plan[h].Events, again[h].Events) << "seed " << seed << " heat " << h + 1;
            EXPECT_EQ(plan[h].Start, again[h].Start);
            seen.insert(plan[h].Events.begin(), plan[h].Events.end());
            if (plan[h].Has(Meeting_Event::Quick_Reopen)) {
                EXPECT_TRUE(plan[h].Has(Meeting_Event::Two_Windows));
            }
        }
        EXPECT_FALSE(plan[0].Has(Meeting_Event::Review_By_Menu) || plan[0].Has(Meeting_Event::Review_By_Last_Heat))
            << "nothing to review before the first heat";
        EXPECT_EQ(seen.size(), static_cast<size_t>(Meeting_Event::Count)) << "seed " << seed;
        EXPECT_EQ(Meeting_Programme(seed, 12).Heats[11].Dogs, Meeting_Programme(seed, 12).Heats[11].Dogs);
    }
    EXPECT_NE(Meeting_Programme(1, 1).Heats[0].Dogs, Meeting_Programme(2, 1).Heats[0].Dogs);
}

// Every simulator format is raced by at least four of the seeds run before a
// landing, and the seeds that initiate automatically meet each as well.
TEST(MeetingPlan, TheSeedsRaceEveryFormatOfTheSimulator) {
    const std::vector<Sim_Format> formats = SimVideoCap::Default_Formats();
    std::map<std::string, int> raced, auto_initiated;
    for (uint64_t seed = 1; seed <= 20; ++seed) {
        const int property = Meeting_Format(seed);
        ASSERT_GE(property, 0);
        ASSERT_LT(property, static_cast<int>(formats.size()));
        const std::string name = Sim_Format_Name(formats[static_cast<size_t>(property)]);
        ++raced[name];
        if (seed % 4 == 3) ++auto_initiated[name];
        EXPECT_EQ(Meeting_Format(seed), property) << "a seed keeps its format";
    }
    for (const char* name : {"1920*1080/25i", "1920*1080/50p", "720*576/25i", "1920*1080/60p", "1920*1080/120p"}) {
        EXPECT_GE(raced[name], 4) << name;
        EXPECT_GE(auto_initiated[name], 1) << name;
    }
}

TEST(MeetingPlan, EveryDogOfTheMeetingHasItsOwnName) {
    const Race_Programme p = Meeting_Programme(3, 12);
    std::set<std::string> names;
    for (const Programme_Heat& h : p.Heats) names.insert(h.Dogs.begin(), h.Dogs.end());
    EXPECT_EQ(names.size(), 72u);
}

// The race card the harness imports reads back, through the import's own
// reader, as the programme the heats are checked against.
TEST(MeetingPlan, TheRaceCardReadsBackAsTheProgramme) {
    for (const bool windows_1252 : {true, false}) {
        const Race_Programme programme = Meeting_Programme(5, 12);
        const Meeting_Race_Card card = Make_Race_Card(programme, windows_1252);
        ASSERT_FALSE(card.Bytes.empty());
        EXPECT_EQ(card.Dogs, 72);
        EXPECT_EQ(card.Bytes.compare(0, 3, "\xEF\xBB\xBF") == 0, !windows_1252);
        const Race_Card read = Race_Card_Import::Read(card.Bytes, "race_card.csv");
        ASSERT_TRUE(read.problems.empty()) << read.problems.front();
        ASSERT_EQ(read.heats.size(), 12u);
        ASSERT_EQ(read.dogs.size(), 72u);
        for (const Race_Card::Heat& h : read.heats) {
            const Programme_Heat& want = card.Expected.Heats[static_cast<size_t>(h.heat - 1)];
            EXPECT_EQ(h.name, want.Name);
            EXPECT_EQ(h.length, want.Length);
        }
        int seeded = 0;
        for (const Race_Card::Dog& d : read.dogs) {
            EXPECT_EQ(d.name,
                      card.Expected.Heats[static_cast<size_t>(d.heat - 1)].Dogs[static_cast<size_t>(d.box - 1)]);
            seeded += d.name.size() > 4 && d.name.compare(d.name.size() - 4, 4, " (W)") == 0;
        }
        EXPECT_EQ(seeded, 6);  // the outside box of every even heat
    }
    // Names beyond ASCII are part of the meetings the seeds race.
    std::string all;
    for (uint64_t seed = 1; seed <= 3; ++seed)
        for (const Programme_Heat& h : Meeting_Programme(seed, 12).Heats) {
            all += h.Name;
            for (const std::string& d : h.Dogs) all += d;
        }
    EXPECT_NE(all.find("O\xE2\x80\x99"
                       "Brien"),
              std::string::npos);
    EXPECT_NE(all.find("\xE2\x82\xAC"), std::string::npos);
}

struct Rank_Case {
    const char* name;
    std::vector<Ranked_Entry> boxes;  // box order
    std::vector<int> boxes_ranked;
    std::vector<std::string> ranks;
};

class RankResults : public ::testing::TestWithParam<Rank_Case> {};

TEST_P(RankResults, FollowTheResultsWindowsRule) {
    const auto ranked = Rank_Results(GetParam().boxes);
    std::vector<int> boxes;
    std::vector<std::string> ranks;
    for (const Ranked_Entry& e : ranked) {
        boxes.push_back(e.Box);
        ranks.push_back(e.Rank);
    }
    EXPECT_EQ(boxes, GetParam().boxes_ranked);
    EXPECT_EQ(ranks, GetParam().ranks);
}

INSTANTIATE_TEST_SUITE_P(Cases, RankResults,
                         ::testing::Values(Rank_Case{"CodesAfterTimesInTheirOrder",
                                                     {{1, 0, 0, false, ""},
                                                      {2, No_Rank_Code, 5, false, ""},
                                                      {3, 28000, 9, false, ""},
                                                      {4, DSQ_Code, 4, false, ""},
                                                      {5, DNF_Code, 7, false, ""},
                                                      {6, 27990, 8, false, ""}},
                                                     {6, 3, 5, 4, 2, 1},
                                                     {"1", "2", "---", "---", "---", "---"}},
                                           Rank_Case{"EqualTimesByClickAcrossTheClocksWrap",
                                                     {{1, 28000, -2147483000, false, ""},
                                                      {2, 28000, 2147483000, false, ""},
                                                      {3, 28000, 2147482000, false, ""},
                                                      {4, 30000, 1, false, ""},
                                                      {5, 30000, 1, false, ""},
                                                      {6, 26000, 3, false, ""}},
                                                     {6, 3, 2, 1, 4, 5},
                                                     {"1", "2", "3", "4", "5", "6"}},
                                           Rank_Case{"ADeadHeatSharesTheRankAbove",
                                                     {{1, 28000, 10, false, ""},
                                                      {2, 28000, 11, true, ""},
                                                      {3, 28000, 12, true, ""},
                                                      {4, 27000, 5, false, ""},
                                                      {5, 29000, 6, false, ""},
                                                      {6, 0, 0, false, ""}},
                                                     {4, 1, 2, 3, 5, 6},
                                                     {"1", "2", "2", "2", "5", "---"}}),
                         By_Name());

}  // namespace

namespace {

struct Clock_Option_Case {
    const char* name;
    const char* text;
    bool taken;
    Meeting_Clock_Place place;
    int32_t mill;  // Given
};

class MeetingClockOption : public ::testing::TestWithParam<Clock_Option_Case> {};

TEST_P(MeetingClockOption, ParsesOrLeavesTheOptionsAlone) {
    Meeting_Options o;
    o.Clock = Meeting_Clock_Place::Ordinary;
    EXPECT_EQ(Parse_Meeting_Clock(GetParam().text, o), GetParam().taken);
    EXPECT_EQ(o.Clock, GetParam().taken ? GetParam().place : Meeting_Clock_Place::Ordinary);
    if (GetParam().place == Meeting_Clock_Place::Given) {
        EXPECT_EQ(o.Clock_Mill, GetParam().mill);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MeetingClockOption,
    ::testing::Values(Clock_Option_Case{"Sign", "sign", true, Meeting_Clock_Place::Sign_Change, 0},
                      Clock_Option_Case{"Wrap", "wrap", true, Meeting_Clock_Place::Wrap, 0},
                      Clock_Option_Case{"LowestReading", "-2147483648", true, Meeting_Clock_Place::Given, INT32_MIN},
                      Clock_Option_Case{"PastTheHighestReading", "2147483648", false, Meeting_Clock_Place::Ordinary, 0},
                      Clock_Option_Case{"UnknownWord", "signs", false, Meeting_Clock_Place::Ordinary, 0}),
    By_Name());

TEST(MeetingClockStart, SignAndWrapAreCrossedInAHeatTheSeedDraws) {
    // The crossing comes at least 3 s in and within the meeting's heats.
    for (const auto& [place, crossing] :
         {std::pair{Meeting_Clock_Place::Sign_Change, INT32_MIN}, std::pair{Meeting_Clock_Place::Wrap, 0}}) {
        std::set<int32_t> heats;
        for (uint64_t seed = 1; seed <= 60; ++seed) {
            Meeting_Options o;
            o.Seed = seed;
            o.Heats = 12;
            o.Clock = place;
            const int32_t to_crossing = Platform::Mill_Since(Meeting_Clock_Start(o), crossing);
            EXPECT_GE(to_crossing, 3000) << "seed " << seed;
            EXPECT_LE(to_crossing, 3000 + 13000 * 12) << "seed " << seed;
            heats.insert(to_crossing / 13000);
        }
        EXPECT_GE(heats.size(), 8u) << "the crossing lies in the same few heats for every seed";
    }
}

}  // namespace
