#include <gtest/gtest.h>

#include <QLabel>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QUrlQuery>

#include <fstream>
#include <sstream>

#include "Test_Env.h"
#include "diagnostics/Module_OS_Version.h"
#include "common/NXF_Error_Report.h"
#include "diagnostics/NXF_error_form.h"
#include "diagnostics/Report_Printer.h"
#include "platform/Files.h"
#include "common/Startup_Facts.h"

namespace {
int Count(const std::string& hay, const std::string& needle) {
    int n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) ++n;
    return n;
}
}  // namespace

// Prints into a PDF file (or, with a bad file, fails as a printer does).
class File_Report_Printer : public IReport_Printer {
public:
    explicit File_Report_Printer(std::string pdf_file) : file(std::move(pdf_file)) {}
    bool Available() override { return available; }
    QPrinter* Begin_Job() override {
        ++jobs;
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QString::fromStdString(file));
        return printer.get();
    }
    void End_Job() override { ++ended; }
    std::string Name() override { return "Test PDF"; }
    std::string file;
    bool available = true;
    int jobs = 0, ended = 0;
    std::unique_ptr<QPrinter> printer;
};

class ErrorReportTest : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        Change_Facts([&](Startup_Facts& f) { f.AppData_Folder = Data_Dir(); });
        Change_Facts([&](Startup_Facts& f) { f.Program_Start_Mill = clock.PC_Mill(); });
        Change_Facts([&](Startup_Facts& f) { f.Computer_Name = "FINISH-PC"; });
        Change_Facts([&](Startup_Facts& f) { f.OS_Version = "Debian GNU/Linux 12"; });
        Change_Facts([&](Startup_Facts& f) { f.CPU_Bitness = "64"; });
        Change_Facts([&](Startup_Facts& f) { f.OS_Bitness = "64"; });
    }
};

TEST_F(ErrorReportTest, ReportHasSevenLinesInOrder) {
    clock.Advance(5120);
    const Report_Lines r = Build_Report_Lines("Division by zero", 11, 17, "Misbehave of Form Form_Houndex", "extra");
    EXPECT_EQ(r[0].rfind("2026-05-16 14:30:05 Houndex_HDMI, Program version 1.0.0 rm0 Compile date: ", 0), 0u) << r[0];
    EXPECT_NE(r[0].find(" Filedate: "), std::string::npos);
    EXPECT_EQ(r[1], "error description: 11, Division by zero");
    EXPECT_EQ(r[2], "Location of error: Misbehave of Form Form_Houndex, line: 17");
    EXPECT_EQ(r[3], "Routine specific information: extra");
    EXPECT_EQ(r[4].rfind("App.path = ", 0), 0u);
    EXPECT_EQ(r[5], "Program runtime = 5,12");
    EXPECT_EQ(r[6], "PC name = FINISH-PC, Operating system: Debian GNU/Linux 12 CPU = 64 OS = 64");
    for (size_t i = 7; i < r.size(); ++i) EXPECT_TRUE(r[i].empty());
    const std::string text = Report_Text(r);
    EXPECT_EQ(Count(text, "\r\n"), 7);
}

TEST_F(ErrorReportTest, SaveInLogFileTwiceAppendsTwoBlocks) {
    NXF_error_form form;
    form.Show_Report("Overflow", 6, 3, "Handle_Start of Form Form_Houndex", "");
    form.Set_Comment("start lever stuck");
    form.Cmd_save_log_Click();
    form.Cmd_save_log_Click();
    const std::string log = Read_Text(Path("Houndex_errlog.txt"));
    EXPECT_EQ(Count(log, std::string(44, '*') + "\r\n"), 2);
    EXPECT_EQ(log.find(std::string(45, '*')), std::string::npos);
    EXPECT_EQ(Count(log, "error description: 6, Overflow\r\n"), 2);
    EXPECT_EQ(Count(log, "start lever stuck\r\n" + std::string(44, '*')), 2);
    EXPECT_TRUE(dialogs.Was_Shown("Error info appended to file: " + Path("Houndex_errlog.txt")));
}

TEST_F(ErrorReportTest, LogFailureShowsLogErrorAndNoReport) {
    std::ofstream(Path("Houndex_errlog.txt")) << "old";
    Platform::Set_Read_Only(Path("Houndex_errlog.txt"), true);
    NXF_error_form form;
    form.Show_Report("Overflow", 6, 3, "X of Form Y", "");
    form.Cmd_save_log_Click();
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(dialogs.Messages()[0].rfind("Log error", 0), 0u);
    EXPECT_EQ(Read_Text(Path("Houndex_errlog.txt")), "old");
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(ErrorReportTest, WindowShowsTheReportAndASecondReportReplacesIt) {
    Error_Window_Reporter reporter;
    Set_Error_Reporter(&reporter);
    NXF_Error_Handler("Overflow", 6, 1, "First of Form A");
    NXF_Error_Handler("File not found", 53, 2, "Second of Form B");
    NXF_error_form* form = reporter.Form();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->windowTitle(), "Houndex HDMI error");
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    const QString shown = form->Report_Shown();
    EXPECT_TRUE(shown.contains("Location of error: Second of Form B, line: 2"));
    EXPECT_FALSE(shown.contains("First of Form A"));
    EXPECT_TRUE(traces.Has("*NXF_error_handler1, 53,2,Second of Form B"));
    EXPECT_TRUE(traces.Has("*NXF_error_handler5"));

    auto* cont = form->findChild<QPushButton*>("Cmd_continue");
    ASSERT_NE(cont, nullptr);
    cont->click();
    EXPECT_FALSE(form->isVisible());

    bool exited = false;
    form->Exit_Hook = [&] { exited = true; };
    form->findChild<QPushButton*>("Cmd_exit")->click();
    EXPECT_TRUE(exited);
    Set_Error_Reporter(&errors);
}

TEST_F(ErrorReportTest, ButtonsCarryTheirCaptions) {
    NXF_error_form form;
    const std::pair<const char*, const char*> buttons[] = {
        {"Cmd_save_log", "Save in log file"}, {"Cmd_print_error", "Print report"},
        {"Cmd_mailto", "Send mail"},          {"Cmd_continue", "Continue"},
        {"Cmd_exit", "Exit program"},         {"Command_copy_clipboard", "Copy form to clipboard"}};
    for (const auto& [name, caption] : buttons) {
        auto* b = form.findChild<QPushButton*>(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->text().toStdString(), caption);
    }
}

TEST_F(ErrorReportTest, MailLinkCarriesEveryLineAndTheComment) {
    NXF_error_form form;
    form.Show_Report("Overflow", 6, 3, "X of Form Y", "");
    form.Set_Comment("hello");
    const std::string link = form.Mail_Link();
    EXPECT_EQ(link.rfind("mailto:", 0), 0u);
    EXPECT_NE(link.find("?Subject= Houndex_HDMI error&Body="), std::string::npos);
    EXPECT_EQ(Count(link, "%0D%0A"), 7);
    EXPECT_EQ(link.substr(link.size() - 7), "  hello");
}

TEST_F(ErrorReportTest, EventLogAppendsOneLinePerEvent) {
    Log_Event("Deinterlace, size mismatch for file = a.nx3");
    Log_Event("second");
    EXPECT_EQ(Read_Text(Path("Houndex_eventlog.txt")),
              "2026-05-16 14:30:00Deinterlace, size mismatch for file = a.nx3\r\n2026-05-16 14:30:00second\r\n");
}

TEST(SizeFormatTest, UnitsAndRounding) {
    const std::pair<uint64_t, const char*> cases[] = {
        {0, "0 bytes"},       {1023, "1023 bytes"},         {1024, "1.0 KB"},       {1536, "1.5 KB"},
        {1048576, "1.00 MB"}, {25769803776ULL, "24.00 GB"}, {1099511627776ULL, ""},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(Format_Size(bytes), text) << bytes;
    EXPECT_EQ(CPU_Info_Text(8664, 2, 2995), "CPU= 8664 2 core 3.0GHz");
}

TEST_F(ErrorReportTest, PrintReportPrintsTheReportOnTheReportPrinter) {
    File_Report_Printer printer(Path("report.pdf"));
    Set_Report_Printer(&printer);
    NXF_error_form form;
    form.Show_Report("Overflow", 6, 3, "Handle_Start of Form Form_Houndex", "");
    form.Set_Comment("start lever stuck");

    const std::vector<Print_Line> lines = form.Print_Lines();
    ASSERT_GE(lines.size(), 14u);
    EXPECT_EQ(lines[1].Text, "Houndex HDMI Error report");
    EXPECT_EQ(lines[1].Points, 24);
    EXPECT_TRUE(lines[0].Text.isEmpty());
    EXPECT_TRUE(lines[2].Text.isEmpty());
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(lines[3 + i].Text.toStdString(), form.Lines()[i]);
        EXPECT_EQ(lines[3 + i].Points, 10);
    }
    EXPECT_EQ(lines[10].Text, "start lever stuck");
    EXPECT_EQ(lines[11].Text, "What to do with this error report?");
    EXPECT_TRUE(lines[11].Bold);
    EXPECT_FALSE(lines[12].Bold);
    EXPECT_EQ(lines.back().Text.toStdString(), std::string("3 Call ") + Support_Contact::Phone);

    form.findChild<QPushButton*>("Cmd_print_error")->click();
    EXPECT_EQ(printer.jobs, 1);
    EXPECT_EQ(printer.ended, 1);
    EXPECT_GT(Platform::File_Size(Path("report.pdf")), 0);
    EXPECT_FALSE(form.findChild<QProgressBar*>("ProgressBar1")->isVisible());
    EXPECT_TRUE(dialogs.Messages().empty());
    Set_Report_Printer(nullptr);
}

TEST_F(ErrorReportTest, PrintReportFailuresGiveTheirShortMessages) {
    File_Report_Printer printer(Platform::Join_Path(Path("no such folder"), "report.pdf"));
    Set_Report_Printer(&printer);
    NXF_error_form form;
    form.Show_Report("Overflow", 6, 3, "X of Form Y", "");
    printer.available = false;
    form.Cmd_print_error_Click();
    printer.available = true;
    form.Cmd_print_error_Click();
    EXPECT_EQ(dialogs.Messages(), (std::vector<std::string>{"No printer availible", "Printer error"}));
    EXPECT_EQ(printer.jobs, 1);
    EXPECT_EQ(printer.ended, 1);  // the job is closed also when it failed
    EXPECT_TRUE(errors.errors.empty());
    Set_Report_Printer(nullptr);
}

TEST_F(ErrorReportTest, MailLinkKeepsCommentsThatLookLikeLinkSyntax) {
    NXF_error_form form;
    form.Show_Report("Overflow", 6, 3, "X of Form Y", "");
    form.Set_Comment("box #3 & 4 at 100% +1\nsecond line");
    const std::string link = form.Mail_Link();
    // Nothing of the comment ends the body early or becomes a field of its own.
    const std::string body_end = "%0D%0A  box %233 %26 4 at 100%25 %2B1%0D%0Asecond line";
    EXPECT_EQ(link.substr(link.size() - body_end.size()), body_end);
    const QUrl url(QString::fromStdString(link));
    EXPECT_FALSE(url.hasFragment());
    const QUrlQuery query(url);
    EXPECT_EQ(query.queryItems().size(), 2);
    EXPECT_TRUE(query.queryItemValue("Body", QUrl::FullyDecoded).endsWith("box #3 & 4 at 100% +1\r\nsecond line"));
}

TEST_F(ErrorReportTest, AFaultDuringTheReportsYieldLeavesTheWindowShowingIt) {
    Error_Window_Reporter reporter;
    Set_Error_Reporter(&reporter);
    // An event handler that fails while the first report yields.
    bool once = false;
    Platform::Set_Yield_Hook([&] {
        if (once) return;
        once = true;
        NXF_Error_Handler("File not found", 53, 9, "Timer1_Timer of Form Form_Houndex");
    });
    NXF_Error_Handler("Overflow", 6, 1, "Handle_Start of Form Form_Houndex");
    ASSERT_NE(reporter.Form(), nullptr);
    const QString shown = reporter.Form()->Report_Shown();
    EXPECT_TRUE(shown.contains("Location of error: Timer1_Timer of Form Form_Houndex, line: 9")) << shown.toStdString();
    EXPECT_FALSE(shown.contains("Handle_Start"));
    EXPECT_EQ(reporter.Form()->Lines()[1], "error description: 53, File not found");
    Platform::Set_Yield_Hook([] {});
    // A later report still replaces it.
    NXF_Error_Handler("Overflow", 6, 1, "Handle_Start of Form Form_Houndex");
    EXPECT_TRUE(reporter.Form()->Report_Shown().contains("Handle_Start"));
    Set_Error_Reporter(&errors);
}
