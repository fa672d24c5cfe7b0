// Whatever lies beside an official heat as its audit trail.
// Input: one byte, then the trail. The byte (modulo Audit_States) picks the
// heat it lies beside: declared, then changed that many times.
// The readers either read the trail or raise HdxError; the check of the trail
// alone and of the heat agree; a change is made only when the evidence holds,
// leaves it holding, and when refused changes neither file.

#include "Fuzz_Support.h"
#include "Seed_Writer.h"
#include "platform/Files.h"
#include "platform/HdxError.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Official_Record.h"

namespace {

std::string g_Recording[Audit_States];  // the heat in each state
std::string g_Trail[Audit_States];      // its trail as written

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    Fuzz::Init(argc, argv, false);
    // Named as the seeds' heat, so a seed's trail is the one written here.
    const std::string path = Fuzz::Temp_Dir() + "/official.nx3";
    for (int state = 0; state < Audit_States; ++state) {
        if (!Write_Official_Recording(path, state)) Fuzz::Fail("the official heat was not made");
        g_Recording[state] = Fuzz::Read_Bytes(path);
        g_Trail[state] = Fuzz::Read_Bytes(Official_Record::Audit_Path(path));
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    Fuzz::Reset();
    const int state = data[0] % Audit_States;
    const std::string trail(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string path = Fuzz::Temp_Dir() + "/input.nx3";
    const std::string audit = Official_Record::Audit_Path(path);
    Fuzz::Write_Bytes(path, g_Recording[state]);
    Fuzz::Write_Bytes(audit, trail);

    try {
        (void)Official_Record::Read_Trail(path);
        (void)Official_Record::Trail_Declaration(path);
    } catch (const HdxError&) {
        // A trail that cannot be read says so; nothing else may escape.
    }

    cls_VideoFile_handler h;
    if (!h.Open_File(path)) Fuzz::Fail("the heat does not open");
    const Official_Record::Evidence evidence = Official_Record::Check_Evidence(h);
    const Official_Record::Evidence alone = Official_Record::Check_Trail(trail, Official_Record::Read_Declaration(h),
                                                                         Official_Record::Results_SHA256(h), audit);
    if (evidence.Holds() != alone.Holds()) Fuzz::Fail("the trail alone and the heat are judged otherwise");
    if (trail == g_Trail[state] && !evidence.Holds()) Fuzz::Fail("the trail as written does not hold");

    const Official_Record::Change_Outcome out = Official_Record::Apply_Change(
        h, "box 3 goal time", "fuzz", [&] { return Official_Record::Box_Value(h, 3, false); },
        [&] { h.Set_Hdx_Heat_time(3, false, 30120); });
    if (out.done != evidence.Holds())
        Fuzz::Fail("a change was " + std::string(out.done ? "made" : "refused") +
                   " against what the evidence showed: " + out.error);
    if (!out.done) {
        if (Fuzz::Read_Bytes(path) != g_Recording[state]) Fuzz::Fail("a refused change changed the recording");
        if (Fuzz::Read_Bytes(audit) != trail) Fuzz::Fail("a refused change changed the trail");
        return 0;
    }
    if (!Official_Record::Check_Evidence(h).Holds()) Fuzz::Fail("a change left the evidence broken");
    if (Official_Record::Read_Trail(path).empty()) Fuzz::Fail("a change left no entry");
    return 0;
}
