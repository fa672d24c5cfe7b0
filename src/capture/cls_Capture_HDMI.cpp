#include "capture/cls_Capture_HDMI.h"
#include "recording/cls_VideoFile_handler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "capture/CVideobuff_RGB.h"
#include "capture/Capture_State.h"
#include "capture/CombinedVideoCap.h"
#include "capture/Module_HDMI_Support.h"
#include "capture/Running_Arm.h"
#include "capture/Stored_Frames.h"
#include "capture/Video_Cap_Factory.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/HdxError.h"
#include "platform/Picture_Canvas.h"
#include "settings/Module_Ini.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"

using Module_HDMI_Support::Round_Half_Even;

namespace {
constexpr int Rate_Window_Frames = 50;
constexpr int32_t Longest_Plain_Delta = 10000;
// The pre-trigger time N is chosen from at most.
constexpr int32_t Data_Area_Sample_Ms = 1000;
}  // namespace

cls_Capture_HDMI::cls_Capture_HDMI(std::unique_ptr<IVideoCap> component, QObject* parent)
    : QObject(parent), component_(std::move(component)) {
    Trace("*Cls_Capture_HDMI Initialize ");
    try {
        if (!component_) component_ = Create_Video_Cap();
        // Never left without a component: an empty one has no sources.
        if (!component_) component_ = std::make_unique<CombinedVideoCap>(std::vector<std::unique_ptr<IVideoCap>>{});
        m_Advise_Cookie = component_->AdviseEvents(this);
        m_LastError = component_->LastErrorText();
    } catch (const std::exception& e) {
        if (!component_) component_ = std::make_unique<CombinedVideoCap>(std::vector<std::unique_ptr<IVideoCap>>{});
        Report_Exception(e, "Class_Initialize of Class Module cls_Capture_HDMI");
    }
}

cls_Capture_HDMI::~cls_Capture_HDMI() {
    try {
        Trace("*cls_Capture_HDMI Class_Terminate begin, index = 0 ID_string = ");
        Stop_Capture();
        Trace("*Clear_Linear_Buffer");
        Stored_Frames.Clear();
        Trace("*cls_Capture,oCapture Unadvise");
        if (m_Advise_Cookie != 0) {
            component_->UnadviseEvents(m_Advise_Cookie);
            m_Advise_Cookie = 0;
        }
        component_.reset();
        Capture_State::Cls_Capture_Counter -= 1;
        Trace("*cls_Capture_HDMI Class_Terminate End Cls_Capture_Counter = " +
              std::to_string(Capture_State::Cls_Capture_Counter));
    } catch (const std::exception& e) {
        Report_Exception(e, "Class_Terminate of Class Module cls_Capture_HDMI");
    }
}

// ---------------------------------------------------------------- source set-up

bool cls_Capture_HDMI::Is_Simulated_Source() {
    // The built-in simulator names its device "sim:..."; a real device never does.
    try {
        return component_->QueryString("sourceDevicePath").rfind("sim:", 0) == 0;
    } catch (const std::exception&) {
        return false;
    }
}

bool cls_Capture_HDMI::Set_Source_from_Saved() {
    int32_t n = 0;
    std::string component_name;
    std::string saved_name;
    int line = 0;
    // Until a source is applied nothing may stream: a failed search leaves the
    // component on whichever source it probed last.
    m_No_Source = true;
    m_Simulated = false;
    try {
        Trace("*Set_Source_from_Saved, begin");
        line = 10;
        saved_name = Read_Ini("capturesettings", "friendlyname", Facts().Ini_file_path, "noname");
        std::string saved_prop = Read_Ini("capturesettings", "videoproperty", Facts().Ini_file_path, "-1");
        Capture_State::Saved_Friendly_Name = saved_name;
        Capture_State::Saved_Video_Prop_Num = saved_prop;
        Trace("*Set_Source_from_Saved: m_saved_Friendly_name = " + saved_name +
              "m_saved_Video_prop_num= " + saved_prop);

        bool found = false;
        bool real_camera = false;
        int32_t simulator = 0;
        for (n = 1; n <= 10; ++n) {
            line = 20;
            const bool exists = component_->SelectSource("video:" + std::to_string(n));
            m_LastError = component_->LastErrorText();
            if (!exists) break;
            line = 30;
            component_name = component_->QueryString("sourceFriendlyName");
            try {
                component_->QueryString("BuildNumber");
            } catch (...) {
                // Asked for the record only.
            }
            if (Is_Simulated_Source()) {
                if (simulator == 0) simulator = n;
            } else {
                real_camera = true;
            }
            if (component_name != saved_name) continue;
            found = true;
            break;
        }
        Trace("*Found_Friendly = " + Bool_Text(found));
        if (!found && saved_name == "noname" && !real_camera && simulator > 0) {
            // Nothing chosen yet on a machine without a camera: the built-in
            // simulator runs, marked as such, in its first format. It is not
            // saved, so a camera plugged in later is never passed over.
            n = simulator;
            line = 35;
            component_->SelectSource("video:" + std::to_string(n));
            component_name = component_->QueryString("sourceFriendlyName");
            saved_prop = "0";
            found = true;
            Trace("*No video source chosen and no camera found: the camera simulator is used");
        }
        if (!found) {
            Platform::MsgBox("Could not find the saved Video source! Please re-select Video source!");
            SourcePropFound_ = false;
            return false;
        }

        line = 40;
        Capture_State::Current_FriendlyName = component_name;
        component_->SendCommand("GetIntervals", "0");
        MaxInterval_ = component_->QueryString("MaxInterval");
        MinInterval_ = component_->QueryString("MinInterval");
        line = 50;
        m_Cap_25 = Limit_Fps_Query ? Limit_Fps_Query() : Saved_Limit_Fps();
        if (m_Cap_25) component_->SendCommand("CaptureFps", "25");
        line = 60;
        component_->SendCommand("SetFormat", saved_prop);
        line = 70;
        Capture_State::Current_PropertyString = Process_AMT(component_->Query_Current_Media_Type());
        Trace("*Sourcenum = " + std::to_string(n) + " Property = " + Capture_State::Current_PropertyString);
        SourcePropFound_ = true;
        m_No_Source = false;
        m_Simulated = Is_Simulated_Source();
        return true;
    } catch (const std::exception& e) {
        Report_Exception(e, "Set_Source_from_Saved of Function cls_Capture_HDMI", line,
                         std::to_string(n) + "/" + component_name + "/" + saved_name);
        return false;
    }
}

// ---------------------------------------------------------------- running

void cls_Capture_HDMI::MaxFrames(int32_t value) {
    try {
        Trace("*cls_Capture MaxFrames, index = 0 ID_string =  Maxframes = " + std::to_string(value));
        MaxFrames_ = value;
        Highest_Object_ = 0;
        num_Buffers_stored_ = 0;
    } catch (const std::exception& e) {
        Report_Exception(e, "maxframes of Class Module cls_Capture");
        m_Halted = true;
    }
}

void cls_Capture_HDMI::Capture_Run() {
    int line = 0;
    try {
        line = 10;
        if (m_No_Source) {
            // The saved source is missing: never another in its place.
            Trace("*Capture_Run refused: no video source chosen");
            return;
        }
        Trace("Capture_run begin Post-hit_frames = 0Max_frames = " + std::to_string(MaxFrames_));
        // A halt belonged to the run that had it: this start's frames are handled.
        m_Halted = false;
        Platform::Yield_Events();
        line = 20;
        try {
            Stored_Frames.Clear();
            m_Pre_Ring.clear();
        } catch (...) {
            Empty_Collection_Fault(__LINE__);
            m_Halted = true;
        }
        num_Buffers_stored_ = 0;
        line = 30;
        m_Arm_Count = 0.0f;
        Highest_Object_ = 0;
        HDMI_events_ = 0;
        m_Device_Stamps = 0;
        m_Arrival_Stamps = 0;
        m_Fps_Count = 0;
        m_Dropped = 0;
        m_Dropped_Known = true;
        m_Waiting_Said = false;
        try {
            m_Dropped_Base = std::stoll(component_->QueryString("droppedFrames"));
        } catch (...) {
            m_Dropped_Base = 0;
            m_Dropped_Known = false;
        }
        // The source's own rate holds from the first frame on; the measurement
        // confirms or corrects it after two windows.
        Running_Fps_ = Nominal_Fps();
        m_is_Running = true;
        line = 40;
        if (m_Advise_Cookie == 0) {
            m_Advise_Cookie = component_->AdviseEvents(this);
            m_LastError = component_->LastErrorText();
        }
        m_LastError = component_->LastErrorText();
        line = 50;
        component_->StartStream();
        m_LastError = component_->LastErrorText();
        Trace("*Capture_Run end ");
    } catch (const std::exception& e) {
        try {
            m_LastError = component_->LastErrorText();
        } catch (...) {
        }
        Platform::MsgBox("*Capture_run error at line " + std::to_string(line) + "\r\n" +
                         "Description = " + Exception_Description(e) + "\r\n" + " Last_error: " + m_LastError);
    }
}

void cls_Capture_HDMI::Stop_Capture() {
    try {
        if (m_is_Running) {
            Trace(" *cls_capture Stop, object =  0 source = 0");
            component_->StopStream();
            m_is_Running = false;
        } else {
            Trace(" *cls_capture m_is_Running = False  ID = ");
        }
    } catch (const std::exception& e) {
        Report_Exception(e, "Stop_Capture of Class Module cls_Capture_HDMI");
    }
}

// ---------------------------------------------------------------- storing

void cls_Capture_HDMI::Post_linear(bool on) {
    try {
        Trace("Post_linear " + Bool_Text(on));
        Post_linear_ = on;
    } catch (const std::exception& e) {
        Report_Exception(e, "Post_Linear of Class Module cls_Capture");
    }
}

std::unique_ptr<CVideobuff_RGB> cls_Capture_HDMI::Copy_Crop() {
    if (HDMI_events_ == 0) {
        Trace("m_HDMI_events = 0");
        return nullptr;
    }
    const uint8_t* bits = m_Crop_DIB.DIBSectionBitsPtr();
    if (!bits) {
        // Nothing was cropped yet: there is no picture to keep.
        Trace("*Store_HDMI_Buffer: no crop picture");
        return nullptr;
    }
    auto frame = std::make_unique<CVideobuff_RGB>();
    frame->Assign_RGB(bits, static_cast<size_t>(m_Crop_DIB.SizeImage()), m_Crop_DIB.SizeImage());
    // The raw delta: a stored frame keeps what the clock said.
    frame->PutTimestamp(last_Capture_mill_, last_Capture_local_, last_Capture_delta_);
    frame->Set_Sequence(++m_Sequence);
    return frame;
}

int32_t cls_Capture_HDMI::Window_Frame_Limit() const {
    int32_t limit = MaxFrames_ > 0 ? MaxFrames_ : 0;
    if (m_Window_Limit_MB > 0) {
        const int32_t n = m_Arrival.Active() ? m_Arrival.Settings().Data_Area : 0;
        const int64_t per_frame = n > 0 ? n : m_Crop_DIB.SizeImage();
        if (per_frame > 0) {
            const int64_t frames = std::max<int64_t>(1, int64_t{m_Window_Limit_MB} * 1048576 / per_frame);
            const int32_t by_memory = static_cast<int32_t>(std::min<int64_t>(frames, INT32_MAX));
            limit = limit > 0 ? std::min(limit, by_memory) : by_memory;
        }
    }
    return limit;
}

bool cls_Capture_HDMI::Window_Has_Room(int32_t limit) {
    if (limit <= 0 || Stored_Frames.Count() < limit) {
        m_Window_Full_Said = false;
        return true;
    }
    if (!m_Window_Full_Said) {
        m_Window_Full_Said = true;
        Trace("*Capture window full: " + std::to_string(Stored_Frames.Count()) + " frames kept (MaxFrames " +
              std::to_string(MaxFrames_) + ", limit " + std::to_string(m_Window_Limit_MB) +
              " MB); later frames of this window are not kept");
    }
    return false;
}

void cls_Capture_HDMI::Compress_On_Arrival(const Fit_Settings& settings) {
    m_Arrival.Configure(settings);
    // Ring frames compressed before N was known are fitted into it now.
    if (settings.Data_Area > 0)
        for (const std::shared_ptr<CVideobuff_RGB>& f : m_Pre_Ring) m_Arrival.Refit(f);
}

void cls_Capture_HDMI::Choose_Data_Area() {
    if (m_Pre_Ring.empty() || !m_Arrival.Active() || m_Arrival.Settings().Data_Area > 0) return;
    const std::vector<std::shared_ptr<CVideobuff_RGB>> ring(m_Pre_Ring.begin(), m_Pre_Ring.end());
    const int32_t n = m_Arrival.Choose_Data_Area(ring);
    if (n > 0)
        Trace("*JPEG data area chosen from " + std::to_string(ring.size()) +
              " pre-trigger frames: " + std::to_string(n) + " bytes");
}

void cls_Capture_HDMI::Store_HDMI_Buffer() {
    try {
        if (!Window_Has_Room(Window_Frame_Limit())) return;
        std::shared_ptr<CVideobuff_RGB> frame = Copy_Crop();
        if (!frame) return;
        if (!m_Arrival.Submit(frame) && !m_Waiting_Said) {
            m_Waiting_Said = true;
            Trace("*Compression behind: kept frames wait raw until the workers have room");
        }
        m_Arrival.Join_Window(frame);
        Stored_Frames.Add(std::move(frame));
        num_Buffers_stored_ += 1;
        Highest_Object_ += 1;
    } catch (const std::exception& e) {
        Report_Exception(e, "Store_HDMI_Buffer of Class Module cls_Capture_HDMI");
    }
}

void cls_Capture_HDMI::Pre_Trigger_ms(int32_t ms) {
    m_Pre_Trigger_ms = std::max(0, ms);
    if (m_Pre_Trigger_ms == 0) m_Pre_Ring.clear();
}

void cls_Capture_HDMI::Keep_Pre_Trigger() {
    if (m_Pre_Trigger_ms <= 0) return;
    try {
        std::shared_ptr<CVideobuff_RGB> frame = Copy_Crop();
        if (!frame) return;
        const int32_t newest = frame->Capture_Mill();
        if (!m_Arrival.Submit(frame) && !m_Waiting_Said) {
            m_Waiting_Said = true;
            Trace("*Compression behind: kept frames wait raw until the workers have room");
        }
        m_Pre_Ring.push_back(std::move(frame));
        while (!m_Pre_Ring.empty() &&
               Platform::Mill_Since(m_Pre_Ring.front()->Capture_Mill(), newest) > m_Pre_Trigger_ms)
            m_Pre_Ring.pop_front();
        // Once the ring spans its time (a long one: its first second), its
        // frames stand for the heat's pictures, and raw ones stop piling up.
        if (Platform::Mill_Since(m_Pre_Ring.front()->Capture_Mill(), newest) >=
            std::min(m_Pre_Trigger_ms, Data_Area_Sample_Ms))
            Choose_Data_Area();
    } catch (const std::exception& e) {
        Report_Exception(e, "Keep_Pre_Trigger of Class Module cls_Capture_HDMI");
    }
}

int32_t cls_Capture_HDMI::Take_Pre_Trigger(int32_t open_mill) {
    int32_t taken = 0;
    try {
        // A press before the ring was full: N from what it holds.
        Choose_Data_Area();
        std::vector<std::shared_ptr<CVideobuff_RGB>> joining;
        joining.reserve(m_Pre_Ring.size());
        const int32_t limit = Window_Frame_Limit();
        for (std::shared_ptr<CVideobuff_RGB>& frame : m_Pre_Ring) {
            const int32_t age = Platform::Mill_Since(frame->Capture_Mill(), open_mill);
            // A device stamp may lie a little after the press: the frame arrived before it all the same.
            if (age > m_Pre_Trigger_ms) continue;
            if (!Window_Has_Room(limit)) break;
            Stored_Frames.Add(frame);
            joining.push_back(std::move(frame));
            ++taken;
        }
        // Their records are written by the workers, never here: the press costs no disk time.
        m_Arrival.Join_Window(joining);
        m_Pre_Ring.clear();
        num_Buffers_stored_ += taken;
        Highest_Object_ += taken;
        Trace("*Pre-trigger frames taken into the window: " + std::to_string(taken));
    } catch (const std::exception& e) {
        m_Pre_Ring.clear();
        Report_Exception(e, "Take_Pre_Trigger of Class Module cls_Capture_HDMI");
    }
    return taken;
}

int32_t cls_Capture_HDMI::Buff_Num() {
    try {
        return Stored_Frames.Count();
    } catch (const std::exception& e) {
        Report_Exception(e, "Buff_num of Class Module cls_Capture");
        return 0;
    }
}

int32_t cls_Capture_HDMI::Effective_Video_Object(int32_t i) const {
    // Frames are kept in arrival order; no ring is kept, so the i-th stored frame is at i.
    return i;
}

// ---------------------------------------------------------------- measurements

float cls_Capture_HDMI::Measured_fps() {
    try {
        if (!m_131_Reached) return 0.0f;
        if (m_100_Mill == 0) throw HdxError(HdxErr::DivisionByZero, "Division by zero");
        return static_cast<float>(Round_Half_Even(100.0 / (static_cast<double>(m_100_Mill) / 1000.0)));
    } catch (const std::exception& e) {
        Report_Exception(e, "Measured_fps of Class Module cls_Capture_HDMI");
        return 0.0f;
    }
}

int16_t cls_Capture_HDMI::Running_Fps() const {
    return static_cast<int16_t>(Round_Half_Even(static_cast<double>(Running_Fps_)));
}

std::string cls_Capture_HDMI::HDMI_Sample_Dimensions() const {
    return std::to_string(m_Video_Width) + "*" + std::to_string(m_Video_Height);
}

std::string cls_Capture_HDMI::Current_FriendlyName() const { return Capture_State::Current_FriendlyName; }
std::string cls_Capture_HDMI::Current_PropertyString() const { return Capture_State::Current_PropertyString; }

int32_t cls_Capture_HDMI::last_Capture_delta() const {
    return last_Capture_delta_ < 0 || last_Capture_delta_ > Longest_Plain_Delta ? 0 : last_Capture_delta_;
}

// A rate the controller takes is one a recording keeps.
static_assert(Min_Source_Fps == cls_VideoFile_handler::Min_Recording_Fps &&
              Max_Source_Fps == cls_VideoFile_handler::Max_Recording_Fps);

bool cls_Capture_HDMI::Source_Rate(double fps) { return fps >= Min_Source_Fps && fps <= Max_Source_Fps; }

Scan_Mode cls_Capture_HDMI::Source_Scan() {
    try {
        return component_->Query_Current_Media_Type().Scan;
    } catch (const std::exception&) {
        return Scan_Mode::Unknown;  // nothing selected: the source cannot say
    }
}

bool cls_Capture_HDMI::Interlaced_Recording(Scan_Mode scan, int32_t running_fps) {
    if (scan != Scan_Mode::Unknown) return scan == Scan_Mode::Interlaced;
    // A source that does not say: the rule recordings were always marked by.
    return running_fps != 40;
}

float cls_Capture_HDMI::Nominal_Fps() {
    try {
        const Media_Type type = component_->Query_Current_Media_Type();
        if (!type.Has_Format || type.AvgTimePerFrame <= 0) return 0.0f;
        double fps = 1.0e7 / static_cast<double>(type.AvgTimePerFrame);
        if (m_Cap_25 && fps > 25.0) fps = 25.0;
        fps = Round_Half_Even(fps);
        // The same range a measured rate must fall in.
        return Source_Rate(fps) ? static_cast<float>(fps) : 0.0f;
    } catch (const std::exception&) {
        return 0.0f;  // a source that cannot say: the measurement will
    }
}

void cls_Capture_HDMI::Rate_Window(int32_t mill) {
    m_Fps_Now_Mill = mill;
    const int32_t elapsed = Platform::Mill_Since(m_Fps_Ref_Mill, m_Fps_Now_Mill);
    if (elapsed <= 0) {
        // Retried with the next frame, unless there is no reference yet: then
        // this window only sets one (a clock reading below 0 would otherwise
        // never give a positive window).
        if (m_Fps_Ref_Set) return;
    } else {
        const double v = Round_Half_Even(50000.0 / static_cast<double>(elapsed));
        if (Source_Rate(v)) Running_Fps_ = static_cast<float>(v);
    }
    m_Fps_Ref_Mill = m_Fps_Now_Mill;
    m_Fps_Ref_Set = true;
    m_Fps_Count = 0;
}

// ---------------------------------------------------------------- frame callback

void cls_Capture_HDMI::OnDVEvent(IVideoCap&, const Video_Frame&) {}
void cls_Capture_HDMI::OnaudioEvent(IVideoCap&, const Video_Frame&) {}

void cls_Capture_HDMI::OnRGBEvent(IVideoCap&, const Video_Frame& frame) {
    const int32_t mill = frame.Stamp.Mill;
    last_Capture_mill_ = mill;
    last_Capture_local_ = frame.Stamp.Local;
    last_Capture_delta_ = Platform::Mill_Since(m_Prev_Mill, mill);
    m_Prev_Mill = mill;
    ++(frame.Stamp.From_Device ? m_Device_Stamps : m_Arrival_Stamps);

    HDMI_events_ += 1;
    if (m_Dropped_Known) Check_Dropped();
    m_Fps_Count += 1;
    if (m_Fps_Count >= Rate_Window_Frames) Rate_Window(mill);

    if (HDMI_events_ == 21) {
        m_Mill_21 = mill;
    } else if (HDMI_events_ == 31) {
        m_Mill_31 = mill;
        m_10_Mill = Platform::Mill_Since(m_Mill_21, m_Mill_31);
    } else if (HDMI_events_ == 131) {
        m_Mill_131 = mill;
        m_100_Mill = Platform::Mill_Since(m_Mill_31, m_Mill_131);
        m_131_Reached = true;
    }

    m_Arm_Count += 1.0f;
    if (m_Arm_Count > 100.0f) m_Arm_Count = 1.0f;

    if (!m_Header_Read) {
        const Stream_Header h = component_->Query_Stream_Header();
        m_Video_Width = h.Width;
        m_Video_Height = h.Height;
        m_Header_Read = true;
    }

    if (Do_CROP_) Crop_RGB_picture(frame, RGB_width_, RGB_height_);

    emit HDMIreceived();
}

// ---------------------------------------------------------------- crop and preview

int16_t cls_Capture_HDMI::Crop_Offset(int32_t source_size, int32_t crop_size) {
    const double v = Round_Half_Even(source_size / 2.0 - crop_size / 2.0);
    return static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
}

void cls_Capture_HDMI::set_HDMI_Crop(int16_t width, int16_t height) {
    try {
        Trace("*HDMI_Crop X,Y = " + std::to_string(width) + "," + std::to_string(height));
        RGB_width_ = width;
        RGB_height_ = height;
        if (!m_Crop_DIB.Create(width, height))
            throw HdxError(HdxErr::InvalidProcedureCall,
                           "No crop picture of " + std::to_string(width) + " x " + std::to_string(height));
    } catch (const std::exception& e) {
        Report_Exception(e, "set_HDMI_Crop of Class Module cls_Capture_HDMI");
    }
}

void cls_Capture_HDMI::Check_Dropped() {
    int64_t count = 0;
    try {
        count = std::stoll(component_->QueryString("droppedFrames")) - m_Dropped_Base;
    } catch (...) {
        m_Dropped_Known = false;  // a component that cannot say is not asked again this run
        return;
    }
    if (count <= m_Dropped) return;
    // Appended piece by piece: a one-character literal + string upsets the optimiser's overlap check.
    std::string text = "*";
    text += std::to_string(count - m_Dropped);
    text += " frames dropped by the camera backend";
    Trace(text);
    m_Dropped = count;
    emit Frames_Dropped(m_Dropped);
}

void cls_Capture_HDMI::Halt_Capture() {
    m_Halted = true;
    emit Stop_All_Cams_Requested();
}

void cls_Capture_HDMI::Crop_RGB_picture(const Video_Frame& frame, int16_t crop_width, int16_t crop_height) {
    try {
        const int16_t x_offset = Crop_Offset(frame.Width, crop_width);
        const int16_t y_offset = Crop_Offset(frame.Height, crop_height);
        if (m_Crop_DIB.Width() != crop_width || !m_Crop_DIB.DIBSectionBitsPtr()) {
            if (!m_Crop_DIB.Create(crop_width, crop_height)) {
                if (m_Halted) return;  // already stopped for this
                Halt_Capture();
                throw HdxError(HdxErr::InvalidProcedureCall, "No crop picture of " + std::to_string(crop_width) +
                                                                 " x " + std::to_string(crop_height));
            }
        }
        // The frame must hold every row its size claims; otherwise nothing is copied.
        const int64_t row_bytes = static_cast<int64_t>(frame.Width) * 3;
        const bool sound =
            frame.Pixels && frame.Width > 0 && frame.Height > 0 && frame.Stride >= row_bytes &&
            static_cast<int64_t>(frame.Length) >= static_cast<int64_t>(frame.Stride) * (frame.Height - 1) + row_bytes;
        if (!sound) {
            if (m_Halted) return;
            Halt_Capture();
            throw HdxError(HdxErr::SubscriptOutOfRange, "The frame holds " + std::to_string(frame.Length) +
                                                            " bytes, too few for " + std::to_string(frame.Width) +
                                                            " x " + std::to_string(frame.Height) + "; capture halted");
        }

        // A one-to-one copy of the centre window, row by row; parts of the
        // window outside the frame stay black.
        const int32_t cw = m_Crop_DIB.Width();
        const int32_t ch = m_Crop_DIB.Height();
        const int32_t x0 = std::max<int32_t>(0, x_offset);
        const int32_t x1 = std::min<int32_t>(frame.Width, x_offset + cw);
        const bool full_width = x_offset >= 0 && x1 - x0 == cw;
        for (int32_t y = 0; y < ch; ++y) {
            uint8_t* dst = m_Crop_DIB.Scan_Line(y);
            const int32_t src_row = y_offset + y;
            if (src_row < 0 || src_row >= frame.Height || x1 <= x0) {
                std::memset(dst, 0, static_cast<size_t>(cw) * 3);
                continue;
            }
            const int32_t memory_row = frame.Bottom_Up ? frame.Height - 1 - src_row : src_row;
            const uint8_t* src = frame.Pixels + static_cast<size_t>(memory_row) * static_cast<size_t>(frame.Stride);
            if (!full_width) std::memset(dst, 0, static_cast<size_t>(cw) * 3);
            std::memcpy(dst + static_cast<size_t>(x0 - x_offset) * 3, src + static_cast<size_t>(x0) * 3,
                        static_cast<size_t>(x1 - x0) * 3);
        }
    } catch (const std::exception& e) {
        Report_Exception(e, "Crop_RGB_picture of Class Module cls_Capture_HDMI");
    }
}

void cls_Capture_HDMI::Draw_Cropped_DIB(Platform::Picture_Canvas& picture) {
    if (!m_Crop_DIB.DIBSectionBitsPtr()) return;  // nothing cropped yet
    const int32_t w = static_cast<int32_t>(Round_Half_Even(picture.To_Pixel_X(picture.Scale_Width())));
    const int32_t h = static_cast<int32_t>(Round_Half_Even(picture.To_Pixel_Y(picture.Scale_Height())));
    m_Crop_DIB.DIB_PaintPicture(picture, 0, 0, w, h, 0, 0, SRCCOPY);
    if (m_Simulated) Mark_Simulated(picture);
}

void cls_Capture_HDMI::Mark_Simulated(Platform::Picture_Canvas& picture) {
    // Drawn over the preview only, so that nobody mistakes the simulator for the camera.
    const QFont font = picture.Font();
    const QColor colour = picture.Fore_Color();
    const double x = picture.Current_X, y = picture.Current_Y;
    QFont mark(QStringLiteral("Arial"), 9, QFont::Bold);
    picture.Set_Font(mark);
    const QString text = QStringLiteral("SIMULATED CAMERA");
    const double margin = picture.From_Pixel_X(3);
    picture.Box(0, 0, picture.Text_Width(text) + 2 * margin, picture.Text_Height(text) + picture.From_Pixel_Y(4),
                QColor(0, 0, 0), true);
    picture.Set_Fore_Color(QColor(255, 255, 0));
    picture.Current_X = margin;
    picture.Current_Y = picture.From_Pixel_Y(2);
    picture.Print(text);
    picture.Set_Font(font);
    picture.Set_Fore_Color(colour);
    picture.Current_X = x;
    picture.Current_Y = y;
}

void cls_Capture_HDMI::Draw_Running_Arm_2(Platform::Picture_Canvas& picture, uint32_t bgr_colour) {
    try {
        Running_Arm::Draw(picture, Running_Arm::Angle(m_Arm_Count, 100.0), bgr_colour);
    } catch (const std::exception& e) {
        Report_Exception(e, "Draw_running_arm_2 of CLS_CAPTURE");
    }
}

Stamp_Kind cls_Capture_HDMI::Frame_Stamp_Kind() const {
    if (m_Device_Stamps > 0 && m_Arrival_Stamps > 0) return Stamp_Kind::Mixed;
    if (m_Device_Stamps > 0) return Stamp_Kind::Device;
    if (m_Arrival_Stamps > 0) return Stamp_Kind::Arrival;
    return Stamp_Kind::Unknown;
}

const char* Stamp_Kind_Word(Stamp_Kind kind) {
    switch (kind) {
        case Stamp_Kind::Arrival: return "arrival";
        case Stamp_Kind::Device: return "device";
        case Stamp_Kind::Mixed: return "mixed";
        case Stamp_Kind::Unknown: break;
    }
    return "unknown";
}
