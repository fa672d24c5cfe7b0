#include "review/Heat_Result.h"

#include <exception>

#include "common/Text.h"
#include "metadata/Cls_XML_header.h"
#include "recording/cls_VideoFile_handler.h"

std::string Heat_Result::Status() const {
    if (!Declaration.official) return "provisional";
    return Trail.empty() ? "official" : "amended";
}

namespace Heat_Results {

int32_t Recorded_Box_Delay(cls_VideoFile_handler& handler) {
    int64_t v = 0;
    if (Parse_Whole_Number(Trim_Blanks(handler.Header().Hdx_box_delay()), v) != Whole_Number::Ok) return 0;
    return v < -60000 || v > 60000 ? 0 : static_cast<int32_t>(v);
}

Heat_Result Read(cls_VideoFile_handler& handler) {
    Heat_Result r;
    r.File = handler.File_name();
    // A header that cannot be read is reported there and leaves six boxes without times.
    Module_Results::Load_Result_Array(handler, r.Ranked);
    Module_Results::Sort_Result_Array(r.Ranked);
    r.Box_Delay = Recorded_Box_Delay(handler);
    r.Rows = Module_Results::Result_Rows(r.Ranked, r.Box_Delay);
    r.Event = handler.Hdx_event();
    r.Heat_ID = handler.Hdx_Heat_ID();
    r.Heat_Name = handler.Hdx_Heat_Name();
    r.Started = handler.Hdx_start_DateTime();
    r.Declaration = Official_Record::Read_Declaration(handler);
    try {
        r.Trail = Official_Record::Read_Trail(r.File);
    } catch (const std::exception& e) {
        r.Trail_Problem = e.what();
    }
    return r;
}

}  // namespace Heat_Results
