#pragma once
#include <functional>
#include <string>

#include <QImage>

class Frm_progress;
class QLabel;
class QWidget;

// Printing a window as a picture of its client area, for the windows whose
// printout is what they show (results window, event registration form,
// speaker card). Every print goes to the current printer
// (Module_PrinterDialog.h), after the printer dialog when the settings ask for
// it or Alt is held.
namespace Window_Print {

// The progress window shown while printing (one for the whole program).
Frm_progress& Print_Progress();

// The window's client area (below its menu bar) as a picture.
QImage Client_Area_Picture(QWidget& window);

// Paints picture on one page of the current printer with its top left corner
// at (x, y) twips, at its screen size (made smaller, keeping its shape, when it
// would run off the printable area), and ends the document. False when the
// operator cancelled the choice of a PDF file. Raises printer faults.
bool Print_Picture_Page(const QImage& picture, double x_twips, double y_twips);

// The results window's "Print": label_printed shows "Printed by ..." while the
// picture is taken; progress "Printing results on" and the printer's name;
// the client area at (800, 1200) twips. Trapped: "item_print_Click of Form
// Form_Hdx_Results".
void Print_Results_Window(QWidget& window, QLabel* label_printed);

// The event registration window's "Print form": progress "Printing form, on"
// and the printer's name; the client area at (300, 1200) twips. Trapped:
// "Print_Form of Form Form_event_registration".
void Print_Event_Form(QWidget& window);

// The speaker card's "Print": progress "Printing spkr card on" and the
// printer's name; the card's picture (capture, or the client area when it is
// empty) at (300, 1200) twips. Trapped: "item_print_Click of Form
// Form_Houndex_SpeakerCard".
void Print_Speaker_Card(QWidget& window, const std::function<QImage()>& capture = {});

// The common sequence of the last two: caption and printer name, wait 600 ms,
// 10 %, the picture on the page, 100 %, wait 1000 ms, progress hidden.
void Print_Window_Image(QWidget& window, const std::string& caption, double x_twips, double y_twips,
                        const std::string& location, const std::function<QImage()>& capture = {});

}  // namespace Window_Print
