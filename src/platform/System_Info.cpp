#include "System_Info.h"

#include <fstream>
#include <sstream>
#include <thread>

#include <QGuiApplication>
#include <QLibrary>
#include <QScreen>
#include <QSysInfo>

#ifndef _WIN32
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#endif

namespace Platform {

namespace {
std::string Read_Key(const std::string& path, const std::string& key, char sep) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const auto pos = line.find(sep);
        if (pos == std::string::npos) continue;
        std::string k = line.substr(0, pos);
        while (!k.empty() && (k.back() == ' ' || k.back() == '\t')) k.pop_back();
        if (k != key) continue;
        std::string v = line.substr(pos + 1);
        while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.erase(v.begin());
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        return v;
    }
    return "";
}

std::string Machine() {
#ifndef _WIN32
    utsname u{};
    if (uname(&u) == 0) return u.machine;
#endif
    return QSysInfo::currentCpuArchitecture().toStdString();
}
}  // namespace

std::string Computer_Name() {
    std::string name = QSysInfo::machineHostName().toStdString();
    if (const auto nul = name.find('\0'); nul != std::string::npos) name.resize(nul);
    if (name.size() > 255) name.resize(255);
    return name;
}

int Processor_Type() {
    const std::string m = Machine();
    if (m == "x86_64" || m == "amd64") return 8664;
    if (m.size() == 4 && m[0] == 'i' && m.substr(2) == "86") return 586;
    return 0;
}

int Processor_Count() {
    const unsigned n = std::thread::hardware_concurrency();
    return n ? static_cast<int>(n) : 1;
}

int Processor_MHz() {
    // The highest rated frequency where the kernel tells it, else the current one.
    {
        std::ifstream in("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq");
        long khz = 0;
        if (in >> khz && khz > 0) return static_cast<int>(khz / 1000);
    }
    const std::string mhz = Read_Key("/proc/cpuinfo", "cpu MHz", ':');
    if (!mhz.empty()) {
        try {
            return static_cast<int>(std::stod(mhz) + 0.5);
        } catch (...) {
        }
    }
    return 0;
}

uint64_t Total_Physical_Memory() {
#ifndef _WIN32
    struct sysinfo si {};
    if (sysinfo(&si) == 0) return static_cast<uint64_t>(si.totalram) * si.mem_unit;
#endif
    return 0;
}

void Return_Freed_Memory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

uint64_t Resident_Memory() {
    const std::string kb = Read_Key("/proc/self/status", "VmRSS", ':');
    try {
        return kb.empty() ? 0 : std::stoull(kb) * 1024ULL;
    } catch (...) {
        return 0;
    }
}

uint64_t Available_Physical_Memory() {
    // MemAvailable is what a program can still get; freeram misses the caches.
    const std::string avail = Read_Key("/proc/meminfo", "MemAvailable", ':');
    if (!avail.empty()) {
        try {
            return std::stoull(avail) * 1024ULL;
        } catch (...) {
        }
    }
#ifndef _WIN32
    struct sysinfo si {};
    if (sysinfo(&si) == 0) return static_cast<uint64_t>(si.freeram) * si.mem_unit;
#endif
    return 0;
}

std::string OS_Name() {
    std::string name = Read_Key("/etc/os-release", "PRETTY_NAME", '=');
    if (name.empty()) name = QSysInfo::prettyProductName().toStdString();
    if (name.empty() || name == "unknown") return "Unknown OS";
    return name;
}

std::string OS_Bitness() {
    // The width of the running kernel's addresses.
    const std::string m =
        QSysInfo::kernelType() == "linux" ? Machine() : QSysInfo::currentCpuArchitecture().toStdString();
    return m.find("64") != std::string::npos || m == "s390x" ? "64" : "32";
}

std::string CPU_Bitness() {
    // /proc/cpuinfo "lm" (long mode) marks a 64-bit x86 processor.
    const std::string flags = Read_Key("/proc/cpuinfo", "flags", ':');
    if (!flags.empty()) {
        std::istringstream in(flags);
        std::string f;
        while (in >> f)
            if (f == "lm") return "64";
        return OS_Bitness();
    }
    return OS_Bitness();
}

int64_t Instance_Handle() {
#ifndef _WIN32
    return static_cast<int64_t>(getpid());
#else
    return 0;
#endif
}

std::string Thread_Id_Text() {
    std::ostringstream s;
    s << std::this_thread::get_id();
    return s.str();
}

int Screen_Width() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (QScreen* s = QGuiApplication::primaryScreen()) return s->geometry().width();
    return 1920;
}

int Screen_Height() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (QScreen* s = QGuiApplication::primaryScreen()) return s->geometry().height();
    return 1080;
}

int Screen_Available_Height() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (QScreen* s = QGuiApplication::primaryScreen()) return s->availableGeometry().height();
    return 1080;
}

QRect Screen_Available_Geometry() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (QScreen* s = QGuiApplication::primaryScreen()) return s->availableGeometry();
    return QRect(0, 0, 1920, 1080);
}

bool Library_Available(const std::string& file_name) {
    QLibrary lib(QString::fromStdString(file_name));
    const bool ok = lib.load();
    if (ok) lib.unload();
    return ok;
}

}  // namespace Platform
