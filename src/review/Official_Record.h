#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class cls_VideoFile_handler;

// A heat declared official after the judge's check. The declaration (local
// time and the SHA-256 of the recording's frames) is kept in the header's
// spare element "hdr_spare2"; every later change of a result needs a reason
// and is kept in the audit trail NAME.nx3.audit beside the recording (JSON,
// written atomically). The recording opens without that file.
namespace Official_Record {

struct Declaration {
    bool official = false;
    std::string declared_at;    // local "yyyy-mm-dd hh:nn:ss"
    std::string frames_sha256;  // 64 lower-case hex digits
};

struct Change {
    std::string local_time;  // "yyyy-mm-dd hh:nn:ss"
    std::string pc_name;
    std::string what;  // "box 3 goal time", "box 2 dog name", "all results", ...
    std::string old_value, new_value;
    std::string reason;
};

// The audit trail's file: the recording's path with ".audit" added.
std::string Audit_Path(const std::string& recording);

// The spare element's text for a declaration and back; anything else reads as
// provisional (a new recording holds "0000").
std::string Declaration_Element(const Declaration& d);
Declaration Parse_Declaration(const std::string& element);
// The declaration of an open recording; provisional when the header cannot be read.
Declaration Read_Declaration(cls_VideoFile_handler& handler);

// SHA-256 of everything after the header block: the frames as stored.
// progress gets 0..100 while the file is read. Raises when it cannot be read.
std::string Frames_SHA256(const std::string& recording, const std::function<void(int)>& progress = {});

// Declares the open recording official now: hashes its frames, writes the
// declaration into the header and starts the audit trail. Raises when the
// recording cannot be read or written (read-only included) or is official already.
Declaration Declare(cls_VideoFile_handler& handler, const std::function<void(int)>& progress = {});

// The changes kept since the declaration, oldest first; none when there is no
// trail. Raises (HdxError) when the trail exists but cannot be read.
std::vector<Change> Read_Trail(const std::string& recording);
// The declaration the trail was started with; nullopt when there is no trail.
// Raises (HdxError) when the trail exists but cannot be read.
std::optional<Declaration> Trail_Declaration(const std::string& recording);
// Adds one change to the trail (the whole file rewritten atomically). Raises
// when the trail cannot be read or written; the trail is then unchanged.
void Append_Change(const std::string& recording, const Declaration& d, const Change& c);

// The reason a change of an official result needs, asked by the platform
// input box; nullopt (and the refusal shown) without one. A provisional heat
// needs none: an empty reason, not asked.
std::optional<std::string> Ask_Reason(bool official, const std::string& what);

// Whether a change of the open recording's result needs a reason: it was declared official.
bool Needs_Reason(cls_VideoFile_handler& handler);

struct Change_Outcome {
    bool done = false;
    std::string error;  // why nothing was changed
};
// Applies change() to the recording's header in memory and writes it; both or
// neither: when the write (or, on an official heat, the trail entry with the
// reason) fails, the header in memory is put back and nothing is changed.
Change_Outcome Apply_Change(cls_VideoFile_handler& handler, const std::string& what, const std::string& reason,
                            const std::function<std::string()>& value, const std::function<void()>& change);

// Runs change() on the open recording. When the heat is official the operator
// is first asked for a reason (platform input box); without one nothing is
// changed and false is returned. After the change, value() before and after
// goes into the trail with the reason, the local time and the PC name.
bool Change_Result(cls_VideoFile_handler& handler, const std::string& what, const std::function<std::string()>& value,
                   const std::function<void()>& change);

// What the results window and the printout show.
std::string Declaration_Text(const Declaration& d);  // "Official since ... - frames SHA-256 ..."
std::string Change_Text(const Change& c);            // one line of the trail

// A box's stored goal or split result as text: "28,45", "DNF", "DSQ",
// "no rank", "no time", with " dead heat" for a marked goal.
std::string Box_Value(cls_VideoFile_handler& handler, int16_t box, bool split);
// Every box's goal result, "1: 28,45; 2: no time; ...".
std::string All_Boxes_Value(cls_VideoFile_handler& handler);

// Texts of the reason box and of the refusal.
inline const std::string Reason_Title = "Houndex official result";
inline const std::string Refusal_Text =
    "This heat was declared official: a change needs a reason. Nothing was changed.";

}  // namespace Official_Record
