#include "Print_Test_Support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include <QProcess>
#include <QStringList>

#include "Test_Pictures.h"
#include "platform/Files.h"
#include "review/Module_Results.h"

namespace {
constexpr int32_t Frame_W = 80, Frame_H = 60;

std::string Run_Tool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0) return "";
    return p.readAllStandardOutput().toStdString();
}
}  // namespace

Fake_Print_Host::Fake_Print_Host() {
    picture.Set_Canvas_Size(404, 884);  // the review picture of the 400*880 crop
    picture.Set_Back_Color(Qt::black);
    picture.Cls();
}

void Fake_Print_Host::Make_Recording(const std::string& path, const std::vector<Test_Box>& boxes, int frames) {
    {
        cls_VideoFile_handler w;
        w.Set_File_name(path);
        w.Set_Cropped_X(Frame_W);
        w.Set_Cropped_Y(Frame_H);
        w.Set_RGB_interlaced(false);
        ASSERT_TRUE(w.Initiate_NX3_File(path));
        w.Set_Running_Fps(25);
        w.Set_Hdx_event(event_title);
        w.Set_Hdx_Heat_ID("7");
        w.Set_Hdx_Heat_Name("Final A");
        w.Set_Hdx_start_DateTime("2026-05-16 14:02:11");
        for (size_t i = 0; i < boxes.size() && i < 6; ++i) {
            const auto box = static_cast<int16_t>(i + 1);
            const Test_Box& b = boxes[i];
            w.Set_Hdx_Dog_name(box, b.name);
            w.Set_Hdx_Heat_time(box, false, b.goal);
            w.Set_Hdx_Heat_time(box, true, b.split);
            w.Set_Hdx_heat_frame(box, b.frame);
            w.Set_Hdx_Heat_Click_Time(box, b.click);
            w.Set_Hdx_dead_heat(box, b.dead_heat);
        }
        ASSERT_TRUE(w.Write_XML_Header());
        w.Close_File();
        Frame_List list;
        for (int n = 1; n <= frames; ++n) {
            cDIBSection p;
            ASSERT_TRUE(p.Create(Frame_W, Frame_H));
            Fill_Noise(p, static_cast<uint32_t>(n), 30);
            Fill_Rows(p, 0, 6, Blue);
            list.Add(p, 100000 + 40 * n, 50000000 + 40 * n, 40);
        }
        ASSERT_EQ(w.Append_Stored_Frames(list), frames);
        w.Close_File();
    }
    handler = std::make_unique<cls_VideoFile_handler>();
    ASSERT_TRUE(handler->Open_File(path));
    ASSERT_TRUE(Module_Results::Load_Result_Array(*handler, results));
    Module_Results::Sort_Result_Array(results);
    handler->Draw_RGB_frame(1, picture);
}

void Fake_Print_Host::Show_Position(int32_t position) {
    shown.push_back(position);
    if (handler) handler->Draw_RGB_frame(static_cast<int16_t>(position), picture);
}

void Print_Test::SetUp() {
    Hdx_Test::SetUp();
    dir = Temp_Dir();
    pdf_path = Platform::Join_Path(dir, "page.pdf");
    Reset_Printer();
    Set_Printer_List(&list);
    Set_Printer_Chooser(&chooser);
    Printer().Set_Output_File(pdf_path);
}

void Print_Test::TearDown() {
    // HOUNDEX_KEEP_PDF=<folder> keeps each test's page there, to look at.
    if (const char* keep = std::getenv("HOUNDEX_KEEP_PDF"); keep && Platform::File_Exists(pdf_path)) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::filesystem::copy_file(pdf_path, std::filesystem::path(keep) / (std::string(info->name()) + ".pdf"),
                                   std::filesystem::copy_options::overwrite_existing);
    }
    Set_Printer_Chooser(nullptr);
    Set_Printer_List(nullptr);
    Reset_Printer();
    Hdx_Test::TearDown();
}

std::string Print_Test::Pdf_Text() const {
    return Run_Tool("pdftotext", {"-layout", QString::fromStdString(pdf_path), "-"});
}

std::vector<Print_Test::Word> Print_Test::Pdf_Words(double* page_width, double* page_height) const {
    const std::string html = Run_Tool("pdftotext", {"-bbox", QString::fromStdString(pdf_path), "-"});
    std::vector<Word> words;
    static const std::regex page_re(R"re(<page width="([0-9.]+)" height="([0-9.]+)")re");
    std::smatch m;
    if (std::regex_search(html, m, page_re)) {
        if (page_width) *page_width = std::stod(m[1]);
        if (page_height) *page_height = std::stod(m[2]);
    }
    static const std::regex word_re(
        R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), word_re); it != std::sregex_iterator(); ++it) {
        const std::smatch& w = *it;
        words.push_back({w[5], std::stod(w[1]), std::stod(w[2]), std::stod(w[3]), std::stod(w[4])});
    }
    return words;
}

QImage Print_Test::Pdf_Picture(int dpi) const {
    const std::string base = Platform::Join_Path(dir, "render");
    QProcess p;
    p.start("pdftoppm", {"-png", "-r", QString::number(dpi), "-singlefile", QString::fromStdString(pdf_path),
                         QString::fromStdString(base)});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) return QImage();
    return QImage(QString::fromStdString(base + ".png"));
}

int Yellow_Pixels(const QImage& picture, const QRect& region) {
    int n = 0;
    const QRect r = region.intersected(picture.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            if (c.red() > 200 && c.green() > 200 && c.blue() < 90) ++n;
        }
    return n;
}

int Inked_Pixels(const QImage& picture, const QRect& region) {
    int n = 0;
    const QRect r = region.intersected(picture.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            if (c.red() < 235 || c.green() < 235 || c.blue() < 235) ++n;
        }
    return n;
}

QRect Inked_Area(const QImage& picture) {
    QRect area;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            if (c.red() < 235 || c.green() < 235 || c.blue() < 235) area |= QRect(x, y, 1, 1);
        }
    return area;
}
