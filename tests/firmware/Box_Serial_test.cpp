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
#include "common/Program_State.h"

namespace {

// A PC clock the reading thread may read while the test sets it.
class Atomic_Clock : public Platform::IClock {
public:
    std::atomic<int32_t> mill{20000};
    int32_t PC_Mill() override { return mill.load(); }
    Platform::DateTime Local_Now() override { return {}; }
    int64_t Uptime_Mill() override { return mill.load(); }
    void Sleep_Mill(int ms) override { mill += ms; }
};

// The board: the firmware's logic on its own thread, sampling its pins every
// 200 microseconds and talking on the master side of a pseudo-terminal whose
// slave side appears at `link`, as a USB serial device would.
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

    bool Read_Closed(int input) override { return pins[input].load(); }
    void Set_Output(int, bool on) override { led = on; }
    void Write(const char* text) override {
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
    uint32_t eeprom;

private:
    void Run() {
        const auto start = std::chrono::steady_clock::now();
        auto micros = [&] {
            return static_cast<uint32_t>(
                std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
                    .count());
        };
        Box::Box_Logic logic(*this);
        logic.Begin(micros());
        char buf[256];
        while (!stop_) {
            if (const int closed = restart_with_closed.exchange(-1); closed >= 0) {
                pins[closed] = true;
                logic.Begin(micros());
            }
            const ssize_t n = read(master_, buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) logic.Receive(buf[i]);
            logic.Sample(micros());
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }

    std::string link_;
    int master_ = -1, slave_ = -1;
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
    void SetUp() override {
        Hdx_Test::SetUp();
        Platform::Set_Clock(&aclock);
        Input_Guard_Mill = 0;
        m_Phidget_Present = true;
        link = Temp_Dir() + "/ttyACM-box";
        board = std::make_unique<Pty_Board>(link);
        Serial_Link_Timing t;
        t.reopen_ms = 20;
        t.ident_retry_ms = 40;
        t.keepalive_ms = 40;
        t.silence_timeout_ms = 1500;
        kit = std::make_unique<SerialInterfaceKit>(link, 115200, t);
        panel = std::make_unique<Control_Box_Panel>(Control_Box_Controls());
        panel->Set_Kit(kit.get());
        panel->Set_Actions(&actions);
        kit->Open(0);
    }
    void TearDown() override {
        panel.reset();
        kit.reset();  // stops the reading thread before the clock goes
        board.reset();
        m_Phidget_Present = false;
        Hdx_Test::TearDown();
    }

    Atomic_Clock aclock;
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

    // The direct start line closes: the start carries the moment its line arrived.
    aclock.mill = 50000;
    board->pins[2] = true;
    ASSERT_TRUE(Wait_Until([&] { return !actions.starts.empty(); }, 5000));
    EXPECT_EQ(actions.starts, std::vector<int32_t>{50000});

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
    aclock.mill = 60000;
    board->pins[2] = true;  // given again: a start at its own moment
    ASSERT_TRUE(Wait_Until([&] { return !actions.starts.empty(); }, 5000));
    EXPECT_EQ(actions.starts, std::vector<int32_t>{60000});
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
