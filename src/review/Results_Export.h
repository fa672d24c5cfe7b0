#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "review/Heat_Result.h"
#include "review/Module_Results.h"
#include "settings/Margin_Settings.h"

class cls_VideoFile_handler;

// Heat results as files that meeting and betting systems read: CSV (RFC 4180,
// UTF-8, CR LF line ends, no byte-order mark) and JSON. One writer for the
// command-line tool, the results window's "Save results..." and the live feed.
namespace Results_Export {

// One box of a heat, in rank order.
struct Export_Row {
    std::string rank;  // "" for a box without a real time
    int16_t box = 0;
    std::string dog;
    std::string time;  // race time with the box delay ("28,48"); "" without a time
    std::optional<int32_t> time_ms;
    std::string split;
    std::optional<int32_t> split_ms;
    std::string result;  // "time", "DNF", "DSQ", "no rank" or "no time"
    bool dead_heat = false;
    std::optional<std::string> margin;  // behind the dog ranked above; absent for the winner and untimed dogs
};

struct Heat_Results {
    std::string file;  // the recording's file name, without folder
    std::string event, heat_id, heat_name, started;
    int32_t box_delay = 0;
    bool official = false;
    // "provisional", "official", or "amended": official and changed at least once since the declaration.
    std::string status = "provisional";
    // Grows with each published change of the heat. Read from a recording it is the
    // number of changes in the audit trail: 0 while provisional and at the declaration.
    int revision = 0;
    std::string declared_at;    // "yyyy-mm-dd hh:nn:ss", empty while provisional
    std::string frames_sha256;  // empty while provisional
    std::vector<Export_Row> rows;
};

// The heat of an open recording: its boxes ranked as the results window ranks
// them, the box delay (ms) added to every time. Boxes without a dog and without
// any time are left out. The status and revision come from the declaration
// and the audit trail beside the recording. Raises when the header or an
// existing audit trail cannot be read.
// Margins follow the distance table (the settings' one in the program).
Heat_Results Read_Heat(cls_VideoFile_handler& handler, int32_t box_delay, const Margin_Table& margins = {});
// The same from a ranked array already at hand.
Heat_Results From_Ranked(cls_VideoFile_handler& handler, const Result_Array_Type& ranked, int32_t box_delay,
                         const Margin_Table& margins = {});

// The same from a review's one result, reading nothing again. Raises when the
// heat is official and its trail could not be read.
Heat_Results From_Result(const Heat_Result& result, const Margin_Table& margins = {});

// Heat order: numeric heat IDs by number, then other IDs by text, then the
// start date-time and the file name.
void Sort_Heats(std::vector<Heat_Results>& heats);

// One header line, then one line per row of every heat. Free text (event,
// heat ID and name, dog) is written with Csv_Text, everything else with Csv_Field.
std::string To_Csv(const std::vector<Heat_Results>& heats);
// One heat as a JSON object; compact is a single line (the feed's form).
std::string To_Json(const Heat_Results& heat, bool compact = false);
// A meeting: {"event": ..., "heats": [...]}.
std::string To_Json(const std::string& event, const std::vector<Heat_Results>& heats);

// The column names of the CSV, in order.
std::vector<std::string> Csv_Columns();
// One CSV field, quoted when it holds a comma, a quote or a line break.
std::string Csv_Field(const std::string& text);
// One CSV field of free text: as Csv_Field, but text starting with = + - @,
// a tab or a carriage return gets a single quote in front and is quoted, so
// that a spreadsheet shows it as text instead of running it as a formula.
std::string Csv_Text(const std::string& text);
// A JSON string literal; invalid UTF-8 becomes U+FFFD.
std::string Json_String(const std::string& text);

}  // namespace Results_Export
