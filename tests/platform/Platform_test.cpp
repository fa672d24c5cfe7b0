#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "Test_Env.h"
#include "platform/Clock.h"
#include "platform/testing/FakeClock.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "platform/HdxError.h"
#include "platform/PictureBox.h"
#include "platform/Single_Instance.h"
#include "platform/Trace_Socket.h"

using namespace Platform;

class PlatformTest : public Hdx_Test {};

TEST_F(PlatformTest, FakeClockWrapsAndCarriesTheLocalDay) {
    clock.Set_PC_Mill(INT32_MAX - 5);
    const int32_t before = PC_Mill();
    clock.Advance(10);
    EXPECT_LT(PC_Mill(), 0);  // wrapped
    EXPECT_EQ(Mill_Since(before, PC_Mill()), 10);

    clock.Set_Local({2026, 12, 31, 23, 59, 59, 990});
    clock.Advance(20);
    const DateTime now = Local_Now();
    EXPECT_EQ(now.year, 2027);
    EXPECT_EQ(now.month, 1);
    EXPECT_EQ(now.day, 1);
    EXPECT_EQ(now.hour, 0);
    EXPECT_EQ(now.millisecond, 10);
}

TEST(SystemClockTest, MonotonicMillisecondsMove) {
    SystemClock c;
    const int32_t a = c.PC_Mill();
    c.Sleep_Mill(20);
    const int32_t d = Mill_Since(a, c.PC_Mill());
    EXPECT_GE(d, 20);
    EXPECT_LT(d, 5000);
}

TEST_F(PlatformTest, ReadOnlyIsHonouredAndAtomicWriteKeepsTheOldFile) {
    const std::string f = Path("a.txt");
    ASSERT_TRUE(Write_File_Atomic(f, "old"));
    EXPECT_FALSE(Is_Read_Only(f));
    ASSERT_TRUE(Set_Read_Only(f, true));
    EXPECT_TRUE(Is_Read_Only(f));
    EXPECT_FALSE(Is_Read_Only(Path("missing.txt")));

    // A target in a missing folder fails and leaves nothing behind.
    std::string err;
    EXPECT_FALSE(Write_File_Atomic(Path("no/such/folder/x.txt"), "new", &err));
    EXPECT_FALSE(err.empty());

    std::string bytes;
    ASSERT_TRUE(Read_File(f, bytes));
    EXPECT_EQ(bytes, "old");
    Delete_File(f);  // read-only files are deleted too
    EXPECT_FALSE(File_Exists(f));
    try {
        Delete_File(f);
        FAIL() << "deleting a missing file must raise";
    } catch (const HdxError& e) {
        EXPECT_EQ(e.number, HdxErr::FileNotFound);
    }
    EXPECT_EQ(std::filesystem::directory_iterator(Data_Dir()) == std::filesystem::directory_iterator(), true);
}

// A power cut right after the write must find the new contents: the new file
// reaches the device before it is renamed over the old, and the folder's new
// entry after. Over an existing file and as a new one alike.
TEST_F(PlatformTest, AtomicWriteSyncsTheFileBeforeTheRenameAndTheFolderAfter) {
    for (const bool existing : {false, true}) {
        SCOPED_TRACE(existing ? "over an existing file" : "a new file");
        const std::string f = Path(existing ? "old.txt" : "new.txt");
        if (existing) {
            ASSERT_TRUE(Write_File_Atomic(f, "before"));
        }
        std::vector<std::string> steps;
        Set_Durable_Step_Observer([&](const std::string& step, const std::string& path) {
            // Beside the target, so the rename stays on one file system.
            const bool tmp = path.rfind(f + ".tmp", 0) == 0;
            steps.push_back(step + " " + (tmp ? "TMP" : path));
        });
        const bool written = Write_File_Atomic(f, "after");
        Set_Durable_Step_Observer(nullptr);
        ASSERT_TRUE(written);
        EXPECT_EQ(steps, (std::vector<std::string>{"sync TMP", "rename " + f, "sync folder " + Data_Dir()}));
        std::string bytes;
        ASSERT_TRUE(Read_File(f, bytes));
        EXPECT_EQ(bytes, "after");
    }
}

TEST_F(PlatformTest, JoinPathAndDataFolder) {
    EXPECT_EQ(Join_Path("/a/b", "c.ini"), "/a/b/c.ini");
    EXPECT_EQ(Join_Path("/a/b/", "c.ini"), "/a/b/c.ini");
    EXPECT_EQ(Join_Path("", "c.ini"), "c.ini");
    EXPECT_EQ(Local_AppData_Folder(), Data_Dir());
    unsetenv("HOUNDEX_DATA_DIR");
    setenv("XDG_DATA_HOME", "/x/share", 1);
    EXPECT_EQ(Local_AppData_Folder(), "/x/share/Houndex_HDMI");
    unsetenv("XDG_DATA_HOME");
    setenv("HOUNDEX_DATA_DIR", Data_Dir().c_str(), 1);
}

TEST_F(PlatformTest, SecondHolderOfTheInstanceLockIsRefused) {
    const std::string lock = Path("Houndex_HDMI.lock");
    Single_Instance first, second;
    EXPECT_TRUE(first.Acquire(lock));
    EXPECT_FALSE(second.Acquire(lock));
    first.Release();
    EXPECT_TRUE(second.Acquire(lock));
}

TEST_F(PlatformTest, TraceLineHasPrefixAndTabSeparatedValues) {
    Trace("*Heat already started!!");
    Trace({"a", "b", "c"});
    ASSERT_EQ(traces.lines.size(), 2u);
    EXPECT_NE(traces.lines[0].find(" C: "), std::string::npos);
    EXPECT_NE(traces.lines[0].find(": 20260516 143000: *Heat already started!!\t"), std::string::npos);
    const std::string& l = traces.lines[1];
    EXPECT_EQ(l.substr(l.size() - 6), "a\tb\tc\t");
}

TEST_F(PlatformTest, TraceReachesAListeningViewerAndIsDroppedWithoutOne) {
    const std::string sock = Path("trace.sock");
    {
        Trace_Socket_Listener viewer(sock);
        ASSERT_TRUE(viewer.Ok()) << viewer.Error();
        Trace_Socket_Sink sink(sock);
        Set_Trace_Sink(&sink);
        Trace("*hello viewer");
        std::string got;
        ASSERT_TRUE(viewer.Receive(got, 2000));
        EXPECT_NE(got.find("*hello viewer\t"), std::string::npos);
    }
    // No viewer at the first line: this and later lines are dropped, even once one listens.
    Trace_Socket_Sink sink(sock);
    Set_Trace_Sink(&sink);
    Trace("*nobody listens");
    EXPECT_TRUE(sink.Looked());
    EXPECT_FALSE(sink.Connected());
    Trace_Socket_Listener late(sock);
    ASSERT_TRUE(late.Ok());
    Trace("*too late");
    std::string got;
    EXPECT_FALSE(late.Receive(got, 200));
    Set_Trace_Sink(&traces);
}

TEST_F(PlatformTest, ErrorHandlerForwardsAndReportsExceptionsWithTheirNumber) {
    NXF_Error_Handler("Division by zero", 11, 42, "Misbehave of Form Form_Houndex");
    Report_Exception(HdxError(HdxErr::FileNotFound, "File not found"), "X of Module Y", 7);
    ASSERT_EQ(errors.errors.size(), 2u);
    EXPECT_EQ(errors.errors[0].number, 11);
    EXPECT_EQ(errors.errors[0].line, 42);
    EXPECT_EQ(errors.errors[0].location, "Misbehave of Form Form_Houndex");
    EXPECT_EQ(errors.errors[1].number, 53);
    EXPECT_EQ(errors.errors[1].description, "File not found");
}

TEST_F(PlatformTest, PictureBoxDrawsInScaleUnitsAndKeepsItsCanvas) {
    PictureBox box;
    box.Set_Canvas_Size(200, 100);
    box.Set_Scale(2000, 1000);  // 10 units a pixel
    box.Set_Back_Color(Qt::black);
    box.Cls();
    box.Box(100, 100, 300, 200, Qt::red, true);  // pixels 10..30 x 10..20
    EXPECT_EQ(box.Canvas().pixelColor(20, 15), QColor(Qt::red));
    EXPECT_EQ(box.Canvas().pixelColor(50, 50), QColor(Qt::black));
    box.Line(0, 500, 2000, 500, Qt::green);
    EXPECT_EQ(box.Canvas().pixelColor(100, 50), QColor(Qt::green));
    EXPECT_DOUBLE_EQ(box.From_Pixel_X(20), 200);
    box.Current_X = 0;
    box.Current_Y = 0;
    box.Print("abc");
    EXPECT_DOUBLE_EQ(box.Current_X, 0);
    EXPECT_GT(box.Current_Y, 0);
    box.Cls();
    EXPECT_EQ(box.Canvas().pixelColor(20, 15), QColor(Qt::black));
}

TEST(PictureTwipsTest, ScreenSizeFromTheResolutionShrunkKeepingTheShapeOnlyWhenItDoesNotFit) {
    QImage own(960, 480, QImage::Format_RGB32);
    own.setDotsPerMeterX(static_cast<int>(std::lround(192 / 0.0254)));  // 192 dpi: half the twips of 96
    own.setDotsPerMeterY(static_cast<int>(std::lround(192 / 0.0254)));
    QSizeF s = Picture_Twips_Fitted(own, 20000, 20000);
    EXPECT_NEAR(s.width(), 7200, 1);
    EXPECT_NEAR(s.height(), 3600, 1);

    QImage plain(960, 480, QImage::Format_RGB32);  // a new picture's resolution: 96 dpi (3780 per metre)
    s = Picture_Twips_Fitted(plain, 7200, 20000);  // 14400 x 7200: half the width fits
    EXPECT_NEAR(s.width(), 7200, 1e-6);
    EXPECT_NEAR(s.height(), 3600, 1);
    s = Picture_Twips_Fitted(plain, 20000, 1800);  // the height decides
    EXPECT_NEAR(s.width(), 3600, 1);
    EXPECT_NEAR(s.height(), 1800, 1e-6);
    // No room at all: the screen size is kept rather than a picture of nothing.
    s = Picture_Twips_Fitted(plain, 0, 1800);
    EXPECT_NEAR(s.width(), 14400, 2);
    EXPECT_NEAR(s.height(), 7200, 2);
}
