#include "controlbox/Control_Box_Choice.h"

#include <cctype>
#include <chrono>
#include <climits>
#include <cstdio>
#include <memory>

#include <QKeySequence>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QThread>

#include "controlbox/Control_Box_Factory.h"
#include "controlbox/Control_Box_Protocol.h"
#include "platform/Error_Entry.h"
#include "platform/HdxError.h"
#include "settings/Module_Ini.h"
#include "common/Startup_Facts.h"

namespace P = Control_Box_Protocol;

namespace {

Port_Lister g_lister;
Port_Prober g_prober;

const char* const kSection = "Settings";
const char* const kChoice_Key = "control_box";
const char* const kSerial_Key = "control_box_serial";
const char* const kUsb_Ids_Key = "control_box_usb_ids";

struct Usb_Id {
    int vendor;
    int product;  // -1: any
};
// Arduino LLC and Arduino SRL boards, SparkFun Pro Micro, CH340 and FT232R USB-serial chips.
const Usb_Id kBoard_Ids[] = {{0x2341, -1}, {0x2A03, -1}, {0x1B4F, -1}, {0x1A86, 0x7523}, {0x0403, 0x6001}};
const char* const kKey_Names[3] = {"key_start_line", "key_goal_capture", "key_split_capture"};

std::vector<Serial_Port_Entry> System_Ports() {
    std::vector<Serial_Port_Entry> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        Serial_Port_Entry e;
        e.name = info.portName().toStdString();
        e.location = info.systemLocation().toStdString();
        e.description = info.description().toStdString();
        if (info.hasVendorIdentifier()) e.vendor = info.vendorIdentifier();
        if (info.hasProductIdentifier()) e.product = info.productIdentifier();
        ports.push_back(std::move(e));
    }
    return ports;
}

Probe_Answer Ask_Port(const std::string& location, int baud) {
    Probe_Answer answer;
    QSerialPort port;
    port.setPortName(QString::fromStdString(location));
    if (!port.open(QIODevice::ReadWrite)) return answer;
    port.setBaudRate(baud);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    // A board behind a USB-serial chip restarts when the port opens and needs
    // its boot loader's second or so: ask again until then.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
    auto next_ask = std::chrono::steady_clock::now();
    QByteArray buffer;
    while (std::chrono::steady_clock::now() < end) {
        if (std::chrono::steady_clock::now() >= next_ask) {
            port.write(P::Ident_Query().c_str());
            port.flush();
            next_ask += std::chrono::milliseconds(500);
        }
        if (!port.waitForReadyRead(50)) {
            if (port.error() != QSerialPort::NoError && port.error() != QSerialPort::TimeoutError) break;
            port.clearError();
            continue;
        }
        buffer += port.readAll();
        int nl;
        while ((nl = buffer.indexOf('\n')) >= 0) {
            const QByteArray line = buffer.left(nl);
            buffer.remove(0, nl + 1);
            const P::Board_Message m = P::Parse_Board_Line(std::string_view(line.constData(), line.size()));
            if (m.kind == P::Kind::Ident) {
                answer.answered = true;
                answer.serial = m.serial;
                answer.name = m.name;
                return answer;
            }
        }
        if (buffer.size() > 4 * P::kMax_Line) buffer.clear();  // something else chatters on this port
    }
    return answer;
}

}  // namespace

std::string Serial_Port_Entry::USB_Id() const {
    if (vendor < 0 || product < 0) return {};
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", vendor & 0xffff, product & 0xffff);
    return text;
}

bool Could_Be_Board(const Serial_Port_Entry& port) {
    if (port.vendor < 0 || port.product < 0) return false;
    for (const Usb_Id& id : kBoard_Ids)
        if (port.vendor == id.vendor && (id.product < 0 || port.product == id.product)) return true;
    if (Facts().Ini_file_path.empty()) return false;
    const std::string extra = Read_Ini(kSection, kUsb_Ids_Key, Facts().Ini_file_path, "");
    if (extra == "N/A") return false;
    const std::string mine = port.USB_Id();
    size_t start = 0;
    while (start <= extra.size()) {
        size_t end = extra.find(',', start);
        if (end == std::string::npos) end = extra.size();
        std::string id = extra.substr(start, end - start);
        id.erase(0, id.find_first_not_of(' '));
        id.erase(id.find_last_not_of(' ') + 1);
        for (char& c : id) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!id.empty() && id == mine) return true;
        start = end + 1;
    }
    return false;
}

void Set_Port_Lister(Port_Lister lister) { g_lister = std::move(lister); }
std::vector<Serial_Port_Entry> List_Serial_Ports() { return g_lister ? g_lister() : System_Ports(); }

void Set_Port_Prober(Port_Prober prober) { g_prober = std::move(prober); }
Probe_Answer Probe_Port(const std::string& location, int baud) {
    return g_prober ? g_prober(location, baud) : Ask_Port(location, baud);
}

std::vector<Probe_Answer> Probe_Ports(const std::vector<Serial_Port_Entry>& ports, int baud) {
    std::vector<Probe_Answer> answers(ports.size());
    // Qt threads: a serial port needs the event dispatcher that QThread brings.
    std::vector<std::unique_ptr<QThread>> asking;
    for (size_t i = 0; i < ports.size(); ++i) {
        if (!Could_Be_Board(ports[i])) continue;
        asking.emplace_back(
            QThread::create([&answers, &ports, i, baud] { answers[i] = Probe_Port(ports[i].location, baud); }));
        asking.back()->start();
    }
    for (auto& t : asking) t->wait();
    return answers;
}

std::string Stored_Control_Box_Choice() {
    if (Facts().Ini_file_path.empty()) return {};  // before start-up: nothing stored yet
    const std::string stored = Read_Ini(kSection, kChoice_Key, Facts().Ini_file_path, "");
    if (stored == "N/A") return {};
    try {
        Parse_Control_Box_Option(stored);
    } catch (const HdxError& e) {
        Trace("*Stored Control Box choice ignored: " + e.description);
        return {};
    }
    return stored;
}

void Store_Control_Box_Choice(const std::string& option, int32_t serial) {
    const Control_Box_Option o = Parse_Control_Box_Option(option);
    Write_Ini(kSection, kChoice_Key, option, Facts().Ini_file_path);
    const bool keep = o.backend == Control_Box_Option::Backend::Serial && serial > 0;
    Write_Ini(kSection, kSerial_Key, keep ? std::to_string(serial) : std::string("0"), Facts().Ini_file_path);
}

int32_t Stored_Control_Box_Serial() {
    if (Facts().Ini_file_path.empty()) return 0;
    const std::string text = Read_Ini(kSection, kSerial_Key, Facts().Ini_file_path, "0");
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
    const long long v = std::stoll(text);
    return v >= 1 && v <= INT32_MAX ? static_cast<int32_t>(v) : 0;
}

int32_t Chosen_Board_Serial(const std::string& option) {
    const std::string stored = Stored_Control_Box_Choice();
    if (stored.empty() || stored != option) return 0;
    if (Parse_Control_Box_Option(stored).backend != Control_Box_Option::Backend::Serial) return 0;
    return Stored_Control_Box_Serial();
}

namespace {

// The stored serial board, on the port where its serial number answers now.
std::string Follow_Stored_Board(const std::string& stored) {
    const int32_t serial = Stored_Control_Box_Serial();
    const Control_Box_Option o = Parse_Control_Box_Option(stored);
    if (serial == 0 || o.backend != Control_Box_Option::Backend::Serial) return stored;
    const auto ports = List_Serial_Ports();
    const auto answers = Probe_Ports(ports, o.baud);
    for (size_t i = 0; i < ports.size(); ++i) {
        if (!answers[i].answered || answers[i].serial != serial) continue;
        if (ports[i].location == o.port) return stored;
        const std::string moved =
            "serial:" + ports[i].location + (o.baud != P::kDefault_Baud ? "@" + std::to_string(o.baud) : "");
        Trace("*Control Box " + std::to_string(serial) + " found on " + ports[i].location + " (stored: " + o.port +
              ")");
        Store_Control_Box_Choice(moved, serial);
        return moved;
    }
    Trace("*Control Box " + std::to_string(serial) + " does not answer: waiting for it on " + o.port);
    return stored;
}

}  // namespace

std::string Startup_Control_Box_Choice() {
    if (!Control_Box_Option_Text().empty()) return Control_Box_Option_Text();
    const std::string stored = Stored_Control_Box_Choice();
    if (!stored.empty()) return Follow_Stored_Board(stored);
    const auto ports = List_Serial_Ports();
    const auto answers = Probe_Ports(ports, P::kDefault_Baud);
    for (size_t i = 0; i < ports.size(); ++i) {
        if (!answers[i].answered) continue;
        Trace("*Control Box found on " + ports[i].location + ", serial " + std::to_string(answers[i].serial));
        return "serial:" + ports[i].location;
    }
    Trace("*No Control Box answers: the simulator is used");
    return "sim";
}

Key_Choice Stored_Key_Choice() {
    Key_Choice keys;
    if (Facts().Ini_file_path.empty()) return keys;
    int* fields[3] = {&keys.start_line, &keys.goal_capture, &keys.split_capture};
    for (int i = 0; i < 3; ++i) {
        const std::string text = Read_Ini(kSection, kKey_Names[i], Facts().Ini_file_path, "");
        if (text == "N/A") continue;
        const QKeySequence seq = QKeySequence::fromString(QString::fromStdString(text), QKeySequence::PortableText);
        if (seq.count() == 1 && seq[0].key() != Qt::Key_unknown) {
            *fields[i] = seq[0].key();
        } else {
            Trace("*Stored key ignored: " + std::string(kKey_Names[i]) + "=" + text);
        }
    }
    // Two inputs on one key would make one of them unreachable.
    if (keys.start_line == keys.goal_capture || keys.start_line == keys.split_capture ||
        keys.goal_capture == keys.split_capture)
        return Key_Choice();
    return keys;
}

void Store_Key_Choice(const Key_Choice& keys) {
    const int values[3] = {keys.start_line, keys.goal_capture, keys.split_capture};
    for (int i = 0; i < 3; ++i) {
        if (values[i] == 0 || values[i] == Qt::Key_unknown)
            throw HdxError(HdxErr::InvalidProcedureCall, "Every input needs a key.");
        for (int j = 0; j < i; ++j)
            if (values[i] == values[j])
                throw HdxError(HdxErr::InvalidProcedureCall, "Each input needs a key of its own.");
    }
    for (int i = 0; i < 3; ++i)
        Write_Ini(kSection, kKey_Names[i], KeysInterfaceKit::Key_Name(values[i]), Facts().Ini_file_path);
}

std::string Control_Box_Choice_Caption(const std::string& option) {
    try {
        const Control_Box_Option o = Parse_Control_Box_Option(option);
        switch (o.backend) {
            case Control_Box_Option::Backend::Sim: return "Simulator";
            case Control_Box_Option::Backend::Keys: return "Keyboard / foot pedal";
            case Control_Box_Option::Backend::Serial:
                return "Serial board on " + o.port +
                       (o.baud != P::kDefault_Baud ? " at " + std::to_string(o.baud) + " baud" : "");
        }
    } catch (const HdxError&) {
    }
    return option;
}
