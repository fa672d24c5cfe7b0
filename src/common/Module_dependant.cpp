#include "Module_dependant.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <exception>

#include <QGuiApplication>

#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "platform/HdxError.h"
#include "platform/System_Info.h"
#include "common/Startup_Facts.h"

namespace {

constexpr int64_t kDayHundredths = 8640000;  // one day in hundredths of a second

bool Is_Separator(char c) { return c == '\\' || c == '/'; }

std::string Two_Digits(int64_t value) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", static_cast<int>(value));
    return buf;
}

// The keys the keyboard hook has seen go down and not yet up (codes 1..128).
std::array<bool, 129> g_keys_down{};
bool g_numlock_on = false;

bool Noted_Down(int virtual_key) {
    return virtual_key >= 1 && virtual_key <= 128 && g_keys_down[static_cast<size_t>(virtual_key)];
}

Qt::KeyboardModifiers Modifiers() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return Qt::NoModifier;
    return QGuiApplication::queryKeyboardModifiers();
}

Qt::MouseButtons Mouse_Buttons() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return Qt::NoButton;
    return QGuiApplication::mouseButtons();
}

}  // namespace

int32_t Local_Mill() {
    const Platform::DateTime now = Platform::Local_Now();
    return now.hour * 3600000 + now.minute * 60000 + now.second * 1000 + now.millisecond;
}

std::string Display_Mill_Time(int32_t milliseconds, bool trim) {
    const bool negative = milliseconds < 0;
    // 64 bits so that the most negative value has an absolute value too.
    int64_t ms = milliseconds;
    if (negative) ms = -ms;

    int64_t hundredths = ms / 10;
    const int64_t rest = ms % 10;
    if (rest > 5 || (rest == 5 && (hundredths % 2) != 0)) ++hundredths;  // half to even
    hundredths %= kDayHundredths;

    const int64_t hours = hundredths / 360000;
    const int64_t minutes = hundredths / 6000 % 60;
    const int64_t seconds = hundredths / 100 % 60;
    const int64_t cents = hundredths % 100;

    std::string text;
    if (hours > 0) text = std::to_string(hours) + ":";
    text += Two_Digits(minutes) + ":" + Two_Digits(seconds) + "," + Two_Digits(cents);

    if (trim) {
        size_t cut = 0;
        while (text.size() - cut >= 5 && (text[cut] == '0' || text[cut] == ':')) ++cut;
        text.erase(0, cut);
        if (negative) text = "-" + text;
    } else {
        text = (negative ? "-" : " ") + text;
    }
    return text;
}

std::string Uptime_Text() {
    // The formatter wraps at one day anyway; reducing first keeps a long uptime
    // from overflowing the 32-bit argument into a negative time.
    const int64_t up = Platform::Uptime_Mill();
    return Display_Mill_Time(static_cast<int32_t>(up % 86400000), false);
}

std::string Date_Text() {
    const Platform::DateTime now = Platform::Local_Now();
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", now.year, now.month, now.day);
    return buf;
}

std::string Date_Time_Text() {
    const Platform::DateTime now = Platform::Local_Now();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day, now.hour, now.minute,
                  now.second);
    return buf;
}

std::string Megabytes_Text(int64_t length) {
    const int64_t denominator = 1048576;
    int64_t tenths = length * 10 / denominator;
    const int64_t twice_rest = 2 * (length * 10 % denominator);
    if (twice_rest > denominator || (twice_rest == denominator && tenths % 2 != 0)) ++tenths;
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0) text += "." + std::to_string(tenths % 10);
    return text;
}

void Do_Sleep(int32_t milliseconds, bool do_yield) {
    try {
        const int32_t start = Platform::PC_Mill();
        while (Platform::Mill_Since(start, Platform::PC_Mill()) < milliseconds) {
            if (do_yield) {
                Platform::Yield_Events();
                Platform::Sleep_Mill(3);
            } else {
                Platform::Sleep_Mill(10);
            }
        }
    } catch (...) {
        Platform::MsgBox("Do_Sleep error");
    }
}

void Flush_DV_events() {
    for (int i = 0; i < 10; ++i) {
        Platform::Sleep_Mill(100);
        Platform::Yield_Events();
    }
}

std::string ParsePath(const std::string& path, int selector, bool drop_separator) {
    if (path.empty()) return "";
    size_t pos = path.size();
    while (pos > 0 && !Is_Separator(path[pos - 1])) --pos;
    if (pos == 0) {
        // No folder at all: the caller asked for something this path cannot give.
        const int number = HdxErr::InvalidProcedureCall;
        Platform::MsgBox(std::to_string(number) + " " + std::to_string(number) + " *Error in ParsePath");
        return "";
    }
    switch (selector) {
        case 16: return path.substr(0, drop_separator ? pos - 1 : pos);
        case 0: return path.substr(pos);
        default: return path;
    }
}

std::string File_Suffix(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos) return "";
    // A dot in a folder name is no suffix of the file.
    for (size_t i = dot + 1; i < path.size(); ++i)
        if (Is_Separator(path[i])) return "";
    return path.substr(dot + 1);
}

std::string Clean_File_Name(const std::string& text) {
    std::string out = text;
    for (size_t i = 2; i < out.size(); ++i)
        if (out[i] == ':' || out[i] == '-' || out[i] == ',') out[i] = '_';
    return out;
}

namespace {

// The code point at pos (advanced past it); false for a byte that does not
// start a well-formed UTF-8 sequence (pos then moves one byte).
bool Next_Code_Point(const std::string& text, size_t& pos, uint32_t& cp) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char b0 = byte(pos);
    size_t length = 0;
    uint32_t min = 0;
    if (b0 < 0x80) {
        cp = b0;
        ++pos;
        return true;
    }
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        cp = b0 & 0x1Fu;
        min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        cp = b0 & 0x0Fu;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        cp = b0 & 0x07u;
        min = 0x10000;
    }
    if (length == 0 || pos + length > text.size()) {
        ++pos;
        return false;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) {
            ++pos;
            return false;
        }
        cp = (cp << 6) | (byte(pos + i) & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return false;
    }
    pos += length;
    return true;
}

char Upper_Ascii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Names Windows refuses for a file, also with an extension behind them.
bool Device_Name(const std::string& name) {
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = Upper_Ascii(c);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '0' &&
           base[3] <= '9';
}

uint32_t Fnv1a_32(const std::string& text) {
    uint32_t h = 2166136261u;
    for (const char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 16777619u;
    }
    return h;
}

}  // namespace

std::string Safe_File_Name(const std::string& text, const std::string& suffix, size_t max_bytes) {
    constexpr size_t Name_Max = 255;  // bytes of one name on common file systems
    constexpr size_t Hash_Tag = 9;    // "~" and eight hex digits
    if (max_bytes > Name_Max) max_bytes = Name_Max;
    std::string stem;
    stem.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t start = i;
        uint32_t cp = 0;
        if (!Next_Code_Point(text, i, cp) || cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F) ||
            (cp < 0x80 && std::strchr(":-,/\\<>\"|?*", static_cast<int>(cp)))) {
            stem.push_back('_');
            continue;
        }
        stem.append(text, start, i - start);
    }
    for (char& c : stem) {
        if (c != '.') break;
        c = '_';
    }
    if (suffix.empty()) {
        // Windows drops trailing dots and blanks, which would make another name.
        for (auto it = stem.rbegin(); it != stem.rend() && (*it == '.' || *it == ' '); ++it) *it = '_';
    }
    if (stem.empty()) stem = "_";
    if (Device_Name(stem + suffix)) stem.insert(0, "_");
    const size_t room = max_bytes > suffix.size() + Hash_Tag + 1 ? max_bytes - suffix.size() : Hash_Tag + 1;
    if (stem.size() > room) {
        size_t cut = room - Hash_Tag;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
        char tag[16];
        std::snprintf(tag, sizeof tag, "~%08x", static_cast<unsigned>(Fnv1a_32(text)));
        stem = stem.substr(0, cut) + tag;
    }
    return stem + suffix;
}

std::string Path_from_Command(const std::string& text) {
    std::string out = text;
    if (!out.empty() && out.front() == '"') out.erase(0, 1);
    if (!out.empty() && out.back() == '"') out.pop_back();
    return out;
}

bool FileExists(const std::string& path) {
    try {
        return Platform::File_Exists(path);
    } catch (const HdxError& e) {
        Platform::MsgBox("FileExists error! " + std::to_string(e.number) + " " + e.description);
    } catch (const std::exception& e) {
        Platform::MsgBox("FileExists error! " + std::to_string(HdxErr::ApplicationDefined) + " " + e.what());
    }
    return false;
}

bool Folder_Exists(const std::string& path) {
    try {
        return Platform::Folder_Exists(path);
    } catch (...) {
        return false;
    }
}

void Kill_File(const std::string& path) {
    try {
        Platform::Delete_File(path);
    } catch (const HdxError& e) {
        if (e.number == HdxErr::FileNotFound) return;  // already gone is what we wanted
        NXF_Error_Handler(e.description, static_cast<int16_t>(e.number), 0, "Kill_File of Module Module_dependant",
                          path);
    } catch (const std::exception& e) {
        Report_Exception(e, "Kill_File of Module Module_dependant", 0, path);
    }
}

bool Is_Read_Only_File(const std::string& path) {
    try {
        return Platform::File_Exists(path) && Platform::Is_Read_Only(path);
    } catch (...) {
        return false;
    }
}

int64_t File_Size(const std::string& path) {
    if (path.empty()) return 0;
    try {
        const int64_t size = Platform::File_Size(path);
        return size < 0 ? 0 : size;
    } catch (...) {
        return 0;
    }
}

std::string FileDate() {
    try {
        return Platform::File_Date_Text(Platform::Executable_Path());
    } catch (...) {
        return "";
    }
}

std::string Bool_Text(bool value) { return value ? "True" : "False"; }

bool Text_Bool(const std::string& text) { return text == "True"; }

int Screen_Width_Pixels() { return Platform::Screen_Width(); }

int Screen_Height_Pixels() { return Platform::Screen_Height(); }

bool Library_Available(const std::string& file_name) {
    try {
        return !file_name.empty() && Platform::Library_Available(file_name);
    } catch (...) {
        return false;
    }
}

Rgb_Bytes Split_Color(uint32_t bgr_color) {
    return Rgb_Bytes{static_cast<uint8_t>(bgr_color & 0xFF), static_cast<uint8_t>((bgr_color >> 8) & 0xFF),
                     static_cast<uint8_t>((bgr_color >> 16) & 0xFF)};
}

bool Escape_Key_Down() { return Noted_Down(27); }

bool Shift_Key_Down() { return Modifiers().testFlag(Qt::ShiftModifier) || Noted_Down(16); }

bool Control_Key_Down() { return Modifiers().testFlag(Qt::ControlModifier) || Noted_Down(17); }

bool Alt_Key_Down() { return Modifiers().testFlag(Qt::AltModifier) || Noted_Down(18); }

int Lowest_Key_Down() {
    const Qt::MouseButtons buttons = Mouse_Buttons();
    if (buttons.testFlag(Qt::LeftButton) || Noted_Down(1)) return 1;
    if (buttons.testFlag(Qt::RightButton) || Noted_Down(2)) return 2;
    if (Noted_Down(3)) return 3;
    if (buttons.testFlag(Qt::MiddleButton) || Noted_Down(4)) return 4;
    for (int key = 5; key <= 128; ++key) {
        if (key == 16 && Shift_Key_Down()) return 16;
        if (key == 17 && Control_Key_Down()) return 17;
        if (key == 18 && Alt_Key_Down()) return 18;
        if (Noted_Down(key)) return key;
    }
    return 0;
}

bool NumLock_State() { return g_numlock_on; }

void Note_Key_State(int virtual_key, bool down) {
    if (virtual_key >= 1 && virtual_key <= 128) g_keys_down[static_cast<size_t>(virtual_key)] = down;
}

void Note_NumLock_State(bool on) { g_numlock_on = on; }

void Clear_Key_States() { g_keys_down.fill(false); }

void Empty_Collection_Fault(int line) { Platform::MsgBox("Empty_Collection error " + std::to_string(line)); }
