#pragma once
#include <cstdint>
#include <string>

#include <QImage>

#include "review/Module_Results.h"

class cls_VideoFile_handler;
namespace Platform {
class PictureBox;
}

// What the goal photo printout needs from the main window, which owns the
// open recording, the review picture and the slider.
class IPrint_Host {
public:
    virtual ~IPrint_Host() = default;
    virtual cls_VideoFile_handler* Review_Handler() = 0;  // nullptr when no recording is open
    virtual Platform::PictureBox& Review_Picture() = 0;   // Picture_out as currently drawn
    virtual void Show_Position(int32_t position) = 0;     // slider to the frame position, display refreshed
    virtual std::string Event_Title() = 0;                // Label_event text
    virtual std::string Heat_Time_Text() = 0;             // Label_heat_time text
    virtual const Result_Array_Type& Ranked_Results() = 0;
    virtual int32_t Box_Delay() = 0;            // ms
    virtual std::string& Print_Dog_Name() = 0;  // m_Print_Dog_Name, the name queued for the next photo
    // The finish strip to print under a single-frame photo; none (null) unless the official asked for it.
    virtual QImage Finish_Strip_For_Print() { return {}; }
};
