#pragma once
#include <array>
#include <cstdint>
#include <string>

// The text of one error report and the two log files. The window that shows
// the report lives in the diagnostics windows library.

using Report_Lines = std::array<std::string, 20>;  // [0] is line 1

Report_Lines Build_Report_Lines(const std::string& description, int16_t number, int32_t line,
                                const std::string& location, const std::string& extra);
// Line 1 up to (not including) the first empty line, each followed by CR LF.
std::string Report_Text(const Report_Lines& lines);

std::string Error_Log_Path();  // AppData_Folder + "Houndex_errlog.txt"
std::string Event_Log_Path();  // AppData_Folder + "Houndex_eventlog.txt"

// Appends the report lines, the comment and the 44-asterisk line. False with
// error_text set on failure.
bool Append_Error_Log(const Report_Lines& lines, const std::string& comment, std::string* error_text);

// One line: date-time immediately followed by the text. Shows "Log error..." on failure.
void Log_Event(const std::string& text);

extern const char* const kReport_Separator;  // 44 asterisks
std::string Build_Date_Text();               // compile date "yyyy-mm-dd hh:nn"
