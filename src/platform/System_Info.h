#pragma once
#include <cstdint>
#include <string>

#include <QRect>

// Facts about the machine, read from the operating system.
namespace Platform {

std::string Computer_Name();  // up to 255 characters
int Processor_Type();         // 8664 for x86-64, 586 for x86, 0 when unknown
int Processor_Count();
int Processor_MHz();               // 0 when unknown
uint64_t Total_Physical_Memory();  // bytes
uint64_t Available_Physical_Memory();
// Hands memory the program has freed back to the operating system (the C
// library otherwise keeps it for reuse, so a freed capture window would stay
// resident).
void Return_Freed_Memory();
// Memory of this program held in physical memory now, bytes (0 when unknown).
uint64_t Resident_Memory();
std::string OS_Name();      // "Unknown OS" when it cannot be read
std::string OS_Bitness();   // "32" / "64"
std::string CPU_Bitness();  // "32" / "64"
int64_t Instance_Handle();  // the process id
std::string Thread_Id_Text();

// Screen size in pixels of the primary screen (1920 x 1080 with no screen).
int Screen_Width();
int Screen_Height();
int Screen_Available_Height();  // without the desktop's panels
// The primary screen's area without the desktop's panels (1920 x 1080 at 0, 0 with no screen).
QRect Screen_Available_Geometry();

// Whether a shared library can be loaded (it is released at once).
bool Library_Available(const std::string& file_name);

}  // namespace Platform
