#pragma once
#include <string>

// Registers recordings (".nx3") with the desktop for this program: a MIME type,
// a desktop entry that opens the file named on the command line, an icon, and
// the program as the type's default application. Everything goes into the
// user's own data folder; nothing system-wide is touched.
namespace File_Association {

constexpr const char* Mime_Type = "application/x-houndex-nx3";
constexpr const char* Desktop_Id = "houndex-hdmi.desktop";

// data_home: the desktop's user data folder (XDG_DATA_HOME); exec_path: the
// program to start; icon_svg: the icon's bytes. Shows "Error: Creating Key!"
// for a folder it cannot make (and goes on), "Error Setting String Value!" for
// a file it cannot write (and stops), and reports success only when all was
// written. True on success.
bool Associate(const std::string& data_home, const std::string& exec_path, const std::string& icon_svg);

}  // namespace File_Association
