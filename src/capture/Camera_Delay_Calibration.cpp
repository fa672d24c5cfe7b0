#include "capture/Camera_Delay_Calibration.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/Clock.h"
#include "recording/cDIBSection.h"

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

std::string Whole(double ms) { return std::to_string(static_cast<long>(std::lround(ms))); }

}  // namespace

Camera_Delay_Calibration::Camera_Delay_Calibration(Setup setup, std::function<void(bool)> switch_led)
    : setup_(setup), switch_led_(std::move(switch_led)) {
    setup_.Switches = std::max(1, setup_.Switches);
    if (setup_.Frame_Period_Mill <= 0) setup_.Frame_Period_Mill = 40;
}

double Camera_Delay_Calibration::Field_Period_Mill() const {
    return setup_.Interlaced ? setup_.Frame_Period_Mill / 2.0 : static_cast<double>(setup_.Frame_Period_Mill);
}

double Camera_Delay_Calibration::Since_Start(int32_t mill) const {
    return static_cast<double>(Platform::Mill_Since(start_mill_, mill));
}

std::optional<int32_t> Camera_Delay_Calibration::Result_Mill() const {
    if (state_ != State::Done || !median_) return std::nullopt;
    return static_cast<int32_t>(std::lround(*median_));
}

void Camera_Delay_Calibration::Switch(bool lit) {
    if (switch_led_) switch_led_(lit);
}

void Camera_Delay_Calibration::Start() {
    samples_.clear();
    switch_mill_.clear();
    written_.clear();
    measurements_.clear();
    median_.reset();
    spread_.reset();
    last_stamp_.reset();
    verdict_.clear();
    Switch(false);
    start_mill_ = Platform::PC_Mill();
    // Uneven gaps of about 31 to 44 fields; the fraction of a field each switch
    // adds follows the golden ratio, so the switches fall evenly over the
    // field period whatever the camera's phase.
    const double field = Field_Period_Mill();
    planned_.clear();
    for (int k = 0; k < setup_.Switches; ++k) {
        const double phase = std::fmod(k * 0.6180339887498949, 1.0);
        planned_.push_back(Lead_Mill + field * (38.0 * k + 2.0 * ((3 * k) % 4) + phase));
    }
    state_ = State::Running;
}

void Camera_Delay_Calibration::Tick() {
    if (state_ != State::Running) return;
    const double now = Since_Start(Platform::PC_Mill());
    const size_t done = switch_mill_.size();
    if (done < planned_.size()) {
        if (now >= planned_[done]) {
            const bool lit = done % 2 == 0;
            // Until the box confirms the write, the moment it was asked for.
            switch_mill_.push_back(now);
            written_.push_back(false);
            Switch(lit);
        }
        return;
    }
    const double end = switch_mill_.back() + Tail_Mill;
    if (last_stamp_ && *last_stamp_ >= end) {
        // An odd number of switches leaves the LED lit: it goes dark again.
        if (switch_mill_.size() % 2 == 1) Switch(false);
        Analyse();
    } else if (now >= end + No_Frames_Mill) {
        Refuse("No frames came from the camera while the LED was switched.");
    }
}

void Camera_Delay_Calibration::LED_Written(bool lit, int32_t stamp_mill) {
    if (state_ != State::Running) return;
    for (size_t k = 0; k < switch_mill_.size(); ++k) {
        if (written_[k] || (k % 2 == 0) != lit) continue;
        switch_mill_[k] = Since_Start(stamp_mill);
        written_[k] = true;
        return;
    }
}

void Camera_Delay_Calibration::Frame(const cDIBSection& crop, int32_t stamp_mill) {
    const auto whole = Box_Brightness(crop, setup_.LED, 0);
    last_brightness_ = whole;
    if (state_ != State::Running || !whole) return;
    const double t = Since_Start(stamp_mill);
    if (setup_.Interlaced) {
        if (const auto first = Box_Brightness(crop, setup_.LED, 1)) samples_.push_back({t, *first});
        if (const auto second = Box_Brightness(crop, setup_.LED, 2))
            samples_.push_back({t + Field_Period_Mill(), *second});
    } else {
        samples_.push_back({t, *whole});
    }
    if (!last_stamp_ || t > *last_stamp_) last_stamp_ = t;
}

void Camera_Delay_Calibration::Cancel(const std::string& why) {
    if (state_ != State::Running) return;
    Switch(false);
    state_ = State::Cancelled;
    verdict_ = why;
}

void Camera_Delay_Calibration::Refuse(const std::string& why) {
    if (state_ == State::Running) Switch(false);
    state_ = State::Refused;
    verdict_ = why;
}

std::optional<double> Camera_Delay_Calibration::Box_Brightness(const cDIBSection& crop, QPoint point, int field) {
    if (!crop.DIBSectionBitsPtr() || crop.BitCount() != 24) return std::nullopt;
    const int left = std::max(0, point.x() - Box_Half), right = std::min(crop.Width() - 1, point.x() + Box_Half);
    const int top = std::max(0, point.y() - Box_Half), bottom = std::min(crop.Height() - 1, point.y() + Box_Half);
    double sum = 0;
    long count = 0;
    for (int y = top; y <= bottom; ++y) {
        // Field 1 is the top row and every second row below it.
        if (field == 1 && y % 2 != 0) continue;
        if (field == 2 && y % 2 == 0) continue;
        const uint8_t* row = crop.Scan_Line(y);
        if (!row) continue;
        for (int x = left; x <= right; ++x) {
            sum += (row[x * 3] + row[x * 3 + 1] + row[x * 3 + 2]) / 3.0;
            ++count;
        }
    }
    if (count == 0) return std::nullopt;
    return sum / static_cast<double>(count);
}

void Camera_Delay_Calibration::Analyse() {
    for (size_t k = 0; k < written_.size(); ++k)
        if (!written_[k])
            return Refuse("The Control Box did not confirm switch " + std::to_string(k + 1) +
                          " of the LED: is the box attached?");
    std::stable_sort(samples_.begin(), samples_.end(),
                     [](const Sample& a, const Sample& b) { return a.Time < b.Time; });
    const size_t n = switch_mill_.size();
    const auto segment_end = [&](size_t k) { return k + 1 < n ? switch_mill_[k + 1] : switch_mill_[k] + Tail_Mill; };
    // The settled level of a state: the fields stamped just before it ends.
    const auto level = [&](double end) -> std::optional<double> {
        std::vector<double> v;
        for (const Sample& s : samples_)
            if (s.Time >= end - Level_Window_Mill && s.Time < end) v.push_back(s.Brightness);
        if (v.empty()) return std::nullopt;
        return Median(v);
    };
    std::vector<double> dark, lit;
    if (const auto l = level(switch_mill_.front())) dark.push_back(*l);
    for (size_t k = 0; k < n; ++k)
        if (const auto l = level(segment_end(k))) (k % 2 == 0 ? lit : dark).push_back(*l);
    if (dark.empty() || lit.empty()) return Refuse("No frames came from the camera while the LED was switched.");
    const double off = Median(dark), on = Median(lit);
    if (on - off < Min_Contrast)
        return Refuse("The LED was not seen: around the marked point lit and dark differ by " + Whole(on - off) +
                      " of 255. Put the LED in the picture, click its centre and start again.");

    const double half = (off + on) / 2.0;
    const double field = Field_Period_Mill();
    measurements_.clear();
    std::vector<double> delays;
    std::string unseen;
    for (size_t k = 0; k < n; ++k) {
        Measurement m;
        m.Switch = static_cast<int>(k + 1);
        m.Lit = k % 2 == 0;
        m.Switch_Mill = Platform::Mill_After(start_mill_, static_cast<int32_t>(std::lround(switch_mill_[k])));
        for (const Sample& s : samples_) {
            if (s.Time < switch_mill_[k] || s.Time >= segment_end(k)) continue;
            if (m.Lit ? s.Brightness > half : s.Brightness < half) {
                m.Delay_Mill = s.Time - switch_mill_[k] - field / 2.0;
                break;
            }
        }
        if (m.Delay_Mill)
            delays.push_back(*m.Delay_Mill);
        else if (unseen.empty())
            unseen = std::to_string(k + 1);
        measurements_.push_back(m);
    }
    if (!unseen.empty())
        return Refuse("The LED was not seen to change after switch " + unseen +
                      ": is something in front of it, or is the camera's delay longer than half a second?");
    median_ = Median(delays);
    spread_ = *std::max_element(delays.begin(), delays.end()) - *std::min_element(delays.begin(), delays.end());
    const std::string summary = "median " + Whole(*median_) + " ms of " + std::to_string(delays.size()) +
                                " switches, spread " + Whole(*spread_) + " ms";
    if (*spread_ > field)
        return Refuse("Not used: " + summary + ", more than one field period (" + Whole(field) +
                      " ms). Frames were late or lost; start again.");
    state_ = State::Done;
    verdict_ = "Camera delay " + Whole(*median_) + " ms: " + summary + ".";
}
