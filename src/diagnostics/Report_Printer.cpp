#include "diagnostics/Report_Printer.h"

#include <algorithm>
#include <cmath>

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include "platform/HdxError.h"
#include "platform/PictureBox.h"

namespace {
constexpr int Printer_Error = 482;
constexpr double Twips_Per_Point = 20.0;
IReport_Printer* g_printer = nullptr;

// A painter on the printer whose units are twips with the origin at the top
// left corner of the printable area.
class Twips_Painter {
public:
    explicit Twips_Painter(QPrinter& printer) : m_Printer(printer) {
        m_Page_Height = printer.pageLayout().paintRect(QPageLayout::Point).height() * Twips_Per_Point;
        m_Page_Width = printer.pageLayout().paintRect(QPageLayout::Point).width() * Twips_Per_Point;
        if (!m_Painter.begin(&printer))
            throw HdxError(Printer_Error, "Printer error: the document could not be started");
        const double dpi = printer.resolution() > 0 ? printer.resolution() : 1200;
        m_Painter.scale(dpi / 1440.0, dpi / 1440.0);
    }
    ~Twips_Painter() {
        if (m_Painter.isActive()) {
            m_Printer.abort();
            m_Painter.end();
        }
    }
    QPainter& Painter() { return m_Painter; }
    double Page_Height() const { return m_Page_Height; }
    double Page_Width() const { return m_Page_Width; }
    void New_Page() {
        if (!m_Printer.newPage()) throw HdxError(Printer_Error, "Printer error: no new page");
    }
    void End() {
        if (!m_Painter.end()) throw HdxError(Printer_Error, "Printer error: the document could not be ended");
    }

private:
    QPrinter& m_Printer;
    QPainter m_Painter;
    double m_Page_Height = 0, m_Page_Width = 0;
};

QFont Font_Of(const Print_Line& line) {
    QFont f(line.Font);
    // Pixel sizes in twips: the painter's scale turns them into points on paper.
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(line.Points * Twips_Per_Point))));
    f.setBold(line.Bold);
    return f;
}
}  // namespace

System_Default_Report_Printer::System_Default_Report_Printer() = default;
System_Default_Report_Printer::~System_Default_Report_Printer() = default;

bool System_Default_Report_Printer::Available() { return !QPrinterInfo::availablePrinters().isEmpty(); }

QPrinter* System_Default_Report_Printer::Begin_Job() {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter().isNull() && Available()
                                  ? QPrinterInfo::availablePrinters().first()
                                  : QPrinterInfo::defaultPrinter();
    m_Printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    return m_Printer.get();
}

std::string System_Default_Report_Printer::Name() {
    if (m_Printer) return m_Printer->printerName().toStdString();
    return QPrinterInfo::defaultPrinterName().toStdString();
}

void Set_Report_Printer(IReport_Printer* printer) { g_printer = printer; }

IReport_Printer& Report_Printer() {
    static System_Default_Report_Printer system;
    return g_printer ? *g_printer : system;
}

void Print_Text_Lines(QPrinter& printer, const std::vector<Print_Line>& lines, double x_twips, double y_twips,
                      double y_fraction) {
    Twips_Painter page(printer);
    const double top = y_fraction > 0 ? page.Page_Height() * y_fraction : y_twips;
    double y = top;
    QPainter& p = page.Painter();
    p.setPen(Qt::black);
    for (const Print_Line& line : lines) {
        const QFont font = Font_Of(line);
        const QFontMetricsF metrics(font);
        // A long text goes on to further pages instead of running off the paper.
        if (y + metrics.lineSpacing() > page.Page_Height() && y > top) {
            page.New_Page();
            y = top;
        }
        if (!line.Text.isEmpty()) {
            p.setFont(font);
            p.drawText(QPointF(x_twips, y + metrics.ascent()), line.Text);
        }
        y += metrics.lineSpacing();
    }
    page.End();
}

void Print_Picture(QPrinter& printer, const QImage& picture, double x_twips, double y_twips) {
    Twips_Painter page(printer);
    const QSizeF size =
        Platform::Picture_Twips_Fitted(picture, page.Page_Width() - x_twips, page.Page_Height() - y_twips);
    page.Painter().drawImage(QRectF(QPointF(x_twips, y_twips), size), picture);
    page.End();
}
