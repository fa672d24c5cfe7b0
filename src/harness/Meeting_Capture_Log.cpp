#include "Meeting_Capture_Log.h"

#include <deque>

#include "platform/Clock.h"

void Capture_Log::Frame(int64_t number, int32_t stamp, bool heat_running) {
    entries_.push_back({Entry::Frame, number, stamp, heat_running});
}

bool Capture_Log::Open(int32_t stamp, bool by_box) {
    if (open_) {
        auto_ = false;
        return false;
    }
    open_ = true;
    by_box_ = by_box;
    auto_ = false;
    entries_.push_back({Entry::Open, 0, stamp, false});
    return true;
}

bool Capture_Log::Close(int32_t stamp) {
    if (!open_) return false;
    open_ = false;
    auto_ = false;
    entries_.push_back({Entry::Close, 0, stamp, false});
    return true;
}

bool Capture_Log::Auto_Open(int32_t stamp) {
    if (open_) return false;
    open_ = true;
    by_box_ = false;
    auto_ = true;
    entries_.push_back({Entry::Open, 0, stamp, false});
    return true;
}

bool Capture_Log::Auto_Release(int32_t stamp) { return open_ && auto_ && Close(stamp); }

void Capture_Log::Abort(int32_t now) {
    open_ = auto_ = false;
    entries_.push_back({Entry::Abort, 0, now, false});
}

void Capture_Log::Finish(int32_t now) {
    Close(now);
    entries_.push_back({Entry::Finish, 0, now, false});
}

void Capture_Log::Box_Report(const Sim_Kit_Report& report, bool may_open) {
    switch (report.kind) {
        case Sim_Kit_Report::Detach:
            attached_ = false;
            // The board takes the window its triggers held with it, whoever opened it,
            // at the moment it went (the stamp the program closes the window with).
            if (open_ && held_ != 0) Close(report.stamp_mill);
            held_ = 0;
            break;
        case Sim_Kit_Report::Attach: attached_ = true; break;
        case Sim_Kit_Report::Input: {
            if (!attached_ || report.index < 3 || report.index > 5) break;
            const unsigned bit = 1u << report.index;
            if (report.level) {
                held_ |= bit;
                if (may_open) Open(report.stamp_mill, true);
            } else if (held_ & bit) {
                held_ &= ~bit;
                if (held_ == 0) Close(report.stamp_mill);
            }
            break;
        }
    }
}

std::vector<int32_t> Capture_Log::Window_Frames(size_t begin, int32_t pre_ms, int32_t post_ms) const {
    std::vector<int32_t> frames;
    bool open = false, closing = false;
    int32_t close_at = 0;
    size_t opened_at = 0;  // the open window's first frame
    std::deque<int32_t> ring;
    for (size_t i = begin; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        switch (e.kind) {
            case Entry::Open:
                if (!open) opened_at = frames.size();
                if (!closing)
                    for (const int32_t s : ring)
                        if (Platform::Mill_Since(s, e.stamp) <= pre_ms) frames.push_back(s);
                ring.clear();
                open = true;
                closing = false;
                break;
            case Entry::Close:
                closing = open && post_ms > 0;
                open = closing;
                close_at = Platform::Mill_After(e.stamp, post_ms);
                break;
            case Entry::Finish: open = closing = false; break;
            case Entry::Abort:
                // The aborted heat's open window is let go, pre-trigger frames and all.
                if (open) frames.resize(opened_at);
                open = closing = false;
                ring.clear();
                break;
            case Entry::Frame:
                if (open && closing && Platform::Mill_Since(close_at, e.stamp) > 0) open = closing = false;
                if (open) {
                    frames.push_back(e.stamp);
                } else if (e.running && pre_ms > 0) {
                    ring.push_back(e.stamp);
                    while (Platform::Mill_Since(ring.front(), e.stamp) > pre_ms) ring.pop_front();
                } else if (!e.running) {
                    ring.clear();  // a new start begins with an empty ring
                }
                break;
        }
    }
    return frames;
}

std::vector<std::pair<int32_t, int32_t>> Capture_Log::Windows(size_t begin) const {
    std::vector<std::pair<int32_t, int32_t>> windows;
    for (size_t i = begin; i < entries_.size(); ++i) {
        if (entries_[i].kind == Entry::Open) windows.push_back({entries_[i].stamp, 0});
        if (entries_[i].kind == Entry::Close && !windows.empty()) windows.back().second = entries_[i].stamp;
    }
    return windows;
}
