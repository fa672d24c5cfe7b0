// The live results feed: its settings, the reasons it does not start, how many
// boards it serves and what a board joining late gets, over loopback TCP.
#include <memory>
#include <optional>
#include <string>

#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include "Test_Env.h"
#include "Test_Name.h"
#include "common/Startup_Facts.h"
#include "platform/HdxError.h"
#include "review/Results_Feed.h"
#include "settings/Module_Ini.h"

namespace {

struct Feed_Case {
    const char* name;
    std::vector<std::pair<const char*, const char*>> settings;
    const char* refusal;  // part of the message; "" when the feed starts
    bool listening;
};

class Results_Feed_Test : public Hdx_Test, public ::testing::WithParamInterface<Feed_Case> {};

TEST_P(Results_Feed_Test, TheSettingsDecideWhetherAndWhereItListens) {
    const Feed_Case& c = GetParam();
    Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
    // A port another program holds already.
    Results_Feed other;
    ASSERT_TRUE(other.Start({true, "127.0.0.1", 0, "", 1024}));
    Write_Ini("Settings", "results_feed_port", "0", Facts().Ini_file_path);
    for (const auto& [key, value] : c.settings) {
        const std::string v = std::string(value) == "taken" ? std::to_string(other.Port()) : value;
        Write_Ini("Settings", key, v, Facts().Ini_file_path);
    }
    Results_Feed feed;
    std::string error;
    try {
        const bool started = feed.Start(Results_Feed::Read_Config(), &error);
        EXPECT_EQ(started, std::string(c.refusal).empty()) << error;
    } catch (const HdxError& e) {
        error = e.description;
    }
    EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
    EXPECT_EQ(feed.Listening(), c.listening);
}

const Feed_Case Feed_Cases[] = {
    {"off by default", {}, "", false},
    {"on, any free port", {{"results_feed", "1"}}, "", true},
    {"switch not 0 or 1", {{"results_feed", "yes"}}, "The setting results_feed must be a whole number", false},
    {"port out of range", {{"results_feed", "1"}, {"results_feed_port", "70000"}}, "from 0 to 65535", false},
    {"no address", {{"results_feed", "1"}, {"results_feed_address", "boards"}}, "is no IP address", false},
    {"port taken", {{"results_feed", "1"}, {"results_feed_port", "taken"}}, "Cannot listen on 127.0.0.1", false},
    {"serial port missing",
     {{"results_feed", "1"}, {"results_feed_serial", "/dev/no-such-board@9600"}},
     "Cannot open the serial port /dev/no-such-board",
     false},
    {"serial rate wrong",
     {{"results_feed", "1"}, {"results_feed_serial", "/dev/ttyUSB0@fast"}},
     "results_feed_serial",
     false},
    {"no clients allowed",
     {{"results_feed", "1"}, {"results_feed_max_clients", "0"}},
     "The setting results_feed_max_clients must be a whole number from 1 to 256, not \"0\"",
     false},
    {"clients not a number", {{"results_feed", "1"}, {"results_feed_max_clients", "many"}}, "not \"many\"", false},
    {"clients past the limit", {{"results_feed", "1"}, {"results_feed_max_clients", "257"}}, "from 1 to 256", false},
    {"clients at the limit", {{"results_feed", "1"}, {"results_feed_max_clients", "256"}}, "", true},
};
INSTANTIATE_TEST_SUITE_P(Settings, Results_Feed_Test, ::testing::ValuesIn(Feed_Cases), By_Name());

// A board on loopback: keeps what it reads and whether the feed closed it.
struct Board {
    QTcpSocket socket;
    QByteArray received;
    bool closed = false;
    explicit Board(uint16_t port) {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { received += socket.readAll(); });
        QObject::connect(&socket, &QTcpSocket::disconnected, [this] { closed = true; });
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.waitForConnected(5000);
    }
    QList<QByteArray> Lines() const {
        return received.isEmpty() ? QList<QByteArray>{} : received.trimmed().split('\n');
    }
};

// Lets the feed and the boards exchange what is pending, until done() or a bounded number of rounds.
template <typename Done>
void Exchange(Done done) {
    for (int i = 0; i < 2000 && !done(); ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct Crowd_Case {
    const char* name;
    const char* max_clients;  // the setting; "" leaves it out
    int boards;
    int served;
};

class Results_Feed_Crowd : public Hdx_Test, public ::testing::WithParamInterface<Crowd_Case> {};

TEST_P(Results_Feed_Crowd, BoardsPastTheLimitAreToldWhyAndClosedTheOthersAreServed) {
    const Crowd_Case& c = GetParam();
    Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
    Write_Ini("Settings", "results_feed", "1", Facts().Ini_file_path);
    Write_Ini("Settings", "results_feed_port", "0", Facts().Ini_file_path);
    if (*c.max_clients) Write_Ini("Settings", "results_feed_max_clients", c.max_clients, Facts().Ini_file_path);
    Results_Feed feed;
    const Results_Feed::Config config = Results_Feed::Read_Config();
    ASSERT_TRUE(feed.Start(config));
    feed.Publish("heat 1", R"({"heat":1})");

    std::vector<std::unique_ptr<Board>> boards;
    for (int i = 0; i < c.boards; ++i) {
        boards.push_back(std::make_unique<Board>(feed.Port()));
        // One at a time, so which ones are served is known.
        Exchange([&] { return !boards.back()->received.isEmpty(); });
    }
    const std::string refusal = "{\"refused\":\"too many clients (" + std::to_string(config.max_clients) + ")\"}";
    Exchange([&] {
        for (size_t i = c.served; i < boards.size(); ++i)
            if (!boards[i]->closed) return false;
        return true;
    });
    EXPECT_EQ(feed.Clients(), c.served);
    for (int i = 0; i < c.boards; ++i) {
        const bool served = i < c.served;
        EXPECT_EQ(boards[i]->received.toStdString(), served ? "{\"heat\":1}\n" : refusal + "\n") << "board " << i;
        EXPECT_EQ(boards[i]->closed, !served) << "board " << i;
    }
    size_t traced = 0;
    for (const std::string& m : traces.Messages())
        if (m.find("refused, too many clients") != std::string::npos) ++traced;
    EXPECT_EQ(traced, static_cast<size_t>(c.boards - c.served));

    // A board that leaves frees its place for the next one.
    boards.front()->socket.disconnectFromHost();
    Exchange([&] { return feed.Clients() == c.served - 1; });
    Board next(feed.Port());
    Exchange([&] { return !next.received.isEmpty(); });
    EXPECT_EQ(next.received.toStdString(), "{\"heat\":1}\n");
    EXPECT_EQ(feed.Clients(), c.served);
}

const Crowd_Case Crowd_Cases[] = {
    {"one allowed, one comes", "1", 1, 1},
    {"one allowed, three come", "1", 3, 1},
    {"four allowed, three come", "4", 3, 3},
    {"default sixteen, eighteen come", "", 18, 16},
};
INSTANTIATE_TEST_SUITE_P(Clients, Results_Feed_Crowd, ::testing::ValuesIn(Crowd_Cases), By_Name());

struct Late_Case {
    const char* name;
    int heats;
    int line_bytes;  // each heat's line, without its newline
    int64_t limit;
    int lines;  // the most recent heats a late board gets
};

class Results_Feed_Late : public Hdx_Test, public ::testing::WithParamInterface<Late_Case> {};

TEST_P(Results_Feed_Late, ABoardJoiningLateGetsTheMostRecentHeatsThatFitOldestFirstAndStays) {
    const Late_Case& c = GetParam();
    Results_Feed feed;
    ASSERT_TRUE(feed.Start({true, "127.0.0.1", 0, "", c.limit}));
    auto line_of = [&](int heat, char fill) {
        const std::string head = "{\"heat\":" + std::to_string(heat) + ",\"pad\":\"";
        return head + std::string(c.line_bytes - head.size() - 2, fill) + "\"}";
    };
    for (int h = 1; h <= c.heats; ++h) feed.Publish("heat " + std::to_string(h), line_of(h, 'a'));
    // The current heat changes again: its latest line is what a board must end with.
    feed.Publish("heat " + std::to_string(c.heats), line_of(c.heats, 'b'));

    Board late(feed.Port());
    Exchange([&] { return late.closed || late.received.count('\n') >= c.lines; });
    Exchange([&] { return late.closed; });  // anything more, or a disconnection, would show now
    EXPECT_FALSE(late.closed);
    EXPECT_EQ(feed.Clients(), 1);
    EXPECT_LE(late.received.size(), c.limit);
    const QList<QByteArray> lines = late.Lines();
    ASSERT_EQ(lines.size(), c.lines);
    for (int i = 0; i < c.lines; ++i) {
        const int heat = c.heats - c.lines + 1 + i;
        EXPECT_EQ(lines[i].toStdString(), line_of(heat, heat == c.heats ? 'b' : 'a')) << "line " << i;
    }
    EXPECT_EQ(feed.Current_State().size(), static_cast<size_t>(c.lines));
}

const Late_Case Late_Cases[] = {
    {"a few heats, all fit", 5, 1000, 256 * 1024, 5},
    {"three fit exactly", 10, 999, 3 * 1000, 3},
    {"one byte short of three", 10, 999, 3 * 1000 - 1, 2},
    {"a long meeting", 300, 2000, 64 * 1024, 32},
    {"a long meeting, default limit", 250, 2000, 256 * 1024, 131},
};
INSTANTIATE_TEST_SUITE_P(Replay, Results_Feed_Late, ::testing::ValuesIn(Late_Cases), By_Name());

}  // namespace
