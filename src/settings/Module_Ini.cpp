#include "Module_Ini.h"
#include "common/Text.h"

#include <cerrno>
#include <climits>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/HdxError.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"

// The file is the classic sectioned layout: "[section]" lines, then "key=value"
// lines. Names match without regard to ASCII case; bytes are kept as they are.
// A write rebuilds the whole text with one line changed and replaces the file
// in one step, so a failed write never leaves a half-written settings file.

namespace {

constexpr size_t kMaxValueChars = 511;  // a 512-character buffer with its terminator
const char* const kUtf8Bom = "\xEF\xBB\xBF";

struct Ini_Line {
    enum Kind { Other, Section, Key } kind = Other;
    std::string text;   // the line as it stands in the file, without its line end
    std::string name;   // section or key name, trimmed
    std::string value;  // key value, trimmed
};

struct Ini_Text {
    bool bom = false;
    std::vector<Ini_Line> lines;
};

Ini_Line Classify(std::string text) {
    Ini_Line line;
    line.text = std::move(text);
    const std::string t = Trim_Blanks(line.text);
    if (t.empty() || t[0] == ';' || t[0] == '#') return line;
    if (t[0] == '[') {
        const size_t close = t.find(']');
        line.kind = Ini_Line::Section;
        line.name = Trim_Blanks(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
        return line;
    }
    const size_t eq = t.find('=');
    if (eq == std::string::npos) return line;
    line.kind = Ini_Line::Key;
    line.name = Trim_Blanks(t.substr(0, eq));
    line.value = Trim_Blanks(t.substr(eq + 1));
    return line;
}

Ini_Text Parse(const std::string& bytes) {
    Ini_Text ini;
    size_t pos = 0;
    if (bytes.compare(0, 3, kUtf8Bom) == 0) {
        ini.bom = true;
        pos = 3;
    }
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) end = bytes.size();
        size_t stop = end;
        if (stop > pos && bytes[stop - 1] == '\r') --stop;
        ini.lines.push_back(Classify(bytes.substr(pos, stop - pos)));
        pos = end + 1;
    }
    return ini;
}

std::string Compose(const Ini_Text& ini) {
    std::string out = ini.bom ? kUtf8Bom : "";
    for (const auto& line : ini.lines) {
        out += line.text;
        out += "\r\n";
    }
    return out;
}

// Index of the first line of the named section's header, or npos.
size_t Find_Section(const Ini_Text& ini, const std::string& section) {
    for (size_t i = 0; i < ini.lines.size(); ++i)
        if (ini.lines[i].kind == Ini_Line::Section && Same_Ignoring_Case(ini.lines[i].name, section)) return i;
    return std::string::npos;
}

// The value of the first matching key in the first matching section.
std::optional<std::string> Find_Value(const Ini_Text& ini, const std::string& section, const std::string& key) {
    const size_t head = Find_Section(ini, section);
    if (head == std::string::npos) return std::nullopt;
    for (size_t i = head + 1; i < ini.lines.size() && ini.lines[i].kind != Ini_Line::Section; ++i)
        if (ini.lines[i].kind == Ini_Line::Key && Same_Ignoring_Case(ini.lines[i].name, key)) return ini.lines[i].value;
    return std::nullopt;
}

// A value is one line of the file: a line break in it would start a new entry.
std::string One_Line(std::string value) {
    for (char& c : value)
        if (c == '\r' || c == '\n') c = ' ';
    return value;
}

void Set_Value(Ini_Text& ini, const std::string& section, const std::string& key, const std::string& value) {
    const size_t head = Find_Section(ini, section);
    if (head == std::string::npos) {
        if (!ini.lines.empty() && !Trim_Blanks(ini.lines.back().text).empty()) ini.lines.push_back(Classify(""));
        ini.lines.push_back(Classify("[" + section + "]"));
        ini.lines.push_back(Classify(key + "=" + value));
        return;
    }
    size_t last_entry = head;  // the new key goes after the section's last non-blank line
    size_t i = head + 1;
    for (; i < ini.lines.size() && ini.lines[i].kind != Ini_Line::Section; ++i) {
        Ini_Line& line = ini.lines[i];
        if (line.kind == Ini_Line::Key && Same_Ignoring_Case(line.name, key)) {
            // The entry keeps the spelling of its name; only the value changes.
            line = Classify(line.name + "=" + value);
            return;
        }
        if (!Trim_Blanks(line.text).empty()) last_entry = i;
    }
    ini.lines.insert(ini.lines.begin() + static_cast<std::ptrdiff_t>(last_entry + 1), Classify(key + "=" + value));
}

void Show_Write_Failure(const std::string& path, int code, const std::string& description) {
    Platform::MsgBox(
        "Writing to INI file failed! Path = " + path + "\n" + " Error = " + std::to_string(code) + " " + description,
        Platform::MsgButtons::OK, Platform::MsgIcon::Critical, " NXF Error");
}

std::string Error_Text(int code) { return std::generic_category().message(code); }

// Splits "a,b,c" into integers; false when a part is not a whole number.
bool Parse_Integers(const std::string& text, std::vector<long>& out) {
    size_t pos = 0;
    for (;;) {
        const size_t comma = text.find(',', pos);
        const std::string part =
            Trim_Blanks(text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos));
        int64_t v = 0;
        if (!Whole_Number_In(part, INT_MIN, INT_MAX, v)) return false;
        out.push_back(static_cast<long>(v));
        if (comma == std::string::npos) return true;
        pos = comma + 1;
    }
}

}  // namespace

std::string Read_Ini(const std::string& section, const std::string& key, const std::string& path,
                     const std::string& default_value) {
    if (path.empty()) {
        Platform::MsgBox("Ini_file_path is empty!");
        return "";
    }
    std::string value;
    try {
        std::string bytes;
        if (Platform::File_Exists(path) && Platform::Read_File(path, bytes)) {
            if (auto found = Find_Value(Parse(bytes), Trim_Blanks(section), Trim_Blanks(key))) value = *found;
        }
        if (value.size() > kMaxValueChars) value.resize(kMaxValueChars);
        if (value.empty()) return default_value.empty() ? "N/A" : default_value;
        return value;
    } catch (...) {
        return value;
    }
}

int16_t Write_Ini(const std::string& section, const std::string& key, const std::string& value,
                  const std::string& path) {
    try {
        int code = 0;
        std::string description;
        bool ok = false;
        std::string bytes;
        if (path.empty()) {
            code = ENOENT;
            description = Error_Text(code);
        } else if (Platform::Is_Read_Only(path)) {
            // Honoured even where the system would let us write (as for an administrator).
            code = EACCES;
            description = Error_Text(code);
        } else if (Platform::Folder_Exists(path)) {
            code = EISDIR;
            description = Error_Text(code);
        } else if (Platform::File_Exists(path) && !Platform::Read_File(path, bytes, &description)) {
            code = Platform::Last_System_Error();
        } else {
            Ini_Text ini = Parse(bytes);
            Set_Value(ini, Trim_Blanks(One_Line(section)), Trim_Blanks(One_Line(key)), One_Line(value));
            ok = Platform::Write_File_Atomic(path, Compose(ini), &description);
            if (!ok) code = Platform::Last_System_Error();
        }
        if (ok) return 1;
        Show_Write_Failure(path, code, description);
        return 0;
    } catch (...) {
        return 0;
    }
}

void Store_Form_Pos(const std::string& form_name, int left, int top, int width, int height) {
    try {
        Write_Ini("windowpos", form_name,
                  std::to_string(left) + "," + std::to_string(top) + "," + std::to_string(width) + "," +
                      std::to_string(height),
                  Facts().Ini_file_path);
    } catch (...) {
        Platform::MsgBox("Store_Form_Pos error" + std::to_string(__LINE__));
    }
}

void Get_Form_Pos(const std::string& form_name, int& left, int& top, int& width, int& height, bool keep_off_screen) {
    int line = __LINE__;
    try {
        const std::string text = Read_Ini("windowpos", form_name, Facts().Ini_file_path, "0,0");
        std::vector<long> v;
        line = __LINE__;
        if (!Parse_Integers(text, v) || v.size() < 2) {
            // A damaged entry leaves the window where its caller put it.
            Platform::MsgBox("Get_Form_Pos error " + std::to_string(line));
            return;
        }
        int new_left = left, new_top = top;
        if (v[0] > 0)
            new_left = static_cast<int>(v[0]);
        else if (v[0] < -150)
            new_left = 0;
        if (v[1] > 0)
            new_top = static_cast<int>(v[1]);
        else if (v[1] < -150)
            new_top = 0;
        if (v.size() > 2) width = static_cast<int>(v[2]);
        if (v.size() > 3) height = static_cast<int>(v[3]);
        if (new_left < -150) new_left = 0;
        if (new_top < -150) new_top = 0;
        if (!keep_off_screen) {
            if (new_left > Screen_Width_Pixels()) new_left = 0;
            if (new_top > Screen_Height_Pixels()) new_top = 0;
        }
        left = new_left;
        top = new_top;
    } catch (...) {
        Platform::MsgBox("Get_Form_Pos error " + std::to_string(line));
    }
}

std::string Stored_Setting(const char* key, const char* fallback) {
    const std::string v = Read_Ini("Settings", key, Facts().Ini_file_path, fallback);
    return v == "N/A" ? std::string() : v;
}

long long Setting_Whole_Number(const std::string& text, long long low, long long high, const char* key) {
    size_t used = 0;
    long long v = 0;
    try {
        v = std::stoll(text, &used);
    } catch (...) {
        used = 0;
    }
    if (used == 0 || used != text.size() || v < low || v > high)
        throw HdxError(HdxErr::TypeMismatch, std::string("The setting ") + key + " must be a whole number from " +
                                                 std::to_string(low) + " to " + std::to_string(high) + ", not \"" +
                                                 text + "\"");
    return v;
}
