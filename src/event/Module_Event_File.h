#pragma once
#include <cstddef>
#include <string>

// The event file's program-wide pieces: the flag that puts the programme to use,
// the validation, the event files folder with the naming rule, and the setting
// that remembers the current file.

// The event file's data are used by the main window and new recordings. Set by
// opening an event file; cleared by "No Event File", by a 0-byte file and when
// the stored file is missing.
inline bool g_Use_Event_File = false;

// True when the file exists and is not empty. A 0-byte file also clears
// g_Use_Event_File; a missing file is reported to the error handler. The
// contents are not looked at: a file that is not XML fails only when loaded.
bool Validate_XML_file(const std::string& path);

// The folder "Houndex Event Files" of the per-user data folder, with a trailing
// separator (Event_Files_Folder once start-up has set it).
std::string Event_Files_Folder_Path();
bool Create_Event_Files_Folder();  // true when the folder exists afterwards

// The file name (without folder) of a new event file: event name and day
// joined, every ':', '-' and ',' made '_', and ".xml" behind; "Cup 2020" on
// "Sat, 1-2" gives "Cup 2020Sat_ 1_2.xml". Whatever the texts hold, the result
// is one plain file name that any file system accepts (see the .cpp for the rule).
std::string Event_File_Name(const std::string& event_name, const std::string& day);
// folder + Event_File_Name: the path of the new file, always inside folder.
std::string New_Event_File_Path(const std::string& folder, const std::string& event_name, const std::string& day);

// Setting "current_event_file" (section "Settings"). Read as the settings store
// answers: "N/A" when empty or missing, which means no event file like the
// legacy "N/A" value itself.
std::string Stored_Event_File();
bool Store_Event_File(const std::string& path);
bool No_Event_Path(const std::string& path);  // "" or "N/A"

// Reads a whole file of at most max_bytes. False when it cannot be read or is
// larger (too_large then tells which); never reads more than max_bytes + 1 bytes,
// so a huge or endless file costs nothing.
bool Read_File_Bounded(const std::string& path, size_t max_bytes, std::string& bytes, bool& too_large,
                       std::string* error = nullptr);
