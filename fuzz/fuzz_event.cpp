// An event file loaded and every read accessor asked; a loaded programme saved
// again loads to the same programme.
#include "Fuzz_Support.h"
#include "event/Event_File.h"
#include "event/Module_Event_File.h"

namespace {
const int Heats[] = {-1, 0, 1, 2, 50, 99, 100, 101};
const int Boxes[] = {-1, 0, 1, 4, 8, 9};

std::string Everything(const Event_File& e) {
    std::string all = e.Event_name() + '\n' + e.Get_day() + '\n';
    for (int heat : Heats) {
        all += e.Heat_Name(heat) + '\n' + e.Heat_Length(heat) + '\n' + e.Heat_Start_Time(heat) + '\n';
        for (int box : Boxes) all += e.Reg_Dog_Name(heat, box) + '\n';
    }
    return all;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    Fuzz::Init(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fuzz::Reset();
    const std::string path = Fuzz::Write_Temp("event.xml", data, size);
    (void)Validate_XML_file(path);
    Event_File e;
    e.Set_Path(path);
    if (!e.Parse_XML_file()) {
        if (e.Is_Loaded()) Fuzz::Fail("a file that did not load left a document behind");
        (void)Everything(e);
        return 0;
    }
    const std::string read = Everything(e);
    const std::string saved_path = Fuzz::Temp_Dir() + "/saved.xml";
    e.Set_Path(saved_path);
    if (!e.XML_to_File()) Fuzz::Fail("a loaded programme cannot be saved");
    Event_File again;
    again.Set_Path(saved_path);
    if (!again.Parse_XML_file()) Fuzz::Fail("a saved programme does not load again");
    if (Everything(again) != read) Fuzz::Fail("saving and loading changed the programme");
    return 0;
}
