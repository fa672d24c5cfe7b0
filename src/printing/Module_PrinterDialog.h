#pragma once
#include <cstdint>
#include <string>
#include <vector>

class QPrinter;
class QWidget;

// The program's current printer and its selection. Every print of the program
// (goal photo, results window, event form, speaker card) goes to the one
// current printer with the page settings chosen last; nothing of the choice is
// stored in the settings file.
//
// Property values are the 16-bit values the rest of the program works with:
// Orientation 1 portrait, 2 landscape; ColorMode 1 black and white, 2 colour;
// Duplex 1 none, 2 long edge, 3 short edge; PaperBin the paper source number
// (QPrinter::PaperSource); PaperSize the paper number (QPageSize::windowsId,
// 9 = A4, 1 = Letter); PrintQuality dots per inch, or -1..-4 for the draft to
// high quality codes some drivers use.

// Printing to a PDF file is always offered, also on a system with no printer.
inline const std::string Pdf_Printer_Name = "PDF file";

struct Printer_Info {
    std::string Device_Name;
    std::string Driver_Name;
    std::string Port;
};

// The installed printers. The program asks the print system; tests install a list of their own.
class IPrinter_List {
public:
    virtual ~IPrinter_List() = default;
    // First to last as the print system lists them.
    virtual std::vector<Printer_Info> Printers() = 0;
    // The system's default printer; empty when there is none.
    virtual std::string Default_Printer_Name() = 0;
};

// The print system's printers (QPrinterInfo), followed by the PDF file printer.
class System_Printer_List : public IPrinter_List {
public:
    std::vector<Printer_Info> Printers() override;
    std::string Default_Printer_Name() override;
};

// What the printer dialog is preset with and what it gives back.
struct Printer_Dialog_Values {
    std::string Printer_Name;
    std::string Driver_Name;
    std::string Port;
    int16_t Paper_Bin = 0;
    int32_t Flags = 0;
    int16_t Copies = 1;
    int16_t Orientation = 1;
    int16_t Color_Mode = 2;
    int16_t Duplex = 1;
    int16_t Paper_Size = 9;
    int16_t Print_Quality = 600;
    // The file a PDF file printer writes: preset with the current one, and
    // the operator's choice when the dialog prints to a file.
    std::string Output_File;
};

// The printer dialog. The program shows the print system's dialog; tests
// install a scripted one so that no dialog ever blocks.
class IPrinter_Chooser {
public:
    virtual ~IPrinter_Chooser() = default;
    // Shows the dialog modally for owner; true when the operator confirmed,
    // values then holding the choice.
    virtual bool Show(Printer_Dialog_Values& values, QWidget* owner) = 0;
};

// QPrintDialog on a printer preset from the values.
class Qt_Printer_Chooser : public IPrinter_Chooser {
public:
    bool Show(Printer_Dialog_Values& values, QWidget* owner) override;
};

// The current printer: a device and the settings copied into it.
class Program_Printer {
public:
    Program_Printer();
    ~Program_Printer();
    Program_Printer(const Program_Printer&) = delete;
    Program_Printer& operator=(const Program_Printer&) = delete;

    QPrinter& Device() { return *m_Device; }

    const std::string& DeviceName() const { return m_Info.Device_Name; }
    const std::string& DriverName() const { return m_Info.Driver_Name; }
    const std::string& Port() const { return m_Info.Port; }
    // True while the printer follows the system's default printer.
    bool TrackDefault() const { return m_Track_Default; }
    void Set_TrackDefault(bool on) { m_Track_Default = on; }

    // The setters raise HdxError 380 for a value the printer refuses; the
    // printer then keeps its previous value.
    int16_t Copies() const { return m_Copies; }
    void Set_Copies(int16_t v);
    int16_t Orientation() const { return m_Orientation; }
    void Set_Orientation(int16_t v);
    int16_t ColorMode() const { return m_Color_Mode; }
    void Set_ColorMode(int16_t v);
    int16_t Duplex() const { return m_Duplex; }
    void Set_Duplex(int16_t v);
    int16_t PaperBin() const { return m_Paper_Bin; }
    void Set_PaperBin(int16_t v);
    int16_t PaperSize() const { return m_Paper_Size; }
    void Set_PaperSize(int16_t v);
    int16_t PrintQuality() const { return m_Print_Quality; }
    void Set_PrintQuality(int16_t v);

    // Makes the device the given printer; output_file is the file a PDF file
    // printer writes (empty: asked for when printing starts).
    void Select(const Printer_Info& printer, const std::string& output_file = std::string());
    bool Prints_To_File() const;
    std::string Output_File() const;
    void Set_Output_File(const std::string& path);

    // Before a document: a PDF file printer without a file asks for one
    // ("Print to PDF file"), offering folder and name when given (else the data
    // folder and "Houndex print.pdf"). False when the operator cancelled: nothing is printed.
    bool Begin_Job(const std::string& folder = {}, const std::string& name = {});
    // After a document: a file asked for by Begin_Job is asked for again next time.
    void End_Job();

private:
    void Apply_Settings();

    QPrinter* m_Device;
    Printer_Info m_Info;
    bool m_Track_Default = true;
    bool m_File_Asked = false;
    int16_t m_Copies = 1;
    int16_t m_Orientation = 1;
    int16_t m_Color_Mode = 2;
    int16_t m_Duplex = 1;
    int16_t m_Paper_Bin = 0;
    int16_t m_Paper_Size = 9;
    int16_t m_Print_Quality = 600;
};

// The printer list and the dialog in use (nullptr restores the print system's).
void Set_Printer_List(IPrinter_List* list);
IPrinter_List& Printer_List();
void Set_Printer_Chooser(IPrinter_Chooser* chooser);
IPrinter_Chooser& Printer_Chooser();

// The program's current printer. While it follows the system's default
// printer it is moved to the default one whenever that changes.
Program_Printer& Printer();
QPrinter& Current_Printer();
// A fresh current printer on the default printer (start of a run; tests).
void Reset_Printer();

namespace Module_PrinterDialog {

// Shows the printer dialog preset from the current printer and, when the
// operator confirms, makes the chosen printer current and copies the chosen
// page settings into it (the paper bin not for a PDF printer). Trapped:
// "Select_Printer of Module Module_PrinterDialog".
void Select_Printer(QWidget* owner);

// Menu "Printer dialog" (and the main window's Show_Printer_Dialog): the
// selection, then the trace line "Printer.DeviceName = " and the printer's name.
void item_printer_dialog_Click(QWidget* owner);

// The print commands show the dialog first when the setting
// "show_printer_dialog" is "1" or the Alt key is held.
bool Printer_Dialog_Wanted();
// Select_Printer(owner) when Printer_Dialog_Wanted().
void Select_Printer_If_Wanted(QWidget* owner);

}  // namespace Module_PrinterDialog
