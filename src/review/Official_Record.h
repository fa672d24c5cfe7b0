#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class cls_VideoFile_handler;

// A heat declared official after the judge's check. The declaration (local
// time, the SHA-256 of the recording's frames and of its results, and the hash
// of the last entry of its trail) is kept in the header's spare element
// "hdr_spare2"; every later change of a result needs a reason and is kept in
// the audit trail NAME.nx3.audit beside the recording (JSON, written
// atomically, before the header it records). Each entry holds the hash of the
// entry before it (the first: of the declaration) and the results hash of the
// header after the change, so an edit of the header, of the trail or of the
// official mark shows. The recording opens without that file.
namespace Official_Record {

struct Declaration {
    bool official = false;
    std::string declared_at;    // local "yyyy-mm-dd hh:nn:ss"
    std::string frames_sha256;  // 64 lower-case hex digits
    // Of Results_Text at the declaration; empty in a declaration made before
    // the results were covered ("official|<at>|<frames>"), which covers the frames only.
    std::string results_sha256;
    // Change_SHA256 of the trail's last entry, Declaration_SHA256 while there
    // is none; empty in a declaration made before the trail was chained.
    std::string trail_head_sha256;
};

struct Change {
    std::string local_time;  // "yyyy-mm-dd hh:nn:ss"
    std::string pc_name;
    std::string what;  // "box 3 goal time", "box 2 dog name", "all results", ...
    std::string old_value, new_value;
    std::string reason;
    // Of the entry before (the first entry: Declaration_SHA256); empty in the
    // entries kept before the trail was chained.
    std::string previous_sha256 = {};
    std::string results_sha256 = {};  // of the header's results after the change
};

// The audit trail's file: the recording's path with ".audit" added.
std::string Audit_Path(const std::string& recording);

// The spare element's text for a declaration and back:
// "official|<at>|<frames>|<results>|<trail head>", or the older
// "official|<at>|<frames>"; anything else reads as provisional (a new recording holds "0000").
std::string Declaration_Element(const Declaration& d);
Declaration Parse_Declaration(const std::string& element);
// The declaration of an open recording; provisional when the header cannot be read.
Declaration Read_Declaration(cls_VideoFile_handler& handler);

// The hashes that chain the trail: of the declaration without its trail head
// ("official|<at>|<frames>|<results>", or the older three fields), and of one
// entry (each field in order as "NAME LENGTH:TEXT" lines).
std::string Declaration_SHA256(const Declaration& d);
std::string Change_SHA256(const Change& c);

// The results part of the header as one text, one line per covered element:
// "NAME LENGTH:TEXT", or "NAME -" when the element is missing. Covered: the
// start stamp (hdx_start_datetime, hdx_start_local_mill, hdx_start_PC_mill),
// the goal and split compensation, the box delay, and for boxes 1 to 8 the dog
// name, goal and split times (no-time codes included), goal and split click
// times and the dead-heat mark. The text as stored is taken, so any edit shows.
std::string Results_Text(cls_VideoFile_handler& handler);
std::string Results_SHA256(cls_VideoFile_handler& handler);  // of Results_Text, lower-case hex

// SHA-256 of everything after the header block: the frames as stored.
// progress gets 0..100 while the file is read. Raises when it cannot be read.
std::string Frames_SHA256(const std::string& recording, const std::function<void(int)>& progress = {});

// Declares the open recording official now: hashes its own file's frames and
// its results, starts the audit trail and writes the declaration into the
// header. Runs no event loop: progress is the caller's. Raises when the
// recording cannot be read or written (read-only included) or is official
// already; nothing is left changed then.
Declaration Declare(cls_VideoFile_handler& handler, const std::function<void(int)>& progress = {});

// The changes kept since the declaration, oldest first; none when there is no
// trail. Raises (HdxError) when the trail exists but cannot be read.
std::vector<Change> Read_Trail(const std::string& recording);
// The declaration the trail was started with; nullopt when there is no trail.
// Raises (HdxError) when the trail exists but cannot be read.
std::optional<Declaration> Trail_Declaration(const std::string& recording);
// Adds one change to the trail of declaration d, chained to its last entry
// (the whole file rewritten atomically); c.results_sha256 is the caller's.
// Raises when the trail is missing, belongs to another declaration, cannot be
// read or written; the trail is then unchanged. Apply_Change is the way to
// change a result: this only keeps the record.
void Append_Change(const std::string& recording, const Declaration& d, Change c);

// The reason a change of an official result needs, asked by the platform
// input box; nullopt (and the refusal shown) without one. A provisional heat
// needs none: an empty reason, not asked.
std::optional<std::string> Ask_Reason(bool official, const std::string& what);

// What holds of an official heat's evidence and what does not.
struct Evidence {
    std::vector<std::string> problems;  // each a reason it does not hold
    std::vector<std::string> notes;     // what was checked and holds, or is not covered
    bool Holds() const { return problems.empty(); }
};
// A trail's text (audit_name names it in the texts) against the header's
// declaration d and the header's Results_SHA256 now.
Evidence Check_Trail(const std::string& trail_bytes, const Declaration& d, const std::string& results_now,
                     const std::string& audit_name);
// The open recording's declaration, the trail beside it and its results; with
// frames also the frames' hash (progress as in Frames_SHA256). Never raises.
Evidence Check_Evidence(cls_VideoFile_handler& handler, bool frames = false,
                        const std::function<void(int)>& progress = {});

// An official heat changes only with a reason.
bool Needs_Reason(cls_VideoFile_handler& handler);

struct Change_Outcome {
    bool done = false;
    std::string error;  // why not, when not done
};
// Changes a result of the open recording: change() sets the new values in the
// header in memory (header writes it makes are held and done once, here).
// Provisional heat: the header is written. Official heat: refused without a
// reason (error Refusal_Text) or when its evidence does not hold; else the
// trail entry (value() before and after, the reason, the local time, the PC
// name, the chain and the results hash after) is written first, then the
// header: both or neither. When not done the header in memory and on disk and
// the trail are as before. Shows nothing and runs no event loop.
Change_Outcome Apply_Change(cls_VideoFile_handler& handler, const std::string& what, const std::string& reason,
                            const std::function<std::string()>& value, const std::function<void()>& change);

// Apply_Change with the reason asked by the platform input box when the heat is
// official (refused without one: Refusal_Text shown). False when refused or
// failed; a failure is reported through the error handler.
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
