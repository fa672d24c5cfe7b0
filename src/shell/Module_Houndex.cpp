#include "Module_Houndex.h"

#include <QApplication>
#include <QWidget>

#include "diagnostics/Module_OS_Version.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "platform/System_Info.h"
#include "settings/Module_Ini.h"
#include "common/Module_dependant.h"

#ifndef HOUNDEX_VERSION_MAJOR
#define HOUNDEX_VERSION_MAJOR 1
#define HOUNDEX_VERSION_MINOR 0
#define HOUNDEX_VERSION_PATCH 0
#endif

std::string AppuserData_Folder() {
    std::string folder = Platform::Local_AppData_Folder();
    if (folder.empty()) return "";
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    if (!Platform::Create_Folders(folder)) return "The folder does not exist";
    return folder;
}

void Get_CPU_Info(Startup_Facts& f) {
    try {
        f.CPU_Info = CPU_Info_Text(Platform::Processor_Type(), Platform::Processor_Count(), Platform::Processor_MHz());
        f.OS_Version = OS_Caption();
    } catch (const std::exception& e) {
        Report_Exception(e, "Get_CPU_Info of Module Module_Houndex");
    }
}

void Check_Bitness(Startup_Facts& f) {
    try {
        f.OS_Bitness = Read_Ini("Settings", "osbitness", f.Ini_file_path, "N/A");
        if (f.OS_Bitness == "N/A") {
            f.OS_Bitness = GetOsBitness();
            Write_Ini("Settings", "osbitness", f.OS_Bitness, f.Ini_file_path);
        }
        f.CPU_Bitness = Read_Ini("Settings", "cpubitness", f.Ini_file_path, "N/A");
        if (f.CPU_Bitness == "N/A") {
            f.CPU_Bitness = GetCpuBitness();
            Write_Ini("Settings", "cpubitness", f.CPU_Bitness, f.Ini_file_path);
        }
    } catch (const std::exception& e) {
        Report_Exception(e, "Check_Bitness of Module Module_Houndex");
    }
}

Startup_Facts Init_Environment() {
    Startup_Facts f;
    f.Total_Memory = Memory_Text();
    f.Program_Name = "Houndex_HDMI";
    f.Version_Major = HOUNDEX_VERSION_MAJOR;
    f.Version_Minor = HOUNDEX_VERSION_MINOR;
    f.Version_Revision = HOUNDEX_VERSION_PATCH;
    f.Program_Version = std::to_string(f.Version_Major) + "." + std::to_string(f.Version_Minor) + "." +
                        std::to_string(f.Version_Revision);
    f.Computer_Name = Platform::Computer_Name();
    f.AppData_Folder = AppuserData_Folder();
    f.Ini_file_path = Platform::Join_Path(f.AppData_Folder, f.Program_Name + ".ini");
    Get_CPU_Info(f);
    Check_Bitness(f);
    return f;
}

namespace {
void Close_All_Windows() {
    // Closing a window may delete others; take a fresh list each round.
    for (int round = 0; round < 3; ++round) {
        bool any = false;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible()) {
                any = true;
                w->close();
            }
        }
        if (!any) break;
    }
}
}  // namespace

void Unload_Forms() { Close_All_Windows(); }

void Stop_Houndex() {
    try {
        Trace("*Stop_Houndex");
        Close_All_Windows();
        // The stored frames are released by the capture controller's owner when it is destroyed.
        Trace("*Stop_Houndex, end");
    } catch (const std::exception& e) {
        Report_Exception(e, "Stop_Houndex of Module Module_Houndex");
    }
}
