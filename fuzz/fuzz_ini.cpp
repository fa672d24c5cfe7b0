// The settings file read on every key the program asks for (and the window
// positions); then one key written must read back as written and leave every
// other key as it read before.
#include <vector>

#include "Fuzz_Support.h"
#include "settings/Module_Ini.h"
#include "common/Startup_Facts.h"

namespace {

struct Key {
    const char* section;
    const char* key;
};
const Key Keys[] = {
    {"Settings", "Heat_ID"},
    {"Settings", "box_delay"},
    {"Settings", "cpubitness"},
    {"Settings", "current_event_file"},
    {"Settings", "goal_compensation"},
    {"Settings", "importdir"},
    {"Settings", "lastcrop"},
    {"Settings", "osbitness"},
    {"Settings", "save_folder"},
    {"Settings", "split_compensation"},
    {"capturesettings", "friendlyname"},
    {"capturesettings", "videoproperty"},
    {"SETTINGS", "heat_id"},
    {" Settings ", " save_folder "},
    {"windowpos", "Form_Houndex"},
    {"windowpos", "Form_Hdx_Results"},
    {"", ""},
    {"Settings", ""},
};
const char* const Forms[] = {"Form_Houndex", "Form_Hdx_Results", "Form_event_registration"};

std::vector<std::string> Read_All(const std::string& path) {
    std::vector<std::string> values;
    for (const Key& k : Keys) values.push_back(Read_Ini(k.section, k.key, path, "default"));
    return values;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    Fuzz::Init(argc, argv, true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fuzz::Reset();
    const std::string path = Fuzz::Write_Temp("settings.ini", data, size);
    Startup_Facts facts;
    facts.Ini_file_path = path;
    Freeze_Facts(facts);
    const std::vector<std::string> before = Read_All(path);
    for (const char* form : Forms) {
        int left = 5, top = 6, width = 300, height = 200;
        Get_Form_Pos(form, left, top, width, height, false);
        Get_Form_Pos(form, left, top, width, height, true);
    }
    if (Write_Ini("Settings", "fuzz_written", "value 1", path) != 1) Fuzz::Fail("a key cannot be written");
    if (Read_Ini("Settings", "fuzz_written", path, "") != "value 1") Fuzz::Fail("a written key reads otherwise");
    if (Read_All(path) != before) Fuzz::Fail("writing one key changed another");
    return 0;
}
