#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <QObject>
#include <QPointer>

class QSerialPort;
class QTcpServer;
class QTcpSocket;

// The live results feed for scoreboards and announcer screens: every change
// of a heat's results goes out as one line of JSON (the heat's whole state)
// to every client of a TCP port and, when set, to a serial port. A client that
// connects late first gets the latest line of the most recent heats, as many
// as fit its buffer limit, oldest change first, so its last line equals a
// connected client's last line.
//
// At most Config::max_clients are served at once: each connection holds a file
// handle the program needs for its recordings. One more is told why in one
// JSON line ({"refused":"..."}) and closed.
//
// Nothing here ever waits for a client: a client whose unsent data grows past
// Config::client_buffer_limit is disconnected (it reconnects and gets the
// current state first); a serial port that cannot keep up skips lines, since
// the next line carries the whole state again.
class Results_Feed : public QObject {
    Q_OBJECT
public:
    struct Config {
        bool enabled = false;
        std::string address = "127.0.0.1";
        uint16_t port = 4720;  // 0: any free port
        std::string serial;    // "PORT[@BAUD]", empty for none
        int64_t client_buffer_limit = 256 * 1024;
        int max_clients = 16;
    };
    // Settings "results_feed" (0/1), "results_feed_address", "results_feed_port",
    // "results_feed_serial", "results_feed_max_clients" (1..Max_Clients_Limit)
    // in section "Settings"; a wrong value raises HdxError.
    static Config Read_Config();
    static constexpr int Max_Clients_Limit = 256;

    explicit Results_Feed(QObject* parent = nullptr);
    ~Results_Feed() override;

    // Listens as configured (a disabled feed stops). False with the reason
    // when the address or port cannot be used; the feed is then stopped.
    bool Start(const Config& config, std::string* error = nullptr);
    void Stop();
    bool Listening() const;
    uint16_t Port() const;  // the port listened on (the one chosen when 0 was asked)
    int Clients() const;
    // Bytes written to clients that they have not taken yet, summed.
    int64_t Unsent_Bytes() const;

    // Sends one line (a newline is added) for the heat with this key and keeps
    // it as the heat's current state.
    void Publish(const std::string& heat_key, const std::string& line);
    // The lines a new client gets first, oldest change first: the latest line of
    // the most recent heats whose lines, newline included, fit client_buffer_limit.
    std::vector<std::string> Current_State() const;

private:
    void Accept();
    void Refuse(QTcpSocket* client);
    void Send(QTcpSocket* client, const QByteArray& bytes);

    Config m_Config;
    QTcpServer* m_Server = nullptr;
    QSerialPort* m_Serial = nullptr;
    std::vector<QPointer<QTcpSocket>> m_Clients;
    std::vector<std::pair<std::string, std::string>> m_State;  // heat key, line; oldest first
};
