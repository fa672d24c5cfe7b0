#pragma once
#include <cstdint>
#include <string>

// What Control Box inputs ask of the race workflow. The main window implements
// it; the panel calls it from the input-change handler.
class IControl_Box_Actions {
public:
    virtual ~IControl_Box_Actions() = default;
    // A start signal; stamp_mill is the PC clock when the input change entered
    // the program, to be used as the heat's zero time.
    virtual void Handle_Start(int32_t stamp_mill) = 0;
    virtual void Handle_Capture_Start() = 0;
    // Called once the last held capture input is let go (or the board went away).
    virtual void Handle_Capture_End() = 0;
    // After a fault in the input handler: stop the capture at once; the frames
    // that still arrive are ignored until the camera is started again.
    virtual void Stop_all_cams() = 0;
    // An input that starts or captures was already closed when the board
    // attached: when it closed is unknown, so nothing was started or opened
    // from it. why is the sentence for the official; it asks for the input
    // to be opened and given again.
    // Whether a heat is running now (a start is refused then).
    virtual bool Heat_Running() const { return false; }
    virtual void Input_Uncertain(int input, const std::string& why) {
        (void)input;
        (void)why;
    }
};
