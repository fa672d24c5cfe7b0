#include <string>
#include <vector>

#include "Event_Test_Env.h"
#include "Test_Name.h"
#include "event/Dog_Import.h"
#include "event/Event_File.h"
#include "event/Race_Card.h"

namespace {

namespace RC = Race_Card_Import;

// A card in a compact form: "H3 Maiden 3/480" per heat ("-" where the card
// gives no name or distance), "3.1=Rex" per dog, "!" + problem, "?" + note.
std::vector<std::string> Compact(const Race_Card& card) {
    std::vector<std::string> out;
    for (const auto& h : card.heats)
        out.push_back("H" + std::to_string(h.heat) + " " + (h.has_name ? h.name : "-") + "/" +
                      (h.has_length ? h.length : "-"));
    for (const auto& d : card.dogs) out.push_back(std::to_string(d.heat) + "." + std::to_string(d.box) + "=" + d.name);
    for (const auto& p : card.problems) out.push_back("!" + p);
    for (const auto& n : card.notes) out.push_back("?" + n);
    return out;
}

struct Card_Case {
    const char* label;
    std::string bytes;
    std::vector<std::string> card;
};

class Race_Card_Csv_Test : public ::testing::TestWithParam<Card_Case> {};

TEST_P(Race_Card_Csv_Test, ReadsAs) { EXPECT_EQ(Compact(RC::Read(GetParam().bytes, "card.csv")), GetParam().card); }

INSTANTIATE_TEST_SUITE_P(
    Files, Race_Card_Csv_Test,
    ::testing::Values(
        Card_Case{"ThreeColumns", "1,1,Rex\r\n1,2,Fido\r\n", {"H1 -/-", "1.1=Rex", "1.2=Fido"}},
        Card_Case{"AllColumns",
                  "2,1,Rex,W,Maiden 2,480m\n2,2,Fido,,Maiden 2,480\n2,3,Bolt,m,,\n",
                  {"H2 Maiden 2/480", "2.1=Rex (W)", "2.2=Fido", "2.3=Bolt (M)"}},
        Card_Case{"HeaderInAnyOrderWithOtherColumns",
                  "Trainer,Greyhound,Trap,Race No,Distance,Race Name\nSmith,Rex,1,4,500 m,Open\n",
                  {"H4 Open/500", "4.1=Rex"}},
        Card_Case{"SemicolonsAndQuotes",
                  "heat;box;dog\n7;1;\"Rex; the \"\"Quick\"\"\"\n7;2; Fido \n",
                  {"H7 -/-", "7.1=Rex; the \"Quick\"", "7.2=Fido"}},
        Card_Case{"LeadingZerosAreTheWholeNumber", "012,02,Rex\n", {"H12 -/-", "12.2=Rex"}},
        Card_Case{"BlankLinesSkipped", "\n1,1,Rex\n,,\n\n1,2,Fido", {"H1 -/-", "1.1=Rex", "1.2=Fido"}},
        Card_Case{"SeedingMarkNotTwice", "1,1,Rex (W),W\n", {"H1 -/-", "1.1=Rex (W)"}},
        Card_Case{"ADogInTwoHeatsIsNoted",
                  "1,1,Rex\n2,3,REX\n",
                  {"H1 -/-", "H2 -/-", "1.1=Rex", "2.3=REX", "?\"Rex\" runs in heats 1 and 2."}},
        // Faults: each named with its line.
        Card_Case{"BoxTwice",
                  "1,1,Rex\n1,2,Fido\n1,1,Bolt\n",
                  {"H1 -/-", "1.1=Rex", "1.2=Fido", "1.1=Bolt", "!Lines 1 and 3: heat 1 box 1 is given twice."}},
        Card_Case{"DogTwiceInAHeat",
                  "1,1,Rex\n1,2,rex \n",
                  {"H1 -/-", "1.1=Rex", "1.2=rex", "!Lines 1 and 2: \"rex\" is in heat 1 twice."}},
        Card_Case{"HeatOutOfRange", "101,1,Rex\n", {"!Line 1: heat \"101\" is not 1 to 100."}},
        Card_Case{"BoxNotANumber", "1,A,Rex\n", {"!Line 1: box \"A\" is not 1 to 8."}},
        Card_Case{"BoxNine", "1,9,Rex\n", {"!Line 1: box \"9\" is not 1 to 8."}},
        Card_Case{"BadSeeding", "1,1,Rex,X\n", {"!Line 1: seeding \"X\" is not W, M or blank."}},
        Card_Case{"BadDistance", "1,1,Rex,,,far\n", {"!Line 1: distance \"far\" is not metres (480 or 480m)."}},
        Card_Case{"EmptyName", "1,1,\n", {"H1 -/-", "1.1=", "!Line 1: the dog name \"\" is empty."}},
        Card_Case{"RaceNamesDisagree",
                  "1,1,Rex,,Maiden\n1,2,Fido,,Final\n",
                  {"H1 Final/-", "1.1=Rex", "1.2=Fido",
                   "!Line 2: heat 1 has the race name \"Final\", line 1 gave \"Maiden\"."}},
        Card_Case{"HeaderWithoutBox",
                  "heat,dog\n1,Rex\n",
                  {"!Line 1: the header names no \"box\" column (a race card "
                   "has heat, box and dog)."}},
        Card_Case{"UnclosedQuote", "1,1,\"Rex\n1,2,Fido\n", {"!Line 1: a quote is opened and never closed."}},
        Card_Case{"LineBreakInAName",
                  "1,1,\"Rex\nFido\"\n",
                  {"H1 -/-", "1.1=Rex\nFido",
                   "!Line 1: the dog name \"Rex\xEF\xBF\xBD"
                   "Fido\" holds U+000A, a "
                   "control character."}},
        Card_Case{"Nothing", "\r\n\r\n", {"!The file holds no race card line."}}),
    By_Name());

struct Decode_Case {
    const char* label;
    std::string bytes, utf8;
};

class Import_Text_Test : public ::testing::TestWithParam<Decode_Case> {};

TEST_P(Import_Text_Test, DecodesAs) { EXPECT_EQ(RC::Import_Text_To_Utf8(GetParam().bytes), GetParam().utf8); }

INSTANTIATE_TEST_SUITE_P(Texts, Import_Text_Test,
                         ::testing::Values(Decode_Case{"Ascii", "Rex", "Rex"},
                                           Decode_Case{"Utf8",
                                                       "O\xE2\x80\x99"
                                                       "Brien",
                                                       "O\xE2\x80\x99"
                                                       "Brien"},
                                           Decode_Case{"Utf8Bom", "\xEF\xBB\xBF\xE2\x82\xAC", "\xE2\x82\xAC"},
                                           Decode_Case{"Windows1252Apostrophe",
                                                       "O\x92"
                                                       "Brien",
                                                       "O\xE2\x80\x99"
                                                       "Brien"},
                                           Decode_Case{"Windows1252Euro",
                                                       "\x80"
                                                       "5",
                                                       "\xE2\x82\xAC"
                                                       "5"},
                                           Decode_Case{
                                               "Windows1252Letters", "\x8A\x9A\x8C\x9C\x8E\x9E\x9F\x83",
                                               "\xC5\xA0\xC5\xA1\xC5\x92\xC5\x93\xC5\xBD\xC5\xBE\xC5\xB8\xC6\x92"},
                                           Decode_Case{"Windows1252Marks", "\x85\x96\x97\x99",
                                                       "\xE2\x80\xA6\xE2\x80\x93\xE2\x80\x94\xE2\x84\xA2"},
                                           Decode_Case{"Latin1Part", "Zo\xEB \xA0\xFF", "Zo\xC3\xAB \xC2\xA0\xC3\xBF"},
                                           Decode_Case{"UndefinedBytesStayControls", "\x81\x8D\x8F\x90\x9D",
                                                       "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"}),
                         By_Name());

// ---------------------------------------------------------------------------
// the preview

class Race_Card_Preview_Test : public Event_Test {
protected:
    void SetUp() override {
        Event_Test::SetUp();
        Make_Event(event);
        ASSERT_TRUE(event.Set_Heat_Name(2, "Sprint"));
        ASSERT_TRUE(event.Set_Heat_Length(2, "480"));
        for (int b = 1; b <= 6; ++b) ASSERT_TRUE(event.Set_Reg_Dog_Name(2, b, "Dog " + std::to_string(b)));
        ASSERT_TRUE(event.Set_Reg_Dog_Name(3, 1, "Rex"));
        ASSERT_TRUE(event.XML_to_File());
    }
    Event_File event;
};

TEST_F(Race_Card_Preview_Test, ListsEveryChangeHeatByHeat) {
    const Race_Card card = RC::Read(
        "heat,box,dog,seeding,race,distance\n"
        "2,1,Dog 1,,Maiden 2,500\n2,2,Dog 2\n2,3,New Three,W\n2,4,Dog 4\n2,5,Dog 5\n"  // box 6 left out: vacant
        "3,1,Rex\n"                                                                    // as it is
        "4,1,Rex\n",
        "card.csv");
    ASSERT_TRUE(card.problems.empty()) << card.problems.front();
    const auto changes = RC::Changes(event, card);
    EXPECT_EQ(RC::Preview_Text("card.csv", card, changes),
              "Import \"card.csv\": 7 dogs in 3 heats.\r\n"
              "Heat 2: name \"Maiden 2\" (was \"Sprint\"); 500 m (was 480 m); box 3 \"New Three (W)\" (was \"Dog "
              "3\"); box 6 vacant (was \"Dog 6\")\r\n"
              "Heat 4: box 1 \"Rex\"\r\n"
              "1 heat is unchanged.\r\n"
              "Note: \"Rex\" runs in heats 3 and 4.\r\n"
              "Import these changes?");
}

TEST_F(Race_Card_Preview_Test, ManyHeatsAreCutShort) {
    std::string csv;
    for (int h = 10; h < 50; ++h) csv += std::to_string(h) + ",1,Dog of " + std::to_string(h) + "\n";
    const Race_Card card = RC::Read(csv, "card.csv");
    const std::string text = RC::Preview_Text("card.csv", card, RC::Changes(event, card), 30);
    EXPECT_NE(text.find("Heat 39: box 1"), std::string::npos);
    EXPECT_EQ(text.find("Heat 40:"), std::string::npos);
    EXPECT_NE(text.find("... and 10 more heats."), std::string::npos);
}

TEST_F(Race_Card_Preview_Test, DuplicatesAreRefusedBeforeAnyPreview) {
    const std::string before = Read_Text(event.Path());
    const std::string path = Path("card.csv");
    Write_Bytes(path, "heat,box,dog\n2,1,Rex\n2,2,Fido\n2,1,Bolt\n5,1,Ace\n5,2,ace\n");
    const Dog_Import_Result r = Import_Dogs_From(event, path);
    EXPECT_EQ(r.imported, 0);
    ASSERT_EQ(dialogs.shown.size(), 1u);  // the refusal only: no question
    EXPECT_EQ(dialogs.shown[0].buttons, Platform::MsgButtons::OK);
    EXPECT_EQ(dialogs.shown[0].text,
              "Ivalid import file format!\r\n"
              "Lines 2 and 4: heat 2 box 1 is given twice.\r\n"
              "Lines 5 and 6: \"ace\" is in heat 5 twice.\r\n"
              "Nothing imported!");
    EXPECT_EQ(event.Reg_Dog_Name(2, 1), "Dog 1");
    EXPECT_EQ(Read_Text(event.Path()), before);
}

TEST_F(Race_Card_Preview_Test, AcceptedCardReplacesItsHeatsWhole) {
    const std::string path = Path("card.csv");
    Write_Bytes(path, "2,1,Rex,W,Final,515m\n2,2,Fido\n");
    dialogs.Answer_Message(Platform::MsgResult::Yes);
    const Dog_Import_Result r = Import_Dogs_From(event, path);
    EXPECT_EQ(r.imported, 2);
    Event_File disk;
    disk.Set_Path(event.Path());
    ASSERT_TRUE(disk.Parse_XML_file());
    EXPECT_EQ(disk.Heat_Name(2), "Final");
    EXPECT_EQ(disk.Heat_Length(2), "515");
    EXPECT_EQ(disk.Reg_Dog_Name(2, 1), "Rex (W)");
    EXPECT_EQ(disk.Reg_Dog_Name(2, 2), "Fido");
    for (int b = 3; b <= 8; ++b) EXPECT_EQ(disk.Reg_Dog_Name(2, b), "") << b;
    EXPECT_EQ(disk.Reg_Dog_Name(3, 1), "Rex");  // a heat not on the card stays
}

TEST_F(Race_Card_Preview_Test, ManyFaultsAreCountedNotAllListed) {
    std::string csv;
    for (int i = 0; i < 20; ++i) csv += "0,1,Rex\n";
    const std::string path = Path("card.csv");
    Write_Bytes(path, csv);
    Import_Dogs_From(event, path);
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_NE(dialogs.Messages()[0].find("Line 12:"), std::string::npos);
    EXPECT_EQ(dialogs.Messages()[0].find("Line 13:"), std::string::npos);
    EXPECT_NE(dialogs.Messages()[0].find("... and 8 more."), std::string::npos);
}

}  // namespace
