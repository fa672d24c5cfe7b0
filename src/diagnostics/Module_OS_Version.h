#pragma once
#include <cstdint>
#include <string>

// System information texts used in reports, headers and the about window.

// below 1024: "n bytes"; KB one decimal; MB, GB two decimals; larger: "".
std::string Format_Size(uint64_t bytes);
// Total physical memory by size + " (" + free percentage + "% Free)".
std::string Memory_Text();
std::string GetOsBitness();   // "32"/"64"; "" and an error report on failure
std::string GetCpuBitness();  // "32"/"64"
std::string OS_Caption();     // "Unknown OS" when it cannot be read
// "CPU= " + type + " " + count + " core" + " " + GHz (one decimal) + "GHz"
std::string CPU_Info_Text(int processor_type, int processors, int mhz);
