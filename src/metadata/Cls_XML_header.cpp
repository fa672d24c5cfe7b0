#include "metadata/Cls_XML_header.h"

#include "metadata/Xml_Select.h"
#include "metadata/Latin1.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "common/Startup_Facts.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "platform/HdxError.h"
#include "common/Module_dependant.h"

#ifndef HOUNDEX_BUILD_DATE
#define HOUNDEX_BUILD_DATE "unknown"
#endif

namespace {

constexpr int ObjectNotSet = 91;  // the element (or the whole document) is not there
const char* const CRLF = "\r\n";

struct String_Writer : pugi::xml_writer {
    std::string text;
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
};

// The parser is lenient about the document level; a header has exactly one root
// element and the declaration, if any, comes first.
bool Well_Formed_Top(const pugi::xml_document& doc) {
    int elements = 0;
    bool first = true;
    for (pugi::xml_node node = doc.first_child(); node; node = node.next_sibling()) {
        if (node.type() == pugi::node_element) ++elements;
        if (node.type() == pugi::node_declaration && !first) return false;
        first = false;
    }
    return elements == 1;
}

// The element's text: every text and CDATA piece below it, in order.
void Append_Text(pugi::xml_node node, std::string& out) {
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
            out += c.value();
        else if (c.type() == pugi::node_element)
            Append_Text(c, out);
    }
}

std::string Node_Text(pugi::xml_node node) {
    std::string out;
    Append_Text(node, out);
    return out;
}

// Replacing the text leaves one text child, or none for an empty value.
void Set_Node_Text(pugi::xml_node node, const std::string& value) {
    node.remove_children();
    if (!value.empty()) node.append_child(pugi::node_pcdata).set_value(value.c_str());
}

enum class Conversion { Ok, Mismatch, Overflow };

// Plain decimal integers with an optional sign; the zero placeholders are just
// that. Blanks, fractions, exponents and hex are refused rather than guessed at.
Conversion Parse_Integer(const std::string& text, int64_t lo, int64_t hi, int64_t& out) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return Conversion::Mismatch;
    int64_t value = 0;
    bool huge = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return Conversion::Mismatch;
        if (!huge) {
            value = value * 10 + (c - '0');
            if (value > (int64_t{1} << 40)) huge = true;
        }
    }
    if (huge) return Conversion::Overflow;
    if (negative) value = -value;
    if (value < lo || value > hi) return Conversion::Overflow;
    out = value;
    return Conversion::Ok;
}

int64_t Convert(const std::string& text, const std::string& selector, int64_t lo, int64_t hi, int bits) {
    int64_t value = 0;
    const Conversion result = Parse_Integer(text, lo, hi, value);
    if (result == Conversion::Ok) return value;
    // Quote enough of a bad text to recognise it, not a whole damaged document.
    const std::string shown = text.size() > 40 ? text.substr(0, 40) + "..." : text;
    if (result == Conversion::Mismatch)
        throw HdxError(HdxErr::TypeMismatch,
                       "Type mismatch: \"" + shown + "\" in " + selector + " is not a whole number");
    throw HdxError(HdxErr::Overflow, "Overflow: \"" + shown + "\" in " + selector + " does not fit a " +
                                         std::to_string(bits) + "-bit number");
}

std::string Word_Text(bool value) { return value ? "True" : "False"; }
bool Word_Bool(const std::string& text) { return text == "True"; }

std::string Box_Selector(int16_t box, const char* element) {
    return "//box[@id='" + std::to_string(box) + "']/" + element;
}

// Creation time of a header: two-digit year, "yy-mm-dd hh:mm:ss".
std::string Creation_Time_Text() {
    const Platform::DateTime t = Platform::Local_Now();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d-%02d-%02d %02d:%02d:%02d", t.year % 100, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buf;
}

struct Leaf {
    const char* name;
    std::string text;
};

}  // namespace

// ---------------------------------------------------------------------------
// document

void Cls_XML_header::Create_Header(const Header_Origin& o) {
    m_DOM.reset();
    m_XML_string.clear();
    m_Has_XML = true;
    try {
        auto line_break = [](pugi::xml_node parent) { parent.append_child(pugi::node_pcdata).set_value(CRLF); };
        auto add_leaf = [](pugi::xml_node parent, const Leaf& leaf) {
            Set_Node_Text(parent.append_child(leaf.name), leaf.text);
        };

        pugi::xml_node decl = m_DOM.append_child(pugi::node_declaration);
        decl.append_attribute("version") = "1.0";
        decl.append_attribute("encoding") = "iso-8859-1";
        m_DOM.append_child(pugi::node_comment).set_value("XML file containing NXF NX3 header");
        pugi::xml_node root = m_DOM.append_child("NXF_header");
        line_break(root);

        const std::string uptime = Uptime_Text();
        const Leaf file_data[] = {
            {"my_filename", o.File_Name},
            {"update_program", "program name"},
            {"creation_date", Creation_Time_Text()},
            {"update_date", "not updated"},
            {"last_capture_time", "0000"},
            {"last_append_time", ""},
            {"num_streams", "1"},
            {"frame_header_size", "000"},
            {"num_frames", "000"},
            {"num_segments", "000"},
            {"timing_bias", "000"},
            {"b_rotated", "f"},
            {"comp_name", o.Computer_Name},
            {"comp_captureinfo", "Unknown capture info!"},
            {"capture_sample_size", "Unknown capture info!"},
            {"comp_cpuinfo", o.CPU_Info},
            {"comp_cpubitness", o.CPU_Bitness},
            {"comp_physram", o.Total_Memory},
            {"comp_osbitness", o.OS_Bitness},
            {"capture_property", o.Capture_Source},
            {"selected_crop", o.Selected_Crop},
            {"capture_source", ""},
            {"actual_sample", o.Capture_Sample},
            {"comp_manufacturer_model", ""},
            {"phidget_serial", o.Phidget_Serial},
            {"prog_id", o.Program_Name},
            {"exe_name", Platform::Executable_Name()},
            {"prog_version", "Compiled"},
            {"prog_major", std::to_string(o.Version_Major)},
            {"prog_minor", std::to_string(o.Version_Minor)},
            {"prog_revision", std::to_string(o.Version_Revision)},
            {"compile_date", HOUNDEX_BUILD_DATE},
            {"computer_uptime", uptime},
            {"program_uptime", uptime},
            {"exe_filedate", FileDate()},
            {"os_version", o.OS_Version},
            {"subject_name", "0000"},
            {"file_comment1", "0000"},
            {"file_comment2", "0000"},
            {"file_comment3", "0000"},
            {"file_comment4", "0000"},
            {"file_comment5", "0000"},
            {"specapp1", ""},
            {"specapp2", ""},
            {"hdr_spare1", "0000"},
            {"hdr_spare2", "0000"},
            {"hdr_spare3", "0000"},
            {"hdr_spare4", "0000"},
            {"hdr_spare5", "0000"},
        };
        pugi::xml_node file_section = root.append_child("file_data");
        line_break(file_section);
        for (const Leaf& leaf : file_data) {
            add_leaf(file_section, leaf);
            line_break(file_section);
        }

        const Leaf rgb_data[] = {
            {"RGB_X", "000"},
            {"RGB_Y", "000"},
            {"RGB_image_size", "0000000"},
            {"RGB_max_seen_size", "0000000"},
            {"RGB_comp_threshold", "0000000"},
            {"RGB_compressed_max_size", "0000000"},
            {"RGB_compressed_buffer_size", "0000000"},
            {"RGB_compressed_min_size", "99999999"},
            {"RGB_sample_size", "0000000"},
            {"RGB_interlaced", "Y"},
            {"RGB_rotated", "Y"},
            {"RGB_preview_on", "Y"},
            {"RGB_fourcc", "none"},
            {"RGB_JPEG_Codec", "none"},
            {"RGB_fps", "000"},
            {"RGB_JPEG_Quality", "0000"},
            {"RGB_JPEG_Quality_num_reduced", "0000"},
        };
        pugi::xml_node rgb_section = root.append_child("RGB_data");
        line_break(rgb_section);
        for (const Leaf& leaf : rgb_data) {
            add_leaf(rgb_section, leaf);
            if (std::string(leaf.name) != "RGB_Y") line_break(rgb_section);
        }
        if (m_rgb)
            line_break(root);
        else
            root.remove_child(rgb_section);

        const Leaf houndex_data[] = {
            {"hdx_event", "Hdx event name"},
            {"hdx_heat_ID", "Hdx heat ID"},
            {"hdx_heat_name", "Hdx heat name"},
            {"hdx_heat_length", "000"},
            {"hdx_goal_finish", "Hdx goal finish"},
            {"hdx_goal_split", "Hdx goal split"},
            {"hdx_start_datetime", "hdx start date time"},
            {"hdx_start_local_mill", "hdx_start_local_mill"},
            {"hdx_start_HDMI_events", "hdx_start_HDMI_events"},
            {"hdx_start_PC_mill", "hdx_start_PC_mill"},
            {"hdx_goal_time_offset", "0000"},
            {"hdx_split_time_offset", "0000"},
            {"hdx_box_delay", "0000"},
            {"hdx_split_firewire_ID", "000"},
            {"hdx_goal_firewire_ID", "000"},
            {"hdx_ph_serial", "000"},
        };
        const Leaf box_data[] = {
            {"dog_name", "dog name"},           {"dog_weight", "dog weight"},  {"dog_heat_time", "000000"},
            {"dog_heat_click_time", "000000"},  {"dog_heat_frame", "000000"},  {"dog_split_time", "000000"},
            {"dog_split_click_time", "000000"}, {"dog_split_frame", "000000"}, {"dog_heat_rank", "00"},
            {"dog_split_rank", "00"},           {"dog_dead_heat", "f"},        {"dog_heat_spare1", "00000"},
            {"dog_heat_spare2", "00000"},
        };
        pugi::xml_node houndex_section = root.append_child("houndex");
        for (const Leaf& leaf : houndex_data) {
            add_leaf(houndex_section, leaf);
            line_break(houndex_section);
        }
        for (int id = 1; id <= 8; ++id) {
            pugi::xml_node box = houndex_section.append_child("box");
            box.append_attribute("id") = std::to_string(id).c_str();
            for (const Leaf& leaf : box_data) {
                add_leaf(box, leaf);
                line_break(box);
                // The record is (re)attached after each of its last four fields; every
                // attach moves it behind the line breaks already there.
                const std::string name = leaf.name;
                if (name == "dog_split_rank" || name == "dog_dead_heat" || name == "dog_heat_spare1" ||
                    name == "dog_heat_spare2") {
                    houndex_section.append_move(box);
                    line_break(houndex_section);
                }
            }
        }
        if (m_Houndex)
            line_break(root);
        else
            root.remove_child(houndex_section);

        DOM_serialize();
    } catch (const std::exception& e) {
        Report_Exception(e, "Create_Header of Class Module Cls_XML_header");
    }
}

void Cls_XML_header::DOM_serialize() {
    // Each top-level node on its own line, the rest exactly as the DOM holds it.
    String_Writer writer;
    for (pugi::xml_node node = m_DOM.first_child(); node; node = node.next_sibling()) {
        if (node.type() == pugi::node_pcdata) continue;  // not kept at this level; the line breaks stand in
        node.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
        writer.text += CRLF;
    }
    m_XML_string = Utf8_To_Latin1(writer.text);
}

std::string Cls_XML_header::XML_string() {
    DOM_serialize();
    return m_XML_string;
}

void Cls_XML_header::Set_XML_string(const std::string& text) {
    const pugi::xml_parse_result result = Load_XML_Text(m_DOM, text);
    m_Has_XML = static_cast<bool>(result) && Well_Formed_Top(m_DOM);
    if (!m_Has_XML) {
        // A half-parsed tree must not answer questions as if it were the header.
        m_DOM.reset();
        m_XML_string.clear();
        return;
    }
    // The header is written back as ISO-8859-1: what that cannot hold must not
    // make the rewritten header unreadable.
    Make_Latin1_Writable(m_DOM);
    DOM_serialize();
}

int32_t Cls_XML_header::Len_XML() {
    const std::string text = XML_string();
    if (text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw HdxError(HdxErr::Overflow, "Overflow: header text too long");
    return static_cast<int32_t>(text.size());
}

int16_t Cls_XML_header::XML_len() const {
    if (m_XML_string.size() > static_cast<size_t>(std::numeric_limits<int16_t>::max()))
        throw HdxError(HdxErr::Overflow, "Overflow: header text of " + std::to_string(m_XML_string.size()) +
                                             " characters does not fit a 16-bit length");
    return static_cast<int16_t>(m_XML_string.size());
}

std::string Cls_XML_header::Bool_to_XML_string(bool value) { return value ? "t" : "f"; }

bool Cls_XML_header::XML_string_to_Bool(const std::string& text) { return text == "t" || text == "Y"; }

void Cls_XML_header::Dump_XML_to_File(const std::string& path) {
    try {
        // The program folder may be read-only, so a bare or relative name goes to
        // the application-data folder like the default dump.
        std::string folder = Facts().AppData_Folder;
        if (folder.empty()) folder = Platform::Local_AppData_Folder();
        std::string target = path.empty() ? "xmldump.xml" : path;
        if (std::filesystem::path(target).is_relative()) {
            Platform::Create_Folders(folder);
            target = Platform::Join_Path(folder, target);
        }
        if (!m_DOM.document_element()) throw HdxError(ObjectNotSet, "No header document to dump");
        if (Platform::Is_Read_Only(target))
            throw HdxError(HdxErr::PermissionDenied, "Permission denied: " + target + " is read only");
        std::string error;
        if (!Platform::Write_File_Atomic(target, XML_string(), &error))
            throw HdxError(HdxErr::PathFileAccess, "Cannot write " + target + ": " + error);
        Platform::MsgBox("XML header dumped to: " + target);
    } catch (const std::exception& e) {
        Report_Exception(e, "Dump_XML_to_File of Class Module Cls_XML_header");
    }
}

// ---------------------------------------------------------------------------
// element access

pugi::xml_node Cls_XML_header::Find(const std::string& selector) const { return Select_Element(m_DOM, selector); }

pugi::xml_node Cls_XML_header::Need(const std::string& selector) const {
    const pugi::xml_node node = Find(selector);
    if (node) return node;
    if (!m_DOM.first_child()) throw HdxError(ObjectNotSet, "No header document loaded (" + selector + ")");
    throw HdxError(ObjectNotSet, "Header element not found: " + selector);
}

std::string Cls_XML_header::Get_Text(const std::string& selector) const { return Node_Text(Need(selector)); }

std::optional<std::string> Cls_XML_header::Element_Text(const std::string& selector) const {
    const pugi::xml_node node = Find(selector);
    if (!node) return std::nullopt;
    return Node_Text(node);
}

void Cls_XML_header::Let_Text(const std::string& selector, const std::string& value) {
    Set_Node_Text(Need(selector), value);
}

std::string Cls_XML_header::Get_Text_Or(const std::string& selector, const std::string& fallback) const {
    const pugi::xml_node node = Find(selector);
    return node ? Node_Text(node) : fallback;
}

void Cls_XML_header::Let_Text_Ignore(const std::string& selector, const std::string& value) {
    if (const pugi::xml_node node = Find(selector)) Set_Node_Text(node, value);
}

int16_t Cls_XML_header::Get_Int16(const std::string& selector) const {
    return static_cast<int16_t>(Convert(Get_Text(selector), selector, std::numeric_limits<int16_t>::min(),
                                        std::numeric_limits<int16_t>::max(), 16));
}

int32_t Cls_XML_header::Get_Int32(const std::string& selector) const {
    return static_cast<int32_t>(Convert(Get_Text(selector), selector, std::numeric_limits<int32_t>::min(),
                                        std::numeric_limits<int32_t>::max(), 32));
}

// ---- file_data -------------------------------------------------------------

std::string Cls_XML_header::Update_Time() { return Get_Text("//update_date"); }
void Cls_XML_header::Set_Update_Time(const std::string& value) { Let_Text("//update_date", value); }
void Cls_XML_header::Set_Update_Program(const std::string& value) { Let_Text("//update_program", value); }
std::string Cls_XML_header::Creation_date() { return Get_Text("//creation_date"); }
void Cls_XML_header::Set_Creation_date(const std::string& value) { Let_Text("//creation_date", value); }

std::string Cls_XML_header::Last_Capture_time() {
    if (const pugi::xml_node node = Find("//last_capture_time")) return Node_Text(node);
    return Get_Text("//creation_date");
}
void Cls_XML_header::Set_Last_Capture_time(const std::string& value) { Let_Text("//last_capture_time", value); }

int16_t Cls_XML_header::Streams_no() { return Get_Int16("//num_streams"); }
void Cls_XML_header::Set_Streams_no(int16_t value) { Let_Text("//num_streams", std::to_string(value)); }
int16_t Cls_XML_header::G_Frames_no() { return Get_Int16("//num_frames"); }
void Cls_XML_header::Set_Frames_no(int16_t value) { Let_Text("//num_frames", std::to_string(value)); }
int16_t Cls_XML_header::Segments_no() { return Get_Int16("//num_segments"); }
void Cls_XML_header::Set_Segments_no(int16_t value) { Let_Text("//num_segments", std::to_string(value)); }
std::string Cls_XML_header::Timing_Bias() { return Get_Text_Or("//timing_bias", "0"); }
void Cls_XML_header::Set_Timing_Bias(const std::string& value) { Let_Text("//timing_bias", value); }
std::string Cls_XML_header::Comp_Name() { return Get_Text_Or("//comp_name", "Unknown computer name"); }
std::string Cls_XML_header::Comp_CaptureInfo() { return Get_Text_Or("//comp_captureinfo", "Unknown Capture Info!"); }
void Cls_XML_header::Set_Comp_CaptureInfo(const std::string& value) { Let_Text("//comp_captureinfo", value); }
std::string Cls_XML_header::Capture_sample_size() { return Get_Text("//capture_sample_size"); }
void Cls_XML_header::Set_Capture_sample_size(const std::string& value) { Let_Text("//capture_sample_size", value); }
std::string Cls_XML_header::Comp_CPUInfo() { return Get_Text_Or("//comp_cpuinfo", "Not known!"); }
std::string Cls_XML_header::Comp_CPUbitness() { return Get_Text_Or("//comp_cpubitness", "Not known!"); }
std::string Cls_XML_header::Comp_OSbitness() { return Get_Text_Or("//comp_osbitness", "Not known!"); }
std::string Cls_XML_header::Capture_property() { return Get_Text_Or("//capture_property", ""); }
void Cls_XML_header::Set_Capture_property(const std::string& value) { Let_Text("//capture_property", value); }
void Cls_XML_header::Set_Selected_crop(const std::string& value) { Let_Text("//selected_crop", value); }
std::string Cls_XML_header::Capture_source() { return Get_Text_Or("//capture_source", ""); }
void Cls_XML_header::Set_Capture_source(const std::string& value) { Let_Text("//capture_source", value); }
std::string Cls_XML_header::Actual_sample() { return Get_Text_Or("//actual_sample", ""); }
std::string Cls_XML_header::Phidget_serial() { return Get_Text_Or("//phidget_serial", "Not known!"); }
void Cls_XML_header::Set_Phidget_serial(const std::string& value) { Let_Text_Ignore("//phidget_serial", value); }
std::string Cls_XML_header::prog_id() { return Get_Text("//prog_id"); }
std::string Cls_XML_header::Exe_Name() { return Get_Text_Or("//exe_name", ""); }
std::string Cls_XML_header::Prog_Major() { return Get_Text("//prog_major"); }
std::string Cls_XML_header::Prog_Minor() { return Get_Text("//prog_minor"); }
std::string Cls_XML_header::Prog_Revision() { return Get_Text("//prog_revision"); }
std::string Cls_XML_header::Computer_Uptime() { return Get_Text_Or("//computer_uptime", ""); }
std::string Cls_XML_header::Program_Uptime() { return Get_Text_Or("//program_uptime", ""); }
std::string Cls_XML_header::OS_version() { return Get_Text_Or("//os_version", ""); }
std::string Cls_XML_header::Subject_name() { return Get_Text_Or("//subject_name", ""); }
void Cls_XML_header::Set_Subject_name(const std::string& value) { Let_Text("//subject_name", value); }
std::string Cls_XML_header::comment(int16_t k) { return Get_Text_Or("//file_comment" + std::to_string(k), ""); }
void Cls_XML_header::Set_comment(int16_t k, const std::string& value) {
    Let_Text("//file_comment" + std::to_string(k), value);
}
std::string Cls_XML_header::File_comment1() { return Get_Text("//file_comment1"); }
void Cls_XML_header::Set_File_comment1(const std::string& value) { Let_Text("//file_comment1", value); }
std::string Cls_XML_header::SpecApp() { return Get_Text_Or("//specapp1", "None"); }
void Cls_XML_header::Set_SpecApp(const std::string& value) { Let_Text("//specapp1", value); }
std::string Cls_XML_header::Hdr_spare1() { return Get_Text("//hdr_spare1"); }
void Cls_XML_header::Set_Hdr_spare1(const std::string& value) { Let_Text("//hdr_spare1", value); }
std::string Cls_XML_header::Hdr_spare2() { return Get_Text("//hdr_spare2"); }
void Cls_XML_header::Set_Hdr_spare2(const std::string& value) { Let_Text("//hdr_spare2", value); }
std::string Cls_XML_header::Frame_Stamp() {
    const std::string text = Get_Text_Or("//hdr_spare3", "");
    const std::string prefix = "stamp=";
    if (text.rfind(prefix, 0) != 0 || text.size() == prefix.size()) return "unknown";
    return text.substr(prefix.size());
}
void Cls_XML_header::Set_Frame_Stamp(const std::string& word) { Let_Text("//hdr_spare3", "stamp=" + word); }
bool Cls_XML_header::Fields_Stacked() { return Get_Text_Or("//hdr_spare5", "") == "fields=stacked"; }
void Cls_XML_header::Set_Fields_Stacked(bool stacked) {
    Let_Text("//hdr_spare5", stacked ? "fields=stacked" : "fields=interleaved");
}

// ---- RGB_data --------------------------------------------------------------

int16_t Cls_XML_header::RGB_X() { return Get_Int16("//RGB_X"); }
void Cls_XML_header::Set_RGB_X(int16_t value) { Let_Text("//RGB_X", std::to_string(value)); }
int16_t Cls_XML_header::RGB_Y() { return Get_Int16("//RGB_Y"); }
void Cls_XML_header::Set_RGB_Y(int16_t value) { Let_Text("//RGB_Y", std::to_string(value)); }
int32_t Cls_XML_header::RGB_Image_size() { return Get_Int32("//RGB_image_size"); }
void Cls_XML_header::Set_RGB_Image_size(int32_t value) { Let_Text("//RGB_image_size", std::to_string(value)); }
std::string Cls_XML_header::RGB_Max_Seen_size() { return Get_Text("//RGB_max_seen_size"); }
void Cls_XML_header::Set_RGB_Max_Seen_size(const std::string& value) { Let_Text("//RGB_max_seen_size", value); }
std::string Cls_XML_header::RGB_Comp_Threshold() { return Get_Text("//RGB_comp_threshold"); }
void Cls_XML_header::Set_RGB_Comp_Threshold(const std::string& value) { Let_Text("//RGB_comp_threshold", value); }
int32_t Cls_XML_header::RGB_Compressed_max_Size() { return Get_Int32("//RGB_compressed_max_size"); }
void Cls_XML_header::Set_RGB_Compressed_max_Size(int32_t value) {
    Let_Text("//RGB_compressed_max_size", std::to_string(value));
}
int32_t Cls_XML_header::RGB_Compressed_buffer_Size() { return Get_Int32("//RGB_compressed_buffer_size"); }
void Cls_XML_header::Set_RGB_Compressed_buffer_Size(int32_t value) {
    Let_Text("//RGB_compressed_buffer_size", std::to_string(value));
}
int32_t Cls_XML_header::RGB_Compressed_min_Size() { return Get_Int32("//RGB_compressed_min_size"); }
void Cls_XML_header::Set_RGB_Compressed_min_Size(int32_t value) {
    Let_Text("//RGB_compressed_min_size", std::to_string(value));
}
int32_t Cls_XML_header::RGB_Sample_Size() { return Get_Int32("//RGB_sample_size"); }
void Cls_XML_header::Set_L_RGB_Sample_Size(int32_t value) { Let_Text("//RGB_sample_size", std::to_string(value)); }
bool Cls_XML_header::RGB_interlaced() { return Word_Bool(Get_Text("//RGB_interlaced")); }
void Cls_XML_header::Set_RGB_interlaced(bool value) { Let_Text("//RGB_interlaced", Word_Text(value)); }
bool Cls_XML_header::RGB_Rotated() { return XML_string_to_Bool(Get_Text("//RGB_rotated")); }
void Cls_XML_header::Set_RGB_Rotated(bool value) { Let_Text("//RGB_rotated", Bool_to_XML_string(value)); }
bool Cls_XML_header::RGB_preview_on() { return Word_Bool(Get_Text("//RGB_preview_on")); }
void Cls_XML_header::Set_RGB_preview_on(bool value) { Let_Text("//RGB_preview_on", Word_Text(value)); }
std::string Cls_XML_header::RGB_fourcc() { return Get_Text("//RGB_fourcc"); }
void Cls_XML_header::Set_RGB_fourcc(const std::string& value) { Let_Text("//RGB_fourcc", value); }
std::string Cls_XML_header::RGB_JPEG_codec() { return Get_Text_Or("//RGB_JPEG_Codec", "unknown"); }
void Cls_XML_header::Set_RGB_JPEG_codec(const std::string& value) { Let_Text("//RGB_JPEG_Codec", value); }
std::string Cls_XML_header::RGB_fps() { return Get_Text("//RGB_fps"); }
void Cls_XML_header::Set_RGB_fps(const std::string& value) { Let_Text("//RGB_fps", value); }
std::string Cls_XML_header::RGB_JPEG_Quality() { return Get_Text_Or("//RGB_JPEG_Quality", "0000"); }
void Cls_XML_header::Set_RGB_JPEG_Quality(const std::string& value) { Let_Text("//RGB_JPEG_Quality", value); }
int16_t Cls_XML_header::JPG_Reduced_Qual_num() { return Get_Int16("//RGB_JPEG_Quality_num_reduced"); }
void Cls_XML_header::Set_JPG_Reduced_Qual_num(int16_t value) {
    Let_Text("//RGB_JPEG_Quality_num_reduced", std::to_string(value));
}

// ---- houndex -----------------------------------------------------------------

std::string Cls_XML_header::Hdx_event() { return Get_Text("//hdx_event"); }
void Cls_XML_header::Set_Hdx_event(const std::string& value) { Let_Text("//hdx_event", value); }
std::string Cls_XML_header::Hdx_Heat_ID() { return Get_Text("//hdx_heat_ID"); }
void Cls_XML_header::Set_Hdx_Heat_ID(const std::string& value) { Let_Text("//hdx_heat_ID", value); }
std::string Cls_XML_header::Hdx_Heat_Name() { return Get_Text("//hdx_heat_name"); }
void Cls_XML_header::Set_Hdx_Heat_Name(const std::string& value) { Let_Text("//hdx_heat_name", value); }
std::string Cls_XML_header::Hdx_Heat_Length() { return Get_Text_Or("//hdx_heat_length", ""); }
void Cls_XML_header::Set_Hdx_Heat_Length(const std::string& value) { Let_Text("//hdx_heat_length", value); }
std::string Cls_XML_header::Hdx_Goal_Finish() { return Get_Text("//hdx_goal_finish"); }
void Cls_XML_header::Set_Hdx_Goal_Finish(const std::string& value) { Let_Text_Ignore("//hdx_goal_finish", value); }
std::string Cls_XML_header::Hdx_Goal_Split() { return Get_Text("//hdx_goal_split"); }
void Cls_XML_header::Set_Hdx_Goal_Split(const std::string& value) { Let_Text_Ignore("//hdx_goal_split", value); }
std::string Cls_XML_header::Hdx_start_DateTime() { return Get_Text("//hdx_start_datetime"); }
void Cls_XML_header::Set_Hdx_start_DateTime(const std::string& value) { Let_Text("//hdx_start_datetime", value); }
int32_t Cls_XML_header::Hdx_heat_start_Local_mill() { return Get_Int32("//hdx_start_local_mill"); }
void Cls_XML_header::Set_Hdx_heat_start_Local_mill(int32_t value) {
    Let_Text("//hdx_start_local_mill", std::to_string(value));
}
std::string Cls_XML_header::Hdx_heat_start_PC_mill() { return Get_Text("//hdx_start_PC_mill"); }
void Cls_XML_header::Set_Hdx_heat_start_PC_mill(const std::string& value) { Let_Text("//hdx_start_PC_mill", value); }
int32_t Cls_XML_header::Hdx_start_HDMI_events() { return Get_Int32("//hdx_start_HDMI_events"); }
void Cls_XML_header::Set_Hdx_start_HDMI_events(int32_t value) {
    Let_Text("//hdx_start_HDMI_events", std::to_string(value));
}
std::string Cls_XML_header::Goal_Compensation() { return Get_Text_Or("//hdx_goal_time_offset", "0"); }
void Cls_XML_header::Set_Goal_Compensation(const std::string& value) { Let_Text("//hdx_goal_time_offset", value); }
std::string Cls_XML_header::Split_Compensation() { return Get_Text_Or("//hdx_split_time_offset", "0"); }
void Cls_XML_header::Set_Split_Compensation(const std::string& value) { Let_Text("//hdx_split_time_offset", value); }
std::string Cls_XML_header::Hdx_box_delay() { return Get_Text_Or("//hdx_box_delay", "0"); }
void Cls_XML_header::Set_Hdx_box_delay(const std::string& value) { Let_Text_Ignore("//hdx_box_delay", value); }
void Cls_XML_header::Set_Hdx_split_firewire_ID(const std::string& value) { Let_Text("//hdx_split_firewire_ID", value); }
void Cls_XML_header::Set_Hdx_goal_firewire_ID(const std::string& value) { Let_Text("//hdx_goal_firewire_ID", value); }
void Cls_XML_header::Set_Hdx_ph_serial(const std::string& value) { Let_Text("//hdx_ph_serial", value); }

// ---- box records ---------------------------------------------------------------

std::string Cls_XML_header::Hdx_Dog_name(int16_t box) { return Get_Text(Box_Selector(box, "dog_name")); }
void Cls_XML_header::Set_Hdx_Dog_name(int16_t box, const std::string& value) {
    Let_Text(Box_Selector(box, "dog_name"), value);
}

int32_t Cls_XML_header::Hdx_Heat_time(int16_t box, bool split) {
    return Get_Int32(Box_Selector(box, split ? "dog_split_time" : "dog_heat_time"));
}
void Cls_XML_header::Set_Hdx_Heat_time(int16_t box, bool split, int32_t value) {
    Let_Text(Box_Selector(box, split ? "dog_split_time" : "dog_heat_time"), std::to_string(value));
}

int32_t Cls_XML_header::Hdx_Heat_Click_Time(int16_t box) {
    try {
        return Get_Int32(Box_Selector(box, "dog_heat_click_time"));
    } catch (const HdxError&) {
        return 0;
    }
}
void Cls_XML_header::Set_Hdx_Heat_Click_Time(int16_t box, int32_t value) {
    Let_Text_Ignore(Box_Selector(box, "dog_heat_click_time"), std::to_string(value));
}

int32_t Cls_XML_header::Hdx_heat_frame(int16_t box) { return Get_Int32(Box_Selector(box, "dog_heat_frame")); }
void Cls_XML_header::Set_Hdx_heat_frame(int16_t box, int32_t value) {
    Let_Text(Box_Selector(box, "dog_heat_frame"), std::to_string(value));
}
int32_t Cls_XML_header::Hdx_split_frame(int16_t box) { return Get_Int32(Box_Selector(box, "dog_split_frame")); }
void Cls_XML_header::Set_Hdx_split_frame(int16_t box, int32_t value) {
    Let_Text(Box_Selector(box, "dog_split_frame"), std::to_string(value));
}

bool Cls_XML_header::Hdx_dead_heat(int16_t box) {
    return Word_Bool(Get_Text_Or(Box_Selector(box, "dog_dead_heat"), "False"));
}
std::string Cls_XML_header::Hdx_heat_spare1(int16_t box) {
    return Get_Text_Or(Box_Selector(box, "dog_heat_spare1"), "00000");
}
void Cls_XML_header::Set_Hdx_heat_spare1(int16_t box, const std::string& value) {
    Let_Text_Ignore(Box_Selector(box, "dog_heat_spare1"), value);
}

void Cls_XML_header::Set_Hdx_dead_heat(int16_t box, bool value) {
    // Pending window messages run first, as they always have before this write.
    Platform::Yield_Events();
    Let_Text_Ignore(Box_Selector(box, "dog_dead_heat"), Word_Text(value));
}
