#include "event/Dog_Import.h"
#include "common/Text.h"

#include <filesystem>

#include "event/Event_File.h"
#include "event/Module_Event_File.h"
#include "metadata/Latin1.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/HdxError.h"
#include "settings/Module_Ini.h"
#include "common/Startup_Facts.h"

namespace {

const char* const CRLF = "\r\n";
const char* const Format_Message = "Ivalid import file format!";

bool Blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

Dog_Import::Dog_Import(const std::string& bytes) {
    const std::string body = Starts_With_Utf8_Bom(bytes) ? bytes.substr(3) : bytes;
    m_Text = Is_Utf8(body) ? body : Latin1_To_Utf8(body);
}

int Dog_Import::Start_Number(const std::string& line) {
    size_t p = 0;
    while (p < line.size() && Blank(line[p])) ++p;
    if (line.compare(p, 5, "Start") != 0) return -1;
    p += 5;
    while (p < line.size() && Blank(line[p])) ++p;
    if (p >= line.size() || line[p] < '0' || line[p] > '9') return -1;
    int value = 0;
    for (int digits = 0; p < line.size() && line[p] >= '0' && line[p] <= '9'; ++p, ++digits)
        if (digits < 4) value = value * 10 + (line[p] - '0');
    return value;
}

Dog_Import::Step Dog_Import::Next() {
    Step step;
    if (m_Done || m_Pos >= m_Text.size()) {
        m_Done = true;
        return step;
    }
    size_t end = m_Text.find_first_of("\r\n", m_Pos);
    if (end == std::string::npos) end = m_Text.size();
    const size_t length = end - m_Pos;
    const size_t line_start = m_Pos;
    m_Pos = end;
    if (m_Pos < m_Text.size())
        m_Pos += (m_Text[m_Pos] == '\r' && m_Pos + 1 < m_Text.size() && m_Text[m_Pos + 1] == '\n') ? 2 : 1;
    step.line = ++m_Line;
    step.heat = m_Heat;

    size_t chars = 0;  // UTF-8 lead bytes: a Latin-1 letter counts once, like an ASCII one
    for (size_t i = line_start; i < end; ++i)
        if ((static_cast<unsigned char>(m_Text[i]) & 0xC0) != 0x80) ++chars;
    if (chars > Max_Line_Chars) {
        m_Done = true;
        step.kind = Kind::Line_Too_Long;
        return step;
    }
    const std::string line = m_Text.substr(line_start, length);
    // Only the keyword at the start of the line with a number after it chooses
    // a heat: "Flying Start" or "Start Me Up" are dogs.
    if (const int heat = Start_Number(line); heat >= 0) {
        m_Heat = heat;
        m_Box = 0;
        step.kind = Kind::Heat;
        step.heat = m_Heat;
        return step;
    }
    if (m_Heat < 1 || m_Heat > Event_File::Heat_Count) {
        m_Done = true;
        step.kind = Kind::Format_Error;
        return step;
    }
    step.box = ++m_Box;
    step.name = Trim_Blanks(line);
    if (step.name.empty()) {
        step.kind = Kind::Empty_Line;
        return step;
    }
    if (m_Box > Event_File::Box_Count) {
        m_Done = true;
        step.kind = Kind::Too_Many_Dogs;
        return step;
    }
    step.kind = Kind::Dog;
    return step;
}

Dog_Import_Result Import_Dogs_From(Event_File& event_file, const std::string& path, const Dog_Import_Hooks& hooks) {
    Dog_Import_Result result;
    try {
        std::string bytes, error;
        bool too_large = false;
        if (!Read_File_Bounded(path, Dog_Import::Max_File_Bytes, bytes, too_large, &error)) {
            if (too_large)
                Platform::MsgBox("The import file is too large: an import file holds at most " +
                                 std::to_string(Dog_Import::Max_File_Bytes) + " bytes." + CRLF + "Nothing imported!");
            else
                Platform::MsgBox("The import file cannot be read: " + error + CRLF + path);
            return result;
        }
        Dog_Import parser(bytes);
        for (bool going = true; going;) {
            const Dog_Import::Step step = parser.Next();
            switch (step.kind) {
                case Dog_Import::Kind::Heat:
                    if (step.heat >= 1 && step.heat <= Event_File::Heat_Count && hooks.Heat_Selected)
                        hooks.Heat_Selected(step.heat);
                    break;
                case Dog_Import::Kind::Empty_Line: break;
                case Dog_Import::Kind::Dog: {
                    const std::string problem = Event_File::Storable_Problem(step.name);
                    if (!problem.empty()) {
                        Platform::MsgBox("Import stopped at line " + std::to_string(step.line) +
                                         ": the name cannot be stored in the event file, " + problem + "!" + CRLF +
                                         std::to_string(result.imported) + " Dogs imported!");
                        going = false;
                        break;
                    }
                    if (!event_file.Set_Reg_Dog_Name(step.heat, step.box, step.name)) {
                        going = false;  // the event file has said why
                        break;
                    }
                    ++result.imported;
                    if (hooks.Dog_Stored) hooks.Dog_Stored(step.heat, step.box);
                    break;
                }
                case Dog_Import::Kind::Format_Error:
                    Platform::MsgBox(Format_Message);
                    going = false;
                    break;
                case Dog_Import::Kind::Too_Many_Dogs:
                    Platform::MsgBox(std::string(Format_Message) + CRLF + "Heat " + std::to_string(step.heat) +
                                     " has more than " + std::to_string(Event_File::Box_Count) + " dogs (line " +
                                     std::to_string(step.line) + ").");
                    going = false;
                    break;
                case Dog_Import::Kind::Line_Too_Long:
                    Platform::MsgBox(std::string(Format_Message) + CRLF + "Line " + std::to_string(step.line) +
                                     " is longer than " + std::to_string(Dog_Import::Max_Line_Chars) + " characters.");
                    going = false;
                    break;
                case Dog_Import::Kind::End:
                    result.completed = true;
                    Platform::MsgBox(std::to_string(result.imported) + " Dogs imported!");
                    going = false;
                    break;
            }
        }
    } catch (const std::exception& e) {
        Report_Exception(e, "Import_Dogs of Form Form_event_registration", 0, path);
    } catch (...) {
        NXF_Error_Handler("Unknown error", HdxErr::ApplicationDefined, 0, "Import_Dogs of Form Form_event_registration",
                          path);
    }
    // The file mirrors the document, also after an import that stopped half-way.
    if (result.imported > 0) event_file.XML_to_File();
    return result;
}

Dog_Import_Result Import_Dogs(Event_File& event_file, const Dog_Import_Hooks& hooks) {
    Trace("Import_Dogs start");
    const std::string& path = event_file.Path();
    if (No_Event_Path(path) || !Validate_XML_file(path) || !event_file.Is_Loaded()) {
        Platform::MsgBox(std::string("No valid Event File open!") + CRLF + "Import not possible");
        return {};
    }
    const std::string start = Read_Ini("Settings", "importdir", Facts().Ini_file_path, "c:");
    const auto chosen = Platform::Dialogs().Open_File("Import dog names", start, "Text (*.txt)");
    if (!chosen || chosen->empty()) return {};
    const std::string folder = std::filesystem::path(*chosen).parent_path().string();
    if (!folder.empty()) Write_Ini("Settings", "importdir", folder, Facts().Ini_file_path);
    return Import_Dogs_From(event_file, *chosen, hooks);
}
