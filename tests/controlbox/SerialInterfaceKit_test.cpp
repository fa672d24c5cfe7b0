// The serial backend against a fake board on a pseudo-terminal: the kit opens
// the terminal's slave side through a link that appears and disappears like a
// USB serial device; the fake board answers on the master side.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>

#include "Kit_Recorder.h"
#include "Test_Env.h"
#include "Test_Name.h"
#include "controlbox/Control_Box_Protocol.h"
#include "controlbox/SerialInterfaceKit.h"

namespace P = Control_Box_Protocol;

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

class Fake_Board {
public:
    explicit Fake_Board(std::string link) : link_(std::move(link)) {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        std::filesystem::remove(link_);
        std::filesystem::create_symlink(name, link_);
    }
    ~Fake_Board() { Unplug(); }

    // The board goes away: its device node and the terminal with it.
    void Unplug() {
        if (master_ < 0) return;
        std::error_code ec;
        std::filesystem::remove(link_, ec);
        close(master_);
        close(slave_);
        master_ = slave_ = -1;
    }

    void Send(const std::string& text) {
        if (master_ < 0) return;
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = write(master_, text.data() + done, text.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
    }

    // Reads what the host sent and answers like a board would.
    void Pump() {
        if (master_ < 0) return;
        char buf[512];
        for (;;) {
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN)) break;
            const ssize_t n = read(master_, buf, sizeof buf);
            if (n <= 0) break;
            pending_.append(buf, static_cast<size_t>(n));
        }
        size_t nl;
        while ((nl = pending_.find('\n')) != std::string::npos) {
            std::string line = pending_.substr(0, nl);
            pending_.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            received.push_back(line);
            Answer(line);
        }
    }

    int Count(const std::string& line) const {
        int n = 0;
        for (const auto& l : received) n += l == line;
        return n;
    }

    // The board's microsecond clock at a PC clock reading: 100 ppm fast, far from the PC's.
    static uint32_t Board_Us(int32_t pc_mill) {
        return 0xFFF00000u + static_cast<uint32_t>(static_cast<int64_t>(pc_mill) * 1000 * 10001 / 10000);
    }

    int32_t serial = 4242;
    uint32_t levels = 0;
    bool answer_ident = true;
    bool answer_pings = true;
    bool board_clock = false;  // says "clock=us" and answers "PING <pc>" with its clock
    bool clock_pongs = true;   // ... or, a board that says so but does not
    std::map<int, bool> outputs;
    std::vector<std::string> received;

private:
    void Answer(const std::string& line) {
        if (line == "?ID") {
            if (answer_ident) Send(P::Ident_Reply(serial, 8, 8, board_clock ? "Bench box clock=us" : "Bench box"));
        } else if (line == "?LV") {
            if (answer_ident) Send(P::Levels_Reply(levels, 8));
        } else if (line == "PING") {
            if (answer_pings) Send("PONG\n");
        } else if (line.rfind("PING ", 0) == 0) {
            const long long pc = std::stoll(line.substr(5));
            if (answer_pings)
                Send(clock_pongs ? P::Pong_Reply(static_cast<int32_t>(pc), Board_Us(Platform::PC_Mill())) : "PONG\n");
        } else if (line.rfind("OUT ", 0) == 0) {
            const P::Board_Message m = P::Parse_Board_Line("OUT" + line.substr(3));
            if (m.kind == P::Kind::Output_Ack) {
                outputs[m.index] = m.level;
                Send(line + "\n");
            }
        }
    }

    std::string link_;
    int master_ = -1, slave_ = -1;
    std::string pending_;
};

class SerialKitTest : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        Platform::Set_Clock(&aclock);
        link = Temp_Dir() + "/ttyCB0";
        Serial_Link_Timing t;
        t.reopen_ms = 20;
        t.ident_retry_ms = 40;
        t.ident_timeout_ms = 1500;
        t.keepalive_ms = 40;
        t.silence_timeout_ms = 400;
        kit = std::make_unique<SerialInterfaceKit>(link, 115200, t);
        rec = std::make_unique<Kit_Recorder>(*kit);
    }
    void TearDown() override {
        rec.reset();
        kit.reset();  // stops the reading thread before the clock goes
        board.reset();
        Hdx_Test::TearDown();
    }

    bool Wait(const std::function<bool()>& done, int limit_ms = 4000) {
        return Wait_Until(done, limit_ms, [this] {
            if (board) board->Pump();
        });
    }
    int Count(const std::string& kind) const {
        int n = 0;
        for (const auto& e : rec->events) n += e.kind == kind;
        return n;
    }
    bool Traced(const std::string& start) const {
        for (const auto& m : traces.Messages())
            if (m.rfind(start, 0) == 0) return true;
        return false;
    }

    Atomic_Clock aclock;
    std::string link;
    std::unique_ptr<SerialInterfaceKit> kit;
    std::unique_ptr<Kit_Recorder> rec;
    std::unique_ptr<Fake_Board> board;
};

TEST_F(SerialKitTest, AttachInputsOutputsAndDetachFollowTheBoard) {
    kit->Open(0);
    EXPECT_TRUE(Wait([&] { return Traced("Control Box port " + link + " not available"); }));
    EXPECT_FALSE(kit->IsAttached());

    // The board is plugged in with the start lever armed.
    board = std::make_unique<Fake_Board>(link);
    board->levels = 0b10;
    ASSERT_TRUE(Wait([&] { return rec->events.size() >= 2; }));
    EXPECT_EQ(rec->events[0].kind, "attach");
    EXPECT_TRUE(rec->events[0].attached_then);
    EXPECT_EQ(rec->events[1], (Kit_Event{"input", 1, true, rec->events[0].stamp, true, true}));
    EXPECT_EQ(kit->SerialNumber(), 4242);
    EXPECT_EQ(kit->DeviceName(), "Bench box");
    EXPECT_GE(board->Count("?ID"), 1);
    EXPECT_GE(board->Count("?LV"), 1);

    // A level change is stamped when it arrives, not when the UI thread gets to it.
    board->answer_pings = false;
    Wait([] { return false; }, 100);  // answers on their way are read first
    aclock.mill = 50000;
    const int before = kit->Lines_Received();
    board->Send(P::Input_Report(3, true));
    // Wait for the reading thread without running the UI event loop.
    for (int i = 0; i < 1500 && kit->Lines_Received() == before; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_GT(kit->Lines_Received(), before);
    EXPECT_EQ(rec->events.size(), 2u);  // read, but not yet delivered
    aclock.mill = 90000;
    ASSERT_TRUE(Wait([&] { return rec->events.size() >= 3; }));
    EXPECT_EQ(rec->events[2], (Kit_Event{"input", 3, true, 50000, true, true}));
    board->answer_pings = true;

    // Outputs are written to the board at once, and the kit says when they left.
    std::vector<std::pair<int, bool>> written;
    QObject::connect(kit.get(), &IInterfaceKit::OnOutputWritten, [&](int index, bool level, int32_t) {
        written.push_back({index, level});
    });
    kit->Set_OutputState(0, true);
    ASSERT_TRUE(Wait([&] { return board->outputs.count(0) && board->outputs[0]; }));
    kit->Set_OutputState(0, false);
    ASSERT_TRUE(Wait([&] { return !board->outputs[0]; }));
    EXPECT_FALSE(kit->OutputState(0));
    ASSERT_TRUE(Wait([&] { return written.size() >= 2; }));
    EXPECT_EQ(written, (std::vector<std::pair<int, bool>>{{0, true}, {0, false}}));

    // The link keeps asking whether the board is still there.
    EXPECT_TRUE(Wait([&] { return board->Count("PING") >= 2; }));

    // Rubbish on the line is skipped; the next good line still counts.
    board->Send("HELLO\n" + std::string(300, 'z') + "\nIN 4 1\n");
    ASSERT_TRUE(Wait([&] { return kit->InputState(4); }));
    EXPECT_TRUE(Traced("Control Box line ignored (unknown line): HELLO"));
    EXPECT_TRUE(Traced("Control Box line too long, ignored"));

    // Unplugged: detach, with everything read false again.
    const size_t seen = rec->events.size();
    board->Unplug();
    ASSERT_TRUE(Wait([&] { return !kit->IsAttached(); }));
    ASSERT_EQ(rec->events.size(), seen + 1);
    EXPECT_EQ(rec->events.back().kind, "detach");
    EXPECT_TRUE(Traced("Control Box port " + link + " lost: "));  // seen by the port, not by the silence
    EXPECT_FALSE(kit->InputState(1));

    // Plugged in again: a fresh attach with the board's present levels.
    board = std::make_unique<Fake_Board>(link);
    board->levels = 0b1001;
    ASSERT_TRUE(Wait([&] { return kit->IsAttached() && kit->InputState(3); }));
    EXPECT_EQ(Count("attach"), 2);
    EXPECT_TRUE(kit->InputState(0));
    EXPECT_FALSE(kit->InputState(1));
}

struct Dating_Case {
    const char* name;
    bool board_clock;  // the board says it dates its inputs
    bool clock_pongs;  // and answers PING with its clock
    bool dated;        // the IN line carries the edge's time
    int32_t edge_age;  // ms between the edge and the line's arrival
    int32_t expected_age;
    const char* trace;  // the start of the trace line it leaves, or empty
};

void PrintTo(const Dating_Case& c, std::ostream* os) { *os << c.name; }

class SerialKitDating : public SerialKitTest, public ::testing::WithParamInterface<Dating_Case> {};

TEST_P(SerialKitDating, AnInputIsStampedAtItsEdgeWhereTheBoardDatesIt) {
    const Dating_Case& c = GetParam();
    board = std::make_unique<Fake_Board>(link);
    board->board_clock = c.board_clock;
    board->clock_pongs = c.clock_pongs;
    kit->Open(0);
    // The PC clock runs while the exchanges go to and fro.
    const auto pump = [&] {
        aclock.mill += 1;
        board->Pump();
    };
    ASSERT_TRUE(Wait_Until([&] { return kit->IsAttached(); }, 4000, pump));
    ASSERT_TRUE(Wait_Until([&] { return board->received.size() >= 12; }, 4000, pump));
    board->answer_pings = false;
    Wait_Until([] { return false; }, 100, pump);

    aclock.mill += 5000;
    const int32_t arrival = aclock.mill;
    const int32_t edge = Platform::Mill_After(arrival, -c.edge_age);
    const size_t seen = rec->events.size();
    board->Send(c.dated ? P::Input_Report(2, true, Fake_Board::Board_Us(edge)) : P::Input_Report(2, true));
    ASSERT_TRUE(Wait_Until([&] { return rec->events.size() > seen; }, 4000, [&] { board->Pump(); }));
    EXPECT_EQ(rec->events.back().stamp, Platform::Mill_After(arrival, -c.expected_age));
    if (*c.trace) {
        EXPECT_TRUE(Wait([&] { return Traced(c.trace); })) << c.trace;
    } else {
        Wait([] { return false; }, 50);
        EXPECT_FALSE(Traced("Control Box input 2 stamped on arrival"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Boards, SerialKitDating,
    ::testing::Values(Dating_Case{"OldBoardOnArrival", false, false, false, 7, 0,
                                  "Control Box input 2 stamped on arrival: the line carries no board time"},
                      Dating_Case{"DatedAtTheEdge", true, true, true, 7, 7, ""},
                      Dating_Case{"DatedEdgeOnTheMillisecond", true, true, true, 0, 0, ""},
                      Dating_Case{"NoClockAnswersYet", true, false, true, 7, 0,
                                  "Control Box input 2 stamped on arrival: the board's clock is not tracked yet"},
                      Dating_Case{"BoardTimeImplausiblyOld", true, true, true, 5000, 0,
                                  "Control Box input 2 stamped on arrival: the board's time is off by 5000 ms"}),
    By_Name());

TEST_F(SerialKitTest, ASilentBoardIsDetachedAndFoundAgainWhenItAnswers) {
    board = std::make_unique<Fake_Board>(link);
    kit->Open(0);
    ASSERT_TRUE(Wait([&] { return kit->IsAttached(); }));
    board->answer_pings = false;
    board->answer_ident = false;
    ASSERT_TRUE(Wait([&] { return !kit->IsAttached(); }));
    EXPECT_TRUE(Traced("Control Box on " + link + " stopped answering"));
    const int asked = board->Count("?ID");
    ASSERT_TRUE(Wait([&] { return board->Count("?ID") > asked; }));  // it keeps looking
    EXPECT_FALSE(kit->IsAttached());
    board->answer_pings = true;
    board->answer_ident = true;
    ASSERT_TRUE(Wait([&] { return kit->IsAttached(); }));
    EXPECT_EQ(Count("attach"), 2);
    EXPECT_EQ(Count("detach"), 1);
}

TEST_F(SerialKitTest, ABoardThatRestartsIsAttachedAfresh) {
    board = std::make_unique<Fake_Board>(link);
    kit->Open(0);
    ASSERT_TRUE(Wait([&] { return kit->IsAttached(); }));
    kit->Set_OutputState(0, true);
    ASSERT_TRUE(Wait([&] { return board->outputs[0]; }));
    rec->events.clear();
    board->levels = 0b100;
    board->Send(P::Ident_Reply(4242, 8, 8, "Bench box"));  // announced itself after a reset
    ASSERT_TRUE(Wait([&] { return rec->events.size() >= 3; }));
    EXPECT_EQ(rec->events[0].kind, "detach");
    EXPECT_EQ(rec->events[1].kind, "attach");
    EXPECT_EQ(rec->events[2].index, 2);
    EXPECT_FALSE(kit->OutputState(0));  // a restarted board has its outputs off
}

TEST_F(SerialKitTest, APortWithoutABoardOrWithAnotherBoardNeverAttaches) {
    board = std::make_unique<Fake_Board>(link);
    board->answer_ident = false;
    kit->Open(0);
    ASSERT_TRUE(Wait([&] { return board->Count("?ID") >= 3; }));
    EXPECT_FALSE(kit->IsAttached());
    kit->Close();

    board->answer_ident = true;
    kit->Open(999);  // only the board with serial 999 will do
    ASSERT_TRUE(Wait([&] { return board->Count("?LV") >= 1; }));
    Wait([] { return false; }, 150);
    EXPECT_FALSE(kit->IsAttached());
    EXPECT_TRUE(rec->events.empty());
    EXPECT_NE(kit->Other_Board_Serial(), 0);  // named, not used
}

TEST_F(SerialKitTest, CloseEndsTheEventsAtOnce) {
    board = std::make_unique<Fake_Board>(link);
    kit->Open(0);
    ASSERT_TRUE(Wait([&] { return kit->IsAttached(); }));
    board->Send(P::Input_Report(2, true));
    kit->Close();
    EXPECT_FALSE(kit->IsAttached());
    const size_t seen = rec->events.size();
    Wait([] { return false; }, 150);
    EXPECT_EQ(rec->events.size(), seen);
    kit->Set_OutputState(0, true);  // closed: dropped, no fault
    EXPECT_FALSE(kit->OutputState(0));
}

}  // namespace
