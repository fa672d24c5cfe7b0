// Printing through the real print system: a private print server with a PDF
// printer and a PostScript printer, chosen by queue name in the printer
// selection, receives the goal photo, the photo series and the results window.
#include <algorithm>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QLabel>
#include <QProcess>

#include "Print_Test_Support.h"
#include "Private_Print_Server.h"
#include "Test_Name.h"
#include "platform/Files.h"
#include "printing/Module_Print_Frame.h"
#include "printing/Module_PrinterDialog.h"
#include "printing/Window_Print.h"
#include "review/Form_Hdx_Results.h"
#include "review/IResults_Host.h"

namespace {

const std::string Pdf_Queue = "Houndex_PDF";
const std::string Office_Queue = "Office_Laser";

std::string Tool_Output(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return "";
    return p.readAllStandardOutput().toStdString();
}

// Text without any white space: the PostScript text extraction loses some blanks.
std::string Squeezed(const std::string& s) {
    std::string out;
    for (char c : s)
        if (!std::isspace(static_cast<unsigned char>(c))) out += c;
    return out;
}

int Pdf_Pages(const std::string& pdf) {
    std::smatch m;
    const std::string info = Tool_Output("pdfinfo", {QString::fromStdString(pdf)});
    return std::regex_search(info, m, std::regex(R"(Pages:\s+(\d+))")) ? std::stoi(m[1]) : -1;
}

bool Pdf_Landscape(const std::string& pdf) {
    std::smatch m;
    const std::string info = Tool_Output("pdfinfo", {QString::fromStdString(pdf)});
    if (!std::regex_search(info, m, std::regex(R"(Page size:\s+([0-9.]+) x ([0-9.]+))"))) return false;
    return std::stod(m[1]) > std::stod(m[2]);
}

// The results window printed as the main window prints it.
struct Printing_Results_Host : IResults_Host {
    cls_VideoFile_handler* Review_Handler() override { return handler; }
    void GoTo_rank(int) override {}
    void GoTo_Box(int) override {}
    void Goto_SplitTime(int) override {}
    void Clear_all_Results() override {}
    const Heat_Result* Reviewed_Result() override { return nullptr; }
    bool Correct_Name(Result_Name, int16_t, const std::string&) override { return false; }
    bool Correct_Box_Delay(int32_t) override { return false; }
    bool Declare_Official() override { return false; }
    void Set_Print_Dog_Name(const std::string&) override {}
    void Focus_Slider() override {}
    void Print_Results(QWidget& window) override {
        Window_Print::Print_Results_Window(window, static_cast<Form_Hdx_Results&>(window).Label_printed);
    }
    cls_VideoFile_handler* handler = nullptr;
};

enum class Printout { Goal_Photo, Photo_Series, Results_Window };

struct Print_Case {
    std::string name;
    Printout what;
    std::string chosen;  // as typed in the printer dialog
    std::string queue;   // the queue that must receive the job
    int copies;
    bool landscape;
    std::vector<std::string> words;  // text the printout must carry
};
void PrintTo(const Print_Case& c, std::ostream* os) { *os << c.name; }

class Cups_Printing_Test : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        if (!Private_Print_Server::Installed())
            GTEST_SKIP() << "cupsd is not installed (Debian package cups): printing through the print system is not "
                            "tested here; scripts/setup.sh installs it";
        const std::string why = Private_Print_Server::Cannot_Run_Reason();
        ASSERT_TRUE(why.empty()) << why;
        ASSERT_TRUE(server.Start()) << server.Error();
        Reset_Printer();
        Set_Printer_Chooser(&chooser);
        dir = Temp_Dir();
        host.box_delay = 0;
        host.Make_Recording(Platform::Join_Path(dir, "heat.nx3"),
                            {{"Rex", 28450, 12000, 3, 100}, {"Bo", 29000, 0, 5, 200}, {"Cleo", 30010, 0, 7, 300}});
    }
    void TearDown() override {
        results_window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Set_Printer_Chooser(nullptr);
        Reset_Printer();
        Hdx_Test::TearDown();
    }

    void Add_Both_Queues() {
        ASSERT_TRUE(server.Add_Pdf_Queue(Pdf_Queue)) << server.Error();
        ASSERT_TRUE(server.Add_PostScript_Queue(Office_Queue)) << server.Error();
    }

    void Print(Printout what) {
        switch (what) {
            case Printout::Goal_Photo: Module_Print_Frame::Print_Frame(host, false); break;
            case Printout::Photo_Series: Module_Print_Frame::Print_Frame(host, true); break;
            case Printout::Results_Window:
                results_host.handler = host.handler.get();
                results_window = std::make_unique<Form_Hdx_Results>(results_host);
                results_window->Form_Load();
                {
                    Heat_Result shown = Heat_Results::Read(*host.handler);
                    shown.Box_Delay = host.box_delay;
                    shown.Rows = Module_Results::Result_Rows(shown.Ranked, shown.Box_Delay);
                    results_window->Display(shown);
                }
                results_window->item_print_Click();
                break;
        }
    }

    // The printed text of what a queue wrote.
    std::string Printed_Text(const std::string& queue) {
        if (queue == Pdf_Queue) {
            const auto files = server.Pdf_Outputs(queue);
            return files.empty() ? "" : Tool_Output("pdftotext", {"-layout", QString::fromStdString(files[0]), "-"});
        }
        return Tool_Output("gs", {"-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=txtwrite", "-o", "-",
                                  QString::fromStdString(server.PostScript_Output(queue))});
    }
    // Pages a queue wrote: every copy is a page of its own.
    int Printed_Pages(const std::string& queue) {
        if (queue == Pdf_Queue) {
            const auto files = server.Pdf_Outputs(queue);
            return files.size() == 1 ? Pdf_Pages(files[0]) : -1;
        }
        std::smatch m;
        const std::string ps = Read_Text(server.PostScript_Output(queue));
        return std::regex_search(ps, m, std::regex(R"(%%Pages: (\d+)\s*\n(?![\s\S]*%%Pages: \d))")) ? std::stoi(m[1])
                                                                                                    : -1;
    }
    bool Received_Nothing(const std::string& queue) {
        return queue == Pdf_Queue ? server.Pdf_Outputs(queue).empty()
                                  : !Platform::File_Exists(server.PostScript_Output(queue));
    }

    Private_Print_Server server;
    Scripted_Chooser chooser;
    Fake_Print_Host host;
    Printing_Results_Host results_host;
    std::unique_ptr<Form_Hdx_Results> results_window;
    std::string dir;
};

class Cups_Printout_Test : public Cups_Printing_Test, public ::testing::WithParamInterface<Print_Case> {};

}  // namespace

TEST_F(Cups_Printing_Test, ThePrinterListShowsEveryQueueAndThePdfFile) {
    Add_Both_Queues();
    ASSERT_TRUE(server.Set_Default(Office_Queue)) << server.Error();
    std::vector<std::string> names;
    for (const Printer_Info& p : System_Printer_List().Printers()) names.push_back(p.Device_Name);
    EXPECT_EQ(names, (std::vector<std::string>{Pdf_Queue, Office_Queue, Pdf_Printer_Name}));
    // Until the operator chooses, the program prints on the system's default printer.
    EXPECT_EQ(Printer().DeviceName(), Office_Queue);
    EXPECT_FALSE(Printer().Prints_To_File());
}

TEST_P(Cups_Printout_Test, TheChosenQueueReceivesTheJobWithItsSettings) {
    const Print_Case& c = GetParam();
    Add_Both_Queues();
    chooser.answer.Printer_Name = c.chosen;
    chooser.answer.Copies = static_cast<int16_t>(c.copies);
    chooser.answer.Orientation = c.landscape ? 2 : 1;
    Module_PrinterDialog::Select_Printer(nullptr);
    ASSERT_EQ(Printer().DeviceName(), c.queue);

    Print(c.what);
    ASSERT_TRUE(errors.errors.empty()) << errors.errors[0].description;
    ASSERT_TRUE(server.Wait_For_Jobs()) << server.Error();

    const auto jobs = server.Jobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].queue, c.queue);
    EXPECT_EQ(jobs[0].copies, c.copies);
    EXPECT_EQ(Pdf_Landscape(server.Job_Document(jobs[0].id)), c.landscape);
    EXPECT_EQ(Printed_Pages(c.queue), c.copies);
    EXPECT_TRUE(Received_Nothing(c.queue == Pdf_Queue ? Office_Queue : Pdf_Queue));

    const std::string text = Squeezed(Printed_Text(c.queue));
    for (const std::string& w : c.words) EXPECT_NE(text.find(Squeezed(w)), std::string::npos) << w << " in " << text;
    if (c.what == Printout::Results_Window) {
        // The window is printed as its picture.
        const auto files = server.Pdf_Outputs(c.queue);
        ASSERT_EQ(files.size(), 1u);
        const std::string images = Tool_Output("pdfimages", {"-list", QString::fromStdString(files[0])});
        EXPECT_GE(std::count(images.begin(), images.end(), '\n'), 2 + c.copies) << images;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Printouts, Cups_Printout_Test,
    ::testing::Values(
        Print_Case{"goal photo, PDF printer, two copies, landscape",
                   Printout::Goal_Photo,
                   "houndex_pdf",
                   Pdf_Queue,
                   2,
                   true,
                   {"Spring Cup", "Heat: 7 Final A", "Elapsed time : 28,45", "Rex", "printer: " + Pdf_Queue}},
        Print_Case{"photo series, PostScript printer, portrait",
                   Printout::Photo_Series,
                   "OFFICE_LASER",
                   Office_Queue,
                   1,
                   false,
                   {"Goal photos", "Dog Name", "Cleo", "printer: " + Office_Queue}},
        Print_Case{
            "results window, PDF printer, three copies", Printout::Results_Window, Pdf_Queue, Pdf_Queue, 3, false, {}}),
    By_Name());

TEST_F(Cups_Printing_Test, WithoutAnyQueueTheProgramPrintsToAPdfFile) {
    std::vector<std::string> names;
    for (const Printer_Info& p : System_Printer_List().Printers()) names.push_back(p.Device_Name);
    EXPECT_EQ(names, std::vector<std::string>{Pdf_Printer_Name});
    EXPECT_EQ(Printer().DeviceName(), Pdf_Printer_Name);

    const std::string pdf = Platform::Join_Path(dir, "goal photo.pdf");
    dialogs.Answer_File(pdf);
    Module_Print_Frame::Print_Frame(host, false);
    ASSERT_TRUE(errors.errors.empty()) << errors.errors[0].description;
    ASSERT_TRUE(server.Wait_For_Jobs()) << server.Error();
    EXPECT_TRUE(server.Jobs().empty());
    const std::string text = Tool_Output("pdftotext", {"-layout", QString::fromStdString(pdf), "-"});
    EXPECT_NE(text.find("Heat: 7 Final A"), std::string::npos) << text;
    EXPECT_NE(text.find("printer: " + Pdf_Printer_Name), std::string::npos) << text;
}
