#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QPalette>
#include <QTest>

#include "Test_Env.h"
#include "Test_Name.h"
#include "platform/Clipboard.h"
#include "platform/Files.h"
#include "platform/PictureBox.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Font_Fit.h"
#include "review/Crossing_Estimate.h"
#include "review/Form_Hdx_Results.h"
#include "review/IResults_Host.h"
#include "review/Module_Results.h"
#include "review/Official_Record.h"
#include "review/Paint_Box.h"
#include "review/Review_Session.h"
#include "settings/Module_Ini.h"
#include "common/Startup_Facts.h"

namespace {

using Platform::MsgResult;

// The main window as the results window sees it: every call is written down;
// corrections go to a real review session as the main window's do.
struct Host_Recorder : IResults_Host {
    cls_VideoFile_handler* Review_Handler() override { return handler; }
    const Heat_Result* Reviewed_Result() override { return handler && session ? &session->Result() : nullptr; }
    bool Correct_Name(Result_Name what, int16_t box, const std::string& value) override {
        calls.push_back("Correct_Name");
        const std::optional<std::string> reason =
            Official_Record::Ask_Reason(session->Official(), Review_Session::What(what, box));
        return reason && session->Correct_Name(what, box, value, *reason).done;
    }
    bool Correct_Box_Delay(int32_t ms) override {
        calls.push_back("Correct_Box_Delay");
        const std::optional<std::string> reason = Official_Record::Ask_Reason(session->Official(), "the box delay");
        return reason && session->Set_Box_Delay(ms, *reason).done;
    }
    bool Declare_Official() override {
        calls.push_back("Declare_Official");
        return session->Declare().done;
    }
    void GoTo_rank(int rank) override { calls.push_back("GoTo_rank " + std::to_string(rank)); }
    void GoTo_Box(int rank) override { calls.push_back("GoTo_Box " + std::to_string(rank)); }
    void Goto_SplitTime(int rank) override { calls.push_back("Goto_SplitTime " + std::to_string(rank)); }
    void Clear_all_Results() override { calls.push_back("Clear_all_Results"); }
    void Set_Print_Dog_Name(const std::string& name) override { calls.push_back("Set_Print_Dog_Name " + name); }
    void Focus_Slider() override { calls.push_back("Focus_Slider"); }
    void Print_Results(QWidget& window) override {
        calls.push_back("Print_Results");
        printed = &window;
    }
    cls_VideoFile_handler* handler = nullptr;
    std::unique_ptr<Review_Session> session;
    std::vector<std::string> calls;
    QWidget* printed = nullptr;
};

// Scripted dialogs that also keep the text an input box was pre-filled with.
struct Prefill_Dialogs : Platform::ScriptedDialogs {
    std::optional<std::string> Input_Box(const std::string& prompt, const std::string& title,
                                         const std::string& default_text) override {
        prefills.push_back(default_text);
        return ScriptedDialogs::Input_Box(prompt, title, default_text);
    }
    std::vector<std::string> prefills;
};

struct Box_Times {
    int32_t goal, split, click;
    bool dead_heat;
    const char* name;
};

std::string Text(const QLabel* label) { return label->text().toStdString(); }

class Results_Test : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        Platform::Set_Dialogs(&prefill);
        saved_ini_ = Facts().Ini_file_path;
        Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
        path = Platform::Join_Path(Temp_Dir(), "heat.nx3");
    }
    void TearDown() override {
        host.session.reset();
        form.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        handler.Close_File();
        Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = saved_ini_; });
        Hdx_Test::TearDown();
    }

    // A header-only recording of the heat with these boxes 1..6, opened for review.
    void Record(const std::array<Box_Times, 6>& boxes) {
        {
            cls_VideoFile_handler writer;
            writer.Set_Cropped_X(64);
            writer.Set_Cropped_Y(48);
            ASSERT_TRUE(writer.Initiate_NX3_File(path));
            writer.Set_Hdx_event("Spring Cup");
            writer.Set_Hdx_Heat_ID("7");
            writer.Set_Hdx_Heat_Name("Opening sprint");
            writer.Set_Hdx_start_DateTime("2026-12-09 19:30:05");
            for (int16_t b = 1; b <= 6; ++b) {
                const Box_Times& t = boxes[static_cast<size_t>(b - 1)];
                writer.Set_Hdx_Dog_name(b, t.name);
                writer.Set_Hdx_Heat_time(b, false, t.goal);
                writer.Set_Hdx_Heat_time(b, true, t.split);
                writer.Set_Hdx_Heat_Click_Time(b, t.click);
                writer.Set_Hdx_dead_heat(b, t.dead_heat);
            }
            ASSERT_TRUE(writer.Write_XML_Header());
            writer.Close_File();
        }
        ASSERT_TRUE(handler.Open_File(path));
        host.handler = &handler;
    }

    // The ordinary heat: a dead heat for second place, a dog without split,
    // a split code, a DNF and a DSQ.
    void Record_Heat() {
        Record({Box_Times{28450, 12000, 100, false, "Rex"}, Box_Times{29000, 0, 200, false, "Bo"},
                Box_Times{29000, 0, 300, true, "Cleo"}, Box_Times{30500, No_Rank_Code, 400, false, "Dash"},
                Box_Times{DNF_Code, 0, 500, false, "Echo"}, Box_Times{DSQ_Code, 0, 600, false, "Fang"}});
    }

    Form_Hdx_Results& Load() {
        form = std::make_unique<Form_Hdx_Results>(host);
        form->Form_Load();
        return *form;
    }

    // What the main window does: a review session of the recording (made with
    // this box delay), whose every change the window shows.
    void Show(int32_t box_delay = 0) {
        if (box_delay != Heat_Results::Recorded_Box_Delay(handler))
            handler.Set_Hdx_box_delay(std::to_string(box_delay));
        host.session = std::make_unique<Review_Session>(handler, Review_Session::Arming{});
        QObject::connect(host.session.get(), &Review_Session::Changed, form.get(),
                         [this] { form->Display(host.session->Result()); });
        form->Display(host.session->Result());
    }

    std::string Header_On_Disk(const char* what) {
        cls_VideoFile_handler reader;
        EXPECT_TRUE(reader.Open_File(path));
        const std::string s = std::string(what) == "event"  ? reader.Hdx_event()
                              : std::string(what) == "heat" ? reader.Hdx_Heat_Name()
                                                            : reader.Hdx_Dog_name(std::stoi(what));
        reader.Close_File();
        return s;
    }

    Prefill_Dialogs prefill;
    Host_Recorder host;
    cls_VideoFile_handler handler;
    std::unique_ptr<Form_Hdx_Results> form;
    std::string path;

private:
    std::string saved_ini_;
};

// ---------------------------------------------------------------------------
// loading, clearing, filling

TEST_F(Results_Test, LoadingShowsAnEmptyWindowWithoutTheDebugMenu) {
    Form_Hdx_Results& f = Load();
    EXPECT_EQ(f.windowTitle(), "Houndex HDMI Results");
    EXPECT_EQ(f.objectName(), "Form_Hdx_Results");
    EXPECT_TRUE(f.isVisible());
    EXPECT_FALSE(f.menu_debug->menuAction()->isVisible());
    EXPECT_TRUE(traces.Has("*Form_Load, begin Form_Hdx_Results"));
    EXPECT_TRUE(traces.Has("*Form_Load, end Form_Hdx_Results"));
    for (const char* name :
         {"Label_rank_0", "Label_name_5", "Label_time_3", "Label_Split_2", "Picture_box_4", "Shape_dead_circle_1",
          "Label_event_name", "Label_Heat_ID", "Label_Heat_name", "Label_heat_started", "Label_header",
          "Label_box_delay", "Label_Houndex", "Label_printed", "Picture1", "Frame_event", "Frame_heat"})
        EXPECT_NE(f.findChild<QWidget*>(name), nullptr) << name;
    EXPECT_EQ(Text(f.Label_header), "Rank Dog    Name                         Time      Split");
    EXPECT_EQ(Text(f.Label_Houndex), "Houndex dog race timing system");
    EXPECT_TRUE(f.Label_box_delay->isHidden());
    std::vector<std::string> items;
    for (QAction* a : f.menu_form->actions()) items.push_back(a->text().toStdString());
    EXPECT_EQ(items, (std::vector<std::string>{"Print", "Hide", "Clear all results", "Export results to Clipboard",
                                               "Save results...", "Declare official", "Box delay of this heat..."}));
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(Results_Test, ClearingEmptiesTheHeatAndResetsEveryRow) {
    Record_Heat();
    Form_Hdx_Results& f = Load();
    Show(30);
    f.Clear_Results_Display();
    EXPECT_EQ(Text(f.Label_event_name), "");
    EXPECT_EQ(Text(f.Label_Heat_ID), "");
    EXPECT_EQ(Text(f.Label_Heat_name), "");
    EXPECT_EQ(f.Label_Heat_name->toolTip(), "");
    EXPECT_EQ(Text(f.Label_heat_started), "");
    EXPECT_TRUE(f.Label_box_delay->isHidden());
    for (int i = 0; i < Form_Hdx_Results::Rows; ++i) {
        const auto at = static_cast<size_t>(i);
        const QImage& square = f.Picture_box[at]->Canvas();
        EXPECT_EQ(square.pixelColor(square.width() / 2, square.height() / 2), f.Picture_box[at]->Back_Color());
        EXPECT_EQ(Text(f.Label_name[at]), "");
        EXPECT_EQ(f.Label_name[at]->toolTip(), "");
        EXPECT_EQ(Text(f.Label_time[at]), "00,00");
        EXPECT_EQ(Text(f.Label_Split[at]), "00,00");
        EXPECT_EQ(Text(f.Label_margin[at]), "");
        EXPECT_EQ(Text(f.Label_rank[at]), "");
        EXPECT_TRUE(f.Shape_dead_circle[at]->isHidden());
    }
    // The recording went with its results: nothing is exported.
    host.session.reset();
    Platform::Set_Clipboard_Text("before");
    f.Export_to_Clipboard();
    EXPECT_EQ(Platform::Clipboard_Text(), "before");
}

TEST_F(Results_Test, DisplayFillsTheHeatAndTheRankedRows) {
    Record_Heat();
    Crossing_Estimate::Store(handler, 1, 28447);  // Rex's crossing between two fields
    Form_Hdx_Results& f = Load();
    Show(30);
    EXPECT_EQ(Text(f.Label_event_name), "Spring Cup");
    EXPECT_EQ(Text(f.Label_Heat_ID), "7");
    EXPECT_EQ(Text(f.Label_Heat_name), "Opening sprint");
    EXPECT_EQ(f.Label_Heat_name->toolTip(), "Opening sprint");
    EXPECT_EQ(Text(f.Label_heat_started), "Started at: 2026-12-09 19:30:05");
    EXPECT_EQ(f.Label_event_name->font().pointSize(), 18);  // a short name keeps the size
    EXPECT_EQ(f.Label_Heat_name->font().pointSize(), 16);

    struct Row {
        const char* rank;
        bool circle;
        const char* name;
        const char* time;
        const char* split;
        const char* margin;  // behind the dog above, at 0.08 s a length
    };
    // A dog without a split shows none, whatever its result.
    const std::array<Row, 6> expected{{{"1", false, "Rex", "28,48", "12,03", ""},
                                       {"2", false, "Bo", "29,03", "", "7 lengths"},
                                       {"2", true, "Cleo", "29,03", "", "dead heat"},
                                       {"4", false, "Dash", "30,53", "", "18 3/4 lengths"},
                                       {"---", false, "Echo", "DNF", "", ""},
                                       {"---", false, "Fang", "DSQ", "", ""}}};
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Text(f.Label_rank[i]), expected[i].rank);
        EXPECT_EQ(!f.Shape_dead_circle[i]->isHidden(), expected[i].circle);
        EXPECT_EQ(Text(f.Label_name[i]), expected[i].name);
        EXPECT_EQ(f.Label_name[i]->toolTip().toStdString(), expected[i].name);
        EXPECT_EQ(f.Label_name[i]->font().pointSize(), 14);
        EXPECT_EQ(Text(f.Label_time[i]), expected[i].time);
        EXPECT_EQ(Text(f.Label_Split[i]), expected[i].split);
        EXPECT_EQ(Text(f.Label_margin[i]), expected[i].margin);
        EXPECT_EQ(Text(f.Label_estimate[i]), i == 0 ? "\u224828,477" : "") << "beside the time, with the box delay";
    }
    EXPECT_FALSE(f.Label_box_delay->isHidden());
    EXPECT_EQ(Text(f.Label_box_delay), "Box delay = 30ms");
    // The squares follow the ranking, not the row: box 4 (black) is ranked fourth.
    EXPECT_EQ(f.Picture_box[0]->Canvas().pixelColor(27, 2), QColor(181, 0, 0));
    EXPECT_EQ(f.Picture_box[3]->Canvas().pixelColor(27, 2), QColor(Qt::black));
    EXPECT_EQ(f.Picture_box[4]->Canvas().pixelColor(27, 2), QColor(231, 177, 27));
    EXPECT_TRUE(errors.errors.empty());
}

struct Delay_Case {
    int32_t delay;
    const char* label;  // "" hidden
    const char* time;
    friend void PrintTo(const Delay_Case& c, std::ostream* os) { *os << c.delay; }
};

class Results_Delay_Test : public Results_Test, public ::testing::WithParamInterface<Delay_Case> {};

TEST_P(Results_Delay_Test, TheBoxDelayIsAddedAndNamedOnlyWhenPositive) {
    Record_Heat();
    Form_Hdx_Results& f = Load();
    Show(GetParam().delay);
    EXPECT_EQ(Text(f.Label_time[0]), GetParam().time);
    EXPECT_EQ(f.Label_box_delay->isHidden(), std::string(GetParam().label).empty());
    if (!f.Label_box_delay->isHidden()) {
        EXPECT_EQ(Text(f.Label_box_delay), GetParam().label);
    }
}

INSTANTIATE_TEST_SUITE_P(Delays, Results_Delay_Test,
                         ::testing::Values(Delay_Case{0, "", "28,45"}, Delay_Case{1, "Box delay = 1ms", "28,45"},
                                           Delay_Case{30, "Box delay = 30ms", "28,48"}, Delay_Case{-10, "", "28,44"}),
                         [](const auto& param_info) {
                             const int32_t d = param_info.param.delay;
                             return "Delay" + (d < 0 ? "Minus" + std::to_string(-d) : std::to_string(d)) + "ms";
                         });

TEST_F(Results_Test, ADeadHeatMarkOnTheWinnerShowsRankOne) {
    Record({Box_Times{28000, 0, 100, true, "A"}, Box_Times{28000, 0, 200, true, "B"},
            Box_Times{29000, 0, 300, false, "C"}, Box_Times{0, 0, 0, false, "D"}, Box_Times{0, 0, 0, false, "E"},
            Box_Times{0, 0, 0, false, ""}});
    Form_Hdx_Results& f = Load();
    Show();
    EXPECT_EQ(Text(f.Label_rank[0]), "1");
    EXPECT_FALSE(f.Shape_dead_circle[0]->isHidden());
    EXPECT_EQ(Text(f.Label_rank[1]), "1");
    EXPECT_EQ(Text(f.Label_rank[2]), "3");
    EXPECT_EQ(Text(f.Label_rank[3]), "---");
    EXPECT_EQ(Text(f.Label_time[3]), "---,---");
}

TEST_F(Results_Test, LongNamesAreShrunkToFitTheirLabels) {
    Record({Box_Times{28000, 0, 100, false, "Ballyregan Bob of the Seven Windy Hills"},
            Box_Times{29000, 0, 200, false, "Bo"}, Box_Times{0, 0, 0, false, ""}, Box_Times{0, 0, 0, false, ""},
            Box_Times{0, 0, 0, false, ""}, Box_Times{0, 0, 0, false, ""}});
    handler.Set_Hdx_event("The Grand Autumn Championship Meeting of the Northern Greyhound Racing Clubs");
    handler.Set_Hdx_Heat_Name("Consolation final for the dogs that did not make it into the big final");
    Form_Hdx_Results& f = Load();
    Show();
    for (QLabel* label : {f.Label_event_name, f.Label_Heat_name}) {
        const QFontMetrics fm(label->font());
        EXPECT_TRUE(fm.horizontalAdvance(label->text()) < 0.9 * label->width() || label->font().pointSize() <= 7)
            << label->objectName().toStdString() << " size " << label->font().pointSize();
        EXPECT_LT(label->font().pointSize(), label == f.Label_event_name ? 18 : 16);
    }
    QLabel& name = *f.Label_name[0];
    EXPECT_LT(name.font().pointSize(), 14);
    EXPECT_LE(QFontMetrics(name.font()).horizontalAdvance(name.text()), name.width());
    EXPECT_EQ(f.Label_name[1]->font().pointSize(), 14);
    // Shown again with a short name, the name gets its full size back.
    handler.Set_Hdx_Dog_name(1, "Rex");
    Show();
    EXPECT_EQ(f.Label_name[0]->font().pointSize(), 14);
}

// ---------------------------------------------------------------------------
// export

TEST_F(Results_Test, ExportPutsTheShownRowsOnTheClipboardAndShowsThem) {
    Record_Heat();
    Form_Hdx_Results& f = Load();
    Show(30);
    Platform::Set_Clipboard_Text("something else");
    f.item_export_to_clipboard->trigger();
    const std::string expected =
        "Heat7\r\n"
        "1\tRex\t28,48\t12,03\r\n"
        "2\tBo\t29,03\r\n"  // no split: no split column
        "2\tCleo\t29,03\r\n"
        "4\tDash\t30,53\r\n"
        "---\tEcho\tDNF\r\n"
        "---\tFang\tDSQ\r\n";
    EXPECT_EQ(Platform::Clipboard_Text(), expected);
    ASSERT_EQ(prefill.shown.size(), 1u);
    EXPECT_EQ(prefill.shown[0].text, expected);
    EXPECT_EQ(prefill.shown[0].title, "Houndex results export");
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(Results_Test, ExportSkipsRowsWithoutAName) {
    Record({Box_Times{28000, 11000, 100, false, "A"}, Box_Times{0, 0, 0, false, ""},
            Box_Times{DSQ_Code, 0, 0, false, "Naughty"}, Box_Times{0, 0, 0, false, ""}, Box_Times{0, 0, 0, false, ""},
            Box_Times{0, 0, 0, false, ""}});
    Form_Hdx_Results& f = Load();
    Show();
    f.Export_to_Clipboard();
    EXPECT_EQ(Platform::Clipboard_Text(), "Heat7\r\n1\tA\t28,00\t11,00\r\n---\tNaughty\tDSQ\r\n");
}

// ---------------------------------------------------------------------------
// jumps

struct Click_Case {
    const char* label;
    QWidget* (*target)(Form_Hdx_Results&);
    Qt::MouseButton button;
    std::vector<std::string> calls;
    friend void PrintTo(const Click_Case& c, std::ostream* os) { *os << c.label; }
};

class Results_Click_Test : public Results_Test, public ::testing::WithParamInterface<Click_Case> {};

TEST_P(Results_Click_Test, AClickJumpsToTheRowAndGivesTheSliderTheFocus) {
    Record_Heat();
    Form_Hdx_Results& f = Load();
    Show();
    host.calls.clear();
    QWidget* target = GetParam().target(f);
    // On the window itself: its bottom right margin, clear of every control.
    const QPoint at = target == &f ? QPoint(f.width() - 2, f.height() - 2) : QPoint(5, 5);
    QTest::mouseClick(target, GetParam().button, {}, at);
    EXPECT_EQ(host.calls, GetParam().calls);
    EXPECT_TRUE(prefill.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Controls, Results_Click_Test,
    ::testing::Values(
        Click_Case{"Rank3",
                   [](Form_Hdx_Results& f) -> QWidget* { return f.Label_rank[2]; },
                   Qt::LeftButton,
                   {"Set_Print_Dog_Name Cleo", "GoTo_rank 3", "Focus_Slider"}},
        Click_Case{"Name5",
                   [](Form_Hdx_Results& f) -> QWidget* { return f.Label_name[4]; },
                   Qt::LeftButton,
                   {"GoTo_rank 5", "Focus_Slider"}},
        Click_Case{"NameMiddle",
                   [](Form_Hdx_Results& f) -> QWidget* { return f.Label_name[1]; },
                   Qt::MiddleButton,
                   {"GoTo_rank 2", "Focus_Slider"}},
        Click_Case{"Box1",
                   [](Form_Hdx_Results& f) -> QWidget* { return f.Picture_box[0]; },
                   Qt::LeftButton,
                   {"GoTo_Box 1", "Focus_Slider"}},
        Click_Case{"Box6",
                   [](Form_Hdx_Results& f) -> QWidget* { return f.Picture_box[5]; },
                   Qt::RightButton,
                   {"GoTo_Box 6", "Focus_Slider"}},
        Click_Case{"Split2",
                   [](Form_Hdx_Results& f) -> QWidget* { return f.Label_Split[1]; },
                   Qt::LeftButton,
                   {"Goto_SplitTime 2", "Focus_Slider"}},
        Click_Case{
            "Time", [](Form_Hdx_Results& f) -> QWidget* { return f.Label_time[0]; }, Qt::LeftButton, {"Focus_Slider"}},
        Click_Case{"HeatID",
                   [](Form_Hdx_Results& f) -> QWidget* { return f.Label_Heat_ID; },
                   Qt::LeftButton,
                   {"Focus_Slider"}},
        Click_Case{"EventNameLeft",
                   [](Form_Hdx_Results& f) -> QWidget* { return f.Label_event_name; },
                   Qt::LeftButton,
                   {"Focus_Slider"}},
        Click_Case{"HeatFrame",
                   [](Form_Hdx_Results& f) -> QWidget* { return f.Frame_heat; },
                   Qt::LeftButton,
                   {"Focus_Slider"}},
        Click_Case{"Window", [](Form_Hdx_Results& f) -> QWidget* { return &f; }, Qt::LeftButton, {"Focus_Slider"}}),
    By_Name());

TEST_F(Results_Test, ARankPressedButReleasedElsewhereIsNoClick) {
    Record_Heat();
    Form_Hdx_Results& f = Load();
    Show();
    host.calls.clear();
    QTest::mousePress(f.Label_rank[0], Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(f.Label_rank[0], Qt::LeftButton, {}, QPoint(500, 5));
    EXPECT_EQ(host.calls, std::vector<std::string>{"Focus_Slider"});
}

// ---------------------------------------------------------------------------
// corrections

struct Correction_Case {
    const char* label;
    QWidget* (*target)(Form_Hdx_Results&);
    Qt::MouseButton button;
    const char* prompt;
    const char* prefilled;
    const char* stored;              // header value changed: "event", "heat" or a box number
    std::vector<std::string> calls;  // host calls after a change
    friend void PrintTo(const Correction_Case& c, std::ostream* os) { *os << c.label; }
};

const Correction_Case Correction_Cases[] = {
    {"EventRight",
     [](Form_Hdx_Results& f) -> QWidget* { return f.Label_event_name; },
     Qt::RightButton,
     "Change Event name",
     "Spring Cup",
     "event",
     {"Correct_Name"}},
    {"EventMiddle",
     [](Form_Hdx_Results& f) -> QWidget* { return f.Label_event_name; },
     Qt::MiddleButton,
     "Change Event name",
     "Spring Cup",
     "event",
     {"Correct_Name"}},
    {"HeatRight",
     [](Form_Hdx_Results& f) -> QWidget* { return f.Label_Heat_name; },
     Qt::RightButton,
     "Change heat name",
     "Opening sprint",
     "heat",
     {"Correct_Name"}},
    // Rank 4 is box 4; rank 2 is box 2, rank 3 box 3 (the dead heat).
    {"DogRank3",
     [](Form_Hdx_Results& f) -> QWidget* { return f.Label_name[2]; },
     Qt::RightButton,
     "Change dog name",
     "Cleo",
     "3",
     {"Correct_Name"}},
    {"DogRank6",
     [](Form_Hdx_Results& f) -> QWidget* { return f.Label_name[5]; },
     Qt::RightButton,
     "Change dog name",
     "Fang",
     "6",
     {"Correct_Name"}},
};

class Results_Correction_Test : public Results_Test, public ::testing::WithParamInterface<Correction_Case> {
protected:
    std::string Stored(cls_VideoFile_handler& h) {
        const std::string what = GetParam().stored;
        return what == "event" ? h.Hdx_event() : what == "heat" ? h.Hdx_Heat_Name() : h.Hdx_Dog_name(std::stoi(what));
    }
};

TEST_P(Results_Correction_Test, TheAnswerIsWrittenIntoTheRecording) {
    const Correction_Case& c = GetParam();
    Record_Heat();
    Form_Hdx_Results& f = Load();
    Show();
    host.calls.clear();
    prefill.Answer_Input("Changed name");
    QTest::mouseClick(c.target(f), c.button, {}, QPoint(5, 5));
    ASSERT_EQ(prefill.shown.size(), 1u);
    EXPECT_EQ(prefill.shown[0].kind, "input");
    EXPECT_EQ(prefill.shown[0].text, c.prompt);
    EXPECT_EQ(prefill.shown[0].title, "Houndex results");
    EXPECT_EQ(prefill.prefills, std::vector<std::string>{c.prefilled});
    EXPECT_EQ(host.calls, c.calls);  // the release of the press is no jump
    EXPECT_EQ(Stored(handler), "Changed name");
    // On disk, as a second reader sees it.
    EXPECT_EQ(Header_On_Disk(c.stored), "Changed name");
    EXPECT_TRUE(errors.errors.empty());
}

TEST_P(Results_Correction_Test, AnEmptyOrCancelledAnswerChangesNothing) {
    const Correction_Case& c = GetParam();
    Record_Heat();
    Form_Hdx_Results& f = Load();
    Show();
    const std::string before = Read_Text(path);
    for (std::optional<std::string> answer : {std::optional<std::string>{}, std::optional<std::string>{""}}) {
        host.calls.clear();
        prefill.Answer_Input(answer);
        QTest::mouseClick(c.target(f), c.button, {}, QPoint(5, 5));
        EXPECT_TRUE(host.calls.empty());
    }
    EXPECT_EQ(prefill.shown.size(), 2u);
    EXPECT_EQ(Stored(handler), c.prefilled);
    EXPECT_EQ(Read_Text(path), before);
}

TEST_P(Results_Correction_Test, AReadOnlyRecordingIsRefusedAndLeftAsItWas) {
    const Correction_Case& c = GetParam();
    Record_Heat();
    handler.Close_File();
    ASSERT_TRUE(Platform::Set_Read_Only(path, true));
    ASSERT_TRUE(handler.Open_File(path));
    ASSERT_TRUE(handler.Read_only());
    const std::string before = Read_Text(path);
    Form_Hdx_Results& f = Load();
    Show();
    host.calls.clear();
    prefill.Answer_Input("Changed name");
    QTest::mouseClick(c.target(f), c.button, {}, QPoint(5, 5));
    EXPECT_EQ(prefill.Messages(), std::vector<std::string>{"File is Read Only!\r\nThis file can't be changed"});
    EXPECT_EQ(prefill.input_answers.size(), 1u);  // never asked
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(Stored(handler), c.prefilled);
    EXPECT_EQ(Read_Text(path), before);
}

TEST_P(Results_Correction_Test, AnOfficialHeatChangesOnlyWithAReasonThatGoesIntoTheTrail) {
    const Correction_Case& c = GetParam();
    Record_Heat();
    Official_Record::Declare(handler);
    Form_Hdx_Results& f = Load();
    Show();
    prefill.Answer_Input("Changed name");
    prefill.Answer_Input(std::nullopt);  // no reason
    QTest::mouseClick(c.target(f), c.button, {}, QPoint(5, 5));
    EXPECT_EQ(Stored(handler), c.prefilled);
    EXPECT_EQ(prefill.Messages(), std::vector<std::string>{Official_Record::Refusal_Text});
    EXPECT_TRUE(Official_Record::Read_Trail(path).empty());

    prefill.Answer_Input("Changed name");
    prefill.Answer_Input("misspelt in the programme");
    QTest::mouseClick(c.target(f), c.button, {}, QPoint(5, 5));
    EXPECT_EQ(Header_On_Disk(c.stored), "Changed name");
    const std::vector<Official_Record::Change> trail = Official_Record::Read_Trail(path);
    ASSERT_EQ(trail.size(), 1u);
    const std::string stored = c.stored;
    EXPECT_EQ(trail[0].what, stored == "event"  ? "event name"
                             : stored == "heat" ? "heat name"
                                                : "box " + stored + " dog name");
    EXPECT_EQ(trail[0].old_value, c.prefilled);
    EXPECT_EQ(trail[0].new_value, "Changed name");
    EXPECT_EQ(trail[0].reason, "misspelt in the programme");
    EXPECT_TRUE(f.Label_audit->text().contains("misspelt in the programme"));
}

INSTANTIATE_TEST_SUITE_P(Labels, Results_Correction_Test, ::testing::ValuesIn(Correction_Cases), By_Name());

struct Save_Case {
    const char* name;
    const char* chosen;   // the file name answered, inside the test folder
    const char* written;  // the file that must exist afterwards
};

class Results_Save_Test : public Results_Test, public ::testing::WithParamInterface<Save_Case> {};

// The same heat as CSV or JSON, chosen by the suffix; without one it is CSV.
TEST_P(Results_Save_Test, SaveResultsWritesTheShownHeatInTheChosenFormat) {
    const Save_Case& c = GetParam();
    Record_Heat();
    Form_Hdx_Results& f = Load();
    Show(30);
    const std::string folder = Temp_Dir();
    prefill.Answer_File(Platform::Join_Path(folder, c.chosen));
    f.item_save_results->trigger();
    const std::string text = Read_Text(Platform::Join_Path(folder, c.written));
    ASSERT_FALSE(text.empty()) << c.written;
    std::vector<std::string> dogs;
    if (QString(c.written).endsWith(".json", Qt::CaseInsensitive)) {
        const QJsonObject heat = QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
        EXPECT_EQ(heat["box_delay_ms"].toInt(), 30);
        for (const QJsonValue& r : heat["results"].toArray()) dogs.push_back(r["dog"].toString().toStdString());
    } else {
        EXPECT_EQ(text.rfind("event,heat_id,", 0), 0u);
        // No field before the dog is quoted here: the seventh comma-separated field is the dog.
        for (size_t at = text.find("\r\n"); at + 2 < text.size(); at = text.find("\r\n", at + 2)) {
            std::string line = text.substr(at + 2, text.find("\r\n", at + 2) - at - 2);
            for (int field = 0; field < 6; ++field) line.erase(0, line.find(',') + 1);
            dogs.push_back(line.substr(0, line.find(',')));
        }
    }
    EXPECT_EQ(dogs, (std::vector<std::string>{"Rex", "Bo", "Cleo", "Dash", "Echo", "Fang"}));
    EXPECT_TRUE(prefill.Messages().empty());
}

const Save_Case Save_Cases[] = {
    {"csv", "heat 7.csv", "heat 7.csv"},
    {"json", "heat 7.JSON", "heat 7.JSON"},
    {"no suffix", "heat 7", "heat 7.csv"},
};
INSTANTIATE_TEST_SUITE_P(Formats, Results_Save_Test, ::testing::ValuesIn(Save_Cases), By_Name());

TEST_F(Results_Test, DeclaringOfficialAsksThenShowsTheHashAndIsRefusedOnAReadOnlyOrOfficialHeat) {
    Record_Heat();
    Form_Hdx_Results& f = Load();
    Show();
    EXPECT_EQ(Text(f.Label_official), "Provisional");
    f.item_declare_official->trigger();  // Cancel is the default
    EXPECT_FALSE(Official_Record::Read_Declaration(handler).official);

    prefill.Answer_Message(MsgResult::OK);
    f.item_declare_official->trigger();
    const Official_Record::Declaration d = Official_Record::Read_Declaration(handler);
    ASSERT_TRUE(d.official);
    EXPECT_EQ(Text(f.Label_official), Official_Record::Declaration_Text(d));
    f.item_declare_official->trigger();
    EXPECT_EQ(prefill.Messages().back(), "Heat 7 was declared official at " + d.declared_at);

    handler.Close_File();
    ASSERT_TRUE(Platform::Set_Read_Only(path, true));
    path = Platform::Join_Path(Temp_Dir(), "heat.nx3");
    Record_Heat();
    handler.Close_File();
    ASSERT_TRUE(Platform::Set_Read_Only(path, true));
    ASSERT_TRUE(handler.Open_File(path));
    const std::string before = Read_Text(path);
    f.item_declare_official->trigger();
    EXPECT_EQ(prefill.Messages().back(), "File is Read Only!\r\nThis file can't be changed");
    EXPECT_EQ(Read_Text(path), before);
    EXPECT_FALSE(Platform::File_Exists(Official_Record::Audit_Path(path)));
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(Results_Test, WithoutARecordingNothingIsCorrected) {
    Record_Heat();
    Form_Hdx_Results& f = Load();
    Show();
    host.handler = nullptr;
    QTest::mouseClick(f.Label_event_name, Qt::RightButton, {}, QPoint(5, 5));
    QTest::mouseClick(f.Label_name[0], Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_TRUE(prefill.shown.empty());
    EXPECT_EQ(handler.Hdx_event(), "Spring Cup");
}

TEST_F(Results_Test, ANameRowThatShowsNoDogIsNotCorrected) {
    Record_Heat();
    Form_Hdx_Results& f = Load();  // cleared: no row shows a box
    QTest::mouseClick(f.Label_name[0], Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_TRUE(prefill.shown.empty());
}

// ---------------------------------------------------------------------------
// menu

TEST_F(Results_Test, ClearingAllResultsAsksFirstAndCancelIsTheDefault) {
    Form_Hdx_Results& f = Load();
    f.item_clear_results->trigger();  // unanswered: the default
    EXPECT_TRUE(host.calls.empty());
    prefill.Answer_Message(MsgResult::Cancel);
    f.item_clear_results->trigger();
    EXPECT_TRUE(host.calls.empty());
    prefill.Answer_Message(MsgResult::OK);
    f.item_clear_results->trigger();
    EXPECT_EQ(host.calls, std::vector<std::string>{"Clear_all_Results"});
    ASSERT_EQ(prefill.shown.size(), 3u);
    for (const auto& shown : prefill.shown) {
        EXPECT_EQ(shown.text, "Clearing all results, are you sure?");
        EXPECT_EQ(shown.title, "Houndex clearing results");
        EXPECT_EQ(shown.buttons, Platform::MsgButtons::OKCancel);
    }
}

TEST_F(Results_Test, PrintHideAndPaintBoxes) {
    Form_Hdx_Results& f = Load();
    f.item_print->trigger();
    EXPECT_EQ(host.calls, std::vector<std::string>{"Print_Results"});
    EXPECT_EQ(host.printed, &f);
    f.item_paint_boxes->trigger();
    const QColor backs[] = {QColor(181, 0, 0), QColor(64, 116, 202), QColor(Qt::white),
                            QColor(Qt::black), QColor(231, 177, 27), QColor(Qt::white)};
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(f.Picture_box[i]->Canvas().pixelColor(27, 2), backs[i]) << i;
    f.item_hide->trigger();
    EXPECT_FALSE(f.isVisible());
}

TEST_F(Results_Test, ThePositionIsKeptFromOneRunToTheNext) {
    Form_Hdx_Results& f = Load();
    f.move(120, 90);
    f.resize(900, 640);  // wider than the rows with their margin column
    f.close();
    const std::string stored = Read_Ini("windowpos", "Form_Hdx_Results", Facts().Ini_file_path, "");
    EXPECT_EQ(stored, std::to_string(f.x()) + "," + std::to_string(f.y()) + ",900,640");
    form.reset();
    Form_Hdx_Results& again = Load();
    EXPECT_EQ(again.pos(), QPoint(120, 90));
    EXPECT_EQ(again.size(), QSize(900, 640));
}

struct Beside_Case {
    const char* name;
    QRect owner;
    QRect screen;
    QPoint expected;
};
void PrintTo(const Beside_Case& c, std::ostream* os) { *os << c.name; }
class Beside_Test : public ::testing::TestWithParam<Beside_Case> {};

TEST_P(Beside_Test, TheWindowGoesBesideTheMainWindowAndStaysOnTheScreen) {
    const Beside_Case& c = GetParam();
    EXPECT_EQ(Form_Hdx_Results::Beside(c.owner, QSize(580, 500), c.screen), c.expected);
}
INSTANTIATE_TEST_SUITE_P(
    Screens, Beside_Test,
    ::testing::Values(
        Beside_Case{"RoomToTheRight", {0, 0, 922, 1074}, {0, 0, 1920, 1080}, {930, 0}},
        Beside_Case{"RoomToTheLeftOnly", {1000, 100, 900, 700}, {0, 0, 1920, 1080}, {412, 100}},
        Beside_Case{"NoRoomBesideItOverItsLowerRight", {0, 0, 1136, 768}, {0, 0, 1366, 768}, {786, 268}},
        Beside_Case{"AMainWindowLowOnTheScreenKeepsTheWindowOnIt", {0, 500, 700, 500}, {0, 0, 1366, 768}, {708, 268}}),
    By_Name());

TEST_F(Results_Test, EachColumnHeadingStandsOverItsColumn) {
    Record_Heat();
    Form_Hdx_Results& f = Load();
    Show();
    QCoreApplication::processEvents();
    const QImage heading = f.Label_header->grab().toImage();
    const int origin = f.Label_header->mapTo(&f, QPoint(0, 0)).x();
    const QWidget* columns[] = {f.Label_rank[0]->parentWidget(),
                                f.Picture_box[0],
                                f.Label_name[0],
                                f.Label_time[0],
                                f.Label_Split[0],
                                f.Label_margin[0]};
    for (const QWidget* column : columns) {
        const int x = column->mapTo(&f, QPoint(0, 0)).x() - origin;
        int ink = 0;
        for (int px = x; px < x + 12 && px < heading.width(); ++px)
            for (int py = 0; py < heading.height(); ++py) ink += heading.pixelColor(px, py).lightness() < 100;
        EXPECT_GT(ink, 5) << "no heading over " << column->objectName().toStdString() << " at x " << x;
    }
}

// ---------------------------------------------------------------------------
// the painter and the font fitting

struct Colour_Case {
    int box;
    QColor back;
    QColor number;
    friend void PrintTo(const Colour_Case& c, std::ostream* os) { *os << c.box; }
};

class Paint_Box_Test : public Hdx_Test, public ::testing::WithParamInterface<Colour_Case> {};

TEST_P(Paint_Box_Test, EachBoxHasItsRacingColours) {
    const Colour_Case& c = GetParam();
    Platform::PictureBox box;
    box.Set_Canvas_Size(60, 60);
    box.Set_Back_Color(Qt::green);
    box.Box(0, 0, 60, 60, Qt::magenta, true);  // whatever was there before goes
    Result_Record record;
    record.Box = static_cast<int16_t>(c.box);
    Paint_box(box, record);
    const QImage& img = box.Canvas();
    // The right-hand corner is clear of the number.
    EXPECT_EQ(img.pixelColor(57, 2), c.back);
    if (c.box == 6) {
        const QColor shadow = QApplication::palette().color(QPalette::Dark);
        EXPECT_EQ(img.pixelColor(57, 20).rgb(), shadow.rgb());  // 1/4 .. 1/2
        EXPECT_EQ(img.pixelColor(57, 50).rgb(), shadow.rgb());  // 3/4 .. bottom
        EXPECT_EQ(img.pixelColor(57, 59).rgb(), shadow.rgb());
        EXPECT_EQ(img.pixelColor(57, 40), QColor(Qt::white));
        EXPECT_EQ(img.pixelColor(57, 10), QColor(Qt::white));
    }
    // The number is drawn in its colour on the left (none for other boxes).
    int number_pixels = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 35; ++x) number_pixels += img.pixelColor(x, y) == c.number;
    if (c.box >= 1 && c.box <= 6) {
        EXPECT_GT(number_pixels, 20);
    } else {
        EXPECT_EQ(number_pixels, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Boxes, Paint_Box_Test,
                         ::testing::Values(Colour_Case{1, QColor(181, 0, 0), QColor(Qt::white)},
                                           Colour_Case{2, QColor(64, 116, 202), QColor(Qt::white)},
                                           Colour_Case{3, QColor(Qt::white), QColor(Qt::black)},
                                           Colour_Case{4, QColor(Qt::black), QColor(Qt::white)},
                                           Colour_Case{5, QColor(231, 177, 27), QColor(Qt::black)},
                                           Colour_Case{6, QColor(Qt::white), QColor(255, 0, 0)},
                                           Colour_Case{0, QColor(Qt::green), QColor(Qt::magenta)},
                                           Colour_Case{7, QColor(Qt::green), QColor(Qt::magenta)}),
                         [](const auto& param_info) { return "Box" + std::to_string(param_info.param.box); });

TEST_F(Hdx_Test, PaintBoxSizesTheNumberToThePictureHeight) {
    for (int height : {20, 60, 120}) {
        Platform::PictureBox box;
        box.Set_Canvas_Size(height, height);
        Paint_box(box, 3);
        const QFont font = box.Font();
        EXPECT_EQ(font.family(), "Arial");
        EXPECT_TRUE(font.bold());
        EXPECT_LT(0.9 * box.Text_Height("8"), height);
        if (font.pointSize() < 64) {
            QFont larger = font;
            larger.setPointSize(font.pointSize() + 1);
            box.Set_Font(larger);
            EXPECT_GE(0.9 * box.Text_Height("8"), height) << height;
        }
    }
}

struct Max_Font_Case {
    int width, height;
    const char* text;
    friend void PrintTo(const Max_Font_Case& c, std::ostream* os) { *os << c.width << "x" << c.height; }
};

class Max_Font_Test : public Hdx_Test, public ::testing::WithParamInterface<Max_Font_Case> {};

TEST_P(Max_Font_Test, TheLargestEvenArialSizeThatFitsBothWays) {
    const Max_Font_Case& c = GetParam();
    Platform::PictureBox picture;
    picture.Set_Canvas_Size(c.width, c.height);
    picture.Set_Font(QFont("Times", 20, QFont::Bold));
    const int size = Max_Font(picture, c.text);
    EXPECT_EQ(size % 2, 0);
    EXPECT_GE(size, 8);
    EXPECT_LE(size, 110);
    EXPECT_EQ(picture.Font().family(), "Arial");
    EXPECT_TRUE(picture.Font().bold());  // the weight it was given stays
    auto fits = [&](int s) {
        QFont f = picture.Font();
        f.setPointSize(s);
        picture.Set_Font(f);
        return picture.Text_Width(c.text) < picture.Scale_Width() &&
               picture.Text_Height(c.text) < picture.Scale_Height();
    };
    if (size > 8) {
        EXPECT_TRUE(fits(size));
    }
    if (size < 110) {
        EXPECT_FALSE(fits(size + 2));
    }
}

INSTANTIATE_TEST_SUITE_P(Pictures, Max_Font_Test,
                         ::testing::Values(Max_Font_Case{260, 30, "Rex"},
                                           Max_Font_Case{260, 30, "Ballyregan Bob the Great"},
                                           Max_Font_Case{2000, 400, "A"}, Max_Font_Case{30, 5, "Much too long a name"},
                                           Max_Font_Case{600, 90, "Medium sized"}),
                         [](const auto& param_info) {
                             const Max_Font_Case& c = param_info.param;
                             return std::to_string(c.width) + "x" + std::to_string(c.height) + "_" + Test_Name(c.text);
                         });

TEST_F(Hdx_Test, MaxFontFallsBackToEightWhenNothingFits) {
    Platform::PictureBox picture;
    picture.Set_Canvas_Size(10, 4);
    EXPECT_EQ(Max_Font(picture, "Nothing fits in here"), 8);
    EXPECT_EQ(picture.Font().pointSize(), 8);
}

struct Fit_Case {
    int start;
    int width;
    const char* text;
    int expected;  // -1: the first size of the steps that fits
};

TEST_F(Hdx_Test, FitFontSizeStepsDownByTwoUntilItFitsOrReachesSeven) {
    const Fit_Case cases[] = {
        {18, 600, "Cup", 18},                                                      // fits at once
        {18, 50, "A name far too long for a narrow label in any size at all", 6},  // 18,16,...,8,6: floor
        {17, 50, "A name far too long for a narrow label in any size at all", 7},
        {16, 200, "Opening heat of the day", -1},
        {5, 10, "Too long", 5},  // already small
    };
    for (const Fit_Case& c : cases) {
        QLabel label(c.text);
        QFont f("Arial");
        f.setPointSize(c.start);
        label.setFont(f);
        label.setFixedWidth(c.width);
        Fit_Font_Size(label);
        const int got = label.font().pointSize();
        SCOPED_TRACE(c.text);
        if (c.expected >= 0) {
            EXPECT_EQ(got, c.expected);
            continue;
        }
        EXPECT_EQ((c.start - got) % 2, 0);
        EXPECT_LT(QFontMetrics(label.font()).horizontalAdvance(label.text()), 0.9 * c.width);
        f.setPointSize(got + 2);
        EXPECT_GE(QFontMetrics(f).horizontalAdvance(label.text()), 0.9 * c.width);
    }
}

}  // namespace
