#pragma once
#include <cstdint>
#include <deque>
#include <optional>

// The Control Box board's microsecond clock tracked against the PC clock, so
// that an input the board dates by its own clock gets the PC clock reading of
// its edge, not of the moment its line arrived.
//
// Each PING/PONG exchange is one sample: the board read its clock at some
// moment between the PC clock readings when the PING left and when the PONG
// arrived. The PC clock counts whole milliseconds, so that moment lies in
// [sent, received + 1) ms. Every sample is thus a true bound, and the best
// (shortest round trip) samples bound the most: offset and drift are the line
// that leaves the widest room inside all of them, found anew with each sample.
// Both wrap: the board's clock every 71.6 minutes, the PC clock every 49.7
// days; neither is ever compared with `<`.
class Box_Clock {
public:
    // Samples kept: at one exchange a second, the last half minute.
    static constexpr int kMax_Samples = 32;
    // Samples needed before board times are mapped.
    static constexpr int kMin_Samples = 4;
    // A longer round trip says nothing useful about the offset.
    static constexpr int32_t kMax_Round_Trip_ms = 200;
    // The drift looked for: ceramic resonators on cheap boards are off by up to 0.5 %.
    static constexpr double kMax_Drift = 1e-2;
    // Room (us) given up per unit of drift to prefer none where samples cannot tell.
    static constexpr double kDrift_Lean_us = 2e5;

    // One exchange: the PC clock when the PING left, the board's clock when it
    // came, the PC clock when the PONG came back. False (and nothing kept) for
    // an exchange that cannot be right: a negative or overlong round trip.
    bool Add_Sample(int32_t pc_sent, uint32_t board_us, int32_t pc_received);
    // Forgets every sample (the board restarted: its clock began again).
    void Reset();

    bool Tracking() const { return static_cast<int>(samples_.size()) >= kMin_Samples; }
    int Sample_Count() const { return static_cast<int>(samples_.size()); }
    // The PC clock reading (whole milliseconds, as Platform::PC_Mill would have
    // read) when the board's clock read board_us; none while not tracking.
    // board_us is taken within half a wrap (35 minutes) of the latest sample.
    std::optional<int32_t> To_PC_Mill(uint32_t board_us) const;
    // How much faster the board's clock runs than the PC's (100 ppm fast: 1e-4).
    double Drift() const { return 1.0 / slope_ - 1.0; }

private:
    struct Sample {
        int64_t board = 0;  // board us since the reference
        int64_t low = 0;    // PC us since the reference: the PING had left
        int64_t high = 0;   // PC us since the reference: the PONG had not yet come
    };
    int64_t Board_Since_Reference(uint32_t board_us) const;
    void Fit();

    bool have_reference_ = false;
    int32_t reference_pc_ = 0;
    uint32_t last_board_us_ = 0;
    int64_t last_board_ = 0;  // last_board_us_, unwrapped, since the reference
    std::deque<Sample> samples_;
    double slope_ = 1.0;
    double intercept_ = 0.0;  // PC us since the reference at board fit_board_
    int64_t fit_board_ = 0;
};
