// "Control Box": the window that chooses the board.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QSignalSpy>
#include <QTreeWidget>

#include "Kit_Recorder.h"
#include "Test_Env.h"
#include "controlbox/Control_Box_Choice.h"
#include "controlbox/Form_Control_Box_Select.h"
#include "settings/Module_Ini.h"
#include "common/Startup_Facts.h"

namespace {

class ChoiceWindowTest : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
        Set_Port_Lister([] {
            return std::vector<Serial_Port_Entry>{{"ttyACM0", "/dev/ttyACM0", "Arduino Leonardo", 0x2341, 0x8036},
                                                  {"ttyUSB0", "/dev/ttyUSB0", "USB2.0-Serial", 0x1a86, 0x7523},
                                                  {"ttyS0", "/dev/ttyS0", "", -1, -1}};
        });
        Set_Port_Prober([](const std::string& port, int) {
            Probe_Answer a;
            if (port == "/dev/ttyS0") ADD_FAILURE() << "asked a port that cannot be a board";
            if (port == "/dev/ttyUSB0") a = {true, 31337, "Houndex box 1.0"};
            return a;
        });
        form = std::make_unique<Form_Control_Box_Select>();
        spy = std::make_unique<QSignalSpy>(form.get(), &Form_Control_Box_Select::Choice_Made);
    }
    void TearDown() override {
        spy.reset();
        form.reset();
        Set_Port_Lister({});
        Set_Port_Prober({});
        Change_Facts([](Startup_Facts& f) { f.Ini_file_path.clear(); });
        Hdx_Test::TearDown();
    }
    void Shown(const std::string& option, const std::string& serial = "") {
        form->Show_Current(option, serial);
        ASSERT_TRUE(Wait_Until([this] { return form->Pending_Probes() == 0; }));
    }
    std::vector<std::string> Rows(int column) const {
        std::vector<std::string> out;
        for (int i = 0; i < form->List_boxes()->topLevelItemCount(); ++i)
            out.push_back(form->List_boxes()->topLevelItem(i)->text(column).toStdString());
        return out;
    }
    void Choose(int row) { form->List_boxes()->setCurrentItem(form->List_boxes()->topLevelItem(row)); }

    std::unique_ptr<Form_Control_Box_Select> form;
    std::unique_ptr<QSignalSpy> spy;
};

TEST_F(ChoiceWindowTest, ListsTheSimulatorEveryPortWithWhatAnsweredAndTheKeys) {
    Shown("sim");
    EXPECT_EQ(form->windowTitle(), "Control Box");
    EXPECT_EQ(Rows(0), (std::vector<std::string>{"Simulator", "Serial board", "Serial board", "Serial board",
                                                 "Keyboard / foot pedal"}));
    EXPECT_EQ(Rows(1), (std::vector<std::string>{"", "ttyACM0", "ttyUSB0", "ttyS0", ""}));
    EXPECT_EQ(Rows(3), (std::vector<std::string>{"", "2341:8036", "1a86:7523", "", ""}));
    EXPECT_EQ(Rows(4), (std::vector<std::string>{"", "no answer", "serial 31337, Houndex box 1.0",
                                                 "not asked: not a board's USB identity", ""}));
    EXPECT_EQ(Form_Control_Box_Select::Row_Option(form->List_boxes()->currentItem()), "sim");  // the one in use
    EXPECT_EQ(form->Label_current()->text(), "In use: Simulator");
}

TEST_F(ChoiceWindowTest, TheBoardInUseIsShownWithoutAskingItsPortAgain) {
    Set_Port_Prober([](const std::string& port, int) -> Probe_Answer {
        if (port == "/dev/ttyACM0") ADD_FAILURE() << "asked the port in use";
        return {};
    });
    Shown("serial:/dev/ttyACM0@9600", "4242");
    EXPECT_EQ(Rows(4)[1], "serial 4242");
    EXPECT_EQ(form->Combo_baud()->currentText(), "9600");
    EXPECT_EQ(Form_Control_Box_Select::Row_Option(form->List_boxes()->currentItem()), "serial:/dev/ttyACM0");
}

TEST_F(ChoiceWindowTest, UseStoresTheChoiceAndAsksForIt) {
    Shown("sim");
    Choose(2);
    form->Combo_baud()->setCurrentText("57600");
    form->Command_use_Click();
    ASSERT_EQ(spy->count(), 1);
    EXPECT_EQ(spy->at(0).at(0).toString(), "serial:/dev/ttyUSB0@57600");
    EXPECT_EQ(Read_Ini("Settings", "control_box", Facts().Ini_file_path, ""), "serial:/dev/ttyUSB0@57600");
    EXPECT_EQ(Stored_Control_Box_Serial(), 31337);  // the board is found by it when its port changes

    Choose(4);
    form->Key_Edit(3)->setKeySequence(QKeySequence(Qt::Key_PageDown));
    form->Command_use_Click();
    EXPECT_EQ(spy->at(1).at(0).toString(), "keys");
    EXPECT_EQ(Stored_Key_Choice(), (Key_Choice{Qt::Key_F9, Qt::Key_PageDown, Qt::Key_F11}));
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(ChoiceWindowTest, KeysSharedByTwoInputsAreRefusedAndNothingChanges) {
    Shown("sim");
    Choose(4);
    form->Key_Edit(4)->setKeySequence(QKeySequence(Qt::Key_F9));
    form->Command_use_Click();
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"Each input needs a key of its own."});
    EXPECT_EQ(spy->count(), 0);
    EXPECT_EQ(Read_Ini("Settings", "control_box", Facts().Ini_file_path, "none"), "none");
    EXPECT_EQ(Stored_Key_Choice(), Key_Choice());
}

}  // namespace
