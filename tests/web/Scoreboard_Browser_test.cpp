// The scoreboard in a real browser: Debian's chromium, headless, loads the
// page from the program's server on loopback; after box clicks and the
// declaration the page shows the order and "Official" within 2 s, read from
// its DOM through the browser's DevTools protocol.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QWebSocket>
#include <gtest/gtest.h>

#include "../review/Sim_Heat.h"
#include "Web_Test_Support.h"
#include "common/Startup_Facts.h"

namespace {

// A headless chromium driven over its DevTools socket: one page, scripts
// evaluated in it, a screenshot of it.
class Browser {
public:
    ~Browser() {
        socket.abort();
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    // Starts the browser on url; empty when it runs, else why not.
    std::string Open(const std::string& url, const std::string& profile, int width, int height) {
        const QString exe = QStandardPaths::findExecutable("chromium");
        if (exe.isEmpty()) return "chromium is not installed (scripts/setup.sh installs it)";
        // --no-sandbox: CI runs as root, where chromium's sandbox cannot start.
        process.start(exe, {"--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                            "--no-first-run", "--disable-extensions", "--remote-debugging-port=0",
                            "--user-data-dir=" + QString::fromStdString(profile),
                            QString("--window-size=%1,%2").arg(width).arg(height), "about:blank"});
        if (!process.waitForStarted(10000)) return "chromium did not start";
        QByteArray err;
        QRegularExpressionMatch m;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 30000) {
            process.waitForReadyRead(100);
            err += process.readAllStandardError();
            m = QRegularExpression("DevTools listening on (ws://\\S+)").match(QString::fromUtf8(err));
            if (m.hasMatch()) break;
        }
        if (!m.hasMatch()) return "chromium gave no DevTools address: " + err.toStdString();
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString& text) {
            const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
            if (o.contains("id")) answers[o.value("id").toInt()] = o;
        });
        socket.open(QUrl(m.captured(1)));
        for (int i = 0; i < 500 && socket.state() != QAbstractSocket::ConnectedState; ++i) QTest::qWait(10);
        if (socket.state() != QAbstractSocket::ConnectedState) return "the DevTools socket did not open";
        const QJsonObject target = Call("Target.createTarget", {{"url", QString::fromStdString(url)}}, false);
        const QJsonObject attached =
            Call("Target.attachToTarget", {{"targetId", target.value("targetId")}, {"flatten", true}}, false);
        session = attached.value("sessionId").toString();
        if (session.isEmpty()) return "no page session";
        Call("Emulation.setDeviceMetricsOverride",
             {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", false}});
        return {};
    }

    QJsonObject Call(const QString& method, const QJsonObject& params = {}, bool in_page = true) {
        const int id = ++next_id;
        QJsonObject message{{"id", id}, {"method", method}, {"params", params}};
        if (in_page) message.insert("sessionId", session);
        socket.sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
        for (int i = 0; i < 1000 && !answers.contains(id); ++i) QTest::qWait(10);
        return answers.take(id).value("result").toObject();
    }

    // The value of a JavaScript expression in the page.
    QJsonValue Eval(const QString& expression) {
        return Call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}})
            .value("result")
            .toObject()
            .value("value");
    }

    QProcess process;
    QWebSocket socket;
    QString session;
    QMap<int, QJsonObject> answers;
    int next_id = 0;
};

const QString Status_Js = "(document.getElementById('status')||{}).textContent||''";
const QString Order_Js = "[...document.querySelectorAll('#order tr')].map(r => r.dataset.box).join(',')";

class Scoreboard_Browser_Test : public Hdx_Test {};

// Where a screenshot of the page goes: HOUNDEX_SCREENSHOTS=folder; empty for none.
std::string Shot_Path(const char* name) {
    const char* folder = std::getenv("HOUNDEX_SCREENSHOTS");
    return folder && *folder ? std::string(folder) + "/" + name : std::string();
}

void Save_Png(const QJsonObject& shot, const std::string& path) {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromBase64(shot.value("data").toString().toLatin1()));
}

TEST_F(Scoreboard_Browser_Test, ShowsTheOrderAndOfficialWithinTwoSecondsOfTheDeclaration) {
    Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
    Sim_Heat heat{{"50p", false, 50}};
    const std::string path = Path("Greyhound Derby heat 4.nx3");
    ASSERT_TRUE(heat.Record(path));
    cls_VideoFile_handler handler;
    ASSERT_TRUE(handler.Open_File(path));
    // Names as a race card from a Windows office gives them.
    handler.Set_Hdx_event("Riverside Evening Meeting");
    handler.Set_Hdx_Heat_ID("4");
    handler.Set_Hdx_Heat_Name("480 m Flat");
    const char* const dogs[] = {"Swift Rocket",    "Ballyneety Star", "Zoë's Dream",
                                "O’Brien’s Flyer", "Café Crème",      "Midnight Runner"};
    for (int16_t box = 1; box <= 6; ++box) handler.Set_Hdx_Dog_name(box, dogs[box - 1]);
    ASSERT_TRUE(handler.Write_XML_Header());
    Review_Session session(handler, Review_Session::Arming{});
    Web_Server server;
    std::string error;
    ASSERT_TRUE(server.Start(Server_Config(), &error)) << error;
    Publish_Session(server, session, handler, static_cast<int16_t>(heat.Crossing_Field(4)));

    Browser browser;
    const std::string shot = Shot_Path("scoreboard.png");
    const std::string why = browser.Open(server.Urls("scoreboard").at(0), Path("chromium profile"), 1920, 1080);
    ASSERT_EQ(why, "");
    QElapsedTimer loading;
    loading.start();
    while (browser.Eval("document.getElementById('connection').textContent").toString() != "live" &&
           loading.elapsed() < 30000)
        QTest::qWait(50);
    ASSERT_EQ(browser.Eval("document.getElementById('connection').textContent").toString(), "live");

    // The judge's clicks: boxes 4, 2 and 6 at their crossings, then the declaration.
    const std::vector<std::pair<int16_t, int32_t>> clicks = {{4, 1003}, {2, 1021}, {6, 1049}};
    for (const auto& [box, time] : clicks) {
        Review_Session::Click click;
        click.Box = box;
        click.Time = time;
        ASSERT_TRUE(session.Set_Time(click).done);
    }
    ASSERT_TRUE(session.Declare().done);
    QElapsedTimer since;
    since.start();
    QString status, order;
    while (since.elapsed() < 2000) {
        status = browser.Eval(Status_Js).toString();
        order = browser.Eval(Order_Js).toString();
        if (status == "Official" && order.startsWith("4,2,6")) break;
        QTest::qWait(50);
    }
    const qint64 shown_after = since.elapsed();
    EXPECT_EQ(status, "Official");
    EXPECT_TRUE(order.startsWith("4,2,6")) << order.toStdString();
    EXPECT_LE(shown_after, 2000);
    // The winner's time as the results window shows it.
    EXPECT_EQ(browser.Eval("document.querySelector('#order tr .time').textContent").toString().toStdString(),
              session.Result().Rows[0].Time);
    EXPECT_EQ(browser.Eval("document.querySelector('#order tr .dog').textContent").toString(), "O’Brien’s Flyer");

    if (!shot.empty()) {
        // The goal photo loaded, then the page as a big screen shows it.
        for (int i = 0; i < 100 && !browser.Eval("!!(document.querySelector('#photo img')||{}).complete").toBool(); ++i)
            QTest::qWait(50);
        const QJsonObject png = browser.Call("Page.captureScreenshot", {{"format", "png"}});
        Save_Png(png, shot);
        // The same page on a phone.
        browser.Call("Emulation.setDeviceMetricsOverride",
                     {{"width", 390}, {"height", 844}, {"deviceScaleFactor", 2}, {"mobile", true}});
        QTest::qWait(300);
        Save_Png(browser.Call("Page.captureScreenshot", {{"format", "png"}, {"captureBeyondViewport", true}}),
                 Shot_Path("scoreboard-phone.png"));
    }
    // Every time cleared after the declaration, with a reason: the race did not count.
    ASSERT_TRUE(session.Clear_All("hare failed, no race").done);
    since.restart();
    while (since.elapsed() < 2000 && browser.Eval(Status_Js).toString() != "No race") QTest::qWait(50);
    EXPECT_EQ(browser.Eval(Status_Js).toString(), "No race");
}

TEST_F(Scoreboard_Browser_Test, TheStewardsPagePlaysTheHeatOnScreenFieldByField) {
    Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
    Sim_Heat heat;  // interlaced: two fields a frame, stacked in each picture
    const std::string path = Path("heat 5.nx3");
    ASSERT_TRUE(heat.Record(path));
    cls_VideoFile_handler handler;
    ASSERT_TRUE(handler.Open_File(path));
    handler.Set_Hdx_Heat_ID("5");
    handler.Set_Hdx_Heat_Name("480 m Hurdles");
    ASSERT_TRUE(handler.Write_XML_Header());
    Review_Session session(handler, Review_Session::Arming{});
    Web_Server server;
    ASSERT_TRUE(server.Start(Server_Config()));
    Publish_Session(server, session, handler);

    Browser browser;
    ASSERT_EQ(browser.Open(server.Urls("stewards").at(0), Path("chromium profile"), 1920, 1080), "");
    const QString player = "JSON.stringify(window.houndexPlayer && window.houndexPlayer())";
    auto state = [&] { return QJsonDocument::fromJson(browser.Eval(player).toString().toUtf8()).object(); };
    QElapsedTimer t;
    t.start();
    while (state().value("positions").toInt() != heat.Positions() && t.elapsed() < 30000) QTest::qWait(50);
    ASSERT_EQ(state().value("positions").toInt(), heat.Positions());
    // Playing at full speed, the positions follow each other in order (the loop starts again at 0).
    std::vector<int> seen;
    for (int i = 0; i < 20; ++i) {
        seen.push_back(state().value("position").toInt());
        QTest::qWait(15);
    }
    int forward = 0;
    for (size_t i = 1; i < seen.size(); ++i) {
        EXPECT_TRUE(seen[i] >= seen[i - 1] || seen[i] < 3) << seen[i - 1] << " then " << seen[i];
        forward += seen[i] > seen[i - 1];
    }
    EXPECT_GT(forward, 3);
    // The keys: 1 is quarter speed, Space pauses, Right shows the next field, Home the first.
    const auto key = [&](const char* k) {
        browser.Eval(QString("document.dispatchEvent(new KeyboardEvent('keydown', {key: '%1'}))").arg(k));
    };
    key("1");
    EXPECT_EQ(state().value("speed").toDouble(), 0.25);
    key(" ");
    EXPECT_FALSE(state().value("playing").toBool());
    key("Home");
    key("ArrowRight");
    key("ArrowRight");
    EXPECT_EQ(state().value("position").toInt(), 2);
    QTest::qWait(200);
    EXPECT_EQ(state().value("position").toInt(), 2);  // paused stays
    // The finish strip holds a column pair for every field.
    EXPECT_EQ(browser.Eval("document.getElementById('strip').width").toInt(), 2 * heat.Positions());
    EXPECT_EQ(browser.Eval("document.getElementById('title').textContent").toString(), "Heat 5 · 480 m Hurdles");
    const std::string shot = Shot_Path("stewards.png");
    if (!shot.empty()) {
        key("End");
        for (int i = 0; i < 12; ++i) key("ArrowLeft");
        Save_Png(browser.Call("Page.captureScreenshot", {{"format", "png"}}), shot);
    }
}

}  // namespace
