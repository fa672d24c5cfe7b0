#pragma once
#include <cstddef>
#include <functional>
#include <string>

class Event_File;

// The dog-name import file: plain text, one line per dog. A line that starts
// with "Start" (exact case, blanks before it allowed) followed by a number
// chooses the heat ("Start 12", "Start12"); every other line, "Flying Start"
// included, is the dog of the next box of that heat, an empty line leaving its
// box as it is. The file is UTF-8 when it is valid UTF-8 (a
// byte-order mark is skipped), else ISO-8859-1. Line ends CR LF, LF or CR.
//
// Dog_Import only reads the text and says what each line means; Import_Dogs
// below applies the steps to an event file. Whatever the bytes are, the parser
// looks at each at most a few times and stops at the first bad line.
class Dog_Import {
public:
    static constexpr size_t Max_File_Bytes = 1024 * 1024;  // a full programme is under 50 KB
    static constexpr size_t Max_Line_Chars = 1000;

    enum class Kind {
        Heat,           // a Start line; heat may be outside 1..100 (only a dog line after it fails)
        Dog,            // name (trimmed of blanks) for heat, box
        Empty_Line,     // box counted, nothing stored
        Format_Error,   // a dog line with no heat in 1..100 chosen
        Too_Many_Dogs,  // a ninth dog name in one heat
        Line_Too_Long,  // more than Max_Line_Chars characters
        End             // no more lines; also every call after an error
    };
    struct Step {
        Kind kind = Kind::End;
        int line = 0;  // 1-based line number in the file
        int heat = 0;
        int box = 0;
        std::string name;
    };

    explicit Dog_Import(const std::string& bytes);
    Step Next();

    // The heat a Start line chooses: the digits after "Start", blanks before them
    // skipped; -1 when the line is no Start line (no "Start" at its beginning,
    // or no digit after it). More than three digits give a number above 100.
    static int Start_Number(const std::string& line);

private:
    std::string m_Text;  // UTF-8
    size_t m_Pos = 0;
    int m_Line = 0;
    int m_Heat = 0;
    int m_Box = 0;
    bool m_Done = false;
};

// What the window does while an import runs.
struct Dog_Import_Hooks {
    // A Start line chose this heat (1..100): the heat selector and the frame
    // caption follow and the window is repainted.
    std::function<void(int heat)> Heat_Selected;
    // A name was stored: the heat is shown again and the window repainted.
    std::function<void(int heat, int box)> Dog_Stored;
};

struct Dog_Import_Result {
    int imported = 0;        // names stored
    bool completed = false;  // the whole file was read
};

// Imports the dog names of the text file at path into the event file, then
// saves it when anything was stored. Shows "N Dogs imported!" at the end, or
// "Ivalid import file format!" (with the reason where there is more to say)
// and stops at a bad line; what was stored before it stays. A file that cannot
// be read or is larger than Max_File_Bytes imports nothing. Faults go to the
// error handler ("Import_Dogs of Form Form_event_registration").
Dog_Import_Result Import_Dogs_From(Event_File& event_file, const std::string& path, const Dog_Import_Hooks& hooks = {});

// The whole "Import dog names" command below the window (trace "Import_Dogs
// start"): refuses with "No valid Event File open!" / "Import not possible"
// unless the event file validates and is loaded, asks for the text file
// starting in setting "importdir", stores the chosen file's folder there and
// imports it.
Dog_Import_Result Import_Dogs(Event_File& event_file, const Dog_Import_Hooks& hooks = {});
