// The firmware's logic as a board on a pseudo-terminal, against the program's
// real serial backend and Control Box panel: a contact closing on a pin
// reaches Handle_Start through the serial path, the start LED comes back.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "../controlbox/Kit_Recorder.h"
#include "Box_Logic.h"
#include "Test_Env.h"
#include "controlbox/Control_Box_Panel.h"
#include "controlbox/IControl_Box_Actions.h"
#include "controlbox/SerialInterfaceKit.h"
#include "common/Startup_Facts.h"

namespace {

// A PC clock that runs (whole milliseconds, close to its wrap) and that the
// reading thread may read.
class Running_Clock : public Platform::IClock {
public:
    int32_t PC_Mill() override {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
        return Platform::Mill_After(INT32_MAX - 2000, static_cast<int32_t>(ms.count()));
    }
    Platform::DateTime Local_Now() override { return {}; }
    int64_t Uptime_Mill() override { return PC_Mill(); }
    void Sleep_Mill(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

private:
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// The board: the firmware's logic on its own thread, sampling its pins every
// 200 microseconds and talking on the master side of a pseudo-terminal whose
// slave side appears at `link`, as a USB serial device would. Its microsecond
// clock runs 100 ppm fast and wraps a few seconds in.
class Pty_Board final : public Box::Board_Io {
public:
    explicit Pty_Board(std::string link) : link_(std::move(link)) {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        std::filesystem::remove(link_);
        std::filesystem::create_symlink(name, link_);
        for (auto& p : pins) p = false;
        eeprom = 31337;
        thread_ = std::thread([this] { Run(); });
    }
    ~Pty_Board() {
        stop_ = true;
        thread_.join();
        std::error_code ec;
        std::filesystem::remove(link_, ec);
        close(master_);
        close(slave_);
    }

    bool Read_Closed(int input) override {
        // A pulse lasts one millisecond of the board's clock from the sample that first sees it.
        return pins[input].load() || (input == pulsing_ && static_cast<int32_t>(now_us_ - pulse_end_us_) < 0);
    }
    void Set_Output(int, bool on) override { led = on; }
    void Write(const char* text) override {
        if (hold_ms > 0 && strncmp(text, "IN ", 3) == 0) holding_ = true;
        if (holding_) {
            // A slow line: the report leaves hold_ms after the edge.
            held_ += text;
            if (held_.back() == '\n') {
                held_since_ = std::chrono::steady_clock::now();
                holding_ = false;
            }
            return;
        }
        Put(text);
    }
    void Put(const char* text) {
        for (size_t n = strlen(text); n > 0;) {
            const ssize_t w = write(master_, text, n);
            if (w <= 0) return;
            text += w;
            n -= static_cast<size_t>(w);
        }
    }
    uint32_t Load_Serial() override { return eeprom; }
    void Store_Serial(uint32_t serial) override { eeprom = serial; }

    std::atomic<bool> pins[Box::kInputs];
    std::atomic<bool> led{false};
    // Set to an input: the board restarts (power-up) with that contact already closed.
    std::atomic<int> restart_with_closed{-1};
    // Set to an input: a one-millisecond pulse on it.
    std::atomic<int> pulse{-1};
    // IN lines leave this long after they are made.
    std::atomic<int> hold_ms{0};
    uint32_t eeprom;

private:
    void Run() {
        const auto start = std::chrono::steady_clock::now();
        auto micros = [&] {
            const auto us =
                std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
            return 0xFFD00000u + static_cast<uint32_t>(us + us / 10000);
        };
        Box::Box_Logic logic(*this);
        logic.Begin(micros(), Box::Reset_Power_On);
        char buf[256];
        while (!stop_) {
            now_us_ = micros();
            if (const int p = pulse.exchange(-1); p >= 0) {
                pulsing_ = p;
                pulse_end_us_ = now_us_ + 1000;
            }
            if (!held_.empty() &&
                std::chrono::steady_clock::now() - held_since_ >= std::chrono::milliseconds(hold_ms)) {
                Put(held_.c_str());
                held_.clear();
            }
            if (const int closed = restart_with_closed.exchange(-1); closed >= 0) {
                pins[closed] = true;
                logic.Begin(micros());
            }
            const ssize_t n = read(master_, buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) logic.Receive(buf[i], micros());
            logic.Sample(now_us_);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }

    std::string link_;
    int master_ = -1, slave_ = -1;
    uint32_t now_us_ = 0;
    int pulsing_ = -1;
    uint32_t pulse_end_us_ = 0;
    bool holding_ = false;
    std::string held_;
    std::chrono::steady_clock::time_point held_since_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class Recorded_Actions : public IControl_Box_Actions {
public:
    void Handle_Start(int32_t stamp) override { starts.push_back(stamp); }
    void Handle_Capture_Start() override { ++capture_starts; }
    void Handle_Capture_End() override { ++capture_ends; }
    void Stop_all_cams() override {}
    void Input_Uncertain(int input, const std::string&) override { uncertain.push_back(input); }
    std::vector<int32_t> starts;
    std::vector<int> uncertain;
    int capture_starts = 0, capture_ends = 0;
};

class BoxSerialTest : public Hdx_Test {
protected:
    static constexpr int kHold_ms = 400;
    void SetUp() override {
        Hdx_Test::SetUp();
        Platform::Set_Clock(&rclock);
        link = Temp_Dir() + "/ttyACM-box";
        board = std::make_unique<Pty_Board>(link);
        Serial_Link_Timing t;
        t.reopen_ms = 20;
        t.ident_retry_ms = 40;
        t.keepalive_ms = 40;
        t.silence_timeout_ms = 1500;
        kit = std::make_unique<SerialInterfaceKit>(link, 115200, t);
        panel = std::make_unique<Control_Box_Panel>(Control_Box_Controls());
        panel->m_Phidget_Present = true;
        panel->Set_Kit(kit.get());
        panel->Set_Actions(&actions);
        kit->Open(0);
    }
    void TearDown() override {
        panel.reset();
        kit.reset();  // stops the reading thread before the clock goes
        board.reset();
        Hdx_Test::TearDown();
    }

    Running_Clock rclock;
    std::string link;
    std::unique_ptr<Pty_Board> board;
    std::unique_ptr<SerialInterfaceKit> kit;
    std::unique_ptr<Control_Box_Panel> panel;
    Recorded_Actions actions;
};

TEST_F(BoxSerialTest, AContactOnThePinReachesHandleStartThroughTheSerialPath) {
    ASSERT_TRUE(Wait_Until([&] { return panel->m_Phidget_Attached; }, 5000));
    EXPECT_EQ(kit->SerialNumber(), 31337);
    EXPECT_EQ(kit->DeviceName(), "Houndex box " HOUNDEX_BOX_VERSION);

    EXPECT_TRUE(Wait_Until([&] { return traces.Has("Control Box 31337 last started by power-on reset"); }, 2000));

    // The direct start line closes, its line is slow to come: the start is
    // dated to the edge by the board's clock, not to the line's arrival.
    board->hold_ms = kHold_ms;
    Wait_Until([] { return false; }, 600);  // the board's clock tracked meanwhile
    const int32_t edge = rclock.PC_Mill();
    board->pins[2] = true;
    ASSERT_TRUE(Wait_Until([&] { return !actions.starts.empty(); }, 5000));
    const int32_t late = Platform::Mill_Since(edge, actions.starts[0]);
    EXPECT_LT(late, kHold_ms / 2) << "stamped on arrival, not at the edge";
    EXPECT_GE(late, -1);

    // A Goal capture trigger held and let go opens and closes a capture window.
    board->pins[3] = true;
    ASSERT_TRUE(Wait_Until([&] { return actions.capture_starts == 1; }, 5000));
    board->pins[3] = false;
    ASSERT_TRUE(Wait_Until([&] { return actions.capture_ends == 1; }, 5000));
}

TEST_F(BoxSerialTest, ABoardRestartingWithTheStartLineClosedStartsNothing) {
    ASSERT_TRUE(Wait_Until([&] { return panel->m_Phidget_Attached; }, 5000));
    // The board resets (a brown-out, a loose USB lead) while the start line is closed:
    // it announces itself again and its levels come with the new attach.
    board->restart_with_closed = 2;
    ASSERT_TRUE(Wait_Until([&] { return !actions.uncertain.empty(); }, 5000));
    EXPECT_EQ(actions.uncertain, std::vector<int>{2});
    EXPECT_TRUE(actions.starts.empty());

    board->pins[2] = false;
    ASSERT_TRUE(Wait_Until([&] { return !kit->InputState(2); }, 5000));
    Wait_Until([] { return false; }, 600);  // the restarted board's clock tracked afresh
    board->hold_ms = kHold_ms;
    const int32_t edge = rclock.PC_Mill();
    board->pins[2] = true;  // given again: a start at its own moment
    ASSERT_TRUE(Wait_Until([&] { return !actions.starts.empty(); }, 5000));
    EXPECT_EQ(actions.starts.size(), 1u);
    EXPECT_LT(Platform::Mill_Since(edge, actions.starts[0]), kHold_ms / 2);
}

TEST_F(BoxSerialTest, AOneMillisecondStartPulseIsAStart) {
    ASSERT_TRUE(Wait_Until([&] { return panel->m_Phidget_Attached; }, 5000));
    board->pulse = 2;
    ASSERT_TRUE(Wait_Until([&] { return !actions.starts.empty(); }, 5000));
    EXPECT_EQ(actions.starts.size(), 1u);
    ASSERT_TRUE(Wait_Until([&] { return !kit->InputState(2); }, 5000));  // and its end follows the lockout
}

TEST_F(BoxSerialTest, TheRemoteContactLightsTheStartLedOnTheBoard) {
    ASSERT_TRUE(Wait_Until([&] { return panel->m_Phidget_Attached; }, 5000));
    board->pins[1] = true;  // lever armed
    ASSERT_TRUE(Wait_Until([&] { return kit->InputState(1); }, 5000));
    board->pins[0] = true;  // remote contact: start, and the LED follows it
    ASSERT_TRUE(Wait_Until([&] { return board->led.load(); }, 5000));
    EXPECT_EQ(actions.starts.size(), 1u);
    board->pins[0] = false;
    ASSERT_TRUE(Wait_Until([&] { return !board->led.load(); }, 5000));
}

}  // namespace
