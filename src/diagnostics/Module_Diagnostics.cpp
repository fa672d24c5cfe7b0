#include "diagnostics/Module_Diagnostics.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <vector>

#include <QtGlobal>
#include <jconfig.h>
#include <pugixml.hpp>

#include "capture/GstVideoCap.h"
#include "controlbox/Control_Box_Factory.h"
#include "controlbox/IInterfaceKit.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "platform/HdxError.h"
#include "recording/cDIBSection.h"
#include "recording/cls_VideoFile_handler.h"
#include "recording/mIntelJPEGLibrary.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"

namespace Module_Diagnostics {

namespace {

// The number with at least digits digits, zeros in front; a minus sign before them.
std::string Zero_Padded(int64_t value, int digits) {
    const bool negative = value < 0;
    std::string text = std::to_string(negative ? -value : value);
    if (static_cast<int>(text.size()) < digits) text.insert(0, static_cast<size_t>(digits) - text.size(), '0');
    return negative ? "-" + text : text;
}

int32_t Leading_Number(const std::string& text) {
    int64_t v = 0;
    size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && v < 100000; ++i) v = v * 10 + (text[i] - '0');
    return i == text.size() && i > 0 ? static_cast<int32_t>(v) : 0;
}

// The text cut or padded with blanks to exactly width characters (UTF-8 aware).
std::string Left_Aligned(const std::string& text, size_t width) {
    std::string out;
    size_t chars = 0;
    for (size_t i = 0; i < text.size() && chars < width;) {
        size_t len = 1;
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0xF0)
            len = 4;
        else if (c >= 0xE0)
            len = 3;
        else if (c >= 0xC0)
            len = 2;
        out += text.substr(i, len);
        i += len;
        ++chars;
    }
    out.append(width - chars, ' ');
    return out;
}

std::string Number_Text(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

template <typename F>
auto Or_Empty(F&& get) -> decltype(get()) {
    try {
        return get();
    } catch (const std::exception&) {
        return {};
    }
}

int64_t Steady_Microseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

// ---------------------------------------------------------------------------
// JPEG benchmark

Class_JPG_Bench::Class_JPG_Bench(int32_t buffer_size) : Micro_Clock(Steady_Microseconds), m_Buffer_Size(buffer_size) {}

int32_t Class_JPG_Bench::JPG_Bench(int32_t width, int32_t height) {
    m_Compressions = 0;
    m_Last_Size = 0;
    m_Elapsed_Us = 0;
    try {
        cDIBSection picture;
        if (!picture.Create(width, height))
            throw HdxError(HdxErr::InvalidProcedureCall,
                           "Cannot make a " + std::to_string(width) + "*" + std::to_string(height) + " picture");
        std::vector<uint8_t> buffer(static_cast<size_t>(m_Buffer_Size));
        bool failed = false;
        const int64_t start = Micro_Clock();
        for (int i = 0; i < Runs; ++i) {
            int32_t size = m_Buffer_Size;
            try {
                mIntelJPEGLibrary::Encode_DIB_To_JPG(picture, buffer.data(), size, Quality);
                ++m_Compressions;
                m_Last_Size = size;
            } catch (const HdxError&) {
                failed = true;
            }
        }
        m_Elapsed_Us = Micro_Clock() - start;
        if (failed) Platform::MsgBox("JPEG comp error!");
        return static_cast<int32_t>(m_Elapsed_Us / 1000 / Runs);
    } catch (const std::exception& e) {
        Report_Exception(e, "JPG_Bench of Class Module Class_JPG_Bench");
        return 0;
    }
}

std::vector<std::string> JPEG_Benchmark_Report(const std::vector<std::string>& crop_captions, Class_JPG_Bench& bench) {
    std::vector<std::string> lines{"JPG compression benchmark at: " + Date_Time_Text(),
                                   "Computer name = " + Facts().Computer_Name, "CPU info: " + Facts().CPU_Info + " ",
                                   ""};
    for (const std::string& caption : crop_captions) {
        const size_t star = caption.find('*');
        const int32_t width = Leading_Number(caption.substr(0, star));
        const int32_t height = star == std::string::npos ? 0 : Leading_Number(caption.substr(star + 1));
        const int32_t ms = bench.JPG_Bench(width, height);
        lines.push_back(caption + " =  " + std::to_string(ms) + "ms");
    }
    lines.push_back("---Report end---");
    return lines;
}

// ---------------------------------------------------------------------------
// timestamp report

std::string Timestamp_Report_Path() {
    // Only the name is cleaned: the data folder's own '-' and ',' stay as they are.
    const std::string folder =
        Facts().AppData_Folder.empty() ? Platform::Local_AppData_Folder() : Facts().AppData_Folder;
    const std::string name = "frame_report" + Date_Time_Text() + ".csv";
    return Platform::Join_Path(folder, Clean_File_Name(name));
}

std::vector<std::string> Timestamp_Report_Lines(cls_VideoFile_handler* recording) {
    const std::string file = recording ? ParsePath(recording->File_name(), 0) : std::string();
    std::vector<std::string> lines{"\" Timestamp report for file: " + file + "\"",
                                   "Frame;Capture_mill;Capture_delta;Capture_local;"};
    if (!recording || !recording->File_open()) return lines;
    const int16_t held = recording->Last_Frame_Read();
    const int32_t frames = std::min<int32_t>(recording->num_Frames(), INT16_MAX);
    int64_t previous = 0;
    for (int32_t n = 1; n <= frames; ++n) {
        if (!recording->Read_RGB_sample(static_cast<int16_t>(n), false)) break;
        const int64_t mill = recording->NX3_Capture_mill();
        int64_t delta = mill - previous;
        // A gap of more than a second is a new capture window, not a frame interval.
        if (delta > 1000) delta = 0;
        previous = mill;
        lines.push_back(Zero_Padded(n, 3) + ";" + std::to_string(mill) + ";" + Zero_Padded(delta, 3) + ";" +
                        Display_Mill_Time(recording->NX3_Capture_local(), false));
    }
    if (held > 0) recording->Read_RGB_sample(held, false);
    return lines;
}

bool Write_Text_File(const std::string& path, const std::vector<std::string>& lines, std::string* error) {
    if (Platform::Is_Read_Only(path)) {
        if (error) *error = "Permission denied: " + path + " is read only";
        return false;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        if (error) *error = "Cannot create " + path + ": " + Platform::Last_System_Error_Text();
        return false;
    }
    for (const std::string& line : lines) out << line << "\r\n";
    out.flush();
    if (!out) {
        if (error) *error = "Cannot write " + path + ": " + Platform::Last_System_Error_Text();
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// text reports

std::vector<std::string> File_Properties_Report(cls_VideoFile_handler& h) {
    Cls_XML_header& x = h.Header();
    std::vector<std::string> lines{
        "File name = " + h.File_name(),
        "Heat start at : " + Display_Mill_Time(Or_Empty([&] { return h.Hdx_heat_start_local(); }), false),
        "File Size: " + Megabytes_Text(h.File_size()) + " megaByte",
        "Image Size: " + std::to_string(h.Width()) + "*" + std::to_string(h.Height()),
        "Capture computer: " + x.Comp_Name() + " Program: " + Or_Empty([&] { return x.prog_id(); }) + " Version " +
            Or_Empty([&] { return x.Prog_Major(); }) + "." + Or_Empty([&] { return x.Prog_Minor(); }) + "." +
            Or_Empty([&] { return x.Prog_Revision(); }) + " Os version: " + x.OS_version(),
        "Number of frames/fields = " + std::to_string(h.num_Frames()) + "/" + std::to_string(h.Num_fields()),
        "Event/Head number/Heat name " + Or_Empty([&] { return h.Hdx_event(); }) + "/" +
            Or_Empty([&] { return h.Hdx_Heat_ID(); }) + "/" + Or_Empty([&] { return h.Hdx_Heat_Name(); }),
        "Dog Name                  Time  Split Click Time",
        "________________________________________________"};
    for (int16_t box = 1; box <= 6; ++box) {
        std::string line =
            std::to_string(box) + "   " + Left_Aligned(Or_Empty([&] { return h.Hdx_Dog_name(box); }), 20) +
            Zero_Padded(h.Hdx_Heat_time(box, false), 6) + " " + Zero_Padded(h.Hdx_Heat_time(box, true), 6) + " " +
            Zero_Padded(h.Hdx_Heat_Click_Time(box), 10);
        if (Or_Empty([&] { return h.Hdx_dead_heat(box); })) line += " dh";
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> Picture_Size_Report(const Picture_Size_Facts& f) {
    // Every fault of this build is trapped at its procedure, as in a compiled program.
    return {"G_compiled = " + Bool_Text(true) + " Version: " + Facts().Program_Version +
                " Exe_Filedate: " + FileDate() + " Now: " + Date_Time_Text(),
            "Screen_X,Screen_Y: " + std::to_string(f.Screen_Width) + "," + std::to_string(f.Screen_Height),
            "Crop size: " + std::to_string(f.Crop_Width) + "," + std::to_string(f.Crop_Height),
            "Screen height: " + std::to_string(f.Screen_Height),
            "Form ScaleHeight: " + std::to_string(f.Form_Scale_Height),
            "Picture_out Width,height: " + std::to_string(f.Picture_Width) + "," + std::to_string(f.Picture_Height) +
                " ScaleWidth,Height :" + Number_Text(f.Picture_Scale_Width) + "," +
                Number_Text(f.Picture_Scale_Height)};
}

// ---------------------------------------------------------------------------
// system checks and versions

std::vector<std::string> Capture_Library_Files() {
#ifdef _WIN32
    return {"gstreamer-1.0-0.dll", "gstapp-1.0-0.dll", "gstvideo-1.0-0.dll"};
#else
    return {"libgstreamer-1.0.so.0", "libgstapp-1.0.so.0", "libgstvideo-1.0.so.0"};
#endif
}

bool Libraries_Available(const std::vector<std::string>& files) {
    for (const std::string& f : files)
        if (!Library_Available(f)) return false;
    return !files.empty();
}

bool Capture_Library_Available() {
    return Libraries_Available(Capture_Library_Files()) && GstVideoCap::Missing_Elements().empty();
}

std::string Capture_Component_Version() {
    try {
        GstVideoCap probe({});
        return probe.QueryString("buildNumber");
    } catch (const std::exception&) {
        return "";
    }
}

std::string JPEG_Library_Version() {
    const int v = LIBJPEG_TURBO_VERSION_NUMBER;
    return "libjpeg-turbo " + std::to_string(v / 1000000) + "." + std::to_string(v / 1000 % 1000) + "." +
           std::to_string(v % 1000);
}

std::string XML_Library_Version() {
    const int v = PUGIXML_VERSION;
    // 1130 is 1.13 (since 1.10); before that 190 was 1.9.
    if (v < 1000) return "pugixml " + std::to_string(v / 100) + "." + std::to_string(v % 100);
    return "pugixml " + std::to_string(v / 1000) + "." + std::to_string(v % 1000 / 10);
}

std::string Qt_Version() { return std::string("Qt ") + qVersion(); }

std::string Control_Box_Library_Version(IInterfaceKit* kit) {
    try {
        if (kit) return kit->LibraryVersion();
        const auto fresh = Default_Kit_Factory()();
        if (fresh) return fresh->LibraryVersion();
    } catch (const std::exception&) {
    }
    return "No Control Box layer found";
}

std::vector<Component_Version> Component_Versions(IInterfaceKit* kit) {
    return {{"GStreamer", Capture_Component_Version()},
            {"TurboJPEG", JPEG_Library_Version()},
            {"pugixml", XML_Library_Version()},
            {"Qt", Qt_Version()},
            {"Control Box", Control_Box_Library_Version(kit)}};
}

// ---------------------------------------------------------------------------
// header dumps and test faults

std::string XML_Dump_Name(const std::string& mark) {
    return Safe_File_Name("xmldump" + Date_Time_Text() + mark, ".xml");
}

int32_t Checked_Divide(int32_t a, int32_t b) {
    if (b == 0) throw HdxError(HdxErr::DivisionByZero, "Division by zero");
    return a / b;
}

void Misbehave_Trapped() {
    Run_Trapped("Misbehave of Form Form_Houndex", [] { Checked_Divide(10, 0); });
}

void Misbehave_Untrapped() { Checked_Divide(10, 0); }

}  // namespace Module_Diagnostics
