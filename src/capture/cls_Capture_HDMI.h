#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include <QObject>

#include "capture/Arrival_Compressor.h"
#include "capture/Auto_Trigger.h"
#include "capture/CVideobuff_RGB.h"
#include "capture/IVideoCap.h"
#include "recording/cDIBSection.h"

namespace Platform {
class Picture_Canvas;
}

// The capture controller: binds one capture component to the program. It
// applies the saved video source, stamps every frame, measures the frame rate,
// crops the centre window of each frame into the crop bitmap and raises
// HDMIreceived once per frame; on request it keeps the current crop picture in
// Stored_Frames.
//
// Frames reach it on the user-interface thread carrying the stamp taken where
// they entered the program, and every time it keeps comes from that stamp.
class cls_Capture_HDMI : public QObject, public IVideoCapEvent {
    Q_OBJECT
public:
    // component: the capture object to drive; nullptr takes one from Create_Video_Cap().
    explicit cls_Capture_HDMI(std::unique_ptr<IVideoCap> component = nullptr, QObject* parent = nullptr);
    ~cls_Capture_HDMI() override;

    // Source set-up
    bool SourcePropFound() const { return SourcePropFound_; }
    // Applies the saved source and format. When the saved source is not there
    // (unplugged, renamed) nothing is applied and the camera does not start
    // (Capture_Run refuses) until a search succeeds. With nothing saved on a
    // machine whose only source is the built-in simulator, the simulator is
    // used (not saved).
    bool Set_Source_from_Saved();
    // The source applied is the built-in camera simulator: the live preview says so.
    bool Simulated() const { return m_Simulated; }
    // Whether to cap the source at 25 frames/s; unset reads the saved state of
    // "Limit capture to 25 fps" in the source selection window (Saved_Limit_Fps).
    std::function<bool()> Limit_Fps_Query;

    // Crop
    void set_HDMI_Crop(int16_t width, int16_t height);
    void Do_CROP(bool on) { Do_CROP_ = on; }
    bool Do_CROP() const { return Do_CROP_; }
    int16_t RGB_width() const { return RGB_width_; }
    int16_t RGB_height() const { return RGB_height_; }
    const cDIBSection& Crop_DIB() const { return m_Crop_DIB; }

    // Running
    // A capture window holding MaxFrames frames keeps no more (said once in
    // the trace); 0 = no limit.
    void MaxFrames(int32_t value);
    int32_t MaxFrames() const { return MaxFrames_; }
    // The memory a window's frames may hold, in MB (0 = no limit): a frame
    // counts as the recording's data area N once N is known (it is then
    // fitted and keeps its compressed picture only), else as its raw picture.
    void Window_Limit_MB(int32_t mb) { m_Window_Limit_MB = mb < 0 ? 0 : mb; }
    int32_t Window_Limit_MB() const { return m_Window_Limit_MB; }
    // The frames a window keeps at most under both limits now (0 = no limit).
    int32_t Window_Frame_Limit() const;
    // A new start: lifts a halt left by an earlier run.
    void Capture_Run();
    // After a fault: the frames that still arrive are ignored (Halted) until
    // the next Capture_Run.
    void Halt() { m_Halted = true; }
    bool Halted() const { return m_Halted; }
    void Stop_Capture();
    bool Running() const { return m_is_Running; }
    // Frames the capture component dropped since the latest Capture_Run
    // because they could not be handed over in time; each new drop is traced
    // and signalled (Frames_Dropped).
    int64_t Dropped_Frames() const { return m_Dropped; }
    std::string Last_Error() const { return m_LastError; }

    // Storing
    void Post_linear(bool on);
    bool Post_linear() const { return Post_linear_; }
    void Store_HDMI_Buffer();
    int32_t Buff_Num();
    int32_t Effective_Video_Object(int32_t i) const;
    int32_t num_Buffers_stored() const { return num_Buffers_stored_; }
    int32_t Highest_Object() const { return Highest_Object_; }

    // Pre-trigger: outside a window the crop pictures of the last
    // Pre_Trigger_ms are kept in a ring, so a window opened late still holds
    // the moments before its trigger. 0 = off.
    void Pre_Trigger_ms(int32_t ms);
    int32_t Pre_Trigger_ms() const { return m_Pre_Trigger_ms; }
    // Keeps the current crop picture in the ring (nothing when pre-trigger is off).
    void Keep_Pre_Trigger();
    // A window opens at open_mill: the ring's frames of the last Pre_Trigger_ms
    // before it join Stored_Frames first, in arrival order, and leave the ring,
    // so no frame is ever kept twice. Returns how many joined.
    int32_t Take_Pre_Trigger(int32_t open_mill);
    void Clear_Pre_Trigger() { m_Pre_Ring.clear(); }
    int32_t Pre_Trigger_Count() const { return static_cast<int32_t>(m_Pre_Ring.size()); }

    // Kept frames (window and ring) are compressed as they arrive, for the
    // recording these settings describe (the writer's); a width of 0 keeps
    // them raw. Finish_Arrival waits until every kept frame is compressed:
    // the writer reads them only after it.
    // While the recording's data area N is not chosen (its first window), it
    // is chosen from the pre-trigger ring by the writer's own rule as soon as
    // the ring spans Pre_Trigger_ms, 1 s at most (or at the press), so every kept frame is
    // fitted and drops its raw picture from the first window on; the writer
    // takes that N from the frames. Settings carrying an N (the caller's, from
    // an earlier heat) fit the ring's frames into it at once.
    void Compress_On_Arrival(const Fit_Settings& settings);
    // The N kept frames are fitted into; 0 while none is chosen.
    int32_t Data_Area() const { return m_Arrival.Settings().Data_Area; }
    void Finish_Arrival() { m_Arrival.Drain(); }
    Arrival_Compressor& Arrival() { return m_Arrival; }
    // The open window's frames (the pre-trigger ones it takes included) go
    // to this journal as they are compressed; End_Journal waits for them.
    void Journal_Window(std::shared_ptr<Frame_Journal> journal) { m_Arrival.Start_Journal(std::move(journal)); }
    std::shared_ptr<Frame_Journal> End_Journal() { return m_Arrival.Stop_Journal(); }
    // Automatic capture's watch on the goal line of the crop picture.
    Auto_Trigger& Auto() { return m_Auto; }

    // Measurements
    float Measured_fps();
    // The source's nominal rate from the stream start, the measured one as
    // soon as it is known; 0 while neither is.
    int16_t Running_Fps() const;
    int32_t HDMI_10_mill() const { return m_10_Mill; }
    // A rate (pictures a second) the controller takes as the source's:
    // Min_Source_Fps to Max_Source_Fps.
    static bool Source_Rate(double fps);
    // How the selected format is scanned, as the capture component reports it.
    Scan_Mode Source_Scan();
    // Whether a recording of this source is marked interlaced: as the source
    // says; where it does not, every rate but 40 frames a second.
    static bool Interlaced_Recording(Scan_Mode scan, int32_t running_fps);
    bool Interlaced_Recording() { return Interlaced_Recording(Source_Scan(), Running_Fps()); }
    std::string HDMI_Sample_Dimensions() const;
    int32_t HDMI_events() const { return HDMI_events_; }
    float Arm_Count() const { return m_Arm_Count; }
    std::string Current_FriendlyName() const;
    std::string Current_PropertyString() const;
    std::string MaxInterval() const { return MaxInterval_; }
    std::string MinInterval() const { return MinInterval_; }
    int32_t last_Capture_mill() const { return last_Capture_mill_; }
    int32_t last_Capture_local() const { return last_Capture_local_; }
    // 0 when the raw delta is below 0 or above 10000 (first frame, long gaps).
    int32_t last_Capture_delta() const;
    // Which stamps the frames since the last Capture_Run carried.
    Stamp_Kind Frame_Stamp_Kind() const;
    int32_t Video_Width() const { return m_Video_Width; }
    int32_t Video_Height() const { return m_Video_Height; }

    // Live preview and running arm. A simulated source is marked on the preview
    // (never in the crop picture that is recorded).
    void Draw_Cropped_DIB(Platform::Picture_Canvas& picture);
    void Draw_Running_Arm_2(Platform::Picture_Canvas& picture, uint32_t bgr_colour);

    IVideoCap& Component() { return *component_; }

    // IVideoCapEvent
    void OnDVEvent(IVideoCap& source, const Video_Frame& frame) override;
    void OnRGBEvent(IVideoCap& source, const Video_Frame& frame) override;
    void OnaudioEvent(IVideoCap& source, const Video_Frame& frame) override;

    // Centre window offsets of a crop inside a source (half to even, as 16-bit).
    static int16_t Crop_Offset(int32_t source_size, int32_t crop_size);

signals:
    // Once per frame, at the end of the callback; handlers run before it returns.
    void HDMIreceived();
    // The component dropped frames: total is Dropped_Frames().
    void Frames_Dropped(qint64 total);
    // The crop could not be made: the workflow stops every camera.
    void Stop_All_Cams_Requested();

private:
    void Rate_Window(int32_t mill);
    // The selected format's rate (capped at 25 when asked), 0 when the source gives none.
    float Nominal_Fps();
    void Crop_RGB_picture(const Video_Frame& frame, int16_t crop_width, int16_t crop_height);
    void Halt_Capture();
    void Check_Dropped();
    // Whether the window may keep one more frame; says once when it may not.
    bool Window_Has_Room(int32_t limit);
    void Choose_Data_Area();
    std::unique_ptr<CVideobuff_RGB> Copy_Crop();
    bool Is_Simulated_Source();
    void Mark_Simulated(Platform::Picture_Canvas& picture);

    std::unique_ptr<IVideoCap> component_;
    int32_t m_Advise_Cookie = 0;
    bool m_is_Running = false;
    bool m_Halted = false;
    std::string m_LastError;
    bool SourcePropFound_ = false;
    bool m_No_Source = false;  // the last source search failed: nothing may stream
    bool m_Simulated = false;
    bool m_Cap_25 = false;
    std::string MaxInterval_;
    std::string MinInterval_;

    int32_t HDMI_events_ = 0;
    int32_t m_Fps_Count = 0;
    int32_t m_Fps_Ref_Mill = 0;
    bool m_Fps_Ref_Set = false;
    int32_t m_Fps_Now_Mill = 0;
    float Running_Fps_ = 0.0f;
    int32_t m_Mill_21 = 0;
    int32_t m_Mill_31 = 0;
    int32_t m_Mill_131 = 0;
    int32_t m_10_Mill = 0;   // m_Mill_31 - m_Mill_21 of the latest run that reached 31
    int32_t m_100_Mill = 0;  // m_Mill_131 - m_Mill_31 of the latest run that reached 131
    bool m_131_Reached = false;
    float m_Arm_Count = 0.0f;
    int32_t last_Capture_mill_ = 0;
    int32_t last_Capture_local_ = 0;
    int32_t last_Capture_delta_ = 0;
    int32_t m_Prev_Mill = 0;
    int64_t m_Device_Stamps = 0;   // frames of this run stamped by the device
    int64_t m_Arrival_Stamps = 0;  // frames of this run stamped on arrival
    int32_t m_Video_Width = 0;
    int32_t m_Video_Height = 0;
    bool m_Header_Read = false;

    bool Do_CROP_ = false;
    int16_t RGB_width_ = 0;
    int16_t RGB_height_ = 0;
    cDIBSection m_Crop_DIB;

    bool Post_linear_ = false;
    int32_t m_Pre_Trigger_ms = 0;
    std::deque<std::shared_ptr<CVideobuff_RGB>> m_Pre_Ring;
    Arrival_Compressor m_Arrival;
    int64_t m_Sequence = 0;
    Auto_Trigger m_Auto;
    int32_t MaxFrames_ = 0;
    int32_t m_Window_Limit_MB = 0;
    bool m_Window_Full_Said = false;
    bool m_Waiting_Said = false;  // the compression queue was full
    int64_t m_Dropped = 0;
    int64_t m_Dropped_Base = 0;   // the component's count at Capture_Run
    bool m_Dropped_Known = true;  // false: the component cannot say
    int32_t num_Buffers_stored_ = 0;
    int32_t Highest_Object_ = 0;
};
