// The keyboard / foot pedal backend: chosen keys stand for inputs 2 to 4.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeySequenceEdit>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include "Kit_Recorder.h"
#include "Test_Env.h"
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
