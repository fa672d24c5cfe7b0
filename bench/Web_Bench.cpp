// The web server beside a capture: a heat captured in real time at 600*1080
// (50 frames a second through the capture controller) while 64 scoreboards
// hold their live socket and 4 stewards' pages fetch frames of the previous
// heat without pause, and the window thread publishes a result change every
// 200 ms as the main window does. Rows: no browser connected, then 64 + 4,
// on loopback. Counters: frames delivered, kept (in the recording after the
// window), lost, handled late, and the window thread's busy share of the
// window's wall time (the capture controller's work and the publishing); the
// benchmark's CPU time is the window thread's own CPU over the iteration.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QHostAddress>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QWebSocket>
#include <benchmark/benchmark.h>

#include "Bench_Support.h"
#include "capture/SimVideoCap.h"
#include "capture/Stored_Frames.h"
#include "capture/cls_Capture_HDMI.h"
#include "recording/cls_VideoFile_handler.h"
#include "web/Web_Content.h"
#include "web/Web_Server.h"

namespace {

constexpr int Crop_600 = 1;
constexpr int Scoreboards = 64;
constexpr int Stewards = 4;
constexpr int Fps = 50;
constexpr int32_t Window_Frames = Fps * 6;

// The browsers, on a thread of their own: scoreboards keep a live socket and
// read what it pushes; stewards ask for one frame after the other, 50 a
// second each (a page loads a heat's frames once and then loops them itself:
// this is a page opening another heat every second or so).
class Browsers : public QObject {
public:
    Browsers(uint16_t port, int32_t frames) : port_(port), frames_(frames) {}
    void Start() {
        for (int i = 0; i < Scoreboards; ++i) {
            auto* s = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
            connect(s, &QWebSocket::textMessageReceived, this, [this] { ++messages; });
            s->open(QUrl("ws://127.0.0.1:" + QString::number(port_) + "/ws"));
        }
        for (int i = 0; i < Stewards; ++i) {
            auto* s = new QTcpSocket(this);
            auto* got = new QByteArray;
            auto frame = std::make_shared<int32_t>(1 + i * 7);
            const auto ask = [this, s, frame] {
                *frame = *frame % frames_ + 1;
                s->write("GET /api/heats/1/frames/" + QByteArray::number(*frame) + ".jpg HTTP/1.1\r\nHost: b\r\n\r\n");
            };
            connect(s, &QTcpSocket::connected, this, ask);
            connect(s, &QTcpSocket::readyRead, this, [this, s, got, ask] {
                *got += s->readAll();
                const qsizetype end = got->indexOf("\r\n\r\n");
                if (end < 0) return;
                const qsizetype at = got->indexOf("Content-Length: ");
                const qsizetype length = got->mid(at + 16, got->indexOf("\r\n", at) - at - 16).toLongLong();
                if (got->size() < end + 4 + length) return;
                got->remove(0, end + 4 + length);
                ++frames_served;
                QTimer::singleShot(20, s, ask);
            });
            connect(s, &QObject::destroyed, [got] { delete got; });
            s->connectToHost(QHostAddress::LocalHost, port_);
        }
    }
    std::atomic<int64_t> messages{0};
    std::atomic<int64_t> frames_served{0};

private:
    uint16_t port_;
    int32_t frames_;
};

// The heat the stewards look at: a recording of 50 frames at 600*1080.
Web_Heat Previous_Heat(const std::string& path) {
    Bench::Frames& frames = Bench::Frames::For(Crop_600);
    std::filesystem::remove(path);
    {
        cls_VideoFile_handler w;
        w.Set_Cropped_X(frames.Size().Width);
        w.Set_Cropped_Y(frames.Size().Height);
        w.Initiate_NX3_File(path);
        frames.Set_Count(50);
        w.Append_Stored_Frames(frames);
        w.Close_File();
    }
    cls_VideoFile_handler h;
    h.Open_File(path);
    Web_Heat heat;
    heat.File = path;
    heat.Line = "{\"change\":\"time\",\"heat\":{\"heat_id\":\"1\",\"status\":\"provisional\",\"results\":[]}}";
    heat.Recording = Web_Recording_Of(h, path);
    return heat;
}

// range(0): 0 none connected, 1 the 64 scoreboards and 4 stewards' pages.
void BM_Capture_With_Browsers(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const bool browsers = state.range(0) == 1;
    const Bench::Crop& crop = Bench::Crop_At(Crop_600);
    Bench::Frames& frames = Bench::Frames::For(Crop_600);
    Web_Server server;
    Web_Server::Config config;
    config.enabled = true;
    config.port = 0;
    server.Start(config);
    const Web_Heat previous = Previous_Heat(Bench::Work_File("previous heat.nx3"));
    server.Publish(previous);
    QThread browser_thread;
    std::unique_ptr<Browsers> clients;
    if (browsers) {
        clients = std::make_unique<Browsers>(server.Port(), previous.Recording.Frames);
        clients->moveToThread(&browser_thread);
        browser_thread.start();
        QMetaObject::invokeMethod(
            clients.get(), [&] { clients->Start(); }, Qt::BlockingQueuedConnection);
        for (int i = 0; i < 500 && server.Connections() < Scoreboards + Stewards; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::string path = Bench::Work_File("web_capture.nx3");
    double delivered = 0, kept = 0, late = 0, busy_pct = 0;
    for (auto _ : state) {
        cls_VideoFile_handler h;
        std::filesystem::remove(path);
        h.Set_Cropped_X(frames.Size().Width);
        h.Set_Cropped_Y(frames.Size().Height);
        h.Initiate_NX3_File(path);
        frames.Set_Count(50);
        h.Append_Stored_Frames(frames);
        cls_Capture_HDMI cap(std::make_unique<SimVideoCap>(Sim_Pacing::Stepped));
        cap.set_HDMI_Crop(static_cast<int16_t>(crop.Width), static_cast<int16_t>(crop.Height));
        cap.Do_CROP(true);
        cap.Compress_On_Arrival(h.Compressor().Settings());
        Stored_Frames.Clear();
        delivered = late = 0;
        Clock::duration busy{};
        const Clock::time_point begin = Clock::now();
        const auto due = [&](int32_t i) { return begin + std::chrono::microseconds(int64_t{i} * 1000000 / Fps); };
        for (int32_t i = 0; i < Window_Frames; ++i) {
            std::this_thread::sleep_until(due(i));
            const Clock::time_point start = Clock::now();
            Video_Frame f = Bench::Video_Frame_Of(Bench::Camera_Frame_At(1 + i % 2));
            f.Stamp.Mill = 100000 + i * 1000 / Fps;
            f.Stamp.Local = f.Stamp.Mill;
            cap.OnRGBEvent(cap.Component(), f);
            cap.Store_HDMI_Buffer();
            // A box click or a correction every 200 ms: the main window hands the server the change.
            if (i % (Fps / 5) == 0) {
                Web_Heat change = previous;
                change.Line = "{\"change\":\"time\",\"sent_at\":\"" + std::to_string(i) +
                              "\",\"heat\":{\"heat_id\":\"1\",\"status\":\"provisional\",\"results\":[]}}";
                server.Publish(change);
            }
            busy += Clock::now() - start;
            ++delivered;
            if (Clock::now() > due(i + 1)) ++late;
        }
        const double wall = std::chrono::duration<double>(Clock::now() - begin).count();
        cap.Finish_Arrival();
        kept = h.Append_Stored_Frames(Stored_Frames);
        h.Close_File();
        Stored_Frames.Clear();
        busy_pct = 100 * std::chrono::duration<double>(busy).count() / wall;
        state.SetIterationTime(wall);
    }
    state.counters["connections"] = server.Connections();
    if (clients) {
        state.counters["frames_to_stewards"] = static_cast<double>(clients->frames_served.load());
        state.counters["messages_to_boards"] = static_cast<double>(clients->messages.load());
        QMetaObject::invokeMethod(
            clients.get(), [&] { clients.reset(); }, Qt::BlockingQueuedConnection);
        browser_thread.quit();
        browser_thread.wait();
    }
    state.counters["delivered"] = delivered;
    state.counters["kept"] = kept;
    state.counters["lost"] = delivered - kept;
    state.counters["late"] = late;
    state.counters["window_thread_pct"] = busy_pct;
    state.SetLabel(browsers ? "64 scoreboards + 4 stewards" : "none connected");
}

}  // namespace

BENCHMARK(BM_Capture_With_Browsers)
    ->DenseRange(0, 1)
    ->ArgName("browsers")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
