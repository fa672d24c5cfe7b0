// The Control Box board's protocol logic (docs/controlbox-protocol.md), kept
// free of the Arduino core so that the same source runs on the board and in
// the host tests. No heap, no standard library: it must fit an ATmega328P.
#ifndef HOUNDEX_BOX_LOGIC_H
#define HOUNDEX_BOX_LOGIC_H

#include <stdint.h>

namespace Box {

const int kInputs = 6;   // remote, lever, start line, Goal, Split, second Goal
const int kOutputs = 1;  // the start LED
// After a reported edge the input is not looked at for this long (the
// contact's bounces); the level it has then is reported if it differs.
const uint32_t kLockout_us = 5000;
const int kMax_Line = 120;                 // characters before the line feed
const uint32_t kNo_Serial = 0xFFFFFFFFul;  // what an erased EEPROM holds
const uint32_t kMax_Serial = 2147483647ul;
// Reported while no serial number has been stored (SETID).
const uint32_t kUnset_Serial_Report = 1;

#define HOUNDEX_BOX_VERSION "1.1"

// Why the board last started, as its ID line says ("reset=...").
enum Reset_Reason { Reset_Unknown, Reset_Power_On, Reset_External, Reset_Brown_Out, Reset_Watchdog };
const char* Reset_Reason_Text(Reset_Reason reason);
// The reason from the AVR's MCU status register (PORF bit 0, EXTRF 1, BORF 2,
// WDRF 3). A power-up may set several flags: power-on wins, then watchdog.
Reset_Reason Reset_Reason_From_Mcusr(uint8_t mcusr);

// What the logic needs of the board (pins, serial line, EEPROM).
class Board_Io {
public:
    // True while the contact of this input is closed.
    virtual bool Read_Closed(int input) = 0;
    virtual void Set_Output(int output, bool on) = 0;
    // Sends text to the host as it is.
    virtual void Write(const char* text) = 0;
    virtual uint32_t Load_Serial() = 0;
    virtual void Store_Serial(uint32_t serial) = 0;

protected:
    ~Board_Io() {}
};

class Box_Logic {
public:
    explicit Box_Logic(Board_Io& io);

    // Power-up: outputs off, the present levels taken as they are, the board
    // announces itself (boards that reset when the port opens are found at once).
    void Begin(uint32_t now_us, Reset_Reason reason = Reset_Unknown);
    // Reads every input; call as often as possible (every 250 us on the board).
    // The first sample that sees an input change reports it at once, with
    // now_us as the edge's time; the lockout follows it.
    void Sample(uint32_t now_us);
    // One byte from the host, received at now_us (a PING line's answer
    // carries the moment its line feed came).
    void Receive(char c, uint32_t now_us);

    bool Level(int input) const;
    bool Output(int output) const;
    uint32_t Serial_Number() const;  // kNo_Serial while none is stored

private:
    void Handle_Line();
    void Send_Ident();
    void Send_Levels();
    void Send_Input(int input, bool level, uint32_t edge_us);
    void Send_Pong(const char* pc_text);
    void Send_Output(int output, bool on);
    void Send_Error(const char* text);
    void All_Outputs_Off();
    bool Set_Serial(const char* new_text, const char* current_text);

    Board_Io& io_;
    bool accepted_[kInputs];          // the level last reported
    bool raw_[kInputs];               // the level last read
    uint32_t raw_since_us_[kInputs];  // when the pin last changed
    bool locked_[kInputs];
    uint32_t locked_since_us_[kInputs];
    uint32_t line_us_;  // when the line feed of the line being handled came
    Reset_Reason reset_;
    bool outputs_[kOutputs];
    char line_[kMax_Line + 1];
    int length_;
    bool overflow_;  // inside an over-long line, up to its line feed
};

}  // namespace Box

#endif
