#pragma once
#include <cstdint>

#include "platform/Clock.h"

namespace Platform {

// A clock that only moves when told to; sleeping advances it.
class FakeClock : public IClock {
public:
    explicit FakeClock(int32_t start_mill = 1000000, DateTime local = {2026, 5, 16, 14, 30, 0, 0});
    int32_t PC_Mill() override { return mill_; }
    DateTime Local_Now() override;
    int64_t Uptime_Mill() override { return uptime_; }
    void Sleep_Mill(int ms) override { Advance(ms); }
    void Advance(int ms);
    void Set_PC_Mill(int32_t m) { mill_ = m; }
    void Set_Local(DateTime dt);

private:
    int32_t mill_;
    int64_t uptime_ = 3600000;
    int64_t local_ms_;  // milliseconds since local midnight of local_date_
    DateTime local_date_;
};

}  // namespace Platform
