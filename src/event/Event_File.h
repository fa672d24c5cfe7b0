#pragma once
#include <cstddef>
#include <string>

#include <pugixml.hpp>

// The race programme of one event in its XML event file: event name and day,
// and for each of 100 heats its name, length, start time and the dog in each of
// 8 boxes. The object holds the document in memory and the path it belongs to;
// the registration window edits it through the accessors and saves it with
// XML_to_File whenever a field is left.
//
// Text boundary: the accessors take and return UTF-8; the file is ISO-8859-1,
// one byte per character, as its declaration says, and a character outside it
// (the apostrophe U+2019, the euro sign) is written as a character reference (&#8217;). A text that XML
// cannot hold (control characters, invalid UTF-8) is refused with a message and
// leaves the document as it was: it is never stored mangled.
//
// Accessor scheme: a value X is read by X(args...) and written by
// Set_X(args..., value) (the day: Get_day / Set_day). Reads return "" when there
// is no document or no such heat, box or element. Writes return false when
// nothing was stored: silently without a document, with a message for a refused
// text, through the error handler for a heat or box that is not in the file.
class Event_File {
public:
    static constexpr int Heat_Count = 100;
    static constexpr int Box_Count = 8;
    // Far above any real programme (about 200 KB); protects against reading a
    // huge file that was picked by mistake.
    static constexpr size_t Max_File_Bytes = 64u * 1024 * 1024;

    Event_File() = default;
    Event_File(const Event_File&) = delete;
    Event_File& operator=(const Event_File&) = delete;

    // ---- path ---------------------------------------------------------------
    const std::string& Path() const { return m_Path; }
    void Set_Path(const std::string& path) { m_Path = path; }  // "" or "N/A": no event file

    // ---- document -----------------------------------------------------------
    // Builds the whole empty programme in memory, replacing the current document.
    void Create_Houndex_Race_File();
    // A new empty programme saved to Path() (trace "*Create_Event_XML_File").
    bool Create_Event_XML_File();
    // The "Create new Event file" command below the window: creates the folder
    // of path, saves a new programme with the event name and day there (over an
    // existing file, which is replaced in one step, never deleted first) and
    // loads it again. Refused texts stop it before anything is written. The
    // window asks about overwriting and stores the setting.
    bool Create_Event(const std::string& path, const std::string& event_name, const std::string& day);
    // Loads Path() into a new document. False, with no document held, when the
    // file is missing, empty (see Validate_XML_file), too large, not XML or not
    // an event file; the last three are reported to the error handler. With no
    // document held nothing can be saved over the file.
    bool Parse_XML_file();
    // Writes the document to Path(), replacing the file in one step. Nothing
    // happens without a path; a read-only file gets "Event file is Read-Only!"
    // and the path and stays as it is; an empty document writes nothing.
    bool XML_to_File();
    // Closing the event file: no path, and a fresh empty document (not saved).
    void Close();
    bool Is_Loaded() const { return static_cast<bool>(m_DOM.document_element()); }
    // The file's bytes for the document: ISO-8859-1, "" when there is none.
    std::string XML_string() const;

    // Why a text cannot be stored ("" when it can).
    static std::string Storable_Problem(const std::string& text);
    static bool Can_Store(const std::string& text) { return Storable_Problem(text).empty(); }

    // ---- read ---------------------------------------------------------------
    std::string Event_name() const;
    std::string Get_day() const;
    std::string Heat_Name(int heat) const;
    std::string Heat_Length(int heat) const;
    std::string Heat_Start_Time(int heat) const;
    std::string Reg_Dog_Name(int heat, int box) const;

    // ---- write --------------------------------------------------------------
    bool Set_Event_name(const std::string& value);
    bool Set_day(const std::string& value);
    bool Set_Heat_Name(int heat, const std::string& value);
    bool Set_Heat_Length(int heat, const std::string& value);
    bool Set_Heat_Start_Time(int heat, const std::string& value);
    bool Set_Reg_Dog_Name(int heat, int box, const std::string& value);

private:
    pugi::xml_node Find(const std::string& selector) const;
    std::string Get(const std::string& selector) const;
    bool Let(const char* procedure, const std::string& selector, const std::string& value);
    bool Let_Heat(const char* procedure, int heat, const char* element, const std::string& value);

    pugi::xml_document m_DOM;
    std::string m_Path;
};
