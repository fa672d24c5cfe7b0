#include "Seed_Writer.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "controlbox/Control_Box_Protocol.h"
#include "event/Event_File.h"
#include "metadata/Cls_XML_header.h"
#include "recording/Frame_Compressor.h"
#include "recording/Frame_Journal.h"
#include "recording/IStored_Frames.h"
#include "recording/cDIBSection.h"
#include "recording/cls_VideoFile_handler.h"
#include "recording/mIntelJPEGLibrary.h"
#include "review/Official_Record.h"
#include "settings/Module_Ini.h"

namespace fs = std::filesystem;

namespace {

// Kept frames as the capture side hands them to the writer.
class Seed_Frames : public IStored_Frames {
public:
    void Add(int32_t width, int32_t height, int seed) {
        auto p = std::make_unique<cDIBSection>();
        p->Create(width, height);
        for (int32_t y = 0; y < height; ++y) {
            uint8_t* row = p->Scan_Line(y);
            for (int32_t i = 0; i < width * 3; ++i) row[i] = static_cast<uint8_t>((i * 7 + y * 13 + seed * 29) & 0xFF);
        }
        frames_.push_back(std::move(p));
    }
    int32_t Count() const override { return static_cast<int32_t>(frames_.size()); }
    std::optional<Stored_Frame_Ref> Item(int32_t index) const override {
        if (index < 1 || index > Count()) return std::nullopt;
        const cDIBSection& p = *frames_[static_cast<size_t>(index - 1)];
        return Stored_Frame_Ref{p.DIBSectionBitsPtr(), p.SizeImage(), 5000 + 20 * index, 7000 + 20 * index, 20};
    }
    void Clear() override { frames_.clear(); }

private:
    std::vector<std::unique_ptr<cDIBSection>> frames_;
};

bool Write_Bytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

int Recordings(const std::string& dir) {
    struct Kind {
        const char* name;
        int32_t width, height, frames;
        bool interlaced, rotated;
    };
    const Kind kinds[] = {{"interlaced.nx3", 32, 16, 4, true, false},
                          {"progressive.nx3", 24, 12, 3, false, false},
                          {"rotated.nx3", 16, 32, 3, true, true}};
    int written = 0;
    for (const Kind& k : kinds) {
        const std::string path = (fs::path(dir) / k.name).string();
        fs::remove(path);
        cls_VideoFile_handler h;
        h.Set_Append_Threads(1);
        h.Set_Cropped_X(k.width);
        h.Set_Cropped_Y(k.height);
        h.Set_RGB_interlaced(k.interlaced);
        h.Set_RGB_Rotated(k.rotated);
        if (!h.Initiate_NX3_File(path)) continue;
        h.Set_Hdx_event("Autumn Cup");
        h.Set_Hdx_Heat_Name("Heat 1");
        h.Set_Hdx_Dog_name(1, "Rex");
        h.Write_XML_Header();
        h.Close_File();
        Seed_Frames frames;
        for (int i = 0; i < k.frames; ++i) frames.Add(k.width, k.height, i);
        if (h.Append_Stored_Frames(frames) == k.frames) ++written;
        h.Close_File();
    }
    return written;
}

int Header(const std::string& dir) {
    int written = 0;
    try {
        Cls_XML_header plain;
        plain.Create_Header();
        plain.Set_Hdx_event("Autumn Cup");
        plain.Set_Hdx_Dog_name(3, "Bella");
        plain.Set_Hdx_Heat_time(3, false, 31250);
        written += Write_Bytes((fs::path(dir) / "header.xml").string(), plain.XML_string());
        Cls_XML_header rgb;
        rgb.Set_rgb(true);
        rgb.Create_Header();
        rgb.Set_RGB_X(640);
        rgb.Set_RGB_Y(480);
        rgb.Set_RGB_interlaced(true);
        written += Write_Bytes((fs::path(dir) / "header_rgb.xml").string(), rgb.XML_string());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "header seed: %s\n", e.what());
    }
    return written;
}

int Events(const std::string& dir, std::string& event_path) {
    Event_File e;
    event_path = (fs::path(dir) / "event.xml").string();
    if (!e.Create_Event(event_path, "Autumn Cup", "Sat, 1-2")) return 0;
    e.Set_Heat_Name(1, "Final");
    e.Set_Heat_Length(1, "480 m");
    e.Set_Heat_Start_Time(1, "14:30");
    for (int box = 1; box <= Event_File::Box_Count; ++box) e.Set_Reg_Dog_Name(1, box, "Dog " + std::to_string(box));
    e.Set_Reg_Dog_Name(100, 8, "K\xC3\xA4the");
    return e.XML_to_File() ? 1 : 0;
}

int Imports(const std::string& dir) {
    int written = 0;
    written += Write_Bytes((fs::path(dir) / "import_crlf.txt").string(),
                           "Start 1\r\nRex\r\nBella\r\n\r\nMax\r\nStart12\r\nK\xC3\xA4the\r\n");
    written += Write_Bytes((fs::path(dir) / "import_latin1.txt").string(), "Start 3\nK\xE4the\nRex\rStart 100\nLuna\n");
    written +=
        Write_Bytes((fs::path(dir) / "import_bom.txt").string(), "\xEF\xBB\xBFStart 2\nA\nB\nC\nD\nE\nF\nG\nH\n");
    return written;
}

int Settings(const std::string& dir) {
    const std::string path = (fs::path(dir) / "settings.ini").string();
    fs::remove(path);
    const char* const pairs[][3] = {
        {"Settings", "Heat_ID", "12"},
        {"Settings", "save_folder", "/home/race/recordings"},
        {"Settings", "goal_compensation", "150"},
        {"Settings", "split_compensation", "200"},
        {"Settings", "box_delay", "35"},
        {"Settings", "current_event_file", "/home/race/Cup.xml"},
        {"Settings", "lastcrop", "2"},
        {"capturesettings", "friendlyname", "Sim camera"},
        {"capturesettings", "videoproperty", "1920x1080 BGR 50"},
        {"windowpos", "Form_Houndex", "10,20,800,600"},
    };
    int ok = 1;
    for (const auto& p : pairs) ok &= Write_Ini(p[0], p[1], p[2], path) == 1;
    return ok;
}

int Jpegs(const std::string& dir) {
    int written = 0;
    for (int32_t side : {8, 33}) {
        cDIBSection p;
        p.Create(side, side / 2 + 1);
        for (int32_t y = 0; y < p.Height(); ++y)
            for (int32_t x = 0; x < p.Width(); ++x)
                p.Set_Pixel(x, y, static_cast<uint32_t>(x * 0x0A0B0C + y * 0x010203));
        std::vector<uint8_t> out(static_cast<size_t>(mIntelJPEGLibrary::Worst_Case_Size(p.Width(), p.Height())));
        int32_t size = static_cast<int32_t>(out.size());
        try {
            mIntelJPEGLibrary::Encode_DIB_To_JPG(p, out.data(), size, side == 8 ? 80 : 20);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "JPEG seed: %s\n", e.what());
            continue;
        }
        written += Write_Bytes((fs::path(dir) / ("picture" + std::to_string(side) + ".jpg")).string(),
                               std::string(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(size)));
    }
    return written;
}

// A journal's bytes behind the byte fuzz_journal reads first (samples of the
// recording kept, a torn sample after them).
int Journal(const std::string& dir, const char* name, uint8_t keep, int32_t frames_before, int first, int records,
            bool fitted, size_t cut = 0) {
    const std::string recording = (fs::path(dir) / "made.nx3").string();
    fs::remove(recording);
    Fit_Settings settings;
    if (!Write_Journal_Recording(recording, &settings)) return 0;
    std::string bytes(1, static_cast<char>(keep));
    {
        Frame_Journal journal(recording, frames_before);
        Seed_Frames frames;
        std::vector<uint8_t> out(static_cast<size_t>(settings.Capacity));
        for (int i = 0; i < first + records; ++i) frames.Add(24, 12, i);
        for (int i = first; i < first + records; ++i) {
            Stored_Frame_Ref f = *frames.Item(i + 1);
            // Before the data area is known (the first window) frames are encoded once at the start quality.
            Fit_Settings s = settings;
            if (!fitted) s.Data_Area = 1 << 20;
            const Fit_Findings found = Frame_Compressor::Find_Fit(s, f, 0, 0, out.data());
            f.Jpeg = Stored_Jpeg{out.data(), found.Fit.Size, found.Fit.Quality, fitted ? s.Data_Area : 0,
                                 false,      found.Largest,  found.Smallest};
            journal.Add(i, f);
        }
        journal.Close();
        std::ifstream in(Frame_Journal::Path_For(recording), std::ios::binary);
        bytes.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    fs::remove(Frame_Journal::Path_For(recording));
    fs::remove(recording);
    if (cut > 0 && cut < bytes.size()) bytes.resize(bytes.size() - cut);
    return Write_Bytes((fs::path(dir) / name).string(), bytes) ? 1 : 0;
}

// A trail behind the byte fuzz_audit reads first (the state of the recording it
// is checked against): as written for each state, and one of the last state as
// kept before the trail was chained (its hashes dropped).
int Audits(const std::string& dir) {
    int written = 0;
    const std::string recording = (fs::path(dir) / "official.nx3").string();
    for (int state = 0; state < Audit_States; ++state) {
        if (!Write_Official_Recording(recording, state)) return written;
        std::ifstream in(Official_Record::Audit_Path(recording), std::ios::binary);
        const std::string trail((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        written += Write_Bytes((fs::path(dir) / ("state_" + std::to_string(state) + ".bin")).string(),
                               std::string(1, static_cast<char>(state)) + trail);
        if (state == Audit_States - 1) {
            std::string older = trail;
            for (const std::string key : {"\"previous_sha256\"", "\"results_sha256\""})
                for (size_t at = older.find(key); at != std::string::npos; at = older.find(key, at + 1))
                    older.replace(at, key.size(), "\"unused_" + key.substr(1));
            written += Write_Bytes((fs::path(dir) / "unchained.bin").string(),
                                   std::string(1, static_cast<char>(state)) + older);
        }
    }
    for (const std::string& f : {recording, Official_Record::Audit_Path(recording)}) fs::remove(f);
    return written;
}

int Journals(const std::string& dir) {
    int written = 0;
    written += Journal(dir, "window_open.bin", 3, 3, 3, 3, true);
    written += Journal(dir, "in_append.bin", 3, 1, 1, 4, true);
    written += Journal(dir, "header_behind_torn.bin", 2 | 4, 1, 1, 4, false);
    written += Journal(dir, "first_window_cut.bin", 0, 0, 0, 3, false, 40);
    return written;
}

}  // namespace

bool Write_Journal_Recording(const std::string& path, Fit_Settings* settings) {
    fs::remove(path);
    cls_VideoFile_handler h;
    h.Set_Append_Threads(1);
    h.Set_Cropped_X(24);
    h.Set_Cropped_Y(12);
    if (!h.Initiate_NX3_File(path)) return false;
    Seed_Frames frames;
    for (int i = 0; i < Journal_Samples; ++i) frames.Add(24, 12, i);
    if (h.Append_Stored_Frames(frames) != Journal_Samples) return false;
    if (settings) *settings = h.Compressor().Settings();
    return true;
}

bool Write_Official_Recording(const std::string& path, int changes) {
    fs::remove(Official_Record::Audit_Path(path));
    if (!Write_Journal_Recording(path)) return false;
    cls_VideoFile_handler h;
    if (!h.Open_File(path)) return false;
    h.Set_Hdx_Dog_name(1, "Ace");
    h.Set_Hdx_Dog_name(2, "Bo");
    h.Set_Hdx_Heat_time(1, false, 28450);
    h.Set_Hdx_Heat_time(2, false, 28990);
    if (!h.Write_XML_Header()) return false;
    try {
        Official_Record::Declare(h);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "the seed heat was not declared: %s\n", e.what());
        return false;
    }
    for (int i = 1; i <= changes; ++i) {
        const auto box = static_cast<int16_t>(i);
        const Official_Record::Change_Outcome out = Official_Record::Apply_Change(
            h, "box " + std::to_string(box) + " goal time", "photo checked again",
            [&] { return Official_Record::Box_Value(h, box, false); },
            [&] { h.Set_Hdx_Heat_time(box, false, 27000 + 100 * i); });
        if (!out.done) {
            std::fprintf(stderr, "the seed heat was not changed: %s\n", out.error.c_str());
            return false;
        }
    }
    return true;
}

// What boards send: a session of the houndex-box firmware, an older board's
// lines without its clock, and a line cut short.
int Box_Lines(const std::string& dir) {
    namespace P = Control_Box_Protocol;
    int written = 0;
    written +=
        Write_Bytes((fs::path(dir) / "session.txt").string(),
                    P::Ident_Reply(31337, 6, 1, "Houndex box 1.1 clock=us reset=watchdog") + P::Levels_Reply(0b10, 6) +
                        P::Pong_Reply(-5, 4294967000u) + P::Input_Report(2, true, 4294967290u) +
                        P::Input_Report(2, false, 3000u) + "OUT 0 1\nERR unknown command\n");
    written += Write_Bytes(
        (fs::path(dir) / "old_board.txt").string(),
        P::Ident_Reply(1, 8, 8, "Start box rev B") + "PONG\r\n" + P::Input_Report(0, true) + "LV 01000000\n");
    written += Write_Bytes((fs::path(dir) / "cut.txt").string(),
                           "ID 1 6 1 (serial not set) clock=us reset=power-on\nIN 3 1 42");
    return written;
}

int Http_Requests(const std::string& dir) {
    int written = 0;
    written += Write_Bytes((fs::path(dir) / "pages.txt").string(),
                           "GET /scoreboard?key=fuzzing-key-0123456789 HTTP/1.1\r\nHost: track\r\n"
                           "Connection: keep-alive\r\n\r\nHEAD /api/heats/1/frames/12.jpg?key=x HTTP/1.1\r\n\r\n"
                           "GET /api/results?key=a%20b+c&key=2 HTTP/1.0\r\n\r\n");
    written += Write_Bytes((fs::path(dir) / "socket.txt").string(),
                           "GET /ws?key=k HTTP/1.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                           "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
    written += Write_Bytes((fs::path(dir) / "body.txt").string(),
                           "POST /api/results HTTP/1.1\r\nContent-Length: 4\r\n\r\nabcd");
    return written;
}

int Write_Seeds(const std::string& root) {
    for (const char* t :
         {"nx3", "header", "event", "dog_import", "ini", "jpeg", "journal", "audit", "box_line", "http_request"})
        fs::create_directories(fs::path(root) / t);
    std::string event_path;
    int written = 0;
    written += Recordings((fs::path(root) / "nx3").string());
    written += Header((fs::path(root) / "header").string());
    written += Events((fs::path(root) / "event").string(), event_path);
    written += Imports((fs::path(root) / "dog_import").string());
    written += Settings((fs::path(root) / "ini").string());
    written += Jpegs((fs::path(root) / "jpeg").string());
    written += Journals((fs::path(root) / "journal").string());
    written += Audits((fs::path(root) / "audit").string());
    written += Box_Lines((fs::path(root) / "box_line").string());
    written += Http_Requests((fs::path(root) / "http_request").string());
    return written;
}
