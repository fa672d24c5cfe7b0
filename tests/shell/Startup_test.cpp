#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QTextBrowser>

#include <fstream>
#include <sstream>

#include "Test_Env.h"
#include "controlbox/Control_Box_Choice.h"
#include "platform/Files.h"
#include "platform/Single_Instance.h"
#include "settings/Module_Ini.h"
#include "shell/Form_Houndex.h"
#include "shell/Form_Quick_Start.h"
#include "shell/Keyboard_Hook.h"
#include "common/Startup_Facts.h"
#include "platform/Find_Control.h"

using Platform::Control;

class StartupTest : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        // No choice is stored: the start-up would ask the machine's serial ports.
        Set_Port_Lister([] { return std::vector<Serial_Port_Entry>{}; });
    }
    void TearDown() override {
        Set_Port_Lister({});
        Hdx_Test::TearDown();
    }
    std::string Ini() const { return Path("Houndex_HDMI.ini"); }
};

TEST_F(StartupTest, FirstStartOnAnEmptyFolderWritesOnlyTheBitnessAndTheCrop) {
    Form_Houndex form;
    ASSERT_TRUE(form.Form_Load());
    EXPECT_EQ(Facts().Ini_file_path, Ini());
    EXPECT_EQ(Facts().AppData_Folder, Data_Dir());
    const std::string ini = Read_Text(Ini());
    EXPECT_NE(ini.find("osbitness="), std::string::npos);
    EXPECT_NE(ini.find("cpubitness="), std::string::npos);
    // Choosing the default crop at start-up remembers it.
    EXPECT_NE(ini.find("lastcrop=400*880"), std::string::npos);
    int lines = 0;
    for (char c : ini) lines += c == '=';
    EXPECT_EQ(lines, 3) << ini;
    EXPECT_TRUE(errors.errors.empty());
    EXPECT_TRUE(dialogs.Messages().empty());
    EXPECT_EQ(form.windowTitle(), "Houndex HDMI");
    EXPECT_EQ(Facts().Program_Name, "Houndex_HDMI");
    EXPECT_EQ(Facts().CPU_Info.rfind("CPU= ", 0), 0u);
    EXPECT_EQ(Facts().CPU_Info.substr(Facts().CPU_Info.size() - 3), "GHz");
}

TEST_F(StartupTest, TheQuickStartOpensByItselfOnlyAtTheFirstStartAndAlwaysFromHelp) {
    const auto guide_shown = [](Form_Houndex& form) {
        form.show();
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
        const auto* guide = form.findChild<Form_Quick_Start*>();
        return guide && guide->isVisible();
    };
    {
        Form_Houndex form;
        ASSERT_TRUE(form.Form_Load());
        ASSERT_TRUE(guide_shown(form));
        const QString text = form.findChild<Form_Quick_Start*>()->Text_guide->toPlainText();
        EXPECT_TRUE(text.contains(QString::fromStdString(form.Capture_Folder()))) << text.toStdString();
        EXPECT_TRUE(text.contains(QString::fromStdString(Data_Dir())));
        form.Houndex_End();
    }
    Form_Houndex form;
    ASSERT_TRUE(form.Form_Load());
    EXPECT_FALSE(guide_shown(form));
    Control<QAction>(form, "item_quick_start")->trigger();
    ASSERT_NE(form.findChild<Form_Quick_Start*>(), nullptr);
    EXPECT_TRUE(form.findChild<Form_Quick_Start*>()->isVisible());
    std::vector<std::string> help;
    for (QAction* a : Control<QMenu>(form, "menu_help")->actions()) help.push_back(a->text().toStdString());
    EXPECT_EQ(help, (std::vector<std::string>{"Quick start", "About"}));
}

TEST_F(StartupTest, StoredBitnessIsUsedUnchangedAndRedeterminedWhenDeleted) {
    std::ofstream(Ini()) << "[Settings]\r\nosbitness=16\r\ncpubitness=8\r\n";
    {
        Form_Houndex form;
        ASSERT_TRUE(form.Form_Load());
        EXPECT_EQ(Facts().OS_Bitness, "16");
        EXPECT_EQ(Facts().CPU_Bitness, "8");
    }
    std::ofstream(Ini(), std::ios::trunc) << "[Settings]\r\nHeat_ID=7\r\n";
    Form_Houndex form;
    ASSERT_TRUE(form.Form_Load());
    EXPECT_TRUE(Facts().OS_Bitness == "32" || Facts().OS_Bitness == "64");
    EXPECT_EQ(Read_Ini("Settings", "osbitness", Ini(), ""), Facts().OS_Bitness);
    EXPECT_EQ(Control<QSpinBox>(form, "UpDown_heat")->value(), 7);
}

TEST_F(StartupTest, SecondInstanceIsRefusedWithItsMessage) {
    Platform::Single_Instance other;
    ASSERT_TRUE(other.Acquire(Path("Houndex_HDMI.lock")));
    Form_Houndex form;
    EXPECT_FALSE(form.Form_Load());
    EXPECT_TRUE(form.Terminated());
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"A previous instance of Houndex is running!"});
    EXPECT_FALSE(traces.Has("Form_Houndex Form_Load, end"));
}

TEST_F(StartupTest, StartUpTracesInOrderAndKeepsTheCommandLineFile) {
    Form_Houndex form("\"/races/heat 3.nx3\"");
    ASSERT_TRUE(form.Form_Load());
    EXPECT_EQ(form.Startup_File(), "/races/heat 3.nx3");
    const std::vector<std::string> want = {"*Form_Houndex Form_Load, begin",
                                           "*Before InstallHook",
                                           "*After InstallHook",
                                           "Form_Load, after load_Capture_Folder",
                                           "*Command_dollar = /races/heat 3.nx3",
                                           "Form_Houndex Form_Load, end"};
    const auto got = traces.Messages();
    size_t at = 0;
    for (const auto& m : got)
        if (at < want.size() && m == want[at]) ++at;
    EXPECT_EQ(at, want.size());
    bool starting = false;
    for (const auto& m : got)
        starting |=
            m == " Houndex starting, version = " + Facts().Program_Version + " Computer = " + Facts().Computer_Name;
    EXPECT_TRUE(starting);
    EXPECT_TRUE(form.Hook()->Installed());
    // Hidden menus of normal operation.
    for (const char* name : {"menu_settings", "menu_debug", "Menu_assign_times", "menu_specials", "Menu_notime"}) {
        auto* m = form.findChild<QMenu*>(name);
        ASSERT_NE(m, nullptr) << name;
        EXPECT_FALSE(m->menuAction()->isVisible()) << name;
    }
}

TEST_F(StartupTest, BadHeatSettingIsReportedAndStartUpGoesOn) {
    std::ofstream(Ini()) << "[settings]\r\nheat_id=seven\r\n";
    Form_Houndex form;
    EXPECT_TRUE(form.Form_Load());
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].location, "Form_Load of Form Form_Houndex");
    EXPECT_EQ(errors.errors[0].number, 13);
}

TEST_F(StartupTest, CompensationsComeFromTheSettings) {
    std::ofstream(Ini()) << "[Settings]\r\ngoal_compensation=180\r\nBox_delay=30\r\n";
    Form_Houndex form;
    ASSERT_TRUE(form.Form_Load());
    EXPECT_EQ(form.Goal_Compensation(), 180);
    EXPECT_EQ(form.Split_Compensation(), 200);
    EXPECT_EQ(form.Box_Delay(), 30);
}

TEST_F(StartupTest, ShutdownRunsInOrderWaitsAboutOneSecondAndEnds) {
    Form_Houndex form;
    ASSERT_TRUE(form.Form_Load());
    form.show();
    traces.lines.clear();
    const int32_t t0 = clock.PC_Mill();
    form.close();  // the close box: unhook, then the orderly shutdown
    EXPECT_TRUE(form.Ending());
    EXPECT_TRUE(form.Terminated());
    EXPECT_FALSE(form.Hook()->Installed());
    EXPECT_GE(clock.PC_Mill() - t0, 1000);
    EXPECT_FALSE(form.isVisible());
    const std::vector<std::string> want = {
        "*Houndex_end, begin", "*Stop_Camera",       " *cls_capture m_is_Running = False  ID = ",
        "*Stop_Houndex",       "*Stop_Houndex, end", "*Houndex_end, end"};
    EXPECT_EQ(traces.Messages(), want);
}
