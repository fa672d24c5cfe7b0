#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "Box_Logic.h"

// The board's pins, LED, EEPROM and serial line as plain memory, for running
// the firmware's logic on the host.
class Host_Io final : public Box::Board_Io {
public:
    bool Read_Closed(int input) override { return pins.at(static_cast<size_t>(input)); }
    void Set_Output(int output, bool on) override { led.at(static_cast<size_t>(output)) = on; }
    void Write(const char* text) override { sent += text; }
    uint32_t Load_Serial() override { return eeprom; }
    void Store_Serial(uint32_t serial) override {
        if (!eeprom_broken) eeprom = serial;
    }
    // What was sent since the last call.
    std::string Take() {
        std::string s;
        s.swap(sent);
        return s;
    }

    std::array<bool, Box::kInputs> pins{};
    std::array<bool, Box::kOutputs> led{};
    uint32_t eeprom = Box::kNo_Serial;
    bool eeprom_broken = false;
    std::string sent;
};
