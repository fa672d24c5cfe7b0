#pragma once
#include <cstdint>
#include <functional>
#include <string>

// File-system probes. A file counts as read-only when none of its write
// permission bits is set: like a read-only attribute, this is honoured by the
// program even where the operating system would let the user write.
namespace Platform {

char Path_Separator();  // '/' here, '\\' on Windows
std::string Join_Path(const std::string& folder, const std::string& name);

bool File_Exists(const std::string& path);  // a regular file
bool Folder_Exists(const std::string& path);
// Both name one existing file, however the paths are written.
bool Same_File(const std::string& a, const std::string& b);
bool Is_Read_Only(const std::string& path);  // exists and carries no write permission
bool Set_Read_Only(const std::string& path, bool read_only);
// The user's data folder of the desktop ($XDG_DATA_HOME, else ~/.local/share); "" when unknown.
std::string User_Data_Home();
bool Create_Folders(const std::string& path);  // creates missing parents; true when it exists after
// The user's videos folder of the desktop (~/Videos unless the desktop names
// another); "" when unknown. Not created here.
std::string Videos_Folder();
int64_t File_Size(const std::string& path);  // -1 when it cannot be read
// Removes a file, read-only or not. Throws HdxError 53 when missing, 70/75 otherwise.
void Delete_File(const std::string& path);
// Replaces target by source in one step (atomic on the same file system).
bool Replace_File(const std::string& source, const std::string& target, std::string* error = nullptr);
// Writes the bytes to a new file beside the target and renames it over the target,
// so the target is either the old or the new contents, never half of either. The
// new file is synced before the rename and the folder after it: when this returns
// true the new contents survive a power cut.
bool Write_File_Atomic(const std::string& target, const std::string& bytes, std::string* error = nullptr);
// Sees each durable step of Write_File_Atomic as it is taken ("sync" FILE,
// "rename" FILE, "sync folder" FOLDER), so tests can check their order; none by default.
using Durable_Step_Observer = std::function<void(const std::string& step, const std::string& path)>;
void Set_Durable_Step_Observer(Durable_Step_Observer observer);
bool Read_File(const std::string& path, std::string& bytes, std::string* error = nullptr);
std::string File_Date_Text(const std::string& path);  // "yyyy-mm-dd hh:nn:ss" of the last change

std::string Executable_Path();
std::string Executable_Name();  // without folder and extension
std::string Executable_Folder();
std::string Temp_Folder();

// The per-user data folder: $HOUNDEX_DATA_DIR, else $XDG_DATA_HOME/Houndex_HDMI,
// else ~/.local/share/Houndex_HDMI. Not created here.
std::string Local_AppData_Folder();

std::string Last_System_Error_Text();
int Last_System_Error();

}  // namespace Platform
