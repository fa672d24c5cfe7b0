#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class cls_VideoFile_handler;
class IInterfaceKit;

// The diagnostic reports of the main window's support menus, as texts and
// files. None of them changes a recording. Report texts are returned as lines
// (without line ends); the caller joins them as its output needs.
namespace Module_Diagnostics {

// ---- JPEG benchmark ---------------------------------------------------------

// Compresses a zeroed 24-bit picture of a given size a number of times and
// measures how long one compression takes.
class Class_JPG_Bench {
public:
    static constexpr int32_t Buffer_Size = 100000;
    static constexpr int Quality = 80;
    static constexpr int Runs = 10;

    explicit Class_JPG_Bench(int32_t buffer_size = Buffer_Size);

    // Elapsed milliseconds of Runs compressions / Runs, rounded down. A picture
    // that cannot be made is reported ("JPG_Bench of Class Module
    // Class_JPG_Bench") and gives 0; failed compressions show "JPEG comp error!"
    // once for the size and the run goes on.
    int32_t JPG_Bench(int32_t width, int32_t height);

    // Of the last JPG_Bench: compressions that produced a JPEG, the size of the
    // last one, and the elapsed time measured.
    int32_t Compressions() const { return m_Compressions; }
    int32_t Last_JPEG_Size() const { return m_Last_Size; }
    int64_t Elapsed_Microseconds() const { return m_Elapsed_Us; }

    // The stopwatch, in microseconds of a monotonic clock: the real one, since a
    // benchmark measures real time.
    std::function<int64_t()> Micro_Clock;

private:
    int32_t m_Buffer_Size;
    int32_t m_Compressions = 0;
    int32_t m_Last_Size = 0;
    int64_t m_Elapsed_Us = 0;
};

// The benchmark report: heading, computer and processor, one line per crop
// caption ("400*880" = width * height), "---Report end---".
std::vector<std::string> JPEG_Benchmark_Report(const std::vector<std::string>& crop_captions, Class_JPG_Bench& bench);

// ---- timestamp report ------------------------------------------------------

// The report file: "frame_report" + present date-time + ".csv" in the data
// folder, with ':', '-' and ',' of the name made '_'.
std::string Timestamp_Report_Path();
// Header line, column line and one line per frame of the recording (just the
// two header lines without one). Frames are read without decoding; the
// handler's held sample is read again afterwards, so the review shows what it
// showed. The report stops at the first frame that cannot be read.
std::vector<std::string> Timestamp_Report_Lines(cls_VideoFile_handler* recording);
// Writes the lines to path (created or overwritten), each ended by CR LF.
// False with the reason in error when the file cannot be written.
bool Write_Text_File(const std::string& path, const std::vector<std::string>& lines, std::string* error);

// ---- text reports ----------------------------------------------------------

// The open recording's file and header facts with the six boxes' times.
std::vector<std::string> File_Properties_Report(cls_VideoFile_handler& recording);

struct Picture_Size_Facts {
    int Screen_Width = 0, Screen_Height = 0;  // pixels
    int Crop_Width = 0, Crop_Height = 0;
    int Form_Scale_Height = 0;  // main window's inner height, pixels
    int Picture_Width = 0, Picture_Height = 0;
    double Picture_Scale_Width = 0, Picture_Scale_Height = 0;
};
std::vector<std::string> Picture_Size_Report(const Picture_Size_Facts& facts);

// ---- system checks and versions ---------------------------------------------

// The shared libraries the GStreamer capture backend loads.
std::vector<std::string> Capture_Library_Files();
// True when every named library can be loaded (each is released at once).
bool Libraries_Available(const std::vector<std::string>& files);
// The capture libraries load and GStreamer has every element the capture
// pipeline needs.
bool Capture_Library_Available();

struct Component_Version {
    std::string Component;
    std::string Version;
};
// The capture component's build text (a fresh GStreamer component object).
std::string Capture_Component_Version();
std::string JPEG_Library_Version();  // "libjpeg-turbo 2.1.5"
std::string XML_Library_Version();   // "pugixml 1.13"
std::string Qt_Version();            // "Qt 6.4.2"
// The Control Box library's version text: of kit, or of a fresh object of the
// program's Control Box backend; "No Control Box layer found" when none can be made.
std::string Control_Box_Library_Version(IInterfaceKit* kit);
// GStreamer, TurboJPEG, pugixml, Qt and Control Box, in that order.
std::vector<Component_Version> Component_Versions(IInterfaceKit* kit);

// ---- header dumps and test faults -------------------------------------------

// "xmldump" + present date-time + mark + ".xml", made a safe file name.
std::string XML_Dump_Name(const std::string& mark);

// a / b; HdxError 11 "Division by zero" for b = 0.
int32_t Checked_Divide(int32_t a, int32_t b);
// 10 / 0 inside a trapped procedure: a report "Misbehave of Form Form_Houndex".
void Misbehave_Trapped();
// 10 / 0 with no trap: the fault travels to the program's boundary.
void Misbehave_Untrapped();

}  // namespace Module_Diagnostics
