#pragma once
#include <cstdint>
#include <memory>
#include <string>

class Event_File;
class cls_VideoFile_handler;

// The names a new recording is created with: the selected heat of the
// programme, or the test values when no programme is in use.
struct Recording_Names {
    std::string file_event;  // the event part of the file name
    std::string event;
    std::string heat_id;
    std::string heat_name;
    int programme_heat = 0;  // 0: no programme
};

// What one heat is: its file, its writer and its start; the heat controller's
// own state. The heat has a writer of its own: a recording opened for review
// lives in another handler, so a start stamp or a capture window can only
// ever reach the initiated file.
class Heat_State {
public:
    Heat_State();
    ~Heat_State();
    Heat_State(const Heat_State&) = delete;
    Heat_State& operator=(const Heat_State&) = delete;

    cls_VideoFile_handler& Writer() { return *m_Writer; }

    // The initiated file; empty while none is.
    const std::string& Current_File() const { return m_Current_File; }
    void Initiated(const std::string& path) {
        m_Current_File = path;
        m_Raced = false;
    }
    // The initiated file has had a start (and so maybe frames): it is a heat,
    // no longer an empty file another initiation may replace.
    bool Raced() const { return m_Raced; }
    // Heat finish: the heat lets go of its file (the writer closes it) and
    // remembers it as the heat saved last.
    void Release_File();
    const std::string& Last_Saved() const { return m_Last_Saved; }

    // A heat runs from an accepted start until finish or abort. Kept apart from
    // the stamp: a stamp of any sign (the 32-bit clock turns negative after
    // 24.8 days) still counts.
    bool Running() const { return m_Running; }
    int32_t Start_PC_mill() const { return m_Start_PC_mill; }
    int32_t Start_Local_mill() const { return m_Start_Local_mill; }
    int32_t Start_Mark() const { return m_Running ? m_Start_PC_mill : 0; }
    void Started(int32_t pc_mill, int32_t local_mill);
    void Stopped() { m_Running = false; }

    // The programme heat chosen with the heat selector; what a review shows
    // never changes it.
    int Selected_Heat() const { return m_Selected_Heat; }
    void Select_Heat(int heat) { m_Selected_Heat = heat < 1 ? 1 : heat; }

    // programme: the event in use, nullptr without one.
    Recording_Names Names_For_New_Recording(const Event_File* programme) const;
    // The heat after the selected one that the programme has a name or a dog
    // for; 0 when there is none.
    int Next_Programme_Heat(const Event_File& programme) const;

private:
    std::unique_ptr<cls_VideoFile_handler> m_Writer;
    std::string m_Current_File;
    std::string m_Last_Saved;
    bool m_Running = false;
    bool m_Raced = false;
    int32_t m_Start_PC_mill = 0;
    int32_t m_Start_Local_mill = 0;
    int m_Selected_Heat = 1;
};
