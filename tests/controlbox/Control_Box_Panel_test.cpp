#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <algorithm>

#include "Kit_Recorder.h"
#include "Test_Env.h"
#include "Test_Name.h"
#include "controlbox/Control_Box_Panel.h"
#include "controlbox/IControl_Box_Actions.h"
#include "controlbox/Shape_Control.h"
#include "controlbox/SimInterfaceKit.h"
#include "platform/HdxError.h"
#include "platform/PictureBox.h"
#include "common/Startup_Facts.h"

namespace {

const QColor kYellow(255, 255, 0), kRed(255, 0, 0), kBlack(0, 0, 0), kGreen(0, 255, 0), kGrey(100, 100, 100);

class Recorded_Actions : public IControl_Box_Actions {
public:
    void Handle_Start(int32_t stamp) override { calls.push_back("start@" + std::to_string(stamp)); }
    void Handle_Capture_Start() override { calls.push_back("capture start"); }
    void Handle_Capture_End() override {
        calls.push_back("capture end");
        if (panel) end_stamps.push_back(panel->Input_Stamp());
    }
    void Stop_all_cams() override { calls.push_back("stop all cams"); }
    void Input_Uncertain(int input, const std::string& why) override {
        calls.push_back("uncertain " + std::to_string(input));
        whys.push_back(why);
    }
    std::vector<std::string> calls;
    std::vector<std::string> whys;
    std::vector<int32_t> end_stamps;  // the panel's input stamp at each capture end
    const Control_Box_Panel* panel = nullptr;
};

// A board whose reads can be made to fail, for the fault paths.
class Faulty_Kit : public SimInterfaceKit {
public:
    bool InputState(int index) const override {
        if (index == fail_index) throw HdxError(HdxErr::DeviceIO, "Device I/O error");
        return SimInterfaceKit::InputState(index);
    }
    int fail_index = -1;
};

QColor Pixel(Platform::PictureBox* p, double x, double y) {
    return p->Canvas().pixelColor(static_cast<int>(x), static_cast<int>(y));
}

bool Near(const QColor& a, const QColor& b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

::testing::AssertionResult Color_Near(const QColor& got, const QColor& want, int tolerance) {
    if (Near(got, want, tolerance)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got rgb(" << got.red() << "," << got.green() << "," << got.blue()
                                         << ") want rgb(" << want.red() << "," << want.green() << "," << want.blue()
                                         << ")";
}

QColor Text_Color(QLabel* l) { return l->palette().color(QPalette::WindowText); }

class PanelTest : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        c = Build_Control_Box_Controls(&window, &window);
        start_heat = new QPushButton("Start heat", &window);
        initiate = new QPushButton("Initiate file", &window);
        initiate->setEnabled(false);
        c.Command_start_heat = start_heat;
        c.Command_initiate_file = initiate;
        for (int i : {2, 3}) c.Shape_circle1[i] = new Shape_Control(Shape_Control::Kind::Circle, &window);
        panel = std::make_unique<Control_Box_Panel>(c);
        panel->m_Phidget_Present = true;
        panel->Set_Input_Guard(clock.PC_Mill() - 10000);  // start-up long past
        panel->Set_Kit(kit.get());
        panel->Set_Actions(&actions);
        actions.panel = panel.get();
        window.resize(700, 400);
        window.show();
    }
    void TearDown() override {
        panel.reset();
        Hdx_Test::TearDown();
    }

    void Attach() {
        kit->Open(0);
        Run_Events();
    }
    void Flip(int index, bool level) {
        kit->Set_Input(index, level);
        Run_Events();
    }
    QPointF Centre(Shape_Control* s) const {
        const QRect g = s->geometry();
        return {g.left() + g.width() / 2.0, g.top() + g.height() / 2.0};
    }

    QWidget window;
    Control_Box_Controls c;
    QPushButton* start_heat = nullptr;
    QPushButton* initiate = nullptr;
    std::unique_ptr<Faulty_Kit> kit = std::make_unique<Faulty_Kit>();
    Recorded_Actions actions;
    std::unique_ptr<Control_Box_Panel> panel;
};

// --- the input table ------------------------------------------------------------

struct Input_Case {
    const char* name;
    std::vector<std::pair<int, bool>> steps;  // applied in order after the attach
    std::vector<std::string> actions;         // "start" stands for a start with its stamp
    QColor start_indicator;
    QColor capture_indicator;
    bool led;
};

void PrintTo(const Input_Case& c, std::ostream* os) { *os << c.name; }

class InputTable : public PanelTest, public ::testing::WithParamInterface<Input_Case> {};

TEST_P(InputTable, DispatchesToTheWorkflowAndTheIndicators) {
    const Input_Case& t = GetParam();
    Attach();
    std::vector<std::string> want;
    for (const auto& [index, level] : t.steps) {
        clock.Advance(37);
        const std::string at = std::to_string(clock.PC_Mill());
        actions.calls.clear();
        Flip(index, level);
        for (const auto& a : actions.calls) want.push_back(a == "start@" + at ? "start" : a);
    }
    EXPECT_EQ(want, t.actions);
    EXPECT_EQ(c.Shape_start->Fill_Color(), t.start_indicator);
    EXPECT_EQ(c.Shape_capture->Fill_Color(), t.capture_indicator);
    EXPECT_EQ(kit->OutputState(0), t.led);
    EXPECT_TRUE(errors.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Panel, InputTable,
    ::testing::Values(
        Input_Case{"RemoteWithoutLever", {{0, true}}, {}, kBlack, kBlack, true},
        Input_Case{"RemoteWithLever", {{1, true}, {0, true}}, {"start"}, kBlack, kBlack, true},
        Input_Case{
            "BothRemoteEdgesWhileArmed", {{1, true}, {0, true}, {0, false}}, {"start", "start"}, kBlack, kBlack, false},
        Input_Case{"LeverAlone", {{1, true}, {1, false}}, {}, kBlack, kBlack, false},
        Input_Case{"DirectStartLine", {{2, true}}, {"start"}, kYellow, kBlack, false},
        Input_Case{"DirectStartLineReleased", {{2, true}, {2, false}}, {"start"}, kBlack, kBlack, false},
        Input_Case{"GoalCapture", {{3, true}}, {"capture start"}, kBlack, kRed, false},
        Input_Case{
            "GoalCaptureReleased", {{3, true}, {3, false}}, {"capture start", "capture end"}, kBlack, kBlack, false},
        Input_Case{"SplitCapture", {{4, true}}, {"capture start"}, kBlack, kRed, false},
        // The indicator follows the triggers: it goes dark when the last one is let go.
        Input_Case{
            "SplitCaptureReleased", {{4, true}, {4, false}}, {"capture start", "capture end"}, kBlack, kBlack, false},
        // The window stays open until the last held trigger is let go.
        Input_Case{"GoalReleasedWhileSplitHeld",
                   {{4, true}, {3, true}, {3, false}},
                   {"capture start", "capture start"},
                   kBlack,
                   kRed,
                   false},
        Input_Case{"ThreeTriggersInterleaved",
                   {{3, true}, {5, true}, {3, false}, {4, true}, {5, false}, {4, false}},
                   {"capture start", "capture start", "capture start", "capture end"},
                   kBlack,
                   kBlack,
                   false},
        Input_Case{
            "SecondGoalCapture", {{5, true}, {5, false}}, {"capture start", "capture end"}, kBlack, kBlack, false},
        Input_Case{"UnusedInputs", {{6, true}, {7, true}}, {}, kBlack, kBlack, false}),
    By_Name());

TEST_F(PanelTest, TheRemoteDecisionReadsTheLeverFromTheBoard) {
    Attach();
    // The lever closes and the remote contact closes before the UI thread gets to either.
    kit->Set_Input(0, true);
    kit->Set_Input(1, true);
    Run_Events();
    // The contact's event was handled while the lever still read open.
    EXPECT_TRUE(actions.calls.empty());
    EXPECT_TRUE(traces.Has("*obj_Phidget_OnInputChange, Index = 0 NewState = True"));
    EXPECT_TRUE(traces.Has("*obj_Phidget_OnInputChange, Index = 1 NewState = True"));
}

// --- the start-up guard -----------------------------------------------------------

struct Guard_Case {
    int after_guard_ms;
    bool handled;
};

void PrintTo(const Guard_Case& c, std::ostream* os) { *os << c.after_guard_ms << " ms after the guard"; }

class InputGuard : public PanelTest, public ::testing::WithParamInterface<Guard_Case> {};

TEST_P(InputGuard, IgnoresChangesInTheFirstSecondEntirely) {
    Attach();
    traces.lines.clear();
    panel->Set_Input_Guard(clock.PC_Mill() - GetParam().after_guard_ms);
    kit->Set_Input(2, true);
    clock.Advance(3000);  // handled late: the guard goes by when the change came in
    Run_Events();
    EXPECT_EQ(traces.Has("*obj_Phidget_OnInputChange, Index = 2 NewState = True"), GetParam().handled);
    EXPECT_EQ(actions.calls.size(), GetParam().handled ? 1u : 0u);
    EXPECT_EQ(c.Shape_start->Fill_Color(), GetParam().handled ? kYellow : kBlack);
}

INSTANTIATE_TEST_SUITE_P(Panel, InputGuard,
                         ::testing::Values(Guard_Case{500, false}, Guard_Case{999, false}, Guard_Case{1000, true},
                                           Guard_Case{-20, false}, Guard_Case{60000, true}),
                         [](const auto& param_info) {
                             const int ms = param_info.param.after_guard_ms;
                             return ms < 0 ? std::to_string(-ms) + "msBefore" : std::to_string(ms) + "msAfter";
                         });

TEST_F(PanelTest, GuardHoldsAcrossTheClockWrap) {
    clock.Set_PC_Mill(INT32_MAX - 200);
    panel->Set_Input_Guard(clock.PC_Mill());
    Attach();
    clock.Advance(600);  // wrapped to negative values, 600 ms after the guard
    Flip(2, true);
    EXPECT_TRUE(actions.calls.empty());
    Flip(2, false);
    clock.Advance(500);
    Flip(2, true);
    ASSERT_EQ(actions.calls.size(), 1u);
    EXPECT_EQ(actions.calls[0], "start@" + std::to_string(clock.PC_Mill()));
}

// The guard is over once, for good: the 32-bit clock wraps after 24.9 days
// (signed) and 49.7 days (unsigned), and box inputs must still count.
struct Wrap_Case {
    const char* name;
    int32_t seen_over_at;  // ms after the mark: an input, or a panel redraw
    bool seen_by_input;
    uint32_t input_at;  // ms after the mark of the input that must count
};

void PrintTo(const Wrap_Case& c, std::ostream* os) { *os << c.name; }

class GuardAcrossWrap : public PanelTest, public ::testing::WithParamInterface<Wrap_Case> {};

TEST_P(GuardAcrossWrap, StaysOverOnceOver) {
    const Wrap_Case& t = GetParam();
    Attach();
    const int32_t mark = INT32_MAX - 300;
    panel->Set_Input_Guard(mark);
    clock.Set_PC_Mill(Platform::Mill_After(mark, t.seen_over_at));
    if (t.seen_by_input) {
        Flip(6, true);
    } else {
        panel->Check_Attached();  // as at an activation of the main window
    }
    clock.Set_PC_Mill(Platform::Mill_After(mark, static_cast<int32_t>(t.input_at)));
    Flip(2, true);
    EXPECT_EQ(actions.calls, std::vector<std::string>{"start@" + std::to_string(clock.PC_Mill())});
}

INSTANTIATE_TEST_SUITE_P(Panel, GuardAcrossWrap,
                         ::testing::Values(Wrap_Case{"AfterTheSignedWrap", 2000, true, 0x80000000u + 10},
                                           Wrap_Case{"AfterTheFullWrap", 2000, true, 500},
                                           Wrap_Case{"IdleUntilTheSignedWrap", 1500, false, 0x80000000u + 10},
                                           Wrap_Case{"IdleUntilTheFullWrap", 1001, false, 999}),
                         By_Name());

// --- panel drawing ------------------------------------------------------------

TEST_F(PanelTest, NotAttachedPanel) {
    panel->Check_Attached();
    EXPECT_FALSE(c.Frame_Control_box->isEnabled());
    EXPECT_EQ(c.Label_attached->text(), "Not attached");
    EXPECT_EQ(c.Label_Phidget_attached->text(), "Not attached");
    EXPECT_EQ(Text_Color(c.Label_attached), kBlack);
    for (QWidget* w : std::vector<QWidget*>{c.Label_GS[0], c.Label_GS[2], c.Shape_start, c.Shape_capture, c.Label_RM,
                                            c.Label_remote_start, c.Picture_LED})
        EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    EXPECT_EQ(c.Shape_RM_open->Fill_Color(), Control_Box_Panel::Button_Face());
    EXPECT_FALSE(start_heat->isEnabled());
    EXPECT_TRUE(traces.Has("Check_Attached obj_Phidget.IsAttached = false"));
}

TEST_F(PanelTest, AnotherBoardThanTheChosenOneIsNamedInRedAndNotUsed) {
    kit->Set_Serial(4242);
    kit->Open(31337);
    Run_Events();
    EXPECT_FALSE(kit->IsAttached());
    EXPECT_EQ(kit->Other_Board_Serial(), 4242);
    EXPECT_EQ(c.Label_attached->text(), "Board 4242 is not the chosen one");
    EXPECT_EQ(Text_Color(c.Label_attached), kRed);
    EXPECT_FALSE(c.Frame_Control_box->isEnabled());
    // The chosen board comes: used, and the other one forgotten.
    kit->Set_Plugged(false);
    kit->Set_Serial(31337);
    kit->Set_Plugged(true);
    Run_Events();
    EXPECT_TRUE(kit->IsAttached());
    EXPECT_EQ(kit->Other_Board_Serial(), 0);
}

TEST_F(PanelTest, AttachDrawsTheLivePanelAndDetachTakesItAway) {
    Attach();
    EXPECT_TRUE(traces.Has("*obj_Phidget_OnAttach"));
    EXPECT_TRUE(panel->m_Phidget_Attached);
    // The simulator's serial says what it is, on the panel and in new recordings.
    EXPECT_EQ(panel->Phidget_Serial_Text(), "100001 (simulated Control Box)");
    EXPECT_TRUE(c.Frame_Control_box->isEnabled());
    EXPECT_EQ(c.Label_attached->text(), "Attached, serial = 100001 (simulated Control Box)");
    EXPECT_EQ(c.Label_Phidget_attached->text(), "Attached, serial = 100001 (simulated Control Box)");
    EXPECT_EQ(Text_Color(c.Label_attached), kGreen);
    for (QWidget* w : std::vector<QWidget*>{c.Label_GS[0], c.Label_GS[2], c.Shape_start, c.Shape_capture, c.Label_RM,
                                            c.Label_remote_start, c.Picture_LED})
        EXPECT_FALSE(w->isHidden()) << w->objectName().toStdString();
    EXPECT_TRUE(start_heat->isEnabled());
    EXPECT_TRUE(initiate->isEnabled());
    EXPECT_EQ(c.Label_RM->text(), "RM open");
    EXPECT_EQ(c.Label_remote_start->text(), "Start not armed!");
    EXPECT_EQ(Text_Color(c.Label_remote_start), kRed);
    EXPECT_TRUE(traces.Has("*Check_Attached obj_Phidget.IsAttached = True"));
    EXPECT_TRUE(traces.Has("Check_Attached, End"));

    kit->Set_Plugged(false);
    Run_Events();
    EXPECT_TRUE(traces.Has("*obj_Phidget_OnDetach"));
    EXPECT_FALSE(panel->m_Phidget_Attached);
    EXPECT_EQ(c.Label_attached->text(), "Not attached");
    EXPECT_FALSE(start_heat->isEnabled());
    EXPECT_EQ(panel->Phidget_Serial_Text(), "100001 (simulated Control Box)");  // kept from the last attach

    kit->Set_Serial(2024);
    kit->Set_Input(2, true);  // closed while away
    kit->Set_Plugged(true);
    Run_Events();
    EXPECT_EQ(c.Label_attached->text(), "Attached, serial = 2024 (simulated Control Box)");
    EXPECT_EQ(panel->Phidget_Serial_Text(), "2024 (simulated Control Box)");
    EXPECT_EQ(c.Shape_start->Fill_Color(), kYellow);  // the indicator shows the level
    EXPECT_EQ(actions.calls, std::vector<std::string>{"uncertain 2"});
}

// --- inputs already closed when the board attaches ----------------------------------

struct Found_Case {
    const char* name;
    int input;
    bool reattach;  // closed during a drop of the board, else before its first attach
    const char* says;
    const char* action;  // what the next real closing does ("start" with its stamp)
};

void PrintTo(const Found_Case& c, std::ostream* os) { *os << c.name; }

class FoundClosed : public PanelTest, public ::testing::WithParamInterface<Found_Case> {};

TEST_P(FoundClosed, StartsOrOpensNothingIsReportedAndTheNextRealEdgeCounts) {
    const Found_Case& t = GetParam();
    kit->Set_Input(1, true);  // lever armed: a remote edge would start
    if (t.reattach) {
        Attach();
        kit->Set_Plugged(false);
        Run_Events();
        kit->Set_Input(t.input, true);
        clock.Advance(2000);
        kit->Set_Plugged(true);
    } else {
        kit->Set_Input(t.input, true);
        kit->Open(0);
    }
    clock.Advance(250);  // the UI thread is late: nothing may carry either moment
    Run_Events();
    ASSERT_TRUE(panel->m_Phidget_Attached);
    EXPECT_EQ(actions.calls, std::vector<std::string>{"uncertain " + std::to_string(t.input)});
    ASSERT_EQ(actions.whys.size(), 1u);
    EXPECT_NE(actions.whys[0].find(t.says), std::string::npos) << actions.whys[0];
    EXPECT_NE(actions.whys[0].find("when the Control Box attached"), std::string::npos) << actions.whys[0];
    EXPECT_TRUE(traces.Has("*" + actions.whys[0]));

    actions.calls.clear();
    clock.Advance(5000);
    Flip(t.input, false);  // the official opens it, as asked: still nothing
    EXPECT_TRUE(actions.calls.empty()) << actions.calls[0];

    clock.Advance(3000);
    Flip(t.input, true);  // given again: now it counts, at its own moment
    const std::string want = t.action == std::string("start") ? "start@" + std::to_string(clock.PC_Mill()) : t.action;
    EXPECT_EQ(actions.calls, std::vector<std::string>{want});
    EXPECT_TRUE(errors.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Panel, FoundClosed,
    ::testing::Values(Found_Case{"RemoteContactAtFirstAttach", 0, false, "no start taken", "start"},
                      Found_Case{"StartLineAfterDrop", 2, true, "no start taken", "start"},
                      Found_Case{"GoalTriggerAtFirstAttach", 3, false, "no capture window opened", "capture start"},
                      Found_Case{"SplitTriggerAfterDrop", 4, true, "no capture window opened", "capture start"},
                      Found_Case{"SecondGoalTriggerAfterDrop", 5, true, "no capture window opened", "capture start"}),
    By_Name());

TEST_F(PanelTest, FoundClosedDuringTheStartupGuardStillCountsOnceGivenAgain) {
    panel->Set_Input_Guard(clock.PC_Mill());
    kit->Set_Input(2, true);
    Attach();
    EXPECT_EQ(actions.calls, std::vector<std::string>{"uncertain 2"});
    clock.Advance(300);
    Flip(2, false);  // opened inside the guard: not handled, but no longer the attach's level
    clock.Advance(1500);
    Flip(2, true);
    EXPECT_EQ(actions.calls, (std::vector<std::string>{"uncertain 2", "start@" + std::to_string(clock.PC_Mill())}));
}

TEST_F(PanelTest, AHeldTriggerIsLetGoWhenTheBoardGoesAndNotReopenedByItsReturn) {
    Attach();
    Flip(3, true);
    Flip(4, true);
    clock.Advance(100);
    const int32_t gone = clock.PC_Mill();
    kit->Set_Plugged(false);
    clock.Advance(700);  // handled late: the window still ends when the board went
    Run_Events();
    EXPECT_EQ(actions.calls, (std::vector<std::string>{"capture start", "capture start", "capture end"}));
    EXPECT_EQ(actions.end_stamps, std::vector<int32_t>{gone});

    clock.Advance(2000);
    kit->Set_Plugged(true);  // both still held
    Run_Events();
    Flip(3, false);
    Flip(4, false);
    EXPECT_EQ(actions.calls, (std::vector<std::string>{"capture start", "capture start", "capture end", "uncertain 3",
                                                       "uncertain 4"}));
    EXPECT_EQ(c.Shape_capture->Fill_Color(), kBlack);
}

TEST_F(PanelTest, RemoteLampLeverAndLabels) {
    Attach();
    Flip(0, true);
    EXPECT_EQ(c.Label_RM->text(), "RM closed");
    EXPECT_EQ(Text_Color(c.Label_RM), QColor(255, 128, 0));
    const QPointF rm = Centre(c.Shape_RM_open);
    const int radius = c.Shape_RM_open->width() / 2;
    EXPECT_TRUE(Color_Near(Pixel(c.Picture_lamps, rm.x() + radius - 2, rm.y()),
                           Control_Box_Panel::Lamp_Color_At(QColor(197, 132, 0), radius - 2, radius), 30));
    EXPECT_TRUE(Color_Near(Pixel(c.Picture_lamps, rm.x(), rm.y() + radius / 2.0), QColor(226, 194, 128), 40));

    Flip(1, true);
    EXPECT_EQ(c.Label_remote_start->text(), "Start armed!");
    EXPECT_EQ(Text_Color(c.Label_remote_start), QColor(0, 192, 0));

    Flip(0, false);
    EXPECT_EQ(c.Label_RM->text(), "RM open");
    EXPECT_EQ(Text_Color(c.Label_RM), kBlack);
    EXPECT_TRUE(Color_Near(Pixel(c.Picture_lamps, rm.x() + radius - 2, rm.y()),
                           Control_Box_Panel::Lamp_Color_At(Control_Box_Panel::Button_Face(), radius - 2, radius), 30));
}

TEST_F(PanelTest, CameraLampsShowTheCaptureTriggers) {
    Attach();
    Flip(3, true);
    EXPECT_EQ(c.Shape_camera[2]->Fill_Color(), kRed);
    EXPECT_EQ(c.Shape_camera[3]->Fill_Color(), kGreen);
    const QPointF goal = Centre(c.Shape_camera[2]), split = Centre(c.Shape_camera[3]);
    const int r = c.Shape_camera[2]->width() / 2;
    EXPECT_TRUE(Color_Near(Pixel(c.Picture_lamps, goal.x() - r + 2, goal.y()),
                           Control_Box_Panel::Lamp_Color_At(kRed, r - 2, r), 30));
    EXPECT_TRUE(Color_Near(Pixel(c.Picture_lamps, split.x() - r + 2, split.y()),
                           Control_Box_Panel::Lamp_Color_At(kGreen, r - 2, r), 30));
    Flip(3, false);
    Flip(4, true);
    EXPECT_EQ(c.Shape_camera[2]->Fill_Color(), kGreen);
    EXPECT_EQ(c.Shape_camera[3]->Fill_Color(), kRed);
}

struct Lamp_Case {
    int radius;
    QColor want;
};

class LampGradient : public ::testing::TestWithParam<Lamp_Case> {};

TEST_P(LampGradient, RunsFromWhiteToTheLampColour) {
    EXPECT_EQ(Control_Box_Panel::Lamp_Color_At(QColor(197, 132, 0), GetParam().radius, 20), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(Panel, LampGradient,
                         ::testing::Values(Lamp_Case{0, QColor(255, 255, 255)}, Lamp_Case{10, QColor(226, 194, 128)},
                                           Lamp_Case{20, QColor(197, 132, 0)}, Lamp_Case{5, QColor(241, 224, 191)}),
                         [](const auto& param_info) { return "Radius" + std::to_string(param_info.param.radius); });

TEST_F(PanelTest, StartSwitchLever) {
    Platform::PictureBox* pic = c.Picture_armed_switch;
    const int p = static_cast<int>(std::lround(pic->Scale_Height() / 1.6));
    panel->Draw_Start_Switch(true);
    EXPECT_EQ(c.Shape_lever->y() + c.Shape_lever->height(), p);
    EXPECT_EQ(Pixel(pic, pic->width() - 3, pic->height() - 3), kGreen);
    panel->Draw_Start_Switch(false);
    EXPECT_EQ(c.Shape_lever->y(), p);
    EXPECT_EQ(Pixel(pic, pic->width() - 3, pic->height() - 3), QColor(255, 192, 192));
    // Some text was printed at the top left.
    bool dark = false;
    for (int y = 2; y < 16 && !dark; ++y)
        for (int x = 2; x < 60 && !dark; ++x) dark = pic->Canvas().pixelColor(x, y).lightness() < 100;
    EXPECT_TRUE(dark);
}

TEST_F(PanelTest, HoldingTheMouseOnTheLedLightsItAndTheOutput) {
    Attach();
    Platform::PictureBox* led = c.Picture_LED;
    const QPoint mid(led->width() / 2, led->height() / 2);
    EXPECT_EQ(Pixel(led, mid.x(), mid.y()), kGrey);
    QTest::mousePress(led, Qt::LeftButton, {}, mid);
    EXPECT_TRUE(panel->m_LED_Test);
    EXPECT_TRUE(kit->OutputState(0));
    EXPECT_EQ(Pixel(led, mid.x(), mid.y()), kYellow);
    QTest::mouseRelease(led, Qt::LeftButton, {}, mid);
    EXPECT_FALSE(kit->OutputState(0));
    EXPECT_EQ(Pixel(led, mid.x(), mid.y()), kGrey);

    Flip(0, true);  // the remote contact keeps it lit after the release
    QTest::mousePress(led, Qt::LeftButton, {}, mid);
    QTest::mouseRelease(led, Qt::LeftButton, {}, mid);
    EXPECT_TRUE(kit->OutputState(0));
    EXPECT_EQ(Pixel(led, mid.x(), mid.y()), kYellow);
}

TEST_F(PanelTest, BlinkLedLightsTheOutputForTwoSeconds) {
    Attach();
    std::vector<std::pair<bool, int32_t>> seen;
    QObject::connect(kit.get(), &SimInterfaceKit::Output_Changed, kit.get(), [&](int, bool on) {
        seen.push_back({on, clock.PC_Mill()});
    });
    panel->item_Blink_LED_Click();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[0].first);
    EXPECT_FALSE(seen[1].first);
    EXPECT_GE(Platform::Mill_Since(seen[0].second, seen[1].second), 2000);
    EXPECT_FALSE(kit->OutputState(0));
}

TEST_F(PanelTest, WithoutTheLibraryThePanelStaysOff) {
    panel->m_Phidget_Present = false;
    panel->Check_Attached();
    EXPECT_TRUE(traces.Has("*Check_Attached m_Phidget_Present = False"));
    EXPECT_EQ(c.Label_attached->text(), "Not attached");  // untouched since it was built
    EXPECT_FALSE(traces.Has("Check_Attached obj_Phidget.IsAttached = false"));
    panel->Show_No_Phidget_Drivers();
    EXPECT_FALSE(c.Frame_Control_box->isEnabled());
    // A serial board: the official is told what to check, not a driver's name.
    EXPECT_EQ(c.Label_attached->text(), "No Control Box: check its cable and port");
    EXPECT_EQ(c.Label_Phidget_attached->text(), "No Control Box: check its cable and port");
    EXPECT_FALSE(c.Label_attached->isEnabled());
    EXPECT_FALSE(c.Label_Phidget_attached->isEnabled());
    EXPECT_TRUE(c.Shape_circle1[2]->isHidden());
    EXPECT_TRUE(c.Shape_circle1[3]->isHidden());
}

TEST_F(PanelTest, HideButtonHidesTheStatusPanel) {
    EXPECT_FALSE(c.Frame_Control_status->isHidden());
    QTest::mouseClick(c.Command1, Qt::LeftButton);
    EXPECT_TRUE(c.Frame_Control_status->isHidden());
}

// --- faults ------------------------------------------------------------------------

TEST_F(PanelTest, AFaultInTheInputHandlerHaltsTheCapture) {
    Attach();
    kit->fail_index = 1;
    Flip(0, true);
    ASSERT_FALSE(errors.errors.empty());
    EXPECT_EQ(errors.errors[0].location, "obj_Phidget_OnInputChange of Form Form_Houndex");
    EXPECT_EQ(errors.errors[0].number, HdxErr::DeviceIO);
    EXPECT_EQ(actions.calls, std::vector<std::string>{"stop all cams"});
}

TEST_F(PanelTest, AFaultWhileDrawingShowsTheLineAndReports) {
    Attach();
    kit->fail_index = 1;
    dialogs.Clear();
    panel->Check_Attached();
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(dialogs.Messages()[0], "Check_attached error6 Device I/O error 57");
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].location, "Check_Attached of Form Form_Houndex");
    EXPECT_EQ(errors.errors[0].line, 6);
    EXPECT_EQ(c.Label_RM->text(), "RM open");  // drawn as far as it got
    EXPECT_EQ(std::count(actions.calls.begin(), actions.calls.end(), "stop all cams"), 0);
}

TEST_F(PanelTest, WithoutAKitTheHandlersReportInsteadOfCrashing) {
    panel->Set_Kit(nullptr);
    panel->obj_Phidget_OnAttach(0);
    panel->Update_LED();
    panel->item_Blink_LED_Click();
    std::vector<std::string> where;
    for (const auto& e : errors.errors) where.push_back(e.location);
    const std::vector<std::string> want = {"obj_Phidget_OnAttach of Form Form_Houndex",
                                           "Update_LED of Form Form_Houndex",
                                           "item_Blink_LED_Click of Form Form_Houndex"};
    EXPECT_EQ(where, want);
}

}  // namespace
