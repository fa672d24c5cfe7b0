#include <fstream>

#include "Test_Env.h"
#include "Test_Name.h"
#include "common/Startup_Facts.h"
#include "settings/Capture_Triggers.h"
#include "settings/Module_Ini.h"

namespace {

struct Window_Limit_Case {
    const char* name;
    const char* stored;  // the [Settings] lines
    int32_t limit_mb;
};

class WindowLimitTest : public Hdx_Test, public ::testing::WithParamInterface<Window_Limit_Case> {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        saved_ = Facts().Ini_file_path;
        Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
    }
    void TearDown() override {
        Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = saved_; });
        Hdx_Test::TearDown();
    }
    std::string saved_;
};

TEST_P(WindowLimitTest, TheWindowMemoryLimitIsReadAndKeptInItsRange) {
    std::ofstream(Facts().Ini_file_path) << "[Settings]\r\n" << GetParam().stored;
    Capture_Triggers t = Capture_Triggers::Read();
    EXPECT_EQ(t.Window_Limit_MB, GetParam().limit_mb);
    // What is written reads back the same.
    t.Pre_Trigger_ms = 700;
    ASSERT_TRUE(t.Write());
    EXPECT_EQ(Capture_Triggers::Read().Window_Limit_MB, GetParam().limit_mb);
    EXPECT_EQ(Capture_Triggers::Read().Pre_Trigger_ms, 700);
}

INSTANTIATE_TEST_SUITE_P(
    Stored, WindowLimitTest,
    ::testing::Values(Window_Limit_Case{"nothing stored gives two gigabytes", "", 2048},
                      Window_Limit_Case{"a stored limit", "window_limit_mb=512\r\n", 512},
                      Window_Limit_Case{"zero is no limit", "window_limit_mb=0\r\n", 0},
                      Window_Limit_Case{"a damaged value takes the default", "window_limit_mb=1GB\r\n", 2048},
                      Window_Limit_Case{"too small is raised to the smallest", "window_limit_mb=3\r\n", 64},
                      Window_Limit_Case{"negative is no limit", "window_limit_mb=-40\r\n", 0},
                      Window_Limit_Case{"too large is lowered", "window_limit_mb=9999999\r\n", 65536}),
    By_Name());

}  // namespace
