#include "review/Official_Record.h"

#include <exception>
#include <utility>

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include "common/Module_dependant.h"
#include "metadata/Cls_XML_header.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "platform/HdxError.h"
#include "platform/System_Info.h"
#include "recording/NX3_Layout.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Module_Results.h"

namespace Official_Record {

namespace {

constexpr const char* Element_Tag = "official";
const char* const Loc_Change = "Change_Result of Official_Record";

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QJsonValue& v) { return v.toString().toStdString(); }

std::string SHA256_Hex(const std::string& text) {
    return QCryptographicHash::hash(QByteArray::fromStdString(text), QCryptographicHash::Sha256).toHex().toStdString();
}

bool Is_Hex_Digest(const std::string& s) {
    if (s.size() != 64) return false;
    for (const char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

// One "NAME LENGTH:TEXT" line: no text can pass for another line.
void Add_Field(std::string& out, const std::string& name, const std::string& text) {
    out += name + " " + std::to_string(text.size()) + ":" + text + "\n";
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t from = 0;
    for (;;) {
        const size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) return parts;
        from = at + 1;
    }
}

QJsonObject Change_Object(const Change& c) {
    QJsonObject o;
    o["local_time"] = Q(c.local_time);
    o["pc_name"] = Q(c.pc_name);
    o["what"] = Q(c.what);
    o["old"] = Q(c.old_value);
    o["new"] = Q(c.new_value);
    o["reason"] = Q(c.reason);
    o["previous_sha256"] = Q(c.previous_sha256);
    o["results_sha256"] = Q(c.results_sha256);
    return o;
}

Change Change_From(const QJsonObject& o) {
    return {S(o["local_time"]), S(o["pc_name"]),         S(o["what"]),          S(o["old"]), S(o["new"]),
            S(o["reason"]),     S(o["previous_sha256"]), S(o["results_sha256"])};
}

// An entry is read only when every field it has is text.
bool Is_Entry(const QJsonValue& v) {
    if (!v.isObject()) return false;
    const QJsonObject o = v.toObject();
    for (auto it = o.begin(); it != o.end(); ++it)
        if (!it.value().isString()) return false;
    return true;
}

// The trail's document from its text; the problem when it is not one.
std::optional<QJsonObject> Parse_Document(const std::string& bytes, std::string& problem) {
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(bytes), &parse);
    if (parse.error != QJsonParseError::NoError) {
        problem = parse.errorString().toStdString() + " at byte " + std::to_string(parse.offset);
        return std::nullopt;
    }
    if (!doc.isObject() || !doc.object()["changes"].isArray()) {
        problem = "no list of changes";
        return std::nullopt;
    }
    for (const QJsonValue& v : doc.object()["changes"].toArray())
        if (!Is_Entry(v)) {
            problem = "a change that is not a set of texts";
            return std::nullopt;
        }
    return doc.object();
}

// The trail's document; an empty one when there is no file.
QJsonObject Read_Document(const std::string& recording) {
    const std::string path = Audit_Path(recording);
    if (!Platform::File_Exists(path)) return {};
    std::string bytes, error;
    if (!Platform::Read_File(path, bytes, &error))
        throw HdxError(HdxErr::PathFileAccess, "The audit trail " + path + " cannot be read: " + error);
    std::string problem;
    const std::optional<QJsonObject> o = Parse_Document(bytes, problem);
    if (!o) throw HdxError(HdxErr::TypeMismatch, "The audit trail " + path + " is damaged: " + problem);
    return *o;
}

std::string Document_Bytes(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Indented).toStdString();
}

void Write_Bytes(const std::string& path, const std::string& bytes) {
    std::string error;
    if (!Platform::Write_File_Atomic(path, bytes, &error))
        throw HdxError(HdxErr::PathFileAccess, "The audit trail " + path + " cannot be written: " + error);
}

Declaration Document_Declaration(const QJsonObject& o) {
    Declaration d;
    d.declared_at = S(o["declared_at"]);
    d.frames_sha256 = S(o["frames_sha256"]);
    d.results_sha256 = S(o["results_sha256"]);
    d.official = Is_Hex_Digest(d.frames_sha256);
    return d;
}

bool Same_Declaration(const Declaration& a, const Declaration& b) {
    return a.declared_at == b.declared_at && a.frames_sha256 == b.frames_sha256 && a.results_sha256 == b.results_sha256;
}

std::string Code_Text(int32_t t) {
    if (t == 0 || t == No_Time) return "no time";
    if (t == DNF_Code) return "DNF";
    if (t == DSQ_Code) return "DSQ";
    if (t == No_Rank_Code) return "no rank";
    return Display_Mill_Time(t, true);
}

std::string Trimmed(std::string text) {
    text.erase(0, text.find_first_not_of(" \t\r\n"));
    text.erase(text.find_last_not_of(" \t\r\n") + 1);
    return text;
}

// The header in memory as it was, with writes held while a change is made.
class Header_Snapshot {
public:
    explicit Header_Snapshot(cls_VideoFile_handler& handler)
        : m_Handler(handler), m_Text(handler.Header().Has_XML() ? handler.Header().XML_string() : std::string()) {}
    void Restore() { m_Handler.Header().Set_XML_string(m_Text); }

private:
    cls_VideoFile_handler& m_Handler;
    std::string m_Text;
};

class Held_Writes {
public:
    explicit Held_Writes(cls_VideoFile_handler& handler) : m_Handler(handler), m_Was(handler.Header_Writes_Held()) {
        m_Handler.Hold_Header_Writes(true);
    }
    ~Held_Writes() { m_Handler.Hold_Header_Writes(m_Was); }
    Held_Writes(const Held_Writes&) = delete;
    Held_Writes& operator=(const Held_Writes&) = delete;

private:
    cls_VideoFile_handler& m_Handler;
    bool m_Was;
};

}  // namespace

std::string Audit_Path(const std::string& recording) { return recording + ".audit"; }

std::string Declaration_Element(const Declaration& d) {
    std::string text = std::string(Element_Tag) + "|" + d.declared_at + "|" + d.frames_sha256;
    if (!d.results_sha256.empty() || !d.trail_head_sha256.empty())
        text += "|" + d.results_sha256 + "|" + d.trail_head_sha256;
    return text;
}

Declaration Parse_Declaration(const std::string& element) {
    Declaration d;
    const std::vector<std::string> parts = Split(element, '|');
    if ((parts.size() != 3 && parts.size() != 5) || parts[0] != Element_Tag || !Is_Hex_Digest(parts[2])) return d;
    if (parts.size() == 5) {
        // A declaration that covers the frames only may carry a trail head of changes made since.
        if ((!parts[3].empty() && !Is_Hex_Digest(parts[3])) || !Is_Hex_Digest(parts[4])) return d;
        d.results_sha256 = parts[3];
        d.trail_head_sha256 = parts[4];
    }
    d.official = true;
    d.declared_at = parts[1];
    d.frames_sha256 = parts[2];
    return d;
}

Declaration Read_Declaration(cls_VideoFile_handler& handler) {
    try {
        return Parse_Declaration(handler.Header().Hdr_spare2());
    } catch (const std::exception&) {
        return {};
    }
}

std::string Declaration_SHA256(const Declaration& d) {
    Declaration without_head = d;
    without_head.trail_head_sha256.clear();
    return SHA256_Hex(Declaration_Element(without_head));
}

std::string Change_SHA256(const Change& c) {
    std::string text;
    Add_Field(text, "local_time", c.local_time);
    Add_Field(text, "pc_name", c.pc_name);
    Add_Field(text, "what", c.what);
    Add_Field(text, "old", c.old_value);
    Add_Field(text, "new", c.new_value);
    Add_Field(text, "reason", c.reason);
    Add_Field(text, "previous_sha256", c.previous_sha256);
    Add_Field(text, "results_sha256", c.results_sha256);
    return SHA256_Hex(text);
}

std::string Results_Text(cls_VideoFile_handler& handler) {
    const Cls_XML_header& h = handler.Header();
    std::string text;
    const auto add = [&](const std::string& name, const std::string& selector) {
        const std::optional<std::string> value = h.Element_Text(selector);
        if (value)
            Add_Field(text, name, *value);
        else
            text += name + " -\n";
    };
    for (const char* name : {"hdx_start_datetime", "hdx_start_local_mill", "hdx_start_PC_mill", "hdx_goal_time_offset",
                             "hdx_split_time_offset", "hdx_box_delay"})
        add(name, std::string("//houndex/") + name);
    for (int box = 1; box <= 8; ++box)
        for (const char* name : {"dog_name", "dog_heat_time", "dog_split_time", "dog_heat_click_time",
                                 "dog_split_click_time", "dog_dead_heat"})
            add("box" + std::to_string(box) + "/" + name,
                "//box[@id='" + std::to_string(box) + "']/" + std::string(name));
    return text;
}

std::string Results_SHA256(cls_VideoFile_handler& handler) { return SHA256_Hex(Results_Text(handler)); }

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
    if (!handler.Header().Has_XML())
        throw HdxError(HdxErr::InvalidProcedureCall, "No recording header is loaded for " + path);
    const Declaration before = Read_Declaration(handler);
    if (before.official)
        throw HdxError(HdxErr::InvalidProcedureCall, "This heat was declared official at " + before.declared_at);
    Declaration d;
    d.official = true;
    d.frames_sha256 = Frames_SHA256(path, progress);
    d.results_sha256 = Results_SHA256(handler);
    d.declared_at = Date_Time_Text();
    d.trail_head_sha256 = Declaration_SHA256(d);
    // A trail left from an earlier declaration is not this one's: it is kept aside, never overwritten.
    const std::string audit = Audit_Path(path);
    std::string kept_aside;
    if (Platform::File_Exists(audit)) {
        std::string error;
        std::string stamp;
        for (const char c : d.declared_at)
            if (c >= '0' && c <= '9') stamp += c;
        kept_aside = audit + ".before-" + stamp;
        if (!Platform::Replace_File(audit, kept_aside, &error))
            throw HdxError(HdxErr::PathFileAccess, "The old audit trail " + audit + " cannot be moved: " + error);
    }
    const auto put_back = [&] {
        try {
            Platform::Delete_File(audit);
        } catch (const std::exception&) {
        }
        if (!kept_aside.empty()) Platform::Replace_File(kept_aside, audit);
    };
    QJsonObject o;
    o["recording"] = Q(ParsePath(path, 0));
    o["declared_at"] = Q(d.declared_at);
    o["declared_on"] = Q(Platform::Computer_Name());
    o["frames_sha256"] = Q(d.frames_sha256);
    o["results_sha256"] = Q(d.results_sha256);
    o["changes"] = QJsonArray();
    try {
        Write_Bytes(audit, Document_Bytes(o));
    } catch (const std::exception&) {
        put_back();
        throw;
    }
    const std::string old_element = handler.Header().Hdr_spare2();
    handler.Header().Set_Hdr_spare2(Declaration_Element(d));
    if (!handler.Write_XML_Header()) {
        handler.Header().Set_Hdr_spare2(old_element);
        put_back();
        throw HdxError(HdxErr::DeviceIO, "The header could not be written to " + path);
    }
    return d;
}

std::vector<Change> Read_Trail(const std::string& recording) {
    std::vector<Change> changes;
    for (const QJsonValue& v : Read_Document(recording)["changes"].toArray())
        changes.push_back(Change_From(v.toObject()));
    return changes;
}

std::optional<Declaration> Trail_Declaration(const std::string& recording) {
    const QJsonObject o = Read_Document(recording);
    if (o.isEmpty()) return std::nullopt;
    return Document_Declaration(o);
}

namespace {
// The trail's text with c chained to its last entry.
std::string Appended(const std::string& recording, const Declaration& d, Change& c) {
    const std::string audit = Audit_Path(recording);
    // A trail that went missing is never started again: the changes it held would be lost unnoticed.
    if (!Platform::File_Exists(audit))
        throw HdxError(HdxErr::FileNotFound, "The audit trail " + audit + " of this official heat is missing");
    QJsonObject o = Read_Document(recording);
    if (!Same_Declaration(Document_Declaration(o), d))
        throw HdxError(HdxErr::InvalidProcedureCall,
                       "The audit trail " + audit + " belongs to another declaration (" + S(o["declared_at"]) + ")");
    QJsonArray changes = o["changes"].toArray();
    c.previous_sha256 =
        changes.isEmpty() ? Declaration_SHA256(d) : Change_SHA256(Change_From(changes.last().toObject()));
    changes.append(Change_Object(c));
    o["changes"] = changes;
    return Document_Bytes(o);
}
}  // namespace

void Append_Change(const std::string& recording, const Declaration& d, Change c) {
    Write_Bytes(Audit_Path(recording), Appended(recording, d, c));
}

Evidence Check_Trail(const std::string& trail_bytes, const Declaration& d, const std::string& results_now,
                     const std::string& audit_name) {
    Evidence e;
    std::string problem;
    const std::optional<QJsonObject> o = Parse_Document(trail_bytes, problem);
    if (!o) {
        e.problems.push_back("the audit trail " + audit_name + " cannot be read (cut short or damaged): " + problem);
        return e;
    }
    const Declaration started = Document_Declaration(*o);
    if (!Same_Declaration(started, d)) {
        e.problems.push_back("the audit trail " + audit_name + " belongs to another declaration (" +
                             started.declared_at + ")");
        return e;
    }
    std::string head = Declaration_SHA256(d);
    std::string results = d.results_sha256;
    bool chained = false;
    int unchained = 0;
    int number = 0;
    for (const QJsonValue& v : (*o)["changes"].toArray()) {
        const Change c = Change_From(v.toObject());
        ++number;
        const std::string entry = "entry " + std::to_string(number) + " of the audit trail " + audit_name;
        if (c.previous_sha256.empty() && !chained) {
            // Kept before the trail was chained: its content still links the next entry.
            ++unchained;
        } else if (c.previous_sha256 != head) {
            e.problems.push_back(entry + " does not follow the entry before it: an entry before it was edited, " +
                                 "removed or added (the chain is broken)");
        }
        if (!c.previous_sha256.empty()) {
            chained = true;
            if (!Is_Hex_Digest(c.results_sha256))
                e.problems.push_back(entry + " holds no results hash");
            else
                results = c.results_sha256;
        }
        head = Change_SHA256(c);
    }
    if (!d.trail_head_sha256.empty() && d.trail_head_sha256 != head)
        e.problems.push_back("the header names another last entry than the audit trail " + audit_name +
                             " ends with: an entry was edited, removed or added since the last change");
    if (unchained > 0)
        e.notes.push_back(std::to_string(unchained) + " changes of the audit trail were kept before it was chained");
    if (results.empty()) {
        e.notes.push_back("the declaration as official at " + d.declared_at +
                          " covers the frames only, not the results (declared before results were covered)");
    } else if (results != results_now) {
        e.problems.push_back(
            "the results in the header (names, times, dead heats, box delay, compensation, start) differ from " +
            std::string(number > unchained ? "those of the last entry of the audit trail "
                                           : "those declared as official, and the audit trail ") +
            audit_name + (number > unchained ? "" : " holds no change") +
            ": a value was changed without a trail entry (SHA-256 kept " + results + ", now " + results_now + ")");
    } else {
        e.notes.push_back("results unchanged since the " +
                          (number > unchained ? "last of " + std::to_string(number) + " trailed changes"
                                              : std::string("declaration")) +
                          " (SHA-256 " + results + ")");
    }
    return e;
}

Evidence Check_Evidence(cls_VideoFile_handler& handler, bool frames, const std::function<void(int)>& progress) {
    Evidence e;
    const std::string path = handler.File_name();
    const std::string audit = Audit_Path(path);
    const Declaration d = Read_Declaration(handler);
    if (!Platform::File_Exists(audit)) {
        if (d.official) e.problems.push_back("the audit trail " + audit + " is missing");
    } else if (!d.official) {
        e.problems.push_back("the heat reads provisional, but the audit trail " + audit +
                             " lies beside it: its official mark was removed");
    } else {
        std::string bytes, error;
        try {
            if (!Platform::Read_File(audit, bytes, &error))
                e.problems.push_back("the audit trail " + audit + " cannot be read: " + error);
            else {
                const Evidence trail = Check_Trail(bytes, d, Results_SHA256(handler), audit);
                e.problems.insert(e.problems.end(), trail.problems.begin(), trail.problems.end());
                e.notes.insert(e.notes.end(), trail.notes.begin(), trail.notes.end());
            }
        } catch (const std::exception& x) {
            e.problems.push_back(std::string("the audit trail cannot be checked: ") + x.what());
        }
    }
    if (frames && d.official) {
        try {
            const std::string now = Frames_SHA256(path, progress);
            if (now == d.frames_sha256)
                e.notes.insert(e.notes.begin(), "frames unchanged since the declaration as official at " +
                                                    d.declared_at + " (SHA-256 " + now + ")");
            else
                e.problems.push_back("frames changed since the declaration as official at " + d.declared_at +
                                     ": SHA-256 declared " + d.frames_sha256 + ", now " + now);
        } catch (const std::exception& x) {
            e.problems.push_back(std::string("frames cannot be checked against the declaration: ") + x.what());
        }
    }
    return e;
}

bool Needs_Reason(cls_VideoFile_handler& handler) { return Read_Declaration(handler).official; }

Change_Outcome Apply_Change(cls_VideoFile_handler& handler, const std::string& what, const std::string& reason,
                            const std::function<std::string()>& value, const std::function<void()>& change) {
    const std::string path = handler.File_name();
    if (handler.Read_only()) return {false, "Permission denied: " + path + " is read-only. Nothing was changed."};
    const Declaration d = Read_Declaration(handler);
    const std::string given = Trimmed(reason);
    if (d.official && given.empty()) return {false, Refusal_Text};
    // Evidence that no longer holds is not carried on as if it did.
    const Evidence before = Check_Evidence(handler);
    if (!before.Holds())
        return {false, "The record of this heat does not hold: " + before.problems.front() + ". Nothing was changed."};

    Header_Snapshot snapshot(handler);
    const auto undo = [&](const std::string& why) {
        snapshot.Restore();
        return Change_Outcome{false, why + ". Nothing was changed."};
    };
    Change c;
    try {
        c.what = what;
        c.old_value = value();
        {
            Held_Writes held(handler);
            change();
        }
        c.new_value = value();
    } catch (const std::exception& e) {
        return undo(std::string("The change of ") + what + " failed: " + e.what());
    }
    if (!d.official) {
        if (!handler.Write_XML_Header()) return undo("The header could not be written to " + path);
        return {true, {}};
    }

    const std::string audit = Audit_Path(path);
    std::string old_trail;
    std::string next_trail;
    Declaration after = d;
    try {
        c.reason = given;
        c.local_time = Date_Time_Text();
        c.pc_name = Platform::Computer_Name();
        c.results_sha256 = Results_SHA256(handler);
        if (!Platform::Read_File(audit, old_trail))
            throw HdxError(HdxErr::PathFileAccess, "The audit trail " + audit + " cannot be read");
        next_trail = Appended(path, d, c);
        after.trail_head_sha256 = Change_SHA256(c);
        handler.Header().Set_Hdr_spare2(Declaration_Element(after));
    } catch (const std::exception& e) {
        return undo(e.what());
    }
    // The record first: a change is never on disk without its entry.
    std::string error;
    if (!Platform::Write_File_Atomic(audit, next_trail, &error)) {
        // A rename that was done before its folder failed to sync is taken back as well.
        Platform::Write_File_Atomic(audit, old_trail);
        return undo("The audit trail " + audit + " cannot be written: " + error);
    }
    if (!handler.Write_XML_Header()) {
        std::string back_error;
        if (!Platform::Write_File_Atomic(audit, old_trail, &back_error))
            return undo("The header could not be written to " + path + ", and its entry in the audit trail " + audit +
                        " could not be taken back: " + back_error);
        return undo("The header could not be written to " + path);
    }
    return {true, {}};
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

bool Change_Result(cls_VideoFile_handler& handler, const std::string& what, const std::function<std::string()>& value,
                   const std::function<void()>& change) {
    std::string reason;
    if (Needs_Reason(handler)) {
        // Refused before asking when the change could not be kept.
        const Evidence e = Check_Evidence(handler);
        if (!e.Holds()) {
            NXF_Error_Handler("The record of this heat does not hold: " + e.problems.front() + ". Nothing was changed.",
                              HdxErr::PathFileAccess, 0, Loc_Change, what);
            return false;
        }
        const std::optional<std::string> answer =
            Platform::Dialogs().Input_Box("Reason for changing " + what + " of this official result", Reason_Title, "");
        reason = Trimmed(answer.value_or(""));
        if (reason.empty()) {
            Platform::MsgBox(Refusal_Text, Platform::MsgButtons::OK, Platform::MsgIcon::Exclamation, Reason_Title);
            return false;
        }
    }
    const Change_Outcome outcome = Apply_Change(handler, what, reason, value, change);
    if (!outcome.done) NXF_Error_Handler(outcome.error, HdxErr::DeviceIO, 0, Loc_Change, what);
    return outcome.done;
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
