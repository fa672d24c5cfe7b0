#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <QDir>

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
        Parse_Case{"ManyDigits", "Start 12345\nRex\n", {"H101", "F"}},
        Parse_Case{"LeadingZeros",
                   "Start 00012\nA\nStart 00100\nB\nStart 0003\nC\n",
                   {"H12", "D12.1=A", "H100", "D100.1=B", "H3", "D3.1=C"}},
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
        Parse_Case{"Windows1252File",
                   "Start 1\nO\x92"
                   "Brien\n\x80uro\n",
                   {"H1",
                    "D1.1=O\xE2\x80\x99"
                    "Brien",
                    "D1.2=\xE2\x82\xAC"
                    "uro"}},
        Parse_Case{"Utf8File", "Start 1\nZo\xC3\xAB\n", {"H1", "D1.1=Zo\xC3\xAB"}},
        Parse_Case{"LongLine", "Start 1\n" + std::string(1001, 'x') + "\nRex\n", {"H1", "L"}},
        Parse_Case{
            "LongestLineKept", "Start 1\n" + std::string(1000, 'x') + "\n", {"H1", "D1.1=" + std::string(1000, 'x')}},
        Parse_Case{"LongestAccentedLineKept",
                   "Start 1\n" + std::string(1000, '\xE9') + "\n",
                   {"H1",
                    "D1.1=" +
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
    Dog_Import_Hooks hooks;
    hooks.Heat_Selected = [&](int h) {
        heats.push_back(h);
        // The window shows the heat from the document: the names are there already.
        EXPECT_EQ(event.Reg_Dog_Name(h, 1), "Rex");
    };
    dialogs.Answer_Message(Platform::MsgResult::Yes);

    const Dog_Import_Result r = Import_Dogs_From(event, Import_File("Start 3\r\nRex\r\n\r\nFido\r\n"), hooks);
    EXPECT_EQ(r.imported, 2);
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(event.Reg_Dog_Name(3, 1), "Rex");
    EXPECT_EQ(event.Reg_Dog_Name(3, 2), "Old Two");
    EXPECT_EQ(event.Reg_Dog_Name(3, 3), "Fido");
    EXPECT_EQ(event.Reg_Dog_Name(3, 4), "");
    ASSERT_EQ(dialogs.Messages().size(), 2u);
    EXPECT_EQ(
        dialogs.Messages()[0],
        "Import \"dogs.txt\": 2 dogs in 1 heat.\r\nHeat 3: box 1 \"Rex\"; box 3 \"Fido\"\r\nImport these changes?");
    EXPECT_EQ(dialogs.shown[0].buttons, Platform::MsgButtons::YesNo);
    EXPECT_EQ(dialogs.Messages()[1], "2 Dogs imported!");
    EXPECT_EQ(heats, std::vector<int>{3});

    // The file on disk mirrors the document.
    Event_File reread;
    reread.Set_Path(event.Path());
    ASSERT_TRUE(reread.Parse_XML_file());
    EXPECT_EQ(reread.Reg_Dog_Name(3, 1), "Rex");
    EXPECT_EQ(reread.Reg_Dog_Name(3, 3), "Fido");
}

TEST_F(Dog_Import_Test, NoToThePreviewChangesNothing) {
    const std::string before = Read_Text(event.Path());
    const Dog_Import_Result r = Import_Dogs_From(event, Import_File("Start 3\r\nRex\r\n"));
    EXPECT_EQ(r.imported, 0);
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(event.Reg_Dog_Name(3, 1), "");
    EXPECT_EQ(Read_Text(event.Path()), before);
}

TEST_F(Dog_Import_Test, AFileThatChangesNothingSaysSoAndAsksNothing) {
    ASSERT_TRUE(event.Set_Reg_Dog_Name(3, 1, "Rex"));
    const Dog_Import_Result r = Import_Dogs_From(event, Import_File("Start 3\r\nRex\r\n"));
    EXPECT_TRUE(r.completed);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].buttons, Platform::MsgButtons::OK);
    EXPECT_NE(dialogs.shown[0].text.find("nothing changes"), std::string::npos);
}

TEST_F(Dog_Import_Test, NamesInEitherEncodingArriveAsTheSameLetters) {
    dialogs.Answer_Message(Platform::MsgResult::Yes);
    Import_Dogs_From(event, Import_File("Start 1\nZo\xEB\n\xC5sa\n"));
    EXPECT_EQ(event.Reg_Dog_Name(1, 1), "Zo\xC3\xAB");
    EXPECT_EQ(event.Reg_Dog_Name(1, 2), "\xC3\x85sa");
    dialogs.Answer_Message(Platform::MsgResult::Yes);
    Import_Dogs_From(event, Import_File("\xEF\xBB\xBFStart 2\nZo\xC3\xAB\n"));
    EXPECT_EQ(event.Reg_Dog_Name(2, 1), "Zo\xC3\xAB");
    EXPECT_NE(Read_Text(event.Path()).find("<dog_name>Zo\xEB</dog_name>"), std::string::npos);
}

struct Refusal_Case {
    const char* label;
    std::string bytes;
    const char* message_part;
};

class Dog_Import_Refusal_Test : public Dog_Import_Test, public ::testing::WithParamInterface<Refusal_Case> {};

TEST_P(Dog_Import_Refusal_Test, StopsWithAClearMessageAndImportsNothing) {
    const std::string before = Read_Text(event.Path());
    const Dog_Import_Result r = Import_Dogs_From(event, Import_File(GetParam().bytes));
    EXPECT_EQ(r.imported, 0);
    EXPECT_FALSE(r.completed);
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_NE(dialogs.Messages()[0].find(GetParam().message_part), std::string::npos) << dialogs.Messages()[0];
    EXPECT_TRUE(errors.errors.empty());
    for (int b = 1; b <= 8; ++b) EXPECT_EQ(event.Reg_Dog_Name(1, b), "") << b;
    EXPECT_EQ(Read_Text(event.Path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Dog_Import_Refusal_Test,
    ::testing::Values(
        Refusal_Case{"FirstLineADog", "Rex\r\nStart 1\r\nFido\r\n",
                     "Ivalid import file format!\r\nLine 1: a dog comes before any \"Start N\" line."},
        Refusal_Case{"HeatZero", "Start 1\nA\nB\nStart 0\nC\n", "Line 5: heat 0 is not 1 to 100."},
        Refusal_Case{"NinthDog", "Start 1\n1\n2\n3\n4\n5\n6\n7\n8\n9\n", "Line 10: heat 1 has more than 8 dogs."},
        Refusal_Case{"ControlCharacters", std::string("Start 1\nRex\nA\x01\x02", 15), "U+0001, a control character"},
        Refusal_Case{"TabInAName", "Start 1\nRex\tFido\n", "U+0009"},
        Refusal_Case{"DogTwiceInAHeat", "Start 1\nRex\nFido\nrex\n", "Lines 2 and 4: \"rex\" is in heat 1 twice."},
        Refusal_Case{"HugeLine", "Start 1\nRex\n" + std::string(5000, 'y') + "\n", "Line 3: the line is longer than"},
        Refusal_Case{"LongName", "Start 1\n" + std::string(101, 'y') + "\n", "longer than 100 characters"},
        Refusal_Case{"HugeFile", "Start 1\n" + std::string(Dog_Import::Max_File_Bytes, '\n'), "too large"}),
    By_Name());

TEST_F(Dog_Import_Test, BinaryGarbageFileStopsWithAMessage) {
    std::mt19937 rng(7);
    std::string bytes = "Start 1\n";
    for (int i = 0; i < 20000; ++i) bytes.push_back(static_cast<char>(rng() & 0xFF));
    const Dog_Import_Result r = Import_Dogs_From(event, Import_File(bytes));
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(dialogs.Messages().size(), 1u);
    for (int b = 1; b <= 8; ++b) EXPECT_EQ(event.Reg_Dog_Name(1, b), "");
}

TEST_F(Dog_Import_Test, UnreadableFileImportsNothing) {
    const Dog_Import_Result r = Import_Dogs_From(event, Path("missing.txt"));
    EXPECT_EQ(r.imported, 0);
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_NE(dialogs.Messages()[0].find("cannot be read"), std::string::npos);
}

TEST_F(Dog_Import_Test, AFaultInTheWindowIsReportedNotThrownAndTheSaveStands) {
    Dog_Import_Hooks hooks;
    hooks.Heat_Selected = [](int) { throw std::runtime_error("repaint failed"); };
    dialogs.Answer_Message(Platform::MsgResult::Yes);
    const Dog_Import_Result r = Import_Dogs_From(event, Import_File("Start 1\nRex\nFido\n"), hooks);
    EXPECT_EQ(r.imported, 2);
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].location, "Import_Dogs of Form Form_event_registration");
    Event_File reread;
    reread.Set_Path(event.Path());
    ASSERT_TRUE(reread.Parse_XML_file());
    EXPECT_EQ(reread.Reg_Dog_Name(1, 2), "Fido");
}

// ---------------------------------------------------------------------------
// the menu command

TEST_F(Dog_Import_Test, CommandAsksInTheImportFolderAndRemembersTheChosenOne) {
    const std::string dir = Temp_Dir();
    const std::string file = Platform::Join_Path(dir, "heat3.txt");
    Write_Bytes(file, "Start 3\nRex\n");
    dialogs.Answer_File(file);
    dialogs.Answer_Message(Platform::MsgResult::Yes);
    const Dog_Import_Result r = Import_Dogs(event);
    EXPECT_TRUE(traces.Has("Import_Dogs start"));
    EXPECT_EQ(r.imported, 1);
    ASSERT_FALSE(dialogs.shown.empty());
    EXPECT_EQ(dialogs.shown[0].kind, "open");
    EXPECT_EQ(Read_Ini("Settings", "importdir", Facts().Ini_file_path, ""), dir);
    EXPECT_EQ(dialogs.Messages().back(), "1 Dogs imported!");
}

struct Folder_Case {
    const char* label;
    const char* stored;  // setting "importdir"; "@data" the test's data folder
    const char* opens;   // "@data", "@events" (the event file's folder) or "@home"
};

class Dog_Import_Folder_Test : public Dog_Import_Test, public ::testing::WithParamInterface<Folder_Case> {};

TEST_P(Dog_Import_Folder_Test, TheDialogOpensInAFolderThatExists) {
    auto place = [&](const std::string& s) {
        if (s == "@data") return Data_Dir();
        if (s == "@events") return std::filesystem::path(event.Path()).parent_path().string();
        if (s == "@home") return QDir::homePath().toStdString();
        return s;
    };
    if (*GetParam().stored) Write_Ini("Settings", "importdir", place(GetParam().stored), Facts().Ini_file_path);
    dialogs.Answer_File(std::nullopt);
    Import_Dogs(event);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "open");
    EXPECT_EQ(dialogs.shown[0].folder, place(GetParam().opens));
    EXPECT_NE(dialogs.shown[0].title.find(".csv"), std::string::npos) << dialogs.shown[0].title;
}

INSTANTIATE_TEST_SUITE_P(Settings, Dog_Import_Folder_Test,
                         ::testing::Values(Folder_Case{"NeverImported", "", "@events"},
                                           Folder_Case{"OldDefaultDrive", "c:", "@events"},
                                           Folder_Case{"NotAvailable", "N/A", "@events"},
                                           Folder_Case{"GoneFolder", "/no/such/folder/here", "@events"},
                                           Folder_Case{"LastFolder", "@data", "@data"}),
                         By_Name());

TEST_F(Dog_Import_Test, WithoutAnEventFolderTheDialogOpensAtHome) {
    Event_File elsewhere;
    elsewhere.Set_Path("/no/such/folder/Cup.xml");
    Write_Ini("Settings", "importdir", "c:", Facts().Ini_file_path);
    EXPECT_EQ(Import_Start_Folder(elsewhere), QDir::homePath().toStdString());
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
