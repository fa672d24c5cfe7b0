// The heat controller alone, without any window: a stepped simulated camera,
// a real recording and the fake clock.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../capture/Capture_Test_Support.h"
#include "Test_Name.h"
#include "capture/Stored_Frames.h"
#include "platform/Clock.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "recording/Frame_Journal.h"
#include "recording/cls_VideoFile_handler.h"
#include "settings/Capture_Triggers.h"
#include "shell/Heat_Controller.h"

namespace {

// Error reports as they reach the reporter, in order.
struct Report_Recorder : IErrorReporter {
    std::vector<std::string> reports;
    int held_when_reported = -1;
    void Report(const std::string& description, int16_t, int32_t, const std::string&, const std::string&) override {
        reports.push_back(description);
        held_when_reported = Error_Report_Hold::Queued();
    }
};

class Heat_Controller_Test : public Capture_Test {
protected:
    void SetUp() override {
        Capture_Test::SetUp();
        capture = Controller();
        capture->set_HDMI_Crop(96, 100);
        capture->Do_CROP(true);
        capture->Capture_Run();
        Frames(40, 40);
        Heat_Controller::Host host;
        // The line where the simulated dogs cross it, in crop pixels.
        host.goal_line = [this] {
            const int32_t x = static_cast<int32_t>(sim->Scene().Finish_X()) - 48;
            return Goal_Line_Points{{x, 0}, {x, 99}};
        };
        host.heat_file_in_review = [this] { return reviewing; };
        host.append_progress = [this](int percent) {
            if (during_append) during_append(percent);
        };
        heat = std::make_unique<Heat_Controller>(host);
        heat->Attach_Capture(capture.get());
        Set_Error_Reporter(&recorder);
        file = Path("heat_1.nx3");
    }
    void TearDown() override {
        heat.reset();
        capture.reset();
        Set_Error_Reporter(nullptr);
        Capture_Test::TearDown();
    }
    void Triggers(int32_t pre, int32_t post, bool automatic = false) {
        Capture_Triggers t = Capture_Triggers::Read();
        t.Pre_Trigger_ms = pre;
        t.Post_Trigger_ms = post;
        t.Auto_Capture = automatic;
        ASSERT_TRUE(t.Write());
    }
    void Initiate() {
        ASSERT_TRUE(heat->Begin_Initiation().accepted);
        cls_VideoFile_handler& w = heat->Writer();
        w.Close_File();
        w.Set_RGB_interlaced(true);
        w.Set_File_name(file);
        w.Set_Cropped_X(96);
        w.Set_Cropped_Y(100);
        ASSERT_TRUE(w.Initiate_NX3_File(file));
        w.Set_Running_Fps(25);
        w.Write_XML_Header();
        w.Close_File();
        heat->Initiated(file);
    }
    void Start() { ASSERT_TRUE(heat->Start(clock.PC_Mill(), 1000, "2026-12-10 15:00:00").accepted); }
    // Drives the heat into a phase by the official's own steps.
    void Reach(Heat_Phase phase) {
        switch (phase) {
            case Heat_Phase::No_File: return;
            case Heat_Phase::Initiated: return Initiate();
            case Heat_Phase::Finished:
                Reach(Heat_Phase::Running);
                heat->Finish();
                return;
            case Heat_Phase::Aborted:
                Reach(Heat_Phase::Running);
                ASSERT_TRUE(heat->Abort().accepted);
                return;
            default: break;
        }
        Initiate();
        Start();
        Frames(10, 40);
        if (phase == Heat_Phase::Running) return;
        ASSERT_TRUE(heat->Capture_Press(clock.PC_Mill(), Window_Source::Button).accepted);
        Frames(5, 40);
        if (phase == Heat_Phase::Capturing) return;
        ASSERT_TRUE(heat->Capture_Release(clock.PC_Mill(), Window_Source::Button).accepted);
    }
    int32_t Frames_In(const std::string& path) {
        cls_VideoFile_handler r;
        if (!r.Open_File(path)) return -1;
        return r.num_Frames();
    }

    std::unique_ptr<cls_Capture_HDMI> capture;
    std::unique_ptr<Heat_Controller> heat;
    Report_Recorder recorder;
    bool reviewing = false;
    std::function<void(int)> during_append;
    std::string file;
};

// What each input does in each phase the official can reach: the phase after
// it, or refused (the phase stays).
struct Transition {
    Heat_Phase from;
    Heat_Input input;
    bool accepted;
    Heat_Phase to;
};

std::string Name(const Transition& t) {
    return std::string(Heat_Phase_Name(t.from)) + " " + Heat_Input_Name(t.input) + (t.accepted ? " taken" : " refused");
}

class Heat_Table_Test : public Heat_Controller_Test, public ::testing::WithParamInterface<Transition> {};

using P = Heat_Phase;
using I = Heat_Input;
const Transition kTransitions[] = {
    {P::No_File, I::Initiate, true, P::No_File},
    {P::No_File, I::Start, false, P::No_File},
    {P::No_File, I::Capture_Press, false, P::No_File},
    {P::No_File, I::Auto_Open, false, P::No_File},
    {P::No_File, I::Abort, false, P::No_File},
    {P::No_File, I::Camera_Stop, true, P::No_File},

    {P::Initiated, I::Start, true, P::Running},
    {P::Initiated, I::Capture_Press, false, P::Initiated},
    {P::Initiated, I::Auto_Open, false, P::Initiated},
    {P::Initiated, I::Capture_Release, false, P::Initiated},
    {P::Initiated, I::Abort, false, P::Initiated},
    {P::Initiated, I::Finish, true, P::Finished},

    {P::Running, I::Initiate, false, P::Running},
    {P::Running, I::Start, false, P::Running},
    {P::Running, I::Capture_Press, true, P::Capturing},
    {P::Running, I::Auto_Open, true, P::Capturing},
    {P::Running, I::Capture_Release, false, P::Running},
    {P::Running, I::Finish, true, P::Finished},
    {P::Running, I::Abort, true, P::Aborted},
    {P::Running, I::Camera_Stop, true, P::Running},
    {P::Running, I::Open_Review, true, P::Running},

    {P::Capturing, I::Initiate, false, P::Capturing},
    {P::Capturing, I::Start, false, P::Capturing},
    {P::Capturing, I::Capture_Press, true, P::Capturing},
    {P::Capturing, I::Auto_Open, false, P::Capturing},
    {P::Capturing, I::Capture_Release, true, P::Closing},
    {P::Capturing, I::Finish, true, P::Finished},
    {P::Capturing, I::Abort, true, P::Aborted},
    {P::Capturing, I::Camera_Stop, true, P::Running},
    {P::Capturing, I::Open_Review, true, P::Capturing},

    {P::Closing, I::Capture_Press, true, P::Capturing},
    {P::Closing, I::Capture_Release, true, P::Closing},
    {P::Closing, I::Auto_Open, false, P::Closing},
    {P::Closing, I::Start, false, P::Closing},
    {P::Closing, I::Finish, true, P::Finished},
    {P::Closing, I::Abort, true, P::Aborted},
    {P::Closing, I::Camera_Stop, true, P::Running},

    {P::Finished, I::Initiate, true, P::Finished},
    {P::Finished, I::Start, false, P::Finished},
    {P::Finished, I::Capture_Press, false, P::Finished},
    {P::Finished, I::Abort, false, P::Finished},

    {P::Aborted, I::Initiate, false, P::Aborted},
    {P::Aborted, I::Start, true, P::Running},
    {P::Aborted, I::Capture_Press, false, P::Aborted},
    {P::Aborted, I::Abort, false, P::Aborted},
    {P::Aborted, I::Finish, true, P::Finished},
};

TEST_P(Heat_Table_Test, EachInputIsTakenOrRefusedWithAReason) {
    const Transition t = GetParam();
    Triggers(1000, 200);
    Reach(t.from);
    ASSERT_EQ(heat->Phase(), t.from);
    Heat_Verdict v{true, {}};
    const int32_t now = clock.PC_Mill();
    switch (t.input) {
        case I::Initiate: v = heat->Begin_Initiation(); break;
        case I::Start: v = heat->Start(now, 1000, "2026-12-10 15:00:00"); break;
        case I::Capture_Press: v = heat->Capture_Press(now, Window_Source::Button); break;
        case I::Auto_Open: v = heat->Capture_Press(now, Window_Source::Auto); break;
        case I::Capture_Release: v = heat->Capture_Release(now, Window_Source::Button); break;
        case I::Finish: heat->Finish(); break;
        case I::Abort: v = heat->Abort(); break;
        case I::Camera_Stop: heat->Camera_Stopping(); break;
        case I::Open_Review: v = heat->Open_Review(); break;
        default: FAIL() << "not in the table";
    }
    EXPECT_EQ(v.accepted, t.accepted) << v.why;
    EXPECT_EQ(v.why.empty(), v.accepted) << "a refusal says why";
    EXPECT_EQ(heat->Phase(), t.to);
    // The table the controller decides by says the same.
    EXPECT_EQ(Heat_Controller::Rule(t.from, t.input).accepted, t.accepted);
    // A window that ended on the way is in the file, unless the heat was voided.
    if ((t.from == P::Capturing || t.from == P::Closing) && !heat->Capturing()) {
        EXPECT_EQ(Frames_In(file) > 0, t.input != I::Abort);
        EXPECT_FALSE(Platform::File_Exists(Frame_Journal::Path_For(file)));
        EXPECT_EQ(Stored_Frames.Count(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Heat_Table_Test, ::testing::ValuesIn(kTransitions),
                         [](const ::testing::TestParamInfo<Transition>& param_info) {
                             return Test_Name(Name(param_info.param));
                         });

TEST_F(Heat_Controller_Test, NothingButFramesIsTakenWhileAWindowIsWritten) {
    Triggers(0, 0);
    Reach(Heat_Phase::Capturing);
    std::vector<std::string> refused;
    Heat_Phase seen = Heat_Phase::No_File;
    during_append = [&](int) {
        if (!refused.empty()) return;
        seen = heat->Phase();
        const int32_t now = clock.PC_Mill();
        for (const Heat_Verdict& v : {heat->Capture_Press(now, Window_Source::Button), heat->Abort(),
                                      heat->Start(now, 1, "x"), heat->Open_Review()})
            refused.push_back(v.accepted ? "taken" : v.why);
        heat->Finish();
        // A report raised now waits: the error window would run events.
        NXF_Error_Handler("raised during the write", 5, 0, "test");
    };
    ASSERT_TRUE(heat->Capture_Release(clock.PC_Mill(), Window_Source::Button).accepted);
    EXPECT_EQ(seen, Heat_Phase::Appending);
    EXPECT_EQ(refused, (std::vector<std::string>{"Capture refused: a capture window is being written",
                                                 "Abort refused: a capture window is being written",
                                                 "Start refused: a capture window is being written",
                                                 "Open refused: a capture window is being written"}));
    EXPECT_EQ(heat->Phase(), Heat_Phase::Running) << "the finish asked for during the write was not taken";
    ASSERT_EQ(recorder.reports, std::vector<std::string>{"raised during the write"});
    EXPECT_EQ(recorder.held_when_reported, 0) << "shown after the write, not during it";
}

TEST_F(Heat_Controller_Test, AutomaticWindowsEndWithTheHeatAndTakeNothingFromBeforeTheNextStart) {
    // Moving dogs open a window by themselves; the finish and the abort close it for good.
    for (const bool abort : {false, true}) {
        SCOPED_TRACE(abort ? "abort" : "finish");
        Triggers(1000, 0, true);
        file = Path(abort ? "aborted.nx3" : "finished.nx3");
        Initiate();
        Start();
        // The simulated dogs run round: the watch opens a window by itself.
        for (int i = 0; i < 100 && !heat->Capturing(); ++i) Frames(1, 40);
        ASSERT_TRUE(heat->Capturing()) << "the watch opened a window";
        if (abort) {
            ASSERT_TRUE(heat->Abort().accepted);
        } else {
            heat->Finish();
        }
        Frames(120, 40);  // the dogs go on running past the line
        EXPECT_FALSE(heat->Capturing());
        EXPECT_EQ(Stored_Frames.Count(), 0);
        EXPECT_EQ(capture->Pre_Trigger_Count(), 0);
        EXPECT_EQ(Frames_In(file) > 0, !abort) << "a finished heat keeps its window, an aborted one lets it go";
        if (abort) heat->Finish();
    }
}

TEST_F(Heat_Controller_Test, ThePostTriggerEndIsFoundAcrossTheClocksSignChange) {
    clock.Set_PC_Mill(INT32_MAX - 500);
    Triggers(0, 400);
    Reach(Heat_Phase::Capturing);
    ASSERT_TRUE(heat->Capture_Release(clock.PC_Mill(), Window_Source::Button).accepted);
    Frames(9, 40);  // 360 ms: still within the post-trigger time, past the sign change
    EXPECT_EQ(heat->Phase(), Heat_Phase::Closing);
    Frames(2, 40);
    EXPECT_EQ(heat->Phase(), Heat_Phase::Running);
}

TEST_F(Heat_Controller_Test, ACaptureOfTheFileUnderReviewIsRefused) {
    Reach(Heat_Phase::Running);
    reviewing = true;
    const Heat_Verdict v = heat->Capture_Press(clock.PC_Mill(), Window_Source::Box);
    EXPECT_FALSE(v.accepted);
    EXPECT_EQ(v.why, "Capture refused: the heat's file is open for review");
}

}  // namespace

namespace {

TEST_F(Heat_Controller_Test, AWindowThatCannotBeStoredKeepsItsJournalAndIsStoredWithTheNextWindow) {
    Triggers(0, 0);
    Reach(Heat_Phase::Capturing);
    const std::string journal = Frame_Journal::Path_For(file);
    const std::string aside = file + ".aside";
    // The recording cannot be written now (a stick pulled out, say): a folder stands in its place.
    std::filesystem::rename(file, aside);
    std::filesystem::create_directory(file);
    ASSERT_TRUE(heat->Capture_Release(clock.PC_Mill(), Window_Source::Button).accepted);
    EXPECT_EQ(heat->Phase(), Heat_Phase::Running);
    EXPECT_TRUE(Platform::File_Exists(journal)) << "the frames not stored are kept";
    // The file's own errors are reported as they happen; the frames' fate is said last.
    ASSERT_FALSE(recorder.reports.empty());
    const std::string said = recorder.reports.back();
    EXPECT_NE(said.find("5 of 5 frames of the capture window could not be stored"), std::string::npos) << said;
    EXPECT_NE(said.find(journal), std::string::npos) << said;
    // Back again: the next window stores the kept frames first, then its own.
    std::filesystem::remove(file);
    std::filesystem::rename(aside, file);
    Frames(3, 40);
    ASSERT_TRUE(heat->Capture_Press(clock.PC_Mill(), Window_Source::Button).accepted);
    Frames(2, 40);
    ASSERT_TRUE(heat->Capture_Release(clock.PC_Mill(), Window_Source::Button).accepted);
    EXPECT_EQ(Frames_In(file), 7);
    EXPECT_FALSE(Platform::File_Exists(journal));
}

}  // namespace
