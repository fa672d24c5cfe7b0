#include "review/Results_Feed.h"

#include <algorithm>

#include <QHostAddress>
#include <QSerialPort>
#include <QTcpServer>
#include <QTcpSocket>

#include "common/Startup_Facts.h"
#include "platform/Error_Entry.h"
#include "platform/HdxError.h"
#include "settings/Module_Ini.h"

namespace {

// Heats whose latest line is kept for late clients: a whole meeting and more.
// What a late client gets is bounded again by its buffer limit.
constexpr size_t Max_Heats_Kept = 200;

}  // namespace

Results_Feed::Config Results_Feed::Read_Config() {
    Config c;
    c.enabled = Setting_Whole_Number(Stored_Setting("results_feed", "0"), 0, 1, "results_feed") == 1;
    c.address = Stored_Setting("results_feed_address", "127.0.0.1");
    c.port = static_cast<uint16_t>(
        Setting_Whole_Number(Stored_Setting("results_feed_port", "4720"), 0, 65535, "results_feed_port"));
    c.serial = Stored_Setting("results_feed_serial", "");
    c.max_clients = static_cast<int>(Setting_Whole_Number(Stored_Setting("results_feed_max_clients", "16"), 1,
                                                          Max_Clients_Limit, "results_feed_max_clients"));
    return c;
}

Results_Feed::Results_Feed(QObject* parent) : QObject(parent) {}

Results_Feed::~Results_Feed() { Stop(); }

bool Results_Feed::Start(const Config& config, std::string* error) {
    Stop();
    m_Config = config;
    if (!config.enabled) return true;
    QHostAddress address;
    if (!address.setAddress(QString::fromStdString(config.address))) {
        if (error) *error = "\"" + config.address + "\" is no IP address to listen on";
        return false;
    }
    m_Server = new QTcpServer(this);
    if (!m_Server->listen(address, config.port)) {
        if (error)
            *error = "Cannot listen on " + config.address + " port " + std::to_string(config.port) + ": " +
                     m_Server->errorString().toStdString();
        Stop();
        return false;
    }
    connect(m_Server, &QTcpServer::newConnection, this, [this] { Accept(); });
    if (!config.serial.empty()) {
        std::string port = config.serial;
        qint32 baud = 9600;
        const size_t at = port.rfind('@');
        if (at != std::string::npos) {
            try {
                baud =
                    static_cast<qint32>(Setting_Whole_Number(port.substr(at + 1), 50, 4000000, "results_feed_serial"));
            } catch (const HdxError& e) {
                if (error) *error = e.description;
                Stop();
                return false;
            }
            port.resize(at);
        }
        m_Serial = new QSerialPort(QString::fromStdString(port), this);
        m_Serial->setBaudRate(baud);
        if (!m_Serial->open(QIODevice::WriteOnly)) {
            if (error) *error = "Cannot open the serial port " + port + ": " + m_Serial->errorString().toStdString();
            Stop();
            return false;
        }
    }
    Trace("*Results feed on " + config.address + " port " + std::to_string(Port()) +
          (config.serial.empty() ? "" : " and " + config.serial));
    return true;
}

void Results_Feed::Stop() {
    for (const QPointer<QTcpSocket>& c : m_Clients)
        if (c) {
            c->abort();
            c->deleteLater();
        }
    m_Clients.clear();
    if (m_Server) {
        m_Server->close();
        m_Server->deleteLater();
        m_Server = nullptr;
    }
    if (m_Serial) {
        m_Serial->close();
        m_Serial->deleteLater();
        m_Serial = nullptr;
    }
}

bool Results_Feed::Listening() const { return m_Server && m_Server->isListening(); }

uint16_t Results_Feed::Port() const { return Listening() ? m_Server->serverPort() : 0; }

int Results_Feed::Clients() const {
    return static_cast<int>(std::count_if(m_Clients.begin(), m_Clients.end(), [](const QPointer<QTcpSocket>& c) {
        return c && c->state() == QAbstractSocket::ConnectedState;
    }));
}

int64_t Results_Feed::Unsent_Bytes() const {
    int64_t sum = 0;
    for (const QPointer<QTcpSocket>& c : m_Clients)
        if (c) sum += c->bytesToWrite();
    return sum;
}

void Results_Feed::Accept() {
    while (m_Server && m_Server->hasPendingConnections()) {
        QTcpSocket* client = m_Server->nextPendingConnection();
        connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        m_Clients.erase(std::remove_if(m_Clients.begin(), m_Clients.end(),
                                       [](const QPointer<QTcpSocket>& c) {
                                           return c.isNull() || c->state() != QAbstractSocket::ConnectedState;
                                       }),
                        m_Clients.end());
        if (static_cast<int>(m_Clients.size()) >= m_Config.max_clients) {
            Refuse(client);
            continue;
        }
        // Boards only listen; anything they send is dropped.
        connect(client, &QTcpSocket::readyRead, client, [client] { client->readAll(); });
        m_Clients.emplace_back(client);
        for (const std::string& line : Current_State()) Send(client, QByteArray::fromStdString(line + "\n"));
    }
}

void Results_Feed::Refuse(QTcpSocket* client) {
    const std::string reason = "too many clients (" + std::to_string(m_Config.max_clients) + ")";
    Trace("*Results feed: " + client->peerAddress().toString().toStdString() + " port " +
          std::to_string(client->peerPort()) + " refused, " + reason);
    // Whatever it sends is dropped; the reason goes out before the connection closes.
    connect(client, &QTcpSocket::readyRead, client, [client] { client->readAll(); });
    client->write(QByteArray::fromStdString("{\"refused\":\"" + reason + "\"}\n"));
    client->disconnectFromHost();
    if (client->state() == QAbstractSocket::UnconnectedState) client->deleteLater();
}

void Results_Feed::Send(QTcpSocket* client, const QByteArray& bytes) {
    if (!client || client->state() != QAbstractSocket::ConnectedState) return;
    // Unsent data stays in the program's memory: a client that stops reading is let go.
    if (client->bytesToWrite() + bytes.size() > m_Config.client_buffer_limit) {
        Trace("*Results feed: " + client->peerAddress().toString().toStdString() + " port " +
              std::to_string(client->peerPort()) + " does not read, disconnected");
        client->abort();
        return;
    }
    client->write(bytes);
}

void Results_Feed::Publish(const std::string& heat_key, const std::string& line) {
    m_State.erase(std::remove_if(m_State.begin(), m_State.end(), [&](const auto& s) { return s.first == heat_key; }),
                  m_State.end());
    m_State.emplace_back(heat_key, line);
    if (m_State.size() > Max_Heats_Kept) m_State.erase(m_State.begin());
    const QByteArray bytes = QByteArray::fromStdString(line + "\n");
    for (const QPointer<QTcpSocket>& c : m_Clients) Send(c.data(), bytes);
    if (m_Serial && m_Serial->isOpen()) {
        if (m_Serial->bytesToWrite() + bytes.size() > m_Config.client_buffer_limit)
            Trace("*Results feed: the serial port does not keep up, a line was skipped");
        else
            m_Serial->write(bytes);
    }
}

std::vector<std::string> Results_Feed::Current_State() const {
    // Newest first until the limit; the current heat always comes last.
    size_t first = m_State.size();
    int64_t bytes = 0;
    while (first > 0 &&
           bytes + static_cast<int64_t>(m_State[first - 1].second.size()) + 1 <= m_Config.client_buffer_limit)
        bytes += static_cast<int64_t>(m_State[--first].second.size()) + 1;
    std::vector<std::string> lines;
    for (size_t i = first; i < m_State.size(); ++i) lines.push_back(m_State[i].second);
    return lines;
}
