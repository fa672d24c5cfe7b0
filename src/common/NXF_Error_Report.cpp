#include "common/NXF_Error_Report.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"

#ifndef HOUNDEX_BUILD_DATE
#define HOUNDEX_BUILD_DATE "unknown"
#endif

const char* const kReport_Separator = "********************************************";

std::string Build_Date_Text() { return HOUNDEX_BUILD_DATE; }

Report_Lines Build_Report_Lines(const std::string& description, int16_t number, int32_t line,
                                const std::string& location, const std::string& extra) {
    Report_Lines r;
    // The compile date is the real build date, so a report tells which build failed.
    r[0] = Date_Time_Text() + " " + Facts().Program_Name + ", Program version " +
           std::to_string(Facts().Version_Major) + "." + std::to_string(Facts().Version_Minor) + "." +
           std::to_string(Facts().Version_Revision) + " rm" + "0" + " " + "Compile date: " + Build_Date_Text() +
           " Filedate: " + FileDate();
    r[1] = "error description: " + std::to_string(number) + ", " + description;
    r[2] = "Location of error: " + location + ", line: " + std::to_string(line);
    r[3] = "Routine specific information: " + extra;
    r[4] = "App.path = " + Platform::Executable_Folder();
    r[5] = "Program runtime = " +
           Display_Mill_Time(Platform::Mill_Since(Facts().Program_Start_Mill, Platform::PC_Mill()), true);
    r[6] = "PC name = " + Facts().Computer_Name + ", Operating system: " + Facts().OS_Version +
           " CPU = " + Facts().CPU_Bitness + " OS = " + Facts().OS_Bitness;
    return r;
}

std::string Report_Text(const Report_Lines& lines) {
    std::string out;
    for (const auto& l : lines) {
        if (l.empty()) break;
        out += l;
        out += "\r\n";
    }
    return out;
}

std::string Error_Log_Path() { return Platform::Join_Path(Facts().AppData_Folder, "Houndex_errlog.txt"); }
std::string Event_Log_Path() { return Platform::Join_Path(Facts().AppData_Folder, "Houndex_eventlog.txt"); }

namespace {
bool Append_Text(const std::string& path, const std::string& text, std::string* error_text) {
    if (Platform::Is_Read_Only(path)) {
        if (error_text) *error_text = "Permission denied 70";
        return false;
    }
    std::ofstream out(path, std::ios::binary | std::ios::app);
    if (!out) {
        if (error_text) *error_text = std::string(std::strerror(errno)) + " " + std::to_string(errno);
        return false;
    }
    out << text;
    out.flush();
    if (!out) {
        if (error_text) *error_text = std::string(std::strerror(errno)) + " " + std::to_string(errno);
        return false;
    }
    return true;
}
}  // namespace

bool Append_Error_Log(const Report_Lines& lines, const std::string& comment, std::string* error_text) {
    std::string block = Report_Text(lines);
    block += comment;
    block += "\r\n";
    block += kReport_Separator;
    block += "\r\n";
    return Append_Text(Error_Log_Path(), block, error_text);
}

void Log_Event(const std::string& text) {
    std::string err;
    if (!Append_Text(Event_Log_Path(), Date_Time_Text() + text + "\r\n", &err)) Platform::MsgBox("Log error" + err);
}
