// houndex-nx3: looks at and makes NX3 recordings without the program's window:
// their facts, frame list, header document, single frames as pictures, the
// heat's ranked result, a layout check, and new recordings from raw frames.
// Exit status 0 on success, 1 for a file it cannot use, 2 for wrong usage.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>

#include "capture/Stored_Frames.h"
#include "common/Text.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "recording/Binary_File.h"
#include "recording/NX3_Layout.h"
#include "recording/cls_VideoFile_handler.h"
#include "recording/mIntelJPEGLibrary.h"
#include "review/Finish_Strip.h"
#include "review/Goal_Line.h"
#include "review/Margins.h"
#include "review/Module_Results.h"
#include "review/Official_Record.h"
#include "review/Results_Export.h"
#include "common/Module_dependant.h"
#include "Video_Export.h"

namespace {

const char* const Usage_Text =
    "usage: houndex-nx3 COMMAND ...\n"
    "  info FILE [--json]             facts of the recording\n"
    "  frames FILE [--json]           one line (object) per frame\n"
    "  header FILE                    the header document text\n"
    "  export FILE FRAME OUT.png|OUT.jpg [--field 1|2] [--overwrite]\n"
    "                                 the decoded frame (or one field of it) as a picture\n"
    "  results FILE [--box-delay MS] [--seconds-per-length S] [--csv|--json]\n"
    "                                 the ranked result: one tab-separated line per box with a\n"
    "                                 dog or a result (rank, box, dog, time, split, and last the\n"
    "                                 margin behind the dog above), or the export as CSV or JSON\n"
    "  meeting FOLDER [--event NAME] --csv|--json [--box-delay MS] [--seconds-per-length S]\n"
    "                                 every heat of an event from its recordings, in heat order\n"
    "  strip FILE OUT.png [--width PX] [--column PX] [--overwrite]\n"
    "                                 the finish strip: the goal line's pixels of every field\n"
    "                                 side by side, with a time scale below\n"
    "  An existing OUT is never written over; export and strip replace it with --overwrite.\n"
    "  verify FILE                    checks the layout of a complete recording and, when it was\n"
    "                                 declared official, its frames and results against the\n"
    "                                 declaration and the chained audit trail beside it\n"
    "  create OUT --size WxH [--fps F] [--interlaced] [--start-mill M]\n"
    "         [--event TEXT] [--heat-id TEXT] [--heat-name TEXT]\n"
    "                                 a new recording from raw bgr24 frames on standard input\n"
    "  video FILE OUT.mkv [--from N] [--to M] [--field-rate] [--burn-in]\n"
    "                                 the frames as a Matroska video timed by their capture\n"
    "                                 stamps (the JPEGs unchanged), the heat's names as tags;\n"
    "                                 --field-rate: one picture per field; --burn-in: the\n"
    "                                 race time drawn in each picture's corner\n"
    "  --help, --version\n";

constexpr int Exit_Ok = 0;
constexpr int Exit_File = 1;
constexpr int Exit_Usage = 2;

struct Usage_Error {
    std::string text;
};

void Say(const std::string& text) { std::fprintf(stderr, "houndex-nx3: %s\n", text.c_str()); }

// Messages the handler would show in a box go to standard error; a command
// that reports per frame in its own output can silence them.
class Tool_Dialogs : public Platform::ConsoleDialogs {
public:
    Platform::MsgResult Message_Box(const std::string& text, Platform::MsgButtons buttons, Platform::MsgIcon,
                                    const std::string&) override {
        if (!quiet) {
            std::string one_line = text;
            for (char& c : one_line)
                if (c == '\r' || c == '\n') c = ' ';
            Say(one_line);
        }
        return Platform::Default_Answer(buttons);
    }
    bool quiet = false;
};

class Tool_Errors : public IErrorReporter {
public:
    void Report(const std::string& description, int16_t number, int32_t, const std::string& location,
                const std::string&) override {
        ++count;
        if (!quiet) Say(description + " (error " + std::to_string(number) + " in " + location + ")");
    }
    int count = 0;
    bool quiet = false;
};

Tool_Dialogs g_dialogs;
Tool_Errors g_errors;

// ---- small helpers ----------------------------------------------------------

// One field of an info or frame record: the JSON text of its value and the
// plain text, or nothing when the value could not be read.
struct Field {
    std::string key;
    std::optional<std::string> json, plain;
};

Field Number(const std::string& key, int64_t v) { return {key, std::to_string(v), std::to_string(v)}; }
Field Text(const std::string& key, const std::string& v) { return {key, Json_Text(v), v}; }
Field Flag(const std::string& key, bool v) { return {key, v ? "true" : "false", v ? "true" : "false"}; }
Field Null(const std::string& key) { return {key, std::nullopt, std::nullopt}; }

// A header value that may not read: a damaged document gives null.
template <typename Get, typename Make>
Field Try(const std::string& key, Get get, Make make) {
    try {
        return make(key, get());
    } catch (const std::exception&) {
        return Null(key);
    }
}

std::string Json_Object(const std::vector<Field>& fields) {
    std::string out = "{";
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) out += ", ";
        out += Json_Text(fields[i].key) + ": " + fields[i].json.value_or("null");
    }
    return out + "}";
}

void Print_Lines(const std::vector<Field>& fields) {
    for (const Field& f : fields) std::printf("%s: %s\n", f.key.c_str(), f.plain.value_or("-").c_str());
}

// Arguments after the command: positional ones and --options.
struct Args {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options;  // name, value ("" for flags)

    bool Has(const std::string& name) const {
        for (const auto& o : options)
            if (o.first == name) return true;
        return false;
    }
    std::optional<std::string> Value(const std::string& name) const {
        for (const auto& o : options)
            if (o.first == name) return o.second;
        return std::nullopt;
    }
};

Args Parse_Args(int argc, char** argv, int first, const std::vector<std::string>& with_value,
                const std::vector<std::string>& flags) {
    Args a;
    for (int i = first; i < argc; ++i) {
        const std::string s = argv[i];
        if (s.size() > 2 && s.compare(0, 2, "--") == 0) {
            bool known = false;
            for (const auto& name : with_value) {
                if (s == name) {
                    if (i + 1 >= argc) throw Usage_Error{s + " needs a value"};
                    a.options.emplace_back(s, argv[++i]);
                    known = true;
                }
            }
            for (const auto& name : flags) {
                if (s == name) {
                    a.options.emplace_back(s, "");
                    known = true;
                }
            }
            if (!known) throw Usage_Error{"unknown option " + s};
        } else {
            a.positional.push_back(s);
        }
    }
    return a;
}

void Expect_Positional(const Args& a, size_t count, const char* what) {
    if (a.positional.size() != count) throw Usage_Error{std::string("expected ") + what};
}

// Opens a recording for reading; the reason it cannot is already on standard error.
bool Open(cls_VideoFile_handler& h, const std::string& path) {
    if (!Platform::File_Exists(path)) {
        Say("no such file: " + path);
        return false;
    }
    if (!h.Open_File(path)) {
        Say("cannot open " + path);
        return false;
    }
    return true;
}

// An existing file is written over only when the user asked with --overwrite,
// and a folder never. True when out may be written.
bool May_Write(const Args& a, const std::string& out) {
    if (Platform::Folder_Exists(out)) {
        Say("a folder is in the way: " + out);
        return false;
    }
    if (Platform::File_Exists(out) && !a.Has("--overwrite")) {
        Say("file already exists: " + out + " (--overwrite replaces it)");
        return false;
    }
    return true;
}

// ---- commands ---------------------------------------------------------------

int Command_Info(const Args& a) {
    Expect_Positional(a, 1, "FILE");
    cls_VideoFile_handler h;
    if (!Open(h, a.positional[0])) return Exit_File;
    Cls_XML_header& doc = h.Header();
    std::vector<Field> fields = {
        Text("file", a.positional[0]),
        Number("file_size", Platform::File_Size(a.positional[0])),
        Number("frames", h.num_Frames()),
        Number("fields", h.Num_fields()),
        Number("sample_size", h.Read_Sample_Size()),
        Try(
            "image_size", [&] { return int64_t{doc.RGB_Image_size()}; }, Number),
        Number("width", h.Width()),
        Number("height", h.Height()),
        Flag("interlaced", h.RGB_interlaced()),
        Flag("fields_stacked", h.Fields_Stacked()),
        Flag("rotated", h.RGB_Rotated()),
        Try(
            "frame_stamp", [&] { return doc.Frame_Stamp(); }, Text),
        Try(
            "fps", [&] { return int64_t{h.Measured_fps()}; }, Number),
        Try(
            "segments", [&] { return int64_t{doc.Segments_no()}; }, Number),
        Try(
            "header_frames", [&] { return int64_t{doc.G_Frames_no()}; }, Number),
        Try(
            "event", [&] { return doc.Hdx_event(); }, Text),
        Try(
            "heat_id", [&] { return doc.Hdx_Heat_ID(); }, Text),
        Try(
            "heat_name", [&] { return doc.Hdx_Heat_Name(); }, Text),
        Try(
            "start_pc_mill", [&] { return int64_t{h.Hdx_start_PC_mill()}; }, Number),
        Try(
            "start_local_mill", [&] { return int64_t{doc.Hdx_heat_start_Local_mill()}; }, Number),
        Try(
            "start_datetime", [&] { return doc.Hdx_start_DateTime(); }, Text),
        Try(
            "creation_date", [&] { return doc.Creation_date(); }, Text),
        Text("fourcc", h.Fourcc()),
        Text("codec", h.Codec()),
        Number("base_quality", h.Base_Quality()),
        Flag("read_only", h.Read_only()),
    };
    if (a.Has("--json"))
        std::printf("%s\n", Json_Object(fields).c_str());
    else
        Print_Lines(fields);
    return Exit_Ok;
}

int Command_Frames(const Args& a) {
    Expect_Positional(a, 1, "FILE");
    cls_VideoFile_handler h;
    if (!Open(h, a.positional[0])) return Exit_File;
    const bool json = a.Has("--json");
    // Damage shows in the status column; the per-frame notices would only repeat it.
    g_dialogs.quiet = true;
    g_errors.quiet = true;
    if (json)
        std::printf("[");
    else
        std::printf("frame\tcapture_mill\tcapture_delta\tcapture_local\tjpeg_size\tquality\tstatus\n");
    for (int32_t f = 1; f <= h.num_Frames(); ++f) {
        const bool held = h.Read_RGB_sample(static_cast<int16_t>(f), true);
        std::vector<Field> fields{Number("frame", f)};
        const char* status = "ok";
        if (h.Bad_Sample() || !held) {
            status = h.Bad_Sample() ? "bad_sample" : "damaged";
            for (const char* key : {"capture_mill", "capture_delta", "capture_local", "jpeg_size", "quality"})
                fields.push_back(Null(key));
        } else {
            if (h.Damaged_Frame()) status = "damaged";
            fields.push_back(Number("capture_mill", h.NX3_Capture_mill()));
            fields.push_back(Number("capture_delta", h.Sample_Capture_Delta()));
            fields.push_back(Number("capture_local", h.NX3_Capture_local()));
            fields.push_back(Number("jpeg_size", h.NX3_JPEG_Size()));
            fields.push_back(Number("quality", h.Sample_Quality()));
        }
        fields.push_back(Text("status", status));
        if (json) {
            std::printf("%s%s", f > 1 ? ",\n " : "", Json_Object(fields).c_str());
        } else {
            std::string line;
            for (size_t i = 0; i < fields.size(); ++i) line += (i ? "\t" : "") + fields[i].plain.value_or("-");
            std::printf("%s\n", line.c_str());
        }
    }
    if (json) std::printf("]\n");
    return Exit_Ok;
}

int Command_Header(const Args& a) {
    Expect_Positional(a, 1, "FILE");
    const std::string& path = a.positional[0];
    try {
        Binary_File file;
        file.Open(path, Binary_File::Mode::Read);
        std::vector<uint8_t> block(NX3::Header_Block_Size);
        const size_t got = file.Read(block.data(), block.size());
        const NX3::Header_Text h = NX3::Parse_Header_Block(block.data(), got);
        if (!h.ok) {
            Say(path + ": " + h.problem);
            return Exit_File;
        }
        std::fwrite(h.text.data(), 1, h.text.size(), stdout);
        if (h.text.empty() || h.text.back() != '\n') std::fputc('\n', stdout);
        return Exit_Ok;
    } catch (const std::exception& e) {
        Say(e.what());
    }
    return Exit_File;
}

// The picture upright, in the usual top-down row order.
QImage Upright_Image(const cDIBSection& picture) {
    QImage image(picture.Width(), picture.Height(), QImage::Format_BGR888);
    for (int32_t y = 0; y < picture.Height(); ++y)
        std::memcpy(image.scanLine(y), picture.Scan_Line(y), static_cast<size_t>(picture.Width()) * 3);
    return image;
}

int Command_Export(const Args& a) {
    Expect_Positional(a, 3, "FILE FRAME OUT.png|OUT.jpg");
    const std::string& path = a.positional[0];
    const std::string& out = a.positional[2];
    const std::string suffix = Lower_Case(File_Suffix(out));
    if (suffix != "png" && suffix != "jpg" && suffix != "jpeg")
        throw Usage_Error{"the picture must be a .png or .jpg file: " + out};
    int64_t field = 0;
    if (const auto f = a.Value("--field")) {
        if (!Whole_Number_In(*f, 1, 2, field)) throw Usage_Error{"--field takes 1 or 2"};
    }
    int64_t frame = 0;
    if (!Whole_Number_In(a.positional[1], 1, NX3::Max_Frames, frame))
        throw Usage_Error{"FRAME must be a frame number from 1: " + a.positional[1]};

    if (!May_Write(a, out)) return Exit_File;
    cls_VideoFile_handler h;
    if (!Open(h, path)) return Exit_File;
    if (frame > h.num_Frames())
        throw Usage_Error{"frame " + std::to_string(frame) + " is not in this recording of " +
                          std::to_string(h.num_Frames()) + " frames"};
    // A progressive frame has no fields: half its rows would be half a picture.
    if (field && !h.Reviewed_By_Field()) throw Usage_Error{"--field needs an interlaced recording"};
    const cDIBSection* picture = field ? h.Prepare_RGB_Field(static_cast<int32_t>(2 * frame - 2 + field))
                                       : h.Prepare_RGB_frame(static_cast<int16_t>(frame));
    if (h.Bad_Sample()) {
        Say("frame " + std::to_string(frame) + " has no sample at its position");
        return Exit_File;
    }
    if (h.Read_Error() || !picture) {
        Say("frame " + std::to_string(frame) + " cannot be read");
        return Exit_File;
    }
    if (h.Damaged_Frame()) {
        Say("frame " + std::to_string(frame) + " is damaged: its JPEG does not decode");
        return Exit_File;
    }

    std::string bytes;
    if (suffix == "png") {
        QByteArray data;
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        if (!Upright_Image(*picture).save(&buffer, "PNG")) {
            Say("cannot make the PNG picture");
            return Exit_File;
        }
        bytes.assign(data.constData(), static_cast<size_t>(data.size()));
    } else {
        std::vector<uint8_t> jpeg(
            static_cast<size_t>(mIntelJPEGLibrary::Worst_Case_Size(picture->Width(), picture->Height())));
        int32_t size = static_cast<int32_t>(jpeg.size());
        try {
            mIntelJPEGLibrary::Encode_DIB_To_JPG(*picture, jpeg.data(), size, 95);
        } catch (const std::exception& e) {
            Say(e.what());
            return Exit_File;
        }
        bytes.assign(reinterpret_cast<const char*>(jpeg.data()), static_cast<size_t>(size));
    }
    std::string error;
    if (!Platform::Write_File_Atomic(out, bytes, &error)) {
        Say("cannot write " + out + ": " + error);
        return Exit_File;
    }
    return Exit_Ok;
}

// --csv or --json (not both); none keeps the tab-separated lines.
enum class Format { Lines, Csv, Json };
Format Export_Format(const Args& a) {
    if (a.Has("--csv") && a.Has("--json")) throw Usage_Error{"choose one of --csv and --json"};
    return a.Has("--csv") ? Format::Csv : a.Has("--json") ? Format::Json : Format::Lines;
}

std::optional<int32_t> Box_Delay_Option(const Args& a) {
    int64_t delay = 0;
    const auto given = a.Value("--box-delay");
    if (!given) return std::nullopt;
    if (!Whole_Number_In(*given, -86400000, 86400000, delay)) throw Usage_Error{"--box-delay takes whole milliseconds"};
    return static_cast<int32_t>(delay);
}

// The distance table of --seconds-per-length (greyhound racing's 0.08 s without it).
Margin_Table Margin_Option(const Args& a) {
    Margin_Table table;
    if (const auto length = a.Value("--seconds-per-length");
        length && !Margins::Parse_Setting(*length, 10.0, table.Seconds_Per_Length))
        throw Usage_Error{"--seconds-per-length takes a positive number of seconds, e.g. 0.08"};
    return table;
}

void Write_Out(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

int Command_Results(const Args& a) {
    Expect_Positional(a, 1, "FILE");
    const Format format = Export_Format(a);
    const std::optional<int32_t> given = Box_Delay_Option(a);
    const Margin_Table table = Margin_Option(a);
    cls_VideoFile_handler h;
    if (!Open(h, a.positional[0])) return Exit_File;
    const int32_t delay = given ? *given : h.Hdx_box_delay();  // the delay the heat was run with
    Result_Array_Type results;
    if (!Module_Results::Load_Result_Array(h, results)) return Exit_File;
    Module_Results::Sort_Result_Array(results);
    const int errors_before = g_errors.count;
    if (format == Format::Lines) {
        const Result_Rows_Type rows = Module_Results::Result_Rows(results, delay);
        const std::array<std::string, 6> margins = Margins::Margin_Texts(results, table);
        for (size_t r = 0; r < rows.size(); ++r) {
            if (!Module_Results::Has_Result(rows[r])) continue;
            // The box after the rank: dogs without names stay apart.
            std::string line = Module_Results::Export_Line(rows[r]);
            line.insert(line.find('\t') + 1, std::to_string(rows[r].Box) + "\t");
            // The margin is always the sixth column: a row without a split gets an empty one.
            if (!margins[r].empty()) {
                if (std::count(line.begin(), line.end(), '\t') < 4) line += "\t";
                line += "\t" + margins[r];
            }
            std::printf("%s\n", line.c_str());
        }
        return g_errors.count > errors_before ? Exit_File : Exit_Ok;
    }
    const Results_Export::Heat_Results heat = Results_Export::From_Ranked(h, results, delay, table);
    // A problem reported on the way (on standard error) is no clean export.
    if (g_errors.count > errors_before) return Exit_File;
    Write_Out(format == Format::Csv ? Results_Export::To_Csv({heat}) : Results_Export::To_Json(heat) + "\n");
    return Exit_Ok;
}

int Command_Strip(const Args& a) {
    Expect_Positional(a, 2, "FILE OUT.png");
    const std::string& out = a.positional[1];
    if (Lower_Case(File_Suffix(out)) != "png") throw Usage_Error{"the strip must be a .png file: " + out};
    int64_t width = 0, column = 2;
    if (const auto w = a.Value("--width"); w && !Whole_Number_In(*w, 16, 32000, width))
        throw Usage_Error{"--width takes pixels from 16 to 32000"};
    if (const auto c = a.Value("--column"); c && !Whole_Number_In(*c, 1, 16, column))
        throw Usage_Error{"--column takes pixels from 1 to 16"};
    if (!May_Write(a, out)) return Exit_File;
    cls_VideoFile_handler h;
    if (!Open(h, a.positional[0])) return Exit_File;
    Goal_Line_Points line;
    try {
        line = Goal_Line::Parse_Header_Line(h.Hdx_Goal_Finish());
    } catch (const std::exception&) {
        // A recording without a goal line of its own: the line a new review starts with.
        line = Goal_Line::Reset_Goal_Line(h.Width(), h.Height());
        Say("no goal line in the recording; the strip follows the middle of the picture");
    }
    const Finish_Strip strip = Finish_Strip_Builder::Build(h, line, static_cast<int32_t>(column), [](int percent) {
        std::fprintf(stderr, "\rstrip: %3d %%", percent);
        if (percent == 100) std::fprintf(stderr, "\n");
    });
    if (strip.Picture.isNull()) {
        Say("no strip: the recording has no fields, or the goal line lies off its pictures");
        return Exit_File;
    }
    const QImage picture = width > 0 ? Finish_Strip_Builder::Scaled(strip, static_cast<int32_t>(width)) : strip.Picture;
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "PNG")) {
        Say("cannot encode the strip as PNG");
        return Exit_File;
    }
    std::string error;
    if (!Platform::Write_File_Atomic(out, std::string(data.constData(), static_cast<size_t>(data.size())), &error)) {
        Say("cannot write " + out + ": " + error);
        return Exit_File;
    }
    return Exit_Ok;
}

int Command_Meeting(const Args& a) {
    Expect_Positional(a, 1, "FOLDER");
    const Format format = Export_Format(a);
    if (format == Format::Lines) throw Usage_Error{"meeting needs --csv or --json"};
    const std::optional<int32_t> given = Box_Delay_Option(a);
    const Margin_Table table = Margin_Option(a);
    const std::string& folder = a.positional[0];
    if (!Platform::Folder_Exists(folder)) {
        Say("no such folder: " + folder);
        return Exit_File;
    }
    std::vector<std::string> paths;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.is_regular_file() && Lower_Case(entry.path().extension().string()) == ".nx3")
            paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    if (ec) {
        Say("cannot list " + folder + ": " + ec.message());
        return Exit_File;
    }
    // A recording that cannot be read is named and left out; the others are still written.
    int status = Exit_Ok;
    std::vector<Results_Export::Heat_Results> heats;
    for (const std::string& path : paths) {
        cls_VideoFile_handler h;
        g_errors.quiet = true;
        g_dialogs.quiet = true;
        const bool opened = h.Open_File(path);
        g_errors.quiet = false;
        g_dialogs.quiet = false;
        try {
            if (!opened) throw std::runtime_error("it is no readable recording");
            heats.push_back(Results_Export::Read_Heat(h, given ? *given : h.Hdx_box_delay(), table));
        } catch (const std::exception& e) {
            Say("left out " + path + ": " + e.what());
            status = Exit_File;
        }
    }
    std::vector<std::string> events;
    for (const auto& heat : heats)
        if (std::find(events.begin(), events.end(), heat.event) == events.end()) events.push_back(heat.event);
    std::string event;
    if (const auto wanted = a.Value("--event")) {
        event = *wanted;
        std::erase_if(heats, [&](const Results_Export::Heat_Results& h) { return h.event != event; });
        if (heats.empty()) {
            Say("no recording of the event \"" + event + "\" in " + folder);
            return Exit_File;
        }
    } else if (events.size() > 1) {
        std::string list;
        for (const auto& e : events) list += (list.empty() ? "\"" : ", \"") + e + "\"";
        Say("the folder holds recordings of " + std::to_string(events.size()) + " events (" + list +
            "); choose one with --event NAME");
        return Exit_Usage;
    } else if (!events.empty()) {
        event = events.front();
    }
    Results_Export::Sort_Heats(heats);
    Write_Out(format == Format::Csv ? Results_Export::To_Csv(heats) : Results_Export::To_Json(event, heats));
    return status;
}

int Command_Verify(const Args& a) {
    Expect_Positional(a, 1, "FILE");
    const std::string& path = a.positional[0];
    if (!Platform::File_Exists(path)) {
        Say("no such file: " + path);
        return Exit_File;
    }
    std::vector<std::string> problems = NX3::Verify_File(path);
    std::vector<std::string> notes;
    // An official heat: its frames, its results and the trail of its changes since the declaration.
    cls_VideoFile_handler h;
    h.Set_Repair_Header(false);  // a check changes nothing
    g_errors.quiet = true;
    g_dialogs.quiet = true;
    const bool opened = h.Open_File(path);
    g_errors.quiet = false;
    g_dialogs.quiet = false;
    if (opened) {
        if (!h.Header_Recovered().empty()) notes.push_back(h.Header_Recovered());
        const Official_Record::Evidence e = Official_Record::Check_Evidence(h, true);
        problems.insert(problems.end(), e.problems.begin(), e.problems.end());
        notes.insert(notes.end(), e.notes.begin(), e.notes.end());
    } else if (Platform::File_Exists(Official_Record::Audit_Path(path))) {
        problems.push_back("the header cannot be read, so the audit trail " + Official_Record::Audit_Path(path) +
                           " cannot be checked against it");
    }
    h.Close_File();
    for (const std::string& p : problems) std::printf("%s\n", p.c_str());
    for (const std::string& n : notes) std::printf("%s\n", n.c_str());
    return problems.empty() ? Exit_Ok : Exit_File;
}

int Command_Create(const Args& a) {
    Expect_Positional(a, 1, "OUT");
    const std::string& out = a.positional[0];
    const auto size = a.Value("--size");
    if (!size) throw Usage_Error{"create needs --size WxH"};
    const size_t x = size->find_first_of("xX");
    int64_t width = 0, height = 0;
    if (x == std::string::npos || !Whole_Number_In(size->substr(0, x), 1, 32767, width) ||
        !Whole_Number_In(size->substr(x + 1), 1, 32767, height))
        throw Usage_Error{"--size takes WxH, for example 400x880"};
    double fps = 25;
    if (const auto f = a.Value("--fps")) {
        char* end = nullptr;
        fps = std::strtod(f->c_str(), &end);
        if (!end || *end || !(fps > 0) || fps > 10000) throw Usage_Error{"--fps takes a rate above 0"};
    }
    int64_t start = 0;
    if (const auto m = a.Value("--start-mill")) {
        if (!Whole_Number_In(*m, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), start))
            throw Usage_Error{"--start-mill takes a 32-bit millisecond value"};
    }
    if (Platform::File_Exists(out) || Platform::Folder_Exists(out)) {
        Say("file already exists: " + out + " (a recording is never written over)");
        return Exit_File;
    }

    // Every frame first: the data-area size is chosen from frames of the whole pass.
    const size_t frame_bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
    const int32_t line = static_cast<int32_t>(Bytes_Per_Scan_Line(width));
    const int32_t image_size = line * static_cast<int32_t>(height);
    std::vector<uint8_t> raw(frame_bytes);
    std::vector<uint8_t> bits(static_cast<size_t>(image_size), 0);
    Stored_Frames_Collection frames;
    const int32_t local_start = Local_Mill();
    // Milliseconds after the first frame, and the PC clock value (which wraps at 32 bits).
    const auto offset_of = [&](int64_t k) { return std::llround(static_cast<double>(k) * 1000.0 / fps); };
    const auto wrap = [](int64_t m) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(m))); };
    for (int64_t k = 0;; ++k) {
        const size_t got = std::fread(raw.data(), 1, frame_bytes, stdin);
        if (got == 0) break;
        if (got < frame_bytes) {
            Say("standard input ends inside frame " + std::to_string(k + 1) + " (" + std::to_string(got) + " of " +
                std::to_string(frame_bytes) + " bytes); nothing was written");
            return Exit_File;
        }
        if (k >= NX3::Max_Frames) {
            Say("more than 32767 frames on standard input; nothing was written");
            return Exit_File;
        }
        auto frame = std::make_unique<CVideobuff_RGB>();
        frame->RGB_Length(image_size);
        // Raw rows come top first without padding; a stored frame is bottom-up and padded.
        for (int64_t y = 0; y < height; ++y)
            std::memcpy(bits.data() + static_cast<size_t>(height - 1 - y) * static_cast<size_t>(line),
                        raw.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * 3,
                        static_cast<size_t>(width) * 3);
        frame->FillData_RGB(bits.data(), bits.size());
        const int64_t offset = offset_of(k);
        const int32_t delta = wrap(offset - offset_of(k - 1));
        const int64_t local = (int64_t{local_start} + offset) % 86400000;
        frame->PutTimestamp(wrap(start + offset), static_cast<int32_t>(local), delta);
        frames.Add(std::move(frame));
    }

    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(out, ec);
    Header_Origin origin;
    origin.File_Name = ec ? out : full.string();
    cls_VideoFile_handler h;
    h.Set_File_name(out);
    h.Set_Cropped_X(static_cast<int32_t>(width));
    h.Set_Cropped_Y(static_cast<int32_t>(height));
    h.Set_RGB_interlaced(a.Has("--interlaced"));
    if (!h.Initiate_NX3_File(out, origin)) return Exit_File;
    const auto whole_fps = static_cast<int16_t>(std::min<long long>(std::llround(fps), 32767));
    try {
        h.Set_Running_Fps(whole_fps);
        h.Set_Hdx_event(a.Value("--event").value_or("Test Event"));
        h.Set_Hdx_Heat_ID(a.Value("--heat-id").value_or("1"));
        h.Set_Hdx_Heat_Name(a.Value("--heat-name").value_or("Test Heat"));
        h.Set_Hdx_start_PC_mill(static_cast<int32_t>(start));
        h.Set_Hdx_heat_start_local(local_start);
        h.Set_Hdx_start_DateTime(Date_Time_Text());
    } catch (const std::exception& e) {
        Say(e.what());
        return Exit_File;
    }
    if (!h.Write_XML_Header()) return Exit_File;
    h.Close_File();
    const int32_t count = frames.Count();
    if (count > 0) {
        h.Set_Measured_fps(whole_fps);
        const int32_t stored = h.Append_Stored_Frames(frames);
        if (stored != count) {
            Say(std::to_string(count - stored) + " of " + std::to_string(count) + " frames were not stored");
            return Exit_File;
        }
    }
    h.Close_File();
    return g_errors.count == 0 ? Exit_Ok : Exit_File;
}

int Command_Video(const Args& a) {
    Expect_Positional(a, 2, "FILE OUT.mkv");
    const std::string& out = a.positional[1];
    if (Lower_Case(File_Suffix(out)) != "mkv") throw Usage_Error{"the video must be a .mkv file: " + out};
    Video_Export::Options o;
    int64_t value = 0;
    if (const auto v = a.Value("--from")) {
        if (!Whole_Number_In(*v, 1, NX3::Max_Frames, value)) throw Usage_Error{"--from takes a frame number from 1"};
        o.from = static_cast<int32_t>(value);
    }
    if (const auto v = a.Value("--to")) {
        if (!Whole_Number_In(*v, 1, NX3::Max_Frames, value)) throw Usage_Error{"--to takes a frame number from 1"};
        o.to = static_cast<int32_t>(value);
    }
    if (o.to > 0 && o.to < o.from) throw Usage_Error{"--to must not be before --from"};
    o.field_rate = a.Has("--field-rate");
    o.burn_in = a.Has("--burn-in");

    cls_VideoFile_handler h;
    if (!Open(h, a.positional[0])) return Exit_File;
    // Damaged frames are counted and named once at the end.
    g_dialogs.quiet = true;
    g_errors.quiet = true;
    int last_step = -1;
    const Video_Export::Outcome r = Video_Export::Write_Mkv(h, out, o, [&](int32_t done, int32_t total) {
        const int step = static_cast<int>(int64_t{done} * 10 / std::max(total, 1));
        if (step != last_step && total >= 100)
            std::fprintf(stderr, "houndex-nx3: video: %d %% (%d of %d frames)\n", step * 10, done, total);
        last_step = step;
    });
    if (!r.error.empty()) {
        Say(r.error);
        return Exit_File;
    }
    if (r.skipped > 0) Say(std::to_string(r.skipped) + " damaged frames were left out");
    std::printf("%s: %d pictures\n", out.c_str(), r.pictures);
    return Exit_Ok;
}

}  // namespace

int main(int argc, char** argv) {
    // Pictures are drawn (and fonts found) without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    int qt_argc = 1;
    QGuiApplication app(qt_argc, argv);
    Platform::Set_Dialogs(&g_dialogs);
    Set_Error_Reporter(&g_errors);

    if (argc < 2) {
        std::fputs(Usage_Text, stderr);
        return Exit_Usage;
    }
    const std::string command = argv[1];
    if (command == "-h" || command == "--help" || command == "help") {
        std::fputs(Usage_Text, stdout);
        return Exit_Ok;
    }
    if (command == "--version") {
        std::printf("houndex-nx3 %s\n", HOUNDEX_VERSION);
        return Exit_Ok;
    }
    try {
        if (command == "info") return Command_Info(Parse_Args(argc, argv, 2, {}, {"--json"}));
        if (command == "frames") return Command_Frames(Parse_Args(argc, argv, 2, {}, {"--json"}));
        if (command == "header") return Command_Header(Parse_Args(argc, argv, 2, {}, {}));
        if (command == "export") return Command_Export(Parse_Args(argc, argv, 2, {"--field"}, {"--overwrite"}));
        if (command == "strip")
            return Command_Strip(Parse_Args(argc, argv, 2, {"--width", "--column"}, {"--overwrite"}));
        if (command == "results")
            return Command_Results(
                Parse_Args(argc, argv, 2, {"--box-delay", "--seconds-per-length"}, {"--csv", "--json"}));
        if (command == "meeting")
            return Command_Meeting(
                Parse_Args(argc, argv, 2, {"--box-delay", "--event", "--seconds-per-length"}, {"--csv", "--json"}));
        if (command == "verify") return Command_Verify(Parse_Args(argc, argv, 2, {}, {}));
        if (command == "create")
            return Command_Create(Parse_Args(argc, argv, 2,
                                             {"--size", "--fps", "--start-mill", "--event", "--heat-id", "--heat-name"},
                                             {"--interlaced"}));
        if (command == "video")
            return Command_Video(Parse_Args(argc, argv, 2, {"--from", "--to"}, {"--field-rate", "--burn-in"}));
        throw Usage_Error{"unknown command " + command};
    } catch (const Usage_Error& e) {
        Say(e.text);
        std::fputs(Usage_Text, stderr);
        return Exit_Usage;
    } catch (const std::exception& e) {
        Say(e.what());
        return Exit_File;
    }
}
