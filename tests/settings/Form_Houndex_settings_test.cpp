#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>

#include <fstream>

#include "Test_Env.h"
#include "Test_Name.h"
#include "platform/HdxError.h"
#include "settings/Capture_Triggers.h"
#include "settings/Form_Houndex_settings.h"
#include "settings/Module_Ini.h"
#include "common/Startup_Facts.h"

class SettingsWindowTest : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
        host.Goal_Compensation = [this] { return goal; };
        host.Box_Delay = [this] { return box; };
        host.Load_Compensations = [this] {
            ++reloads;
            box = std::stoi(Read_Ini("Settings", "box_delay", Facts().Ini_file_path, "0"));
            goal = std::stoi(Read_Ini("Settings", "goal_compensation", Facts().Ini_file_path, "200"));
        };
        host.Results_Feed_Changed = [this] { ++feed_restarts; };
        host.Web_Server_Changed = [this] { ++web_restarts; };
        host.Web_Urls = [this] { return web_urls; };
    }
    void TearDown() override {
        Form_Houndex_settings::Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Hdx_Test::TearDown();
    }
    std::string Ini(const char* key) { return Read_Ini("Settings", key, Facts().Ini_file_path, ""); }

    Form_Houndex_settings::Host host;
    int goal = 180, box = 30, reloads = 0, feed_restarts = 0, web_restarts = 0;
    std::vector<std::string> web_urls;
};

TEST_F(SettingsWindowTest, FirstLoadStoresBothDelaysAndShowsTheSwitches) {
    std::ofstream(Facts().Ini_file_path) << "[Settings]\r\nauto_init=1\r\nopen_after_finish=2\r\n";
    Form_Houndex_settings& form = Form_Houndex_settings::Get(host);
    EXPECT_FALSE(form.isVisible());  // loaded invisibly by a reader
    EXPECT_EQ(form.windowTitle(), "Houndex HDMI Settings");
    EXPECT_EQ(Ini("goal_compensation"), "180");
    EXPECT_EQ(Ini("Box_delay"), "30");
    EXPECT_GE(reloads, 2);
    EXPECT_EQ(form.Check_Auto_init_Value(), 1);
    EXPECT_EQ(form.Check_print_dialog_Value(), 0);
    EXPECT_EQ(form.Check_open_after_finish_Value(), 2);
    EXPECT_EQ(form.Check_open_after_finish->checkState(), Qt::PartiallyChecked);
}

TEST_F(SettingsWindowTest, TickingAndTypingAreStoredAtOnce) {
    Form_Houndex_settings& form = Form_Houndex_settings::Get(host);
    form.show();
    QTest::mouseClick(form.Check_Auto_init, Qt::LeftButton);
    EXPECT_EQ(Ini("auto_init"), "1");
    QTest::mouseClick(form.Check_print_dialog, Qt::LeftButton);
    QTest::mouseClick(form.Check_print_dialog, Qt::LeftButton);
    EXPECT_EQ(Ini("show_printer_dialog"), "0");

    form.Text_Box_delay->setFocus();
    form.Text_Box_delay->end(false);
    QTest::keyClick(form.Text_Box_delay, Qt::Key_5);
    EXPECT_EQ(Ini("box_delay"), "305");
    EXPECT_EQ(box, 305);
    QTest::keyClick(form.Text_Box_delay, Qt::Key_A);  // refused with a beep
    EXPECT_EQ(form.Text_Box_delay->text(), "305");
    EXPECT_EQ(dialogs.beeps, 1);
    for (int i = 0; i < 3; ++i) QTest::keyClick(form.Text_Box_delay, Qt::Key_Backspace);
    EXPECT_EQ(form.Text_Box_delay->text(), "");
    EXPECT_EQ(Read_Ini("Settings", "box_delay", Facts().Ini_file_path, "0"), "0");  // empty reads as the default
    EXPECT_EQ(box, 0);
}

TEST_F(SettingsWindowTest, FeedSettingsShowTheirDefaultsAndAChangeIsStoredAndRestartsTheFeed) {
    Form_Houndex_settings& form = Form_Houndex_settings::Get(host);
    form.show();
    EXPECT_FALSE(form.Check_results_feed->isChecked());
    EXPECT_EQ(form.Text_feed_address->text(), "127.0.0.1");
    EXPECT_EQ(form.Text_feed_port->text(), "4720");
    EXPECT_EQ(form.Text_feed_serial->text(), "");
    EXPECT_EQ(form.Text_feed_max_clients->text(), "16");
    EXPECT_EQ(feed_restarts, 0);

    QTest::mouseClick(form.Check_results_feed, Qt::LeftButton);
    EXPECT_EQ(Ini("results_feed"), "1");
    EXPECT_EQ(feed_restarts, 1);
    // A field is stored when it is left, and only when it changed.
    form.Text_feed_port->setFocus();
    QTest::keyClick(form.Text_feed_port, Qt::Key_Return);
    EXPECT_EQ(feed_restarts, 1);
    form.Text_feed_port->selectAll();
    QTest::keyClicks(form.Text_feed_port, "5000x");
    QTest::keyClick(form.Text_feed_port, Qt::Key_Return);
    EXPECT_EQ(Ini("results_feed_port"), "5000");
    EXPECT_EQ(feed_restarts, 2);
    form.Text_feed_max_clients->selectAll();
    QTest::keyClicks(form.Text_feed_max_clients, "4");
    QTest::keyClick(form.Text_feed_max_clients, Qt::Key_Return);
    EXPECT_EQ(Ini("results_feed_max_clients"), "4");
    EXPECT_EQ(feed_restarts, 3);
}

TEST_F(SettingsWindowTest, TheWebServerIsOffUntilTickedAndShowsItsAddresses) {
    Form_Houndex_settings& form = Form_Houndex_settings::Get(host);
    EXPECT_FALSE(form.Check_web_server->isChecked());
    EXPECT_EQ(form.Text_web_address->text(), "127.0.0.1");
    EXPECT_EQ(form.Text_web_port->text(), "4730");
    EXPECT_EQ(form.Label_web_urls->text(), "Off");
    web_urls = {"Scoreboard: http://192.168.1.20:4730/scoreboard?key=abc"};
    QTest::mouseClick(form.Check_web_server, Qt::LeftButton);
    EXPECT_EQ(Ini("web_server"), "1");
    EXPECT_EQ(web_restarts, 1);
    EXPECT_EQ(form.Label_web_urls->text().toStdString(), web_urls[0]);
    form.Text_web_address->selectAll();
    QTest::keyClicks(form.Text_web_address, "0.0.0.0");
    QTest::keyClick(form.Text_web_address, Qt::Key_Return);
    EXPECT_EQ(Ini("web_address"), "0.0.0.0");
    EXPECT_EQ(web_restarts, 2);
    // A new key only after the official confirms: the screens given the old one lose access.
    Write_Ini("Settings", "web_key", "old-key-of-the-meeting", Facts().Ini_file_path);
    dialogs.Answer_Message(Platform::MsgResult::Cancel);
    form.Command_new_web_key_Click();
    EXPECT_EQ(Ini("web_key"), "old-key-of-the-meeting");
    dialogs.Answer_Message(Platform::MsgResult::OK);
    form.Command_new_web_key_Click();
    EXPECT_EQ(Ini("web_key"), "N/A");  // emptied: the server makes a new one as it starts
    EXPECT_EQ(web_restarts, 3);
    web_urls.clear();
    QTest::mouseClick(form.Check_web_server, Qt::LeftButton);
    EXPECT_EQ(form.Label_web_urls->text(), "Off");
}

TEST_F(SettingsWindowTest, HideUnloadsAndTheNextAccessReadsTheFile) {
    Form_Houndex_settings& form = Form_Houndex_settings::Get(host);
    QTest::mouseClick(form.Check_Auto_init, Qt::LeftButton);
    form.Command_hide_Click();
    EXPECT_EQ(Form_Houndex_settings::Loaded(), nullptr);
    Write_Ini("Settings", "auto_init", "0", Facts().Ini_file_path);
    EXPECT_EQ(Form_Houndex_settings::Get(host).Check_Auto_init_Value(), 0);
}

TEST_F(SettingsWindowTest, ABadSwitchSettingFailsTheLoad) {
    for (const char* bad : {"yes", "3", "-1"}) {
        std::ofstream(Facts().Ini_file_path, std::ios::trunc) << "[Settings]\r\nshow_printer_dialog=" << bad << "\r\n";
        EXPECT_THROW(Form_Houndex_settings::Get(host), HdxError) << bad;
        EXPECT_EQ(Form_Houndex_settings::Loaded(), nullptr);
    }
}

TEST_F(SettingsWindowTest, TheWindowGoesWithItsOwnerAndIsLoadedAfresh) {
    auto* owner = new QWidget;
    Form_Houndex_settings::Get(host, owner);
    ASSERT_NE(Form_Houndex_settings::Loaded(), nullptr);
    delete owner;
    EXPECT_EQ(Form_Houndex_settings::Loaded(), nullptr);
    Form_Houndex_settings::Unload();  // nothing left to unload
    EXPECT_NE(&Form_Houndex_settings::Get(host), nullptr);
}

// The distance table: a usable table is stored as typed; a field that is no
// number or bounds that do not rise are shown and the stored table stays.
TEST_F(SettingsWindowTest, TheMarginTableIsStoredOnlyWhenItIsUsable) {
    struct Step {
        const char* name;
        int field;
        const char* text;
        const char* stored_neck;
        const char* stored_length;
        bool fault;
    } steps[] = {
        {"new neck", 3, "0.5", "0.5", "0.08", false},
        {"slower length", 0, "0.1", "0.5", "0.1", false},
        {"empty length", 0, "", "0.5", "0.1", true},
        {"length back", 0, "0.09", "0.5", "0.09", false},
        {"neck under the head", 3, "0.15", "0.5", "0.09", true},
    };
    Form_Houndex_settings& form = Form_Houndex_settings::Get(host);
    form.show();
    EXPECT_EQ(form.Text_margin[0]->text(), "0.08");  // the default is shown
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        QLineEdit& field = *form.Text_margin[static_cast<size_t>(s.field)];
        field.selectAll();
        field.setFocus();
        if (*s.text)
            QTest::keyClicks(&field, s.text);
        else
            QTest::keyClick(&field, Qt::Key_Backspace);
        EXPECT_EQ(Read_Ini("Margins", "neck", Facts().Ini_file_path, ""), s.stored_neck);
        EXPECT_EQ(Read_Ini("Margins", "seconds_per_length", Facts().Ini_file_path, ""), s.stored_length);
        EXPECT_EQ(form.Label_margin_fault->text().isEmpty(), !s.fault);
    }
}

// What the capture-window settings show for what the file holds.
struct Trigger_Setting_Case {
    const char* name;
    const char* stored;  // the [Settings] lines
    int pre, post;
    bool automatic;
    int threshold, settle;
};
class TriggerSettingsTest : public SettingsWindowTest, public ::testing::WithParamInterface<Trigger_Setting_Case> {};

TEST_P(TriggerSettingsTest, TheCaptureWindowSettingsShowWhatIsStoredOrTheirDefaults) {
    const Trigger_Setting_Case& c = GetParam();
    std::ofstream(Facts().Ini_file_path) << "[Settings]\r\n" << c.stored;
    Form_Houndex_settings& form = Form_Houndex_settings::Get(host);
    EXPECT_EQ(form.Spin_pre_trigger->value(), c.pre);
    EXPECT_EQ(form.Spin_post_trigger->value(), c.post);
    EXPECT_EQ(form.Check_auto_capture->isChecked(), c.automatic);
    EXPECT_EQ(form.Spin_auto_threshold->value(), c.threshold);
    EXPECT_EQ(form.Spin_auto_settle->value(), c.settle);
    // What the rest of the program reads is what the window shows.
    const Capture_Triggers t = Capture_Triggers::Read();
    EXPECT_EQ(t.Pre_Trigger_ms, c.pre);
    EXPECT_EQ(t.Post_Trigger_ms, c.post);
    EXPECT_EQ(t.Auto_Capture, c.automatic);
}

INSTANTIATE_TEST_SUITE_P(
    Stored, TriggerSettingsTest,
    ::testing::Values(
        Trigger_Setting_Case{"nothing stored gives a second before and none after", "", 1000, 0, false, 12, 1000},
        Trigger_Setting_Case{
            "stored values",
            "pre_trigger_ms=0\r\npost_trigger_ms=300\r\nauto_capture=1\r\nauto_threshold=30\r\nauto_settle_ms=500\r\n",
            0, 300, true, 30, 500},
        Trigger_Setting_Case{"damaged values take the defaults",
                             "pre_trigger_ms=abc\r\npost_trigger_ms=1e3\r\nauto_capture=yes\r\n", 1000, 0, false, 12,
                             1000},
        Trigger_Setting_Case{"values out of range are brought into it",
                             "pre_trigger_ms=-5\r\npost_trigger_ms=999999\r\nauto_threshold=0\r\n", 0, 10000, false, 1,
                             1000}),
    By_Name());

TEST_F(SettingsWindowTest, ChangingACaptureWindowSettingStoresItAtOnce) {
    Form_Houndex_settings& form = Form_Houndex_settings::Get(host);
    EXPECT_EQ(Ini("pre_trigger_ms"), "N/A");  // loading stores nothing
    form.Spin_pre_trigger->setValue(600);
    form.Spin_post_trigger->setValue(200);
    form.Check_auto_capture->setChecked(true);
    EXPECT_EQ(Ini("pre_trigger_ms"), "600");
    EXPECT_EQ(Ini("post_trigger_ms"), "200");
    EXPECT_EQ(Ini("auto_capture"), "1");
}

TEST_F(SettingsWindowTest, TheWindowMemoryLimitIsShownAndKeptWhenAnotherCaptureSettingChanges) {
    std::ofstream(Facts().Ini_file_path) << "[Settings]\r\nwindow_limit_mb=512\r\n";
    Form_Houndex_settings& form = Form_Houndex_settings::Get(host);
    EXPECT_EQ(form.Spin_window_limit->value(), 512);
    form.Spin_pre_trigger->setValue(600);
    EXPECT_EQ(Ini("window_limit_mb"), "512") << "another setting's change keeps the limit";
    form.Spin_window_limit->setValue(0);
    EXPECT_EQ(Capture_Triggers::Read().Window_Limit_MB, 0) << "0: no limit";
}
