#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The common helper routines shared by every subsystem. They hold no state (but
// for the mirror of held keys the keyboard hook feeds);
// failures show their message and return the neutral value.

// Milliseconds since local midnight of the wall clock.
int32_t Local_Mill();

// Race-time text [h:]mm:ss,cc (hundredths rounded half to even), see Display_Mill_Time tests.
std::string Display_Mill_Time(int32_t milliseconds, bool trim);

std::string Uptime_Text();     // Display_Mill_Time of the system uptime, untrimmed
std::string Date_Text();       // "YYYY-MM-DD"
std::string Date_Time_Text();  // "yyyy-mm-dd hh:nn:ss"
// Bytes as megabytes (1048576) to one decimal, halves to even, without ".0": "3.4", "12".
std::string Megabytes_Text(int64_t length);

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
// A file name (no folder) made from free text such as an event name, a heat
// label or a dog name, with suffix (".nx3") kept at its end. Whatever the text
// holds, the result is one plain name inside its folder that file systems
// accept: ':', '-' and ',' (the naming rule), path separators, the characters
// Windows forbids, control characters and bytes that are not UTF-8 become '_';
// leading dots become '_' (never "." or ".." or a hidden name); a Windows
// device name gets '_' in front; an empty text gives "_". A name longer than
// max_bytes (UTF-8 bytes, suffix included; at most 255) is cut at a character
// boundary and gets a short hash of the whole text, so two long texts that
// differ only at their ends still name two files.
std::string Safe_File_Name(const std::string& text, const std::string& suffix, size_t max_bytes = 255);
std::string Path_from_Command(const std::string& text);

bool FileExists(const std::string& path);
bool Folder_Exists(const std::string& path);
void Kill_File(const std::string& path);
bool Is_Read_Only_File(const std::string& path);
int64_t File_Size(const std::string& path);
std::string FileDate();  // date-time text of the program's own executable

std::string Bool_Text(bool value);        // "True" / "False"
bool Text_Bool(const std::string& text);  // exact "True"

// Screen size in pixels.
int Screen_Width_Pixels();
int Screen_Height_Pixels();
bool Library_Available(const std::string& file_name);

struct Rgb_Bytes {
    uint8_t red, green, blue;
};
Rgb_Bytes Split_Color(uint32_t bgr_color);  // 0x00BBGGRR

// Key states, in the program's virtual key codes (16 Shift, 17 Control, 18 Alt,
// 27 Escape, 1/2/4 mouse buttons). Shift, Control, Alt and the mouse buttons come
// from the window system; other keys from what the keyboard hook has noted, since
// the window system can be asked about modifiers only.
bool Escape_Key_Down();
bool Shift_Key_Down();
bool Control_Key_Down();
bool Alt_Key_Down();
int Lowest_Key_Down();  // the lowest held key code 1..128, or 0
bool NumLock_State();   // the last NumLock state the keyboard hook saw; false while unknown
// Fed by the keyboard hook (key press / release) and cleared when the program loses focus.
void Note_Key_State(int virtual_key, bool down);
void Note_NumLock_State(bool on);
void Clear_Key_States();

// Removes the items of a collection first to last until it is empty.
// A fault shows "Empty_Collection error " with the line and returns false:
// the owner of the collection halts what fills it.
void Empty_Collection_Fault(int line);
template <typename Collection>
bool Empty_Collection(Collection& items) {
    try {
        if constexpr (requires { items.pop_front(); }) {
            while (!items.empty()) items.pop_front();
        } else {
            // Same order as removing item 1 repeatedly, without the quadratic shifting.
            items.clear();
        }
    } catch (...) {
        Empty_Collection_Fault(__LINE__);
        return false;
    }
    return true;
}

template <typename T>
const T& Larger_Of(const T& a, const T& b) {
    return b > a ? b : a;
}
