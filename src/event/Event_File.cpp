#include "event/Event_File.h"

#include "metadata/Xml_Select.h"

#include <filesystem>

#include "event/Module_Event_File.h"
#include "metadata/Latin1.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "platform/HdxError.h"
#include "common/Module_dependant.h"

namespace {

constexpr int ObjectNotSet = 91;
const char* const CRLF = "\r\n";
const char* const Root_Name = "Houndex_event_file";
const char* const Event_Leaves[] = {"event_name", "event_date", "event_day", "event_venue"};
const char* const Heat_Leaves[] = {"heat_time", "heat_length", "heat_description", "heat_name"};
const char* const Box_Leaves[] = {"dog_name",      "dog_weight",          "dog_heat_time",
                                  "dog_heat_rank", "dog_heat_split_time", "dog_heat_split_rank"};

struct String_Writer : pugi::xml_writer {
    std::string text;
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
};

bool Heat_In_Range(int heat) { return heat >= 1 && heat <= Event_File::Heat_Count; }
bool Box_In_Range(int box) { return box >= 1 && box <= Event_File::Box_Count; }

std::string Heat_Selector(int heat) { return "//heat[@id='" + std::to_string(heat) + "']"; }

void Append_Text(pugi::xml_node node, std::string& out) {
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
            out += c.value();
        else if (c.type() == pugi::node_element)
            Append_Text(c, out);
    }
}

// A text as a message can show it: short, with anything unprintable as U+FFFD.
std::string Shown(const std::string& text) {
    std::string out;
    size_t chars = 0;
    for (size_t i = 0; i < text.size() && chars < 40; ++chars) {
        const size_t start = i;
        uint32_t cp = 0;
        if (!Next_Utf8_Char(text, i, cp) || cp < 0x20 || cp == 0x7F)
            out += "\xEF\xBF\xBD";
        else
            out.append(text, start, i - start);
        if (chars == 39 && i < text.size()) out += "...";
    }
    return out;
}

// The document level as an event file has it: declaration (if any) first, then
// exactly one element, the event file's root.
bool Is_Event_Document(const pugi::xml_document& doc, std::string& why) {
    int elements = 0;
    bool first = true;
    for (pugi::xml_node node = doc.first_child(); node; node = node.next_sibling()) {
        if (node.type() == pugi::node_element) ++elements;
        if (node.type() == pugi::node_declaration && !first) {
            why = "the XML declaration is not at the start";
            return false;
        }
        first = false;
    }
    if (elements != 1) {
        why = elements == 0 ? "it holds no XML element" : "it holds more than one root element";
        return false;
    }
    if (std::string(doc.document_element().name()) != Root_Name) {
        why = "its root element is \"" + Shown(doc.document_element().name()) + "\", not \"" + Root_Name + "\"";
        return false;
    }
    return true;
}

// The file is written as ISO-8859-1 whatever it was read as, so its declaration
// must say so; a document without one gets one.
void Declare_Latin1(pugi::xml_document& doc) {
    pugi::xml_node decl = doc.first_child();
    if (decl.type() != pugi::node_declaration) {
        decl = doc.prepend_child(pugi::node_declaration);
        decl.append_attribute("version") = "1.0";
    }
    pugi::xml_attribute encoding = decl.attribute("encoding");
    if (!encoding) encoding = decl.append_attribute("encoding");
    encoding = "iso-8859-1";
}

}  // namespace

// ---------------------------------------------------------------------------
// document

void Event_File::Create_Houndex_Race_File() {
    m_DOM.reset();
    auto line_break = [](pugi::xml_node parent) { parent.append_child(pugi::node_pcdata).set_value(CRLF); };
    // Each element is followed by a line break, and each element with children
    // starts with one, so that every element starts a new line.
    auto add_leaves = [&](pugi::xml_node parent, const auto& names) {
        for (const char* name : names) {
            parent.append_child(name);
            line_break(parent);
        }
    };

    pugi::xml_node decl = m_DOM.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "iso-8859-1";
    pugi::xml_node root = m_DOM.append_child(Root_Name);
    line_break(root);
    const std::string comment = "XML file containing Houndex event definition file, created at: " + Date_Time_Text();
    root.append_child(pugi::node_comment).set_value(comment.c_str());
    line_break(root);
    add_leaves(root, Event_Leaves);
    for (int h = 1; h <= Heat_Count; ++h) {
        pugi::xml_node heat = root.append_child("heat");
        heat.append_attribute("id") = std::to_string(h).c_str();
        line_break(heat);
        add_leaves(heat, Heat_Leaves);
        for (int b = 1; b <= Box_Count; ++b) {
            pugi::xml_node box = heat.append_child("box");
            box.append_attribute("id") = std::to_string(b).c_str();
            line_break(box);
            add_leaves(box, Box_Leaves);
            line_break(heat);
        }
        line_break(root);
    }
}

bool Event_File::Create_Event_XML_File() {
    Trace("*Create_Event_XML_File");
    Create_Houndex_Race_File();
    return XML_to_File();
}

bool Event_File::Create_Event(const std::string& path, const std::string& event_name, const std::string& day) {
    for (const std::string* text : {&event_name, &day}) {
        const std::string problem = Storable_Problem(*text);
        if (!problem.empty()) {
            Platform::MsgBox("Cannot store \"" + Shown(*text) + "\" in the event file: " + problem + "!",
                             Platform::MsgButtons::OK, Platform::MsgIcon::Exclamation);
            return false;
        }
    }
    try {
        const std::string folder = std::filesystem::path(path).parent_path().string();
        if (!folder.empty() && !Platform::Create_Folders(folder))
            throw HdxError(HdxErr::PathNotFound, "Path not found: the folder cannot be created");
    } catch (const std::exception& e) {
        Report_Exception(e, "Create_Event of Class Module Event_File", 0, path);
        return false;
    }
    m_Path = path;
    if (Create_Event_XML_File() && Set_Event_name(event_name) && Set_day(day) && XML_to_File() && Parse_XML_file())
        return true;
    // An empty programme that could not be saved (a read-only file, a full disk)
    // must not stay behind under that path, to be saved over it later.
    Close();
    return false;
}

bool Event_File::Parse_XML_file() {
    // Loaded into a new document: whatever happens, the old programme is gone,
    // so it can never be saved under the new path.
    m_DOM.reset();
    if (No_Event_Path(m_Path) || !Platform::File_Exists(m_Path)) return false;
    if (!Validate_XML_file(m_Path)) return false;
    const char* const location = "Parse_XML_file of Class Module Event_File";
    try {
        std::string bytes, error;
        bool too_large = false;
        if (!Read_File_Bounded(m_Path, Max_File_Bytes, bytes, too_large, &error)) {
            if (too_large)
                throw HdxError(HdxErr::ApplicationDefined,
                               "Invalid Event File: larger than " + std::to_string(Max_File_Bytes) + " bytes");
            throw HdxError(HdxErr::PathFileAccess, "Event file cannot be read: " + error);
        }
        const pugi::xml_parse_result result = Load_XML_Text(m_DOM, bytes);
        if (!result) {
            m_DOM.reset();
            throw HdxError(HdxErr::ApplicationDefined, std::string("Invalid Event File: not XML (") +
                                                           result.description() + " at byte " +
                                                           std::to_string(result.offset) + ")");
        }
        std::string why;
        if (!Is_Event_Document(m_DOM, why)) {
            m_DOM.reset();
            throw HdxError(HdxErr::ApplicationDefined, "Invalid Event File: " + why);
        }
        Make_Latin1_Writable(m_DOM);
        Declare_Latin1(m_DOM);
        return true;
    } catch (const std::exception& e) {
        m_DOM.reset();
        Report_Exception(e, location, 0, m_Path);
        return false;
    }
}

bool Event_File::XML_to_File() {
    if (No_Event_Path(m_Path)) return false;
    if (Platform::File_Exists(m_Path) && Platform::Is_Read_Only(m_Path)) {
        Platform::MsgBox(std::string("Event file is Read-Only!") + CRLF + m_Path);
        return false;
    }
    Trace("*Form_event_registration XML_to_File");
    const std::string text = XML_string();
    if (text.empty()) {
        Trace("*XML_to_File  no XML!");
        return false;
    }
    // The new contents go to a new file that is then renamed over the old one:
    // a failed write leaves the previous programme in place instead of nothing.
    Trace("*XML_to_File 1");
    Trace("*XML_to_File 2");
    std::string error;
    if (!Platform::Write_File_Atomic(m_Path, text, &error)) {
        NXF_Error_Handler("Event file cannot be written: " + error, HdxErr::PathFileAccess, 0,
                          "XML_to_File of Class Module Event_File", m_Path);
        return false;
    }
    Trace("*XML_to_File 3");
    return true;
}

void Event_File::Close() {
    m_DOM.reset();
    m_Path.clear();
}

std::string Event_File::XML_string() const {
    if (!m_DOM.first_child()) return "";
    // Each top-level node on its own line, the rest exactly as the document holds it.
    String_Writer writer;
    for (pugi::xml_node node = m_DOM.first_child(); node; node = node.next_sibling()) {
        if (node.type() == pugi::node_pcdata) continue;
        node.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
        writer.text += CRLF;
    }
    return Utf8_To_Latin1(writer.text);
}

std::string Event_File::Storable_Problem(const std::string& text) {
    if (!Is_Utf8(text)) return "it is not valid UTF-8 text";
    // XML 1.0 has no way to write the other C0 control characters, not even as references.
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 && b != '\t' && b != '\n' && b != '\r') return "it holds control characters";
    }
    // A character outside Latin-1 is written as a character reference (&#8217;),
    // which every XML reader turns back into the same character.
    uint32_t cp = 0;
    for (size_t i = 0; i < text.size();)
        if (Next_Utf8_Char(text, i, cp) && (cp == 0xFFFE || cp == 0xFFFF))
            return "it holds characters that XML cannot represent";
    return "";
}

// ---------------------------------------------------------------------------
// element access

pugi::xml_node Event_File::Find(const std::string& selector) const { return Select_Element(m_DOM, selector); }

std::string Event_File::Get(const std::string& selector) const {
    std::string out;
    if (const pugi::xml_node node = Find(selector)) Append_Text(node, out);
    return out;
}

bool Event_File::Let(const char* procedure, const std::string& selector, const std::string& value) {
    if (!Is_Loaded()) return false;
    const std::string problem = Storable_Problem(value);
    if (!problem.empty()) {
        Platform::MsgBox("Cannot store \"" + Shown(value) + "\" in the event file: " + problem + "!",
                         Platform::MsgButtons::OK, Platform::MsgIcon::Exclamation);
        return false;
    }
    pugi::xml_node node = Find(selector);
    if (!node) {
        NXF_Error_Handler("Element not found in the event file: " + selector, ObjectNotSet, 0,
                          std::string(procedure) + " of Class Module Event_File", m_Path);
        return false;
    }
    node.remove_children();
    if (!value.empty()) node.append_child(pugi::node_pcdata).set_value(value.c_str());
    return true;
}

bool Event_File::Let_Heat(const char* procedure, int heat, const char* element, const std::string& value) {
    if (!Is_Loaded()) return false;
    if (!Heat_In_Range(heat)) {
        NXF_Error_Handler("Subscript out of range: heat " + std::to_string(heat), HdxErr::SubscriptOutOfRange, 0,
                          std::string(procedure) + " of Class Module Event_File", m_Path);
        return false;
    }
    return Let(procedure, Heat_Selector(heat) + "/" + element, value);
}

std::string Event_File::Event_name() const { return Get("//event_name"); }
std::string Event_File::Get_day() const { return Get("//event_day"); }

std::string Event_File::Heat_Name(int heat) const {
    return Heat_In_Range(heat) ? Get(Heat_Selector(heat) + "/heat_name") : "";
}
std::string Event_File::Heat_Length(int heat) const {
    return Heat_In_Range(heat) ? Get(Heat_Selector(heat) + "/heat_length") : "";
}
std::string Event_File::Heat_Start_Time(int heat) const {
    return Heat_In_Range(heat) ? Get(Heat_Selector(heat) + "/heat_time") : "";
}
std::string Event_File::Reg_Dog_Name(int heat, int box) const {
    if (!Heat_In_Range(heat) || !Box_In_Range(box)) return "";
    return Get(Heat_Selector(heat) + "/box[@id='" + std::to_string(box) + "']/dog_name");
}

bool Event_File::Set_Event_name(const std::string& value) { return Let("Set_Event_name", "//event_name", value); }
bool Event_File::Set_day(const std::string& value) { return Let("Set_day", "//event_day", value); }
bool Event_File::Set_Heat_Name(int heat, const std::string& value) {
    return Let_Heat("Set_Heat_Name", heat, "heat_name", value);
}
bool Event_File::Set_Heat_Length(int heat, const std::string& value) {
    return Let_Heat("Set_Heat_Length", heat, "heat_length", value);
}
bool Event_File::Set_Heat_Start_Time(int heat, const std::string& value) {
    return Let_Heat("Set_Heat_Start_Time", heat, "heat_time", value);
}
bool Event_File::Set_Reg_Dog_Name(int heat, int box, const std::string& value) {
    if (Is_Loaded() && !Box_In_Range(box)) {
        NXF_Error_Handler("Subscript out of range: box " + std::to_string(box), HdxErr::SubscriptOutOfRange, 0,
                          "Set_Reg_Dog_Name of Class Module Event_File", m_Path);
        return false;
    }
    return Let_Heat("Set_Reg_Dog_Name", heat, ("box[@id='" + std::to_string(box) + "']/dog_name").c_str(), value);
}
