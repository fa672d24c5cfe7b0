#include "Module_OS_Version.h"

#include <cmath>
#include <cstdio>

#include "platform/Error_Entry.h"
#include "platform/System_Info.h"

namespace {
std::string Fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}
}  // namespace

std::string Format_Size(uint64_t bytes) {
    const double b = static_cast<double>(bytes);
    if (bytes < 1024ULL) return std::to_string(bytes) + " bytes";
    if (bytes < 1024ULL * 1024) return Fixed(b / 1024.0, 1) + " KB";
    if (bytes < 1024ULL * 1024 * 1024) return Fixed(b / (1024.0 * 1024), 2) + " MB";
    if (bytes < 1024ULL * 1024 * 1024 * 1024) return Fixed(b / (1024.0 * 1024 * 1024), 2) + " GB";
    return "";
}

std::string Memory_Text() {
    const uint64_t total = Platform::Total_Physical_Memory();
    const uint64_t avail = Platform::Available_Physical_Memory();
    const long pct = total ? std::lround(static_cast<double>(avail) / static_cast<double>(total) * 100.0) : 0;
    return Format_Size(total) + " (" + std::to_string(pct) + "% Free)";
}

std::string GetOsBitness() {
    try {
        return Platform::OS_Bitness();
    } catch (const std::exception& e) {
        Report_Exception(e, "GetOsBitness of Module Module_OS_Version");
        return "";
    }
}

std::string GetCpuBitness() { return Platform::CPU_Bitness(); }

std::string OS_Caption() { return Platform::OS_Name(); }

std::string CPU_Info_Text(int processor_type, int processors, int mhz) {
    return "CPU= " + std::to_string(processor_type) + " " + std::to_string(processors) + " core" + " " +
           Fixed(mhz / 1000.0, 1) + "GHz";
}
