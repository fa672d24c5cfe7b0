#pragma once
#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "Sim_Race_Session.h"

// What a seeded meeting is made of, apart from running it: the programme, the
// operator and hardware events of each heat, the random numbers, and the
// ranking rule the results must follow.

// A small generator whose numbers are the same on every machine and compiler.
class Meeting_Random {
public:
    explicit Meeting_Random(uint64_t seed) : state_(seed) {}
    uint64_t Next();
    double Uniform(double low, double high);  // [low, high)
    int Between(int low, int high);           // [low, high]
    bool Chance(double p);

private:
    uint64_t state_;
};

enum class Meeting_Event {
    Review_By_Menu,          // the previous heat opened with "Open Houndex file" before initiating
    Review_By_Last_Heat,     // ... with "Open last heat"
    Late_Press,              // capture pressed after the first dog crossed
    Two_Windows,             // two capture windows in the heat
    Quick_Reopen,            // the second window opened within 300 ms of the end of the first
    Pointer_Slide_Off,       // the pointer slides off the held "Capture" button and back
    Box_Detach,              // the Control Box drops off the bus during a window and comes back
    Camera_Restart,          // camera stopped and started again before initiating
    Abort_Restart,           // the heat aborted after its start and started again
    Competitors_Correction,  // a dog's name corrected in the heat competitors window
    Results_Correction,      // a dog's or the heat's name corrected in the results window
    DNF,
    DSQ,
    No_Rank,
    Dead_Heat,
    Finish_By_Last_Heat,     // "Open last heat" while the heat runs finishes it
    Finish_While_Capturing,  // "Heat finish" while the capture trigger is still held
    Auto_Capture,            // automatic capture on for the heat
    Abort_With_Window,       // the heat aborted while a capture window is open, then started again
    Review_During_Heat,      // "Open Houndex file" (the previous heat) while the heat runs
    Failed_Append,           // the heat's file cannot be written when its last window ends
    Reattach_Start_Closed,   // the box comes back with the start line closed before the start
    Two_Triggers_Held,       // two capture triggers hold one window, let go one after the other
    Declare_Official,        // the heat declared official after its review
    Official_Correction,     // a declared heat re-timed with a reason (it goes into the trail)
    Count
};
const char* Meeting_Event_Name(Meeting_Event e);

enum class Start_Signal { Button, Direct_Line, Remote_Contact };

struct Meeting_Heat_Plan {
    int Heat = 1;
    std::set<Meeting_Event> Events;
    Start_Signal Start = Start_Signal::Button;
    bool Has(Meeting_Event e) const { return Events.count(e) != 0; }
};

// The events of every heat: each event in at least one heat when the meeting
// has room for it, a few more at random, none that cannot happen (no review
// before the first heat).
std::vector<Meeting_Heat_Plan> Plan_Meeting(uint64_t seed, int heats);

// The simulator's format (its property number) a meeting's camera films in:
// 1920*1080 at 25 interlaced, 50, 60 or 120 progressive frames a second, in
// turn by seed (seeds 1 to 20 race each at least four times).
int Meeting_Format(uint64_t seed);
// "1920*1080/25i", "1920*1080/120p".
std::string Sim_Format_Name(const Sim_Format& format);

// An event with `heats` heats, six differently named dogs in each.
Race_Programme Meeting_Programme(uint64_t seed, int heats);

// The programme as the racing office sends it: a CSV race card with a header
// line (race no, trap, greyhound, seeding, race name, distance), in
// Windows-1252 or in UTF-8 with a byte-order mark, and the programme as the
// import gives it to the event file (a seeded dog is named with its mark,
// "Rex (W)"). Bytes is empty when a name has no Windows-1252 character.
struct Meeting_Race_Card {
    std::string Bytes;
    std::string Encoding;  // "windows-1252" or "utf-8"
    Race_Programme Expected;
    int Dogs = 0;
};
Meeting_Race_Card Make_Race_Card(const Race_Programme& programme, bool windows_1252);

// One box as the results window ranks it.
struct Ranked_Entry {
    int Box = 0;
    int32_t Goal_Time = 0;  // the header's value: 0 no time, a time or a result code
    int32_t Click_Time = 0;
    bool Dead_Heat = false;
    std::string Rank;  // filled by Rank_Results: the rank number, or "---" without a time
};

// Ranks six boxes: ascending goal time (no time last), equal times in click
// order (across the PC clock's wrap), then box order; a dead-heat mark shares the rank of the nearest
// unmarked dog above.
std::vector<Ranked_Entry> Rank_Results(std::vector<Ranked_Entry> boxes);
