#include "web/Web_Service.h"

#include <algorithm>

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

#include "platform/Error_Entry.h"
#include "web/Http_Request.h"

namespace {
// What one live socket may have unsent: a page that stops reading is let go.
constexpr int64_t Live_Unsent_Limit = 1024 * 1024;
// Pages send nothing over their socket that needs more than this.
constexpr quint64 Live_Message_Limit = 1024;
}  // namespace

Web_Service::~Web_Service() { Close(); }

bool Web_Service::Listen(const Web_Server::Config& config, std::string* error) {
    Close();
    m_Config = config;
    m_Content.Set_Key(Web_Server::Loopback(config.address) ? std::string() : config.key);
    QHostAddress address;
    if (!address.setAddress(QString::fromStdString(config.address))) {
        if (error) *error = "\"" + config.address + "\" is no IP address to listen on";
        return false;
    }
    if (!Web_Server::Loopback(config.address) && config.key.size() < 16) {
        if (error) *error = "An address other than loopback needs an access key of 16 characters or more";
        return false;
    }
    m_Server = new QTcpServer(this);
    if (!m_Server->listen(address, config.port)) {
        if (error)
            *error = "Cannot listen on " + config.address + " port " + std::to_string(config.port) + ": " +
                     m_Server->errorString().toStdString();
        Close();
        return false;
    }
    connect(m_Server, &QTcpServer::newConnection, this, [this] { Accept(); });
    m_Live = new QWebSocketServer(QStringLiteral("Houndex HDMI"), QWebSocketServer::NonSecureMode, this);
    connect(m_Live, &QWebSocketServer::newConnection, this, [this] { Accept_Live(); });
    m_Sweep = new QTimer(this);
    m_Sweep->start(1000);
    connect(m_Sweep, &QTimer::timeout, this, [this] { Sweep(); });
    Trace("*Web server on " + config.address + " port " + std::to_string(Port()));
    return true;
}

void Web_Service::Close() {
    for (Http_Client& c : m_Http)
        if (c.Socket) {
            c.Socket->abort();
            c.Socket->deleteLater();
        }
    m_Http.clear();
    for (Live_Client& c : m_Sockets)
        if (c.Socket) {
            c.Socket->abort();
            c.Socket->deleteLater();
        }
    m_Sockets.clear();
    for (QObject* o : std::initializer_list<QObject*>{m_Sweep, m_Live, m_Server})
        if (o) o->deleteLater();
    if (m_Server) m_Server->close();
    if (m_Live) m_Live->close();
    m_Server = nullptr;
    m_Live = nullptr;
    m_Sweep = nullptr;
    Count();
}

uint16_t Web_Service::Port() const { return m_Server && m_Server->isListening() ? m_Server->serverPort() : 0; }

void Web_Service::Count() {
    std::erase_if(m_Http, [](const Http_Client& c) { return c.Socket.isNull(); });
    std::erase_if(m_Sockets, [](const Live_Client& c) { return c.Socket.isNull(); });
    Open = static_cast<int>(m_Http.size() + m_Sockets.size());
}

void Web_Service::Accept() {
    while (m_Server && m_Server->hasPendingConnections()) {
        QTcpSocket* socket = m_Server->nextPendingConnection();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        Count();
        if (Open >= m_Config.max_connections) {
            // Told why; whatever it sends is dropped.
            connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
            const Web_Content::Reply r = Web_Content::Error(
                503, "Too many connections (" + std::to_string(m_Config.max_connections) + "); try again later");
            socket->write(Http::Response(r.Status, r.Type, r.Body, false, false, "Retry-After: 5\r\n"));
            socket->disconnectFromHost();
            continue;
        }
        Http_Client client{socket, {}};
        client.Last.start();
        m_Http.push_back(client);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Serve(socket); });
        connect(socket, &QTcpSocket::destroyed, this, [this] { Count(); });
        Count();
    }
}

void Web_Service::Serve(QTcpSocket* socket) {
    auto it = std::find_if(m_Http.begin(), m_Http.end(), [&](const Http_Client& c) { return c.Socket == socket; });
    if (it == m_Http.end()) return;
    it->Last.restart();
    while (socket->state() == QAbstractSocket::ConnectedState) {
        // Looked at, not taken: a WebSocket handshake is read again by its server.
        const QByteArray head = socket->peek(static_cast<qint64>(Http::Max_Head_Bytes) + 1);
        Http_Request request;
        const Http::Parse_Result parsed = Http::Parse(head, request);
        if (parsed.State == Http::Parse_State::Incomplete) return;
        if (parsed.State == Http::Parse_State::Bad) {
            const Web_Content::Reply r = Web_Content::Error(parsed.Status, parsed.Reason);
            disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
            socket->readAll();
            socket->write(Http::Response(r.Status, r.Type, r.Body, false, false, r.Headers));
            socket->disconnectFromHost();
            return;
        }
        if (request.Upgrade_To_WebSocket()) {
            Web_Content::Reply refusal;
            if (request.Path != "/ws")
                refusal = Web_Content::Error(404, "The live socket is at /ws");
            else if (!m_Content.Key_Accepted(request))
                refusal = Web_Content::Error(403, "This server needs its access key: ?key=...");
            if (refusal.Status == 200) return Upgrade(socket);
            socket->read(static_cast<qint64>(parsed.Head_Size));
            socket->write(Http::Response(refusal.Status, refusal.Type, refusal.Body, false, false, refusal.Headers));
            socket->disconnectFromHost();
            return;
        }
        socket->read(static_cast<qint64>(parsed.Head_Size));
        const Web_Content::Reply r = m_Content.Respond(request);
        socket->write(
            Http::Response(r.Status, r.Type, r.Body, request.Method == "HEAD", request.Keep_Alive, r.Headers));
        if (!request.Keep_Alive) {
            socket->disconnectFromHost();
            return;
        }
        // Answers pile up only for a client that asks and does not read.
        if (socket->bytesToWrite() > m_Config.client_buffer_limit) {
            Trace("*Web server: " + socket->peerAddress().toString().toStdString() + " does not read, disconnected");
            socket->abort();
            return;
        }
    }
}

void Web_Service::Upgrade(QTcpSocket* socket) {
    disconnect(socket, nullptr, this, nullptr);
    std::erase_if(m_Http, [&](const Http_Client& c) { return c.Socket == socket; });
    Count();
    if (m_Live) m_Live->handleConnection(socket);
}

void Web_Service::Accept_Live() {
    while (m_Live && m_Live->hasPendingConnections()) {
        QWebSocket* socket = m_Live->nextPendingConnection();
        socket->setParent(this);
        connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QWebSocket::destroyed, this, [this] { Count(); });
        socket->setMaxAllowedIncomingMessageSize(Live_Message_Limit);
        socket->setMaxAllowedIncomingFrameSize(Live_Message_Limit);
        Count();
        if (Open >= m_Config.max_connections) {
            socket->close(QWebSocketProtocol::CloseCodeTooMuchData, QStringLiteral("Too many connections"));
            continue;
        }
        m_Sockets.push_back({socket, 0});
        Live_Client& client = m_Sockets.back();
        connect(socket, &QWebSocket::bytesWritten, this, [this, socket](qint64 bytes) {
            for (Live_Client& c : m_Sockets)
                if (c.Socket == socket) c.Unsent = std::max<int64_t>(0, c.Unsent - bytes);
        });
        Count();
        for (const std::string& line : m_Content.Lines()) Send(client, line);
        Send(client, m_Content.On_Screen_Message());
    }
}

void Web_Service::Send(Live_Client& client, const std::string& message) {
    if (!client.Socket) return;
    if (client.Unsent + static_cast<int64_t>(message.size()) > Live_Unsent_Limit) {
        Trace("*Web server: a page does not read its live socket, disconnected");
        client.Socket->abort();
        return;
    }
    client.Unsent += static_cast<int64_t>(message.size());
    client.Socket->sendTextMessage(QString::fromStdString(message));
}

void Web_Service::Update(const Web_Heat& heat, bool on_screen) {
    m_Content.Update(heat, on_screen);
    const std::string message = on_screen ? m_Content.On_Screen_Message() : heat.Line;
    if (message.empty()) return;
    for (Live_Client& c : m_Sockets) Send(c, message);
}

void Web_Service::Sweep() {
    // A connection that asks nothing for a while is closed; the browser opens another when it needs one.
    for (Http_Client& c : m_Http)
        if (c.Socket && c.Socket->bytesToWrite() == 0 && c.Last.hasExpired(int64_t{m_Config.idle_seconds} * 1000))
            c.Socket->disconnectFromHost();
    Count();
}
