#pragma once
#include <cstdint>
#include <string>

// The capture component as the program sees it: one object selects a source,
// takes commands, answers queries and streams 24-bit frames to an advised sink.
// Backends: SimVideoCap (built-in simulated camera), GstVideoCap (capture
// devices through GStreamer) and CombinedVideoCap (both, real devices first).
//
// A failing operation raises HdxError (number Capture_Component_Error) with
// the component's text; the same text is then answered by LastErrorText.

constexpr int Capture_Component_Error = 1004;

// How a source's pictures are scanned: two fields a field period apart in
// every frame, or one exposure per frame. Unknown where the source does not say.
enum class Scan_Mode { Unknown, Interlaced, Progressive };

// The rates a source may run at: the capture controller measures and the
// recording takes only a rate in this range (pictures a second).
constexpr int32_t Min_Source_Fps = 24;
constexpr int32_t Max_Source_Fps = 240;

// One media type ("property") a source offers.
struct Media_Type {
    bool Has_Format = false;  // false: the type carries no format block (size and rate unknown)
    int32_t Width = 0;
    int32_t Height = 0;
    int64_t AvgTimePerFrame = 0;  // 100 ns units; 400000 is 25 frames/s
    Scan_Mode Scan = Scan_Mode::Unknown;
    bool operator==(const Media_Type&) const = default;
};

// The running stream's picture header.
struct Stream_Header {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Image_Size = 0;  // bytes of one frame
};

// When a frame entered the program. Mill is the frame's stamp on the PC clock,
// with one meaning for every backend: the capture device's own capture time
// where the backend has one (From_Device), otherwise the frame's arrival in the
// program. The goal and split compensations are the time from light at the
// lens to this stamp, measured with the start LED, so a stamp of either kind
// gives the same heat time. Local is milliseconds since local midnight at the
// same moment. Both are taken where the frame arrives, never where it is handled.
struct Frame_Stamp {
    int32_t Mill = 0;
    int32_t Local = 0;
    int32_t Arrival_Mill = 0;
    bool From_Device = false;
};

// Which stamps the frames of a camera run carried (Frame_Stamp::From_Device).
enum class Stamp_Kind { Unknown, Arrival, Device, Mixed };
// The word a recording keeps for it: "unknown", "arrival", "device", "mixed".
const char* Stamp_Kind_Word(Stamp_Kind kind);

// One delivered frame: 24-bit pixels (blue, green, red), rows Stride bytes
// apart, bottom row first when Bottom_Up. Valid only during the callback.
struct Video_Frame {
    const uint8_t* Pixels = nullptr;
    int32_t Length = 0;  // bytes at Pixels
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Stride = 0;
    bool Bottom_Up = true;
    Frame_Stamp Stamp;
};

class IVideoCap;

// The sink of an advised component. Callbacks arrive on the thread that created
// the component (the user-interface thread), one at a time.
class IVideoCapEvent {
public:
    virtual ~IVideoCapEvent() = default;
    virtual void OnDVEvent(IVideoCap& source, const Video_Frame& frame) = 0;
    virtual void OnRGBEvent(IVideoCap& source, const Video_Frame& frame) = 0;
    virtual void OnaudioEvent(IVideoCap& source, const Video_Frame& frame) = 0;
};

class IVideoCap {
public:
    virtual ~IVideoCap() = default;

    // Callbacks start; the cookie (never 0) is what UnadviseEvents takes.
    virtual int32_t AdviseEvents(IVideoCapEvent* sink) = 0;
    // No callback after return.
    virtual void UnadviseEvents(int32_t cookie) = 0;

    // name is "video:" plus the source number 1, 2, ...; false when that source
    // does not exist (the previous selection then stays).
    virtual bool SelectSource(const std::string& name) = 0;
    // "GetIntervals" "0"; "CaptureFps" "25" caps the rate at 25 frames/s;
    // "SetFormat" with a property number selects that media type.
    virtual void SendCommand(const std::string& command, const std::string& argument) = 0;
    // "sourceFriendlyName", "sourceDevicePath", "sourceDescription", "numprops",
    // "MaxInterval", "MinInterval" (100 ns units, after "GetIntervals"),
    // "buildNumber" / "BuildNumber", "droppedFrames" (frames dropped because the
    // receiving thread fell behind). Unknown names raise.
    virtual std::string QueryString(const std::string& name) = 0;
    // Media type number index of the selected source ("getAMT" + two digits).
    virtual Media_Type Query_Media_Type(int32_t index) = 0;
    // The media type now set ("GetProp").
    virtual Media_Type Query_Current_Media_Type() = 0;
    // The running stream's header ("VIDEOINFOHEADER").
    virtual Stream_Header Query_Stream_Header() = 0;

    // Frames flow until StopStream; no frame after StopStream returns.
    virtual void StartStream() = 0;
    virtual void StopStream() = 0;
    // Last failure text, empty if none.
    virtual std::string LastErrorText() = 0;

    // How many sources this object offers ("video:1" .. "video:" + count).
    virtual int32_t Source_Count() const = 0;
};
