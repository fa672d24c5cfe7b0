// A dog-name import file: the parser's steps and the race card over the raw bytes, then the
// whole import into an event file.
#include <filesystem>

#include "Fuzz_Support.h"
#include "event/Dog_Import.h"
#include "event/Event_File.h"
#include "event/Race_Card.h"

namespace fs = std::filesystem;

namespace {
std::string g_Template;  // an empty programme, written once
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    Fuzz::Init(argc, argv, false);
    g_Template = Fuzz::Temp_Dir() + "/template.xml";
    Event_File e;
    if (!e.Create_Event(g_Template, "Import Cup", "Sun")) Fuzz::Fail("the template event file cannot be made");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fuzz::Reset();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Dog_Import parser(bytes);
    size_t steps = 0, dogs = 0;
    int last_line = 0;
    for (;;) {
        const Dog_Import::Step s = parser.Next();
        if (++steps > size + 2) Fuzz::Fail("the parser does not come to an end");
        if (s.kind == Dog_Import::Kind::End) break;
        if (s.line < last_line) Fuzz::Fail("line numbers went back");
        last_line = s.line;
        if (s.kind == Dog_Import::Kind::Dog) {
            ++dogs;
            if (s.heat < 1 || s.heat > Event_File::Heat_Count || s.box < 1 || s.box > Event_File::Box_Count)
                Fuzz::Fail("a dog for a heat or box that does not exist");
            if (s.name.find_first_of("\r\n") != std::string::npos) Fuzz::Fail("a name holds a line break");
        }
    }
    for (int i = 0; i < 3; ++i)
        if (parser.Next().kind != Dog_Import::Kind::End) Fuzz::Fail("steps after the end");
    (void)Dog_Import::Start_Number(bytes.substr(0, 64));
    // The same bytes as a race card: every dog it accepts is one the event file can hold.
    const Race_Card card = Race_Card_Import::Read(bytes, "card.csv");
    if (card.problems.empty())
        for (const Race_Card::Dog& d : card.dogs)
            if (!Event_File::Can_Store(d.name) || d.heat < 1 || d.heat > Event_File::Heat_Count || d.box < 1 ||
                d.box > Event_File::Box_Count)
                Fuzz::Fail("the race card accepted a dog the event file cannot hold");
    // Without a name to store the import writes nothing; the parser above saw it all.
    if (dogs == 0) return 0;

    const std::string event_path = Fuzz::Temp_Dir() + "/event.xml";
    fs::copy_file(g_Template, event_path, fs::copy_options::overwrite_existing);
    const std::string import_path = Fuzz::Write_Temp("import.txt", data, size);
    Event_File e;
    e.Set_Path(event_path);
    if (!e.Parse_XML_file()) Fuzz::Fail("the template does not load");
    const Dog_Import_Result r = Import_Dogs_From(e, import_path);
    if (r.imported < 0 || static_cast<size_t>(r.imported) > steps) Fuzz::Fail("more names stored than read");
    return 0;
}
