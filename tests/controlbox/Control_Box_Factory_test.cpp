#include <gtest/gtest.h>

#include "Test_Name.h"
#include "controlbox/Control_Box_Factory.h"
#include "controlbox/KeysInterfaceKit.h"
#include "controlbox/SerialInterfaceKit.h"
#include "controlbox/SimInterfaceKit.h"
#include "platform/HdxError.h"

namespace {

using Backend = Control_Box_Option::Backend;

struct Option_Case {
    const char* text;
    Backend backend;
    const char* port;
    int baud;
};

void PrintTo(const Option_Case& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class GoodOptions : public ::testing::TestWithParam<Option_Case> {};

TEST_P(GoodOptions, ChooseTheBackend) {
    const Option_Case& c = GetParam();
    const Control_Box_Option o = Parse_Control_Box_Option(c.text);
    EXPECT_EQ(o.backend, c.backend);
    EXPECT_EQ(o.port, c.port);
    EXPECT_EQ(o.baud, c.baud);

    auto kit = Create_Interface_Kit(c.text);
    ASSERT_TRUE(kit);
    if (c.backend == Backend::Serial) {
        auto* serial = dynamic_cast<SerialInterfaceKit*>(kit.get());
        ASSERT_NE(serial, nullptr);
        EXPECT_EQ(serial->Port_Name(), c.port);
        EXPECT_EQ(serial->Baud(), c.baud);
        EXPECT_FALSE(serial->IsAttached());  // created, not opened: nothing is touched
    } else if (c.backend == Backend::Keys) {
        EXPECT_NE(dynamic_cast<KeysInterfaceKit*>(kit.get()), nullptr);
        EXPECT_FALSE(kit->Simulated());
    } else {
        EXPECT_NE(dynamic_cast<SimInterfaceKit*>(kit.get()), nullptr);
        EXPECT_TRUE(kit->Simulated());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Factory, GoodOptions,
    ::testing::Values(Option_Case{"", Backend::Sim, "", 115200}, Option_Case{"sim", Backend::Sim, "", 115200},
                      Option_Case{"SIM", Backend::Sim, "", 115200}, Option_Case{"keys", Backend::Keys, "", 115200},
                      Option_Case{"serial:/dev/ttyACM0", Backend::Serial, "/dev/ttyACM0", 115200},
                      Option_Case{"serial:/dev/ttyUSB1@9600", Backend::Serial, "/dev/ttyUSB1", 9600},
                      Option_Case{"Serial:COM3", Backend::Serial, "COM3", 115200}),
    [](const auto& param_info) { return Test_Name(param_info.param.text); });

struct Bad_Option {
    const char* name;
    const char* text;
};

class BadOptions : public ::testing::TestWithParam<Bad_Option> {};

TEST_P(BadOptions, RaiseAClearError) {
    try {
        Parse_Control_Box_Option(GetParam().text);
        FAIL() << "accepted " << GetParam().text;
    } catch (const HdxError& e) {
        EXPECT_EQ(e.number, HdxErr::InvalidProcedureCall);
        EXPECT_NE(e.description.find(std::string("\"") + GetParam().text + "\""), std::string::npos) << e.description;
        EXPECT_NE(e.description.find("serial:<port>"), std::string::npos);
    }
    EXPECT_THROW(Create_Interface_Kit(GetParam().text), HdxError);
}

INSTANTIATE_TEST_SUITE_P(
    Factory, BadOptions,
    ::testing::Values(Bad_Option{"UnknownBackend", "phidget"}, Bad_Option{"SerialWithoutColon", "serial"},
                      Bad_Option{"SerialWithoutPort", "serial:"}, Bad_Option{"SerialBaudWithoutPort", "serial:@9600"},
                      Bad_Option{"SerialEmptyBaud", "serial:/dev/x@"},
                      Bad_Option{"SerialBaudNotANumber", "serial:/dev/x@fast"},
                      Bad_Option{"SerialBaudTooLow", "serial:/dev/x@12"},
                      Bad_Option{"SerialBaudTooHigh", "serial:/dev/x@99999999"}, Bad_Option{"SimWithArgument", "sim:1"},
                      Bad_Option{"SimAfterASpace", " sim"}, Bad_Option{"KeysWithArgument", "keys:F9"},
                      Bad_Option{"KeyboardSpelledOut", "keyboard"}),
    By_Name());

TEST(Factory, TheProgramOptionIsCheckedWhenSet) {
    Set_Control_Box_Option("serial:/dev/ttyACM3");
    EXPECT_EQ(Control_Box_Option_Text(), "serial:/dev/ttyACM3");
    auto kit = Default_Kit_Factory()();
    ASSERT_NE(dynamic_cast<SerialInterfaceKit*>(kit.get()), nullptr);

    EXPECT_THROW(Set_Control_Box_Option("usb"), HdxError);
    EXPECT_EQ(Control_Box_Option_Text(), "serial:/dev/ttyACM3");  // a refused option changes nothing

    // None given for this run: the settings decide; the start-up checks use the simulator.
    Set_Control_Box_Option("");
    EXPECT_EQ(Control_Box_Option_Text(), "");
    EXPECT_NE(dynamic_cast<SimInterfaceKit*>(Default_Kit_Factory()().get()), nullptr);
}

struct Args_Case {
    const char* name;
    std::vector<std::string> in;
    std::string option;
    std::vector<std::string> rest;
};

class CommandLines : public ::testing::TestWithParam<Args_Case> {};

TEST_P(CommandLines, LoseTheOptionAndKeepTheRest) {
    std::vector<std::string> args = GetParam().in;
    EXPECT_EQ(Take_Control_Box_Option(args), GetParam().option);
    EXPECT_EQ(args, GetParam().rest);
}

INSTANTIATE_TEST_SUITE_P(
    Factory, CommandLines,
    ::testing::Values(
        Args_Case{"ProgramOnly", {"houndex"}, "", {"houndex"}},
        Args_Case{"NoOption", {"houndex", "heat.nx3"}, "", {"houndex", "heat.nx3"}},
        Args_Case{"OptionThenValue",
                  {"houndex", "--controlbox", "serial:/dev/ttyACM0", "heat.nx3"},
                  "serial:/dev/ttyACM0",
                  {"houndex", "heat.nx3"}},
        Args_Case{"OptionWithEquals", {"houndex", "heat.nx3", "--controlbox=sim"}, "sim", {"houndex", "heat.nx3"}},
        // The program name itself is never taken for the option.
        Args_Case{"ProgramNameNeverTaken", {"--controlbox", "x"}, "", {"--controlbox", "x"}}),
    By_Name());

TEST(Factory, AnOptionWithoutValueIsRefused) {
    for (std::vector<std::string> args :
         {std::vector<std::string>{"houndex", "--controlbox"}, std::vector<std::string>{"houndex", "--controlbox="},
          std::vector<std::string>{"houndex", "--controlbox", "--other"}}) {
        EXPECT_THROW(Take_Control_Box_Option(args), HdxError);
    }
}

}  // namespace
