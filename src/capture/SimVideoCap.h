#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QPoint>

#include "capture/IVideoCap.h"
#include "capture/Sim_Scene.h"

class QObject;
class QTimer;

// A format the simulated camera offers.
struct Sim_Format {
    int32_t Width = 1920;
    int32_t Height = 1080;
    int32_t Fps = 25;
    // Two fields per frame, the first-captured one on the top row and every
    // second row below it, the other one a field period later.
    bool Interlaced = true;
};

// What the simulated camera knows about one field it delivered.
struct Sim_Field_Truth {
    int64_t Frame_Number = 0;  // 1-based, counted over the object's life
    // 2: the field captured first (top row and every second row below it);
    // 1: the other field; 0: a progressive frame (all rows, one exposure).
    int Field = 0;
    int32_t Delivered_Mill = 0;                    // the frame's stamp (PC clock at delivery)
    int32_t Exposure_Mill = 0;                     // PC clock when the field was exposed
    std::array<double, Sim_Scene::Dogs> Nose_X{};  // frame x of each box's nose, box 1 first
};

enum class Sim_Pacing {
    Timer,    // frames at the format's rate from a timer on the creating thread
    Stepped,  // a frame only when Step() is called (tests, against the fake clock)
    // Frames arrive one frame period apart on the PC clock, each stamped with
    // its own arrival time, whenever Catch_Up() finds the clock has passed
    // them; they reach the sink through the event loop, oldest first, as a
    // capture thread hands its frames over. For runs against a stepped clock.
    Queued,
};

// One frame handed to the sink.
struct Sim_Delivery {
    int64_t Frame_Number = 0;
    int32_t Stamp_Mill = 0;
};

// The built-in simulated camera: one source, "Houndex camera simulator", that
// films Sim_Scene and delivers bottom-up 24-bit frames stamped with the PC clock
// at delivery (or, when told, with an earlier device capture time). It keeps,
// for every field it delivered, when the field was exposed and where each
// dog's nose was.
class SimVideoCap : public IVideoCap {
public:
    static constexpr const char* Default_Name = "Houndex camera simulator";
    // 1920*1080/25 (interlaced), 1920*1080/50 (progressive), 720*576/25 (interlaced),
    // 1920*1080/60 and 1920*1080/120 (progressive), in that order.
    static std::vector<Sim_Format> Default_Formats();
    // How many field records are kept (the oldest go first): about an hour at 50 fields/s.
    static constexpr size_t Truth_Capacity = 200000;

    // Whether the source selected in a capture component is this simulator.
    static bool Is_Simulated(IVideoCap& component);

    explicit SimVideoCap(Sim_Pacing pacing = Sim_Pacing::Timer, std::string friendly_name = Default_Name,
                         std::vector<Sim_Format> formats = Default_Formats());
    ~SimVideoCap() override;

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
    std::string LastErrorText() override { return last_error_; }
    int32_t Source_Count() const override { return 1; }

    // Stepped pacing: delivers the next frame now, stamped with the PC clock.
    // False (nothing delivered) while the stream is stopped.
    bool Step();
    // Queued pacing: every frame whose arrival time the PC clock has reached
    // arrives now (stamped with that time) and waits for the event loop.
    void Catch_Up();
    // Queued pacing: the PC clock at which the next frame arrives.
    int32_t Next_Arrival_Mill() const { return next_arrival_; }
    // Called with each frame just before it goes to the sink.
    std::function<void(const Sim_Delivery&)> On_Delivery;
    bool Streaming() const { return streaming_; }
    // Milliseconds between delivered frames for the format and rate cap now set
    // (whole milliseconds; queued arrivals keep the exact rate over a run).
    int32_t Frame_Period_Mill() const;
    // Frames a second delivered for the format and rate cap now set.
    int32_t Delivered_Fps() const;
    // Milliseconds between the two fields of an interlaced frame: half the
    // format's own frame period (a rate cap drops frames, not fields).
    int32_t Field_Period_Mill() const { return Current_Format().Fps > 0 ? 1000 / (2 * Current_Format().Fps) : 20; }
    const Sim_Format& Current_Format() const;
    int64_t Frames_Delivered() const { return frame_number_; }

    // Time from the start of a frame's exposure (its first field, or the whole
    // progressive frame) to its delivery. The default is what a real HDMI chain
    // takes and what the default goal compensation removes again: the program
    // counts a frame's stamp minus the compensation as its first field and adds
    // a field period for the second, so this is the delay it has to be measured
    // against. 0 or less than a field period only makes sense in tests.
    static constexpr int32_t Default_Pipe_Delay_Mill = 200;
    void Pipe_Delay_Mill(int32_t ms) { pipe_delay_mill_ = ms; }
    int32_t Pipe_Delay_Mill() const { return pipe_delay_mill_; }

    // 0 (the default): a frame is stamped with its arrival, as a source without
    // its own capture time is. More: the frame carries a device capture time
    // that many milliseconds before its arrival (From_Device), as a capture
    // device that stamps its frames does; the time from exposure to that stamp
    // is then the pipe delay less this age.
    void Device_Stamp_Age_Mill(int32_t ms) { device_age_mill_ = ms < 0 ? 0 : ms; }
    int32_t Device_Stamp_Age_Mill() const { return device_age_mill_; }

    // The start LED in the filmed scene, at a place in frame pixels (by default
    // above the track beside the finish post, inside every centre crop). It
    // shows lit in every field exposed at or after a switch to on, so it
    // reaches the program the pipe delay after the switch.
    void Start_LED_Place(QPoint frame_px) { led_place_ = frame_px; }
    QPoint Start_LED_Place() const;
    void Start_LED_Switched(bool lit, int32_t pc_mill);
    bool Start_LED_Lit_At(int32_t exposure_mill) const;

    // The simulated camera inside a capture component (itself, or the part of a
    // combined component that holds it), or nullptr.
    static SimVideoCap* Find(IVideoCap& component);

    // Field records in delivery order (first-captured field first within a frame).
    const std::deque<Sim_Field_Truth>& Truth() const { return truth_; }
    // The record of one field (Field 0 for a progressive frame), or nullptr.
    const Sim_Field_Truth* Field_Truth(int64_t frame_number, int field) const;
    // The filmed scene at the current format's size, and the PC clock its time counts from.
    const Sim_Scene& Scene() const { return *scene_; }
    // Films the harder scene (Sim_Scene::Harden) from now on, for every
    // format, each field exposed for a share of its period drawn from the seed.
    void Harden_Scene(uint64_t seed);
    // A race run to order in the filmed scene (kept for every format).
    void Add_Scene_Run(const Sim_Scene::Run& run);
    int32_t Scene_Epoch_Mill() const { return epoch_mill_; }
    // Scene time of a PC clock reading.
    int64_t Scene_Time(int32_t pc_mill) const;

private:
    [[noreturn]] void Fail(const std::string& text);
    void Prepare_Format();
    struct Pending {
        int64_t Number = 0;
        Frame_Stamp Stamp;
    };
    void Deliver_Frame();
    Pending Arrive(int32_t stamp_mill);
    void Deliver(const Pending& p);
    void Drain();
    void Record_Truth(int64_t frame, int field, int32_t delivered, int32_t exposure);
    int32_t Arrival_After(int64_t frames) const;

    std::string friendly_name_;
    std::vector<Sim_Format> formats_;
    Sim_Pacing pacing_;
    int32_t format_index_ = 0;
    bool source_selected_ = false;
    bool cap_25_ = false;
    bool streaming_ = false;
    bool epoch_set_ = false;
    int32_t epoch_mill_ = 0;
    int32_t pipe_delay_mill_ = Default_Pipe_Delay_Mill;
    int32_t device_age_mill_ = 0;
    std::optional<QPoint> led_place_;
    struct LED_Switch {
        int32_t Mill = 0;
        bool Lit = false;
    };
    std::deque<LED_Switch> led_switches_;  // oldest first
    std::string max_interval_ = "0";
    std::string min_interval_ = "0";
    std::string last_error_;
    IVideoCapEvent* sink_ = nullptr;
    int32_t cookie_ = 0;
    int32_t next_cookie_ = 1;
    int64_t frame_number_ = 0;

    std::unique_ptr<Sim_Scene> scene_;
    std::vector<Sim_Scene::Run> runs_;
    std::optional<uint64_t> hardened_;
    Sim_Scene::Canvas first_field_;
    Sim_Scene::Canvas second_field_;
    std::vector<uint8_t> frame_;  // bottom-up DIB rows, reused for every frame
    int32_t stride_ = 0;
    std::deque<Sim_Field_Truth> truth_;
    std::unique_ptr<QTimer> timer_;
    int32_t next_arrival_ = 0;
    int32_t stream_start_ = 0;  // queued pacing: the PC clock the arrivals count from
    int64_t arrivals_ = 0;      // queued pacing: frames arrived since the stream start
    std::deque<Pending> pending_;
    std::unique_ptr<QObject> context_;  // queued deliveries are posted to it
};
