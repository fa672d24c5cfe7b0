#include "event/Module_Event_File.h"

#include <cstdio>
#include <cstring>
#include <fstream>

#include "metadata/Latin1.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "platform/HdxError.h"
#include "settings/Module_Ini.h"
#include "shell/helpers/Program_State.h"

namespace {

// Room for the ".xml" and for a folder of any sensible length: a name of at most
// 204 bytes stays well inside the 255 that file systems allow for one name.
constexpr size_t Max_Stem_Bytes = 200;

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Device names that Windows refuses as file names, also with an extension.
bool Reserved_Device_Name(const std::string& stem) {
    std::string base = stem.substr(0, stem.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = Upper(c);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '0' && base[3] <= '9';
}

uint32_t Fnv1a(const std::string& text) {
    uint32_t h = 2166136261u;
    for (const char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 16777619u;
    }
    return h;
}

}  // namespace

bool Validate_XML_file(const std::string& path) {
    try {
        if (!Platform::File_Exists(path)) throw HdxError(HdxErr::FileNotFound, "File not found");
        const int64_t size = Platform::File_Size(path);
        if (size < 0) throw HdxError(HdxErr::PathFileAccess, "Path/File access error");
        if (size == 0) {
            g_Use_Event_File = false;
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        Report_Exception(e, "Validate_XML_file of Module Module_dependant", 0, path);
        return false;
    }
}

std::string Event_Files_Folder_Path() {
    if (!Program_State::Event_Files_Folder.empty()) return Program_State::Event_Files_Folder;
    const std::string data =
        Program_State::AppData_Folder.empty() ? Platform::Local_AppData_Folder() : Program_State::AppData_Folder;
    return Platform::Join_Path(Platform::Join_Path(data, "Houndex Event Files"), "");
}

bool Create_Event_Files_Folder() { return Platform::Create_Folders(Event_Files_Folder_Path()); }

// The naming rule. The replacements of ':', '-' and ',' apply to the name only,
// never to the folder (a folder such as "jean-luc" must stay the folder it is).
// Beyond them, anything that could lead out of the folder or that a file system
// refuses becomes '_' as well: path separators, the characters Windows forbids,
// control characters, bytes that are not UTF-8 and leading dots (so ".." or a
// hidden name cannot come about). A Windows device name gets a '_' in front, an
// empty name is "_", and a name longer than Max_Stem_Bytes is cut at a character
// boundary and given a short hash of the whole text, so that two long names that
// differ only at their ends still name two files.
std::string Event_File_Name(const std::string& event_name, const std::string& day) {
    const std::string joined = event_name + day;
    std::string stem;
    stem.reserve(joined.size());
    for (size_t i = 0; i < joined.size();) {
        const size_t start = i;
        uint32_t cp = 0;
        if (!Next_Utf8_Char(joined, i, cp) || cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F) ||
            (cp < 0x80 && std::strchr(":-,/\\<>\"|?*", static_cast<int>(cp)))) {
            stem.push_back('_');
            continue;
        }
        stem.append(joined, start, i - start);
    }
    for (char& c : stem) {
        if (c != '.') break;
        c = '_';
    }
    if (stem.empty()) stem = "_";
    if (Reserved_Device_Name(stem)) stem.insert(0, "_");
    if (stem.size() > Max_Stem_Bytes) {
        size_t cut = Max_Stem_Bytes - 9;  // room for "~" and eight hex digits
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
        char tag[16];
        std::snprintf(tag, sizeof tag, "~%08x", static_cast<unsigned>(Fnv1a(joined)));
        stem = stem.substr(0, cut) + tag;
    }
    return stem + ".xml";
}

std::string New_Event_File_Path(const std::string& folder, const std::string& event_name,
                                const std::string& day) {
    return Platform::Join_Path(folder, Event_File_Name(event_name, day));
}

std::string Stored_Event_File() {
    return Read_Ini("Settings", "current_event_file", Program_State::Ini_file_path, "");
}

bool Store_Event_File(const std::string& path) {
    return Write_Ini("Settings", "current_event_file", path, Program_State::Ini_file_path) == 1;
}

bool No_Event_Path(const std::string& path) { return path.empty() || path == "N/A"; }

bool Read_File_Bounded(const std::string& path, size_t max_bytes, std::string& bytes, bool& too_large,
                       std::string* error) {
    bytes.clear();
    too_large = false;
    auto fail = [&](const std::string& text) {
        if (error) *error = text;
        return false;
    };
    // Only a regular file: a pipe or a device could block the read or never end.
    if (!Platform::File_Exists(path)) return fail("file not found");
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail("the file cannot be opened");
    const size_t chunk = 64 * 1024;
    std::string buffer(chunk, '\0');
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(chunk));
        const auto got = static_cast<size_t>(in.gcount());
        if (got == 0) break;
        if (bytes.size() + got > max_bytes) {
            too_large = true;
            bytes.clear();
            return fail("file larger than " + std::to_string(max_bytes) + " bytes");
        }
        bytes.append(buffer.data(), got);
    }
    if (in.bad()) {
        bytes.clear();
        return fail("read error");
    }
    return true;
}
