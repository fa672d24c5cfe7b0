#include "shell/Heat_State.h"

#include "event/Event_File.h"
#include "recording/cls_VideoFile_handler.h"

Heat_State::Heat_State() : m_Writer(std::make_unique<cls_VideoFile_handler>()) {}
Heat_State::~Heat_State() = default;

namespace {
std::string File_Part(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}
}  // namespace

void Heat_State::Release_File() {
    m_Writer->Close_File();
    m_Last_Saved = m_Current_File;
    m_Current_File.clear();
}

std::string Heat_State::Status_Text(bool camera_running, int frames_held, const std::string& reviewing) const {
    if (!reviewing.empty()) return "Reviewing " + File_Part(reviewing);
    const std::string file = File_Part(m_Current_File);
    const std::string camera = camera_running ? "" : " (camera stopped)";
    if (Appending > 0) return "Appending " + std::to_string(Appending) + " frames to " + file;
    if (Capturing) return "Capturing " + std::to_string(frames_held) + " frames";
    if (m_Running) return "Heat running: " + file + camera;
    if (!file.empty()) return "File initiated: " + file + camera;
    if (camera_running) return "Camera running, no file";
    if (!m_Last_Saved.empty()) return "Camera stopped. Saved as " + File_Part(m_Last_Saved);
    return "Camera stopped";
}

void Heat_State::Started(int32_t pc_mill, int32_t local_mill) {
    m_Start_PC_mill = pc_mill;
    m_Start_Local_mill = local_mill;
    m_Running = true;
    m_Raced = true;
}

int Heat_State::Next_Programme_Heat(const Event_File& programme) const {
    for (int heat = m_Selected_Heat + 1; heat <= 100; ++heat) {
        if (!programme.Heat_Name(heat).empty()) return heat;
        for (int box = 1; box <= 6; ++box)
            if (!programme.Reg_Dog_Name(heat, box).empty()) return heat;
    }
    return 0;
}

Recording_Names Heat_State::Names_For_New_Recording(const Event_File* programme) const {
    Recording_Names n;
    if (!programme) {
        n.file_event = "No event";
        n.event = "Test Event";
        n.heat_id = "1";
        n.heat_name = "Test Heat";
        return n;
    }
    n.programme_heat = m_Selected_Heat;
    n.event = programme->Event_name();
    n.file_event = n.event;
    n.heat_id = std::to_string(m_Selected_Heat);
    n.heat_name = programme->Heat_Name(m_Selected_Heat);
    return n;
}
