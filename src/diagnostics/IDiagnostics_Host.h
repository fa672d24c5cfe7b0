#pragma once
#include <string>
#include <vector>

class cls_VideoFile_handler;
class IInterfaceKit;
class QWidget;
namespace Platform {
class PictureBox;
}

// What the diagnostic commands read of the main window, which owns the open
// recording, the review picture, the crop choice and the Control Box.
class IDiagnostics_Host {
public:
    virtual ~IDiagnostics_Host() = default;
    // The recording open for review; nullptr when none is open.
    virtual cls_VideoFile_handler* Review_Handler() = 0;
    // Picture_out as currently drawn.
    virtual Platform::PictureBox& Review_Picture() = 0;
    // The main window itself: its size for the picture size report, and the
    // owner of the debug and about windows.
    virtual QWidget& Main_Window() = 0;
    // The crop size in use, width and height in pixels.
    virtual int Crop_Width() = 0;
    virtual int Crop_Height() = 0;
    // The captions of the crop-size menu ("400*880", ...) in menu order.
    virtual std::vector<std::string> Crop_Size_Captions() = 0;
    // The Control Box object; nullptr when there is none.
    virtual IInterfaceKit* Control_Box() = 0;
};
