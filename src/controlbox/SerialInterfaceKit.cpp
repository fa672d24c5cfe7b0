#include "controlbox/SerialInterfaceKit.h"

#include <QThread>

#include "platform/Error_Entry.h"

SerialInterfaceKit::SerialInterfaceKit(std::string port_name, int baud, Serial_Link_Timing timing, QObject* parent)
    : Interface_Kit_Base(parent), port_name_(std::move(port_name)), baud_(baud), timing_(timing) {}

SerialInterfaceKit::~SerialInterfaceKit() { Close(); }

std::string SerialInterfaceKit::DeviceName() const {
    return board_name_.empty() ? std::string("Control Box board") : board_name_;
}

void SerialInterfaceKit::Open(int32_t serial) {
    Close();
    wanted_serial_ = serial;
    other_serial_ = 0;
    const uint64_t session = ++session_;
    thread_ = std::make_unique<QThread>();
    thread_->setObjectName("Control Box serial");
    link_ = new Serial_Board_Link(QString::fromStdString(port_name_), baud_, timing_, &lines_received_);
    link_->moveToThread(thread_.get());

    // Reports from an earlier Open may still be queued; the session drops them.
    connect(
        link_, &Serial_Board_Link::Attached, this,
        [this, session](int serial_number, quint32 levels, const QString& name, int stamp) {
            if (session != session_) return;
            board_name_ = name.toStdString();
            Deliver_Attach(serial_number, levels, stamp);
        },
        Qt::QueuedConnection);
    connect(
        link_, &Serial_Board_Link::Detached, this,
        [this, session](int stamp) {
            if (session == session_) Deliver_Detach(stamp);
        },
        Qt::QueuedConnection);
    connect(
        link_, &Serial_Board_Link::Input_Changed, this,
        [this, session](int index, bool level, int stamp) {
            if (session == session_) Deliver_Input(index, level, stamp);
        },
        Qt::QueuedConnection);
    connect(
        link_, &Serial_Board_Link::Output_Written, this,
        [this, session](int index, bool level, int stamp) {
            if (session == session_) Deliver_Output_Written(index, level, stamp);
        },
        Qt::QueuedConnection);
    connect(
        link_, &Serial_Board_Link::Levels, this,
        [this, session](quint32 levels, int stamp) {
            if (session == session_) Deliver_Levels(levels, stamp);
        },
        Qt::QueuedConnection);
    connect(
        link_, &Serial_Board_Link::Note, this,
        [this, session](const QString& text) {
            if (session == session_) Trace(text.toStdString());
        },
        Qt::QueuedConnection);

    thread_->start();
    QMetaObject::invokeMethod(link_, &Serial_Board_Link::Start, Qt::QueuedConnection);
}

void SerialInterfaceKit::Close() {
    ++session_;
    Forget_Board();
    if (!thread_) return;
    // The port and its timer belong to the reading thread: close them there.
    QMetaObject::invokeMethod(link_, &Serial_Board_Link::Stop, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
    delete link_;
    link_ = nullptr;
    thread_.reset();
}

void SerialInterfaceKit::Write_Output(int index, bool state) {
    if (!link_) return;
    Serial_Board_Link* link = link_;
    QMetaObject::invokeMethod(
        link_, [link, index, state] { link->Write_Output(index, state); }, Qt::QueuedConnection);
}
