#pragma once
#include <string>

#include <QByteArray>

#include "review/Review_Session.h"
#include "web/Web_Server.h"

class cls_VideoFile_handler;

// Publishes every change of a review session to a web server as the main
// window does: the feed's line, the recording's frame geometry and, once the
// heat is official, a goal photo (here the recording's frame photo_frame).
void Publish_Session(Web_Server& server, Review_Session& session, cls_VideoFile_handler& handler,
                     int16_t photo_frame = 1);

// A server on any free port of address.
inline Web_Server::Config Server_Config(const std::string& address = "127.0.0.1", const std::string& key = {}) {
    Web_Server::Config c;
    c.enabled = true;
    c.address = address;
    c.port = 0;
    c.key = key;
    return c;
}

// One HTTP exchange over loopback: the raw bytes sent, the whole answer read
// until the server closes or the body is complete.
struct Http_Answer {
    int Status = 0;
    std::string Head;
    QByteArray Body;
};
Http_Answer Http_Exchange(uint16_t port, const QByteArray& request, int timeout_ms = 5000);
Http_Answer Http_Get(uint16_t port, const std::string& path);
