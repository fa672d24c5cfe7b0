#pragma once
#include <cstdint>
#include <string>

// What start-up finds out about the program, the machine and where its data
// lives. The environment initialisation fills one of these and freezes it;
// from then on it is only read. The defaults keep the tools and tests usable
// before any start-up has run.
struct Startup_Facts {
    std::string Program_Name = "Houndex_HDMI";
    std::string Program_Version = "1.0.0";
    int Version_Major = 1, Version_Minor = 0, Version_Revision = 0;
    std::string Computer_Name;
    std::string CPU_Info;
    std::string Total_Memory;
    std::string OS_Version;
    std::string CPU_Bitness;
    std::string OS_Bitness;
    std::string AppData_Folder;
    std::string Ini_file_path;
    std::string Event_Files_Folder;
    int32_t Program_Start_Mill = 0;
};

namespace Startup_Facts_Store {
inline Startup_Facts frozen;
}

// The facts of this run.
inline const Startup_Facts& Facts() { return Startup_Facts_Store::frozen; }
// Start-up hands over what it found (a harness or a test what it runs with);
// nothing else writes the facts.
inline void Freeze_Facts(const Startup_Facts& facts) { Startup_Facts_Store::frozen = facts; }
