#include "shell/Heat_State.h"

#include "event/Event_File.h"
#include "recording/cls_VideoFile_handler.h"

Heat_State::Heat_State() : m_Writer(std::make_unique<cls_VideoFile_handler>()) {}
Heat_State::~Heat_State() = default;

void Heat_State::Release_File() {
    m_Writer->Close_File();
    m_Last_Saved = m_Current_File;
    m_Current_File.clear();
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
        // The file is named after the event its header holds.
        n.event = "Test Event";
        n.file_event = n.event;
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
