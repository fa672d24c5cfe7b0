#pragma once
#include <memory>
#include <string>
#include <vector>

#include <QImage>
#include <QString>

class QPrinter;

// Where the diagnostics printouts (error report, debug text, about window) go.
// The program's current printer belongs to the printing subsystem, which sits
// beside diagnostics and uses its progress window, so the program installs a
// printer here; until it does, printouts go to the system's default printer.
class IReport_Printer {
public:
    virtual ~IReport_Printer() = default;
    // Whether there is any printer to print on.
    virtual bool Available() = 0;
    // The device for one document; nullptr when the operator cancelled (for
    // example the choice of a PDF file).
    virtual QPrinter* Begin_Job() = 0;
    virtual void End_Job() = 0;
    virtual std::string Name() = 0;
};

// The system's default printer (the first one when there is no default).
class System_Default_Report_Printer : public IReport_Printer {
public:
    System_Default_Report_Printer();
    ~System_Default_Report_Printer() override;
    bool Available() override;
    QPrinter* Begin_Job() override;
    void End_Job() override {}
    std::string Name() override;

private:
    std::unique_ptr<QPrinter> m_Printer;
};

// nullptr restores the system's default printer.
void Set_Report_Printer(IReport_Printer* printer);
IReport_Printer& Report_Printer();

// One printed text line in the font it is printed with.
struct Print_Line {
    QString Text;
    QString Font = QStringLiteral("Arial");
    double Points = 10;
    bool Bold = false;
};

// Prints the lines top to bottom from (x, y) twips of the printable area on
// one document, going on to a new page where a page is full, and ends the
// document. y_fraction > 0 starts at that fraction of the page height instead
// of y. Raises HdxError 482 when the printer cannot print.
void Print_Text_Lines(QPrinter& printer, const std::vector<Print_Line>& lines, double x_twips, double y_twips,
                      double y_fraction = 0);

// Paints the picture at its screen size (made smaller, keeping its shape, when
// it would run off the page) with its top left corner at (x, y) twips, and ends
// the document. Raises HdxError 482 when the printer cannot print.
void Print_Picture(QPrinter& printer, const QImage& picture, double x_twips, double y_twips);
