// The dog-name import as officials met it: each case a file that used to go
// wrong, and what the event file and the messages say after it.
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "Event_Test_Env.h"
#include "Test_Name.h"
#include "event/Dog_Import.h"
#include "event/Event_File.h"

namespace {

using Name_At = std::tuple<int, int, std::string>;  // heat, box, name

struct Fault_Case {
    const char* label;
    std::string file_name;
    std::string bytes;
    bool read_only_event_file;
    std::vector<std::string> message_parts;  // in the last message shown
    bool reports_imported;                   // "N Dogs imported!" is the last message
    std::vector<Name_At> names;              // in the document and on disk afterwards
};

class Import_Fault_Test : public Event_Test, public ::testing::WithParamInterface<Fault_Case> {};

TEST_P(Import_Fault_Test, TheEventFileAndTheMessagesSayWhatHappened) {
    const Fault_Case& c = GetParam();
    Event_File event;
    Make_Event(event);
    // The heats a misread number would overwrite.
    ASSERT_TRUE(event.Set_Reg_Dog_Name(1, 1, "Old One"));
    ASSERT_TRUE(event.Set_Reg_Dog_Name(10, 1, "Old Ten"));
    ASSERT_TRUE(event.Set_Reg_Dog_Name(3, 1, "Old Three"));
    ASSERT_TRUE(event.XML_to_File());
    if (c.read_only_event_file)
        std::filesystem::permissions(event.Path(),
                                     std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    const std::string import = Path(c.file_name);
    Write_Bytes(import, c.bytes);
    dialogs.Answer_Message(Platform::MsgResult::Yes);  // the preview, where there is one

    Import_Dogs_From(event, import);

    const std::vector<std::string> messages = dialogs.Messages();
    ASSERT_FALSE(messages.empty());
    for (const std::string& part : c.message_parts)
        EXPECT_NE(messages.back().find(part), std::string::npos) << messages.back();
    const bool imported_said = messages.back().find("Dogs imported!") != std::string::npos &&
                               messages.back().find("Nothing imported") == std::string::npos;
    EXPECT_EQ(imported_said, c.reports_imported) << messages.back();
    for (size_t i = 0; i + 1 < messages.size(); ++i)
        EXPECT_EQ(messages[i].find("Dogs imported!"), std::string::npos) << "said before the end: " << messages[i];

    Event_File disk;
    disk.Set_Path(event.Path());
    ASSERT_TRUE(disk.Parse_XML_file());
    for (const auto& [heat, box, name] : c.names) {
        EXPECT_EQ(event.Reg_Dog_Name(heat, box), name) << "heat " << heat << " box " << box;
        EXPECT_EQ(disk.Reg_Dog_Name(heat, box), name) << "on disk: heat " << heat << " box " << box;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, Import_Fault_Test,
                         ::testing::Values(
                             // The whole heat number, not its first digits.
                             Fault_Case{"StartWithLeadingZeros",
                                        "dogs.txt",
                                        "Start 00012\r\nRex\r\n",
                                        false,
                                        {"1 Dogs imported!"},
                                        true,
                                        {{12, 1, "Rex"}, {1, 1, "Old One"}}},
                             Fault_Case{"StartHundredWithZeros",
                                        "dogs.txt",
                                        "Start 00100\r\nRex\r\n",
                                        false,
                                        {"1 Dogs imported!"},
                                        true,
                                        {{100, 1, "Rex"}, {10, 1, "Old Ten"}}},
                             Fault_Case{"FiveDigitHeatIsRefused",
                                        "dogs.txt",
                                        "Start 10001\r\nRex\r\n",
                                        false,
                                        {"Ivalid import file format!", "Line 2", "not 1 to 100", "Nothing imported!"},
                                        false,
                                        {{1, 1, "Old One"}, {10, 1, "Old Ten"}}},
                             // A heat given twice is named, and neither list overwrites the other.
                             Fault_Case{"RepeatedHeat",
                                        "dogs.txt",
                                        "Start 3\r\nRex\r\nStart 4\r\nFido\r\nStart 3\r\nBolt\r\n",
                                        false,
                                        {"Lines 1 and 5: heat 3 is listed twice.", "Nothing imported!"},
                                        false,
                                        {{3, 1, "Old Three"}, {4, 1, ""}}},
                             Fault_Case{"RepeatedHeatOnACard",
                                        "card.csv",
                                        "3,1,Rex\r\n3,2,Fido\r\n3,1,Bolt\r\n",
                                        false,
                                        {"Lines 1 and 3: heat 3 box 1 is given twice.", "Nothing imported!"},
                                        false,
                                        {{3, 1, "Old Three"}, {3, 2, ""}}},
                             // "Dogs imported!" only once the file holds them.
                             Fault_Case{"SaveFails",
                                        "dogs.txt",
                                        "Start 2\r\nRex\r\n",
                                        true,
                                        {"could not be saved", "Nothing imported!"},
                                        false,
                                        {{2, 1, ""}}},
                             // Names from Windows programs keep their apostrophes and euro signs.
                             Fault_Case{"Windows1252StartList",
                                        "dogs.txt",
                                        "Start 4\r\nO\x92"
                                        "Brien\r\n\x80uro Star\r\nZo\xEB\r\n",
                                        false,
                                        {"3 Dogs imported!"},
                                        true,
                                        {{4, 1,
                                          "O\xE2\x80\x99"
                                          "Brien"},
                                         {4, 2,
                                          "\xE2\x82\xAC"
                                          "uro Star"},
                                         {4, 3, "Zo\xC3\xAB"}}},
                             Fault_Case{
                                 "Windows1252Card",
                                 "card.csv",
                                 "heat,box,dog\r\n5,1,O\x92Neill\x99\r\n5,2,\x93Quoted\x94\r\n",
                                 false,
                                 {"2 Dogs imported!"},
                                 true,
                                 {{5, 1, "O\xE2\x80\x99Neill\xE2\x84\xA2"}, {5, 2, "\xE2\x80\x9CQuoted\xE2\x80\x9D"}}},
                             Fault_Case{"Utf8CardWithBom",
                                        "card.csv",
                                        "\xEF\xBB\xBF"
                                        "6,1,O\xE2\x80\x99"
                                        "Brien\r\n",
                                        false,
                                        {"1 Dogs imported!"},
                                        true,
                                        {{6, 1,
                                          "O\xE2\x80\x99"
                                          "Brien"}}},
                             // A byte Windows-1252 has no character for is named, not stored.
                             Fault_Case{"UndefinedWindows1252Byte",
                                        "dogs.txt",
                                        "Start 7\r\nRe\x81x\r\n",
                                        false,
                                        {"Line 2", "U+0081", "Nothing imported!"},
                                        false,
                                        {{7, 1, ""}}}),
                         By_Name());

}  // namespace
