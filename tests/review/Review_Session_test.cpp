// The review session: one result per heat, every change written (with its
// reason on an official heat) before it counts, nothing changed when it fails.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Test_Env.h"
#include "Test_Name.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Official_Record.h"
#include "review/Review_Session.h"

namespace {

Review_Session::Click Goal(int16_t box, int32_t time, int32_t position) {
    return {box, time, false, position, 1000 + position};
}

class Session_Test : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        path = Platform::Join_Path(Temp_Dir(), "heat.nx3");
        cls_VideoFile_handler writer;
        writer.Set_Cropped_X(64);
        writer.Set_Cropped_Y(48);
        ASSERT_TRUE(writer.Initiate_NX3_File(path));
        writer.Set_Hdx_Heat_ID("4");
        writer.Set_Hdx_Goal_Finish("32,0,32,48");
        writer.Set_Hdx_box_delay("20");
        for (int16_t b = 1; b <= 6; ++b) writer.Set_Hdx_Dog_name(b, "Dog " + std::to_string(b));
        ASSERT_TRUE(writer.Write_XML_Header());
        writer.Close_File();
        ASSERT_TRUE(handler.Open_File(path));
        session = std::make_unique<Review_Session>(handler, Review_Session::Arming{});
        QObject::connect(session.get(), &Review_Session::Changed,
                         [this](const std::string& change) { changes.push_back(change); });
    }
    void TearDown() override {
        session.reset();
        handler.Close_File();
        Hdx_Test::TearDown();
    }

    std::optional<int32_t> Estimate_On_Disk(int16_t box) {
        cls_VideoFile_handler reader;
        EXPECT_TRUE(reader.Open_File(path));
        return Crossing_Estimate::Stored(reader, box);
    }
    std::string Header_On_Disk() { return Read_Text(path).substr(0, 32016); }

    std::string path;
    cls_VideoFile_handler handler;
    std::unique_ptr<Review_Session> session;
    std::vector<std::string> changes;
};

TEST_F(Session_Test, TheHeatsOwnBoxDelayIsInEveryShownTime) {
    ASSERT_TRUE(session->Set_Time(Goal(2, 28450, 10)).done);
    EXPECT_EQ(session->Result().Box_Delay, 20);
    EXPECT_EQ(session->Result().Rows[0].Time, "28,47");
    EXPECT_EQ(changes, std::vector<std::string>{"time"});
    // A correction of the delay is a change of the heat like any other.
    ASSERT_TRUE(session->Set_Box_Delay(0).done);
    EXPECT_EQ(session->Result().Rows[0].Time, "28,45");
    cls_VideoFile_handler reader;
    ASSERT_TRUE(reader.Open_File(path));
    EXPECT_EQ(Heat_Results::Recorded_Box_Delay(reader), 0);
    EXPECT_FALSE(session->Set_Box_Delay(70000).done);
}

// A change runs no event loop while it is written, not even where a header
// setter would yield (the dead-heat mark does).
TEST_F(Session_Test, NoEventRunsWhileAChangeIsWritten) {
    int yields = 0;
    Platform::Set_Yield_Hook([&] { ++yields; });
    session->Armed().Dead_Heat = true;
    ASSERT_TRUE(session->Set_Time(Goal(4, 28450, 9)).done);
    ASSERT_TRUE(session->Clear_All().done);
    Platform::Set_Yield_Hook({});
    EXPECT_EQ(yields, 0);
}

// Nose marks give an estimate only for the click they bracket, and every goal click uses them up.
struct Estimate_Case {
    const char* name;
    std::vector<std::pair<int32_t, Nose_Mark>> marks_first;  // before the first click of box 1
    int32_t first_position;
    std::vector<std::pair<int32_t, Nose_Mark>> marks_second;  // then, before a click of box 1 again
    int32_t second_position;
    bool estimate_after;
};

class Session_Estimate_Test : public Session_Test, public ::testing::WithParamInterface<Estimate_Case> {};

TEST_P(Session_Estimate_Test, TheEstimateGoesOnlyWithTheTimeItWasMadeFor) {
    const Estimate_Case& c = GetParam();
    for (const auto& [at, mark] : c.marks_first) session->Mark_Nose(at, mark);
    ASSERT_TRUE(session->Set_Time(Goal(1, 28400, c.first_position)).done);
    for (const auto& [at, mark] : c.marks_second) session->Mark_Nose(at, mark);
    if (c.second_position > 0) {
        ASSERT_TRUE(session->Set_Time(Goal(1, 28440, c.second_position)).done);
    }
    EXPECT_EQ(Estimate_On_Disk(1).has_value(), c.estimate_after);
    EXPECT_EQ(session->Result().Ranked[0].Estimate.has_value(), c.estimate_after);
    EXPECT_TRUE(session->Nose_Marks().empty());
}

const Nose_Mark Before{28400, 30, 20}, Past{28420, 34, 20}, Elsewhere{28460, 40, 20};

INSTANTIATE_TEST_SUITE_P(
    Marks, Session_Estimate_Test,
    ::testing::Values(Estimate_Case{"BracketingTheClick", {{7, Before}, {8, Past}}, 8, {}, 0, true},
                      Estimate_Case{"NotBracketingTheClick", {{7, Before}, {8, Past}}, 12, {}, 0, false},
                      // "28,66 ≈28,453": a later time keeps no estimate of the earlier one.
                      Estimate_Case{"ALaterTimeDropsTheEstimate", {{7, Before}, {8, Past}}, 8, {}, 11, false},
                      // One mark left from the first dog is not paired with the next dog's.
                      Estimate_Case{"AMarkOfAnotherDogIsNotCombined", {{7, Before}}, 7, {{8, Past}}, 8, false},
                      Estimate_Case{"BothMarksOnOneSide", {{7, Before}, {9, Before}}, 8, {}, 0, false},
                      Estimate_Case{
                          "ElsewhereThenBracketed", {{7, Before}, {8, Past}}, 8, {{10, Elsewhere}}, 10, false}),
    By_Name());

// Every change of an official heat: refused without a reason, trailed with one.
struct Official_Case {
    const char* name;
    std::function<Review_Session::Outcome(Review_Session&, const std::string&)> change;
    const char* what;
};

class Session_Official_Test : public Session_Test, public ::testing::WithParamInterface<Official_Case> {};

TEST_P(Session_Official_Test, NeedsAReasonAndGoesIntoTheTrail) {
    ASSERT_TRUE(session->Set_Time(Goal(3, 28450, 10)).done);
    ASSERT_TRUE(session->Declare().done);
    EXPECT_EQ(session->Result().Status(), "official");
    const std::string before = Header_On_Disk();
    EXPECT_FALSE(GetParam().change(*session, "").done);
    EXPECT_EQ(Header_On_Disk(), before);
    EXPECT_TRUE(Official_Record::Read_Trail(path).empty());

    ASSERT_TRUE(GetParam().change(*session, "the judge's call").done);
    const std::vector<Official_Record::Change> trail = Official_Record::Read_Trail(path);
    ASSERT_EQ(trail.size(), 1u);
    EXPECT_EQ(trail[0].what, GetParam().what);
    EXPECT_EQ(trail[0].reason, "the judge's call");
    EXPECT_EQ(session->Result().Status(), "amended");
    EXPECT_EQ(session->Result().Trail.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, Session_Official_Test,
    ::testing::Values(
        Official_Case{"BoxTime",
                      [](Review_Session& s, const std::string& r) { return s.Set_Time(Goal(3, 28460, 11), r); },
                      "box 3 goal time"},
        Official_Case{"ClearAll", [](Review_Session& s, const std::string& r) { return s.Clear_All(r); },
                      "all results"},
        Official_Case{
            "DogName",
            [](Review_Session& s, const std::string& r) { return s.Correct_Name(Result_Name::Dog, 5, "Swift", r); },
            "box 5 dog name"},
        Official_Case{"BoxDelay", [](Review_Session& s, const std::string& r) { return s.Set_Box_Delay(30, r); },
                      "box delay"}),
    By_Name());

// A header that cannot be written: nothing is shown, trailed or kept in memory.
TEST_F(Session_Test, AChangeTheHeaderCannotHoldChangesNothing) {
    for (const bool official : {false, true}) {
        SCOPED_TRACE(official ? "official" : "provisional");
        if (official) {
            ASSERT_TRUE(session->Declare().done);
        }
        const std::string before = Header_On_Disk();
        const size_t trail = Official_Record::Read_Trail(path).size();
        changes.clear();
        const Review_Session::Outcome o =
            session->Correct_Name(Result_Name::Dog, 2, std::string(40000, 'x'), "a name too long to store");
        EXPECT_FALSE(o.done);
        EXPECT_FALSE(o.error.empty());
        EXPECT_TRUE(changes.empty());
        EXPECT_EQ(handler.Hdx_Dog_name(2), "Dog 2");
        EXPECT_EQ(Header_On_Disk(), before);
        EXPECT_EQ(Official_Record::Read_Trail(path).size(), trail);
        // The next change writes itself only, not the one refused.
        ASSERT_TRUE(session->Set_Time(Goal(1, 28000, 4), "a reclick").done);
        cls_VideoFile_handler reader;
        ASSERT_TRUE(reader.Open_File(path));
        EXPECT_EQ(reader.Hdx_Dog_name(2), "Dog 2");
    }
    errors.errors.clear();  // the handler reports the failed write as well
}

}  // namespace
