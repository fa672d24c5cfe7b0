#include "event/Dog_Import.h"
#include "common/Text.h"

#include <algorithm>
#include <filesystem>

#include <QDir>

#include "event/Event_File.h"
#include "event/Module_Event_File.h"
#include "event/Race_Card.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "platform/HdxError.h"
#include "settings/Module_Ini.h"
#include "common/Startup_Facts.h"

namespace {

const char* const CRLF = "\r\n";
const char* const Format_Message = "Ivalid import file format!";
const char* const Import_Title = "Import dog names";
constexpr size_t Problems_Shown = 12;

bool Blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

const char* const Import_Formats_Help =
    "Import dog names reads a race card or a start list.\n"
    "Race card (.csv, comma or semicolon): one line a dog: heat, box, dog name, then optionally "
    "seeding (W, M or blank), race name and distance in metres; a first line with these titles is "
    "allowed. Each heat on the card replaces the whole heat: a box not listed is vacant.\n"
    "Start list (.txt): a line \"Start 3\" chooses heat 3, then one dog a line for boxes 1, 2, 3 and on; "
    "an empty line leaves its box as it is.\n"
    "Names may be UTF-8 or Windows-1252. You see every change and confirm it before anything is stored.";

Dog_Import::Dog_Import(const std::string& bytes) { m_Text = Race_Card_Import::Import_Text_To_Utf8(bytes); }

int Dog_Import::Start_Number(const std::string& line) {
    size_t p = 0;
    while (p < line.size() && Blank(line[p])) ++p;
    if (line.compare(p, 5, "Start") != 0) return -1;
    p += 5;
    while (p < line.size() && Blank(line[p])) ++p;
    if (p >= line.size() || line[p] < '0' || line[p] > '9') return -1;
    // The whole number, however many digits: one past the last heat is enough to refuse it.
    int value = 0;
    for (; p < line.size() && line[p] >= '0' && line[p] <= '9'; ++p)
        value = std::min(value * 10 + (line[p] - '0'), Event_File::Heat_Count + 1);
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
        const std::string file_name = std::filesystem::path(path).filename().string();
        const Race_Card card = Race_Card_Import::Read(bytes, file_name);
        if (!card.problems.empty()) {
            std::string text = Format_Message;
            for (size_t i = 0; i < card.problems.size() && i < Problems_Shown; ++i) text += CRLF + card.problems[i];
            if (card.problems.size() > Problems_Shown)
                text += CRLF + ("... and " + std::to_string(card.problems.size() - Problems_Shown) + " more.");
            Platform::MsgBox(text + CRLF + "Nothing imported!", Platform::MsgButtons::OK,
                             Platform::MsgIcon::Exclamation, Import_Title);
            return result;
        }
        const std::vector<Race_Card_Import::Change> changes = Race_Card_Import::Changes(event_file, card);
        const std::string preview = Race_Card_Import::Preview_Text(file_name, card, changes);
        if (changes.empty()) {
            Platform::MsgBox(preview, Platform::MsgButtons::OK, Platform::MsgIcon::Information, Import_Title);
            result.completed = true;
            return result;
        }
        if (Platform::MsgBox(preview, Platform::MsgButtons::YesNo, Platform::MsgIcon::Question, Import_Title) !=
            Platform::MsgResult::Yes) {
            Trace("*Import_Dogs: the official said no, nothing imported");
            return result;
        }
        // The document changes only together with the file: a save that fails
        // takes the changes back, so the window never shows what is not stored.
        if (!Race_Card_Import::Apply(event_file, changes)) {
            Platform::MsgBox("Nothing imported!", Platform::MsgButtons::OK, Platform::MsgIcon::Exclamation,
                             Import_Title);
            return result;
        }
        if (!event_file.XML_to_File()) {
            Race_Card_Import::Undo(event_file, changes);
            Platform::MsgBox("The event file could not be saved." + std::string(CRLF) + "Nothing imported!",
                             Platform::MsgButtons::OK, Platform::MsgIcon::Exclamation, Import_Title);
            return result;
        }
        result.imported = static_cast<int>(card.dogs.size());
        result.completed = true;
        Platform::MsgBox(std::to_string(result.imported) + " Dogs imported!");
        if (hooks.Heat_Selected) hooks.Heat_Selected(changes.front().heat);
    } catch (const std::exception& e) {
        Report_Exception(e, "Import_Dogs of Form Form_event_registration", 0, path);
    } catch (...) {
        NXF_Error_Handler("Unknown error", HdxErr::ApplicationDefined, 0, "Import_Dogs of Form Form_event_registration",
                          path);
    }
    return result;
}

std::string Import_Start_Folder(const Event_File& event_file) {
    const std::string stored = Read_Ini("Settings", "importdir", Facts().Ini_file_path, "");
    // "c:" (the old default) or "N/A" names no folder here: a dialog given one
    // opens at the root with it as the file name.
    if (!stored.empty() && std::filesystem::path(stored).is_absolute() && Platform::Folder_Exists(stored))
        return stored;
    const std::string event_folder = std::filesystem::path(event_file.Path()).parent_path().string();
    if (!No_Event_Path(event_file.Path()) && !event_folder.empty() && Platform::Folder_Exists(event_folder))
        return event_folder;
    return QDir::homePath().toStdString();
}

Dog_Import_Result Import_Dogs(Event_File& event_file, const Dog_Import_Hooks& hooks) {
    Trace("Import_Dogs start");
    const std::string& path = event_file.Path();
    if (No_Event_Path(path) || !Validate_XML_file(path) || !event_file.Is_Loaded()) {
        Platform::MsgBox(std::string("No valid Event File open!") + CRLF + "Import not possible");
        return {};
    }
    const auto chosen = Platform::Dialogs().Open_File("Import dog names: a race card (.csv) or a start list (.txt)",
                                                      Import_Start_Folder(event_file),
                                                      "Race card or start list (*.csv *.txt);;All files (*)");
    if (!chosen || chosen->empty()) return {};
    const std::string folder = std::filesystem::path(*chosen).parent_path().string();
    if (!folder.empty()) Write_Ini("Settings", "importdir", folder, Facts().Ini_file_path);
    return Import_Dogs_From(event_file, *chosen, hooks);
}
