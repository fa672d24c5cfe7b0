// Review of recordings written by the real writer, through the real main
// window offscreen: opening, navigation, goal lines, time assignment and results.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

#include "Test_Pictures.h"
#include "Test_Env.h"
#include "capture/SimVideoCap.h"
#include "capture/Video_Cap_Factory.h"
#include "controlbox/Control_Box_Factory.h"
#include "event/Module_Event_File.h"
#include "platform/Files.h"
#include "platform/System_Info.h"
#include "platform/PictureBox.h"
#include "recording/NX3_Layout.h"
#include "recording/cls_VideoFile_handler.h"
#include "diagnostics/Diagnostics_Commands.h"
#include "event/Form_heat_competitors.h"
#include "review/Crossing_Estimate.h"
#include "review/Form_Finish_Strip.h"
#include "review/Form_Hdx_Results.h"
#include "review/Module_Results.h"
#include "review/Official_Record.h"
#include "review/Results_Feed.h"
#include "../web/Web_Test_Support.h"
#include "printing/IPrint_Host.h"
#include "settings/Form_Houndex_settings.h"
#include "settings/Module_Ini.h"
#include "shell/Form_Houndex.h"
#include "shell/Start_Sound.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"
#include "platform/Find_Control.h"

using Platform::Control;

namespace {

constexpr int32_t kStart = 50000;  // the heat's start stamp in every recording here

struct Recording_Spec {
    int width = 64;
    int height = 96;
    int frames = 10;
    int fps = 25;
    std::string compensation = "200";
    std::string goal_line = "32,9,32,86";
    std::string split_line = "20,5,40,90";
    std::string box_delay = "0";
};

class ReviewTest : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        g_Use_Event_File = false;
        Set_Control_Box_Option("sim");
        Start_Sound::Set_Player([](const QByteArray&) {});
        Set_Video_Cap_Factory([]() -> std::unique_ptr<IVideoCap> {
            return std::make_unique<SimVideoCap>(Sim_Pacing::Stepped, SimVideoCap::Default_Name,
                                                 std::vector<Sim_Format>{{640, 960, 25, true}});
        });
        dir = Temp_Dir();
        Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
        Write_Ini("Settings", "save_folder", dir, Facts().Ini_file_path);
    }
    void TearDown() override {
        form.reset();
        Form_Houndex_settings::Unload();
        Set_Video_Cap_Factory({});
        Start_Sound::Set_Player({});
        Hdx_Test::TearDown();
    }

    // A recording with frames captured every frame period from 1000 ms after the start.
    std::string Record(const std::string& name, const Recording_Spec& spec = {}) {
        const std::string path = Platform::Join_Path(dir, name);
        cls_VideoFile_handler h;
        h.Set_Cropped_X(spec.width);
        h.Set_Cropped_Y(spec.height);
        h.Set_RGB_interlaced(spec.fps <= 40);
        EXPECT_TRUE(h.Initiate_NX3_File(path));
        h.Set_Running_Fps(static_cast<int16_t>(spec.fps));
        h.Set_Hdx_event("Autumn Derby");
        h.Set_Hdx_Heat_ID("7");
        h.Set_Hdx_Heat_Name("Puppy Stakes");
        h.Set_Hdx_Heat_Length("480");
        h.Set_Hdx_Goal_compensation(spec.compensation);
        h.Set_Hdx_Goal_Finish(spec.goal_line);
        h.Set_Hdx_Goal_Split(spec.split_line);
        h.Set_Hdx_box_delay(spec.box_delay);
        h.Set_Hdx_start_PC_mill(kStart);
        for (int16_t box = 1; box <= 6; ++box) h.Set_Hdx_Dog_name(box, "Dog " + std::to_string(box));
        EXPECT_TRUE(h.Write_XML_Header());
        h.Close_File();
        Frame_List frames;
        for (int i = 0; i < spec.frames; ++i) {
            cDIBSection p;
            EXPECT_TRUE(p.Create(spec.width, spec.height));
            Fill_Noise(p, static_cast<uint32_t>(i + 1), 20);
            frames.Add(p, Frame_Mill(i, spec.fps), 0, 1000 / spec.fps);
        }
        EXPECT_EQ(h.Append_Stored_Frames(frames), spec.frames);
        h.Close_File();
        return path;
    }
    static int32_t Frame_Mill(int index, int fps) { return kStart + 1000 + index * (1000 / fps); }
    // The elapsed time of a field of a default recording (25 f/s, compensation 200).
    static int32_t Field_Time(int field) {
        return Frame_Mill((field + 1) / 2 - 1, 25) - kStart + 2 + (field % 2 == 0 ? 20 : 0) - 200;
    }
    // Changes the header of a written recording and writes it back.
    void Edit_Header(const std::string& path, const std::function<void(cls_VideoFile_handler&)>& edit) {
        cls_VideoFile_handler h;
        ASSERT_TRUE(h.Open_File(path));
        edit(h);
        ASSERT_TRUE(h.Write_XML_Header());
        h.Close_File();
    }

    void Load() {
        form = std::make_unique<Form_Houndex>();
        ASSERT_TRUE(form->Form_Load());
        Events();
    }
    void Open(const std::string& path) {
        form->Handle_Open(path);
        Events();
        ASSERT_TRUE(form->Review_File_Open()) << path;
    }
    void Show(int position) { Control<QSlider>(*form, "Slider_play")->setValue(position); }
    static void Events() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }
    void Click_Box(int box) {
        clock.Advance(1000);
        Control<QPushButton>(*form, "Command_BOX_set_time", static_cast<size_t>(box - 1))->click();
    }
    std::unique_ptr<cls_VideoFile_handler> Reader(const std::string& path) {
        auto r = std::make_unique<cls_VideoFile_handler>();
        EXPECT_TRUE(r->Open_File(path));
        return r;
    }
    QString Results_Label(const char* name, int row) {
        auto* form_results = form->findChild<Form_Hdx_Results*>();
        if (!form_results) return "no results window";
        auto* l = form_results->findChild<QLabel*>(QString("%1_%2").arg(name).arg(row));
        return l ? l->text() : QString("no label");
    }

    std::unique_ptr<Form_Houndex> form;
    std::string dir;
};

// --- Opening and the elapsed time ------------------------------------------------------

TEST_F(ReviewTest, ElapsedTimeIsCaptureMinusStartPlusTwoPlusTwentyForTheSecondFieldMinusCompensation) {
    struct Case {
        std::string compensation;
        double value;
    };
    for (const Case& c : {Case{"200", 200.0}, Case{"0", 0.0}, Case{"12.5", 12.5}, Case{"13.5", 13.5}}) {
        SCOPED_TRACE(c.compensation);
        Recording_Spec spec;
        spec.compensation = c.compensation;
        const std::string path = Record("elapsed" + c.compensation + ".nx3", spec);
        Load();
        Open(path);
        ASSERT_TRUE(form->Field_Mode());
        ASSERT_EQ(Control<QSlider>(*form, "Slider_play")->maximum(), 2 * spec.frames);
        for (int field = 1; field <= 2 * spec.frames; ++field) {
            Show(field);
            const int frame = (field + 1) / 2 - 1;
            const double exact = (Frame_Mill(frame, 25) - kStart) + 2 + (field % 2 == 0 ? 20 : 0) - c.value;
            const int32_t expected = static_cast<int32_t>(std::nearbyint(exact));
            ASSERT_EQ(form->Heat_Elapsed(), expected) << "field " << field;
            EXPECT_EQ(Control<QLabel>(*form, "Label_heat_time")->text().toStdString(),
                      Display_Mill_Time(expected, false));
            EXPECT_EQ(Control<QLabel>(*form, "Label_field")->text().toInt(), field);
        }
        form.reset();
    }
}

TEST_F(ReviewTest, WithTheSampleOverlayEveryFieldShowsAndStoresItsOwnTime) {
    struct Case {
        const char* name;
        bool overlay_fails;  // the header lost its creation date: the overlay stops half way
    };
    for (const Case& c : {Case{"intact", false}, Case{"no_creation_date", true}}) {
        SCOPED_TRACE(c.name);
        const std::string path = Record(std::string(c.name) + ".nx3");
        if (c.overlay_fails)
            Edit_Header(path, [](cls_VideoFile_handler& h) {
                std::string xml = h.Header().XML_string();
                const size_t from = xml.find("<creation_date>");
                const size_t to = xml.find("</creation_date>");
                ASSERT_NE(to, std::string::npos);
                xml.erase(from, to + std::string("</creation_date>").size() - from);
                h.Header().Set_XML_string(xml);
            });
        Load();
        Open(path);
        Control<QAction>(*form, "item_display_sample_data")->setChecked(true);
        errors.errors.clear();
        for (int field : {3, 4, 9}) {
            Show(field);
            EXPECT_EQ(form->Heat_Elapsed(), Field_Time(field)) << "field " << field;
            EXPECT_EQ(Control<QLabel>(*form, "Label_heat_time")->text().toStdString(),
                      Display_Mill_Time(Field_Time(field), false));
        }
        Click_Box(2);
        EXPECT_EQ(Reader(path)->Hdx_Heat_time(2, false), Field_Time(9));
        EXPECT_EQ(errors.errors.empty(), !c.overlay_fails);
        form.reset();
    }
}

TEST_F(ReviewTest, ADamagedFrameHasNoTimeAndTakesNoClickWhileItsNeighboursKeepTheirOwn) {
    struct Case {
        const char* name;
        int fps;
        int32_t offset;            // into the sample of frame 5
        const char* bytes;         // written there
        std::vector<int> damaged;  // its positions
    };
    const Case cases[] = {
        {"NoSampleMark", 25, NX3::Sample::Start_Delimiter, "XXXX", {9, 10}},
        {"JpegDoesNotDecode", 25, NX3::Sample::Data, "not a JPEG stream", {9, 10}},
        {"NoSampleMarkFrameByFrame", 50, NX3::Sample::Start_Delimiter, "XXXX", {5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording_Spec spec;
        spec.fps = c.fps;
        const std::string path = Record(std::string(c.name) + ".nx3", spec);
        std::string bytes = Read_Text(path);
        const int64_t at = NX3::Sample_Offset(5, Reader(path)->Read_Sample_Size()) + c.offset;
        bytes.replace(static_cast<size_t>(at), std::strlen(c.bytes), c.bytes);
        Platform::Write_File_Atomic(path, bytes);
        const bool fields = c.fps <= 40;
        auto own_time = [&](int p) { return fields ? Field_Time(p) : Frame_Mill(p - 1, c.fps) - kStart + 2 - 200; };
        const int first = c.damaged.front() - 1, last = c.damaged.back() + 1;

        Load();
        Open(path);
        dialogs.Clear();
        for (int p = first - 1; p <= last + 1; ++p) {
            Show(p);
            const bool damaged = std::find(c.damaged.begin(), c.damaged.end(), p) != c.damaged.end();
            EXPECT_EQ(Control<QLabel>(*form, "Label_heat_time")->text().toStdString(),
                      damaged ? "--" : Display_Mill_Time(own_time(p), false))
                << "position " << p;
            // The damaged-frame picture is pure blue round its text.
            EXPECT_EQ(
                Control<Platform::PictureBox>(*form, "Picture_out")->Canvas().pixelColor(1, 1) == QColor(0, 0, 255),
                damaged)
                << "position " << p;
        }
        Show(first);
        Click_Box(1);
        Show(c.damaged.front());
        Click_Box(2);
        Show(last);
        Click_Box(3);
        auto r = Reader(path);
        EXPECT_EQ(r->Hdx_Heat_time(1, false), own_time(first));
        EXPECT_EQ(r->Hdx_Heat_time(2, false), 0);
        EXPECT_EQ(r->Hdx_heat_frame(2), 0);
        EXPECT_EQ(r->Hdx_Heat_time(3, false), own_time(last));
        EXPECT_EQ(dialogs.beeps, 1);
        EXPECT_TRUE(
            traces.Has("*Command_BOX_set_time_Click, position " + std::to_string(c.damaged.front()) + " has no time"));
        // A jump by time passes over it.
        form->Goto_Time(own_time(first) + 1);
        EXPECT_EQ(Control<QSlider>(*form, "Slider_play")->value(), last);
        form.reset();
    }
}

TEST_F(ReviewTest, RatesUpToFortyAreReviewedByFieldsAndAboveByFrames) {
    struct Case {
        int fps;
        bool fields;
    };
    for (const Case& c : {Case{25, true}, Case{40, true}, Case{41, false}, Case{50, false}}) {
        SCOPED_TRACE(c.fps);
        Recording_Spec spec;
        spec.fps = c.fps;
        spec.frames = 6;
        const std::string path = Record("rate" + std::to_string(c.fps) + ".nx3", spec);
        Load();
        Open(path);
        EXPECT_EQ(form->Field_Mode(), c.fields);
        EXPECT_EQ(Control<QSlider>(*form, "Slider_play")->minimum(), 1);
        EXPECT_EQ(Control<QSlider>(*form, "Slider_play")->maximum(), c.fields ? 12 : 6);
        EXPECT_EQ(Control<QSlider>(*form, "Slider_play")->value(), 1);
        form.reset();
    }
}

TEST_F(ReviewTest, OpeningShowsTheHeatAndTheCaptionAndReadOnlyIsMarked) {
    const std::string path = Record("shown.nx3");
    Load();
    Open(path);
    EXPECT_EQ(Control<QLabel>(*form, "Label_read_framesize")->text(), "64*96");
    EXPECT_EQ(Control<QLineEdit>(*form, "Text_filename")->text().toStdString(), path);
    EXPECT_EQ(Control<QLabel>(*form, "Label_heat_num")->text(), "7");
    EXPECT_EQ(Control<QLabel>(*form, "Label_heat_name")->text(), "Puppy Stakes");
    EXPECT_EQ(Control<QLabel>(*form, "Label_event")->text(), "Autumn Derby");
    EXPECT_EQ(Control<QLabel>(*form, "Label_event")->toolTip(), "Autumn Derby");
    EXPECT_EQ(Control<QLabel>(*form, "Label_heat_length")->text(), "480 m");
    EXPECT_EQ(form->windowTitle().toStdString(), "Houndex HDMI " + path);
    EXPECT_FALSE(Control<QGroupBox>(*form, "Frame_settimes")->isHidden());
    EXPECT_EQ(Control<QGroupBox>(*form, "Frame_settimes")->title(), "Set Goal times");
    EXPECT_EQ(Read_Ini("Settings", "last_folder", Facts().Ini_file_path, ""), dir);
    EXPECT_EQ(form->Goal_Lines()[1].P1.X, 32);
    EXPECT_EQ(form->Goal_Lines()[2].P2.Y, 90);

    form->Do_Close();
    EXPECT_FALSE(form->Review_File_Open());
    EXPECT_TRUE(Control<QGroupBox>(*form, "Frame_settimes")->isHidden());
    EXPECT_EQ(form->windowTitle().toStdString(), "Houndex HDMI");
    EXPECT_TRUE(Control<QLineEdit>(*form, "Text_filename")->text().isEmpty());

    ASSERT_TRUE(Platform::Set_Read_Only(path, true));
    Open(path);
    EXPECT_EQ(form->windowTitle().toStdString(), "Houndex HDMI " + path + "(read-only)");
}

TEST_F(ReviewTest, FailedOpensAndEmptyRecordingsSayWhyAndLeaveNothingOpen) {
    Load();
    const std::string junk = Platform::Join_Path(dir, "junk.nx3");
    Platform::Write_File_Atomic(junk, std::string(5000, 'x'));
    form->Handle_Open(junk);
    EXPECT_FALSE(form->Review_File_Open());
    EXPECT_EQ(dialogs.Messages().back(), "File open failed");

    Recording_Spec spec;
    spec.frames = 0;
    cls_VideoFile_handler h;
    const std::string empty = Platform::Join_Path(dir, "empty.nx3");
    h.Set_Cropped_X(64);
    h.Set_Cropped_Y(96);
    ASSERT_TRUE(h.Initiate_NX3_File(empty));
    h.Close_File();
    form->Handle_Open(empty);
    EXPECT_FALSE(form->Review_File_Open());
    EXPECT_EQ(dialogs.Messages().back(), "No video in this file!");

    Write_Ini("Settings", "last_file", Platform::Join_Path(dir, "gone.nx3"), Facts().Ini_file_path);
    form->item_last_heat_Click();
    EXPECT_EQ(dialogs.Messages().back(), "No last file found! Try using normal file open.");
    const std::string good = Record("last.nx3");
    Write_Ini("Settings", "last_file", good, Facts().Ini_file_path);
    form->item_last_heat_Click();
    EXPECT_TRUE(form->Review_File_Open());
    EXPECT_TRUE(traces.Has("item_last_heat_Click"));
}

TEST_F(ReviewTest, ATallRecordingKeepsItsAspectRatioAndASmallOneIsShownOneToOne) {
    Load();
    const int allowance = form->Max_Picture_Height();
    ASSERT_GT(allowance, 100);
    Recording_Spec tall;
    tall.width = 200;
    tall.height = allowance + 200;
    tall.frames = 2;
    Open(Record("tall.nx3", tall));
    EXPECT_EQ(Control<Platform::PictureBox>(*form, "Picture_out")->height(), allowance);
    const double ratio = static_cast<double>(tall.height) / tall.width;
    EXPECT_NEAR(Control<Platform::PictureBox>(*form, "Picture_out")->width(), allowance / ratio, 1.0);

    Open(Record("small.nx3"));
    EXPECT_EQ(Control<Platform::PictureBox>(*form, "Picture_out")->width(), 64);
    EXPECT_EQ(Control<Platform::PictureBox>(*form, "Picture_out")->height(), 96);
}

TEST_F(ReviewTest, XStretchWidensThePictureAndKeepsThePosition) {
    Load();
    Open(Record("stretch.nx3"));
    Show(5);
    form->item_extension_Click(2);
    EXPECT_EQ(Control<Platform::PictureBox>(*form, "Picture_out")->width(), 128);
    EXPECT_TRUE(Control<QAction>(*form, "item_extension", 2)->isChecked());
    EXPECT_FALSE(Control<QAction>(*form, "item_extension", 0)->isChecked());
    form->item_extension_Click(1);
    EXPECT_EQ(Control<Platform::PictureBox>(*form, "Picture_out")->width(), 96);
    EXPECT_EQ(Control<QSlider>(*form, "Slider_play")->value(), 5);
    form->item_extension_Click(0);
    EXPECT_EQ(Control<Platform::PictureBox>(*form, "Picture_out")->width(), 64);
}

TEST_F(ReviewTest, XStretchReadsItsCaptionTheSameUnderACommaLocale) {
    // Debian installs no locale with a decimal comma: one is built for the test.
    const std::string locales = Temp_Dir();
    const std::string build = "localedef -i de_DE -f UTF-8 \"" + locales + "/de_DE.UTF-8\" >/dev/null 2>&1";
    if (std::system(build.c_str()) != 0) GTEST_SKIP() << "no locale with a decimal comma can be built here";
    const QByteArray kept_path = qgetenv("LOCPATH");
    qputenv("LOCPATH", QByteArray::fromStdString(locales));
    const std::string kept = std::setlocale(LC_NUMERIC, nullptr);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
    Load();
    Open(Record("stretch_comma.nx3"));
    form->item_extension_Click(1);
    const int one_and_a_half = Control<Platform::PictureBox>(*form, "Picture_out")->width();
    form->item_extension_Click(2);
    const int twice = Control<Platform::PictureBox>(*form, "Picture_out")->width();
    std::setlocale(LC_NUMERIC, kept.c_str());
    if (kept_path.isNull())
        qunsetenv("LOCPATH");
    else
        qputenv("LOCPATH", kept_path);
    EXPECT_EQ(one_and_a_half, 96);
    EXPECT_EQ(twice, 128);
}

// --- Slider and jumps --------------------------------------------------------------------

TEST_F(ReviewTest, APressNearTheSlidersStartShowsTheFirstPosition) {
    Load();
    Open(Record("slider.nx3"));
    Control<QSlider>(*form, "Slider_play")->resize(300, 24);
    for (int x : {0, 5, 11}) {
        Show(15);
        QTest::mousePress(Control<QSlider>(*form, "Slider_play"), Qt::LeftButton, Qt::NoModifier, QPoint(x, 12));
        QTest::mouseRelease(Control<QSlider>(*form, "Slider_play"), Qt::LeftButton, Qt::NoModifier, QPoint(x, 12));
        EXPECT_EQ(Control<QSlider>(*form, "Slider_play")->value(), 1) << x;
        EXPECT_EQ(Control<QLabel>(*form, "Label_field")->text(), "1");
    }
    Show(15);
    QTest::mousePress(Control<QSlider>(*form, "Slider_play"), Qt::LeftButton, Qt::NoModifier, QPoint(200, 12));
    QTest::mouseRelease(Control<QSlider>(*form, "Slider_play"), Qt::LeftButton, Qt::NoModifier, QPoint(200, 12));
    EXPECT_NE(Control<QSlider>(*form, "Slider_play")->value(), 1);
}

TEST_F(ReviewTest, TheHandleAtTheStartOfARecordingCanBeGrabbedAndDragged) {
    Load();
    Open(Record("slider_grab.nx3"));
    QSlider* slider = Control<QSlider>(*form, "Slider_play");
    slider->resize(300, 24);
    for (int x : {2, 6, 10}) {
        Show(1);
        ASSERT_EQ(slider->value(), 1);
        QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, QPoint(x, 12));
        QMouseEvent drag(QEvent::MouseMove, QPointF(200, 12), slider->mapToGlobal(QPointF(200, 12)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(slider, &drag);
        QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, QPoint(200, 12));
        EXPECT_GT(slider->value(), 1) << "pressed at " << x;
        EXPECT_EQ(Control<QLabel>(*form, "Label_field")->text().toInt(), slider->value());
    }
}

TEST_F(ReviewTest, GotoTimeStopsAtTheFirstPositionReachingTheTarget) {
    Load();
    Open(Record("goto.nx3"));
    // Field f of frame k shows 1000 + 40k + 2 (+20) - 200.
    struct Case {
        int32_t target;
        int position;
    };
    for (const Case& c :
         {Case{0, 1}, Case{802, 1}, Case{803, 2}, Case{822, 2}, Case{823, 3}, Case{1000, 11}, Case{999990, 20}}) {
        Show(7);
        form->Goto_Time(c.target);
        EXPECT_EQ(Control<QSlider>(*form, "Slider_play")->value(), c.position) << c.target;
    }
}

// No event runs while a heat is hashed for its declaration: an "Open last
// heat" queued meanwhile opens the other heat after it, and the declaration
// stays in the heat it was made for.
TEST_F(ReviewTest, DeclaringOfficialRunsNoEventsWhileTheFramesAreHashed) {
    Load();
    const std::string declared = Record("declared.nx3"), other = Record("other.nx3");
    Open(declared);
    std::optional<bool> declared_when_the_other_opened;
    QTimer::singleShot(0, form.get(), [&] {
        declared_when_the_other_opened = Official_Record::Read_Declaration(*Reader(declared)).official;
        form->Handle_Open(other);
    });
    ASSERT_TRUE(form->Declare_Official());
    EXPECT_FALSE(declared_when_the_other_opened.has_value()) << "an event ran during the hash";
    QTest::qWait(50);
    EXPECT_EQ(declared_when_the_other_opened, std::optional<bool>(true));
    EXPECT_TRUE(Official_Record::Read_Declaration(*Reader(declared)).official);
    EXPECT_FALSE(Official_Record::Read_Declaration(*Reader(other)).official);
}

TEST_F(ReviewTest, JumpsToARanksPositionOrSplitAndBeepWithoutOne) {
    Load();
    const std::string path = Record("jumps.nx3");
    Open(path);
    Show(9);
    Click_Box(4);  // box 4 first at field 9
    Show(13);
    Click_Box(2);             // box 2 second at field 13
    form->Cmd_Split_Click();  // split mode
    Show(5);
    Click_Box(2);  // box 2's split at field 5
    ASSERT_EQ(form->Session()->Result().Ranked[0].Box, 4);
    ASSERT_EQ(form->Session()->Result().Ranked[1].Box, 2);

    dialogs.Clear();
    form->GoTo_rank(1);
    EXPECT_EQ(Control<QSlider>(*form, "Slider_play")->value(), 9);
    form->GoTo_Box(2);
    EXPECT_EQ(Control<QSlider>(*form, "Slider_play")->value(), 13);
    form->Goto_SplitTime(2);
    EXPECT_EQ(Control<QSlider>(*form, "Slider_play")->value(), 5);
    EXPECT_EQ(dialogs.beeps, 0);

    Show(3);
    form->GoTo_rank(3);       // no position stored
    form->Goto_SplitTime(1);  // no split
    EXPECT_EQ(Control<QSlider>(*form, "Slider_play")->value(), 3);
    EXPECT_EQ(dialogs.beeps, 2);
}

TEST_F(ReviewTest, PositionsBeyondSixteenBitsAreStoredAndJumpedToAsShown) {
    Recording_Spec spec;
    spec.width = 16;
    spec.height = 16;
    spec.frames = 16400;  // 32800 fields
    const std::string path = Record("long.nx3", spec);
    Load();
    Open(path);
    ASSERT_EQ(Control<QSlider>(*form, "Slider_play")->maximum(), 32800);
    const int positions[] = {32767, 32768, 32800};  // boxes 1, 2, 3 in this order
    for (int box = 1; box <= 3; ++box) {
        Show(positions[box - 1]);
        Click_Box(box);
    }
    auto r = Reader(path);
    for (int box = 1; box <= 3; ++box) {
        EXPECT_EQ(r->Hdx_heat_frame(static_cast<int16_t>(box)), positions[box - 1]) << box;
        EXPECT_EQ(r->Hdx_Heat_time(static_cast<int16_t>(box), false), Field_Time(positions[box - 1])) << box;
        Show(1);
        form->GoTo_rank(box);
        EXPECT_EQ(Control<QSlider>(*form, "Slider_play")->value(), positions[box - 1]) << box;
    }
}

// --- Goal lines ---------------------------------------------------------------------------

TEST_F(ReviewTest, DraggingAGoalLinePointMovesItWithinThePictureAndSavesItOnRelease) {
    Load();
    Open(Record("drag.nx3"));
    form->Set_Goal_Line(1, {{30, 20}, {30, 70}});
    // A press 10 units left of point 1 grabs nothing: the move changes nothing.
    form->Picture_out_MouseDown(1, 0, 20, 20);
    form->Picture_out_MouseMove(1, 0, 25, 25);
    form->Picture_out_MouseUp(1, 0, 25, 25);
    EXPECT_EQ(form->Goal_Lines()[1].P1.X, 30);
    EXPECT_EQ(Read_Ini("Goal_Lines", "goal_Line1", Facts().Ini_file_path, "N/A"), "N/A");

    // 10 units right grabs it; dragging to x = 0 and beyond stops at the last inside place.
    form->Picture_out_MouseDown(1, 0, 40, 20);
    form->Picture_out_MouseMove(1, 0, 30, 21);  // candidate (20, 21)
    form->Picture_out_MouseMove(1, 0, 10, 21);  // candidate (0, 21): outside
    form->Picture_out_MouseMove(1, 0, -30, 22);
    form->Picture_out_MouseUp(1, 0, -30, 22);
    EXPECT_EQ(form->Goal_Lines()[1].P1.X, 20);
    EXPECT_EQ(form->Goal_Lines()[1].P1.Y, 21);
    EXPECT_EQ(Read_Ini("Goal_Lines", "goal_Line1", Facts().Ini_file_path, "N/A"), "20,21,30,70");

    // A press and release without a move writes nothing.
    Write_Ini("Goal_lines", "Goal_line1", "untouched", Facts().Ini_file_path);
    form->Picture_out_MouseDown(1, 0, 21, 22);
    form->Picture_out_MouseUp(1, 0, 21, 22);
    EXPECT_EQ(Read_Ini("Goal_Lines", "goal_Line1", Facts().Ini_file_path, "N/A"), "untouched");

    // No camera selected: the press only beeps.
    dialogs.Clear();
    form->Option_selected_camera_Click(0);
    form->Picture_out_MouseDown(1, 0, 40, 20);
    EXPECT_EQ(dialogs.beeps, 1);
}

TEST_F(ReviewTest, OnAShrunkOrStretchedPictureTheLineIsDrawnAndDraggedInRecordingPixels) {
    Load();
    struct Case {
        const char* name;
        int width, height;
        int stretch;  // X-stretch item
    };
    const Case cases[] = {{"ShrunkToTheScreen", 200, 2 * form->Max_Picture_Height(), 0},
                          {"StretchedTwice", 64, 96, 2},
                          {"StretchedOneAndAHalf", 64, 96, 1}};
    const QColor goal(128, 0, 129);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording_Spec spec;
        spec.width = c.width;
        spec.height = c.height;
        spec.frames = 2;
        const int32_t bottom = c.height - 10;
        spec.goal_line = "20,10,40," + std::to_string(bottom);
        const std::string path = Record(std::string(c.name) + ".nx3", spec);
        Open(path);
        form->item_extension_Click(c.stretch);
        const double sx = static_cast<double>(Control<Platform::PictureBox>(*form, "Picture_out")->width()) / c.width;
        const double sy = static_cast<double>(Control<Platform::PictureBox>(*form, "Picture_out")->height()) / c.height;
        ASSERT_TRUE(sx != 1 || sy != 1);

        // The middle of the recorded line, where it is on the screen.
        const int mx = static_cast<int>(std::lround(30 * sx));
        const int my = static_cast<int>(std::lround((10 + bottom) / 2.0 * sy));
        const QImage& canvas = Control<Platform::PictureBox>(*form, "Picture_out")->Canvas();
        EXPECT_TRUE(canvas.pixelColor(mx - 1, my) == goal || canvas.pixelColor(mx, my) == goal ||
                    canvas.pixelColor(mx + 1, my) == goal);

        // Point 1 dragged away and back onto the recorded line leaves it as recorded ...
        const double px = 20 * sx, py = 10 * sy;
        form->Picture_out_MouseDown(1, 0, px, py);
        form->Picture_out_MouseMove(1, 0, px + 15, py + 9);
        form->Picture_out_MouseMove(1, 0, px, py);
        form->Picture_out_MouseUp(1, 0, px, py);
        EXPECT_EQ(form->Goal_Lines()[1], Goal_Line::Parse_Header_Line(spec.goal_line));
        EXPECT_EQ(Read_Ini("Goal_Lines", "goal_Line1", Facts().Ini_file_path, "N/A"), spec.goal_line);
        // ... and a point moved on the screen is saved in recording pixels.
        const double qx = 40 * sx, qy = bottom * sy;
        form->Picture_out_MouseDown(1, 0, qx, qy);
        form->Picture_out_MouseMove(1, 0, qx + 10, qy - 8);
        form->Picture_out_MouseUp(1, 0, qx + 10, qy - 8);
        const std::string moved = "20,10," + std::to_string(Goal_Line::Round_Even(40 + 10 / sx)) + "," +
                                  std::to_string(Goal_Line::Round_Even(bottom - 8 / sy));
        EXPECT_EQ(Read_Ini("Goal_Lines", "goal_Line1", Facts().Ini_file_path, "N/A"), moved);
        EXPECT_EQ(Reader(path)->Hdx_Goal_Finish(), spec.goal_line);
        form->item_extension_Click(0);
    }
}

TEST_F(ReviewTest, ChoosingTheActiveCameraRedrawsTheReviewedPositionAtOnce) {
    Load();
    Open(Record("camera.nx3"));
    Show(5);
    // The line moved as a drag moves it: the picture shows it from the next redraw on.
    form->Set_Goal_Line(1, {{10, 9}, {10, 86}});
    for (int camera : {2, 1}) {
        Control<Platform::PictureBox>(*form, "Picture_out")->Cls();
        form->Option_selected_camera_Click(camera);
        EXPECT_EQ(Control<Platform::PictureBox>(*form, "Picture_out")->Canvas().pixelColor(10, 50).name(),
                  QColor(128, 0, 129).name())
            << camera;
        EXPECT_EQ(Control<QLabel>(*form, "Label_field")->text(), "5");
    }
}

TEST_F(ReviewTest, ASavedSplitLineIsReadBackAtTheNextStartAndAnOpenReplacesItWithTheHeaders) {
    Load();
    Open(Record("split_line.nx3"));
    form->Cmd_Split_Click();
    ASSERT_EQ(form->Selected_Camera(), 2);
    form->Set_Goal_Line(2, {{20, 30}, {40, 60}});
    form->Picture_out_MouseDown(1, 0, 41, 61);
    form->Picture_out_MouseMove(1, 0, 44, 64);
    form->Picture_out_MouseUp(1, 0, 44, 64);
    EXPECT_EQ(Read_Ini("Goal_lines", "Goal_line2", Facts().Ini_file_path, "N/A"), "20,30,43,63");
    form.reset();

    Load();
    EXPECT_EQ(Goal_Line::Line_Text(form->Goal_Lines()[2]), "20,30,43,63");
    Open(Record("other.nx3"));
    EXPECT_EQ(Goal_Line::Line_Text(form->Goal_Lines()[2]), "20,5,40,90");
}

TEST_F(ReviewTest, ResetPutsTheLineUprightInTheMiddle) {
    Load();
    Recording_Spec spec;
    spec.width = 640;
    spec.height = 480;
    spec.frames = 1;
    Open(Record("reset.nx3", spec));
    ASSERT_EQ(Control<Platform::PictureBox>(*form, "Picture_out")->Scale_Width(), 640);
    form->Reset_Goal_Line(1);
    EXPECT_EQ(Goal_Line::Line_Text(form->Goal_Lines()[1]), "320,48,320,432");
    form->Set_Goal_Line(2, {{1, 2}, {3, 4}});
    form->Reset_Goal_Line(0);
    EXPECT_EQ(Goal_Line::Line_Text(form->Goal_Lines()[2]), "1,2,3,4");
}

TEST_F(ReviewTest, TheReviewedLineIsDrawnInTheColourOfItsMode) {
    Load();
    Recording_Spec spec;
    spec.goal_line = "10,5,10,90";
    spec.split_line = "50,5,50,90";
    Open(Record("colours.nx3", spec));
    const QImage& canvas = Control<Platform::PictureBox>(*form, "Picture_out")->Canvas();
    EXPECT_EQ(QColor(canvas.pixel(10, 40)), QColor(128, 0, 129));
    form->Cmd_Split_Click();
    EXPECT_EQ(QColor(canvas.pixel(50, 40)), QColor(255, 255, 0));
    EXPECT_NE(QColor(canvas.pixel(10, 40)), QColor(128, 0, 129));
}

// --- Time assignment ----------------------------------------------------------------------

TEST_F(ReviewTest, EveryAssignmentIsOnDiskWhenTheClickReturns) {
    Load();
    const std::string path = Record("disk.nx3");
    Open(path);
    Show(6);
    const int32_t shown = form->Heat_Elapsed();
    const int32_t click = clock.PC_Mill() + 1000;
    Click_Box(3);
    auto r = Reader(path);
    EXPECT_EQ(r->Hdx_Heat_time(3, false), shown);
    EXPECT_EQ(r->Hdx_heat_frame(3), 6);
    EXPECT_EQ(r->Hdx_Heat_Click_Time(3), click);
    EXPECT_FALSE(r->Hdx_dead_heat(3));
    EXPECT_EQ(r->Hdx_Heat_time(3, true), 0);
}

TEST_F(ReviewTest, PlusOneHundredthAddsExactlyTenAndIsUsedUpByAnyClick) {
    Load();
    const std::string path = Record("hundredth.nx3");
    Open(path);
    for (bool split : {false, true}) {
        SCOPED_TRACE(split);
        if (split) form->Cmd_Split_Click();
        clock.Advance(400);
        Show(split ? 4 : 8);
        Control<QPushButton>(*form, "Cmd_add_hundredth")->click();
        EXPECT_TRUE(form->Plus_Hundredth());
        EXPECT_EQ(Control<QPushButton>(*form, "Cmd_add_hundredth")->palette().color(QPalette::Button),
                  QColor(255, 255, 0));
        Click_Box(1);
        EXPECT_FALSE(form->Plus_Hundredth());
        EXPECT_EQ(Control<QPushButton>(*form, "Cmd_add_hundredth")->palette().color(QPalette::Button),
                  QApplication::palette(Control<QPushButton>(*form, "Cmd_add_hundredth")).color(QPalette::Button));
        EXPECT_EQ(Reader(path)->Hdx_Heat_time(1, split), form->Heat_Elapsed() + 10);
    }
}

TEST_F(ReviewTest, ArmedNoTimeStoresTheCodeOfItsCaptionWithPositionAndClickTime) {
    Load();
    const std::string path = Record("notime.nx3");
    Open(path);
    struct Case {
        QAction* item;
        std::string caption;
        int32_t code;
    };
    int box = 1;
    for (const Case& c : {Case{Control<QAction>(*form, "item_disqualified"), "DSQ", 888887},
                          Case{Control<QAction>(*form, "item_DNF"), "DNF", 888886},
                          Case{Control<QAction>(*form, "item_NoRank"), "No Rnk", 888888}}) {
        c.item->trigger();
        EXPECT_EQ(Control<QPushButton>(*form, "Cmd_Notime")->text().toStdString(), c.caption);
        EXPECT_FALSE(form->No_Time_Armed());  // the pop-up only names the code
        Control<QPushButton>(*form, "Cmd_Notime")->click();
        Show(box + 2);
        const int32_t click = clock.PC_Mill() + 1000;
        Click_Box(box);
        auto r = Reader(path);
        EXPECT_EQ(r->Hdx_Heat_time(static_cast<int16_t>(box), false), c.code);
        EXPECT_EQ(r->Hdx_heat_frame(static_cast<int16_t>(box)), box + 2);
        EXPECT_EQ(r->Hdx_Heat_Click_Time(static_cast<int16_t>(box)), click);
        EXPECT_FALSE(form->No_Time_Armed());
        ++box;
    }
    // A plain click after that stores the time again.
    Show(2);
    Click_Box(1);
    EXPECT_EQ(Reader(path)->Hdx_Heat_time(1, false), form->Heat_Elapsed());
}

// The share of a button's pixels that are the armed yellow, as it is drawn on screen.
static double Yellow_Share(QPushButton* b) {
    const QImage image = b->grab().toImage();
    int yellow = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() > 200 && c.blue() < 120) ++yellow;
        }
    return static_cast<double>(yellow) / std::max(1, image.width() * image.height());
}

TEST_F(ReviewTest, ArmingButtonsLookArmedUntilABoxClickUsesThem) {
    Load();
    Open(Record("armed_look.nx3"));
    form->show();
    for (const char* name : {"Cmd_add_hundredth", "Cmd_Notime", "Cmd_DeadHeat"}) {
        SCOPED_TRACE(name);
        auto* button = Control<QPushButton>(*form, name);
        const QString caption = button->text();
        EXPECT_FALSE(button->isChecked());
        EXPECT_LT(Yellow_Share(button), 0.1);
        button->click();
        EXPECT_TRUE(button->isChecked());
        EXPECT_GT(Yellow_Share(button), 0.3);
        EXPECT_EQ(button->text(), caption);
        Show(5);
        Click_Box(1);
        EXPECT_FALSE(button->isChecked());
        EXPECT_LT(Yellow_Share(button), 0.1);
    }
}

TEST_F(ReviewTest, SpecialResultsAreChosenInSightAndTheCaptionReturnsAfterUse) {
    Load();
    const std::string path = Record("specials.nx3");
    Open(path);
    form->show();
    auto* no_time = Control<QPushButton>(*form, "Cmd_Notime");
    auto* choice = Control<QPushButton>(*form, "Cmd_Notime_choice");
    auto* menu = Control<QMenu>(*form, "Menu_notime");
    EXPECT_TRUE(choice->isVisible());
    EXPECT_TRUE(no_time->toolTip().contains("DSQ"));
    EXPECT_TRUE(choice->toolTip().contains("DSQ"));
    // A plain click on the arrow beside "No Time" offers the three results.
    choice->click();
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
    // And the menu bar offers them too, for the keyboard.
    QStringList offered;
    for (QAction* a : Control<QMenu>(*form, "Menu_assign_times")->actions())
        if (a->menu())
            for (QAction* in : a->menu()->actions()) offered << in->objectName();
    for (const char* item : {"item_disqualified", "item_DNF", "item_NoRank"})
        EXPECT_TRUE(offered.contains(item)) << item;

    struct Case {
        const char* item;
        QString caption;
        int box;
        QString shown;
    };
    for (const Case& c : {Case{"item_disqualified", "DSQ", 2, "DSQ"}, Case{"item_DNF", "DNF", 3, "DNF"},
                          Case{"item_NoRank", "No Rnk", 4, "No rank"}}) {
        SCOPED_TRACE(c.item);
        Control<QAction>(*form, c.item)->trigger();
        EXPECT_EQ(no_time->text(), c.caption);
        no_time->click();
        Show(c.box + 2);
        Click_Box(c.box);
        EXPECT_EQ(no_time->text(), "No Time");
        EXPECT_FALSE(form->No_Time_Armed());
        QString row_time;
        for (int row = 0; row < 6; ++row)
            if (Results_Label("Label_name", row) == QString("Dog %1").arg(c.box))
                row_time = Results_Label("Label_time", row);
        EXPECT_EQ(row_time, c.shown);
    }
    // Chosen and then clicked off again: nothing armed, the caption is back.
    Control<QAction>(*form, "item_DNF")->trigger();
    no_time->click();
    no_time->click();
    EXPECT_FALSE(form->No_Time_Armed());
    EXPECT_EQ(no_time->text(), "No Time");
    Show(3);
    Click_Box(5);
    EXPECT_EQ(Reader(path)->Hdx_Heat_time(5, false), form->Heat_Elapsed());
}

TEST_F(ReviewTest, DeadHeatSurvivesASplitClickAndASecondGoalClickClearsTheMark) {
    Load();
    const std::string path = Record("deadheat.nx3");
    Open(path);
    Control<QPushButton>(*form, "Cmd_DeadHeat")->click();
    form->Cmd_Split_Click();
    Show(3);
    Click_Box(5);
    EXPECT_TRUE(form->Dead_Heat_Armed());
    clock.Advance(400);
    form->Cmd_Split_Click();
    Show(10);
    Click_Box(5);
    EXPECT_FALSE(form->Dead_Heat_Armed());
    EXPECT_TRUE(Reader(path)->Hdx_dead_heat(5));
    Show(11);
    Click_Box(5);
    EXPECT_FALSE(Reader(path)->Hdx_dead_heat(5));
}

TEST_F(ReviewTest, TogglesWithinThreeHundredMillisecondsCountOnce) {
    Load();
    Open(Record("toggle.nx3"));
    form->Cmd_Split_Click();
    EXPECT_EQ(Control<QPushButton>(*form, "Cmd_Split")->text(), "Goal");
    EXPECT_TRUE(form->Split_Times());
    EXPECT_EQ(Control<QGroupBox>(*form, "Frame_settimes")->title(), "Set Split times");
    EXPECT_TRUE(Control<QPushButton>(*form, "Cmd_DeadHeat")->isHidden());
    clock.Advance(200);
    form->Cmd_Split_Click();
    EXPECT_EQ(Control<QPushButton>(*form, "Cmd_Split")->text(), "Goal");
    clock.Advance(100);
    form->Cmd_Split_Click();
    EXPECT_EQ(Control<QPushButton>(*form, "Cmd_Split")->text(), "Split");
    EXPECT_FALSE(form->Split_Times());
    EXPECT_FALSE(Control<QPushButton>(*form, "Cmd_DeadHeat")->isHidden());

    // An open always returns to goal mode.
    clock.Advance(400);
    form->Cmd_Split_Click();
    Open(Record("toggle2.nx3"));
    EXPECT_FALSE(form->Split_Times());
    EXPECT_EQ(Control<QPushButton>(*form, "Cmd_Split")->text(), "Split");
}

TEST_F(ReviewTest, BoxButtonsAreColouredByTheTimesOfTheActiveMode) {
    Load();
    Open(Record("colour_buttons.nx3"));
    form->Cmd_Split_Click();
    Show(4);
    Click_Box(2);
    const QColor timed(192, 255, 255);
    auto colour = [this](int box) {
        return Control<QPushButton>(*form, "Command_BOX_set_time", static_cast<size_t>(box - 1))
            ->palette()
            .color(QPalette::Button);
    };
    EXPECT_EQ(colour(2), timed);
    EXPECT_NE(colour(1), timed);
    clock.Advance(400);
    form->Cmd_Split_Click();
    EXPECT_NE(colour(2), timed);
}

TEST_F(ReviewTest, AReadOnlyRecordingRefusesEveryChangeAndStaysByteForByteTheSame) {
    Load();
    const std::string path = Record("readonly.nx3");
    {
        cls_VideoFile_handler h;
        ASSERT_TRUE(h.Open_File(path));
        h.Set_Hdx_Heat_time(1, false, 28450);
        ASSERT_TRUE(h.Write_XML_Header());
        h.Close_File();
    }
    ASSERT_TRUE(Platform::Set_Read_Only(path, true));
    const std::string before = Read_Text(path);
    Open(path);
    dialogs.Clear();
    Show(5);
    Click_Box(2);
    form->Cmd_Split_Click();
    Click_Box(3);
    form->Clear_all_Results();
    for (const std::string& m : dialogs.Messages()) EXPECT_EQ(m, "File is read only!");
    EXPECT_EQ(dialogs.Messages().size(), 3u);
    form->Do_Close();
    EXPECT_EQ(Read_Text(path), before);
}

TEST_F(ReviewTest, ClearAllResultsErasesTimesButKeepsSplitPositions) {
    Load();
    const std::string path = Record("clear.nx3");
    Open(path);
    Show(7);
    Click_Box(1);
    form->Cmd_Split_Click();
    Show(3);
    Click_Box(1);
    form->Clear_all_Results();
    auto r = Reader(path);
    EXPECT_EQ(r->Hdx_Heat_time(1, false), 0);
    EXPECT_EQ(r->Hdx_Heat_time(1, true), 0);
    EXPECT_EQ(r->Hdx_heat_frame(1), 0);
    EXPECT_EQ(r->Hdx_split_frame(1), 3);
    EXPECT_EQ(Results_Label("Label_time", 0), "---,---");
}

// --- Results -----------------------------------------------------------------------------

TEST_F(ReviewTest, ResultsAreRankedShownAndExportedAsTheyAreAssigned) {
    // The heat was made with a delay of 30; today's setting is for new heats.
    Write_Ini("Settings", "box_delay", "50", Facts().Ini_file_path);
    Load();
    Recording_Spec made;
    made.box_delay = "30";
    const std::string path = Record("results.nx3", made);
    Open(path);
    // Box 3 first, box 6 and box 1 in a dead heat for second (equal fields: click order), box 2 fourth.
    Show(4);
    Click_Box(3);
    Show(9);
    Click_Box(6);
    Control<QPushButton>(*form, "Cmd_DeadHeat")->click();
    Click_Box(1);
    Show(12);
    Click_Box(2);
    Control<QAction>(*form, "item_disqualified")->trigger();
    Control<QPushButton>(*form, "Cmd_Notime")->click();
    Click_Box(5);

    const auto& ranked = form->Session()->Result().Ranked;
    std::vector<int> boxes;
    for (const Result_Record& r : ranked) boxes.push_back(r.Box);
    EXPECT_EQ(boxes, (std::vector<int>{3, 6, 1, 2, 5, 4}));
    EXPECT_EQ(Results_Label("Label_rank", 0), "1");
    EXPECT_EQ(Results_Label("Label_rank", 1), "2");
    EXPECT_EQ(Results_Label("Label_rank", 2), "2");
    EXPECT_EQ(Results_Label("Label_rank", 3), "4");
    EXPECT_EQ(Results_Label("Label_rank", 4), "---");
    EXPECT_EQ(Results_Label("Label_time", 4), "DSQ");
    Show(4);
    const int32_t first = form->Heat_Elapsed();
    EXPECT_EQ(Results_Label("Label_time", 0).toStdString(), Display_Mill_Time(first + 30, true));
    EXPECT_EQ(Results_Label("Label_name", 0), "Dog 3");
}

TEST_F(ReviewTest, TheDogNamesWindowFollowsTheReviewedRecordingAndClosesWithIt) {
    const std::string first = Record("first.nx3");
    const std::string second = Record("second.nx3");
    Load();
    Open(first);
    Control<QAction>(*form, "item_dog_names")->trigger();
    QPointer<Form_heat_competitors> names = form->Competitors_Window();
    ASSERT_FALSE(names.isNull());
    names->Text_dog_name(2)->setText("Rex");
    EXPECT_EQ(Reader(first)->Hdx_Dog_name(2), "Rex");  // at once, before anything closes

    Open(second);
    ASSERT_FALSE(names.isNull());
    EXPECT_EQ(names->Text_dog_name(2)->text(), "Dog 2");
    names->Command_update->click();
    EXPECT_EQ(Reader(second)->Hdx_Dog_name(2), "Dog 2");
    EXPECT_EQ(Reader(first)->Hdx_Dog_name(2), "Rex");

    form->Do_Close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(names.isNull());
}

// --- Keys, menus and layout ----------------------------------------------------------------

TEST_F(ReviewTest, PrintWithControlShowsDebugAndFormWithAltTogglesIt) {
    Load();
    auto debug_shown = [this] { return Control<QMenu>(*form, "menu_debug")->menuAction()->isVisible(); };
    ASSERT_FALSE(debug_shown());
    emit Control<QMenu>(*form, "menu_print")->aboutToShow();
    EXPECT_FALSE(debug_shown());
    Note_Key_State(17, true);
    emit Control<QMenu>(*form, "menu_print")->aboutToShow();
    Note_Key_State(17, false);
    EXPECT_TRUE(debug_shown());
    emit Control<QMenu>(*form, "menu_form")->aboutToShow();
    EXPECT_TRUE(debug_shown());  // without Alt nothing happens
    EXPECT_FALSE(Control<QMenu>(*form, "menu_trap_errors")->menuAction()->isVisible());
    Note_Key_State(18, true);
    emit Control<QMenu>(*form, "menu_form")->aboutToShow();
    EXPECT_FALSE(debug_shown());
    EXPECT_TRUE(Control<QMenu>(*form, "menu_trap_errors")->menuAction()->isVisible());
    emit Control<QMenu>(*form, "menu_form")->aboutToShow();
    EXPECT_TRUE(debug_shown());
    Note_Key_State(18, false);
}

TEST_F(ReviewTest, AboutWithControlShowsTheDebugMenu) {
    Load();
    auto debug_shown = [this] { return Control<QMenu>(*form, "menu_debug")->menuAction()->isVisible(); };
    Control<QAction>(*form, "item_about")->trigger();
    EXPECT_FALSE(debug_shown());
    Note_Key_State(17, true);
    Control<QAction>(*form, "item_about")->trigger();
    Note_Key_State(17, false);
    EXPECT_TRUE(debug_shown());
    EXPECT_NE(form->findChild<QWidget*>("frmAbout"), nullptr);
}

TEST_F(ReviewTest, TheMenuBarHasItsMenusInOrderWithTheHiddenOnesHidden) {
    Load();
    std::vector<std::string> shown, all;
    for (QAction* a : form->menuBar()->actions()) {
        all.push_back(a->text().toStdString());
        if (a->isVisible()) shown.push_back(a->text().toStdString());
    }
    EXPECT_EQ(all, (std::vector<std::string>{"Form", "Settings", "Diagnostics", "Print", "Debug", "Assign times",
                                             "Specials", "Notime", "Crop size", "View", "Help"}));
    EXPECT_EQ(shown, (std::vector<std::string>{"Form", "Diagnostics", "Print", "Crop size", "View", "Help"}));
    std::vector<std::string> debug;
    for (QAction* a : Control<QMenu>(*form, "menu_debug")->actions()) debug.push_back(a->text().toStdString());
    EXPECT_EQ(debug,
              (std::vector<std::string>{"Display sample data", "DLL available", "Picture size", "Timestamp report",
                                        "File properties", "Text XML header", "Dump present XML header", "test1",
                                        "Blink LED", "Printer dialog", "Validate folder", "Timer", "Trap errors"}));
    // The menu items outlive the first event loop (deferred deletions included).
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Events();
    ASSERT_EQ(Control<QAction>(*form, "item_displace_goalline")->parent(), Control<QMenu>(*form, "menu_form"));
    EXPECT_EQ(Control<QAction>(*form, "item_last_heat")->shortcut(), QKeySequence("Ctrl+L"));
    EXPECT_EQ(Control<QAction>(*form, "item_show_result")->shortcut(), QKeySequence("Ctrl+R"));
    EXPECT_EQ(Control<QAction>(*form, "item_displace_goalline")->shortcut(), QKeySequence("Ctrl+G"));
    EXPECT_EQ(Control<QAction>(*form, "item_Exit")->shortcut(), QKeySequence("Ctrl+X"));
}

TEST_F(ReviewTest, KeypadKeysMoveTheDisplacedLineOnlyOncePerGuardPeriod) {
    Load();
    Open(Record("keys.nx3"));
    Control<QAction>(*form, "item_displace_goalline")->trigger();
    ASSERT_TRUE(Control<QAction>(*form, "item_displace_goalline")->isChecked());
    auto keypad = [this](Qt::Key key, bool press) {
        QKeyEvent e(press ? QEvent::KeyPress : QEvent::KeyRelease, key, Qt::KeypadModifier);
        QApplication::sendEvent(Control<QLabel>(*form, "Label_heat_time"), &e);
    };
    clock.Advance(1000);
    keypad(Qt::Key_6, true);
    EXPECT_EQ(form->Goal_Offset(), 1);
    keypad(Qt::Key_6, false);  // at once: within the guard
    clock.Advance(100);
    keypad(Qt::Key_6, true);  // 100 ms after the accepted one
    EXPECT_EQ(form->Goal_Offset(), 1);
    clock.Advance(100);
    keypad(Qt::Key_6, true);  // 200 ms after it
    EXPECT_EQ(form->Goal_Offset(), 2);
    clock.Advance(150);
    keypad(Qt::Key_6, false);  // a release 150 ms later counts as well
    EXPECT_EQ(form->Goal_Offset(), 3);
    clock.Advance(300);
    keypad(Qt::Key_Left, true);  // keypad 4 with NumLock off is still 100
    EXPECT_EQ(form->Goal_Offset(), 2);
    EXPECT_TRUE(traces.Has("*IWindowsHook_HookProc, wParam = 102"));
    EXPECT_TRUE(traces.Has("*Handle_Goal_Offset, keycode = 100"));

    // Unchecking the mode resets the counter; then the keys do nothing.
    Control<QAction>(*form, "item_displace_goalline")->trigger();
    EXPECT_EQ(form->Goal_Offset(), 0);
    clock.Advance(300);
    keypad(Qt::Key_6, true);
    EXPECT_EQ(form->Goal_Offset(), 0);
}

TEST_F(ReviewTest, ArrowKeysHandTheFocusToTheSliderButControlRightDoesNot) {
    Load();
    Open(Record("focus.nx3"));
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        bool to_slider;
    };
    for (const Case& c : {Case{Qt::Key_Right, Qt::ControlModifier, false},
                          Case{Qt::Key_Left, Qt::ControlModifier, true}, Case{Qt::Key_Right, Qt::NoModifier, true}}) {
        Control<QLineEdit>(*form, "Text_filename")->setFocus();
        ASSERT_TRUE(Control<QLineEdit>(*form, "Text_filename")->hasFocus());
        // Control goes down first, as a person presses it, well before the arrow.
        clock.Advance(500);
        if (c.mods & Qt::ControlModifier) {
            QKeyEvent control(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
            QApplication::sendEvent(Control<QLineEdit>(*form, "Text_filename"), &control);
        }
        clock.Advance(300);
        QKeyEvent arrow(QEvent::KeyPress, c.key, c.mods);
        QApplication::sendEvent(Control<QLineEdit>(*form, "Text_filename"), &arrow);
        EXPECT_EQ(Control<QSlider>(*form, "Slider_play")->hasFocus(), c.to_slider) << c.key << " " << c.mods;
    }
}

TEST_F(ReviewTest, CropSizeWidensThePictureAndKeepsTheControlsToItsRight) {
    Load();
    form->show();
    form->item_crop_size_Click(1);
    Events();
    // 604 x 1084 units, shown as large as the screen allows.
    EXPECT_EQ(QSizeF(Control<Platform::PictureBox>(*form, "Picture_out")->Scale_Width(),
                     Control<Platform::PictureBox>(*form, "Picture_out")->Scale_Height()),
              QSizeF(604, 1084));
    EXPECT_LE(Control<Platform::PictureBox>(*form, "Picture_out")->height(), std::max(form->Max_Picture_Height(), 1));
    const QRect picture(Control<Platform::PictureBox>(*form, "Picture_out")->mapTo(form.get(), QPoint(0, 0)),
                        Control<Platform::PictureBox>(*form, "Picture_out")->size());
    const QPoint controls = Control<QWidget>(*form, "Frame_controls")->mapTo(form.get(), QPoint(0, 0));
    EXPECT_GE(controls.x(), picture.right());
    EXPECT_TRUE(Control<QAction>(*form, "item_crop_size", 1)->isChecked());
    EXPECT_EQ(Read_Ini("Settings", "lastcrop", Facts().Ini_file_path, ""), "600*1080");
}

TEST_F(ReviewTest, MinimizingTheMainWindowMinimizesTheResultsWindow) {
    Load();
    Open(Record("minimize.nx3"));
    form->show();
    auto* results = form->findChild<Form_Hdx_Results*>();
    ASSERT_NE(results, nullptr);
    ASSERT_TRUE(results->isVisible());
    form->showMinimized();
    Events();
    EXPECT_TRUE(results->isMinimized());
    form->showNormal();
    Events();
    EXPECT_FALSE(results->isMinimized());
}

TEST_F(ReviewTest, AssociateRegistersRecordingsWithTheDesktopInTheUsersDataFolder) {
    const std::string home = Temp_Dir();
    const QByteArray kept = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home));
    Load();
    Control<QAction>(*form, "item_associate")->trigger();
    const std::string mime = Read_Text(home + "/mime/packages/houndex-nx3.xml");
    EXPECT_NE(mime.find("<glob pattern=\"*.nx3\"/>"), std::string::npos);
    EXPECT_NE(mime.find("type=\"application/x-houndex-nx3\""), std::string::npos);
    const std::string entry = Read_Text(home + "/applications/houndex-hdmi.desktop");
    EXPECT_NE(entry.find("MimeType=application/x-houndex-nx3;"), std::string::npos);
    EXPECT_NE(entry.find("Exec=\"" + QCoreApplication::applicationFilePath().toStdString() + "\" %f"),
              std::string::npos);
    EXPECT_NE(Read_Text(home + "/icons/hicolor/scalable/apps/houndex-hdmi.svg").find("<svg"), std::string::npos);
    EXPECT_EQ(Read_Ini("Default Applications", "application/x-houndex-nx3", home + "/applications/mimeapps.list", ""),
              "houndex-hdmi.desktop");
    EXPECT_EQ(dialogs.Messages().back(), "Associated the file extension .nx3 with this application!");

    // A data folder that cannot be written says so and claims nothing.
    dialogs.Clear();
    const std::string blocked = Temp_Dir() + "/file";
    Platform::Write_File_Atomic(blocked, "x");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(blocked));
    Control<QAction>(*form, "item_associate")->trigger();
    ASSERT_FALSE(dialogs.Messages().empty());
    EXPECT_EQ(dialogs.Messages().front(), "Error: Creating Key!");
    EXPECT_EQ(dialogs.Messages().back(), "Error Setting String Value!");
    if (kept.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", kept);
}

TEST_F(ReviewTest, DiagnosticMenuItemsReachTheirCommands) {
    Load();
    EXPECT_FALSE(form->Diagnostics()->Has_Debug_Form());
    Control<QAction>(*form, "item_timestamp_report")->trigger();  // no recording: the two heading lines
    EXPECT_FALSE(form->Diagnostics()->Last_Timestamp_Report().empty());
    Open(Record("diag.nx3"));
    Control<QAction>(*form, "item_timestamp_report")->trigger();
    const std::string report = Read_Text(form->Diagnostics()->Last_Timestamp_Report());
    EXPECT_NE(report.find("040"), std::string::npos) << report;
    Control<QAction>(*form, "item_about")->trigger();
    ASSERT_NE(form->Diagnostics()->About_Form(), nullptr);
    errors.errors.clear();
    Control<QAction>(*form, "item_misbehave_trapped")->trigger();
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].location, "Misbehave of Form Form_Houndex");
}

// --- Results out: declared official, the live feed ------------------------------------

TEST_F(ReviewTest, AfterDeclaringOfficialAChangeWithoutAReasonIsRefusedAndOneWithAReasonIsKept) {
    Load();
    const std::string path = Record("official.nx3");
    Open(path);
    Show(6);
    Click_Box(3);
    Form_Hdx_Results* results = form->Results_Form();
    dialogs.Answer_Message(Platform::MsgResult::OK);
    results->item_declare_official->trigger();
    const Official_Record::Declaration d = Official_Record::Read_Declaration(*Reader(path));
    ASSERT_TRUE(d.official) << (dialogs.Messages().empty() ? "" : dialogs.Messages().back());
    EXPECT_EQ(d.frames_sha256, Official_Record::Frames_SHA256(path));
    EXPECT_EQ(results->Label_official->text().toStdString(),
              "Official since " + d.declared_at + " - frames SHA-256 " + d.frames_sha256);
    const int32_t declared = Reader(path)->Hdx_Heat_time(3, false);

    // Cancelled, blank: refused, nothing changed, nothing kept.
    for (const std::optional<std::string>& answer : {std::optional<std::string>(), std::optional<std::string>("  ")}) {
        dialogs.Answer_Input(answer);
        Show(8);
        Click_Box(3);
        EXPECT_EQ(Reader(path)->Hdx_Heat_time(3, false), declared);
        EXPECT_EQ(dialogs.Messages().back(), Official_Record::Refusal_Text);
    }
    dialogs.Answer_Input(std::nullopt);
    form->Clear_all_Results();
    EXPECT_EQ(Reader(path)->Hdx_Heat_time(3, false), declared);
    EXPECT_TRUE(Official_Record::Read_Trail(path).empty());

    dialogs.Answer_Input("nose seen first on field 8");
    Show(8);
    Click_Box(3);
    const int32_t corrected = Reader(path)->Hdx_Heat_time(3, false);
    EXPECT_NE(corrected, declared);
    const std::vector<Official_Record::Change> trail = Official_Record::Read_Trail(path);
    ASSERT_EQ(trail.size(), 1u);
    EXPECT_EQ(trail[0].what, "box 3 goal time");
    EXPECT_EQ(trail[0].old_value, Display_Mill_Time(declared, true));
    EXPECT_EQ(trail[0].new_value, Display_Mill_Time(corrected, true));
    EXPECT_EQ(trail[0].reason, "nose seen first on field 8");
    EXPECT_EQ(trail[0].pc_name, Platform::Computer_Name());
    EXPECT_EQ(trail[0].local_time.size(), 19u);
    EXPECT_TRUE(results->Label_audit->isVisibleTo(results));
    EXPECT_TRUE(results->Label_audit->text().contains("nose seen first on field 8"));
}

// A board: a client of the feed that keeps every line it reads.
struct Board {
    QTcpSocket socket;
    QByteArray received;
    explicit Board(uint16_t port, bool reads = true) {
        if (!reads) {
            // Takes nothing off the connection: the socket's buffers fill up and stay full.
            socket.setReadBufferSize(1);
            socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
        }
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.waitForConnected(5000);
        if (reads) QObject::connect(&socket, &QTcpSocket::readyRead, [this] { received += socket.readAll(); });
    }
    // The heat object of the last whole line read.
    QJsonObject Last_Heat() const {
        const QList<QByteArray> lines = received.trimmed().split('\n');
        return QJsonDocument::fromJson(lines.back()).object()["heat"].toObject();
    }
};

// Lets the feed and the boards exchange what is pending, until done() or a bounded number of rounds.
template <typename Done>
void Exchange(Done done) {
    for (int i = 0; i < 2000 && !done(); ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

TEST_F(ReviewTest, ABoardConnectingBeforeAndOneAfterTheResultsGetTheSameFinalState) {
    Write_Ini("Settings", "results_feed", "1", Facts().Ini_file_path);
    Write_Ini("Settings", "results_feed_port", "0", Facts().Ini_file_path);
    Load();
    ASSERT_TRUE(form->m_Feed && form->m_Feed->Listening());
    const uint16_t port = form->m_Feed->Port();
    Board early(port);
    Exchange([&] { return form->m_Feed->Clients() == 1; });
    ASSERT_EQ(form->m_Feed->Clients(), 1);

    const std::string path = Record("feed.nx3");
    Open(path);
    Show(4);
    Click_Box(2);
    Show(6);
    Click_Box(5);
    dialogs.Answer_Message(Platform::MsgResult::OK);
    form->Results_Form()->item_declare_official->trigger();
    Exchange([&] { return early.received.count('\n') == 3; });
    ASSERT_EQ(early.received.count('\n'), 3) << early.received.toStdString();

    Board late(port);
    Exchange([&] { return !late.received.isEmpty() && late.received.endsWith('\n'); });
    ASSERT_EQ(late.received.count('\n'), 1) << late.received.toStdString();
    EXPECT_EQ(late.Last_Heat(), early.Last_Heat());
    const QJsonObject heat = late.Last_Heat();
    EXPECT_EQ(heat["status"].toString(), "official");
    EXPECT_EQ(heat["revision"].toInt(), 3);  // the third line sent for the heat
    EXPECT_EQ(heat["heat_id"].toString(), "7");
    EXPECT_EQ(heat["results"].toArray()[0].toObject()["box"].toInt(), 2);
    EXPECT_EQ(heat["results"].toArray()[1].toObject()["box"].toInt(), 5);

    // The example board of the documentation shows the same state.
    QProcess client;
    client.start(QStandardPaths::findExecutable("python3"),
                 {HOUNDEX_FEED_CLIENT, "--port", QString::number(port), "--lines", "1"});
    // The feed answers from this thread: events run while the client starts, connects and reads.
    for (int i = 0; i < 1200 && client.state() != QProcess::NotRunning; ++i) {
        QCoreApplication::processEvents();
        client.waitForFinished(25);
    }
    const QString board = client.readAllStandardOutput();
    EXPECT_EQ(client.exitCode(), 0) << client.readAllStandardError().toStdString();
    EXPECT_TRUE(board.startsWith("== Autumn Derby - heat 7 Puppy Stakes (OFFICIAL, official)")) << board.toStdString();
    EXPECT_TRUE(board.contains("  1  box 2  Dog 2")) << board.toStdString();
}

TEST_F(ReviewTest, ABoxClickCompletesWhileABoardThatNeverReadsHasAFullSocketBuffer) {
    Write_Ini("Settings", "results_feed", "1", Facts().Ini_file_path);
    Write_Ini("Settings", "results_feed_port", "0", Facts().Ini_file_path);
    Load();
    Results_Feed::Config config = Results_Feed::Read_Config();
    config.client_buffer_limit = 256 * 1024;
    ASSERT_TRUE(form->m_Feed->Start(config));
    const uint16_t port = form->m_Feed->Port();
    Board stuck(port, false);
    Board reader(port);
    Exchange([&] { return form->m_Feed->Clients() == 2; });
    ASSERT_EQ(form->m_Feed->Clients(), 2);

    // Lines until the kernel holds all it takes for the stuck board and the rest waits in the program.
    const std::string filler = "{\"filler\":\"" + std::string(16 * 1024, 'x') + "\"}";
    for (int i = 0; i < 4000 && form->m_Feed->Unsent_Bytes() == 0; ++i) {
        form->m_Feed->Publish("filler", filler);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    ASSERT_GT(form->m_Feed->Unsent_Bytes(), 0);
    ASSERT_EQ(form->m_Feed->Clients(), 2);

    const std::string path = Record("stuck.nx3");
    Open(path);
    Show(5);
    Click_Box(4);
    EXPECT_GT(Reader(path)->Hdx_Heat_time(4, false), 0);
    Exchange([&] { return reader.Last_Heat()["heat_id"] == "7"; });
    EXPECT_EQ(reader.Last_Heat()["results"].toArray()[0].toObject()["box"].toInt(), 4);

    // Past the limit the stuck board is let go; the reading one stays.
    for (int i = 0; i < 400 && form->m_Feed->Clients() == 2; ++i) {
        form->m_Feed->Publish("filler", filler);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    EXPECT_EQ(form->m_Feed->Clients(), 1);
    EXPECT_EQ(reader.socket.state(), QAbstractSocket::ConnectedState);
}

}  // namespace

namespace {

// Ctrl+click marks the nose in the field before the goal line (x 32) and in
// the one past it; the goal-time click then stores the official field time
// and, beside it, the crossing estimated between the two fields.
TEST_F(ReviewTest, NoseMarksOnBothSidesOfTheLineGiveTheBoxAnEstimatedCrossing) {
    const std::string path = Record("marks.nx3");
    Load();
    Open(path);
    struct Step {
        int position;
        double x;
    } marks[] = {{5, 20}, {5, 28}, {6, 36}};  // marked again in field 5: the new place counts
    for (const Step& m : marks) {
        Show(m.position);
        form->Picture_out_MouseDown(1, 2, m.x, 40);
    }
    EXPECT_EQ(form->Nose_Marks().size(), 2u);
    EXPECT_EQ(form->Goal_Lines()[1], (Goal_Line_Points{{32, 9}, {32, 86}})) << "a marking click drags no line";
    Click_Box(3);
    const auto reader = Reader(path);
    EXPECT_EQ(reader->Hdx_Heat_time(3, false), Field_Time(6));
    EXPECT_EQ(Crossing_Estimate::Stored(*reader, 3), Field_Time(5) + 10);
    EXPECT_EQ(Results_Label("Label_estimate", 0).toStdString(), Crossing_Estimate::Estimate_Text(Field_Time(5) + 10));
    EXPECT_TRUE(form->Nose_Marks().empty());
    // The next dog without marks gets no estimate.
    Show(8);
    Click_Box(1);
    EXPECT_EQ(Crossing_Estimate::Stored(*Reader(path), 1), std::nullopt);
}

}  // namespace

namespace {

// The strip window follows the review both ways: a click on a field in the
// strip shows it, and the field shown is marked in the strip.
TEST_F(ReviewTest, TheFinishStripGoesToTheClickedFieldAndMarksTheShownOne) {
    const std::string path = Record("strip.nx3");
    Load();
    Control<QAction>(*form, "item_show_strip")->trigger();
    EXPECT_EQ(dialogs.beeps, 1) << "no recording, no strip";
    Open(path);
    Control<QAction>(*form, "item_show_strip")->trigger();
    Form_Finish_Strip* strip = form->Strip_Form();
    ASSERT_NE(strip, nullptr);
    EXPECT_TRUE(strip->isVisible());
    EXPECT_EQ(strip->Strip().Fields(), 20);
    EXPECT_EQ(strip->Strip().Rows, 86 - 9 + 1) << "the goal line's rows";
    strip->Strip_Click(strip->Strip().X_Of(7) + 1);
    EXPECT_EQ(Control<QSlider>(*form, "Slider_play")->value(), 7);
    EXPECT_EQ(form->Heat_Elapsed(), Field_Time(7));
    Show(12);
    EXPECT_EQ(strip->Current_Field(), 12);
    form->Do_Close();
    EXPECT_FALSE(strip->isVisible());
    EXPECT_EQ(strip->Strip().Fields(), 0);
}

}  // namespace

namespace {

// The zoom and the enhancement change what the official sees, never what is
// timed, saved or recorded.
TEST_F(ReviewTest, ZoomAndEnhancementKeepClicksAndLinesExactAndTheRecordingUntouched) {
    const std::string path = Record("zoom.nx3");
    Load();
    Open(path);
    auto& picture = *Control<Platform::PictureBox>(*form, "Picture_out");
    struct Case {
        const char* item;
        int zoom;
        int box;
    } cases[] = {{"item_zoom_1", 1, 1}, {"item_zoom_4", 4, 2}, {"item_zoom_2", 2, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        Control<QAction>(*form, c.item)->trigger();
        EXPECT_EQ(form->View().Zoom, c.zoom);
        // A box click on field 5 stores field 5's time at any zoom.
        Show(5);
        Click_Box(c.box);
        EXPECT_EQ(Reader(path)->Hdx_Heat_time(static_cast<int16_t>(c.box), false), Field_Time(5));
        // The same drag in recording pixels saves the same line: point 1 from (30, 20) by (5, 7).
        form->Set_Goal_Line(1, {{30, 20}, {30, 70}});
        const QPointF grab = form->To_Canvas({32, 20}), to = form->To_Canvas({37, 27});
        form->Picture_out_MouseDown(1, 0, grab.x(), grab.y());
        form->Picture_out_MouseMove(1, 0, to.x(), to.y());
        form->Picture_out_MouseUp(1, 0, to.x(), to.y());
        EXPECT_EQ(Read_Ini("Goal_Lines", "goal_Line1", Facts().Ini_file_path, "N/A"), "35,27,30,70");
    }
    // Every enhancement at 8x: the picture changes, the file does not, byte for byte.
    const std::string bytes = Read_Text(path);
    Show(5);
    const QImage zoomed = picture.Canvas().copy();
    Control<QAction>(*form, "item_zoom_8")->trigger();
    for (const char* item : {"item_brighter", "item_more_contrast", "item_gamma_up", "item_sharpen", "item_greyscale"})
        Control<QAction>(*form, item)->trigger();
    EXPECT_TRUE(form->View().Enhanced());
    EXPECT_NE(picture.Canvas(), zoomed);
    const QColor seen = picture.Canvas().pixelColor(5, 5);
    EXPECT_EQ(seen.red(), seen.green()) << "greyscale";
    Control<QAction>(*form, "item_reset_view")->trigger();
    EXPECT_FALSE(form->View().Enhanced());
    EXPECT_EQ(form->View().Zoom, 8) << "the reset key resets the enhancement, not the zoom";
    form->Do_Close();
    EXPECT_TRUE(Read_Text(path) == bytes);
}

TEST_F(ReviewTest, TheWebPagesGetTheHeatOnScreenEveryChangeAndThePhotoOnceOfficial) {
    Write_Ini("Settings", "web_server", "1", Facts().Ini_file_path);
    Write_Ini("Settings", "web_port", "0", Facts().Ini_file_path);
    Load();
    ASSERT_TRUE(form->m_Web && form->m_Web->Listening());
    const uint16_t port = form->m_Web->Port();
    // The server answers on its own thread: what the window handed it shows once it has taken it.
    const auto json = [&](const std::string& what, const std::function<bool(const QJsonDocument&)>& done) {
        QJsonDocument doc;
        for (int i = 0; i < 200 && !done(doc = QJsonDocument::fromJson(Http_Get(port, what).Body)); ++i)
            QTest::qWait(10);
        return doc;
    };
    const std::string path = Record("web.nx3");
    Open(path);
    // Opened: on the stewards' page, not on the boards.
    QJsonObject heats = json("/api/heats", [](const QJsonDocument& d) { return d["on_screen"].toInt() == 1; }).object();
    ASSERT_EQ(heats["on_screen"].toInt(), 1);
    EXPECT_EQ(heats["heats"].toArray()[0].toObject()["heat_id"].toString(), "7");
    EXPECT_EQ(heats["heats"].toArray()[0].toObject()["frames"].toInt(), Reader(path)->num_Frames());
    EXPECT_TRUE(QJsonDocument::fromJson(Http_Get(port, "/api/results").Body).array().isEmpty());

    Show(4);
    Click_Box(2);
    EXPECT_EQ(Http_Get(port, "/api/heats/1/photo.png").Status, 404);
    dialogs.Answer_Message(Platform::MsgResult::OK);
    form->Results_Form()->item_declare_official->trigger();
    const QJsonArray lines = json("/api/results", [](const QJsonDocument& d) {
                                 return d.array().size() == 1 &&
                                        d.array()[0].toObject()["heat"].toObject()["status"].toString() == "official";
                             }).array();
    ASSERT_EQ(lines.size(), 1);
    const QJsonObject heat = lines[0].toObject()["heat"].toObject();
    EXPECT_EQ(lines[0].toObject()["change"].toString(), "official");
    EXPECT_EQ(heat["revision"].toInt(), 2);  // the feed's count: the click, then the declaration
    EXPECT_EQ(heat["results"].toArray()[0].toObject()["box"].toInt(), 2);
    // The photo is the review picture as the printout takes it.
    const Http_Answer photo = Http_Get(port, "/api/heats/1/photo.png");
    ASSERT_EQ(photo.Status, 200);
    const QImage picture = QImage::fromData(photo.Body, "PNG");
    EXPECT_EQ(picture.size(), static_cast<IPrint_Host&>(*form).Review_Picture().Canvas().size());
}

}  // namespace
