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
// byte-order mark is skipped), else Windows-1252. Line ends CR LF, LF or CR.
//
// Dog_Import only reads the text and says what each line means; the race card
// (event/Race_Card.h) checks the whole file and Import_Dogs below applies it to
// an event file. Whatever the bytes are, the parser looks at each at most a few
// times and stops at the first bad line.
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

    // The heat a Start line chooses: the whole number after "Start", blanks
    // before it skipped, leading zeros its own ("Start 00012" is 12); -1 when
    // the line is no Start line (no "Start" at its beginning, or no digit after
    // it). A number above 100 comes back as one (Event_File::Heat_Count + 1 at most).
    static int Start_Number(const std::string& line);

private:
    std::string m_Text;  // UTF-8
    size_t m_Pos = 0;
    int m_Line = 0;
    int m_Heat = 0;
    int m_Box = 0;
    bool m_Done = false;
};

// What the window does after an import.
struct Dog_Import_Hooks {
    // The import was saved: the window shows this heat (the first one changed).
    std::function<void(int heat)> Heat_Selected;
};

struct Dog_Import_Result {
    int imported = 0;        // dog names the card gave, stored and saved
    bool completed = false;  // the card was read, accepted and saved
};

// How the two import formats are written, in the words the registration
// window and the README use.
extern const char* const Import_Formats_Help;

// Imports the race card or start list at path (event/Race_Card.h) into the
// event file. The whole file is checked first: any fault (a bad line, a heat
// listed twice, a box or dog given twice, a name with a character that is no
// text) is named with its line in one message under "Ivalid import file
// format!" and nothing is imported. Then the changes are listed and the
// official asked; "Yes" stores them and saves the event file, and only a save
// that succeeded is answered "N Dogs imported!" (a failed one leaves the
// programme as it was). A file that cannot be read or is larger than
// Max_File_Bytes imports nothing. Faults go to the error handler
// ("Import_Dogs of Form Form_event_registration").
Dog_Import_Result Import_Dogs_From(Event_File& event_file, const std::string& path, const Dog_Import_Hooks& hooks = {});

// The folder the import's file dialog opens in: setting "importdir" when it
// names a folder that exists, else the event file's folder, else the home folder.
std::string Import_Start_Folder(const Event_File& event_file);

// The whole "Import dog names" command below the window (trace "Import_Dogs
// start"): refuses with "No valid Event File open!" / "Import not possible"
// unless the event file validates and is loaded, asks for the file in
// Import_Start_Folder, stores the chosen file's folder as "importdir" and
// imports it.
Dog_Import_Result Import_Dogs(Event_File& event_file, const Dog_Import_Hooks& hooks = {});
