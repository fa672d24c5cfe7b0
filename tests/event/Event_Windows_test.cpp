#include <array>
#include <memory>
#include <string>
#include <vector>

#include <QAction>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QPointer>
#include <QSpinBox>
#include <QTest>

#include "Event_Test_Env.h"
#include "Test_Name.h"
#include "event/Form_Houndex_SpeakerCard.h"
#include "event/Form_event_registration.h"
#include "event/Form_heat_competitors.h"
#include "event/IEvent_Host.h"
#include "platform/Files.h"
#include "platform/PictureBox.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Official_Record.h"
#include "settings/Module_Ini.h"

namespace {

using Platform::MsgResult;

struct Host_Recorder : IEvent_Host {
    void Display_Heat_Data() override { ++panel_refreshes; }
    void Handle_results() override { ++results; }
    void Display_Result_Array() override { ++result_displays; }
    int panel_refreshes = 0, results = 0, result_displays = 0;
};

std::string Text(const QLineEdit* field) { return field->text().toStdString(); }

void Leave(QWidget* field) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(field, &out);
}

// An event file on disk as a second reader sees it.
struct On_Disk {
    Event_File file;
    explicit On_Disk(const std::string& path) {
        file.Set_Path(path);
        file.Parse_XML_file();
    }
};

class Event_Window_Test : public Event_Test {
protected:
    void TearDown() override {
        form.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Event_Test::TearDown();
    }

    // A saved event file with a programme, stored as the current one.
    std::string Make_Programme(const std::string& name = "Cup.xml") {
        Event_File file;
        Make_Event(file, name);
        file.Set_Event_name("Spring Cup");
        file.Set_day("Sat");
        file.Set_Heat_Name(1, "Opening");
        file.Set_Heat_Length(1, "480");
        file.Set_Heat_Start_Time(1, "19:30");
        for (int b = 1; b <= 6; ++b) file.Set_Reg_Dog_Name(1, b, "H1 dog " + std::to_string(b));
        file.Set_Heat_Name(2, "Second");
        for (int b = 1; b <= 6; ++b) file.Set_Reg_Dog_Name(2, b, "H2 dog " + std::to_string(b));
        file.Set_Heat_Name(3, "Final");
        file.Set_Heat_Length(3, "715");
        for (int b = 1; b <= 5; ++b) file.Set_Reg_Dog_Name(3, b, "H3 dog " + std::to_string(b));
        EXPECT_TRUE(file.XML_to_File());
        Store_Event_File(file.Path());
        return file.Path();
    }

    Form_event_registration& Load() {
        form = std::make_unique<Form_event_registration>(&host);
        form->Form_Load();
        return *form;
    }

    std::string Setting(const char* key) { return Read_Ini("Settings", key, Facts().Ini_file_path, ""); }

    Host_Recorder host;
    std::unique_ptr<Form_event_registration> form;
};

// ---------------------------------------------------------------------------
// loading

TEST_F(Event_Window_Test, LoadingOpensTheStoredFileAndShowsHeatOne) {
    const std::string path = Make_Programme();
    Form_event_registration& f = Load();
    EXPECT_EQ(f.windowTitle(), "Houndex HDMI event registration");
    EXPECT_TRUE(f.Event_Loaded());
    EXPECT_TRUE(g_Use_Event_File);
    EXPECT_EQ(f.Label_event_filename->text().toStdString(), path);
    EXPECT_EQ(Text(f.Text_event_name), "Spring Cup");
    EXPECT_EQ(Text(f.Text_day), "Sat");
    EXPECT_EQ(f.UpDown_heat->value(), 1);
    EXPECT_EQ(f.Frame_boxes->title(), "Heat 1");
    EXPECT_EQ(Text(f.Text_heatName), "Opening");
    EXPECT_EQ(Text(f.Text_heatLength), "480");
    EXPECT_EQ(Text(f.Text_heat_start_time), "19:30");
    for (int b = 1; b <= 6; ++b) EXPECT_EQ(Text(f.Text_dog_name(b)), "H1 dog " + std::to_string(b));
    EXPECT_EQ(host.panel_refreshes, 1);
    EXPECT_TRUE(dialogs.Messages().empty());
    // Activation shows the name without its folder.
    f.Form_Activate();
    EXPECT_EQ(f.Label_event_filename->text(), "Cup.xml");
    EXPECT_EQ(f.Speaker_Card(), nullptr);
}

struct Load_Case {
    const char* label;
    std::string stored;   // file name in the event folder; "" nothing stored
    std::string bytes;    // written there first unless "-"
    std::string message;  // expected message, "" none; "<path>" replaced
    bool reported;        // an error report
    friend void PrintTo(const Load_Case& c, std::ostream* os) { *os << c.label; }
};

class Event_Window_Load_Test : public Event_Window_Test, public ::testing::WithParamInterface<Load_Case> {};

TEST_P(Event_Window_Load_Test, NoUsableFileLeavesNothingToEdit) {
    const Load_Case& c = GetParam();
    std::string path;
    if (!c.stored.empty()) {
        path = Event_Path(c.stored);
        if (c.bytes != "-") Write_Bytes(path, c.bytes);
        Store_Event_File(path);
    }
    g_Use_Event_File = true;
    Form_event_registration& f = Load();
    EXPECT_FALSE(f.Event_Loaded());
    EXPECT_FALSE(g_Use_Event_File);
    std::vector<std::string> expected;
    if (!c.message.empty()) {
        std::string m = c.message;
        if (const size_t at = m.find("<path>"); at != std::string::npos) m.replace(at, 6, path);
        expected.push_back(m);
    }
    EXPECT_EQ(dialogs.Messages(), expected);
    EXPECT_EQ(!errors.errors.empty(), c.reported);
    EXPECT_EQ(host.panel_refreshes, 1);
    // Whatever is typed now is refused, and no file is changed.
    f.Text_dog_name(1)->setFocus();
    QTest::keyClicks(f.Text_dog_name(1), "Rex");
    EXPECT_EQ(Text(f.Text_dog_name(1)), "");
    EXPECT_EQ(dialogs.beeps, 3);
    if (c.bytes != "-") {
        EXPECT_EQ(Read_Text(path), c.bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, Event_Window_Load_Test,
    ::testing::Values(Load_Case{"NothingStored", "", "-", "", false},
                      Load_Case{"StoredFileMissing", "Gone.xml", "-", "Stored Event File name not found!\r\n<path>",
                                false},
                      Load_Case{"EmptyFile", "Empty.xml", "", "Invalid Event File! Empty.xml", false},
                      Load_Case{"NotXml", "Junk.xml", "this is no XML", "", true},
                      Load_Case{"OtherXml", "Other.xml", "<?xml version=\"1.0\"?><other/>", "", true}),
    By_Name());

// ---------------------------------------------------------------------------
// editing without an event file

struct Refused_Field {
    const char* label;
    QLineEdit* (*field)(Form_event_registration&);
    friend void PrintTo(const Refused_Field& c, std::ostream* os) { *os << c.label; }
};

class Event_Window_Refusal_Test : public Event_Window_Test, public ::testing::WithParamInterface<Refused_Field> {};

TEST_P(Event_Window_Refusal_Test, TypingWithoutAnEventFileBeepsAndLeavesTheBoxEmpty) {
    Form_event_registration& f = Load();
    QLineEdit* field = GetParam().field(f);
    field->setFocus();
    QTest::keyClicks(field, "Rex");
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(Text(field), "");
    EXPECT_EQ(dialogs.beeps, 4);
    // Moving about in it is no edit.
    QTest::keyClick(field, Qt::Key_Left);
    EXPECT_EQ(dialogs.beeps, 4);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, Event_Window_Refusal_Test,
    ::testing::Values(Refused_Field{"DogName", [](Form_event_registration& f) { return f.Text_dog_name(1); }},
                      Refused_Field{"DogNameBox6", [](Form_event_registration& f) { return f.Text_dog_name(6); }},
                      Refused_Field{"HeatName", [](Form_event_registration& f) { return f.Text_heatName; }},
                      Refused_Field{"StartTime", [](Form_event_registration& f) { return f.Text_heat_start_time; }},
                      Refused_Field{"Length", [](Form_event_registration& f) { return f.Text_heatLength; }}),
    By_Name());

TEST_F(Event_Window_Test, WithoutAnEventFileTheHeatSelectorBeepsAndStays) {
    Form_event_registration& f = Load();
    f.UpDown_heat->stepUp();
    EXPECT_EQ(dialogs.beeps, 1);
    EXPECT_EQ(f.UpDown_heat->value(), 1);
    EXPECT_EQ(f.Frame_boxes->title(), "Heat 1");
    // The event name can be typed (to create a file) but goes nowhere.
    QTest::keyClicks(f.Text_event_name, "Cup");
    EXPECT_EQ(Text(f.Text_event_name), "Cup");
    EXPECT_EQ(dialogs.beeps, 1);
}

// ---------------------------------------------------------------------------
// heats

TEST_F(Event_Window_Test, ChangingTheHeatShowsItsProgrammeAndKeepsALengthItLacks) {
    Make_Programme();
    Form_event_registration& f = Load();
    f.UpDown_heat->stepUp();
    EXPECT_EQ(f.Current_Heat(), 2);
    EXPECT_EQ(f.Frame_boxes->title(), "Heat 2");
    EXPECT_EQ(Text(f.Text_heatName), "Second");
    EXPECT_EQ(Text(f.Text_heatLength), "480");  // heat 2 has none: heat 1's stays
    EXPECT_EQ(Text(f.Text_heat_start_time), "");
    for (int b = 1; b <= 6; ++b) EXPECT_EQ(Text(f.Text_dog_name(b)), "H2 dog " + std::to_string(b));
    // Leaving the box stores the kept length for heat 2 too.
    Leave(f.Text_heatLength);
    EXPECT_EQ(On_Disk(f.Event_File_Path()).file.Heat_Length(2), "480");

    f.UpDown_heat->setValue(3);
    EXPECT_EQ(Text(f.Text_heatName), "Final");
    EXPECT_EQ(Text(f.Text_heatLength), "715");
    EXPECT_EQ(Text(f.Text_dog_name(5)), "H3 dog 5");
    EXPECT_EQ(Text(f.Text_dog_name(6)), "");
    f.UpDown_heat->setValue(1);
    EXPECT_EQ(Text(f.Text_dog_name(1)), "H1 dog 1");
    EXPECT_EQ(Text(f.Text_heatLength), "480");
}

TEST_F(Event_Window_Test, TheDownArrowSavesAndTheUpArrowDoesNot) {
    const std::string path = Make_Programme();
    Form_event_registration& f = Load();
    f.UpDown_heat->setValue(2);
    f.Text_dog_name(1)->setText("Rex");  // a change goes into the document at once
    EXPECT_EQ(f.Reg_Dog_Name(2, 1), "Rex");
    const std::string before = Read_Text(path);
    f.UpDown_heat->stepUp();
    EXPECT_EQ(Read_Text(path), before);
    f.UpDown_heat->stepDown();
    EXPECT_EQ(On_Disk(path).file.Reg_Dog_Name(2, 1), "Rex");
    EXPECT_EQ(Text(f.Text_dog_name(1)), "Rex");
}

// ---------------------------------------------------------------------------
// save points

struct Save_Case {
    const char* label;
    QLineEdit* (*field)(Form_event_registration&);
    std::string (*stored)(const Event_File&);
    bool saved_on_leaving;
    friend void PrintTo(const Save_Case& c, std::ostream* os) { *os << c.label; }
};

class Event_Window_Save_Test : public Event_Window_Test, public ::testing::WithParamInterface<Save_Case> {};

TEST_P(Event_Window_Save_Test, LeavingAFieldStoresItAndSavesWhereItShould) {
    const Save_Case& c = GetParam();
    const std::string path = Make_Programme();
    Form_event_registration& f = Load();
    f.UpDown_heat->setValue(3);
    QLineEdit* field = c.field(f);
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, "Zo");
    QTest::sendKeyEvent(QTest::Click, field, Qt::Key_Ediaeresis, QString::fromUtf8("\xC3\xAB"), Qt::NoModifier);
    Leave(field);
    EXPECT_EQ(c.stored(f.Event_Data()), "Zo\xC3\xAB");
    EXPECT_EQ(c.stored(On_Disk(path).file) == "Zo\xC3\xAB", c.saved_on_leaving);
    // Losing the focus saves everything.
    f.Form_Deactivate();
    EXPECT_EQ(c.stored(On_Disk(path).file), "Zo\xC3\xAB");
    EXPECT_TRUE(errors.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Fields, Event_Window_Save_Test,
    ::testing::Values(Save_Case{"DogName", [](Form_event_registration& f) { return f.Text_dog_name(6); },
                                [](const Event_File& e) { return e.Reg_Dog_Name(3, 6); }, true},
                      Save_Case{"HeatName", [](Form_event_registration& f) { return f.Text_heatName; },
                                [](const Event_File& e) { return e.Heat_Name(3); }, true},
                      Save_Case{"Length", [](Form_event_registration& f) { return f.Text_heatLength; },
                                [](const Event_File& e) { return e.Heat_Length(3); }, true},
                      Save_Case{"StartTimeWaitsForTheNextSave",
                                [](Form_event_registration& f) { return f.Text_heat_start_time; },
                                [](const Event_File& e) { return e.Heat_Start_Time(3); }, false}),
    By_Name());

// What is typed into the event name and day is a new event's until the
// official presses Enter there: no save point of the window writes it into the
// loaded event, in memory or on disk.
struct Typed_Name_Case {
    const char* label;
    // A save point, reached after "Autumn Cup" and "Sun" were typed.
    void (*save_point)(Form_event_registration&, Platform::ScriptedDialogs&, const std::string& other_file);
    friend void PrintTo(const Typed_Name_Case& c, std::ostream* os) { *os << c.label; }
};

class Event_Window_Typed_Name_Test : public Event_Window_Test, public ::testing::WithParamInterface<Typed_Name_Case> {};

TEST_P(Event_Window_Typed_Name_Test, NeverReachesTheLoadedEvent) {
    const std::string path = Make_Programme();
    // An event file already named after what will be typed, for the "Overwrite?" question.
    Event_File other;
    Make_Event(other, "Autumn CupSun.xml");
    other.Set_Event_name("Autumn Cup");
    ASSERT_TRUE(other.XML_to_File());
    Form_event_registration& f = Load();
    f.show();
    for (QLineEdit* field : {f.Text_event_name, f.Text_day}) {
        field->setFocus();
        field->selectAll();
    }
    f.Text_event_name->selectAll();
    QTest::keyClicks(f.Text_event_name, "Autumn Cup");
    f.Text_day->selectAll();
    QTest::keyClicks(f.Text_day, "Sun");
    GetParam().save_point(f, dialogs, other.Path());
    EXPECT_EQ(f.Event_name(), "Spring Cup");
    EXPECT_EQ(f.Get_day(), "Sat");
    const On_Disk disk(path);
    EXPECT_EQ(disk.file.Event_name(), "Spring Cup");
    EXPECT_EQ(disk.file.Get_day(), "Sat");
    EXPECT_EQ(Setting("current_event_file"), path);
    EXPECT_EQ(Text(f.Text_event_name), "Autumn Cup");  // still there for "Create new Event file"
    EXPECT_TRUE(errors.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    SavePoints, Event_Window_Typed_Name_Test,
    ::testing::Values(Typed_Name_Case{"LeavingTheWindow", [](Form_event_registration& f, Platform::ScriptedDialogs&,
                                                             const std::string&) { f.Form_Deactivate(); }},
                      Typed_Name_Case{"LeavingTheNameField",
                                      [](Form_event_registration& f, Platform::ScriptedDialogs&, const std::string&) {
                                          Leave(f.Text_event_name);
                                          Leave(f.Text_day);
                                          f.Form_Deactivate();
                                      }},
                      Typed_Name_Case{"LeavingADogField",
                                      [](Form_event_registration& f, Platform::ScriptedDialogs&, const std::string&) {
                                          f.Text_dog_name(2)->setFocus();
                                          QTest::keyClicks(f.Text_dog_name(2), "x");
                                          Leave(f.Text_dog_name(2));
                                      }},
                      Typed_Name_Case{"TheDownArrow",
                                      [](Form_event_registration& f, Platform::ScriptedDialogs&, const std::string&) {
                                          f.UpDown_heat->setValue(3);
                                          f.UpDown_heat->stepDown();
                                      }},
                      Typed_Name_Case{"ClosingTheWindow", [](Form_event_registration& f, Platform::ScriptedDialogs&,
                                                             const std::string&) { f.close(); }},
                      Typed_Name_Case{
                          "NoToOverwrite",
                          [](Form_event_registration& f, Platform::ScriptedDialogs& d, const std::string& other) {
                              d.Answer_Message(MsgResult::No);
                              f.item_create_file->trigger();
                              // The question's own window takes the focus from this one.
                              f.Form_Deactivate();
                              EXPECT_EQ(d.Messages(), std::vector<std::string>{
                                                          other + "\r\nThis event file already exists. Overwrite?"});
                          }}),
    By_Name());

TEST_F(Event_Window_Test, EnterInTheEventNameOrDayRenamesTheLoadedEvent) {
    const std::string path = Make_Programme();
    Form_event_registration& f = Load();
    f.show();
    struct Step {
        QLineEdit* field;
        const char* typed;
        const char* name;
        const char* day;
    } steps[] = {{f.Text_event_name, "Spring Cup 2026", "Spring Cup 2026", "Sat"},
                 {f.Text_day, "Saturday", "Spring Cup 2026", "Saturday"}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.typed);
        s.field->setFocus();
        s.field->selectAll();
        QTest::keyClicks(s.field, s.typed);
        EXPECT_NE(On_Disk(path).file.Event_name() + On_Disk(path).file.Get_day(), std::string(s.name) + s.day);
        QTest::keyClick(s.field, Qt::Key_Return);
        EXPECT_EQ(f.Event_name(), s.name);
        EXPECT_EQ(On_Disk(path).file.Event_name(), s.name);
        EXPECT_EQ(On_Disk(path).file.Get_day(), s.day);
    }
    EXPECT_EQ(host.panel_refreshes > 0, true);  // the main window shows the new name
}

TEST_F(Event_Window_Test, ATextTheFileCannotHoldIsRefusedAndTheStoredNameShown) {
    const std::string path = Make_Programme();
    Form_event_registration& f = Load();
    f.Text_dog_name(2)->setText(QString::fromUtf8("H1 dog 2 \x01"));  // XML has no control characters
    EXPECT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(Text(f.Text_dog_name(2)), "H1 dog 2");
    EXPECT_EQ(f.Reg_Dog_Name(1, 2), "H1 dog 2");
    // The euro sign and the typographic apostrophe are text like any other.
    f.Text_dog_name(2)->setText(
        QString::fromUtf8("O\xE2\x80\x99"
                          "Brien \xE2\x82\xAC"));
    Leave(f.Text_dog_name(2));
    EXPECT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(On_Disk(path).file.Reg_Dog_Name(1, 2),
              "O\xE2\x80\x99"
              "Brien \xE2\x82\xAC");
}

TEST_F(Event_Window_Test, ClosingTheWindowSavesBetweenItsTraceLinesAndOnlyHides) {
    const std::string path = Make_Programme();
    Form_event_registration& f = Load();
    f.show();
    f.Text_heat_start_time->setText("20:15");
    Leave(f.Text_heat_start_time);
    traces.lines.clear();
    f.close();
    EXPECT_EQ(On_Disk(path).file.Heat_Start_Time(1), "20:15");
    const std::vector<std::string> m = traces.Messages();
    ASSERT_GE(m.size(), 3u);
    EXPECT_EQ(m.front(), "*Form_event_registration, Form_QueryUnload, begin");
    EXPECT_EQ(m.back(), "*Form_event_registration, Form_QueryUnload, end");
    EXPECT_TRUE(traces.Has("*Form_event_registration XML_to_File"));
    EXPECT_FALSE(f.isVisible());
    EXPECT_TRUE(f.Event_Loaded());
}

TEST_F(Event_Window_Test, AReadOnlyEventFileIsNeverWritten) {
    const std::string path = Make_Programme();
    Form_event_registration& f = Load();
    const std::string before = Read_Text(path);
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    f.Text_heatName->setText("Changed");
    Leave(f.Text_heatName);
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"Event file is Read-Only!\r\n" + path});
    EXPECT_EQ(Read_Text(path), before);
}

// ---------------------------------------------------------------------------
// menu

TEST_F(Event_Window_Test, ImportingThroughTheWindowFillsHeatThreeAndShowsIt) {
    const std::string path = Make_Programme();
    Form_event_registration& f = Load();
    const std::string list = Path("dogs.txt");
    Write_Bytes(list, "Start 3\r\nRex\r\n\r\nFido\r\n");
    dialogs.Answer_File(list);
    dialogs.Answer_Message(Platform::MsgResult::Yes);
    const int32_t start = clock.PC_Mill();
    traces.lines.clear();
    f.item_import_dog_names->trigger();

    ASSERT_EQ(dialogs.Messages().size(), 2u);
    EXPECT_NE(dialogs.Messages()[0].find("Heat 3: box 1 \"Rex\" (was \"H3 dog 1\"); box 3 \"Fido\" (was \"H3 dog 3\")"),
              std::string::npos)
        << dialogs.Messages()[0];
    EXPECT_EQ(dialogs.Messages()[1], "2 Dogs imported!");
    const std::vector<std::string> m = traces.Messages();
    ASSERT_GE(m.size(), 2u);
    EXPECT_EQ(m[0], "item_import_dog_names_Click");
    EXPECT_EQ(m[1], "Import_Dogs start");
    EXPECT_EQ(Platform::Mill_Since(start, clock.PC_Mill()), 0);  // no pause holds up the program

    EXPECT_EQ(f.Current_Heat(), 3);
    EXPECT_EQ(f.UpDown_heat->value(), 3);
    EXPECT_EQ(f.Frame_boxes->title(), "Heat 3");
    EXPECT_EQ(Text(f.Text_dog_name(1)), "Rex");
    EXPECT_EQ(Text(f.Text_dog_name(2)), "H3 dog 2");
    EXPECT_EQ(Text(f.Text_dog_name(3)), "Fido");
    EXPECT_EQ(Text(f.Text_heatName), "Final");
    On_Disk disk(path);
    EXPECT_EQ(disk.file.Reg_Dog_Name(3, 1), "Rex");
    EXPECT_EQ(disk.file.Reg_Dog_Name(3, 2), "H3 dog 2");
    EXPECT_EQ(disk.file.Reg_Dog_Name(3, 3), "Fido");
    EXPECT_EQ(Setting("importdir"), Data_Dir());
    EXPECT_EQ(host.panel_refreshes, 2);
}

TEST_F(Event_Window_Test, TheImportFormatsAreExplainedInTheWindow) {
    Form_event_registration& f = Load();
    f.show();
    const std::string help = f.Label_import_help->text().toStdString();
    for (const char* part : {"Race card (.csv", "heat, box, dog name", "seeding (W, M or blank)", "race name",
                             "distance", "Start list (.txt)", "\"Start 3\"", "Windows-1252"})
        EXPECT_NE(help.find(part), std::string::npos) << part;
    EXPECT_TRUE(f.Label_import_help->isVisible());
    EXPECT_EQ(f.item_import_dog_names->toolTip(), f.Label_import_help->text());
}

TEST_F(Event_Window_Test, ImportWithoutAnEventFileIsRefused) {
    Form_event_registration& f = Load();
    f.item_import_dog_names->trigger();
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"No valid Event File open!\r\nImport not possible"});
    EXPECT_TRUE(dialogs.file_answers.empty());
    EXPECT_EQ(dialogs.shown.size(), 1u);  // no file dialog
}

TEST_F(Event_Window_Test, CreatingAFileNeedsANameAndAsksBeforeReplacing) {
    Form_event_registration& f = Load();
    f.item_create_file->trigger();
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"Please enter Event Name before creating the event file!"});
    dialogs.Clear();

    f.Text_event_name->setText("Cup 2020");
    f.Text_day->setText("Sat, 1-2");
    f.item_create_file->trigger();
    const std::string path = Event_Path("Cup 2020Sat_ 1_2.xml");
    ASSERT_TRUE(Platform::File_Exists(path));
    EXPECT_TRUE(dialogs.Messages().empty());
    EXPECT_TRUE(f.Event_Loaded());
    EXPECT_TRUE(g_Use_Event_File);
    EXPECT_EQ(Setting("current_event_file"), path);
    EXPECT_EQ(On_Disk(path).file.Event_name(), "Cup 2020");
    EXPECT_EQ(On_Disk(path).file.Get_day(), "Sat, 1-2");
    EXPECT_EQ(Text(f.Text_event_name), "Cup 2020");

    f.Text_dog_name(1)->setText("Rex");
    Leave(f.Text_dog_name(1));
    ASSERT_EQ(On_Disk(path).file.Reg_Dog_Name(1, 1), "Rex");

    // Over the existing file: No keeps it, Yes replaces it with an empty programme.
    dialogs.Answer_Message(MsgResult::No);
    f.item_create_file->trigger();
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{path + "\r\nThis event file already exists. Overwrite?"});
    EXPECT_EQ(On_Disk(path).file.Reg_Dog_Name(1, 1), "Rex");
    dialogs.Answer_Message(MsgResult::Yes);
    f.item_create_file->trigger();
    EXPECT_EQ(On_Disk(path).file.Reg_Dog_Name(1, 1), "");
    EXPECT_EQ(On_Disk(path).file.Event_name(), "Cup 2020");
    EXPECT_EQ(Text(f.Text_dog_name(1)), "");
    EXPECT_TRUE(f.Event_Loaded());
}

TEST_F(Event_Window_Test, CreatingANewEventLeavesTheLoadedFilesNameAndDay) {
    const std::string old_path = Make_Programme();
    Form_event_registration& f = Load();
    f.Text_heat_start_time->setText("21:00");
    Leave(f.Text_heat_start_time);  // an edit of the loaded programme, not yet saved
    f.Text_event_name->setText("Autumn Cup");
    f.Text_day->setText("Sun");
    f.item_create_file->trigger();

    const std::string new_path = Event_Path("Autumn CupSun.xml");
    ASSERT_TRUE(Platform::File_Exists(new_path));
    EXPECT_EQ(Setting("current_event_file"), new_path);
    EXPECT_EQ(On_Disk(new_path).file.Event_name(), "Autumn Cup");
    EXPECT_EQ(On_Disk(new_path).file.Get_day(), "Sun");
    On_Disk old(old_path);
    EXPECT_EQ(old.file.Event_name(), "Spring Cup");
    EXPECT_EQ(old.file.Get_day(), "Sat");
    EXPECT_EQ(old.file.Heat_Start_Time(1), "21:00");
    EXPECT_EQ(old.file.Reg_Dog_Name(1, 1), "H1 dog 1");
}

TEST_F(Event_Window_Test, ClosingTheEventFileKeepsWhatWasTypedAndEndsEditing) {
    const std::string path = Make_Programme();
    Form_event_registration& f = Load();
    f.Text_heat_start_time->setText("21:00");
    Leave(f.Text_heat_start_time);  // in the document, not yet in the file
    f.item_close_event_file->trigger();
    EXPECT_EQ(On_Disk(path).file.Heat_Start_Time(1), "21:00");
    EXPECT_FALSE(f.Event_Loaded());
    EXPECT_EQ(f.Event_File_Path(), "");
    EXPECT_EQ(Setting("current_event_file"), "N/A");  // stored empty
    EXPECT_EQ(f.Label_event_filename->text(), "No event file");
    EXPECT_EQ(Text(f.Text_event_name), "");
    EXPECT_EQ(Text(f.Text_day), "");
    EXPECT_EQ(Text(f.Text_dog_name(1)), "");
    EXPECT_EQ(f.Reg_Dog_Name(1, 1), "");
    QTest::keyClicks(f.Text_dog_name(1), "X");
    EXPECT_EQ(dialogs.beeps, 1);
}

TEST_F(Event_Window_Test, OpeningAnotherFileSavesTheFirstAndShowsTheCurrentHeatOfTheSecond) {
    const std::string first = Make_Programme("First.xml");
    const std::string second = Make_Programme("Second.xml");
    Store_Event_File(first);
    Form_event_registration& f = Load();
    f.UpDown_heat->setValue(2);
    f.Text_heat_start_time->setText("18:00");
    Leave(f.Text_heat_start_time);

    dialogs.Answer_File(second);
    f.item_open_event_file->trigger();
    ASSERT_FALSE(dialogs.shown.empty());
    EXPECT_EQ(dialogs.shown.back().kind, "open");
    EXPECT_EQ(dialogs.shown.back().text, "Chose event file");
    EXPECT_EQ(On_Disk(first).file.Heat_Start_Time(2), "18:00");
    EXPECT_EQ(f.Event_File_Path(), second);
    EXPECT_EQ(Setting("current_event_file"), second);
    EXPECT_EQ(f.Label_event_filename->text(), "Second.xml");
    EXPECT_EQ(f.Current_Heat(), 2);
    EXPECT_EQ(Text(f.Text_heat_start_time), "");
    EXPECT_EQ(Text(f.Text_dog_name(1)), "H2 dog 1");

    // A cancelled dialog changes nothing.
    dialogs.Answer_File(std::nullopt);
    f.item_open_event_file->trigger();
    EXPECT_EQ(f.Event_File_Path(), second);
}

TEST_F(Event_Window_Test, NoEventFileGivesNewRecordingsNoNames) {
    const std::string path = Make_Programme();
    Form_event_registration& f = Load();
    cls_VideoFile_handler handler;
    handler.Header().Create_Header();
    ASSERT_TRUE(f.Update_Dog_names(handler, 1));
    EXPECT_EQ(handler.Hdx_Dog_name(3), "H1 dog 3");

    f.No_Event_File();
    EXPECT_FALSE(g_Use_Event_File);
    EXPECT_EQ(Setting("current_event_file"), "N/A");
    EXPECT_EQ(f.Label_event_filename->text(), "No event file");
    cls_VideoFile_handler next;
    next.Header().Create_Header();
    next.Set_Hdx_Dog_name(3, "left over");
    ASSERT_TRUE(f.Update_Dog_names(next, 1));
    for (int16_t b = 1; b <= 6; ++b) EXPECT_EQ(next.Hdx_Dog_name(b), "") << b;
    EXPECT_TRUE(Platform::File_Exists(path));
}

TEST_F(Event_Window_Test, TheFormMenuOffersEveryCommandInOrder) {
    Form_event_registration& f = Load();
    std::vector<std::string> captions;
    for (QAction* a : f.menu_form->actions())
        if (a->isVisible()) captions.push_back(a->text().toStdString());
    EXPECT_EQ(captions, (std::vector<std::string>{"Open event file", "Create new Event file", "Close event file",
                                                  "Import dog names", "Print form", "Make speaker card", "Hide"}));
}

// ---------------------------------------------------------------------------
// speaker card

QColor Pixel(Platform::PictureBox& box, int x, int y) { return box.Canvas().pixelColor(x, y); }

TEST_F(Event_Window_Test, TheSpeakerCardShowsTheHeatBesideTheBoxColours) {
    Make_Programme();
    Form_event_registration& f = Load();
    f.UpDown_heat->setValue(3);
    f.Text_heat_start_time->setText("21:40");
    f.item_print_speaker_card->trigger();
    Form_Houndex_SpeakerCard* card = f.Speaker_Card();
    ASSERT_NE(card, nullptr);
    EXPECT_TRUE(card->isVisible());
    EXPECT_EQ(card->windowTitle(), "Houndex HDMI SpeakerCard");
    EXPECT_EQ(card->Label_event->text(), "Spring Cup");
    EXPECT_EQ(card->Label_heat_num->text(), "3");
    EXPECT_EQ(card->Label_Heat_name->text(), "Final");
    EXPECT_EQ(card->Label_start->text(), "21:40");
    EXPECT_EQ(card->Label_length->text(), "715");
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(card->Label_dog_name(i)->text().toStdString(), "H3 dog " + std::to_string(i + 1));
    EXPECT_EQ(card->Label_dog_name(5)->text(), "");  // five dogs: box 6 stays empty
    EXPECT_EQ(Pixel(*card->Picture_box(5), 50, 5), QColor(Qt::white));
    EXPECT_EQ(card->item_print->text(), "Print");

    // Refilled, not made again.
    f.UpDown_heat->setValue(1);
    f.item_print_speaker_card->trigger();
    EXPECT_EQ(f.Speaker_Card(), card);
    EXPECT_EQ(card->Label_dog_name(5)->text(), "H1 dog 6");

    const QImage picture = card->Capture_Card();
    EXPECT_FALSE(picture.isNull());
    EXPECT_EQ(card->Picture1->Canvas().size(), picture.size());
    EXPECT_GT(picture.width(), card->Picture_box(0)->width());
}

// ---------------------------------------------------------------------------
// heat competitors

class Heat_Competitors_Test : public Event_Window_Test {
protected:
    void SetUp() override {
        Event_Window_Test::SetUp();
        recording_path = Platform::Join_Path(Temp_Dir(), "heat.nx3");
        cls_VideoFile_handler writer;
        writer.Set_Cropped_X(64);
        writer.Set_Cropped_Y(48);
        ASSERT_TRUE(writer.Initiate_NX3_File(recording_path));
        writer.Set_Hdx_Heat_Name("Recorded heat");
        for (int16_t b = 1; b <= 6; ++b) writer.Set_Hdx_Dog_name(b, "Recorded " + std::to_string(b));
        ASSERT_TRUE(writer.Write_XML_Header());
        writer.Close_File();
        programme.Set_Path(Make_Programme());
        ASSERT_TRUE(programme.Parse_XML_file());
    }
    void TearDown() override {
        if (window) window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        handler.Close_File();
        Event_Window_Test::TearDown();
    }

    Form_heat_competitors& Open_Window() {
        window = new Form_heat_competitors(handler, programme, &host);
        window->Form_Load();
        window->show();
        return *window;
    }
    int Header_Writes() const {
        int n = 0;
        for (const auto& m : traces.Messages()) n += m.rfind("*Write_NX3_header", 0) == 0;
        return n;
    }
    std::string Stored_Name(int16_t box) {
        cls_VideoFile_handler reader;
        EXPECT_TRUE(reader.Open_File(recording_path));
        const std::string name = box == 0 ? reader.Hdx_Heat_Name() : reader.Hdx_Dog_name(box);
        reader.Close_File();
        return name;
    }

    std::string recording_path;
    cls_VideoFile_handler handler;
    Event_File programme;
    QPointer<Form_heat_competitors> window;
};

TEST_F(Heat_Competitors_Test, OpeningShowsTheRecordingsNamesAndChangesNothing) {
    ASSERT_TRUE(handler.Open_File(recording_path));
    const std::string before = Read_Text(recording_path);
    traces.lines.clear();
    Form_heat_competitors& w = Open_Window();
    EXPECT_EQ(w.windowTitle(), "Houndex HDMI heat competitors");
    EXPECT_EQ(w.Text_Heat_name->text(), "Recorded heat");
    for (int b = 1; b <= 6; ++b) EXPECT_EQ(Text(w.Text_dog_name(b)), "Recorded " + std::to_string(b));
    EXPECT_FALSE(w.Names_Changed());
    EXPECT_EQ(host.results, 0);
    w.close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());  // closing unloads it
    EXPECT_EQ(Header_Writes(), 0);
    EXPECT_EQ(Read_Text(recording_path), before);
    EXPECT_EQ(host.result_displays, 1);
}

TEST_F(Heat_Competitors_Test, ChoosingHeatThreePutsItsNamesIntoTheRecordingAtOnce) {
    ASSERT_TRUE(handler.Open_File(recording_path));
    Form_heat_competitors& w = Open_Window();
    traces.lines.clear();
    w.UpDown_heat->setValue(3);
    EXPECT_EQ(w.Label_heatno->text(), "3");
    EXPECT_EQ(w.Text_Heat_name->text(), "Final");
    EXPECT_TRUE(w.Names_Changed());
    EXPECT_EQ(host.results, 1);
    EXPECT_EQ(Header_Writes(), 1);  // the whole heat in one write
    EXPECT_EQ(Stored_Name(0), "Final");
    for (int16_t b = 1; b <= 5; ++b) EXPECT_EQ(Stored_Name(b), "H3 dog " + std::to_string(b));
    EXPECT_EQ(Stored_Name(6), "");

    // An edit by hand goes the same way; closing writes nothing more.
    w.Text_dog_name(2)->setText("Rex");
    EXPECT_EQ(Stored_Name(2), "Rex");
    EXPECT_EQ(host.results, 2);
    w.item_hide->trigger();
    EXPECT_EQ(Header_Writes(), 2);
    EXPECT_EQ(host.result_displays, 1);
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(Heat_Competitors_Test, ACorrectionStaysWithItsRecordingWhenAnotherIsOpened) {
    const std::string other = Platform::Join_Path(Temp_Dir(), "other.nx3");
    {
        cls_VideoFile_handler writer;
        writer.Set_Cropped_X(64);
        writer.Set_Cropped_Y(48);
        ASSERT_TRUE(writer.Initiate_NX3_File(other));
        for (int16_t b = 1; b <= 6; ++b) writer.Set_Hdx_Dog_name(b, "Other " + std::to_string(b));
        ASSERT_TRUE(writer.Write_XML_Header());
        writer.Close_File();
    }
    ASSERT_TRUE(handler.Open_File(recording_path));
    Form_heat_competitors& w = Open_Window();
    w.Text_dog_name(2)->setText("Rex");
    // The main window closes the recording and opens another in the same handler.
    handler.Close_File();
    EXPECT_EQ(Stored_Name(2), "Rex");
    ASSERT_TRUE(handler.Open_File(other));
    const std::string before = Read_Text(other);

    // Until the window hears of it, nothing it does reaches the new recording.
    w.Command_update->click();
    w.Text_dog_name(3)->setText("Fido");
    EXPECT_EQ(handler.Hdx_Dog_name(2), "Other 2");
    EXPECT_EQ(Read_Text(other), before);

    w.Follow_Recording();
    EXPECT_EQ(Text(w.Text_dog_name(2)), "Other 2");
    EXPECT_FALSE(w.Names_Changed());
    w.Text_dog_name(3)->setText("Fido");
    handler.Close_File();
    cls_VideoFile_handler reader;
    ASSERT_TRUE(reader.Open_File(other));
    EXPECT_EQ(reader.Hdx_Dog_name(3), "Fido");
    EXPECT_EQ(reader.Hdx_Dog_name(2), "Other 2");

    w.Follow_Recording();  // no recording open: the window goes with it
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

struct Empty_Heat_Case {
    const char* label;
    bool programme;
    int heat;
    friend void PrintTo(const Empty_Heat_Case& c, std::ostream* os) { *os << c.label; }
};

class Heat_Competitors_Empty_Test : public Heat_Competitors_Test,
                                    public ::testing::WithParamInterface<Empty_Heat_Case> {};

TEST_P(Heat_Competitors_Empty_Test, ChoosingAHeatWithNoProgrammeChangesNothing) {
    if (!GetParam().programme) programme.Close();
    ASSERT_TRUE(handler.Open_File(recording_path));
    const std::string before = Read_Text(recording_path);
    Form_heat_competitors& w = Open_Window();
    w.UpDown_heat->setValue(GetParam().heat);
    EXPECT_EQ(w.Text_Heat_name->text(), "Recorded heat");
    for (int b = 1; b <= 6; ++b) EXPECT_EQ(Text(w.Text_dog_name(b)), "Recorded " + std::to_string(b));
    EXPECT_EQ(handler.Hdx_Dog_name(1), "Recorded 1");
    EXPECT_FALSE(w.Names_Changed());
    EXPECT_EQ(dialogs.beeps, 1);
    EXPECT_EQ(Read_Text(recording_path), before);
}

INSTANTIATE_TEST_SUITE_P(Heats, Heat_Competitors_Empty_Test,
                         ::testing::Values(Empty_Heat_Case{"NoEventFile", false, 2},
                                           Empty_Heat_Case{"HeatWithoutNamesOrDogs", true, 50}),
                         By_Name());

TEST_F(Heat_Competitors_Test, WithoutARecordingChoosingAHeatOnlyFillsTheBoxes) {
    const std::string before = Read_Text(recording_path);
    Form_heat_competitors& w = Open_Window();
    EXPECT_EQ(w.Text_Heat_name->text(), "");
    w.UpDown_heat->setValue(2);
    EXPECT_EQ(Text(w.Text_dog_name(4)), "H2 dog 4");
    EXPECT_EQ(w.Text_Heat_name->text(), "Second");
    w.Command_update->click();
    EXPECT_FALSE(w.Names_Changed());
    EXPECT_EQ(host.results, 0);
    traces.lines.clear();
    w.close();
    EXPECT_EQ(Header_Writes(), 0);
    EXPECT_EQ(Read_Text(recording_path), before);
}

TEST_F(Heat_Competitors_Test, AReadOnlyRecordingIsNotChanged) {
    std::filesystem::permissions(recording_path,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    ASSERT_TRUE(handler.Open_File(recording_path));
    ASSERT_TRUE(handler.Read_only());
    Form_heat_competitors& w = Open_Window();
    w.UpDown_heat->setValue(3);
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"File is read only!"});  // told once
    EXPECT_EQ(handler.Hdx_Dog_name(1), "Recorded 1");
    EXPECT_FALSE(w.Names_Changed());
    w.close();
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(Heat_Competitors_Test, AnOfficialHeatIsNotChangedHereButSentToTheResultsWindow) {
    ASSERT_TRUE(handler.Open_File(recording_path));
    Official_Record::Declare(handler);
    const std::string before = Read_Text(recording_path);
    Form_heat_competitors& w = Open_Window();
    w.UpDown_heat->setValue(3);
    w.Command_update_Click();
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{Form_heat_competitors::Official_Text});  // told once
    EXPECT_EQ(Read_Text(recording_path), before);
    EXPECT_FALSE(w.Names_Changed());
    EXPECT_TRUE(Official_Record::Read_Trail(recording_path).empty());
}

TEST_F(Heat_Competitors_Test, UpdateCurrentFileTakesTheBoxesAndWritesThem) {
    ASSERT_TRUE(handler.Open_File(recording_path));
    Form_heat_competitors& w = Open_Window();
    // The boxes differ from the header when they were filled before it changed.
    handler.Set_Hdx_Dog_name(4, "Changed elsewhere");
    traces.lines.clear();
    w.Command_update->click();
    EXPECT_EQ(handler.Hdx_Dog_name(4), "Recorded 4");
    EXPECT_EQ(Header_Writes(), 1);
    w.close();
    EXPECT_EQ(Header_Writes(), 1);
    handler.Close_File();
    EXPECT_EQ(Stored_Name(4), "Recorded 4");
}

}  // namespace
