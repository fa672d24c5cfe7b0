#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "review/Module_Results.h"
#include "review/Official_Record.h"

class cls_VideoFile_handler;

// The names of a heat an official can correct.
enum class Result_Name { Event, Heat, Dog };

// The reviewed heat's one result: read from its recording once per change,
// ranked once, and read as it is by every output (results window, goal photo,
// exports, clipboard, feed), so none of them can show another.
struct Heat_Result {
    std::string File;
    std::string Event, Heat_ID, Heat_Name, Started;
    Result_Array_Type Ranked;  // rank order, estimates included
    Result_Rows_Type Rows;     // what each rank shows, the heat's box delay added
    int32_t Box_Delay = 0;     // the heat's own, as its recording holds it
    Official_Record::Declaration Declaration;
    std::vector<Official_Record::Change> Trail;
    std::string Trail_Problem;  // why the trail cannot be read; empty when it can (or there is none)

    // "provisional", "official", or "amended" (official, changed since).
    std::string Status() const;
};

namespace Heat_Results {

// The result of the open recording; six boxes without times (reported) when
// its header's results cannot be read.
Heat_Result Read(cls_VideoFile_handler& handler);

// The box delay a recording was made with: 0 when it holds none, or not a
// whole number of ms within a minute either way.
int32_t Recorded_Box_Delay(cls_VideoFile_handler& handler);

}  // namespace Heat_Results
