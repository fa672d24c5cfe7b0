#pragma once
#include <string>

#include "common/Startup_Facts.h"

// The program's name as people read it ("Houndex HDMI"); Program_Name stays the
// identifier that file names, the ini file and recorded headers rely on.
inline std::string Program_Display_Name() {
    std::string name = Facts().Program_Name;
    for (char& c : name)
        if (c == '_') c = ' ';
    return name;
}
