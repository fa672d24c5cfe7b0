#pragma once
#include <cstddef>
#include <string>
#include <vector>

class Event_File;

// A race card brought into the event file from a file: the racing office's CSV
// (one row a dog) or the older start list ("Start N", then one dog a line).
// Reading never touches the event file: the card is checked as a whole first,
// so a file with any fault imports nothing, and what it would change is listed
// for the official before anything is stored.
//
// The CSV: comma or semicolon separated (RFC 4180 quoting), an optional header
// line, the columns heat, box, dog, then optionally seeding (W, M or blank),
// race (the heat's name) and distance (metres: 480 or 480m). With a header the
// columns are found by name (heat/race no, box/trap, dog/name/greyhound,
// seeding/seed, race/race name/heat name, distance/length) and others are
// ignored. A heat on the card is the whole heat: a box it does not list is
// vacant. A seeded dog is named as race cards print it: "Rex (W)".
//
// Both files are UTF-8 when they are valid UTF-8 (a byte-order mark skipped),
// else Windows-1252, the superset of Latin-1 that Windows programs write
// (0x92 is the apostrophe of O'Brien, 0x80 the euro sign).
struct Race_Card {
    struct Heat {
        int heat = 0;
        int line = 0;
        std::string name, length;  // "" with has_* false: not on the card
        bool has_name = false;
        bool has_length = false;
    };
    struct Dog {
        int line = 0;
        int heat = 0;
        int box = 0;
        std::string name;  // UTF-8, with the seeding mark
    };
    std::vector<Heat> heats;  // in the file's order, each once
    std::vector<Dog> dogs;
    bool whole_heats = false;           // boxes not listed are vacant (the CSV)
    std::vector<std::string> problems;  // each names its line; any one refuses the card
    std::vector<std::string> notes;     // worth a look, no reason to refuse
};

namespace Race_Card_Import {

constexpr size_t Max_Name_Chars = 100;

// The file's text as UTF-8, as described above. Bytes Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of
// the same number, which no name accepts.
std::string Import_Text_To_Utf8(const std::string& bytes);
std::string Windows1252_To_Utf8(const std::string& bytes);

// The file read as a start list or a CSV race card: a start list when its first
// line that is not blank is a Start line, else a CSV when it is named .csv or
// its first line holds a comma or a semicolon, else a start list (which then
// fails on its first line).
Race_Card Read(const std::string& bytes, const std::string& file_name);
Race_Card Read_Start_List(const std::string& utf8);
Race_Card Read_Csv(const std::string& utf8);

// Why a dog or heat name cannot be on a card ("" when it can): empty, too long,
// or holding a character that is no printable text (named as U+XXXX).
std::string Name_Problem(const std::string& name);

// One value of the event file the card changes.
struct Change {
    enum class What { Heat_Name, Length, Dog };
    int heat = 0;
    int box = 0;  // for a dog
    What what = What::Dog;
    std::string before, after;
};
std::vector<Change> Changes(const Event_File& event_file, const Race_Card& card);

// What the official is asked before the import: the card's size, each changed
// heat on a line of its own (at most max_heats of them), the notes.
std::string Preview_Text(const std::string& file_name, const Race_Card& card, const std::vector<Change>& changes,
                         size_t max_heats = 30);

// Stores the changes in the document (not the file). False, with the document
// as it was, when one could not be stored.
bool Apply(Event_File& event_file, const std::vector<Change>& changes);
// Puts the values back as they were before Apply.
void Undo(Event_File& event_file, const std::vector<Change>& changes);

}  // namespace Race_Card_Import
