// Which Control Box the program starts with, and the stored keys.
#include <gtest/gtest.h>

#include "Test_Name.h"

#include <mutex>

#include "Test_Env.h"
#include "controlbox/Control_Box_Choice.h"
#include "controlbox/Control_Box_Factory.h"
#include "platform/HdxError.h"
#include "settings/Module_Ini.h"
#include "common/Startup_Facts.h"

namespace {

struct Start_Case {
    const char* name;
    const char* command_line;  // the option given for this run, "" for none
    const char* stored;        // "control_box" in the settings, nullptr for none
    bool board_answers;        // on the second of two ports
    const char* started;
};

class StartChoiceTest : public Hdx_Test, public ::testing::WithParamInterface<Start_Case> {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
        Set_Port_Lister([] {
            return std::vector<Serial_Port_Entry>{{"ttyS0", "/dev/ttyS0", "", -1, -1},
                                                  {"ttyUSB1", "/dev/ttyUSB1", "u-blox GNSS receiver", 0x1546, 0x01a7},
                                                  {"ttyACM0", "/dev/ttyACM0", "Leonardo", 0x2341, 0x8036}};
        });
        Set_Port_Prober([this](const std::string& port, int baud) {
            const std::lock_guard<std::mutex> lock(asked_lock);  // ports are asked at once
            asked.push_back(port + "@" + std::to_string(baud));
            Probe_Answer a;
            a.answered = answers && port == "/dev/ttyACM0";
            a.serial = board_serial;
            return a;
        });
    }
    void TearDown() override {
        Set_Port_Lister({});
        Set_Port_Prober({});
        Set_Control_Box_Option("");
        Change_Facts([](Startup_Facts& f) { f.Ini_file_path.clear(); });
        Hdx_Test::TearDown();
    }
    bool answers = false;
    int32_t board_serial = 31337;
    std::mutex asked_lock;
    std::vector<std::string> asked;
};

TEST_P(StartChoiceTest, CommandLineThenStoredChoiceThenAnsweringBoardThenSimulator) {
    const Start_Case& c = GetParam();
    answers = c.board_answers;
    Set_Control_Box_Option(c.command_line);
    if (c.stored) Write_Ini("Settings", "control_box", c.stored, Facts().Ini_file_path);
    EXPECT_EQ(Startup_Control_Box_Choice(), c.started);
    // Ports are asked only when nothing else decides.
    const bool decided = *c.command_line || (c.stored && std::string(c.stored) != "usb");
    EXPECT_EQ(asked.empty(), decided);
    // Only a port with a board's USB identity is asked: other equipment is left alone.
    for (const std::string& port : asked) EXPECT_EQ(port.rfind("/dev/ttyACM0", 0), 0u) << port;
}

struct Follow_Case {
    const char* name;
    const char* stored;
    int32_t stored_serial;
    int32_t answering;  // the serial of the board that answers on /dev/ttyACM0
    const char* started;
    bool asked;
};

class FollowBoardTest : public StartChoiceTest {};

TEST_F(FollowBoardTest, TheStoredBoardIsFoundBySerialNumberWhereverItsPortIsNow) {
    const Follow_Case cases[] = {
        {"moved to another port", "serial:/dev/ttyACM5", 31337, 31337, "serial:/dev/ttyACM0", true},
        {"moved, baud kept", "serial:/dev/ttyACM5@9600", 31337, 31337, "serial:/dev/ttyACM0@9600", true},
        {"on its own port", "serial:/dev/ttyACM0", 31337, 31337, "serial:/dev/ttyACM0", true},
        {"another board answers: wait for ours", "serial:/dev/ttyACM5", 31337, 4242, "serial:/dev/ttyACM5", true},
        {"no serial stored: the port as stored", "serial:/dev/ttyACM5", 0, 31337, "serial:/dev/ttyACM5", false},
    };
    answers = true;
    for (const Follow_Case& c : cases) {
        SCOPED_TRACE(c.name);
        asked.clear();
        board_serial = c.answering;
        Store_Control_Box_Choice(c.stored, c.stored_serial);
        EXPECT_EQ(Startup_Control_Box_Choice(), c.started);
        EXPECT_EQ(Stored_Control_Box_Choice(), c.started);  // a moved board is stored where it is now
        EXPECT_EQ(!asked.empty(), c.asked);
        // The box is then opened for the stored board only, wherever it was found.
        EXPECT_EQ(Chosen_Board_Serial(c.started), c.stored_serial);
    }
    EXPECT_EQ(Chosen_Board_Serial("serial:/dev/ttyUSB3"), 0);  // another port than the stored choice: any board
    Store_Control_Box_Choice("keys", 31337);                   // a serial number only goes with a serial board
    EXPECT_EQ(Stored_Control_Box_Serial(), 0);
}

struct Usb_Case {
    const char* name;
    int vendor, product;
    const char* extra_ids;  // "control_box_usb_ids", nullptr: none
    bool board;
};

class BoardIdentityTest : public Hdx_Test, public ::testing::WithParamInterface<Usb_Case> {};

TEST_P(BoardIdentityTest, OnlyPortsABoardCanBeAreAsked) {
    Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
    if (GetParam().extra_ids) Write_Ini("Settings", "control_box_usb_ids", GetParam().extra_ids, Facts().Ini_file_path);
    EXPECT_EQ(Could_Be_Board({"p", "/dev/p", "", GetParam().vendor, GetParam().product}), GetParam().board);
    Change_Facts([](Startup_Facts& f) { f.Ini_file_path.clear(); });
}

INSTANTIATE_TEST_SUITE_P(
    Ports, BoardIdentityTest,
    ::testing::Values(
        Usb_Case{"Leonardo", 0x2341, 0x8036, nullptr, true}, Usb_Case{"UnoOfArduinoSrl", 0x2A03, 0x0043, nullptr, true},
        Usb_Case{"ProMicro", 0x1B4F, 0x9206, nullptr, true}, Usb_Case{"NanoCloneCh340", 0x1A86, 0x7523, nullptr, true},
        Usb_Case{"NanoFt232", 0x0403, 0x6001, nullptr, true}, Usb_Case{"OtherFtdiChip", 0x0403, 0x6015, nullptr, false},
        Usb_Case{"GnssReceiver", 0x1546, 0x01A7, nullptr, false}, Usb_Case{"BuiltInUart", -1, -1, nullptr, false},
        Usb_Case{"ListedInTheSettings", 0x16C0, 0x0483, "1546:01a7, 16C0:0483", true},
        Usb_Case{"NotListed", 0x16C0, 0x0484, "16c0:0483", false}),
    By_Name());

INSTANTIATE_TEST_SUITE_P(
    Start, StartChoiceTest,
    ::testing::Values(
        Start_Case{"StoredKeys", "", "keys", true, "keys"},
        Start_Case{"StoredSerialWithBaud", "", "serial:/dev/ttyUSB0@9600", true, "serial:/dev/ttyUSB0@9600"},
        Start_Case{"StoredSimulatorEvenWithABoard", "", "sim", true, "sim"},
        Start_Case{"CommandLineOverridesTheStoredChoice", "serial:/dev/ttyACM9", "keys", true, "serial:/dev/ttyACM9"},
        Start_Case{"FirstStartTakesTheBoardThatAnswers", "", nullptr, true, "serial:/dev/ttyACM0"},
        Start_Case{"FirstStartWithoutABoardTakesTheSimulator", "", nullptr, false, "sim"},
        Start_Case{"ABrokenStoredChoiceIsNotUsed", "", "usb", false, "sim"}),
    By_Name());

class KeyChoiceTest : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
    }
    void TearDown() override {
        Change_Facts([](Startup_Facts& f) { f.Ini_file_path.clear(); });
        Hdx_Test::TearDown();
    }
};

TEST_F(KeyChoiceTest, KeysAreStoredByNameAndBadOnesChangeNothing) {
    EXPECT_EQ(Stored_Key_Choice(), Key_Choice());  // F9, F10, F11
    Store_Key_Choice({Qt::Key_PageDown, Qt::Key_B, Qt::Key_F12});
    EXPECT_EQ(Read_Ini("Settings", "key_start_line", Facts().Ini_file_path, ""), "PgDown");
    EXPECT_EQ(Stored_Key_Choice(), (Key_Choice{Qt::Key_PageDown, Qt::Key_B, Qt::Key_F12}));

    EXPECT_THROW(Store_Key_Choice({Qt::Key_A, Qt::Key_A, Qt::Key_F12}), HdxError);
    EXPECT_THROW(Store_Key_Choice({Qt::Key_A, 0, Qt::Key_F12}), HdxError);
    EXPECT_EQ(Stored_Key_Choice(), (Key_Choice{Qt::Key_PageDown, Qt::Key_B, Qt::Key_F12}));

    // A hand-edited file with two inputs on one key falls back to the defaults.
    Write_Ini("Settings", "key_goal_capture", "PgDown", Facts().Ini_file_path);
    EXPECT_EQ(Stored_Key_Choice(), Key_Choice());
}

TEST_F(KeyChoiceTest, AnUnknownChoiceIsRefusedAndNotStored) {
    Store_Control_Box_Choice("keys");
    EXPECT_THROW(Store_Control_Box_Choice("serial:"), HdxError);
    EXPECT_EQ(Stored_Control_Box_Choice(), "keys");
}

}  // namespace
