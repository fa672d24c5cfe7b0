// The main window's print commands: the goal photo of the reviewed position
// or the series of placed dogs, the queued dog name, and the printer choice.
#include <algorithm>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>

#include "Form_Houndex.h"
#include "diagnostics/Diagnostics_Commands.h"
#include "diagnostics/Report_Printer.h"
#include "printing/Module_PrinterDialog.h"
#include "printing/Module_Print_Frame.h"
#include "printing/Window_Print.h"
#include "review/Finish_Strip.h"
#include "review/Form_Finish_Strip.h"
#include "review/Form_Hdx_Results.h"
#include "review/Module_Results.h"
#include "common/Module_dependant.h"

void Form_Houndex::Build_Print_Menu() {
    menu_print = menuBar()->addMenu("Print");
    menu_print->setObjectName("menu_print");
    auto item = [this](const char* caption, const char* name) {
        QAction* a = menu_print->addAction(caption);
        a->setObjectName(name);
        return a;
    };
    connect(item("Print this frame", "item_print_frame"), &QAction::triggered, this,
            [this] { item_print_frame_Click(); });
    connect(item("Print Goal photo series", "item_print_series"), &QAction::triggered, this,
            [this] { item_print_series_Click(); });
    connect(item("Dog Name", "item_dog_name"), &QAction::triggered, this, [this] { item_dog_name_Click(); });
    item_print_strip = item("Finish strip on the photo", "item_print_strip");
    item_print_strip->setCheckable(true);
    item_print_as_viewed = item("Photo as viewed (zoom, enhancement)", "item_print_as_viewed");
    item_print_as_viewed->setCheckable(true);
    connect(menu_print, &QMenu::aboutToShow, this, [this] { menu_print_Click(); });
}

void Form_Houndex::menu_print_Click() {
    if (Control_Key_Down() && menu_debug) menu_debug->menuAction()->setVisible(true);
}

void Form_Houndex::Show_Position(int32_t position) {
    {
        const QSignalBlocker block(Slider_play);
        Slider_play->setValue(position);
    }
    Slider_play_Scroll();
}

std::string Form_Houndex::Event_Title() { return Label_event->text().toStdString(); }
std::string Form_Houndex::Heat_Time_Text() { return Label_heat_time->text().toStdString(); }
const Result_Array_Type& Form_Houndex::Ranked_Results() {
    static const Result_Array_Type none{};
    return m_Session ? m_Session->Result().Ranked : none;
}

QImage Form_Houndex::Finish_Strip_For_Print() {
    if (!item_print_strip || !item_print_strip->isChecked() || !m_Strip_Form) return {};
    const Finish_Strip& strip = m_Strip_Form->Strip();
    if (strip.Picture.isNull()) return {};
    // A second either side of the shown field: the dogs at the line, readable on paper.
    const int32_t field = Slider_play->value();  // the strip's positions are the review's
    const Finish_Strip near = Finish_Strip_Builder::Section(strip, field - 50, field + 50);
    // Time runs wide on paper: at least three times as wide as the line is long.
    return Finish_Strip_Builder::Scaled(near, std::max<int32_t>({1, near.Fields() * 8, near.Rows * 3}));
}

namespace {
// Unless the official asks for the photo as viewed, it is printed as recorded:
// the whole picture without enhancement, and the view comes back afterwards.
template <class Print>
void Print_Plain_Unless_Asked(Form_Houndex& form, QAction* as_viewed, Review_View& view, Print print) {
    const Review_View kept = view;
    const bool plain = !(as_viewed && as_viewed->isChecked()) && (kept.Zoom > 1 || kept.Enhanced());
    if (plain) {
        view = Review_View{};
        if (form.Review_File_Open()) form.Slider_play_Scroll();
    }
    print();
    if (plain) {
        view = kept;
        if (form.Review_File_Open()) form.Slider_play_Scroll();
    }
}
}  // namespace

void Form_Houndex::item_print_frame_Click() {
    Print_Plain_Unless_Asked(*this, item_print_as_viewed, m_View,
                             [this] { Module_Print_Frame::Print_Command(*this, this, false); });
}
void Form_Houndex::item_print_series_Click() {
    Print_Plain_Unless_Asked(*this, item_print_as_viewed, m_View,
                             [this] { Module_Print_Frame::Print_Command(*this, this, true); });
}
void Form_Houndex::item_dog_name_Click() { Module_Print_Frame::item_dog_name_Click(*this); }
void Form_Houndex::item_printer_dialog_Click() { Module_PrinterDialog::item_printer_dialog_Click(this); }

void Form_Houndex::Print_Results(QWidget& window) {
    auto* results = qobject_cast<Form_Hdx_Results*>(&window);
    Window_Print::Print_Results_Window(window, results ? results->Label_printed : nullptr);
}

// Reports (error window, debug and about windows) print on the program's current printer.
class Current_Report_Printer : public IReport_Printer {
public:
    bool Available() override { return !Printer_List().Printers().empty(); }
    QPrinter* Begin_Job() override { return Printer().Begin_Job() ? &Printer().Device() : nullptr; }
    void End_Job() override { Printer().End_Job(); }
    std::string Name() override { return Printer().DeviceName(); }
};

std::vector<std::string> Form_Houndex::Crop_Size_Captions() {
    std::vector<std::string> captions;
    for (QAction* a : item_crop_size) captions.push_back(a->text().toStdString());
    return captions;
}

void Form_Houndex::Build_Diagnostics() {
    m_Diagnostics = std::make_unique<Diagnostics_Commands>(*this);
    m_Report_Printer = std::make_unique<Current_Report_Printer>();
    Set_Report_Printer(m_Report_Printer.get());
    Diagnostics_Commands* d = m_Diagnostics.get();
    const std::pair<QAction*, void (Diagnostics_Commands::*)()> items[] = {
        {item_jpeg_benchmark, &Diagnostics_Commands::item_JPEG_benchmark_Click},
        {item_dll_available, &Diagnostics_Commands::item_DLL_available_Click},
        {item_picture_size, &Diagnostics_Commands::item_picture_size_Click},
        {item_timestamp_report, &Diagnostics_Commands::item_timestamp_report_Click},
        {item_file_properties, &Diagnostics_Commands::item_file_properties_Click},
        {item_text_xml_header, &Diagnostics_Commands::item_text_XML_header_Click},
        {item_dump_xml_header, &Diagnostics_Commands::item_dump_XML_header_Click},
        {item_misbehave_trapped, &Diagnostics_Commands::item_misbehave_trapped_Click},
        {item_misbehave_untrapped, &Diagnostics_Commands::item_misbehave_untrapped_Click},
        {item_nx3_properties, &Diagnostics_Commands::item_NX3_properties_Click},
        {item_about, &Diagnostics_Commands::item_about_Click},
    };
    for (const auto& [action, run] : items) connect(action, &QAction::triggered, this, [d, run] { (d->*run)(); });
    // Help > About with Ctrl held also shows the hidden "Debug" menu.
    connect(item_about, &QAction::triggered, this, [this] {
        if (Control_Key_Down() && menu_debug) menu_debug->menuAction()->setVisible(true);
    });
    connect(item_test1, &QAction::triggered, this, [this] { NumLock_on(); });
}
