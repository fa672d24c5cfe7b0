#include "web/Web_Content.h"

#include <algorithm>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include "recording/NX3_Layout.h"
#include "review/Results_Export.h"
#include "review/Review_Timing.h"

namespace {

// The files of the pages, by the path they are served under.
struct Page_File {
    const char* path;
    const char* resource;
    const char* type;
};
constexpr Page_File Page_Files[] = {
    {"/", ":/web/index.html", "text/html; charset=utf-8"},
    {"/scoreboard", ":/web/scoreboard.html", "text/html; charset=utf-8"},
    {"/stewards", ":/web/stewards.html", "text/html; charset=utf-8"},
    {"/static/houndex.css", ":/web/houndex.css", "text/css; charset=utf-8"},
    {"/static/common.js", ":/web/common.js", "text/javascript; charset=utf-8"},
    {"/static/scoreboard.js", ":/web/scoreboard.js", "text/javascript; charset=utf-8"},
    {"/static/stewards.js", ":/web/stewards.js", "text/javascript; charset=utf-8"},
};

// The pages load nothing from elsewhere and are never framed.
const std::string Page_Headers =
    "Content-Security-Policy: default-src 'self'; img-src 'self' blob:; connect-src 'self'; "
    "frame-ancestors 'none'\r\nCache-Control: no-cache\r\n";
const std::string No_Store = "Cache-Control: no-store\r\n";

const std::string Json_Type = "application/json; charset=utf-8";

bool Same_Key(const std::string& a, const std::string& b) {
    // The time taken does not tell how much of the key was right.
    unsigned diff = static_cast<unsigned>(a.size() ^ b.size());
    for (size_t i = 0; i < std::max(a.size(), b.size()); ++i)
        diff |= static_cast<unsigned>(static_cast<unsigned char>(i < a.size() ? a[i] : 0) ^
                                      static_cast<unsigned char>(i < b.size() ? b[i] : 0));
    return diff == 0;
}

// A whole number of the path, 1 .. limit; 0 when it is not one.
int Path_Number(const std::string& text, int limit) {
    if (text.empty() || text.size() > 6 || !std::all_of(text.begin(), text.end(), ::isdigit)) return 0;
    const int v = std::stoi(text);
    return v >= 1 && v <= limit ? v : 0;
}

std::vector<std::string> Split_Path(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 1;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

QJsonObject Line_Heat(const std::string& line) {
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line));
    return doc.object().value("heat").toObject();
}

std::string Text(const QJsonObject& o, const char* key) { return o.value(key).toString().toStdString(); }

}  // namespace

bool Web_Content::Key_Accepted(const Http_Request& request) const {
    return m_Key.empty() || Same_Key(request.Param("key"), m_Key);
}

Web_Content::Reply Web_Content::Error(int status, const std::string& reason) {
    Reply r;
    r.Status = status;
    r.Type = Json_Type;
    r.Body = QByteArray::fromStdString("{\"error\":" + Results_Export::Json_String(reason) + "}");
    r.Headers = No_Store;
    return r;
}

void Web_Content::Update(const Web_Heat& heat, bool on_screen) {
    auto it = std::find_if(m_Heats.begin(), m_Heats.end(), [&](const Heat& h) { return h.Data.File == heat.File; });
    Heat h;
    const bool known = it != m_Heats.end();
    const auto place = it - m_Heats.begin();
    if (known) {
        h = std::move(*it);
        m_Heats.erase(it);
    } else {
        h.Id = m_Next_Id++;
    }
    const bool more_frames =
        heat.Recording.Frames != h.Data.Recording.Frames || heat.Recording.Path != h.Data.Recording.Path;
    std::string published = h.Data.Line;
    h.Data = heat;
    h.Data.Photo = QImage();  // kept as PNG only: a meeting's pictures would take hundreds of MB
    if (!heat.Line.empty()) h.Shown = heat.Line;
    // Opening a heat shows it to the stewards; what the boards show stays the last change.
    if (on_screen) h.Data.Line = published;
    if (!heat.Official) {
        h.Png.clear();
    } else if (!heat.Photo.isNull()) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (heat.Photo.save(&buffer, "PNG")) h.Png = png;
    }
    if (more_frames) {
        h.Index.clear();
        h.Index_Problem.clear();
    }
    if (on_screen) m_On_Screen = h.Id;
    // An opened heat keeps its place among the published ones.
    if (on_screen && known)
        m_Heats.insert(m_Heats.begin() + place, std::move(h));
    else
        m_Heats.push_back(std::move(h));
    if (m_Heats.size() > Max_Heats) m_Heats.erase(m_Heats.begin());
    // The photos of the latest heats only.
    size_t photos = 0;
    for (auto p = m_Heats.rbegin(); p != m_Heats.rend(); ++p)
        if (!p->Png.isEmpty() && ++photos > Max_Photos) p->Png.clear();
}

std::vector<std::string> Web_Content::Lines() const {
    std::vector<std::string> lines;
    for (const Heat& h : m_Heats)
        if (!h.Data.Line.empty()) lines.push_back(h.Data.Line);
    return lines;
}

std::string Web_Content::On_Screen_Message() const {
    return "{\"on_screen\":" + (m_On_Screen ? std::to_string(m_On_Screen) : std::string("null")) + "}";
}

Web_Content::Heat* Web_Content::Find(int id) {
    for (Heat& h : m_Heats)
        if (h.Id == id) return &h;
    return nullptr;
}

Web_Content::Reply Web_Content::Respond(const Http_Request& request) {
    if (!Key_Accepted(request)) return Error(403, "This server needs its access key: ?key=... as the settings show it");
    for (const Page_File& f : Page_Files) {
        if (request.Path != f.path) continue;
        QFile file(f.resource);
        if (!file.open(QIODevice::ReadOnly)) return Error(500, std::string("The page ") + f.path + " is missing");
        Reply r;
        r.Type = f.type;
        r.Body = file.readAll();
        r.Headers = Page_Headers;
        return r;
    }
    if (request.Path == "/api/results") {
        std::string body = "[";
        for (const std::string& line : Lines()) body += (body.size() > 1 ? "," : "") + line;
        Reply r;
        r.Type = Json_Type;
        r.Body = QByteArray::fromStdString(body + "]");
        r.Headers = No_Store;
        return r;
    }
    if (request.Path == "/api/heats") return Heats_Json();
    const std::vector<std::string> parts = Split_Path(request.Path);
    if (parts.size() >= 3 && parts[0] == "api" && parts[1] == "heats") {
        Heat* heat = Find(Path_Number(parts[2], 1 << 30));
        if (!heat) return Error(404, "No heat " + parts[2] + " on this server");
        if (parts.size() == 4 && parts[3] == "frames") return Frame_Index(*heat);
        if (parts.size() == 4 && parts[3] == "photo.png") return Photo(*heat);
        if (parts.size() == 5 && parts[3] == "frames" && parts[4].size() > 4 &&
            parts[4].substr(parts[4].size() - 4) == ".jpg") {
            const int n = Path_Number(parts[4].substr(0, parts[4].size() - 4), NX3::Max_Frames);
            if (n == 0) return Error(404, "No frame " + parts[4]);
            return Frame_Jpeg(*heat, n);
        }
    }
    return Error(404, "Nothing is served at " + request.Path);
}

Web_Content::Reply Web_Content::Heats_Json() const {
    std::string body =
        "{\"on_screen\":" + (m_On_Screen ? std::to_string(m_On_Screen) : std::string("null")) + ",\"heats\":[";
    bool first = true;
    for (const Heat& h : m_Heats) {
        const QJsonObject heat = Line_Heat(h.Shown);
        const std::string file = QFileInfo(QString::fromStdString(h.Data.File)).fileName().toStdString();
        body += std::string(first ? "" : ",") + "{\"id\":" + std::to_string(h.Id) +
                ",\"file\":" + Results_Export::Json_String(file) +
                ",\"event\":" + Results_Export::Json_String(Text(heat, "event")) +
                ",\"heat_id\":" + Results_Export::Json_String(Text(heat, "heat_id")) +
                ",\"heat_name\":" + Results_Export::Json_String(Text(heat, "heat_name")) +
                ",\"status\":" + Results_Export::Json_String(h.Shown.empty() ? "provisional" : Text(heat, "status")) +
                ",\"frames\":" + std::to_string(h.Data.Recording.Frames) +
                ",\"photo\":" + (h.Png.isEmpty() ? "false" : "true") + "}";
        first = false;
    }
    Reply r;
    r.Type = Json_Type;
    r.Body = QByteArray::fromStdString(body + "]}");
    r.Headers = No_Store;
    return r;
}

bool Web_Content::Read_Index(Heat& heat) {
    if (!heat.Index.empty() || !heat.Index_Problem.empty()) return heat.Index_Problem.empty();
    const Web_Recording& rec = heat.Data.Recording;
    if (rec.Frames <= 0 || rec.Sample_Size <= NX3::Sample_Overhead) {
        heat.Index_Problem = "The recording holds no frames";
        return false;
    }
    QFile file(QString::fromStdString(rec.Path));
    if (!file.open(QIODevice::ReadOnly)) {
        heat.Index_Problem = "The recording cannot be read: " + file.errorString().toStdString();
        return false;
    }
    const int32_t data_area = static_cast<int32_t>(rec.Sample_Size - NX3::Sample_Overhead);
    heat.Index.reserve(static_cast<size_t>(rec.Frames));
    for (int32_t n = 1; n <= rec.Frames; ++n) {
        Frame f;
        const int64_t at = rec.First_Sample + (int64_t{n} - 1) * rec.Sample_Size;
        uint8_t head[NX3::Sample::Data] = {};
        if (file.seek(at) && file.read(reinterpret_cast<char*>(head), sizeof head) == sizeof head) {
            const NX3::Sample_Fields fields = NX3::Read_Sample_Fields(head);
            f.Capture_Mill = fields.capture_mill;
            f.Offset = at + NX3::Sample::Data;
            if (fields.start_ok && fields.jpeg_size >= 1 && fields.jpeg_size <= data_area) f.Size = fields.jpeg_size;
        }
        heat.Index.push_back(f);
    }
    return true;
}

Web_Content::Reply Web_Content::Frame_Index(Heat& heat) {
    if (!Read_Index(heat)) return Error(404, heat.Index_Problem);
    const Web_Recording& rec = heat.Data.Recording;
    const auto flag = [](bool b) { return b ? "true" : "false"; };
    std::string body = "{\"id\":" + std::to_string(heat.Id) + ",\"width\":" + std::to_string(rec.Width) +
                       ",\"height\":" + std::to_string(rec.Height) + ",\"interlaced\":" + flag(rec.Interlaced) +
                       ",\"stacked\":" + flag(rec.Stacked) + ",\"by_field\":" + flag(rec.By_Field) +
                       ",\"rotated\":" + flag(rec.Rotated) + ",\"field_period\":" + std::to_string(rec.Field_Period) +
                       ",\"goal\":[" + std::to_string(rec.Goal.P1.X) + "," + std::to_string(rec.Goal.P1.Y) + "," +
                       std::to_string(rec.Goal.P2.X) + "," + std::to_string(rec.Goal.P2.Y) + "],\"frames\":[";
    for (size_t i = 0; i < heat.Index.size(); ++i) {
        const Frame& f = heat.Index[i];
        std::string times;
        if (f.Size > 0) {
            // The time of each review position, as the review window shows it.
            for (int16_t field : rec.By_Field ? std::vector<int16_t>{1, 2} : std::vector<int16_t>{99}) {
                if (!times.empty()) times += ",";
                times += std::to_string(Review_Timing::Heat_Elapsed(f.Capture_Mill, rec.Start_Mill, field,
                                                                    rec.Goal_Compensation, rec.Field_Period));
            }
        }
        body += std::string(i ? "," : "") + "{\"n\":" + std::to_string(i + 1) + ",\"damaged\":" + flag(f.Size == 0) +
                ",\"times\":[" + times + "]}";
    }
    Reply r;
    r.Type = Json_Type;
    r.Body = QByteArray::fromStdString(body + "]}");
    r.Headers = No_Store;
    return r;
}

Web_Content::Reply Web_Content::Frame_Jpeg(Heat& heat, int32_t frame) {
    if (!Read_Index(heat)) return Error(404, heat.Index_Problem);
    if (frame > static_cast<int32_t>(heat.Index.size()))
        return Error(404,
                     "The heat has " + std::to_string(heat.Index.size()) + " frames, not " + std::to_string(frame));
    const Frame& f = heat.Index[static_cast<size_t>(frame - 1)];
    if (f.Size == 0) return Error(404, "Frame " + std::to_string(frame) + " is damaged in its recording");
    QFile file(QString::fromStdString(heat.Data.Recording.Path));
    if (!file.open(QIODevice::ReadOnly) || !file.seek(f.Offset))
        return Error(404, "The recording cannot be read: " + file.errorString().toStdString());
    Reply r;
    r.Body = file.read(f.Size);
    if (r.Body.size() != f.Size) return Error(500, "Frame " + std::to_string(frame) + " could not be read whole");
    r.Type = "image/jpeg";
    // A stored frame never changes.
    r.Headers = "Cache-Control: private, max-age=3600\r\n";
    return r;
}

Web_Content::Reply Web_Content::Photo(Heat& heat) {
    if (heat.Png.isEmpty())
        return Error(404, heat.Data.Official ? "No goal photo is kept for this heat"
                                             : "The goal photo is shown once the heat is official");
    Reply r;
    r.Type = "image/png";
    r.Body = heat.Png;
    r.Headers = No_Store;
    return r;
}

Web_Recording Web_Recording_Of(cls_VideoFile_handler& h, const std::string& path) {
    Web_Recording r;
    r.Path = path;
    r.First_Sample = int64_t{h.First_Sample_Pos()} - 1;
    r.Sample_Size = h.Read_Sample_Size();
    r.Frames = h.num_Frames();
    r.Width = h.Width();
    r.Height = h.Height();
    r.Interlaced = h.RGB_interlaced();
    r.Stacked = h.Fields_Stacked();
    r.By_Field = h.Reviewed_By_Field();
    r.Rotated = h.RGB_Rotated();
    r.Field_Period = h.Field_Period();
    r.Start_Mill = h.Hdx_start_PC_mill();
    r.Goal_Compensation = h.Hdx_Goal_compensation();
    return r;
}
