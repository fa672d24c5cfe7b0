#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QImage>

#include "metadata/Cls_XML_header.h"
#include "recording/Binary_File.h"
#include "recording/Frame_Compressor.h"
#include "recording/IStored_Frames.h"
#include "recording/Sample_Read_Ahead.h"
#include "recording/cDIBSection.h"

namespace Platform {
class Picture_Canvas;
}

// The recording file handler: owns at most one NX3 recording at a time and
// its header document. Writing side: initiate a new recording, rewrite the
// header block in place, append the stored frames of a capture window as
// fixed-size samples, close with the counts. Reading side: open a recording,
// read and decode one sample (with a one-sample cache), per-frame and per-file
// properties. Drawing side: a frame or one field of it onto a picture box,
// rotated when the recording is.
//
// Properties follow the header object's scheme: X() reads, Set_X(v) writes.
// Procedures trap their own faults and report them through the common error
// handler; header pass-throughs without a reporting rule let the header
// object's HdxError reach the caller.
class cls_VideoFile_handler {
public:
    cls_VideoFile_handler();
    ~cls_VideoFile_handler();
    cls_VideoFile_handler(const cls_VideoFile_handler&) = delete;
    cls_VideoFile_handler& operator=(const cls_VideoFile_handler&) = delete;

    // ---- the file ----------------------------------------------------------
    const std::string& File_name() const { return m_File_name; }
    void Set_File_name(const std::string& path);
    // The text after the last "." of the file name, as written.
    const std::string& Current_File_Suffix() const { return m_Current_File_Suffix; }
    int32_t File_size() const;  // length of the named file; 0 when it cannot be read
    bool File_open() const { return m_File_Num != 0; }
    int32_t File_Num() const { return m_File_Num; }
    // The position of the open file (-1 when closed): where the next sample is
    // appended, or where the last sample was read.
    int64_t File_Position() const;
    bool Read_only() const { return m_Read_only; }

    // ---- writing -----------------------------------------------------------
    int32_t Cropped_X() const { return m_Compressor.Cropped_X(); }
    void Set_Cropped_X(int32_t width) { m_Compressor.Cropped_X(width); }
    int32_t Cropped_Y() const { return m_Compressor.Cropped_Y(); }
    void Set_Cropped_Y(int32_t height) { m_Compressor.Cropped_Y(height); }
    // Set by the caller before initiation; opening a recording takes them from its header.
    bool RGB_interlaced() const { return m_RGB_interlaced; }
    void Set_RGB_interlaced(bool value) {
        m_RGB_interlaced = value;
        m_Compressor.Interlaced(value);
    }
    // Whether recordings this handler initiates keep the two fields of an
    // interlaced frame apart in its JPEG (the default), so that compression
    // cannot bleed one field's dog into the other; false writes them
    // interleaved, as recordings made before did.
    bool Stack_Fields() const { return m_Stack_Fields; }
    void Set_Stack_Fields(bool value) { m_Stack_Fields = value; }
    // The frames of the recording written or read keep their fields apart
    // (its header says so); every picture the handler decodes has them
    // interleaved again. Its stored JPEGs (Sample_JPEG) then show field 1 above field 2.
    bool Fields_Stacked() const { return m_RGB_interlaced && m_Compressor.Fields_Stacked(); }
    bool RGB_Rotated() const { return m_RGB_Rotated; }
    void Set_RGB_Rotated(bool value) { m_RGB_Rotated = value; }
    int16_t RGB_Topdelim_Y() const { return m_RGB_Topdelim_Y; }
    void Set_RGB_Topdelim_Y(int16_t row) { m_RGB_Topdelim_Y = row; }

    Frame_Compressor& Compressor() { return m_Compressor; }
    int32_t Rounded_Compressed_Size() const { return m_Compressor.Rounded_Compressed_Size(); }
    int16_t Initial_Quality() const { return m_Compressor.Initial_Quality(); }
    void JPG_Sizes(int32_t smallest, int32_t largest) { m_Compressor.JPG_Sizes(smallest, largest); }

    // Creates the recording at path (File_name when path is empty) with a new
    // header document and closes it again. A path that already holds a file
    // is refused: an existing recording is never overwritten or mixed with a
    // new one. The new header copies origin's texts. False (reported) when the
    // file was not created.
    bool Initiate_NX3_File(const std::string& path, const Header_Origin& origin = {});
    // Stamps "update_date" and "update_program" and rewrites the header block
    // in place; the file stays open and its position is kept. False (reported)
    // when the header was not written, also for a read-only recording.
    bool Write_XML_Header();
    // While held, Write_XML_Header changes nothing on disk and returns True:
    // a change made of several steps that each write is written once, after
    // its record is kept (see Official_Record::Apply_Change).
    void Hold_Header_Writes(bool hold) { m_Hold_Header_Writes = hold; }
    bool Header_Writes_Held() const { return m_Hold_Header_Writes; }

    // A header block rewritten in place is first kept whole beside the
    // recording (Header_Copy_Path, written atomically with its checksum) and
    // that copy is removed once the block is on the device. A copy found on
    // opening with a sound checksum and other contents than the block means
    // the rewrite was cut short: the copy is read instead and, when the
    // recording may be written (and Set_Repair_Header allows), written back
    // in place. A copy whose checksum fails is ignored and left where it is.
    static std::string Header_Copy_Path(const std::string& recording) { return recording + ".header"; }
    // What the last reading of the header took from the copy; empty when nothing.
    const std::string& Header_Recovered() const { return m_Header_Recovered; }
    // False: a recovered header is used but the block in place is left as it
    // is (for checks that must not change the file). True by default.
    void Set_Repair_Header(bool repair) { m_Repair_Header = repair; }
    // A second reader beside the one under review, on a worker thread: opened
    // read-only, never repairing the header, and a file or sample that cannot
    // be read only makes the call fail: nothing is shown or reported.
    bool Open_For_Reading(const std::string& path);
    // Tests: called while a header block is rewritten in place, with -1 once
    // the copy beside it is written, then with the bytes in place after each
    // 512-byte piece. None by default.
    static void Set_Header_Write_Observer(std::function<void(int64_t in_place)> observer);
    // Opens the recording for appending (reloading its header) and positions
    // at the end of its last complete sample.
    bool Open_nx3_for_Append();
    // Chooses the data-area size N from test frames of the collection, writes
    // it into the header and rewrites the header; returns N (0 = not chosen).
    int32_t Calculate_Compressed_Size(const IStored_Frames& frames);
    // Compresses the stored frame with this index, fits it into N bytes and
    // appends it as one sample. False (reported) when the frame was not stored.
    bool Append_RGB_Frame(const IStored_Frames& frames, int32_t index);
    // What one append pass did, for its caller to act on and tell the official.
    struct Append_Result {
        int32_t frames = 0;    // frames handed to the pass
        int32_t stored = 0;    // of them in the recording now, in their order
        int32_t left_out = 0;  // frames with no picture that fits a sample (each reported)
        // Why the pass stopped before its last frame (the file could not be
        // opened, written or its header rewritten); empty when it did not. The
        // stored frames are then the first ones and the header counts only
        // them; the failure itself was reported once.
        std::string problem;
        bool Complete() const { return problem.empty(); }
        int32_t Not_Stored() const { return frames - stored - left_out; }
    };
    // One capture-end pass: chooses N when it is not chosen yet, appends every
    // stored frame in order, closes with the counts and empties the
    // collection. progress gets the percentage after each frame. The first
    // failure to write ends the pass: the frames after it are not written, so
    // the recording never holds a gap that a kept journal could not fill.
    // The frames are fitted on Append_Threads worker threads ahead of the
    // writer and written in arrival order on the calling thread; the file is
    // byte for byte the one a single thread writes. The collection must not
    // change while the pass runs, so the pass never runs pending events
    // itself; a pass entered again from progress is refused (reported) and
    // keeps its frames.
    Append_Result Append_Window(IStored_Frames& frames, const std::function<void(int)>& progress = {});
    // The same, returning the number of frames stored in the file.
    int32_t Append_Stored_Frames(IStored_Frames& frames, const std::function<void(int)>& progress = {}) {
        return Append_Window(frames, progress).stored;
    }
    // Threads that fit frames in an append pass: 0 (the default) = one per
    // core, 1 = the writer alone.
    int32_t Append_Threads() const { return m_Append_Threads; }
    void Set_Append_Threads(int32_t threads) { m_Append_Threads = threads < 0 ? 0 : threads; }
    // Frames appended since the counts were last written.
    int32_t Frames_Appended() const { return m_RGB_frames_appended; }
    // Complete samples in the named recording now (0 while its N is not chosen).
    int32_t Complete_Samples();
    // Folds the journal an interrupted capture window left beside the named
    // recording into it and deletes the journal. The journal's first records
    // are the recording's samples from frames_before on: those the recording
    // already holds are not appended again (their stamps are checked), the
    // rest follow in order. Returns the frames appended, No_Journal when there
    // is none, Journal_Kept when it was reported and left as it is: it cannot
    // be read, it does not fit the recording (which is then not changed), or
    // appending failed (a later recovery goes on after the frames stored).
    static constexpr int32_t No_Journal = -1;
    static constexpr int32_t Journal_Kept = -2;
    int32_t Recover_Journal();
    // Writes the counts of an append pass into the header (when frames were
    // appended), closes the file and resets the reading and drawing state.
    void Close_File();

    // ---- reading -----------------------------------------------------------
    // Closes any open file and opens the recording for review (for reading
    // only when it is read-only). False, with the reason shown, when it cannot.
    bool Open_File(const std::string& path);
    // Reads the sample of frame n; with decode also decodes its picture into
    // deinterlace source 1 (the damaged-frame picture when it does not decode).
    // A frame already held is not read again. False when no sample is held for
    // n afterwards (no "RGBS" there, or a read error, which is reported).
    bool Read_RGB_sample(int16_t n, bool decode);
    // One-based file position of the sample of frame n. HdxError 6 when it
    // does not fit 32 signed bits.
    int32_t RGB_video_adress(int32_t n) const;

    int32_t num_Frames() const { return m_num_Frames; }
    // Review positions: two fields per frame when the recording is reviewed
    // by field (Reviewed_By_Field), else one per frame.
    int32_t Num_fields() const { return m_Num_fields; }
    int16_t Width() const { return m_RGB_X; }
    int16_t Height() const { return m_RGB_Y; }
    // The rates a recording's "RGB_fps" is taken as its own between.
    static constexpr int32_t Min_Recording_Fps = 24;
    static constexpr int32_t Max_Recording_Fps = 240;
    // From the recording's rate (rounded milliseconds): a frame, and the time
    // from one review position to the next within a frame (half a frame for
    // an interlaced recording, else the frame). A recording without a rate in
    // range has the 25-frame interlaced camera's 40 (20 progressive) and 20.
    int16_t Frame_Period() const { return m_Frame_Period; }
    int16_t Field_Period() const { return m_Field_Period; }
    // The recording's frames a second; 0 when its header gives none in range.
    int16_t Frame_Rate() const { return m_Frame_Rate; }
    // Review positions are fields: the recording is marked interlaced and its
    // rate is at most 40 frames a second (or unknown). Else they are frames,
    // shown at full height.
    bool Reviewed_By_Field() const { return m_By_Field; }
    const std::string& Fourcc() const { return m_Fourcc; }
    const std::string& Codec() const { return m_Codec; }
    int16_t Base_Quality() const { return m_Base_Quality; }
    int32_t First_Sample_Pos() const { return m_First_Sample_Pos; }
    int32_t Read_Sample_Size() const { return m_Read_Sample_Size; }
    int16_t Num_Video_streams() const { return 0; }
    // The review window's drawing surface, kept for other recording formats.
    void Set_Screen_HDC(Platform::Picture_Canvas* picture) { m_Screen = picture; }

    bool Bad_Sample() const { return m_Bad_Sample; }
    // A sample read of the open recording ended in an error; field drawing
    // then draws nothing until another recording is opened.
    bool Read_Error() const { return m_Read_Error; }
    // The held sample's JPEG size is not 1..N or its JPEG did not decode.
    bool Damaged_Frame() const { return m_Damaged_Frame; }
    int16_t Last_Frame_Read() const { return m_Last_Frame_Read; }
    // How often a sample was read from the file and a JPEG decoded since the
    // handler was made (for diagnostics: the cache saves both).
    int64_t Sample_Reads() const { return m_Sample_Reads; }
    int64_t Decodes() const { return m_Decodes; }

    // Of the last sample read.
    int32_t NX3_Capture_mill() const { return m_Fields.capture_mill; }
    int32_t NX3_Capture_local() const { return m_Fields.capture_local; }
    int16_t NX3_Capture_Delta() const;  // HdxError 6 when it does not fit
    int32_t NX3_JPEG_Size() const { return m_Fields.jpeg_size; }
    int16_t NX3_Compression_Quality() const;  // HdxError 6 when it does not fit
    int32_t Capture_HDMI_events() const { return m_Fields.capture_events; }
    int32_t Timestamp_long() const { return m_Fields.capture_mill; }
    // The 32-bit fields themselves, for listings that must not fail.
    int32_t Sample_Capture_Delta() const { return m_Fields.capture_delta; }
    int32_t Sample_Quality() const { return m_Fields.quality; }
    int32_t RGB_Checksum() const { return m_RGB_Checksum; }
    const uint8_t* Decoded_Bits() const { return m_Decoded_Bits; }
    // The JPEG of the last sample read, as stored (NX3_JPEG_Size bytes);
    // nullptr when no sample is held or it is damaged.
    const uint8_t* Sample_JPEG() const;

    // The properties text of the open recording; empty when none is open.
    std::string NX3_Properties();

    // ---- drawing -----------------------------------------------------------
    int16_t NX3_Displayed_Frame() const { return m_Displayed_Frame; }
    int16_t NX3_Displayed_Field() const { return m_Field_To_Show; }
    int16_t Field_To_Show() const { return m_Field_To_Show; }  // 1, 2, or 99 = whole frame
    int32_t Current_Field() const { return m_Current_Field; }
    int32_t Nominal_Elapsed() const { return m_Nominal_Elapsed; }

    // True when what was drawn is the position's own sample, whole: only then
    // do the per-frame properties (its stamp) belong to the picture shown. A
    // sample without "RGBS", one that cannot be read or whose JPEG does not
    // decode gives False.
    bool Draw_RGB_frame(int16_t n, Platform::Picture_Canvas& picture);
    bool Draw_RGB_Field(int32_t f, Platform::Picture_Canvas& picture);
    // The damaged-frame picture on a control, for a position with no sample of its own to show.
    void Draw_Damaged_Frame(Platform::Picture_Canvas& picture);
    void Draw_Current_RGB_frame(Platform::Picture_Canvas& picture);
    void Draw_Current_Field(Platform::Picture_Canvas& picture);
    // The same without a picture box: read, decode (and for a field
    // deinterlace), rotate when the recording is rotated, and return the
    // picture that would be shown; nullptr when there is nothing to show.
    const cDIBSection* Prepare_RGB_frame(int16_t n);
    const cDIBSection* Prepare_RGB_Field(int32_t f);
    // Review position p (1 .. Num_fields): a field of a recording reviewed by
    // field, else frame p. Draw_Position returns as Draw_RGB_frame does.
    const cDIBSection* Prepare_Position(int32_t p);
    bool Draw_Position(int32_t p, Platform::Picture_Canvas& picture);
    // The frame that holds review position p.
    int32_t Frame_Of_Position(int32_t p) const;

    // A pixel (0x00BBGGRR) of the shown field picture: the rotation target
    // when the recording is rotated, else deinterlace target 1.
    uint32_t Get_Field_Pixel(int32_t x, int32_t y);
    void Set_Field_Pixel(int32_t x, int32_t y, uint32_t colour);
    void Let_Field_Pixel(int32_t x, int32_t y, uint32_t colour) { Set_Field_Pixel(x, y, colour); }
    QImage DEint_HDC() { return m_Deint_Target[0].hDC(); }
    QImage NonInt_HDC() { return m_Deint_Source[0].hDC(); }
    QImage Rotated_HDC() { return m_Rotate_Target.hDC(); }
    // Pictures 1 to 3.
    cDIBSection& obj_DIB_Deint_source(int index) { return m_Deint_Source.at(static_cast<size_t>(index - 1)); }
    cDIBSection& obj_DIB_Deint_target(int index) { return m_Deint_Target.at(static_cast<size_t>(index - 1)); }
    cDIBSection& obj_DIB_Rotate_Target() { return m_Rotate_Target; }
    cDIBSection& obj_DIB_Rotate_Source() { return m_Rotate_Source; }

    // ---- header document and its pass-throughs ------------------------------
    Cls_XML_header& Header();  // created on first use

    std::string Hdx_event() { return Header().Hdx_event(); }
    void Set_Hdx_event(const std::string& v) { Header().Set_Hdx_event(v); }
    std::string Hdx_Heat_ID() { return Header().Hdx_Heat_ID(); }
    void Set_Hdx_Heat_ID(const std::string& v) { Header().Set_Hdx_Heat_ID(v); }
    std::string Hdx_Heat_Name() { return Header().Hdx_Heat_Name(); }
    void Set_Hdx_Heat_Name(const std::string& v) { Header().Set_Hdx_Heat_Name(v); }
    std::string Hdx_Heat_Length() { return Header().Hdx_Heat_Length(); }
    void Set_Hdx_Heat_Length(const std::string& v) { Header().Set_Hdx_Heat_Length(v); }
    std::string Hdx_Dog_name(int16_t box) { return Header().Hdx_Dog_name(box); }
    void Set_Hdx_Dog_name(int16_t box, const std::string& v) { Header().Set_Hdx_Dog_name(box, v); }
    int32_t Hdx_Heat_time(int16_t box, bool split);  // reported, 0
    void Set_Hdx_Heat_time(int16_t box, bool split, int32_t v) { Header().Set_Hdx_Heat_time(box, split, v); }
    int32_t Hdx_Heat_Click_Time(int16_t box);  // reported, 0
    void Set_Hdx_Heat_Click_Time(int16_t box, int32_t v) { Header().Set_Hdx_Heat_Click_Time(box, v); }
    int32_t Hdx_heat_frame(int16_t box);  // reported, 0
    void Set_Hdx_heat_frame(int16_t box, int32_t v) { Header().Set_Hdx_heat_frame(box, v); }
    int32_t Hdx_split_frame(int16_t box) { return Header().Hdx_split_frame(box); }
    void Set_Hdx_split_frame(int16_t box, int32_t v) { Header().Set_Hdx_split_frame(box, v); }
    bool Hdx_dead_heat(int16_t box) { return Header().Hdx_dead_heat(box); }
    void Set_Hdx_dead_heat(int16_t box, bool v) { Header().Set_Hdx_dead_heat(box, v); }
    std::string Hdx_heat_spare1(int16_t box) { return Header().Hdx_heat_spare1(box); }
    void Set_Hdx_heat_spare1(int16_t box, const std::string& v) { Header().Set_Hdx_heat_spare1(box, v); }
    std::string Hdx_Goal_Finish() { return Header().Hdx_Goal_Finish(); }
    void Set_Hdx_Goal_Finish(const std::string& v) { Header().Set_Hdx_Goal_Finish(v); }
    std::string Hdx_Goal_Split() { return Header().Hdx_Goal_Split(); }
    void Set_Hdx_Goal_Split(const std::string& v) { Header().Set_Hdx_Goal_Split(v); }
    std::string Hdx_start_DateTime() { return Header().Hdx_start_DateTime(); }
    void Set_Hdx_start_DateTime(const std::string& v) { Header().Set_Hdx_start_DateTime(v); }
    int32_t Hdx_heat_start_local() { return Header().Hdx_heat_start_Local_mill(); }
    void Set_Hdx_heat_start_local(int32_t v) { Header().Set_Hdx_heat_start_Local_mill(v); }
    // The stored text as a number; a text that is not a number (the creation
    // placeholder) reads 0. A missing element is reported and reads 0.
    int32_t Hdx_start_PC_mill();
    void Set_Hdx_start_PC_mill(int32_t v) { Header().Set_Hdx_heat_start_PC_mill(std::to_string(v)); }
    int32_t Hdx_start_HDMI_events() { return Header().Hdx_start_HDMI_events(); }
    void Set_Hdx_start_HDMI_events(int32_t v) { Header().Set_Hdx_start_HDMI_events(v); }
    int32_t Hdx_box_delay();  // reported, 0
    void Set_Hdx_box_delay(const std::string& v) { Header().Set_Hdx_box_delay(v); }
    double Hdx_Goal_compensation();  // reported, 0
    void Set_Hdx_Goal_compensation(const std::string& v) { Header().Set_Goal_Compensation(v); }
    double Hdx_Split_compensation();  // reported, 0
    void Set_Hdx_Split_compensation(const std::string& v) { Header().Set_Split_Compensation(v); }
    void Set_Hdx_split_firewire_ID(const std::string& v) { Header().Set_Hdx_split_firewire_ID(v); }
    void Set_Hdx_goal_firewire_ID(const std::string& v) { Header().Set_Hdx_goal_firewire_ID(v); }
    void Set_Phidget_serial(const std::string& v) { Header().Set_Phidget_serial(v); }

    std::string Computer_name() { return Header().Comp_Name(); }
    std::string Computer_CPUInfo() { return Header().Comp_CPUInfo(); }
    std::string OS_version() { return Header().OS_version(); }
    std::string OS_bitness() { return Header().Comp_OSbitness(); }
    std::string Capture_Info() { return Header().Comp_CaptureInfo(); }
    std::string Phidget_serial() { return Header().Phidget_serial(); }
    std::string Program_Major() { return Header().Prog_Major(); }
    std::string Program_Minor() { return Header().Prog_Minor(); }
    std::string Program_Revision() { return Header().Prog_Revision(); }
    std::string Creation_date() { return Header().Creation_date(); }
    std::string Last_Capture_time() { return Header().Last_Capture_time(); }
    std::string Capture_property() { return Header().Capture_property(); }
    void Set_Capture_property(const std::string& v) { Header().Set_Capture_property(v); }
    std::string Capture_source() { return Header().Capture_source(); }
    void Set_Capture_source(const std::string& v) { Header().Set_Capture_source(v); }
    std::string Capture_sample_size() { return Header().Capture_sample_size(); }
    void Set_Capture_sample_size(const std::string& v) { Header().Set_Capture_sample_size(v); }
    std::string Actual_sample() { return Header().Actual_sample(); }
    void Set_Selected_crop(const std::string& v) { Header().Set_Selected_crop(v); }

    // "RGB_fps": both setters write the 16-bit value as decimal text.
    void Set_Running_Fps(int16_t fps) { Header().Set_RGB_fps(std::to_string(fps)); }
    void Set_Measured_fps(int16_t fps) { Header().Set_RGB_fps(std::to_string(fps)); }
    int16_t Measured_fps();  // HdxError when "RGB_fps" is not a 16-bit number
    int16_t Segments_Num() { return Header().Segments_no(); }
    // "start_hdmi_events" of the heat record with that id; 0 when there is none.
    int32_t Start_HDMI_events(int16_t heat);
    void Dump_XML_Header(const std::string& file_name) { Header().Dump_XML_to_File(file_name); }

private:
    // The document in memory is the named file's: changes made since it was
    // written are kept rather than replaced by the file's copy.
    bool Header_Is_For_File() const;
    void Open_Handle(Binary_File::Mode mode);
    void Open_For_Writing();  // read and write; refuses a read-only file
    void Write_NX3_header();  // the header block at offset 0, position kept
    void Read_NX3_Headers();  // the header block into the header object
    // The copy beside the recording when it is sound and differs from the block read.
    void Take_Header_Copy(size_t& got);
    void Position_For_Append();
    void Prepare_Sample_Record(int32_t data_area);
    // The checks and opening before a sample is fitted (raises); returns frame.
    std::optional<Stored_Frame_Ref> Begin_Sample(const IStored_Frames& frames, int32_t index,
                                                 const std::optional<Stored_Frame_Ref>& frame);
    void Write_Sample(const Stored_Frame_Ref& frame, const JPG_Fit& fit, const uint8_t* jpeg);
    // Append_RGB_Frame with the fitting already done (for data area pass_n).
    bool Append_Fitted_Frame(const IStored_Frames& frames, int32_t index, const std::optional<Stored_Frame_Ref>& frame,
                             const Fit_Findings& findings, const uint8_t* jpeg, int32_t pass_n);
    int32_t Append_Threads_Used() const;
    // Frames [0, in_file - before) of the journal against the samples after before.
    std::string Journal_Mismatch(const std::vector<int32_t>& stamps, int64_t before, int64_t in_file);
    bool Open_RGB_File();
    void Take_Header_Values();
    void Count_Frames(int64_t file_length);
    void Take_Rate();                    // periods and review kind from the header's rate and mark
    void Read_Sample(int16_t n);         // raises
    void Take_Sample_Fields(int16_t n);  // of the sample just placed in m_Read_UDT
    Sample_Read_Ahead::Geometry Read_Ahead_Geometry() const;
    bool Take_Read_Ahead(int16_t n);
    void Read_Ahead_From(int16_t n);
    void Decode_Held_Sample();
    void Draw_Damaged_Frame(cDIBSection& picture);
    bool Holds_Intact_Sample(int32_t n) const;
    void Reset_Reading_State();
    const cDIBSection* Show_Picture(cDIBSection& picture, const char* mismatch_message);
    int32_t Reported_Int(const char* property, const std::function<int32_t()>& get);

    // file and writer state
    std::string m_File_name;
    std::string m_Current_File_Suffix;
    Binary_File m_File;
    int32_t m_File_Num = 0;
    bool m_Read_only = false;
    std::unique_ptr<Cls_XML_header> m_Header;
    std::string m_Header_Path;  // the file whose header the document is
    Frame_Compressor m_Compressor;
    std::vector<uint8_t> m_RGB_UDT;  // the sample written, reused for every frame
    std::vector<uint8_t> m_Header_Block;
    bool m_Hold_Header_Writes = false;
    bool m_Repair_Header = true;
    bool m_Quiet = false;  // Open_For_Reading: no message, report or beep
    void Tell(const std::string& message);
    void Report(const std::exception& e, const std::string& location, int32_t line = 0, const std::string& extra = {});
    std::string m_Header_Recovered;
    bool m_Append_Positioned = false;
    int32_t m_Append_Threads = 0;
    bool m_Appending = false;
    std::string m_Write_Problem;       // the failure that ends the running append pass
    int32_t m_Frames_Before_Pass = 0;  // complete samples in the file when the pass began
    int32_t m_RGB_frames_appended = 0;
    int64_t m_Length_Before_Append = 0;
    int32_t m_Sample_Size = 0;
    bool m_RGB_interlaced = false;
    bool m_RGB_Rotated = false;
    bool m_Stack_Fields = true;
    int16_t m_RGB_Topdelim_Y = 0;

    // reader state
    int32_t m_First_Sample_Pos = 32017;
    int32_t m_Read_Sample_Size = 0;
    std::vector<uint8_t> m_Read_UDT;      // the last sample read
    std::vector<uint8_t> m_Read_Scratch;  // the sample being read
    int16_t m_Last_Frame_Read = 0;
    int16_t m_Decoded_Frame = 0;  // frame whose picture deinterlace source 1 holds
    int32_t m_num_Frames = 0;
    int32_t m_Num_fields = 0;
    int16_t m_Frame_Period = 20;
    int16_t m_Field_Period = 20;
    int16_t m_Frame_Rate = 0;
    bool m_By_Field = false;
    int16_t m_RGB_X = 0;
    int16_t m_RGB_Y = 0;
    std::string m_Fourcc;
    std::string m_Codec;
    int16_t m_Base_Quality = 0;
    bool m_Bad_Sample = false;
    bool m_Read_Error = false;
    bool m_Damaged_Frame = false;
    int32_t m_RGB_Checksum = 0;
    const uint8_t* m_Decoded_Bits = nullptr;
    struct Frame_Fields {
        int32_t capture_mill = 0, capture_delta = 0, capture_local = 0, quality = 0, jpeg_size = 0, capture_events = 0;
    } m_Fields;
    int64_t m_Sample_Reads = 0;
    int64_t m_Decodes = 0;
    // The neighbouring frame in the direction of review, decoded meanwhile.
    Sample_Read_Ahead m_Read_Ahead;
    int16_t m_Read_Ahead_Last = 0;
    int16_t m_Read_Ahead_Step = 1;
    Platform::Picture_Canvas* m_Screen = nullptr;

    // drawing state
    std::array<cDIBSection, 3> m_Deint_Source;
    std::array<cDIBSection, 3> m_Deint_Target;
    cDIBSection m_Rotate_Target;
    cDIBSection m_Rotate_Source;
    int16_t m_Field_To_Show = 99;
    int32_t m_Current_Field = 0;
    int16_t m_Displayed_Frame = 0;
    int32_t m_Nominal_Elapsed = 0;
};
