#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/resource.h>

#include "Test_Env.h"
#include "Test_Name.h"
#include "platform/Files.h"
#include "settings/Module_Ini.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"

namespace fs = std::filesystem;

namespace {

class Ini_Test : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        ini = Path("Houndex_HDMI.ini");
        saved_path_ = Facts().Ini_file_path;
        Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = ini; });
    }
    void TearDown() override {
        Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = saved_path_; });
        Hdx_Test::TearDown();
    }
    void Put(const std::string& bytes) { std::ofstream(ini, std::ios::binary) << bytes; }
    std::string Bytes() const {
        std::ifstream in(ini, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string ini;

private:
    std::string saved_path_;
};

TEST_F(Ini_Test, First_Write_Creates_The_File) {
    ASSERT_FALSE(fs::exists(ini));
    EXPECT_EQ(Read_Ini("Settings", "Heat_ID", ini, "1"), "1");
    EXPECT_FALSE(fs::exists(ini));  // reading never creates it
    EXPECT_EQ(Write_Ini("Settings", "Heat_ID", "3", ini), 1);
    EXPECT_EQ(Bytes(), "[Settings]\r\nHeat_ID=3\r\n");
    EXPECT_EQ(Read_Ini("Settings", "Heat_ID", ini, "1"), "3");
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(Ini_Test, Names_Match_Without_Regard_To_Case) {
    ASSERT_EQ(Write_Ini("Settings", "Box_delay", "25", ini), 1);
    EXPECT_EQ(Read_Ini("settings", "box_delay", ini, "0"), "25");
    EXPECT_EQ(Read_Ini("SETTINGS", "BOX_DELAY", ini, "0"), "25");

    // Rewriting under another spelling changes the one entry, which keeps its name.
    ASSERT_EQ(Write_Ini("settings", "box_delay", "30", ini), 1);
    EXPECT_EQ(Bytes(), "[Settings]\r\nBox_delay=30\r\n");

    ASSERT_EQ(Write_Ini("Goal_lines", "Goal_line1", "1,2,3,4", ini), 1);
    ASSERT_EQ(Write_Ini("Goal_Lines", "goal_line2", "5,6,7,8", ini), 1);
    EXPECT_EQ(Read_Ini("GOAL_LINES", "Goal_Line1", ini, ""), "1,2,3,4");
    EXPECT_EQ(Bytes(),
              "[Settings]\r\nBox_delay=30\r\n\r\n[Goal_lines]\r\nGoal_line1=1,2,3,4\r\ngoal_line2=5,6,7,8\r\n");
}

struct Default_Case {
    const char* name;
    const char* file;
    const char* section;
    const char* key;
    const char* default_value;
    const char* expected;
};

void PrintTo(const Default_Case& c, std::ostream* os) { *os << c.section << "/" << c.key << " in \"" << c.file << '"'; }

class Ini_Default_Test : public Ini_Test, public ::testing::WithParamInterface<Default_Case> {};

TEST_P(Ini_Default_Test, Missing_Or_Empty_Reads_As_Default_Or_NA) {
    const Default_Case& c = GetParam();
    Put(c.file);
    EXPECT_EQ(Read_Ini(c.section, c.key, ini, c.default_value), c.expected);
    EXPECT_TRUE(dialogs.Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Reads, Ini_Default_Test,
    ::testing::Values(
        Default_Case{"EmptyValue", "[Settings]\r\nbox_delay=\r\n", "Settings", "box_delay", "0", "0"},
        Default_Case{"EmptyValueNoDefault", "[Settings]\r\nlast_file=\r\n", "Settings", "last_file", "", "N/A"},
        Default_Case{"BlankValueNoDefault", "[Settings]\r\nlast_file=   \r\n", "Settings", "last_file", "", "N/A"},
        Default_Case{"MissingKey", "[Settings]\r\nother=1\r\n", "Settings", "last_file", "", "N/A"},
        Default_Case{"MissingSection", "[Settings]\r\nHeat_ID=4\r\n", "capturesettings", "Heat_ID", "noname", "noname"},
        Default_Case{"EmptyFile", "", "Settings", "lastcrop", "400*880", "400*880"},
        Default_Case{"KeyBeforeAnySection", "Heat_ID=9\r\n[Settings]\r\n", "Settings", "Heat_ID", "1", "1"},
        Default_Case{"CommentedOut", "[Settings]\r\n;Heat_ID=9\r\n", "Settings", "Heat_ID", "1", "1"},
        Default_Case{"KeyInAnotherSection", "[Other]\r\nHeat_ID=9\r\n[Settings]\r\nx=1\r\n", "Settings", "Heat_ID", "1",
                     "1"},
        // line ends, blanks and 8-bit text
        Default_Case{"LineFeedEnds", "[Settings]\nHeat_ID=7\n", "Settings", "Heat_ID", "1", "7"},
        Default_Case{"NoFinalLineEnd", "[Settings]\r\nHeat_ID=7", "Settings", "Heat_ID", "1", "7"},
        Default_Case{"BlanksAround", "  [ Settings ]  \r\n  Heat_ID  =  7 8  \r\n", "Settings", "Heat_ID", "1", "7 8"},
        Default_Case{"ByteOrderMark", "\xEF\xBB\xBF[Settings]\r\nHeat_ID=7\r\n", "Settings", "Heat_ID", "1", "7"},
        Default_Case{"Latin1Value", "[Settings]\r\nsave_folder=D:\\Courses \xE9t\xE9\r\n", "Settings", "save_folder",
                     "", "D:\\Courses \xE9t\xE9"},
        Default_Case{"EqualsSignInValue", "[Settings]\r\nk=a=b\r\n", "Settings", "k", "", "a=b"},
        Default_Case{"KeyCaseIgnoredFirstWins", "[Settings]\r\nHeat_ID=2\r\nheat_id=5\r\n", "Settings", "HEAT_ID", "",
                     "2"},
        Default_Case{"GarbageLinesSkipped", "\x01\x02 garbage [[[ ===\r\n[Settings\r\nHeat_ID=6\r\n", "Settings",
                     "Heat_ID", "", "6"}),
    By_Name());

TEST_F(Ini_Test, Written_Empty_Value_Reads_As_Default) {
    ASSERT_EQ(Write_Ini("Settings", "Box_delay", "120", ini), 1);
    ASSERT_EQ(Write_Ini("Settings", "Box_delay", "", ini), 1);
    EXPECT_EQ(Read_Ini("Settings", "box_delay", ini, "0"), "0");
    EXPECT_EQ(Read_Ini("Settings", "box_delay", ini, ""), "N/A");
    EXPECT_EQ(Bytes(), "[Settings]\r\nBox_delay=\r\n");
}

TEST_F(Ini_Test, Long_Values_Are_Cut_To_511_On_Read) {
    std::string value;
    for (int i = 0; i < 600; ++i) value += static_cast<char>('a' + i % 26);
    ASSERT_EQ(Write_Ini("Settings", "save_folder", value, ini), 1);
    EXPECT_EQ(Read_Ini("Settings", "save_folder", ini, ""), value.substr(0, 511));
    EXPECT_NE(Bytes().find(value), std::string::npos);  // the file keeps all of it
    const std::string exact(511, 'x');
    ASSERT_EQ(Write_Ini("Settings", "last_file", exact, ini), 1);
    EXPECT_EQ(Read_Ini("Settings", "last_file", ini, ""), exact);
}

TEST_F(Ini_Test, Writing_One_Key_Keeps_Every_Other_Line) {
    Put("; Houndex settings\n"
        "[Settings]\n"
        "Heat_ID = 4\n"
        "# hand-made note\n"
        "unknown_key=kept as is  \n"
        "\n"
        "[capturesettings]\n"
        "friendlyname=Cam A\n"
        "\n");
    ASSERT_EQ(Write_Ini("SETTINGS", "heat_id", "5", ini), 1);
    EXPECT_EQ(Bytes(),
              "; Houndex settings\r\n[Settings]\r\nHeat_ID=5\r\n# hand-made note\r\nunknown_key=kept as is  \r\n\r\n"
              "[capturesettings]\r\nfriendlyname=Cam A\r\n\r\n");

    // A new key goes at the end of its section, before the blank line that separates the next one.
    ASSERT_EQ(Write_Ini("Settings", "auto_init", "1", ini), 1);
    ASSERT_EQ(Write_Ini("capturesettings", "videoproperty", "2", ini), 1);
    // A new section goes at the end of the file.
    ASSERT_EQ(Write_Ini("windowpos", "Form_Hdx_Results", "1,2", ini), 1);
    EXPECT_EQ(Bytes(),
              "; Houndex settings\r\n[Settings]\r\nHeat_ID=5\r\n# hand-made note\r\nunknown_key=kept as is  \r\n"
              "auto_init=1\r\n\r\n"
              "[capturesettings]\r\nfriendlyname=Cam A\r\nvideoproperty=2\r\n\r\n"
              "[windowpos]\r\nForm_Hdx_Results=1,2\r\n");
    EXPECT_EQ(Read_Ini("Settings", "unknown_key", ini, ""), "kept as is");
    EXPECT_EQ(Read_Ini("capturesettings", "friendlyname", ini, ""), "Cam A");
}

TEST_F(Ini_Test, Line_Breaks_In_A_Value_Cannot_Add_Entries) {
    ASSERT_EQ(Write_Ini("Settings", "importdir", "c:\r\n[Settings]\r\nbox_delay=999", ini), 1);
    EXPECT_EQ(Read_Ini("Settings", "box_delay", ini, "0"), "0");
    EXPECT_EQ(Read_Ini("Settings", "importdir", ini, ""), "c:  [Settings]  box_delay=999");
}

TEST_F(Ini_Test, Read_With_Empty_Path_Shows_Message) {
    EXPECT_EQ(Read_Ini("Settings", "Heat_ID", "", "1"), "");
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"Ini_file_path is empty!"});
}

class Ini_Write_Failure_Test : public Ini_Test {
protected:
    void Expect_Failure_Message(const std::string& path) {
        ASSERT_EQ(dialogs.shown.size(), 1u);
        const auto& m = dialogs.shown[0];
        EXPECT_EQ(m.title, " NXF Error");
        EXPECT_EQ(m.icon, Platform::MsgIcon::Critical);
        const std::string head = "Writing to INI file failed! Path = " + path + "\n Error = ";
        EXPECT_EQ(m.text.compare(0, head.size(), head), 0) << m.text;
        // " Error = " + code + " " + description
        const std::string tail = m.text.substr(std::min(head.size(), m.text.size()));
        const size_t blank = tail.find(' ');
        ASSERT_NE(blank, std::string::npos) << m.text;
        EXPECT_GT(std::stoi(tail.substr(0, blank)), 0);
        EXPECT_GT(tail.size(), blank + 1) << "no description: " << m.text;
    }
};

TEST_F(Ini_Write_Failure_Test, Read_Only_File_Is_Left_Byte_For_Byte) {
    const std::string before = "; mine\n[Settings]\nHeat_ID=4\n";
    Put(before);
    ASSERT_TRUE(Platform::Set_Read_Only(ini, true));
    EXPECT_EQ(Write_Ini("Settings", "Heat_ID", "5", ini), 0);
    Expect_Failure_Message(ini);
    EXPECT_EQ(Bytes(), before);
    EXPECT_TRUE(Platform::Is_Read_Only(ini));
    EXPECT_EQ(Read_Ini("Settings", "Heat_ID", ini, "1"), "4");
    // nothing left behind beside it
    int files = 0;
    for (const auto& e : fs::directory_iterator(Data_Dir())) files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}

TEST_F(Ini_Write_Failure_Test, Missing_Folder_Fails_And_Creates_Nothing) {
    const std::string folder = Path("gone");
    const std::string path = folder + "/Houndex_HDMI.ini";
    EXPECT_EQ(Write_Ini("Settings", "Heat_ID", "5", path), 0);
    Expect_Failure_Message(path);
    EXPECT_FALSE(fs::exists(folder));
}

TEST_F(Ini_Write_Failure_Test, Empty_Path_Fails) {
    EXPECT_EQ(Write_Ini("Settings", "Heat_ID", "5", ""), 0);
    Expect_Failure_Message("");
}

TEST_F(Ini_Write_Failure_Test, A_Folder_In_Place_Of_The_File_Fails) {
    fs::create_directory(ini);
    EXPECT_EQ(Write_Ini("Settings", "Heat_ID", "5", ini), 0);
    Expect_Failure_Message(ini);
    EXPECT_TRUE(fs::is_directory(ini));
}

TEST_F(Ini_Write_Failure_Test, A_Write_That_Stops_Halfway_Leaves_The_Old_File) {
    // A settings file of some size, and a disk that takes only 2 kB of a new one.
    std::string before = "[Settings]\r\nHeat_ID=4\r\n";
    for (int i = 0; i < 200; ++i) before += "key" + std::to_string(i) + "=value " + std::to_string(i) + "\r\n";
    Put(before);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    void (*old_signal)(int) = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lower = old;
    lower.rlim_cur = 2048;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lower), 0);
    const int16_t written = Write_Ini("Settings", "Heat_ID", "5", ini);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, old_signal);
    EXPECT_EQ(written, 0);
    Expect_Failure_Message(ini);
    EXPECT_EQ(Bytes(), before);
    int files = 0;
    for (const auto& e : fs::directory_iterator(Data_Dir())) files += e.is_regular_file();
    EXPECT_EQ(files, 1) << "a partial new file was left behind";
}

// --- window positions ------------------------------------------------------

struct Pos_Case {
    const char* name;
    const char* stored;            // nullptr: no entry
    int left, top, width, height;  // the caller's values going in
    bool keep;
    int e_left, e_top, e_width, e_height;
};

void PrintTo(const Pos_Case& c, std::ostream* os) {
    *os << "stored \"" << (c.stored ? c.stored : "(none)") << '"' << (c.keep ? " kept" : "");
}

class Form_Pos_Test : public Ini_Test, public ::testing::WithParamInterface<Pos_Case> {};

TEST_P(Form_Pos_Test, Restores_Position) {
    const Pos_Case& c = GetParam();
    if (c.stored) {
        ASSERT_EQ(Write_Ini("windowpos", "Form_Hdx_Results", c.stored, ini), 1);
    }
    int l = c.left, t = c.top, w = c.width, h = c.height;
    Get_Form_Pos("Form_Hdx_Results", l, t, w, h, c.keep);
    EXPECT_EQ(l, c.e_left);
    EXPECT_EQ(t, c.e_top);
    EXPECT_EQ(w, c.e_width);
    EXPECT_EQ(h, c.e_height);
    EXPECT_TRUE(dialogs.Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Positions, Form_Pos_Test,
    ::testing::Values(Pos_Case{"NothingStored", nullptr, 100, 200, 300, 400, false, 100, 200, 300, 400},
                      Pos_Case{"LeftAndTop", "50,60", 100, 200, 300, 400, false, 50, 60, 300, 400},
                      Pos_Case{"LeftTopAndWidth", "50,60,700", 100, 200, 300, 400, false, 50, 60, 700, 400},
                      Pos_Case{"AllFour", "50,60,700,500", 100, 200, 300, 400, false, 50, 60, 700, 500},
                      Pos_Case{"BlanksAroundNumbers", " 50 , 60 ", 100, 200, 300, 400, false, 50, 60, 300, 400},
                      Pos_Case{"FarOffScreen", "-500,-500", 100, 200, 300, 400, false, 0, 0, 300, 400},
                      Pos_Case{"FarOffScreenKept", "-500,-500,800,600", 100, 200, 300, 400, true, 0, 0, 800, 600},
                      Pos_Case{"SlightlyOffScreen", "-100,0", 100, 200, 300, 400, false, 100, 200, 300, 400},
                      Pos_Case{"JustPastTheLimit", "-151,-150", 100, 200, 300, 400, false, 0, 200, 300, 400},
                      Pos_Case{"CallerFarOffScreen", "0,0", -400, -300, 300, 400, false, 0, 0, 300, 400}),
    By_Name());

TEST_F(Ini_Test, Positions_Beyond_The_Screen_Come_Back_Unless_Kept) {
    const int sw = Screen_Width_Pixels(), sh = Screen_Height_Pixels();
    const std::string beyond = std::to_string(sw + 10) + "," + std::to_string(sh + 10);
    ASSERT_EQ(Write_Ini("windowpos", "Form_Hdx_Results", beyond, ini), 1);
    int l = 5, t = 5, w = 300, h = 200;
    Get_Form_Pos("Form_Hdx_Results", l, t, w, h);
    EXPECT_EQ(l, 0);
    EXPECT_EQ(t, 0);
    l = t = 5;
    Get_Form_Pos("Form_Hdx_Results", l, t, w, h, true);
    EXPECT_EQ(l, sw + 10);
    EXPECT_EQ(t, sh + 10);
    // exactly at the edge is still on the screen
    ASSERT_EQ(Write_Ini("windowpos", "Form_Hdx_Results", std::to_string(sw) + "," + std::to_string(sh), ini), 1);
    Get_Form_Pos("Form_Hdx_Results", l, t, w, h);
    EXPECT_EQ(l, sw);
    EXPECT_EQ(t, sh);
}

TEST_F(Ini_Test, Store_And_Get_Round_Trip) {
    Store_Form_Pos("Form_Hdx_Results", 10, 20, 640, 480);
    EXPECT_EQ(Bytes(), "[windowpos]\r\nForm_Hdx_Results=10,20,640,480\r\n");
    int l = 0, t = 0, w = 0, h = 0;
    Get_Form_Pos("form_hdx_results", l, t, w, h);
    EXPECT_EQ(std::vector<int>({l, t, w, h}), std::vector<int>({10, 20, 640, 480}));
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(Ini_Test, Store_Form_Pos_Failure_Reports_Through_Write) {
    ASSERT_EQ(Write_Ini("windowpos", "Form_Hdx_Results", "1,2", ini), 1);
    ASSERT_TRUE(Platform::Set_Read_Only(ini, true));
    Store_Form_Pos("Form_Hdx_Results", 10, 20, 640, 480);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, " NXF Error");
    EXPECT_EQ(Read_Ini("windowpos", "Form_Hdx_Results", ini, ""), "1,2");
}

struct Damaged_Pos {
    const char* name;
    const char* stored;
};

class Form_Pos_Damage_Test : public Ini_Test, public ::testing::WithParamInterface<Damaged_Pos> {};

TEST_P(Form_Pos_Damage_Test, Damaged_Entry_Leaves_Window_And_Says_So) {
    ASSERT_EQ(Write_Ini("windowpos", "Form_Hdx_Results", GetParam().stored, ini), 1);
    int l = 100, t = 200, w = 300, h = 400;
    Get_Form_Pos("Form_Hdx_Results", l, t, w, h);
    EXPECT_EQ(std::vector<int>({l, t, w, h}), std::vector<int>({100, 200, 300, 400}));
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(dialogs.Messages()[0].rfind("Get_Form_Pos error ", 0), 0u) << dialogs.Messages()[0];
}

INSTANTIATE_TEST_SUITE_P(Damaged, Form_Pos_Damage_Test,
                         ::testing::Values(Damaged_Pos{"OneNumber", "7"}, Damaged_Pos{"WordForLeft", "abc,10"},
                                           Damaged_Pos{"WordForWidth", "10,20,wide,400"},
                                           Damaged_Pos{"DecimalLeft", "1.5,2"}, Damaged_Pos{"EmptyTop", "10,,30,40"},
                                           Damaged_Pos{"LeftPast32Bits", "99999999999,1"},
                                           Damaged_Pos{"LetterAfterHeight", "10,20,30,40x"}),
                         By_Name());

}  // namespace
