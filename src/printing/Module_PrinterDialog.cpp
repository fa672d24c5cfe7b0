#include "printing/Module_PrinterDialog.h"
#include "common/Text.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "platform/HdxError.h"
#include "settings/Module_Ini.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"

namespace {

constexpr int Invalid_Property_Value = 380;
// Dialog option flags: 0x4 no "selection" range, 0x8 no page-number range.
constexpr int32_t No_Selection_Flag = 0x4;
constexpr int32_t No_Page_Numbers_Flag = 0x8;
constexpr int32_t Dialog_Flags = 268;

[[noreturn]] void Refuse(const char* property, int value) {
    throw HdxError(Invalid_Property_Value,
                   std::string("Invalid property value: ") + property + " = " + std::to_string(value));
}

QPrinter::DuplexMode To_Qt_Duplex(int16_t v) {
    switch (v) {
        case 2: return QPrinter::DuplexLongSide;
        case 3: return QPrinter::DuplexShortSide;
        default: return QPrinter::DuplexNone;
    }
}

int16_t From_Qt_Duplex(QPrinter::DuplexMode m) {
    switch (m) {
        case QPrinter::DuplexLongSide:
        case QPrinter::DuplexAuto: return 2;
        case QPrinter::DuplexShortSide: return 3;
        default: return 1;
    }
}

bool Is_System_Printer(const std::string& name) {
    return !name.empty() && !QPrinterInfo::printerInfo(QString::fromStdString(name)).isNull();
}

System_Printer_List g_System_List;
Qt_Printer_Chooser g_Qt_Chooser;
IPrinter_List* g_List = nullptr;
IPrinter_Chooser* g_Chooser = nullptr;
std::unique_ptr<Program_Printer> g_Printer;

}  // namespace

// ---------------------------------------------------------------------------
// printer list and dialog

std::vector<Printer_Info> System_Printer_List::Printers() {
    std::vector<Printer_Info> out;
    for (const QPrinterInfo& p : QPrinterInfo::availablePrinters())
        out.push_back({p.printerName().toStdString(), p.makeAndModel().toStdString(), p.location().toStdString()});
    out.push_back({Pdf_Printer_Name, "PDF", "FILE:"});
    return out;
}

std::string System_Printer_List::Default_Printer_Name() {
    const std::string name = QPrinterInfo::defaultPrinterName().toStdString();
    return name.empty() ? Pdf_Printer_Name : name;
}

bool Qt_Printer_Chooser::Show(Printer_Dialog_Values& values, QWidget* owner) {
    QPrinter choice(QPrinter::HighResolution);
    if (Is_System_Printer(values.Printer_Name)) {
        choice.setPrinterName(QString::fromStdString(values.Printer_Name));
    } else {
        choice.setOutputFormat(QPrinter::PdfFormat);
        choice.setOutputFileName(QString::fromStdString(values.Output_File));
    }
    choice.setPaperSource(static_cast<QPrinter::PaperSource>(values.Paper_Bin));
    QPrintDialog dialog(&choice, owner);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, (values.Flags & No_Selection_Flag) == 0);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, (values.Flags & No_Page_Numbers_Flag) == 0);
    if (dialog.exec() != QDialog::Accepted) return false;

    if (choice.outputFormat() == QPrinter::PdfFormat) {
        values.Printer_Name = Pdf_Printer_Name;
        values.Output_File = choice.outputFileName().toStdString();
    } else {
        values.Printer_Name = choice.printerName().toStdString();
    }
    values.Paper_Bin = static_cast<int16_t>(choice.paperSource());
    values.Copies = static_cast<int16_t>(std::clamp(choice.copyCount(), 1, 9999));
    values.Orientation = choice.pageLayout().orientation() == QPageLayout::Landscape ? 2 : 1;
    values.Color_Mode = choice.colorMode() == QPrinter::GrayScale ? 1 : 2;
    values.Duplex = From_Qt_Duplex(choice.duplex());
    const int paper = choice.pageLayout().pageSize().windowsId();
    values.Paper_Size = static_cast<int16_t>(paper > 0 ? paper : 9);
    values.Print_Quality = static_cast<int16_t>(std::clamp(choice.resolution(), 1, 32767));
    return true;
}

void Set_Printer_List(IPrinter_List* list) { g_List = list; }
IPrinter_List& Printer_List() { return g_List ? *g_List : g_System_List; }
void Set_Printer_Chooser(IPrinter_Chooser* chooser) { g_Chooser = chooser; }
IPrinter_Chooser& Printer_Chooser() { return g_Chooser ? *g_Chooser : g_Qt_Chooser; }

// ---------------------------------------------------------------------------
// the current printer

Program_Printer::Program_Printer() : m_Device(new QPrinter(QPrinter::HighResolution)) {
    m_Print_Quality = static_cast<int16_t>(m_Device->resolution());
    const int paper = m_Device->pageLayout().pageSize().windowsId();
    if (paper > 0) m_Paper_Size = static_cast<int16_t>(paper);
}

Program_Printer::~Program_Printer() { delete m_Device; }

void Program_Printer::Set_Copies(int16_t v) {
    if (v < 1) Refuse("Copies", v);
    m_Device->setCopyCount(v);
    m_Copies = v;
}

void Program_Printer::Set_Orientation(int16_t v) {
    if (v != 1 && v != 2) Refuse("Orientation", v);
    m_Device->setPageOrientation(v == 2 ? QPageLayout::Landscape : QPageLayout::Portrait);
    m_Orientation = v;
}

void Program_Printer::Set_ColorMode(int16_t v) {
    if (v != 1 && v != 2) Refuse("ColorMode", v);
    m_Device->setColorMode(v == 1 ? QPrinter::GrayScale : QPrinter::Color);
    m_Color_Mode = v;
}

void Program_Printer::Set_Duplex(int16_t v) {
    if (v < 1 || v > 3) Refuse("Duplex", v);
    m_Device->setDuplex(To_Qt_Duplex(v));
    m_Duplex = v;
}

void Program_Printer::Set_PaperBin(int16_t v) {
    if (v < 0 || v > QPrinter::LastPaperSource) Refuse("PaperBin", v);
    m_Device->setPaperSource(static_cast<QPrinter::PaperSource>(v));
    m_Paper_Bin = v;
}

void Program_Printer::Set_PaperSize(int16_t v) {
    const QPageSize::PageSizeId id = QPageSize::id(v);
    if (v <= 0 || id == QPageSize::Custom) Refuse("PaperSize", v);
    if (!m_Device->setPageSize(QPageSize(id))) Refuse("PaperSize", v);
    m_Paper_Size = v;
}

void Program_Printer::Set_PrintQuality(int16_t v) {
    if (v == 0 || v < -4) Refuse("PrintQuality", v);
    if (v > 0) m_Device->setResolution(v);  // the quality codes leave the resolution to the driver
    m_Print_Quality = v;
}

void Program_Printer::Apply_Settings() {
    m_Device->setCopyCount(m_Copies);
    m_Device->setPageOrientation(m_Orientation == 2 ? QPageLayout::Landscape : QPageLayout::Portrait);
    m_Device->setColorMode(m_Color_Mode == 1 ? QPrinter::GrayScale : QPrinter::Color);
    m_Device->setDuplex(To_Qt_Duplex(m_Duplex));
    m_Device->setPaperSource(static_cast<QPrinter::PaperSource>(m_Paper_Bin));
    m_Device->setPageSize(QPageSize(QPageSize::id(m_Paper_Size)));
    if (m_Print_Quality > 0) m_Device->setResolution(m_Print_Quality);
}

void Program_Printer::Select(const Printer_Info& printer, const std::string& output_file) {
    if (printer.Device_Name == Pdf_Printer_Name) {
        m_Device->setOutputFormat(QPrinter::PdfFormat);
        m_Device->setOutputFileName(QString::fromStdString(output_file));
        m_File_Asked = false;
    } else if (Is_System_Printer(printer.Device_Name)) {
        m_Device->setOutputFileName(QString());
        m_Device->setOutputFormat(QPrinter::NativeFormat);
        m_Device->setPrinterName(QString::fromStdString(printer.Device_Name));
    }
    // A printer the print system does not know (a list of its own) keeps the
    // device's output as it is.
    m_Info = printer;
    Apply_Settings();
}

bool Program_Printer::Prints_To_File() const { return m_Device->outputFormat() == QPrinter::PdfFormat; }

std::string Program_Printer::Output_File() const { return m_Device->outputFileName().toStdString(); }

void Program_Printer::Set_Output_File(const std::string& path) {
    m_Device->setOutputFileName(QString::fromStdString(path));
    if (!path.empty()) m_Device->setOutputFormat(QPrinter::PdfFormat);
    m_File_Asked = false;
}

bool Program_Printer::Begin_Job(const std::string& folder, const std::string& name) {
    if (!Prints_To_File() || !m_Device->outputFileName().isEmpty()) return true;
    const std::string offered = !folder.empty()                   ? folder
                                : !Facts().AppData_Folder.empty() ? Facts().AppData_Folder
                                                                  : Platform::Local_AppData_Folder();
    const auto file = Platform::Dialogs().Save_File("Print to PDF file", offered, "PDF files (*.pdf)",
                                                    name.empty() ? "Houndex print.pdf" : name);
    if (!file || file->empty()) return false;
    m_Device->setOutputFileName(QString::fromStdString(*file));
    m_File_Asked = true;
    return true;
}

void Program_Printer::End_Job() {
    if (!m_File_Asked) return;
    m_Device->setOutputFileName(QString());
    m_Device->setOutputFormat(QPrinter::PdfFormat);
    m_File_Asked = false;
}

Program_Printer& Printer() {
    if (!g_Printer) {
        g_Printer = std::make_unique<Program_Printer>();
        g_Printer->Set_TrackDefault(true);
    }
    Program_Printer& p = *g_Printer;
    if (p.TrackDefault()) {
        IPrinter_List& list = Printer_List();
        const std::string wanted = list.Default_Printer_Name();
        if (!wanted.empty() && wanted != p.DeviceName()) {
            Printer_Info found{wanted, "", ""};
            for (const Printer_Info& info : list.Printers())
                if (info.Device_Name == wanted) found = info;
            p.Select(found, p.Output_File());
        }
    }
    return p;
}

QPrinter& Current_Printer() { return Printer().Device(); }

void Reset_Printer() { g_Printer.reset(); }

// ---------------------------------------------------------------------------
// selection

namespace Module_PrinterDialog {

void Select_Printer(QWidget* owner) {
    try {
        Program_Printer& printer = Printer();
        // Created anew for every selection and preset from the current
        // printer, so that a valid bin is at hand even when nothing is changed.
        auto values = std::make_unique<Printer_Dialog_Values>();
        values->Printer_Name = printer.DeviceName();
        values->Driver_Name = printer.DriverName();
        values->Port = printer.Port();
        values->Paper_Bin = printer.PaperBin();
        values->Output_File = printer.Output_File();
        values->Flags = Dialog_Flags;
        // From now on a change of the system's default printer no longer moves ours.
        printer.Set_TrackDefault(false);

        if (!Printer_Chooser().Show(*values, owner)) return;

        const std::string chosen = values->Printer_Name;
        const std::string chosen_upper = Upper_Case(chosen);
        const bool is_pdf = chosen_upper.find("PDF") != std::string::npos;
        // The collection is walked only when another name was chosen (a
        // different spelling counts); the last device of that name wins.
        if (chosen != printer.DeviceName()) {
            std::vector<Printer_Info> printers = Printer_List().Printers();
            for (const Printer_Info& info : printers)
                if (Upper_Case(info.Device_Name) == chosen_upper) printer.Select(info, values->Output_File);
        } else if (chosen == Pdf_Printer_Name && !values->Output_File.empty()) {
            printer.Set_Output_File(values->Output_File);
        }

        printer.Set_Copies(values->Copies);
        printer.Set_Orientation(values->Orientation);
        printer.Set_ColorMode(values->Color_Mode);
        printer.Set_Duplex(values->Duplex);
        if (!is_pdf) printer.Set_PaperBin(values->Paper_Bin);
        printer.Set_PaperSize(values->Paper_Size);
        printer.Set_PrintQuality(values->Print_Quality);
    } catch (const std::exception& e) {
        Report_Exception(e, "Select_Printer of Module Module_PrinterDialog");
    }
}

void item_printer_dialog_Click(QWidget* owner) {
    Select_Printer(owner);
    Trace("Printer.DeviceName = " + Printer().DeviceName());
}

bool Printer_Dialog_Wanted() {
    if (Alt_Key_Down()) return true;
    // Before start-up has found the settings file the option reads as off.
    return !Facts().Ini_file_path.empty() &&
           Read_Ini("Settings", "show_printer_dialog", Facts().Ini_file_path, "0") == "1";
}

void Select_Printer_If_Wanted(QWidget* owner) {
    if (Printer_Dialog_Wanted()) Select_Printer(owner);
}

}  // namespace Module_PrinterDialog
