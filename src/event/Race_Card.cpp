#include "event/Race_Card.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>

#include "common/Text.h"
#include "event/Dog_Import.h"
#include "event/Event_File.h"
#include "metadata/Latin1.h"

namespace Race_Card_Import {

namespace {

const char* const CRLF = "\r\n";

void Append_Utf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string Code_Point(uint32_t cp) {
    char b[16];
    std::snprintf(b, sizeof b, "U+%04X", static_cast<unsigned>(cp));
    return b;
}

std::string Line(int line) { return "Line " + std::to_string(line) + ": "; }
std::string Lines(int a, int b) { return "Lines " + std::to_string(a) + " and " + std::to_string(b) + ": "; }
std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// A text fit for a message: every character that is no printable text as U+FFFD.
std::string Shown(const std::string& text) {
    std::string out;
    uint32_t cp = 0;
    for (size_t i = 0; i < text.size();) {
        const size_t start = i;
        if (!Next_Utf8_Char(text, i, cp) || cp < 0x20 || (cp >= 0x7F && cp < 0xA0))
            out += "\xEF\xBF\xBD";
        else
            out.append(text, start, i - start);
    }
    return out;
}

// Compares dog names as an official reads them: case and blanks aside.
std::string Dog_Key(const std::string& name) { return Lower_Case(Trim_Blanks(name)); }

bool Digits_Only(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A whole number of digits within [low, high]; leading zeros are the number's own.
std::optional<int> Number_In(const std::string& text, int low, int high) {
    if (!Digits_Only(text)) return std::nullopt;
    int64_t value = 0;
    for (const char c : text) {
        value = value * 10 + (c - '0');
        if (value > high) return std::nullopt;
    }
    if (value < low) return std::nullopt;
    return static_cast<int>(value);
}

// The checks every card gets once it is read: names, boxes given twice, a dog
// twice in a heat (refused), a dog in more than one heat (noted).
void Check(Race_Card& card) {
    std::map<std::pair<int, int>, int> boxes;         // heat, box: line
    std::map<std::pair<int, std::string>, int> dogs;  // heat, dog: line
    std::map<std::string, std::vector<int>> heats_of;
    std::vector<std::string> order;
    for (const Race_Card::Dog& d : card.dogs) {
        if (const std::string p = Name_Problem(d.name); !p.empty()) {
            card.problems.push_back(Line(d.line) + "the dog name " + Quoted(Shown(d.name)) + " " + p + ".");
            continue;
        }
        const auto [box, new_box] = boxes.emplace(std::make_pair(d.heat, d.box), d.line);
        if (!new_box)
            card.problems.push_back(Lines(box->second, d.line) + "heat " + std::to_string(d.heat) + " box " +
                                    std::to_string(d.box) + " is given twice.");
        const auto [dog, new_dog] = dogs.emplace(std::make_pair(d.heat, Dog_Key(d.name)), d.line);
        if (!new_dog)
            card.problems.push_back(Lines(dog->second, d.line) + Quoted(d.name) + " is in heat " +
                                    std::to_string(d.heat) + " twice.");
        auto& heats = heats_of[Dog_Key(d.name)];
        if (heats.empty()) order.push_back(Dog_Key(d.name));
        if (std::find(heats.begin(), heats.end(), d.heat) == heats.end()) heats.push_back(d.heat);
    }
    for (const Race_Card::Heat& h : card.heats)
        if (h.has_name && !h.name.empty())
            if (const std::string p = Name_Problem(h.name); !p.empty())
                card.problems.push_back(Line(h.line) + "the race name " + Quoted(Shown(h.name)) + " " + p + ".");
    for (const std::string& key : order) {
        const std::vector<int>& heats = heats_of[key];
        if (heats.size() < 2) continue;
        std::string list;
        for (size_t i = 0; i < heats.size(); ++i)
            list += (i == 0 ? "" : i + 1 == heats.size() ? " and " : ", ") + std::to_string(heats[i]);
        const auto first = std::find_if(card.dogs.begin(), card.dogs.end(),
                                        [&](const Race_Card::Dog& d) { return Dog_Key(d.name) == key; });
        card.notes.push_back(Quoted(first->name) + " runs in heats " + list + ".");
    }
}

// ---- CSV -------------------------------------------------------------------------

struct Record {
    int line = 0;
    std::vector<std::string> fields;
};

// RFC 4180 records: a quoted field may hold the separator, doubled quotes and
// line breaks. An unclosed quote is a problem of the record it opens.
std::vector<Record> Csv_Records(const std::string& text, char separator, std::vector<std::string>& problems) {
    std::vector<Record> records;
    int line = 1;
    size_t i = 0;
    while (i < text.size()) {
        Record r;
        r.line = line;
        std::string field;
        bool end_of_record = false;
        while (!end_of_record) {
            if (i < text.size() && text[i] == '"') {
                const int opened = line;
                ++i;
                bool closed = false;
                while (i < text.size()) {
                    if (text[i] == '"') {
                        if (i + 1 < text.size() && text[i + 1] == '"') {
                            field += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    }
                    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) ++line;
                    field += text[i++];
                }
                if (!closed) {
                    problems.push_back(Line(opened) + "a quote is opened and never closed.");
                    return records;
                }
            }
            // Unquoted text, or what follows a closing quote up to the separator.
            while (i < text.size() && text[i] != separator && text[i] != '\r' && text[i] != '\n') field += text[i++];
            r.fields.push_back(field);
            field.clear();
            if (i < text.size() && text[i] == separator) {
                ++i;
                continue;
            }
            end_of_record = true;
            if (i < text.size()) {
                i += (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
                ++line;
            }
        }
        const bool blank =
            std::all_of(r.fields.begin(), r.fields.end(), [](const std::string& f) { return Trim_Blanks(f).empty(); });
        if (!blank) records.push_back(std::move(r));
    }
    return records;
}

enum Column { Col_Heat, Col_Box, Col_Dog, Col_Seeding, Col_Race, Col_Distance, Col_Count };

std::optional<Column> Column_Named(const std::string& header) {
    static const std::pair<const char*, Column> names[] = {
        {"heat", Col_Heat},      {"race no", Col_Heat},    {"race number", Col_Heat},  {"box", Col_Box},
        {"trap", Col_Box},       {"dog", Col_Dog},         {"dog name", Col_Dog},      {"name", Col_Dog},
        {"greyhound", Col_Dog},  {"seeding", Col_Seeding}, {"seed", Col_Seeding},      {"race", Col_Race},
        {"race name", Col_Race}, {"heat name", Col_Race},  {"distance", Col_Distance}, {"length", Col_Distance},
        {"metres", Col_Distance}};
    const std::string key = Lower_Case(Trim_Blanks(header));
    for (const auto& [name, column] : names)
        if (key == name) return column;
    return std::nullopt;
}

const char* Column_Title(int column) {
    static const char* const titles[] = {"heat", "box", "dog", "seeding", "race", "distance"};
    return titles[column];
}

// "480", "480m", "480 m": the metres; nullopt for anything else.
std::optional<std::string> Metres(const std::string& text) {
    std::string t = Lower_Case(Trim_Blanks(text));
    if (!t.empty() && t.back() == 'm') t = Trim_Blanks(t.substr(0, t.size() - 1));
    if (!Digits_Only(t) || t.size() > 5) return std::nullopt;
    return t;
}

}  // namespace

// ---- text -----------------------------------------------------------------------------

std::string Windows1252_To_Utf8(const std::string& bytes) {
    // 0x80..0x9F; 0 where Windows-1252 has no character (the C1 control of the same number stands in).
    static const uint16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && b < 0xA0)
            Append_Utf8(out, high[b - 0x80] ? high[b - 0x80] : b);
        else
            Append_Utf8(out, b);
    }
    return out;
}

std::string Import_Text_To_Utf8(const std::string& bytes) {
    const std::string body = Starts_With_Utf8_Bom(bytes) ? bytes.substr(3) : bytes;
    return Is_Utf8(body) ? body : Windows1252_To_Utf8(body);
}

std::string Name_Problem(const std::string& name) {
    if (Trim_Blanks(name).empty()) return "is empty";
    if (!Is_Utf8(name)) return "is not valid text";
    size_t chars = 0;
    uint32_t cp = 0;
    for (size_t i = 0; i < name.size(); ++chars) {
        Next_Utf8_Char(name, i, cp);
        if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0))
            return "holds " + Code_Point(cp) + ", a control character" +
                   (cp >= 0x80 ? " (in Windows-1252 the byte " + Code_Point(cp).substr(2) + " is no character)" : "");
        if (cp == 0xFFFD) return "holds U+FFFD, the mark of a character lost before the file was written";
        if (cp == 0xFFFE || cp == 0xFFFF) return "holds " + Code_Point(cp) + ", which is no character";
    }
    if (chars > Max_Name_Chars) return "is longer than " + std::to_string(Max_Name_Chars) + " characters";
    return Event_File::Storable_Problem(name).empty() ? "" : "cannot be stored: " + Event_File::Storable_Problem(name);
}

Race_Card Read_Start_List(const std::string& utf8) {
    Race_Card card;
    // The parser decodes its bytes itself: UTF-8 stays as it is.
    Dog_Import parser(utf8);
    std::map<int, int> seen;  // heat: line of its Start line
    bool repeated = false;    // the dogs of a heat listed twice are not counted again
    bool any_start = false;
    for (;;) {
        const Dog_Import::Step s = parser.Next();
        switch (s.kind) {
            case Dog_Import::Kind::Heat:
                any_start = true;
                if (s.heat >= 1 && s.heat <= Event_File::Heat_Count) {
                    const auto [at, added] = seen.emplace(s.heat, s.line);
                    repeated = !added;
                    if (!added)
                        card.problems.push_back(Lines(at->second, s.line) + "heat " + std::to_string(s.heat) +
                                                " is listed twice.");
                    else
                        card.heats.push_back({s.heat, s.line, "", "", false, false});
                }
                continue;
            case Dog_Import::Kind::Dog:
                if (!repeated) card.dogs.push_back({s.line, s.heat, s.box, s.name});
                continue;
            case Dog_Import::Kind::Empty_Line: continue;
            case Dog_Import::Kind::Format_Error:
                card.problems.push_back(Line(s.line) + (!any_start
                                                            ? "a dog comes before any \"Start N\" line."
                                                            : "heat " + std::to_string(s.heat) + " is not 1 to " +
                                                                  std::to_string(Event_File::Heat_Count) + "."));
                break;
            case Dog_Import::Kind::Too_Many_Dogs:
                card.problems.push_back(Line(s.line) + "heat " + std::to_string(s.heat) + " has more than " +
                                        std::to_string(Event_File::Box_Count) + " dogs.");
                break;
            case Dog_Import::Kind::Line_Too_Long:
                card.problems.push_back(Line(s.line) + "the line is longer than " +
                                        std::to_string(Dog_Import::Max_Line_Chars) + " characters.");
                break;
            case Dog_Import::Kind::End: break;
        }
        break;
    }
    Check(card);
    return card;
}

Race_Card Read_Csv(const std::string& utf8) {
    Race_Card card;
    card.whole_heats = true;
    const size_t first_break = utf8.find_first_of("\r\n");
    const std::string first_line = utf8.substr(0, first_break);
    // Spreadsheets where the decimal mark is a comma write semicolons.
    const char separator =
        first_line.find(',') == std::string::npos && first_line.find(';') != std::string::npos ? ';' : ',';
    std::vector<Record> records = Csv_Records(utf8, separator, card.problems);
    if (records.empty()) {
        if (card.problems.empty()) card.problems.push_back("The file holds no race card line.");
        return card;
    }
    std::array<int, Col_Count> at{0, 1, 2, 3, 4, 5};
    const std::string lead = Trim_Blanks(records.front().fields.front());
    if (!Digits_Only(lead)) {
        // A header line names the columns.
        at.fill(-1);
        const Record header = records.front();
        records.erase(records.begin());
        for (size_t i = 0; i < header.fields.size(); ++i)
            if (const auto c = Column_Named(header.fields[i]); c && at[*c] < 0) at[*c] = static_cast<int>(i);
        for (const Column needed : {Col_Heat, Col_Box, Col_Dog})
            if (at[needed] < 0)
                card.problems.push_back(Line(header.line) + "the header names no \"" + Column_Title(needed) +
                                        "\" column (a race card has heat, box and dog).");
        if (!card.problems.empty()) return card;
    }
    auto field = [&](const Record& r, Column c) -> std::string {
        const int i = at[c];
        return i >= 0 && static_cast<size_t>(i) < r.fields.size() ? Trim_Blanks(r.fields[static_cast<size_t>(i)]) : "";
    };
    std::map<int, size_t> heat_index;
    for (const Record& r : records) {
        const size_t before = card.problems.size();
        const std::optional<int> heat = Number_In(field(r, Col_Heat), 1, Event_File::Heat_Count);
        const std::optional<int> box = Number_In(field(r, Col_Box), 1, Event_File::Box_Count);
        if (!heat)
            card.problems.push_back(Line(r.line) + "heat " + Quoted(Shown(field(r, Col_Heat))) + " is not 1 to " +
                                    std::to_string(Event_File::Heat_Count) + ".");
        if (!box)
            card.problems.push_back(Line(r.line) + "box " + Quoted(Shown(field(r, Col_Box))) + " is not 1 to " +
                                    std::to_string(Event_File::Box_Count) + ".");
        const std::string seeding = Upper_Case(field(r, Col_Seeding));
        if (!seeding.empty() && seeding != "W" && seeding != "M")
            card.problems.push_back(Line(r.line) + "seeding " + Quoted(Shown(field(r, Col_Seeding))) +
                                    " is not W, M or blank.");
        const std::string distance_text = field(r, Col_Distance);
        const std::optional<std::string> distance = Metres(distance_text);
        if (!distance_text.empty() && !distance)
            card.problems.push_back(Line(r.line) + "distance " + Quoted(Shown(distance_text)) +
                                    " is not metres (480 or 480m).");
        if (card.problems.size() != before) continue;

        std::string name = field(r, Col_Dog);
        const std::string mark = " (" + seeding + ")";
        if (!seeding.empty() && !name.empty() &&
            (name.size() < mark.size() || Upper_Case(name.substr(name.size() - mark.size())) != mark))
            name += mark;
        card.dogs.push_back({r.line, *heat, *box, name});

        auto [index, added] = heat_index.emplace(*heat, card.heats.size());
        if (added) card.heats.push_back({*heat, r.line, "", "", false, false});
        Race_Card::Heat& h = card.heats[index->second];
        // Every row of a heat may repeat its race name and distance; they must agree.
        auto agree = [&](bool& has, std::string& value, const std::string& given, const char* what) {
            if (given.empty()) return;
            if (has && value != given)
                card.problems.push_back(Line(r.line) + "heat " + std::to_string(*heat) + " has the " + what + " " +
                                        Quoted(Shown(given)) + ", line " + std::to_string(h.line) + " gave " +
                                        Quoted(Shown(value)) + ".");
            if (!has) h.line = r.line;
            has = true;
            value = given;
        };
        agree(h.has_name, h.name, field(r, Col_Race), "race name");
        agree(h.has_length, h.length, distance.value_or(""), "distance");
    }
    Check(card);
    return card;
}

Race_Card Read(const std::string& bytes, const std::string& file_name) {
    const std::string text = Import_Text_To_Utf8(bytes);
    size_t p = 0;
    while (p < text.size() && (text[p] == '\r' || text[p] == '\n' || text[p] == ' ' || text[p] == '\t')) ++p;
    const std::string first = text.substr(p, text.find_first_of("\r\n", p) - p);
    if (Dog_Import::Start_Number(first) >= 0) return Read_Start_List(text);
    const bool csv_name =
        Lower_Case(file_name).size() >= 4 && Lower_Case(file_name).compare(file_name.size() - 4, 4, ".csv") == 0;
    if (csv_name || first.find_first_of(",;") != std::string::npos) return Read_Csv(text);
    return Read_Start_List(text);
}

// ---- changes --------------------------------------------------------------------------

std::vector<Change> Changes(const Event_File& event_file, const Race_Card& card) {
    std::vector<Change> out;
    for (const Race_Card::Heat& h : card.heats) {
        if (h.has_name && h.name != event_file.Heat_Name(h.heat))
            out.push_back({h.heat, 0, Change::What::Heat_Name, event_file.Heat_Name(h.heat), h.name});
        if (h.has_length && h.length != event_file.Heat_Length(h.heat))
            out.push_back({h.heat, 0, Change::What::Length, event_file.Heat_Length(h.heat), h.length});
        std::array<const std::string*, Event_File::Box_Count + 1> given{};
        for (const Race_Card::Dog& d : card.dogs)
            if (d.heat == h.heat) given[static_cast<size_t>(d.box)] = &d.name;
        for (int b = 1; b <= Event_File::Box_Count; ++b) {
            const std::string* name = given[static_cast<size_t>(b)];
            if (!name && !card.whole_heats) continue;
            const std::string now = event_file.Reg_Dog_Name(h.heat, b);
            const std::string after = name ? *name : "";
            if (after != now) out.push_back({h.heat, b, Change::What::Dog, now, after});
        }
    }
    return out;
}

std::string Preview_Text(const std::string& file_name, const Race_Card& card, const std::vector<Change>& changes,
                         size_t max_heats) {
    std::string text = "Import " + Quoted(file_name) + ": " + std::to_string(card.dogs.size()) + " dogs in " +
                       std::to_string(card.heats.size()) + (card.heats.size() == 1 ? " heat." : " heats.");
    if (changes.empty()) return text + CRLF + "The event file holds all of it already: nothing changes.";
    text += CRLF;
    std::vector<int> order;
    for (const Change& c : changes)
        if (std::find(order.begin(), order.end(), c.heat) == order.end()) order.push_back(c.heat);
    size_t shown = 0;
    for (const int heat : order) {
        if (shown++ == max_heats) {
            text += "... and " + std::to_string(order.size() - max_heats) + " more heats." + CRLF;
            break;
        }
        std::string line = "Heat " + std::to_string(heat) + ":";
        bool first = true;
        for (const Change& c : changes) {
            if (c.heat != heat) continue;
            line += first ? " " : "; ";
            first = false;
            const std::string was = c.before.empty() ? "" : " (was " + Quoted(c.before) + ")";
            switch (c.what) {
                case Change::What::Heat_Name: line += "name " + Quoted(c.after) + was; break;
                case Change::What::Length:
                    line += c.after.empty() ? "no distance" : c.after + " m";
                    if (!c.before.empty()) line += " (was " + c.before + " m)";
                    break;
                case Change::What::Dog:
                    line += "box " + std::to_string(c.box) + " " + (c.after.empty() ? "vacant" : Quoted(c.after)) + was;
                    break;
            }
        }
        text += line + CRLF;
    }
    if (const size_t same = card.heats.size() - std::min(card.heats.size(), order.size()); same > 0)
        text += std::to_string(same) + (same == 1 ? " heat is" : " heats are") + " unchanged." + CRLF;
    for (const std::string& n : card.notes) text += "Note: " + n + CRLF;
    return text + "Import these changes?";
}

bool Apply(Event_File& event_file, const std::vector<Change>& changes) {
    for (size_t i = 0; i < changes.size(); ++i) {
        const Change& c = changes[i];
        bool stored = false;
        switch (c.what) {
            case Change::What::Heat_Name: stored = event_file.Set_Heat_Name(c.heat, c.after); break;
            case Change::What::Length: stored = event_file.Set_Heat_Length(c.heat, c.after); break;
            case Change::What::Dog: stored = event_file.Set_Reg_Dog_Name(c.heat, c.box, c.after); break;
        }
        if (!stored) {
            Undo(event_file, std::vector<Change>(changes.begin(), changes.begin() + static_cast<ptrdiff_t>(i)));
            return false;
        }
    }
    return true;
}

void Undo(Event_File& event_file, const std::vector<Change>& changes) {
    for (auto c = changes.rbegin(); c != changes.rend(); ++c) {
        switch (c->what) {
            case Change::What::Heat_Name: event_file.Set_Heat_Name(c->heat, c->before); break;
            case Change::What::Length: event_file.Set_Heat_Length(c->heat, c->before); break;
            case Change::What::Dog: event_file.Set_Reg_Dog_Name(c->heat, c->box, c->before); break;
        }
    }
}

}  // namespace Race_Card_Import
