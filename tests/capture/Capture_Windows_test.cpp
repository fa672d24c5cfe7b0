#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "Capture_Test_Support.h"
#include "capture/Capture_State.h"
#include "capture/CombinedVideoCap.h"
#include "capture/Form_HDMI_performance.h"
#include "capture/Form_select_Video.h"
#include "capture/Form_timer.h"
#include "capture/Running_Arm.h"
#include "capture/Video_Cap_Factory.h"
#include "platform/Clipboard.h"
#include "platform/PictureBox.h"
#include "settings/Module_Ini.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"

namespace {

// Formats by letter: A 1920*1080/25, B 1920*1080/50, C 720*576/25.
Sim_Format Format(char letter) {
    switch (letter) {
        case 'B': return {1920, 1080, 50, false};
        case 'C': return {720, 576, 25, true};
        default: return {1920, 1080, 25, true};
    }
}

std::vector<Sim_Format> Formats(const std::string& letters) {
    std::vector<Sim_Format> out;
    for (char c : letters) out.push_back(Format(c));
    return out;
}

class Window_Test : public Capture_Test {
protected:
    // The component every window creates: one simulated camera per entry.
    void Cameras(std::vector<std::pair<std::string, std::string>> cams) {
        Set_Video_Cap_Factory([cams] {
            std::vector<std::unique_ptr<IVideoCap>> parts;
            for (const auto& [name, letters] : cams)
                parts.push_back(std::make_unique<SimVideoCap>(Sim_Pacing::Stepped, name, Formats(letters)));
            return std::make_unique<CombinedVideoCap>(std::move(parts));
        });
    }
    static std::vector<std::string> Rows(const Form_select_Video& w) {
        std::vector<std::string> rows;
        for (int i = 0; i < w.ListView_prop->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* it = w.ListView_prop->topLevelItem(i);
            rows.push_back((it->text(0) + "|" + it->text(1) + "|" + it->text(2) + "|" + it->text(3)).toStdString());
        }
        return rows;
    }
};

// ------------------------------------------------------------------ source selection

TEST_F(Window_Test, TheSelectionWindowHasItsCaptionsAndTheTickBoxIsTicked) {
    Form_select_Video w;
    EXPECT_EQ(w.windowTitle(), "Select HDMI Video Source");
    EXPECT_EQ(w.ListView_prop->headerItem()->text(1), "Video Source");
    EXPECT_EQ(w.ListView_prop->headerItem()->data(2, Qt::UserRole).toString(), "propnum");
    EXPECT_EQ(w.findChild<QPushButton*>("Command_enum2")->text(), "Enumerate Video sources");
    EXPECT_EQ(w.findChild<QPushButton*>("Command_select_done")->text(), "Select Done");
    EXPECT_EQ(w.Label_property_num->text(), "0");
    EXPECT_TRUE(w.Limit_Fps());
    w.Check_limit_fps->setChecked(false);
    EXPECT_FALSE(w.Limit_Fps());
    EXPECT_FALSE(w.menu_debug->menuAction()->isVisible());
}

TEST_F(Window_Test, EnumerationShowsEachRunOfEqualFormatsOnceUnderItsFirstIndex) {
    Cameras({{"Cam A", "AAB"}, {"Cam B", "ABA"}, {"Cam C", ""}, {"Cam D", "CCCC"}});
    Form_select_Video w;
    w.Command_enum2_Click();
    EXPECT_EQ(Rows(w), (std::vector<std::string>{
                           "1|Cam A|0|1920*1080/25",
                           "1|Cam A|2|1920*1080/50",
                           "2|Cam B|0|1920*1080/25",
                           "2|Cam B|1|1920*1080/50",
                           "2|Cam B|2|1920*1080/25",
                           "4|Cam D|0|720*576/25",
                       }));
}

TEST_F(Window_Test, AtMostTenSourcesAreListed) {
    std::vector<std::pair<std::string, std::string>> cams;
    for (int i = 1; i <= 12; ++i) cams.emplace_back("Cam " + std::to_string(i), "A");
    Cameras(cams);
    Form_select_Video w;
    w.Command_enum2_Click();
    const auto rows = Rows(w);
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows.back(), "10|Cam 10|0|1920*1080/25");
}

TEST_F(Window_Test, SelectDoneNeedsARowClickFirst) {
    Cameras({{"Cam A", "AB"}});
    Form_select_Video w;
    w.show();
    w.Command_enum2_Click();
    w.Command_select_done_Click();
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"No video source selected!"});
    EXPECT_TRUE(w.isVisible());

    w.ListView_prop_ItemClick(w.ListView_prop->topLevelItem(1));
    w.Command_select_done_Click();
    EXPECT_FALSE(w.isVisible());
    w.show();
    w.Command_select_done_Click();
    EXPECT_FALSE(w.isVisible()) << "after one click it closes every time";
    EXPECT_EQ(dialogs.Messages().size(), 1u);
}

TEST_F(Window_Test, ARowClickSavesTheChoiceAtOnceAndCancelKeepsIt) {
    Cameras({{"Cam A", "A"}, {"Finish cam", "ACB"}});
    Form_select_Video w;
    w.show();
    w.Command_enum2_Click();
    QTreeWidgetItem* row = w.ListView_prop->topLevelItem(3);  // Finish cam, property 2
    ASSERT_NE(row, nullptr);
    // A real click on the row, through the list.
    const QRect r = w.ListView_prop->visualItemRect(row);
    QTest::mouseClick(w.ListView_prop->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_TRUE(w.Selection_Made());
    EXPECT_EQ(Read_Ini("capturesettings", "friendlyname", Facts().Ini_file_path, "noname"), "Finish cam");
    EXPECT_EQ(Read_Ini("capturesettings", "videoproperty", Facts().Ini_file_path, "-1"), "2");
    EXPECT_EQ(w.Label_video_source->text(), "2");
    EXPECT_EQ(w.Label_selected_friendly->text(), "Finish cam");
    EXPECT_EQ(w.Label_property_num->text(), "2");
    EXPECT_EQ(w.Label_property_string->text(), "1920*1080/50");
    w.Command_Cancel_Click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(Read_Ini("capturesettings", "friendlyname", Facts().Ini_file_path, "noname"), "Finish cam");
}

TEST_F(Window_Test, TheChoiceTheControllerReadIsMarkedBlue) {
    Cameras({{"Cam A", "AB"}, {"Cam B", "AB"}});
    Capture_State::Saved_Friendly_Name = "Cam B";
    Capture_State::Saved_Video_Prop_Num = "1";
    Form_select_Video w;
    w.Command_enum2_Click();
    for (int i = 0; i < w.ListView_prop->topLevelItemCount(); ++i) {
        QTreeWidgetItem* it = w.ListView_prop->topLevelItem(i);
        const bool chosen = i == 3;
        EXPECT_EQ(it->isSelected(), chosen) << i;
        EXPECT_EQ(it->foreground(1).color() == QColor(Qt::blue), chosen) << i;
    }
}

TEST_F(Window_Test, TheListGoesToTheClipboardAsText) {
    Cameras({{"Cam A", "AC"}});
    Change_Facts([&](Startup_Facts& f) { f.Computer_Name = "TRACKPC"; });
    Form_select_Video w;
    w.Command_enum2_Click();
    w.item_iterate_Click();
    const std::string expected =
        "Video source enumeration at 2026-05-16 14:30:00\r\n"
        "Program version Houndex_HDMI 1.0.0 Computer name TRACKPC\r\n"
        "1  Cam A  0  1920*1080/25\r\n"
        "1  Cam A  1  720*576/25\r\n";
    EXPECT_EQ(w.List_Text(), expected);
    EXPECT_EQ(Platform::Clipboard_Text(), expected);
    Change_Facts([](Startup_Facts& f) { f.Computer_Name.clear(); });
}

TEST_F(Window_Test, AltOnTheFormMenuTogglesTheDebugMenu) {
    Form_select_Video w;
    w.menu_form_Click();
    EXPECT_FALSE(w.menu_debug->menuAction()->isVisible()) << "without Alt nothing changes";
    Note_Key_State(18, true);
    w.menu_form_Click();
    EXPECT_TRUE(w.menu_debug->menuAction()->isVisible());
    w.menu_form_Click();
    EXPECT_FALSE(w.menu_debug->menuAction()->isVisible());
}

TEST_F(Window_Test, TheSavedTickBoxDecidesTheRateCapOfTheNextCameraStart) {
    Cameras({{"Cam A", "AB"}});
    for (const bool limit : {false, true}) {
        {
            Form_select_Video w;
            w.Command_enum2_Click();
            w.ListView_prop_ItemClick(w.ListView_prop->topLevelItem(1));  // Cam A, 1920*1080/50
            w.Check_limit_fps->setChecked(!limit);
            w.Check_limit_fps->setChecked(limit);
        }
        // A later run: the window is gone, the controller wired as the program wires it.
        EXPECT_EQ(Form_select_Video().Limit_Fps(), limit);
        cls_Capture_HDMI cap;  // from the same factory
        ASSERT_TRUE(cap.Set_Source_from_Saved());
        EXPECT_EQ(cap.Current_PropertyString(), "1920*1080/50");
        auto* combined = dynamic_cast<CombinedVideoCap*>(&cap.Component());
        ASSERT_NE(combined, nullptr);
        auto* sim_cam = dynamic_cast<SimVideoCap*>(combined->Selected_Part());
        ASSERT_NE(sim_cam, nullptr);
        EXPECT_EQ(sim_cam->Frame_Period_Mill(), limit ? 40 : 20) << (limit ? "ticked" : "unticked");
    }
}

// ------------------------------------------------------------------ performance window

class Performance_Test : public Window_Test {
protected:
    void SetUp() override {
        Window_Test::SetUp();
        item = std::make_unique<QAction>("HDMI performance");
        item->setCheckable(true);
    }
    void TearDown() override {
        delete form.data();
        item.reset();
        Window_Test::TearDown();
    }
    std::unique_ptr<QAction> item;
    QPointer<Form_HDMI_performance> form;
};

TEST_F(Performance_Test, BeforeThirtyOneFramesThereIsNoActiveSource) {
    auto cap = Controller();
    cap->Capture_Run();
    Frames(30, 40);
    Form_HDMI_performance::Menu_Command(*cap, item.get(), form);
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"No active HDMI source!"});
    EXPECT_TRUE(form.isNull());
    EXPECT_FALSE(item->isChecked());
}

TEST_F(Performance_Test, OpeningFillsTheWindowAndTheSecondCommandUnloadsIt) {
    Capture_State::Current_PropertyString = "1920*1080/25";
    Capture_State::Current_FriendlyName = "Houndex camera simulator";
    Write_Ini("capturesettings", "friendlyname", "Houndex camera simulator", Facts().Ini_file_path);
    Write_Ini("capturesettings", "videoproperty", "0", Facts().Ini_file_path);
    auto cap = Controller({Small_25(), {192, 108, 50, false}});
    ASSERT_TRUE(cap->Set_Source_from_Saved());
    cap->Capture_Run();
    Frames(31, 40);
    Form_HDMI_performance::Menu_Command(*cap, item.get(), form);
    ASSERT_FALSE(form.isNull());
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(item->isChecked());
    EXPECT_EQ(form->Label_prop->text(), "192*108/25 / Houndex camera simulator");
    EXPECT_EQ(form->Label_HDMI_dimensions->text(), "192*108, 25 fps");
    EXPECT_EQ(form->Label_min_max_fps->text(), "min max fps: 25/50");
    EXPECT_EQ(form->windowTitle(), "HDMI performance Houndex HDMI 1.0.0 2026-05-16 14:30:01");
    EXPECT_TRUE(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(form->windowFlags().testFlag(Qt::WindowCloseButtonHint));

    Form_HDMI_performance::Menu_Command(*cap, item.get(), form);
    EXPECT_FALSE(item->isChecked());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
}

TEST_F(Performance_Test, AfterACameraRestartItOpensAtOnce) {
    auto cap = Controller();
    cap->Capture_Run();
    Frames(31, 40);
    cap->Stop_Capture();
    cap->Capture_Run();
    Form_HDMI_performance::Menu_Command(*cap, item.get(), form);
    EXPECT_TRUE(dialogs.Messages().empty());
    ASSERT_FALSE(form.isNull());
    EXPECT_TRUE(form->isVisible());
}

TEST_F(Performance_Test, HideFormUnloadsAndUnchecksTheMenu) {
    auto cap = Controller();
    cap->Capture_Run();
    Frames(31, 40);
    Form_HDMI_performance::Menu_Command(*cap, item.get(), form);
    ASSERT_TRUE(item->isChecked());
    QTest::mouseClick(form->findChild<QPushButton*>("Command_Hide_Me"), Qt::LeftButton);
    EXPECT_FALSE(item->isChecked());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
}

TEST_F(Performance_Test, CountersCompareReceivedWithExpectedFrames) {
    struct Case {
        int16_t running_fps;
        int frames;
        int ms_each;
        int64_t expected;
    } cases[] = {{25, 10, 40, 10}, {30, 10, 20, 5}, {31, 10, 20, 10}, {50, 12, 40, 24}, {0, 3, 30, 2}};
    for (const auto& c : cases) {
        Capture_State::Running_Fps_Value = c.running_fps;
        Form_HDMI_performance w;
        w.Reset_Counters();
        for (int i = 0; i < c.frames; ++i) {
            clock.Advance(c.ms_each);
            w.HDMI_event(clock.PC_Mill(), c.ms_each);
        }
        EXPECT_EQ(w.Label_Frames_received->text().toLongLong(), c.frames) << "fps " << c.running_fps;
        EXPECT_EQ(w.Label_frames_Calculated->text().toLongLong(), c.expected) << "fps " << c.running_fps;
        EXPECT_EQ(w.Label_frames_lost->text().toLongLong(), std::max<int64_t>(0, c.expected - c.frames))
            << "fps " << c.running_fps;
    }
}

TEST_F(Performance_Test, AClickOnTheLostCounterRestartsAllThree) {
    Form_HDMI_performance w;
    w.show();
    for (int i = 0; i < 10; ++i) {
        clock.Advance(80);  // every second frame missing at 25 frames/s
        w.HDMI_event(clock.PC_Mill(), 80);
    }
    ASSERT_EQ(w.Label_frames_lost->text(), "10");
    QTest::mouseClick(w.Label_frames_lost, Qt::LeftButton);
    EXPECT_EQ(w.Perf_Received(), 0);
    EXPECT_EQ(w.Perf_Start_Mill(), clock.PC_Mill());
    EXPECT_EQ(w.Label_Frames_received->text(), "0");
    EXPECT_EQ(w.Label_frames_Calculated->text(), "0");
    EXPECT_EQ(w.Label_frames_lost->text(), "0");
    clock.Advance(40);
    w.HDMI_event(clock.PC_Mill(), 40);
    EXPECT_EQ(w.Label_frames_lost->text(), "0");
}

TEST_F(Performance_Test, BarsScrollLeftAtOnePixelPerMillisecondAndClipAtTheTop) {
    Form_HDMI_performance w;
    const QImage& c = w.Picture_Delta_Scroll->Canvas();
    const int width = c.width(), h = c.height();
    const QColor blue(0, 0, 255);
    w.HDMI_event(0, 30);
    EXPECT_EQ(c.pixelColor(width - 1, h - 1), blue);
    EXPECT_EQ(c.pixelColor(width - 1, h - 1 - 29), blue);
    EXPECT_NE(c.pixelColor(width - 1, h - 1 - 35), blue);
    w.HDMI_event(0, 10);
    EXPECT_EQ(c.pixelColor(width - 2, h - 1 - 29), blue) << "the older bar moved one pixel left";
    EXPECT_NE(c.pixelColor(width - 1, h - 1 - 20), blue) << "the new bar is only as tall as its delta";
    w.HDMI_event(0, 5000);
    EXPECT_EQ(c.pixelColor(width - 1, 0), blue);
    // Reference lines at 20, 40 and 80 right of the scale labels.
    EXPECT_EQ(c.pixelColor(width / 2, h - 40), QColor(255, 255, 0));
    EXPECT_EQ(c.pixelColor(width / 2, h - 80), QColor(255, 255, 0));
    EXPECT_NE(c.pixelColor(0, h - 40), QColor(255, 255, 0));
}

TEST_F(Performance_Test, MinMaxTextIgnoresIntervalsThatAreNotNumbers) {
    EXPECT_EQ(Form_HDMI_performance::Fill_MinMax_Text("400000", "166833"), "min max fps: 25/59.9");
    EXPECT_EQ(Form_HDMI_performance::Fill_MinMax_Text("", "200000"), "");
    EXPECT_EQ(Form_HDMI_performance::Fill_MinMax_Text("0", "200000"), "");
    EXPECT_EQ(Form_HDMI_performance::Fill_MinMax_Text("4x", "200000"), "");
}

// ------------------------------------------------------------------ arm window

TEST(Form_timer_Arm, TheArmFollowsTheHundredthsOfTheTimeText) {
    struct {
        int32_t local_mill;
        double value;
    } cases[] = {
        {40333140, 14},  // " 11:12:13,14"
        {40333990, 99},
        {33133540, 4},  // before 10:00 the text is shorter: the last digit only
        {733140, 0},    // before 01:00: no hours, nothing at character 11
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(Form_timer::Arm_Value(Display_Mill_Time(c.local_mill, false)), c.value) << c.local_mill;
}

class Timer_Window_Test : public Capture_Test {};

TEST_F(Timer_Window_Test, EveryTickShowsTheTimesAndDrawsTheArmInBlue) {
    clock.Set_Local({2026, 5, 16, 11, 12, 13, 140});
    Form_timer w;
    w.Heat_Time_Caption = [] { return std::string(" 01:23,45"); };
    EXPECT_EQ(w.Timer1->interval(), 40);
    EXPECT_FALSE(w.Timer1->isActive());
    w.Timer1_Timer();
    EXPECT_EQ(w.Label_time->text(), " 11:12:13,14");
    EXPECT_EQ(w.Label_elapsed->text(), " 01:23,45");
    EXPECT_EQ(w.Label_time->font().family(), "Arial");
    // 14 / 99 of a turn from twelve o'clock: along the line from the centre.
    const double angle = Running_Arm::Angle(14, 99);
    const QImage& c = w.Picture_arm->Canvas();
    const double cx = c.width() / 2, cy = c.height() / 2;
    const QPoint on(static_cast<int>(cx + 0.8 * cx * std::cos(angle)),
                    static_cast<int>(cy + 0.8 * cy * std::sin(angle)));
    EXPECT_EQ(c.pixelColor(on), QColor(0, 0, 255));
    EXPECT_NE(c.pixelColor(static_cast<int>(cx), 5), QColor(0, 0, 255));
}

}  // namespace
