// Whatever a crash left as a capture journal, folded into its recording.
// Input: one byte, then the journal. The byte's two low bits are how many of
// the recording's samples are there, bit 2 a torn sample after them, bit 3
// leaves the records' check sums as they are (else they are made to match, so
// that changed fields reach the writer: a check sum guards against a torn
// write, not against a record that lies).
// Recovery either stores the journal's frames after the samples the recording
// already holds and deletes it, or changes nothing at all.

#include "Fuzz_Support.h"
#include "Seed_Writer.h"
#include "recording/Frame_Journal.h"
#include "recording/NX3_Layout.h"
#include "recording/cls_VideoFile_handler.h"

namespace {

// The journal's layout: an 8-byte magic and frames_before, then records of a
// 43-byte head (its last field the picture's size), the picture and an FNV-1a
// check sum of both.
void Seal_Records(std::string& j) {
    constexpr size_t Head = 43;
    size_t at = 12;
    while (at + Head + 4 <= j.size() && j.compare(at, 4, "JREC") == 0) {
        uint32_t size = 0;
        for (int i = 0; i < 4; ++i) size |= uint32_t(uint8_t(j[at + Head - 4 + size_t(i)])) << (8 * i);
        if (size == 0 || size > j.size() || at + Head + size + 4 > j.size()) return;
        uint32_t h = 2166136261u;
        for (size_t i = at; i < at + Head + size; ++i) h = (h ^ uint8_t(j[i])) * 16777619u;
        for (int i = 0; i < 4; ++i) j[at + Head + size + size_t(i)] = char(h >> (8 * i));
        at += Head + size + 4;
    }
}

std::string g_Recording;  // the whole recording the inputs cut down
int64_t g_Sample = 0;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    Fuzz::Init(argc, argv, false);
    const std::string path = Fuzz::Temp_Dir() + "/made.nx3";
    cls_VideoFile_handler h;
    if (!Write_Journal_Recording(path) || !h.Open_File(path)) Fuzz::Fail("the recording to recover into was not made");
    g_Sample = h.Read_Sample_Size();
    g_Recording = Fuzz::Read_Bytes(path);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    Fuzz::Reset();
    const int64_t kept = data[0] & 3;
    std::string recording = g_Recording.substr(0, static_cast<size_t>(NX3::Sample_Offset(kept + 1, g_Sample)));
    if (data[0] & 4) recording += g_Recording.substr(recording.size(), static_cast<size_t>(g_Sample / 2));
    const std::string path = Fuzz::Temp_Dir() + "/input.nx3";
    const std::string journal = Frame_Journal::Path_For(path);
    Fuzz::Write_Bytes(path, recording);
    std::string journal_bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (!(data[0] & 8)) Seal_Records(journal_bytes);
    Fuzz::Write_Bytes(journal, journal_bytes);

    (void)Frame_Journal::Read(journal);
    int32_t recovered = 0;
    {
        cls_VideoFile_handler h;
        h.Set_File_name(path);
        recovered = h.Recover_Journal();
        if (h.Recover_Journal() !=
            (recovered >= 0 ? cls_VideoFile_handler::No_Journal : cls_VideoFile_handler::Journal_Kept))
            Fuzz::Fail("a second recovery did otherwise than the first");
    }
    if (recovered == cls_VideoFile_handler::No_Journal) Fuzz::Fail("the journal was not found");
    if (recovered == cls_VideoFile_handler::Journal_Kept) {
        // The disk never fails here: a journal kept is one that does not fit.
        if (Fuzz::Read_Bytes(path) != recording) Fuzz::Fail("a recovery that kept its journal changed the recording");
        if (Fuzz::Read_Bytes(journal) != journal_bytes) Fuzz::Fail("a kept journal was changed");
        return 0;
    }
    const std::string after = Fuzz::Read_Bytes(path);
    const size_t samples_from = static_cast<size_t>(NX3::Sample_Offset(1, g_Sample));
    const size_t kept_end = static_cast<size_t>(NX3::Sample_Offset(kept + 1, g_Sample));
    if (after.size() < kept_end ||
        after.compare(samples_from, kept_end - samples_from, recording, samples_from, kept_end - samples_from) != 0)
        Fuzz::Fail("the samples the recording held were changed");
    cls_VideoFile_handler r;
    if (!r.Open_File(path)) Fuzz::Fail("the recovered recording does not open");
    if (r.num_Frames() != kept + recovered) Fuzz::Fail("the recording does not hold the frames recovered");
    if (r.Header().G_Frames_no() != r.num_Frames()) Fuzz::Fail("the header does not count the recovered frames");
    return 0;
}
