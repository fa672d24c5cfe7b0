#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The line protocol between the program and a serial Control Box board
// (docs/controlbox-protocol.md). Pure text handling, shared by the serial
// backend and by the fake boards of the tests.
namespace Control_Box_Protocol {

inline constexpr int kMax_Line = 120;     // characters before the line feed
inline constexpr int kMax_Channels = 32;  // inputs or outputs a board may report
inline constexpr int kMax_Name = 64;
inline constexpr int kDefault_Baud = 115200;

enum class Kind {
    Invalid,     // not a line of the protocol; text says why
    Ident,       // "ID <serial> <inputs> <outputs> [<name>] [clock=us] [reset=<why>]"
    Levels,      // "LV <levels>"
    Input,       // "IN <index> <0|1> [<board us>]"
    Output_Ack,  // "OUT <index> <0|1>"
    Pong,        // "PONG [<pc mill> <board us>]"
    Error,       // "ERR [<text>]"
};

struct Board_Message {
    Kind kind = Kind::Invalid;
    int32_t serial = 0;
    int inputs = 0;
    int outputs = 0;
    std::string name;
    uint32_t levels = 0;  // bit i = input i
    int level_count = 0;
    int index = 0;
    bool level = false;
    std::string text;  // the board's error text, or why a line is invalid
    // ID: the board puts its microsecond clock into IN and PONG lines
    // ("clock=us"), and why it last started ("reset=...", empty when not said).
    bool board_clock = false;
    std::string reset_reason;
    // IN, PONG: the board's microsecond clock (wrapping 32-bit): the edge of
    // an input, the arrival of a PING.
    bool has_board_us = false;
    uint32_t board_us = 0;
    // PONG: the PC clock the PING carried.
    int32_t pc_mill = 0;
};

// One line from the board, without its line feed (a trailing CR is allowed).
Board_Message Parse_Board_Line(std::string_view line);

// Lines the program sends, each with its line feed.
std::string Ident_Query();
std::string Levels_Query();
std::string Output_Command(int index, bool level);
std::string Ping();
// A PING carrying the PC clock; a board with a clock answers "PONG <pc> <us>".
std::string Ping(int32_t pc_mill);

// Lines a board sends (fake boards, examples).
std::string Ident_Reply(int32_t serial, int inputs, int outputs, const std::string& name);
std::string Levels_Reply(uint32_t levels, int count);
std::string Input_Report(int index, bool level);
std::string Input_Report(int index, bool level, uint32_t board_us);
std::string Pong_Reply(int32_t pc_mill, uint32_t board_us);

}  // namespace Control_Box_Protocol
