#pragma once
#include <memory>
#include <string>
#include <vector>

#include <QImage>

#include "Test_Env.h"
#include "platform/PictureBox.h"
#include "printing/IPrint_Host.h"
#include "printing/Module_PrinterDialog.h"
#include "recording/cls_VideoFile_handler.h"

// One box of a test heat as the header stores it (times in ms, 0 = none).
struct Test_Box {
    std::string name;
    int32_t goal = 0;
    int32_t split = 0;
    int16_t frame = 0;
    int32_t click = 0;
    bool dead_heat = false;
};

// The main window as the printout sees it: a real review picture and a real
// recording written by the recording writer and opened for review.
class Fake_Print_Host : public IPrint_Host {
public:
    Fake_Print_Host();
    // Writes a recording of frames pictures with the heat's header values,
    // opens it for review, ranks its results and shows frame 1.
    void Make_Recording(const std::string& path, const std::vector<Test_Box>& boxes, int frames = 12);
    void Close_Recording() { handler.reset(); }

    cls_VideoFile_handler* Review_Handler() override { return handler.get(); }
    Platform::PictureBox& Review_Picture() override { return picture; }
    void Show_Position(int32_t position) override;
    std::string Event_Title() override { return event_title; }
    std::string Heat_Time_Text() override { return heat_time; }
    const Result_Array_Type& Ranked_Results() override { return results; }
    int32_t Box_Delay() override { return box_delay; }
    std::string& Print_Dog_Name() override { return dog_name; }

    std::unique_ptr<cls_VideoFile_handler> handler;
    Platform::PictureBox picture;
    std::vector<int16_t> shown;  // positions shown by the printout, in order
    std::string event_title = "Spring Cup";
    std::string heat_time = "28,45";
    Result_Array_Type results;
    int32_t box_delay = 0;
    std::string dog_name;
};

// A printer list of the test's own (the print system here may have none).
class Fake_Printer_List : public IPrinter_List {
public:
    std::vector<Printer_Info> Printers() override {
        ++walks;
        return printers;
    }
    std::string Default_Printer_Name() override { return default_name; }
    std::vector<Printer_Info> printers{{"Office Laser", "LaserJet 4", "LPT1:"},
                                       {"Label Writer", "Dymo 400", "USB001"},
                                       {Pdf_Printer_Name, "PDF", "FILE:"}};
    std::string default_name = "Office Laser";
    int walks = 0;
};

// The printer dialog of a test: records what it was preset with and answers from a script.
class Scripted_Chooser : public IPrinter_Chooser {
public:
    bool Show(Printer_Dialog_Values& values, QWidget*) override {
        presets.push_back(values);
        if (!confirm) return false;
        values = answer;
        return true;
    }
    bool confirm = true;
    Printer_Dialog_Values answer;
    std::vector<Printer_Dialog_Values> presets;
};

// The printing fixture: a fresh current printer on the test's printer list
// printing into a PDF file of the test's folder.
class Print_Test : public Hdx_Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Pdf_Path() const { return pdf_path; }
    // The page's text as pdftotext -layout gives it; empty when it cannot be read.
    std::string Pdf_Text() const;
    // Every word with its box, in points (pdftotext -bbox).
    struct Word {
        std::string text;
        double x_min, y_min, x_max, y_max;
    };
    std::vector<Word> Pdf_Words(double* page_width = nullptr, double* page_height = nullptr) const;
    // The first page rendered at dpi (pdftoppm); null when it cannot be rendered.
    QImage Pdf_Picture(int dpi) const;

    std::string dir;
    std::string pdf_path;
    Fake_Printer_List list;
    Scripted_Chooser chooser;
};

// Pixels of a picture region that are clearly yellow / not white.
int Yellow_Pixels(const QImage& picture, const QRect& region);
int Inked_Pixels(const QImage& picture, const QRect& region);
// The bounding box of everything not white; empty when the picture is blank.
QRect Inked_Area(const QImage& picture);
