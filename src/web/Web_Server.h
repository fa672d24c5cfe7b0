#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include <QObject>
#include <QThread>

#include "web/Web_Content.h"

class Web_Service;

// The program's web server for the track: the scoreboard and the stewards'
// page in any browser, the heats as JSON (the live feed's objects), the goal
// photo and a heat's frames, and a WebSocket that pushes each result change.
//
// It runs on a thread of its own: the window thread only hands it a copy of
// each change (the feed's line, the recording's frame geometry, the goal photo
// once official) and never waits for a client, and the capture never meets it.
// Connections are bounded (one more is told 503 and closed), a request head
// is bounded and carries no body, an idle connection is closed, and a client
// that stops reading is let go before its unsent data grows past a limit.
class Web_Server : public QObject {
    Q_OBJECT
public:
    struct Config {
        bool enabled = false;
        std::string address = "127.0.0.1";
        uint16_t port = 4730;  // 0: any free port
        // Needed in every URL (?key=...) when the address is not a loopback one.
        std::string key;
        int max_connections = 256;
        int64_t client_buffer_limit = 32 * 1024 * 1024;
        int idle_seconds = 60;
    };
    // Settings "web_server" (0/1), "web_address", "web_port" and "web_key" in
    // section "Settings". A server on an address other than loopback gets a
    // new random key stored when it has none. A wrong value raises HdxError.
    static Config Read_Config();
    static bool Loopback(const std::string& address);
    // 24 random characters of A-Z a-z 0-9.
    static std::string New_Key();

    explicit Web_Server(QObject* parent = nullptr);
    ~Web_Server() override;

    // Listens as configured (a disabled server stops). False with the reason
    // when the address or port cannot be used; the server is then stopped.
    bool Start(const Config& config, std::string* error = nullptr);
    void Stop();
    bool Listening() const { return m_Port.load() != 0; }
    uint16_t Port() const { return m_Port.load(); }
    const Config& Current() const { return m_Config; }
    // The addresses a browser uses for page ("scoreboard", "stewards"), with the
    // key when one is needed: one per address of this computer when the server
    // listens on all of them. Empty while it does not listen.
    std::vector<std::string> Urls(const std::string& page) const;

    // A heat changed (on_screen: it was opened for review, which the boards do
    // not show but the stewards do). Returns at once.
    void Publish(const Web_Heat& heat, bool on_screen = false);

    // Open connections (pages, pictures and live sockets), for tests and benchmarks.
    int Connections() const;

private:
    Config m_Config;
    QThread m_Thread;
    Web_Service* m_Service = nullptr;
    std::atomic<uint16_t> m_Port{0};
};
