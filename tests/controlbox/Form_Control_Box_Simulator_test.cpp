#include <gtest/gtest.h>

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "Kit_Recorder.h"
#include "Test_Env.h"
#include "Test_Name.h"
#include "controlbox/Control_Box_Factory.h"
#include "controlbox/Control_Box_Panel.h"
#include "controlbox/Form_Control_Box_Simulator.h"
#include "controlbox/IControl_Box_Actions.h"
#include "controlbox/Shape_Control.h"
#include "controlbox/SimInterfaceKit.h"
#include "platform/PictureBox.h"
#include "common/Startup_Facts.h"

namespace {

class SimulatorTest : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        kit.Open(0);
        Run_Events();
        rec.events.clear();
        form = std::make_unique<Form_Control_Box_Simulator>(&kit);
        form->show();
    }
    void TearDown() override {
        form.reset();
        Hdx_Test::TearDown();
    }
    std::vector<std::pair<int, bool>> Inputs() const {
        std::vector<std::pair<int, bool>> out;
        for (const auto& e : rec.events)
            if (e.kind == "input") out.push_back({e.index, e.state});
        return out;
    }
    void Key(int key, bool down, bool repeat = false, Qt::KeyboardModifiers mods = {}) {
        QKeyEvent e(down ? QEvent::KeyPress : QEvent::KeyRelease, key, mods, QString(), repeat);
        QApplication::sendEvent(form.get(), &e);
        Run_Events();
    }

    SimInterfaceKit kit;
    Kit_Recorder rec{kit};
    std::unique_ptr<Form_Control_Box_Simulator> form;
};

TEST_F(SimulatorTest, SwitchesAreLabelledWithTheirMeaning) {
    EXPECT_EQ(form->windowTitle(), "Control Box simulator");
    const char* const want[] = {"Remote start contact",
                                "Start lever armed",
                                "Direct start line",
                                "Goal camera capture trigger",
                                "Split camera capture trigger",
                                "Second Goal capture trigger"};
    for (int i = 0; i < 6; ++i) {
        QCheckBox* c = form->Check_input(i);
        EXPECT_EQ(c->objectName(), QString("Check_input_%1").arg(i));
        EXPECT_TRUE(c->text().startsWith(QString::number(i)));
        EXPECT_TRUE(c->text().contains(want[i])) << c->text().toStdString();
    }
}

TEST_F(SimulatorTest, SwitchesMoveTheInputs) {
    QTest::mouseClick(form->Check_input(3), Qt::LeftButton);
    Run_Events();
    QTest::mouseClick(form->Check_input(3), Qt::LeftButton);
    Run_Events();
    const std::vector<std::pair<int, bool>> want = {{3, true}, {3, false}};
    EXPECT_EQ(Inputs(), want);
}

struct Key_Case {
    int key;
    int input;
    bool held;  // false: the key toggles
};

void PrintTo(const Key_Case& k, std::ostream* os) { *os << "key " << k.key << " -> input " << k.input; }

class SimulatorKeys : public SimulatorTest, public ::testing::WithParamInterface<Key_Case> {};

TEST_P(SimulatorKeys, DriveTheirInput) {
    const Key_Case& k = GetParam();
    Key(k.key, true);
    EXPECT_TRUE(kit.InputState(k.input));
    Key(k.key, true, true);  // auto-repeat changes nothing
    Key(k.key, false, true);
    EXPECT_TRUE(kit.InputState(k.input));
    Key(k.key, false);
    EXPECT_EQ(kit.InputState(k.input), !k.held);
    if (!k.held) {
        Key(k.key, true);
        Key(k.key, false);
        EXPECT_FALSE(kit.InputState(k.input));
    }
    EXPECT_EQ(form->Check_input(k.input)->isChecked(), kit.InputState(k.input));
}

INSTANTIATE_TEST_SUITE_P(Simulator, SimulatorKeys,
                         ::testing::Values(Key_Case{Qt::Key_S, 2, true}, Key_Case{Qt::Key_C, 3, true},
                                           Key_Case{Qt::Key_X, 4, true}, Key_Case{Qt::Key_R, 0, true},
                                           Key_Case{Qt::Key_A, 1, false}),
                         [](const auto& param_info) {
                             return "Key" + std::string(1, char(param_info.param.key)) + "_Input" +
                                    std::to_string(param_info.param.input);
                         });

TEST_F(SimulatorTest, OtherKeysAndControlCombinationsAreLeftAlone) {
    EXPECT_FALSE(form->Key_Event(Qt::Key_Q, true, false));
    Key(Qt::Key_S, true, false, Qt::ControlModifier);
    Key(Qt::Key_Left, true);
    EXPECT_TRUE(rec.events.empty());
}

TEST_F(SimulatorTest, TheLedShowsOutputZero) {
    Platform::PictureBox* led = form->Picture_sim_LED();
    const int mid = led->width() / 2;
    EXPECT_FALSE(form->LED_Lit());
    EXPECT_EQ(led->Canvas().pixelColor(mid, mid), QColor(100, 100, 100));
    kit.Set_OutputState(0, true);
    EXPECT_TRUE(form->LED_Lit());
    EXPECT_EQ(led->Canvas().pixelColor(mid, mid), QColor(255, 255, 0));
    kit.Set_OutputState(1, false);
    EXPECT_TRUE(form->LED_Lit());
    kit.Set_OutputState(0, false);
    EXPECT_FALSE(form->LED_Lit());
}

TEST_F(SimulatorTest, ThePlugButtonDetachesAndAttaches) {
    EXPECT_EQ(form->Command_plug()->text(), "Detach");
    EXPECT_TRUE(form->Label_sim_state()->text().contains("attached, serial = 100001"));
    kit.Set_OutputState(0, true);
    QTest::mouseClick(form->Command_plug(), Qt::LeftButton);
    Run_Events();
    EXPECT_FALSE(kit.IsAttached());
    EXPECT_EQ(form->Command_plug()->text(), "Attach");
    EXPECT_EQ(form->Label_sim_state()->text(), "Unplugged, not attached");
    EXPECT_FALSE(form->LED_Lit());  // a board that goes takes its LED with it
    QTest::mouseClick(form->Command_plug(), Qt::LeftButton);
    Run_Events();
    EXPECT_TRUE(kit.IsAttached());
    EXPECT_EQ(form->Command_plug()->text(), "Detach");
}

TEST_F(SimulatorTest, OnlyTheVirtualBoxGetsASimulator) {
    QWidget owner;
    std::unique_ptr<IInterfaceKit> serial = Create_Interface_Kit("serial:/dev/ttyACM9");
    EXPECT_EQ(Form_Control_Box_Simulator::For_Kit(serial.get(), &owner), nullptr);
    EXPECT_EQ(Form_Control_Box_Simulator::For_Kit(nullptr, &owner), nullptr);
    Form_Control_Box_Simulator* sim = Form_Control_Box_Simulator::For_Kit(&kit, &owner);
    ASSERT_NE(sim, nullptr);
    EXPECT_EQ(sim->parentWidget(), &owner);
    EXPECT_TRUE(sim->isWindow());
}

// A heat driven from the simulator's keys through the panel, with no hardware.
class Recorded_Actions : public IControl_Box_Actions {
public:
    void Handle_Start(int32_t stamp) override { calls.push_back("start@" + std::to_string(stamp)); }
    void Handle_Capture_Start() override { calls.push_back("capture start"); }
    void Handle_Capture_End() override { calls.push_back("capture end"); }
    void Stop_all_cams() override { calls.push_back("stop all cams"); }
    std::vector<std::string> calls;
};

TEST_F(SimulatorTest, AHeatRunsFromTheKeys) {
    QWidget window;
    Control_Box_Controls c = Build_Control_Box_Controls(&window, &window);
    Control_Box_Panel panel(c);
    panel.m_Phidget_Present = true;
    panel.Set_Input_Guard(clock.PC_Mill() - 5000);
    Recorded_Actions actions;
    panel.Set_Kit(&kit);
    panel.Set_Actions(&actions);
    panel.Check_Attached();

    clock.Advance(100);
    const int32_t start = clock.PC_Mill();
    Key(Qt::Key_S, true);
    clock.Advance(80);
    Key(Qt::Key_S, false);
    clock.Advance(20000);
    Key(Qt::Key_C, true);
    EXPECT_EQ(c.Shape_capture->Fill_Color(), QColor(255, 0, 0));
    clock.Advance(1500);
    Key(Qt::Key_C, false);
    const std::vector<std::string> want = {"start@" + std::to_string(start), "capture start", "capture end"};
    EXPECT_EQ(actions.calls, want);
    EXPECT_EQ(c.Shape_capture->Fill_Color(), QColor(0, 0, 0));
    EXPECT_TRUE(errors.errors.empty());
}

}  // namespace
