#include <random>
#include <string>
#include <utility>
#include <vector>

#include "Event_Test_Env.h"
#include "Test_Name.h"
#include "event/Dog_Import.h"
#include "event/Event_File.h"
#include "settings/Module_Ini.h"

namespace {

using Kind = Dog_Import::Kind;

// The parser's steps in a compact form: "H3" heat, "D3.1=Rex" dog, "E3.2" empty
// line, "F" format error, "M" too many dogs, "L" line too long.
std::vector<std::string> Steps(const std::string& bytes) {
    Dog_Import parser(bytes);
    std::vector<std::string> out;
    for (int guard = 0; guard < 100000; ++guard) {
        const Dog_Import::Step s = parser.Next();
        const std::string at = std::to_string(s.heat) + "." + std::to_string(s.box);
        switch (s.kind) {
            case Kind::Heat: out.push_back("H" + std::to_string(s.heat)); break;
            case Kind::Dog: out.push_back("D" + at + "=" + s.name); break;
            case Kind::Empty_Line: out.push_back("E" + at); break;
            case Kind::Format_Error: out.push_back("F"); break;
            case Kind::Too_Many_Dogs: out.push_back("M"); break;
            case Kind::Line_Too_Long: out.push_back("L"); break;
            case Kind::End: return out;
        }
    }
    ADD_FAILURE() << "parser never ended";
    return out;
}

struct Parse_Case {
    const char* label;
    std::string bytes;
    std::vector<std::string> steps;
};

class Dog_Import_Parse_Test : public ::testing::TestWithParam<Parse_Case> {};

TEST_P(Dog_Import_Parse_Test, LinesBecomeTheseSteps) { EXPECT_EQ(Steps(GetParam().bytes), GetParam().steps); }

INSTANTIATE_TEST_SUITE_P(
    Files, Dog_Import_Parse_Test,
    ::testing::Values(
        Parse_Case{"EmptyLineSkipsABox", "Start 3\r\nRex\r\n\r\nFido\r\n", {"H3", "D3.1=Rex", "E3.2", "D3.3=Fido"}},
        Parse_Case{"NoFinalLineEnd", "Start 3\nRex", {"H3", "D3.1=Rex"}},
        Parse_Case{"SpaceOrNot", "Start12\nA\nStart 12\nB\n", {"H12", "D12.1=A", "H12", "D12.1=B"}},
        Parse_Case{"ThreeDigits", "Start 100\nA\nStart100\nB\n", {"H100", "D100.1=A", "H100", "D100.1=B"}},
        Parse_Case{"LfCrAndCr", "Start 1\rA\r\rB\n\nC", {"H1", "D1.1=A", "E1.2", "D1.3=B", "E1.4", "D1.5=C"}},
        Parse_Case{"BlanksTrimmed", "Start 2\n  Rex  \n \t \n", {"H2", "D2.1=Rex", "E2.2"}},
        Parse_Case{"FirstLineADog", "Rex\nStart 1\nFido\n", {"F"}},
        Parse_Case{"FirstLineEmpty", "\nStart 1\nFido\n", {"F"}}, Parse_Case{"HeatZero", "Start 0\nRex\n", {"H0", "F"}},
        Parse_Case{"HeatPastHundred", "Start 101\nRex\n", {"H101", "F"}},
        Parse_Case{"ManyDigits", "Start 12345\nRex\n", {"H1234", "F"}},
        Parse_Case{"NoNumberIsADog", "Start\nRex\n", {"F"}}, Parse_Case{"StartOnlyExactCase", "start 1\nRex\n", {"F"}},
        Parse_Case{"IndentedStart", "  Start 4\nRex\n", {"H4", "D4.1=Rex"}},
        Parse_Case{"StartInsideANameIsADog",
                   "Start 4\nFlying Start\nStarting Gate\nStart Me Up\nA Start 9\n",
                   {"H4", "D4.1=Flying Start", "D4.2=Starting Gate", "D4.3=Start Me Up", "D4.4=A Start 9"}},
        Parse_Case{"StartResetsTheBox", "Start 1\nA\nB\nStart 2\nC\n", {"H1", "D1.1=A", "D1.2=B", "H2", "D2.1=C"}},
        Parse_Case{"EightBoxes",
                   "Start 5\n1\n2\n3\n4\n5\n6\n7\n8\n",
                   {"H5", "D5.1=1", "D5.2=2", "D5.3=3", "D5.4=4", "D5.5=5", "D5.6=6", "D5.7=7", "D5.8=8"}},
        Parse_Case{"NinthDog",
                   "Start 5\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n",
                   {"H5", "D5.1=1", "D5.2=2", "D5.3=3", "D5.4=4", "D5.5=5", "D5.6=6", "D5.7=7", "D5.8=8", "M"}},
        Parse_Case{
            "EmptyLinesAfterEight",
            "Start 5\n1\n2\n3\n4\n5\n6\n7\n8\n\n\n",
            {"H5", "D5.1=1", "D5.2=2", "D5.3=3", "D5.4=4", "D5.5=5", "D5.6=6", "D5.7=7", "D5.8=8", "E5.9", "E5.10"}},
        Parse_Case{"Bom", "\xEF\xBB\xBFStart 1\nRex\n", {"H1", "D1.1=Rex"}},
        Parse_Case{"Latin1File", "Start 1\nZo\xEB\n", {"H1", "D1.1=Zo\xC3\xAB"}},
        Parse_Case{"Utf8File", "Start 1\nZo\xC3\xAB\n", {"H1", "D1.1=Zo\xC3\xAB"}},
        Parse_Case{"LongLine", "Start 1\n" + std::string(1001, 'x') + "\nRex\n", {"H1", "L"}},
        Parse_Case{
            "LongestLineKept", "Start 1\n" + std::string(1000, 'x') + "\n", {"H1", "D1.1=" + std::string(1000, 'x')}},
        Parse_Case{"LongestAccentedLineKept",
                   "Start 1\n" + std::string(1000, '\xE9') + "\n",
                   {"H1", "D1.1=" +
                              [] {
                                  std::string s;
                                  for (int i = 0; i < 1000; ++i) s += "\xC3\xA9";
                                  return s;
                              }()}},
        Parse_Case{"Nothing", "", {}}),
    By_Name());

TEST(Dog_Import, BinaryGarbageNeverCrashesAndAlwaysEnds) {
    std::mt19937 rng(20240516);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(rng() % 5000, '\0');
        for (char& c : bytes) c = static_cast<char>(rng() & 0xFF);
        if (round % 2) bytes.insert(0, "Start 7\n");
        Dog_Import parser(bytes);
        int steps = 0;
        while (parser.Next().kind != Kind::End) ASSERT_LT(++steps, 10000);
        EXPECT_EQ(parser.Next().kind, Kind::End);
    }
}

TEST(Dog_Import, AHugeSingleLineIsRefusedAtOnce) {
    EXPECT_EQ(Steps("Start 1\n" + std::string(Dog_Import::Max_File_Bytes, 'x')), (std::vector<std::string>{"H1", "L"}));
}

// ---------------------------------------------------------------------------
// importing into an event file

class Dog_Import_Test : public Event_Test {
protected:
    void SetUp() override {
        Event_Test::SetUp();
        Make_Event(event);
    }
    std::string Import_File(const std::string& bytes) {
        const std::string path = Path("dogs.txt");
        Write_Bytes(path, bytes);
        return path;
    }

    Event_File event;
};

TEST_F(Dog_Import_Test, StartThreeRexEmptyFido) {
    ASSERT_TRUE(event.Set_Reg_Dog_Name(3, 2, "Old Two"));
    std::vector<int> heats;
    std::vector<std::pair<int, int>> stored;
    Dog_Import_Hooks hooks;
    hooks.Heat_Selected = [&](int h) { heats.push_back(h); };
    hooks.Dog_Stored = [&](int h, int b) {
        stored.emplace_back(h, b);
        // The window shows the heat from the document: the name is there already.
        EXPECT_NE(event.Reg_Dog_Name(h, b), "");
    };

    const Dog_Import_Result r = Import_Dogs_From(event, Import_File("Start 3\r\nRex\r\n\r\nFido\r\n"), hooks);
    EXPECT_EQ(r.imported, 2);
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(event.Reg_Dog_Name(3, 1), "Rex");
    EXPECT_EQ(event.Reg_Dog_Name(3, 2), "Old Two");
    EXPECT_EQ(event.Reg_Dog_Name(3, 3), "Fido");
    EXPECT_EQ(event.Reg_Dog_Name(3, 4), "");
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"2 Dogs imported!"});
    EXPECT_EQ(heats, std::vector<int>{3});
    EXPECT_EQ(stored, (std::vector<std::pair<int, int>>{{3, 1}, {3, 3}}));

    // The file on disk mirrors the document.
    Event_File reread;
    reread.Set_Path(event.Path());
    ASSERT_TRUE(reread.Parse_XML_file());
    EXPECT_EQ(reread.Reg_Dog_Name(3, 1), "Rex");
    EXPECT_EQ(reread.Reg_Dog_Name(3, 3), "Fido");
}

TEST_F(Dog_Import_Test, FirstLineADogNameImportsNothing) {
    const std::string before = Read_Text(event.Path());
    const Dog_Import_Result r = Import_Dogs_From(event, Import_File("Rex\r\nStart 1\r\nFido\r\n"));
    EXPECT_EQ(r.imported, 0);
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"Ivalid import file format!"});
    for (int h = 1; h <= 100; ++h)
        for (int b = 1; b <= 8; ++b) ASSERT_EQ(event.Reg_Dog_Name(h, b), "");
    EXPECT_EQ(Read_Text(event.Path()), before);
}

TEST_F(Dog_Import_Test, AFormatErrorKeepsWhatCameBefore) {
    const Dog_Import_Result r = Import_Dogs_From(event, Import_File("Start 1\nA\nB\nStart 0\nC\nStart 2\nD\n"));
    EXPECT_EQ(r.imported, 2);
    EXPECT_EQ(event.Reg_Dog_Name(1, 2), "B");
    EXPECT_EQ(event.Reg_Dog_Name(2, 1), "");
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"Ivalid import file format!"});
}

TEST_F(Dog_Import_Test, BoxesSevenAndEightAreFilledANinthDogStops) {
    const Dog_Import_Result r = Import_Dogs_From(event, Import_File("Start 9\n1\n2\n3\n4\n5\n6\n7\n8\n9\n"));
    EXPECT_EQ(r.imported, 8);
    EXPECT_EQ(event.Reg_Dog_Name(9, 7), "7");
    EXPECT_EQ(event.Reg_Dog_Name(9, 8), "8");
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(dialogs.Messages()[0], "Ivalid import file format!\r\nHeat 9 has more than 8 dogs (line 10).");
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(Dog_Import_Test, NamesInEitherEncodingArriveAsTheSameLetters) {
    Import_Dogs_From(event, Import_File("Start 1\nZo\xEB\n\xC5sa\n"));
    EXPECT_EQ(event.Reg_Dog_Name(1, 1), "Zo\xC3\xAB");
    EXPECT_EQ(event.Reg_Dog_Name(1, 2), "\xC3\x85sa");
    Import_Dogs_From(event, Import_File("\xEF\xBB\xBFStart 2\nZo\xC3\xAB\n"));
    EXPECT_EQ(event.Reg_Dog_Name(2, 1), "Zo\xC3\xAB");
    EXPECT_NE(Read_Text(event.Path()).find("<dog_name>Zo\xEB</dog_name>"), std::string::npos);
}

struct Refusal_Case {
    const char* label;
    std::string bytes;
    int imported;
    const char* message_part;
};

class Dog_Import_Refusal_Test : public Dog_Import_Test, public ::testing::WithParamInterface<Refusal_Case> {};

TEST_P(Dog_Import_Refusal_Test, StopsWithAClearMessage) {
    const Dog_Import_Result r = Import_Dogs_From(event, Import_File(GetParam().bytes));
    EXPECT_EQ(r.imported, GetParam().imported);
    EXPECT_FALSE(r.completed);
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_NE(dialogs.Messages()[0].find(GetParam().message_part), std::string::npos) << dialogs.Messages()[0];
    EXPECT_TRUE(errors.errors.empty());
    for (int b = 2; b <= 8; ++b) EXPECT_EQ(event.Reg_Dog_Name(1, b), "") << b;
}

INSTANTIATE_TEST_SUITE_P(
    Files, Dog_Import_Refusal_Test,
    ::testing::Values(
        Refusal_Case{"NotLatin1", "Start 1\nRex\n\xC5\x81ucja\n", 1, "Import stopped at line 3"},
        Refusal_Case{"ControlCharacters", std::string("Start 1\nRex\nA\x01\x02", 15), 1, "control characters"},
        Refusal_Case{"HugeLine", "Start 1\nRex\n" + std::string(5000, 'y') + "\n", 1, "Line 3 is longer than"},
        Refusal_Case{"HugeFile", "Start 1\n" + std::string(Dog_Import::Max_File_Bytes, '\n'), 0, "too large"}),
    By_Name());

TEST_F(Dog_Import_Test, BinaryGarbageFileStopsWithAMessage) {
    std::mt19937 rng(7);
    std::string bytes = "Start 1\n";
    for (int i = 0; i < 20000; ++i) bytes.push_back(static_cast<char>(rng() & 0xFF));
    const Dog_Import_Result r = Import_Dogs_From(event, Import_File(bytes));
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(dialogs.Messages().size(), 1u);
    for (int b = 1; b <= 8; ++b) EXPECT_TRUE(Event_File::Can_Store(event.Reg_Dog_Name(1, b)));
}

TEST_F(Dog_Import_Test, UnreadableFileImportsNothing) {
    const Dog_Import_Result r = Import_Dogs_From(event, Path("missing.txt"));
    EXPECT_EQ(r.imported, 0);
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_NE(dialogs.Messages()[0].find("cannot be read"), std::string::npos);
}

TEST_F(Dog_Import_Test, AFaultInTheWindowIsReportedNotThrown) {
    Dog_Import_Hooks hooks;
    hooks.Dog_Stored = [](int, int) { throw std::runtime_error("repaint failed"); };
    const Dog_Import_Result r = Import_Dogs_From(event, Import_File("Start 1\nRex\nFido\n"), hooks);
    EXPECT_EQ(r.imported, 1);
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].location, "Import_Dogs of Form Form_event_registration");
    // What was stored is saved.
    Event_File reread;
    reread.Set_Path(event.Path());
    ASSERT_TRUE(reread.Parse_XML_file());
    EXPECT_EQ(reread.Reg_Dog_Name(1, 1), "Rex");
}

// ---------------------------------------------------------------------------
// the menu command

TEST_F(Dog_Import_Test, CommandAsksInTheImportFolderAndRemembersTheChosenOne) {
    const std::string dir = Temp_Dir();
    const std::string file = Platform::Join_Path(dir, "heat3.txt");
    Write_Bytes(file, "Start 3\nRex\n");
    dialogs.Answer_File(file);
    const Dog_Import_Result r = Import_Dogs(event);
    EXPECT_TRUE(traces.Has("Import_Dogs start"));
    EXPECT_EQ(r.imported, 1);
    ASSERT_FALSE(dialogs.shown.empty());
    EXPECT_EQ(dialogs.shown[0].kind, "open");
    EXPECT_EQ(Read_Ini("Settings", "importdir", Facts().Ini_file_path, ""), dir);
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"1 Dogs imported!"});
}

TEST_F(Dog_Import_Test, CommandCancelledDoesNothing) {
    dialogs.Answer_File(std::nullopt);
    const Dog_Import_Result r = Import_Dogs(event);
    EXPECT_EQ(r.imported, 0);
    EXPECT_TRUE(dialogs.Messages().empty());
    EXPECT_EQ(Read_Ini("Settings", "importdir", Facts().Ini_file_path, "c:"), "c:");
}

TEST_F(Dog_Import_Test, CommandWithoutAValidEventFileIsRefused) {
    const std::string refusal = "No valid Event File open!\r\nImport not possible";
    // No event file at all.
    Event_File none;
    Import_Dogs(none);
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{refusal});
    // A 0-byte file.
    dialogs.Clear();
    const std::string zero = Event_Path("Zero.xml");
    Write_Bytes(zero, "");
    Event_File empty;
    empty.Set_Path(zero);
    Import_Dogs(empty);
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{refusal});
    // A file that is not XML: it validates but holds no programme.
    dialogs.Clear();
    const std::string text = Event_Path("Text.xml");
    Write_Bytes(text, "hello");
    Event_File bad;
    bad.Set_Path(text);
    bad.Parse_XML_file();
    Import_Dogs(bad);
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{refusal});
    EXPECT_EQ(Read_Text(text), "hello");
    for (const auto& s : dialogs.shown) EXPECT_NE(s.kind, "open");
}

}  // namespace
