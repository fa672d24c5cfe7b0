#include "controlbox/Serial_Board_Link.h"

#include <algorithm>

#include <QSerialPort>
#include <QTimer>

#include "controlbox/Control_Box_Protocol.h"
#include "platform/Clock.h"

namespace P = Control_Box_Protocol;

Serial_Board_Link::Serial_Board_Link(QString port_name, int baud, Serial_Link_Timing timing,
                                     std::atomic<int>* lines_counter)
    : port_name_(std::move(port_name)), baud_(baud), timing_(timing), lines_counter_(lines_counter) {}

Serial_Board_Link::~Serial_Board_Link() = default;

void Serial_Board_Link::Start() {
    port_ = new QSerialPort(this);
    connect(port_, &QSerialPort::readyRead, this, &Serial_Board_Link::On_Ready_Read);
    connect(port_, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError e) { On_Error(static_cast<int>(e)); });
    tick_ = new QTimer(this);
    const int shortest = std::min({timing_.reopen_ms, timing_.ident_retry_ms, timing_.keepalive_ms});
    tick_->setInterval(std::clamp(shortest / 2, 5, 50));
    connect(tick_, &QTimer::timeout, this, &Serial_Board_Link::On_Tick);
    tick_->start();
    Try_Open();
}

void Serial_Board_Link::Stop() {
    if (tick_) {
        tick_->stop();
        delete tick_;
        tick_ = nullptr;
    }
    if (port_) {
        port_->disconnect(this);
        if (port_->isOpen()) port_->close();
        delete port_;
        port_ = nullptr;
    }
    state_ = State::Closed;
}

void Serial_Board_Link::Try_Open() {
    since_try_.start();
    port_->setPortName(port_name_);
    port_->setBaudRate(baud_);
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);
    if (!port_->open(QIODevice::ReadWrite)) {
        if (!reported_missing_) {
            reported_missing_ = true;
            emit Note("Control Box port " + port_name_ + " not available: " + port_->errorString());
        }
        port_->clearError();
        return;
    }
    reported_missing_ = false;
    buffer_.clear();
    discarding_ = false;
    state_ = State::Identifying;
    since_open_.start();
    since_heard_.start();
    since_query_.start();
    emit Note("Control Box port " + port_name_ + " opened");
    Send(P::Ident_Query());
}

void Serial_Board_Link::Send(const std::string& line) {
    if (!port_ || !port_->isOpen()) return;
    port_->write(line.data(), static_cast<qint64>(line.size()));
}

void Serial_Board_Link::Write_Output(int index, bool level) {
    if (state_ != State::Attached) return;
    Send(P::Output_Command(index, level));
    port_->flush();
    // The line has left the program now, not when it was asked for.
    emit Output_Written(index, level, Platform::PC_Mill());
}

void Serial_Board_Link::Send_Ping() {
    since_ping_.start();
    ++pings_sent_;
    if (!board_clock_) {
        Send(P::Ping());
        return;
    }
    // Read as late as can be: the board's answer is placed between this and its arrival.
    Send(P::Ping(Platform::PC_Mill()));
    port_->flush();
}

void Serial_Board_Link::On_Tick() {
    switch (state_) {
        case State::Closed:
            if (since_try_.elapsed() >= timing_.reopen_ms) Try_Open();
            break;
        case State::Identifying:
        case State::Reading_Levels:
            if (since_open_.elapsed() >= timing_.ident_timeout_ms) {
                Lose("Control Box on " + port_name_ + " did not identify itself", Platform::PC_Mill());
            } else if (since_query_.elapsed() >= timing_.ident_retry_ms) {
                since_query_.start();
                Send(state_ == State::Identifying ? P::Ident_Query() : P::Levels_Query());
            }
            break;
        case State::Attached:
            if (since_heard_.elapsed() >= timing_.silence_timeout_ms) {
                Lose("Control Box on " + port_name_ + " stopped answering", Platform::PC_Mill());
            } else if (since_ping_.elapsed() >= timing_.keepalive_ms ||
                       (board_clock_ && pings_sent_ < timing_.clock_burst &&
                        since_ping_.elapsed() >= timing_.clock_burst_ms)) {
                Send_Ping();
            } else if (since_levels_.elapsed() >= timing_.levels_refresh_ms) {
                since_levels_.start();
                Send(P::Levels_Query());
            }
            break;
    }
}

void Serial_Board_Link::On_Ready_Read() {
    // The moment the bytes entered the program: every line in them carries it.
    const int32_t stamp = Platform::PC_Mill();
    const QByteArray data = port_->readAll();
    for (char c : data) {
        if (c == '\n') {
            if (discarding_) {
                discarding_ = false;
                emit Note("Control Box line too long, ignored");
            } else {
                Handle_Line(buffer_, stamp);
            }
            buffer_.clear();
            if (!port_ || !port_->isOpen()) return;  // the line closed the port
            continue;
        }
        if (discarding_) continue;
        if (buffer_.size() > P::kMax_Line) {
            discarding_ = true;
            buffer_.clear();
            continue;
        }
        buffer_.append(c);
    }
}

void Serial_Board_Link::Handle_Line(const QByteArray& line, int32_t stamp) {
    if (lines_counter_) lines_counter_->fetch_add(1);
    since_heard_.start();
    const P::Board_Message m = P::Parse_Board_Line(std::string_view(line.constData(), line.size()));
    switch (m.kind) {
        case P::Kind::Invalid:
            if (m.text != "empty line")
                emit Note("Control Box line ignored (" + QString::fromStdString(m.text) +
                          "): " + QString::fromLatin1(line.left(40)));
            return;
        case P::Kind::Error: emit Note("Control Box reports: " + QString::fromStdString(m.text)); return;
        case P::Kind::Pong:
            if (m.has_board_us && board_clock_ && !clock_.Add_Sample(m.pc_mill, m.board_us, stamp))
                emit Note("Control Box clock sample ignored (round trip " +
                          QString::number(Platform::Mill_Since(m.pc_mill, stamp)) + " ms)");
            return;
        case P::Kind::Output_Ack: return;
        case P::Kind::Ident:
            if (state_ == State::Attached) {
                // The board restarted (or another one answers): start again from its levels.
                emit Detached(stamp);
            }
            if (!m.reset_reason.empty())
                emit Note("Control Box " + QString::number(m.serial) + " last started by " +
                          QString::fromStdString(m.reset_reason) + " reset");
            board_clock_ = m.board_clock;
            clock_.Reset();
            pending_serial_ = m.serial;
            pending_name_ = QString::fromStdString(m.name);
            state_ = State::Reading_Levels;
            since_open_.start();
            since_query_.start();
            Send(P::Levels_Query());
            return;
        case P::Kind::Levels:
            if (state_ == State::Reading_Levels) {
                state_ = State::Attached;
                since_levels_.start();
                pings_sent_ = 0;
                emit Attached(pending_serial_, m.levels, pending_name_, stamp);
                Send_Ping();
            } else if (state_ == State::Attached) {
                emit Levels(m.levels, stamp);
            }
            return;
        case P::Kind::Input:
            if (state_ == State::Attached)
                emit Input_Changed(m.index, m.level, Input_Stamp(m.index, m.has_board_us, m.board_us, stamp));
            return;
    }
}

int32_t Serial_Board_Link::Input_Stamp(int index, bool has_board_us, uint32_t board_us, int32_t arrival) {
    const QString input = "Control Box input " + QString::number(index) + " stamped on arrival: ";
    if (!has_board_us) {
        emit Note(input + "the line carries no board time");
        return arrival;
    }
    const std::optional<int32_t> edge = clock_.To_PC_Mill(board_us);
    if (!edge) {
        emit Note(input + "the board's clock is not tracked yet");
        return arrival;
    }
    const int32_t age = Platform::Mill_Since(*edge, arrival);
    // The mapping may put an edge a hair after its own arrival: never later than that.
    if (age == -1) return arrival;
    if (age < 0 || age > kMax_Edge_Age_ms) {
        emit Note(input + "the board's time is off by " + QString::number(age) + " ms");
        return arrival;
    }
    return *edge;
}

void Serial_Board_Link::On_Error(int error) {
    const auto e = static_cast<QSerialPort::SerialPortError>(error);
    if (e == QSerialPort::NoError || e == QSerialPort::TimeoutError) return;
    if (!port_ || !port_->isOpen()) return;  // failed opens are handled by Try_Open
    Lose("Control Box port " + port_name_ + " lost: " + port_->errorString(), Platform::PC_Mill());
}

void Serial_Board_Link::Lose(const QString& why, int32_t stamp) {
    const bool was_attached = state_ == State::Attached;
    state_ = State::Closed;
    if (port_) {
        if (port_->isOpen()) port_->close();
        port_->clearError();
    }
    buffer_.clear();
    discarding_ = false;
    since_try_.start();
    emit Note(why);
    if (was_attached) emit Detached(stamp);
}
