#include "controlbox/Control_Box_Factory.h"
#include "common/Text.h"

#include <algorithm>
#include <cctype>

#include "controlbox/Control_Box_Choice.h"
#include "controlbox/KeysInterfaceKit.h"
#include "controlbox/SerialInterfaceKit.h"
#include "controlbox/SimInterfaceKit.h"
#include "platform/HdxError.h"

namespace {

std::string g_option;
Option_Kit_Factory g_factory;

[[noreturn]] void Bad_Option(const std::string& text, const std::string& why) {
    throw HdxError(HdxErr::InvalidProcedureCall,
                   "Unknown Control Box option \"" + text + "\"" + (why.empty() ? "" : " (" + why + ")") +
                       ": use \"sim\", \"keys\" or \"serial:<port>\", for example \"serial:/dev/ttyACM0\" or "
                       "\"serial:/dev/ttyUSB0@9600\"");
}

}  // namespace

Control_Box_Option Parse_Control_Box_Option(const std::string& text) {
    Control_Box_Option o;
    const std::string lower = Lower_Case(text);
    if (text.empty() || lower == "sim") return o;
    if (lower == "keys") {
        o.backend = Control_Box_Option::Backend::Keys;
        return o;
    }
    const std::string prefix = "serial:";
    if (lower.rfind(prefix, 0) != 0) Bad_Option(text, "");
    std::string port = text.substr(prefix.size());
    const size_t at = port.rfind('@');
    if (at != std::string::npos) {
        const std::string baud = port.substr(at + 1);
        if (baud.empty() || baud.size() > 7 ||
            !std::all_of(baud.begin(), baud.end(), [](unsigned char c) { return std::isdigit(c); }))
            Bad_Option(text, "the baud rate must be a number");
        o.baud = std::stoi(baud);
        if (o.baud < 50 || o.baud > 4000000) Bad_Option(text, "baud rate out of range");
        port.resize(at);
    }
    if (port.empty()) Bad_Option(text, "no port given");
    o.backend = Control_Box_Option::Backend::Serial;
    o.port = port;
    return o;
}

std::unique_ptr<IInterfaceKit> Create_Interface_Kit(const std::string& option_text) {
    const Control_Box_Option o = Parse_Control_Box_Option(option_text);
    if (g_factory) return g_factory(option_text);
    if (o.backend == Control_Box_Option::Backend::Serial) return std::make_unique<SerialInterfaceKit>(o.port, o.baud);
    if (o.backend == Control_Box_Option::Backend::Keys) return std::make_unique<KeysInterfaceKit>(Stored_Key_Choice());
    return std::make_unique<SimInterfaceKit>();
}

void Set_Interface_Kit_Factory(Option_Kit_Factory factory) { g_factory = std::move(factory); }

void Set_Control_Box_Option(const std::string& text) {
    Parse_Control_Box_Option(text);  // raises for an unknown option
    g_option = text;
}

const std::string& Control_Box_Option_Text() { return g_option; }

Kit_Factory Default_Kit_Factory() {
    return [] { return Create_Interface_Kit(g_option); };
}

std::string Take_Control_Box_Option(std::vector<std::string>& args) {
    const std::string name = "--controlbox";
    std::string value;
    for (size_t i = 1; i < args.size();) {
        const std::string& a = args[i];
        if (a == name) {
            if (i + 1 >= args.size() || args[i + 1].empty() || args[i + 1].rfind("--", 0) == 0)
                throw HdxError(HdxErr::InvalidProcedureCall,
                               "The option --controlbox needs a value: \"sim\", \"keys\" or \"serial:<port>\"");
            value = args[i + 1];
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                       args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        } else if (a.rfind(name + "=", 0) == 0) {
            value = a.substr(name.size() + 1);
            if (value.empty())
                throw HdxError(HdxErr::InvalidProcedureCall,
                               "The option --controlbox needs a value: \"sim\", \"keys\" or \"serial:<port>\"");
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
    return value;
}
