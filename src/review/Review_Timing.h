#pragma once
#include <cstdint>
#include <string>

class cls_VideoFile_handler;

// Timing of the reviewed heat without windows: the elapsed heat time of a
// displayed position and the changes a time assignment makes to the header.
namespace Review_Timing {

// Elapsed heat time (ms) of a displayed sample: capture stamp minus the heat's
// start stamp (32-bit arithmetic: both come from the wrapping PC clock), plus
// 2, plus the field period for the second field of an interlaced frame
// (field_to_show 2), minus the goal compensation, rounded half to even.
int32_t Heat_Elapsed(int32_t capture_mill, int32_t start_mill, int16_t field_to_show, double goal_compensation,
                     int16_t field_period);
// The same for the position the handler prepared or drew last: its sample's
// stamp, the field it showed and the recording's own field period.
int32_t Position_Elapsed(const cls_VideoFile_handler& handler, int32_t start_mill, double goal_compensation);

// The code an armed "No Time" stores, from the caption of its button:
// "DNF" 888886, "DSQ" 888887, anything else ("No Rnk", "No Time") 888888.
int32_t No_Time_Code(const std::string& caption);

// One box click. position: the slider value shown; click_mill: the PC clock at
// the click; dead_heat: Dead heat armed; no_time_code: 0, or the code of an
// armed No Time. Split assignments store only the time and position.
struct Assignment {
    int16_t box = 1;
    int32_t time = 0;
    bool split = false;
    int32_t position = 0;
    int32_t click_mill = 0;
    bool dead_heat = false;
    int32_t no_time_code = 0;
};

// Stores the assignment in the header in memory only: the caller writes it
// (with the audit trail of an official heat) or puts the header back.
void Apply(cls_VideoFile_handler& handler, const Assignment& a);
// Apply, then the header written to the file, so the result is on disk when
// this returns. Raises when the header cannot be changed or written (a
// read-only recording included).
void Set_Time(cls_VideoFile_handler& handler, const Assignment& a);

// Erases the times, positions, click times, dead-heat marks and estimates of
// box records 1 to 8 (split positions stay), in memory only.
void Clear_All(cls_VideoFile_handler& handler);
// Clear_All, then the header written. Raises like Set_Time.
void Clear_All_Results(cls_VideoFile_handler& handler);

}  // namespace Review_Timing
