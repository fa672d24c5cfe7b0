#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

class cls_VideoFile_handler;

// The reviewed heat's result, without windows: the six boxes read from the
// recording header, put in rank order, and the texts the results window, the
// printout and the clipboard export show for them.

// Codes stored in a box's time instead of milliseconds.
constexpr int32_t DNF_Code = 888886;      // did not finish
constexpr int32_t DSQ_Code = 888887;      // disqualified
constexpr int32_t No_Rank_Code = 888888;  // no rank
constexpr int32_t No_Time = 999999;       // a time of 0 in the header: not timed
// What a new header holds for a box nobody was named for: read as no name.
constexpr const char* Unnamed_Dog = "dog name";

struct Result_Record {
    int16_t Box = 0;
    int32_t Goal_Time = No_Time;
    int32_t Split_Time = No_Time;
    int32_t Click_Time = 0;  // PC milliseconds when the goal time was set
    std::string Dog_Name;
    bool Dead_Heat = false;
    std::optional<int32_t> Estimate;  // crossing estimated between two fields (ms), beside the goal time
};

using Result_Array_Type = std::array<Result_Record, 6>;

// What one row of the results shows.
struct Result_Row {
    int16_t Box = 0;
    std::string Rank;  // rank number, or "---" for a box without a real time
    bool Dead_Heat_Circle = false;
    std::string Name;
    std::string Time;      // race time with the box delay, "DNF", "DSQ", "No rank" or "---,---"
    std::string Split;     // race time with the box delay, "" (no split) or "---,---"
    std::string Estimate;  // "≈28,483" with the box delay when there is one and a goal time; else empty
};
using Result_Rows_Type = std::array<Result_Row, 6>;

namespace Module_Results {

// Boxes 1 to 6 from the open recording's header, a time of 0 becoming 999999
// and the unnamed header's "dog name" no name.
// False (reported) when the header could not be read; results then holds
// boxes 1 to 6 without times or names.
bool Load_Result_Array(cls_VideoFile_handler& handler, Result_Array_Type& results);

// Rank order: ascending goal time, equal goal times in click order (earlier
// first), records equal in both keep their order. The codes sort after every
// real time: DNF, DSQ, no rank, no time.
void Sort_Result_Array(Result_Array_Type& results);

// Rank of each position: a record without dead-heat mark gets its position, a
// marked one the rank of the nearest record above it without a mark (a mark on
// the first record, which has nobody to share with, keeps rank 1).
std::array<int16_t, 6> Rank_Numbers(const Result_Array_Type& results);

// The row texts of a ranked array; the box delay (ms) is added to shown times.
Result_Rows_Type Result_Rows(const Result_Array_Type& results, int32_t box_delay);

// "Box delay = 30ms"; empty when the delay is below 1 (the label is hidden).
std::string Box_Delay_Text(int32_t box_delay);

// The row's dog as a text export names it: its name, or "Box 3" for a dog without one.
std::string Shown_Name(const Result_Row& row);
// A row with a dog or a result of its own (not an empty, untimed box).
bool Has_Result(const Result_Row& row);
// One exported row: rank, TAB, name (Shown_Name), TAB, time, and TAB and the
// split when it is a time (neither "00,00", "---,---" nor empty). No line end.
std::string Export_Line(const Result_Row& row);
// The clipboard export: "Heat" + heat ID, CR LF, then each row with a dog or
// a result followed by CR LF.
std::string Export_Text(const std::string& heat_id, const Result_Rows_Type& rows);

}  // namespace Module_Results
