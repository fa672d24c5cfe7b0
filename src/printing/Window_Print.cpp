#include "printing/Window_Print.h"

#include <algorithm>

#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>

#include "diagnostics/Frm_progress.h"
#include "platform/Error_Entry.h"
#include "platform/PictureBox.h"
#include "printing/Module_PrinterDialog.h"
#include "printing/Twips_Page.h"
#include "common/Module_dependant.h"
#include "common/Program_Display_Name.h"
#include "common/Startup_Facts.h"

namespace Window_Print {

namespace {

QPointer<Frm_progress> g_Progress;
QImage With_Screen_Resolution(QImage picture, const QWidget& window);

QString Q(const std::string& s) { return QString::fromStdString(s); }

void Show_Progress(const std::string& caption) {
    Frm_progress& progress = Print_Progress();
    progress.Set_Percent(0);
    progress.Set_Caption(Q(caption + "\r\n" + Printer().DeviceName()));
    progress.show();
    progress.Adapt_Font();
}

// The picture carries the window's screen resolution, so that it prints at its screen size.
QImage With_Screen_Resolution(QImage picture, const QWidget& window) {
    picture.setDotsPerMeterX(static_cast<int>(window.logicalDpiX() / 0.0254 + 0.5));
    picture.setDotsPerMeterY(static_cast<int>(window.logicalDpiY() / 0.0254 + 0.5));
    return picture;
}

QImage Picture_Of(QWidget& window, const std::function<QImage()>& capture) {
    QImage picture = capture ? capture() : QImage();
    return picture.isNull() ? Client_Area_Picture(window) : With_Screen_Resolution(picture, window);
}

}  // namespace

Frm_progress& Print_Progress() {
    if (!g_Progress) {
        g_Progress = new Frm_progress();
        g_Progress->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    return *g_Progress;
}

QImage Client_Area_Picture(QWidget& window) {
    if (auto* main = qobject_cast<QMainWindow*>(&window); main && main->centralWidget())
        return With_Screen_Resolution(main->centralWidget()->grab().toImage(), window);
    QRect area = window.rect();
    for (QMenuBar* bar : window.findChildren<QMenuBar*>(QString(), Qt::FindDirectChildrenOnly))
        if (bar->isVisible() && bar->geometry().top() <= 0)
            area.setTop(std::max(area.top(), bar->geometry().bottom() + 1));
    return With_Screen_Resolution(window.grab(area).toImage(), window);
}

bool Print_Picture_Page(const QImage& picture, double x_twips, double y_twips) {
    Program_Printer& printer = Printer();
    if (!printer.Begin_Job()) return false;
    Twips_Page page(printer.Device());
    // The window's size on the screen; one wider or taller than the paper would be cut off: made smaller.
    const QSizeF size =
        Platform::Picture_Twips_Fitted(picture, page.ScaleWidth() - x_twips, page.ScaleHeight() - y_twips);
    page.Paint_Picture(picture, x_twips, y_twips, size.width(), size.height());
    page.End_Doc();
    printer.End_Job();
    return true;
}

void Print_Results_Window(QWidget& window, QLabel* label_printed) {
    try {
        Module_PrinterDialog::Select_Printer_If_Wanted(&window);
        if (label_printed)
            label_printed->setText(Q("Printed by " + Program_Display_Name() + " version " + Facts().Program_Version +
                                     " at: " + Date_Time_Text()));
        Show_Progress("Printing results on");
        Frm_progress& progress = Print_Progress();
        progress.Set_Percent(30);
        Do_Sleep(300, true);
        Print_Picture_Page(Client_Area_Picture(window), 800, 1200);
        progress.Set_Percent(70);
        Do_Sleep(300, true);
        if (label_printed) label_printed->setText(QString());
        progress.Set_Percent(100);
        Do_Sleep(300, true);
        progress.hide();
    } catch (const std::exception& e) {
        if (label_printed) label_printed->setText(QString());
        Print_Progress().hide();
        Report_Exception(e, "item_print_Click of Form Form_Hdx_Results");
    }
}

void Print_Window_Image(QWidget& window, const std::string& caption, double x_twips, double y_twips,
                        const std::string& location, const std::function<QImage()>& capture) {
    try {
        Module_PrinterDialog::Select_Printer_If_Wanted(&window);
        Show_Progress(caption);
        Frm_progress& progress = Print_Progress();
        Do_Sleep(600, true);
        progress.Set_Percent(10);
        Print_Picture_Page(Picture_Of(window, capture), x_twips, y_twips);
        progress.Set_Percent(100);
        Do_Sleep(1000, true);
        progress.hide();
    } catch (const std::exception& e) {
        Print_Progress().hide();
        Report_Exception(e, location);
    }
}

void Print_Event_Form(QWidget& window) {
    Print_Window_Image(window, "Printing form, on", 300, 1200, "Print_Form of Form Form_event_registration");
}

void Print_Speaker_Card(QWidget& window, const std::function<QImage()>& capture) {
    Print_Window_Image(window, "Printing spkr card on", 300, 1200, "item_print_Click of Form Form_Houndex_SpeakerCard",
                       capture);
}

}  // namespace Window_Print
