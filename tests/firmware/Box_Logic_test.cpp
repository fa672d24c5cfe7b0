// The firmware's protocol logic on the host: debouncing against a stepped
// microsecond clock, and the answers to every command.
#include <gtest/gtest.h>

#include "Test_Name.h"

#include <string>
#include <vector>

#include "Host_Board.h"

namespace {

class BoxLogicTest : public ::testing::Test {
protected:
    void SetUp() override {
        io.eeprom = 31337;
        logic.Begin(now);
        io.Take();
    }
    // Samples once a millisecond for ms milliseconds; returns what was sent.
    std::string Run_ms(int ms) {
        for (int i = 0; i < ms; ++i) {
            now += 1000;
            logic.Sample(now);
        }
        return io.Take();
    }
    std::string Command(const std::string& line) {
        for (char c : line) logic.Receive(c);
        return io.Take();
    }

    Host_Io io;
    Box::Box_Logic logic{io};
    uint32_t now = 0xFFFF0000u;  // the microsecond counter wraps during the tests
};

TEST_F(BoxLogicTest, AContactIsReportedOnceItHasHeldForFiveMilliseconds) {
    // The first sample that sees the contact closed starts its five milliseconds.
    io.pins[2] = true;
    EXPECT_EQ(Run_ms(5), "");
    EXPECT_EQ(Run_ms(1), "IN 2 1\n");  // sent in the sample that accepts it
    EXPECT_TRUE(logic.Level(2));
    EXPECT_EQ(Run_ms(50), "");  // once per change
    io.pins[2] = false;
    EXPECT_EQ(Run_ms(6), "IN 2 0\n");
}

TEST_F(BoxLogicTest, BouncesShorterThanTheDebounceTimeAreNeverReported) {
    // A contact chattering every 3 ms for 30 ms, then settling closed.
    for (int i = 0; i < 10; ++i) {
        io.pins[3] = !io.pins[3];
        EXPECT_EQ(Run_ms(3), "") << "bounce " << i;
    }
    io.pins[3] = true;
    EXPECT_EQ(Run_ms(6), "IN 3 1\n");
    // A 2 ms dropout while held changes nothing.
    io.pins[3] = false;
    EXPECT_EQ(Run_ms(2), "");
    io.pins[3] = true;
    EXPECT_EQ(Run_ms(10), "");
}

TEST_F(BoxLogicTest, PowerUpTakesThePresentLevelsAndAnnouncesTheBoard) {
    Host_Io fresh;
    fresh.pins[1] = true;
    fresh.led[0] = true;
    Box::Box_Logic board(fresh);
    board.Begin(0);
    EXPECT_EQ(fresh.Take(), "ID 1 6 1 Houndex box " HOUNDEX_BOX_VERSION " (serial not set)\n");
    EXPECT_TRUE(board.Level(1));
    EXPECT_FALSE(fresh.led[0]);
}

struct Exchange {
    const char* name;
    std::vector<std::pair<std::string, std::string>> steps;  // host line, board answer
};

class BoxCommandTest : public BoxLogicTest, public ::testing::WithParamInterface<Exchange> {};

TEST_P(BoxCommandTest, AnswersAsTheProtocolSays) {
    io.pins[1] = true;
    Run_ms(6);
    io.Take();
    for (const auto& [line, answer] : GetParam().steps) EXPECT_EQ(Command(line), answer) << line;
}

const std::string kId = "ID 31337 6 1 Houndex box " HOUNDEX_BOX_VERSION "\n";

INSTANTIATE_TEST_SUITE_P(
    Commands, BoxCommandTest,
    ::testing::Values(Exchange{"Identification", {{"?ID\n", kId}, {"?ID\r\n", kId}, {"  ?ID \t\n", kId}}},
                      Exchange{"Levels", {{"?LV\n", "LV 010000\n"}}}, Exchange{"Ping", {{"PING\n", "PONG\n"}}},
                      Exchange{"LedOnAndOff", {{"OUT 0 1\n", "OUT 0 1\n"}, {"OUT 0 0\n", "OUT 0 0\n"}}},
                      Exchange{"BadOutputs",
                               {{"OUT 1 1\n", "ERR no such output\n"},
                                {"OUT 0 2\n", "ERR usage: OUT <n> <0|1>\n"},
                                {"OUT 0\n", "ERR usage: OUT <n> <0|1>\n"},
                                {"OUT -1 1\n", "ERR usage: OUT <n> <0|1>\n"}}},
                      Exchange{"UnknownAndEmpty",
                               {{"HELLO\n", "ERR unknown command\n"},
                                {"?id\n", "ERR unknown command\n"},
                                {"\n", ""},
                                {"?ID now\n", "ERR unknown command\n"}}},
                      Exchange{"OverlongLineIsRefusedAndTheNextOneServed",
                               {{std::string(200, 'x') + "\n", "ERR line too long\n"}, {"PING\n", "PONG\n"}}},
                      Exchange{"StoredSerialChangesOnlyWithThePresentOne",
                               {{"SETID 5\n", "ERR serial already set: SETID <serial> <current serial>\n"},
                                {"SETID 5 4\n", "ERR current serial does not match\n"},
                                {"SETID 5 31337\n", "ID 5 6 1 Houndex box " HOUNDEX_BOX_VERSION "\n"},
                                {"?ID\n", "ID 5 6 1 Houndex box " HOUNDEX_BOX_VERSION "\n"}}},
                      Exchange{"SerialOutOfRange",
                               {{"SETID 0 31337\n", "ERR serial must be 1..2147483647\n"},
                                {"SETID 2147483648 31337\n", "ERR serial must be 1..2147483647\n"},
                                {"SETID 12a 31337\n", "ERR serial must be 1..2147483647\n"},
                                {"SETID\n", "ERR usage: SETID <serial> [<current serial>]\n"}}}),
    By_Name());

TEST_F(BoxLogicTest, AFreshBoardTakesItsSerialOnceAndKeepsItInTheEeprom) {
    io.eeprom = Box::kNo_Serial;
    EXPECT_EQ(Command("SETID 7 1\n"), "ERR no serial set yet: SETID <serial>\n");
    EXPECT_EQ(Command("SETID 2147483647\n"), "ID 2147483647 6 1 Houndex box " HOUNDEX_BOX_VERSION "\n");
    EXPECT_EQ(io.eeprom, 2147483647u);
    EXPECT_EQ(Command("SETID 8\n"), "ERR serial already set: SETID <serial> <current serial>\n");
    EXPECT_EQ(io.eeprom, 2147483647u);
}

TEST_F(BoxLogicTest, AFailedEepromWriteIsReportedNotClaimed) {
    io.eeprom_broken = true;
    EXPECT_EQ(Command("SETID 9 31337\n"), "ERR EEPROM write failed\n");
}

TEST_F(BoxLogicTest, IdentifyingSwitchesTheLedOff) {
    Command("OUT 0 1\n");
    ASSERT_TRUE(io.led[0]);
    Command("?ID\n");
    EXPECT_FALSE(io.led[0]);
    EXPECT_FALSE(logic.Output(0));
}

}  // namespace
