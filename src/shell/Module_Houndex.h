#pragma once
#include <string>

// Start-up environment and shutdown routines of the program.

// Fills the program-wide state: memory, names, version, computer, data folder,
// settings path, compatibility flags, CPU info and bitness.
void Init_Environment();
// The per-user data folder, created if missing, or the failure text.
std::string AppuserData_Folder();
void Get_CPU_Info();
void Check_Bitness();
// Unloads every open window and releases the stored frames.
void Stop_Houndex();
// Unloads every open window (as Stop_Houndex, without its trace lines).
void Unload_Forms();
