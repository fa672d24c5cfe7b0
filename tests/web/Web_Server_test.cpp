// The web server over loopback: what it serves of a reviewed heat (the
// recording's own frame bytes, the goal photo only once official, the feed's
// objects), its settings and access key, and how it refuses what it must not take.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

#include "../review/Sim_Heat.h"
#include "Test_Name.h"
#include "Web_Test_Support.h"
#include "common/Startup_Facts.h"
#include "platform/HdxError.h"
#include "settings/Module_Ini.h"

namespace {

class Web_Server_Test : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
        path = Path("heat 7.nx3");
        ASSERT_TRUE(heat.Record(path));
        ASSERT_TRUE(handler.Open_File(path));
        session = std::make_unique<Review_Session>(handler, Review_Session::Arming{});
        std::string error;
        ASSERT_TRUE(server.Start(Server_Config(), &error)) << error;
        Publish_Session(server, *session, handler);
    }
    // The server answers on its own thread: a change shows once it has taken it.
    Http_Answer Get_When(const std::string& what, int status) {
        Http_Answer a;
        for (int i = 0; i < 100 && (a = Http_Get(server.Port(), what)).Status != status; ++i) QTest::qWait(20);
        return a;
    }
    Sim_Heat heat{{"50p", false, 50}};
    std::string path;
    cls_VideoFile_handler handler;
    std::unique_ptr<Review_Session> session;
    Web_Server server;
};

TEST_F(Web_Server_Test, TheFramesServedAreTheRecordingsBytesInOrder) {
    const Http_Answer index = Get_When("/api/heats/1/frames", 200);
    ASSERT_EQ(index.Status, 200) << index.Body.toStdString();
    const QJsonArray frames = QJsonDocument::fromJson(index.Body).object().value("frames").toArray();
    ASSERT_EQ(frames.size(), handler.num_Frames());
    int32_t previous = INT32_MIN;
    for (int n = 1; n <= handler.num_Frames(); ++n) {
        const Http_Answer jpeg = Http_Get(server.Port(), "/api/heats/1/frames/" + std::to_string(n) + ".jpg");
        ASSERT_EQ(jpeg.Status, 200) << n;
        ASSERT_TRUE(handler.Read_RGB_sample(static_cast<int16_t>(n), false));
        EXPECT_EQ(jpeg.Body, QByteArray(reinterpret_cast<const char*>(handler.Sample_JPEG()), handler.NX3_JPEG_Size()))
            << "frame " << n;
        // Each frame's time is the review's time of it, later than the one before.
        const int32_t time = frames[n - 1].toObject().value("times").toArray().at(0).toInt();
        EXPECT_EQ(time, heat.Field_Time(n)) << n;
        EXPECT_GT(time, previous);
        previous = time;
    }
    EXPECT_EQ(
        Http_Get(server.Port(), "/api/heats/1/frames/" + std::to_string(handler.num_Frames() + 1) + ".jpg").Status,
        404);
}

TEST_F(Web_Server_Test, TheGoalPhotoIsShownOnlyOnceTheHeatIsOfficial) {
    Review_Session::Click click;
    click.Box = 2;
    click.Time = 1017;
    ASSERT_TRUE(session->Set_Time(click).done);
    const Http_Answer results = Get_When("/api/results", 200);
    const QJsonArray lines = QJsonDocument::fromJson(results.Body).array();
    ASSERT_EQ(lines.size(), 1) << results.Body.toStdString();
    EXPECT_EQ(lines[0].toObject().value("change").toString(), "time");
    EXPECT_EQ(Http_Get(server.Port(), "/api/heats/1/photo.png").Status, 404);
    ASSERT_TRUE(session->Declare().done);
    const Http_Answer photo = Get_When("/api/heats/1/photo.png", 200);
    ASSERT_EQ(photo.Status, 200);
    EXPECT_TRUE(photo.Body.startsWith("\x89PNG"));
    EXPECT_NE(photo.Head.find("Content-Type: image/png"), std::string::npos);
    const QJsonObject last =
        QJsonDocument::fromJson(Http_Get(server.Port(), "/api/results").Body).array().last().toObject();
    EXPECT_EQ(last.value("heat").toObject().value("status").toString(), "official");
}

struct Bad_Case {
    const char* name;
    QByteArray request;
    int status;
};

class Web_Server_Bad_Request : public Web_Server_Test, public ::testing::WithParamInterface<Bad_Case> {};

TEST_P(Web_Server_Bad_Request, GetsACleanErrorAndTheServerGoesOn) {
    const Http_Answer a = Http_Exchange(server.Port(), GetParam().request);
    EXPECT_EQ(a.Status, GetParam().status) << a.Head;
    EXPECT_TRUE(QJsonDocument::fromJson(a.Body).object().contains("error")) << a.Body.toStdString();
    EXPECT_EQ(Http_Get(server.Port(), "/scoreboard").Status, 200);
}

const Bad_Case Bad_Cases[] = {
    {"head too long", "GET / HTTP/1.1\r\nX: " + QByteArray(20000, 'x') + "\r\n\r\n", 431},
    {"head never ends", "GET / HTTP/1.1\r\nX: " + QByteArray(20000, 'x'), 431},
    {"a body", "GET / HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc", 413},
    {"post", "POST /api/results HTTP/1.1\r\n\r\n", 405},
    {"not http", "hello there\r\n\r\n", 400},
    {"unknown page", "GET /admin HTTP/1.1\r\n\r\n", 404},
    {"unknown heat", "GET /api/heats/99/frames HTTP/1.1\r\n\r\n", 404},
    {"frame zero", "GET /api/heats/1/frames/0.jpg HTTP/1.1\r\n\r\n", 404},
    {"frame not a number", "GET /api/heats/1/frames/x.jpg HTTP/1.1\r\n\r\n", 404},
    {"socket elsewhere", "GET /live HTTP/1.1\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n\r\n", 404},
};
INSTANTIATE_TEST_SUITE_P(Requests, Web_Server_Bad_Request, ::testing::ValuesIn(Bad_Cases), By_Name());

TEST_F(Web_Server_Test, OneConnectionPastTheLimitIsToldWhyAndClosed) {
    Web_Server::Config c = Server_Config();
    c.max_connections = 2;
    ASSERT_TRUE(server.Start(c));
    QTcpSocket first, second;
    for (QTcpSocket* s : {&first, &second}) {
        s->connectToHost(QHostAddress::LocalHost, server.Port());
        ASSERT_TRUE(s->waitForConnected(2000));
    }
    for (int i = 0; i < 100 && server.Connections() < 2; ++i) QTest::qWait(10);
    ASSERT_EQ(server.Connections(), 2);
    const Http_Answer third = Http_Get(server.Port(), "/scoreboard");
    EXPECT_EQ(third.Status, 503);
    first.abort();
    for (int i = 0; i < 100 && server.Connections() > 1; ++i) QTest::qWait(10);
    EXPECT_EQ(Http_Get(server.Port(), "/scoreboard").Status, 200);
}

TEST_F(Web_Server_Test, AnAddressBeyondLoopbackNeedsTheKeyInEveryUrl) {
    std::string error;
    EXPECT_FALSE(server.Start(Server_Config("0.0.0.0"), &error));
    EXPECT_NE(error.find("access key"), std::string::npos) << error;
    const std::string key = Web_Server::New_Key();
    ASSERT_TRUE(server.Start(Server_Config("0.0.0.0", key), &error)) << error;
    EXPECT_EQ(Http_Get(server.Port(), "/scoreboard").Status, 403);
    EXPECT_EQ(Http_Get(server.Port(), "/scoreboard?key=" + key.substr(0, 23) + "x").Status, 403);
    EXPECT_EQ(Http_Get(server.Port(), "/scoreboard?key=" + key).Status, 200);
    EXPECT_EQ(Http_Get(server.Port(), "/api/results?key=" + key).Status, 200);
    for (const std::string& url : server.Urls("scoreboard")) EXPECT_NE(url.find("?key=" + key), std::string::npos);
}

struct Settings_Case {
    const char* name;
    std::vector<std::pair<const char*, const char*>> settings;
    bool enabled;
    const char* address;
    bool key_made;
    const char* error;
};

class Web_Settings_Test : public Hdx_Test, public ::testing::WithParamInterface<Settings_Case> {};

TEST_P(Web_Settings_Test, AreReadWithTheirDefaults) {
    const Settings_Case& c = GetParam();
    Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
    for (const auto& [k, v] : c.settings) Write_Ini("Settings", k, v, Facts().Ini_file_path);
    try {
        const Web_Server::Config config = Web_Server::Read_Config();
        EXPECT_STREQ(c.error, "");
        EXPECT_EQ(config.enabled, c.enabled);
        EXPECT_EQ(config.address, c.address);
        EXPECT_EQ(config.key.size(), c.key_made ? 24u : 0u);
        if (c.key_made) {
            EXPECT_EQ(Read_Ini("Settings", "web_key", Facts().Ini_file_path, ""), config.key);
        }
    } catch (const HdxError& e) {
        EXPECT_NE(e.description.find(c.error), std::string::npos) << e.description;
        EXPECT_STRNE(c.error, "");
    }
}

const Settings_Case Settings_Cases[] = {
    {"off on loopback by default", {}, false, "127.0.0.1", false, ""},
    {"on on loopback needs no key", {{"web_server", "1"}}, true, "127.0.0.1", false, ""},
    {"on the network gets a key", {{"web_server", "1"}, {"web_address", "0.0.0.0"}}, true, "0.0.0.0", true, ""},
    {"switch not 0 or 1", {{"web_server", "on"}}, false, "", false, "web_server must be a whole number"},
    {"port out of range", {{"web_port", "65536"}}, false, "", false, "from 0 to 65535"},
};
INSTANTIATE_TEST_SUITE_P(Settings, Web_Settings_Test, ::testing::ValuesIn(Settings_Cases), By_Name());

}  // namespace
