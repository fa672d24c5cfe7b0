#pragma once
#include <QPointer>

#include "diagnostics/Houndex_debug_form.h"
#include "diagnostics/frmAbout.h"

class IDiagnostics_Host;

// The main window's diagnostic menu commands ("Diagnostics", "Debug",
// "Specials", "Help"). Each command traps its own faults; the text reports go
// to the debug window, which is made on first use and unloaded by its "Hide".
class Diagnostics_Commands {
public:
    explicit Diagnostics_Commands(IDiagnostics_Host& host);
    ~Diagnostics_Commands();
    Diagnostics_Commands(const Diagnostics_Commands&) = delete;
    Diagnostics_Commands& operator=(const Diagnostics_Commands&) = delete;

    void item_JPEG_benchmark_Click();       // "JPEG Benchmark": the report in a message box
    void item_DLL_available_Click();        // "DLL available": "True" / "False"
    void item_picture_size_Click();         // "Picture size": report in the debug window
    void item_timestamp_report_Click();     // "Timestamp report": CSV file, "Timestamp report ready"
    void item_file_properties_Click();      // "File properties": report in the debug window
    void item_text_XML_header_Click();      // "Text XML header": a new default header dumped
    void item_dump_XML_header_Click();      // "Dump present XML header"
    void item_NX3_properties_Click();       // "NX3 Properties": message box
    void item_about_Click();                // "About"
    void item_misbehave_trapped_Click();    // "Misbehave trapped"
    void item_misbehave_untrapped_Click();  // "Misbehave untrapped": the fault is left untrapped

    // The debug window; made (hidden) when there is none.
    Houndex_debug_form& Debug_Form();
    bool Has_Debug_Form() const { return !m_Debug.isNull(); }
    frmAbout* About_Form() const { return m_About; }
    // Where the last timestamp report was written.
    const std::string& Last_Timestamp_Report() const { return m_Last_Report; }

private:
    IDiagnostics_Host& m_Host;
    QPointer<Houndex_debug_form> m_Debug;
    QPointer<frmAbout> m_About;
    std::string m_Last_Report;
};
