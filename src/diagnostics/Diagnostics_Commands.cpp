#include "diagnostics/Diagnostics_Commands.h"

#include <QMainWindow>

#include "diagnostics/IDiagnostics_Host.h"
#include "diagnostics/Module_Diagnostics.h"
#include "metadata/Cls_XML_header.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/PictureBox.h"
#include "platform/Window_Fit.h"
#include "recording/cls_VideoFile_handler.h"
#include "common/Module_dependant.h"

using namespace Module_Diagnostics;

namespace {
std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\r\n";
    return out;
}
}  // namespace

Diagnostics_Commands::Diagnostics_Commands(IDiagnostics_Host& host) : m_Host(host) {}

Diagnostics_Commands::~Diagnostics_Commands() {
    delete m_Debug.data();
    delete m_About.data();
}

Houndex_debug_form& Diagnostics_Commands::Debug_Form() {
    if (!m_Debug) m_Debug = new Houndex_debug_form(&m_Host.Main_Window());
    return *m_Debug;
}

void Diagnostics_Commands::item_JPEG_benchmark_Click() {
    Run_Trapped("item_JPEG_benchmark_Click of Form Form_Houndex", [this] {
        Class_JPG_Bench bench;
        Platform::MsgBox(Joined(JPEG_Benchmark_Report(m_Host.Crop_Size_Captions(), bench)));
    });
}

void Diagnostics_Commands::item_DLL_available_Click() {
    Run_Trapped("item_DLL_available_Click of Form Form_Houndex",
                [] { Platform::MsgBox(Bool_Text(Capture_Library_Available())); });
}

void Diagnostics_Commands::item_picture_size_Click() {
    Run_Trapped("item_picture_size_Click of Form Form_Houndex", [this] {
        QWidget& main = m_Host.Main_Window();
        // The form's inner height: below its menu bar, as its drawing area.
        int inner = main.height();
        if (auto* w = qobject_cast<QMainWindow*>(&main); w && w->centralWidget()) inner = w->centralWidget()->height();
        Platform::PictureBox& picture = m_Host.Review_Picture();
        Picture_Size_Facts f;
        f.Screen_Width = Screen_Width_Pixels();
        f.Screen_Height = Screen_Height_Pixels();
        f.Crop_Width = m_Host.Crop_Width();
        f.Crop_Height = m_Host.Crop_Height();
        f.Form_Scale_Height = inner;
        f.Picture_Width = picture.width();
        f.Picture_Height = picture.height();
        f.Picture_Scale_Width = picture.Scale_Width();
        f.Picture_Scale_Height = picture.Scale_Height();
        Debug_Form().Show_Lines(Picture_Size_Report(f));
    });
}

void Diagnostics_Commands::item_timestamp_report_Click() {
    Run_Trapped("item_timestamp_report_Click of Form Form_Houndex", [this] {
        const std::string path = Timestamp_Report_Path();
        std::string error;
        if (!Write_Text_File(path, Timestamp_Report_Lines(m_Host.Review_Handler()), &error)) {
            Platform::MsgBox("Timestamp report not written: " + error);
            return;
        }
        m_Last_Report = path;
        Platform::MsgBox("Timestamp report ready");
    });
}

void Diagnostics_Commands::item_file_properties_Click() {
    Run_Trapped("item_file_properties_Click of Form Form_Houndex", [this] {
        cls_VideoFile_handler* h = m_Host.Review_Handler();
        if (!h || !h->File_open()) {
            Platform::Beep();
            return;
        }
        Debug_Form().Show_Lines(File_Properties_Report(*h));
    });
}

void Diagnostics_Commands::item_text_XML_header_Click() {
    Run_Trapped("item_text_XML_header_Click of Form Form_Houndex", [] {
        Cls_XML_header header;
        header.Create_Header();
        header.Dump_XML_to_File("");
    });
}

void Diagnostics_Commands::item_dump_XML_header_Click() {
    Run_Trapped("item_dump_XML_header_Click of Form Form_Houndex", [this] {
        const auto mark = Platform::Dialogs().Input_Box("Optional filename mark", "", "");
        cls_VideoFile_handler* h = m_Host.Review_Handler();
        if (h && h->File_open()) {
            h->Dump_XML_Header(XML_Dump_Name(mark.value_or("")));
        } else {
            // No recording, so no present header: the dump under the empty name says so.
            Cls_XML_header none;
            none.Dump_XML_to_File("");
        }
    });
}

void Diagnostics_Commands::item_NX3_properties_Click() {
    Run_Trapped("item_NX3_properties_Click of Form Form_Houndex", [this] {
        cls_VideoFile_handler* h = m_Host.Review_Handler();
        if (!h || !h->File_open()) {
            Platform::Beep();
            return;
        }
        Platform::MsgBox(h->NX3_Properties());
    });
}

void Diagnostics_Commands::item_about_Click() {
    Run_Trapped("item_about_Click of Form Form_Houndex", [this] {
        if (!m_About) m_About = new frmAbout(m_Host.Control_Box(), &m_Host.Main_Window());
        m_About->show();
        // Its OK stays on the screen, title bar and all.
        Platform::Fit_On_Screen(m_About);
        m_About->raise();
    });
}

void Diagnostics_Commands::item_misbehave_trapped_Click() { Misbehave_Trapped(); }

void Diagnostics_Commands::item_misbehave_untrapped_Click() { Misbehave_Untrapped(); }
