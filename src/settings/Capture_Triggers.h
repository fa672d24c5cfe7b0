#pragma once
#include <cstdint>

// When a capture window opens and closes, as the settings window stores it:
// the frames kept before the trigger, the time the window stays open after
// the release, and the automatic capture at the goal line.
struct Capture_Triggers {
    static constexpr int32_t Longest_ms = 10000;
    int32_t Pre_Trigger_ms = 1000;  // 0 = off
    int32_t Post_Trigger_ms = 0;
    bool Auto_Capture = false;
    int32_t Auto_Threshold = 12;    // mean change per colour byte in the band, 1 .. 255
    int32_t Auto_Settle_ms = 1000;  // quiet time after which an automatic window closes
    // Memory one capture window's frames may hold, in MB: 0 = no limit, else
    // Lowest_Window_Limit_MB .. Highest_Window_Limit_MB.
    static constexpr int32_t Lowest_Window_Limit_MB = 64;
    static constexpr int32_t Highest_Window_Limit_MB = 65536;
    int32_t Window_Limit_MB = 2048;

    // From the settings file; a missing or unreadable value takes its default,
    // a value out of range is brought into it.
    static Capture_Triggers Read();
    // Writes every value; false when the file could not be written (reported).
    bool Write() const;
};
