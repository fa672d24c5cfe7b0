#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include <pugixml.hpp>

// What a new header copies from the machine, the program and the heat that
// makes it: passed to Create_Header, never read from anywhere else. The
// defaults are the program's own name and a version of nothing in particular.
struct Header_Origin {
    std::string File_Name;  // "my_filename": the recording's full path
    std::string Computer_Name;
    std::string CPU_Info;
    std::string CPU_Bitness;
    std::string Total_Memory;
    std::string OS_Bitness;
    std::string OS_Version;
    std::string Capture_Source;  // "capture_property": device name + " / " + property
    std::string Selected_Crop;   // "selected_crop": caption of the crop size
    std::string Capture_Sample;  // "actual_sample": dimensions + ", " + whole fps + " fps"
    std::string Phidget_Serial;  // "phidget_serial": Control Box serial, empty before an attach
    std::string Program_Name = "Houndex_HDMI";
    int Version_Major = 1, Version_Minor = 0, Version_Revision = 0;
};

// The XML header document of one recording ("NXF_header"), held in memory, with
// one typed accessor per element.
//
// Accessor scheme: a property X is read by X(args...) and written by
// Set_X(args..., value); box accessors take the box number first (and the split
// flag second where there is one). Where a property has only a write side its
// name is kept as is behind Set_ (Set_Frames_no, Set_L_RGB_Sample_Size).
//
// Failure behaviour, fixed per accessor (see each group below):
//   raise   - a missing element or a failed conversion throws HdxError:
//             91 element not there (also when no document is loaded),
//             13 text is not a number, 6 number does not fit the type;
//   default - any failure returns the stated value;
//   ignore  - failures are skipped: a getter returns "" or 0, a setter does nothing.
//
// Numbers are written as plain decimal text. They are read back only as plain
// decimal integers with an optional sign, so the zero placeholders ("000",
// "0000000") read 0 and anything else ("12.5", " 7", "0x10", "") fails.
//
// Text boundary: the strings the accessors take and return are UTF-8. The
// serialised document (XML_string, Len_XML, Dump_XML_to_File) is ISO-8859-1, one
// byte per character, as its declaration says; a character outside Latin-1 is
// written as a numeric character reference (&#8364;), which every XML reader
// turns back into the same character, so nothing is lost and the byte count
// stays the character count that the file's text area limits.
class Cls_XML_header {
public:
    Cls_XML_header() = default;
    Cls_XML_header(const Cls_XML_header&) = delete;
    Cls_XML_header& operator=(const Cls_XML_header&) = delete;

    // ---- document ---------------------------------------------------------
    // Throws the current document away and builds a new one with every section,
    // element and creation text, the origin's texts among them; failures are
    // reported, never thrown.
    void Create_Header(const Header_Origin& origin = {});
    void Set_rgb(bool value) { m_rgb = value; }          // attach "RGB_data" (default False)
    void Set_Houndex(bool value) { m_Houndex = value; }  // attach "houndex" (default True)

    void DOM_serialize();      // cached text = the document's serialisation
    std::string XML_string();  // refreshes the cache and returns it (Latin-1 bytes)
    // Loads a document text (Latin-1 bytes, or UTF-8 when its declaration says
    // so). A text that does not parse leaves no document and Has_XML False.
    void Set_XML_string(const std::string& text);
    int32_t Len_XML();        // characters of XML_string
    int16_t XML_len() const;  // characters of the cached text; HdxError 6 past 32767
    // True while the object holds a document: after Create_Header or a load that
    // parsed, False after a load that did not.
    bool Has_XML() const { return m_Has_XML; }

    // Letter form of booleans: "t"/"f" written, "t" and "Y" read True.
    static std::string Bool_to_XML_string(bool value);
    static bool XML_string_to_Bool(const std::string& text);

    // Saves the document to path, or to "xmldump.xml" in the application-data
    // folder when path is empty, then tells the operator where. Failures are reported.
    void Dump_XML_to_File(const std::string& path);

    // The text of the element a selector finds, exactly as held; nullopt when
    // there is none. For checks that must see what is stored, not its meaning.
    std::optional<std::string> Element_Text(const std::string& selector) const;

    // ---- file_data ---------------------------------------------------------
    std::string Update_Time();                               // raise
    void Set_Update_Time(const std::string& value);          // raise
    void Set_Update_Program(const std::string& value);       // raise
    std::string Creation_date();                             // raise
    void Set_Creation_date(const std::string& value);        // raise
    std::string Last_Capture_time();                         // on failure the creation date
    void Set_Last_Capture_time(const std::string& value);    // raise
    int16_t Streams_no();                                    // raise
    void Set_Streams_no(int16_t value);                      // raise
    int16_t G_Frames_no();                                   // raise
    void Set_Frames_no(int16_t value);                       // raise
    int16_t Segments_no();                                   // raise
    void Set_Segments_no(int16_t value);                     // raise
    std::string Timing_Bias();                               // default "0"
    void Set_Timing_Bias(const std::string& value);          // raise
    std::string Comp_Name();                                 // default "Unknown computer name"
    std::string Comp_CaptureInfo();                          // default "Unknown Capture Info!"
    void Set_Comp_CaptureInfo(const std::string& value);     // raise
    std::string Capture_sample_size();                       // raise
    void Set_Capture_sample_size(const std::string& value);  // raise
    std::string Comp_CPUInfo();                              // default "Not known!"
    std::string Comp_CPUbitness();                           // default "Not known!"
    std::string Comp_OSbitness();                            // default "Not known!"
    std::string Capture_property();                          // ignore
    void Set_Capture_property(const std::string& value);     // raise
    void Set_Selected_crop(const std::string& value);        // raise
    std::string Capture_source();                            // ignore
    void Set_Capture_source(const std::string& value);       // raise
    std::string Actual_sample();                             // ignore
    std::string Phidget_serial();                            // default "Not known!"
    void Set_Phidget_serial(const std::string& value);       // ignore
    std::string prog_id();                                   // raise
    std::string Exe_Name();                                  // ignore
    std::string Prog_Major();                                // raise
    std::string Prog_Minor();                                // raise
    std::string Prog_Revision();                             // raise
    std::string Computer_Uptime();                           // ignore
    std::string Program_Uptime();                            // ignore
    std::string OS_version();                                // default ""
    std::string Subject_name();                              // ignore
    void Set_Subject_name(const std::string& value);         // raise
    std::string comment(int16_t k);                          // "file_comment<k>", ignore
    void Set_comment(int16_t k, const std::string& value);   // raise
    std::string File_comment1();                             // raise
    void Set_File_comment1(const std::string& value);        // raise
    std::string SpecApp();                                   // "specapp1", default "None"
    void Set_SpecApp(const std::string& value);              // raise
    std::string Hdr_spare1();                                // raise
    void Set_Hdr_spare1(const std::string& value);           // raise
    // "hdr_spare2": the heat's declaration as official ("0000" while provisional).
    std::string Hdr_spare2();                       // raise
    void Set_Hdr_spare2(const std::string& value);  // raise
    // "hdr_spare3" holds "stamp=" and what the frames' capture stamps are:
    // "device" (the capture device's time), "arrival" (when the frame reached
    // the program) or "mixed". Returns that word, "unknown" when the element
    // holds none (recordings made before it was kept).
    std::string Frame_Stamp();
    void Set_Frame_Stamp(const std::string& word);  // raise
    // "hdr_spare5" holds "fields=stacked" when the JPEG of every frame keeps
    // the two fields of an interlaced picture apart, field 1 above field 2;
    // anything else (the placeholder of recordings made before) means the
    // fields' rows are interleaved as they are in the picture.
    bool Fields_Stacked();
    void Set_Fields_Stacked(bool stacked);  // raise

    // ---- RGB_data (all raise unless stated) --------------------------------
    int16_t RGB_X();
    void Set_RGB_X(int16_t value);
    int16_t RGB_Y();
    void Set_RGB_Y(int16_t value);
    int32_t RGB_Image_size();
    void Set_RGB_Image_size(int32_t value);
    std::string RGB_Max_Seen_size();
    void Set_RGB_Max_Seen_size(const std::string& value);
    std::string RGB_Comp_Threshold();
    void Set_RGB_Comp_Threshold(const std::string& value);
    int32_t RGB_Compressed_max_Size();
    void Set_RGB_Compressed_max_Size(int32_t value);
    int32_t RGB_Compressed_buffer_Size();
    void Set_RGB_Compressed_buffer_Size(int32_t value);
    int32_t RGB_Compressed_min_Size();
    void Set_RGB_Compressed_min_Size(int32_t value);
    int32_t RGB_Sample_Size();
    void Set_L_RGB_Sample_Size(int32_t value);
    bool RGB_interlaced();  // word form
    void Set_RGB_interlaced(bool value);
    bool RGB_Rotated();  // letter form
    void Set_RGB_Rotated(bool value);
    bool RGB_preview_on();  // word form
    void Set_RGB_preview_on(bool value);
    std::string RGB_fourcc();
    void Set_RGB_fourcc(const std::string& value);
    std::string RGB_JPEG_codec();  // default "unknown"
    void Set_RGB_JPEG_codec(const std::string& value);
    std::string RGB_fps();
    void Set_RGB_fps(const std::string& value);
    std::string RGB_JPEG_Quality();  // default "0000"
    void Set_RGB_JPEG_Quality(const std::string& value);
    int16_t JPG_Reduced_Qual_num();
    void Set_JPG_Reduced_Qual_num(int16_t value);

    // ---- houndex (all raise unless stated) ---------------------------------
    std::string Hdx_event();
    void Set_Hdx_event(const std::string& value);
    std::string Hdx_Heat_ID();
    void Set_Hdx_Heat_ID(const std::string& value);
    std::string Hdx_Heat_Name();
    void Set_Hdx_Heat_Name(const std::string& value);
    std::string Hdx_Heat_Length();  // default ""
    void Set_Hdx_Heat_Length(const std::string& value);
    std::string Hdx_Goal_Finish();
    void Set_Hdx_Goal_Finish(const std::string& value);  // ignore
    std::string Hdx_Goal_Split();
    void Set_Hdx_Goal_Split(const std::string& value);  // ignore
    std::string Hdx_start_DateTime();
    void Set_Hdx_start_DateTime(const std::string& value);
    int32_t Hdx_heat_start_Local_mill();
    void Set_Hdx_heat_start_Local_mill(int32_t value);
    std::string Hdx_heat_start_PC_mill();
    void Set_Hdx_heat_start_PC_mill(const std::string& value);
    int32_t Hdx_start_HDMI_events();
    void Set_Hdx_start_HDMI_events(int32_t value);
    std::string Goal_Compensation();  // default "0"
    void Set_Goal_Compensation(const std::string& value);
    std::string Split_Compensation();  // default "0"
    void Set_Split_Compensation(const std::string& value);
    std::string Hdx_box_delay();                       // default "0"
    void Set_Hdx_box_delay(const std::string& value);  // ignore
    void Set_Hdx_split_firewire_ID(const std::string& value);
    void Set_Hdx_goal_firewire_ID(const std::string& value);
    void Set_Hdx_ph_serial(const std::string& value);

    // ---- box records (box number 1..8) -------------------------------------
    std::string Hdx_Dog_name(int16_t box);
    void Set_Hdx_Dog_name(int16_t box, const std::string& value);
    // "dog_split_time" when split is True, else "dog_heat_time".
    int32_t Hdx_Heat_time(int16_t box, bool split);
    void Set_Hdx_Heat_time(int16_t box, bool split, int32_t value);
    int32_t Hdx_Heat_Click_Time(int16_t box);                  // default 0
    void Set_Hdx_Heat_Click_Time(int16_t box, int32_t value);  // ignore
    // Review positions: a field-by-field recording has more than 16 bits of them.
    int32_t Hdx_heat_frame(int16_t box);
    void Set_Hdx_heat_frame(int16_t box, int32_t value);
    int32_t Hdx_split_frame(int16_t box);
    void Set_Hdx_split_frame(int16_t box, int32_t value);
    bool Hdx_dead_heat(int16_t box);                  // word form, default False
    void Set_Hdx_dead_heat(int16_t box, bool value);  // yields to pending events first; ignore
    // The box's spare "dog_heat_spare1": the estimated crossing time between
    // two fields, whole ms; "00000" (0) when there is none. Default "00000".
    std::string Hdx_heat_spare1(int16_t box);
    void Set_Hdx_heat_spare1(int16_t box, const std::string& value);  // ignore

private:
    pugi::xml_node Find(const std::string& selector) const;  // null when absent
    pugi::xml_node Need(const std::string& selector) const;  // HdxError 91 when absent

    std::string Get_Text(const std::string& selector) const;               // raise
    void Let_Text(const std::string& selector, const std::string& value);  // raise
    std::string Get_Text_Or(const std::string& selector, const std::string& fallback) const;
    void Let_Text_Ignore(const std::string& selector, const std::string& value);
    int16_t Get_Int16(const std::string& selector) const;  // raise
    int32_t Get_Int32(const std::string& selector) const;  // raise

    pugi::xml_document m_DOM;
    std::string m_XML_string;  // cached serialisation, Latin-1
    bool m_rgb = false;
    bool m_Houndex = true;
    bool m_Has_XML = false;
};
