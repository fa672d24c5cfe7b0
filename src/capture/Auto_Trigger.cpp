#include "capture/Auto_Trigger.h"

#include <algorithm>
#include <cstdlib>

#include "platform/Clock.h"

void Auto_Trigger::Configure(int32_t threshold, int32_t settle_ms) {
    threshold_ = std::clamp(threshold, 1, 255);
    settle_ms_ = std::max(0, settle_ms);
}

void Auto_Trigger::Reset() {
    last_.clear();
    open_ = false;
    changed_ = 0;
}

Auto_Trigger::Decision Auto_Trigger::Feed(const cDIBSection& picture, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                                          int32_t mill) {
    const int32_t w = picture.Width(), h = picture.Height();
    if (w <= 0 || h <= 0 || !picture.DIBSectionBitsPtr()) return Decision::None;
    // Every second row and column of the band: enough for a dog, a quarter of the work.
    std::vector<uint8_t> band;
    band.reserve(static_cast<size_t>(h) * (Band_Half + 1) * 3);
    const int32_t top = std::clamp(std::min(y1, y2), 0, h - 1), bottom = std::clamp(std::max(y1, y2), 0, h - 1);
    for (int32_t y = top; y <= bottom; y += 2) {
        const int32_t x = y2 == y1 ? (x1 + x2) / 2 : x1 + (x2 - x1) * (y - y1) / (y2 - y1);
        const uint8_t* row = picture.Scan_Line(y);
        for (int32_t bx = std::max(0, x - Band_Half); bx <= std::min(w - 1, x + Band_Half); bx += 2)
            band.insert(band.end(), row + bx * 3, row + bx * 3 + 3);
    }
    changed_ = 0;
    if (band.size() == last_.size()) {
        for (size_t i = 0; i + 2 < band.size(); i += 3) {
            const int d = std::max({std::abs(band[i] - last_[i]), std::abs(band[i + 1] - last_[i + 1]),
                                    std::abs(band[i + 2] - last_[i + 2])});
            if (d > threshold_) ++changed_;
        }
    }
    const bool first = last_.size() != band.size();
    last_.swap(band);
    if (first) return Decision::None;
    // A dog in one lane changes a few percent of the band; noise a sample here and there.
    const int32_t samples = static_cast<int32_t>(last_.size() / 3);
    const bool moving = changed_ >= std::max<int32_t>(4, samples / 200);
    if (moving) {
        last_change_ = mill;
        if (!open_) {
            open_ = true;
            return Decision::Open;
        }
    } else if (open_ && Platform::Mill_Since(last_change_, mill) >= settle_ms_) {
        open_ = false;
        return Decision::Close;
    }
    return Decision::None;
}
