// The firmware's protocol logic on the host: edges and lockout against a
// stepped microsecond clock, and the answers to every command.
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
    // Samples every step_us for us microseconds.
    std::string Run_us(uint32_t us, uint32_t step_us = 250) {
        for (uint32_t t = 0; t < us; t += step_us) {
            now += step_us;
            logic.Sample(now);
        }
        return io.Take();
    }
    std::string Command(const std::string& line) {
        for (char c : line) logic.Receive(c, now);
        return io.Take();
    }
    std::string In(int input, int level, uint32_t us) {
        return "IN " + std::to_string(input) + " " + std::to_string(level) + " " + std::to_string(us) + "\n";
    }

    Host_Io io;
    Box::Box_Logic logic{io};
    uint32_t now = 0xFFFF0000u;  // the microsecond counter wraps during the tests
};

TEST_F(BoxLogicTest, TheFirstEdgeIsReportedAtOnceWithTheBoardClock) {
    io.pins[2] = true;
    const uint32_t edge = now + 250;
    EXPECT_EQ(Run_us(250), In(2, 1, edge));  // the very sample that sees it
    EXPECT_TRUE(logic.Level(2));
    EXPECT_EQ(Run_ms(50), "");  // once per change
    io.pins[2] = false;
    const uint32_t release = now + 250;
    EXPECT_EQ(Run_us(250), In(2, 0, release));
}

TEST_F(BoxLogicTest, AOneMillisecondPulseIsSeenAndItsEndReportedAfterTheLockout) {
    io.pins[0] = true;
    const uint32_t edge = now + 250;
    EXPECT_EQ(Run_us(1000), In(0, 1, edge));
    io.pins[0] = false;
    const uint32_t release = now + 250;
    EXPECT_EQ(Run_us(3000), "");              // within the lockout
    EXPECT_EQ(Run_ms(2), In(0, 0, release));  // dated to when the pin let go
    EXPECT_FALSE(logic.Level(0));
}

TEST_F(BoxLogicTest, BouncesAfterAnEdgeAreSwallowedByTheLockout) {
    // A contact chattering every 0.5 ms for 4 ms after it first closed, then settling closed.
    const uint32_t edge = now + 250;
    std::string sent;
    for (int i = 0; i < 8; ++i) {
        io.pins[3] = !io.pins[3];
        sent += Run_us(500);
    }
    io.pins[3] = true;
    sent += Run_ms(10);
    EXPECT_EQ(sent, In(3, 1, edge));
    // A dropout after the lockout is a real change: both its edges count.
    io.pins[3] = false;
    const uint32_t dropout = now + 250;
    EXPECT_EQ(Run_us(250), In(3, 0, dropout));
}

TEST_F(BoxLogicTest, PowerUpTakesThePresentLevelsAndAnnouncesTheBoard) {
    Host_Io fresh;
    fresh.pins[1] = true;
    fresh.led[0] = true;
    Box::Box_Logic board(fresh);
    board.Begin(0, Box::Reset_Power_On);
    EXPECT_EQ(fresh.Take(), "ID 1 6 1 Houndex box " HOUNDEX_BOX_VERSION " (serial not set) clock=us reset=power-on\n");
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

#define BOX_TAIL " clock=us reset=unknown\n"
const std::string kId = "ID 31337 6 1 Houndex box " HOUNDEX_BOX_VERSION BOX_TAIL;

INSTANTIATE_TEST_SUITE_P(
    Commands, BoxCommandTest,
    ::testing::Values(Exchange{"Identification", {{"?ID\n", kId}, {"?ID\r\n", kId}, {"  ?ID \t\n", kId}}},
                      Exchange{"Levels", {{"?LV\n", "LV 010000\n"}}}, Exchange{"Ping", {{"PING\n", "PONG\n"}}},
                      Exchange{"PingWithThePcClockIsAnsweredWithTheBoardClock",
                               {{"PING 4294967295\n", "PONG 4294967295 4294907760\n"},
                                {"PING 12\r\n", "PONG 12 4294907760\n"},
                                {"PING 4294967296\n", "ERR usage: PING [<pc clock>]\n"},
                                {"PING 1 2\n", "ERR unknown command\n"}}},
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
                                {"SETID 5 31337\n", "ID 5 6 1 Houndex box " HOUNDEX_BOX_VERSION BOX_TAIL},
                                {"?ID\n", "ID 5 6 1 Houndex box " HOUNDEX_BOX_VERSION BOX_TAIL}}},
                      Exchange{"SerialOutOfRange",
                               {{"SETID 0 31337\n", "ERR serial must be 1..2147483647\n"},
                                {"SETID 2147483648 31337\n", "ERR serial must be 1..2147483647\n"},
                                {"SETID 12a 31337\n", "ERR serial must be 1..2147483647\n"},
                                {"SETID\n", "ERR usage: SETID <serial> [<current serial>]\n"}}}),
    By_Name());

TEST_F(BoxLogicTest, AFreshBoardTakesItsSerialOnceAndKeepsItInTheEeprom) {
    io.eeprom = Box::kNo_Serial;
    EXPECT_EQ(Command("SETID 7 1\n"), "ERR no serial set yet: SETID <serial>\n");
    EXPECT_EQ(Command("SETID 2147483647\n"), "ID 2147483647 6 1 Houndex box " HOUNDEX_BOX_VERSION BOX_TAIL);
    EXPECT_EQ(io.eeprom, 2147483647u);
    EXPECT_EQ(Command("SETID 8\n"), "ERR serial already set: SETID <serial> <current serial>\n");
    EXPECT_EQ(io.eeprom, 2147483647u);
}

TEST_F(BoxLogicTest, AFailedEepromWriteIsReportedNotClaimed) {
    io.eeprom_broken = true;
    EXPECT_EQ(Command("SETID 9 31337\n"), "ERR EEPROM write failed\n");
}

struct Reset_Case {
    const char* name;
    uint8_t mcusr;
    const char* said;
};

class BoxResetTest : public ::testing::TestWithParam<Reset_Case> {};

TEST_P(BoxResetTest, TheIdLineSaysWhyTheBoardStarted) {
    Host_Io io;
    io.eeprom = 4;
    Box::Box_Logic board(io);
    board.Begin(0, Box::Reset_Reason_From_Mcusr(GetParam().mcusr));
    EXPECT_EQ(io.Take(),
              std::string("ID 4 6 1 Houndex box " HOUNDEX_BOX_VERSION " clock=us reset=") + GetParam().said + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, BoxResetTest,
    ::testing::Values(Reset_Case{"PowerOn", 0x01, "power-on"}, Reset_Case{"PowerOnWithBrownOut", 0x05, "power-on"},
                      Reset_Case{"External", 0x02, "external"}, Reset_Case{"BrownOut", 0x04, "brown-out"},
                      Reset_Case{"Watchdog", 0x08, "watchdog"}, Reset_Case{"WatchdogAndExternal", 0x0A, "watchdog"},
                      Reset_Case{"NoFlags", 0x00, "unknown"}),
    By_Name());

TEST_F(BoxLogicTest, IdentifyingSwitchesTheLedOff) {
    Command("OUT 0 1\n");
    ASSERT_TRUE(io.led[0]);
    Command("?ID\n");
    EXPECT_FALSE(io.led[0]);
    EXPECT_FALSE(logic.Output(0));
}

}  // namespace
