#include "Web_Test_Support.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QImage>
#include <QTcpSocket>

#include "recording/cls_VideoFile_handler.h"
#include "review/Results_Export.h"

namespace {
Web_Heat Heat_Of(Review_Session& session, cls_VideoFile_handler& h, const std::string& change, int16_t photo_frame) {
    Web_Heat heat;
    const Heat_Result& result = session.Result();
    heat.File = result.File;
    heat.Line = "{\"change\":" + Results_Export::Json_String(change) +
                ",\"heat\":" + Results_Export::To_Json(Results_Export::From_Result(result), true) + "}";
    heat.Official = result.Declaration.official;
    if (heat.Official && h.Read_RGB_sample(photo_frame, false))
        heat.Photo = QImage::fromData(h.Sample_JPEG(), h.NX3_JPEG_Size(), "JPG");
    Web_Recording& r = heat.Recording;
    r = Web_Recording_Of(h, result.File);
    r.Goal = session.Goal_Line(1);
    return heat;
}
}  // namespace

void Publish_Session(Web_Server& server, Review_Session& session, cls_VideoFile_handler& handler, int16_t photo_frame) {
    server.Publish(Heat_Of(session, handler, "opened", photo_frame), true);
    QObject::connect(&session, &Review_Session::Changed, &server,
                     [&server, &session, &handler, photo_frame](const std::string& c) {
                         server.Publish(Heat_Of(session, handler, c, photo_frame), false);
                     });
}

Http_Answer Http_Exchange(uint16_t port, const QByteArray& request, int timeout_ms) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    Http_Answer a;
    if (!socket.waitForConnected(timeout_ms)) return a;
    socket.write(request);
    QByteArray got;
    const QDeadlineTimer deadline(timeout_ms);
    qsizetype body_at = -1;
    qsizetype length = -1;
    while (!deadline.hasExpired()) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(50) &&
            socket.state() != QAbstractSocket::ConnectedState && socket.bytesAvailable() == 0)
            break;
        got += socket.readAll();
        if (body_at < 0 && (body_at = got.indexOf("\r\n\r\n")) >= 0) {
            body_at += 4;
            const qsizetype at = got.indexOf("Content-Length: ");
            if (at >= 0) length = got.mid(at + 16, got.indexOf("\r\n", at) - at - 16).toLongLong();
        }
        if (body_at >= 0 && length >= 0 && got.size() - body_at >= length) break;
    }
    if (body_at < 0) return a;
    a.Head = got.left(body_at).toStdString();
    a.Body = got.mid(body_at);
    a.Status = got.mid(9, 3).toInt();
    return a;
}

Http_Answer Http_Get(uint16_t port, const std::string& path) {
    return Http_Exchange(port, QByteArray::fromStdString("GET " + path + " HTTP/1.1\r\nHost: test\r\n\r\n"));
}
