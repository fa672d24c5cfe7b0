#include <gtest/gtest.h>

#include "Test_Name.h"
#include "controlbox/Control_Box_Protocol.h"

namespace P = Control_Box_Protocol;

namespace {

struct Good_Line {
    const char* line;
    P::Kind kind;
    int32_t serial;
    int inputs, outputs;
    const char* name;
    uint32_t levels;
    int level_count;
    int index;
    bool level;
    const char* text;
};

void PrintTo(const Good_Line& g, std::ostream* os) { *os << '"' << g.line << '"'; }

class GoodLines : public ::testing::TestWithParam<Good_Line> {};

TEST_P(GoodLines, ParseToTheirFields) {
    const Good_Line& g = GetParam();
    const P::Board_Message m = P::Parse_Board_Line(g.line);
    ASSERT_EQ(m.kind, g.kind) << g.line << " -> " << m.text;
    EXPECT_EQ(m.serial, g.serial);
    EXPECT_EQ(m.inputs, g.inputs);
    EXPECT_EQ(m.outputs, g.outputs);
    EXPECT_EQ(m.name, g.name);
    EXPECT_EQ(m.levels, g.levels);
    EXPECT_EQ(m.level_count, g.level_count);
    EXPECT_EQ(m.index, g.index);
    EXPECT_EQ(m.level, g.level);
    EXPECT_EQ(m.text, g.text);
}

INSTANTIATE_TEST_SUITE_P(
    Protocol, GoodLines,
    ::testing::Values(
        Good_Line{"ID 123456 8 8 Start box v2", P::Kind::Ident, 123456, 8, 8, "Start box v2", 0, 0, 0, false, ""},
        Good_Line{"ID 1 1 0", P::Kind::Ident, 1, 1, 0, "", 0, 0, 0, false, ""},
        Good_Line{"ID 2147483647 32 32   spaced  name  \r", P::Kind::Ident, 2147483647, 32, 32, "spaced  name", 0, 0, 0,
                  false, ""},
        Good_Line{"LV 10110000", P::Kind::Levels, 0, 0, 0, "", 0x0D, 8, 0, false, ""},
        Good_Line{"LV 0", P::Kind::Levels, 0, 0, 0, "", 0, 1, 0, false, ""},
        Good_Line{"LV 00000000000000000000000000000001", P::Kind::Levels, 0, 0, 0, "", 0x80000000u, 32, 0, false, ""},
        Good_Line{"IN 3 1", P::Kind::Input, 0, 0, 0, "", 0, 0, 3, true, ""},
        Good_Line{"IN 0 0\r", P::Kind::Input, 0, 0, 0, "", 0, 0, 0, false, ""},
        Good_Line{"IN\t31\t1", P::Kind::Input, 0, 0, 0, "", 0, 0, 31, true, ""},
        Good_Line{"OUT 0 1", P::Kind::Output_Ack, 0, 0, 0, "", 0, 0, 0, true, ""},
        Good_Line{"PONG", P::Kind::Pong, 0, 0, 0, "", 0, 0, 0, false, ""},
        Good_Line{"ERR unknown command", P::Kind::Error, 0, 0, 0, "", 0, 0, 0, false, "unknown command"},
        Good_Line{"ERR", P::Kind::Error, 0, 0, 0, "", 0, 0, 0, false, ""}),
    [](const auto& param_info) { return Test_Name(param_info.param.line); });

// What the houndex-box 1.1 firmware adds: the board's clock and its reset reason.
struct Clock_Line {
    const char* name;
    const char* line;
    P::Kind kind;
    bool has_board_us;
    uint32_t board_us;
    int32_t pc_mill;
    bool board_clock;
    const char* reset;
    const char* board_name;
};

class ClockLines : public ::testing::TestWithParam<Clock_Line> {};

TEST_P(ClockLines, CarryTheBoardClockAndTheResetReason) {
    const Clock_Line& c = GetParam();
    const P::Board_Message m = P::Parse_Board_Line(c.line);
    ASSERT_EQ(m.kind, c.kind) << m.text;
    EXPECT_EQ(m.has_board_us, c.has_board_us);
    EXPECT_EQ(m.board_us, c.board_us);
    EXPECT_EQ(m.pc_mill, c.pc_mill);
    EXPECT_EQ(m.board_clock, c.board_clock);
    EXPECT_EQ(m.reset_reason, c.reset);
    EXPECT_EQ(m.name, c.board_name);
}

INSTANTIATE_TEST_SUITE_P(
    Protocol, ClockLines,
    ::testing::Values(
        Clock_Line{"InputWithEdgeTime", "IN 2 1 4294967295", P::Kind::Input, true, 4294967295u, 0, false, "", ""},
        Clock_Line{"InputOldFormat", "IN 2 1", P::Kind::Input, false, 0, 0, false, "", ""},
        Clock_Line{"PongWithClocks", "PONG 4294967295 17", P::Kind::Pong, true, 17, -1, false, "", ""},
        Clock_Line{"PongOldFormat", "PONG", P::Kind::Pong, false, 0, 0, false, "", ""},
        Clock_Line{"IdWithClockAndReset", "ID 7 6 1 Houndex box 1.1 clock=us reset=watchdog", P::Kind::Ident, false, 0,
                   0, true, "watchdog", "Houndex box 1.1"},
        Clock_Line{"IdResetOnly", "ID 7 6 1 reset=brown-out", P::Kind::Ident, false, 0, 0, false, "brown-out", ""},
        Clock_Line{"IdUnsetSerialTags", "ID 1 6 1 Houndex box 1.1 (serial not set) clock=us reset=power-on",
                   P::Kind::Ident, false, 0, 0, true, "power-on", "Houndex box 1.1 (serial not set)"},
        Clock_Line{"IdOldBoard", "ID 7 6 1 Houndex box 1.0", P::Kind::Ident, false, 0, 0, false, "", "Houndex box 1.0"},
        Clock_Line{"IdTagInsideTheNameStays", "ID 7 6 1 clock=us box", P::Kind::Ident, false, 0, 0, false, "",
                   "clock=us box"},
        Clock_Line{"IdRepeatedTagsAllGo", "ID 7 6 1 box clock=us reset=external clock=us", P::Kind::Ident, false, 0, 0,
                   true, "external", "box"}),
    By_Name());

struct Bad_Line {
    const char* name;
    const char* line;
};

class BadLines : public ::testing::TestWithParam<Bad_Line> {};

TEST_P(BadLines, AreInvalidWithAReason) {
    const P::Board_Message m = P::Parse_Board_Line(GetParam().line);
    EXPECT_EQ(m.kind, P::Kind::Invalid) << GetParam().line;
    EXPECT_FALSE(m.text.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Protocol, BadLines,
    ::testing::Values(
        Bad_Line{"Empty", ""}, Bad_Line{"Blank", "   "}, Bad_Line{"LowerCaseId", "id 1 8 8"}, Bad_Line{"IdAlone", "ID"},
        Bad_Line{"IdSerialZero", "ID 0 8 8"}, Bad_Line{"IdSerialNegative", "ID -5 8 8"},
        Bad_Line{"IdSerialPast32Bits", "ID 2147483648 8 8"}, Bad_Line{"IdNoInputs", "ID 12 0 8"},
        Bad_Line{"IdTooManyInputs", "ID 12 33 8"}, Bad_Line{"IdTooManyOutputs", "ID 12 8 33"},
        Bad_Line{"IdSerialNotANumber", "ID 12x 8 8"}, Bad_Line{"IdMissingOutputs", "ID 1 8"},
        Bad_Line{"IdNameTooLong",
                 "ID 1 8 8 a-name-that-is-far-too-long-for-the-protocol-to-accept-as-a-board-name-really"},
        Bad_Line{"LevelsAlone", "LV"}, Bad_Line{"LevelsNotBinary", "LV 2"}, Bad_Line{"LevelsTwoWords", "LV 01 10"},
        Bad_Line{"LevelsPast32Inputs", "LV 000000000000000000000000000000000"}, Bad_Line{"InputAlone", "IN"},
        Bad_Line{"InputNoLevel", "IN 3"}, Bad_Line{"InputLevelNotBinary", "IN 3 2"},
        Bad_Line{"InputIndexPast31", "IN 32 1"}, Bad_Line{"InputIndexNegative", "IN -1 1"},
        Bad_Line{"InputExtraWord", "IN 3 1 extra"}, Bad_Line{"InputEdgeTimePast32Bits", "IN 3 1 4294967296"},
        Bad_Line{"InputEdgeTimeSigned", "IN 3 1 -5"}, Bad_Line{"InputTwoTimes", "IN 3 1 5 6"},
        Bad_Line{"OutputWithTime", "OUT 0 1 5"}, Bad_Line{"PongOneNumber", "PONG 5"},
        Bad_Line{"PongBoardTimeNotANumber", "PONG 5 x"}, Bad_Line{"PongThreeNumbers", "PONG 5 6 7"},
        Bad_Line{"InputIndexNotANumber", "IN a 1"}, Bad_Line{"OutputNoLevel", "OUT 0"},
        Bad_Line{"PongExtraWord", "PONG now"}, Bad_Line{"UnknownCommand", "HELLO"},
        Bad_Line{"LowerCaseInput", "in 3 1"}, Bad_Line{"ControlCharacter", "IN 3\x01 1"},
        Bad_Line{"NonAsciiByte", "IN 3 \xff"}),
    By_Name());

TEST(Protocol, OverLongLinesAreRefused) {
    const std::string line = "ERR " + std::string(P::kMax_Line, 'x');
    EXPECT_EQ(P::Parse_Board_Line(line).kind, P::Kind::Invalid);
    EXPECT_EQ(P::Parse_Board_Line(line.substr(0, P::kMax_Line)).kind, P::Kind::Error);
}

// The formatted lines end in their line feed; the parser gets what comes before it.
P::Board_Message Parse_Sent(const std::string& sent) {
    EXPECT_EQ(sent.back(), '\n');
    EXPECT_EQ(sent.find('\n'), sent.size() - 1);
    return P::Parse_Board_Line(std::string_view(sent).substr(0, sent.size() - 1));
}

TEST(Protocol, BoardRepliesParseBackToWhatWasFormatted) {
    auto id = Parse_Sent(P::Ident_Reply(4242, 8, 4, "Bench box"));
    EXPECT_EQ(id.kind, P::Kind::Ident);
    EXPECT_EQ(id.serial, 4242);
    EXPECT_EQ(id.outputs, 4);
    EXPECT_EQ(id.name, "Bench box");
    for (uint32_t levels : {0u, 1u, 0x2Au, 0xFFu}) {
        auto lv = Parse_Sent(P::Levels_Reply(levels, 8));
        EXPECT_EQ(lv.kind, P::Kind::Levels);
        EXPECT_EQ(lv.levels, levels);
    }
    auto in = Parse_Sent(P::Input_Report(5, true));
    EXPECT_EQ(in.index, 5);
    EXPECT_TRUE(in.level);
    auto dated = Parse_Sent(P::Input_Report(4, false, 123456789u));
    EXPECT_EQ(dated.kind, P::Kind::Input);
    EXPECT_EQ(dated.board_us, 123456789u);
    auto pong = Parse_Sent(P::Pong_Reply(-2, 99u));
    EXPECT_EQ(pong.kind, P::Kind::Pong);
    EXPECT_EQ(pong.pc_mill, -2);
    EXPECT_EQ(pong.board_us, 99u);
}

TEST(Protocol, HostCommandsAreSingleLines) {
    EXPECT_EQ(P::Ident_Query(), "?ID\n");
    EXPECT_EQ(P::Levels_Query(), "?LV\n");
    EXPECT_EQ(P::Ping(), "PING\n");
    EXPECT_EQ(P::Ping(-1), "PING 4294967295\n");
    EXPECT_EQ(P::Output_Command(0, true), "OUT 0 1\n");
    EXPECT_EQ(P::Output_Command(7, false), "OUT 7 0\n");
}

}  // namespace
