// The live results feed's settings and the reasons it does not start.
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "Test_Env.h"
#include "Test_Name.h"
#include "common/Program_State.h"
#include "platform/HdxError.h"
#include "review/Results_Feed.h"
#include "settings/Module_Ini.h"

namespace {

struct Feed_Case {
    const char* name;
    std::vector<std::pair<const char*, const char*>> settings;
    const char* refusal;  // part of the message; "" when the feed starts
    bool listening;
};

class Results_Feed_Test : public Hdx_Test, public ::testing::WithParamInterface<Feed_Case> {};

TEST_P(Results_Feed_Test, TheSettingsDecideWhetherAndWhereItListens) {
    const Feed_Case& c = GetParam();
    Program_State::Ini_file_path = Path("Houndex_HDMI.ini");
    // A port another program holds already.
    Results_Feed other;
    ASSERT_TRUE(other.Start({true, "127.0.0.1", 0, "", 1024}));
    Write_Ini("Settings", "results_feed_port", "0", Program_State::Ini_file_path);
    for (const auto& [key, value] : c.settings) {
        const std::string v = std::string(value) == "taken" ? std::to_string(other.Port()) : value;
        Write_Ini("Settings", key, v, Program_State::Ini_file_path);
    }
    Results_Feed feed;
    std::string error;
    try {
        const bool started = feed.Start(Results_Feed::Read_Config(), &error);
        EXPECT_EQ(started, std::string(c.refusal).empty()) << error;
    } catch (const HdxError& e) {
        error = e.description;
    }
    EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
    EXPECT_EQ(feed.Listening(), c.listening);
}

const Feed_Case Feed_Cases[] = {
    {"off by default", {}, "", false},
    {"on, any free port", {{"results_feed", "1"}}, "", true},
    {"switch not 0 or 1", {{"results_feed", "yes"}}, "The setting results_feed must be a whole number", false},
    {"port out of range", {{"results_feed", "1"}, {"results_feed_port", "70000"}}, "from 0 to 65535", false},
    {"no address", {{"results_feed", "1"}, {"results_feed_address", "boards"}}, "is no IP address", false},
    {"port taken", {{"results_feed", "1"}, {"results_feed_port", "taken"}}, "Cannot listen on 127.0.0.1", false},
    {"serial port missing",
     {{"results_feed", "1"}, {"results_feed_serial", "/dev/no-such-board@9600"}},
     "Cannot open the serial port /dev/no-such-board",
     false},
    {"serial rate wrong",
     {{"results_feed", "1"}, {"results_feed_serial", "/dev/ttyUSB0@fast"}},
     "results_feed_serial",
     false},
};
INSTANTIATE_TEST_SUITE_P(Settings, Results_Feed_Test, ::testing::ValuesIn(Feed_Cases), By_Name());

}  // namespace
