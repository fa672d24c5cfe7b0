// A header document loaded and every accessor asked. Accessors that raise
// must raise HdxError (what their callers trap); a document that loads must
// serialise to a text that loads to the same text again.
#include <functional>

#include "Fuzz_Support.h"
#include "metadata/Cls_XML_header.h"
#include "platform/HdxError.h"

namespace {

template <typename F>
void Ask(F&& f) {
    try {
        f();
    } catch (const HdxError&) {
    }
}

void Every_Read(Cls_XML_header& h) {
    Ask([&] { (void)h.XML_string(); });
    Ask([&] { (void)h.Len_XML(); });
    Ask([&] { (void)h.XML_len(); });
    Ask([&] { (void)h.Update_Time(); });
    Ask([&] { (void)h.Creation_date(); });
    Ask([&] { (void)h.Last_Capture_time(); });
    Ask([&] { (void)h.Streams_no(); });
    Ask([&] { (void)h.G_Frames_no(); });
    Ask([&] { (void)h.Segments_no(); });
    Ask([&] { (void)h.Timing_Bias(); });
    Ask([&] { (void)h.Comp_Name(); });
    Ask([&] { (void)h.Comp_CaptureInfo(); });
    Ask([&] { (void)h.Capture_sample_size(); });
    Ask([&] { (void)h.Comp_CPUInfo(); });
    Ask([&] { (void)h.Comp_CPUbitness(); });
    Ask([&] { (void)h.Comp_OSbitness(); });
    Ask([&] { (void)h.Capture_property(); });
    Ask([&] { (void)h.Capture_source(); });
    Ask([&] { (void)h.Actual_sample(); });
    Ask([&] { (void)h.Phidget_serial(); });
    Ask([&] { (void)h.prog_id(); });
    Ask([&] { (void)h.Exe_Name(); });
    Ask([&] { (void)h.Prog_Major(); });
    Ask([&] { (void)h.Prog_Minor(); });
    Ask([&] { (void)h.Prog_Revision(); });
    Ask([&] { (void)h.Computer_Uptime(); });
    Ask([&] { (void)h.Program_Uptime(); });
    Ask([&] { (void)h.OS_version(); });
    Ask([&] { (void)h.Subject_name(); });
    for (int16_t k : {-1, 0, 1, 2, 9, 32767}) Ask([&] { (void)h.comment(k); });
    Ask([&] { (void)h.File_comment1(); });
    Ask([&] { (void)h.SpecApp(); });
    Ask([&] { (void)h.Hdr_spare1(); });
    Ask([&] { (void)h.RGB_X(); });
    Ask([&] { (void)h.RGB_Y(); });
    Ask([&] { (void)h.RGB_Image_size(); });
    Ask([&] { (void)h.RGB_Max_Seen_size(); });
    Ask([&] { (void)h.RGB_Comp_Threshold(); });
    Ask([&] { (void)h.RGB_Compressed_max_Size(); });
    Ask([&] { (void)h.RGB_Compressed_buffer_Size(); });
    Ask([&] { (void)h.RGB_Compressed_min_Size(); });
    Ask([&] { (void)h.RGB_Sample_Size(); });
    Ask([&] { (void)h.RGB_interlaced(); });
    Ask([&] { (void)h.RGB_Rotated(); });
    Ask([&] { (void)h.RGB_preview_on(); });
    Ask([&] { (void)h.RGB_fourcc(); });
    Ask([&] { (void)h.RGB_JPEG_codec(); });
    Ask([&] { (void)h.RGB_fps(); });
    Ask([&] { (void)h.RGB_JPEG_Quality(); });
    Ask([&] { (void)h.JPG_Reduced_Qual_num(); });
    Ask([&] { (void)h.Hdx_event(); });
    Ask([&] { (void)h.Hdx_Heat_ID(); });
    Ask([&] { (void)h.Hdx_Heat_Name(); });
    Ask([&] { (void)h.Hdx_Heat_Length(); });
    Ask([&] { (void)h.Hdx_Goal_Finish(); });
    Ask([&] { (void)h.Hdx_Goal_Split(); });
    Ask([&] { (void)h.Hdx_start_DateTime(); });
    Ask([&] { (void)h.Hdx_heat_start_Local_mill(); });
    Ask([&] { (void)h.Hdx_heat_start_PC_mill(); });
    Ask([&] { (void)h.Hdx_start_HDMI_events(); });
    Ask([&] { (void)h.Goal_Compensation(); });
    Ask([&] { (void)h.Split_Compensation(); });
    Ask([&] { (void)h.Hdx_box_delay(); });
    for (int16_t box : {-1, 0, 1, 4, 8, 9, 32767}) {
        Ask([&] { (void)h.Hdx_Dog_name(box); });
        Ask([&] { (void)h.Hdx_Heat_time(box, false); });
        Ask([&] { (void)h.Hdx_Heat_time(box, true); });
        Ask([&] { (void)h.Hdx_Heat_Click_Time(box); });
        Ask([&] { (void)h.Hdx_heat_frame(box); });
        Ask([&] { (void)h.Hdx_split_frame(box); });
        Ask([&] { (void)h.Hdx_dead_heat(box); });
    }
}

// The writers the recording side uses on a loaded header.
void Some_Writes(Cls_XML_header& h) {
    Ask([&] { h.Set_Update_Time("2026-05-16 14:30:00"); });
    Ask([&] { h.Set_Frames_no(12); });
    Ask([&] { h.Set_L_RGB_Sample_Size(4096); });
    Ask([&] { h.Set_Hdx_event("Cup \xC3\xA4"); });
    Ask([&] { h.Set_Hdx_Dog_name(2, "Rex"); });
    Ask([&] { h.Set_Hdx_Heat_time(2, false, 31000); });
    Ask([&] { h.Set_Hdx_heat_frame(2, 77); });
    Ask([&] { h.Set_Hdx_dead_heat(2, true); });
    Ask([&] { h.Set_comment(3, "note"); });
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    Fuzz::Init(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fuzz::Reset();
    const std::string text(reinterpret_cast<const char*>(data), size);
    Cls_XML_header h;
    h.Set_XML_string(text);
    Every_Read(h);
    Some_Writes(h);
    if (!h.Has_XML()) return 0;
    std::string first;
    Ask([&] { first = h.XML_string(); });
    Cls_XML_header again;
    again.Set_XML_string(first);
    if (!again.Has_XML()) Fuzz::Fail("the header's own text does not load again");
    std::string second;
    Ask([&] { second = again.XML_string(); });
    if (second != first) Fuzz::Fail("the header's text changes when it is loaded again");
    return 0;
}
