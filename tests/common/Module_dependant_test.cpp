#include <climits>
#include <deque>
#include <filesystem>
#include <fstream>
#include <list>
#include <memory>
#include <regex>
#include <vector>

#include <QString>

#include "Test_Env.h"
#include "Test_Name.h"
#include "platform/Files.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"

namespace fs = std::filesystem;

namespace {

struct Mill_Case {
    int32_t ms;
    bool trim;
    const char* text;
};

void PrintTo(const Mill_Case& c, std::ostream* os) { *os << c.ms << (c.trim ? " trimmed" : " untrimmed"); }

class Display_Mill_Time_Test : public ::testing::TestWithParam<Mill_Case> {};

TEST_P(Display_Mill_Time_Test, Formats) {
    const Mill_Case& c = GetParam();
    EXPECT_EQ(Display_Mill_Time(c.ms, c.trim), c.text) << c.ms << (c.trim ? " trimmed" : " untrimmed");
}

INSTANTIATE_TEST_SUITE_P(
    Race_Times, Display_Mill_Time_Test,
    ::testing::Values(
        // documented examples
        Mill_Case{83450, false, " 01:23,45"}, Mill_Case{5120, true, "5,12"}, Mill_Case{12340, true, "12,34"},
        Mill_Case{3725000, false, " 1:02:05,00"}, Mill_Case{-1500, true, "-1,50"}, Mill_Case{28450, true, "28,45"},
        Mill_Case{2340, true, "2,34"}, Mill_Case{62300, true, "1:02,30"}, Mill_Case{3723450, true, "1:02:03,45"},
        Mill_Case{40333140, false, " 11:12:13,14"},
        // hundredths rounded half to even, with carries
        Mill_Case{5, false, " 00:00,00"}, Mill_Case{15, false, " 00:00,02"}, Mill_Case{25, false, " 00:00,02"},
        Mill_Case{35, false, " 00:00,04"}, Mill_Case{994, false, " 00:00,99"}, Mill_Case{996, false, " 00:01,00"},
        Mill_Case{995, true, "1,00"}, Mill_Case{59995, true, "1:00,00"}, Mill_Case{3599995, false, " 1:00:00,00"},
        // the day wraps
        Mill_Case{86400000, false, " 00:00,00"}, Mill_Case{86400000, true, "0,00"},
        Mill_Case{86399995, false, " 00:00,00"}, Mill_Case{90000000, false, " 1:00:00,00"},
        // trimming stops at five characters; zero and negatives
        Mill_Case{0, true, "0,00"}, Mill_Case{0, false, " 00:00,00"}, Mill_Case{600000, true, "10:00,00"},
        Mill_Case{-83450, false, "-01:23,45"}, Mill_Case{-3723450, true, "-1:02:03,45"},
        Mill_Case{INT32_MIN, false, "-20:31:23,65"}, Mill_Case{INT32_MAX, true, "20:31:23,65"}),
    [](const auto& param_info) {
        const int64_t ms = param_info.param.ms;
        return (ms < 0 ? "Minus" : "") + std::to_string(ms < 0 ? -ms : ms) + "ms" +
               (param_info.param.trim ? "Trimmed" : "Untrimmed");
    });

struct Clean_Case {
    const char* name;
    const char* in;
    const char* out;
};

void PrintTo(const Clean_Case& c, std::ostream* os) { *os << '"' << c.in << '"'; }

class Clean_File_Name_Test : public ::testing::TestWithParam<Clean_Case> {};

TEST_P(Clean_File_Name_Test, Replaces_From_Third_Character) {
    EXPECT_EQ(Clean_File_Name(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Names, Clean_File_Name_Test,
                         ::testing::Values(Clean_Case{"DrivePath", "C:\\Races\\heat", "C:\\Races\\heat"},
                                           Clean_Case{"DateAndTime", "2020-09-06 20:06:12", "2020_09_06 20_06_12"},
                                           Clean_Case{"CommaAndSpaces", "Derby, heat 1", "Derby_ heat 1"},
                                           Clean_Case{"ShortHyphen", "a-b", "a-b"},
                                           Clean_Case{"OnlyPunctuation", "-,:-,:", "-,____"},
                                           Clean_Case{"Empty", "", ""}, Clean_Case{"OneLetter", "x", "x"}),
                         By_Name());

struct Path_Case {
    const char* path;
    int selector;
    bool drop;
    const char* result;
};

void PrintTo(const Path_Case& c, std::ostream* os) {
    *os << '"' << c.path << "\" selector " << c.selector << (c.drop ? " drop" : "");
}

class ParsePath_Test : public Hdx_Test, public ::testing::WithParamInterface<Path_Case> {};

TEST_P(ParsePath_Test, Splits_At_Last_Separator) {
    const Path_Case& c = GetParam();
    EXPECT_EQ(ParsePath(c.path, c.selector, c.drop), c.result);
    EXPECT_TRUE(dialogs.Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ParsePath_Test,
    ::testing::Values(Path_Case{"C:\\Races\\heat1.nx3", 16, false, "C:\\Races\\"},
                      Path_Case{"C:\\Races\\heat1.nx3", 16, true, "C:\\Races"},
                      Path_Case{"C:\\Races\\heat1.nx3", 0, false, "heat1.nx3"},
                      Path_Case{"C:\\Races\\heat1.nx3", 3, false, "C:\\Races\\heat1.nx3"},
                      Path_Case{"/home/op/races/h.nx3", 16, false, "/home/op/races/"},
                      Path_Case{"/home/op/races/h.nx3", 16, true, "/home/op/races"},
                      Path_Case{"/home/op/races/h.nx3", 0, false, "h.nx3"},
                      Path_Case{"C:\\mixed/sub\\last", 0, false, "last"},
                      Path_Case{"/data\\win/f.x", 16, false, "/data\\win/"}, Path_Case{"/races/dir/", 0, false, ""},
                      Path_Case{"/races/dir/", 16, false, "/races/dir/"}, Path_Case{"/f", 16, true, ""},
                      Path_Case{"", 16, false, ""}, Path_Case{"", 0, false, ""}),
    [](const auto& param_info) {
        const Path_Case& c = param_info.param;
        return Test_Name(c.path) + "_Selector" + std::to_string(c.selector) + (c.drop ? "_Drop" : "");
    });

class ParsePath_Fault_Test : public Hdx_Test, public ::testing::WithParamInterface<int> {};

TEST_P(ParsePath_Fault_Test, No_Separator_Shows_Error_And_Gives_Empty) {
    EXPECT_EQ(ParsePath("heat1.nx3", GetParam()), "");
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_TRUE(std::regex_match(dialogs.Messages()[0], std::regex(R"((\d+) \1 \*Error in ParsePath)")))
        << dialogs.Messages()[0];
}

INSTANTIATE_TEST_SUITE_P(Selectors, ParsePath_Fault_Test, ::testing::Values(16, 0, 7),
                         [](const auto& param_info) { return "Selector" + std::to_string(param_info.param); });

TEST(Path_Text_Test, Path_From_Command_Removes_One_Quote_Each_Side) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"\"C:\\My Races\\h 1.nx3\"", "C:\\My Races\\h 1.nx3"},
        {"/plain/path.nx3", "/plain/path.nx3"},
        {"\"\"x\"\"", "\"x\""},
        {"\"open", "open"},
        {"close\"", "close"},
        {"\"", ""},
        {"", ""}};
    for (const auto& [in, out] : cases) EXPECT_EQ(Path_from_Command(in), out) << in;
}

TEST(Path_Text_Test, File_Suffix_Is_Text_After_Last_Dot_Of_The_Name) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"heat.nx3", "nx3"},   {"a.b.NX3", "NX3"},        {"noext", ""},
        {"file.", ""},         {".hidden", "hidden"},     {"C:\\x.y\\z.nx3", "nx3"},
        {"/races.d/file", ""}, {"C:\\races.d\\file", ""}, {"", ""}};
    for (const auto& [in, out] : cases) EXPECT_EQ(File_Suffix(in), out) << in;
}

TEST(Value_Text_Test, Boolean_Texts) {
    EXPECT_EQ(Bool_Text(true), "True");
    EXPECT_EQ(Bool_Text(false), "False");
    const std::vector<std::pair<std::string, bool>> cases = {
        {"True", true}, {"true", false}, {"TRUE", false}, {"True ", false}, {"", false}, {"t", false}, {"-1", false}};
    for (const auto& [text, value] : cases) EXPECT_EQ(Text_Bool(text), value) << '"' << text << '"';
}

TEST(Value_Text_Test, Split_Color_Takes_Red_From_Low_Byte) {
    const Rgb_Bytes cyan = Split_Color(0x00FFFF00);
    EXPECT_EQ(cyan.red, 0);
    EXPECT_EQ(cyan.green, 255);
    EXPECT_EQ(cyan.blue, 255);
    const Rgb_Bytes c = Split_Color(0x12345678);
    EXPECT_EQ(c.red, 0x78);
    EXPECT_EQ(c.green, 0x56);
    EXPECT_EQ(c.blue, 0x34);
}

TEST(Value_Text_Test, Larger_Of_Prefers_First_When_Equal) {
    const int a = 4, b = 4, c = 9;
    EXPECT_EQ(&Larger_Of(a, b), &a);
    EXPECT_EQ(Larger_Of(a, c), 9);
    EXPECT_EQ(Larger_Of(c, a), 9);
    EXPECT_EQ(Larger_Of(-3.5, -7.0), -3.5);
}

// --- clocks and waits -------------------------------------------------------

class Clock_Helpers_Test : public Hdx_Test {};

TEST_F(Clock_Helpers_Test, Local_Mill_And_Dates_Follow_The_Wall_Clock) {
    EXPECT_EQ(Local_Mill(), 14 * 3600000 + 30 * 60000);
    EXPECT_EQ(Date_Text(), "2026-05-16");
    EXPECT_EQ(Date_Time_Text(), "2026-05-16 14:30:00");

    clock.Set_Local({2026, 12, 31, 23, 59, 59, 999});
    EXPECT_EQ(Local_Mill(), 86399999);
    clock.Advance(1);
    EXPECT_EQ(Local_Mill(), 0);
    EXPECT_EQ(Date_Text(), "2027-01-01");
    clock.Advance(3723004);
    EXPECT_EQ(Local_Mill(), 3723004);
    EXPECT_EQ(Date_Time_Text(), "2027-01-01 01:02:03");
}

TEST_F(Clock_Helpers_Test, Uptime_Text_Is_Untrimmed) {
    EXPECT_EQ(Uptime_Text(), " 1:00:00,00");  // the fake clock starts an hour after boot
    clock.Advance(86400000 + 1500);           // a day later the text wraps, never negative
    EXPECT_EQ(Uptime_Text(), " 1:00:01,50");
}

struct Sleep_Case {
    int32_t ms;
    bool yield;
    int advanced;  // how far the fake clock moves
    int yields;
};

void PrintTo(const Sleep_Case& c, std::ostream* os) { *os << c.ms << " ms" << (c.yield ? " yielding" : ""); }

class Do_Sleep_Test : public Hdx_Test, public ::testing::WithParamInterface<Sleep_Case> {};

TEST_P(Do_Sleep_Test, Waits_On_The_PC_Clock) {
    const Sleep_Case& c = GetParam();
    int yields = 0;
    Platform::Set_Yield_Hook([&] { ++yields; });
    const int32_t start = Platform::PC_Mill();
    Do_Sleep(c.ms, c.yield);
    EXPECT_EQ(Platform::Mill_Since(start, Platform::PC_Mill()), c.advanced);
    EXPECT_EQ(yields, c.yields);
    EXPECT_TRUE(dialogs.Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Waits, Do_Sleep_Test,
                         ::testing::Values(Sleep_Case{100, false, 100, 0}, Sleep_Case{95, false, 100, 0},
                                           Sleep_Case{100, true, 102, 34}, Sleep_Case{3, true, 3, 1},
                                           Sleep_Case{0, true, 0, 0}, Sleep_Case{-50, false, 0, 0}),
                         [](const auto& param_info) {
                             const Sleep_Case& c = param_info.param;
                             return (c.ms < 0 ? "Minus" + std::to_string(-c.ms) : std::to_string(c.ms)) + "ms" +
                                    (c.yield ? "Yielding" : "");
                         });

TEST_F(Clock_Helpers_Test, Crosses_The_Clock_Wrap) {
    clock.Set_PC_Mill(INT32_MAX - 4);
    Do_Sleep(20, false);
    EXPECT_EQ(Platform::PC_Mill(), INT32_MIN + 15);
}

TEST_F(Clock_Helpers_Test, Time_Spent_In_Events_Counts) {
    int yields = 0;
    Platform::Set_Yield_Hook([&] {
        ++yields;
        clock.Advance(40);  // a handler that ran during the wait
    });
    Do_Sleep(100, true);
    EXPECT_EQ(yields, 3);
    EXPECT_EQ(Platform::Mill_Since(1000000, Platform::PC_Mill()), 129);
}

TEST_F(Clock_Helpers_Test, A_Failing_Event_Handler_Shows_The_Message) {
    Platform::Set_Yield_Hook([] { throw std::runtime_error("handler fault"); });
    Do_Sleep(100, true);
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"Do_Sleep error"});
}

TEST_F(Clock_Helpers_Test, Flush_DV_Events_Sleeps_And_Yields_Ten_Times) {
    std::vector<int32_t> at_yield;
    Platform::Set_Yield_Hook([&] { at_yield.push_back(Platform::PC_Mill()); });
    const int32_t start = Platform::PC_Mill();
    Flush_DV_events();
    ASSERT_EQ(at_yield.size(), 10u);
    for (size_t i = 0; i < at_yield.size(); ++i)
        EXPECT_EQ(Platform::Mill_Since(start, at_yield[i]), 100 * static_cast<int>(i + 1));
}

// --- file probes ----------------------------------------------------------

class File_Probe_Test : public Hdx_Test {
protected:
    std::string Make_File(const std::string& name, const std::string& bytes) {
        const std::string p = Path(name);
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
};

TEST_F(File_Probe_Test, Probes_Tell_Files_From_Folders) {
    const std::string file = Make_File("heat.nx3", "12345");
    const std::string missing = Path("nothing.nx3");
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FileExists(missing));
    EXPECT_FALSE(FileExists(Data_Dir()));
    EXPECT_FALSE(FileExists(""));
    EXPECT_TRUE(Folder_Exists(Data_Dir()));
    EXPECT_FALSE(Folder_Exists(file));
    EXPECT_FALSE(Folder_Exists(missing));
    EXPECT_EQ(File_Size(file), 5);
    EXPECT_EQ(File_Size(Make_File("empty", "")), 0);
    EXPECT_EQ(File_Size(missing), 0);
    EXPECT_EQ(File_Size(""), 0);
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(File_Probe_Test, Read_Only_Test_Needs_An_Existing_Read_Only_File) {
    const std::string file = Make_File("ro.nx3", "x");
    EXPECT_FALSE(Is_Read_Only_File(file));
    ASSERT_TRUE(Platform::Set_Read_Only(file, true));
    EXPECT_TRUE(Is_Read_Only_File(file));
    EXPECT_FALSE(Is_Read_Only_File(Path("missing")));
    EXPECT_FALSE(Is_Read_Only_File(""));
}

TEST_F(File_Probe_Test, Kill_File_Removes_Even_Read_Only_Files) {
    const std::string plain = Make_File("a.nx3", "a");
    const std::string ro = Make_File("b.nx3", "b");
    ASSERT_TRUE(Platform::Set_Read_Only(ro, true));
    Kill_File(plain);
    Kill_File(ro);
    EXPECT_FALSE(fs::exists(plain));
    EXPECT_FALSE(fs::exists(ro));
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(File_Probe_Test, Kill_File_Ignores_Missing_And_Reports_Other_Faults) {
    Kill_File(Path("never_there.nx3"));
    EXPECT_TRUE(errors.errors.empty());

    const std::string folder = Path("a_folder");
    fs::create_directory(folder);
    Kill_File(folder);
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].location, "Kill_File of Module Module_dependant");
    EXPECT_NE(errors.errors[0].number, 53);
    EXPECT_TRUE(fs::is_directory(folder));
}

TEST_F(File_Probe_Test, FileDate_Is_The_Executable_Date) {
    EXPECT_TRUE(std::regex_match(FileDate(), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"))) << FileDate();
}

TEST(Library_Test, Library_Available_Loads_Only_Real_Libraries) {
    EXPECT_FALSE(Library_Available("no_such_library_hdx_4711"));
    EXPECT_FALSE(Library_Available(""));
    EXPECT_TRUE(Library_Available("libc.so.6"));
}

TEST(Screen_Test, Screen_Size_Is_Positive) {
    EXPECT_GT(Screen_Width_Pixels(), 0);
    EXPECT_GT(Screen_Height_Pixels(), 0);
}

// --- collections and key states -------------------------------------------

struct Tracked {
    Tracked(int value, std::vector<int>* destroyed) : n(value), log(destroyed) {}
    ~Tracked() { log->push_back(n); }
    int n;
    std::vector<int>* log;
};

template <typename C>
class Empty_Collection_Test : public Hdx_Test {};

using Collections = ::testing::Types<std::vector<std::shared_ptr<Tracked>>, std::deque<std::shared_ptr<Tracked>>,
                                     std::list<std::shared_ptr<Tracked>>>;
TYPED_TEST_SUITE(Empty_Collection_Test, Collections);

TYPED_TEST(Empty_Collection_Test, Releases_Every_Item_First_To_Last) {
    std::vector<int> released;
    TypeParam items;
    for (int i = 1; i <= 5; ++i) items.push_back(std::make_shared<Tracked>(i, &released));
    auto kept = *std::next(items.begin(), 2);  // a frame still shown elsewhere stays alive
    EXPECT_TRUE(Empty_Collection(items));
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(released, (std::vector<int>{1, 2, 4, 5}));
    EXPECT_EQ(kept->n, 3);
    EXPECT_TRUE(Empty_Collection(items));  // emptying an empty collection is harmless
    EXPECT_TRUE(this->dialogs.Messages().empty());
}

TEST_F(Clock_Helpers_Test, Empty_Collection_Fault_Shows_Its_Line) {
    Empty_Collection_Fault(12);
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"Empty_Collection error 12"});
}

TEST(Key_State_Test, Noted_Keys_Are_Held_Until_Released) {
    Clear_Key_States();
    EXPECT_FALSE(Escape_Key_Down());
    EXPECT_EQ(Lowest_Key_Down(), 0);

    Note_Key_State(100, true);
    EXPECT_EQ(Lowest_Key_Down(), 100);
    Note_Key_State(27, true);
    EXPECT_TRUE(Escape_Key_Down());
    EXPECT_EQ(Lowest_Key_Down(), 27);
    Note_Key_State(16, true);
    EXPECT_TRUE(Shift_Key_Down());
    EXPECT_FALSE(Control_Key_Down());
    EXPECT_EQ(Lowest_Key_Down(), 16);
    Note_Key_State(16, false);
    Note_Key_State(27, false);
    EXPECT_FALSE(Escape_Key_Down());
    EXPECT_FALSE(Shift_Key_Down());
    EXPECT_EQ(Lowest_Key_Down(), 100);

    Note_Key_State(0, true);  // outside 1..128: ignored
    Note_Key_State(129, true);
    Note_Key_State(-5, true);
    EXPECT_EQ(Lowest_Key_Down(), 100);
    Clear_Key_States();  // focus lost: nothing is held any more
    EXPECT_EQ(Lowest_Key_Down(), 0);

    Note_Key_State(17, true);
    Note_Key_State(18, true);
    EXPECT_TRUE(Control_Key_Down());
    EXPECT_TRUE(Alt_Key_Down());
    Clear_Key_States();
    EXPECT_FALSE(Alt_Key_Down());
}

TEST(Key_State_Test, NumLock_Unknown_Reads_Off) {
    EXPECT_FALSE(NumLock_State());
    Note_NumLock_State(true);
    EXPECT_TRUE(NumLock_State());
    Note_NumLock_State(false);
    EXPECT_FALSE(NumLock_State());
}

}  // namespace

// ---- Safe_File_Name: names made from free text ------------------------------

namespace {

struct Hostile_Case {
    const char* label;
    std::string text;
    std::string suffix;
};

void PrintTo(const Hostile_Case& c, std::ostream* os) { *os << c.label; }

bool Valid_Utf8(const std::string& s) {
    // The standard library's own check: a converter that rejects any ill-formed sequence.
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())).toUtf8().toStdString() == s;
}

class Safe_File_Name_Test : public Hdx_Test, public ::testing::WithParamInterface<Hostile_Case> {};

TEST_P(Safe_File_Name_Test, GivesOnePlainNameInsideItsFolder) {
    const Hostile_Case& c = GetParam();
    const std::string name = Safe_File_Name(c.text, c.suffix);
    SCOPED_TRACE(name);
    EXPECT_EQ(name.find('/'), std::string::npos);
    EXPECT_EQ(name.find('\\'), std::string::npos);
    EXPECT_NE(name, ".");
    EXPECT_NE(name, "..");
    EXPECT_NE(name.front(), '.');
    for (const unsigned char ch : name) EXPECT_FALSE(ch < 0x20 || ch == 0x7F) << int(ch);
    EXPECT_LE(name.size(), 255u);
    EXPECT_TRUE(Valid_Utf8(name));
    ASSERT_GE(name.size(), c.suffix.size());
    EXPECT_EQ(name.substr(name.size() - c.suffix.size()), c.suffix);

    // The file system takes it, and the file lands in the folder and nowhere else.
    const std::string dir = Temp_Dir();
    const fs::path path = fs::path(dir) / name;
    { std::ofstream(path) << "x"; }
    ASSERT_TRUE(fs::exists(path)) << "the file system refused the name";
    EXPECT_EQ(fs::canonical(path).parent_path(), fs::canonical(dir));
    size_t entries = 0;
    for (auto it = fs::directory_iterator(dir); it != fs::directory_iterator(); ++it) ++entries;
    EXPECT_EQ(entries, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, Safe_File_Name_Test,
    ::testing::Values(Hostile_Case{"separators", "../../etc/passwd_1_2026", ".nx3"},
                      Hostile_Case{"backslashes", "..\\..\\Windows\\win.ini", ".nx3"}, Hostile_Case{"dot", ".", ""},
                      Hostile_Case{"dot dot", "..", ""}, Hostile_Case{"dot dot with suffix", "..", ".nx3"},
                      Hostile_Case{"hidden", ".profile", ".xml"}, Hostile_Case{"empty", "", ".nx3"},
                      Hostile_Case{"empty, no suffix", "", ""},
                      Hostile_Case{"control characters",
                                   std::string("Cup\n\r\t\x01\x1B\x7F", 9) + std::string(1, '\0') + "x", ".nx3"},
                      Hostile_Case{"C1 controls", "Cup\xC2\x85\xC2\x9F", ".nx3"},
                      Hostile_Case{"invalid UTF-8", "Cup\xFF\xFE\xC3(\xE2\x82", ".nx3"},
                      Hostile_Case{"overlong slash",
                                   "a\xC0\xAF"
                                   "b",
                                   ".nx3"},
                      Hostile_Case{"Windows characters", "a<b>c:d\"e|f?g*h", ".nx3"},
                      Hostile_Case{"device name", "CON", ".nx3"}, Hostile_Case{"device name lower", "com1", ""},
                      Hostile_Case{"trailing dots", "Cup...", ""},
                      Hostile_Case{"very long ASCII", std::string(5000, 'a'), ".nx3"},
                      Hostile_Case{"very long accents",
                                   [] {
                                       std::string s;
                                       for (int i = 0; i < 1000; ++i) s += "\xC3\xA4";
                                       return s;
                                   }(),
                                   ".nx3"},
                      Hostile_Case{"very long separators", std::string(3000, '/'), ".xml"},
                      Hostile_Case{"long emoji",
                                   [] {
                                       std::string s;
                                       for (int i = 0; i < 400; ++i) s += "\xF0\x9F\x90\x95";
                                       return s;
                                   }(),
                                   ".nx3"}),
    By_Name());

TEST(Safe_File_Name, KeepsOrdinaryNamesAndTheNamingRule) {
    EXPECT_EQ(Safe_File_Name("Autumn Cup_3_2026-05-16 14:30:00", ".nx3"), "Autumn Cup_3_2026_05_16 14_30_00.nx3");
    EXPECT_EQ(Safe_File_Name("K\xC3\xA4the, Heat 1", ".nx3"), "K\xC3\xA4the_ Heat 1.nx3");
    EXPECT_EQ(Safe_File_Name("v1.2", ".xml"), "v1.2.xml");
}

TEST(Safe_File_Name, LongNamesAreBoundedAndStayDistinct) {
    const std::string base(400, 'r');
    const std::string a = Safe_File_Name(base + "A", ".nx3"), b = Safe_File_Name(base + "B", ".nx3");
    EXPECT_NE(a, b);
    EXPECT_EQ(a.size(), 255u);
    EXPECT_EQ(Safe_File_Name(base, ".nx3", 100).size(), 100u);
    // Exactly at the limit nothing is cut.
    EXPECT_EQ(Safe_File_Name(std::string(251, 'x'), ".nx3"), std::string(251, 'x') + ".nx3");
    // A multi-byte character is never split.
    std::string accents;
    for (int i = 0; i < 200; ++i) accents += "\xC3\xA4";
    EXPECT_TRUE(Valid_Utf8(Safe_File_Name(accents, ".nx3")));
}

}  // namespace
