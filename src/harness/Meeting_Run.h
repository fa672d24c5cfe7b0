#pragma once
#include <cstdint>
#include <string>

// A whole race meeting through the real main window, offscreen: a programme of
// Heats heats with six named dogs each, run by a seeded official with the
// camera simulator and the virtual Control Box, against a stepped clock. Per
// heat the seed chooses operator and hardware events (reviews before
// initiating, late presses, two capture windows, a Control Box that drops off
// the bus, a camera restart, an abort, name corrections, special results and a
// dead heat), and every recording is checked against what the simulator
// delivered and filmed. The folder receives the recordings and meeting.json.
// Where the PC clock stands when the meeting begins.
enum class Meeting_Clock_Place {
    By_Seed,      // the seed chooses one of the next three
    Ordinary,     // an ordinary reading
    Sign_Change,  // before the 32-bit clock turns negative (+2^31)...
    Wrap,         // ...or passes zero again (2^32): the seed chooses the heat that crosses it
    Given,        // Clock_Mill
};

struct Meeting_Options {
    std::string Folder;
    int Heats = 8;
    uint64_t Seed = 1;
    Meeting_Clock_Place Clock = Meeting_Clock_Place::By_Seed;
    int32_t Clock_Mill = 0;
    // The simulator films the harder scene (depth, blur, noise, light, a
    // hidden jacket): the assistant's proposals are measured on it.
    bool Hard_Scene = true;
};

// "ordinary", "sign", "wrap" or a PC clock reading (-2147483648 to
// 2147483647) into options; false, options unchanged, for anything else.
bool Parse_Meeting_Clock(const std::string& text, Meeting_Options& options);
// The PC clock reading the meeting begins at.
int32_t Meeting_Clock_Start(const Meeting_Options& options);

// Runs the meeting; 0 when every check held in every heat, 1 otherwise (each
// breach printed on standard error).
int Run_Meeting(const Meeting_Options& options);
