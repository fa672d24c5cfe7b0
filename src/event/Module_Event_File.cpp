#include "event/Module_Event_File.h"

#include <fstream>

#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "platform/HdxError.h"
#include "settings/Module_Ini.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"

namespace {

// Room for the ".xml" and for a folder of any sensible length: a name of at most
// 204 bytes stays well inside the 255 that file systems allow for one name.
constexpr size_t Max_Name_Bytes = 204;

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
    if (!Facts().Event_Files_Folder.empty()) return Facts().Event_Files_Folder;
    const std::string data = Facts().AppData_Folder.empty() ? Platform::Local_AppData_Folder() : Facts().AppData_Folder;
    return Platform::Join_Path(Platform::Join_Path(data, "Houndex Event Files"), "");
}

bool Create_Event_Files_Folder() { return Platform::Create_Folders(Event_Files_Folder_Path()); }

// The naming rule is the common one for names made from free text
// (Safe_File_Name): ':', '-' and ',' become '_' in the name only, never in the
// folder (a folder such as "jean-luc" must stay the folder it is), and nothing
// the texts hold can lead out of the folder or make a name a file system refuses.
std::string Event_File_Name(const std::string& event_name, const std::string& day) {
    return Safe_File_Name(event_name + day, ".xml", Max_Name_Bytes);
}

std::string New_Event_File_Path(const std::string& folder, const std::string& event_name, const std::string& day) {
    return Platform::Join_Path(folder, Event_File_Name(event_name, day));
}

std::string Stored_Event_File() { return Read_Ini("Settings", "current_event_file", Facts().Ini_file_path, ""); }

bool Store_Event_File(const std::string& path) {
    return Write_Ini("Settings", "current_event_file", path, Facts().Ini_file_path) == 1;
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
