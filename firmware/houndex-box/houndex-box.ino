// Houndex Control Box firmware: six contacts and the start LED on a serial
// line (docs/controlbox-protocol.md). Boards: Leonardo / Micro (ATmega32U4,
// native USB) and Nano / Uno (ATmega328P behind a USB-serial chip).
// Wiring: see README.md beside this file.
#include <avr/eeprom.h>
#include <avr/wdt.h>

#include "Box_Logic.h"

namespace {

// Input i of the protocol on these pins; each contact switches its pin to GND.
const uint8_t kInput_Pins[Box::kInputs] = {2, 3, 4, 5, 6, 7};
// Output 0 (start LED, through its resistor) on pin 9, mirrored on the board's own LED.
const uint8_t kLed_Pin = 9;
// Where the serial number lives in the EEPROM (4 bytes, little endian).
uint32_t* const kSerial_Address = reinterpret_cast<uint32_t*>(0);

const uint32_t kSample_Period_us = 250;

// Why the board started: MCUSR, saved and cleared before anything else runs
// (a watchdog reset leaves the watchdog armed, which would reset us again
// during start-up). Optiboot clears MCUSR itself and hands it over in r2.
uint8_t g_reset_flags __attribute__((section(".noinit")));
void Save_Reset_Flags() __attribute__((naked, used, section(".init3")));
void Save_Reset_Flags() {
    uint8_t flags = MCUSR;
#if defined(__AVR_ATmega328P__)
    if (flags == 0) __asm__ __volatile__("mov %0, r2" : "=r"(flags));
#endif
    g_reset_flags = flags;
    MCUSR = 0;
    wdt_disable();
}

class Arduino_Io : public Box::Board_Io {
public:
    bool Read_Closed(int input) override { return digitalRead(kInput_Pins[input]) == LOW; }
    void Set_Output(int output, bool on) override {
        if (output != 0) return;
        digitalWrite(kLed_Pin, on ? HIGH : LOW);
        digitalWrite(LED_BUILTIN, on ? HIGH : LOW);
    }
    void Write(const char* text) override { Serial.write(text); }
    uint32_t Load_Serial() override { return eeprom_read_dword(kSerial_Address); }
    void Store_Serial(uint32_t serial) override { eeprom_update_dword(kSerial_Address, serial); }
};

Arduino_Io io;
Box::Box_Logic logic(io);
uint32_t last_sample_us = 0;

}  // namespace

void setup() {
    for (uint8_t i = 0; i < Box::kInputs; ++i) pinMode(kInput_Pins[i], INPUT_PULLUP);
    pinMode(kLed_Pin, OUTPUT);
    pinMode(LED_BUILTIN, OUTPUT);
    Serial.begin(115200);
    delay(10);  // let the pull-ups charge the wiring before the first reading
    last_sample_us = micros();
    logic.Begin(last_sample_us, Box::Reset_Reason_From_Mcusr(g_reset_flags));
    // A hung loop (a stuck USB write, a wild pointer) restarts the board; its
    // ID line then says "reset=watchdog".
    wdt_enable(WDTO_1S);
}

void loop() {
    wdt_reset();
    while (Serial.available() > 0) logic.Receive(static_cast<char>(Serial.read()), micros());
    const uint32_t now = micros();
    if (now - last_sample_us >= kSample_Period_us) {
        last_sample_us = now;
        logic.Sample(now);
    }
}
