// The diagnostic commands on recordings written by the real writer, the debug
// and about windows, the capture library check and the test faults.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QPrinter>

#include <filesystem>
#include <fstream>
#include <memory>

#include "Test_Pictures.h"
#include "Test_Env.h"
#include "controlbox/SimInterfaceKit.h"
#include "diagnostics/Diagnostics_Commands.h"
#include "diagnostics/Houndex_Application.h"
#include "diagnostics/IDiagnostics_Host.h"
#include "diagnostics/Module_Diagnostics.h"
#include "diagnostics/Report_Printer.h"
#include "platform/Files.h"
#include "platform/HdxError.h"
#include "platform/PictureBox.h"
#include "recording/Picture_Ops.h"
#include "recording/cls_VideoFile_handler.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"

using namespace Module_Diagnostics;

namespace {

constexpr int32_t kNine_05_07_12 = ((9 * 60 + 5) * 60 + 7) * 1000 + 120;  // 09:05:07.12 local

struct Frame_Stamp {
    int32_t mill;
    int32_t local;
    int32_t stored_delta;  // what the capture side stored; the report must not use it
};

// Prints into a PDF file so that a printout can be checked without a printer.
class Pdf_Report_Printer : public IReport_Printer {
public:
    explicit Pdf_Report_Printer(std::string file) : file_(std::move(file)) {}
    bool Available() override { return available; }
    QPrinter* Begin_Job() override {
        ++jobs;
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer_->setOutputFormat(QPrinter::PdfFormat);
        printer_->setOutputFileName(QString::fromStdString(file_));
        return printer_.get();
    }
    void End_Job() override { ++ended; }
    std::string Name() override { return "Test PDF"; }
    bool available = true;
    int jobs = 0, ended = 0;

private:
    std::string file_;
    std::unique_ptr<QPrinter> printer_;
};

class Test_Host : public IDiagnostics_Host {
public:
    Test_Host() {
        window.resize(800, 600);
        auto* central = new QWidget(&window);
        window.setCentralWidget(central);
        picture = new Platform::PictureBox(central);
        picture->Set_Canvas_Size(320, 240);
        picture->Set_Scale(1000, 500);
    }
    cls_VideoFile_handler* Review_Handler() override { return handler; }
    Platform::PictureBox& Review_Picture() override { return *picture; }
    QWidget& Main_Window() override { return window; }
    int Crop_Width() override { return 600; }
    int Crop_Height() override { return 1080; }
    std::vector<std::string> Crop_Size_Captions() override { return {"400*880", "600*1080", "576*720"}; }
    IInterfaceKit* Control_Box() override { return kit; }

    QMainWindow window;
    Platform::PictureBox* picture = nullptr;
    cls_VideoFile_handler* handler = nullptr;
    IInterfaceKit* kit = nullptr;
};

class DiagnosticsTest : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        Change_Facts([&](Startup_Facts& f) { f.AppData_Folder = Data_Dir(); });
        Change_Facts([&](Startup_Facts& f) { f.Computer_Name = "FINISH-PC"; });
        Change_Facts([&](Startup_Facts& f) { f.CPU_Info = "CPU= 8664 2 core 3.0GHz"; });
        Change_Facts([&](Startup_Facts& f) { f.OS_Version = "Debian GNU/Linux 12"; });
        dir = Temp_Dir();
    }
    void TearDown() override {
        Set_Report_Printer(nullptr);
        Hdx_Test::TearDown();
    }

    // A recording by the real writer with these capture stamps (64 x 96 frames).
    std::string Record(const std::string& name, const std::vector<Frame_Stamp>& stamps) {
        const std::string path = Platform::Join_Path(dir, name);
        cls_VideoFile_handler h;
        h.Set_Cropped_X(64);
        h.Set_Cropped_Y(96);
        h.Set_RGB_interlaced(true);
        Header_Origin origin;
        origin.Computer_Name = Facts().Computer_Name;
        origin.CPU_Info = Facts().CPU_Info;
        origin.OS_Version = Facts().OS_Version;
        EXPECT_TRUE(h.Initiate_NX3_File(path, origin));
        h.Set_Hdx_event("Autumn Derby");
        h.Set_Hdx_Heat_ID("7");
        h.Set_Hdx_Heat_Name("Puppy Stakes");
        h.Set_Hdx_heat_start_local(kNine_05_07_12);
        const char* names[] = {"Swift", "A very long dog name beyond twenty", "Flash", "", "Rocket", "Dash"};
        for (int16_t box = 1; box <= 6; ++box) {
            h.Set_Hdx_Dog_name(box, names[box - 1]);
            h.Set_Hdx_Heat_time(box, false, 28000 + box * 10);
            h.Set_Hdx_Heat_time(box, true, 999999);
            h.Set_Hdx_Heat_Click_Time(box, 5000000 + box);
        }
        h.Set_Hdx_dead_heat(2, true);
        EXPECT_TRUE(h.Write_XML_Header());
        h.Close_File();
        Frame_List frames;
        for (size_t i = 0; i < stamps.size(); ++i) {
            cDIBSection p;
            EXPECT_TRUE(p.Create(64, 96));
            Fill_Noise(p, static_cast<uint32_t>(i + 1), 20);
            frames.Add(p, stamps[i].mill, stamps[i].local, stamps[i].stored_delta);
        }
        EXPECT_EQ(h.Append_Stored_Frames(frames), static_cast<int32_t>(stamps.size()));
        h.Close_File();
        return path;
    }

    std::string dir;
};

std::vector<std::string> Split_Lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t p; (p = text.find("\r\n", start)) != std::string::npos; start = p + 2)
        out.push_back(text.substr(start, p - start));
    EXPECT_EQ(start, text.size()) << "text does not end with CR LF";
    return out;
}

}  // namespace

// ---- timestamp report --------------------------------------------------------

TEST_F(DiagnosticsTest, TimestampReportListsEveryFrameWithDeltasFromConsecutiveStamps) {
    const int32_t m = 7000000;
    const std::vector<Frame_Stamp> stamps = {
        {m, kNine_05_07_12, 40},             // first: the previous value is 0, a gap > 1000
        {m + 40, kNine_05_07_12 + 40, 999},  // 40 ms, whatever was stored
        {m + 80, kNine_05_07_12 + 80, 40},
        {m + 1580, kNine_05_07_12 + 1580, 40},  // 1500 ms: a new capture window
        {m + 1620, kNine_05_07_12 + 1620, 40},
        {m + 2620, kNine_05_07_12 + 2620, 0},  // exactly 1000 is kept
        {m + 2615, kNine_05_07_12 + 2615, 0},  // a step back shows as negative
    };
    const std::string path = Record("heat 7.nx3", stamps);
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    ASSERT_TRUE(h.Read_RGB_sample(3, true));

    Test_Host host;
    host.handler = &h;
    Diagnostics_Commands commands(host);
    commands.item_timestamp_report_Click();

    EXPECT_TRUE(dialogs.Was_Shown("Timestamp report ready"));
    EXPECT_EQ(commands.Last_Timestamp_Report(), Path("frame_report2026_05_16 14_30_00.csv"));
    const std::vector<std::string> expected = {
        "\" Timestamp report for file: heat 7.nx3\"",
        "Frame;Capture_mill;Capture_delta;Capture_local;",
        "001;7000000;000; 9:05:07,12",
        "002;7000040;040; 9:05:07,16",
        "003;7000080;040; 9:05:07,20",
        "004;7001580;000; 9:05:08,70",
        "005;7001620;040; 9:05:08,74",
        "006;7002620;1000; 9:05:09,74",
        "007;7002615;-005; 9:05:09,74",
    };
    EXPECT_EQ(Split_Lines(Read_Text(commands.Last_Timestamp_Report())), expected);
    // The review still holds the frame it showed.
    EXPECT_EQ(h.Last_Frame_Read(), 3);
    EXPECT_EQ(h.NX3_Capture_mill(), m + 80);
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(DiagnosticsTest, TimestampReportWithoutRecordingHasOnlyTheTwoHeaderLines) {
    Test_Host host;
    Diagnostics_Commands commands(host);
    commands.item_timestamp_report_Click();
    EXPECT_TRUE(dialogs.Was_Shown("Timestamp report ready"));
    EXPECT_EQ(Read_Text(commands.Last_Timestamp_Report()),
              "\" Timestamp report for file: \"\r\nFrame;Capture_mill;Capture_delta;Capture_local;\r\n");
}

TEST_F(DiagnosticsTest, TimestampReportGoesToTheDataFolderAndSaysWhenItCannot) {
    // The name alone is cleaned: a data folder with '-' and ',' keeps them.
    Change_Facts([&](Startup_Facts& f) { f.AppData_Folder = Platform::Join_Path(Data_Dir(), "my-data,1"); });
    ASSERT_TRUE(Platform::Create_Folders(Facts().AppData_Folder));
    EXPECT_EQ(Timestamp_Report_Path(),
              Platform::Join_Path(Facts().AppData_Folder, "frame_report2026_05_16 14_30_00.csv"));

    std::ofstream(Timestamp_Report_Path()) << "old";
    Platform::Set_Read_Only(Timestamp_Report_Path(), true);
    Test_Host host;
    Diagnostics_Commands commands(host);
    commands.item_timestamp_report_Click();
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(dialogs.Messages()[0].rfind("Timestamp report not written: ", 0), 0u);
    EXPECT_EQ(Read_Text(Timestamp_Report_Path()), "old");
}

// ---- JPEG benchmark ----------------------------------------------------------

TEST_F(DiagnosticsTest, BenchmarkReportLinesWithAKnownStopwatch) {
    Class_JPG_Bench bench;
    int64_t now = 0;
    int calls = 0;
    // Each size takes 370 ms for its ten compressions, the next 455 ms, ...
    const int64_t spans[] = {370000, 455999, 9999};
    bench.Micro_Clock = [&] {
        const int64_t t = now;
        if (calls % 2 == 0) now += spans[calls / 2];
        ++calls;
        return t;
    };
    const std::vector<std::string> lines = JPEG_Benchmark_Report({"400*880", "600*1080", "576*720"}, bench);
    const std::vector<std::string> expected = {"JPG compression benchmark at: 2026-05-16 14:30:00",
                                               "Computer name = FINISH-PC",
                                               "CPU info: CPU= 8664 2 core 3.0GHz ",
                                               "",
                                               "400*880 =  37ms",
                                               "600*1080 =  45ms",
                                               "576*720 =  0ms",
                                               "---Report end---"};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(bench.Compressions(), 10);
}

TEST_F(DiagnosticsTest, BenchmarkMeasuresRealCompressions) {
    Test_Host host;
    Diagnostics_Commands commands(host);
    commands.item_JPEG_benchmark_Click();
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    const std::vector<std::string> lines = Split_Lines(dialogs.Messages()[0]);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "JPG compression benchmark at: 2026-05-16 14:30:00");
    EXPECT_EQ(lines[7], "---Report end---");

    // Each size really compresses ten times, takes measurable time, and its
    // line carries the measurement in whole milliseconds per compression.
    const std::pair<int, int> sizes[] = {{400, 880}, {600, 1080}, {576, 720}};
    for (const auto& [w, h] : sizes) {
        Class_JPG_Bench bench;
        const int32_t ms = bench.JPG_Bench(w, h);
        EXPECT_EQ(bench.Compressions(), 10);
        EXPECT_GT(bench.Last_JPEG_Size(), 0);
        EXPECT_LT(bench.Last_JPEG_Size(), Class_JPG_Bench::Buffer_Size);
        EXPECT_GT(bench.Elapsed_Microseconds(), 0);
        EXPECT_EQ(ms, bench.Elapsed_Microseconds() / 10000);
    }
    for (size_t i = 4; i < 7; ++i) EXPECT_NE(lines[i].find(" =  "), std::string::npos) << lines[i];
    EXPECT_EQ(lines[4].substr(0, 11), "400*880 =  ");
    EXPECT_EQ(lines[4].substr(lines[4].size() - 2), "ms");
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(DiagnosticsTest, BenchmarkFailuresAreShownAndTheRunGoesOn) {
    // A buffer too small for any JPEG: every compression fails.
    Class_JPG_Bench small(16);
    const auto lines = JPEG_Benchmark_Report({"400*880", "bad", "576*720"}, small);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[5], "bad =  0ms");
    EXPECT_EQ(lines[7], "---Report end---");
    EXPECT_EQ(dialogs.Messages(), (std::vector<std::string>{"JPEG comp error!", "JPEG comp error!"}));
    ASSERT_EQ(errors.errors.size(), 1u);  // the picture that cannot be made
    EXPECT_EQ(errors.errors[0].location, "JPG_Bench of Class Module Class_JPG_Bench");
}

// ---- text reports in the debug window ---------------------------------------

TEST_F(DiagnosticsTest, FilePropertiesOfAKnownRecording) {
    const std::string path = Record("props.nx3", {{1000, 1, 0}, {1040, 2, 0}, {1080, 3, 0}});
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    Test_Host host;
    host.handler = &h;
    Diagnostics_Commands commands(host);
    commands.item_file_properties_Click();

    ASSERT_TRUE(commands.Has_Debug_Form());
    Houndex_debug_form& debug = commands.Debug_Form();
    EXPECT_TRUE(debug.isVisible());
    const QStringList lines = debug.Text().split('\n');
    ASSERT_EQ(lines.size(), 15);
    const double mb = static_cast<double>(std::filesystem::file_size(path)) / 1048576.0;
    char size[16];
    std::snprintf(size, sizeof size, "%.1f", mb);
    std::string size_text = size;
    if (size_text.size() > 2 && size_text.substr(size_text.size() - 2) == ".0") size_text.resize(size_text.size() - 2);
    const std::vector<std::string> expected = {
        "File name = " + path,
        "Heat start at :  9:05:07,12",
        "File Size: " + size_text + " megaByte",
        "Image Size: 64*96",
        "Capture computer: FINISH-PC Program: Houndex_HDMI Version 1.0.0 Os version: Debian GNU/Linux 12",
        "Number of frames/fields = 3/6",
        "Event/Head number/Heat name Autumn Derby/7/Puppy Stakes",
        "Dog Name                  Time  Split Click Time",
        "________________________________________________",
        "1   Swift               028010 999999 0005000001",
        "2   A very long dog name028020 999999 0005000002 dh",
        "3   Flash               028030 999999 0005000003",
        "4                       028040 999999 0005000004",
        "5   Rocket              028050 999999 0005000005",
        "6   Dash                028060 999999 0005000006",
    };
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(lines[static_cast<int>(i)].toStdString(), expected[i]);
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(DiagnosticsTest, PictureSizeAndTheDebugWindow) {
    Test_Host host;
    host.window.show();
    Diagnostics_Commands commands(host);
    commands.item_picture_size_Click();
    Houndex_debug_form& debug = commands.Debug_Form();
    EXPECT_EQ(debug.windowTitle(), "Houndex debug");
    EXPECT_TRUE(debug.isVisible());
    EXPECT_TRUE(debug.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(debug.Text_debug->objectName(), "Text_debug");
    EXPECT_EQ(debug.Text_debug->font().family(), "Courier New");
    const QStringList lines = debug.Text().split('\n');
    ASSERT_EQ(lines.size(), 6);
    EXPECT_TRUE(lines[0].startsWith("G_compiled = True Version: 1.0.0 Exe_Filedate: ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(" Now: 2026-05-16 14:30:00"));
    EXPECT_EQ(lines[1].toStdString(), "Screen_X,Screen_Y: " + std::to_string(Screen_Width_Pixels()) + "," +
                                          std::to_string(Screen_Height_Pixels()));
    EXPECT_EQ(lines[2], "Crop size: 600,1080");
    EXPECT_EQ(lines[3].toStdString(), "Screen height: " + std::to_string(Screen_Height_Pixels()));
    EXPECT_EQ(lines[4].toStdString(), "Form ScaleHeight: " + std::to_string(host.window.centralWidget()->height()));
    EXPECT_EQ(lines[5], "Picture_out Width,height: 320,240 ScaleWidth,Height :1000,500");

    // A second report replaces the text in the same window.
    const std::string path = Record("again.nx3", {{1000, 1, 0}});
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    host.handler = &h;
    commands.item_file_properties_Click();
    EXPECT_EQ(&commands.Debug_Form(), &debug);
    EXPECT_TRUE(debug.Text().startsWith(QString::fromStdString("File name = " + path)));

    // Its menu: "Form" with "Print" and "Hide"; "Hide" unloads it.
    auto* print = debug.findChild<QAction*>("item_print");
    auto* hide = debug.findChild<QAction*>("item_hide");
    ASSERT_TRUE(print && hide);
    EXPECT_EQ(print->text(), "Print");
    EXPECT_EQ(hide->text(), "Hide");
    EXPECT_EQ(debug.menu_form->title(), "Form");
    hide->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(commands.Has_Debug_Form());
}

TEST_F(DiagnosticsTest, CommandsOnNothingOpenBeepAndLeaveNoWindow) {
    Test_Host host;
    Diagnostics_Commands commands(host);
    commands.item_file_properties_Click();
    commands.item_NX3_properties_Click();
    EXPECT_EQ(dialogs.beeps, 2);
    EXPECT_FALSE(commands.Has_Debug_Form());
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(DiagnosticsTest, DebugWindowPrintsItsTextWithHeading) {
    Pdf_Report_Printer printer(Path("debug.pdf"));
    Set_Report_Printer(&printer);
    Houndex_debug_form debug;
    debug.Show_Lines({"first line", "second line"});
    const std::vector<std::string> expected = {"Houndex file properties at 2026-05-16 14:30:00",
                                               "Computer = FINISH-PC Printer : Test PDF",
                                               "",
                                               "",
                                               "first line",
                                               "second line"};
    EXPECT_EQ(debug.Print_Text("Test PDF"), expected);
    debug.findChild<QAction*>("item_print")->trigger();
    EXPECT_EQ(printer.jobs, 1);
    EXPECT_EQ(printer.ended, 1);
    EXPECT_GT(Platform::File_Size(Path("debug.pdf")), 0);
    EXPECT_TRUE(errors.errors.empty());

    printer.available = false;
    debug.item_print_Click();
    EXPECT_TRUE(dialogs.Was_Shown("No printer availible"));
    EXPECT_EQ(printer.jobs, 1);
}

TEST_F(DiagnosticsTest, LongTextGoesOnToFurtherPages) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(Path("long.pdf")));
    std::vector<Print_Line> lines(300, Print_Line{"line", "Courier New", 14, false});
    Print_Text_Lines(printer, lines, 0, 0, 0.1);
    const std::string pdf = Read_Text(Path("long.pdf"));
    // The page objects of the file ("/Type /Pages" is their list).
    int pages_any = 0;
    for (size_t p = pdf.find("/Type /Page"); p != std::string::npos; p = pdf.find("/Type /Page", p + 1))
        if (pdf.compare(p, 12, "/Type /Pages") != 0) ++pages_any;
    EXPECT_GT(pages_any, 1);
}

// ---- header dumps -----------------------------------------------------------

TEST_F(DiagnosticsTest, HeaderDumpsGoToTheDataFolder) {
    Test_Host host;
    Diagnostics_Commands commands(host);
    commands.item_text_XML_header_Click();
    EXPECT_TRUE(dialogs.Was_Shown("XML header dumped to: " + Path("xmldump.xml")));
    EXPECT_NE(Read_Text(Path("xmldump.xml")).find("NXF_header"), std::string::npos);

    const std::string path = Record("dump.nx3", {{1000, 1, 0}});
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    host.handler = &h;
    dialogs.Answer_Input(std::string("heat/7"));
    commands.item_dump_XML_header_Click();
    const std::string name = "xmldump2026_05_16 14_30_00heat_7.xml";
    EXPECT_EQ(XML_Dump_Name("heat/7"), name);
    EXPECT_TRUE(dialogs.Was_Shown("XML header dumped to: " + Path(name)));
    EXPECT_NE(Read_Text(Path(name)).find("Puppy Stakes"), std::string::npos);
    EXPECT_TRUE(errors.errors.empty());
}

// ---- capture library, versions and the about window ---------------------------

TEST_F(DiagnosticsTest, CaptureLibraryIsAvailableHere) {
    EXPECT_TRUE(Capture_Library_Available());
    EXPECT_TRUE(Libraries_Available(Capture_Library_Files()));
    std::vector<std::string> with_missing = Capture_Library_Files();
    with_missing.push_back("libhoundex-not-installed.so.0");
    EXPECT_FALSE(Libraries_Available(with_missing));
    EXPECT_FALSE(Libraries_Available({}));

    Test_Host host;
    Diagnostics_Commands commands(host);
    commands.item_DLL_available_Click();
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"True"});
}

TEST_F(DiagnosticsTest, AboutWindowListsEveryComponentWithItsVersion) {
    SimInterfaceKit kit;
    const auto versions = Component_Versions(&kit);
    const char* names[] = {"GStreamer", "TurboJPEG", "pugixml", "Qt", "Control Box"};
    ASSERT_EQ(versions.size(), 5u);
    for (size_t i = 0; i < versions.size(); ++i) {
        EXPECT_EQ(versions[i].Component, names[i]);
        EXPECT_NE(versions[i].Version.find_first_of("0123456789"), std::string::npos) << versions[i].Component;
    }
    EXPECT_EQ(versions[0].Version.rfind("GStreamer ", 0), 0u);
    EXPECT_EQ(versions[3].Version, std::string("Qt ") + qVersion());
    EXPECT_EQ(versions[4].Version, kit.LibraryVersion());

    Test_Host host;
    host.kit = &kit;
    Diagnostics_Commands commands(host);
    commands.item_about_Click();
    frmAbout* about = commands.About_Form();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_TRUE(about->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(about->windowTitle(), "About Houndex HDMI");
    EXPECT_EQ(about->Lbldescription->text(), "Houndex HDMI");
    EXPECT_EQ(about->Lbl_description_text->text(), "Houndex dog race timing");
    EXPECT_EQ(about->Label_userapp->text().toStdString(), Platform::Local_AppData_Folder());
    EXPECT_TRUE(about->Lblversion->text().startsWith("Version 1.0.0, Compile date: "));
    EXPECT_TRUE(about->Lbl_filedate->text().startsWith("Program file date = "));
    EXPECT_EQ(about->Lbl_pellcap->text().toStdString(), "GStreamer: " + versions[0].Version);
    EXPECT_EQ(about->Lbl_PellGraphics->text().toStdString(),
              std::string("Picture operations: ") + Picture_Ops::BlendVersion());
    EXPECT_EQ(about->Label_phidget_version->text().toStdString(), kit.LibraryVersion());
    EXPECT_EQ(about->Label_ControlBox->text().toStdString(), "Control Box serial: " + kit.Serial_Text());
    EXPECT_TRUE(about->Lbl_AppFlags->text().startsWith(QString::fromStdString(Facts().OS_Version)));
    // Nothing names the pieces of another platform.
    for (const QWidget* w : about->findChildren<QWidget*>()) {
        const auto* label = qobject_cast<const QLabel*>(w);
        const auto* frame = qobject_cast<const QGroupBox*>(w);
        const QString text = label ? label->text() : frame ? frame->title() : QString();
        for (const char* leftover :
             {"PellCap", "PellGraphics", ".exe", "Compatibility", "Not found!", "Navalo", "Phidget", "Houndex_"})
            EXPECT_FALSE(text.contains(leftover)) << w->objectName().toStdString() << ": " << text.toStdString();
    }
    for (const auto& v : versions)
        EXPECT_TRUE(about->Lbl_components->text().contains(QString::fromStdString(v.Component + ": " + v.Version)))
            << v.Component;

    // "Form" with Ctrl held shows the hidden "Debug" menu, and hides it again.
    EXPECT_FALSE(about->menu_debug->menuAction()->isVisible());
    about->menu_form_Click();
    EXPECT_FALSE(about->menu_debug->menuAction()->isVisible());
    Note_Key_State(17, true);
    about->menu_form_Click();
    EXPECT_TRUE(about->menu_debug->menuAction()->isVisible());
    about->menu_form_Click();
    EXPECT_FALSE(about->menu_debug->menuAction()->isVisible());
    Clear_Key_States();

    about->item_date_formats_Click();
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    const auto lines = Split_Lines(dialogs.Messages()[0]);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].rfind("date = ", 0), 0u);
    EXPECT_EQ(lines[1], "time = 14:30:00");
    EXPECT_EQ(lines[2].rfind("now = ", 0), 0u);
    EXPECT_EQ(lines[3], "ISODate = 2026-05-16");
    EXPECT_EQ(lines[4], "ISOnow = 2026-05-16 14:30:00");

    // "Print" prints the window's picture.
    Pdf_Report_Printer printer(Path("about.pdf"));
    Set_Report_Printer(&printer);
    about->findChild<QAction*>("item_print")->trigger();
    EXPECT_EQ(printer.jobs, 1);
    EXPECT_EQ(printer.ended, 1);
    EXPECT_GT(Platform::File_Size(Path("about.pdf")), 0);
    EXPECT_TRUE(errors.errors.empty());

    // The same window comes back while it is open; OK unloads it.
    commands.item_about_Click();
    EXPECT_EQ(commands.About_Form(), about);
    about->Command_OK->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(commands.About_Form(), nullptr);
}

TEST_F(DiagnosticsTest, AboutWithoutControlBoxAsksTheBackendForItsVersion) {
    Test_Host host;
    frmAbout about(nullptr);
    EXPECT_FALSE(about.Label_phidget_version->text().isEmpty());
    EXPECT_NE(about.Label_phidget_version->text(), "No Control Box layer found");
    EXPECT_EQ(about.Label_ControlBox->text(), "Control Box serial: 0");
}

// ---- test faults ------------------------------------------------------------

TEST_F(DiagnosticsTest, MisbehaveTrappedAndUntrapped) {
    Test_Host host;
    Diagnostics_Commands commands(host);
    commands.item_misbehave_trapped_Click();
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].number, 11);
    EXPECT_EQ(errors.errors[0].description, "Division by zero");
    EXPECT_EQ(errors.errors[0].location, "Misbehave of Form Form_Houndex");

    // Untrapped, the fault leaves the command; the boundary reports it.
    EXPECT_THROW(commands.item_misbehave_untrapped_Click(), HdxError);
    EXPECT_FALSE(Run_At_Boundary([&] {
        commands.item_misbehave_untrapped_Click();
        return true;
    }));
    ASSERT_EQ(errors.errors.size(), 2u);
    EXPECT_EQ(errors.errors[1].number, 11);
    EXPECT_EQ(errors.errors[1].location, Boundary_Location);
    EXPECT_TRUE(Run_At_Boundary([] { return true; }));
    EXPECT_EQ(errors.errors.size(), 2u);
    EXPECT_EQ(Checked_Divide(10, 3), 3);
}
