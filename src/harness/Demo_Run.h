#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One whole heat through the real main window, with the built-in camera
// simulator at its real rate and the virtual Control Box: camera start,
// initiation, start signal, a capture window round the dogs' crossing of the
// finish line, heat finish, then the review (a time for every dog at the
// first field its nose reached the line, a disqualification and a dead heat),
// both goal photo printouts as PDF files and the results export. The times
// the program assigned are checked against the simulator's truth.
//
// Works without a display (offscreen) and without the operator: message and
// input boxes are answered by script, the printer is the PDF file printer.
// The settings live in a temporary data folder, so the operator's own
// settings, event file and single-instance lock are not touched.
struct Demo_Options {
    // Receives the recording, goal_photo.pdf, goal_photo_series.pdf,
    // results.txt and summary.txt. Created when missing.
    std::string Folder;
    // When set: main_live.png and main_review.png of the whole screen (the
    // program's windows where they stand) and results.png of the results
    // window, as the demo goes along.
    std::string Screenshot_Folder;
    // The crop size the main window runs with, as its crop menu names it.
    std::string Crop = "400*880";
};

// One dog of the demo heat as checked at the end.
struct Demo_Dog {
    int Box = 0;
    std::string Name;
    int Position = 0;       // the first slider position (field) its nose reached the line
    int32_t True_Time = 0;  // heat time of that field's exposure (ms)
    double Past_Line = 0;   // how far (frame pixels) its nose was over the line there
    int32_t Assigned = 0;   // what the recording holds for the box
    bool Disqualified = false;
    bool Dead_Heat = false;  // marked as the second dog of a dead heat
};

// The summary.txt text: one line per dog, box order.
std::string Demo_Summary_Text(const std::vector<Demo_Dog>& dogs, const std::string& recording);

// The checks on the assigned times: every timed dog within one field period
// (20 ms) of its true crossing, the disqualified one with the DSQ code, the
// dead heat's second dog with its partner's time. The reasons, empty when all hold.
std::vector<std::string> Demo_Time_Faults(const std::vector<Demo_Dog>& dogs);

// Picks two dogs for the dead heat and one for the disqualification from the
// times they reached the line (ms, box order): the pair closest together
// (earlier one first), and the last finisher outside it. Returns
// {earlier, later, disqualified} as boxes 1..6.
std::array<int, 3> Demo_Pick_Specials(const std::array<double, 6>& crossing);

// Runs the demo; the exit status: 0 when every step worked and every time is
// right, 1 otherwise (the reasons on standard error).
int Run_Demo(const Demo_Options& options);
