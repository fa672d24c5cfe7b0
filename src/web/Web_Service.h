#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include "web/Web_Content.h"
#include "web/Web_Server.h"

class QTcpServer;
class QTcpSocket;
class QTimer;
class QWebSocket;
class QWebSocketServer;

// The sockets of the web server, on its own thread (see Web_Server).
class Web_Service : public QObject {
    Q_OBJECT
public:
    Web_Service() = default;
    ~Web_Service() override;

    bool Listen(const Web_Server::Config& config, std::string* error);
    void Close();
    uint16_t Port() const;
    void Update(const Web_Heat& heat, bool on_screen);
    std::atomic<int> Open{0};

private:
    struct Http_Client {
        QPointer<QTcpSocket> Socket;
        QElapsedTimer Last;
    };
    struct Live_Client {
        QPointer<QWebSocket> Socket;
        int64_t Unsent = 0;
    };
    void Accept();
    void Serve(QTcpSocket* socket);
    void Upgrade(QTcpSocket* socket);
    void Accept_Live();
    void Send(Live_Client& client, const std::string& message);
    void Sweep();
    void Count();

    Web_Server::Config m_Config;
    Web_Content m_Content;
    QTcpServer* m_Server = nullptr;
    QWebSocketServer* m_Live = nullptr;
    QTimer* m_Sweep = nullptr;
    std::vector<Http_Client> m_Http;
    std::vector<Live_Client> m_Sockets;
};
