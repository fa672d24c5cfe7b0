#pragma once
#include <cstdint>
#include <string>

// Program-wide start-up state, filled once by the environment initialisation
// at start-up and read everywhere (recording headers, error reports, windows).
// The defaults keep lower layers and tests usable before start-up has run.
namespace Program_State {

inline std::string Program_Name = "Houndex_HDMI";
inline std::string Program_Version = "1.0.0";
inline int Version_Major = 1, Version_Minor = 0, Version_Revision = 0;
inline std::string Computer_Name;
inline std::string CPU_Info;
inline std::string Total_Memory;
inline std::string OS_Version;
inline std::string CPU_Bitness;
inline std::string OS_Bitness;
inline std::string AppData_Folder;
inline std::string Ini_file_path;
inline std::string Event_Files_Folder;
inline int32_t Program_Start_Mill = 0;

}  // namespace Program_State

using namespace Program_State;
