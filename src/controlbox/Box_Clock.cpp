#include "controlbox/Box_Clock.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "platform/Clock.h"

void Box_Clock::Reset() {
    have_reference_ = false;
    samples_.clear();
    slope_ = 1.0;
    intercept_ = 0.0;
    fit_board_ = 0;
}

int64_t Box_Clock::Board_Since_Reference(uint32_t board_us) const {
    // Signed: an edge may come just before the latest sample.
    return last_board_ + static_cast<int32_t>(board_us - last_board_us_);
}

bool Box_Clock::Add_Sample(int32_t pc_sent, uint32_t board_us, int32_t pc_received) {
    const int32_t round_trip = Platform::Mill_Since(pc_sent, pc_received);
    if (round_trip < 0 || round_trip > kMax_Round_Trip_ms) return false;
    if (!have_reference_) {
        have_reference_ = true;
        reference_pc_ = pc_sent;
        last_board_us_ = board_us;
        last_board_ = 0;
    }
    const int64_t board = Board_Since_Reference(board_us);
    if (!samples_.empty() && board <= samples_.back().board) {
        // The board's clock went back: it restarted without saying so.
        Reset();
        return Add_Sample(pc_sent, board_us, pc_received);
    }
    last_board_us_ = board_us;
    last_board_ = board;
    Sample s;
    s.board = board;
    s.low = int64_t{Platform::Mill_Since(reference_pc_, pc_sent)} * 1000;
    s.high = (int64_t{Platform::Mill_Since(reference_pc_, pc_received)} + 1) * 1000;
    samples_.push_back(s);
    while (static_cast<int>(samples_.size()) > kMax_Samples) samples_.pop_front();
    Fit();
    return true;
}

void Box_Clock::Fit() {
    // Around the latest sample, so that the offset is where it is used.
    const int64_t x0 = samples_.back().board;
    // Every sample says where the line must pass: low <= a + b * x <= high.
    // For a slope b, the offsets a that all samples allow form [lowest, highest].
    const auto allowed = [&](double b, double& lowest, double& highest) {
        lowest = -std::numeric_limits<double>::infinity();
        highest = std::numeric_limits<double>::infinity();
        for (const Sample& s : samples_) {
            const double run = b * static_cast<double>(s.board - x0);
            lowest = std::max(lowest, static_cast<double>(s.low) - run);
            highest = std::min(highest, static_cast<double>(s.high) - run);
        }
        return highest - lowest;
    };
    // The slope that leaves the widest room, leaning to no drift at all where
    // the samples cannot tell (a short span): the room is concave in b.
    const auto score = [&](double b) {
        double lowest = 0, highest = 0;
        return allowed(b, lowest, highest) - kDrift_Lean_us * std::abs(b - 1.0);
    };
    double left = 1.0 - kMax_Drift, right = 1.0 + kMax_Drift;
    for (int i = 0; i < 100; ++i) {
        const double m1 = left + (right - left) / 3.0, m2 = right - (right - left) / 3.0;
        if (score(m1) < score(m2)) {
            left = m1;
        } else {
            right = m2;
        }
    }
    double lowest = 0, highest = 0;
    const double b = (left + right) / 2.0;
    if (allowed(b, lowest, highest) >= 0) {
        slope_ = b;
        intercept_ = (lowest + highest) / 2.0;
    } else {
        // No line fits every sample (the board's clock stepped): the middles' mean.
        slope_ = 1.0;
        double middles = 0;
        for (const Sample& s : samples_)
            middles += static_cast<double>(s.low + s.high) / 2.0 - static_cast<double>(s.board - x0);
        intercept_ = middles / static_cast<double>(samples_.size());
    }
    fit_board_ = x0;
}

std::optional<int32_t> Box_Clock::To_PC_Mill(uint32_t board_us) const {
    if (!Tracking()) return std::nullopt;
    const double pc_us = intercept_ + slope_ * static_cast<double>(Board_Since_Reference(board_us) - fit_board_);
    // Wrapping like the PC clock; far outside int32 only for samples that cannot be right.
    const double ms = std::floor(pc_us / 1000.0);
    if (!(std::abs(ms) < 4e18)) return std::nullopt;
    return Platform::Mill_After(reference_pc_, static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(ms))));
}
