#include "web/Web_Server.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QRandomGenerator>

#include "common/Startup_Facts.h"
#include "platform/HdxError.h"
#include "settings/Module_Ini.h"
#include "web/Web_Service.h"

Web_Server::Config Web_Server::Read_Config() {
    Config c;
    c.enabled = Setting_Whole_Number(Stored_Setting("web_server", "0"), 0, 1, "web_server") == 1;
    c.address = Stored_Setting("web_address", "127.0.0.1");
    c.port = static_cast<uint16_t>(Setting_Whole_Number(Stored_Setting("web_port", "4730"), 0, 65535, "web_port"));
    c.key = Stored_Setting("web_key", "");
    if (c.enabled && !Loopback(c.address) && c.key.empty()) {
        c.key = New_Key();
        Write_Ini("Settings", "web_key", c.key, Facts().Ini_file_path);
    }
    return c;
}

bool Web_Server::Loopback(const std::string& address) {
    QHostAddress a;
    return a.setAddress(QString::fromStdString(address)) && a.isLoopback();
}

std::string Web_Server::New_Key() {
    static const char chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string key;
    for (int i = 0; i < 24; ++i) key += chars[QRandomGenerator::system()->bounded(62)];
    return key;
}

Web_Server::Web_Server(QObject* parent) : QObject(parent) {
    m_Thread.setObjectName("Web server");
    m_Service = new Web_Service;
    m_Service->moveToThread(&m_Thread);
    m_Thread.start();
}

Web_Server::~Web_Server() {
    Stop();
    m_Thread.quit();
    m_Thread.wait();
    delete m_Service;
}

bool Web_Server::Start(const Config& config, std::string* error) {
    m_Config = config;
    bool ok = true;
    uint16_t port = 0;
    std::string why;
    // Waits only for the listening socket to open, never for a client.
    QMetaObject::invokeMethod(
        m_Service,
        [&] {
            ok = !config.enabled || m_Service->Listen(config, &why);
            if (!config.enabled) m_Service->Close();
            port = m_Service->Port();
        },
        Qt::BlockingQueuedConnection);
    m_Port = port;
    if (!ok && error) *error = why;
    return ok;
}

void Web_Server::Stop() {
    QMetaObject::invokeMethod(
        m_Service, [this] { m_Service->Close(); }, Qt::BlockingQueuedConnection);
    m_Port = 0;
}

std::vector<std::string> Web_Server::Urls(const std::string& page) const {
    std::vector<std::string> urls;
    if (!Listening()) return urls;
    const std::string query = Loopback(m_Config.address) ? std::string() : "?key=" + m_Config.key;
    const auto url = [&](const QHostAddress& a) {
        const QString host = a.protocol() == QAbstractSocket::IPv6Protocol ? "[" + a.toString() + "]" : a.toString();
        urls.push_back("http://" + host.toStdString() + ":" + std::to_string(Port()) + "/" + page + query);
    };
    QHostAddress address(QString::fromStdString(m_Config.address));
    if (address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6 || address == QHostAddress::Any) {
        for (const QHostAddress& a : QNetworkInterface::allAddresses())
            if (!a.isLoopback() && !a.isLinkLocal() && a.protocol() == QAbstractSocket::IPv4Protocol) url(a);
    } else {
        url(address);
    }
    return urls;
}

void Web_Server::Publish(const Web_Heat& heat, bool on_screen) {
    Web_Service* service = m_Service;
    QMetaObject::invokeMethod(
        service, [service, heat, on_screen] { service->Update(heat, on_screen); }, Qt::QueuedConnection);
}

int Web_Server::Connections() const { return m_Service->Open.load(); }
