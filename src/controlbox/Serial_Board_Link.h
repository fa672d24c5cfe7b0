#pragma once
#include <atomic>
#include <cstdint>

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QSerialPort;
class QTimer;

// Timings of the serial link; the tests shorten them.
struct Serial_Link_Timing {
    int reopen_ms = 500;            // between attempts to open a port that is not there
    int ident_retry_ms = 500;       // "?ID" / "?LV" repeated until answered
    int ident_timeout_ms = 5000;    // no identification: close and try again later
    int keepalive_ms = 1000;        // "PING" while attached
    int silence_timeout_ms = 3500;  // nothing heard for this long: the board is gone
};

// The reading side of the serial Control Box. Lives on its own thread: it
// opens the port when it appears, identifies the board, reads its lines and
// stamps each with the PC clock the moment the bytes arrive, and reports to
// the UI thread through queued signals. It never touches the kit's state.
class Serial_Board_Link : public QObject {
    Q_OBJECT
public:
    Serial_Board_Link(QString port_name, int baud, Serial_Link_Timing timing, std::atomic<int>* lines_counter);
    ~Serial_Board_Link() override;

public slots:
    void Start();
    void Stop();
    void Write_Output(int index, bool level);

signals:
    void Attached(int serial, quint32 levels, QString name, int stamp_mill);
    void Detached(int stamp_mill);
    void Input_Changed(int index, bool level, int stamp_mill);
    void Levels(quint32 levels, int stamp_mill);
    // Something worth a trace line (on the UI thread).
    void Note(QString text);

private:
    enum class State { Closed, Identifying, Reading_Levels, Attached };

    void On_Tick();
    void On_Ready_Read();
    void On_Error(int error);
    void Try_Open();
    void Send(const std::string& line);
    void Handle_Line(const QByteArray& line, int32_t stamp);
    void Lose(const QString& why, int32_t stamp);

    QString port_name_;
    int baud_;
    Serial_Link_Timing timing_;
    std::atomic<int>* lines_counter_;

    QSerialPort* port_ = nullptr;
    QTimer* tick_ = nullptr;
    State state_ = State::Closed;
    QByteArray buffer_;
    bool discarding_ = false;  // inside an over-long line, up to its line feed
    QElapsedTimer since_try_, since_open_, since_query_, since_ping_, since_heard_;
    int32_t pending_serial_ = 0;
    QString pending_name_;
    bool reported_missing_ = false;
};
