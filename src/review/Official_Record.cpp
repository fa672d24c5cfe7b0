#include "review/Official_Record.h"

#include <exception>

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include "common/Module_dependant.h"
#include "metadata/Cls_XML_header.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/HdxError.h"
#include "platform/System_Info.h"
#include "recording/NX3_Layout.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Module_Results.h"

namespace Official_Record {

namespace {

constexpr const char* Element_Tag = "official";

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QJsonValue& v) { return v.toString().toStdString(); }

bool Is_Hex_Digest(const std::string& s) {
    if (s.size() != 64) return false;
    for (const char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

QJsonObject Change_Object(const Change& c) {
    QJsonObject o;
    o["local_time"] = Q(c.local_time);
    o["pc_name"] = Q(c.pc_name);
    o["what"] = Q(c.what);
    o["old"] = Q(c.old_value);
    o["new"] = Q(c.new_value);
    o["reason"] = Q(c.reason);
    return o;
}

// The trail's document; an empty one when there is no file yet.
QJsonObject Read_Document(const std::string& recording) {
    const std::string path = Audit_Path(recording);
    if (!Platform::File_Exists(path)) return {};
    std::string bytes, error;
    if (!Platform::Read_File(path, bytes, &error))
        throw HdxError(HdxErr::PathFileAccess, "The audit trail " + path + " cannot be read: " + error);
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(bytes), &parse);
    if (parse.error != QJsonParseError::NoError || !doc.isObject() || !doc.object()["changes"].isArray())
        throw HdxError(HdxErr::TypeMismatch,
                       "The audit trail " + path + " is damaged: " +
                           (parse.error != QJsonParseError::NoError ? parse.errorString().toStdString()
                                                                    : std::string("no list of changes")));
    return doc.object();
}

void Write_Document(const std::string& recording, const QJsonObject& o) {
    const std::string path = Audit_Path(recording);
    std::string error;
    if (!Platform::Write_File_Atomic(path, QJsonDocument(o).toJson(QJsonDocument::Indented).toStdString(), &error))
        throw HdxError(HdxErr::PathFileAccess, "The audit trail " + path + " cannot be written: " + error);
}

std::string Code_Text(int32_t t) {
    if (t == 0 || t == No_Time) return "no time";
    if (t == DNF_Code) return "DNF";
    if (t == DSQ_Code) return "DSQ";
    if (t == No_Rank_Code) return "no rank";
    return Display_Mill_Time(t, true);
}

}  // namespace

std::string Audit_Path(const std::string& recording) { return recording + ".audit"; }

std::string Declaration_Element(const Declaration& d) {
    return std::string(Element_Tag) + "|" + d.declared_at + "|" + d.frames_sha256;
}

Declaration Parse_Declaration(const std::string& element) {
    Declaration d;
    const size_t first = element.find('|');
    const size_t second = first == std::string::npos ? first : element.find('|', first + 1);
    if (second == std::string::npos || element.compare(0, first, Element_Tag) != 0) return d;
    const std::string digest = element.substr(second + 1);
    if (!Is_Hex_Digest(digest)) return d;
    d.official = true;
    d.declared_at = element.substr(first + 1, second - first - 1);
    d.frames_sha256 = digest;
    return d;
}

Declaration Read_Declaration(cls_VideoFile_handler& handler) {
    try {
        return Parse_Declaration(handler.Header().Hdr_spare2());
    } catch (const std::exception&) {
        return {};
    }
}

std::string Frames_SHA256(const std::string& recording, const std::function<void(int)>& progress) {
    QFile file(Q(recording));
    if (!file.open(QIODevice::ReadOnly))
        throw HdxError(HdxErr::FileNotFound, "Cannot read " + recording + ": " + file.errorString().toStdString());
    const qint64 size = file.size();
    if (size < NX3::Header_Block_Size || !file.seek(NX3::Header_Block_Size))
        throw HdxError(HdxErr::InputPastEnd, recording + " is shorter than its header block");
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    qint64 done = NX3::Header_Block_Size;
    int shown = -1;
    while (done < size) {
        const qint64 got = file.read(chunk.data(), chunk.size());
        if (got <= 0)
            throw HdxError(HdxErr::DeviceIO, "Cannot read " + recording + ": " + file.errorString().toStdString());
        hash.addData(QByteArrayView(chunk.constData(), got));
        done += got;
        const int percent = static_cast<int>(100 * (done - NX3::Header_Block_Size) /
                                             std::max<qint64>(1, size - NX3::Header_Block_Size));
        if (progress && percent != shown) progress(shown = percent);
    }
    if (progress && shown != 100) progress(100);
    return hash.result().toHex().toStdString();
}

Declaration Declare(cls_VideoFile_handler& handler, const std::function<void(int)>& progress) {
    const std::string path = handler.File_name();
    if (handler.Read_only()) throw HdxError(HdxErr::PermissionDenied, "Permission denied: " + path + " is read-only");
    const Declaration before = Read_Declaration(handler);
    if (before.official)
        throw HdxError(HdxErr::InvalidProcedureCall, "This heat was declared official at " + before.declared_at);
    Declaration d;
    d.official = true;
    d.frames_sha256 = Frames_SHA256(path, progress);
    d.declared_at = Date_Time_Text();
    // A trail left from an earlier declaration is not this one's: it is kept aside, never overwritten.
    const std::string audit = Audit_Path(path);
    if (Platform::File_Exists(audit)) {
        std::string error;
        std::string stamp;
        for (const char c : d.declared_at)
            if (c >= '0' && c <= '9') stamp += c;
        if (!Platform::Replace_File(audit, audit + ".before-" + stamp, &error))
            throw HdxError(HdxErr::PathFileAccess, "The old audit trail " + audit + " cannot be moved: " + error);
    }
    QJsonObject o;
    o["recording"] = Q(ParsePath(path, 0));
    o["declared_at"] = Q(d.declared_at);
    o["declared_on"] = Q(Platform::Computer_Name());
    o["frames_sha256"] = Q(d.frames_sha256);
    o["changes"] = QJsonArray();
    Write_Document(path, o);
    const std::string old_element = handler.Header().Hdr_spare2();
    handler.Header().Set_Hdr_spare2(Declaration_Element(d));
    if (!handler.Write_XML_Header()) {
        handler.Header().Set_Hdr_spare2(old_element);
        throw HdxError(HdxErr::DeviceIO, "The header could not be written to " + path);
    }
    return d;
}

std::vector<Change> Read_Trail(const std::string& recording) {
    std::vector<Change> changes;
    for (const QJsonValue& v : Read_Document(recording)["changes"].toArray()) {
        const QJsonObject o = v.toObject();
        changes.push_back(
            {S(o["local_time"]), S(o["pc_name"]), S(o["what"]), S(o["old"]), S(o["new"]), S(o["reason"])});
    }
    return changes;
}

std::optional<Declaration> Trail_Declaration(const std::string& recording) {
    const QJsonObject o = Read_Document(recording);
    if (o.isEmpty()) return std::nullopt;
    Declaration d;
    d.declared_at = S(o["declared_at"]);
    d.frames_sha256 = S(o["frames_sha256"]);
    d.official = Is_Hex_Digest(d.frames_sha256);
    return d;
}

void Append_Change(const std::string& recording, const Declaration& d, const Change& c) {
    QJsonObject o = Read_Document(recording);
    if (o.isEmpty()) {
        // The trail went missing: it starts again from the declaration in the header.
        o["recording"] = Q(ParsePath(recording, 0));
        o["declared_at"] = Q(d.declared_at);
        o["frames_sha256"] = Q(d.frames_sha256);
    }
    QJsonArray changes = o["changes"].toArray();
    changes.append(Change_Object(c));
    o["changes"] = changes;
    Write_Document(recording, o);
}

std::optional<std::string> Ask_Reason(bool official, const std::string& what) {
    if (!official) return std::string();
    const std::optional<std::string> reason =
        Platform::Dialogs().Input_Box("Reason for changing " + what + " of this official result", Reason_Title, "");
    std::string given = reason.value_or("");
    given.erase(0, given.find_first_not_of(" \t\r\n"));
    if (given.empty()) {
        Platform::MsgBox(Refusal_Text, Platform::MsgButtons::OK, Platform::MsgIcon::Exclamation, Reason_Title);
        return std::nullopt;
    }
    return given;
}

bool Needs_Reason(cls_VideoFile_handler& handler) { return Read_Declaration(handler).official; }

Change_Outcome Apply_Change(cls_VideoFile_handler& handler, const std::string& what, const std::string& reason,
                            const std::function<std::string()>& value, const std::function<void()>& change) {
    const std::string path = handler.File_name();
    if (handler.Read_only()) return {false, "Permission denied: " + path + " is read-only"};
    const Declaration d = Read_Declaration(handler);
    std::string given = reason;
    given.erase(0, given.find_first_not_of(" \t\r\n"));
    if (d.official && given.empty()) return {false, Refusal_Text};
    const std::string before = handler.Header().XML_string();
    Change c;
    try {
        if (d.official) Read_Trail(path);  // a trail that cannot be read would lose this change
        c.what = what;
        c.old_value = value();
        change();
        c.new_value = value();
    } catch (const std::exception& e) {
        handler.Header().Set_XML_string(before);
        return {false, e.what()};
    }
    if (d.official) {
        c.reason = given;
        c.local_time = Date_Time_Text();
        c.pc_name = Platform::Computer_Name();
        try {
            Append_Change(path, d, c);
        } catch (const std::exception& e) {
            handler.Header().Set_XML_string(before);
            return {false, e.what()};
        }
    }
    if (!handler.Write_XML_Header()) {
        handler.Header().Set_XML_string(before);
        return {false, "The header could not be written to " + path};
    }
    return {true, {}};
}

bool Change_Result(cls_VideoFile_handler& handler, const std::string& what, const std::function<std::string()>& value,
                   const std::function<void()>& change) {
    const Declaration d = Read_Declaration(handler);
    if (!d.official) {
        change();
        return true;
    }
    // A trail that cannot be read would lose this change: refuse before asking.
    Read_Trail(handler.File_name());
    const std::optional<std::string> reason =
        Platform::Dialogs().Input_Box("Reason for changing " + what + " of this official result", Reason_Title, "");
    std::string given = reason.value_or("");
    given.erase(0, given.find_first_not_of(" \t\r\n"));
    if (given.empty()) {
        Platform::MsgBox(Refusal_Text, Platform::MsgButtons::OK, Platform::MsgIcon::Exclamation, Reason_Title);
        return false;
    }
    Change c;
    c.what = what;
    c.old_value = value();
    c.reason = given;
    change();
    c.new_value = value();
    c.local_time = Date_Time_Text();
    c.pc_name = Platform::Computer_Name();
    Append_Change(handler.File_name(), d, c);
    return true;
}

std::string Declaration_Text(const Declaration& d) {
    if (!d.official) return "Provisional";
    return "Official since " + d.declared_at + " - frames SHA-256 " + d.frames_sha256;
}

std::string Change_Text(const Change& c) {
    return c.local_time + " " + c.pc_name + ": " + c.what + " " + c.old_value + " -> " + c.new_value + " (" + c.reason +
           ")";
}

std::string Box_Value(cls_VideoFile_handler& handler, int16_t box, bool split) {
    std::string text = Code_Text(handler.Hdx_Heat_time(box, split));
    if (!split && handler.Hdx_dead_heat(box)) text += " dead heat";
    return text;
}

std::string All_Boxes_Value(cls_VideoFile_handler& handler) {
    std::string text;
    for (int16_t box = 1; box <= 6; ++box)
        text += (box > 1 ? "; " : "") + std::to_string(box) + ": " + Box_Value(handler, box, false);
    return text;
}

}  // namespace Official_Record
