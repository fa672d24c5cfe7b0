#pragma once
#include <string>

class QWidget;
class cls_VideoFile_handler;

// What the results window needs from the main window, which owns the open
// recording, the ranked array and the review slider.
class IResults_Host {
public:
    virtual ~IResults_Host() = default;
    virtual cls_VideoFile_handler* Review_Handler() = 0;  // the open recording's handler, nullptr when none is open
    virtual void GoTo_rank(int rank) = 0;                 // rank 1..6
    virtual void GoTo_Box(int rank) = 0;
    virtual void Goto_SplitTime(int rank) = 0;
    virtual void Clear_all_Results() = 0;     // read-only check, clear, write, Handle_results
    virtual void Display_Result_Array() = 0;  // refill the results window from the ranked array
    virtual void Reload_Result_Array() = 0;   // Load_Result_Array, Sort_Result_Array, Display_Result_Array
    virtual void Set_Print_Dog_Name(const std::string& name) = 0;  // queued for the next single-frame print
    virtual void Focus_Slider() = 0;                               // keyboard focus to the main window's slider
    virtual void Print_Results(QWidget& window) = 0;               // prints the results window
    // The heat's results changed ("time", "correction", "official", "cleared"): the live feed sends them.
    virtual void Results_Changed(const std::string& change) { (void)change; }
    // Progress of long work: caption and 0..100; a percent below 0 hides it.
    virtual void Show_Progress(const std::string& caption, int percent) {
        (void)caption;
        (void)percent;
    }
};
