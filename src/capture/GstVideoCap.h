#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "capture/IVideoCap.h"

// One format a GStreamer source offers: its media type and the caps that ask
// the source for it.
struct Gst_Format {
    Media_Type Type;
    std::string Caps;
};

// A source GStreamer can film from: a capture device found by the device
// monitor, or a pipeline fragment (for example a live test pattern).
struct Gst_Source {
    std::string Friendly_Name;
    std::string Device_Path;
    std::string Description;
    std::shared_ptr<void> Device;  // the GstDevice (a reference is held), or empty
    std::string Launch;            // used when there is no device
    std::vector<Gst_Format> Formats;
};

// Capture devices through GStreamer: frames from an appsink as BGR, on the
// streaming thread stamped with the capture time of their buffer (for V4L2
// devices the kernel's capture time) turned into the PC clock, or with the
// arrival time when the buffer carries none. Frames are handed to the thread
// that created the object (queued) with that stamp. A busy receiving thread
// loses nothing while the frames waiting for it span at most
// Default_Queue_Mill and hold at most Default_Queue_Bytes; beyond that the
// oldest waiting frame is dropped and counted ("droppedFrames"). Frames past
// the first Pool_Held_Frames waiting are copied out of the source's buffers,
// so a device with few buffers never runs dry meanwhile.
class GstVideoCap : public IVideoCap {
public:
    static constexpr int32_t Default_Queue_Mill = 1500;
    static constexpr int64_t Default_Queue_Bytes = int64_t{768} * 1024 * 1024;
    static constexpr int Pool_Held_Frames = 3;
    // A buffer stamped longer ago than this is taken at its arrival time instead.
    static constexpr int32_t Longest_Pipe_Age_Mill = 2000;

    // Initialises GStreamer once; false (with the reason) when it cannot be.
    static bool Initialise(std::string* error = nullptr);
    // Elements the capture pipeline needs, and any others named, that this
    // GStreamer lacks (empty: none).
    static std::vector<std::string> Missing_Elements(const std::vector<std::string>& also = {});
    // The video capture devices the device monitor lists now.
    static std::vector<Gst_Source> Capture_Devices();
    // A source made from a pipeline fragment ("videotestsrc is-live=true"),
    // offering the given formats.
    static Gst_Source Launch_Source(const std::string& friendly_name, const std::string& launch,
                                    const std::vector<Media_Type>& formats);
    // The formats a device offering these caps (GStreamer's caps text) lists:
    // size, rate and scan ("interlace-mode") of each; empty for bad caps.
    static std::vector<Gst_Format> Formats_Of_Caps(const std::string& caps);
    // Caps text for a raw video format of that size and rate.
    static std::string Raw_Caps(const Media_Type& type);

    explicit GstVideoCap(std::vector<Gst_Source> sources);
    ~GstVideoCap() override;

    int32_t AdviseEvents(IVideoCapEvent* sink) override;
    void UnadviseEvents(int32_t cookie) override;
    bool SelectSource(const std::string& name) override;
    void SendCommand(const std::string& command, const std::string& argument) override;
    std::string QueryString(const std::string& name) override;
    Media_Type Query_Media_Type(int32_t index) override;
    Media_Type Query_Current_Media_Type() override;
    Stream_Header Query_Stream_Header() override;
    void StartStream() override;
    void StopStream() override;
    std::string LastErrorText() override;
    int32_t Source_Count() const override;

    // How much may wait for the receiving thread (at least one frame always may).
    void Queue_Limit(int32_t mill, int64_t bytes);
    int64_t Dropped_Frames() const;
    int64_t Frames_Delivered() const;
    bool Streaming() const;

    struct Impl;

private:
    std::unique_ptr<Impl> d_;
};
