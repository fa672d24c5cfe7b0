#pragma once
#include <cstdint>
#include <utility>
#include <vector>

#include "controlbox/SimInterfaceKit.h"

// What reached the program during a meeting, in the order it came (the
// camera's frames, the opening and closing of capture windows, heat
// finishes), and from it the frames a heat's windows must hold.
//
// A window opens and closes at the time the program counts it from: the
// button's press and release when they arrive, a Control Box input at the
// edge stamp it carries, which lies before its arrival whenever the window
// thread was busy. The pre-trigger time counts back from that stamp and the
// post-trigger time on from it.
class Capture_Log {
public:
    struct Entry {
        enum Kind { Frame, Open, Close, Finish, Abort } kind = Frame;
        int64_t frame = 0;
        int32_t stamp = 0;
        bool running = false;  // a frame: the heat ran when it came, so it may be a pre-trigger frame
    };
    const std::vector<Entry>& Entries() const { return entries_; }
    size_t Size() const { return entries_.size(); }

    void Frame(int64_t number, int32_t stamp, bool heat_running);
    // A trigger pressed or let go; false when nothing changes (a window is
    // already open, or none is).
    bool Open(int32_t stamp, bool by_box);
    bool Close(int32_t stamp);
    // Automatic capture opened a window at stamp / let its own go at stamp
    // (a press in it makes it the official's).
    bool Auto_Open(int32_t stamp);
    bool Auto_Release(int32_t stamp);
    bool Auto_Window() const { return open_ && auto_; }
    // The heat is aborted at now: an open window goes with it, frames and all.
    void Abort(int32_t now);
    // The heat finishes at now; a window still open closes without its post-trigger time.
    void Finish(int32_t now);
    bool Window_Open() const { return open_; }

    // A report of the virtual Control Box as it reaches the program at now.
    // may_open: a press opens a window (a heat runs). A trigger found held
    // when the board comes back opens nothing (its moment is unknown); a
    // window held by several triggers ends with the last one let go; the
    // board going takes a window its triggers held with it.
    void Box_Report(const Sim_Kit_Report& report, bool may_open);

    // The frames of the windows logged from entry begin on, in the order they
    // reached the program: those of the last pre_ms before each press (that no
    // window took yet), those while it was held, and those of the post_ms
    // after its release.
    std::vector<int32_t> Window_Frames(size_t begin, int32_t pre_ms, int32_t post_ms) const;
    // Open and close stamps of the windows logged from entry begin on (0: never closed).
    std::vector<std::pair<int32_t, int32_t>> Windows(size_t begin) const;

private:
    std::vector<Entry> entries_;
    bool open_ = false;
    bool by_box_ = false;
    bool auto_ = false;
    bool attached_ = true;
    unsigned held_ = 0;  // box triggers whose press the program heard
};
