#pragma once
#include <atomic>
#include <cstdint>

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include "controlbox/Box_Clock.h"

class QSerialPort;
class QTimer;

// Timings of the serial link; the tests shorten them.
struct Serial_Link_Timing {
    int reopen_ms = 500;            // between attempts to open a port that is not there
    int ident_retry_ms = 500;       // "?ID" / "?LV" repeated until answered
    int ident_timeout_ms = 5000;    // no identification: close and try again later
    int keepalive_ms = 1000;        // "PING" while attached (the board's clock sampled anew)
    int clock_burst_ms = 50;        // right after the attach: "PING"s this often ...
    int clock_burst = 8;            // ... this many, so the board's clock is tracked at once
    int levels_refresh_ms = 5000;   // "?LV" while attached: a lost IN line is made good
    int silence_timeout_ms = 3500;  // nothing heard for this long: the board is gone
};

// The reading side of the serial Control Box. Lives on its own thread: it
// opens the port when it appears, identifies the board, reads its lines and
// stamps each with the PC clock the moment the bytes arrive, and reports to
// the UI thread through queued signals. It never touches the kit's state.
// An input line that carries the board's clock is dated to its edge instead:
// the board's clock is tracked by PING/PONG exchanges (Box_Clock).
class Serial_Board_Link : public QObject {
    Q_OBJECT
public:
    // An edge dated further back than this before its line came is not
    // believed (a board clock that jumped): the line's arrival is used.
    static constexpr int32_t kMax_Edge_Age_ms = 1000;

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
    // An OUT line has been written to the port (and flushed) at stamp_mill.
    void Output_Written(int index, bool level, int stamp_mill);
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
    void Send_Ping();
    // The stamp of an input line that came at arrival.
    int32_t Input_Stamp(int index, bool has_board_us, uint32_t board_us, int32_t arrival);

    QString port_name_;
    int baud_;
    Serial_Link_Timing timing_;
    std::atomic<int>* lines_counter_;

    QSerialPort* port_ = nullptr;
    QTimer* tick_ = nullptr;
    State state_ = State::Closed;
    QByteArray buffer_;
    bool discarding_ = false;  // inside an over-long line, up to its line feed
    QElapsedTimer since_try_, since_open_, since_query_, since_ping_, since_heard_, since_levels_;
    bool board_clock_ = false;  // the board dates its inputs and answers PING with its clock
    int pings_sent_ = 0;        // since the attach
    Box_Clock clock_;
    int32_t pending_serial_ = 0;
    QString pending_name_;
    bool reported_missing_ = false;
};
