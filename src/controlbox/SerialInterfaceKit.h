#pragma once
#include <atomic>
#include <memory>
#include <string>

#include "controlbox/Interface_Kit_Base.h"
#include "controlbox/Serial_Board_Link.h"

class QThread;

// A real Control Box board on a serial port, speaking the line protocol of
// docs/controlbox-protocol.md. The port is read on a thread of its own; events
// reach the UI thread queued, each with the stamp of its arrival. Attach and
// detach follow the port (and the board on it) appearing and going away.
class SerialInterfaceKit : public Interface_Kit_Base {
    Q_OBJECT
public:
    explicit SerialInterfaceKit(std::string port_name, int baud = 115200,
                                Serial_Link_Timing timing = Serial_Link_Timing(), QObject* parent = nullptr);
    ~SerialInterfaceKit() override;

    std::string DeviceType() const override { return "Serial Control Box on " + port_name_; }
    std::string DeviceName() const override;
    void Open(int32_t serial) override;
    void Close() override;

    const std::string& Port_Name() const { return port_name_; }
    int Baud() const { return baud_; }
    // Lines read from the board so far (on the reading thread, before delivery).
    int Lines_Received() const { return lines_received_.load(); }

protected:
    void Write_Output(int index, bool state) override;

private:
    std::string port_name_;
    int baud_;
    Serial_Link_Timing timing_;
    std::unique_ptr<QThread> thread_;
    Serial_Board_Link* link_ = nullptr;
    std::atomic<int> lines_received_{0};
    uint64_t session_ = 0;
    std::string board_name_;
};
