#pragma once
#include <cstdint>
#include <string>

// The common helper routines shared by every subsystem. They hold no state;
// failures show their message and return the neutral value.

// Milliseconds since local midnight of the wall clock.
int32_t Local_Mill();

// Race-time text [h:]mm:ss,cc (hundredths rounded half to even), see Display_Mill_Time tests.
std::string Display_Mill_Time(int32_t milliseconds, bool trim);

std::string Uptime_Text();     // Display_Mill_Time of the system uptime, untrimmed
std::string Date_Text();       // "YYYY-MM-DD"
std::string Date_Time_Text();  // "yyyy-mm-dd hh:nn:ss"

// Waits ms on the PC clock; with do_yield, yields to pending events every 3 ms.
void Do_Sleep(int32_t milliseconds, bool do_yield);
// Ten times: sleep 100 ms, then yield to pending events.
void Flush_DV_events();

// Selector 16: folder part (up to and including the last separator; drop_separator
// removes it), 0: file part, any other: the whole path. Both '\' and '/' separate.
std::string ParsePath(const std::string& path, int selector, bool drop_separator = false);
std::string File_Suffix(const std::string& path);
// Every ':', '-' and ',' from the third character on becomes '_'.
std::string Clean_File_Name(const std::string& text);
std::string Path_from_Command(const std::string& text);

bool FileExists(const std::string& path);
bool Folder_Exists(const std::string& path);
void Kill_File(const std::string& path);
bool Is_Read_Only_File(const std::string& path);
int64_t File_Size(const std::string& path);
std::string FileDate();  // date-time text of the program's own executable

std::string Bool_Text(bool value);      // "True" / "False"
bool Text_Bool(const std::string& text);  // exact "True"

// Screen size in pixels.
int Screen_Width_Pixels();
int Screen_Height_Pixels();
bool Library_Available(const std::string& file_name);

struct Rgb_Bytes {
    uint8_t red, green, blue;
};
Rgb_Bytes Split_Color(uint32_t bgr_color);  // 0x00BBGGRR

template <typename T>
const T& Larger_Of(const T& a, const T& b) { return b > a ? b : a; }
