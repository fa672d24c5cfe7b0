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
struct Meeting_Options {
    std::string Folder;
    int Heats = 8;
    uint64_t Seed = 1;
};

// Runs the meeting; 0 when every check held in every heat, 1 otherwise (each
// breach printed on standard error).
int Run_Meeting(const Meeting_Options& options);
