#include <filesystem>
#include <string>

#include "Event_Test_Env.h"
#include "Test_Name.h"
#include "event/Module_Event_File.h"
#include "platform/Files.h"
#include "settings/Module_Ini.h"

namespace fs = std::filesystem;

namespace {

using Module_Event_File_Test = Event_Test;

// ---------------------------------------------------------------------------
// naming rule

struct Name_Case {
    const char* label;
    std::string event, day, file_name;
};

class Event_File_Name_Test : public ::testing::TestWithParam<Name_Case> {};

TEST_P(Event_File_Name_Test, NameFollowsTheRule) {
    EXPECT_EQ(Event_File_Name(GetParam().event, GetParam().day), GetParam().file_name);
}

INSTANTIATE_TEST_SUITE_P(Names, Event_File_Name_Test,
                         ::testing::Values(Name_Case{"Cup", "Cup 2020", "Sat, 1-2", "Cup 2020Sat_ 1_2.xml"},
                                           Name_Case{"Colon", "Derby", "12:30", "Derby12_30.xml"},
                                           Name_Case{"NoDay", "Spring Meeting", "", "Spring Meeting.xml"},
                                           Name_Case{"FirstTwoAlsoReplaced", ":-Cup", ",", "__Cup_.xml"},
                                           Name_Case{"Accents", "Coupe d'\xC3\xA9t\xC3\xA9", "Dim.",
                                                     "Coupe d'\xC3\xA9t\xC3\xA9"
                                                     "Dim..xml"},
                                           Name_Case{"Slash", "Cup/2020", "Sat\\Sun", "Cup_2020Sat_Sun.xml"},
                                           Name_Case{"DotDot", "..", "", "__.xml"},
                                           Name_Case{"Climb", "../../etc/", "passwd", "___.._etc_passwd.xml"},
                                           Name_Case{"Hidden", ".cup", "", "_cup.xml"},
                                           Name_Case{"DotsInside", "Cup..2020", "", "Cup..2020.xml"},
                                           Name_Case{"Control", std::string("Cup\n\t\x01\x7F", 7), "", "Cup____.xml"},
                                           Name_Case{"WindowsForbidden", "a<b>c\"d|e?f*g", "", "a_b_c_d_e_f_g.xml"},
                                           Name_Case{"BadUtf8", "Zo\xEB", "", "Zo_.xml"},
                                           Name_Case{"C1Control",
                                                     "A\xC2\x85"
                                                     "B",
                                                     "", "A_B.xml"},
                                           Name_Case{"Empty", "", "", "_.xml"},
                                           Name_Case{"Device", "con", "", "_con.xml"},
                                           Name_Case{"DeviceWithDot", "LPT1.old", "", "_LPT1.old.xml"},
                                           Name_Case{"NotADevice", "CONSOLE", "", "CONSOLE.xml"}),
                         By_Name());

TEST(Event_File_Name, LongNamesAreBoundedAndStillDistinct) {
    const std::string base(5000, 'x');
    const std::string a = Event_File_Name(base + "A", "");
    const std::string b = Event_File_Name(base + "B", "");
    EXPECT_LE(a.size(), 204u);
    EXPECT_NE(a, b);
    EXPECT_EQ(a.substr(a.size() - 4), ".xml");
    EXPECT_EQ(a.rfind(std::string(150, 'x'), 0), 0u);
    // Cut at a character boundary: two-byte letters stay whole.
    std::string accents;
    for (int i = 0; i < 300; ++i) accents += "\xC3\xA9";
    const std::string c = Event_File_Name(accents, "");
    EXPECT_LE(c.size(), 204u);
    const std::string stem = c.substr(0, c.find('~'));
    EXPECT_EQ(stem.size() % 2, 0u);
    // A name just at the limit is kept whole.
    EXPECT_EQ(Event_File_Name(std::string(200, 'y'), ""), std::string(200, 'y') + ".xml");
}

TEST(Event_File_Name, FolderIsTakenAsItIs) {
    // The replacements are for the name only: a folder with '-' or ',' stays.
    const std::string folder = "/home/jean-luc/data, old/Houndex Event Files/";
    EXPECT_EQ(New_Event_File_Path(folder, "Cup 2020", "Sat, 1-2"), folder + "Cup 2020Sat_ 1_2.xml");
    EXPECT_EQ(New_Event_File_Path("/x/Houndex Event Files", "Cup", ""), "/x/Houndex Event Files/Cup.xml");
}

struct Hostile_Name {
    const char* name;
    std::string text;
};

class Hostile_Name_Test : public Event_Test, public ::testing::WithParamInterface<Hostile_Name> {};

TEST_P(Hostile_Name_Test, FileIsCreatedInTheEventFolderAndNowhereElse) {
    const std::string folder = Platform::Join_Path(Temp_Dir(), "Houndex Event Files/");
    ASSERT_TRUE(Platform::Create_Folders(folder));
    const std::string path = New_Event_File_Path(folder, GetParam().text, GetParam().text);
    EXPECT_EQ(fs::path(path).parent_path(), fs::path(folder).parent_path());
    const std::string name = fs::path(path).filename().string();
    EXPECT_LE(name.size(), 255u);
    EXPECT_NE(name[0], '.');
    for (const char c : name) {
        EXPECT_NE(c, '/');
        EXPECT_NE(c, '\\');
        EXPECT_GE(static_cast<unsigned char>(c), 0x20u);
    }
    std::string error;
    ASSERT_TRUE(Platform::Write_File_Atomic(path, "x", &error)) << error << " " << path;
    int entries = 0;
    for (const auto& e : fs::recursive_directory_iterator(fs::path(folder).parent_path().parent_path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 2);  // the folder and the one file
}

INSTANTIATE_TEST_SUITE_P(
    Names, Hostile_Name_Test,
    ::testing::Values(Hostile_Name{"DotDot", ".."}, Hostile_Name{"DotDotSlash", "../"},
                      Hostile_Name{"AbsolutePath", "/etc/passwd"}, Hostile_Name{"BackslashClimb", "..\\..\\x"},
                      Hostile_Name{"VeryLong", std::string(3000, 'n')}, Hostile_Name{"Nul", std::string("a\0b", 3)},
                      Hostile_Name{"InvalidUtf8", "\xFF\xFE\xFD"}, Hostile_Name{"ManySlashes", std::string(300, '/')},
                      Hostile_Name{"ManyLeadBytes", std::string(100, '\xC3')},
                      Hostile_Name{"ControlCharacters", "\r\n\t"}, Hostile_Name{"Dot", "."}),
    By_Name());

// ---------------------------------------------------------------------------
// validation

TEST_F(Module_Event_File_Test, ValidationAcceptsAnyNonEmptyFile) {
    const std::string path = Event_Path("Any.xml");
    Write_Bytes(path, "not xml at all");
    g_Use_Event_File = true;
    EXPECT_TRUE(Validate_XML_file(path));
    EXPECT_TRUE(g_Use_Event_File);
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(Module_Event_File_Test, MissingFileIsReportedAndInvalid) {
    for (const std::string& path : {Event_Path("Missing.xml"), std::string(), Folder()}) {
        errors.errors.clear();
        g_Use_Event_File = true;
        EXPECT_FALSE(Validate_XML_file(path)) << path;
        EXPECT_TRUE(g_Use_Event_File) << "only a 0-byte file clears the flag";
        ASSERT_EQ(errors.errors.size(), 1u) << path;
        EXPECT_EQ(errors.errors[0].location, "Validate_XML_file of Module Module_dependant");
        EXPECT_EQ(errors.errors[0].number, 53);
        EXPECT_EQ(errors.errors[0].extra, path);
    }
}

// ---------------------------------------------------------------------------
// folder and setting

TEST_F(Module_Event_File_Test, FolderComesFromStartUpStateOrTheDataFolder) {
    EXPECT_EQ(Event_Files_Folder_Path(), Folder());
    Change_Facts([](Startup_Facts& f) { f.Event_Files_Folder.clear(); });
    EXPECT_EQ(Event_Files_Folder_Path(), Platform::Join_Path(Path("Houndex Event Files"), ""));
    fs::remove_all(Path("Houndex Event Files"));
    EXPECT_TRUE(Create_Event_Files_Folder());
    EXPECT_TRUE(Platform::Folder_Exists(Path("Houndex Event Files")));
}

TEST_F(Module_Event_File_Test, StoredPathRoundTripsAndEmptyReadsAsNoFile) {
    EXPECT_EQ(Stored_Event_File(), "N/A");
    EXPECT_TRUE(No_Event_Path(Stored_Event_File()));
    const std::string path = Event_Path("Cup 2020Sat_ 1_2.xml");
    ASSERT_TRUE(Store_Event_File(path));
    EXPECT_EQ(Stored_Event_File(), path);
    EXPECT_EQ(Read_Ini("Settings", "current_event_file", Facts().Ini_file_path, ""), path);
    EXPECT_FALSE(No_Event_Path(Stored_Event_File()));
    ASSERT_TRUE(Store_Event_File(""));
    EXPECT_TRUE(No_Event_Path(Stored_Event_File()));
}

// ---------------------------------------------------------------------------
// bounded read

TEST_F(Module_Event_File_Test, BoundedReadStopsPastTheLimit) {
    const std::string path = Path("data.bin");
    Write_Bytes(path, std::string(1000, 'a'));
    std::string bytes, error;
    bool too_large = true;
    EXPECT_TRUE(Read_File_Bounded(path, 1000, bytes, too_large, &error));
    EXPECT_EQ(bytes.size(), 1000u);
    EXPECT_FALSE(too_large);
    EXPECT_FALSE(Read_File_Bounded(path, 999, bytes, too_large, &error));
    EXPECT_TRUE(too_large);
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(Read_File_Bounded(Path("none"), 10, bytes, too_large, &error));
    EXPECT_FALSE(too_large);
    // Not a regular file: never opened, so a pipe or device cannot block.
    EXPECT_FALSE(Read_File_Bounded(Data_Dir(), 10, bytes, too_large, &error));
    EXPECT_FALSE(Read_File_Bounded("/dev/zero", 10, bytes, too_large, &error));
}

}  // namespace
