#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QPoint>

class cDIBSection;

// Measures a camera's delay, from light at the lens to the stamp its frames
// carry, with the start LED in the camera's view: the LED is switched on and
// off a number of times at uneven moments; for each switch the first field
// whose brightness around the LED crosses halfway between dark and lit gives
// one measurement:
//
//   delay = field stamp (+ the second field's offset) - PC clock at the switch
//           - half a field period
//
// The first field that shows a change was exposed on average half a field
// period after the switch (anywhere within one field), so the half period is
// taken off; the switch moments are spread over the field period so that the
// median comes out unbiased. Fields and their offsets are those the review
// times: the crop picture's top row and every second row below it is the
// field exposed first (stamp + 0), the rows between it the second (+ a field
// period, half the frame period). A progressive frame is one field: its stamp.
//
// Without widgets: the window feeds it frames and clock ticks and shows what
// it found.
class Camera_Delay_Calibration {
public:
    static constexpr int Default_Switches = 10;
    // Dark before the first switch, and the time after the last one in which its change must show.
    static constexpr int32_t Lead_Mill = 800;
    static constexpr int32_t Tail_Mill = 700;
    // The level of a state is read from the fields stamped this long before it ends.
    static constexpr int32_t Level_Window_Mill = 120;
    // Lit and dark must differ by this much (0 .. 255) for the LED to count as seen.
    static constexpr double Min_Contrast = 24.0;
    // Half the side of the box around the marked point, crop pixels.
    static constexpr int Box_Half = 3;
    // Frames stop: given up this long after the last frame was due.
    static constexpr int32_t No_Frames_Mill = 3000;

    struct Setup {
        int Switches = Default_Switches;
        int32_t Frame_Period_Mill = 40;
        bool Interlaced = true;  // two fields per frame, as the recording will be marked
        QPoint LED;              // crop pixel, x from the left, y from the top
    };

    enum class State { Idle, Running, Done, Refused, Cancelled };

    struct Measurement {
        int Switch = 0;    // 1-based
        bool Lit = false;  // the LED was switched on (else off)
        int32_t Switch_Mill = 0;
        std::optional<double> Delay_Mill;  // none: the change was not seen
    };

    // switch_led(lit) asks Control Box output 0 to switch; LED_Written then
    // says when the box's line actually left.
    Camera_Delay_Calibration(Setup setup, std::function<void(bool)> switch_led);

    // Switches the LED off and plans the switches from the PC clock now.
    void Start();
    // Does what is due at the PC clock now: the next switch, or the verdict.
    void Tick();
    // The switch of the LED to lit has been written to the box at stamp_mill:
    // that, not the moment it was asked for, is the switch's time (a serial
    // box writes on its own thread, a moment later). A switch never confirmed
    // gives no measurement.
    void LED_Written(bool lit, int32_t stamp_mill);
    // Every frame of the camera: its crop picture and stamp.
    void Frame(const cDIBSection& crop, int32_t stamp_mill);
    // Stops at once and switches the LED off; why is what Verdict() says.
    void Cancel(const std::string& why);

    State Status() const { return state_; }
    bool Running() const { return state_ == State::Running; }
    int Switches_Done() const { return static_cast<int>(switch_mill_.size()); }
    int Switches_Planned() const { return setup_.Switches; }
    const std::vector<Measurement>& Measurements() const { return measurements_; }
    // Over the measurements (only when every switch was seen).
    std::optional<double> Median_Mill() const { return median_; }
    std::optional<double> Spread_Mill() const { return spread_; }
    // The median rounded to whole milliseconds, when the result was accepted.
    std::optional<int32_t> Result_Mill() const;
    // The result in words, or why there is none.
    const std::string& Verdict() const { return verdict_; }
    double Field_Period_Mill() const;
    // Mean brightness (0 .. 255) in the box around the LED in the latest frame.
    std::optional<double> Last_Brightness() const { return last_brightness_; }
    const Setup& Settings() const { return setup_; }

    // Mean brightness of the box around point in the rows of one field (1: the
    // first exposed, 2: the second, 0: every row); none when the box is
    // outside the picture.
    static std::optional<double> Box_Brightness(const cDIBSection& crop, QPoint point, int field);

private:
    struct Sample {
        double Time = 0;  // ms after the start, from the field's stamp and offset
        double Brightness = 0;
    };
    double Since_Start(int32_t mill) const;
    void Analyse();
    void Refuse(const std::string& why);
    void Switch(bool lit);

    Setup setup_;
    std::function<void(bool)> switch_led_;
    State state_ = State::Idle;
    int32_t start_mill_ = 0;
    std::vector<double> planned_;      // ms after the start
    std::vector<double> switch_mill_;  // ms after the start: when each switch was written
    std::vector<bool> written_;        // its write confirmed (else switch_mill_ is when it was asked for)
    std::vector<Sample> samples_;
    std::optional<double> last_stamp_;  // ms after the start
    std::vector<Measurement> measurements_;
    std::optional<double> median_;
    std::optional<double> spread_;
    std::optional<double> last_brightness_;
    std::string verdict_;
};
