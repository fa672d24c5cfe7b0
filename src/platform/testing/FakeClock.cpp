#include "FakeClock.h"

namespace Platform {

namespace {
constexpr int64_t kDayMs = 86400000;

bool Is_Leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int Days_In_Month(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && Is_Leap(y) ? 29 : days[m - 1];
}
}  // namespace

FakeClock::FakeClock(int32_t start_mill, DateTime local) : mill_(start_mill) { Set_Local(local); }

void FakeClock::Set_Local(DateTime dt) {
    local_date_ = dt;
    local_ms_ = dt.hour * 3600000LL + dt.minute * 60000LL + dt.second * 1000LL + dt.millisecond;
}

void FakeClock::Advance(int ms) {
    mill_ = static_cast<int32_t>(static_cast<uint32_t>(mill_) + static_cast<uint32_t>(ms));
    uptime_ += ms;
    local_ms_ += ms;
    while (local_ms_ >= kDayMs) {
        local_ms_ -= kDayMs;
        if (++local_date_.day > Days_In_Month(local_date_.year, local_date_.month)) {
            local_date_.day = 1;
            if (++local_date_.month > 12) {
                local_date_.month = 1;
                ++local_date_.year;
            }
        }
    }
}

DateTime FakeClock::Local_Now() {
    DateTime dt = local_date_;
    int64_t ms = local_ms_;
    dt.hour = static_cast<int>(ms / 3600000);
    ms %= 3600000;
    dt.minute = static_cast<int>(ms / 60000);
    ms %= 60000;
    dt.second = static_cast<int>(ms / 1000);
    dt.millisecond = static_cast<int>(ms % 1000);
    return dt;
}

}  // namespace Platform
