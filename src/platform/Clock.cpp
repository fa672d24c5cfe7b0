#include "Clock.h"

#include <chrono>
#include <ctime>
#include <thread>

#include <QCoreApplication>

namespace Platform {

namespace {
SystemClock g_system_clock;
IClock* g_clock = &g_system_clock;
std::function<void()> g_yield_hook;

}  // namespace

int32_t SystemClock::PC_Mill() {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(ms)));
}

DateTime To_Local(std::chrono::system_clock::time_point now) {
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,          tm.tm_hour,
                    tm.tm_min,         tm.tm_sec,     static_cast<int>(ms)};
}

DateTime SystemClock::Local_Now() { return To_Local(std::chrono::system_clock::now()); }

int64_t SystemClock::Uptime_Mill() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SystemClock::Sleep_Mill(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void Set_Clock(IClock* clock) { g_clock = clock ? clock : &g_system_clock; }
IClock& Clock() { return *g_clock; }

int32_t PC_Mill() { return g_clock->PC_Mill(); }
DateTime Local_Now() { return g_clock->Local_Now(); }
int64_t Uptime_Mill() { return g_clock->Uptime_Mill(); }
void Sleep_Mill(int ms) { g_clock->Sleep_Mill(ms); }

namespace {
int g_yield_holds = 0;
}

Yield_Hold::Yield_Hold() { ++g_yield_holds; }
Yield_Hold::~Yield_Hold() { --g_yield_holds; }

void Yield_Events() {
    if (g_yield_holds > 0) return;
    if (g_yield_hook) {
        g_yield_hook();
    } else if (QCoreApplication::instance()) {
        QCoreApplication::processEvents();
    }
}

void Set_Yield_Hook(std::function<void()> hook) { g_yield_hook = std::move(hook); }

}  // namespace Platform
