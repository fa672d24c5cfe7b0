#include "printing/Module_Print_Frame.h"
#include "review/Font_Fit.h"

#include <algorithm>
#include <cmath>

#include <QImage>

#include "diagnostics/Frm_progress.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/PictureBox.h"
#include "printing/IPrint_Host.h"
#include "printing/Module_PrinterDialog.h"
#include "printing/Twips_Page.h"
#include "printing/Window_Print.h"
#include "review/Crossing_Estimate.h"
#include "review/Margins.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Official_Record.h"
#include "settings/Module_Ini.h"
#include "common/Module_dependant.h"
#include "common/Program_Display_Name.h"
#include "common/Startup_Facts.h"

namespace Module_Print_Frame {

namespace {

constexpr int Name_Columns = 27;
constexpr int Caption_Size = 52;
constexpr int Series_Caption_Size = 10;  // points, under each photo of the series
// Where the result table and the footer start, as parts of the page height.
constexpr double Table_Top = 0.73;
constexpr double Footer_Top = 0.9;
constexpr double Gap = 60;           // twips between a photo and the line below it
constexpr double Official_Size = 8;  // points: the declaration and the audit trail

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string File_Part(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Shrinks the page font a point at a time until text fits the printable width less the margin.
void Shrink_To_Fit(Twips_Page& page, const QString& text, double margin) {
    while (page.Font_Size() > 1 && page.Text_Width(text) > page.ScaleWidth() - margin)
        page.Set_Font_Size(page.Font_Size() - 1);
}

// Prints a line at the left margin, shrunk until it ends at the right margin.
void Print_Within_Margins(Twips_Page& page, const QString& text, double margin) {
    const double size = page.Font_Size();
    while (page.Font_Size() > 1 && page.Text_Width(text) > page.ScaleWidth() - 2 * margin)
        page.Set_Font_Size(page.Font_Size() - 1);
    page.Current_X = margin;
    page.Print(text);
    page.Set_Font_Size(size);
}

// Characters, not bytes: a name with "å" takes one column on paper.
size_t Columns(const std::string& text) { return static_cast<size_t>(Q(text).size()); }
void Pad_To(std::string& text, size_t columns) {
    const size_t have = Columns(text);
    if (have < columns) text.append(columns - have, ' ');
}

std::string Time_Text(int32_t goal, int32_t box_delay) {
    switch (goal) {
        case No_Rank_Code: return "Notime";
        case DSQ_Code: return "DSQ";
        case DNF_Code: return "DNF";
        default: return Display_Mill_Time(goal + box_delay, true);
    }
}

}  // namespace

std::string Web_Address() {
    if (Facts().Ini_file_path.empty()) return Default_Web_Address;
    const std::string address = Read_Ini("Settings", Web_Address_Key, Facts().Ini_file_path, Default_Web_Address);
    return address.empty() || address == "N/A" ? Default_Web_Address : address;
}

std::string Simulated_Sources_Note(cls_VideoFile_handler& handler) {
    auto says_simulated = [](const std::string& text) { return Q(text).contains("simulat", Qt::CaseInsensitive); };
    // Older recordings name the camera simulator only in the capture property.
    const bool camera = says_simulated(handler.Capture_source()) || says_simulated(handler.Capture_property());
    const bool box = says_simulated(handler.Phidget_serial());
    if (camera && box) return "simulated camera and Control Box";
    if (camera) return "simulated camera";
    if (box) return "simulated Control Box";
    return {};
}

std::string Table_Line(const std::string& rank, const Result_Record& record, int32_t box_delay) {
    const QString name = Q(record.Dog_Name).leftJustified(Name_Columns, QLatin1Char(' '), true);
    // A split holding a result code is no time, like a missing one: its column stays blank.
    const std::string split =
        record.Split_Time >= DNF_Code ? "     " : Display_Mill_Time(record.Split_Time + box_delay, true);
    std::string line = rank + "  " + std::to_string(record.Box) + "  " + name.toStdString() + " " + split + " " +
                       Time_Text(record.Goal_Time, box_delay);
    // The estimate between two fields stands beside the official time it does not replace.
    if (record.Estimate && record.Goal_Time < DNF_Code)
        line += " " + Crossing_Estimate::Estimate_Text(*record.Estimate + box_delay);
    if (record.Dead_Heat) line += " Dead heat";
    return line;
}

std::vector<std::string> Table_Lines(const Result_Array_Type& results, int32_t box_delay,
                                     const std::array<std::string, 6>* margins) {
    // The ranks of the results window, so that paper and screen agree on dead
    // heats (1, 2, 2, 4) and a dog without a result has no place ("---").
    const Result_Rows_Type rows = Module_Results::Result_Rows(results, box_delay);
    size_t count = 0;
    while (count < results.size() && results[count].Goal_Time != No_Time) ++count;  // the rest have none either
    // "---" is wider than a place number: the columns after it stay in line.
    size_t rank_width = 0;
    for (size_t r = 0; r < count; ++r) rank_width = std::max(rank_width, rows[r].Rank.size());
    std::vector<std::string> lines;
    size_t time_width = 0;
    for (size_t r = 0; r < count; ++r) {
        std::string rank = rows[r].Rank;
        rank.resize(rank_width, ' ');
        lines.push_back(Table_Line(rank, results[r], box_delay));
        if (!results[r].Dead_Heat) time_width = std::max(time_width, Columns(lines.back()));
    }
    // The margins start in one column, after the longest time.
    if (margins)
        for (size_t r = 0; r < count; ++r) {
            const std::string& margin = (*margins)[r];
            if (margin.empty() || results[r].Dead_Heat) continue;
            Pad_To(lines[r], time_width);
            lines[r] += "  " + margin;
        }
    return lines;
}

std::vector<std::string> Official_Lines(cls_VideoFile_handler& handler, size_t max_changes) {
    const Official_Record::Declaration d = Official_Record::Read_Declaration(handler);
    if (!d.official) return {};
    std::vector<std::string> lines{Official_Record::Declaration_Text(d)};
    try {
        const std::vector<Official_Record::Change> trail = Official_Record::Read_Trail(handler.File_name());
        if (trail.empty()) return lines;
        lines.push_back("Changes since the declaration:");
        const size_t first = trail.size() > max_changes ? trail.size() - max_changes : 0;
        if (first > 0)
            lines.push_back(std::to_string(first) + " earlier change" + (first == 1 ? "" : "s") + " in " +
                            File_Part(Official_Record::Audit_Path(handler.File_name())));
        for (size_t i = first; i < trail.size(); ++i) lines.push_back(Official_Record::Change_Text(trail[i]));
    } catch (const std::exception& e) {
        lines.push_back(e.what());
    }
    return lines;
}

void print_BOX_Time(IPrint_Host& host, const std::string& rank, int16_t box, const std::string& name) {
    try {
        Platform::PictureBox& picture = host.Review_Picture();
        QFont f = picture.Font();
        f.setFamily(QStringLiteral("Arial"));
        f.setPointSize(Caption_Size);
        picture.Set_Font(f);
        // Yellow stands out on a colour print; a black-and-white printer
        // (ColorMode 1) would print it as a pale grey, so the caption is black there.
        picture.Set_Fore_Color(Printer().ColorMode() == 2 ? QColor(255, 255, 0) : QColor(0, 0, 0));
        picture.Current_Y = 0.8 * picture.Scale_Height();
        picture.Current_X = 0.02 * picture.Scale_Width();
        if (name.empty()) picture.Print(Q(rank + "     Dog:" + std::to_string(box)));
        std::string dog = name;
        if (dog.empty()) {
            cls_VideoFile_handler* handler = host.Review_Handler();
            if (handler) dog = handler->Hdx_Dog_name(box);
        }
        // Max_Font leaves the picture at the size it found (up to 110): a short
        // name is still printed at the caption size at most, or it runs off the photo.
        f.setPointSize(std::min(Max_Font(picture, dog), Caption_Size));
        picture.Set_Font(f);
        picture.Print(Q(dog));
        picture.Refresh();
    } catch (const std::exception& e) {
        Report_Exception(e, "print_BOX_Time of Form Form_Houndex");
    }
}

void print_BOX_Time(IPrint_Host& host, int16_t rank, int16_t box, const std::string& name) {
    print_BOX_Time(host, std::to_string(rank), box, name);
}

void item_dog_name_Click(IPrint_Host& host) {
    try {
        const auto answer = Platform::Dialogs().Input_Box("Enter dog name for printing", Program_Display_Name(), "");
        host.Print_Dog_Name() = answer.value_or(std::string());
    } catch (const std::exception& e) {
        Report_Exception(e, "item_dog_name_Click of Form Form_Houndex");
    }
}

void Print_Command(IPrint_Host& host, QWidget* owner, bool series) {
    if (!host.Review_Handler()) {
        Platform::Beep();
        return;
    }
    Module_PrinterDialog::Select_Printer_If_Wanted(owner);
    Print_Frame(host, series);
}

void Print_Frame(IPrint_Host& host, bool series) {
    try {
        cls_VideoFile_handler* handler = host.Review_Handler();
        if (!handler) {
            Platform::Beep();
            return;
        }
        Program_Printer& printer = Printer();
        // A print to a file goes beside the recording, named after it.
        const std::string recording = handler->File_name();
        const size_t cut = recording.find_last_of("/\\");
        std::string stem = File_Part(recording);
        if (const size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
        if (!printer.Begin_Job(cut == std::string::npos ? std::string() : recording.substr(0, cut),
                               stem.empty() ? std::string() : stem + ".pdf"))
            return;

        Frm_progress& progress = Window_Print::Print_Progress();
        progress.Set_Percent(0);
        progress.Set_Caption(Q("Printing frame on\r\n" + printer.DeviceName()));
        progress.show();
        progress.Adapt_Font();
        Do_Sleep(300, true);
        progress.Set_Percent(10);

        Twips_Page page(printer.Device());
        const double W = page.Width(), H = page.Height();
        const double margin = std::round(0.1 * W);
        Trace("Devicename = " + printer.DeviceName());
        Trace("Width = " + std::to_string(std::lround(W)));
        Trace("Height = " + std::to_string(std::lround(H)));
        Trace("ScaleHeight = " + std::to_string(std::lround(page.ScaleHeight())));
        Trace("ScaleWidth = " + std::to_string(std::lround(page.ScaleWidth())));
        Trace("ScaleTop = " + std::to_string(std::lround(page.ScaleTop())));

        // Heading: event, then heat.
        page.Set_Italic(false);
        page.Current_Y = 0.05 * H;
        page.Current_X = margin;
        page.Set_Font_Name(QStringLiteral("Arial"));
        page.Set_Font_Size(36);
        page.Set_Bold(true);
        const QString title = Q(host.Event_Title());
        Shrink_To_Fit(page, title, margin);
        page.Print(title);
        page.Set_Font_Size(10);
        page.Print(QString());
        page.Set_Bold(false);
        page.Set_Font_Size(18);
        page.Current_X = margin;
        const QString heat = Q("Heat: " + handler->Hdx_Heat_ID() + " " + handler->Hdx_Heat_Name() +
                               " at: " + handler->Hdx_start_DateTime());
        Shrink_To_Fit(page, heat, margin);
        page.Print(heat);

        // A heat declared official carries its declaration and trail below the
        // table, in small type: the table starts higher and the photos give way.
        const std::vector<std::string> official = Official_Lines(*handler);
        double official_room = 0;
        if (!official.empty()) {
            const double heading_size = page.Font_Size();
            page.Set_Font_Size(Official_Size);
            official_room = static_cast<double>(official.size()) * page.Text_Height();
            page.Set_Font_Size(heading_size);
        }
        const double table_top = Table_Top * H - official_room;

        // The photos are copies of the review picture as it is drawn, at a
        // fraction of its screen size in twips.
        Platform::PictureBox& picture = host.Review_Picture();
        const double tppx = 1440.0 / std::max(1, picture.logicalDpiX());
        const double tppy = 1440.0 / std::max(1, picture.logicalDpiY());
        const double pw = picture.Canvas().width() * tppx;
        const double ph = picture.Canvas().height() * tppy;
        const Result_Array_Type& results = host.Ranked_Results();
        const int32_t box_delay = host.Box_Delay();

        if (!series) {
            page.Print(QString());
            progress.Set_Percent(30);
            Do_Sleep(300, true);
            std::string& queued = host.Print_Dog_Name();
            if (!queued.empty()) {
                print_BOX_Time(host, 0, 0, queued);
                queued.clear();  // printed once
            }
            // The photo, made smaller when it would run into the table, and
            // the elapsed time of the shown frame just below it.
            const double top = page.Current_Y;
            double w = 0.06 * tppx * pw, h = 0.06 * tppy * ph;
            // The finish strip, when asked for, goes across the page under the photo.
            const QImage strip = host.Finish_Strip_For_Print();
            // Drawn without distortion: as wide as the page allows, at most an eighth of its height.
            double strip_w = page.ScaleWidth() - 2 * margin, strip_h = 0;
            if (!strip.isNull()) {
                strip_h = std::min(0.12 * H, strip_w * strip.height() / std::max(1, strip.width()));
                strip_w = strip_h * strip.width() / std::max(1, strip.height());
            }
            const double room = table_top - top - page.Text_Height() - 2 * Gap - (strip_h > 0 ? strip_h + Gap : 0);
            if (h > room && room > 0) {
                w *= room / h;
                h = room;
            }
            page.Paint_Picture(picture.Canvas().copy(), margin + 100, top, w, h);
            page.Current_X = margin;
            page.Current_Y = top + h + Gap;
            page.Print(Q("Elapsed time : " + host.Heat_Time_Text()));
            if (strip_h > 0) {
                page.Paint_Picture(strip, margin, page.Current_Y + Gap, strip_w, strip_h);
                page.Current_Y += Gap + strip_h;
            }
        } else {
            page.Current_X = margin;
            page.Set_Font_Size(24);
            page.Print(QStringLiteral("Goal photos"));
            page.Set_Font_Size(18);
            // Only placed dogs have a goal position: the series ends at the first without.
            auto placed = [&](int position) {
                const int16_t box = results[static_cast<size_t>(position - 1)].Box;
                return box >= 1 && handler->Hdx_Heat_time(box, false) != 0;
            };
            int photos = 0;
            while (photos < 6 && placed(photos + 1)) ++photos;
            // Each photo's caption (place, box, dog) goes under it on the
            // paper: drawn on the picture it would hide the dog in that lane.
            page.Set_Font_Size(Series_Caption_Size);
            const double caption_h = 2 * page.Text_Height();
            // The photos are made smaller when their rows would run into the table.
            double w = 0.025 * tppx * pw, h = 0.025 * tppy * ph;
            const double top = page.Current_Y;
            const int photo_rows = photos > 3 ? 2 : 1;
            const double needed = photo_rows * (h + caption_h) + (photo_rows - 1) * 100;
            const double room = table_top - top - Gap;
            if (needed > room && room > 0) {
                const double scale = (room - photo_rows * caption_h) / (photo_rows * h + (photo_rows - 1) * 100);
                if (scale > 0) {
                    w *= scale;
                    h *= scale;
                }
            }
            const Result_Rows_Type rows = Module_Results::Result_Rows(results, box_delay);
            for (int position = 1; position <= photos; ++position) {
                const Result_Record& record = results[static_cast<size_t>(position - 1)];
                host.Show_Position(handler->Hdx_heat_frame(record.Box));
                const int column = position <= 3 ? position : position - 3;
                const double x = margin + (column - 1) * (w + 100);
                const double y = position <= 3 ? top : top + h + caption_h + 100;
                page.Paint_Picture(picture.Canvas().copy(), x, y, w, h);
                const QString place =
                    Q(rows[static_cast<size_t>(position - 1)].Rank + "     Dog:" + std::to_string(record.Box));
                const QString dog = Q(handler->Hdx_Dog_name(record.Box));
                page.Set_Font_Size(Series_Caption_Size);
                while (page.Font_Size() > 4 && std::max(page.Text_Width(place), page.Text_Width(dog)) > w)
                    page.Set_Font_Size(page.Font_Size() - 1);
                page.Current_X = x;
                page.Current_Y = y + h;
                page.Print(place);
                page.Current_X = x;
                page.Print(dog);
            }
            page.Current_Y = top + photo_rows * (h + caption_h) + (photo_rows - 1) * 100;
        }

        // Result table. At 18 points a row with " Dead heat" is wider than
        // the page, and six rows with the box delay line reach the footer:
        // the whole table gets the size at which it fits, so its columns stay
        // aligned and the footer keeps its place.
        const std::array<std::string, 6> margins =
            Margins::Margin_Texts(results, Margins::Load_Table(Facts().Ini_file_path));
        const std::vector<std::string> table = Table_Lines(results, box_delay, &margins);
        QString header = QStringLiteral("  Dog Name                        Split Time");
        // The margin column's heading stands over the margins.
        size_t margin_at = 0;
        for (size_t r = 0; r < table.size(); ++r)
            if (!margins[r].empty() && !results[r].Dead_Heat) margin_at = Columns(table[r]) - Columns(margins[r]);
        if (margin_at > 0) header = header.leftJustified(static_cast<qsizetype>(margin_at)) + QStringLiteral("Margin");
        QString widest = header;
        for (const std::string& line : table)
            if (Q(line).size() > widest.size()) widest = Q(line);
        const double table_lines = 1.0 + static_cast<double>(table.size()) + (box_delay > 0 ? 1 : 0);
        page.Set_Font_Name(QStringLiteral("Courier new"));
        page.Set_Bold(true);
        // The footer's four lines end on the page: on a landscape page 10 % of
        // the height is too little room for them, and the footer moves up.
        double footer_height = 0;
        for (const double size : {12.0, 16.0, 10.0, 10.0}) {
            page.Set_Font_Size(size);
            footer_height += page.Text_Height();
        }
        const double footer_top = std::min(Footer_Top * H, page.ScaleHeight() - footer_height);
        page.Set_Font_Size(18);
        // Between the margins: the table's last column (a margin like "short head") ends at the right one.
        while (page.Font_Size() > 1 && (page.Text_Width(widest) > page.ScaleWidth() - 2 * margin ||
                                        table_lines * page.Text_Height() + official_room > footer_top - table_top))
            page.Set_Font_Size(page.Font_Size() - 1);
        page.Current_Y = table_top;
        page.Set_Underline(true);
        page.Current_X = margin;
        page.Print(header);
        page.Set_Underline(false);
        for (const std::string& line : table) {
            page.Set_Italic(false);
            page.Current_X = margin;
            page.Print(Q(line));
        }
        if (box_delay > 0) {
            page.Current_X = margin;
            page.Set_Italic(true);
            page.Print(Q("Box delay = " + std::to_string(box_delay) + " ms"));
        }
        if (!official.empty()) {
            const double table_size = page.Font_Size();
            page.Set_Font_Name(QStringLiteral("Arial"));
            page.Set_Font_Size(Official_Size);
            page.Set_Bold(false);
            page.Set_Italic(true);
            for (const std::string& line : official) {
                QString text = Q(line);
                while (text.size() > 1 && page.Text_Width(text) > page.ScaleWidth() - 2 * margin) text.chop(1);
                page.Current_X = margin;
                page.Print(text);
            }
            page.Set_Font_Name(QStringLiteral("Courier new"));
            page.Set_Font_Size(table_size);
            page.Set_Italic(false);
        }

        // Footer: recording, program, printer.
        page.Current_X = margin;
        page.Set_Font_Size(12);
        page.Current_Y = footer_top;
        const std::string simulated = Simulated_Sources_Note(*handler);
        // Every footer line ends inside the right margin, smaller where it must.
        Print_Within_Margins(
            page, Q("File name: " + File_Part(handler->File_name()) + (simulated.empty() ? "" : " - " + simulated)),
            margin);
        progress.Set_Percent(70);
        Do_Sleep(300, true);
        page.Set_Draw_Width(10);
        page.Line(margin, page.Current_Y, page.ScaleWidth() - margin, page.Current_Y);
        page.Set_Font_Size(16);
        Print_Within_Margins(page, QStringLiteral("Houndex dog race timing system"), margin);
        page.Set_Font_Size(10);
        page.Set_Italic(true);
        Print_Within_Margins(page,
                             Q("Printed by " + Program_Display_Name() + " version " + Facts().Program_Version +
                               " at: " + Date_Time_Text() + " printer: " + printer.DeviceName()),
                             margin);
        page.Set_Font_Size(10);
        page.Set_Italic(true);
        page.Set_Bold(true);
        Print_Within_Margins(page, Q(Web_Address() + " "), margin);

        page.End_Doc();
        printer.End_Job();
        progress.Set_Percent(100);
        Do_Sleep(500, true);
        progress.hide();
    } catch (const std::exception& e) {
        Printer().End_Job();
        Window_Print::Print_Progress().hide();
        Report_Exception(e, "Print_Frame of Form Form_Houndex");
    }
}

}  // namespace Module_Print_Frame
