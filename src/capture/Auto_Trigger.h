#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "recording/cDIBSection.h"

// Automatic capture: watches a band around the goal line in the crop picture
// and says when a window should open (the picture there changes) and close
// (it has been still for the settle time since the last change). Each frame is
// compared with the one before it.
class Auto_Trigger {
public:
    enum class Decision { None, Open, Close };
    // Half the band's width in picture pixels, each side of the line.
    static constexpr int32_t Band_Half = 24;

    // threshold: change per colour byte (1-255) that counts a sample as
    // changed; settle_ms: quiet time before a close.
    void Configure(int32_t threshold, int32_t settle_ms);
    // Forgets the last picture and any window it opened.
    void Reset();
    // The line from (x1, y1) to (x2, y2) in picture pixels, origin top left.
    Decision Feed(const cDIBSection& picture, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t mill);
    // A window it opened is open; a manual press takes it over (Release).
    bool Window_Open() const { return open_; }
    void Release() { open_ = false; }
    // What the last frame showed, for the trace: changed samples and all samples.
    int32_t Changed() const { return changed_; }
    int32_t Samples() const { return static_cast<int32_t>(last_.size()); }

private:
    int32_t threshold_ = 12;
    int32_t settle_ms_ = 1000;
    std::vector<uint8_t> last_;
    bool open_ = false;
    int32_t last_change_ = 0;
    int32_t changed_ = 0;
};
