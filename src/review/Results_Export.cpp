#include "review/Results_Export.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string_view>

#include <QString>

#include "common/Module_dependant.h"
#include "common/Text.h"
#include "platform/HdxError.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Official_Record.h"
#include "review/Margins.h"

namespace Results_Export {

namespace {

// The recording's file name without its folder; a bare name ("heat.nx3", as
// given on a command line) is its own name.
std::string Name_Part(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string Result_Word(int32_t goal) {
    if (goal < DNF_Code) return "time";
    if (goal == DNF_Code) return "DNF";
    if (goal == DSQ_Code) return "DSQ";
    if (goal == No_Rank_Code) return "no rank";
    return "no time";
}

std::string Number_Or_Null(const std::optional<int32_t>& v) { return v ? std::to_string(*v) : "null"; }
std::string Number_Or_Empty(const std::optional<int32_t>& v) { return v ? std::to_string(*v) : ""; }

// The columns of a row: its name, its CSV text and its JSON value. A new
// column (a margin, a weight) is one more line here.
struct Column {
    const char* name;
    std::function<std::string(const Export_Row&)> csv;
    std::function<std::string(const Export_Row&)> json;
    bool free_text = false;  // from a programme: neutralised in the CSV
};

const std::vector<Column>& Row_Columns() {
    static const std::vector<Column> columns = {
        {"rank", [](const Export_Row& r) { return r.rank; },
         [](const Export_Row& r) { return r.rank.empty() ? std::string("null") : r.rank; }},
        {"box", [](const Export_Row& r) { return std::to_string(r.box); },
         [](const Export_Row& r) { return std::to_string(r.box); }},
        {"dog", [](const Export_Row& r) { return r.dog; }, [](const Export_Row& r) { return Json_String(r.dog); },
         true},
        {"time", [](const Export_Row& r) { return r.time; }, [](const Export_Row& r) { return Json_String(r.time); }},
        {"time_ms", [](const Export_Row& r) { return Number_Or_Empty(r.time_ms); },
         [](const Export_Row& r) { return Number_Or_Null(r.time_ms); }},
        {"split", [](const Export_Row& r) { return r.split; },
         [](const Export_Row& r) { return Json_String(r.split); }},
        {"split_ms", [](const Export_Row& r) { return Number_Or_Empty(r.split_ms); },
         [](const Export_Row& r) { return Number_Or_Null(r.split_ms); }},
        {"result", [](const Export_Row& r) { return r.result; },
         [](const Export_Row& r) { return Json_String(r.result); }},
        {"dead_heat", [](const Export_Row& r) { return std::string(r.dead_heat ? "true" : "false"); },
         [](const Export_Row& r) { return std::string(r.dead_heat ? "true" : "false"); }},
        {"margin", [](const Export_Row& r) { return r.margin.value_or(""); },
         [](const Export_Row& r) { return r.margin ? Json_String(*r.margin) : std::string("null"); }},
    };
    return columns;
}

// The columns of a CSV line: the heat's own (repeated on every line so that
// one line stands alone), then the row's. New columns go at the end only:
// readers take them by position. Free text (from a programme) is neutralised
// against spreadsheet formulas; numbers, even negative ones, stay numbers.
struct Csv_Column {
    const char* name;
    std::function<std::string(const Heat_Results&, const Export_Row&)> text;
    bool free_text;
};

const std::vector<Csv_Column>& Csv_Line_Columns() {
    static const std::vector<Csv_Column> columns = [] {
        std::vector<Csv_Column> c = {
            {"event", [](const Heat_Results& h, const Export_Row&) { return h.event; }, true},
            {"heat_id", [](const Heat_Results& h, const Export_Row&) { return h.heat_id; }, true},
            {"heat_name", [](const Heat_Results& h, const Export_Row&) { return h.heat_name; }, true},
            {"status", [](const Heat_Results& h, const Export_Row&) { return h.status; }, false},
        };
        for (const Column& r : Row_Columns())
            c.push_back(
                {r.name, [csv = r.csv](const Heat_Results&, const Export_Row& row) { return csv(row); }, r.free_text});
        c.push_back(
            {"revision", [](const Heat_Results& h, const Export_Row&) { return std::to_string(h.revision); }, false});
        // When the heat was declared official, empty while it is provisional.
        c.push_back({"declared_at",
                     [](const Heat_Results& h, const Export_Row&) { return h.official ? h.declared_at : ""; }, false});
        return c;
    }();
    return columns;
}

std::string Valid_Utf8(const std::string& text) { return QString::fromUtf8(text).toUtf8().toStdString(); }

bool Numeric(const std::string& s, long long& value) {
    if (s.empty() || s.size() > 12) return false;
    for (const char c : s)
        if (c < '0' || c > '9') return false;
    value = std::stoll(s);
    return true;
}

// The rows of a ranked array, boxes without a dog and without any time left out.
void Add_Rows(Heat_Results& heat, const Result_Array_Type& ranked, int32_t box_delay, const Margin_Table& margins);

}  // namespace

Heat_Results From_Ranked(cls_VideoFile_handler& handler, const Result_Array_Type& ranked, int32_t box_delay,
                         const Margin_Table& margins) {
    Heat_Results heat;
    heat.file = Name_Part(handler.File_name());
    heat.event = handler.Hdx_event();
    heat.heat_id = handler.Hdx_Heat_ID();
    heat.heat_name = handler.Hdx_Heat_Name();
    heat.started = handler.Hdx_start_DateTime();
    heat.box_delay = box_delay;
    const Official_Record::Declaration d = Official_Record::Read_Declaration(handler);
    heat.official = d.official;
    heat.declared_at = d.declared_at;
    heat.frames_sha256 = d.frames_sha256;
    if (d.official) {
        // Every change after the declaration is in the trail, so its length is the revision.
        heat.revision = static_cast<int>(Official_Record::Read_Trail(handler.File_name()).size());
        heat.status = heat.revision > 0 ? "amended" : "official";
    }
    Add_Rows(heat, ranked, box_delay, margins);
    return heat;
}

Heat_Results From_Result(const Heat_Result& result, const Margin_Table& margins) {
    // An official heat whose trail cannot be read is not exported as unchanged.
    if (result.Declaration.official && !result.Trail_Problem.empty())
        throw HdxError(HdxErr::TypeMismatch, result.Trail_Problem);
    Heat_Results heat;
    heat.file = Name_Part(result.File);
    heat.event = result.Event;
    heat.heat_id = result.Heat_ID;
    heat.heat_name = result.Heat_Name;
    heat.started = result.Started;
    heat.box_delay = result.Box_Delay;
    heat.official = result.Declaration.official;
    heat.declared_at = result.Declaration.declared_at;
    heat.frames_sha256 = result.Declaration.frames_sha256;
    heat.status = result.Status();
    if (heat.official) heat.revision = static_cast<int>(result.Trail.size());
    Add_Rows(heat, result.Ranked, result.Box_Delay, margins);
    return heat;
}

namespace {

void Add_Rows(Heat_Results& heat, const Result_Array_Type& ranked, int32_t box_delay, const Margin_Table& margins) {
    const Result_Rows_Type shown = Module_Results::Result_Rows(ranked, box_delay);
    const std::array<std::string, 6> margin = Margins::Margin_Texts(ranked, margins);
    for (size_t i = 0; i < ranked.size(); ++i) {
        const Result_Record& rec = ranked[i];
        const bool timed = rec.Goal_Time < DNF_Code;
        const bool split = rec.Split_Time < DNF_Code;
        if (rec.Dog_Name.empty() && rec.Goal_Time == No_Time && rec.Split_Time == No_Time) continue;
        Export_Row row;
        row.box = rec.Box;
        row.dog = rec.Dog_Name;
        row.rank = timed ? shown[i].Rank : "";
        row.result = Result_Word(rec.Goal_Time);
        row.dead_heat = rec.Dead_Heat;
        if (i < margin.size() && !margin[i].empty()) row.margin = margin[i];
        if (timed) {
            row.time_ms = rec.Goal_Time + box_delay;
            row.time = Display_Mill_Time(*row.time_ms, true);
        }
        if (split) {
            row.split_ms = rec.Split_Time + box_delay;
            row.split = Display_Mill_Time(*row.split_ms, true);
        }
        heat.rows.push_back(std::move(row));
    }
}

}  // namespace

Heat_Results Read_Heat(cls_VideoFile_handler& handler, int32_t box_delay, const Margin_Table& margins) {
    Result_Array_Type ranked;
    if (!Module_Results::Load_Result_Array(handler, ranked))
        throw HdxError(HdxErr::TypeMismatch, "The results of " + handler.File_name() + " cannot be read");
    Module_Results::Sort_Result_Array(ranked);
    return From_Ranked(handler, ranked, box_delay, margins);
}

void Sort_Heats(std::vector<Heat_Results>& heats) {
    std::stable_sort(heats.begin(), heats.end(), [](const Heat_Results& a, const Heat_Results& b) {
        long long na = 0, nb = 0;
        const bool a_num = Numeric(a.heat_id, na), b_num = Numeric(b.heat_id, nb);
        if (a_num != b_num) return a_num;
        if (a_num && na != nb) return na < nb;
        if (!a_num && a.heat_id != b.heat_id) return a.heat_id < b.heat_id;
        if (a.started != b.started) return a.started < b.started;
        return a.file < b.file;
    });
}

std::vector<std::string> Csv_Columns() {
    std::vector<std::string> names;
    for (const Csv_Column& c : Csv_Line_Columns()) names.emplace_back(c.name);
    return names;
}

std::string Csv_Field(const std::string& text) {
    const std::string valid = Valid_Utf8(text);
    if (valid.find_first_of(",\"\r\n") == std::string::npos) return valid;
    std::string out = "\"";
    for (const char c : valid) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string Csv_Text(const std::string& text) {
    const std::string valid = Valid_Utf8(text);
    if (valid.empty() || std::string_view("=+-@\t\r").find(valid.front()) == std::string_view::npos)
        return Csv_Field(valid);
    // The quote keeps the cell text in every spreadsheet; quoting the field makes it one reading.
    std::string out = "\"'";
    for (const char c : valid) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string To_Csv(const std::vector<Heat_Results>& heats) {
    std::string out;
    const std::vector<std::string> names = Csv_Columns();
    for (size_t i = 0; i < names.size(); ++i) out += (i ? "," : "") + names[i];
    out += "\r\n";
    for (const Heat_Results& heat : heats) {
        for (const Export_Row& row : heat.rows) {
            const std::vector<Csv_Column>& columns = Csv_Line_Columns();
            for (size_t i = 0; i < columns.size(); ++i) {
                const std::string text = columns[i].text(heat, row);
                out += (i ? "," : "") + (columns[i].free_text ? Csv_Text(text) : Csv_Field(text));
            }
            out += "\r\n";
        }
    }
    return out;
}

std::string Json_String(const std::string& text) { return Json_Text(Valid_Utf8(text)); }

std::string To_Json(const Heat_Results& heat, bool compact) {
    const std::string nl = compact ? "" : "\n";
    const std::string in = compact ? "" : "  ";
    const std::string sp = compact ? "" : " ";
    auto pair = [&](const char* key, const std::string& value) { return Json_String(key) + ":" + sp + value; };
    std::vector<std::string> fields = {
        pair("event", Json_String(heat.event)),
        pair("heat_id", Json_String(heat.heat_id)),
        pair("heat_name", Json_String(heat.heat_name)),
        pair("started", Json_String(heat.started)),
        pair("file", Json_String(heat.file)),
        pair("box_delay_ms", std::to_string(heat.box_delay)),
        pair("status", Json_String(heat.status)),
        pair("revision", std::to_string(heat.revision)),
        pair("declared_at", heat.official ? Json_String(heat.declared_at) : "null"),
        pair("frames_sha256", heat.official ? Json_String(heat.frames_sha256) : "null"),
    };
    std::string rows = "[";
    for (size_t i = 0; i < heat.rows.size(); ++i) {
        std::string row = "{";
        const auto& columns = Row_Columns();
        for (size_t c = 0; c < columns.size(); ++c)
            row += (c ? "," + sp : "") + pair(columns[c].name, columns[c].json(heat.rows[i]));
        rows += (i ? "," : "") + nl + in + in + row + "}";
    }
    rows += (heat.rows.empty() ? "" : nl + in) + "]";
    fields.push_back(pair("results", rows));
    std::string out = "{";
    for (size_t i = 0; i < fields.size(); ++i) out += (i ? "," : "") + nl + in + fields[i];
    return out + nl + "}";
}

std::string To_Json(const std::string& event, const std::vector<Heat_Results>& heats) {
    std::string out = "{\n  \"event\": " + Json_String(event) + ",\n  \"heats\": [";
    for (size_t i = 0; i < heats.size(); ++i) {
        // Each heat's object, indented one level deeper.
        std::string heat = "    " + To_Json(heats[i]);
        for (size_t at = heat.find('\n'); at != std::string::npos; at = heat.find('\n', at + 1))
            heat.insert(at + 1, "    ");
        out += (i ? ",\n" : "\n") + heat;
    }
    return out + (heats.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

}  // namespace Results_Export
