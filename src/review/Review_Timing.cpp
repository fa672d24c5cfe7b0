#include "Review_Timing.h"

#include <cmath>

#include "platform/HdxError.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Module_Results.h"

namespace Review_Timing {

int32_t Heat_Elapsed(int32_t capture_mill, int32_t start_mill, int16_t field_to_show, double goal_compensation,
                     int16_t field_period) {
    // Wrapping difference: a heat that spans the clock's sign change still measures right.
    const auto raw = static_cast<int32_t>(static_cast<uint32_t>(capture_mill) - static_cast<uint32_t>(start_mill));
    double elapsed = static_cast<double>(raw) + 2.0;
    if (field_to_show == 2) elapsed += field_period;
    elapsed -= goal_compensation;
    const double rounded = std::nearbyint(elapsed);  // default mode: halves to even
    if (!(rounded >= INT32_MIN && rounded <= INT32_MAX)) throw HdxError(HdxErr::Overflow, "Overflow");
    return static_cast<int32_t>(rounded);
}

int32_t Position_Elapsed(const cls_VideoFile_handler& handler, int32_t start_mill, double goal_compensation) {
    return Heat_Elapsed(handler.Timestamp_long(), start_mill, handler.Field_To_Show(), goal_compensation,
                        handler.Field_Period());
}

int32_t No_Time_Code(const std::string& caption) {
    if (caption == "DNF") return DNF_Code;
    if (caption == "DSQ") return DSQ_Code;
    return No_Rank_Code;
}

namespace {
void Write_Or_Raise(cls_VideoFile_handler& handler) {
    if (handler.Read_only())
        throw HdxError(HdxErr::PermissionDenied, "Permission denied: " + handler.File_name() + " is read-only");
    if (!handler.Write_XML_Header())
        throw HdxError(HdxErr::DeviceIO, "The header could not be written to " + handler.File_name());
}
}  // namespace

void Apply(cls_VideoFile_handler& handler, const Assignment& a) {
    handler.Set_Hdx_Heat_time(a.box, a.split, a.time);
    if (a.split) {
        handler.Set_Hdx_split_frame(a.box, a.position);
    } else {
        handler.Set_Hdx_heat_frame(a.box, a.position);
        handler.Set_Hdx_Heat_Click_Time(a.box, a.click_mill);
        handler.Set_Hdx_dead_heat(a.box, a.dead_heat);
        if (a.no_time_code != 0) handler.Set_Hdx_Heat_time(a.box, false, a.no_time_code);
    }
}

void Set_Time(cls_VideoFile_handler& handler, const Assignment& a) {
    if (handler.Read_only())
        throw HdxError(HdxErr::PermissionDenied, "Permission denied: " + handler.File_name() + " is read-only");
    Apply(handler, a);
    Write_Or_Raise(handler);
}

void Clear_All(cls_VideoFile_handler& handler) {
    for (int16_t box = 1; box <= 8; ++box) {
        handler.Set_Hdx_heat_frame(box, 0);
        handler.Set_Hdx_Heat_time(box, false, 0);
        handler.Set_Hdx_Heat_time(box, true, 0);
        handler.Set_Hdx_Heat_Click_Time(box, 0);
        handler.Set_Hdx_dead_heat(box, false);
        // An estimated crossing goes with the times it was made for.
        handler.Set_Hdx_heat_spare1(box, "00000");
    }
}

void Clear_All_Results(cls_VideoFile_handler& handler) {
    if (handler.Read_only())
        throw HdxError(HdxErr::PermissionDenied, "Permission denied: " + handler.File_name() + " is read-only");
    Clear_All(handler);
    Write_Or_Raise(handler);
}

}  // namespace Review_Timing
