// The keyboard / foot pedal backend: chosen keys stand for inputs 2 to 4.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeySequenceEdit>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include "Kit_Recorder.h"
#include "Test_Env.h"
#include "Test_Name.h"
#include "controlbox/KeysInterfaceKit.h"

namespace {

class KeysKitTest : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        auto* col = new QVBoxLayout(&window);
        field = new QLineEdit(&window);
        picker = new QKeySequenceEdit(&window);
        col->addWidget(field);
        col->addWidget(picker);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        field->setFocus();
        kit.Open(0);
        Run_Events();
        ASSERT_TRUE(kit.IsAttached());
        rec.events.clear();
    }
    void Press(QWidget* w, Qt::Key key) { QTest::keyPress(w, key); }
    void Release(QWidget* w, Qt::Key key) { QTest::keyRelease(w, key); }
    std::vector<std::pair<int, bool>> Inputs() const {
        std::vector<std::pair<int, bool>> out;
        for (const auto& e : rec.events)
            if (e.kind == "input") out.push_back({e.index, e.state});
        return out;
    }

    QWidget window;
    QLineEdit* field = nullptr;
    QKeySequenceEdit* picker = nullptr;
    KeysInterfaceKit kit{Key_Choice{Qt::Key_A, Qt::Key_B, Qt::Key_C}};
    Kit_Recorder rec{kit};
};

TEST_F(KeysKitTest, ChosenKeysAreInputsTwoToFourStampedWhenPressedAndNeverTyped) {
    clock.Set_PC_Mill(40000);
    Press(field, Qt::Key_A);
    clock.Set_PC_Mill(40250);  // the UI thread gets to it later: the stamp is the press
    Run_Events();
    ASSERT_EQ(rec.events.size(), 1u);
    EXPECT_EQ(rec.events[0], (Kit_Event{"input", 2, true, 40000, true, true}));
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a", true);  // held: the keyboard repeats
    QApplication::sendEvent(field, &repeat);
    Release(field, Qt::Key_A);
    Press(field, Qt::Key_B);
    Release(field, Qt::Key_B);
    Press(field, Qt::Key_C);
    Release(field, Qt::Key_C);
    Run_Events();
    EXPECT_EQ(Inputs(),
              (std::vector<std::pair<int, bool>>{{2, true}, {2, false}, {3, true}, {3, false}, {4, true}, {4, false}}));
    EXPECT_EQ(field->text(), "");  // none of them reached the focused field

    QTest::keyClick(field, Qt::Key_X);  // another key is the field's
    EXPECT_EQ(field->text(), "x");
}

// A key's stamp is its event's own time on the PC clock: the window system's
// timestamp moved by the smallest delay seen, never after the key arrived.
struct Key_Step {
    quint64 event_ms;  // the event's timestamp; 0: the window system gave none
    int32_t arrives;   // the PC clock when the program gets to it
    int32_t stamp;     // the stamp it must carry
};

struct Key_Time_Case {
    const char* name;
    std::vector<Key_Step> steps;  // the chosen start key, pressed and let go in turn
};

void PrintTo(const Key_Time_Case& c, std::ostream* os) { *os << c.name; }

class KeyEventTime : public KeysKitTest, public ::testing::WithParamInterface<Key_Time_Case> {};

TEST_P(KeyEventTime, StampsTheKeyWhenItWasPressed) {
    bool down = true;
    std::vector<int32_t> want;
    for (const Key_Step& step : GetParam().steps) {
        QKeyEvent key(down ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a");
        key.setTimestamp(step.event_ms);
        clock.Set_PC_Mill(step.arrives);
        QApplication::sendEvent(field, &key);
        want.push_back(step.stamp);
        down = !down;
    }
    Run_Events();
    std::vector<int32_t> got;
    for (const auto& e : rec.events) got.push_back(e.stamp);
    EXPECT_EQ(got, want);
    EXPECT_EQ(field->text(), "");
}

constexpr quint64 kWs = 7000000;           // window-system time of the first key
constexpr quint64 kWs_Wrap = 4294967000u;  // 296 ms before the window system's clock wraps

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyEventTime,
    ::testing::Values(Key_Time_Case{"BusyUiThread",
                                    {{kWs, 40000, 40000},           // the first key: its arrival
                                     {kWs + 100, 40400, 40100},     // the UI thread was 300 ms late
                                     {kWs + 200, 40195, 40195},     // a prompter key: the mapping moves to it
                                     {kWs + 300, 40900, 40295},     // late again
                                     {0, 41000, 41000},             // no timestamp: its arrival
                                     {kWs + 1000, 41200, 40995}}},  // still mapped by the prompt key
                      Key_Time_Case{"WindowSystemOnThePcClock",
                                    {{39970, 40000, 39970},    // the first key already at its own time
                                     {40400, 40650, 40400},    // the UI thread was 250 ms late
                                     {41000, 46500, 46500}}},  // 5.5 s before: not that clock, its arrival
                      Key_Time_Case{"WindowSystemClockJumps",
                                    {{kWs, 40000, 40000},
                                     {kWs + 400, 49000, 49000},  // 8.6 s "late": the clock jumped, start afresh
                                     {kWs + 500, 49200, 49100}}},
                      Key_Time_Case{"AcrossBothClocksWrapping",
                                    {{kWs_Wrap, INT32_MAX - 100, INT32_MAX - 100},
                                     {kWs_Wrap + 400, INT32_MIN + 599, INT32_MIN + 299},  // both wrapped, 300 ms late
                                     {kWs_Wrap + 1000, INT32_MIN + 899, INT32_MIN + 899}}}),
    By_Name());

TEST_F(KeysKitTest, AHeldKeyIsLetGoWhenTheProgramLosesTheKeyboard) {
    Press(field, Qt::Key_B);
    Run_Events();
    ASSERT_TRUE(kit.InputState(3));
    QApplicationStateChangeEvent away(Qt::ApplicationInactive);
    QApplication::sendEvent(qApp, &away);
    Run_Events();
    EXPECT_FALSE(kit.InputState(3));  // the capture window it held closes
    Release(field, Qt::Key_B);        // the late release changes nothing more
    Run_Events();
    EXPECT_EQ(Inputs(), (std::vector<std::pair<int, bool>>{{3, true}, {3, false}}));
}

TEST_F(KeysKitTest, KeysGoToAKeyFieldSoTheyCanBeChosenAndToEveryControlOnceClosed) {
    picker->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A);
    Run_Events();
    EXPECT_TRUE(Inputs().empty());
    EXPECT_EQ(picker->keySequence(), QKeySequence(Qt::Key_A));

    kit.Close();
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A);
    Run_Events();
    EXPECT_EQ(field->text(), "a");
    EXPECT_TRUE(Inputs().empty());
}

}  // namespace
