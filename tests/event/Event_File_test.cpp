#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "Event_Test_Env.h"
#include "Test_Name.h"
#include "event/Event_File.h"
#include "platform/Files.h"

namespace {

const std::string CRLF = "\r\n";

// The children of a node as a pattern: element names, "|" per CR LF, "!" for a
// comment, "?" for any other text.
std::vector<std::string> Pattern(pugi::xml_node parent) {
    std::vector<std::string> out;
    for (auto c : parent.children()) {
        if (c.type() == pugi::node_element) {
            out.push_back(c.name());
        } else if (c.type() == pugi::node_pcdata) {
            const std::string v = c.value();
            if (v.empty() || v.size() % 2) out.push_back("?");
            for (size_t i = 0; i + 1 < v.size(); i += 2) out.push_back(v.compare(i, 2, CRLF) == 0 ? "|" : "?");
        } else {
            out.push_back(c.type() == pugi::node_comment ? "!" : "#");
        }
    }
    return out;
}

std::vector<std::string> With_Breaks(const std::vector<std::string>& names) {
    std::vector<std::string> out{"|"};
    for (const auto& n : names) {
        out.push_back(n);
        out.push_back("|");
    }
    return out;
}

using Event_File_Test = Event_Test;

// ---------------------------------------------------------------------------
// a new file

TEST_F(Event_File_Test, NewFileHasTheDeclarationCommentAndEventElementsInOrder) {
    Event_File file;
    file.Set_Path(Event_Path("New.xml"));
    ASSERT_TRUE(file.Create_Event_XML_File());
    EXPECT_TRUE(traces.Has("*Create_Event_XML_File"));

    const std::string bytes = Read_Text(file.Path());
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n", 0), 0u) << bytes.substr(0, 80);
    Parsed_Event p(bytes);
    ASSERT_TRUE(p.result) << p.result.description();
    const pugi::xml_node root = p.Root();
    ASSERT_TRUE(root);

    std::vector<std::string> expected{"|", "!",         "|", "event_name",  "|", "event_date",
                                      "|", "event_day", "|", "event_venue", "|"};
    for (int h = 1; h <= 100; ++h) {
        expected.push_back("heat");
        expected.push_back("|");
    }
    EXPECT_EQ(Pattern(root), expected);
    const pugi::xml_node comment = root.find_child([](pugi::xml_node n) { return n.type() == pugi::node_comment; });
    // The fake clock's local time.
    EXPECT_EQ(std::string(comment.value()),
              "XML file containing Houndex event definition file, created at: 2026-05-16 14:30:00");
}

TEST_F(Event_File_Test, NewFileHasHundredHeatsOfEightBoxesInOrderAndEveryTextEmpty) {
    Event_File file;
    Make_Event(file);
    Parsed_Event p(Read_Text(file.Path()));
    ASSERT_TRUE(p.result);

    std::vector<std::string> heat_pattern = With_Breaks({"heat_time", "heat_length", "heat_description", "heat_name"});
    for (int b = 1; b <= 8; ++b) {
        heat_pattern.push_back("box");
        heat_pattern.push_back("|");
    }
    const std::vector<std::string> box_pattern = With_Breaks(
        {"dog_name", "dog_weight", "dog_heat_time", "dog_heat_rank", "dog_heat_split_time", "dog_heat_split_rank"});

    int heat_id = 0, texts = 0;
    for (pugi::xml_node heat : p.Root().children("heat")) {
        ++heat_id;
        EXPECT_EQ(heat.attribute("id").as_string(), std::to_string(heat_id));
        EXPECT_EQ(std::distance(heat.attributes_begin(), heat.attributes_end()), 1);
        ASSERT_EQ(Pattern(heat), heat_pattern) << "heat " << heat_id;
        int box_id = 0;
        for (pugi::xml_node box : heat.children("box")) {
            EXPECT_EQ(box.attribute("id").as_string(), std::to_string(++box_id));
            ASSERT_EQ(Pattern(box), box_pattern) << "heat " << heat_id << " box " << box_id;
            for (pugi::xml_node leaf : box.children())
                if (leaf.type() == pugi::node_element && leaf.first_child()) ++texts;
        }
        for (pugi::xml_node leaf : heat.children())
            if (leaf.type() == pugi::node_element && std::string(leaf.name()) != "box" && leaf.first_child()) ++texts;
    }
    EXPECT_EQ(heat_id, 100);
    for (const char* leaf : {"event_name", "event_date", "event_day", "event_venue"})
        if (p.Root().child(leaf).first_child()) ++texts;
    EXPECT_EQ(texts, 0);
}

TEST_F(Event_File_Test, SavedFileReloadsUnchangedByteForByte) {
    Event_File file;
    Make_Event(file);
    ASSERT_TRUE(file.Set_Event_name("Cup 2020"));
    ASSERT_TRUE(file.Set_Reg_Dog_Name(100, 8, "Last Dog"));
    ASSERT_TRUE(file.Set_Heat_Length(7, "480"));
    ASSERT_TRUE(file.XML_to_File());
    const std::string first = Read_Text(file.Path());

    Event_File again;
    again.Set_Path(file.Path());
    ASSERT_TRUE(again.Parse_XML_file());
    EXPECT_EQ(again.XML_string(), first);
    ASSERT_TRUE(again.XML_to_File());
    EXPECT_EQ(Read_Text(file.Path()), first);
    EXPECT_EQ(again.Reg_Dog_Name(100, 8), "Last Dog");
    EXPECT_EQ(again.Heat_Length(7), "480");
}

// ---------------------------------------------------------------------------
// Latin-1 boundary

TEST_F(Event_File_Test, AccentedLatin1NamesSurviveTheRoundTripByteForByte) {
    const std::string names[] = {"Zo\xC3\xAB", "\xC3\x85ngstr\xC3\xB6m", "Caf\xC3\xA9 \xC3\xBF\xC3\x9F",
                                 "S\xC3\xA1nchez & <Co> \"1\""};
    Event_File file;
    Make_Event(file);
    ASSERT_TRUE(file.Set_Event_name(names[0]));
    ASSERT_TRUE(file.Set_day(names[1]));
    ASSERT_TRUE(file.Set_Heat_Name(3, names[2]));
    ASSERT_TRUE(file.Set_Reg_Dog_Name(3, 6, names[3]));
    ASSERT_TRUE(file.XML_to_File());

    const std::string bytes = Read_Text(file.Path());
    // One byte per letter: Latin-1, neither UTF-8 nor character references.
    EXPECT_NE(bytes.find("<event_name>Zo\xEB</event_name>"), std::string::npos);
    EXPECT_NE(bytes.find("<event_day>\xC5ngstr\xF6m</event_day>"), std::string::npos);
    EXPECT_NE(bytes.find("Caf\xE9 \xFF\xDF"), std::string::npos);
    EXPECT_EQ(bytes.find("\xC3"), std::string::npos);
    EXPECT_EQ(bytes.find("&#"), std::string::npos);

    Event_File again;
    again.Set_Path(file.Path());
    ASSERT_TRUE(again.Parse_XML_file());
    EXPECT_EQ(again.Event_name(), names[0]);
    EXPECT_EQ(again.Get_day(), names[1]);
    EXPECT_EQ(again.Heat_Name(3), names[2]);
    EXPECT_EQ(again.Reg_Dog_Name(3, 6), names[3]);
    ASSERT_TRUE(again.XML_to_File());
    EXPECT_EQ(Read_Text(file.Path()), bytes);
}

struct Refused_Case {
    const char* label;
    std::string text;
    const char* reason;
};

class Refused_Text_Test : public Event_Test, public ::testing::WithParamInterface<Refused_Case> {};

TEST_P(Refused_Text_Test, TextXmlCannotHoldIsRefusedWithAMessageAndNothingChanges) {
    Event_File file;
    Make_Event(file);
    ASSERT_TRUE(file.Set_Reg_Dog_Name(2, 2, "Rex"));
    ASSERT_TRUE(file.XML_to_File());
    const std::string before = Read_Text(file.Path());
    dialogs.Clear();

    EXPECT_FALSE(Event_File::Can_Store(GetParam().text));
    EXPECT_FALSE(file.Set_Reg_Dog_Name(2, 2, GetParam().text));
    EXPECT_FALSE(file.Set_Event_name(GetParam().text));
    EXPECT_EQ(file.Reg_Dog_Name(2, 2), "Rex");
    EXPECT_EQ(file.Event_name(), "");
    ASSERT_EQ(dialogs.Messages().size(), 2u);
    EXPECT_NE(dialogs.Messages()[0].find("Cannot store"), std::string::npos) << dialogs.Messages()[0];
    EXPECT_NE(dialogs.Messages()[0].find(GetParam().reason), std::string::npos) << dialogs.Messages()[0];
    ASSERT_TRUE(file.XML_to_File());
    EXPECT_EQ(Read_Text(file.Path()), before);
}

INSTANTIATE_TEST_SUITE_P(Texts, Refused_Text_Test,
                         ::testing::Values(Refused_Case{"NonCharacter", "Rex\xEF\xBF\xBF", "XML cannot"},
                                           Refused_Case{"Control", std::string("Rex\x01", 4), "control"},
                                           Refused_Case{"Nul", std::string("Re\0x", 4), "control"},
                                           Refused_Case{"BadUtf8", "Zo\xEB", "UTF-8"},
                                           Refused_Case{"Overlong", "\xC0\xAF", "UTF-8"}),
                         By_Name());

struct Wide_Case {
    const char* label;
    std::string text;
    const char* reference;  // as the file holds it
};

class Wide_Text_Test : public Event_Test, public ::testing::WithParamInterface<Wide_Case> {};

TEST_P(Wide_Text_Test, TextOutsideLatin1IsKeptAsACharacterReference) {
    Event_File file;
    Make_Event(file);
    ASSERT_TRUE(file.Set_Reg_Dog_Name(2, 2, GetParam().text));
    ASSERT_TRUE(file.Set_Heat_Name(2, GetParam().text));
    ASSERT_TRUE(file.XML_to_File());
    const std::string bytes = Read_Text(file.Path());
    EXPECT_NE(bytes.find(GetParam().reference), std::string::npos);
    EXPECT_NE(bytes.find("encoding=\"iso-8859-1\""), std::string::npos);
    EXPECT_TRUE(Parsed_Event(bytes).result);
    Event_File again;
    again.Set_Path(file.Path());
    ASSERT_TRUE(again.Parse_XML_file());
    EXPECT_EQ(again.Reg_Dog_Name(2, 2), GetParam().text);
    EXPECT_EQ(again.Heat_Name(2), GetParam().text);
    ASSERT_TRUE(again.XML_to_File());
    EXPECT_EQ(Read_Text(file.Path()), bytes);
}

INSTANTIATE_TEST_SUITE_P(Texts, Wide_Text_Test,
                         ::testing::Values(Wide_Case{"Apostrophe",
                                                     "O\xE2\x80\x99"
                                                     "Brien",
                                                     "O&#8217;Brien"},
                                           Wide_Case{"Euro",
                                                     "\xE2\x82\xAC"
                                                     "1000 Sprint",
                                                     "&#8364;1000"},
                                           Wide_Case{"Polish", "\xC5\x81ucja", "&#321;ucja"},
                                           Wide_Case{"Dog", "Rex \xF0\x9F\x90\x95", "Rex &#128021;"}),
                         By_Name());

// ---------------------------------------------------------------------------
// read accessors

struct Range_Case {
    int heat, box;
};

class Range_Test : public Event_Test, public ::testing::WithParamInterface<Range_Case> {};

TEST_P(Range_Test, HeatOrBoxOutsideTheFileReadsEmptyWithoutAnError) {
    Event_File file;
    Make_Event(file);
    // Fill every existing neighbour so that a wrong lookup would show.
    for (int h : {1, 100})
        for (int b : {1, 8}) {
            ASSERT_TRUE(file.Set_Reg_Dog_Name(h, b, "Dog"));
            ASSERT_TRUE(file.Set_Heat_Name(h, "Heat"));
            ASSERT_TRUE(file.Set_Heat_Length(h, "480"));
            ASSERT_TRUE(file.Set_Heat_Start_Time(h, "14:00"));
        }
    const auto [heat, box] = GetParam();
    EXPECT_EQ(file.Reg_Dog_Name(heat, box), "");
    if (heat < 1 || heat > 100) {
        EXPECT_EQ(file.Heat_Name(heat), "");
        EXPECT_EQ(file.Heat_Length(heat), "");
        EXPECT_EQ(file.Heat_Start_Time(heat), "");
    }
    EXPECT_TRUE(errors.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(Outside, Range_Test,
                         ::testing::Values(Range_Case{0, 1}, Range_Case{101, 1}, Range_Case{-1, 1}, Range_Case{1, 9},
                                           Range_Case{1, 0}, Range_Case{100, 9}, Range_Case{32767, 8},
                                           Range_Case{-32768, -1}),
                         [](const auto& param_info) {
                             const auto number = [](int n) {
                                 return n < 0 ? "Minus" + std::to_string(-n) : std::to_string(n);
                             };
                             return "Heat" + number(param_info.param.heat) + "_Box" + number(param_info.param.box);
                         });

TEST_F(Event_File_Test, ValuesWrittenAreReadBackFromTheirOwnHeatAndBox) {
    Event_File file;
    Make_Event(file);
    for (int h = 1; h <= 100; h += 33)
        for (int b = 1; b <= 8; ++b)
            ASSERT_TRUE(file.Set_Reg_Dog_Name(h, b, "D" + std::to_string(h) + "-" + std::to_string(b)));
    ASSERT_TRUE(file.Set_Heat_Name(34, "Final"));
    ASSERT_TRUE(file.Set_Heat_Length(34, "480"));
    ASSERT_TRUE(file.Set_Heat_Start_Time(34, "15:30"));
    ASSERT_TRUE(file.Set_day("Sat"));
    for (int h = 1; h <= 100; h += 33)
        for (int b = 1; b <= 8; ++b)
            EXPECT_EQ(file.Reg_Dog_Name(h, b), "D" + std::to_string(h) + "-" + std::to_string(b));
    EXPECT_EQ(file.Reg_Dog_Name(2, 1), "");
    EXPECT_EQ(file.Heat_Name(34), "Final");
    EXPECT_EQ(file.Heat_Length(34), "480");
    EXPECT_EQ(file.Heat_Start_Time(34), "15:30");
    EXPECT_EQ(file.Heat_Name(35), "");
    EXPECT_EQ(file.Get_day(), "Sat");
    // Clearing a value leaves an empty element.
    ASSERT_TRUE(file.Set_Heat_Name(34, ""));
    EXPECT_EQ(file.Heat_Name(34), "");
}

TEST_F(Event_File_Test, WithoutADocumentEverythingReadsEmptyAndNothingIsStored) {
    Event_File file;
    file.Set_Path(Event_Path("None.xml"));
    EXPECT_EQ(file.Event_name(), "");
    EXPECT_EQ(file.Get_day(), "");
    EXPECT_EQ(file.Heat_Name(1), "");
    EXPECT_EQ(file.Reg_Dog_Name(1, 1), "");
    EXPECT_FALSE(file.Set_Event_name("Cup"));
    EXPECT_FALSE(file.Set_Reg_Dog_Name(1, 1, "Rex"));
    EXPECT_FALSE(file.Set_Reg_Dog_Name(1, 9, "Rex"));
    EXPECT_TRUE(errors.errors.empty());
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(Event_File_Test, WritingOutsideTheFileIsReportedNotStored) {
    Event_File file;
    Make_Event(file);
    EXPECT_FALSE(file.Set_Reg_Dog_Name(101, 1, "Rex"));
    EXPECT_FALSE(file.Set_Reg_Dog_Name(1, 9, "Rex"));
    EXPECT_FALSE(file.Set_Heat_Name(0, "Heat"));
    ASSERT_EQ(errors.errors.size(), 3u);
    EXPECT_EQ(errors.errors[0].location, "Set_Reg_Dog_Name of Class Module Event_File");
    EXPECT_EQ(errors.errors[0].number, 9);
}

// ---------------------------------------------------------------------------
// saving

TEST_F(Event_File_Test, SaveWritesTheTraceLinesInOrder) {
    Event_File file;
    Make_Event(file);
    traces.lines.clear();
    ASSERT_TRUE(file.XML_to_File());
    EXPECT_EQ(traces.Messages(), (std::vector<std::string>{"*Form_event_registration XML_to_File", "*XML_to_File 1",
                                                           "*XML_to_File 2", "*XML_to_File 3"}));
}

TEST_F(Event_File_Test, SavingOverAReadOnlyFileLeavesItUntouchedWithTheMessage) {
    Event_File file;
    Make_Event(file);
    ASSERT_TRUE(file.Set_Reg_Dog_Name(1, 1, "Rex"));
    ASSERT_TRUE(file.XML_to_File());
    const std::string before = Read_Text(file.Path());
    ASSERT_TRUE(Platform::Set_Read_Only(file.Path(), true));
    ASSERT_TRUE(file.Set_Reg_Dog_Name(1, 1, "Fido"));
    traces.lines.clear();
    dialogs.Clear();

    EXPECT_FALSE(file.XML_to_File());
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"Event file is Read-Only!\r\n" + file.Path()});
    EXPECT_EQ(Read_Text(file.Path()), before);
    EXPECT_TRUE(Platform::Is_Read_Only(file.Path()));
    EXPECT_TRUE(traces.lines.empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Folder()), std::filesystem::directory_iterator()), 1);
}

TEST_F(Event_File_Test, NoPathSavesNothingAndAnEmptyDocumentWritesNothing) {
    for (const std::string path : {"", "N/A"}) {
        Event_File file;
        file.Set_Path(path);
        file.Create_Houndex_Race_File();
        traces.lines.clear();
        EXPECT_FALSE(file.XML_to_File()) << path;
        EXPECT_TRUE(traces.lines.empty()) << path;
    }
    EXPECT_FALSE(Platform::File_Exists("N/A"));

    Event_File empty;
    empty.Set_Path(Event_Path("Empty.xml"));
    traces.lines.clear();
    EXPECT_FALSE(empty.XML_to_File());
    EXPECT_EQ(traces.Messages(),
              (std::vector<std::string>{"*Form_event_registration XML_to_File", "*XML_to_File  no XML!"}));
    EXPECT_FALSE(Platform::File_Exists(empty.Path()));
}

TEST_F(Event_File_Test, AFailedWriteIsReportedAndLeavesNoPartialFile) {
    Event_File file;
    Make_Event(file);
    // The path now names a folder: the new file cannot take its place.
    const std::string blocked = Event_Path("Blocked.xml");
    ASSERT_TRUE(Platform::Create_Folders(blocked));
    file.Set_Path(blocked);
    traces.lines.clear();
    EXPECT_FALSE(file.XML_to_File());
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].location, "XML_to_File of Class Module Event_File");
    EXPECT_EQ(errors.errors[0].extra, blocked);
    EXPECT_FALSE(traces.Has("*XML_to_File 3"));
    EXPECT_TRUE(Platform::Folder_Exists(blocked));
    // Only the first event file and the folder: no temporary file left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Folder()), std::filesystem::directory_iterator()), 2);
}

TEST_F(Event_File_Test, SaveReplacesTheFileInOneStepKeepingNoOtherFile) {
    Event_File file;
    Make_Event(file);
    const auto old_id = std::filesystem::status(file.Path()).permissions();
    ASSERT_TRUE(file.Set_Event_name("Cup"));
    ASSERT_TRUE(file.XML_to_File());
    EXPECT_NE(Read_Text(file.Path()).find("<event_name>Cup</event_name>"), std::string::npos);
    EXPECT_EQ(std::filesystem::status(file.Path()).permissions(), old_id);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Folder()), std::filesystem::directory_iterator()), 1);
}

// Writes fail once a file would grow past limit bytes (a full disk, also for root).
class File_Size_Limit {
public:
    explicit File_Size_Limit(rlim_t limit) {
        old_signal_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit lower = old_;
        lower.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~File_Size_Limit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, old_signal_);
    }

private:
    rlimit old_{};
    void (*old_signal_)(int) = nullptr;
};

TEST_F(Event_File_Test, AWriteThatFailsHalfwayLeavesTheOldFileAsItWas) {
    Event_File file;
    Make_Event(file);
    ASSERT_TRUE(file.Set_Event_name("Spring Cup"));
    ASSERT_TRUE(file.XML_to_File());
    const std::string before = Read_Text(file.Path());
    ASSERT_GT(before.size(), 4096u);
    ASSERT_TRUE(file.Set_Event_name("Autumn Cup"));
    errors.errors.clear();
    bool saved = true;
    {
        // The new contents stop after 4 kB, as on a full disk.
        File_Size_Limit limit(4096);
        saved = file.XML_to_File();
    }
    EXPECT_FALSE(saved);
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].location, "XML_to_File of Class Module Event_File");
    EXPECT_EQ(Read_Text(file.Path()), before) << "the old programme was damaged";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Folder()), std::filesystem::directory_iterator()), 1)
        << "a partial new file was left behind";
    // Once there is room again, the same document saves.
    EXPECT_TRUE(file.XML_to_File());
    EXPECT_NE(Read_Text(file.Path()).find("<event_name>Autumn Cup</event_name>"), std::string::npos);
}

// ---------------------------------------------------------------------------
// loading

TEST_F(Event_File_Test, ZeroByteFileIsRejectedAndClearsTheUseFlag) {
    const std::string path = Event_Path("Zero.xml");
    Write_Bytes(path, "");
    g_Use_Event_File = true;
    EXPECT_FALSE(Validate_XML_file(path));
    EXPECT_FALSE(g_Use_Event_File);

    Event_File file;
    file.Set_Path(path);
    g_Use_Event_File = true;
    EXPECT_FALSE(file.Parse_XML_file());
    EXPECT_FALSE(file.Is_Loaded());
    EXPECT_FALSE(g_Use_Event_File);
    EXPECT_TRUE(errors.errors.empty());
    EXPECT_FALSE(file.XML_to_File());
    EXPECT_EQ(Read_Text(path), "");
}

struct Bad_File_Case {
    const char* label;
    std::string bytes;
    const char* reason;
};

class Bad_File_Test : public Event_Test, public ::testing::WithParamInterface<Bad_File_Case> {};

TEST_P(Bad_File_Test, PassesValidationFailsAtLoadAndIsNeverWrittenOver) {
    const std::string path = Event_Path("Bad.xml");
    Write_Bytes(path, GetParam().bytes);
    g_Use_Event_File = true;
    EXPECT_TRUE(Validate_XML_file(path));
    EXPECT_TRUE(g_Use_Event_File);

    Event_File file;
    Make_Event(file);  // a programme held before: it must not end up in the bad file
    ASSERT_TRUE(file.Set_Event_name("Old Cup"));
    file.Set_Path(path);
    EXPECT_FALSE(file.Parse_XML_file());
    EXPECT_FALSE(file.Is_Loaded());
    EXPECT_EQ(file.Event_name(), "");
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].location, "Parse_XML_file of Class Module Event_File");
    EXPECT_NE(errors.errors[0].description.find(GetParam().reason), std::string::npos) << errors.errors[0].description;
    EXPECT_EQ(errors.errors[0].extra, path);

    EXPECT_FALSE(file.XML_to_File());
    EXPECT_FALSE(file.Set_Reg_Dog_Name(1, 1, "Rex"));
    EXPECT_EQ(Read_Text(path), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Bad_File_Test,
    ::testing::Values(
        Bad_File_Case{"PlainText", "Rex\r\nFido\r\n", "not XML"},
        Bad_File_Case{"Binary", std::string("\x00\x01\xFF\xFE garbage \x00", 14), "not XML"},
        Bad_File_Case{"Truncated", "<?xml version=\"1.0\"?>\r\n<Houndex_event_file><event_name>Cup", "not XML"},
        Bad_File_Case{"OtherRoot", "<?xml version=\"1.0\"?>\r\n<NXF_header><houndex/></NXF_header>\r\n", "NXF_header"},
        Bad_File_Case{"TwoRoots", "<Houndex_event_file/><Houndex_event_file/>", "more than one"},
        Bad_File_Case{"NoElement", "<!-- only a comment -->", "not XML"}),
    By_Name());

TEST_F(Event_File_Test, MissingFileLoadsNothingAndDropsTheOldProgramme) {
    Event_File file;
    Make_Event(file);
    ASSERT_TRUE(file.Set_Event_name("Old Cup"));
    file.Set_Path(Event_Path("Gone.xml"));
    EXPECT_FALSE(file.Parse_XML_file());
    EXPECT_FALSE(file.Is_Loaded());
    EXPECT_FALSE(file.XML_to_File());
    EXPECT_FALSE(Platform::File_Exists(file.Path()));
}

TEST_F(Event_File_Test, Utf8DeclaredFileIsReadAsUtf8AndSavedAsLatin1) {
    const std::string path = Event_Path("Utf8.xml");
    Write_Bytes(path,
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Houndex_event_file>\r\n"
                "<event_name>Zo\xC3\xAB &#8364;</event_name>\r\n<event_day>Sat</event_day>\r\n"
                "<heat id=\"1\"><heat_name>H\xC3\xA9</heat_name><box id=\"1\"><dog_name>\xC3\x85sa</dog_name>"
                "</box></heat>\r\n</Houndex_event_file>\r\n");
    Event_File file;
    file.Set_Path(path);
    ASSERT_TRUE(file.Parse_XML_file());
    EXPECT_EQ(file.Event_name(), "Zo\xC3\xAB \xE2\x82\xAC");
    EXPECT_EQ(file.Heat_Name(1), "H\xC3\xA9");
    EXPECT_EQ(file.Reg_Dog_Name(1, 1), "\xC3\x85sa");
    ASSERT_TRUE(file.XML_to_File());
    const std::string bytes = Read_Text(path);
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n", 0), 0u);
    // A character Latin-1 cannot hold that came from the file is kept as a reference.
    EXPECT_NE(bytes.find("<event_name>Zo\xEB &#8364;</event_name>"), std::string::npos);
    EXPECT_NE(bytes.find("<dog_name>\xC5sa</dog_name>"), std::string::npos);

    Event_File again;
    again.Set_Path(path);
    ASSERT_TRUE(again.Parse_XML_file());
    EXPECT_EQ(again.Event_name(), file.Event_name());
    EXPECT_EQ(again.XML_string(), bytes);
}

// An editor that saved in a one-byte code page but kept the UTF-8 declaration
// or byte-order mark: the letters are read as what they are, and a save and a
// load give the same programme (taken as UTF-8 they came back changed).
TEST_F(Event_File_Test, Utf8ClaimedOverOneByteLettersIsReadAsLatin1AndSurvivesASave) {
    const std::string body =
        "<Houndex_event_file><event_name>K\xE4ngurucup</event_name><heat id=\"1\">"
        "<box id=\"8\"><dog_name>\xE4</dog_name></box></heat></Houndex_event_file>";
    for (const std::string& head :
         {std::string("\xEF\xBB\xBF"), std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"),
          std::string("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>")}) {
        SCOPED_TRACE(head);
        const std::string path = Event_Path("Claimed.xml");
        Write_Bytes(path, head + body);
        Event_File file;
        file.Set_Path(path);
        ASSERT_TRUE(file.Parse_XML_file());
        EXPECT_EQ(file.Event_name(), "K\xC3\xA4ngurucup");
        EXPECT_EQ(file.Reg_Dog_Name(1, 8), "\xC3\xA4");
        ASSERT_TRUE(file.XML_to_File());
        const std::string bytes = Read_Text(path);
        EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n", 0), 0u) << bytes;
        EXPECT_NE(bytes.find("<dog_name>\xE4</dog_name>"), std::string::npos) << bytes;
        Event_File again;
        again.Set_Path(path);
        ASSERT_TRUE(again.Parse_XML_file());
        EXPECT_EQ(again.Event_name(), file.Event_name());
        EXPECT_EQ(again.Reg_Dog_Name(1, 8), "\xC3\xA4");
    }
    EXPECT_TRUE(errors.errors.empty());
}

// Characters Latin-1 cannot hold, where a character reference is not XML (a
// comment, a name, a CDATA section): the saved file must still load, with the
// programme's texts as they were.
TEST_F(Event_File_Test, Utf8MarkupLatin1CannotHoldStillSavesAFileThatLoads) {
    const std::string path = Event_Path("Foreign.xml");
    Write_Bytes(path,
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!-- \xE2\x82\xAC -->\r\n<Houndex_event_file>\r\n"
                "<event_name><![CDATA[Cup \xE2\x82\xAC]]></event_name>\r\n<event_day>Sat</event_day>\r\n"
                "<note\xC5\x81 \xC5\x81=\"1\"/>\r\n<heat id=\"1\"><heat_name>H</heat_name><box id=\"1\">"
                "<dog_name>Rex</dog_name></box></heat>\r\n</Houndex_event_file>\r\n");
    Event_File file;
    file.Set_Path(path);
    ASSERT_TRUE(file.Parse_XML_file());
    ASSERT_TRUE(file.XML_to_File());
    const std::string bytes = Read_Text(path);
    Event_File again;
    again.Set_Path(path);
    ASSERT_TRUE(again.Parse_XML_file()) << bytes;
    EXPECT_EQ(again.Event_name(), "Cup \xE2\x82\xAC");
    EXPECT_EQ(again.Reg_Dog_Name(1, 1), "Rex");
    EXPECT_EQ(again.XML_string(), bytes);
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(Event_File_Test, FileWithoutDeclarationIsReadAsLatin1AndGivenOne) {
    const std::string path = Event_Path("Plain.xml");
    Write_Bytes(path, "<Houndex_event_file><event_name>Zo\xEB</event_name></Houndex_event_file>");
    Event_File file;
    file.Set_Path(path);
    ASSERT_TRUE(file.Parse_XML_file());
    EXPECT_EQ(file.Event_name(), "Zo\xC3\xAB");
    EXPECT_EQ(file.XML_string(),
              "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n"
              "<Houndex_event_file><event_name>Zo\xEB</event_name></Houndex_event_file>\r\n");
}

TEST_F(Event_File_Test, TooLargeFileIsRefusedAtLoad) {
    const std::string path = Event_Path("Huge.xml");
    std::string bytes = "<Houndex_event_file><event_name>";
    bytes.append(Event_File::Max_File_Bytes, 'x');
    bytes += "</event_name></Houndex_event_file>";
    Write_Bytes(path, bytes);
    Event_File file;
    file.Set_Path(path);
    EXPECT_FALSE(file.Parse_XML_file());
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_NE(errors.errors[0].description.find("larger than"), std::string::npos);
}

TEST_F(Event_File_Test, CloseDropsPathAndDocumentWithoutSaving) {
    Event_File file;
    Make_Event(file);
    const std::string path = file.Path();
    const std::string before = Read_Text(path);
    ASSERT_TRUE(file.Set_Event_name("Unsaved"));
    file.Close();
    EXPECT_EQ(file.Path(), "");
    EXPECT_FALSE(file.Is_Loaded());
    EXPECT_EQ(file.Event_name(), "");
    EXPECT_FALSE(file.XML_to_File());
    EXPECT_EQ(Read_Text(path), before);
}

// ---------------------------------------------------------------------------
// creating an event

TEST_F(Event_File_Test, CreateEventSavesNameAndDayAndLoadsTheFile) {
    const std::string path = New_Event_File_Path(Folder(), "Cup 2020", "Sat, 1-2");
    Event_File file;
    ASSERT_TRUE(file.Create_Event(path, "Cup 2020", "Sat, 1-2"));
    EXPECT_TRUE(file.Is_Loaded());
    EXPECT_EQ(file.Path(), path);
    EXPECT_EQ(file.Event_name(), "Cup 2020");
    EXPECT_EQ(file.Get_day(), "Sat, 1-2");
    Event_File again;
    again.Set_Path(path);
    ASSERT_TRUE(again.Parse_XML_file());
    EXPECT_EQ(again.Event_name(), "Cup 2020");
    EXPECT_EQ(again.Get_day(), "Sat, 1-2");
}

TEST_F(Event_File_Test, CreateEventCreatesTheMissingFolder) {
    const std::string folder = Platform::Join_Path(Temp_Dir(), "sub/Houndex Event Files/");
    const std::string path = New_Event_File_Path(folder, "Cup", "");
    Event_File file;
    ASSERT_TRUE(file.Create_Event(path, "Cup", ""));
    EXPECT_TRUE(Platform::File_Exists(path));
}

TEST_F(Event_File_Test, CreateEventOverAnExistingFileReplacesIt) {
    const std::string path = Event_Path("Cup.xml");
    Event_File first;
    ASSERT_TRUE(first.Create_Event(path, "Cup", "Sat"));
    ASSERT_TRUE(first.Set_Reg_Dog_Name(1, 1, "Rex"));
    ASSERT_TRUE(first.XML_to_File());
    Event_File second;
    ASSERT_TRUE(second.Create_Event(path, "Cup", "Sun"));
    EXPECT_EQ(second.Reg_Dog_Name(1, 1), "");
    EXPECT_EQ(second.Get_day(), "Sun");
}

TEST_F(Event_File_Test, CreateEventWithARefusedNameWritesNothing) {
    const std::string path = Event_Path("Control.xml");
    Event_File file;
    EXPECT_FALSE(file.Create_Event(path, std::string("Cup\x01", 4), "Sat"));
    EXPECT_FALSE(Platform::File_Exists(path));
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_NE(dialogs.Messages()[0].find("control characters"), std::string::npos);
}

TEST_F(Event_File_Test, CreateEventOverAReadOnlyFileKeepsItAndHoldsNothing) {
    const std::string path = Event_Path("Locked.xml");
    Event_File first;
    ASSERT_TRUE(first.Create_Event(path, "Locked", "Sat"));
    ASSERT_TRUE(first.Set_Reg_Dog_Name(1, 1, "Rex"));
    ASSERT_TRUE(first.XML_to_File());
    ASSERT_TRUE(Platform::Set_Read_Only(path, true));
    const std::string before = Read_Text(path);
    dialogs.Clear();

    Event_File second;
    EXPECT_FALSE(second.Create_Event(path, "Locked", "Sun"));
    EXPECT_EQ(Read_Text(path), before);
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"Event file is Read-Only!\r\n" + path});
    EXPECT_FALSE(second.Is_Loaded());
    EXPECT_EQ(second.Path(), "");
}

}  // namespace
