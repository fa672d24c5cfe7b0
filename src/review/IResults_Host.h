#pragma once
#include <cstdint>
#include <string>

#include "review/Heat_Result.h"

class QWidget;
class cls_VideoFile_handler;

// What the results window needs from the main window, which owns the review
// of the open recording (its one result and every change to it) and the slider.
class IResults_Host {
public:
    virtual ~IResults_Host() = default;
    virtual cls_VideoFile_handler* Review_Handler() = 0;  // the open recording's handler, nullptr when none is open
    virtual const Heat_Result* Reviewed_Result() = 0;     // its one result, nullptr when none is open
    virtual void GoTo_rank(int rank) = 0;                 // rank 1..6
    virtual void GoTo_Box(int rank) = 0;
    virtual void Goto_SplitTime(int rank) = 0;
    virtual void Clear_all_Results() = 0;  // read-only check, clear, write, show
    // Corrections: an official heat's needs a reason, asked here. True when
    // made; otherwise nothing changed and the official has been told why.
    virtual bool Correct_Name(Result_Name what, int16_t box, const std::string& value) = 0;
    virtual bool Correct_Box_Delay(int32_t ms) = 0;
    // Hashes the frames and the results and declares the heat official.
    virtual bool Declare_Official() = 0;
    virtual void Set_Print_Dog_Name(const std::string& name) = 0;  // queued for the next single-frame print
    virtual void Focus_Slider() = 0;                               // keyboard focus to the main window's slider
    virtual void Print_Results(QWidget& window) = 0;               // prints the results window
};
