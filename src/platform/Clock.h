#pragma once
#include <cstdint>
#include <chrono>
#include <functional>

namespace Platform {

struct DateTime {
    int year = 1970, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The clocks and waits of the program. The system clock is the default; tests
// and the harness install a FakeClock (platform/testing) so that every time the
// program computes is known.
// Local calendar time of a system time point.
DateTime To_Local(std::chrono::system_clock::time_point t);

class IClock {
public:
    virtual ~IClock() = default;
    // Monotonic milliseconds as a wrapping signed 32-bit value.
    virtual int32_t PC_Mill() = 0;
    virtual DateTime Local_Now() = 0;
    // Milliseconds since the system started.
    virtual int64_t Uptime_Mill() = 0;
    virtual void Sleep_Mill(int ms) = 0;
};

class SystemClock : public IClock {
public:
    int32_t PC_Mill() override;
    DateTime Local_Now() override;
    int64_t Uptime_Mill() override;
    void Sleep_Mill(int ms) override;
};

void Set_Clock(IClock* clock);  // nullptr restores the system clock
IClock& Clock();

int32_t PC_Mill();
DateTime Local_Now();
int64_t Uptime_Mill();
void Sleep_Mill(int ms);

// Milliseconds between two PC clock readings, correct across the 32-bit wrap.
inline int32_t Mill_Since(int32_t earlier, int32_t later) {
    return static_cast<int32_t>(static_cast<uint32_t>(later) - static_cast<uint32_t>(earlier));
}

// The PC clock reading ms milliseconds after mill, across the 32-bit wrap.
inline int32_t Mill_After(int32_t mill, int32_t ms) {
    return static_cast<int32_t>(static_cast<uint32_t>(mill) + static_cast<uint32_t>(ms));
}

// "Yield to pending events": runs the UI event loop once. Tests may replace it.
void Yield_Events();
void Set_Yield_Hook(std::function<void()> hook);  // empty restores the Qt event loop
// While one of these lives, Yield_Events runs nothing: code that yields out of
// habit (a header setter) must not let other actions in while a result is written.
class Yield_Hold {
public:
    Yield_Hold();
    ~Yield_Hold();
    Yield_Hold(const Yield_Hold&) = delete;
    Yield_Hold& operator=(const Yield_Hold&) = delete;
};

}  // namespace Platform
