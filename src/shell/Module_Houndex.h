#pragma once
#include <string>

#include "common/Startup_Facts.h"

// Start-up environment and shutdown routines of the program.

// What start-up finds: memory, names, version, computer, data folder,
// settings path, CPU info and bitness (the caller freezes them).
Startup_Facts Init_Environment();
// The per-user data folder, created if missing, or the failure text.
std::string AppuserData_Folder();
void Get_CPU_Info(Startup_Facts& facts);
// The bitness texts stored in facts.Ini_file_path, found and stored when missing.
void Check_Bitness(Startup_Facts& facts);
// Unloads every open window and releases the stored frames.
void Stop_Houndex();
// Unloads every open window (as Stop_Houndex, without its trace lines).
void Unload_Forms();
