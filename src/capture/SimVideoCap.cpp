#include "capture/SimVideoCap.h"
#include "common/Text.h"

#include "capture/CombinedVideoCap.h"

#include <cstdio>
#include <cstring>

#include <QTimer>

#include "platform/Clock.h"
#include "platform/Error_Entry.h"
#include "platform/HdxError.h"
#include "recording/cDIBSection.h"
#include "common/Module_dependant.h"

namespace {

int64_t Interval_Of(const Sim_Format& f) { return f.Fps > 0 ? 10000000 / f.Fps : 0; }

std::string Clock_Text(int32_t local_mill) {
    char buf[32];
    const int32_t ms = local_mill < 0 ? 0 : local_mill;
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d,%03d", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    return buf;
}

bool Parse_Int(const std::string& text, int32_t& out) {
    int64_t v = 0;
    if (!Whole_Number_In(text, INT32_MIN, INT32_MAX, v)) return false;
    out = static_cast<int32_t>(v);
    return true;
}

}  // namespace

std::vector<Sim_Format> SimVideoCap::Default_Formats() {
    // Appended only: a saved property number keeps naming the same format.
    return {{1920, 1080, 25, true},
            {1920, 1080, 50, false},
            {720, 576, 25, true},
            {1920, 1080, 60, false},
            {1920, 1080, 120, false}};
}

bool SimVideoCap::Is_Simulated(IVideoCap& component) {
    try {
        return component.QueryString("sourceDevicePath").rfind("sim:", 0) == 0;
    } catch (const std::exception&) {
        return false;  // nothing selected yet
    }
}

SimVideoCap::SimVideoCap(Sim_Pacing pacing, std::string friendly_name, std::vector<Sim_Format> formats)
    : friendly_name_(std::move(friendly_name)), formats_(std::move(formats)), pacing_(pacing) {}

const Sim_Format& SimVideoCap::Current_Format() const {
    // A camera without formats films nothing (StartStream refuses it).
    static const Sim_Format none{0, 0, 0, false};
    return formats_.empty() ? none : formats_[static_cast<size_t>(format_index_)];
}

SimVideoCap::~SimVideoCap() {
    streaming_ = false;
    context_.reset();  // drops deliveries still posted
}

void SimVideoCap::Fail(const std::string& text) {
    last_error_ = text;
    throw HdxError(Capture_Component_Error, text);
}

int32_t SimVideoCap::AdviseEvents(IVideoCapEvent* sink) {
    if (!sink) Fail("AdviseEvents: no sink");
    sink_ = sink;
    cookie_ = next_cookie_++;
    return cookie_;
}

void SimVideoCap::UnadviseEvents(int32_t cookie) {
    if (cookie != 0 && cookie == cookie_) {
        sink_ = nullptr;
        cookie_ = 0;
    }
}

bool SimVideoCap::SelectSource(const std::string& name) {
    if (name != "video:1") return false;
    source_selected_ = true;
    return true;
}

void SimVideoCap::SendCommand(const std::string& command, const std::string& argument) {
    last_error_.clear();
    if (command == "GetIntervals") {
        int64_t longest = 0, shortest = 0;
        for (const auto& f : formats_) {
            const int64_t i = Interval_Of(f);
            if (i <= 0) continue;
            if (longest == 0 || i > longest) longest = i;
            if (shortest == 0 || i < shortest) shortest = i;
        }
        max_interval_ = std::to_string(longest);
        min_interval_ = std::to_string(shortest);
    } else if (command == "CaptureFps") {
        int32_t fps = 0;
        if (!Parse_Int(argument, fps) || fps < 0) Fail("CaptureFps: bad rate \"" + argument + "\"");
        // Only a cap of 25 is offered; any other value lifts the cap.
        cap_25_ = fps == 25;
        if (timer_ && streaming_) timer_->setInterval(Frame_Period_Mill());
    } else if (command == "SetFormat") {
        int32_t index = -1;
        if (!Parse_Int(argument, index) || index < 0 || index >= static_cast<int32_t>(formats_.size()))
            Fail("SetFormat: no property \"" + argument + "\"");
        if (streaming_) Fail("SetFormat: the stream is running");
        format_index_ = index;
    } else {
        Fail("Unknown command \"" + command + "\"");
    }
}

std::string SimVideoCap::QueryString(const std::string& name) {
    if (name == "sourceFriendlyName") return friendly_name_;
    if (name == "sourceDevicePath") return "sim:" + friendly_name_;
    if (name == "sourceDescription") return "Simulated finish camera";
    if (name == "numprops") return std::to_string(formats_.size());
    if (name == "MaxInterval") return max_interval_;
    if (name == "MinInterval") return min_interval_;
    if (name == "buildNumber" || name == "BuildNumber") return "camera simulator 1.0";
    if (name == "droppedFrames") return "0";
    Fail("Unknown query \"" + name + "\"");
}

Media_Type SimVideoCap::Query_Media_Type(int32_t index) {
    if (index < 0 || index >= static_cast<int32_t>(formats_.size())) Fail("No media type " + std::to_string(index));
    const Sim_Format& f = formats_[static_cast<size_t>(index)];
    return Media_Type{true, f.Width, f.Height, Interval_Of(f),
                      f.Interlaced ? Scan_Mode::Interlaced : Scan_Mode::Progressive};
}

Media_Type SimVideoCap::Query_Current_Media_Type() { return Query_Media_Type(format_index_); }

Stream_Header SimVideoCap::Query_Stream_Header() {
    const Sim_Format& f = Current_Format();
    const int64_t size = Bytes_Per_Scan_Line(f.Width) * f.Height;
    return Stream_Header{f.Width, f.Height, static_cast<int32_t>(size)};
}

int32_t SimVideoCap::Delivered_Fps() const {
    const Sim_Format& f = Current_Format();
    return cap_25_ && f.Fps > 25 ? 25 : f.Fps;
}

int32_t SimVideoCap::Frame_Period_Mill() const {
    const int32_t fps = Delivered_Fps();
    return fps > 0 ? 1000 / fps : 40;
}

int32_t SimVideoCap::Arrival_After(int64_t frames) const {
    // Counted from the stream start, so a period of a fraction of a
    // millisecond (60 or 120 frames a second) does not drift.
    const int32_t fps = Delivered_Fps();
    const int64_t since = fps > 0 ? (frames * 1000 + fps / 2) / fps : frames * 40;
    return Platform::Mill_After(stream_start_, static_cast<int32_t>(since));
}

void SimVideoCap::Prepare_Format() {
    const Sim_Format& f = Current_Format();
    if (!scene_ || scene_->Width() != f.Width || scene_->Height() != f.Height) {
        scene_ = std::make_unique<Sim_Scene>(f.Width, f.Height);
        for (const Sim_Scene::Run& run : runs_) scene_->Add_Run(run);
        first_field_ = {};
        second_field_ = {};
    }
    if (hardened_) {
        if (!scene_->Hardened()) scene_->Harden(*hardened_);
        // From a fast shutter (a third of the field) to one open the whole field.
        const double period = f.Fps > 0 ? 1000.0 / f.Fps / (f.Interlaced ? 2 : 1) : 20.0;
        const double share = 0.3 + 0.7 * static_cast<double>((*hardened_ * 2654435761ull >> 7) % 100) / 100.0;
        scene_->Exposure_Mill(share * period);
    }
    stride_ = static_cast<int32_t>(Bytes_Per_Scan_Line(f.Width));
    frame_.assign(static_cast<size_t>(stride_) * static_cast<size_t>(f.Height), 0);
}

void SimVideoCap::StartStream() {
    last_error_.clear();
    if (!source_selected_) Fail("StartStream: no video source selected");
    const Sim_Format& f = Current_Format();
    if (f.Width <= 0 || f.Height <= 0 || f.Fps <= 0) Fail("StartStream: the format cannot be filmed");
    Prepare_Format();
    if (!epoch_set_) {
        epoch_mill_ = Platform::PC_Mill();
        epoch_set_ = true;
    }
    streaming_ = true;
    if (pacing_ == Sim_Pacing::Timer) {
        if (!timer_) {
            timer_ = std::make_unique<QTimer>();
            timer_->setTimerType(Qt::PreciseTimer);
            QObject::connect(timer_.get(), &QTimer::timeout, [this] { Deliver_Frame(); });
        }
        timer_->start(Frame_Period_Mill());
    } else if (pacing_ == Sim_Pacing::Queued) {
        if (!context_) context_ = std::make_unique<QObject>();
        stream_start_ = Platform::PC_Mill();
        arrivals_ = 1;
        next_arrival_ = Arrival_After(arrivals_);
    }
}

void SimVideoCap::StopStream() {
    streaming_ = false;
    pending_.clear();  // nothing reaches the sink once the stream is stopped
    if (timer_) timer_->stop();
}

void SimVideoCap::Harden_Scene(uint64_t seed) {
    hardened_ = seed;
    scene_.reset();  // drawn again, hardened, for the format set
    Prepare_Format();
}

void SimVideoCap::Add_Scene_Run(const Sim_Scene::Run& run) {
    runs_.push_back(run);
    if (scene_) scene_->Add_Run(run);
}

void SimVideoCap::Catch_Up() {
    if (pacing_ != Sim_Pacing::Queued) return;
    const int32_t now = Platform::PC_Mill();
    while (streaming_ && Platform::Mill_Since(next_arrival_, now) >= 0) {
        const bool idle = pending_.empty();
        pending_.push_back(Arrive(next_arrival_));
        next_arrival_ = Arrival_After(++arrivals_);
        if (idle)
            QMetaObject::invokeMethod(
                context_.get(), [this] { Drain(); }, Qt::QueuedConnection);
    }
}

void SimVideoCap::Drain() {
    // A frame handler that yields may run a nested drain for later frames: each
    // frame is taken off the queue before it is handed over.
    while (streaming_ && !pending_.empty()) {
        const Pending p = pending_.front();
        pending_.pop_front();
        Deliver(p);
    }
}

bool SimVideoCap::Step() {
    if (!streaming_) return false;
    Deliver_Frame();
    return true;
}

int64_t SimVideoCap::Scene_Time(int32_t pc_mill) const {
    return static_cast<int64_t>(Platform::Mill_Since(epoch_mill_, pc_mill));
}

void SimVideoCap::Record_Truth(int64_t frame, int field, int32_t delivered, int32_t exposure) {
    Sim_Field_Truth t;
    t.Frame_Number = frame;
    t.Field = field;
    t.Delivered_Mill = delivered;
    t.Exposure_Mill = exposure;
    const int64_t scene_ms = Scene_Time(exposure);
    for (int box = 1; box <= Sim_Scene::Dogs; ++box)
        t.Nose_X[static_cast<size_t>(box - 1)] = scene_->Nose_X(box, scene_ms);
    truth_.push_back(t);
    while (truth_.size() > Truth_Capacity) truth_.pop_front();
}

const Sim_Field_Truth* SimVideoCap::Field_Truth(int64_t frame_number, int field) const {
    // Records are in frame order; search from the newest end, where tests look.
    for (auto it = truth_.rbegin(); it != truth_.rend(); ++it) {
        if (it->Frame_Number < frame_number) break;
        if (it->Frame_Number == frame_number && it->Field == field) return &*it;
    }
    return nullptr;
}

SimVideoCap* SimVideoCap::Find(IVideoCap& component) {
    if (auto* sim = dynamic_cast<SimVideoCap*>(&component)) return sim;
    if (auto* combined = dynamic_cast<CombinedVideoCap*>(&component))
        for (size_t i = 0; i < combined->Part_Count(); ++i)
            if (auto* sim = dynamic_cast<SimVideoCap*>(combined->Part(i))) return sim;
    return nullptr;
}

QPoint SimVideoCap::Start_LED_Place() const {
    if (led_place_) return *led_place_;
    const Sim_Format& f = Current_Format();
    return Sim_Scene::Default_Start_LED_Place(f.Width, f.Height);
}

void SimVideoCap::Start_LED_Switched(bool lit, int32_t pc_mill) {
    led_switches_.push_back({pc_mill, lit});
    // Frames render at most the pipe delay into the past: a few switches are plenty.
    while (led_switches_.size() > 64) led_switches_.pop_front();
}

bool SimVideoCap::Start_LED_Lit_At(int32_t exposure_mill) const {
    for (auto it = led_switches_.rbegin(); it != led_switches_.rend(); ++it)
        if (Platform::Mill_Since(it->Mill, exposure_mill) >= 0) return it->Lit;
    return false;
}

void SimVideoCap::Deliver_Frame() {
    if (!streaming_ || !scene_) return;
    Deliver(Arrive(Platform::PC_Mill()));
}

SimVideoCap::Pending SimVideoCap::Arrive(int32_t stamp_mill) {
    const Sim_Format& f = Current_Format();
    // stamp_mill is the arrival; a device stamp lies its age before it.
    Pending p;
    p.Number = ++frame_number_;
    p.Stamp.Arrival_Mill = stamp_mill;
    p.Stamp.Mill = Platform::Mill_After(stamp_mill, -device_age_mill_);
    p.Stamp.From_Device = device_age_mill_ > 0;
    p.Stamp.Local = Local_Mill() - Platform::Mill_Since(p.Stamp.Mill, Platform::PC_Mill());
    if (p.Stamp.Local < 0) p.Stamp.Local += 86400000;
    const int32_t first_exposure = Platform::Mill_After(stamp_mill, -pipe_delay_mill_);
    if (f.Interlaced) {
        Record_Truth(p.Number, 2, p.Stamp.Mill, first_exposure);
        Record_Truth(p.Number, 1, p.Stamp.Mill, Platform::Mill_After(first_exposure, Field_Period_Mill()));
    } else {
        Record_Truth(p.Number, 0, p.Stamp.Mill, first_exposure);
    }
    return p;
}

void SimVideoCap::Deliver(const Pending& p) {
    if (!scene_) return;
    const Sim_Format& f = Current_Format();
    const Frame_Stamp& stamp = p.Stamp;
    const std::vector<std::string> caption = {"Frame " + std::to_string(p.Number), Clock_Text(stamp.Local),
                                              "PC " + std::to_string(stamp.Mill)};
    const int32_t first_exposure = Platform::Mill_After(stamp.Arrival_Mill, -pipe_delay_mill_);
    const size_t row_bytes = static_cast<size_t>(f.Width) * 3;
    const int32_t h = f.Height;
    const QPoint led = Start_LED_Place();
    if (f.Interlaced) {
        const int32_t second_exposure = Platform::Mill_After(first_exposure, Field_Period_Mill());
        scene_->Render(Scene_Time(first_exposure), caption, first_field_);
        scene_->Draw_Start_LED(led, Start_LED_Lit_At(first_exposure), first_field_);
        scene_->Render(Scene_Time(second_exposure), caption, second_field_);
        scene_->Draw_Start_LED(led, Start_LED_Lit_At(second_exposure), second_field_);
        // Top row and every second row from the first field, the rows between from the second.
        for (int32_t r = 0; r < h; ++r) {
            const QImage& src = r % 2 == 0 ? first_field_.image : second_field_.image;
            std::memcpy(frame_.data() + static_cast<size_t>(h - 1 - r) * stride_, src.constScanLine(r), row_bytes);
        }
    } else {
        scene_->Render(Scene_Time(first_exposure), caption, first_field_);
        scene_->Draw_Start_LED(led, Start_LED_Lit_At(first_exposure), first_field_);
        for (int32_t r = 0; r < h; ++r)
            std::memcpy(frame_.data() + static_cast<size_t>(h - 1 - r) * stride_, first_field_.image.constScanLine(r),
                        row_bytes);
    }

    if (!sink_) return;
    if (On_Delivery) On_Delivery(Sim_Delivery{p.Number, stamp.Mill});
    Video_Frame frame;
    frame.Pixels = frame_.data();
    frame.Length = static_cast<int32_t>(frame_.size());
    frame.Width = f.Width;
    frame.Height = f.Height;
    frame.Stride = stride_;
    frame.Bottom_Up = true;
    frame.Stamp = stamp;
    try {
        sink_->OnRGBEvent(*this, frame);
    } catch (const std::exception& e) {
        // The sink's failure comes back to the component, which keeps streaming.
        last_error_ = e.what();
        Trace("*SimVideoCap OnRGBEvent failed: " + last_error_);
    }
}
