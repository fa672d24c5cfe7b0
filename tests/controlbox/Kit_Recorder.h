#pragma once
#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>

#include "controlbox/IInterfaceKit.h"

// Everything a kit raises, in order, with the stamps it carried.
struct Kit_Event {
    std::string kind;  // "attach", "detach", "input"
    int index = -1;
    bool state = false;
    int32_t stamp = 0;
    bool attached_then = false;  // IsAttached inside the handler
    bool level_then = false;     // InputState(index) inside the handler
    bool operator==(const Kit_Event&) const = default;
};

inline void PrintTo(const Kit_Event& e, std::ostream* os) {
    *os << e.kind << "(index " << e.index << ", state " << e.state << ", stamp " << e.stamp << ", attached "
        << e.attached_then << ", level " << e.level_then << ")";
}

class Kit_Recorder {
public:
    explicit Kit_Recorder(IInterfaceKit& kit) : kit_(kit) {
        QObject::connect(&kit, &IInterfaceKit::OnAttach, &kit, [this](int32_t s) {
            events.push_back({"attach", -1, false, s, kit_.IsAttached(), false});
        });
        QObject::connect(&kit, &IInterfaceKit::OnDetach, &kit, [this](int32_t s) {
            events.push_back({"detach", -1, false, s, kit_.IsAttached(), false});
        });
        QObject::connect(&kit, &IInterfaceKit::OnInputChange, &kit, [this](int i, bool v, int32_t s) {
            events.push_back({"input", i, v, s, kit_.IsAttached(), kit_.InputState(i)});
        });
    }
    std::vector<Kit_Event> events;

private:
    IInterfaceKit& kit_;
};

// Runs the event loop until the condition holds or the (real-time) limit passes.
inline bool Wait_Until(const std::function<bool()>& done, int limit_ms = 3000, const std::function<void()>& each = {}) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents();
        if (each) each();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

inline void Run_Events() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}
